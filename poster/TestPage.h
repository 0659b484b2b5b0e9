// SPDX-License-Identifier: GPL-3.0-or-later
// The scale check: one sheet with a 10 cm and a 4 inch ruler, each exactly that many device
// pixels long, the printable area's outline, and what to measure. A printer (or a viewer's
// print dialog) that scales the page shows it on the rulers.
#pragma once

#include "PageCanvas.h"

#include <cstdint>
#include <vector>

struct TestPagePlan
{
    std::vector<LineRun> runs;
    std::vector<TextRun> texts;
    int32_t cmRuler = 0;   // the 10 cm ruler's length in device pixels, 0 when it does not fit
    int32_t inchRuler = 0; // the 4 inch ruler's
};

// For a printable area of pageWidth x pageHeight device pixels at dpiX x dpiY.
TestPagePlan TestPageOf(int32_t pageWidth, int32_t pageHeight, int32_t dpiX, int32_t dpiY);

inline const char* const kTestPageDocName = "Kantelberg Poster test page";

#include <QString>

// Where the test page goes when the poster goes to a PDF file: beside it, so that it does not
// replace the poster ("Kantelberg Poster.pdf" gives "Kantelberg Poster test page.pdf").
QString TestPagePathFor(const QString& posterPdf);
