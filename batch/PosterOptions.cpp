// SPDX-License-Identifier: GPL-3.0-or-later
#include "PosterOptions.h"

#include "CurrentPrinter.h"
#include "GrafikRW.h"
#include "OptionRules.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

using Read = std::function<QString(PosterRequest&, const QString&)>;

// For the entries whose values take effect one after the other.
constexpr bool kEachValue = true;

// The longest wait on a scanner or the print scheduler anyone would ask for: a day.
constexpr int kLongestWaitSeconds = 24 * 60 * 60;

// A length beyond any hundred pages of any paper: a kilometre.
constexpr double kLongestPosterMm = 1e6;

// An on/off pair for one check box: "--NAME" checks it, "--no-NAME" unchecks it. For the two
// boxes whose caption is itself a "No ...", the flag is the inverse of the name.
struct Toggle
{
    const char* name;
    bool PrintOptions::*flag;
    bool onMeansFlag; // true: --NAME sets the flag; false: --NAME clears it
    const char* what;
};

const Toggle kToggles[] = {
    {"cut-lines", &PrintOptions::CutHelpLines, true,
     QT_TRANSLATE_NOOP("PosterOptions", "\"Cut help lines\"")},
    {"glue-lines", &PrintOptions::GlueLines, true,
     QT_TRANSLATE_NOOP("PosterOptions", "\"Clue lines\"")},
    {"lines-on-poster-edge", &PrintOptions::NoLinesOnPosterEdge, false,
     QT_TRANSLATE_NOOP(
         "PosterOptions",
         "help lines on the poster's outer edge (\"No lines on the poster edge\" unchecked)")},
    {"center", &PrintOptions::CenterPicture, true,
     QT_TRANSLATE_NOOP("PosterOptions", "\"Center\"")},
    {"full-pages", &PrintOptions::UseFullPages, true,
     QT_TRANSLATE_NOOP("PosterOptions", "\"Use full pages\"")},
    {"aspect-ratio", &PrintOptions::KeepAspectRatio, true,
     QT_TRANSLATE_NOOP("PosterOptions", "\"Aspect ratio\"")},
    {"glue-edge", &PrintOptions::GlueEdge, true,
     QT_TRANSLATE_NOOP("PosterOptions", "\"Edge for glue\"")},
    {"print-on-glue-edge", &PrintOptions::PrintOnGlueEdge, true,
     QT_TRANSLATE_NOOP("PosterOptions",
                       "\"Print on the edge for glue\" (turns \"Clue lines\" on)")},
    {"glue-on-poster-edge", &PrintOptions::NoGlueOnPosterEdge, false,
     QT_TRANSLATE_NOOP(
         "PosterOptions",
         "glue strips on the poster's outer edge (\"No edge for glue on the poster edge\" "
         "unchecked)")},
};

bool ReadWhole(const QString& text, int lowest, int highest, int& value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < lowest || v > highest)
        return false;
    value = v;
    return true;
}

bool ReadPages(const QString& text, double& pages)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v) || v < kMinPosterPages || v > kMaxPosterPages)
        return false;
    pages = v;
    return true;
}

// Pages, or a length with its unit: "2.5", "1m", "70 cm", "500mm", "40in".
bool ReadSize(const QString& text, SizeEntry& entry)
{
    static const QRegularExpression pattern(
        u"^\\s*([0-9]*\\.?[0-9]+(?:[eE][-+]?[0-9]+)?)\\s*(mm|cm|m|in)?\\s*$"_s,
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return false;
    const QString unit = m.captured(2).toLower();
    if (unit.isEmpty())
        return ReadPages(m.captured(1), entry.pages);
    bool ok = false;
    const double v = QLocale::c().toDouble(m.captured(1), &ok);
    const double perUnit = unit == u"mm" ? 1 : unit == u"cm" ? 10 : unit == u"m" ? 1000 : 25.4;
    if (!ok || !std::isfinite(v) || v <= 0 || v * perUnit > kLongestPosterMm)
        return false;
    entry.millimetres = v * perUnit;
    return true;
}

// COLUMN,ROW, both from 0; whether the grid has them is known only once the poster is sized.
bool ReadPage(const QString& text, std::pair<int, int>& page)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 2)
        return false;
    bool okColumn = false;
    bool okRow = false;
    const int column = parts[0].trimmed().toInt(&okColumn);
    const int row = parts[1].trimmed().toInt(&okRow);
    if (!okColumn || !okRow || column < 0 || row < 0)
        return false;
    page = {column, row};
    return true;
}

