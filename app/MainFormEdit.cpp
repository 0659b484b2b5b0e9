// The operations on the current picture, and scanning.
#include "MainForm.h"
#include "ui_MainForm.h"

void TMainForm::HellpBtnClick() {}

void TMainForm::RotLeftBtnClick() {}

void TMainForm::RotRightBtnClick() {}

void TMainForm::FlipHBtnClick() {}

void TMainForm::FlipVBtnClick() {}

void TMainForm::SchnittBtnClick() {}

void TMainForm::SaveBtnClick() {}

void TMainForm::Helligkeit(int32_t /*Offset*/) {}

void TMainForm::Kontrast(int32_t /*Factor*/) {}

void TMainForm::SelectButtonClick() {}

void TMainForm::ScanButtonClick() {}
