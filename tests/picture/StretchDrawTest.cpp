// SPDX-License-Identifier: GPL-3.0-or-later
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "StretchPlan.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

TEST(StretchClip, RightEdgeShrinksTheDestinationInProportion)
{
    const StretchRects r = ClipStretchRects({5, 6, 200, 50, 90, 0, 20, 50}, 100);
    EXPECT_EQ(r, (StretchRects{5, 6, 100, 50, 90, 0, 10, 50}));
}

TEST(StretchClip, BottomEdgeShrinksTheDestinationInProportion)
{
    const StretchRects r = ClipStretchRects({0, 7, 40, 40, 0, -5, 40, 20}, 100);
    EXPECT_EQ(r, (StretchRects{0, 7, 40, 30, 0, 0, 40, 15}));
}

TEST(StretchClip, HalvesRoundToEven)
{
    // 25 * 1 / 2 = 12.5 and 27 * 1 / 2 = 13.5
    EXPECT_EQ(ClipStretchRects({0, 0, 25, 10, 99, 0, 2, 10}, 100).destWidth, 12);
    EXPECT_EQ(ClipStretchRects({0, 0, 27, 10, 99, 0, 2, 10}, 100).destWidth, 14);
}

TEST(StretchClip, RectanglesInsideOrLeftOfThePictureStayAsTheyAre)
{
    const StretchRects inside{1, 2, 30, 40, 10, 10, 50, 50};
    EXPECT_EQ(ClipStretchRects(inside, 100), inside);
    const StretchRects left{1, 2, 30, 40, -20, 10, 50, 50};
    EXPECT_EQ(ClipStretchRects(left, 100), left);
    const StretchRects above{1, 2, 30, 40, 0, 90, 50, 50}; // reaches above the top
    EXPECT_EQ(ClipStretchRects(above, 100), above);
}

int EightBitScreen()
{
    return 8;
}
int TrueColourScreen()
{
    return 32;
}
int ScreenMustNotBeAsked()
{
    ADD_FAILURE() << "screen depth probed";
    return 32;
}

TEST(StretchPlan, TrueColourScreenDrawsThePicturesOwnPixels)
{
    const StretchRects r{0, 0, 10, 10, 0, 0, 100, 100};
    EXPECT_FALSE(PlanStretchDraw(r, 100, 100, 24, true, TrueColourScreen).halftoned);
    EXPECT_FALSE(PlanStretchDraw(r, 100, 100, 24, false, TrueColourScreen).halftoned);
}

TEST(StretchPlan, PalettedPicturesAreNeverHalftonedAndTheScreenIsNotProbed)
{
    const StretchRects r{0, 0, 10, 10, 0, 0, 100, 100};
    for (int bits : {1, 4, 8})
        EXPECT_FALSE(PlanStretchDraw(r, 100, 100, bits, true, ScreenMustNotBeAsked).halftoned);
}

TEST(StretchPlan, HalftoneFalseForbidsTheHalftonedPath)
{
    const StretchRects r{0, 0, 10, 10, 0, 0, 100, 100};
    EXPECT_FALSE(PlanStretchDraw(r, 100, 100, 24, false, EightBitScreen).halftoned);
}

TEST(StretchPlan, ReducedInOneDirectionUsesTheScaledCopy)
{
    // Width reduced 200 -> 100, height enlarged 50 -> 100.
    const StretchRects r{0, 0, 100, 100, 40, 10, 200, 50};
    const StretchPlan plan = PlanStretchDraw(r, 400, 300, 24, true, EightBitScreen);
    ASSERT_TRUE(plan.halftoned);
    ASSERT_TRUE(plan.reduced);
    EXPECT_EQ(plan.copyWidth, 200);  // 400 * 100 / 200
    EXPECT_EQ(plan.copyHeight, 600); // 300 * 100 / 50
    EXPECT_EQ(plan.draw, (StretchRects{0, 0, 100, 100, 20, 20, 100, 100}));
}

