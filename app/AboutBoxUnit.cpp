// SPDX-License-Identifier: GPL-3.0-or-later
#include "AboutBoxUnit.h"

#include "Artwork.h"
#include "ScreenPlacement.h"
#include "ui_AboutBoxUnit.h"

namespace {
constexpr int kIconSide = 32;
constexpr int kClientWidth = 298;
constexpr int kClientHeight = 213;
} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::AboutBox>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    ui->ProgramIcon->setPixmap(
        SvgPixmap(QStringLiteral(":/art/velmora.svg"), QSize(kIconSide, kIconSide)));
    ui->OKButton->setIcon(SvgIcon(QStringLiteral(":/art/ok.svg")));
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
    CentreOnScreen(this);
}

TAboutBox::~TAboutBox() = default;