// LEFT,TOP,RIGHT,BOTTOM with right and bottom exclusive, as the edit view's selection.
bool ReadCrop(const QString& text, PictureEdit& edit)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return false;
    int v[4] = {};
    for (int i = 0; i < 4; ++i)
        if (!ReadWhole(parts[i], 0, std::numeric_limits<int>::max(), v[i]))
            return false;
    if (v[0] >= v[2] || v[1] >= v[3])
        return false;
    edit = PictureEdit::Cut(v[0], v[1], v[2], v[3]);
    return true;
}

void AddEdit(PosterRequest& r, PictureEdit::Kind kind)
{
    EditStep step;
    step.edit.kind = kind;
    r.edits.push_back(step);
}

// The value readers. Each error text has the value as given in place of %1, so that the user
// sees what the program saw, spaces and all.

Read Switch(bool PosterRequest::*field)
{
    return [field](PosterRequest& r, const QString&) {
        r.*field = true;
        return QString();
    };
}

Read Whole(int PosterRequest::*field, int lowest, int highest, const QString& error)
{
    return [=](PosterRequest& r, const QString& text) {
        return ReadWhole(text, lowest, highest, r.*field) ? QString() : error.arg(text);
    };
}

// A file or printer name: taken as it is, spaces included, but never empty.
Read Named(QString PosterRequest::*field, const QString& error)
{
    return [=](PosterRequest& r, const QString& text) {
        r.*field = text;
        return text.isEmpty() ? error : QString();
    };
}

// One of a few words in any case, each standing for the value that store puts in place.
template <typename T, typename Store>
Read OneOf(std::vector<std::pair<QString, T>> words, Store store, const QString& error)
{
    return [=](PosterRequest& r, const QString& text) {
        const QString word = text.trimmed().toLower();
        for (const auto& [name, value] : words)
            if (word == name) {
                store(r, value);
                return QString();
            }
        return error.arg(text);
    };
}

Read Size(SizeSide side, const QString& error)
{
    return [=](PosterRequest& r, const QString& text) {
        SizeEntry entry;
        entry.side = side;
        if (!ReadSize(text, entry))
            return error.arg(text);
        r.sizes.push_back(entry);
        return QString();
    };
}

Read PageLeftOut(const QString& error)
{
    return [=](PosterRequest& r, const QString& text) {
        std::pair<int, int> page;
        if (!ReadPage(text, page))
            return error.arg(text);
        r.pagesOff.push_back(page);
        r.choice = PageChoice::NotTheClickedOff;
        return QString();
    };
}

Read Crop(const QString& error)
{
    return [=](PosterRequest& r, const QString& text) {
        EditStep step;
        if (!ReadCrop(text, step.edit))
            return error.arg(text);
        r.edits.push_back(step);
        return QString();
    };
}

Read Edit(PictureEdit::Kind kind)
{
    return [kind](PosterRequest& r, const QString&) {
        AddEdit(r, kind);
        return QString();
    };
}

// Brightness and contrast are one change, as the dialog's OK makes it, at the place of the first
// of the two; a later value of either changes that step.
Read Adjustment(int32_t EditStep::*field, int lowest, int highest, const QString& error)
{
    return [=](PosterRequest& r, const QString& text) {
        auto step = std::ranges::find_if(r.edits, &EditStep::brightnessContrast);
        if (step == r.edits.end()) {
            EditStep adjust;
            adjust.brightnessContrast = true;
            r.edits.push_back(adjust);
            step = std::prev(r.edits.end());
        }
        return ReadWhole(text, lowest, highest, (*step).*field) ? QString() : error.arg(text);
    };
}

Read Orientation(QPageLayout::Orientation orientation)
{
    return [orientation](PosterRequest& r, const QString&) {
        r.orientation = orientation;
        return QString();
    };
}

Read SaveType()
{
    return [](PosterRequest& r, const QString& text) {
        const QString type = text.trimmed();
        r.saveCode = type.compare(u"pdf"_s, Qt::CaseInsensitive) == 0
                         ? kSaveAsPdf
                         : SaveCodeForTypeName(type.toUtf8().constData());
        return r.saveCode ? QString()
                          : QCoreApplication::translate("PosterOptions",
                                                        "--save-type wants one of %1, not \"%2\"")
                                .arg(SaveTypeNames(), text);
    };
}

