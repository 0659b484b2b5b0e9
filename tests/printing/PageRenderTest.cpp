// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageRender.h"
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "Rounding.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

PageRenderInputs Inputs(int w, int h, double widthPages, double heightPages)
{
    PageRenderInputs in;
    in.pictureWidth = w;
    in.pictureHeight = h;
    in.geometry.PosterWidthPages = widthPages;
    in.geometry.PosterHeightPages = heightPages;
    in.geometry.PagesAcross = CeilPages(widthPages);
    in.geometry.PagesDown = CeilPages(heightPages);
    in.options.GlueEdge = true;
    in.options.CenterPicture = false;
    in.options.PrintOnGlueEdge = false;
    in.gx = in.gy = 5;
    return in;
}

StretchRects Rects(int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh)
{
    return StretchRects{dx, dy, dw, dh, sx, sy, sw, sh};
}

struct Case
{
    const char* name;
    bool spezial;
    bool printOnGlue;
    int column, row;
    StretchRects expected;
};

// Picture 1000 x 800 on 2 x 2 pages, glue strips of 5 %, drawn into 4560 x 6460 pages.
TEST(PageRects, WorkedExamplesOfTwoByTwoPoster)
{
    const Case cases[] = {
        {"plain (1,0)", false, false, 1, 0, Rects(0, 0, 4560, 6460, 500, 400, 500, 400)},
        {"plain (0,1)", false, false, 0, 1, Rects(0, 0, 4560, 6460, 0, 0, 500, 400)},
        {"widened (0,0)", false, true, 0, 0, Rects(0, 0, 4800, 6800, 0, 379, 526, 421)},
        {"widened (1,0)", false, true, 1, 0, Rects(0, 0, 4800, 6800, 500, 379, 526, 421)},
        {"spezial (0,0)", true, false, 0, 0, Rects(0, 0, 4560, 6460, 0, 410, 487, 390)},
        {"spezial last column", true, false, 1, 0, Rects(0, 0, 4800, 6460, 487, 410, 513, 390)},
        {"spezial last row", true, false, 0, 1, Rects(0, 0, 4560, 6800, 0, -1, 487, 411)},
    };
    for (const Case& c : cases) {
        PageRenderInputs in = Inputs(1000, 800, 2.0, 2.0);
        in.options.PrintOnGlueEdge = c.printOnGlue;
        const auto r = c.spezial
                           ? SpezialPrintPageRects(in, c.column, c.row, 0, 0, 4560, 6460, true)
                           : PrintPageRects(in, c.column, c.row, 0, 0, 4560, 6460, true);
        ASSERT_TRUE(r) << c.name;
        EXPECT_EQ(*r, c.expected) << c.name;
    }
}

TEST(PageRects, SpezialLastColumnEndsAtPictureEdgeAndLastRowClipsToPicture)
{
    const PageRenderInputs in = Inputs(1000, 800, 2.0, 2.0);
    const auto col = SpezialPrintPageRects(in, 1, 0, 0, 0, 4560, 6460, false);
    ASSERT_TRUE(col);
    EXPECT_EQ(col->srcX + col->srcWidth, 1000);
    const auto row = SpezialPrintPageRects(in, 0, 1, 0, 0, 4560, 6460, false);
    ASSERT_TRUE(row);
    const StretchRects clipped = ClipStretchRects(*row, 1000);
    EXPECT_EQ(clipped.srcY, 0);
    EXPECT_EQ(clipped.srcHeight, 410);
}

TEST(PageRects, WithoutGlueAllowedNoWideningEvenWithPrintOnGlue)
{
    PageRenderInputs in = Inputs(1000, 800, 2.0, 2.0);
    in.options.PrintOnGlueEdge = true;
    EXPECT_EQ(*PrintPageRects(in, 0, 0, 0, 0, 4560, 6460, false),
              Rects(0, 0, 4560, 6460, 0, 400, 500, 400));
}

