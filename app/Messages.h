// SPDX-License-Identifier: GPL-3.0-or-later
// The program's message boxes: one way to ask and tell, so all of them look alike.
#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

// Shows a modal message box and returns the button pressed. An empty caption leaves the
// application's own title on the box.
QMessageBox::StandardButton ShowMessage(QWidget* parent, const QString& text,
                                        QMessageBox::Icon icon = QMessageBox::NoIcon,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                        const QString& caption = QString());

// The box for an error that ended a handler: the error's text under the program's name.
void ShowError(QWidget* parent, const QString& text);
