// The edit view's arithmetic, apart from any widget.
#pragma once

#include <cstdint>

struct DrawnSize
{
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const DrawnSize&) const = default;
};

// The picture fitted into the view box with its aspect ratio kept: fitted to the width first,
// to the height when that is too tall (truncating divisions).
DrawnSize FitPicture(int32_t boxWidth, int32_t boxHeight, int32_t pictureWidth,
                     int32_t pictureHeight);
