// The page preview with its switched-off pages, and the print job.
#include "MainForm.h"
#include "ui_MainForm.h"

#include "Messages.h"
#include "PagePreview.h"
#include "PrintJob.h"
#include "TestPage.h"

#include <QCoreApplication>
#include <QDir>
#include <QPrinter>
#include <QScopedValueRollback>

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
    ShowClickedOffHint();
}

void TMainForm::ShowClickedOffHint()
{
    ui->ClickedOffHint->setText(ClickedOffHint(CurrentPrintJobInputs()));
}

PrintJobInputs TMainForm::CurrentPrintJobInputs() const
{
    const SizeInputs size = CurrentSizeInputs();
    PrintJobInputs in;
    in.render = {size.pictureWidth, size.pictureHeight,    Geometry,
                 Options,           size.rightGluePercent, size.bottomGluePercent};
    in.order = ui->RadioButton1->isChecked() ? PrintOrder::RowPerRow : PrintOrder::ColumnPerColumn;
    in.choice = ui->RadioButton3->isChecked() ? PageChoice::AllPages : PageChoice::NotTheClickedOff;
    in.pagesOff = PageOffGrid;
    in.jpeg = CurrentJpeg;
    in.pageLabels = ui->LabelsCheck->isChecked();
    in.assemblySheet = ui->AssemblySheetCheck->isChecked();
    return in;
}

void TMainForm::PrintBtnClick()
{
    const PrintJobInputs in = CurrentPrintJobInputs();
    // No page would leave no document, and for a PDF file no file: say so rather than nothing.
    if (PagesToPrint(in).empty()) {
        ShowMessage(this, QStringLiteral("Every page is left out: nothing to print."),
                    QMessageBox::Information);
        return;
    }
    ui->PrintResultLabel->clear();
    ui->PrintResultLabel->setToolTip(QString());

    ui->ProgressBar1->setValue(0);
    ui->ProgressBar1->setMaximum(Geometry.PagesAcross * Geometry.PagesDown);
    PrinterPageSink sink(Printer->printer());
    // The window repaints while the pages go out, but takes no input: a second job or a quit
    // in the middle would break the one that runs.
    PrintResult result;
    {
        const QScopedValueRollback<bool> running(PrintJobRunning, true);
        result = PrintPoster(sink, CurrentPicture, in, [this](int visited, int /*total*/) {
            ui->ProgressBar1->setValue(visited);
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
    }
    ui->ProgressBar1->setValue(0);
    if (!result.ok()) {
        ShowError(this, result.error);
        return;
    }
    ShowWhereItWent(result);
}

QString TMainForm::WhereItWent(const PrintResult& result) const
{
    const QPrinter& printer = Printer->printer();
    QString where;
    if (Printer->isPdfFile())
        where = QDir::toNativeSeparators(printer.outputFileName());
    else if (result.jobId > 0)
        where = QStringLiteral("%1, job %2%3")
                    .arg(printer.printerName())
                    .arg(result.jobId)
                    .arg(result.queued ? QStringLiteral(" (queued: the printer is stopped)")
                                       : QString());
    else
        where = printer.printerName();
    return where;
}

void TMainForm::ShowWhereItWent(const PrintResult& result)
{
    const QString text = QStringLiteral("Sent to ") + WhereItWent(result);
    // A long path is cut in the middle; the whole of it is in the tooltip.
    ui->PrintResultLabel->setText(ui->PrintResultLabel->fontMetrics().elidedText(
        text, Qt::ElideMiddle, ui->PrintResultLabel->width()));
    ui->PrintResultLabel->setToolTip(text);
}

void TMainForm::RadioButton4Click() {}

void TMainForm::TestPageBtnClick()
{
    QPrinter& printer = Printer->printer();
    const QString posterFile = printer.outputFileName();
    const bool toFile = Printer->isPdfFile();
    if (toFile)
        printer.setOutputFileName(TestPagePathFor(posterFile));
    const PrinterMetrics m = Printer->metrics();
    PrintResult result;
    {
        const QScopedValueRollback<bool> running(PrintJobRunning, true);
        PrinterPageSink sink(printer);
        result = PrintTestPage(sink, m.dpiX, m.dpiY);
    }
    // Where it went, while the printer still names the test page's file.
    const QString where = result.ok() ? WhereItWent(result) : QString();
    if (toFile)
        printer.setOutputFileName(posterFile);
    if (!result.ok())
        ShowError(this, result.error);
    else
        ShowMessage(this, QStringLiteral("The test page was sent to %1.").arg(where),
                    QMessageBox::Information);
}
