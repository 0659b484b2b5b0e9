// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditGeometry.h"

#include "Rounding.h"

DrawnSize FitPicture(int32_t boxWidth, int32_t boxHeight, int32_t pictureWidth,
                     int32_t pictureHeight)
{
    if (pictureWidth <= 0 || pictureHeight <= 0)
        return {};
    DrawnSize d{boxWidth, int32_t(int64_t(boxWidth) * pictureHeight / pictureWidth)};
    if (boxHeight < d.height)
        d = {int32_t(int64_t(boxHeight) * pictureWidth / pictureHeight), boxHeight};
    return d;
}

DrawnSize ZoomedBoxSize(double zoom)
{
    return {RoundHalfEven(zoom * kViewBoxWidth), RoundHalfEven(zoom * kViewBoxHeight)};
}

DrawnSize PreviewSize(int32_t pictureWidth, int32_t pictureHeight)
{
    if (pictureWidth <= 0 || pictureHeight <= 0)
        return {};
    if (pictureHeight < pictureWidth)
        return {kPreviewBoxSize, int32_t(int64_t(pictureHeight) * kPreviewBoxSize / pictureWidth)};
    return {int32_t(int64_t(pictureWidth) * kPreviewBoxSize / pictureHeight), kPreviewBoxSize};
}
