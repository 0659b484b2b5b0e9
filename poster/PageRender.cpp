// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageRender.h"

#include <QColor>
#include <QFont>
#include <QPainter>

#include "GrafikRW.h"
#include "HeldPicture.h"
#include "PageCanvas.h"
#include "Rounding.h"
#include "SmoothEnlarge.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr int kWholePercent = 100;

// Everything beyond int32 is clamped: a picture pixel count cannot get there, but a stretched
// destination of a hostile size must not wrap around.
int32_t Narrow(int64_t v)
{
    constexpr int64_t lo = INT32_MIN;
    constexpr int64_t hi = INT32_MAX;
    return int32_t(v < lo ? lo : (v > hi ? hi : v));
}

bool Drawable(const PageRenderInputs& in)
{
    const PosterGeometry& g = in.geometry;
    return in.pictureWidth > 0 && in.pictureHeight > 0 && g.PagesAcross > 0 && g.PagesDown > 0 &&
           g.PosterWidthPages > 0.0 && g.PosterHeightPages > 0.0;
}

// Round(span * 100 / (100 - glue)), the glue already multiplied by GlueEdge.
int32_t WidenOntoGlue(int64_t span, int glue)
{
    return RoundHalfEven(double(span * kWholePercent) / (kWholePercent - glue));
}

struct Spans
{
    int32_t gridSpan = 0;
    int32_t centerShift = 0;
    int32_t pageSpan = 0;
};

// gridSpan = Round(size * pages / posterPages) with the product in integers; the centre shift
// is half the blank excess; the page span a whole share of the grid.
Spans SpansOf(int32_t laidOutSize, int32_t pages, double posterPages)
{
    Spans s;
    s.gridSpan = RoundHalfEven(double(int64_t(laidOutSize) * pages) / posterPages);
    s.centerShift = Narrow((int64_t(s.gridSpan) - laidOutSize) / 2);
    s.pageSpan = s.gridSpan / pages;
    return s;
}

struct Axis
{
    int32_t srcStart = 0; // from the picture's left or top edge
    int32_t span = 0;
    int32_t destStart = 0;
    int32_t destEnd = 0;
};

Axis LayOutAxis(const Spans& s, int index, bool center, int32_t destStart, int32_t destEnd,
                bool widen, int glue)
{
    Axis a;
    a.srcStart = Narrow(int64_t(s.pageSpan) * index - (center ? s.centerShift : 0));
    a.span = s.pageSpan;
    a.destStart = destStart;
    a.destEnd = destEnd;
    if (widen) {
        a.span = WidenOntoGlue(a.span, glue);
        a.destEnd = Narrow(int64_t(destStart) + WidenOntoGlue(int64_t(destEnd) - destStart, glue));
    }
    return a;
}

StretchRects RectsOf(const Axis& x, const Axis& y, int32_t pictureHeight)
{
    StretchRects r;
    r.destX = x.destStart;
    r.destY = y.destStart;
    r.destWidth = Narrow(int64_t(x.destEnd) - x.destStart);
    r.destHeight = Narrow(int64_t(y.destEnd) - y.destStart);
    r.srcX = x.srcStart;
    r.srcY = Narrow(int64_t(pictureHeight) - y.srcStart - y.span);
    r.srcWidth = x.span;
    r.srcHeight = y.span;
    return r;
}

// The share resampled smooth and drawn as it comes, when the page enlarges it; false when it
// is not enlarged (or can't be resampled), and is to be drawn from its own pixels.
bool DrawSmooth(PageCanvas& canvas, const PictureRecord& picture, const StretchRects& r,
                double scale)
{
    const int32_t width = DIBWidth(picture);
    const int32_t height = DIBHeight(picture);
    const StretchRects clipped = ClipStretchRects(r, width);
    const SourcePart part = SourcePartOf(clipped, width, height);
    if (part.empty() || clipped.destWidth <= 0 || clipped.destHeight <= 0 ||
        (clipped.destWidth <= clipped.srcWidth && clipped.destHeight <= clipped.srcHeight))
        return false;
    const auto out = [scale](int32_t device) {
        return std::max<int32_t>(1, int32_t(std::lround(device * std::min(scale, 1.0))));
    };
    StretchRects drawn = clipped;
    drawn.srcX = 0;
    drawn.srcY = 0;
    drawn.srcWidth = out(clipped.destWidth);
    drawn.srcHeight = out(clipped.destHeight);
    const HeldPicture smooth(
        SmoothPart(picture, clipped.srcX, height - clipped.srcY - clipped.srcHeight,
                   clipped.srcWidth, clipped.srcHeight, drawn.srcWidth, drawn.srcHeight, nullptr));
    if (!smooth)
        return false;
    canvas.DrawPicture(smooth.get(), PosterSource(), drawn, true);
    return true;
}

