// SPDX-License-Identifier: GPL-3.0-or-later
// The options and size pages driven through the real window.
#include "WindowTestSupport.h"
#include "ui_MainForm.h"

#include "PaperFormat.h"
#include "Rounding.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QTest>

#include <gtest/gtest.h>

namespace {

void TypeInto(QAbstractSpinBox* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

TEST(PosterWindow, TypedWidthDerivesHeightAndPageCounts)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    ui.CheckBox10->setChecked(false); // no poster-edge correction: the plain proportion
    const PrinterMetrics m = w.Printer->metrics();
    ASSERT_TRUE(m.isValid());

    TypeInto(ui.BreitEd, QStringLiteral("2.5"));
    EXPECT_DOUBLE_EQ(w.Geometry.PosterWidthPages, 2.5);
    EXPECT_EQ(w.Geometry.PagesAcross, 3);
    EXPECT_TRUE(w.Geometry.WidthEditedLast);

    const int usableW = RoundHalfEven(m.pageWidth * 95 / 100.0);
    const int usableH = RoundHalfEven(m.pageHeight * 95 / 100.0);
    const double height = 200.0 * 2.5 / 320.0 * usableW / usableH;
    EXPECT_NEAR(ui.HochEd->value(), height, 1e-8);
    EXPECT_NEAR(w.Geometry.PosterHeightPages, height, 1e-8);
    EXPECT_EQ(w.Geometry.PagesDown, CeilPages(ui.HochEd->value()));
}

TEST(PosterWindow, OptionBoxesFillTheFlagsAndEnableTheGlueControls)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();

    ui.CheckBox9->setChecked(true); // printing on the glue edge needs the glue lines
    EXPECT_TRUE(ui.CheckBox2->isChecked());
    EXPECT_TRUE(w.Options.PrintOnGlueEdge);
    EXPECT_TRUE(w.Options.GlueLines);
    ui.CheckBox2->setChecked(false);
    EXPECT_TRUE(ui.CheckBox2->isChecked());

    ui.CheckBox8->setChecked(false);
    EXPECT_FALSE(w.Options.GlueEdge);
    for (QWidget* c :
         std::initializer_list<QWidget*>{ui.CheckBox9, ui.CheckBox10, ui.CheckBox2, ui.KrandxlEd,
                                         ui.KrandylEd, ui.Edit1, ui.Edit2})
        EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
    EXPECT_TRUE(w.Options.NoGlueOnPosterEdge); // a disabled box keeps its flag

    ui.CheckBox5->setChecked(true);
    EXPECT_FALSE(ui.IncEd->isEnabled());
    EXPECT_DOUBLE_EQ(ui.BreitEd->singleStep(), 1.0);
    ui.CheckBox5->setChecked(false);
    EXPECT_TRUE(ui.IncEd->isEnabled());
    EXPECT_DOUBLE_EQ(ui.HochEd->singleStep(), ui.IncEd->value());
}

TEST(PosterWindow, PaperFormatShowsThePrinterAndGlueChangesOnlyTheGlueTexts)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    const PaperFormatTexts expected = PaperFormatOf(w.Printer->metrics(), 5, 5);
    EXPECT_EQ(ui.Edit6->text(), expected.paperSize);
    EXPECT_TRUE(ui.Edit6->text().endsWith(QStringLiteral(" mm")));
    EXPECT_EQ(ui.Edit1->text(), expected.rightGlue);
    EXPECT_EQ(ui.PrinterEd->text(), w.Printer->description());
    EXPECT_TRUE(ui.PrinterEd->text().contains(QStringLiteral("Kantelberg Poster.pdf")));
    EXPECT_TRUE(ui.PrinterEd->isReadOnly());

    const PosterGeometry before = w.Geometry;
    ui.KrandxlEd->setValue(0);
    EXPECT_EQ(ui.Edit1->text(), QStringLiteral("0.00 mm"));
    EXPECT_EQ(ui.Edit6->text(), expected.paperSize);
    EXPECT_EQ(w.Geometry, before);
}

TEST(PosterWindow, PreviewClickSwitchesAPageOffAndOn)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    ui.PageControl1->setCurrentWidget(ui.TabSheet3);
    QTest::mouseClick(ui.VorschauBox, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(w.PageOffGrid[PageIndex(0, 0)], 1);
    QTest::mouseClick(ui.VorschauBox, Qt::LeftButton, {}, QPoint(9, 10));
    EXPECT_EQ(w.PageOffGrid[PageIndex(0, 0)], 1);
    QTest::mouseClick(ui.VorschauBox, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(w.PageOffGrid[PageIndex(0, 0)], 0);
}

TEST(PosterWindow, ZoomResizesThePreviewBox)
{
    StartedProgram program;
    Ui::MainForm& ui = program.window->Form();
    ui.ZoomEd->setValue(0.5);
    EXPECT_EQ(ui.VorschauBox->size(), QSize(170, 138));
    ui.ZoomEd->setValue(1.5);
    EXPECT_EQ(ui.VorschauBox->size(), QSize(512, 416));
}

} // namespace

