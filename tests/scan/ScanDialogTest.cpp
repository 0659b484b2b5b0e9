// SPDX-License-Identifier: GPL-3.0-or-later
// The scanner library's dialogs, offscreen, over SANE's virtual "test" backend.
#include "SaneTestConfig.h"

#include "HeldPicture.h"
#include "TwainDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Stands in for the main window: takes the scan-complete events.
class Window : public QWidget
{
public:
    std::vector<uint32_t> values;
    bool event(QEvent* e) override
    {
        if (e->type() == ScanCompleteEvent::EventType()) {
            values.push_back(static_cast<ScanCompleteEvent*>(e)->value());
            return true;
        }
        return QWidget::event(e);
    }
};

// Runs the action on the next modal dialog, once it is up.
void WhenModal(std::function<void(QWidget*)> action, int triesLeft = 500)
{
    QTimer::singleShot(10, [action, triesLeft] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible())
            action(modal);
        else if (triesLeft > 0)
            WhenModal(action, triesLeft - 1);
    });
}

QMessageBox* ShownBox(QWidget& window)
{
    for (QMessageBox* box : window.findChildren<QMessageBox*>(QStringLiteral("ScanMessageBox")))
        if (box->isVisible())
            return box;
    return nullptr;
}

ScanProgressDialog* ProgressOf(QWidget& window)
{
    return window.findChild<ScanProgressDialog*>(QStringLiteral("ScanProgressDialog"));
}

struct ChoiceReset
{
    ~ChoiceReset() { SetScannerChoice({}); }
};

} // namespace

TEST(ScanDialogs, SelectDialogListsTheDevicesAndKeepsTheChoice)
{
    const SaneTestConfig config({QStringLiteral("number_of_devices 2")});
    const ChoiceReset reset;
    Window window;
    bool handled = false;
    WhenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<ScannerSelectDialog*>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        handled = true;
        auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("DeviceList"));
        if (list->topLevelItemCount() != 2) {
            ADD_FAILURE()
                << list->topLevelItemCount() << " devices listed: "
                << dialog->findChild<QLabel*>(QStringLiteral("StatusLabel"))->text().toStdString();
            dialog->reject();
            return;
        }
        const QTreeWidgetItem* first = list->topLevelItem(0);
        EXPECT_EQ(first->text(0), "Noname");
        EXPECT_EQ(first->text(1), "frontend-tester");
        EXPECT_EQ(first->text(2), "test:0");
        list->setCurrentItem(list->topLevelItem(1));
        auto* mode = dialog->findChild<QComboBox*>(QStringLiteral("ModeBox"));
        mode->setCurrentIndex(mode->findText(QStringLiteral("Color")));
        auto* depth = dialog->findChild<QComboBox*>(QStringLiteral("DepthBox"));
        depth->setCurrentIndex(depth->findText(QStringLiteral("16")));
        dialog->findChild<QDoubleSpinBox*>(QStringLiteral("ResolutionBox"))->setValue(30);
        dialog->findChild<QDoubleSpinBox*>(QStringLiteral("AreaRight"))->setValue(40);
        dialog->findChild<QSpinBox*>(QStringLiteral("WaitBox"))->setValue(45);
        // The list's label names its key, not an ampersand.
        int named = 0;
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            if (label->text() == QStringLiteral("&Scanners:")) {
                ++named;
                EXPECT_EQ(label->buddy(), list);
            }
        }
        EXPECT_EQ(named, 1);
        dialog->findChild<QDialogButtonBox*>(QStringLiteral("Buttons"))
            ->button(QDialogButtonBox::Ok)
            ->click();
    });
    TWAIN_SelectScanner(&window);
    ASSERT_TRUE(handled);
    EXPECT_EQ(ScannerTimeout(), std::chrono::seconds(45));
    SetScannerTimeout(std::chrono::minutes(2));
    const ScanRequest choice = ScannerChoice();
    EXPECT_EQ(choice.device, "test:1");
    EXPECT_EQ(choice.mode, "Color");
    EXPECT_EQ(choice.depth, 16);
    EXPECT_DOUBLE_EQ(choice.resolution, 30);
    ASSERT_TRUE(choice.area.has_value());
    EXPECT_DOUBLE_EQ(choice.area->right, 40);
    EXPECT_DOUBLE_EQ(choice.area->bottom, 100);

    // Opened again, it starts from that choice.
    const ScannerSelectDialog again(&window);
    const ScanRequest shown = again.Choice();
    EXPECT_EQ(shown.device, "test:1");
    EXPECT_EQ(shown.mode, "Color");
    EXPECT_EQ(shown.depth, 16);
    EXPECT_DOUBLE_EQ(shown.resolution, 30);
    EXPECT_DOUBLE_EQ(shown.area->right, 40);
}