// Where the poster goes and how large it is.
std::vector<PosterOption> OutputOptions()
{
    return {
        {{u"o"_s, u"output"_s},
         u"FILE"_s,
         QCoreApplication::translate("PosterOptions", "Print to the PDF file FILE."),
         Named(&PosterRequest::outputFile,
               QCoreApplication::translate("PosterOptions", "-o needs a file name"))},
        {{u"printer"_s},
         u"NAME"_s,
         QCoreApplication::translate(
             "PosterOptions",
             "Print to the printer queue NAME. Without this or -o: the default printer, or the PDF "
             "file the window would use."),
         Named(&PosterRequest::printerName,
               QCoreApplication::translate("PosterOptions", "--printer needs a printer name"))},
        {{u"width"_s},
         u"SIZE"_s,
         QCoreApplication::translate(
             "PosterOptions",
             "\"Width in pages:\" (0.1 to 100), or the finished poster's width with a unit: 1m, "
             "70cm, 500mm, 40in. With \"Aspect ratio\" the height follows; of --width and --height "
             "the one given last wins."),
         Size(SizeSide::Width,
              QCoreApplication::translate(
                  "PosterOptions",
                  "--width wants a number of pages from 0.1 to 100, or a length in "
                  "mm, cm, m or in, not \"%1\"")),
         kEachValue},
        {{u"height"_s},
         u"SIZE"_s,
         QCoreApplication::translate(
             "PosterOptions",
             "\"Height in pages:\" (0.1 to 100), or the finished poster's height with a unit. With "
             "\"Aspect ratio\" the width follows."),
         Size(SizeSide::Height,
              QCoreApplication::translate(
                  "PosterOptions", "--height wants a number of pages from 0.1 to 100, or a length "
                                   "in mm, cm, m or in, not \"%1\"")),
         kEachValue},
        {{u"wait"_s},
         {},
         QCoreApplication::translate(
             "PosterOptions",
             "Follow the printer's job until it is completed, aborted or cancelled and say how it "
             "ended, with CUPS's reason; status 1 when it did not print. Without it a job handed "
             "to "
             "CUPS is reported as queued."),
         Switch(&PosterRequest::wait)},
        {{u"cups-timeout"_s},
         u"SECONDS"_s,
         QCoreApplication::translate(
             "PosterOptions",
             "Seconds the print scheduler may take to answer before a look-up or a job is given up "
             "(30)."),
         Whole(&PosterRequest::cupsTimeout, 1, kLongestWaitSeconds,
               QCoreApplication::translate(
                   "PosterOptions", "--cups-timeout wants seconds from 1 to 86400, not \"%1\""))},
    };
}

// The check boxes of the "Print options" page, each as an on/off pair of which the last given
// wins; the help says which of the two the window starts with.
std::vector<PosterOption> ToggleOptions()
{
    std::vector<PosterOption> options;
    const PrintOptions defaults;
    for (const Toggle& t : kToggles) {
        const bool onByDefault = defaults.*t.flag == t.onMeansFlag;
        const QString name = QString::fromLatin1(t.name);
        const auto set = [&t](bool on) {
            return [&t, on](PosterRequest& r, const QString&) {
                r.boxes.*t.flag = on == t.onMeansFlag;
                return QString();
            };
        };
        options.push_back(
            {{name},
             {},
             (onByDefault ? QCoreApplication::translate("PosterOptions", "On: %1 (default).")
                          : QCoreApplication::translate("PosterOptions", "On: %1."))
                 .arg(QCoreApplication::translate("PosterOptions", t.what)),
             set(true)});
        options.push_back({{u"no-"_s + name},
                           {},
                           onByDefault
                               ? QCoreApplication::translate("PosterOptions", "Off.")
                               : QCoreApplication::translate("PosterOptions", "Off (default)."),
                           set(false)});
    }
    return options;
}