namespace {

QString Cm(double pixels, int dpi)
{
    return QString::number(pixels / dpi * 2.54, 'f', 1);
}

} // namespace

TEST(PosterWindow, TheFinishedSizeFollowsThePagesAndACentimetreSizeSetsThem)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    ui.PageControl1->setCurrentWidget(ui.TabSheet3);
    ui.CheckBox10->setChecked(false); // the plain layout, glue strips on every page
    const PrinterMetrics m = w.Printer->metrics();
    ASSERT_TRUE(m.isValid());
    const int usableW = RoundHalfEven(m.pageWidth * 95 / 100.0);
    const int usableH = RoundHalfEven(m.pageHeight * 95 / 100.0);

    // Two pages across the 320 x 200 start picture: 160 picture pixels a page, each onto the
    // usable width; the rows as the derived height lays them out.
    TypeInto(ui.BreitEd, QStringLiteral("2"));
    const int down = w.Geometry.PagesDown;
    const int rowSpan = RoundHalfEven(200.0 * down / w.Geometry.PosterHeightPages) / down;
    const double width = 320.0 * usableW / 160;
    const double height = 200.0 * usableH / rowSpan;
    const QStringList lines = ui.RealSizeLabel->text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(
        QStringLiteral("Poster: %1 x %2 cm (").arg(Cm(width, m.dpiX), Cm(height, m.dpiY))))
        << lines[0].toStdString();
    const long ppi = std::lround(160.0 * m.dpiX / usableW);
    EXPECT_TRUE(lines[1].startsWith(QString::number(ppi))) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(
        QStringLiteral("ppi: the print will look very coarse: try Smooth enlargement")))
        << lines[1].toStdString();
    EXPECT_TRUE(ui.RealSizeLabel->isVisible());
    EXPECT_EQ(ui.RealWidthEd->text(), Cm(width, m.dpiX));

    // 50 cm typed in: the width edit gets the pages whose size comes nearest, through its own
    // handler, and the edit shows the size got. A page takes whole picture pixels, s of them:
    // the poster can be 320 * usableW / s device pixels wide.
    const double wanted = 50 / 2.54 * m.dpiX;
    double nearest = 0;
    for (int span = 1; span <= 320; ++span)
        if (std::abs(320.0 * usableW / span - wanted) < std::abs(nearest - wanted))
            nearest = 320.0 * usableW / span;
    TypeInto(ui.RealWidthEd, QStringLiteral("50"));
    QTest::keyClick(ui.RealWidthEd, Qt::Key_Return);
    EXPECT_TRUE(w.Geometry.WidthEditedLast);
    EXPECT_NE(ui.BreitEd->value(), 2.0);
    EXPECT_EQ(ui.RealWidthEd->text(), Cm(nearest, m.dpiX));
    EXPECT_TRUE(ui.RealSizeLabel->text().startsWith(
        QStringLiteral("Poster: %1 x ").arg(Cm(nearest, m.dpiX))));

    // In inches, the same size.
    ui.SizeUnitBox->setCurrentIndex(1);
    EXPECT_EQ(ui.RealWidthEd->text(), QString::number(nearest / m.dpiX, 'f', 2));

    // Only the size and print pages show the line.
    ui.PageControl1->setCurrentWidget(ui.TabSheet1);
    EXPECT_FALSE(ui.RealSizeLabel->isVisible());
    ui.PageControl1->setCurrentWidget(ui.TabSheet4);
    EXPECT_TRUE(ui.RealSizeLabel->isVisible());
}

TEST(PosterWindow, TheTestPageGoesBesideThePosterFile)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    ASSERT_TRUE(w.Printer->isPdfFile()); // the test machine has no printer
    // The PDF file is a 300 dpi device, and the Options page says so.
    EXPECT_EQ(w.Printer->metrics().dpiX, 300);
    EXPECT_TRUE(w.Form().PrinterEd->toolTip().endsWith(QStringLiteral(", 300 dpi")))
        << w.Form().PrinterEd->toolTip().toStdString();
    const QString poster = w.Printer->printer().outputFileName();
    const QString test =
        QFileInfo(poster).dir().filePath(QStringLiteral("Kantelberg Poster test page.pdf"));
    const BoxAnswer box = AnswerNextMessageBox(QMessageBox::Ok);
    w.Form().TestPageBtn->click();
    EXPECT_TRUE(QFileInfo(test).size() > 0) << test.toStdString();
    // It says where it went.
    ASSERT_TRUE(box->seen);
    EXPECT_EQ(box->icon, QMessageBox::Information);
    EXPECT_EQ(box->text,
              QStringLiteral("The test page was sent to %1.").arg(QDir::toNativeSeparators(test)));
    EXPECT_FALSE(QFileInfo::exists(poster)); // the poster's file stays as it was
    EXPECT_EQ(w.Printer->printer().outputFileName(), poster);
    EXPECT_FALSE(w.JobRunning);
}

