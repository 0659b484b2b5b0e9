// SPDX-License-Identifier: GPL-3.0-or-later
#include "GrafikRW.h"
#include "HeldPicture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

namespace {

struct Depth
{
    int bits;
    int32_t white; // a pixel value that differs from 0 at this depth
};

TEST(PictureRecord, StartPictureHasTheDocumentedShape)
{
    const HeldPicture p(newdib(320, 200, 8, nullptr, 0));
    ASSERT_NE(p->Bits, nullptr);
    EXPECT_EQ(DIBWidth(*p), 320);
    EXPECT_EQ(DIBHeight(*p), 200);
    EXPECT_EQ(zweihoch(p->Info->bmiHeader.biBitCount), 256);
    EXPECT_EQ(p->Info->bmiHeader.biSize, 40u);
    EXPECT_EQ(p->Info->bmiHeader.biSizeImage, 320u * 200u);
    EXPECT_EQ(p->BytesPerLine, 320);
    EXPECT_EQ(p->HasPalette, 1);
    EXPECT_NE(p->Palette, nullptr);
}

TEST(PictureRecord, ColourCountsAndTableSizes)
{
    EXPECT_EQ(zweihoch(1), 2);
    EXPECT_EQ(zweihoch(4), 16);
    EXPECT_EQ(zweihoch(8), 256);
    EXPECT_EQ(zweihoch(24), 16777216);
    EXPECT_EQ(zweihoch(0), 1);
    EXPECT_EQ(zweihoch(-3), 1);
    EXPECT_EQ(zweihoch(32), INT32_MAX); // does not wrap to a negative count

    EXPECT_EQ(ColourTableSize(1), 2);
    EXPECT_EQ(ColourTableSize(4), 16);
    EXPECT_EQ(ColourTableSize(8), 256);
    EXPECT_EQ(ColourTableSize(24), 0);
    EXPECT_EQ(ColourTableSize(16), 0);
}

TEST(PictureRecord, RowsArePaddedToFourBytes)
{
    struct Case
    {
        int32_t width, bits, rowBytes;
    } cases[] = {{3, 24, 12}, {4, 24, 12}, {33, 1, 8}, {32, 1, 4}, {9, 4, 8}, {5, 8, 8}};
    for (const Case& c : cases) {
        const HeldPicture p(newdib(c.width, 7, c.bits, nullptr, 0));
        ASSERT_NE(p->Bits, nullptr);
        EXPECT_EQ(p->BytesPerLine, c.rowBytes) << c.width << " x " << c.bits;
        EXPECT_EQ(p->Info->bmiHeader.biSizeImage, uint32_t(c.rowBytes * 7));
    }
}

TEST(PictureRecord, PicturesThatCannotBeMadeHaveNoBits)
{
    const int32_t bad[][3] = {{0, 10, 8},           {10, 0, 8},         {-5, 10, 24},
                              {10, 10, 16},         {10, 10, 32},       {10, 10, 0},
                              {100000, 100000, 24}, {INT32_MAX, 2, 24}, {70000, 70000, 8}};
    for (const auto& b : bad) {
        const PictureRecord p = newdib(b[0], b[1], b[2], nullptr, 0);
        EXPECT_EQ(p.Bits, nullptr) << b[0] << " x " << b[1] << " x " << b[2];
        deldib(p); // owns nothing; must be harmless
    }
}

TEST(PictureRecord, PaletteInvariantHoldsForColourSources)
{
    HeldPicture src(newdib(4, 4, 4, nullptr, 0));
    for (int i = 0; i < 16; ++i)
        src->Info->bmiColors[i] = {uint8_t(i), uint8_t(2 * i), uint8_t(3 * i + 100), 0};
    const HeldPicture p(newdib(8, 8, 4, src->Info, ColourTableSize(4)));
    ASSERT_NE(p->Bits, nullptr);
    ASSERT_EQ(p->HasPalette, 1);
    EXPECT_EQ(p->LogPalette.palNumEntries, 16);
    for (int i = 0; i < 16; ++i) {
        const RGBQUAD& c = p->Info->bmiColors[i];
        EXPECT_EQ(c.rgbRed, 3 * i + 100);
        EXPECT_EQ(c.rgbGreen, 2 * i);
        EXPECT_EQ(c.rgbBlue, i);
        EXPECT_EQ(p->LogPalette.palPalEntry[i].peRed, c.rgbRed);
        EXPECT_EQ(p->LogPalette.palPalEntry[i].peGreen, c.rgbGreen);
        EXPECT_EQ(p->LogPalette.palPalEntry[i].peBlue, c.rgbBlue);
        EXPECT_EQ(p->Palette->entries[i].peRed, c.rgbRed);
    }
}

TEST(PictureRecord, TrueColourPicturesHaveNoPalette)
{
    const HeldPicture p(newdib(5, 5, 24, nullptr, 0));
    ASSERT_NE(p->Bits, nullptr);
    EXPECT_EQ(p->HasPalette, 0);
    EXPECT_EQ(p->Palette, nullptr);
}

class PixelAccess : public ::testing::TestWithParam<Depth>
{
};

TEST_P(PixelAccess, CoordinatesCountFromTheTopLeftAndRowsAreStoredBottomUp)
{
    const Depth d = GetParam();
    const HeldPicture p(newdib(13, 5, d.bits, nullptr, 0));
    ASSERT_NE(p->Bits, nullptr);
    setpixel(*p, 0, 0, d.white);
    EXPECT_EQ(getpixel(*p, 0, 0), d.white);
    EXPECT_EQ(getpixel(*p, 1, 0), 0);
    EXPECT_EQ(getpixel(*p, 0, 1), 0);
    // Row 0 from the top is the last row in memory.
    const uint8_t* lastRow = p->Bits + 4 * p->BytesPerLine;
    EXPECT_NE(lastRow[0], 0);
    for (int i = 0; i < 4 * p->BytesPerLine; ++i)
        ASSERT_EQ(p->Bits[i], 0) << "byte " << i;

    setpixel(*p, 12, 4, d.white);
    EXPECT_EQ(getpixel(*p, 12, 4), d.white);
    EXPECT_NE(p->Bits[(12 * d.bits) / 8], 0);

    // Neighbouring pixels that share a byte keep their values.
    setpixel(*p, 5, 2, d.white);
    setpixel(*p, 6, 2, 0);
    setpixel(*p, 4, 2, 0);
    EXPECT_EQ(getpixel(*p, 5, 2), d.white);
    EXPECT_EQ(getpixel(*p, 4, 2), 0);
    EXPECT_EQ(getpixel(*p, 6, 2), 0);

    // Outside the picture nothing is written and 0 is read.
    setpixel(*p, -1, 0, d.white);
    setpixel(*p, 13, 0, d.white);
    setpixel(*p, 0, 5, d.white);
    EXPECT_EQ(getpixel(*p, 13, 0), 0);
    EXPECT_EQ(getpixel(*p, -1, -1), 0);
}

INSTANTIATE_TEST_SUITE_P(AllDepths, PixelAccess,
                         ::testing::Values(Depth{1, 1}, Depth{4, 0xB}, Depth{8, 0xC3},
                                           Depth{24, 0x123456}),
                         [](const auto& info) { return std::to_string(info.param.bits) + "bit"; });

TEST(PictureRecord, TrueColourPixelValueIsRedGreenBlue)
{
    const HeldPicture p(newdib(2, 2, 24, nullptr, 0));
    setpixel(*p, 1, 1, 0xFF8040);    // red ff, green 80, blue 40
    const uint8_t* px = p->Bits + 3; // bottom row is stored first
    EXPECT_EQ(px[0], 0x40);
    EXPECT_EQ(px[1], 0x80);
    EXPECT_EQ(px[2], 0xFF);
}

TEST(Halftone, CopyIsPalettedAndKeepsPureColours)
{
    const HeldPicture p(newdib(16, 16, 24, nullptr, 0));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            setpixel(*p, x, y, x < 8 ? 0xFFFFFF : 0xFF0000);
    const HeldPicture h(DIBHalftoneDIB(*p));
    ASSERT_NE(h->Bits, nullptr);
    EXPECT_EQ(h->Info->bmiHeader.biBitCount, 8);
    EXPECT_EQ(DIBWidth(*h), 16);
    EXPECT_EQ(DIBHeight(*h), 16);
    EXPECT_EQ(h->HasPalette, 1);
    ASSERT_NE(h->Palette, nullptr);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const RGBQUAD c = h->Info->bmiColors[getpixel(*h, x, y)];
            EXPECT_EQ(c.rgbRed, 255);
            EXPECT_EQ(c.rgbGreen, x < 8 ? 255 : 0);
            EXPECT_EQ(c.rgbBlue, x < 8 ? 255 : 0);
        }
}

