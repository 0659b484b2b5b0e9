// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrintJob.h"

#include "CupsJob.h"
#include "FileName.h"
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "HelpLines.h"
#include "PageLabels.h"
#include "PdfDocument.h"
#include "ReplacingFile.h"
#include "Rounding.h"
#include "SmoothEnlarge.h"
#include "TestPage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <csignal>
#include <new>

namespace {
constexpr int kWholePercent = 100;

volatile std::sig_atomic_t g_stopRequested = 0;

QString QueueGoneText(const QPrinter& printer)
{
    return QCoreApplication::translate("PrintJob", "The printer \"%1\" is not available.")
        .arg(printer.printerName());
}

bool PrintsToFile(const QPrinter& printer)
{
    return printer.outputFormat() == QPrinter::PdfFormat;
}

// The choices of the printer set-up dialog that the document itself does not carry. The poster
// is printed at 100 %: its pages are already the paper's size, and in its orientation (asking
// for landscape as well would have the spooler turn the pages a second time).
CupsOptions JobOptions(const QPrinter& printer)
{
    CupsOptions options;
    options << qMakePair(QStringLiteral("copies"),
                         QString::number(std::max(1, printer.copyCount())))
            << qMakePair(QStringLiteral("media"), printer.pageLayout().pageSize().key())
            << qMakePair(QStringLiteral("print-scaling"), QStringLiteral("none"))
            << qMakePair(QStringLiteral("fit-to-page"), QStringLiteral("false"));
    switch (printer.duplex()) {
    case QPrinter::DuplexLongSide:
        options << qMakePair(QStringLiteral("sides"), QStringLiteral("two-sided-long-edge"));
        break;
    case QPrinter::DuplexShortSide:
        options << qMakePair(QStringLiteral("sides"), QStringLiteral("two-sided-short-edge"));
        break;
    default:
        options << qMakePair(QStringLiteral("sides"), QStringLiteral("one-sided"));
        break;
    }
    return options;
}
} // namespace

void RequestPrintStop()
{
    g_stopRequested = 1;
}

bool PrintStopRequested()
{
    return g_stopRequested != 0;
}

void ClearPrintStop()
{
    g_stopRequested = 0;
}

std::vector<std::pair<int, int>> PageOrder(PrintOrder order, int pagesAcross, int pagesDown)
{
    std::vector<std::pair<int, int>> pages;
    if (pagesAcross <= 0 || pagesDown <= 0)
        return pages;
    pages.reserve(size_t(pagesAcross) * size_t(pagesDown));
    if (order == PrintOrder::RowPerRow) {
        for (int c = 0; c < pagesAcross; ++c)
            for (int r = 0; r < pagesDown; ++r)
                pages.emplace_back(c, r);
    } else {
        for (int r = 0; r < pagesDown; ++r)
            for (int c = 0; c < pagesAcross; ++c)
                pages.emplace_back(c, r);
    }
    return pages;
}

QSize PictureAreaOf(QSize printable, const PrintOptions& options, int gx, int gy)
{
    const int g = options.GlueEdge ? 1 : 0;
    return QSize(RoundHalfEven(double(int64_t(kWholePercent - ConfineGluePercent(gx) * g) *
                                      printable.width()) /
                               kWholePercent),
                 RoundHalfEven(double(int64_t(kWholePercent - ConfineGluePercent(gy) * g) *
                                      printable.height()) /
                               kWholePercent));
}

PrinterPageSink::PrinterPageSink(QPrinter& printer) : printer_(printer) {}

PrinterPageSink::~PrinterPageSink()
{
    // A job that was not ended is given up: no half-made document is kept or sent.
    if (document_ || out_)
        Abort();
}

QSize PrinterPageSink::PrintableSize() const
{
    return printer_.pageLayout().paintRectPixels(printer_.resolution()).size();
}

void PrinterPageSink::SetDocName(const QString& name)
{
    docName_ = name;
    printer_.setDocName(name);
}

bool PrinterPageSink::Fail(const QString& error)
{
    error_ = error;
    return false;
}

