// SPDX-License-Identifier: GPL-3.0-or-later
#include "AboutBoxUnit.h"
#include "CommandLine.h"
#include "FileName.h"
#include "HKUnit.h"
#include "MainForm.h"
#include "ProgramInfo.h"
#include "Translation.h"
#include "VelmoraApplication.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kBadCommandLine = 2;

// Help and version are answered without the window; a wrong command line is said once.
int Answer(const WindowCommandLine& line)
{
    switch (line.action) {
    case WindowCommandLine::Action::Help:
        std::fputs(qPrintable(line.text), stdout);
        return 0;
    case WindowCommandLine::Action::Version:
        std::printf("velmora %s\n%s", VELMORA_VERSION, kLicenceNotice);
        return 0;
    case WindowCommandLine::Action::Error:
        std::fprintf(stderr, "velmora: %s\n", qPrintable(line.text));
        return kBadCommandLine;
    case WindowCommandLine::Action::Run:
        break;
    }
    return 0;
}

QStringList Arguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << FileNameFromBytes(argv[i]); // a file's name is bytes
    return arguments;
}

} // namespace

int main(int argc, char** argv)
{
    // Before the application, which needs a display; the help in the user's language too.
    if (AsksForHelpOrVersion(argc, argv)) {
        QCoreApplication words(argc, argv);
        InstallTranslations(MessagesLocale());
        const WindowCommandLine line = ParseWindowCommandLine(Arguments(argc, argv));
        if (line.action != WindowCommandLine::Action::Run)
            return Answer(line);
        RemoveTranslations();
    }
    VelmoraApplication app(argc, argv);
    InstallTranslations(MessagesLocale());
    const WindowCommandLine line = ParseWindowCommandLine(QApplication::arguments());
    if (line.action != WindowCommandLine::Action::Run)
        return Answer(line);

    // The main window first: closing it ends the program. The dialogs follow, hidden, and stay
    // until the end.
    TMainForm MainForm;
    TAboutBox AboutBox;
    THKForm HKForm;
    MainForm.AboutBox = &AboutBox;
    MainForm.HKForm = &HKForm;

    MainForm.show();
    // A picture named on the command line (or by the file manager's "Open with") opens once the
    // window is up, so that a message about it has the window behind it.
    if (!line.file.isEmpty())
        QTimer::singleShot(0, &MainForm,
                           [&MainForm, file = line.file] { MainForm.OpenPictureFile(file); });
    return app.exec();
}
