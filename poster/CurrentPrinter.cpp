// SPDX-License-Identifier: GPL-3.0-or-later
#include "CurrentPrinter.h"

#include <QDir>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

CurrentPrinter::CurrentPrinter(Start start)
    : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    if (start == Start::SystemDefault) {
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
        return QStringLiteral("No printer available");
    if (isPdfFile())
        return QStringLiteral("PDF file: ") + QDir::toNativeSeparators(printer_->outputFileName());
    return printer_->printerName();
}

QString CurrentPrinter::description() const
{
    if (isUsable() && !isPdfFile())
        return QStringLiteral("Printer: ") + destination();
    return destination();
}
