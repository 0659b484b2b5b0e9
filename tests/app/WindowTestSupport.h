// A started program for the window tests, and a hand that answers the next modal box.
#pragma once

#include "AboutBoxUnit.h"
#include "HKUnit.h"
#include "MainForm.h"

#include <QMessageBox>
#include <QString>

#include <functional>
#include <memory>

// The three windows as main() makes them, the main window shown.
struct StartedProgram
{
    StartedProgram();
    ~StartedProgram();

    std::unique_ptr<TMainForm> window;
    std::unique_ptr<TAboutBox> about;
    std::unique_ptr<THKForm> hk;
};

// What a message box showed, as the hand found it.
struct SeenBox
{
    bool seen = false;
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Waits (from the event loop) for a modal message box and presses the answer on it. Call before
// the code that opens the box; the result fills in once the box was answered.
std::shared_ptr<SeenBox> AnswerNextMessageBox(QMessageBox::StandardButton answer);

// Same for any modal widget: hands it to the action, which must close it.
void HandleNextModal(std::function<void(QWidget*)> action);

// Lets pending events run (paints, deferred deletes).
void SettleEvents();
