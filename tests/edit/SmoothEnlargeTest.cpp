// SPDX-License-Identifier: GPL-3.0-or-later
#include "SmoothEnlarge.h"

#include "HeldPicture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A picture whose red rises by 3 a column and whose green by 5 a row: bicubic interpolation
// gives a ramp back exactly, so every smooth sample can be checked against the place it stands for.
HeldPicture Ramp(int bits)
{
    constexpr int kWidth = 64, kHeight = 40;
    if (bits == 24) {
        HeldPicture p(newdib(kWidth, kHeight, 24, nullptr, 0));
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                setpixel(p.get(), x, y, (20 + 3 * x) << 16 | (10 + 5 * y) << 8 | 7);
        return p;
    }
    // Grey levels through a colour table: the columns' ramp alone.
    HeldPicture p(newdib(kWidth, kHeight, 8, nullptr, 0));
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            setpixel(p.get(), x, y, 20 + 3 * x);
    return p;
}

int Red(const PictureRecord& p, int x, int y)
{
    return getpixel(p, x, y) >> 16 & 0xFF;
}

} // namespace

// Two neighbouring shares enlarged eight times each: every sample is the ramp at the place of
// its centre, so the last column of one share and the first of the next are one step apart.
TEST(SmoothEnlarge, SharesSampleThePictureWhereTheyStandAndJoinWithoutASeam)
{
    for (const int bits : {24, 8}) {
        SCOPED_TRACE(bits);
        const HeldPicture ramp = Ramp(bits);
        constexpr double kScale = 8;
        QString error;
        const HeldPicture left(SmoothPart(ramp.get(), 10, 12, 16, 10, 128, 80, &error));
        const HeldPicture right(SmoothPart(ramp.get(), 26, 12, 16, 10, 128, 80, &error));
        ASSERT_TRUE(left && right) << error.toStdString();
        EXPECT_EQ(DIBWidth(left.get()), 128);
        EXPECT_EQ(DIBHeight(left.get()), 80);
        for (const auto& [share, start] : {std::pair{&left, 10.0}, std::pair{&right, 26.0}})
            for (int i = 0; i < 128; i += 9) {
                const double x = start + (i + 0.5) / kScale - 0.5;
                EXPECT_NEAR(Red(share->get(), i, 40), 20 + 3 * x, 1.01) << "column " << i;
            }
        EXPECT_NEAR(Red(right.get(), 0, 40) - Red(left.get(), 127, 40), 3 / kScale, 1.01);
        if (bits == 24) {
            const double y = 12 + (30 + 0.5) / kScale - 0.5;
            EXPECT_NEAR(getpixel(left.get(), 5, 30) >> 8 & 0xFF, 10 + 5 * y, 1.01);
        }
    }
}

// At the picture's own edge the samples beyond it repeat the edge pixels: no dark rim.
TEST(SmoothEnlarge, ThePicturesEdgeIsNotDarkened)
{
    HeldPicture white(newdib(4, 4, 24, nullptr, 0));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            setpixel(white.get(), x, y, 0xFFFFFF);
    QString error;
    const HeldPicture big(SmoothPart(white.get(), 0, 0, 4, 4, 40, 40, &error));
    ASSERT_TRUE(big) << error.toStdString();
    for (const auto& [x, y] : {std::pair{0, 0}, {39, 39}, {0, 39}, {20, 0}})
        EXPECT_EQ(getpixel(big.get(), x, y), 0xFFFFFF) << x << "," << y;
}

TEST(SmoothEnlarge, ResolutionIsTheDevicesUpTo300PpiWithinThePixelBudget)
{
    EXPECT_DOUBLE_EQ(SmoothPixelsPerInch(210, 297, 600), 300);
    EXPECT_DOUBLE_EQ(SmoothPixelsPerInch(210, 297, 200), 200);
    // A metre by 75 cm: 1,162 square inches of 48 million pixels.
    EXPECT_NEAR(SmoothPixelsPerInch(1000, 750, 600), std::sqrt(48e6 * 25.4 * 25.4 / 750000), 0.01);
    EXPECT_DOUBLE_EQ(SmoothPixelsPerInch(3000, 3000, 600), 150);
    EXPECT_DOUBLE_EQ(SmoothPixelsPerInch(3000, 3000, 100), 100);
}
