// SPDX-License-Identifier: GPL-3.0-or-later
// The about dialog: program name, version and release date.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class AboutBox;
}

class TAboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;

    Ui::AboutBox& Form() { return *ui; }

private:
    std::unique_ptr<Ui::AboutBox> ui;
};
