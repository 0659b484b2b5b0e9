#include "PosterRequest.h"

#include "OptionRules.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QLocale>

#include <cmath>
#include <map>

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
    parser.addPositionalArgument(QStringLiteral("picture"),
                                 QStringLiteral("The picture file to print (BMP, JPEG, PNG, ...)."),
                                 QStringLiteral("PICTURE"));

    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Print to the PDF file FILE."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption printer(
        QStringLiteral("printer"),
        QStringLiteral("Print to the printer queue NAME. Without this or -o: the default printer, "
                       "or the PDF file the window would use."),
        QStringLiteral("NAME"));
    const QCommandLineOption width(
        QStringLiteral("width"),
        QStringLiteral("\"Width in pages:\" (0.1 to 100). With \"Aspect ratio\" the height "
                       "follows; of --width and --height the one given last wins."),
        QStringLiteral("PAGES"));
    const QCommandLineOption height(
        QStringLiteral("height"),
        QStringLiteral("\"Height in pages:\" (0.1 to 100). With \"Aspect ratio\" the width "
                       "follows."),
        QStringLiteral("PAGES"));
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
    const QCommandLineOption landscape(QStringLiteral("landscape"),
                                       QStringLiteral("Landscape paper."));
    const QCommandLineOption portrait(
        QStringLiteral("portrait"), QStringLiteral("Portrait paper (the default for a PDF file)."));
    const QCommandLineOption info(
        QStringLiteral("info"),
        QStringLiteral("Show the picture's width, height and colours, and print nothing."));
    const QCommandLineOption dryRun(
        QStringLiteral("dry-run"),
        QStringLiteral("Show the printer, the poster size and the pages in print order, and "
                       "print nothing."));
    for (const QCommandLineOption* o : {&output, &printer, &width, &height})
        parser.addOption(*o);
    const PrintOptions defaults;
    for (const Toggle& t : kToggles) {
        const bool onByDefault = defaults.*t.flag == t.onMeansFlag;
        const QString what = QString::fromLatin1(t.what);
        parser.addOption(QCommandLineOption(
            QString::fromLatin1(t.name),
            QStringLiteral("On: ") + what + (onByDefault ? QStringLiteral(" (default).") : ".")));
        parser.addOption(QCommandLineOption(
            NoName(t.name), QStringLiteral("Off") + (onByDefault ? QStringLiteral(".")
                                                                 : QStringLiteral(" (default)."))));
    }
    for (const QCommandLineOption* o :
         {&glueRight, &glueBottom, &order, &off, &paper, &landscape, &portrait, &info, &dryRun})
        parser.addOption(*o);
    parsed.help = parser.helpText();

    if (!parser.parse(arguments)) {
        parsed.error = parser.errorText();
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
    if (positional.isEmpty()) {
        parsed.error = QStringLiteral("no picture given (see --help)");
        return parsed;
    }
    if (positional.size() > 1) {
        parsed.error = QStringLiteral("one picture at a time, not %1").arg(positional.size());
        return parsed;
    }
    r.picture = positional.front();
    if (parser.isSet(info)) {
        r.action = PosterRequest::Action::Info;
        return parsed;
    }
    r.dryRun = parser.isSet(dryRun);

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
            if (!ReadPages(text, entry.pages)) {
                parsed.error = QStringLiteral("--%1 wants a number of pages from 0.1 to 100, not "
                                              "\"%2\"")
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
    return parsed;
}
