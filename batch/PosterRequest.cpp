// SPDX-License-Identifier: GPL-3.0-or-later
#include "PosterRequest.h"

#include "CurrentPrinter.h"
#include "FileName.h"
#include "GrafikRW.h"
#include "OptionRules.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <vector>

namespace {

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
    {"cut-lines", &PrintOptions::CutHelpLines, true, "\"Cut help lines\""},
    {"glue-lines", &PrintOptions::GlueLines, true, "\"Clue lines\""},
    {"lines-on-poster-edge", &PrintOptions::NoLinesOnPosterEdge, false,
     "help lines on the poster's outer edge (\"No lines on the poster edge\" unchecked)"},
    {"center", &PrintOptions::CenterPicture, true, "\"Center\""},
    {"full-pages", &PrintOptions::UseFullPages, true, "\"Use full pages\""},
    {"aspect-ratio", &PrintOptions::KeepAspectRatio, true, "\"Aspect ratio\""},
    {"glue-edge", &PrintOptions::GlueEdge, true, "\"Edge for glue\""},
    {"print-on-glue-edge", &PrintOptions::PrintOnGlueEdge, true,
     "\"Print on the edge for glue\" (turns \"Clue lines\" on)"},
    {"glue-on-poster-edge", &PrintOptions::NoGlueOnPosterEdge, false,
     "glue strips on the poster's outer edge (\"No edge for glue on the poster edge\" "
     "unchecked)"},
};

// A length beyond any hundred pages of any paper: a kilometre.
constexpr double kLongestPosterMm = 1e6;

// The number of single-letter edits between two words, two neighbours swapped counting as one.
qsizetype EditDistance(const QString& a, const QString& b)
{
    const size_t columns = size_t(b.size()) + 1;
    std::vector<qsizetype> d((size_t(a.size()) + 1) * columns);
    const auto at = [&](qsizetype i, qsizetype j) -> qsizetype& {
        return d[size_t(i) * columns + size_t(j)];
    };
    for (qsizetype i = 0; i <= a.size(); ++i)
        at(i, 0) = i;
    for (qsizetype j = 0; j <= b.size(); ++j)
        at(0, j) = j;
    for (qsizetype i = 1; i <= a.size(); ++i)
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const qsizetype change = a[i - 1] == b[j - 1] ? 0 : 1;
            at(i, j) = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                at(i, j) = std::min(at(i, j), at(i - 2, j - 2) + 1);
        }
    return at(a.size(), b.size());
}

// The option a mistyped one most likely meant: at most a third of its letters wrong.
QString NearestOption(const QString& typed, const QStringList& names)
{
    QString best;
    qsizetype bestDistance = std::max<qsizetype>(1, typed.size() / 3) + 1;
    for (const QString& name : names)
        if (name.size() > 1)
            if (const qsizetype d = EditDistance(typed, name); d < bestDistance) {
                best = name;
                bestDistance = d;
            }
    return best;
}

// A word left over after an option's value, as "--width 70 cm" leaves "cm", named as the
// stray it is, with the form meant when it is a unit after a size. Empty when no such word
// is there, or when it names a file: that is a second picture.
QString StrayWordText(const QStringList& arguments, const QStringList& valueOptions)
{
    static const QStringList units{QStringLiteral("mm"), QStringLiteral("cm"), QStringLiteral("m"),
                                   QStringLiteral("in")};
    for (qsizetype i = 2; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        if (word.startsWith(u'-') || QFile::exists(word))
            continue;
        QString option = arguments[i - 1];
        QString value;
        if (const qsizetype equals = option.indexOf(u'=');
            option.startsWith(QLatin1String("--")) && equals > 0) {
            value = option.mid(equals + 1);
            option.truncate(equals);
        } else if (i >= 3) {
            value = option;
            option = arguments[i - 2];
        }
        if (!option.startsWith(QLatin1String("--")) || !valueOptions.contains(option.mid(2)))
            continue;
        QString text = QStringLiteral("'%1' is not a picture file").arg(word);
        if ((option == QLatin1String("--width") || option == QLatin1String("--height")) &&
            units.contains(word, Qt::CaseInsensitive))
            text += QStringLiteral(": write the size as %1%2").arg(value.trimmed(), word);
        return text;
    }
    return {};
}