TEST(PageRects, CentringShiftsColumnsByHalfTheBlankExcess)
{
    struct
    {
        double widthPages;
        int column;
        int srcX;
    } cases[] = {{1.5, 0, -150}, {1.5, 1, 450}, {2.0, 1, 450}};
    for (const auto& c : cases) {
        PageRenderInputs in = Inputs(900, 600, c.widthPages, 1.0);
        in.options.CenterPicture = true;
        const auto r = PrintPageRects(in, c.column, 0, 0, 0, 100, 100, false);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->srcX, c.srcX) << c.widthPages << " column " << c.column;
    }
    // 1.5 pages: gridSpanX 1200, pageSpanX 600; a whole number of pages leaves nothing to centre.
    PageRenderInputs whole = Inputs(900, 600, 2.0, 1.0);
    whole.options.CenterPicture = true;
    EXPECT_EQ(PrintPageRects(whole, 0, 0, 0, 0, 100, 100, false)->srcX, 0);
}

TEST(PageRects, DegenerateInputsDrawNothing)
{
    PageRenderInputs zeroAcross = Inputs(100, 100, 1.0, 1.0);
    zeroAcross.geometry.PagesAcross = 0;
    PageRenderInputs zeroSize = Inputs(100, 100, 1.0, 1.0);
    zeroSize.geometry.PosterHeightPages = 0.0;
    PageRenderInputs noPicture = Inputs(0, 100, 1.0, 1.0);
    for (const PageRenderInputs& in : {zeroAcross, zeroSize, noPicture}) {
        EXPECT_FALSE(PrintPageRects(in, 0, 0, 0, 0, 10, 10, true));
        EXPECT_FALSE(SpezialPrintPageRects(in, 0, 0, 0, 0, 10, 10, true));
    }
}

int EightBitScreen()
{
    return 8;
}
int TrueColourScreen()
{
    return 32;
}

TEST(PageDrawPasses, PlainFirstOnlyWhenHalftoningWouldDiffer)
{
    const StretchRects r = Rects(0, 0, 50, 50, 0, 0, 100, 100);
    struct
    {
        int (*screen)();
        int bitCount;
        bool plainFirst;
        std::vector<bool> passes;
    } cases[] = {
        {&EightBitScreen, 24, true, {false, true}},
        {&EightBitScreen, 24, false, {true}},
        {&EightBitScreen, 8, true, {true}},
        {&TrueColourScreen, 24, true, {true}},
    };
    for (const auto& c : cases) {
        SetScreenColorDepthProbe(c.screen);
        EXPECT_EQ(PageDrawPasses(r, 100, 100, c.bitCount, c.plainFirst), c.passes)
            << c.bitCount << " bits, plain first " << c.plainFirst;
    }
    SetScreenColorDepthProbe(nullptr);
}

// A picture whose left half is red and right half blue.
PictureRecord HalvesPicture(int w, int h)
{
    PictureRecord p = newdib(w, h, 24, nullptr, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            setpixel(p, x, y, x < w / 2 ? 0xFF0000 : 0x0000FF);
    return p;
}

TEST(RenderPosterPage, DrawsThePagesShareAndLeavesCentredBlankAreaUnpainted)
{
    const HeldPicture picture(HalvesPicture(90, 60));
    ASSERT_NE(picture->Bits, nullptr);
    PageRenderInputs in = Inputs(90, 60, 1.5, 1.0);
    in.options.NoGlueOnPosterEdge = false;
    in.options.CenterPicture = true;
    QImage page(100, 100, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter p(&page);
        // Page 0 covers picture columns -15 .. 44: a sixth of it lies left of the picture.
        RenderPosterPage(&p, *picture, in, 0, 0, 0, 0, 60, 60, false, true);
    }
    EXPECT_EQ(page.pixel(5, 30), qRgb(255, 255, 255));
    EXPECT_EQ(page.pixel(30, 30), qRgb(255, 0, 0));
    EXPECT_EQ(page.pixel(80, 30), qRgb(255, 255, 255)); // beyond the destination
}

} // namespace
