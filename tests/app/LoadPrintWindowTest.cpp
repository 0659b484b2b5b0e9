// SPDX-License-Identifier: GPL-3.0-or-later
// Loading a picture on the first page and printing the poster, through the real window.
#include "WindowTestSupport.h"
#include "ui_HKUnit.h"
#include "ui_MainForm.h"

#include "HeldPicture.h"
#include "Rounding.h"
#include "TestSupport.h"
#include "VectorPage.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <semaphore>
#include <vector>

namespace {

void SaveTestPicture(const char* name, int w, int h, int bits)
{
    const HeldPicture p(newdib(w, h, bits, nullptr, 0));
    ASSERT_NE(p->Bits, nullptr);
    ASSERT_TRUE(SaveDib(*p, name, 3)); // the first writable type, BMP
}

bool SelectFile(Ui::MainForm& ui, const QString& name)
{
    const auto items = ui.FileListBox1->findItems(name, Qt::MatchExactly);
    if (items.isEmpty())
        return false;
    ui.FileListBox1->setCurrentItem(items.front());
    return true;
}

TEST(LoadWindow, EnterLoadsTheSelectedFileAndRefitsThePoster)
{
    SaveTestPicture("photo.bmp", 40, 30, 24); // lower case matches the "*.BMP" mask
    SaveTestPicture("grey.bmp", 9, 5, 4);
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    w.PageOffGrid[PageIndex(1, 0)] = 1;
    ASSERT_TRUE(SelectFile(ui, QStringLiteral("photo.bmp")));
    QTest::keyClick(ui.FileListBox1, Qt::Key_Return);

    EXPECT_EQ(DIBWidth(w.CurrentPicture), 40);
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("40"));
    EXPECT_EQ(ui.Hoch->text(), QStringLiteral("30"));
    EXPECT_EQ(ui.Tief->text(), QStringLiteral("16777216"));
    EXPECT_EQ(w.View.SelRight, 40);
    EXPECT_EQ(w.View.SelBottom, 30);
    EXPECT_EQ(w.Geometry.PagesAcross, CeilPages(w.Geometry.PosterWidthPages));
    EXPECT_EQ(w.PageOffGrid[PageIndex(1, 0)], 1); // switched-off pages stay off

    ASSERT_TRUE(SelectFile(ui, QStringLiteral("grey.bmp")));
    emit ui.FileListBox1->itemDoubleClicked(ui.FileListBox1->currentItem());
    EXPECT_EQ(ui.Tief->text(), QStringLiteral("16"));
}

TEST(LoadWindow, AFileThatCannotBeReadChangesNothing)
{
    {
        QFile bad(QStringLiteral("broken.jpg"));
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
        bad.write("\xFF\xD8\xFF\xE0 not really a picture");
    }
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    const PictureRecord before = w.CurrentPicture;
    const PosterGeometry geometry = w.Geometry;
    ASSERT_TRUE(SelectFile(ui, QStringLiteral("broken.jpg")));
    const auto seen = AnswerNextMessageBox(QMessageBox::Ok);
    QTest::keyClick(ui.FileListBox1, Qt::Key_Return);
    EXPECT_TRUE(seen->seen);
    EXPECT_EQ(seen->text, QStringLiteral("Couldn't load file!"));
    EXPECT_EQ(w.CurrentPicture.Bits, before.Bits);
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("320"));
    EXPECT_EQ(w.View.SelRight, 319);
    EXPECT_EQ(w.Geometry, geometry);
}

TEST(PrintWindow, PrintingSendsOnePdfPagePerPrintedPosterPage)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    ASSERT_TRUE(w.Printer->isPdfFile());
    const QString pdf = testsupport::TestDir() + QStringLiteral("/poster.pdf");
    w.Printer->printer().setOutputFileName(pdf);
    ui.BreitEd->setValue(3.0);
    ASSERT_EQ(w.Geometry.PagesAcross, 3);
    const int pages = w.Geometry.PagesAcross * w.Geometry.PagesDown;
    w.PageOffGrid[PageIndex(1, 0)] = 1;
    ui.RadioButton4->setChecked(true);

    ui.PrintBtn->click();
    EXPECT_EQ(ui.ProgressBar1->value(), 0);
    // The document's beginning and end are steps of the bar too, each of ten units.
    EXPECT_EQ(ui.ProgressBar1->maximum(), (pages + 2) * 10);
    ASSERT_TRUE(QFile::exists(pdf));
    if (!testsupport::HaveProgram(QStringLiteral("pdfinfo")))
        GTEST_SKIP() << "pdfinfo missing";
    EXPECT_TRUE(testsupport::Run(
        QStringLiteral("pdfinfo '%1' | grep -Eq '^Pages: +%2$'").arg(pdf).arg(pages - 1)));
}

