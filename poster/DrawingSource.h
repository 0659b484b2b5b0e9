// SPDX-License-Identifier: GPL-3.0-or-later
// A page of a PDF file, or an SVG or SVGZ drawing made into one, as what a poster prints from:
// the document draws the page itself, as vectors, so that it stays sharp at any size. The window
// shows a rendering of it, and the poster's arithmetic works on that rendering's pixels; edits
// are made on the rendering and on the view of the page alike.
#pragma once

#include "JpegCut.h"

#include <QByteArray>
#include <QString>
#include <QTransform>

#include <cstdint>
#include <memory>

class VectorPage;
struct FinishedSize;
struct PictureRecord;

struct DrawingSource
{
    QByteArray pdf; // the file's, or the one made from an SVG: what renderings are made from
    std::shared_ptr<const VectorPage> page;
    bool fromSvg = false;
    int32_t renderWidth = 0; // the rendering of the whole page that the view is measured on
    int32_t renderHeight = 0;
    JpegView view;     // the edits so far, on the rendering's pixels
    int32_t width = 0; // the picture as it shows: the view's
    int32_t height = 0;
};

// Whether the file's first bytes are those of a drawing Velmora reads: a PDF, an SVG, or (by its
// name) a gzipped SVG.
bool LooksLikeDrawing(const QByteArray& head, const QString& path);
// The same for a file by its first bytes; false when it can't be read.
bool IsDrawingFile(const QString& path);

// The file's page pageIndex (0-based; an SVG has one) with the size its rendering has: about
// 150 pixels per inch of the page, its longer side kept between 1000 and 3000 pixels. Null with
// a one-line reason, without the file's name.
std::shared_ptr<const DrawingSource> ReadDrawing(const QString& path, int pageIndex,
                                                 QString* error);

// Page pageIndex of the same file, from the bytes already read, unedited. Null with a reason.
std::shared_ptr<const DrawingSource> DrawingPage(const DrawingSource& d, int pageIndex,
                                                 QString* error);

// The same page with one more edit; null for null and for a cut outside the picture.
std::shared_ptr<const DrawingSource> EditedDrawing(const std::shared_ptr<const DrawingSource>& d,
                                                   const PictureEdit& edit);

// The rendering of the whole page, as the picture shows before any edit: a 24-bit record, null
// Bits with the reason when it can't be made.
PictureRecord RenderWholeDrawing(const DrawingSource& drawing, QString* error);

// Pixels made from a drawing have this resolution: on the finished poster when brightness and
// contrast make the poster print from pixels, on the page's own size when it is saved.
constexpr double kDrawingPixelsPpi = 300;

// How many times the rendering's resolution the picture as it shows needs for `ppi` over
// `inchesWide` of paper; never less than 1, so that it is never coarser than the window's
// rendering, and lower than asked when its pixels, at 3 bytes each, would take more than
// `memoryBytes` or make more than a picture may have.
double DrawingScaleFor(const DrawingSource& d, double inchesWide, double ppi, uint64_t memoryBytes);
// The same for the page's own size: `ppi` of the page as it is printed on its paper.
double DrawingScaleForPage(const DrawingSource& d, double ppi, uint64_t memoryBytes);

// The picture as it shows, the view's cut, turns, mirror and flip made, rendered at `scale`
// times the rendering's resolution: a 24-bit record, null Bits with the reason when it can't be
// made.
PictureRecord RenderShownDrawing(const DrawingSource& d, double scale, QString* error);
// Only the rectangle `part` of it, in its pixels at that scale (clipped to them), as the edit
// view needs at a high zoom.
PictureRecord RenderShownPart(const DrawingSource& d, double scale, QRect part, QString* error);

// The poster printed from the drawing: vectors, and the lowest resolution on paper that any of
// the page's raster images reaches at the poster's size (images a cut leaves out count too).
void SetDrawingOnPaper(FinishedSize& size, const DrawingSource* drawing);

// The length on the page's paper of one pixel of its rendering, in points and in millimetres:
// the same across and down, turned or not.
double PointsPerPixel(const DrawingSource& d);
double MillimetresPerPixel(const DrawingSource& d);

// From the page's own space (points, from the bottom-left corner of the page as it shows) to the
// pixels of the picture as it shows (from its top-left corner), through the view's edits.
QTransform PageToPicture(const DrawingSource& drawing);
