// SPDX-License-Identifier: GPL-3.0-or-later
// The application object. Every event goes through notify(), which makes it the one place
// where an error thrown by any handler is caught, shown, and the program goes on.
#pragma once

#include <QApplication>

#include <functional>

// The program's title: the task-bar text and the caption of the error box.
inline constexpr const char* kProgramTitle = "Velmora";

class VelmoraApplication : public QApplication
{
    Q_OBJECT
public:
    VelmoraApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// The program's name and the font its pixel layout was made for, on the running application.
void SetupApplication();

// Runs the work; an exception it throws is shown in the error box and then forgotten, and the
// result is false. Also used for the window's creation, which runs outside any event.
bool RunGuarded(const std::function<bool()>& work);
