// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QObject>

#include <cstring>

namespace {

QString HelpText()
{
    return QCoreApplication::translate(
        "WindowCommandLine",
        "Usage: velmora [options] [PICTURE]\n"
        "Prints one picture as a poster over a grid of printer pages.\n"
        "\n"
        "Arguments:\n"
        "  PICTURE        A picture file to open at start-up, as a double-click on it in the\n"
        "                 load page's file list opens it.\n"
        "\n"
        "Options:\n"
        "  -h, --help     Displays this help.\n"
        "  -v, --version  Displays version information.\n"
        "\n"
        "The command-line tool velmora-poster prints a poster without the window.\n");
}

} // namespace

WindowCommandLine ParseWindowCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(
        {QStringLiteral("h"), QStringLiteral("help")},
        QCoreApplication::translate("WindowCommandLine", "Displays this help."));
    const QCommandLineOption version(
        {QStringLiteral("v"), QStringLiteral("version")},
        QCoreApplication::translate("WindowCommandLine", "Displays version information."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(
        QStringLiteral("PICTURE"),
        QCoreApplication::translate("WindowCommandLine", "A picture file to open at start-up."));
    WindowCommandLine result;
    if (!parser.parse(arguments)) {
        result.action = WindowCommandLine::Action::Error;
        result.text = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        result.action = WindowCommandLine::Action::Help;
        result.text = HelpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.action = WindowCommandLine::Action::Version;
        return result;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        result.action = WindowCommandLine::Action::Error;
        result.text =
            QCoreApplication::translate("WindowCommandLine", "one picture at a time: %1 were given")
                .arg(files.size());
        return result;
    }
    if (!files.isEmpty())
        result.file = files.constFirst();
    return result;
}

bool AsksForHelpOrVersion(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        for (const char* option : {"-h", "--help", "-v", "--version", "-help", "-version"})
            if (std::strcmp(argv[i], option) == 0)
                return true;
    return false;
}
