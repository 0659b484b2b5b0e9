#include "PrintJob.h"

#include "HelpLines.h"
#include "Rounding.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace {
constexpr int kWholePercent = 100;

// The PDF writer does not notice a write that fails (a full disk, a file size limit). Its last
// act is the "%%EOF" trailer, so a file that does not end with it was cut short. Only a plain
// file can be read back; a device or a pipe is taken as written.
bool PdfFileComplete(const QString& path)
{
    constexpr qint64 kTrailerBytes = 32;
    if (!QFileInfo(path).isFile())
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() > kTrailerBytes && !file.seek(file.size() - kTrailerBytes))
        return false;
    return file.readAll().contains("%%EOF");
}

// Qt hands the finished document to the spooler without looking at its answer, so a queue
// that has gone meanwhile would swallow the poster without a word. The spooler is asked
// whether the queue is still there.
bool SpoolerQueueGone(const QPrinter& printer)
{
    return printer.outputFormat() == QPrinter::NativeFormat &&
           QPrinterInfo::printerInfo(printer.printerName()).isNull();
}

QString QueueGoneText(const QPrinter& printer)
{
    return QStringLiteral("The printer \"%1\" is not available.").arg(printer.printerName());
}
} // namespace

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
    if (painter_) {
        painter_->end();
        delete painter_;
    }
}

QSize PrinterPageSink::PrintableSize() const
{
    return printer_.pageLayout().paintRectPixels(printer_.resolution()).size();
}

void PrinterPageSink::SetDocName(const QString& name)
{
    printer_.setDocName(name);
}

QPainter* PrinterPageSink::BeginDocument()
{
    if (SpoolerQueueGone(printer_)) {
        error_ = QueueGoneText(printer_);
        return nullptr;
    }
    auto* painter = new QPainter;
    if (!painter->begin(&printer_) || printer_.printerState() == QPrinter::Error) {
        delete painter;
        error_ = QStringLiteral("The printer refused to begin the document.");
        return nullptr;
    }
    painter_ = painter;
    begun_ = true;
    return painter_;
}

bool PrinterPageSink::NewPage()
{
    if (!printer_.newPage() || printer_.printerState() == QPrinter::Error) {
        error_ = QStringLiteral("The printer refused a new page.");
        return false;
    }
    return true;
}

bool PrinterPageSink::EndDocument()
{
    const bool ok = painter_ && painter_->end() && printer_.printerState() != QPrinter::Error;
    delete painter_;
    painter_ = nullptr;
    if (!ok) {
        error_ = QStringLiteral("The printer could not finish the document.");
        return false;
    }
    if (SpoolerQueueGone(printer_)) {
        error_ = QueueGoneText(printer_) + QStringLiteral(" The poster was not printed.");
        return false;
    }
    if (printer_.outputFormat() == QPrinter::PdfFormat && !printer_.outputFileName().isEmpty() &&
        !PdfFileComplete(printer_.outputFileName())) {
        error_ =
            QStringLiteral("The PDF file could not be written completely (is the disk full?).");
        return false;
    }
    return true;
}

void PrinterPageSink::Abort()
{
    printer_.abort();
    if (painter_) {
        painter_->end();
        delete painter_;
        painter_ = nullptr;
    }
    // A PDF writer has no spooler to cancel; the truncated file is removed instead. Only a
    // file this job has opened is its own: when the document could not even be begun, the
    // name may belong to someone else's file, and a device or a link is never removed.
    const QString file = printer_.outputFileName();
    const QFileInfo info(file);
    if (begun_ && printer_.outputFormat() == QPrinter::PdfFormat && !file.isEmpty() &&
        info.isFile() && !info.isSymLink())
        QFile::remove(file);
}

QString PrinterPageSink::ErrorText() const
{
    return error_;
}

PrintResult PrintPoster(PageSink& sink, const PictureRecord& picture, const PrintJobInputs& in,
                        const std::function<void(int visited, int total)>& progress)
{
    PrintResult result;
    const PosterGeometry& g = in.render.geometry;
    const PrintOptions& o = in.render.options;
    const auto pages = PageOrder(in.order, g.PagesAcross, g.PagesDown);
    const int total = int(pages.size());
    const QSize dest = PictureAreaOf(sink.PrintableSize(), o, in.render.gx, in.render.gy);
    sink.SetDocName(QString::fromLatin1(kPosterDocName));

    QPainter* painter = nullptr;
    int visited = 0;
    for (const auto& [column, row] : pages) {
        const bool off = column < kPageGridSide && row < kPageGridSide &&
                         in.pagesOff[PageIndex(column, row)] != 0;
        if (in.choice == PageChoice::AllPages || !off) {
            const bool started = painter != nullptr;
            if (!started)
                painter = sink.BeginDocument();
            if (!painter || (started && !sink.NewPage())) {
                result.error = sink.ErrorText();
                if (result.error.isEmpty())
                    result.error = QStringLiteral("The printer reported an error.");
                sink.Abort();
                return result;
            }
            RenderPosterPage(painter, picture, in.render, column, row, 0, 0, dest.width(),
                             dest.height(), true, true);
            if (HasCutLines(o, column, row))
                DrawLineRuns(*painter, CutLineRuns(dest.width(), dest.height()));
            if (HasGlueLines(o, column, row, g.PagesAcross, g.PagesDown))
                DrawLineRuns(*painter, GlueLineRuns(dest.width(), dest.height()));
            ++result.pagesPrinted;
        }
        ++visited;
        if (progress)
            progress(visited, total);
    }
    if (painter && !sink.EndDocument()) {
        result.error = sink.ErrorText();
        sink.Abort();
    }
    return result;
}
