// SPDX-License-Identifier: GPL-3.0-or-later
// What tells the sheets of a poster apart: each page's label (its place as column letters and
// row number, "page N of M" in print order, the finished size), set where the glued poster does
// not show it, and the assembly sheet, one page with the grid of pages over a faint picture.
#pragma once

#include "FinishedSize.h"
#include "GrafikRW.h"
#include "PageCanvas.h"
#include "PageRender.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <utility>
#include <vector>

// A, B, ..., Z, AA, AB, ...: the column's letters, 0 being A.
QString ColumnLetters(int column);
// "A1" is the top-left page, "B1" the one to its right, "A2" the one below it.
QString PageName(int column, int row);

// Where the picture stays visible on the page once the poster is glued, in page pixels (the
// printable area's): empty when the page shows none of it.
QRect VisiblePicture(const PageRenderInputs& in, int column, int row, QSize printable);

// The label of one page: "B3  page 7 of 16  poster 100.0 x 66.6 cm", shortened to what fits, in
// the first place that shows no picture once glued: the bottom glue strip, the right one, or the
// page's blank part beside the picture. Empty when there is no such place (no glue strips and a
// page full of picture). dpi 0: the printer's resolution is not known and the size is left out.
std::vector<TextRun> PageLabelRuns(const PageRenderInputs& in, int column, int row, QSize printable,
                                   int dpi, int pageNumber, int pageCount);

// The assembly sheet: the finished size, the grid of pages with their labels, the pages left
// out crossed and listed, and how the sheets go together. `faint` is where a lightened picture
// of the whole poster is to be drawn under the grid (in page pixels), empty when it has no room.
struct AssemblySheet
{
    std::vector<LineRun> runs;
    std::vector<TextRun> texts;
    QRect faint;
};
AssemblySheet AssemblySheetOf(const PageRenderInputs& in, QSize printable, int dpi,
                              const std::vector<std::pair<int, int>>& leftOut);

// A lightened copy of the picture for the assembly sheet, at most `longest` pixels on its longer
// side; null Bits when there are no pixels. The caller releases it with deldib.
PictureRecord FaintPosterPicture(const PictureRecord& picture, int longest);