TEST(PrintWindow, ThePrintPageSaysWhereThePosterWentOrThatNothingIsLeftToPrint)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    const QString pdf = testsupport::TestDir() + QStringLiteral("/where.pdf");
    w.Printer->printer().setOutputFileName(pdf);
    ui.BreitEd->setValue(2.0);
    ui.PrintBtn->click();
    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_EQ(ui.PrintResultLabel->toolTip(), QStringLiteral("Sent to ") + pdf);
    EXPECT_FALSE(ui.PrintResultLabel->text().isEmpty());

    // Every page switched off, and only those on to be printed: a box says so, and nothing
    // is written.
    QFile::remove(pdf);
    for (int column = 0; column < w.Geometry.PagesAcross; ++column)
        for (int row = 0; row < w.Geometry.PagesDown; ++row)
            w.PageOffGrid[PageIndex(column, row)] = 1;
    ui.RadioButton4->setChecked(true);
    {
        const auto seen = AnswerNextMessageBox(QMessageBox::Ok);
        ui.PrintBtn->click();
        SettleEvents();
        EXPECT_TRUE(seen->seen);
        EXPECT_EQ(seen->text, QStringLiteral("Every page is left out: nothing to print."));
    }
    EXPECT_FALSE(QFile::exists(pdf));
    // All pages printed again, whatever is switched off.
    ui.RadioButton3->setChecked(true);
    ui.PrintBtn->click();
    EXPECT_TRUE(QFile::exists(pdf));
}

TEST(PrintWindow, ClickedOffPagesThatStillPrintAreSaidBesideAllPages)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    ui.BreitEd->setValue(3.0);
    ASSERT_EQ(w.Geometry.PagesAcross, 3);
    ui.PageControl1->setCurrentWidget(ui.TabSheet3);
    w.klickpage(1, 0);
    w.klickpage(2, 0);
    ui.PageControl1->setCurrentWidget(ui.TabSheet4);
    EXPECT_TRUE(ui.RadioButton3->isChecked()); // "All pages" stays the default
    EXPECT_EQ(ui.ClickedOffHint->text(),
              QStringLiteral("2 pages clicked off print too. To leave them out:"));
    ui.RadioButton4->setChecked(true);
    EXPECT_EQ(ui.ClickedOffHint->text(), QString());
    ui.RadioButton3->setChecked(true);
    EXPECT_FALSE(ui.ClickedOffHint->text().isEmpty());

    // Only pages of the poster count: one page wide, the clicked-off columns are gone.
    ui.PageControl1->setCurrentWidget(ui.TabSheet3);
    ui.BreitEd->setValue(2.0);
    ui.PageControl1->setCurrentWidget(ui.TabSheet4);
    EXPECT_EQ(ui.ClickedOffHint->text(),
              QStringLiteral("1 page clicked off prints too. To leave it out:"));
    ui.PageControl1->setCurrentWidget(ui.TabSheet3);
    ui.BreitEd->setValue(1.0);
    ui.PageControl1->setCurrentWidget(ui.TabSheet4);
    EXPECT_EQ(ui.ClickedOffHint->text(), QString());
}

TEST(PrintWindow, LabelsAndTheAssemblySheetAreThePrintPagesChoice)
{
    if (!testsupport::HaveProgram(QStringLiteral("pdftotext")) ||
        !testsupport::HaveProgram(QStringLiteral("pdfinfo")))
        GTEST_SKIP() << "poppler-utils missing";
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    const QString pdf = testsupport::TestDir() + QStringLiteral("/labelled.pdf");
    w.Printer->printer().setOutputFileName(pdf);
    ui.BreitEd->setValue(2.0);
    const int pages = w.Geometry.PagesAcross * w.Geometry.PagesDown;
    EXPECT_FALSE(ui.LabelsCheck->isChecked()); // off unless asked for
    EXPECT_FALSE(ui.AssemblySheetCheck->isChecked());
    ui.LabelsCheck->setChecked(true);
    ui.AssemblySheetCheck->setChecked(true);
    ui.PrintBtn->click();
    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_TRUE(testsupport::Run(
        QStringLiteral("pdfinfo '%1' | grep -Eq '^Pages: +%2$'").arg(pdf).arg(pages + 1)));
    EXPECT_TRUE(testsupport::Run(
        QStringLiteral("pdftotext -f 1 -l 1 '%1' - | grep -q '^Assembly: 2 x '").arg(pdf)));
    EXPECT_TRUE(testsupport::Run(
        QStringLiteral("pdftotext -f 2 -l 2 '%1' - | grep -q '^A1 page 1 of %2 poster'")
            .arg(pdf)
            .arg(pages)));
}