void DrawPage(PageCanvas& canvas, const PictureRecord& picture, const PosterSource& source,
              const std::optional<StretchRects>& r, bool drawPlainFirst, const PageRenderInputs& in)
{
    if (!r)
        return;
    if (!picture.Bits || !picture.Info) {
        // No pixels: only a canvas that draws from the source can show the page.
        if (!source.IsPixels())
            canvas.DrawPicture(picture, source, *r, true);
        return;
    }
    if (in.dots.valid()) {
        const StretchRects clipped = ClipStretchRects(*r, DIBWidth(picture));
        canvas.FillDots(ShareDots(picture, *r, in.dots),
                        QRect(clipped.destX, clipped.destY, clipped.destWidth, clipped.destHeight));
        return;
    }
    if (in.smooth && source.IsPixels() && DrawSmooth(canvas, picture, *r, in.smoothScale))
        return;
    const BITMAPINFOHEADER& h = picture.Info->bmiHeader;
    for (bool halftone : PageDrawPasses(*r, h.biWidth, h.biHeight, h.biBitCount,
                                        drawPlainFirst && canvas.HalftonesPictures()))
        canvas.DrawPicture(picture, source, *r, halftone);
}

PageRenderInputs WithPictureOf(PageRenderInputs in, const PictureRecord& picture)
{
    // The picture itself is the authority on its size; the inputs may be stale.
    if (picture.Bits && picture.Info) {
        in.pictureWidth = picture.Info->bmiHeader.biWidth;
        in.pictureHeight = picture.Info->bmiHeader.biHeight;
    }
    return in;
}

} // namespace

std::optional<StretchRects> PrintPageRects(const PageRenderInputs& in, int column, int row,
                                           int32_t left, int32_t top, int32_t right, int32_t bottom,
                                           bool withGlueEdge)
{
    if (!Drawable(in))
        return std::nullopt;
    const PosterGeometry& g = in.geometry;
    const PrintOptions& o = in.options;
    const int glueX = ConfineGluePercent(in.gx) * int(o.GlueEdge);
    const int glueY = ConfineGluePercent(in.gy) * int(o.GlueEdge);
    const bool widen = withGlueEdge && o.PrintOnGlueEdge;

    const Axis x = LayOutAxis(SpansOf(in.pictureWidth, g.PagesAcross, g.PosterWidthPages), column,
                              o.CenterPicture, left, right, widen, glueX);
    const Axis y = LayOutAxis(SpansOf(in.pictureHeight, g.PagesDown, g.PosterHeightPages), row,
                              o.CenterPicture, top, bottom, widen, glueY);
    return RectsOf(x, y, in.pictureHeight);
}

std::optional<StretchRects> SpezialPrintPageRects(const PageRenderInputs& in, int column, int row,
                                                  int32_t left, int32_t top, int32_t right,
                                                  int32_t bottom, bool withGlueEdge)
{
    if (!Drawable(in))
        return std::nullopt;
    const PosterGeometry& g = in.geometry;
    const PrintOptions& o = in.options;
    const int gx = ConfineGluePercent(in.gx);
    const int gy = ConfineGluePercent(in.gy);

    // Laid out as if the picture were gx / PagesAcross percent narrower (and likewise lower), so
    // that the widened last column and row end about at the picture's edge.
    const int32_t reducedW = RoundHalfEven(
        in.pictureWidth * (kWholePercent - double(gx) / g.PagesAcross) / kWholePercent);
    const int32_t reducedH = RoundHalfEven(
        in.pictureHeight * (kWholePercent - double(gy) / g.PagesDown) / kWholePercent);

    const bool widen = withGlueEdge && o.PrintOnGlueEdge;
    const Axis x =
        LayOutAxis(SpansOf(reducedW, g.PagesAcross, g.PosterWidthPages), column, o.CenterPicture,
                   left, right, widen || column == g.PagesAcross - 1, gx * int(o.GlueEdge));
    const Axis y =
        LayOutAxis(SpansOf(reducedH, g.PagesDown, g.PosterHeightPages), row, o.CenterPicture, top,
                   bottom, widen || row == g.PagesDown - 1, gy * int(o.GlueEdge));
    return RectsOf(x, y, in.pictureHeight);
}

bool UsesSpezialLayout(const PrintOptions& options)
{
    return options.NoGlueOnPosterEdge && options.GlueEdge;
}

