// A picture and a poster that the printing tests share: a 3 x 2 poster with pages (1, 0) and
// (2, 1) switched off, over a picture whose six page regions each have a colour of their own.
#pragma once

#include "GrafikRW.h"
#include "PrintJob.h"

#include <QColor>

namespace testsupport {

inline QRgb RegionColour(int column, int row)
{
    return qRgb(40 + 80 * column, 60 + 120 * row, 200 - 60 * column);
}

inline PictureRecord RegionPicture(int w, int h)
{
    PictureRecord p = newdib(w, h, 24, nullptr, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            setpixel(p, x, y, int(RegionColour(x * 3 / w, y * 2 / h) & 0xFFFFFF));
    return p;
}

// All pages chosen, in the default order and with the default options.
inline PrintJobInputs ThreeByTwo(int w, int h)
{
    PrintJobInputs in;
    in.render.pictureWidth = w;
    in.render.pictureHeight = h;
    in.render.geometry.PagesAcross = 3;
    in.render.geometry.PagesDown = 2;
    in.render.geometry.PosterWidthPages = 3.0;
    in.render.geometry.PosterHeightPages = 2.0;
    in.pagesOff[PageIndex(1, 0)] = 1;
    in.pagesOff[PageIndex(2, 1)] = 1;
    return in;
}

} // namespace testsupport
