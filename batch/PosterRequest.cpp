// SPDX-License-Identifier: GPL-3.0-or-later
#include "PosterRequest.h"

#include "FileName.h"
#include "GrafikRW.h"
#include "PosterOptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <map>
#include <vector>

namespace {

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
        QString text =
            QCoreApplication::translate("PosterRequest", "'%1' is not a picture file").arg(word);
        if ((option == QLatin1String("--width") || option == QLatin1String("--height")) &&
            units.contains(word, Qt::CaseInsensitive))
            text += QCoreApplication::translate("PosterRequest", ": write the size as %1%2")
                        .arg(value.trimmed(), word);
        return text;
    }
    return {};
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

// The parser's own complaint, with the option most likely meant when one name was mistyped.
QString ParseErrorText(const QCommandLineParser& parser, const std::vector<PosterOption>& options)
{
    QString error = parser.errorText();
    const QStringList unknown = parser.unknownOptionNames();
    if (unknown.size() != 1)
        return error;
    QStringList known{QStringLiteral("help"), QStringLiteral("version")};
    for (const PosterOption& o : options)
        known += o.names;
    const QString meant = NearestOption(unknown.front(), known);
    if (meant.isEmpty())
        return error;
    if (error.endsWith(u'.'))
        error.chop(1);
    return error + QCoreApplication::translate("PosterRequest", ": did you mean --%1?").arg(meant);
}

// The program by its name, wherever it was started from: the manual is made from this text.
QString UsageText(const QCommandLineParser& parser)
{
    QString text = parser.helpText();
    // The parser's first word, in the language it speaks (Qt's own translation).
    static const char* const kParserContext = "QCommandLineParser";
    static const char* const kParserUsage = "Usage: %1";
    const QString usage = QCoreApplication::translate(kParserContext, kParserUsage).arg(QString());
    if (text.startsWith(usage))
        if (const qsizetype end = text.indexOf(u' ', usage.size()); end > 0)
            text.replace(0, end, usage + QStringLiteral("velmora-poster"));
    return text;
}

// Which options and words go together, whatever their values. A line that mixes a scan with a
// picture file, or asks for two things that exclude each other, is wrong however its values
// read, so this is told before any value.
QString CombinationError(const QCommandLineParser& parser, const QStringList& arguments,
                         const QStringList& valueOptions, bool deviceInOption)
{
    const auto given = [&parser](const char* name) {
        return parser.isSet(QString::fromLatin1(name));
    };
    const QStringList positional = parser.positionalArguments();
    const QString noPicture =
        QCoreApplication::translate("PosterRequest", "--test-page prints no picture");
    if (given("scan")) {
        if (positional.size() > (deviceInOption ? 0 : 1))
            return QCoreApplication::translate("PosterRequest",
                                               "--scan takes one device and no picture file");
        if (given("test-page"))
            return noPicture;
    } else {
        for (const char* scanOnly : {"scan-mode", "scan-depth", "scan-resolution", "scan-timeout"})
            if (given(scanOnly))
                return QCoreApplication::translate("PosterRequest", "--%1 goes with --scan")
                    .arg(QLatin1String(scanOnly));
        if (given("test-page") && !positional.isEmpty())
            return noPicture;
        if (positional.isEmpty() && !given("test-page"))
            return QCoreApplication::translate("PosterRequest", "no picture given (see --help)");
        if (positional.size() > 1) {
            const QString stray = StrayWordText(arguments, valueOptions);
            return stray.isEmpty() ? QCoreApplication::translate("PosterRequest",
                                                                 "one picture at a time, not %1")
                                         .arg(positional.size())
                                   : stray;
        }
    }
    if (given("test-page") && given("info"))
        return QCoreApplication::translate("PosterRequest",
                                           "--test-page and --info exclude each other");
    if (given("save-type") && !given("save"))
        return QCoreApplication::translate("PosterRequest", "--save-type goes with --save");
    if (given("output") && given("printer"))
        return QCoreApplication::translate("PosterRequest", "-o and --printer exclude each other");
    if (given("smooth") && given("dots"))
        return QCoreApplication::translate("PosterRequest",
                                           "--smooth and --dots exclude each other");
    if (given("dots-colour") && !given("dots"))
        return QCoreApplication::translate("PosterRequest", "--dots-colour goes with --dots");
    return {};
}

