#include "DrawingSource.h"

#include "DrawingRender.h"
#include "FileName.h"
#include "GrafikRW.h"
#include "PictureRead.h"
#include "VectorPage.h"

#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace {

constexpr double kRenderPixelsPerPoint = 150.0 / 72.0;
constexpr double kShortestLongSide = 1000;
constexpr double kLongestLongSide = 3000;

bool IsGzipSvgName(const QString& path)
{
    const QString name = QFileInfo(path).fileName().toLower();
    return name.endsWith(QLatin1String(".svgz")) || name.endsWith(QLatin1String(".svg.gz"));
}

std::shared_ptr<const DrawingSource> WithView(const DrawingSource& d, const JpegView& view)
{
    auto edited = std::make_shared<DrawingSource>(d);
    edited->view = view;
    edited->width = view.width;
    edited->height = view.height;
    return edited;
}

} // namespace

bool LooksLikeDrawing(const QByteArray& head, const QString& path)
{
    if (HasPdfSignature(head))
        return true;
    if (head.startsWith("\x1F\x8B"))
        return IsGzipSvgName(path);
    const QByteArray start = head.left(4096);
    return start.contains("<svg") &&
           (start.trimmed().startsWith('<') || start.startsWith("\xEF\xBB\xBF"));
}

bool IsDrawingFile(const QString& path)
{
    // Without blocking: a FIFO is nobody's drawing, and reading it would wait.
    const int fd = ::open(FileNameBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat facts = {};
    QByteArray head(4096, '\0');
    ssize_t got = -1;
    if (::fstat(fd, &facts) == 0 && S_ISREG(facts.st_mode))
        do
            got = ::read(fd, head.data(), size_t(head.size()));
        while (got < 0 && errno == EINTR);
    ::close(fd);
    if (got <= 0)
        return false;
    head.truncate(qsizetype(got));
    return LooksLikeDrawing(head, path);
}

std::shared_ptr<const DrawingSource> ReadDrawing(const QString& path, int pageIndex, QString* error)
{
    WholeFile file = ReadWholeFile(FileNameBytes(path).constData());
    if (file.failure != ReadFailure::None) {
        PictureRead read;
        read.failure = file.failure;
        read.systemError = file.systemError;
        read.fileBytes = file.size;
        read.availableBytes = file.available;
        *error = QString::fromStdString(ReadFailureText(read));
        return nullptr;
    }
    if (file.bytes.size() > kMaxDrawingBytes) {
        *error = QStringLiteral("too large: a drawing may have at most %1 MB")
                     .arg(kMaxDrawingBytes >> 20);
        return nullptr;
    }
    auto drawing = std::make_shared<DrawingSource>();
    if (HasPdfSignature(file.bytes)) {
        drawing->pdf = std::move(file.bytes);
    } else {
        if (pageIndex != 0) {
            *error = QStringLiteral("has no page %1; a drawing has one").arg(pageIndex + 1);
            return nullptr;
        }
        if (!SvgToPdf(file.bytes, &drawing->pdf, error))
            return nullptr;
        drawing->fromSvg = true;
    }
    drawing->page = VectorPage::Open(drawing->pdf, pageIndex, error);
    if (!drawing->page)
        return nullptr;
    const double w = drawing->page->widthPoints() * kRenderPixelsPerPoint;
    const double h = drawing->page->heightPoints() * kRenderPixelsPerPoint;
    const double longSide = std::max(w, h);
    if (!(longSide > 0)) {
        *error = QStringLiteral("the page has no size");
        return nullptr;
    }
    const double scale = std::clamp(longSide, kShortestLongSide, kLongestLongSide) / longSide;
    drawing->renderWidth = std::max<int32_t>(1, int32_t(std::lround(w * scale)));
    drawing->renderHeight = std::max<int32_t>(1, int32_t(std::lround(h * scale)));
    drawing->view = PixelView(drawing->renderWidth, drawing->renderHeight);
    drawing->width = drawing->renderWidth;
    drawing->height = drawing->renderHeight;
    return drawing;
}

std::shared_ptr<const DrawingSource> EditedDrawing(const std::shared_ptr<const DrawingSource>& d,
                                                   const PictureEdit& edit)
{
    if (!d)
        return nullptr;
    JpegView view = d->view;
    if (!EditView(view, edit))
        return nullptr;
    return WithView(*d, view);
}

PictureRecord RenderWholeDrawing(const DrawingSource& drawing, QString* error)
{
    PictureRecord picture;
    if (!RenderDrawing(drawing.pdf, drawing.page->pageIndex(), drawing.renderWidth,
                       drawing.renderHeight, QRect(0, 0, drawing.renderWidth, drawing.renderHeight),
                       &picture, error))
        return PictureRecord();
    return picture;
}

QTransform PageToPicture(const DrawingSource& d)
{
    const JpegView& v = d.view;
    // Page points, upwards, onto the whole rendering's pixels, downwards.
    const QTransform toRendering(d.renderWidth / d.page->widthPoints(), 0, 0,
                                 -d.renderHeight / d.page->heightPoints(), 0, d.renderHeight);
    // The edited picture is the rendering transposed, then mirrored, then flipped as a whole;
    // the picture as it shows is the view's window of that.
    QTransform edits;
    if (v.transposed)
        edits *= QTransform(0, 1, 1, 0, 0, 0);
    if (v.mirrored)
        edits *= QTransform(-1, 0, 0, 1, v.paddedWidth, 0);
    if (v.flipped)
        edits *= QTransform(1, 0, 0, -1, 0, v.paddedHeight);
    return toRendering * edits * QTransform::fromTranslate(-v.x, -v.y);
}
