// SPDX-License-Identifier: GPL-3.0-or-later
#include "Translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

std::vector<std::unique_ptr<QTranslator>>& Installed()
{
    static std::vector<std::unique_ptr<QTranslator>> installed;
    return installed;
}

// Where the .qm files are: installed, the programs' folder's sibling share/velmora/translations;
// in the build, the folder beside app/ and batch/.
QStringList ProgramFolders()
{
    const QDir programs(QCoreApplication::applicationDirPath());
    return {programs.filePath(QStringLiteral(VELMORA_TRANSLATIONS_FROM_PROGRAMS)),
            programs.filePath(QStringLiteral("../translations"))};
}

// The file of a name for one language, the most particular first ("de_DE", then "de"), from
// the first folder that has it; never the name without a language.
bool Install(const QString& name, QString language, const QStringList& folders)
{
    auto translator = std::make_unique<QTranslator>();
    for (; !language.isEmpty();
         language.truncate(std::max<qsizetype>(0, language.lastIndexOf(u'_')))) {
        for (const QString& folder : folders) {
            const QString file =
                QDir(folder).filePath(name + QLatin1Char('_') + language + QLatin1String(".qm"));
            if (translator->load(file) && QCoreApplication::installTranslator(translator.get())) {
                Installed().push_back(std::move(translator));
                return true;
            }
        }
    }
    return false;
}

} // namespace

bool InstallTranslations(const QLocale& locale, const QStringList& folders)
{
    RemoveTranslations();
    // The C locale is English whatever LANGUAGE says, as for the system's own programs.
    if (locale.language() == QLocale::C)
        return false;
    // The user's languages in the order preferred: the first the program speaks wins, and
    // English, the language of the sources, needs nothing installed.
    for (QString language : locale.uiLanguages()) {
        language.replace(QLatin1Char('-'), QLatin1Char('_'));
        if (language == QLatin1String("C") ||
            language.section(QLatin1Char('_'), 0, 0) == QLatin1String("en"))
            return false;
        if (!Install(QStringLiteral("velmora"), language, folders + ProgramFolders()))
            continue;
        // Qt's own words for the standard dialogs, in the same language, so that a window
        // never mixes two.
        Install(QStringLiteral("qtbase"), language,
                {QLibraryInfo::path(QLibraryInfo::TranslationsPath)});
        return true;
    }
    return false;
}

QLocale MessagesLocale()
{
    QString messages;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        messages = qEnvironmentVariable(variable);
        if (!messages.isEmpty())
            break;
    }
    const QString name = messages.section(QLatin1Char('.'), 0, 0);
    if (messages.isEmpty() || name == QLatin1String("C") || name == QLatin1String("POSIX"))
        return QLocale::c();
    return QLocale::system();
}

void RemoveTranslations()
{
    for (const std::unique_ptr<QTranslator>& translator : Installed())
        QCoreApplication::removeTranslator(translator.get());
    Installed().clear();
}
