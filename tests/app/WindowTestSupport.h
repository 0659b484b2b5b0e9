// SPDX-License-Identifier: GPL-3.0-or-later
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

// The program's texts in a language for as long as it lives, as main() installs them for the
// user's locale; English ("en") installs none.
class [[nodiscard]] ProgramLanguage
{
public:
    explicit ProgramLanguage(const char* name);
    ~ProgramLanguage();
    ProgramLanguage(const ProgramLanguage&) = delete;
    ProgramLanguage& operator=(const ProgramLanguage&) = delete;

    // False when the language's translation was not found.
    bool installed() const { return installed_; }

private:
    bool installed_ = false;
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

// Waits (from the event loop) for the next visible modal window and hands it to the action,
// which must close it. Make it before the code that opens the window. It deals with one window
// at most, gives up after a few seconds, and stops waiting when it goes out of scope: a hand
// left over from one test would otherwise take a window of the next.
class [[nodiscard]] ModalHand
{
public:
    explicit ModalHand(std::function<void(QWidget*)> action);
    ~ModalHand();
    ModalHand(ModalHand&&) noexcept;
    ModalHand& operator=(ModalHand&&) noexcept;
    ModalHand(const ModalHand&) = delete;
    ModalHand& operator=(const ModalHand&) = delete;

private:
    struct Waiting;
    std::unique_ptr<Waiting> waiting_;
};

ModalHand HandleNextModal(std::function<void(QWidget*)> action);

// A hand that presses the answer on the next message box (any other modal window it closes),
// and what the box showed, filled in once the box was answered.
class [[nodiscard]] BoxAnswer
{
public:
    explicit BoxAnswer(QMessageBox::StandardButton answer);

    const SeenBox* operator->() const { return seen_.get(); }

private:
    std::shared_ptr<SeenBox> seen_;
    ModalHand hand_;
};

BoxAnswer AnswerNextMessageBox(QMessageBox::StandardButton answer);

// Lets pending events run (paints, deferred deletes).
void SettleEvents();
