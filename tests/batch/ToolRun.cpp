// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToolRun.h"

#include <QProcess>

namespace {

ToolRun Finished(QProcess& process)
{
    ToolRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

} // namespace

ToolRun RunToolInLocale(const QString& lang, const QStringList& arguments, const QString& language)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LC_ALL"));
    environment.remove(QStringLiteral("LC_MESSAGES"));
    environment.remove(QStringLiteral("LANGUAGE"));
    environment.insert(QStringLiteral("LANG"), lang);
    if (!language.isEmpty())
        environment.insert(QStringLiteral("LANGUAGE"), language);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VELMORA_POSTER), arguments);
    return Finished(process);
}

ToolRun RunTool(const QStringList& arguments, const QStringList& prefix)
{
    QProcess process;
    if (prefix.isEmpty())
        process.start(QStringLiteral(VELMORA_POSTER), arguments);
    else
        process.start(prefix.front(),
                      prefix.mid(1) + QStringList{QStringLiteral(VELMORA_POSTER)} + arguments);
    return Finished(process);
}

QString FirstLines(const QString& text, int count)
{
    qsizetype end = 0;
    for (int i = 0; i < count && end >= 0; ++i) {
        end = text.indexOf(QLatin1Char('\n'), end);
        if (end >= 0)
            ++end;
    }
    return end < 0 ? text : text.left(end);
}

std::map<QString, QString> ReportLines(const QString& text)
{
    std::map<QString, QString> lines;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(QStringLiteral(": "));
        if (colon > 0)
            lines[line.left(colon)] = line.mid(colon + 2);
    }
    return lines;
}
