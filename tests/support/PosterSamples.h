// SPDX-License-Identifier: GPL-3.0-or-later
// A picture and a poster that the printing tests share: a 3 x 2 poster with pages (1, 0) and
// (2, 1) switched off, over a picture whose six page regions each have a colour of their own.
#pragma once

#include "GrafikRW.h"
#include "PrintJob.h"

#include <QColor>
#include <QMarginsF>
#include <QPrinter>

namespace testsupport {

// A printer that writes the file as PDF at that resolution, with margins of 10 mm all round.
inline void SetUpPdfPrinter(QPrinter& printer, const QString& file, int dpi)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setResolution(dpi);
    printer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
}

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
