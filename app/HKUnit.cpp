// SPDX-License-Identifier: GPL-3.0-or-later
#include "HKUnit.h"

#include "Artwork.h"
#include "MainForm.h"
#include "PictureOps.h"
#include "ScreenPlacement.h"
#include "WaitCursor.h"
#include "ui_HKUnit.h"
#include "ui_MainForm.h"

namespace {
constexpr int kClientWidth = 320;
constexpr int kClientHeight = 217;
constexpr int kNeutralBrightness = 0;
constexpr int kNeutralContrast = 100;
} // namespace

THKForm::THKForm(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::HKForm>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);

    ui->VschauBitBtn4->setIcon(SvgIcon(QStringLiteral(":/art/preview.svg")));
    ui->BacksetBitBtn3->setIcon(SvgIcon(QStringLiteral(":/art/setback.svg")));
    ui->OkBitBtn1->setIcon(SvgIcon(QStringLiteral(":/art/ok.svg")));
    ui->CancelBitBtn2->setIcon(SvgIcon(QStringLiteral(":/art/quit.svg")));

    connect(ui->VschauBitBtn4, &QPushButton::clicked, this, &THKForm::TrackBar1Change);
    connect(ui->BacksetBitBtn3, &QPushButton::clicked, this, &THKForm::BacksetBitBtn3Click);
    connect(ui->OkBitBtn1, &QPushButton::clicked, this, &THKForm::OkBitBtn1Click);
    connect(ui->CancelBitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    CentreOnScreen(this);
}

THKForm::~THKForm() = default;

// Every preview starts from the untouched copy, so previews never add up.
void THKForm::TrackBar1Change()
{
    if (!MainForm || !BackupPicture.Bits)
        return;
    {
        WaitCursor wait;
        if (!RestorePicture(MainForm->CurrentPicture, BackupPicture))
            return;
        MainForm->Helligkeit(ui->TrackBar1->value());
        MainForm->Kontrast(ui->TrackBar2->value());
    }
    MainForm->Form().PaintBox2->update();
}

void THKForm::BacksetBitBtn3Click()
{
    ui->TrackBar1->setValue(kNeutralBrightness);
    ui->TrackBar2->setValue(kNeutralContrast);
}

void THKForm::OkBitBtn1Click()
{
    TrackBar1Change();
    accept();
}
