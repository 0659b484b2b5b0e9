// SPDX-License-Identifier: GPL-3.0-or-later
// The paper format, the print options and the poster's size in pages.
#include "MainForm.h"
#include "ui_MainForm.h"

#include "DrawingSource.h"
#include "OptionRules.h"
#include "PaperFormat.h"
#include "PrinterSetup.h"

#include <QScopedValueRollback>

namespace {

// The unit box: centimetres first, then inches.
constexpr int kInchesIndex = 1;

} // namespace

SpinSizeEdits::SpinSizeEdits(QDoubleSpinBox* width, QDoubleSpinBox* height)
    : width_(width), height_(height)
{
}

double SpinSizeEdits::value(SizeSide side) const
{
    return edit(side)->value();
}

void SpinSizeEdits::setValue(SizeSide side, double value)
{
    edit(side)->setValue(value);
}

SizeInputs TMainForm::CurrentSizeInputs() const
{
    SizeInputs in;
    const PrinterMetrics metrics = Printer->metrics();
    in.pageWidth = metrics.pageWidth;
    in.pageHeight = metrics.pageHeight;
    in.options = Options;
    in.rightGluePercent = ConfineGluePercent(ui->KrandxlEd->value());
    in.bottomGluePercent = ConfineGluePercent(ui->KrandylEd->value());
    in.pictureWidth = DIBWidth(CurrentPicture);
    in.pictureHeight = DIBHeight(CurrentPicture);
    return in;
}

void TMainForm::UpdatePaperFormat()
{
    const PaperFormatTexts texts =
        PaperFormatOf(Printer->metrics(), ui->KrandxlEd->value(), ui->KrandylEd->value());
    ui->Edit6->setText(texts.paperSize);
    ui->Edit7->setText(texts.topEdge);
    ui->Edit8->setText(texts.leftEdge);
    ui->Edit9->setText(texts.rightEdge);
    ui->Edit10->setText(texts.bottomEdge);
    ui->Edit1->setText(texts.rightGlue);
    ui->Edit2->setText(texts.bottomGlue);
    // Where the poster goes, in full also when the line is too short for a long file path, and
    // the resolution the page plan's lines are drawn at.
    ui->PrinterEd->setText(Printer->description());
    ui->PrinterEd->setCursorPosition(0);
    const PrinterMetrics m = Printer->metrics();
    ui->PrinterEd->setToolTip(
        m.isValid() ? QStringLiteral("%1, %2 dpi").arg(Printer->description()).arg(m.dpiX)
                    : Printer->description());
}

void TMainForm::UpdateOptions(QObject* /*Sender*/)
{
    const OptionBoxes boxes{ui->CheckBox1->isChecked(),  ui->CheckBox2->isChecked(),
                            ui->CheckBox3->isChecked(),  ui->CheckBox4->isChecked(),
                            ui->CheckBox5->isChecked(),  ui->CheckBox6->isChecked(),
                            ui->CheckBox8->isChecked(),  ui->CheckBox9->isChecked(),
                            ui->CheckBox10->isChecked(), ui->KrShowCheck->isChecked()};
    const OptionUpdate update = OptionsFromBoxes(boxes, ui->IncEd->value());
    Options = update.options;
    // Checking the box runs this update again from its signal; both runs end alike.
    if (update.checkGlueLines)
        ui->CheckBox2->setChecked(true);
    for (QWidget* control :
         std::initializer_list<QWidget*>{ui->CheckBox9, ui->CheckBox10, ui->CheckBox2,
                                         ui->KrandxlEd, ui->KrandylEd, ui->Edit1, ui->Edit2})
        control->setEnabled(update.glueControlsEnabled);
    by_anpassen();
    ui->IncEd->setEnabled(update.incrementEnabled);
    ui->BreitEd->setSingleStep(update.sizeStep);
    ui->HochEd->setSingleStep(update.sizeStep);
    // Whole pages round a typed size: only once it is typed (Enter, or the edit left), or
    // 2.6 would be taken as 2 when the 2 is typed.
    ui->BreitEd->setKeyboardTracking(!Options.UseFullPages);
    ui->HochEd->setKeyboardTracking(!Options.UseFullPages);
}

void TMainForm::KrandxlEdChange()
{
    UpdatePaperFormat();
    ShowFinishedSize();
}

void TMainForm::BitBtn3Click()
{
    RunPrinterSetup(*Printer, this);
    UpdatePaperFormat();
    by_anpassen();
}

// Both size handlers: nothing while the other one writes its derived size, else the size
// computation from the given side and an immediate repaint of the preview.
void TMainForm::SizeEditChanged(SizeSide side)
{
    if (Geometry.SizeUpdateGuard)
        return;
    SpinSizeEdits edits = SizeEditsOfWindow();
    ::SizeEditChanged(side, Geometry, CurrentSizeInputs(), edits);
    ui->VorschauBox->repaint();
    ShowFinishedSize();
}

SpinSizeEdits TMainForm::SizeEditsOfWindow() const
{
    return {ui->BreitEd, ui->HochEd};
}

