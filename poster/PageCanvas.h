// SPDX-License-Identifier: GPL-3.0-or-later
// The few drawing calls a printed or previewed page is made of. The page plan (the picture's
// rectangles and the help-line runs) is the same for every device; each device draws it through
// a canvas of its own: a QPainter for the screen and for test images, the PDF writer for the
// poster document.
#pragma once

#include "DotScreen.h"
#include "HelpLines.h"
#include "JpegCut.h"
#include "PosterSource.h"
#include "StretchPlan.h"

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
struct PictureRecord;

// One line of text on a page, in Helvetica (or the nearest sans face a painter has): its
// baseline starts at `at`, device pixels, and its capitals stand about 0.72 of `size` high.
// Latin-1 text only, which every PDF viewer and printer can show without an embedded font.
struct TextRun
{
    QPoint at;
    int size = 0; // the font's size in device pixels
    QString text;
    bool grey = false;   // else black
    bool upward = false; // read from the bottom up, the baseline running up from `at`

    bool operator==(const TextRun&) const = default;
};

// How wide Helvetica sets the text at that size, in device pixels: the page plans place their
// text by it, so that every device puts it in the same place.
double TextWidth(const QString& text, int size);

class PageCanvas
{
public:
    virtual ~PageCanvas() = default;

    // The source rectangle of the picture (srcY from its bottom row) onto the destination in
    // device pixels, rows and columns repeated or dropped, never blended. A canvas may draw the
    // same part of the source instead of the pixels, in which case the picture may have no
    // pixels at all.
    virtual void DrawPicture(const PictureRecord& picture, const PosterSource& source,
                             const StretchRects& rects, bool halftone) = 0;

    // Filled rectangles, in order, later ones over earlier ones.
    virtual void FillRuns(const std::vector<LineRun>& runs) = 0;

    // Filled circles, in order, cut at the clip rectangle (device pixels); a document keeps
    // them as vectors.
    virtual void FillDots(const std::vector<Dot>& dots, const QRect& clip) = 0;

    // Lines of text, over what is drawn already; a document keeps them as text.
    virtual void DrawTexts(const std::vector<TextRun>& texts) = 0;

    // True when a plain drawing under a halftoned one can make a difference (a screen of few
    // colours); a document in full colour draws each picture once.
    virtual bool HalftonesPictures() const { return true; }

    // The pictures about to be drawn, all of them, before the first DrawPicture: a canvas that
    // cuts compressed data into page-sized parts can do it in one pass. Returns false only when
    // it has failed (damaged data, no memory); the canvas then draws from the pixels. The
    // cutting reports how far it is, 0 to 1, from any thread.
    virtual bool ExpectPictures(const PosterSource& /*source*/, const std::vector<StretchRects>&,
                                const CutProgress& /*progress*/)
    {
        return true;
    }

    // The whole source drawn lightened to a quarter of its strength, as the assembly sheet's
    // picture under the grid of pages. False when the canvas cannot draw the source itself;
    // the caller then draws a lightened copy of the pixels.
    virtual bool DrawFaint(const PosterSource& /*source*/, const StretchRects&) { return false; }
};

// A canvas over a QPainter: StretchDrawDIB and filled rectangles.
class PainterCanvas final : public PageCanvas
{
public:
    explicit PainterCanvas(QPainter& painter) : painter_(painter) {}
    void DrawPicture(const PictureRecord& picture, const PosterSource& source,
                     const StretchRects& rects, bool halftone) override;
    void FillRuns(const std::vector<LineRun>& runs) override;
    void FillDots(const std::vector<Dot>& dots, const QRect& clip) override;
    void DrawTexts(const std::vector<TextRun>& texts) override;

private:
    QPainter& painter_;
};
