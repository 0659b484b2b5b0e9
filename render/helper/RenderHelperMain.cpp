// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-render-helper: renders one PDF page, or turns one SVG or SVGZ file into a one-page
// PDF, for the drawing renderer, and ends. It is the only process that runs poppler and librsvg
// on a file, so that a file that crashes or hangs them costs this process only. The request
// comes over the socket at descriptor 3, the file as a sealed memory file at descriptor 4.
#include "RenderProtocol.h"

#include <poppler-qt6.h>

#include <QImage>
#include <QtGlobal>

#include <cairo-pdf.h>
#include <cairo.h>
#include <librsvg/rsvg.h>

#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

using namespace renderwire;

namespace {

// Stripes of about this many bytes are rendered at a time, so that the helper holds a stripe,
// not the whole part, beside the document.
constexpr int64_t kStripeBytes = int64_t(16) << 20;
// Above any page a window or a poster asks for; it keeps the resolutions poppler is given sane.
constexpr int32_t kMaxSidePx = 1 << 20;
// The libraries' own start-up needs this much beside what the caller allows for the work.
constexpr uint64_t kLeastMemory = uint64_t(256) << 20;

// Sends the whole message; the helper has nothing else to do, so it waits. False when the
// library is gone.
bool Send(const QByteArray& bytes)
{
    return helperwire::SendWhole(kSocketFd, bytes, true);
}

// The text in English, marked for the library's translation, and what fills its placeholders.
bool Fail(const char* text, const QStringList& details = {})
{
    const QByteArray payload = EncodeFailure(text, details);
    Send(Encode(Message::Failure, payload.constData(), size_t(payload.size())));
    return false;
}

// Reads the one request; false when none whole came.
bool ReceiveRequest(uint32_t* type, QByteArray* payload)
{
    MessageReader reader;
    return helperwire::ReadMessage(kSocketFd, &reader, type, payload) == helperwire::Read::Whole;
}

// Holds the address space to what is in use now plus the caller's allowance, so that a file
// that makes the libraries allocate without end fails here instead of taking the machine.
void LimitMemory(uint64_t allowance)
{
    unsigned long long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%llu", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    const uint64_t inUse = uint64_t(pages) * uint64_t(sysconf(_SC_PAGESIZE));
    rlimit limit = {};
    if (getrlimit(RLIMIT_AS, &limit) != 0)
        return;
    const uint64_t wanted = inUse + std::max(allowance, kLeastMemory);
    if (limit.rlim_max != RLIM_INFINITY && wanted > uint64_t(limit.rlim_max))
        return;
    limit.rlim_cur = rlim_t(wanted);
    setrlimit(RLIMIT_AS, &limit);
}

// The document: the sealed memory file, mapped, so that it is never copied here.
QByteArray MapDocument()
{
    struct stat info = {};
    if (fstat(kDocumentFd, &info) != 0 || info.st_size <= 0)
        return {};
    void* data = mmap(nullptr, size_t(info.st_size), PROT_READ, MAP_PRIVATE, kDocumentFd, 0);
    if (data == MAP_FAILED)
        return {};
    return QByteArray::fromRawData(static_cast<const char*>(data), qsizetype(info.st_size));
}

// Sends bytes as Data pieces.
class DataSender
{
public:
    bool Add(const char* data, size_t size)
    {
        while (size > 0) {
            const size_t n = std::min<size_t>(size, kDataPiece - size_t(piece_.size()));
            piece_.append(data, qsizetype(n));
            data += n;
            size -= n;
            if (size_t(piece_.size()) == kDataPiece && !Flush())
                return false;
        }
        return true;
    }
    bool Flush()
    {
        if (piece_.isEmpty())
            return true;
        const bool sent = Send(Encode(Message::Data, piece_.constData(), size_t(piece_.size())));
        piece_.clear();
        return sent;
    }

private:
    QByteArray piece_;
};

bool RenderPage(const RenderRequest& r, const QByteArray& document)
{
    if (r.widthPx <= 0 || r.heightPx <= 0 || r.widthPx > kMaxSidePx || r.heightPx > kMaxSidePx)
        return Fail(QT_TRANSLATE_NOOP("RenderFailure",
                                      "The page size of %1 x %2 pixels can't be rendered."),
                    {QString::number(r.widthPx), QString::number(r.heightPx)});
    if (r.w <= 0 || r.h <= 0 || r.x < 0 || r.y < 0 || r.w > r.widthPx - r.x ||
        r.h > r.heightPx - r.y)
        return Fail(
            QT_TRANSLATE_NOOP("RenderFailure", "The part to render lies outside the page."));
    if (int64_t(r.w) * r.h > r.maxPixels)
        return Fail(
            QT_TRANSLATE_NOOP("RenderFailure",
                              "A rendering of %1 x %2 pixels is larger than a picture may be."),
            {QString::number(r.w), QString::number(r.h)});
    LimitMemory(r.memoryLimit);

    std::unique_ptr<Poppler::Document> pdf = Poppler::Document::loadFromData(document);
    if (!pdf)
        return Fail(
            QT_TRANSLATE_NOOP("RenderFailure", "The PDF file is damaged or is not a PDF file."));
    if (pdf->isLocked())
        return Fail(QT_TRANSLATE_NOOP("RenderFailure", "The PDF file needs a password."));
    if (r.pageIndex < 0 || r.pageIndex >= pdf->numPages())
        return Fail(QT_TRANSLATE_NOOP("RenderFailure", "The PDF file has no page %1 (it has %2)."),
                    {QString::number(int64_t(r.pageIndex) + 1), QString::number(pdf->numPages())});
    pdf->setRenderHint(Poppler::Document::Antialiasing, true);
    pdf->setRenderHint(Poppler::Document::TextAntialiasing, true);
    pdf->setPaperColor(Qt::white);
    std::unique_ptr<Poppler::Page> page = pdf->page(r.pageIndex);
    // The size as the page shows, its rotation applied.
    const QSizeF points = page ? page->pageSizeF() : QSizeF();
    if (!page || !(points.width() > 0) || !(points.height() > 0))
        return Fail(QT_TRANSLATE_NOOP("RenderFailure", "The PDF file's page %1 is damaged."),
                    {QString::number(r.pageIndex + 1)});
    const double xres = r.widthPx * 72.0 / points.width();
    const double yres = r.heightPx * 72.0 / points.height();

    const ImageSize size{r.w, r.h};
    if (!Send(Encode(Message::ImageBegin, size)))
        return false;
    DataSender sender;
    const int32_t stripe = int32_t(std::clamp<int64_t>(kStripeBytes / (int64_t(r.w) * 4), 1, r.h));
    for (int32_t top = 0; top < r.h; top += stripe) {
        const int32_t rows = std::min(stripe, r.h - top);
        QImage image = page->renderToImage(xres, yres, r.x, r.y + top, r.w, rows);
        if (!image.isNull())
            image = image.convertToFormat(QImage::Format_BGR888);
        if (image.isNull() || image.width() != r.w || image.height() != rows)
            return Fail(
                QT_TRANSLATE_NOOP("RenderFailure", "The PDF file's page %1 could not be rendered."),
                {QString::number(r.pageIndex + 1)});
        for (int32_t y = 0; y < rows; ++y)
            if (!sender.Add(reinterpret_cast<const char*>(image.constScanLine(y)), size_t(r.w) * 3))
                return false;
    }
    return sender.Flush() && Send(Encode(Message::Done, nullptr, 0));
}

struct PdfOutput
{
    QByteArray bytes;
    uint64_t limit = 0;
};

cairo_status_t WritePdf(void* closure, const unsigned char* data, unsigned int length)
{
    auto* out = static_cast<PdfOutput*>(closure);
    if (uint64_t(out->bytes.size()) + length > out->limit)
        return CAIRO_STATUS_WRITE_ERROR;
    out->bytes.append(reinterpret_cast<const char*>(data), qsizetype(length));
    return CAIRO_STATUS_SUCCESS;
}

bool ConvertSvg(const SvgRequest& request, const QByteArray& document)
{
    LimitMemory(request.memoryLimit);
    GError* error = nullptr;
    // librsvg takes gzip-compressed data (SVGZ) by its signature.
    RsvgHandle* handle = rsvg_handle_new_from_data(
        reinterpret_cast<const guint8*>(document.constData()), gsize(document.size()), &error);
    if (!handle) {
        const QString reason = error ? QString::fromUtf8(error->message).trimmed() : QString();
        if (error)
            g_error_free(error);
        if (reason.isEmpty())
            return Fail(QT_TRANSLATE_NOOP("RenderFailure",
                                          "The drawing is damaged or is not an SVG file."));
        return Fail(QT_TRANSLATE_NOOP("RenderFailure",
                                      "The drawing is damaged or is not an SVG file (%1)."),
                    {reason});
    }
    rsvg_handle_set_dpi(handle, 96);
    double width = 0, height = 0;
    if (!rsvg_handle_get_intrinsic_size_in_pixels(handle, &width, &height)) {
        // Width or height in percent, or missing: the viewBox gives the size in pixels.
        gboolean hasWidth = false, hasHeight = false, hasViewBox = false;
        RsvgLength w, h;
        RsvgRectangle viewBox = {};
        rsvg_handle_get_intrinsic_dimensions(handle, &hasWidth, &w, &hasHeight, &h, &hasViewBox,
                                             &viewBox);
        width = hasViewBox ? viewBox.width : 0;
        height = hasViewBox ? viewBox.height : 0;
    }
    constexpr double kMaxSide = 1e6; // pixels, about 260 m at 96 dpi
    if (!(width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide)) {
        g_object_unref(handle);
        return Fail(
            QT_TRANSLATE_NOOP("RenderFailure", "The drawing has no size it can be shown at."));
    }

    PdfOutput out;
    out.limit = request.maxPdfBytes;
    // 96 pixels to the inch, 72 points.
    cairo_surface_t* surface =
        cairo_pdf_surface_create_for_stream(WritePdf, &out, width * 0.75, height * 0.75);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, 0.75, 0.75);
    const RsvgRectangle viewport = {0, 0, width, height};
    const bool drawn = rsvg_handle_render_document(handle, cr, &viewport, &error);
    QString reason;
    if (!drawn && error)
        reason = QString::fromUtf8(error->message).trimmed().section(QLatin1Char('\n'), 0, 0);
    if (error)
        g_error_free(error);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const cairo_status_t status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    g_object_unref(handle);
    if (!drawn && reason.isEmpty())
        return Fail(QT_TRANSLATE_NOOP("RenderFailure", "The drawing could not be drawn."));
    if (!drawn)
        return Fail(QT_TRANSLATE_NOOP("RenderFailure", "The drawing could not be drawn (%1)."),
                    {reason});
    if (status != CAIRO_STATUS_SUCCESS)
        return Fail(QT_TRANSLATE_NOOP("RenderFailure",
                                      "The drawing could not be made into a PDF file (%1)."),
                    {QString::fromUtf8(cairo_status_to_string(status))});

