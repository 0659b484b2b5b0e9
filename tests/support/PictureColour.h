// SPDX-License-Identifier: GPL-3.0-or-later
// The colour a picture shows at a pixel, whatever its depth, for the tests that compare what
// they read, saved or printed with what they made.
#pragma once

#include "GrafikRW.h"

#include <cstdint>

namespace testsupport {

// 0xRRGGBB of the pixel, through the colour table for paletted pictures.
inline int32_t ColourAt(const PictureRecord& p, int x, int y)
{
    const int32_t v = getpixel(p, x, y);
    if (p.Info->bmiHeader.biBitCount == 24)
        return v;
    const RGBQUAD& c = p.Info->bmiColors[v];
    return (c.rgbRed << 16) | (c.rgbGreen << 8) | c.rgbBlue;
}

} // namespace testsupport
