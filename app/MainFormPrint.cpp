// The page preview with its switched-off pages, and the print job.
#include "MainForm.h"
#include "ui_MainForm.h"

#include "PagePreview.h"

void TMainForm::VorschauBoxPaint(QPainter& Canvas)
{
    const SizeInputs in = CurrentSizeInputs();
    PaintPreview(Canvas, ui->VorschauBox->width(), ui->VorschauBox->height(), in.pageWidth,
                 in.pageHeight, Options, in.rightGluePercent, in.bottomGluePercent, Geometry,
                 PageOffGrid, CurrentPicture);
}

void TMainForm::VorschauBoxMouseDown(Qt::MouseButton /*Button*/, Qt::KeyboardModifiers /*Shift*/,
                                     int X, int Y)
{
    const SizeInputs in = CurrentSizeInputs();
    const auto hits = HitTest(ui->VorschauBox->width(), ui->VorschauBox->height(), in.pageWidth,
                              in.pageHeight, Options, in.rightGluePercent, in.bottomGluePercent,
                              Geometry.PagesAcross, Geometry.PagesDown, X, Y);
    for (const auto& [column, row] : hits)
        klickpage(column, row);
}

void TMainForm::klickpage(int Column, int Row)
{
    if (Column < 0 || Row < 0 || Column >= kPageGridSide || Row >= kPageGridSide)
        return;
    uint8_t& off = PageOffGrid[PageIndex(Column, Row)];
    off = off ? 0 : 1;
    ui->VorschauBox->repaint();
}

void TMainForm::PrintBtnClick() {}

void TMainForm::RadioButton4Click() {}