    const uint64_t total = uint64_t(out.bytes.size());
    if (!Send(Encode(Message::PdfBegin, total)))
        return false;
    DataSender sender;
    return sender.Add(out.bytes.constData(), size_t(out.bytes.size())) && sender.Flush() &&
           Send(Encode(Message::Done, nullptr, 0));
}

void Quiet(const QString&, const QVariant&) {}
void QuietGlib(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}
void QuietQt(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 1) {
        std::fprintf(stderr,
                     "%s: started by Velmora's drawing renderer only, with its socket at "
                     "descriptor %d\n",
                     argv[0], kSocketFd);
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    // What the libraries say about a damaged file is the failure's business, not stderr's.
    Poppler::setDebugErrorFunction(Quiet, QVariant());
    g_log_set_default_handler(QuietGlib, nullptr);
    qInstallMessageHandler(QuietQt);

    if (!Send(Encode(Message::Hello, kVersion)))
        return 1;
    uint32_t type = 0;
    QByteArray payload;
    if (!ReceiveRequest(&type, &payload))
        return 1;
    const QByteArray document = MapDocument();
    if (document.isEmpty()) {
        Fail(QT_TRANSLATE_NOOP("RenderFailure", "The file is empty."));
        return 0;
    }
    try {
        if (type == uint32_t(Message::Render)) {
            RenderRequest request;
            if (!Decode(payload, &request))
                return 1;
            RenderPage(request, document);
            return 0;
        }
        if (type == uint32_t(Message::SvgToPdf)) {
            SvgRequest request;
            if (!Decode(payload, &request))
                return 1;
            ConvertSvg(request, document);
            return 0;
        }
    } catch (const std::bad_alloc&) {
        // The memory limit above, reached inside poppler.
        Fail(QT_TRANSLATE_NOOP("RenderFailure",
                               "There is not enough memory to render the drawing."));
        return 0;
    }
    return 1;
}
