// SPDX-License-Identifier: GPL-3.0-or-later
// The program's texts in the user's language: its own translation and Qt's, for the standard
// dialogs and buttons, installed on the running application.
#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

// Installs the translations for the locale's languages, looking for the program's in the
// folders given first, then beside the program as installed and as built. English, the
// language of the sources, needs none. True when the program's own translation was installed.
bool InstallTranslations(const QLocale& locale, const QStringList& folders = {});

// The locale whose language the user reads, as the system's own programs take it: the C (or
// POSIX) locale of LC_ALL, LC_MESSAGES or LANG, with or without a codeset, is English whatever
// LANGUAGE says; any other is the system locale, with LANGUAGE's preferences.
QLocale MessagesLocale();

// Removes what InstallTranslations installed, so that the texts are English again.
void RemoveTranslations();