std::vector<bool> PageDrawPasses(const StretchRects& rects, int32_t pictureWidth,
                                 int32_t pictureHeight, int bitCount, bool drawPlainFirst)
{
    if (!drawPlainFirst)
        return {true};
    const StretchPlan plan = PlanStretchDraw(ClipStretchRects(rects, pictureWidth), pictureWidth,
                                             pictureHeight, bitCount, true, &ScreenColorDepth);
    if (!plan.halftoned)
        return {true};
    return {false, true};
}

void PainterCanvas::DrawPicture(const PictureRecord& picture, const PosterSource& /*source*/,
                                const StretchRects& r, bool halftone)
{
    StretchDrawDIB(&painter_, r.destX, r.destY, r.destWidth, r.destHeight, picture, r.srcX, r.srcY,
                   r.srcWidth, r.srcHeight, halftone, SRCCOPY);
}

void PainterCanvas::FillRuns(const std::vector<LineRun>& runs)
{
    DrawLineRuns(painter_, runs);
}

void PainterCanvas::FillDots(const std::vector<Dot>& dots, const QRect& clip)
{
    painter_.save();
    painter_.setClipRect(clip, Qt::IntersectClip);
    painter_.setRenderHint(QPainter::Antialiasing);
    painter_.setPen(Qt::NoPen);
    for (const Dot& dot : dots) {
        painter_.setBrush(QColor::fromRgb(dot.colour));
        painter_.drawEllipse(dot.centre, dot.radius, dot.radius);
    }
    painter_.restore();
}

void PainterCanvas::DrawTexts(const std::vector<TextRun>& texts)
{
    painter_.save();
    for (const TextRun& t : texts) {
        QFont font(QStringLiteral("Helvetica"));
        font.setStyleHint(QFont::SansSerif);
        font.setPixelSize(std::max(1, t.size));
        painter_.setFont(font);
        painter_.setPen(t.grey ? QColor(128, 128, 128) : QColor(0, 0, 0));
        if (t.upward) {
            painter_.save();
            painter_.translate(t.at);
            painter_.rotate(-90);
            painter_.drawText(QPoint(0, 0), t.text);
            painter_.restore();
        } else {
            painter_.drawText(t.at, t.text);
        }
    }
    painter_.restore();
}

std::optional<StretchRects> PosterPageRects(const PageRenderInputs& in, int column, int row,
                                            int32_t left, int32_t top, int32_t right,
                                            int32_t bottom, bool withGlueEdge)
{
    return UsesSpezialLayout(in.options)
               ? SpezialPrintPageRects(in, column, row, left, top, right, bottom, withGlueEdge)
               : PrintPageRects(in, column, row, left, top, right, bottom, withGlueEdge);
}

void PrintPage(QPainter* dc, const PictureRecord& picture, const PageRenderInputs& in, int column,
               int row, int32_t left, int32_t top, int32_t right, int32_t bottom, bool withGlueEdge,
               bool drawPlainFirst)
{
    if (!dc)
        return;
    PainterCanvas canvas(*dc);
    DrawPage(canvas, picture, PosterSource(),
             PrintPageRects(WithPictureOf(in, picture), column, row, left, top, right, bottom,
                            withGlueEdge),
             drawPlainFirst, in);
}

void SpezialPrintPage(QPainter* dc, const PictureRecord& picture, const PageRenderInputs& in,
                      int column, int row, int32_t left, int32_t top, int32_t right, int32_t bottom,
                      bool withGlueEdge, bool drawPlainFirst)
{
    if (!dc)
        return;
    PainterCanvas canvas(*dc);
    DrawPage(canvas, picture, PosterSource(),
             SpezialPrintPageRects(WithPictureOf(in, picture), column, row, left, top, right,
                                   bottom, withGlueEdge),
             drawPlainFirst, in);
}

void RenderPosterPage(QPainter* dc, const PictureRecord& picture, const PageRenderInputs& in,
                      int column, int row, int32_t left, int32_t top, int32_t right, int32_t bottom,
                      bool withGlueEdge, bool drawPlainFirst)
{
    if (!dc)
        return;
    PainterCanvas canvas(*dc);
    RenderPosterPage(canvas, picture, PosterSource(), in, column, row, left, top, right, bottom,
                     withGlueEdge, drawPlainFirst);
}

void RenderPosterPage(PageCanvas& canvas, const PictureRecord& picture, const PosterSource& source,
                      const PageRenderInputs& in, int column, int row, int32_t left, int32_t top,
                      int32_t right, int32_t bottom, bool withGlueEdge, bool drawPlainFirst)
{
    DrawPage(canvas, picture, source,
             PosterPageRects(WithPictureOf(in, picture), column, row, left, top, right, bottom,
                             withGlueEdge),
             drawPlainFirst, in);
}
