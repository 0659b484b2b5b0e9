// What a velmora-poster command line asks for, read with the same rules the window applies to
// its controls.
#pragma once

#include "OptionRules.h"
#include "PosterSize.h"
#include "PosterTypes.h"
#include "PrintJob.h"

#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

// One size typed into "Width in pages:" or "Height in pages:", in the order given.
struct SizeEntry
{
    SizeSide side = SizeSide::Width;
    double pages = 1.0;
};

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

    QString picture;
    QString outputFile;  // a PDF file; empty: not asked for
    QString printerName; // a printer queue; empty: not asked for

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
};

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