// The JPEG's own data goes into the document while the picture is the file's; after an edit the
// pages carry the edited pixels.
// A JPEG keeps printing as its own data through the edits its blocks can make, in the same
// document the tool makes of the same edits; brightness and contrast end that.
TEST(PrintWindow, AJpegPrintsAsItsOwnDataThroughLosslessEditsAndAsPixelsAfterBrightness)
{
    if (!testsupport::HaveProgram(QStringLiteral("pdfimages")))
        GTEST_SKIP() << "pdfimages missing";
    {
        const HeldPicture p(newdib(64, 48, 24, nullptr, 0));
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                setpixel(*p, x, y, x * 4 << 16 | y * 5);
        ASSERT_TRUE(SaveDib(*p, "photo.jpg", SaveCodeForTypeName("jpg")));
    }
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    ASSERT_TRUE(SelectFile(ui, QStringLiteral("photo.jpg")));
    QTest::keyClick(ui.FileListBox1, Qt::Key_Return);
    ASSERT_EQ(DIBWidth(w.CurrentPicture), 64);
    const QString pdf = testsupport::TestDir() + QStringLiteral("/photo.pdf");
    w.Printer->printer().setOutputFileName(pdf);
    const auto encodings = [](const QString& file) {
        EXPECT_TRUE(testsupport::Run(
            QStringLiteral("pdfimages -list '%1' | tail -n +3 | awk '{print $9}' | sort -u > "
                           "enc.txt")
                .arg(file)));
        QFile list(QStringLiteral("enc.txt"));
        return list.open(QIODevice::ReadOnly) ? QString::fromLatin1(list.readAll()).trimmed()
                                              : QString();
    };
    ui.PrintBtn->click();
    EXPECT_EQ(encodings(pdf), QStringLiteral("jpeg"));

    ui.FlipHBtn->click();
    ui.RotRightBtn->click();
    ASSERT_EQ(DIBWidth(w.CurrentPicture), 48);
    w.View.SelLeft = 5, w.View.SelTop = 3, w.View.SelRight = 40, w.View.SelBottom = 61;
    ui.SchnittBtn->click();
    ASSERT_EQ(DIBWidth(w.CurrentPicture), 35);
    ui.PrintBtn->click();
    EXPECT_EQ(encodings(pdf), QStringLiteral("jpeg"));

    // The tool prints the same parts for the same edits.
    const QString tool = testsupport::TestDir() + QStringLiteral("/tool.pdf");
    ASSERT_TRUE(testsupport::Run(
        QStringLiteral("'%1' photo.jpg --mirror --rotate right --crop 5,3,40,61 -o '%2'")
            .arg(QStringLiteral(VELMORA_POSTER), tool)));
    ASSERT_TRUE(testsupport::Run(QStringLiteral("pdfimages -j '%1' window && pdfimages -j '%2' "
                                                "tool")
                                     .arg(pdf, tool)));
    const QStringList parts =
        QDir(testsupport::TestDir()).entryList({QStringLiteral("window-*.jpg")}, QDir::Files);
    ASSERT_FALSE(parts.isEmpty());
    for (const QString& part : parts) {
        QFile mine(part),
            theirs(QString(part).replace(QStringLiteral("window"), QStringLiteral("tool")));
        ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
        ASSERT_TRUE(theirs.open(QIODevice::ReadOnly)) << theirs.fileName().toStdString();
        EXPECT_TRUE(mine.readAll() == theirs.readAll()) << part.toStdString();
    }
    EXPECT_FALSE(QFile::exists(QStringLiteral("tool-%1.jpg").arg(parts.size(), 3, 10, QChar('0'))));

    {
        const ModalHand hand = HandleNextModal([&program](QWidget*) {
            program.hk->Form().TrackBar1->setValue(10);
            program.hk->Form().OkBitBtn1->click();
        });
        ui.HellpBtn->click();
    }
    ui.PrintBtn->click();
    EXPECT_EQ(encodings(pdf), QStringLiteral("image"));
}

