// SPDX-License-Identifier: GPL-3.0-or-later
// The arithmetic of stretched drawing, apart from any device: clipping the source rectangle at
// the picture's right and bottom edges, and choosing between the picture's own pixels and a
// halftoned copy.
#pragma once

#include <cstdint>

struct StretchRects
{
    int32_t destX = 0, destY = 0, destWidth = 0, destHeight = 0;
    int32_t srcX = 0, srcY = 0, srcWidth = 0, srcHeight = 0; // srcY counts from the bottom row

    bool operator==(const StretchRects&) const = default;
};

// Clips at the right edge (srcX + srcWidth beyond the picture width) and at the bottom edge
// (negative srcY), shrinking the destination in proportion; destX and destY stay.
StretchRects ClipStretchRects(StretchRects r, int32_t pictureWidth);

// The part of the source rectangle that lies inside the picture: columns x0..x1-1 and rows
// y0..y1-1 counted from the bottom row. Empty for an empty source.
struct SourcePart
{
    int32_t x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    bool empty() const { return x1 <= x0 || y1 <= y0; }
};
SourcePart SourcePartOf(const StretchRects& r, int32_t pictureWidth, int32_t pictureHeight);

struct StretchPlan
{
    bool halftoned = false; // draw from a halftoned copy instead of the picture
    bool reduced = false;   // the copy is scaled to copyWidth x copyHeight first
    int32_t copyWidth = 0, copyHeight = 0;
    StretchRects draw; // what is drawn, from the picture or from the copy
};

// With the rectangles already clipped. The screen depth is asked for only when a 24-bit
// picture may be halftoned.
StretchPlan PlanStretchDraw(const StretchRects& clipped, int32_t pictureWidth,
                            int32_t pictureHeight, int bitCount, bool halftone,
                            int (*screenDepth)());

// Source and destination of the reduced halftoned drawing, once the copy's real size is known.
StretchRects ReducedCopyRects(const StretchRects& clipped, int32_t pictureWidth,
                              int32_t pictureHeight, int32_t copyWidth, int32_t copyHeight);
