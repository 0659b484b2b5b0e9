// SPDX-License-Identifier: GPL-3.0-or-later
#include "Translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

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

bool Install(const QLocale& locale, const QString& name, const QStringList& folders)
{
    auto translator = std::make_unique<QTranslator>();
    for (const QString& folder : folders) {
        if (translator->load(locale, name, QStringLiteral("_"), folder) &&
            QCoreApplication::installTranslator(translator.get())) {
            Installed().push_back(std::move(translator));
            return true;
        }
    }
    return false;
}

} // namespace

bool InstallTranslations(const QLocale& locale, const QStringList& folders)
{
    RemoveTranslations();
    if (locale.language() == QLocale::C || locale.language() == QLocale::English)
        return false;
    if (!Install(locale, QStringLiteral("velmora"), folders + ProgramFolders()))
        return false;
    // Qt's own words only with the program's, so that a window never mixes two languages.
    Install(locale, QStringLiteral("qtbase"), {QLibraryInfo::path(QLibraryInfo::TranslationsPath)});
    return true;
}

void RemoveTranslations()
{
    for (const std::unique_ptr<QTranslator>& translator : Installed())
        QCoreApplication::removeTranslator(translator.get());
    Installed().clear();
}
