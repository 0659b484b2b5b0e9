// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrinterSetup.h"

#include "CurrentPrinter.h"
#include "Messages.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>

bool RunPrinterSetup(CurrentPrinter& printer, QWidget* parent)
{
    // Qt's dialog lists the printers without a time limit: a silent scheduler is told instead.
    if (const QString silent = SilentScheduler(); !silent.isEmpty()) {
        ShowMessage(parent,
                    QCoreApplication::translate(
                        "PrinterSetup", "The printers could not be listed: %1. Try again when the "
                                        "printing system answers.")
                        .arg(silent),
                    QMessageBox::Warning, QMessageBox::Ok,
                    QCoreApplication::translate("PrinterSetup", "Printer setup"));
        return false;
    }
    // The dialog works on a copy: Qt's dialog writes into its printer as it starts, and only
    // an accepted set-up is to reach the printer in use.
    QPrinter copy(QPrinter::HighResolution);
    CurrentPrinter::CopySettings(printer.printer(), copy);
    QPrintDialog dialog(&copy, parent);
    dialog.setObjectName(QStringLiteral("PrinterSetupDialog"));
    dialog.setWindowTitle(QCoreApplication::translate("PrinterSetup", "Printer setup"));
    // Only what the job honours: the printer or file, paper and orientation, copies.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    // A set-up, not a print: its button says so.
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>())
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok))
            ok->setText(QStringLiteral("OK"));
    // Beside a default queue, Qt's dialog switches its printer to that queue as it is made,
    // even one that prints to a file, and OK would then print there. The printer's own
    // settings go back into the copy, and the dialog is shown on its file entry, the last.
    if (printer.isPdfFile()) {
        CurrentPrinter::CopySettings(printer.printer(), copy);
        // Showing the dialog chooses its entry once more: the file is chosen once it shows.
        QTimer::singleShot(0, &dialog, [&dialog, file = copy.outputFileName()] {
            if (auto* printers = dialog.findChild<QComboBox*>(QStringLiteral("printers")))
                printers->setCurrentIndex(printers->count() - 1);
            if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("filename")))
                name->setText(file);
        });
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    // The dialog offers no resolution for a file: one chosen in place of a queue is the PDF
    // file's own, not the queue's.
    if (copy.outputFormat() == QPrinter::PdfFormat && !printer.isPdfFile())
        copy.setResolution(kPdfFileDpi);
    CurrentPrinter::CopySettings(copy, printer.printer());
    return true;
}
