// The brightness and contrast dialog. It lives with the window code rather than in edit/,
// which holds no widgets; the picture arithmetic itself belongs to edit/.
#pragma once

#include "GrafikRW.h"

#include <QDialog>

#include <memory>

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

    // The untouched copy of the picture taken when the dialog opens.
    PictureRecord BackupPicture;

    void TrackBar1Change();
    void BacksetBitBtn3Click();
    void OkBitBtn1Click();

private:
    std::unique_ptr<Ui::HKForm> ui;
};
