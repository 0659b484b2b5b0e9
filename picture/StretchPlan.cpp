// SPDX-License-Identifier: GPL-3.0-or-later
#include "StretchPlan.h"

#include <algorithm>

#include "Rounding.h"

StretchRects ClipStretchRects(StretchRects r, int32_t pictureWidth)
{
    if (r.srcWidth != 0 && int64_t(r.srcX) + r.srcWidth > pictureWidth) {
        const int32_t w = pictureWidth - r.srcX;
        r.destWidth = RoundHalfEven(double(int64_t(r.destWidth) * w) / r.srcWidth);
        r.srcWidth = w;
    }
    if (r.srcHeight != 0 && r.srcY < 0) {
        r.destHeight =
            RoundHalfEven(double((int64_t(r.srcHeight) + r.srcY) * r.destHeight) / r.srcHeight);
        r.srcHeight = r.srcHeight + r.srcY;
        r.srcY = 0;
    }
    return r;
}

SourcePart SourcePartOf(const StretchRects& r, int32_t pictureWidth, int32_t pictureHeight)
{
    SourcePart p;
    if (r.srcWidth <= 0 || r.srcHeight <= 0)
        return p;
    p.x0 = int32_t(std::max<int64_t>(r.srcX, 0));
    p.x1 = int32_t(std::min<int64_t>(int64_t(r.srcX) + r.srcWidth, pictureWidth));
    p.y0 = int32_t(std::max<int64_t>(r.srcY, 0));
    p.y1 = int32_t(std::min<int64_t>(int64_t(r.srcY) + r.srcHeight, pictureHeight));
    return p;
}

StretchRects ReducedCopyRects(const StretchRects& clipped, int32_t pictureWidth,
                              int32_t pictureHeight, int32_t copyWidth, int32_t copyHeight)
{
    StretchRects d = clipped;
    d.srcX = RoundHalfEven(double(int64_t(copyWidth) * clipped.srcX) / pictureWidth);
    d.srcY = RoundHalfEven(double(int64_t(copyHeight) * clipped.srcY) / pictureHeight);
    d.srcWidth = clipped.destWidth;
    d.srcHeight = clipped.destHeight;
    return d;
}

StretchPlan PlanStretchDraw(const StretchRects& clipped, int32_t pictureWidth,
                            int32_t pictureHeight, int bitCount, bool halftone,
                            int (*screenDepth)())
{
    StretchPlan plan;
    plan.draw = clipped;
    if (bitCount != 24 || !halftone || screenDepth() > 8)
        return plan;
    if (clipped.srcWidth <= 0 || clipped.srcHeight <= 0)
        return plan; // nothing to draw; no copy is worth making
    plan.halftoned = true;
    if (clipped.srcWidth > clipped.destWidth || clipped.srcHeight > clipped.destHeight) {
        plan.reduced = true;
        plan.copyWidth =
            RoundHalfEven(double(int64_t(pictureWidth) * clipped.destWidth) / clipped.srcWidth);
        plan.copyHeight =
            RoundHalfEven(double(int64_t(pictureHeight) * clipped.destHeight) / clipped.srcHeight);
        plan.draw =
            ReducedCopyRects(clipped, pictureWidth, pictureHeight, plan.copyWidth, plan.copyHeight);
    }
    return plan;
}