QString NoName(const char* name)
{
    return QStringLiteral("no-") + QString::fromLatin1(name);
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
        QStringLiteral("^\\s*([0-9]*\\.?[0-9]+(?:[eE][-+]?[0-9]+)?)\\s*(mm|cm|m|in)?\\s*$"),
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

bool ReadPercent(const QString& text, int& percent)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < kMinGluePercent || v > kMaxGluePercent)
        return false;
    percent = v;
    return true;
}

bool ReadPage(const QString& text, std::pair<int, int>& page)
{
    const QStringList parts = text.split(QLatin1Char(','));
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

bool ReadWhole(const QString& text, int32_t lowest, int32_t highest, int32_t& value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < lowest || v > highest)
        return false;
    value = v;
    return true;
}

// LEFT,TOP,RIGHT,BOTTOM with right and bottom exclusive, as the edit view's selection.
bool ReadCrop(const QString& text, EditStep& step)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    int32_t v[4] = {};
    for (int i = 0; i < 4; ++i)
        if (!ReadWhole(parts[i], 0, std::numeric_limits<int32_t>::max(), v[i]))
            return false;
    if (v[0] >= v[2] || v[1] >= v[3])
        return false;
    step.edit = PictureEdit::Cut(v[0], v[1], v[2], v[3]);
    return true;
}

// The extensions the save types take, for the error that asks for one.
QString SaveTypeNames()
{
    QStringList names;
    const QStringList parts = QString::fromLatin1(GetDIBSaveFilter()).split(QLatin1Char('|'));
    for (int i = 1; i < parts.size(); i += 2)
        for (const QString& pattern : parts[i].split(QLatin1Char(';'))) {
            const QString extension = pattern.trimmed().remove(QStringLiteral("*."));
            if (!extension.isEmpty() && !names.contains(extension, Qt::CaseInsensitive))
                names << extension.toLower();
        }
    names << QStringLiteral("pdf (drawings)");
    return names.join(QStringLiteral(", "));
}

// "--scan=DEVICE" names the device in the option itself; the parser knows --scan only as a
// switch, so the device is taken out here. Without "=", a device follows as the one positional
// argument.
QStringList TakeScanDevice(const QStringList& arguments, QString& device, bool& given)
{
    QStringList rest;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (i > 0 && a == QLatin1String("--"))
            return rest + arguments.mid(i);
        if (i > 0 && a.startsWith(QLatin1String("--scan="))) {
            device = a.mid(7);
            given = true;
            rest << QStringLiteral("--scan");
        } else {
            rest << a;
        }
    }
    return rest;
}

} // namespace

std::optional<QPageSize::PageSizeId> PaperByName(const QString& name)
{
    const QString wanted = name.trimmed();
    if (wanted.isEmpty())
        return std::nullopt;
    for (int i = 0; i <= int(QPageSize::LastPageSize); ++i) {
        const auto id = QPageSize::PageSizeId(i);
        if (id == QPageSize::Custom)
            continue;
        if (QPageSize::key(id).compare(wanted, Qt::CaseInsensitive) == 0 ||
            QPageSize::name(id).compare(wanted, Qt::CaseInsensitive) == 0)
            return id;
    }
    return std::nullopt;
}

