// SPDX-License-Identifier: GPL-3.0-or-later
// The brightness and contrast dialog. It lives with the window code rather than in edit/,
// which holds no widgets; the picture arithmetic itself belongs to edit/.
#pragma once

#include "GrafikRW.h"

#include <QDialog>

#include <memory>

class TMainForm;

namespace Ui {
class HKForm;
}

class THKForm : public QDialog
{
    Q_OBJECT
public:
    explicit THKForm(QWidget* parent = nullptr);
    ~THKForm() override;

    Ui::HKForm& Form() { return *ui; }

    // The window whose current picture the dialog adjusts; set before each opening.
    TMainForm* MainForm = nullptr;
    // The untouched copy of the picture taken when the dialog opens.
    PictureRecord BackupPicture;

    void TrackBar1Change();
    void BacksetBitBtn3Click();
    void OkBitBtn1Click();

private:
    std::unique_ptr<Ui::HKForm> ui;
};
