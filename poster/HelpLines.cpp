// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelpLines.h"

#include <QPainter>

namespace {

constexpr int kDashPeriod = 30; // the step counter wraps here and the colour switches
constexpr int kGlueDashLength = 10;
constexpr int kLineThickness = 2;

// Walks the counter over one edge, merging consecutive drawn pixels of one colour. `across`
// makes the one-pixel span into the 2-pixel-thick rectangle at `position` along the edge.
struct DashWalker
{
    int counter = 0;
    bool black = true;
    int drawnBelow = kDashPeriod; // pixels are set only while the counter is below this

    template <typename MakeRect>
    void Walk(int32_t length, std::vector<LineRun>& runs, MakeRect makeRect)
    {
        bool open = false;
        int32_t start = 0;
        bool runBlack = true;
        auto close = [&](int32_t end) {
            if (open)
                runs.push_back({makeRect(start, end - start), runBlack});
            open = false;
        };
        for (int32_t p = 0; p < length; ++p) {
            if (++counter == kDashPeriod) {
                counter = 0;
                black = !black;
            }
            const bool drawn = counter < drawnBelow;
            if (!drawn || (open && runBlack != black))
                close(p);
            if (drawn && !open) {
                open = true;
                start = p;
                runBlack = black;
            }
        }
        close(length);
    }
};

} // namespace

bool HasCutLines(const PrintOptions& o, int column, int row)
{
    return o.CutHelpLines && (!o.NoLinesOnPosterEdge || (column != 0 && row != 0));
}

bool HasGlueLines(const PrintOptions& o, int column, int row, int pagesAcross, int pagesDown)
{
    return o.GlueLines && ((!o.NoLinesOnPosterEdge && !o.NoGlueOnPosterEdge) ||
                           (column != pagesAcross - 1 && row != pagesDown - 1));
}

std::vector<LineRun> CutLineRuns(int32_t destW, int32_t destH)
{
    std::vector<LineRun> runs;
    DashWalker w;
    w.Walk(destW, runs, [](int32_t s, int32_t n) { return QRect(s, 0, n, kLineThickness); });
    w.Walk(destH, runs, [](int32_t s, int32_t n) { return QRect(0, s, kLineThickness, n); });
    return runs;
}

std::vector<LineRun> GlueLineRuns(int32_t destW, int32_t destH)
{
    std::vector<LineRun> runs;
    DashWalker w;
    w.drawnBelow = kGlueDashLength;
    w.Walk(destW, runs, [destH](int32_t s, int32_t n) {
        return QRect(s, destH - kLineThickness, n, kLineThickness);
    });
    w.Walk(destH, runs, [destW](int32_t s, int32_t n) {
        return QRect(destW - kLineThickness, s, kLineThickness, n);
    });
    return runs;
}

void DrawLineRuns(QPainter& painter, const std::vector<LineRun>& runs)
{
    for (const LineRun& r : runs)
        painter.fillRect(r.rect, r.black ? QColor(0, 0, 0) : QColor(255, 255, 255));
}
