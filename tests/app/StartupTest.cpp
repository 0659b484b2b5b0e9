// SPDX-License-Identifier: GPL-3.0-or-later
// The state the program starts in.
#include "WindowTestSupport.h"
#include "ui_MainForm.h"

#include "Rounding.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(Startup, LoadPageActiveWithStartPictureFields)
{
    StartedProgram program;
    Ui::MainForm& f = program.window->Form();
    EXPECT_EQ(f.PageControl1->currentWidget(), f.TabSheet1);
    EXPECT_EQ(f.Breit->text(), "320");
    EXPECT_EQ(f.Hoch->text(), "200");
    EXPECT_EQ(f.Tief->text(), "256");
    for (QLineEdit* edit : {f.Breit, f.Hoch, f.Tief}) {
        EXPECT_TRUE(edit->isReadOnly()) << edit->objectName().toStdString();
        EXPECT_EQ(edit->focusPolicy(), Qt::NoFocus) << edit->objectName().toStdString();
    }
}

TEST(Startup, BlankPictureWithSelectionShortOfItsEdges)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    ASSERT_NE(w.CurrentPicture.Bits, nullptr);
    EXPECT_EQ(DIBWidth(w.CurrentPicture), 320);
    EXPECT_EQ(DIBHeight(w.CurrentPicture), 200);
    EXPECT_EQ(w.CurrentPicture.Info->bmiHeader.biBitCount, 8);
    EXPECT_EQ(w.View.SelLeft, 0);
    EXPECT_EQ(w.View.SelTop, 0);
    EXPECT_EQ(w.View.SelRight, 319);
    EXPECT_EQ(w.View.SelBottom, 199);
    EXPECT_EQ(w.View.SelDragging, 0);
}

TEST(Startup, EveryPageOnAndPosterOnePageHigh)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    EXPECT_TRUE(
        std::all_of(w.PageOffGrid.begin(), w.PageOffGrid.end(), [](uint8_t b) { return b == 0; }));
    // The first refit is height-led from 1.0 page high, the second width-led from the width
    // it derived: the blank picture ends one page high and as wide as its proportions ask.
    EXPECT_DOUBLE_EQ(w.Geometry.PosterWidthPages, w.Form().BreitEd->value());
    EXPECT_GT(w.Geometry.PosterWidthPages, 1.0);
    EXPECT_EQ(w.Geometry.PagesAcross, CeilPages(w.Geometry.PosterWidthPages));
    EXPECT_EQ(w.Geometry.PagesDown, 1);
    EXPECT_LE(w.Geometry.PosterHeightPages, 1.0);
    EXPECT_TRUE(w.Geometry.WidthEditedLast);
    EXPECT_FALSE(w.Geometry.SizeUpdateGuard);
}

TEST(Startup, OptionsMatchTheirCheckBoxes)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& f = w.Form();
    const struct
    {
        bool flag;
        QCheckBox* box;
    } pairs[] = {
        {w.Options.CutHelpLines, f.CheckBox1},
        {w.Options.GlueLines, f.CheckBox2},
        {w.Options.NoLinesOnPosterEdge, f.CheckBox3},
        {w.Options.CenterPicture, f.CheckBox4},
        {w.Options.UseFullPages, f.CheckBox5},
        {w.Options.KeepAspectRatio, f.CheckBox6},
        {w.Options.GlueEdge, f.CheckBox8},
        {w.Options.PrintOnGlueEdge, f.CheckBox9},
        {w.Options.NoGlueOnPosterEdge, f.CheckBox10},
        {w.Options.ShowGlueEdge, f.KrShowCheck},
    };
    for (const auto& p : pairs)
        EXPECT_EQ(p.flag, p.box->isChecked()) << p.box->objectName().toStdString();
}

TEST(Startup, FileTypeBoxHoldsTheFixedListFromAllPictures)
{
    StartedProgram program;
    QComboBox* types = program.window->Form().FilterComboBox1;
    const QStringList expected = {"All pictures",
                                  "BMP;DIB;RLE",
                                  "IFF;LBM",
                                  "JPG;JIF",
                                  "GIF",
                                  "PCX",
                                  "TGA",
                                  "TIF",
                                  "PNG",
                                  "JPEG;JPE",
                                  "TIFF",
                                  "WEBP",
                                  "QOI",
                                  "PBM;PGM;PPM;PNM",
                                  "PDF",
                                  "SVG;SVGZ",
                                  "All files (*.*)"};
    ASSERT_EQ(types->count(), expected.size());
    for (int i = 0; i < types->count(); ++i)
        EXPECT_EQ(types->itemText(i), expected[i]);
    EXPECT_EQ(types->currentIndex(), 0);
    EXPECT_EQ(types->itemData(0).toStringList().size(), 24);
}