TEST(StretchPlan, EnlargedUsesTheSameSizeCopy)
{
    const StretchRects r{0, 0, 300, 300, 0, 0, 100, 100};
    const StretchPlan plan = PlanStretchDraw(r, 100, 100, 24, true, EightBitScreen);
    EXPECT_TRUE(plan.halftoned);
    EXPECT_FALSE(plan.reduced);
    EXPECT_EQ(plan.draw, r);
}

// A 24-bit picture whose pixel (x, y) has red x*40, green y*40 and blue 200.
PictureRecord Gradient(int w, int h)
{
    const PictureRecord p = newdib(w, h, 24, nullptr, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            setpixel(p, x, y, (x * 40) << 16 | (y * 40) << 8 | 200);
    return p;
}

QImage Canvas(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

QRgb Expected(int x, int y)
{
    return qRgb(x * 40, y * 40, 200);
}

TEST(StretchDraw, OneToOneShowsThePictureTheRightWayUp)
{
    const HeldPicture p(Gradient(4, 3));
    QImage img = Canvas(10, 10);
    {
        QPainter painter(&img);
        StretchDrawDIB(&painter, 2, 1, 4, 3, *p, 0, 0, 4, 3, true, SRCCOPY);
    }
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(img.pixel(2 + x, 1 + y), Expected(x, y)) << x << "," << y;
    EXPECT_EQ(img.pixel(1, 1), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(6, 1), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(2, 4), qRgb(255, 255, 255));
}

TEST(StretchDraw, EnlargingRepeatsPixelsWithoutBlending)
{
    const HeldPicture p(Gradient(3, 2));
    QImage img = Canvas(9, 6);
    {
        QPainter painter(&img);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        StretchDrawDIB(&painter, 0, 0, 9, 6, *p, 0, 0, 3, 2, true, SRCCOPY);
        EXPECT_FALSE(painter.testRenderHint(QPainter::SmoothPixmapTransform));
    }
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x)
            EXPECT_EQ(img.pixel(x, y), Expected(x / 3, y / 3)) << x << "," << y;
}

TEST(StretchDraw, SourceRowsCountFromTheBottom)
{
    const HeldPicture p(Gradient(2, 4));
    QImage img = Canvas(2, 1);
    {
        QPainter painter(&img);
        // Row 1 from the top of a 4-row picture is srcY = 4 - 1 - 1 = 2.
        StretchDrawDIB(&painter, 0, 0, 2, 1, *p, 0, 2, 2, 1, true, SRCCOPY);
    }
    EXPECT_EQ(img.pixel(0, 0), Expected(0, 1));
    EXPECT_EQ(img.pixel(1, 0), Expected(1, 1));
}

TEST(StretchDraw, SourceOutsideThePictureLeavesItsDestinationUnpainted)
{
    const HeldPicture p(Gradient(4, 4));
    QImage img = Canvas(8, 8);
    {
        QPainter painter(&img);
        // Two columns left of the picture and two rows above it, at scale 2.
        StretchDrawDIB(&painter, 0, 0, 8, 8, *p, -2, 2, 4, 4, true, SRCCOPY);
    }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool outside = x < 4 || y < 4;
            EXPECT_EQ(img.pixel(x, y),
                      outside ? qRgb(255, 255, 255) : Expected(x / 2 - 2, y / 2 - 2))
                << x << "," << y;
        }
}

TEST(StretchDraw, ClippedAtTheRightEdgeTheRestStaysBlank)
{
    const HeldPicture p(Gradient(4, 1));
    QImage img = Canvas(8, 1);
    {
        QPainter painter(&img);
        StretchDrawDIB(&painter, 0, 0, 8, 1, *p, 2, 0, 4, 1, true, SRCCOPY);
    }
    EXPECT_EQ(img.pixel(0, 0), Expected(2, 0));
    EXPECT_EQ(img.pixel(3, 0), Expected(3, 0));
    EXPECT_EQ(img.pixel(4, 0), qRgb(255, 255, 255));
}