// The sheets: glue strips, the order and choice of pages, the paper.
std::vector<PosterOption> SheetOptions()
{
    return {
        {{u"glue-right"_s},
         u"PERCENT"_s,
         QCoreApplication::translate("PosterOptions",
                                     "\"Edge for glue, right in %:\", a whole number 0 to 10 (5)."),
         Whole(&PosterRequest::rightGluePercent, kMinGluePercent, kMaxGluePercent,
               QCoreApplication::translate(
                   "PosterOptions", "--glue-right wants a whole number from 0 to 10, not \"%1\""))},
        {{u"glue-bottom"_s},
         u"PERCENT"_s,
         QCoreApplication::translate(
             "PosterOptions", "\"Edge for glue at the bottom %:\", a whole number 0 to 10 (5)."),
         Whole(
             &PosterRequest::bottomGluePercent, kMinGluePercent, kMaxGluePercent,
             QCoreApplication::translate(
                 "PosterOptions", "--glue-bottom wants a whole number from 0 to 10, not \"%1\""))},
        {{u"order"_s},
         u"rows|columns"_s,
         QCoreApplication::translate("PosterOptions",
                                     "rows: \"Row per row from the top to the bottom\" (the "
                                     "default); columns: \"Column per "
                                     "column from left to the right\"."),
         OneOf<PrintOrder>(
             {{u"rows"_s, PrintOrder::RowPerRow}, {u"columns"_s, PrintOrder::ColumnPerColumn}},
             [](PosterRequest& r, PrintOrder order) { r.order = order; },
             QCoreApplication::translate("PosterOptions",
                                         "--order wants rows or columns, not \"%1\""))},
        {{u"off"_s},
         u"COLUMN,ROW"_s,
         QCoreApplication::translate("PosterOptions",
                                     "Leave out the page in COLUMN and ROW, both counted from 0 at "
                                     "the top left; repeatable. "
                                     "Implies \"Not the pages which are clicked off\"."),
         PageLeftOut(QCoreApplication::translate(
             "PosterOptions", "--off wants COLUMN,ROW, two whole numbers from 0, not \"%1\"")),
         kEachValue},
        {{u"paper"_s},
         u"SIZE"_s,
         QCoreApplication::translate(
             "PosterOptions",
             "Paper size by name: A4, A3, Letter, Legal, ... (the printer's own; A4 for a PDF "
             "file)."),
         [](PosterRequest& r, const QString& text) {
             r.paper = PaperByName(text);
             return r.paper
                        ? QString()
                        : QCoreApplication::translate("PosterOptions", "unknown paper size \"%1\"")
                              .arg(text);
         }},
        {{u"resolution"_s},
         u"DPI"_s,
         QCoreApplication::translate(
             "PosterOptions",
             "The PDF file's device resolution, %1 to %2 dots per inch (%3): the help lines are 2 "
             "device pixels wide in dashes of 30. The picture's pixels print as they are at any "
             "resolution.")
             .arg(kPdfFileDpiMin)
             .arg(kPdfFileDpiMax)
             .arg(kPdfFileDpi),
         Whole(
             &PosterRequest::resolution, kPdfFileDpiMin, kPdfFileDpiMax,
             QCoreApplication::translate(
                 "PosterOptions", "--resolution wants dots per inch from %1 to %2, not \"%3\"")
                 .arg(QString::number(kPdfFileDpiMin), QString::number(kPdfFileDpiMax), u"%1"_s))},
        {{u"landscape"_s},
         {},
         QCoreApplication::translate("PosterOptions", "Landscape paper."),
         Orientation(QPageLayout::Landscape)},
        {{u"portrait"_s},
         {},
         QCoreApplication::translate("PosterOptions",
                                     "Portrait paper (the default for a PDF file)."),
         Orientation(QPageLayout::Portrait)},
    };
}

// What is done in place of printing the poster.
std::vector<PosterOption> RunOptions()
{
    return {
        {{u"info"_s},
         {},
         QCoreApplication::translate(
             "PosterOptions",
             "Show the picture's width, height and colours (after the edits), its orientation tag "
             "and colour profile when it has them, and print nothing."),
         // --info reads the rest as a print would, for the finished size it reports.
         [](PosterRequest& r, const QString&) {
             r.action = PosterRequest::Action::Info;
             return QString();
         }},
        {{u"dry-run"_s},
         {},
         QCoreApplication::translate(
             "PosterOptions",
             "Show the printer, the poster size and the pages in print order, and print nothing."),
         Switch(&PosterRequest::dryRun)},
        {{u"test-page"_s},
         {},
         QCoreApplication::translate(
             "PosterOptions",
             "Print the scale check instead of a poster: a 10 cm and a 4 inch ruler and the "
             "printable area's outline, on the chosen printer and paper."),
         Switch(&PosterRequest::testPage)},
    };
}

