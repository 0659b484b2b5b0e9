// SPDX-License-Identifier: GPL-3.0-or-later
// Rendering one page of the poster grid: which part of the picture falls on the page, widened
// onto the glue strip where the options ask for it, and its drawing onto any painter.
#pragma once

#include "DotScreen.h"
#include "PosterTypes.h"
#include "StretchPlan.h"

#include <cstdint>
#include <optional>
#include <vector>

class PageCanvas;
class QPainter;
class PosterSource;
struct PictureRecord;

// Everything the page arithmetic reads; the glue percentages are those of the spin edits.
struct PageRenderInputs
{
    int32_t pictureWidth = 0;
    int32_t pictureHeight = 0;
    PosterGeometry geometry;
    PrintOptions options;
    int gx = kDefaultGluePercent; // right glue strip, % of the page width
    int gy = kDefaultGluePercent; // bottom glue strip, % of the page height
    // "Smooth enlargement": a share the page enlarges is resampled smooth rather than drawn in
    // blocks of its pixels, to smoothScale pixels a device pixel (at most 1; a print job sets
    // it from the device's resolution).
    bool smooth = false;
    double smoothScale = 1;
    // "Dot screen": when valid, the picture prints as this grid of dots instead of its pixels.
    DotGrid dots{};
};

// The StretchDrawDIB arguments for page (column, row) drawn into (left, top, right, bottom),
// srcY counted from the picture's bottom row. Empty when there is nothing to draw (no picture,
// no pages, a poster size of 0).
std::optional<StretchRects> PrintPageRects(const PageRenderInputs& in, int column, int row,
                                           int32_t left, int32_t top, int32_t right, int32_t bottom,
                                           bool withGlueEdge);

// The layout without glue strips on the poster's own right and bottom edges.
std::optional<StretchRects> SpezialPrintPageRects(const PageRenderInputs& in, int column, int row,
                                                  int32_t left, int32_t top, int32_t right,
                                                  int32_t bottom, bool withGlueEdge);

// The rectangles RenderPosterPage draws: SpezialPrintPageRects or PrintPageRects, as the
// options choose.
std::optional<StretchRects> PosterPageRects(const PageRenderInputs& in, int column, int row,
                                            int32_t left, int32_t top, int32_t right,
                                            int32_t bottom, bool withGlueEdge);

// True when the options call for the layout of SpezialPrintPage.
bool UsesSpezialLayout(const PrintOptions& options);

// The halftone flag of each StretchDrawDIB call for one page. A plain drawing first is only
// worth making when the halftoned one would look different; otherwise the page is drawn once
// (a PDF would carry the picture twice for nothing).
std::vector<bool> PageDrawPasses(const StretchRects& rects, int32_t pictureWidth,
                                 int32_t pictureHeight, int bitCount, bool drawPlainFirst);

void PrintPage(QPainter* dc, const PictureRecord& picture, const PageRenderInputs& in, int column,
               int row, int32_t left, int32_t top, int32_t right, int32_t bottom, bool withGlueEdge,
               bool drawPlainFirst);

void SpezialPrintPage(QPainter* dc, const PictureRecord& picture, const PageRenderInputs& in,
                      int column, int row, int32_t left, int32_t top, int32_t right, int32_t bottom,
                      bool withGlueEdge, bool drawPlainFirst);

// SpezialPrintPage or PrintPage, as both the preview and the print job choose.
void RenderPosterPage(QPainter* dc, const PictureRecord& picture, const PageRenderInputs& in,
                      int column, int row, int32_t left, int32_t top, int32_t right, int32_t bottom,
                      bool withGlueEdge, bool drawPlainFirst);

// The same onto any canvas. Without pixels (null Bits) the picture's size is the inputs', and
// only a canvas that draws from the source shows it.
void RenderPosterPage(PageCanvas& canvas, const PictureRecord& picture, const PosterSource& source,
                      const PageRenderInputs& in, int column, int row, int32_t left, int32_t top,
                      int32_t right, int32_t bottom, bool withGlueEdge, bool drawPlainFirst);
