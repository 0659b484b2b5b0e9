// SPDX-License-Identifier: GPL-3.0-or-later
#include "DrawingSource.h"

#include "DibFileFormats.h"
#include "DrawingRender.h"
#include "FileName.h"
#include "FinishedSize.h"
#include "GrafikRW.h"
#include "PictureOps.h"
#include "PictureRead.h"
#include "VectorPage.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
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

// The page of the file's bytes, with the size of its rendering: about 150 pixels per inch of
// the page, its longer side kept between 1000 and 3000 pixels.
std::shared_ptr<const DrawingSource> OpenPage(std::shared_ptr<DrawingSource> drawing, int pageIndex,
                                              QString* error)
{
    drawing->page = VectorPage::Open(drawing->pdf, pageIndex, error);
    if (!drawing->page)
        return nullptr;
    const double w = drawing->page->widthPoints() * kRenderPixelsPerPoint;
    const double h = drawing->page->heightPoints() * kRenderPixelsPerPoint;
    const double longSide = std::max(w, h);
    if (!(longSide > 0)) {
        *error = QCoreApplication::translate("DrawingSource", "the page has no size");
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

// The edited picture as a whole (before the view's window) from the rendering: transposed,
// then mirrored, then flipped.
QTransform ViewEdits(const JpegView& v)
{
    QTransform edits;
    if (v.transposed)
        edits *= QTransform(0, 1, 1, 0, 0, 0);
    if (v.mirrored)
        edits *= QTransform(-1, 0, 0, 1, v.paddedWidth, 0);
    if (v.flipped)
        edits *= QTransform(1, 0, 0, -1, 0, v.paddedHeight);
    return edits;
}

// The scale, lowered until the picture as it shows fits the memory and the picture limits.
double Confined(const DrawingSource& d, double scale, uint64_t memoryBytes)
{
    const double pixels = double(std::max(1, d.width)) * std::max(1, d.height);
    const double most = std::min(double(memoryBytes) / 3, double(kMaxPicturePixels));
    scale = std::min(scale, std::sqrt(most / pixels));
    return std::max(scale, 1.0);
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
        *error = QCoreApplication::translate("DrawingSource",
                                             "too large: a drawing may have at most %1 MB")
                     .arg(kMaxDrawingBytes >> 20);
        return nullptr;
    }
    auto drawing = std::make_shared<DrawingSource>();
    if (HasPdfSignature(file.bytes)) {
        drawing->pdf = std::move(file.bytes);
    } else {
        if (pageIndex != 0) {
            *error =
                QCoreApplication::translate("DrawingSource", "has no page %1; a drawing has one")
                    .arg(pageIndex + 1);
            return nullptr;
        }
        if (!SvgToPdf(file.bytes, &drawing->pdf, error))
            return nullptr;
        drawing->fromSvg = true;
    }
    return OpenPage(std::move(drawing), pageIndex, error);
}

std::shared_ptr<const DrawingSource> DrawingPage(const DrawingSource& d, int pageIndex,
                                                 QString* error)
{
    auto drawing = std::make_shared<DrawingSource>();
    drawing->pdf = d.pdf;
    drawing->fromSvg = d.fromSvg;
    return OpenPage(std::move(drawing), pageIndex, error);
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
    // The picture as it shows is the view's window of the edited picture.
    return toRendering * ViewEdits(v) * QTransform::fromTranslate(-v.x, -v.y);
}

double DrawingScaleFor(const DrawingSource& d, double inchesWide, double ppi, uint64_t memoryBytes)
{
    if (!(inchesWide > 0) || d.width <= 0)
        return 1;
    return Confined(d, ppi * inchesWide / d.width, memoryBytes);
}

double DrawingScaleForPage(const DrawingSource& d, double ppi, uint64_t memoryBytes)
{
    return Confined(d, ppi / 72 * PointsPerPixel(d), memoryBytes);
}

PictureRecord RenderShownDrawing(const DrawingSource& d, double scale, QString* error)
{
    return RenderShownPart(d, scale, QRect(0, 0, INT_MAX, INT_MAX), error);
}

PictureRecord RenderShownPart(const DrawingSource& d, double scale, QRect wanted, QString* error)
{
    const int32_t w = std::max<int32_t>(1, int32_t(std::lround(d.renderWidth * scale)));
    const int32_t h = std::max<int32_t>(1, int32_t(std::lround(d.renderHeight * scale)));
    const double sx = double(w) / d.renderWidth, sy = double(h) / d.renderHeight;
    // The shown picture at this scale: the view's window of the edited rendering, scaled.
    const JpegView& v = d.view;
    const bool across = v.transposed; // the shown picture's x runs down the rendering
    const double kx = across ? sy : sx, ky = across ? sx : sy;
    const QRect shownAtScale(0, 0, int(std::lround(v.width * kx)), int(std::lround(v.height * ky)));
    wanted &= shownAtScale;
    if (wanted.isEmpty()) {
        *error = QCoreApplication::translate("DrawingSource",
                                             "The part to render lies outside the picture.");
        return PictureRecord();
    }
    // That part, back on the unedited rendering, then at the new size.
    const QRectF inShown(v.x + wanted.x() / kx, v.y + wanted.y() / ky, wanted.width() / kx,
                         wanted.height() / ky);
    const QRectF shown = ViewEdits(v).inverted().mapRect(inShown);
    const QRect part =
        QRect(QPoint(int(std::lround(shown.left() * sx)), int(std::lround(shown.top() * sy))),
              QPoint(int(std::lround(shown.right() * sx)) - 1,
                     int(std::lround(shown.bottom() * sy)) - 1)) &
        QRect(0, 0, w, h);
    PictureRecord picture;
    if (!RenderDrawing(d.pdf, d.page->pageIndex(), w, h, part, &picture, error))
        return PictureRecord();
    std::vector<PictureEdit> edits;
    if (v.transposed) // a transposition is a quarter turn right, mirrored
        edits = {{PictureEdit::Kind::TurnRight}, {PictureEdit::Kind::Mirror}};
    if (v.mirrored)
        edits.push_back({PictureEdit::Kind::Mirror});
    if (v.flipped)
        edits.push_back({PictureEdit::Kind::Flip});
    picture = TakeEdited(picture, edits);
    if (!picture.Bits)
        *error = QCoreApplication::translate("DrawingSource",
                                             "Not enough memory to turn the rendering.");
    return picture;
}

double PointsPerPixel(const DrawingSource& d)
{
    return d.page->widthPoints() / d.renderWidth;
}

double MillimetresPerPixel(const DrawingSource& d)
{
    return PointsPerPixel(d) * 25.4 / 72;
}

void SetDrawingOnPaper(FinishedSize& size, const DrawingSource* drawing)
{
    size.vectors = drawing != nullptr;
    size.lowestImagePpi = 0;
    if (!drawing || !(size.widthInches > 0) || drawing->width <= 0)
        return;
    // Poster inches per point of the page: the picture as it shows spans the poster's width.
    const double shownPoints = drawing->width * PointsPerPixel(*drawing);
    const double inchesPerPoint = size.widthInches / shownPoints;
    double lowest = 0;
    for (const ImagePlacement& image : drawing->page->imagePlacements()) {
        const double ppi = std::min(image.pixels.width() / (image.widthPoints * inchesPerPoint),
                                    image.pixels.height() / (image.heightPoints * inchesPerPoint));
        if (ppi > 0 && (lowest == 0 || ppi < lowest))
            lowest = ppi;
    }
    size.lowestImagePpi = lowest;
}
