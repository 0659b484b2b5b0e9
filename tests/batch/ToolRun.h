// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-poster run as a separate process, as a user runs it.
#pragma once

#include <QString>
#include <QStringList>

#include <map>

struct ToolRun
{
    int status = -1; // -1: it did not end normally within two minutes
    QString out;
    QString err;
};

// With a prefix, the tool runs under that command (prlimit, setpriv) as its last word.
ToolRun RunTool(const QStringList& arguments, const QStringList& prefix = {});

// The tool as a user runs it whose locale is `lang` (LANG, without LC_ALL), with the languages
// preferred in `language` (LANGUAGE) when given.
ToolRun RunToolInLocale(const QString& lang, const QStringList& arguments,
                        const QString& language = {});

// The first `count` lines of a report, each with its line end.
QString FirstLines(const QString& text, int count);

// "Key: value" lines of a report.
std::map<QString, QString> ReportLines(const QString& text);