PageCanvas* PrinterPageSink::BeginDocument()
{
    error_.clear();
    jobId_ = 0;
    queued_ = false;
    if (PrintsToFile(printer_)) {
        const QString target = printer_.outputFileName();
        if (target.isEmpty()) {
            Fail(QCoreApplication::translate("PrintJob", "No file name is set for the PDF file."));
            return nullptr;
        }
        // By the name's bytes; a device or a pipe is written straight to.
        auto file = std::make_unique<ReplacingFile>(FileNameBytes(target));
        if (!file->open()) {
            Fail(QCoreApplication::translate("PrintJob", "The PDF file could not be made: %1")
                     .arg(file->errorString()));
            return nullptr;
        }
        out_ = std::move(file);
    } else {
        // Asked of the scheduler with a timeout: Qt's own look-up waits as long as it hangs.
        const CupsLookup queue = LookUpCupsQueue(printer_.printerName());
        if (!queue.found) {
            Fail(queue.error.isEmpty() ? QueueGoneText(printer_) : queue.error);
            return nullptr;
        }
        auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() +
                                                     QStringLiteral("/velmora-poster-XXXXXX.pdf"));
        if (!file->open()) {
            Fail(QCoreApplication::translate(
                     "PrintJob", "The document could not be made in the temporary folder: %1")
                     .arg(file->errorString()));
            return nullptr;
        }
        spoolName_ = QFile::encodeName(file->fileName());
        RegisterUnfinishedFile(spoolName_);
        out_ = std::move(file);
    }

    const QPageLayout layout = printer_.pageLayout();
    const int dpi = printer_.resolution();
    PdfPageSetup setup;
    // The sheet to the hundredth of a point: Qt's own points are whole ones, and A4 would come
    // out 595 x 842, a sheet a tenth of a millimetre off.
    setup.paperPoints = layout.fullRect(QPageLayout::Millimeter).size() * (72.0 / 25.4);
    setup.dpi = dpi;
    setup.printableOrigin = layout.paintRectPixels(dpi).topLeft();
    document_ = std::make_unique<PdfDocument>(
        *out_, setup, docName_.isEmpty() ? QString::fromLatin1(kPosterDocName) : docName_);
    if (!document_->Begin()) {
        Fail(document_->ErrorText());
        return nullptr;
    }
    return document_.get();
}

bool PrinterPageSink::NewPage()
{
    if (!document_)
        return Fail(QCoreApplication::translate("PrintJob", "The document was not begun."));
    return document_->NewPage() || Fail(document_->ErrorText());
}

bool PrinterPageSink::FinishFile()
{
    // The stop is looked at once more just before the file takes the name.
    auto* file = static_cast<ReplacingFile*>(out_.get());
    if (!file->commit(&PrintStopRequested))
        return Fail(
            PrintStopRequested()
                ? QCoreApplication::translate("PrintJob", "The print job was interrupted.")
                : QCoreApplication::translate("PrintJob", "The PDF file could not be written: %1")
                      .arg(file->errorString()));
    out_.reset();
    return true;
}

bool PrinterPageSink::SendToQueue()
{
    auto* file = static_cast<QTemporaryFile*>(out_.get());
    if (!file->flush())
        return Fail(QCoreApplication::translate("PrintJob", "The document could not be written: %1")
                        .arg(file->errorString()));
    const CupsJobResult job =
        SubmitPdfToCups(printer_.printerName(), docName_, *file, JobOptions(printer_));
    out_.reset(); // the temporary file goes with it
    ForgetUnfinishedFile(spoolName_);
    if (!job.ok())
        return Fail(job.error);
    jobId_ = job.jobId;
    queued_ = job.queued;
    return true;
}

bool PrinterPageSink::EndDocument()
{
    if (!document_ || !out_)
        return Fail(QCoreApplication::translate("PrintJob", "The document was not begun."));
    if (!document_->Finish())
        return Fail(document_->ErrorText());
    document_.reset();
    if (PrintStopRequested())
        return Fail(QCoreApplication::translate("PrintJob", "The print job was interrupted."));
    return PrintsToFile(printer_) ? FinishFile() : SendToQueue();
}

void PrinterPageSink::Abort()
{
    document_.reset();
    out_.reset(); // a temporary file is removed with it; the old file of that name stays
    if (!spoolName_.isEmpty())
        ForgetUnfinishedFile(spoolName_);
}

QString PrinterPageSink::ErrorText() const
{
    return error_;
}

int PrinterPageSink::Dpi() const
{
    return printer_.resolution();
}