// The "Modify picture" page's edits, made in the order given, and the edited picture saved.
std::vector<PosterOption> EditOptions()
{
    return {
        {{u"crop"_s},
         u"LEFT,TOP,RIGHT,BOTTOM"_s,
         QCoreApplication::translate(
             "PosterOptions",
             "\"Cut to selection\": keep the pixels from LEFT to RIGHT-1 and TOP to BOTTOM-1, "
             "counted from 0 at the top left. The edits are made in the order given, before the "
             "poster is sized."),
         Crop(QCoreApplication::translate(
             "PosterOptions",
             "--crop wants LEFT,TOP,RIGHT,BOTTOM, whole numbers from 0 with LEFT < RIGHT and "
             "TOP < BOTTOM, not \"%1\"")),
         kEachValue},
        {{u"rotate"_s},
         u"left|right"_s,
         QCoreApplication::translate(
             "PosterOptions",
             "Turn the picture a quarter to the left (counter-clockwise) or to the right."),
         OneOf<PictureEdit::Kind>(
             {{u"left"_s, PictureEdit::Kind::TurnLeft}, {u"right"_s, PictureEdit::Kind::TurnRight}},
             AddEdit,
             QCoreApplication::translate("PosterOptions",
                                         "--rotate wants left or right, not \"%1\"")),
         kEachValue},
        {{u"mirror"_s},
         {},
         QCoreApplication::translate("PosterOptions", "Exchange the picture's left and right."),
         Edit(PictureEdit::Kind::Mirror)},
        {{u"flip"_s},
         {},
         QCoreApplication::translate("PosterOptions", "Exchange the picture's top and bottom."),
         Edit(PictureEdit::Kind::Flip)},
        {{u"brightness"_s},
         u"N"_s,
         QCoreApplication::translate(
             "PosterOptions",
             "\"Brightness\", -127 to 127 (0). With --contrast it is one change, brightness first, "
             "where the first of the two is given."),
         Adjustment(&EditStep::brightness, -127, 127,
                    QCoreApplication::translate(
                        "PosterOptions",
                        "--brightness wants a whole number from -127 to 127, not \"%1\"")),
         kEachValue},
        {{u"contrast"_s},
         u"N"_s,
         QCoreApplication::translate("PosterOptions", "\"Contrast\", 0 to 200 (100)."),
         Adjustment(
             &EditStep::contrast, 0, 200,
             QCoreApplication::translate(
                 "PosterOptions", "--contrast wants a whole number from 0 to 200, not \"%1\"")),
         kEachValue},
        {{u"save"_s},
         u"FILE"_s,
         QCoreApplication::translate(
             "PosterOptions",
             "Write the edited picture to FILE; a PDF or SVG drawing at 300 dpi of its page. "
             "Without -o or --printer, nothing is printed."),
         Named(&PosterRequest::saveFile,
               QCoreApplication::translate("PosterOptions", "--save needs a file name"))},
        {{u"save-type"_s},
         u"TYPE"_s,
         QCoreApplication::translate(
             "PosterOptions",
             "The type to save in (bmp, jpg, png, tif, pcx, tga; pdf for a drawing, kept as "
             "vectors); else FILE's extension decides."),
         SaveType()},
    };
}

// A scan in place of a picture file; what is not given is left to the device.
std::vector<PosterOption> ScanOptions()
{
    return {
        {{u"scan"_s},
         {},
         QCoreApplication::translate(
             "PosterOptions",
             "Scan the picture instead of reading a file: from DEVICE (as \"scanimage -L\" names "
             "it, e.g. test:0), else from the first scanner found."),
         Switch(&PosterRequest::scan)},
        {{u"scan-mode"_s},
         u"MODE"_s,
         QCoreApplication::translate(
             "PosterOptions", "The scan mode as the scanner names it: Color, Gray, Lineart, ..."),
         [](PosterRequest& r, const QString& text) {
             r.scanMode = text.trimmed();
             return QString();
         }},
        {{u"scan-depth"_s},
         u"BITS"_s,
         QCoreApplication::translate("PosterOptions", "Bits per sample of the scan: 1, 8, 16."),
         Whole(
             &PosterRequest::scanDepth, 1, 16,
             QCoreApplication::translate(
                 "PosterOptions", "--scan-depth wants bits per sample from 1 to 16, not \"%1\""))},
        {{u"scan-resolution"_s},
         u"DPI"_s,
         QCoreApplication::translate("PosterOptions", "The scan's resolution in dpi."),
         [](PosterRequest& r, const QString& text) {
             bool ok = false;
             r.scanResolution = QLocale::c().toDouble(text.trimmed(), &ok);
             return ok && std::isfinite(r.scanResolution) && r.scanResolution > 0
                        ? QString()
                        : QCoreApplication::translate(
                              "PosterOptions",
                              "--scan-resolution wants dots per inch above 0, not \"%1\"")
                              .arg(text);
         }},
        {{u"scan-timeout"_s},
         u"SECONDS"_s,
         QCoreApplication::translate(
             "PosterOptions",
             "Seconds the scanner may say nothing before the scan is given up (120)."),
         Whole(&PosterRequest::scanTimeout, 1, kLongestWaitSeconds,
               QCoreApplication::translate(
                   "PosterOptions", "--scan-timeout wants seconds from 1 to 86400, not \"%1\""))},
    };
}

