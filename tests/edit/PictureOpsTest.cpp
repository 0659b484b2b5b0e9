// SPDX-License-Identifier: GPL-3.0-or-later
#include "PictureOps.h"
#include "HeldPicture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kDepths[] = {1, 4, 8, 24};

struct Size
{
    int w, h;
};
// Odd sizes; ones past the blocks and bands of the turns; and 24-bit rows without padding.
constexpr Size kSizes[] = {{1, 1}, {3, 2}, {7, 5}, {33, 17}, {65, 3}, {130, 67}, {300, 41}};

int BitsOf(const PictureRecord& p)
{
    return p.Info->bmiHeader.biBitCount;
}

// Random colours and random bytes everywhere, row padding and unused bits included: nothing of
// that may reach a new picture.
PictureRecord RandomPicture(int w, int h, int bits, std::mt19937& rng)
{
    BITMAPINFO colours{};
    for (RGBQUAD& c : colours.bmiColors)
        c = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
    const PictureRecord p = newdib(w, h, bits, &colours, ColourTableSize(bits));
    for (uint32_t i = 0; p.Bits && i < p.Info->bmiHeader.biSizeImage; ++i)
        p.Bits[i] = uint8_t(rng());
    return p;
}

struct Snapshot
{
    int32_t width = 0, height = 0, bits = 0, stride = 0;
    std::vector<uint8_t> bytes, colours, logPalette;
    uint8_t hasPalette = 0;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const PictureRecord& p)
{
    const BITMAPINFOHEADER& h = p.Info->bmiHeader;
    const auto* colours = reinterpret_cast<const uint8_t*>(p.Info->bmiColors);
    const auto* log = reinterpret_cast<const uint8_t*>(&p.LogPalette);
    return {h.biWidth,
            h.biHeight,
            h.biBitCount,
            p.BytesPerLine,
            {p.Bits, p.Bits + h.biSizeImage},
            {colours, colours + 4 * ColourTableSize(h.biBitCount)},
            p.HasPalette ? std::vector<uint8_t>(log, log + sizeof(LOGPALETTE))
                         : std::vector<uint8_t>{},
            p.HasPalette};
}

bool SamePixels(const PictureRecord& a, const PictureRecord& b)
{
    if (DIBWidth(a) != DIBWidth(b) || DIBHeight(a) != DIBHeight(b) || BitsOf(a) != BitsOf(b))
        return false;
    for (int y = 0; y < DIBHeight(a); ++y)
        for (int x = 0; x < DIBWidth(a); ++x)
            if (getpixel(a, x, y) != getpixel(b, x, y))
                return false;
    return true;
}

void ExpectPaletteMatchesColourTable(const PictureRecord& p)
{
    const int n = ColourTableSize(BitsOf(p));
    ASSERT_EQ(p.HasPalette, 1);
    ASSERT_NE(p.Palette, nullptr);
    EXPECT_EQ(p.Palette->count, n);
    for (int i = 0; i < n; ++i) {
        const RGBQUAD& c = p.Info->bmiColors[i];
        const PALETTEENTRY& e = p.LogPalette.palPalEntry[i];
        EXPECT_TRUE(e.peRed == c.rgbRed && e.peGreen == c.rgbGreen && e.peBlue == c.rgbBlue) << i;
        EXPECT_EQ(std::memcmp(&p.Palette->entries[i], &e, 4), 0) << i;
    }
}

// The pixel-by-pixel copies into a new picture that the fast paths must match byte for byte.
PictureRecord NewLike(const PictureRecord& p, int w, int h)
{
    return newdib(w, h, BitsOf(p), p.Info, ColourTableSize(BitsOf(p)));
}

PictureRecord ReferenceCut(const PictureRecord& p, int l, int t, int r, int b)
{
    const PictureRecord n = NewLike(p, r - l, b - t);
    for (int y = 0; y < b - t; ++y)
        for (int x = 0; x < r - l; ++x)
            setpixel(n, x, y, getpixel(p, l + x, t + y));
    return n;
}

