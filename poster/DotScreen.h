// SPDX-License-Identifier: GPL-3.0-or-later
// A picture far too small for its poster printed as a dot screen: a square grid of filled
// circles over the picture, each covering as much of its cell as the picture under it is dark.
// The circles are vectors, sharp at any size, and every sheet places them from the same grid
// over the whole picture, so that a dot cut by a sheet's edge goes on on the next.
#pragma once

#include "StretchPlan.h"

#include <QPointF>
#include <QRgb>

#include <vector>

struct PictureRecord;

struct Dot
{
    QPointF centre; // device pixels
    double radius = 0;
    QRgb colour = 0; // opaque

    bool operator==(const Dot&) const = default;
};

// The grid over the picture: a cell's sides in picture pixels, across and down (they differ
// when the picture is stretched, the cells being square on paper), and whether the dots take
// their cell's colour rather than black.
struct DotGrid
{
    double cellX = 0;
    double cellY = 0;
    bool colour = false;

    bool valid() const { return cellX > 0 && cellY > 0; }
};

// How much of a square cell a circle at its centre covers, the radius in cell sides: all of
// it from half the diagonal on, where neighbouring dots of the same size meet over the corners.
double CellCoverage(double radius);
// The radius, in cell sides, of the dot that covers `darkness` (0 to 1) of its cell.
double DotRadiusFor(double darkness);

// The dots of every cell whose circle can reach the share, placed on the share's destination
// (rectangles as StretchDrawDIB takes them, srcY from the bottom row). A cell's darkness is the
// mean of the picture pixels whose centres lie in it; the caller clips to the destination.
std::vector<Dot> ShareDots(const PictureRecord& picture, const StretchRects& rects,
                           const DotGrid& grid);

// The dot screen's grid for a pitch in millimetres on a poster of that finished size.
DotGrid DotGridFor(double pitchMm, double posterWidthMm, double posterHeightMm,
                   int32_t pictureWidth, int32_t pictureHeight, bool colour);
