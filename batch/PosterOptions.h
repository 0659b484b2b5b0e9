// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-poster's options as one table. The parser, --help (from which the manual page and the
// shell completion are made) and the reading of each value all come from the same entry, so a new
// option is one entry and cannot be listed without being read, or read without being listed.
#pragma once

#include "PosterRequest.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

struct PosterOption
{
    QStringList names; // the first is the one errors name
    QString valueName; // empty: a switch
    QString help;
    // Puts one value into the request; a switch is given an empty one. Returns the error text
    // when the value is not of the option's form, else an empty text.
    std::function<QString(PosterRequest&, const QString& value)> read;
    // An option whose values take effect one after the other (the edits, the sizes, the pages
    // left out) reads each of them; any other reads only its last, as a control keeps the last
    // thing typed into it.
    bool eachValue = false;
};

// In the order --help lists them, after --help and --version.
std::vector<PosterOption> PosterOptions();

// The extensions the save types take, for the errors that ask for one.
QString SaveTypeNames();
