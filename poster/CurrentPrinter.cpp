// SPDX-License-Identifier: GPL-3.0-or-later
#include "CurrentPrinter.h"

#include "CupsJob.h"

#include <QCoreApplication>
#include <QDir>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

#include <cups/cups.h>

QString SilentScheduler(std::chrono::milliseconds wait)
{
    if (wait.count() <= 0)
        return {};
    const CupsLookup look = LookUpCupsQueue(QString(), std::min(CupsTimeout(), wait));
    return look.timedOut ? look.error : QString();
}

namespace {

// While it lives, this thread's libcups is pointed at a scheduler that isn't there. A QPrinter
// asks the scheduler for the default printer as it is made, and Qt's look-ups have no time
// limit: against a silent scheduler they hold the program for minutes, where no scheduler at
// all is told at once.
class NoSchedulerHere
{
public:
    NoSchedulerHere() : before_(cupsServer()) { cupsSetServer("/nonexistent/velmora-no-cups"); }
    ~NoSchedulerHere() { cupsSetServer(before_.constData()); }
    NoSchedulerHere(const NoSchedulerHere&) = delete;
    NoSchedulerHere& operator=(const NoSchedulerHere&) = delete;

private:
    QByteArray before_;
};

} // namespace

CurrentPrinter::CurrentPrinter(Start start, std::chrono::milliseconds wait)
{
    if (start == Start::SystemDefault)
        passedOver_ = SilentScheduler(wait);
    if (start == Start::PdfFile || !passedOver_.isEmpty()) {
        // The PDF file needs nothing of the scheduler.
        const NoSchedulerHere none;
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        UsePdfFile();
        return;
    }
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        const QList<QPrinterInfo> all = QPrinterInfo::availablePrinters();
        if (!all.isEmpty())
            info = all.first();
    }
    if (!info.isNull()) {
        printer_->setPrinterName(info.printerName());
        if (printer_->outputFormat() == QPrinter::NativeFormat && printer_->isValid())
            return;
    }
    UsePdfFile();
}

CurrentPrinter::~CurrentPrinter() = default;

void CurrentPrinter::UsePdfFile()
{
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setResolution(kPdfFileDpi);
    printer_->setPageSize(QPageSize(QPageSize::A4));
    printer_->setPageOrientation(QPageLayout::Portrait);
    printer_->setOutputFileName(DefaultPdfPath());
    printer_->setDocName(QString::fromLatin1(kPosterDocumentName));
}

void CurrentPrinter::CopySettings(const QPrinter& from, QPrinter& to)
{
    // Where first: naming a queue puts its own paper in place, which the layout then replaces.
    if (from.outputFormat() == QPrinter::PdfFormat) {
        to.setOutputFormat(QPrinter::PdfFormat);
        to.setOutputFileName(from.outputFileName());
    } else {
        to.setOutputFileName(QString());
        to.setPrinterName(from.printerName());
    }
    to.setResolution(from.resolution());
    to.setPageLayout(from.pageLayout());
    to.setCopyCount(from.copyCount());
    to.setDocName(from.docName());
}

QString CurrentPrinter::DefaultPdfPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // A documents folder that is only a name would make the print job fail at its first page.
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return QDir(folder).filePath(QString::fromLatin1(kPosterDocumentName) + QStringLiteral(".pdf"));
}

bool CurrentPrinter::isUsable() const
{
    return printer_->isValid();
}

bool CurrentPrinter::isPdfFile() const
{
    return printer_->outputFormat() == QPrinter::PdfFormat;
}

PrinterMetrics CurrentPrinter::metrics() const
{
    if (!isUsable())
        return {};
    return MetricsOf(*printer_);
}

QString CurrentPrinter::destination() const
{
    if (!isUsable())
        return QCoreApplication::translate("CurrentPrinter", "No printer available");
    if (isPdfFile())
        return QCoreApplication::translate("CurrentPrinter", "PDF file: ") +
               QDir::toNativeSeparators(printer_->outputFileName());
    return printer_->printerName();
}

QString CurrentPrinter::description() const
{
    if (isUsable() && !isPdfFile())
        return QCoreApplication::translate("CurrentPrinter", "Printer: ") + destination();
    return destination();
}
