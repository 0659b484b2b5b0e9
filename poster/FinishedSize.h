// SPDX-License-Identifier: GPL-3.0-or-later
// The poster as it will hang once its pages are trimmed and glued, worked out from the same page
// plan that prints: the picture's extent on the wall, each glued overlap counted once, and the
// picture's resolution on paper.
#pragma once

#include "PageRender.h"

#include <QString>

#include <cstdint>

struct FinishedSize
{
    bool valid = false;
    double widthPixels = 0; // the printer's device pixels
    double heightPixels = 0;
    double left = 0; // where the picture begins, from the first page's corner, device pixels
    double top = 0;
    double widthCm = 0;
    double heightCm = 0;
    double widthInches = 0;
    double heightInches = 0;
    double ppiX = 0; // picture pixels per inch on paper
    double ppiY = 0;
    bool vectors = false;      // printed from a drawing's page, which has no pixels to count
    double lowestImagePpi = 0; // of the page's raster images on paper; 0 when it has none
    bool smooth = false;       // "Smooth enlargement" is on
    bool dots = false;         // "Dot screen" is on: the pixels' resolution does not show
};

// Below these the print looks coarse, and very coarse, at the distance a poster is seen from.
constexpr double kCoarsePpi = 100;
constexpr double kVeryCoarsePpi = 50;

constexpr double kCmPerInch = 2.54;
constexpr double kMmPerInch = 25.4;

// Millimetres as whole device pixels at that resolution.
int32_t MmToPixels(double mm, int32_t dpi);

// Where the part of a page's source rectangle that lies inside the picture lands on the page, in
// device pixels, as the painter and the document place it; each axis on its own, empty where the
// source holds none of the picture.
struct DrawnShare
{
    double left = 0, right = 0, top = 0, bottom = 0;
    double kx = 0, ky = 0; // device pixels per picture pixel
    bool emptyX = true, emptyY = true;
};
DrawnShare DrawnShareOf(const StretchRects& r, int32_t pictureWidth, int32_t pictureHeight);

// For a printer page (the printable area) of pageWidth x pageHeight device pixels at dpiX x dpiY.
FinishedSize FinishedPosterSize(const PageRenderInputs& in, int32_t pageWidth, int32_t pageHeight,
                                int32_t dpiX, int32_t dpiY);

// The size in pages (for the width or the height edit) at which that side of the finished
// poster comes closest to `pixels` device pixels, the other side's settings as in `in`. The
// finished size moves in steps of whole picture pixels, so a small picture may miss by up to
// one step; `UseFullPages` rounds the result to whole pages, as the size edits do.
double PagesForFinishedSize(bool width, double pixels, const PageRenderInputs& in,
                            int32_t pageWidth, int32_t pageHeight, int32_t dpiX, int32_t dpiY);

// The dot screen's grid for dots `pitchMm` apart on the finished poster (FinishedPosterSize's
// arguments); invalid when the poster has no size.
DotGrid DotGridOnPaper(const PageRenderInputs& in, double pitchMm, bool colour, int32_t pageWidth,
                       int32_t pageHeight, int32_t dpiX, int32_t dpiY);

// The pieces every report of the size is made of: "100.0 x 70.6 cm (39.37 x 27.80 in)";
// "152 ppi", or "152 x 140 ppi" when the two differ; and "the print will look coarse" (or "very
// coarse") with the hint to smooth it, "printed smooth" when it is, empty for a print fine
// enough.
QString SizeText(const FinishedSize& size);
QString ResolutionText(const FinishedSize& size);
QString CoarsenessText(const FinishedSize& size);

// "100.0 x 70.6 cm (39.37 x 27.80 in), 152 ppi: the print will look coarse" as the window shows
// it; empty for an invalid size. The separator goes between the size and the resolution.
QString FinishedSizeText(const FinishedSize& size, const QString& separator = QStringLiteral(", "));