// The options in the order given, so that the edits are made, the sizes typed and the on/off
// pairs set one after the other, as in the window. The first value of a wrong form is reported.
QString ReadValues(const QCommandLineParser& parser, const std::vector<PosterOption>& options,
                   PosterRequest& r)
{
    std::map<const PosterOption*, qsizetype> taken; // values met so far, per option
    for (const QString& name : parser.optionNames()) {
        const auto option = std::ranges::find_if(
            options, [&name](const PosterOption& o) { return o.names.contains(name); });
        if (option == options.end())
            continue; // --help and --version are answered before
        const QStringList values = parser.values(name);
        const qsizetype n = taken[&*option]++;
        if (!option->eachValue && n + 1 < values.size())
            continue; // a later value replaces this one unread
        if (QString error = option->read(r, values.value(n)); !error.isEmpty())
            return error;
    }
    return {};
}

// What the values make together, known only once all of them are read.
QString ResultError(const QCommandLineParser& parser, PosterRequest& r, QStringList& notes)
{
    if (!r.saveFile.isEmpty()) {
        // Without --save-type the file's name tells the type, as in the window's save dialog.
        if (!parser.isSet(QStringLiteral("save-type"))) {
            r.saveCode = r.saveFile.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)
                             ? kSaveAsPdf
                             : SaveCodeForFileName(FileNameBytes(r.saveFile).constData());
            if (!r.saveCode)
                return QCoreApplication::translate(
                           "PosterRequest",
                           "--save: the type of \"%1\" is not told by its name; give "
                           "--save-type (%2)")
                    .arg(FileNameText(r.saveFile), SaveTypeNames());
        }
        r.print = parser.isSet(QStringLiteral("output")) || parser.isSet(QStringLiteral("printer"));
    }
    // Unchecked last, "Clue lines" would still be checked by the option rules; the user is told.
    if (r.boxes.PrintOnGlueEdge && !r.boxes.GlueLines &&
        parser.isSet(QStringLiteral("no-glue-lines")))
        notes << QCoreApplication::translate("PosterRequest",
                                             "--print-on-glue-edge keeps the glue lines on; "
                                             "--no-glue-lines has no effect");
    // The test page has no picture to edit or save.
    if (r.testPage && (!r.edits.empty() || !r.saveFile.isEmpty()))
        return QCoreApplication::translate("PosterRequest", "--test-page prints no picture");
    return {};
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
    const std::vector<PosterOption> options = PosterOptions();

    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "PosterRequest",
        "Prints one picture as a poster over a grid of printer pages, as the Velmora window "
        "does.\nOn/off options take the last form given; sizes are applied in the order given."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("picture"),
        QCoreApplication::translate(
            "PosterRequest", "The picture file to print (BMP, JPEG, PNG, ...); with --scan, the "
                             "scanner device, if one is named."),
        QStringLiteral("PICTURE | --scan [DEVICE]"));
    QStringList valueOptions; // a word after their value is a stray, not a second picture
    for (const PosterOption& o : options) {
        parser.addOption(QCommandLineOption(o.names, o.help, o.valueName));
        if (!o.valueName.isEmpty())
            valueOptions += o.names;
    }
    parsed.help = UsageText(parser);

    bool deviceInOption = false;
    if (!parser.parse(TakeScanDevice(arguments, r.scanDevice, deviceInOption))) {
        parsed.error = ParseErrorText(parser, options);
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

    parsed.error = CombinationError(parser, arguments, valueOptions, deviceInOption);
    if (parsed.ok())
        parsed.error = ReadValues(parser, options, r);
    if (parsed.ok())
        parsed.error = ResultError(parser, r, parsed.notes);
    // The one word left is the picture file, or with --scan the device.
    if (const QStringList positional = parser.positionalArguments();
        parsed.ok() && !positional.isEmpty())
        (r.scan ? r.scanDevice : r.picture) = positional.front();
    return parsed;
}
