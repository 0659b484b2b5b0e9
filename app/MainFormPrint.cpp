// SPDX-License-Identifier: GPL-3.0-or-later
// The page preview with its switched-off pages, and the print job.
#include "MainForm.h"
#include "ui_MainForm.h"

#include "FileName.h"
#include "Messages.h"
#include "PagePreview.h"
#include "PrintJob.h"
#include "TestPage.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPrinter>
#include <QProgressBar>
#include <QScopedValueRollback>
#include <QtConcurrent/QtConcurrentRun>

void TMainForm::VorschauBoxPaint(QPainter& Canvas)
{
    const SizeInputs in = CurrentSizeInputs();
    PaintPreview(Canvas, ui->VorschauBox->width(), ui->VorschauBox->height(), in.pageWidth,
                 in.pageHeight, Options, in.rightGluePercent, in.bottomGluePercent, Geometry,
                 PageOffGrid, CurrentPicture, CurrentRenderInputs());
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
    PrintJobInputs in;
    in.render = CurrentRenderInputs();
    in.order = ui->RadioButton1->isChecked() ? PrintOrder::RowPerRow : PrintOrder::ColumnPerColumn;
    in.choice = ui->RadioButton3->isChecked() ? PageChoice::AllPages : PageChoice::NotTheClickedOff;
    in.pagesOff = PageOffGrid;
    in.source = CurrentSource;
    in.pageLabels = ui->LabelsCheck->isChecked();
    in.assemblySheet = ui->AssemblySheetCheck->isChecked();
    return in;
}

void TMainForm::PrintBtnClick()
{
    const PrintJobInputs in = CurrentPrintJobInputs();
    // No page would leave no document, and for a PDF file no file: say so rather than nothing.
    if (PagesToPrint(in).empty()) {
        ShowMessage(this, tr("Every page is left out: nothing to print."),
                    QMessageBox::Information);
        return;
    }
    ui->PrintResultLabel->clear();
    ui->PrintResultLabel->setToolTip(QString());
    FollowedJob = 0; // the label no longer shows it

    // Every page visited is a step of the bar, and so are the document's beginning and its end
    // (the file written, or handed to the queue). Cutting a JPEG's data into the pages' parts
    // at the beginning takes longer than the pages themselves: it counts as many steps as they
    // do. A step is ten units, for the cut's progress.
    constexpr int kUnits = 10;
    const int pages = Geometry.PagesAcross * Geometry.PagesDown;
    const int beginning = in.source.jpeg() ? pages : 1;
    const int steps = beginning + pages + 1;
    ui->ProgressBar1->setValue(0);
    ui->ProgressBar1->setMaximum(steps * kUnits);
    QProgressBar* const bar = ui->ProgressBar1;
    const auto show = [bar](int value) {
        QMetaObject::invokeMethod(
            bar, [bar, value] { bar->setValue(value); }, Qt::QueuedConnection);
    };
    QPrinter& printer = Printer->printer();
    const QByteArray server = CupsServerOfThisThread();
    const PictureRecord& picture = CurrentPicture;
    PrintResult result;
    RunAsJob([&] {
        // The job thread asks the scheduler the window asks.
        UseCupsServer(server);
        int begun = 0; // units of the beginning
        int shown = 0; // the bar only moves on
        const auto showAtLeast = [&](int units) {
            if (units > shown)
                show(shown = units);
        };
        PrinterPageSink sink(printer);
        result = PrintPoster(
            sink, picture, in,
            [&](int visited, int /*total*/) { showAtLeast(begun + visited * kUnits); },
            [&](PrintStep step, double done) {
                if (step == PrintStep::Ending)
                    showAtLeast(steps * kUnits);
                else
                    showAtLeast(begun = std::max(begun, int(done * beginning * kUnits)));
            });
    });
    ui->ProgressBar1->setValue(0);
    if (!result.ok()) {
        ShowError(this, result.error);
        return;
    }
    ShowWhereItWent(result);
}

namespace {

// A look at a job must not hold the window long when the scheduler hangs.
constexpr auto kJobLookTimeout = std::chrono::seconds(5);
constexpr int kJobLookIntervalMs = 1000;

void ShowResultText(QLabel& label, const QString& text)
{
    // A long path is cut in the middle; the whole of it is in the tooltip.
    label.setText(label.fontMetrics().elidedText(text, Qt::ElideMiddle, label.width()));
    label.setToolTip(text);
}

} // namespace

QString TMainForm::WhereItWent(const PrintResult& result) const
{
    const QPrinter& printer = Printer->printer();
    QString where;
    if (Printer->isPdfFile())
        where = FileNameText(printer.outputFileName());
    else if (result.jobId > 0)
        where = tr("%1, job %2").arg(printer.printerName()).arg(result.jobId);
    else
        where = printer.printerName();
    return where;
}

void TMainForm::ShowWhereItWent(const PrintResult& result)
{
    const QString where = WhereItWent(result);
    QString text = tr("Sent to %1").arg(where);
    // Handed to CUPS is not printed: the job is followed while the label shows it.
    if (!Printer->isPdfFile() && result.jobId > 0) {
        text += result.queued ? tr(" (queued: the printer is stopped)") : tr(" (queued)");
        FollowedJob = result.jobId;
        FollowedWhere = where;
        FollowedServer = CupsServerOfThisThread();
        LookAtFollowedJob();
    }
    ShowResultText(*ui->PrintResultLabel, text);
}

void TMainForm::LookAtFollowedJob()
{
    // A look still on its way is awaited; its answer asks for the next.
    if (FollowedJob <= 0 || JobLook.isRunning())
        return;
    const int job = FollowedJob;
    JobLook.setFuture(QtConcurrent::run([job, server = FollowedServer] {
        CupsJobState state = QueryCupsJob(job, kJobLookTimeout, server);
        state.jobId = job;
        return state;
    }));
}

void TMainForm::ShowFollowedJob(const CupsJobState& state)
{
    if (FollowedJob <= 0)
        return;
    // A job the label no longer shows: the one it shows now is looked at.
    if (state.jobId != FollowedJob) {
        LookAtFollowedJob();
        return;
    }
    if (state.ended()) {
        FollowedJob = 0;
        ShowResultText(
            *ui->PrintResultLabel,
            state.stage == CupsJobState::Stage::Completed
                ? tr("Printed on %1: %2").arg(FollowedWhere, CupsJobStateText(state))
                : tr("Not printed on %1: %2").arg(FollowedWhere, CupsJobStateText(state)));
        return;
    }
    JobFollowTimer.start(kJobLookIntervalMs);
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
        const QScopedValueRollback<bool> running(JobRunning, true);
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
        ShowMessage(this, tr("The test page was sent to %1.").arg(where), QMessageBox::Information);
}