TEST(PosterWindow, ANumberTypedOutOfRangeIsBroughtIntoItWhenTheEditIsLeft)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    const struct
    {
        QAbstractSpinBox* edit;
        const char* typed;
        double expected;
    } cases[] = {
        {ui.BreitEd, "0", 0.1}, {ui.BreitEd, "0.05", 0.1}, {ui.BreitEd, "150", 100},
        {ui.HochEd, "0", 0.1},  {ui.IncEd, "5", 1.0},      {ui.ZoomEd, "20", 10},
        {ui.ZoomEd, "0", 0.1},  {ui.KrandxlEd, "15", 10},  {ui.KrandylEd, "15", 10},
        {ui.KrandxlEd, "7", 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edit->objectName().toStdString() + " " + c.typed);
        TypeInto(c.edit, QString::fromLatin1(c.typed));
        // While the edit has the focus the number stays as typed.
        EXPECT_TRUE(c.edit->text().startsWith(QString::fromLatin1(c.typed)))
            << c.edit->text().toStdString();
        ui.QuitBtn->setFocus(); // the edit is left
        QCoreApplication::processEvents();
        const double value = c.edit->property("value").toDouble();
        EXPECT_NEAR(value, c.expected, 1e-9);
    }
    // The glue strip in force is the one the edit shows.
    EXPECT_EQ(ui.KrandxlEd->value(), 7);
    EXPECT_EQ(ui.KrandylEd->value(), 10);
}

TEST(PosterWindow, WholePagesRoundATypedWidthOnceItIsTyped)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    ui.CheckBox5->setChecked(true); // "Use full pages"
    for (const auto& [typed, pages] :
         {std::pair{"2.6", 3.0}, std::pair{"3.5", 4.0}, std::pair{"4.5", 4.0}}) {
        SCOPED_TRACE(typed);
        ui.BreitEd->setFocus();
        ui.BreitEd->selectAll();
        // At a person's pace, a key every 50 ms.
        QTest::keyClicks(ui.BreitEd, QString::fromLatin1(typed), Qt::NoModifier, 50);
        QTest::keyClick(ui.BreitEd, Qt::Key_Return);
        EXPECT_EQ(w.Geometry.PosterWidthPages, pages);
        EXPECT_EQ(w.Geometry.PagesAcross, int(pages));
        EXPECT_EQ(ui.BreitEd->value(), pages);
    }
    // Without whole pages every keystroke counts at once, as before.
    ui.CheckBox5->setChecked(false);
    TypeInto(ui.BreitEd, QStringLiteral("2.6"));
    EXPECT_DOUBLE_EQ(w.Geometry.PosterWidthPages, 2.6);
}

// "Smooth enlargement" and "Dot screen" sit with the options, exclude each other, and reach the
// finished size's line, the preview and the print job.
TEST(PosterWindow, SmoothEnlargementAndTheDotScreenAreChosenWithTheOptions)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    ui.PageControl1->setCurrentWidget(ui.TabSheet2);
    EXPECT_TRUE(ui.SmoothCheck->isVisible());
    EXPECT_FALSE(ui.RealSizeLabel->isVisible());
    EXPECT_FALSE(ui.DotsEd->isEnabled());

    ui.SmoothCheck->click();
    EXPECT_TRUE(w.CurrentRenderInputs().smooth);
    EXPECT_TRUE(ui.RealSizeLabel->text().endsWith(QStringLiteral("ppi: printed smooth")))
        << ui.RealSizeLabel->text().toStdString();

    ui.DotsCheck->click();
    EXPECT_FALSE(ui.SmoothCheck->isChecked());
    EXPECT_TRUE(ui.DotsEd->isEnabled());
    ui.DotsEd->setValue(20);
    const PageRenderInputs render = w.CurrentRenderInputs();
    EXPECT_FALSE(render.smooth);
    ASSERT_TRUE(render.dots.valid());
    // 20 mm on paper in picture pixels: the poster's width (shown in cm) over the picture's.
    const double cell = 20 * render.pictureWidth / (ui.RealWidthEd->value() * 10);
    EXPECT_NEAR(render.dots.cellX, cell, cell / 100);
    EXPECT_TRUE(ui.RealSizeLabel->text().endsWith(QStringLiteral("printed as a dot screen")));
    ui.PageControl1->setCurrentWidget(ui.TabSheet3);
    EXPECT_FALSE(ui.SmoothCheck->isVisible());
}