TEST(StretchDraw, PalettedDepthsUseTheirColourTables)
{
    for (int bits : {1, 4, 8}) {
        HeldPicture p(newdib(9, 3, bits, nullptr, 0));
        const int last = ColourTableSize(bits) - 1;
        p->Info->bmiColors[0] = {0, 0, 255, 0};    // red
        p->Info->bmiColors[last] = {255, 0, 0, 0}; // blue
        setpixel(*p, 8, 0, last);
        QImage img = Canvas(9, 3);
        {
            QPainter painter(&img);
            StretchDrawDIB(&painter, 0, 0, 9, 3, *p, 0, 0, 9, 3, true, SRCCOPY);
        }
        EXPECT_EQ(img.pixel(8, 0), qRgb(0, 0, 255)) << bits;
        EXPECT_EQ(img.pixel(7, 0), qRgb(255, 0, 0)) << bits;
        EXPECT_EQ(img.pixel(8, 2), qRgb(255, 0, 0)) << bits;

        // Later changes of pixels and colours show at the next drawing.
        setpixel(*p, 0, 2, last);
        p->Info->bmiColors[0] = {0, 255, 0, 0}; // green
        {
            QPainter painter(&img);
            StretchDrawDIB(&painter, 0, 0, 9, 3, *p, 0, 0, 9, 3, true, SRCCOPY);
        }
        EXPECT_EQ(img.pixel(0, 2), qRgb(0, 0, 255)) << bits;
        EXPECT_EQ(img.pixel(1, 2), qRgb(0, 255, 0)) << bits;
    }
}

TEST(StretchDraw, PixelsWrittenDirectlyShowAfterDIBChanged)
{
    HeldPicture p(newdib(4, 1, 4, nullptr, 0));
    QImage img = Canvas(4, 1);
    {
        QPainter painter(&img);
        StretchDrawDIB(&painter, 0, 0, 4, 1, *p, 0, 0, 4, 1, true, SRCCOPY);
    }
    EXPECT_EQ(img.pixel(0, 0), qRgb(0, 0, 0));
    p->Bits[0] = 0xF0; // pixel 0 to the last grey, white
    DIBChanged(*p);
    {
        QPainter painter(&img);
        StretchDrawDIB(&painter, 0, 0, 4, 1, *p, 0, 0, 4, 1, true, SRCCOPY);
    }
    EXPECT_EQ(img.pixel(0, 0), qRgb(255, 255, 255));
}

TEST(StretchDraw, EightBitScreenDrawsTrueColourFromTheHalftonePalette)
{
    const HeldPicture p(Gradient(6, 6));
    QImage plain = Canvas(3, 3), halftoned = Canvas(3, 3);
    {
        QPainter painter(&plain);
        StretchDrawDIB(&painter, 0, 0, 3, 3, *p, 0, 0, 6, 6, true, SRCCOPY);
    }
    SetScreenColorDepthProbe(EightBitScreen);
    {
        QPainter painter(&halftoned);
        StretchDrawDIB(&painter, 0, 0, 3, 3, *p, 0, 0, 6, 6, true, SRCCOPY);
    }
    QImage forbidden = Canvas(3, 3);
    {
        QPainter painter(&forbidden);
        StretchDrawDIB(&painter, 0, 0, 3, 3, *p, 0, 0, 6, 6, false, SRCCOPY);
    }
    SetScreenColorDepthProbe(nullptr);
    EXPECT_NE(plain, halftoned);
    EXPECT_EQ(plain, forbidden);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            const QRgb c = halftoned.pixel(x, y);
            // Every colour of the halftone cube is a multiple of 51 in each channel.
            EXPECT_EQ(qRed(c) % 51, 0);
            EXPECT_EQ(qGreen(c) % 51, 0);
            EXPECT_EQ(qBlue(c) % 51, 0);
        }
}

TEST(StretchDraw, NoPictureDrawsNothing)
{
    QImage img = Canvas(4, 4);
    const QImage before = img;
    {
        QPainter painter(&img);
        StretchDrawDIB(&painter, 0, 0, 4, 4, PictureRecord{}, 0, 0, 4, 4, true, SRCCOPY);
        const HeldPicture p(Gradient(2, 2));
        StretchDrawDIB(&painter, 0, 0, 4, 4, *p, 0, 0, 0, 0, true, SRCCOPY); // empty source
        StretchDrawDIB(&painter, 0, 0, 4, 4, *p, 5, 0, 2, 2, true, SRCCOPY); // wholly right of it
    }
    EXPECT_EQ(img, before);
}

} // namespace

