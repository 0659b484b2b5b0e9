// The options and size pages driven through the real window.
#include "WindowTestSupport.h"
#include "ui_MainForm.h"

#include "PaperFormat.h"
#include "Rounding.h"

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