void TMainForm::BreitEdChange()
{
    SizeEditChanged(SizeSide::Width);
}

void TMainForm::HochEdChange()
{
    SizeEditChanged(SizeSide::Height);
}

void TMainForm::by_anpassen()
{
    if (Geometry.WidthEditedLast)
        BreitEdChange();
    else
        HochEdChange();
}

void TMainForm::IncEdChange()
{
    ui->BreitEd->setSingleStep(ui->IncEd->value());
    ui->HochEd->setSingleStep(ui->IncEd->value());
}

void TMainForm::ZoomEdChange()
{
    ui->VorschauBox->setFixedSize(ZoomSize(ui->ZoomEd->value()));
    ui->VorschauBox->repaint();
}

FinishedSize TMainForm::CurrentFinishedSize() const
{
    const PrinterMetrics m = Printer->metrics();
    FinishedSize s =
        FinishedPosterSize(CurrentRenderInputs(), m.pageWidth, m.pageHeight, m.dpiX, m.dpiY);
    SetDrawingOnPaper(s, CurrentSource.drawing());
    return s;
}

void TMainForm::ShowFinishedSize()
{
    const FinishedSize s = CurrentFinishedSize();
    ui->RealSizeLabel->setText(
        s.valid ? tr("Poster: %1").arg(FinishedSizeText(s, QStringLiteral("\n"))) : QString());
    // The poster's size belongs with its pages: on the size and print pages.
    QWidget* page = ui->PageControl1->currentWidget();
    ui->RealSizeLabel->setVisible(page == ui->TabSheet3 || page == ui->TabSheet4);
    // How the picture prints is chosen with the options, in the same place.
    for (QWidget* look :
         {static_cast<QWidget*>(ui->SmoothCheck), static_cast<QWidget*>(ui->DotsCheck),
          static_cast<QWidget*>(ui->DotsEd), static_cast<QWidget*>(ui->DotsColourCheck)})
        look->setVisible(page == ui->TabSheet2);
    const bool inches = ui->SizeUnitBox->currentIndex() == kInchesIndex;
    const QScopedValueRollback<bool> writing(showingFinishedSize, true);
    ui->RealWidthEd->setDecimals(inches ? 2 : 1);
    ui->RealHeightEd->setDecimals(inches ? 2 : 1);
    if (!s.valid)
        return;
    ui->RealWidthEd->setValue(inches ? s.widthInches : s.widthCm);
    ui->RealHeightEd->setValue(inches ? s.heightInches : s.heightCm);
}

void TMainForm::RealSizeEdited(bool width)
{
    // Without a size to start from (no printer) there are no pages to find.
    if (showingFinishedSize || !CurrentFinishedSize().valid)
        return;
    const double value = (width ? ui->RealWidthEd : ui->RealHeightEd)->value();
    const bool inches = ui->SizeUnitBox->currentIndex() == kInchesIndex;
    const PrinterMetrics m = Printer->metrics();
    const PageRenderInputs in = CurrentRenderInputs();
    const double pixels = (inches ? value : value / kCmPerInch) * (width ? m.dpiX : m.dpiY);
    const double pages =
        PagesForFinishedSize(width, pixels, in, m.pageWidth, m.pageHeight, m.dpiX, m.dpiY);
    // Through the page edit and its own handler, as if the pages had been typed there.
    (width ? ui->BreitEd : ui->HochEd)->setValue(pages);
    // The size got, also when the pages stayed as they were.
    ShowFinishedSize();
}

void TMainForm::RealWidthEdChange()
{
    RealSizeEdited(true);
}

void TMainForm::RealHeightEdChange()
{
    RealSizeEdited(false);
}

void TMainForm::SizeUnitBoxChange()
{
    ShowFinishedSize();
}

PageRenderInputs TMainForm::CurrentRenderInputs() const
{
    const SizeInputs size = CurrentSizeInputs();
    PageRenderInputs in{size.pictureWidth, size.pictureHeight,    Geometry,
                        Options,           size.rightGluePercent, size.bottomGluePercent};
    in.smooth = ui->SmoothCheck->isChecked();
    if (ui->DotsCheck->isChecked()) {
        const PrinterMetrics m = Printer->metrics();
        in.dots = DotGridOnPaper(in, ui->DotsEd->value(), ui->DotsColourCheck->isChecked(),
                                 m.pageWidth, m.pageHeight, m.dpiX, m.dpiY);
    }
    return in;
}

void TMainForm::SmoothCheckClick()
{
    if (ui->SmoothCheck->isChecked())
        ui->DotsCheck->setChecked(false);
    PictureLookChange();
}

void TMainForm::DotsCheckClick()
{
    const bool dots = ui->DotsCheck->isChecked();
    if (dots)
        ui->SmoothCheck->setChecked(false);
    ui->DotsEd->setEnabled(dots);
    ui->DotsColourCheck->setEnabled(dots);
    PictureLookChange();
}

void TMainForm::PictureLookChange()
{
    ShowFinishedSize();
    ui->VorschauBox->update();
}
