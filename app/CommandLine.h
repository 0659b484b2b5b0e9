// SPDX-License-Identifier: GPL-3.0-or-later
// The window's command line: at most one picture to open at start-up, besides help and version.
#pragma once

#include <QString>
#include <QStringList>

struct WindowCommandLine
{
    enum class Action
    {
        Run,
        Help,
        Version,
        Error
    };
    Action action = Action::Run;
    QString file; // the picture to open, or empty
    QString text; // the help text, or what is wrong with the command line
};

// Reads the arguments, program name first, after the application has taken its own options
// (-platform and the like).
WindowCommandLine ParseWindowCommandLine(const QStringList& arguments);

// Whether the raw arguments ask only for help or the version, which is answered before any
// display is opened.
bool AsksForHelpOrVersion(int argc, char** argv);
