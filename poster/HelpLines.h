// SPDX-License-Identifier: GPL-3.0-or-later
// The dashed cut and glue lines over a printed page, and which pages get them.
#pragma once

#include "PosterTypes.h"

#include <QRect>

#include <cstdint>
#include <vector>

// One stretch of same-coloured help-line pixels; later runs paint over earlier ones.
struct LineRun
{
    QRect rect;
    bool black = true; // else white

    bool operator==(const LineRun&) const = default;
};

bool HasCutLines(const PrintOptions& options, int column, int row);
bool HasGlueLines(const PrintOptions& options, int column, int row, int pagesAcross, int pagesDown);

// Two pixels thick along the top, then the left edge of the picture area, dashes of 30.
std::vector<LineRun> CutLineRuns(int32_t destW, int32_t destH);

// Two pixels thick along the bottom, then the right edge, dashes of 10 every 30.
std::vector<LineRun> GlueLineRuns(int32_t destW, int32_t destH);

class QPainter;
void DrawLineRuns(QPainter& painter, const std::vector<LineRun>& runs);