namespace {

// The assembly sheet's faint picture needs no more pixels than this on its longer side.
constexpr int kFaintPictureSide = 1600;

// Whether the pages show the picture larger than its pixels, across or down.
bool Enlarges(const std::vector<StretchRects>& shares)
{
    return std::any_of(shares.begin(), shares.end(), [](const StretchRects& r) {
        return r.destWidth > r.srcWidth || r.destHeight > r.srcHeight;
    });
}

// Output pixels a device pixel for a smooth poster: its resolution on paper over the device's.
double SmoothScale(const PageRenderInputs& render, const QSize& pictureArea, int dpi)
{
    const auto mm = [dpi](double pixels) { return pixels / std::max(dpi, 1) * 25.4; };
    const double widthMm = mm(render.geometry.PosterWidthPages * pictureArea.width());
    const double heightMm = mm(render.geometry.PosterHeightPages * pictureArea.height());
    return std::min(1.0, SmoothPixelsPerInch(widthMm, heightMm, dpi) / std::max(dpi, 1));
}

struct PlannedPage
{
    int column = 0;
    int row = 0;
    bool printed = false;
};

} // namespace

PrintResult PrintPoster(PageSink& sink, const PictureRecord& picture, const PrintJobInputs& in,
                        const std::function<void(int visited, int total)>& progress,
                        const std::function<void(PrintStep, double)>& step)
{
    PrintResult result;
    const PosterGeometry& g = in.render.geometry;
    const PrintOptions& o = in.render.options;
    const QSize dest = PictureAreaOf(sink.PrintableSize(), o, in.render.gx, in.render.gy);
    sink.SetDocName(QString::fromLatin1(kPosterDocName));

    auto fail = [&](QString error) {
        if (error.isEmpty())
            error = QCoreApplication::translate("PrintJob", "The printer reported an error.");
        result.error = error;
        sink.Abort();
        return result;
    };
    try {
        std::vector<PlannedPage> plan;
        std::vector<StretchRects> pictures; // the printed pages' pictures, in print order
        for (const auto& [column, row] : PageOrder(in.order, g.PagesAcross, g.PagesDown)) {
            const bool off = column < kPageGridSide && row < kPageGridSide &&
                             in.pagesOff[PageIndex(column, row)] != 0;
            const bool printed = in.choice == PageChoice::AllPages || !off;
            plan.push_back({column, row, printed});
            if (!printed)
                continue;
            if (const auto rects = PosterPageRects(in.render, column, row, 0, 0, dest.width(),
                                                   dest.height(), true))
                pictures.push_back(*rects);
        }
        const int total = int(plan.size());
        std::vector<std::pair<int, int>> leftOut;
        for (const PlannedPage& page : plan)
            if (!page.printed)
                leftOut.emplace_back(page.column, page.row);
        // Every printed page counts, also one without a share of the picture.
        const int printedPages = total - int(leftOut.size());
        const QSize printable = sink.PrintableSize();

        PageCanvas* canvas = nullptr;
        PosterSource source = in.source;
        PageRenderInputs render = in.render;
        // A smooth poster is resampled at a resolution picked from the device's and its size.
        const bool smoothed = render.smooth && !source.drawing() && Enlarges(pictures);
        if (smoothed)
            render.smoothScale = SmoothScale(render, dest, sink.Dpi());
        // Smoothing wins over printing a JPEG from its own data, and dots over a JPEG's data and
        // a drawing's vectors: they are made from the pixels.
        if ((smoothed && source.jpeg()) || (render.dots.valid() && !source.IsPixels())) {
            if (!picture.Bits) {
                result.needsPixels = true;
                return fail(QCoreApplication::translate(
                    "PrintJob", "The picture has to be decoded for this print."));
            }
            source = PosterSource();
        }
        // The document begins with the first page it holds, and the JPEG data is cut then.
        const auto begin = [&]() -> bool {
            canvas = sink.BeginDocument();
            const CutProgress cutting = [&step](double done) {
                if (step)
                    step(PrintStep::Beginning, done);
            };
            if (canvas && !source.IsPixels() &&
                !canvas->ExpectPictures(source, pictures, cutting)) {
                if (!picture.Bits) {
                    result.needsPixels = true;
                    return false;
                }
                source = PosterSource(); // drawn from the pixels instead
            }
            if (canvas && step)
                step(PrintStep::Beginning, 1.0);
            return canvas != nullptr;
        };
        const auto notBegun = [&] {
            return fail(result.needsPixels
                            ? QCoreApplication::translate(
                                  "PrintJob", "The JPEG data could not be cut into pages.")
                            : sink.ErrorText());
        };

        // The assembly sheet goes first, the faint picture under the grid of pages.
        if (in.assemblySheet && printedPages > 0) {
            if (!begin())
                return notBegun();
            const AssemblySheet sheet = AssemblySheetOf(in.render, printable, sink.Dpi(), leftOut);
            if (!sheet.faint.isEmpty()) {
                StretchRects r;
                r.destX = sheet.faint.x();
                r.destY = sheet.faint.y();
                r.destWidth = sheet.faint.width();
                r.destHeight = sheet.faint.height();
                r.srcWidth = source.width();
                r.srcHeight = source.height();
                // A drawing is drawn small from the same copy of its page that the sheets use.
                if (!canvas->DrawFaint(source, r)) {
                    const HeldPicture faint(FaintPosterPicture(picture, kFaintPictureSide));
                    if (faint) {
                        r.srcWidth = DIBWidth(faint.get());
                        r.srcHeight = DIBHeight(faint.get());
                        canvas->DrawPicture(faint.get(), PosterSource(), r, false);
                    }
                }
            }
            canvas->FillRuns(sheet.runs);
            canvas->DrawTexts(sheet.texts);
        }

        int visited = 0;
        int number = 0; // of the printed poster pages, in print order
        for (const PlannedPage& page : plan) {
            if (PrintStopRequested())
                return fail(
                    QCoreApplication::translate("PrintJob", "The print job was interrupted."));
            if (page.printed) {
                const bool started = canvas != nullptr;
                if (!started && !begin())
                    return notBegun();
                if (started && !sink.NewPage())
                    return fail(sink.ErrorText());
                RenderPosterPage(*canvas, picture, source, render, page.column, page.row, 0, 0,
                                 dest.width(), dest.height(), true, true);
                if (HasCutLines(o, page.column, page.row))
                    canvas->FillRuns(CutLineRuns(dest.width(), dest.height()));
                if (HasGlueLines(o, page.column, page.row, g.PagesAcross, g.PagesDown))
                    canvas->FillRuns(GlueLineRuns(dest.width(), dest.height()));
                ++number;
                if (in.pageLabels)
                    canvas->DrawTexts(PageLabelRuns(in.render, page.column, page.row, printable,
                                                    sink.Dpi(), number, printedPages));
                ++result.pagesPrinted;
            }
            ++visited;
            if (progress)
                progress(visited, total);
        }
        if (canvas && !sink.EndDocument())
            return fail(sink.ErrorText());
        if (canvas && step)
            step(PrintStep::Ending, 1.0);
    } catch (const std::bad_alloc&) {
        return fail(
            QCoreApplication::translate("PrintJob", "Not enough memory to print the poster."));
    }
    result.jobId = sink.JobId();
    result.queued = sink.JobQueued();
    return result;
}

