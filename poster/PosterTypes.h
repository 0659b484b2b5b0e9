// SPDX-License-Identifier: GPL-3.0-or-later
// The poster's state as the window holds it: the print options, the size in pages and the
// pages switched off in the preview.
#pragma once

#include <array>
#include <cstdint>

// Copies of the ten option check boxes; only the options update writes them.
struct PrintOptions
{
    bool CutHelpLines = true;        // "Cut help lines"
    bool GlueLines = false;          // "Clue lines"
    bool NoLinesOnPosterEdge = true; // "No lines on the poster edge"
    bool CenterPicture = false;      // "Center"
    bool UseFullPages = false;       // "Use full pages"
    bool KeepAspectRatio = true;     // "Aspect ratio"
    bool GlueEdge = true;            // "Edge for glue"
    bool PrintOnGlueEdge = false;    // "Print on the edge for glue"
    bool NoGlueOnPosterEdge = true;  // "No edge for glue on the poster edge"
    bool ShowGlueEdge = false;       // "Show edge for glue"

    bool operator==(const PrintOptions&) const = default;
};

// Glue-strip percentages are whole numbers in this range wherever they are used.
constexpr int kMinGluePercent = 0;
constexpr int kMaxGluePercent = 10;
constexpr int kDefaultGluePercent = 5;

inline int ConfineGluePercent(int percent)
{
    return percent < kMinGluePercent ? kMinGluePercent
                                     : (percent > kMaxGluePercent ? kMaxGluePercent : percent);
}

// Poster size limits, in pages.
constexpr double kMinPosterPages = 0.1;
constexpr double kMaxPosterPages = 100.0;

struct PosterGeometry
{
    double PosterWidthPages = 1.0;  // in usable page widths
    double PosterHeightPages = 1.0; // in usable page heights
    int32_t PagesAcross = 1;        // ceilings of the sizes, 1..100
    int32_t PagesDown = 1;
    bool WidthEditedLast = false; // decides which size the refit starts from
    bool SizeUpdateGuard = false; // set while one size handler writes the other edit

    bool operator==(const PosterGeometry&) const = default;
};

// Pages switched off in the preview: 101 x 101 bytes, index column * 101 + row, 1 = off.
constexpr int kPageGridSide = 101;
using PageGrid = std::array<uint8_t, kPageGridSide * kPageGridSide>;

inline int PageIndex(int column, int row)
{
    return column * kPageGridSide + row;
}