PictureRecord ReferenceMirror(const PictureRecord& p)
{
    const int w = DIBWidth(p), h = DIBHeight(p);
    const PictureRecord n = NewLike(p, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            setpixel(n, x, y, getpixel(p, w - 1 - x, y));
    return n;
}

PictureRecord ReferenceFlip(const PictureRecord& p)
{
    const int w = DIBWidth(p), h = DIBHeight(p);
    const PictureRecord n = NewLike(p, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            setpixel(n, x, y, getpixel(p, x, h - 1 - y));
    return n;
}

PictureRecord ReferenceTurn(const PictureRecord& p, bool left)
{
    const int w = DIBWidth(p), h = DIBHeight(p);
    const PictureRecord n = NewLike(p, h, w);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (left)
                setpixel(n, y, w - 1 - x, getpixel(p, x, y));
            else
                setpixel(n, h - 1 - y, x, getpixel(p, x, y));
        }
    return n;
}

using Operation = std::function<PictureRecord(const PictureRecord&)>;

// The operation leaves its input alone and gives exactly the reference's picture.
void ExpectLikeReference(const PictureRecord& p, const Operation& fast, const Operation& reference,
                         const std::string& label)
{
    const Snapshot before = Take(p);
    const HeldPicture made(fast(p));
    const HeldPicture expected(reference(p));
    ASSERT_TRUE(made) << label;
    EXPECT_TRUE(Take(made.get()) == Take(expected.get())) << label;
    EXPECT_TRUE(Take(p) == before) << label;
}

TEST(PictureOps, GeometricOperationsMatchThePixelByPixelCopy)
{
    std::mt19937 rng(7);
    const struct
    {
        const char* name;
        Operation fast, reference;
    } ops[] = {
        {"mirror", MirrorPicture, ReferenceMirror},
        {"flip", FlipPicture, ReferenceFlip},
        {"left", RotateLeft, [](const PictureRecord& p) { return ReferenceTurn(p, true); }},
        {"right", RotateRight, [](const PictureRecord& p) { return ReferenceTurn(p, false); }},
    };
    for (int bits : kDepths)
        for (const Size& s : kSizes) {
            const HeldPicture p(RandomPicture(s.w, s.h, bits, rng));
            ASSERT_TRUE(p);
            for (const auto& op : ops)
                ExpectLikeReference(p.get(), op.fast, op.reference,
                                    std::string(op.name) + " " + std::to_string(s.w) + "x" +
                                        std::to_string(s.h) + "@" + std::to_string(bits));
        }
}

TEST(PictureOps, CutMatchesThePixelByPixelCopyFromEveryStartingBit)
{
    std::mt19937 rng(11);
    for (int bits : kDepths)
        for (const Size& s : kSizes)
            for (int left = 0; left < std::min(s.w, 9); ++left)
                for (int top : {0, s.h / 2}) {
                    const HeldPicture p(RandomPicture(s.w, s.h, bits, rng));
                    // Right edges at, just before and well before the picture's edge.
                    for (int right : {s.w, s.w - 1, left + (s.w - left + 1) / 2}) {
                        if (right <= left)
                            continue;
                        const int bottom = s.h - top / 2;
                        ExpectLikeReference(
                            *p,
                            [&](const PictureRecord& q) {
                                return CutToSelection(q, left, top, right, bottom);
                            },
                            [&](const PictureRecord& q) {
                                return ReferenceCut(q, left, top, right, bottom);
                            },
                            "cut " + std::to_string(left) + "," + std::to_string(top) + "," +
                                std::to_string(right) + "," + std::to_string(bottom) + " of " +
                                std::to_string(s.w) + "x" + std::to_string(s.h) + "@" +
                                std::to_string(bits));
                    }
                }
}

TEST(PictureOps, SixIndicesOfAThreeByTwoPictureLandWhereTheyShould)
{
    struct Case
    {
        const char* name;
        Operation op;
        int w, h;
        std::vector<int> rows; // new pixels from the top-left, row after row
    };
    // Old pixel (x, y) holds 10 y + x + 1: top row 1 2 3, bottom row 11 12 13.
    const Case cases[] = {
        {"left", RotateLeft, 2, 3, {3, 13, 2, 12, 1, 11}},
        {"right", RotateRight, 2, 3, {11, 1, 12, 2, 13, 3}},
        {"mirror", MirrorPicture, 3, 2, {3, 2, 1, 13, 12, 11}},
        {"flip", FlipPicture, 3, 2, {11, 12, 13, 1, 2, 3}},
    };
    for (int bits : {4, 8, 24}) {
        const HeldPicture p(newdib(3, 2, bits, nullptr, 0));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                setpixel(p.get(), x, y, 10 * y + x + 1);
        for (const Case& c : cases) {
            const HeldPicture n(c.op(p.get()));
            ASSERT_EQ(DIBWidth(n.get()), c.w) << c.name;
            ASSERT_EQ(DIBHeight(n.get()), c.h) << c.name;
            std::vector<int> got;
            for (int y = 0; y < c.h; ++y)
                for (int x = 0; x < c.w; ++x)
                    got.push_back(getpixel(n.get(), x, y));
            EXPECT_EQ(got, c.rows) << c.name << " @" << bits;
        }
    }
}

TEST(PictureOps, OperationsUndoEachOther)
{
    std::mt19937 rng(3);
    const auto twice = [](const Operation& a, const Operation& b) {
        return [a, b](const PictureRecord& p) {
            const HeldPicture first(a(p));
            return b(first.get());
        };
    };
    const Operation identities[] = {
        twice(MirrorPicture, MirrorPicture), twice(FlipPicture, FlipPicture),
        twice(RotateLeft, RotateRight),
        twice(twice(RotateLeft, RotateLeft), twice(RotateLeft, RotateLeft)),
        twice(twice(RotateRight, RotateRight), twice(RotateRight, RotateRight))};
    for (int bits : kDepths) {
        const HeldPicture p(RandomPicture(33, 17, bits, rng));
        for (size_t i = 0; i < std::size(identities); ++i) {
            const HeldPicture back(identities[i](p.get()));
            EXPECT_TRUE(SamePixels(back.get(), p.get())) << i << " @" << bits;
        }
        const HeldPicture a(twice(RotateLeft, MirrorPicture)(p.get()));
        const HeldPicture b(twice(RotateRight, FlipPicture)(p.get()));
        EXPECT_TRUE(SamePixels(a.get(), b.get())) << bits;
    }
}

TEST(PictureOps, CutKeepsDepthAndColoursAndRefusesRectanglesOutsideThePicture)
{
    std::mt19937 rng(5);
    const HeldPicture p(RandomPicture(400, 300, 8, rng));
    const HeldPicture cut(CutToSelection(*p, 100, 50, 300, 250));
    ASSERT_NE(cut->Bits, nullptr);
    EXPECT_EQ(DIBWidth(*cut), 200);
    EXPECT_EQ(DIBHeight(*cut), 200);
    EXPECT_EQ(BitsOf(*cut), 8);
    EXPECT_EQ(std::memcmp(cut->Info->bmiColors, p->Info->bmiColors, 256 * 4), 0);
    ExpectPaletteMatchesColourTable(*cut);
    EXPECT_EQ(getpixel(*cut, 0, 0), getpixel(*p, 100, 50));
    EXPECT_EQ(getpixel(*cut, 199, 199), getpixel(*p, 299, 249));

    const struct
    {
        int l, t, r, b;
    } refused[] = {{0, 0, 0, 10},   {5, 5, 6, 5},     {10, 0, 5, 10},   {-1, 0, 10, 10},
                   {0, -1, 10, 10}, {0, 0, 401, 300}, {0, 0, 400, 301}, {400, 0, 401, 1}};
    for (const auto& r : refused)
        EXPECT_EQ(CutToSelection(*p, r.l, r.t, r.r, r.b).Bits, nullptr)
            << r.l << "," << r.t << "," << r.r << "," << r.b;
    EXPECT_EQ(MirrorPicture(PictureRecord{}).Bits, nullptr);
    EXPECT_EQ(RotateLeft(PictureRecord{}).Bits, nullptr);
}

TEST(PictureOps, ChannelFunctions)
{
    const struct
    {
        int v, d, expected;
    } brightness[] = {{200, 127, 255}, {100, -127, 0}, {0, 0, 0},
                      {255, 0, 255},   {60, 50, 110},  {10, -11, 0}};
    for (const auto& c : brightness)
        EXPECT_EQ(BrightnessChannel(c.v, c.d), c.expected) << c.v << " " << c.d;

    const struct
    {
        int v, k, expected;
    } contrast[] = {{0, 0, 127},    {255, 0, 127},   {127, 200, 0},   {128, 200, 255},
                    {0, 50, 64},    {255, 50, 191},  {100, 150, 50},  {200, 150, 228},
                    {110, 150, 55}, {0, 200, 0},     {255, 200, 255}, {128, 101, 130},
                    {127, 199, 1},  {128, 199, 254}, {1, 250, 0},     {200, -5, 127}};
    for (const auto& c : contrast)
        EXPECT_EQ(ContrastChannel(c.v, c.k), c.expected) << c.v << " " << c.k;

    for (int v = 0; v < 256; ++v) {
        EXPECT_EQ(BrightnessChannel(v, 0), v);
        EXPECT_EQ(ContrastChannel(v, 100), v);
    }
    EXPECT_EQ(ContrastTable(150)[BrightnessTable(50)[60]], 55);
}

TEST(PictureOps, BrightnessAndContrastChangeColoursOrColourBytesOnly)
{
    std::mt19937 rng(13);
    const struct
    {
        int d, k;
    } positions[] = {{50, 150}, {-127, 0}, {127, 200}, {-30, 60}, {13, 101}, {0, 100}};
    // The larger picture is past the size from which 24 bits go through pairs of bytes.
    const Size sizes[] = {{13, 5}, {301, 230}};
    for (int bits : kDepths)
        for (const Size& size : sizes)
            for (const auto& pos : positions) {
                HeldPicture p(RandomPicture(size.w, size.h, bits, rng));
                const PictureRecord stepwise = CopyPicture(*p);
                const Snapshot before = Take(*p);
                ApplyBrightnessContrast(*p, pos.d, pos.k);
                HeldPicture q(stepwise);
                AdjustBrightness(*q, pos.d);
                AdjustContrast(*q, pos.k);
                const std::string label = std::to_string(pos.d) + "/" + std::to_string(pos.k) +
                                          " " + std::to_string(size.w) + " @" +
                                          std::to_string(bits);
                EXPECT_TRUE(Take(*p) == Take(*q)) << label;

                const auto f = [&](uint8_t v) {
                    return ContrastChannel(BrightnessChannel(v, pos.d), pos.k);
                };
                const Snapshot after = Take(*p);
                if (ColourTableSize(bits) > 0) {
                    EXPECT_EQ(after.bytes, before.bytes) << label; // every index kept
                    for (size_t i = 0; i < after.colours.size(); ++i)
                        EXPECT_EQ(after.colours[i],
                                  i % 4 == 3 ? before.colours[i] : f(before.colours[i]))
                            << label << " colour byte " << i;
                    ExpectPaletteMatchesColourTable(*p);
                } else {
                    // Colour bytes through the curve; the padding at each row's end as it was.
                    const size_t used = size_t(DIBWidth(*p)) * 3;
                    for (size_t i = 0; i < after.bytes.size(); ++i) {
                        const bool pixel = i % size_t(p->BytesPerLine) < used;
                        ASSERT_EQ(after.bytes[i], pixel ? f(before.bytes[i]) : before.bytes[i])
                            << label << " byte " << i;
                    }
                }
            }
}

// The library makes no such pictures, so the records are put together here.
TEST(PictureOps, BrightnessReachesTheColourChannelsOfSixteenAndThirtyTwoBits)
{
    BITMAPINFO info{};
    info.bmiHeader = {40, 3, 1, 1, 32, 0, 12, 0, 0, 0, 0};
    uint8_t rgbx[12] = {0, 100, 250, 7, 10, 20, 30, 40, 200, 201, 202, 203};
    PictureRecord p;
    p.Info = &info;
    p.Bits = rgbx;
    p.BytesPerLine = 12;
    AdjustBrightness(p, 50);
    const uint8_t brighter[12] = {50, 150, 255, 7, 60, 70, 80, 40, 250, 251, 252, 203};
    EXPECT_EQ(std::memcmp(rgbx, brighter, 12), 0);

    info.bmiHeader = {40, 3, 1, 1, 16, 0, 8, 0, 0, 0, 0};
    // Channels blue 0, green 10, red 31 with the top bit set; then all 1; two padding bytes.
    uint16_t words[4] = {uint16_t(0x8000 | (31 << 10) | (10 << 5)), 0x0421, 0, 0xBEEF};
    p.Bits = reinterpret_cast<uint8_t*>(words);
    p.BytesPerLine = 8;
    AdjustBrightness(p, 64);
    // 5 bits widen to 8 (10 -> 82, 1 -> 8), move by 64 and narrow again.
    EXPECT_EQ(words[0], uint16_t(0x8000 | (31 << 10) | (18 << 5) | 8));
    EXPECT_EQ(words[1], uint16_t((9 << 10) | (9 << 5) | 9));
    EXPECT_EQ(words[2], uint16_t((8 << 10) | (8 << 5) | 8));
    EXPECT_EQ(words[3], 0xBEEF);
}

TEST(PictureOps, RestoreGivesBackTheCopiedPictureExactly)
{
    std::mt19937 rng(17);
    for (int bits : kDepths) {
        HeldPicture current(RandomPicture(21, 9, bits, rng));
        const Snapshot before = Take(*current);
        const HeldPicture backup(CopyPicture(*current));
        ASSERT_NE(backup->Bits, nullptr);
        EXPECT_NE(backup->Bits, current->Bits);
        EXPECT_TRUE(Take(*backup) == before) << bits;

        for (int i = 0; i < 2; ++i) {
            ApplyBrightnessContrast(*current, 60, 170);
            AdjustBrightness(*current, -20);
            ASSERT_TRUE(RestorePicture(*current, *backup));
            EXPECT_TRUE(Take(*current) == before) << bits;
        }
        if (ColourTableSize(bits) > 0)
            ExpectPaletteMatchesColourTable(*current);

        const HeldPicture other(RandomPicture(9, 21, bits, rng));
        ApplyBrightnessContrast(*current, 60, 170);
        const Snapshot adjusted = Take(*current);
        EXPECT_FALSE(RestorePicture(*current, *other));
        EXPECT_TRUE(Take(*current) == adjusted) << bits;
    }
}

// A paletted picture that carries no palette object still shows its colour table, so a restore
// must give that back too.
TEST(PictureOps, RestoreGivesBackColoursOfAPictureWithoutPalette)
{
    std::mt19937 rng(19);
    HeldPicture current(RandomPicture(5, 5, 8, rng));
    DeleteObject(current->Palette);
    current->Palette = nullptr;
    current->HasPalette = 0;
    const HeldPicture backup(CopyPicture(*current));
    const std::vector<uint8_t> colours = Take(*current).colours;
    current->Info->bmiColors[7].rgbGreen ^= 0xFF;
    ASSERT_TRUE(RestorePicture(*current, *backup));
    EXPECT_EQ(Take(*current).colours, colours);
    ExpectPaletteMatchesColourTable(*current);
}

} // namespace