TEST(ScanDialogs, WithoutScannersBothSayNoScannerFoundAndStayUsable)
{
    const SaneTestConfig config({}, SaneTestConfig::NoBackend);
    const ChoiceReset reset;
    Window window;
    window.show();
    ScannerSelectDialog dialog(&window);
    dialog.show();
    auto* status = dialog.findChild<QLabel*>(QStringLiteral("StatusLabel"));
    EXPECT_EQ(status->text(), "No scanner found");
    EXPECT_EQ(dialog.findChild<QTreeWidget*>(QStringLiteral("DeviceList"))->topLevelItemCount(), 0);
    auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("Buttons"));
    EXPECT_FALSE(buttons->button(QDialogButtonBox::Ok)->isEnabled());
    dialog.findChild<QPushButton*>(QStringLiteral("SearchAgainButton"))->click();
    EXPECT_EQ(status->text(), "No scanner found");
    EXPECT_TRUE(dialog.Choice().device.isEmpty());
    buttons->button(QDialogButtonBox::Cancel)->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);

    TWAIN_ScanImage(&window);
    ASSERT_TRUE(WaitUntil([&] { return !window.values.empty() && ShownBox(window); }));
    EXPECT_EQ(ShownBox(window)->text(), "No scanner found");
    EXPECT_EQ(GetScanedDib(window.values.front()).Bits, nullptr);
}

TEST(ScanDialogs, ScanImageFollowsAFrameOfUnknownLengthAndDeliversToTheWindow)
{
    const SaneTestConfig config({QStringLiteral("hand-scanner true"),
                                 QStringLiteral("read-delay true"),
                                 QStringLiteral("read-delay-duration 30000")});
    const ChoiceReset reset;
    ScanRequest choice = SmallScan(QStringLiteral("Gray"), 8);
    choice.resolution = 100;
    SetScannerChoice(choice);
    Window window;
    window.show();
    TWAIN_ScanImage(&window);
    const QPointer<ScanProgressDialog> dialog = ProgressOf(window);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    bool everDeterminate = false;
    ASSERT_TRUE(WaitUntil([&] {
        everDeterminate |= dialog && dialog->maximum() != 0;
        return !window.values.empty();
    }));
    EXPECT_FALSE(everDeterminate); // a busy indicator throughout
    const HeldPicture picture(GetScanedDib(window.values.front()));
    ASSERT_NE(picture->Bits, nullptr);
    EXPECT_EQ(DIBHeight(*picture), 669);
    ASSERT_TRUE(WaitUntil([&] { return !dialog || !dialog->isVisible(); }));
    EXPECT_EQ(ShownBox(window), nullptr);
}

TEST(ScanDialogs, CancelOrEscapeEndsTheScanQuietlyTheDialogStayingUntilItHasEnded)
{
    const SaneTestConfig config(
        {QStringLiteral("read-delay true"), QStringLiteral("read-delay-duration 200000")});
    const ChoiceReset reset;
    ScanRequest choice = SmallScan(QStringLiteral("Color"), 8);
    choice.resolution = 100;
    choice.area = ScanArea{0, 0, 200, 200};
    SetScannerChoice(choice);
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Escape" : "Cancel");
        Window window;
        window.show();
        TWAIN_ScanImage(&window);
        const QPointer<ScanProgressDialog> dialog = ProgressOf(window);
        ASSERT_NE(dialog, nullptr);
        const uint32_t value = dialog->scanValue();
        // It looks for the scanner first, and says it scans once the picture comes.
        EXPECT_EQ(dialog->labelText(), "Looking for the scanner...");
        ASSERT_TRUE(
            WaitUntil([&] { return !dialog || (dialog->maximum() > 0 && dialog->value() > 0); }));
        ASSERT_NE(dialog, nullptr) << ScanErrorText(value).toStdString();
        EXPECT_EQ(dialog->labelText(), "Scanning the picture...");

        // A second press while it runs is refused politely.
        TWAIN_ScanImage(&window);
        ASSERT_NE(ShownBox(window), nullptr);
        EXPECT_EQ(ShownBox(window)->text(), "A scan is already running.");
        ShownBox(window)->close();

        QElapsedTimer clock;
        clock.start();
        if (escape)
            QTest::keyClick(dialog, Qt::Key_Escape);
        else
            dialog->findChild<QPushButton*>(QStringLiteral("CancelButton"))->click();
        // Still there, saying what it does, with nothing left to press.
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->labelText(), "Cancelling the scan...");
        EXPECT_FALSE(dialog->findChild<QPushButton*>(QStringLiteral("CancelButton"))->isEnabled());
        ASSERT_TRUE(WaitUntil([&] { return !window.values.empty(); }));
        EXPECT_LT(clock.elapsed(), 1500);
        EXPECT_EQ(window.values.size(), 1u);
        EXPECT_EQ(GetScanedDib(window.values.front()).Bits, nullptr);
        EXPECT_EQ(ScanErrorText(value), "The scan was cancelled.");
        ASSERT_TRUE(WaitUntil([&] { return !dialog || !dialog->isVisible(); }));
        QCoreApplication::processEvents();
        EXPECT_EQ(ShownBox(window), nullptr); // the user knows why it stopped
    }
}
