// SPDX-License-Identifier: GPL-3.0-or-later
#include "PaperFormat.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>

namespace {

PrinterMetrics Printer300()
{
    PrinterMetrics m;
    m.paperWidth = 2480;
    m.paperHeight = 3508;
    m.offsetX = 50;
    m.offsetY = 50;
    m.pageWidth = 2380;
    m.pageHeight = 3408;
    m.dpiX = 300;
    m.dpiY = 300;
    return m;
}

PrinterMetrics Scaled(PrinterMetrics m, int f)
{
    m.paperWidth *= f;
    m.paperHeight *= f;
    m.offsetX *= f;
    m.offsetY *= f;
    m.pageWidth *= f;
    m.pageHeight *= f;
    m.dpiX *= f;
    m.dpiY *= f;
    return m;
}

TEST(PaperFormat, TextsOfA4PrinterAtBothResolutions)
{
    for (int factor : {1, 2}) {
        SCOPED_TRACE(factor);
        const PaperFormatTexts t = PaperFormatOf(Scaled(Printer300(), factor), 5, 5);
        EXPECT_EQ(t.paperSize, "209.85 x 296.83 mm");
        EXPECT_EQ(t.topEdge, "4.23 mm");
        EXPECT_EQ(t.leftEdge, "4.23 mm");
        EXPECT_EQ(t.rightEdge, "4.23 mm");
        EXPECT_EQ(t.bottomEdge, "4.23 mm");
        EXPECT_EQ(t.rightGlue, "10.07 mm");
        EXPECT_EQ(t.bottomGlue, "14.42 mm");
    }
}

TEST(PaperFormat, GluePercentagesChangeOnlyTheGlueTextsAndAreConfined)
{
    const PaperFormatTexts base = PaperFormatOf(Printer300(), 5, 5);
    struct Case
    {
        int right, bottom;
        const char* rightText;
        const char* bottomText;
    };
    const Case cases[] = {
        {0, 0, "0.00 mm", "0.00 mm"},
        {10, 1, "20.14 mm", "2.88 mm"},
        {-4, 99, "0.00 mm", "28.84 mm"}, // confined to 0 and 10
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.right);
        const PaperFormatTexts t = PaperFormatOf(Printer300(), c.right, c.bottom);
        EXPECT_EQ(t.rightGlue, c.rightText);
        EXPECT_EQ(t.bottomGlue, c.bottomText);
        EXPECT_EQ(t.paperSize, base.paperSize);
        EXPECT_EQ(t.topEdge, base.topEdge);
        EXPECT_EQ(t.leftEdge, base.leftEdge);
        EXPECT_EQ(t.rightEdge, base.rightEdge);
        EXPECT_EQ(t.bottomEdge, base.bottomEdge);
    }
}

TEST(PaperFormat, HorizontalAndVerticalUseTheirOwnResolution)
{
    PrinterMetrics m = Printer300();
    m.dpiY = 600; // vertical figures halve
    const PaperFormatTexts t = PaperFormatOf(m, 5, 5);
    EXPECT_EQ(t.paperSize, "209.85 x 148.42 mm");
    EXPECT_EQ(t.leftEdge, "4.23 mm");
    EXPECT_EQ(t.topEdge, "2.12 mm");
    EXPECT_EQ(t.rightGlue, "10.07 mm");
    EXPECT_EQ(t.bottomGlue, "7.21 mm");
}

TEST(PaperFormat, NumberTextsWhateverTheLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char* c = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    PrinterMetrics m = Printer300();
    m.paperWidth = 2480000;          // a wide roll: no thousands separator
    m.offsetX = 2480000 - 2380 + 50; // printable area beyond the paper: negative right edge
    const PaperFormatTexts t = PaperFormatOf(m, 5, 5);
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(saved);
    (void)c;
    EXPECT_EQ(t.paperSize, "209846.15 x 296.83 mm");
    EXPECT_EQ(t.rightEdge, "-4.23 mm");
    EXPECT_EQ(t.topEdge, "4.23 mm");
}

TEST(PaperFormat, LargePixelCountsDoNotWrap)
{
    // 10 million pixels times 297 exceeds 32 bits.
    EXPECT_NEAR(PixelsToMm(10000000, 300), 846153.85, 0.01);
    EXPECT_EQ(MmText(-0.001), "0.00 mm");
}

TEST(PaperFormat, NoPrinterGivesEmptyTexts)
{
    EXPECT_EQ(PaperFormatOf(PrinterMetrics{}, 5, 5), PaperFormatTexts{});
    PrinterMetrics noDpi = Printer300();
    noDpi.dpiX = 0;
    EXPECT_TRUE(PaperFormatOf(noDpi, 5, 5).paperSize.isEmpty());
}

} // namespace
