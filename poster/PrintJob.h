// SPDX-License-Identifier: GPL-3.0-or-later
// The print job: visiting the pages in the chosen order, one printer page per printed poster
// page with its help lines, the document begun only at the first printed page.
#pragma once

#include "PageCanvas.h"
#include "PageRender.h"
#include "PosterTypes.h"

#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class PdfDocument;
class QIODevice;
class QPrinter;
struct PictureRecord;

// Asks the running print job to stop: it ends at its next page or write, as after a failure,
// with nothing half-made left behind. Safe to call from a signal handler.
void RequestPrintStop();
bool PrintStopRequested();
// For the next job.
void ClearPrintStop();

enum class PrintOrder
{
    RowPerRow,       // "Row per row from the top to the bottom": down each column in turn
    ColumnPerColumn, // "Column per column from left to the right": along each row in turn
};

enum class PageChoice
{
    AllPages,         // "All pages"
    NotTheClickedOff, // "Not the pages which are clicked off"
};

std::vector<std::pair<int, int>> PageOrder(PrintOrder order, int pagesAcross, int pagesDown);

// Round((100 - g * GlueEdge) * printable / 100): the picture area of each printed page.
QSize PictureAreaOf(QSize printable, const PrintOptions& options, int gx, int gy);

// Where the pages go. The printer one is below; tests use their own.
class PageSink
{
public:
    virtual ~PageSink() = default;
    virtual QSize PrintableSize() const = 0; // device pixels of the printable area
    virtual void SetDocName(const QString& name) = 0;
    virtual PageCanvas* BeginDocument() = 0; // nullptr when the document can't be begun
    virtual bool NewPage() = 0;
    virtual bool EndDocument() = 0;
    virtual void Abort() = 0; // after a failure: nothing half-written is to stay behind
    virtual QString ErrorText() const = 0;
    // After EndDocument: the spooler's job, 0 for none (a file).
    virtual int JobId() const { return 0; }
    // After EndDocument: the job waits in a stopped queue.
    virtual bool JobQueued() const { return false; }
    // Device pixels per inch; 0 when not known, and the pages then carry no sizes.
    virtual int Dpi() const { return 0; }
};

// The poster document for the printer's settings (paper, margins, resolution, copies). For a
// PDF file it is written under a temporary name beside the file and renamed over it only when
// complete; a device is written straight to. For a printer queue it is made in the temporary
// folder and handed to CUPS whole, with CUPS's answer read.
class PrinterPageSink : public PageSink
{
public:
    explicit PrinterPageSink(QPrinter& printer);
    ~PrinterPageSink() override;
    QSize PrintableSize() const override;
    void SetDocName(const QString& name) override;
    PageCanvas* BeginDocument() override;
    bool NewPage() override;
    bool EndDocument() override;
    void Abort() override;
    QString ErrorText() const override;
    int JobId() const override { return jobId_; }
    bool JobQueued() const override { return queued_; }
    int Dpi() const override;

private:
    bool Fail(const QString& error);
    bool FinishFile();
    bool SendToQueue();

    QPrinter& printer_;
    QString docName_;
    std::unique_ptr<QIODevice> out_;
    std::unique_ptr<PdfDocument> document_;
    QString error_;
    int jobId_ = 0;
    bool queued_ = false;
    QByteArray spoolName_; // a queue's document in the temporary folder
};

struct PrintJobInputs
{
    PageRenderInputs render; // picture size, geometry, options, glue percentages
    PrintOrder order = PrintOrder::RowPerRow;
    PageChoice choice = PageChoice::AllPages;
    PageGrid pagesOff{};
    // What the document may draw instead of the pixels, under the same edits; the picture
    // itself may then have no pixels.
    PosterSource source;
    // Additions to the pages: each page's label where the glued poster hides it, and an
    // assembly sheet before the first page.
    bool pageLabels = false;
    bool assemblySheet = false;
};

struct PrintResult
{
    int pagesPrinted = 0;
    QString error;       // empty when the job went through
    int jobId = 0;       // the spooler's job, 0 for a file
    bool queued = false; // the job waits in a stopped queue
    // The picture had no pixels and its JPEG data could not be cut into pages: it has to be
    // decoded and the job run again.
    bool needsPixels = false;

    bool ok() const { return error.isEmpty(); }
};

inline const char* const kPosterDocName = "Kantelberg Poster";

// The steps of a job besides its pages, for a progress display that counts them too, each with
// how far it is (0 to 1; 1 once done): the document's beginning, when a JPEG's data are cut into
// the pages' parts, and its end (written out, or handed to the printer's queue).
enum class PrintStep
{
    Beginning,
    Ending,
};

PrintResult PrintPoster(PageSink& sink, const PictureRecord& picture, const PrintJobInputs& in,
                        const std::function<void(int visited, int total)>& progress,
                        const std::function<void(PrintStep, double done)>& step = {});

// The poster pages the job prints, in print order.
std::vector<std::pair<int, int>> PagesToPrint(const PrintJobInputs& in);

// The line beside "All pages" while that choice prints pages that are clicked off in the
// preview: how many, and how to leave them out. Empty when no clicked-off page would print.
QString ClickedOffHint(const PrintJobInputs& in);

// The scale check, one sheet, on the sink's paper at the printer's resolution.
PrintResult PrintTestPage(PageSink& sink, int32_t dpiX, int32_t dpiY);
