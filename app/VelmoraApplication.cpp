// SPDX-License-Identifier: GPL-3.0-or-later
#include "VelmoraApplication.h"

#include "Messages.h"

#include <QCoreApplication>
#include <QFont>

#include <exception>

namespace {
// The window layout is in pixels made for a narrow 8-point face; the condensed face keeps the
// longest captions inside their group frames.
constexpr int kLayoutFontPoints = 8;
} // namespace

bool RunGuarded(const std::function<bool()>& work)
{
    QString text;
    try {
        return work();
    } catch (const std::exception& error) {
        text = QString::fromLocal8Bit(error.what());
    } catch (...) {
        text = QCoreApplication::translate("VelmoraApplication", "Unknown error");
    }
    // Shown outside the catch block: the box runs an event loop of its own, and a second error
    // in there must not meet an exception still being handled.
    ShowError(QApplication::activeWindow(), text);
    return false;
}

void SetupApplication()
{
    // The program's name, not a display name: Qt would append a display name to every window
    // title ("Quit program — Velmora"). A box without a caption of its own still shows it.
    QApplication::setApplicationName(QString::fromLatin1(kProgramTitle));
    // The desktop entry, by which a desktop groups the windows and finds the icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.velmora.Velmora"));
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans Condensed"), kLayoutFontPoints));
}

VelmoraApplication::VelmoraApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    SetupApplication();
}

bool VelmoraApplication::notify(QObject* receiver, QEvent* event)
{
    return RunGuarded([&] { return QApplication::notify(receiver, event); });
}