// The desktop asks the window to close while the pages go out: the request is refused without
// the quit question, whose dialog would take input in the middle of the job.
TEST(PrintWindow, CloseRequestDuringTheJobIsRefused)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    w.Printer->printer().setOutputFileName(testsupport::TestDir() + QStringLiteral("/p.pdf"));
    ui.BreitEd->setValue(2.0);

    struct CloseWatch : QObject
    {
        TMainForm* window = nullptr;
        bool runningAtClose = false;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Close)
                runningAtClose = window->JobRunning;
            return false;
        }
    } watch;
    watch.window = &w;
    w.installEventFilter(&watch);
    const auto seen = AnswerNextMessageBox(QMessageBox::Ok);
    QCoreApplication::postEvent(&w, new QCloseEvent);
    ui.PrintBtn->click();
    w.removeEventFilter(&watch);

    EXPECT_TRUE(watch.runningAtClose); // it arrived while the job ran
    EXPECT_FALSE(seen->seen);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.JobRunning);
}

// Reading, turning and printing run as jobs off the window's thread. Each job here is held at
// its start while the window is repainted and clicked: the paints go through, and a click or key
// that would change the picture is refused, so the picture is never changed under the job.
TEST(PrintWindow, TheWindowPaintsDuringAJobAndRefusesWhatWouldChangeThePicture)
{
    SaveTestPicture("job.bmp", 64, 48, 24);
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    const QString pdf = testsupport::TestDir() + QStringLiteral("/job.pdf");
    w.Printer->printer().setOutputFileName(pdf);

    std::binary_semaphore go(0);
    // Bounded, so that a window that let a click start a second job fails instead of hanging.
    w.JobStarts = [&go] { (void)go.try_acquire_for(std::chrono::seconds(10)); };
    std::vector<int> barValues;
    QObject::connect(ui.ProgressBar1, &QProgressBar::valueChanged,
                     [&barValues](int v) { barValues.push_back(v); });
    int jobsSeen = 0;
    const auto actDuringTheJob = [&] {
        QTimer::singleShot(0, [&] {
            ++jobsSeen;
            EXPECT_TRUE(w.JobRunning);
            const PictureRecord before = w.CurrentPicture;
            const QImage shown = ui.PaintBox2->grab().toImage();
            EXPECT_FALSE(shown.isNull());
            QTest::mouseClick(ui.RotLeftBtn, Qt::LeftButton);
            QTest::mouseClick(ui.FlipHBtn, Qt::LeftButton);
            QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
            QTest::mouseClick(ui.PrintBtn, Qt::LeftButton);
            EXPECT_EQ(w.CurrentPicture.Bits, before.Bits);
            go.release();
        });
    };

    actDuringTheJob();
    ASSERT_TRUE(w.OpenPictureFile(QDir::current().absoluteFilePath(QStringLiteral("job.bmp"))));
    EXPECT_EQ(DIBWidth(w.CurrentPicture), 64); // loaded, and not turned by the refused click
    EXPECT_EQ(DIBHeight(w.CurrentPicture), 48);

    actDuringTheJob();
    ui.RotRightBtn->click();
    EXPECT_EQ(DIBWidth(w.CurrentPicture), 48);
    EXPECT_EQ(DIBHeight(w.CurrentPicture), 64);

    ui.BreitEd->setValue(2.0);
    const int steps = (w.Geometry.PagesAcross * w.Geometry.PagesDown + 2) * 10;
    actDuringTheJob();
    ui.PrintBtn->click();
    EXPECT_EQ(jobsSeen, 3);
    EXPECT_FALSE(w.JobRunning);
    // The bar counted the beginning, every page and the end, then went back to empty.
    ASSERT_GE(barValues.size(), 3u);
    EXPECT_TRUE(std::is_sorted(barValues.begin(), barValues.end() - 1));
    EXPECT_EQ(barValues[barValues.size() - 2], steps);
    EXPECT_EQ(barValues.back(), 0);
    EXPECT_EQ(ui.PrintResultLabel->text().left(8), QStringLiteral("Sent to "));
    EXPECT_TRUE(QFile::exists(pdf));
    w.JobStarts = nullptr;
    // The last step is the turn: no refused click came in after a job as a change of its own.
    w.UndoPicture();
    EXPECT_EQ(DIBWidth(w.CurrentPicture), 64);
    EXPECT_EQ(DIBHeight(w.CurrentPicture), 48);
}

} // namespace

