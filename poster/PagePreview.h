// SPDX-License-Identifier: GPL-3.0-or-later
// The page preview: the grid of cells that shows every poster page, its painting and the hit
// test by which a click switches a page off or on.
#pragma once

#include "PageRender.h"
#include "PosterTypes.h"

#include <cstdint>
#include <utility>
#include <vector>

class QPainter;
struct PictureRecord;

struct PreviewLayout
{
    bool valid = false; // false: nothing to paint and nothing to hit
    int pagesAcross = 0, pagesDown = 0;
    int32_t cellW = 0, cellH = 0;     // the cells as shown (whole pages or picture parts)
    int32_t shrunkW = 0, shrunkH = 0; // the picture-bearing part of a page
    int32_t fullW = 0, fullH = 0;     // whole pages, glue strips included
    bool special = false;             // last column and row without glue strips

    int32_t X0(int column) const { return column * (cellW + kCellGap) + kPreviewMargin; }
    int32_t Y0(int row) const { return row * (cellH + kCellGap) + kPreviewMargin; }
    int32_t CellWidth(int column) const;
    int32_t CellHeight(int row) const;

    static constexpr int32_t kPreviewMargin = 10;
    static constexpr int32_t kCellGap = 2; // the gaps show the scroll area's background
};

PreviewLayout ComputePreviewLayout(int32_t boxW, int32_t boxH, int32_t pageW, int32_t pageH,
                                   const PrintOptions& options, int gx, int gy, int pagesAcross,
                                   int pagesDown);

// The red cross over a switched-off page; like a GDI line, each stroke leaves out its end point.
void XitOut(QPainter& painter, int32_t left, int32_t top, int32_t right, int32_t bottom);

// The pages drawn as the poster prints them: smooth or as dots when `look` says so (its picture
// size, geometry and options are taken from the other arguments).
void PaintPreview(QPainter& painter, int32_t boxW, int32_t boxH, int32_t pageW, int32_t pageH,
                  const PrintOptions& options, int gx, int gy, const PosterGeometry& geometry,
                  const PageGrid& pagesOff, const PictureRecord& picture,
                  const PageRenderInputs& look = {});

// Every (column, row) whose cell holds the point, bounds inclusive; the caller toggles each.
std::vector<std::pair<int, int>> HitTest(int32_t boxW, int32_t boxH, int32_t pageW, int32_t pageH,
                                         const PrintOptions& options, int gx, int gy,
                                         int pagesAcross, int pagesDown, int32_t x, int32_t y);
