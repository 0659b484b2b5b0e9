// SPDX-License-Identifier: GPL-3.0-or-later
// What a velmora-poster command line asks for, read with the same rules the window applies to
// its controls.
#pragma once

#include "OptionRules.h"
#include "PictureEdit.h"
#include "PosterSize.h"
#include "PosterTypes.h"
#include "PrintJob.h"

#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// One size typed into "Width in pages:" or "Height in pages:", in the order given, or a length
// of the finished poster that stands for the pages that come nearest it.
struct SizeEntry
{
    SizeSide side = SizeSide::Width;
    double pages = 1.0;
    double millimetres = 0; // above 0: the finished width or height asked for
};

// One change made to the picture before it is sized, as a button of the "Modify picture" page
// makes it: an edit of its geometry, or the brightness and contrast dialog closed with OK.
struct EditStep
{
    bool brightnessContrast = false;
    PictureEdit edit;
    int32_t brightness = 0;
    int32_t contrast = 100;
};

// The save type of a drawing's page kept as vectors: a PDF file.
constexpr int32_t kSaveAsPdf = -1;

struct PosterRequest
{
    enum class Action
    {
        Print,  // print, or with dryRun only report what would be printed
        Info,   // the picture's width, height and colours
        Help,   // the usage text
        Version // the program's version
    };
    Action action = Action::Print;
    bool dryRun = false;
    bool testPage = false;      // the scale check in place of a poster
    bool pageLabels = false;    // each page's label where the glued poster hides it
    bool assemblySheet = false; // an assembly sheet before the poster's pages
    int32_t page = 1;           // of a PDF file, counted from 1
    bool asStored = false;      // the pixels as stored, not turned upright by the orientation tag

    QString picture; // the picture file; empty when scanning

    // A scan in place of a picture file. Empty or zero settings leave the device's own.
    bool scan = false;
    QString scanDevice; // empty: the first device found
    QString scanMode;   // as the device names it, any case
    int scanDepth = 0;
    double scanResolution = 0;
    int scanTimeout = 0; // seconds the scanner may say nothing; 0: the library's own

    std::vector<EditStep> edits; // in the order given
    QString saveFile;            // the edited picture written here; empty: not asked for
    int32_t saveCode = 0;        // SaveDib's format code for saveFile, or kSaveAsPdf
    // False when the picture is only saved: --save without -o or --printer.
    bool print = true;

    QString outputFile;  // a PDF file; empty: not asked for
    QString printerName; // a printer queue; empty: not asked for
    bool wait = false;   // a CUPS job followed to its end
    int cupsTimeout = 0; // seconds the scheduler may take to answer; 0: the library's own

    // The ten check boxes as the user left them, before the option rules apply.
    OptionBoxes boxes;
    int rightGluePercent = kDefaultGluePercent;
    int bottomGluePercent = kDefaultGluePercent;
    std::vector<SizeEntry> sizes;

    PrintOrder order = PrintOrder::RowPerRow;
    PageChoice choice = PageChoice::AllPages;
    std::vector<std::pair<int, int>> pagesOff; // (column, row), checked against the grid later

    std::optional<QPageSize::PageSizeId> paper;
    std::optional<QPageLayout::Orientation> orientation;
    int32_t resolution = 0; // a PDF file's device pixels per inch; 0: its default

    bool smooth = false;     // "Smooth enlargement"
    double dotsMm = 0;       // above 0: "Dot screen", the dots this far apart on paper
    bool dotsColour = false; // the dots in the picture's colours rather than black
};

// The dot screen's distance of the dots on paper: from a close screen to one seen across a hall.
inline constexpr double kDotPitchMinMm = 2;
inline constexpr double kDotPitchMaxMm = 100;

struct ParsedRequest
{
    PosterRequest request;
    QString error;     // empty when the command line was good
    QStringList notes; // settings the option rules overrode, for the user to know
    QString help;      // the usage text

    bool ok() const { return error.isEmpty(); }
};

// arguments as main() received them, the program name first.
ParsedRequest ParseRequest(const QStringList& arguments);

// A paper size by its QPageSize key or name, any case ("A4", "a3", "Letter").
std::optional<QPageSize::PageSizeId> PaperByName(const QString& name);
