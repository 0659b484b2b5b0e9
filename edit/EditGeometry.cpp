#include "EditGeometry.h"

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