namespace {

// A PDF page chosen from several, with its drawing kept as vectors through an edit, in the
// window as in the tool.
TEST(PrintWindow, APdfPageChosenFromSeveralStaysVectorsThroughAnEdit)
{
    if (!testsupport::HaveProgram(QStringLiteral("pdfimages")))
        GTEST_SKIP() << "pdfimages missing";
    {
        QPdfWriter writer(QStringLiteral("three.pdf"));
        writer.setPageSize(QPageSize(QPageSize::A5));
        QPainter painter(&writer);
        for (int page = 1; page <= 3; ++page) {
            if (page > 1) {
                writer.setPageOrientation(page == 2 ? QPageLayout::Landscape
                                                    : QPageLayout::Portrait);
                writer.newPage();
            }
            painter.fillRect(QRect(200, 200, 1500, 900), Qt::red);
            painter.drawText(QPoint(300, 1800), QStringLiteral("Page %1").arg(page));
        }
    }
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    EXPECT_FALSE(ui.PdfPageEd->isVisible());
    ASSERT_TRUE(SelectFile(ui, QStringLiteral("three.pdf")));
    QTest::keyClick(ui.FileListBox1, Qt::Key_Return);
    // The first page comes in; the load page offers the others.
    ASSERT_NE(w.CurrentSource.drawing(), nullptr);
    EXPECT_EQ(w.CurrentSource.drawing()->page->pageIndex(), 0);
    EXPECT_TRUE(ui.PdfPageEd->isVisible());
    EXPECT_EQ(ui.PdfPageEd->text(), QStringLiteral("Page 1 of 3"));
    EXPECT_EQ(ui.PdfPageEd->maximum(), 3);
    ui.PdfPageEd->setValue(2);
    ASSERT_NE(w.CurrentSource.drawing(), nullptr);
    EXPECT_EQ(w.CurrentSource.drawing()->page->pageIndex(), 1);
    EXPECT_GT(DIBWidth(w.CurrentPicture), DIBHeight(w.CurrentPicture)); // the landscape page
    EXPECT_TRUE(ui.RealSizeLabel->text().contains(QStringLiteral("vectors, sharp at any size")));
    EXPECT_TRUE(ui.Breit->text().endsWith(QStringLiteral(" (210 mm)")))
        << ui.Breit->text().toStdString();
    EXPECT_TRUE(ui.Hoch->text().endsWith(QStringLiteral(" (148 mm)")))
        << ui.Hoch->text().toStdString();

    ui.FlipHBtn->click();
    ASSERT_NE(w.CurrentSource.drawing(), nullptr);
    EXPECT_TRUE(w.CurrentSource.drawing()->view.mirrored);
    const QString pdf = testsupport::TestDir() + QStringLiteral("/drawing.pdf");
    w.Printer->printer().setOutputFileName(pdf);
    ui.PrintBtn->click();
    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_TRUE(testsupport::Run(
        QStringLiteral("test \"$(pdfimages -list '%1' | tail -n +3 | wc -l)\" = 0").arg(pdf)));

    // Brightness makes the drawing pixels, rendered anew at 300 ppi of the poster, which keeps
    // its size; the window says so, and undo brings the vectors back.
    const int32_t renderingWidth = DIBWidth(w.CurrentPicture);
    ASSERT_EQ(ui.SizeUnitBox->currentIndex(), 0); // centimetres
    const double inchesWide = ui.RealWidthEd->value() / 2.54;
    const double pagesWide = ui.BreitEd->value();
    std::optional<BoxAnswer> said;
    const ModalHand adjust = HandleNextModal([&](QWidget* dialog) {
        program.hk->Form().TrackBar1->setValue(30);
        said.emplace(AnswerNextMessageBox(QMessageBox::Ok));
        static_cast<QDialog*>(dialog)->accept();
    });
    ui.HellpBtn->click();
    EXPECT_TRUE(w.CurrentSource.IsPixels());
    EXPECT_NEAR(DIBWidth(w.CurrentPicture), 300 * inchesWide, 300 * inchesWide / 100);
    EXPECT_EQ(ui.BreitEd->value(), pagesWide);
    ASSERT_TRUE(said.has_value());
    EXPECT_TRUE((*said)->text.contains(QStringLiteral("make the drawing pixels")))
        << (*said)->text.toStdString();
    EXPECT_FALSE(ui.RealSizeLabel->text().contains(QStringLiteral("vectors")));
    EXPECT_EQ(ui.Breit->text(), QString::number(DIBWidth(w.CurrentPicture)));
    EXPECT_FALSE(ui.PdfPageEd->isVisible()); // pixels now, of no page
    w.UndoPicture();
    ASSERT_NE(w.CurrentSource.drawing(), nullptr);
    EXPECT_EQ(DIBWidth(w.CurrentPicture), renderingWidth);
    EXPECT_EQ(ui.PdfPageEd->text(), QStringLiteral("Page 2 of 3"));
}

} // namespace
