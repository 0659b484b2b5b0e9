// SPDX-License-Identifier: GPL-3.0-or-later
// The printer every part of the program prints to and measures: the system's default printer,
// or a PDF file when the system has none.
#pragma once

#include <QString>

#include <chrono>
#include <memory>

#include "PrinterMetrics.h"

class QPrinter;

// Document and file name of the poster when it goes to a PDF file.
inline constexpr const char* kPosterDocumentName = "Kantelberg Poster";

// The PDF file is a device of this many pixels per inch, so that what the page plan draws in
// device pixels (the help lines, 2 pixels wide in dashes of 30) has the size on paper of a
// common office printer's. The tool can choose another within the range.
inline constexpr int kPdfFileDpi = 300;
inline constexpr int kPdfFileDpiMin = 150;
inline constexpr int kPdfFileDpiMax = 1200;

// Qt lists the printers through libcups without a time limit, and a scheduler that takes a
// connection but never answers would hold the window for good. The scheduler is asked on a
// timed connection of our own first, for at most this long.
inline constexpr std::chrono::milliseconds kSchedulerLookTimeout{5000};

// Empty when the print scheduler answers within `wait` (or the CUPS timeout when that is
// shorter), or is not there at all; otherwise why it can't be asked for its printers. A wait of
// 0 asks nothing: the caller has just had an answer.
QString SilentScheduler(std::chrono::milliseconds wait = kSchedulerLookTimeout);

class CurrentPrinter
{
public:
    enum class Start
    {
        SystemDefault, // the default printer, else the first one, else the PDF file
        PdfFile        // the PDF file, whatever the system offers
    };

    // With the system's default, the scheduler is first asked for as long as `wait` allows
    // (SilentScheduler); when it is silent, the PDF file is used and passedOver() says why.
    explicit CurrentPrinter(Start start = Start::SystemDefault,
                            std::chrono::milliseconds wait = kSchedulerLookTimeout);
    ~CurrentPrinter();
    CurrentPrinter(const CurrentPrinter&) = delete;
    CurrentPrinter& operator=(const CurrentPrinter&) = delete;

    // For the printer set-up dialog and the print job; changes made there stay in force.
    QPrinter& printer() { return *printer_; }
    const QPrinter& printer() const { return *printer_; }

    // Why the system's printers were passed over for the PDF file: the scheduler did not answer.
    // Empty when they were asked.
    QString passedOver() const { return passedOver_; }

    // False when not even the PDF file could be set up.
    bool isUsable() const;
    bool isPdfFile() const;

    // Read fresh on every call; invalid when the printer is not usable.
    PrinterMetrics metrics() const;

    // The line on the "Options" page naming where the poster goes: "Printer: QUEUE" or
    // "PDF file: PATH".
    QString description() const;
    // The same without the word for a queue: "QUEUE" or "PDF file: PATH".
    QString destination() const;

    // Where the PDF file goes by default: the user's documents folder, or the home folder when
    // there is none.
    static QString DefaultPdfPath();

    // What the printer set-up can change, from one printer to another: where the pages go
    // (queue or PDF file), paper and orientation, copies and resolution.
    static void CopySettings(const QPrinter& from, QPrinter& to);

private:
    void UsePdfFile();

    std::unique_ptr<QPrinter> printer_;
    QString passedOver_;
};
