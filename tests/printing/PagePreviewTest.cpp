// SPDX-License-Identifier: GPL-3.0-or-later
#include "PagePreview.h"
#include "GrafikRW.h"
#include "HeldPicture.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

constexpr int kBoxW = 341, kBoxH = 277, kPageW = 2400, kPageH = 3400;
const QRgb kBackground = qRgb(0, 128, 0);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kRed = qRgb(255, 0, 0);

PrintOptions Options(bool showGlue, bool noGlueOnEdge)
{
    PrintOptions o;
    o.GlueEdge = true;
    o.ShowGlueEdge = showGlue;
    o.NoGlueOnPosterEdge = noGlueOnEdge;
    return o;
}

PosterGeometry Grid(int across, int down)
{
    PosterGeometry g;
    g.PagesAcross = across;
    g.PagesDown = down;
    g.PosterWidthPages = across;
    g.PosterHeightPages = down;
    return g;
}

PictureRecord BluePicture(int w, int h)
{
    PictureRecord p = newdib(w, h, 24, nullptr, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            setpixel(p, x, y, 0x0000FF);
    return p;
}

QImage Paint(const PrintOptions& o, const PosterGeometry& g, const PageGrid& off,
             const PictureRecord& picture, int boxW = kBoxW, int boxH = kBoxH)
{
    QImage box(boxW, boxH, QImage::Format_RGB32);
    box.fill(kBackground);
    QPainter p(&box);
    const QPen pen(Qt::cyan);
    p.setPen(pen);
    PaintPreview(p, boxW, boxH, kPageW, kPageH, o, 5, 5, g, off, picture);
    EXPECT_EQ(p.pen(), pen); // the painter is left as it was
    return box;
}

TEST(PreviewLayout, TwoByTwoIsHeightLedWithGlueStripsHiddenOrShown)
{
    struct
    {
        bool showGlue;
        int cellW, cellH, x1, y1;
    } cases[] = {{false, 86, 121, 98, 133}, {true, 90, 127, 102, 139}};
    for (const auto& c : cases) {
        const PreviewLayout l = ComputePreviewLayout(kBoxW, kBoxH, kPageW, kPageH,
                                                     Options(c.showGlue, false), 5, 5, 2, 2);
        ASSERT_TRUE(l.valid);
        EXPECT_EQ(l.cellW, c.cellW);
        EXPECT_EQ(l.cellH, c.cellH);
        EXPECT_EQ(l.shrunkW, 86);
        EXPECT_EQ(l.shrunkH, 121);
        EXPECT_EQ(l.X0(0), 10);
        EXPECT_EQ(l.X0(1), c.x1);
        EXPECT_EQ(l.Y0(1), c.y1);
    }
}

TEST(PreviewLayout, ZeroCountsOrPageSizesGiveNothing)
{
    const PrintOptions o = Options(false, false);
    EXPECT_FALSE(ComputePreviewLayout(kBoxW, kBoxH, kPageW, kPageH, o, 5, 5, 0, 2).valid);
    EXPECT_FALSE(ComputePreviewLayout(kBoxW, kBoxH, kPageW, kPageH, o, 5, 5, 2, 0).valid);
    EXPECT_FALSE(ComputePreviewLayout(kBoxW, kBoxH, 0, kPageH, o, 5, 5, 2, 2).valid);
    EXPECT_TRUE(HitTest(kBoxW, kBoxH, 0, 0, o, 5, 5, 2, 2, 10, 10).empty());
}

TEST(PreviewHitTest, InclusiveBoundsAndGaps)
{
    const PrintOptions o = Options(false, false);
    using Hits = std::vector<std::pair<int, int>>;
    struct
    {
        int x, y;
        Hits hits;
    } cases[] = {
        {10, 10, {{0, 0}}},  {9, 10, {}},          {96, 10, {{0, 0}}}, {97, 10, {}},
        {98, 133, {{1, 1}}}, {184, 254, {{1, 1}}}, {185, 254, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HitTest(kBoxW, kBoxH, kPageW, kPageH, o, 5, 5, 2, 2, c.x, c.y), c.hits)
            << c.x << "," << c.y;
}

TEST(PreviewHitTest, SpecialLayoutWidensLastColumnAndRow)
{
    const PrintOptions o = Options(false, true);
    const PreviewLayout l = ComputePreviewLayout(kBoxW, kBoxH, kPageW, kPageH, o, 5, 5, 2, 2);
    EXPECT_EQ(l.CellWidth(1), 90);
    EXPECT_EQ(l.CellWidth(0), 86);
    EXPECT_EQ(l.CellHeight(1), 127);
    using Hits = std::vector<std::pair<int, int>>;
    EXPECT_EQ(HitTest(kBoxW, kBoxH, kPageW, kPageH, o, 5, 5, 2, 2, 98 + 90, 140), (Hits{{1, 1}}));
    EXPECT_EQ(HitTest(kBoxW, kBoxH, kPageW, kPageH, o, 5, 5, 2, 2, 98 + 91, 140), Hits{});
}

TEST(PaintPreview, CellsPictureGapsAndGlueMarks)
{
    const HeldPicture picture(BluePicture(200, 280));
    PageGrid off{};
    PrintOptions o = Options(true, false);
    o.PrintOnGlueEdge = false;
    const QImage box = Paint(o, Grid(2, 2), off, *picture);
    // Cell 0 is 90 x 127 at (10, 10); the picture fills 86 x 121 of it.
    EXPECT_EQ(box.pixel(9, 10), kBackground);
    EXPECT_EQ(box.pixel(50, 50), qRgb(0, 0, 255));
    EXPECT_EQ(box.pixel(99, 12), kWhite);       // glue strip of cell 0 stays white
    EXPECT_EQ(box.pixel(100, 12), kBackground); // gap
    int dotsX = 0, dotsY = 0;
    for (int y = 10; y < 10 + 121; ++y)
        dotsX += box.pixel(97, y) == qRgb(0, 0, 0);
    for (int x = 10; x < 10 + 86; ++x)
        dotsY += box.pixel(x, 132) == qRgb(0, 0, 0);
    EXPECT_GT(dotsX, 20);
    EXPECT_GT(dotsY, 15);
    EXPECT_LT(dotsX, 121); // dotted, not solid
}

TEST(PaintPreview, SwitchedOffPageIsCrossedOutInsteadOfDrawn)
{
    const HeldPicture picture(BluePicture(200, 280));
    PageGrid off{};
    off[PageIndex(1, 0)] = 1;
    const QImage box = Paint(Options(false, false), Grid(2, 2), off, *picture);
    // Cell (1, 0) is 86 x 121 at (98, 10): a red diagonal, white elsewhere, no picture.
    EXPECT_EQ(box.pixel(98 + 10, 10 + 60), kWhite);
    EXPECT_EQ(box.pixel(98, 10), kRed);
    int blue = 0, red = 0;
    for (int y = 10; y < 131; ++y)
        for (int x = 98; x < 184; ++x) {
            blue += box.pixel(x, y) == qRgb(0, 0, 255);
            red += box.pixel(x, y) == kRed;
        }
    EXPECT_EQ(blue, 0);
    EXPECT_GT(red, 2 * 110);                       // two diagonals of about 121 pixels each
    EXPECT_NE(box.pixel(184, 131), kRed);          // the end point is left out
    EXPECT_EQ(box.pixel(20, 20), qRgb(0, 0, 255)); // its neighbour is drawn
}

TEST(PaintPreview, TinyCellsDrawNothing)
{
    const HeldPicture picture(BluePicture(200, 280));
    PageGrid off{};
    off[PageIndex(3, 3)] = 1;
    const QImage box = Paint(Options(true, false), Grid(100, 100), off, *picture, 34, 27);
    for (int y = 0; y < box.height(); ++y)
        for (int x = 0; x < box.width(); ++x)
            ASSERT_EQ(box.pixel(x, y), kBackground) << x << "," << y;
}

} // namespace
