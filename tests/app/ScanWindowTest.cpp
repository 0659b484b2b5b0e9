// SPDX-License-Identifier: GPL-3.0-or-later
// The "Scan picture" page on the real window, against SANE's virtual test scanner.
#include "WindowTestSupport.h"
#include "ui_MainForm.h"

#include "SaneTestConfig.h"
#include "TwainDialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <set>

namespace {

// The choice of scanner lives for the whole run; each test starts from none.
struct FreshChoice
{
    FreshChoice() { SetScannerChoice(ScanRequest()); }
    ~FreshChoice() { SetScannerChoice(ScanRequest()); }
};

TEST(ScanWindow, ScannedPictureBecomesCurrentAndRefitsThePoster)
{
    const SaneTestConfig config({QStringLiteral("test-picture \"Color pattern\"")});
    const FreshChoice fresh;
    SetScannerChoice(SmallScan(QStringLiteral("Color"), 8));
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    w.PageOffGrid[PageIndex(1, 1)] = 1;
    ui.BreitEd->setValue(2.0);
    ui.PageControl1->setCurrentWidget(ui.TabSheet10);
    const uint8_t* before = w.CurrentPicture.Bits;

    ui.ScanButton->click();
    ASSERT_TRUE(WaitUntil([&] { return w.CurrentPicture.Bits != before; }));
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("78"));
    EXPECT_EQ(ui.Hoch->text(), QStringLiteral("98"));
    EXPECT_EQ(ui.Tief->text(), QStringLiteral("16777216"));
    EXPECT_EQ(ui.ScanResultLabel->text(), QStringLiteral("Scanned: 78 x 98 pixels."));
    EXPECT_EQ(w.View.SelRight, 78);
    EXPECT_EQ(w.View.SelBottom, 98);
    EXPECT_EQ(w.Geometry.PosterWidthPages, 2.0); // the width edit leads and keeps its value
    EXPECT_EQ(w.PageOffGrid[PageIndex(1, 1)], 1);
    // The colour pattern is no blank page.
    std::set<int32_t> colours;
    for (int y = 0; y < 98; ++y)
        for (int x = 0; x < 78; ++x)
            colours.insert(getpixel(w.CurrentPicture, x, y));
    EXPECT_GT(colours.size(), 3u);
}

TEST(ScanWindow, AJammedScannerSaysSoAndChangesNothing)
{
    const SaneTestConfig config;
    const FreshChoice fresh;
    ScanRequest jammed = SmallScan(QStringLiteral("Gray"), 8);
    jammed.deviceOptions = {
        {QStringLiteral("read-return-value"), QStringLiteral("SANE_STATUS_JAMMED")}};
    SetScannerChoice(jammed);
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    const PictureRecord before = w.CurrentPicture;
    const PosterGeometry geometry = w.Geometry;

    ui.ScanButton->click();
    QMessageBox* box = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        box = w.findChild<QMessageBox*>(QStringLiteral("ScanMessageBox"));
        return box && box->isVisible();
    }));
    EXPECT_EQ(box->text(), QStringLiteral("The scanner is jammed."));
    box->button(QMessageBox::Ok)->click();
    SettleEvents();
    EXPECT_EQ(ui.ScanResultLabel->text(), QStringLiteral("No picture: The scanner is jammed."));
    EXPECT_EQ(w.CurrentPicture.Bits, before.Bits);
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("320"));
    EXPECT_EQ(w.View.SelRight, 319);
    EXPECT_EQ(w.Geometry, geometry);
}

TEST(ScanWindow, ClicksOnCancelNeverReachTheScanButtonBeneath)
{
    const SaneTestConfig config(
        {QStringLiteral("read-delay true"), QStringLiteral("read-delay-duration 200000")});
    const FreshChoice fresh;
    ScanRequest slow = SmallScan(QStringLiteral("Color"), 8);
    slow.resolution = 100;
    slow.area = ScanArea{0, 0, 200, 200};
    SetScannerChoice(slow);
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    ui.PageControl1->setCurrentWidget(ui.TabSheet10);
    int scans = 0;
    QObject::connect(ui.ScanButton, &QToolButton::clicked, [&] { ++scans; });

    ui.ScanButton->click();
    ASSERT_EQ(scans, 1);
    const QPointer<ScanProgressDialog> dialog =
        w.findChild<ScanProgressDialog*>(QStringLiteral("ScanProgressDialog"));
    ASSERT_NE(dialog, nullptr);
    const uint32_t value = dialog->scanValue();
    // Its Cancel lies right over "Scan picture now!".
    auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("CancelButton"));
    const QPoint target = ui.ScanButton->mapToGlobal(ui.ScanButton->rect().center());
    dialog->move(dialog->pos() + target - cancel->mapToGlobal(cancel->rect().center()));
    ASSERT_TRUE(WaitUntil([&] { return ScanProgressOf(value).bytesDone > 0; }));

    // A double click: the first cancels, the second comes once the dialog has gone.
    QTest::mouseClick(cancel, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return !ScanProgressOf(value).running; }));
    ASSERT_TRUE(WaitUntil(
        [&] { return !w.findChild<ScanProgressDialog*>(QStringLiteral("ScanProgressDialog")); }));
    QTest::mouseClick(ui.ScanButton, Qt::LeftButton);
    SettleEvents();
    EXPECT_EQ(scans, 1);
    EXPECT_EQ(ui.ScanResultLabel->text(), QStringLiteral("No picture: The scan was cancelled."));

    // Later, a click on the button is a click again.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    SetScannerChoice(SmallScan(QStringLiteral("Gray"), 8));
    QTest::mouseClick(ui.ScanButton, Qt::LeftButton);
    EXPECT_EQ(scans, 2);
    ASSERT_TRUE(WaitUntil([&] { return ui.ScanResultLabel->text().startsWith("Scanned"); }));
}

TEST(ScanWindow, AScanThatArrivesEmptyChangesNothing)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    const uint8_t* before = w.CurrentPicture.Bits;
    ScanCompleteEvent unknown(12345); // no such scan
    QCoreApplication::sendEvent(&w, &unknown);
    EXPECT_EQ(w.CurrentPicture.Bits, before);
    EXPECT_EQ(w.Form().Breit->text(), QStringLiteral("320"));
}

} // namespace