TEST(Halftone, MidGreyIsDitheredToAnAverageCloseToIt)
{
    const HeldPicture p(newdib(64, 64, 24, nullptr, 0));
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            setpixel(*p, x, y, 0x808080);
    const HeldPicture h(DIBHalftoneDIBXY(*p, 32, 16));
    ASSERT_NE(h->Bits, nullptr);
    EXPECT_EQ(DIBWidth(*h), 32);
    EXPECT_EQ(DIBHeight(*h), 16);
    double sum = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x)
            sum += h->Info->bmiColors[getpixel(*h, x, y)].rgbGreen;
    EXPECT_NEAR(sum / (32 * 16), 128.0, 4.0);
}

TEST(Halftone, OnlyTrueColourPicturesAreHalftoned)
{
    const HeldPicture p(newdib(4, 4, 8, nullptr, 0));
    EXPECT_EQ(DIBHalftoneDIB(*p).Bits, nullptr);
    EXPECT_EQ(DIBHalftoneDIBXY(*p, 2, 2).Bits, nullptr);
}

} // namespace

namespace {

TEST(HeldPicture, OneHolderReleasesThePictureAndAMoveHandsItOver)
{
    HeldPicture first(newdib(4, 3, 8, nullptr, 0));
    ASSERT_TRUE(first);
    const uint8_t* bits = first.get().Bits;
    // Moved: the new holder has it, the old one nothing that it would release a second time.
    HeldPicture second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.get().Bits, bits);
    HeldPicture third(newdib(2, 2, 24, nullptr, 0));
    third = std::move(second); // the 2 x 2 picture is released here, the 4 x 3 one kept
    EXPECT_EQ(DIBWidth(third.get()), 4);
    // Handed over: the caller releases it, the holder nothing.
    const HeldPicture taken(third.release());
    EXPECT_FALSE(third);
    EXPECT_EQ(taken->Bits, bits);
    third.reset(newdib(1, 1, 1, nullptr, 0));
    EXPECT_TRUE(third);
}

} // namespace
