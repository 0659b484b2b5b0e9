// SPDX-License-Identifier: GPL-3.0-or-later
#include "Messages.h"

#include "VelmoraApplication.h"

QMessageBox::StandardButton ShowMessage(QWidget* parent, const QString& text,
                                        QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons,
                                        const QString& caption)
{
    QMessageBox box(icon, caption, text, buttons, parent);
    box.setWindowModality(Qt::ApplicationModal);
    const int answer = box.exec();
    // exec() gives the standard button for standard buttons; Escape on a box without Cancel
    // gives the escape button, which is what a closed box means.
    if (box.clickedButton())
        return box.standardButton(box.clickedButton());
    return static_cast<QMessageBox::StandardButton>(answer);
}

void ShowError(QWidget* parent, const QString& text)
{
    ShowMessage(parent, text, QMessageBox::Critical, QMessageBox::Ok,
                QString::fromLatin1(kProgramTitle));
}