ParsedRequest ParseRequest(const QStringList& arguments)
{
    ParsedRequest parsed;
    PosterRequest& r = parsed.request;

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints one picture as a poster over a grid of printer pages, as the Velmora window "
        "does.\nOn/off options take the last form given; sizes are applied in the order given."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("picture"),
        QStringLiteral("The picture file to print (BMP, JPEG, PNG, ...); with --scan, the "
                       "scanner device, if one is named."),
        QStringLiteral("PICTURE | --scan [DEVICE]"));

    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Print to the PDF file FILE."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption printer(
        QStringLiteral("printer"),
        QStringLiteral("Print to the printer queue NAME. Without this or -o: the default printer, "
                       "or the PDF file the window would use."),
        QStringLiteral("NAME"));
    const QCommandLineOption wait(
        QStringLiteral("wait"),
        QStringLiteral("Follow the printer's job until it is completed, aborted or cancelled and "
                       "say how it ended, with CUPS's reason; status 1 when it did not print. "
                       "Without it a job handed to CUPS is reported as queued."));
    const QCommandLineOption cupsTimeout(
        QStringLiteral("cups-timeout"),
        QStringLiteral("Seconds the print scheduler may take to answer before a look-up or a "
                       "job is given up (30)."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption width(
        QStringLiteral("width"),
        QStringLiteral("\"Width in pages:\" (0.1 to 100), or the finished poster's width with "
                       "a unit: 1m, 70cm, 500mm, 40in. With \"Aspect ratio\" the height "
                       "follows; of --width and --height the one given last wins."),
        QStringLiteral("SIZE"));
    const QCommandLineOption height(
        QStringLiteral("height"),
        QStringLiteral("\"Height in pages:\" (0.1 to 100), or the finished poster's height "
                       "with a unit. With \"Aspect ratio\" the width follows."),
        QStringLiteral("SIZE"));
    const QCommandLineOption glueRight(
        QStringLiteral("glue-right"),
        QStringLiteral("\"Edge for glue, right in %:\", a whole number 0 to 10 (5)."),
        QStringLiteral("PERCENT"));
    const QCommandLineOption glueBottom(
        QStringLiteral("glue-bottom"),
        QStringLiteral("\"Edge for glue at the bottom %:\", a whole number 0 to 10 (5)."),
        QStringLiteral("PERCENT"));
    const QCommandLineOption order(
        QStringLiteral("order"),
        QStringLiteral("rows: \"Row per row from the top to the bottom\" (the default); columns: "
                       "\"Column per column from left to the right\"."),
        QStringLiteral("rows|columns"));
    const QCommandLineOption off(
        QStringLiteral("off"),
        QStringLiteral("Leave out the page in COLUMN and ROW, both counted from 0 at the top "
                       "left; repeatable. Implies \"Not the pages which are clicked off\"."),
        QStringLiteral("COLUMN,ROW"));
    const QCommandLineOption paper(
        QStringLiteral("paper"),
        QStringLiteral("Paper size by name: A4, A3, Letter, Legal, ... (the printer's own; A4 "
                       "for a PDF file)."),
        QStringLiteral("SIZE"));
    const QCommandLineOption resolution(
        QStringLiteral("resolution"),
        QStringLiteral("The PDF file's device resolution, %1 to %2 dots per inch (%3): the "
                       "help lines are 2 device pixels wide in dashes of 30. The picture's "
                       "pixels print as they are at any resolution.")
            .arg(kPdfFileDpiMin)
            .arg(kPdfFileDpiMax)
            .arg(kPdfFileDpi),
        QStringLiteral("DPI"));
    const QCommandLineOption landscape(QStringLiteral("landscape"),
                                       QStringLiteral("Landscape paper."));
    const QCommandLineOption portrait(
        QStringLiteral("portrait"), QStringLiteral("Portrait paper (the default for a PDF file)."));
    const QCommandLineOption info(
        QStringLiteral("info"),
        QStringLiteral("Show the picture's width, height and colours (after the edits), its "
                       "orientation tag and colour profile when it has them, and print "
                       "nothing."));
    const QCommandLineOption testPage(
        QStringLiteral("test-page"),
        QStringLiteral("Print the scale check instead of a poster: a 10 cm and a 4 inch ruler "
                       "and the printable area's outline, on the chosen printer and paper."));
    const QCommandLineOption labels(
        QStringLiteral("labels"),
        QStringLiteral("Print each page's place on it (A1 top left, B1 to its right, A2 below), "
                       "\"page N of M\" and the finished size, in a glue strip or where no "
                       "picture is."));
    const QCommandLineOption assemblySheet(
        QStringLiteral("assembly-sheet"),
        QStringLiteral("Print an assembly sheet before the poster's pages: the grid of pages "
                       "over the picture, the pages left out and how the sheets go together."));
    const QCommandLineOption asStored(
        QStringLiteral("as-stored"),
        QStringLiteral("Take the picture as its pixels are stored: a photo's orientation tag "
                       "(which otherwise turns it upright on load) is not applied."));
    const QCommandLineOption page(
        QStringLiteral("page"),
        QStringLiteral("Of a PDF file, the page to print, counted from 1 (default 1)."),
        QStringLiteral("N"));
    const QCommandLineOption dryRun(
        QStringLiteral("dry-run"),
        QStringLiteral("Show the printer, the poster size and the pages in print order, and "
                       "print nothing."));
    const QCommandLineOption scan(
        QStringLiteral("scan"),
        QStringLiteral("Scan the picture instead of reading a file: from DEVICE (as "
                       "\"scanimage -L\" names it, e.g. test:0), else from the first scanner "
                       "found."));
    const QCommandLineOption scanMode(
        QStringLiteral("scan-mode"),
        QStringLiteral("The scan mode as the scanner names it: Color, Gray, Lineart, ..."),
        QStringLiteral("MODE"));
    const QCommandLineOption scanDepth(QStringLiteral("scan-depth"),
                                       QStringLiteral("Bits per sample of the scan: 1, 8, 16."),
                                       QStringLiteral("BITS"));
    const QCommandLineOption scanTimeout(
        QStringLiteral("scan-timeout"),
        QStringLiteral("Seconds the scanner may say nothing before the scan is given up (120)."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption scanResolution(QStringLiteral("scan-resolution"),
                                            QStringLiteral("The scan's resolution in dpi."),
                                            QStringLiteral("DPI"));
    const QCommandLineOption crop(
        QStringLiteral("crop"),
        QStringLiteral("\"Cut to selection\": keep the pixels from LEFT to RIGHT-1 and TOP to "
                       "BOTTOM-1, counted from 0 at the top left. The edits are made in the "
                       "order given, before the poster is sized."),
        QStringLiteral("LEFT,TOP,RIGHT,BOTTOM"));
    const QCommandLineOption rotate(QStringLiteral("rotate"),
                                    QStringLiteral("Turn the picture a quarter to the left "
                                                   "(counter-clockwise) or to the right."),
                                    QStringLiteral("left|right"));
    const QCommandLineOption mirror(QStringLiteral("mirror"),
                                    QStringLiteral("Exchange the picture's left and right."));
    const QCommandLineOption flip(QStringLiteral("flip"),
                                  QStringLiteral("Exchange the picture's top and bottom."));
    const QCommandLineOption brightness(
        QStringLiteral("brightness"),
        QStringLiteral("\"Brightness\", -127 to 127 (0). With --contrast it is one change, "
                       "brightness first, where the first of the two is given."),
        QStringLiteral("N"));
    const QCommandLineOption contrast(QStringLiteral("contrast"),
                                      QStringLiteral("\"Contrast\", 0 to 200 (100)."),
                                      QStringLiteral("N"));
    const QCommandLineOption save(
        QStringLiteral("save"),
        QStringLiteral("Write the edited picture to FILE; a PDF or SVG drawing at 300 dpi of its "
                       "page. Without -o or --printer, nothing is printed."),
        QStringLiteral("FILE"));
    const QCommandLineOption saveType(
        QStringLiteral("save-type"),
        QStringLiteral("The type to save in (bmp, jpg, png, tif, pcx, tga; pdf for a drawing, "
                       "kept as vectors); else FILE's extension decides."),
        QStringLiteral("TYPE"));
    // Every option's names, for the nearest one to a mistyped name, and those that take a value.
    QStringList known{QStringLiteral("help"), QStringLiteral("version")};
    QStringList valueOptions;
    const auto add = [&](const QCommandLineOption& o) {
        parser.addOption(o);
        known += o.names();
        if (!o.valueName().isEmpty())
            valueOptions += o.names();
    };
    for (const QCommandLineOption* o : {&output, &printer, &width, &height})
        add(*o);
    add(wait);
    add(cupsTimeout);
    const PrintOptions defaults;
    for (const Toggle& t : kToggles) {
        const bool onByDefault = defaults.*t.flag == t.onMeansFlag;
        const QString what = QString::fromLatin1(t.what);
        add(QCommandLineOption(QString::fromLatin1(t.name),
                               QStringLiteral("On: ") + what +
                                   (onByDefault ? QStringLiteral(" (default).") : ".")));
        add(QCommandLineOption(NoName(t.name), QStringLiteral("Off") +
                                                   (onByDefault ? QStringLiteral(".")
                                                                : QStringLiteral(" (default)."))));
    }
    for (const QCommandLineOption* o :
         {&glueRight, &glueBottom,    &order,    &off,        &paper,          &resolution,
          &landscape, &portrait,      &info,     &dryRun,     &testPage,       &crop,
          &rotate,    &mirror,        &flip,     &brightness, &contrast,       &save,
          &saveType,  &scan,          &scanMode, &scanDepth,  &scanResolution, &scanTimeout,
          &labels,    &assemblySheet, &asStored, &page})
        add(*o);
    parsed.help = parser.helpText();
    // The program by its name, wherever it was started from: the manual is made from this text.
    const QString usage = QStringLiteral("Usage: ");
    if (parsed.help.startsWith(usage)) {
        const qsizetype end = parsed.help.indexOf(u' ', usage.size());
        if (end > 0)
            parsed.help.replace(0, end, usage + QStringLiteral("velmora-poster"));
    }

    bool deviceInOption = false;
    if (!parser.parse(TakeScanDevice(arguments, r.scanDevice, deviceInOption))) {
        parsed.error = parser.errorText();
        const QStringList unknown = parser.unknownOptionNames();
        if (unknown.size() == 1)
            if (const QString meant = NearestOption(unknown.front(), known); !meant.isEmpty()) {
                if (parsed.error.endsWith(u'.'))
                    parsed.error.chop(1);
                parsed.error += QStringLiteral(": did you mean --%1?").arg(meant);
            }
        return parsed;
    }
    if (parser.isSet(help)) {
        r.action = PosterRequest::Action::Help;
        return parsed;
    }
    if (parser.isSet(version)) {
        r.action = PosterRequest::Action::Version;
        return parsed;
    }

    const QStringList positional = parser.positionalArguments();
    r.scan = parser.isSet(scan);
    if (r.scan) {
        if (positional.size() > (deviceInOption ? 0 : 1)) {
            parsed.error = QStringLiteral("--scan takes one device and no picture file");
            return parsed;
        }
        if (!positional.isEmpty())
            r.scanDevice = positional.front();
        r.scanMode = parser.value(scanMode).trimmed();
        if (parser.isSet(scanDepth) && !ReadWhole(parser.value(scanDepth), 1, 16, r.scanDepth)) {
            parsed.error = QStringLiteral("--scan-depth wants bits per sample from 1 to 16, not "
                                          "\"%1\"")
                               .arg(parser.value(scanDepth));
            return parsed;
        }
        if (parser.isSet(scanTimeout) &&
            !ReadWhole(parser.value(scanTimeout), 1, 24 * 60 * 60, r.scanTimeout)) {
            parsed.error = QStringLiteral("--scan-timeout wants seconds from 1 to 86400, not "
                                          "\"%1\"")
                               .arg(parser.value(scanTimeout));
            return parsed;
        }
        if (parser.isSet(scanResolution)) {
            bool ok = false;
            const QString text = parser.value(scanResolution);
            r.scanResolution = QLocale::c().toDouble(text.trimmed(), &ok);
            if (!ok || !std::isfinite(r.scanResolution) || r.scanResolution <= 0) {
                parsed.error =
                    QStringLiteral("--scan-resolution wants dots per inch above 0, not \"%1\"")
                        .arg(text);
                return parsed;
            }
        }
    } else {
        for (const QCommandLineOption* o : {&scanMode, &scanDepth, &scanResolution, &scanTimeout})
            if (parser.isSet(*o)) {
                parsed.error = QStringLiteral("--%1 goes with --scan").arg(o->names().front());
                return parsed;
            }
        r.testPage = parser.isSet(testPage);
        if (r.testPage && !positional.isEmpty()) {
            parsed.error = QStringLiteral("--test-page prints no picture");
            return parsed;
        }
        if (positional.isEmpty() && !r.testPage) {
            parsed.error = QStringLiteral("no picture given (see --help)");
            return parsed;
        }
        if (positional.size() > 1) {
            parsed.error = StrayWordText(arguments, valueOptions);
            if (parsed.error.isEmpty())
                parsed.error =
                    QStringLiteral("one picture at a time, not %1").arg(positional.size());
            return parsed;
        }
        if (!r.testPage)
            r.picture = positional.front();
    }
    if (r.scan && parser.isSet(testPage)) {
        parsed.error = QStringLiteral("--test-page prints no picture");
        return parsed;
    }
    if (r.testPage && parser.isSet(info)) {
        parsed.error = QStringLiteral("--test-page and --info exclude each other");
        return parsed;
    }

    // The edits, in the order given. Brightness and contrast are one change, as the dialog's
    // OK makes it, at the place of the first of the two.
    std::map<QString, int> editValues; // values read so far, per option name
    int brightnessContrast = -1;       // its index in r.edits
    for (const QString& name : parser.optionNames()) {
        const bool isBrightness = name == brightness.names().front();
        const bool isContrast = name == contrast.names().front();
        const bool takesValue = isBrightness || isContrast || name == crop.names().front() ||
                                name == rotate.names().front();
        const QString text = takesValue ? parser.values(name).value(editValues[name]++) : QString();
        EditStep step;
        if (name == crop.names().front()) {
            if (!ReadCrop(text, step)) {
                parsed.error = QStringLiteral("--crop wants LEFT,TOP,RIGHT,BOTTOM, whole numbers "
                                              "from 0 with LEFT < RIGHT and TOP < BOTTOM, not "
                                              "\"%1\"")
                                   .arg(text);
                return parsed;
            }
        } else if (name == rotate.names().front()) {
            const QString way = text.trimmed().toLower();
            if (way == QLatin1String("left"))
                step.edit.kind = PictureEdit::Kind::TurnLeft;
            else if (way == QLatin1String("right"))
                step.edit.kind = PictureEdit::Kind::TurnRight;
            else {
                parsed.error = QStringLiteral("--rotate wants left or right, not \"%1\"").arg(text);
                return parsed;
            }
        } else if (name == mirror.names().front()) {
            step.edit.kind = PictureEdit::Kind::Mirror;
        } else if (name == flip.names().front()) {
            step.edit.kind = PictureEdit::Kind::Flip;
        } else if (isBrightness || isContrast) {
            if (brightnessContrast < 0) {
                brightnessContrast = int(r.edits.size());
                EditStep adjust;
                adjust.brightnessContrast = true;
                r.edits.push_back(adjust);
            }
            EditStep& adjust = r.edits[size_t(brightnessContrast)];
            if (isBrightness && !ReadWhole(text, -127, 127, adjust.brightness)) {
                parsed.error =
                    QStringLiteral("--brightness wants a whole number from -127 to 127, not "
                                   "\"%1\"")
                        .arg(text);
                return parsed;
            }
            if (isContrast && !ReadWhole(text, 0, 200, adjust.contrast)) {
                parsed.error =
                    QStringLiteral("--contrast wants a whole number from 0 to 200, not \"%1\"")
                        .arg(text);
                return parsed;
            }
            continue;
        } else {
            continue;
        }
        r.edits.push_back(step);
    }

    if (parser.isSet(saveType) && !parser.isSet(save)) {
        parsed.error = QStringLiteral("--save-type goes with --save");
        return parsed;
    }
    if (parser.isSet(save)) {
        r.saveFile = parser.value(save);
        if (r.saveFile.isEmpty()) {
            parsed.error = QStringLiteral("--save needs a file name");
            return parsed;
        }
        if (parser.isSet(saveType)) {
            const QString type = parser.value(saveType).trimmed();
            r.saveCode = type.compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0
                             ? kSaveAsPdf
                             : SaveCodeForTypeName(type.toUtf8().constData());
            if (!r.saveCode) {
                parsed.error = QStringLiteral("--save-type wants one of %1, not \"%2\"")
                                   .arg(SaveTypeNames(), parser.value(saveType));
                return parsed;
            }
        } else {
            r.saveCode = r.saveFile.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)
                             ? kSaveAsPdf
                             : SaveCodeForFileName(FileNameBytes(r.saveFile).constData());
            if (!r.saveCode) {
                parsed.error = QStringLiteral("--save: the type of \"%1\" is not told by its "
                                              "name; give --save-type (%2)")
                                   .arg(FileNameText(r.saveFile), SaveTypeNames());
                return parsed;
            }
        }
        r.print = parser.isSet(output) || parser.isSet(printer);
    }

    r.dryRun = parser.isSet(dryRun);
    r.pageLabels = parser.isSet(labels);
    r.assemblySheet = parser.isSet(assemblySheet);
    r.asStored = parser.isSet(asStored);
    if (parser.isSet(page) && !ReadWhole(parser.value(page), 1, 1000000, r.page)) {
        parsed.error =
            QStringLiteral("--page wants a page number from 1, not \"%1\"").arg(parser.value(page));
        return parsed;
    }
    // --info reads the rest as a print would, for the finished size it reports.
    if (parser.isSet(info))
        r.action = PosterRequest::Action::Info;

    if (parser.isSet(output) && parser.isSet(printer)) {
        parsed.error = QStringLiteral("-o and --printer exclude each other");
        return parsed;
    }
    if (parser.isSet(output)) {
        r.outputFile = parser.value(output);
        if (r.outputFile.isEmpty()) {
            parsed.error = QStringLiteral("-o needs a file name");
            return parsed;
        }
    }
    r.wait = parser.isSet(wait);
    if (parser.isSet(cupsTimeout) &&
        !ReadWhole(parser.value(cupsTimeout), 1, 24 * 60 * 60, r.cupsTimeout)) {
        parsed.error = QStringLiteral("--cups-timeout wants seconds from 1 to 86400, not \"%1\"")
                           .arg(parser.value(cupsTimeout));
        return parsed;
    }
    if (parser.isSet(printer)) {
        r.printerName = parser.value(printer);
        if (r.printerName.isEmpty()) {
            parsed.error = QStringLiteral("--printer needs a printer name");
            return parsed;
        }
    }

    // The options in the order given: the last of an on/off pair wins, and the sizes are typed
    // into their edits one after the other.
    std::map<QString, int> taken; // values read so far, per option name
    bool glueLinesTurnedOff = false;
    for (const QString& name : parser.optionNames()) {
        for (const Toggle& t : kToggles) {
            const bool on = name == QLatin1String(t.name);
            if (!on && name != NoName(t.name))
                continue;
            r.boxes.*t.flag = on == t.onMeansFlag;
            if (t.flag == &PrintOptions::GlueLines)
                glueLinesTurnedOff = !on;
        }
        if (name == width.names().front() || name == height.names().front()) {
            const QStringList values = parser.values(name);
            const QString text = values.value(taken[name]++);
            SizeEntry entry;
            entry.side = name == width.names().front() ? SizeSide::Width : SizeSide::Height;
            if (!ReadSize(text, entry)) {
                parsed.error = QStringLiteral("--%1 wants a number of pages from 0.1 to 100, or "
                                              "a length in mm, cm, m or in, not \"%2\"")
                                   .arg(name, text);
                return parsed;
            }
            r.sizes.push_back(entry);
        }
        if (name == landscape.names().front())
            r.orientation = QPageLayout::Landscape;
        if (name == portrait.names().front())
            r.orientation = QPageLayout::Portrait;
    }
    if (r.boxes.PrintOnGlueEdge && glueLinesTurnedOff)
        parsed.notes << QStringLiteral("--print-on-glue-edge keeps the glue lines on; "
                                       "--no-glue-lines has no effect");

    for (const auto& [option, percent] : {std::pair{&glueRight, &r.rightGluePercent},
                                          std::pair{&glueBottom, &r.bottomGluePercent}}) {
        if (!parser.isSet(*option))
            continue;
        const QString text = parser.value(*option);
        if (!ReadPercent(text, *percent)) {
            parsed.error = QStringLiteral("--%1 wants a whole number from 0 to 10, not \"%2\"")
                               .arg(option->names().front(), text);
            return parsed;
        }
    }

    if (parser.isSet(order)) {
        const QString text = parser.value(order).trimmed().toLower();
        if (text == QLatin1String("rows"))
            r.order = PrintOrder::RowPerRow;
        else if (text == QLatin1String("columns"))
            r.order = PrintOrder::ColumnPerColumn;
        else {
            parsed.error = QStringLiteral("--order wants rows or columns, not \"%1\"")
                               .arg(parser.value(order));
            return parsed;
        }
    }

    for (const QString& text : parser.values(off)) {
        std::pair<int, int> page;
        if (!ReadPage(text, page)) {
            parsed.error =
                QStringLiteral("--off wants COLUMN,ROW, two whole numbers from 0, not \"%1\"")
                    .arg(text);
            return parsed;
        }
        r.pagesOff.push_back(page);
        r.choice = PageChoice::NotTheClickedOff;
    }

    if (parser.isSet(paper)) {
        r.paper = PaperByName(parser.value(paper));
        if (!r.paper) {
            parsed.error = QStringLiteral("unknown paper size \"%1\"").arg(parser.value(paper));
            return parsed;
        }
    }
    if (parser.isSet(resolution) &&
        !ReadWhole(parser.value(resolution), kPdfFileDpiMin, kPdfFileDpiMax, r.resolution)) {
        parsed.error = QStringLiteral("--resolution wants dots per inch from %1 to %2, not \"%3\"")
                           .arg(kPdfFileDpiMin)
                           .arg(kPdfFileDpiMax)
                           .arg(parser.value(resolution));
        return parsed;
    }
    // The test page has no picture to edit or save.
    if (r.testPage && (!r.edits.empty() || !r.saveFile.isEmpty())) {
        parsed.error = QStringLiteral("--test-page prints no picture");
        return parsed;
    }
    return parsed;
}
