// SPDX-License-Identifier: GPL-3.0-or-later
// Halftoning a 24-bit picture to 8 bits per pixel: a 6 x 6 x 6 colour cube with grey steps in
// the remaining entries, reached by ordered (Bayer 8 x 8) dithering.
#include "GrafikRW.h"

#include <array>
#include <cstring>

namespace {

constexpr int kLevels = 6;          // per channel in the colour cube
constexpr int kStep = 255 / (kLevels - 1); // 51

constexpr std::array<std::array<uint8_t, 8>, 8> kBayer = {{
    {0, 32, 8, 40, 2, 34, 10, 42},
    {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},
    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},
    {63, 31, 55, 23, 61, 29, 53, 21},
}};

BITMAPINFO HalftonePalette()
{
    BITMAPINFO info = {};
    int i = 0;
    for (int r = 0; r < kLevels; ++r)
        for (int g = 0; g < kLevels; ++g)
            for (int b = 0; b < kLevels; ++b)
                info.bmiColors[i++] = {uint8_t(b * kStep), uint8_t(g * kStep), uint8_t(r * kStep), 0};
    for (int k = 0; i < 256; ++i, ++k) {
        const auto v = uint8_t(8 + k * 6);
        info.bmiColors[i] = {v, v, v, 0};
    }
    return info;
}

// Channel value to a cube level, with the threshold of the dither cell (0..63).
inline int Dither(int value, int threshold)
{
    const int scaled = value * (kLevels - 1); // 0 .. 1275
    const int level = scaled / 255;
    const int rest = scaled - level * 255;     // 0 .. 254
    return level + (rest * 64 > threshold * 255 + 127 ? 1 : 0);
}

PictureRecord Halftone(const PictureRecord& picture, int32_t width, int32_t height)
{
    if (!picture.Info || !picture.Bits || picture.Info->bmiHeader.biBitCount != 24)
        return {};
    const int32_t srcW = picture.Info->bmiHeader.biWidth;
    const int32_t srcH = picture.Info->bmiHeader.biHeight;
    if (width <= 0 || height <= 0)
        return {};
    static const BITMAPINFO palette = HalftonePalette();
    PictureRecord copy = newdib(width, height, 8, &palette, 256);
    if (!copy.Bits)
        return copy;
    // Rows in storage order (bottom-up); the dither cell follows the displayed row.
    for (int32_t y = 0; y < height; ++y) {
        const int32_t sy = int32_t(int64_t(y) * srcH / height);
        const uint8_t* src = picture.Bits + int64_t(sy) * picture.BytesPerLine;
        uint8_t* dst = copy.Bits + int64_t(y) * copy.BytesPerLine;
        const auto& cell = kBayer[(height - 1 - y) & 7];
        for (int32_t x = 0; x < width; ++x) {
            const int32_t sx = int32_t(int64_t(x) * srcW / width);
            const uint8_t* p = src + int64_t(sx) * 3;
            const int t = cell[x & 7];
            const int b = Dither(p[0], t), g = Dither(p[1], t), r = Dither(p[2], t);
            dst[x] = uint8_t((r * kLevels + g) * kLevels + b);
        }
    }
    return copy;
}

} // namespace

PictureRecord DIBHalftoneDIB(const PictureRecord& picture)
{
    if (!picture.Info)
        return {};
    return Halftone(picture, picture.Info->bmiHeader.biWidth, picture.Info->bmiHeader.biHeight);
}

PictureRecord DIBHalftoneDIBXY(const PictureRecord& picture, int32_t width, int32_t height)
{
    return Halftone(picture, width, height);
}