namespace {

// A 4-bit picture has no image Qt can draw: the part in sight is expanded for each drawing, and
// a reduced copy is drawn from when it shows at half its size or less. At every scroll and clip,
// enlarged, and reduced by a power of two, it shows what the same pixels at 8 bits show.
TEST(StretchDraw, AFourBitPictureShowsWhatItsEightBitTwinShows)
{
    struct View
    {
        int w, h;                                 // the picture: odd, or on the reduced grid
        int destW, destH, srcX, srcY, srcW, srcH; // the drawing
        QPoint scroll;                            // the painter moved by
        QRect clip;                               // empty: none
    };
    const View views[] = {
        {37, 23, 37, 23, 0, 0, 37, 23, {}, {}},                    // as it is
        {37, 23, 370, 230, 0, 0, 37, 23, {-120, -90}, {}},         // ten times, scrolled
        {37, 23, 370, 230, 0, 0, 37, 23, {0, 0}, {50, 40, 17, 9}}, // a small clip
        {37, 23, 200, 100, 5, 3, 20, 10, {-7, -3}, {}},            // a part, enlarged
        {37, 23, 64, 64, 30, -4, 20, 20, {}, {}},                  // over the right and bottom
        {37, 23, 30, 20, 0, 0, 37, 23, {}, {}},                    // a little smaller
        {64, 48, 32, 24, 0, 0, 64, 48, {}, {}},                    // a half
        {64, 48, 16, 12, 0, 0, 64, 48, {}, {}},                    // a quarter
        {64, 48, 8, 6, 0, 0, 64, 48, {}, {}},                      // an eighth
        {64, 48, 8, 6, 16, 8, 32, 24, {}, {}},                     // a part, at an eighth
    };
    for (const View& v : views) {
        HeldPicture four(newdib(v.w, v.h, 4, nullptr, 0));
        HeldPicture eight(newdib(v.w, v.h, 8, nullptr, 0));
        ASSERT_TRUE(four && eight);
        for (int i = 0; i < 16; ++i) {
            const RGBQUAD c{uint8_t(i * 16), uint8_t(255 - i * 9), uint8_t(i * 5 + 3), 0};
            four->Info->bmiColors[i] = c;
            eight->Info->bmiColors[i] = c;
        }
        for (int y = 0; y < v.h; ++y)
            for (int x = 0; x < v.w; ++x) {
                setpixel(*four, x, y, (x * 7 + y * 3) % 16);
                setpixel(*eight, x, y, (x * 7 + y * 3) % 16);
            }
        QImage shown[2] = {Canvas(64, 48), Canvas(64, 48)};
        const PictureRecord* pictures[2] = {&four.get(), &eight.get()};
        for (int k = 0; k < 2; ++k) {
            QPainter painter(&shown[k]);
            if (!v.clip.isEmpty())
                painter.setClipRect(v.clip);
            painter.translate(v.scroll);
            StretchDrawDIB(&painter, 0, 0, v.destW, v.destH, *pictures[k], v.srcX, v.srcY, v.srcW,
                           v.srcH, false, SRCCOPY);
        }
        EXPECT_EQ(shown[0], shown[1]) << v.w << "x" << v.h << " drawn " << v.destW << "x" << v.destH
                                      << " from " << v.srcX << "," << v.srcY;
        // A pixel changed shows in the reduced copy's next drawing too.
        setpixel(*four, v.w / 2, v.h / 2, 15);
        setpixel(*eight, v.w / 2, v.h / 2, 15);
        for (int k = 0; k < 2; ++k) {
            QPainter painter(&shown[k]);
            StretchDrawDIB(&painter, 0, 0, v.destW, v.destH, *pictures[k], v.srcX, v.srcY, v.srcW,
                           v.srcH, false, SRCCOPY);
        }
        EXPECT_EQ(shown[0], shown[1]) << "changed, " << v.destW << "x" << v.destH;
    }
}

} // namespace