std::vector<std::pair<int, int>> PagesToPrint(const PrintJobInputs& in)
{
    std::vector<std::pair<int, int>> pages;
    for (const auto& page :
         PageOrder(in.order, in.render.geometry.PagesAcross, in.render.geometry.PagesDown))
        if (in.choice == PageChoice::AllPages ||
            in.pagesOff[PageIndex(page.first, page.second)] == 0)
            pages.push_back(page);
    return pages;
}

QString ClickedOffHint(const PrintJobInputs& in)
{
    if (in.choice != PageChoice::AllPages)
        return QString();
    PrintJobInputs without = in;
    without.choice = PageChoice::NotTheClickedOff;
    const size_t off = PagesToPrint(in).size() - PagesToPrint(without).size();
    if (off == 0)
        return QString();
    return off == 1 ? QCoreApplication::translate("PrintJob",
                                                  "1 page clicked off prints too. To leave it out:")
                    : QCoreApplication::translate(
                          "PrintJob", "%1 pages clicked off print too. To leave them out:")
                          .arg(off);
}

PrintResult PrintTestPage(PageSink& sink, int32_t dpiX, int32_t dpiY)
{
    PrintResult result;
    sink.SetDocName(QString::fromLatin1(kTestPageDocName));
    const QSize printable = sink.PrintableSize();
    const TestPagePlan plan = TestPageOf(printable.width(), printable.height(), dpiX, dpiY);
    PageCanvas* canvas = plan.runs.empty() ? nullptr : sink.BeginDocument();
    if (canvas) {
        canvas->FillRuns(plan.runs);
        canvas->DrawTexts(plan.texts);
    }
    if (!canvas || !sink.EndDocument()) {
        result.error =
            sink.ErrorText().isEmpty()
                ? QCoreApplication::translate("PrintJob", "The printer reported an error.")
                : sink.ErrorText();
        sink.Abort();
        return result;
    }
    result.pagesPrinted = 1;
    result.jobId = sink.JobId();
    result.queued = sink.JobQueued();
    return result;
}
