// SPDX-License-Identifier: GPL-3.0-or-later
// The edit view's arithmetic, apart from any widget.
#pragma once

#include <cstdint>

struct DrawnSize
{
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const DrawnSize&) const = default;
};

// The paint box of the edit view at zoom 1.0; it fills the visible part of its scroll box.
inline constexpr int32_t kViewBoxWidth = 341;
inline constexpr int32_t kViewBoxHeight = 277;

// The square box of the load page's preview.
inline constexpr int32_t kPreviewBoxSize = 170;

// The picture fitted into the view box with its aspect ratio kept: fitted to the width first,
// to the height when that is too tall (truncating divisions).
DrawnSize FitPicture(int32_t boxWidth, int32_t boxHeight, int32_t pictureWidth,
                     int32_t pictureHeight);

// The paint box's size for a zoom factor: the zoom-1.0 box scaled, rounded halves to even.
DrawnSize ZoomedBoxSize(double zoom);

// The load page's preview: the longer side fills the box, the other one is scaled with the
// remainder dropped. Nothing is drawn for a picture without pixels.
DrawnSize PreviewSize(int32_t pictureWidth, int32_t pictureHeight);
