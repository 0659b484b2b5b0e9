// SPDX-License-Identifier: GPL-3.0-or-later
#include "PagePreview.h"

#include "GrafikRW.h"
#include "PageRender.h"
#include "Rounding.h"

#include <QPainter>

#include <limits>

namespace {

constexpr int64_t kFitBorder = 18; // twice the margin less the gap after the last cell
constexpr int64_t kCellGap = PreviewLayout::kCellGap;
constexpr int64_t kTenths = 10; // cell proportions are worked out in tenths of a pixel
constexpr int64_t kGapTenths = 20;
constexpr int kWholePercent = 100;

int32_t Narrow(int64_t v)
{
    constexpr int64_t lo = std::numeric_limits<int32_t>::min() / 4;
    constexpr int64_t hi = std::numeric_limits<int32_t>::max() / 4;
    return int32_t(v < lo ? lo : (v > hi ? hi : v));
}

} // namespace

int32_t PreviewLayout::CellWidth(int column) const
{
    return special && column == pagesAcross - 1 ? fullW : cellW;
}

int32_t PreviewLayout::CellHeight(int row) const
{
    return special && row == pagesDown - 1 ? fullH : cellH;
}

PreviewLayout ComputePreviewLayout(int32_t boxW, int32_t boxH, int32_t pageW, int32_t pageH,
                                   const PrintOptions& options, int gx, int gy, int pagesAcross,
                                   int pagesDown)
{
    PreviewLayout l;
    const int64_t n = pagesAcross, m = pagesDown;
    if (n <= 0 || m <= 0 || n > kPageGridSide || m > kPageGridSide || pageW <= 0 || pageH <= 0)
        return l;
    l.pagesAcross = pagesAcross;
    l.pagesDown = pagesDown;

    const int64_t a = boxW - kFitBorder;
    int64_t cellW = a / n - kCellGap;
    int64_t cellH = ((a * kTenths / n - kGapTenths) * pageH / pageW) / kTenths;
    if ((cellH + kCellGap) * m + kFitBorder > boxH) {
        const int64_t b = boxH - kFitBorder;
        cellH = b / m - kCellGap;
        cellW = ((b * kTenths / m - kGapTenths) * pageW / pageH) / kTenths;
    }
    const int g = options.GlueEdge ? 1 : 0;
    const int32_t shrunkW =
        RoundHalfEven(double((kWholePercent - ConfineGluePercent(gx) * g) * cellW) / kWholePercent);
    const int32_t shrunkH =
        RoundHalfEven(double((kWholePercent - ConfineGluePercent(gy) * g) * cellH) / kWholePercent);

    l.fullW = Narrow(cellW);
    l.fullH = Narrow(cellH);
    l.shrunkW = shrunkW;
    l.shrunkH = shrunkH;
    l.cellW = options.ShowGlueEdge ? l.fullW : shrunkW;
    l.cellH = options.ShowGlueEdge ? l.fullH : shrunkH;
    l.special = options.NoGlueOnPosterEdge && options.GlueEdge;
    l.valid = true;
    return l;
}

void XitOut(QPainter& painter, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    painter.save();
    QPen pen(QColor(255, 0, 0));
    pen.setWidth(0);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawLine(left, top, right, bottom);
    painter.drawLine(right, top, left, bottom);
    painter.restore();
}

void PaintPreview(QPainter& painter, int32_t boxW, int32_t boxH, int32_t pageW, int32_t pageH,
                  const PrintOptions& options, int gx, int gy, const PosterGeometry& geometry,
                  const PageGrid& pagesOff, const PictureRecord& picture,
                  const PageRenderInputs& look)
{
    const PreviewLayout l = ComputePreviewLayout(boxW, boxH, pageW, pageH, options, gx, gy,
                                                 geometry.PagesAcross, geometry.PagesDown);
    if (!l.valid)
        return;
    PageRenderInputs in;
    in.smooth = look.smooth;
    in.dots = look.dots;
    in.geometry = geometry;
    in.options = options;
    in.gx = gx;
    in.gy = gy;
    if (picture.Info) {
        in.pictureWidth = picture.Info->bmiHeader.biWidth;
        in.pictureHeight = picture.Info->bmiHeader.biHeight;
    }

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen dotted(Qt::black);
    dotted.setWidth(0);
    dotted.setStyle(Qt::DotLine);
    dotted.setCapStyle(Qt::FlatCap);
    const QColor white(255, 255, 255);
    const bool markGlue = options.GlueEdge && options.ShowGlueEdge;

    for (int i = 0; i < l.pagesAcross; ++i) {
        for (int j = 0; j < l.pagesDown; ++j) {
            const int32_t x0 = l.X0(i), y0 = l.Y0(j);
            const int32_t w = l.CellWidth(i), h = l.CellHeight(j);
            if (w <= 0 || h <= 0)
                continue; // too small to show anything
            painter.fillRect(QRect(x0, y0, w, h), white);
            if (pagesOff[PageIndex(i, j)] != 0) {
                if (l.special)
                    XitOut(painter, x0, y0, x0 + w, y0 + h);
                else
                    XitOut(painter, x0, y0, x0 + l.shrunkW, y0 + l.shrunkH);
            } else if (l.shrunkW > 0 && l.shrunkH > 0) {
                RenderPosterPage(&painter, picture, in, i, j, x0, y0, x0 + l.shrunkW,
                                 y0 + l.shrunkH, options.ShowGlueEdge, false);
            }
            if (markGlue && l.shrunkW > 0 && l.shrunkH > 0) {
                painter.setPen(dotted);
                const int32_t gxLine = x0 + l.shrunkW + 1, gyLine = y0 + l.shrunkH + 1;
                // The end points are left out, as a GDI line does.
                if (!(i == l.pagesAcross - 1 && options.NoGlueOnPosterEdge))
                    painter.drawLine(gxLine, y0, gxLine, gyLine - 1);
                if (!(j == l.pagesDown - 1 && options.NoGlueOnPosterEdge))
                    painter.drawLine(x0, gyLine, gxLine - 1, gyLine);
            }
        }
    }
    painter.restore();
}

std::vector<std::pair<int, int>> HitTest(int32_t boxW, int32_t boxH, int32_t pageW, int32_t pageH,
                                         const PrintOptions& options, int gx, int gy,
                                         int pagesAcross, int pagesDown, int32_t x, int32_t y)
{
    std::vector<std::pair<int, int>> hits;
    const PreviewLayout l =
        ComputePreviewLayout(boxW, boxH, pageW, pageH, options, gx, gy, pagesAcross, pagesDown);
    if (!l.valid)
        return hits;
    for (int i = 0; i < l.pagesAcross; ++i)
        for (int j = 0; j < l.pagesDown; ++j) {
            const int32_t x0 = l.X0(i), y0 = l.Y0(j);
            const int32_t w = l.CellWidth(i), h = l.CellHeight(j);
            if (w <= 0 || h <= 0)
                continue; // not shown, so not clickable
            if (x0 <= x && x <= x0 + w && y0 <= y && y <= y0 + h)
                hits.emplace_back(i, j);
        }
    return hits;
}
