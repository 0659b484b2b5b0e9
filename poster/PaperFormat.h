// SPDX-License-Identifier: GPL-3.0-or-later
// The printer's paper format in millimetres, as the "Options" page shows it.
#pragma once

#include <QString>

#include <cstdint>

#include "PrinterMetrics.h"

// Device pixels to millimetres. The program counts 297 mm for 3510 pixels at 300 dpi, which is
// 25.3846 mm per inch rather than 25.4: the printed figures must match those users know.
double PixelsToMm(int32_t px, int32_t dpi);

// Width of a glue strip that takes percent of a page extent, in millimetres. The strip is a
// fraction of a pixel count, so the whole chain stays in floating point.
double GlueStripMm(int32_t pagePx, int percent, int32_t dpi);

// "209.85 mm": two decimals, a full stop whatever the locale, no grouping.
QString MmText(double mm);

// The seven texts of the paper format group. All empty when there is no printer to read.
struct PaperFormatTexts
{
    QString paperSize;  // Edit6, "W x H mm"
    QString topEdge;    // Edit7
    QString leftEdge;   // Edit8
    QString rightEdge;  // Edit9
    QString bottomEdge; // Edit10
    QString rightGlue;  // Edit1
    QString bottomGlue; // Edit2

    bool operator==(const PaperFormatTexts&) const = default;
};

// The percentages are confined to the glue range before use.
PaperFormatTexts PaperFormatOf(const PrinterMetrics& metrics, int rightGluePercent,
                               int bottomGluePercent);