// What is printed besides the poster, and which picture of a file.
std::vector<PosterOption> ExtraOptions()
{
    return {
        {{u"labels"_s},
         {},
         QCoreApplication::translate(
             "PosterOptions",
             "Print each page's place on it (A1 top left, B1 to its right, A2 below), \"page N of "
             "M\" and the finished size, in a glue strip or where no picture is."),
         Switch(&PosterRequest::pageLabels)},
        {{u"assembly-sheet"_s},
         {},
         QCoreApplication::translate(
             "PosterOptions",
             "Print an assembly sheet before the poster's pages: the grid of pages over the "
             "picture, the pages left out and how the sheets go together."),
         Switch(&PosterRequest::assemblySheet)},
        {{u"as-stored"_s},
         {},
         QCoreApplication::translate("PosterOptions", "Take the picture as its pixels are stored: "
                                                      "a photo's orientation tag (which otherwise "
                                                      "turns it upright on load) is not applied."),
         Switch(&PosterRequest::asStored)},
        {{u"page"_s},
         u"N"_s,
         QCoreApplication::translate(
             "PosterOptions", "Of a PDF file, the page to print, counted from 1 (default 1)."),
         Whole(&PosterRequest::page, 1, 1000000,
               QCoreApplication::translate("PosterOptions",
                                           "--page wants a page number from 1, not \"%1\""))},
    };
}

// How a picture with too few pixels for its poster is printed.
std::vector<PosterOption> LookOptions()
{
    return {
        {{u"smooth"_s},
         {},
         QCoreApplication::translate(
             "PosterOptions",
             "\"Smooth enlargement\": a picture the poster enlarges is resampled smooth, between "
             "150 "
             "and 300 ppi on paper, instead of printing in blocks of its pixels. The sheets join "
             "without a seam."),
         Switch(&PosterRequest::smooth)},
        {{u"dots"_s},
         u"SIZE"_s,
         QCoreApplication::translate(
             "PosterOptions",
             "\"Dot screen\": print the picture as a grid of dots SIZE apart (2mm to 10cm, e.g. "
             "10mm), each as large as the picture under it is dark. The dots are vectors, sharp at "
             "any size; brightness and contrast tune them."),
         [](PosterRequest& r, const QString& text) {
             SizeEntry pitch;
             if (!ReadSize(text, pitch) || pitch.millimetres < kDotPitchMinMm ||
                 pitch.millimetres > kDotPitchMaxMm)
                 return QCoreApplication::translate(
                            "PosterOptions",
                            "--dots wants the distance of the dots as a length from 2mm to 10cm, "
                            "e.g. 10mm, not \"%1\"")
                     .arg(text);
             r.dotsMm = pitch.millimetres;
             return QString();
         }},
        {{u"dots-colour"_s, u"dots-color"_s},
         {},
         QCoreApplication::translate(
             "PosterOptions",
             "The dots take the colour of the picture under them instead of black."),
         Switch(&PosterRequest::dotsColour)},
    };
}

} // namespace

std::vector<PosterOption> PosterOptions()
{
    std::vector<PosterOption> options;
    for (auto group : {OutputOptions, ToggleOptions, SheetOptions, RunOptions, EditOptions,
                       ScanOptions, ExtraOptions, LookOptions})
        std::ranges::move(group(), std::back_inserter(options));
    return options;
}

QString SaveTypeNames()
{
    QStringList names;
    const QStringList parts = QString::fromLatin1(GetDIBSaveFilter()).split(u'|');
    for (qsizetype i = 1; i < parts.size(); i += 2)
        for (const QString& pattern : parts[i].split(u';')) {
            const QString extension = pattern.trimmed().remove(u"*."_s);
            if (!extension.isEmpty() && !names.contains(extension, Qt::CaseInsensitive))
                names << extension.toLower();
        }
    names << QCoreApplication::translate("PosterOptions", "pdf (drawings)");
    return names.join(u", "_s);
}
