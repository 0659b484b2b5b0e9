// SPDX-License-Identifier: GPL-3.0-or-later
#include "DibStorage.h"
#include "HeldPicture.h"
#include "StretchPlan.h"

#include <QGuiApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {

int RealScreenDepth()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return 24;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 24;
}

ScreenDepthProbe g_screenDepthProbe = nullptr;

QList<QRgb> ColourTableOf(const PictureRecord& picture)
{
    const int n = ColourTableSize(picture.Info->bmiHeader.biBitCount);
    QList<QRgb> colours(n);
    for (int i = 0; i < n; ++i) {
        const RGBQUAD& c = picture.Info->bmiColors[i];
        colours[i] = qRgb(c.rgbRed, c.rgbGreen, c.rgbBlue);
    }
    return colours;
}

// Pixels of a 4-bit picture, one byte each, as an 8-bit image with the picture's colours:
// columns x0 + j * step + offset and rows (from the bottom) y0 + i * step + offset, the last
// ones held at the picture's right and top edges. Row 0 of the image is the lowest row taken.
QImage FourBitSamples(const PictureRecord& picture, int32_t x0, int32_t y0, int32_t columns,
                      int32_t rows, int32_t step, int32_t offset)
{
    QImage samples(columns, rows, QImage::Format_Indexed8);
    if (samples.isNull())
        return samples;
    samples.setColorTable(ColourTableOf(picture));
    const int32_t w = DIBWidth(picture), h = DIBHeight(picture);
    for (int32_t i = 0; i < rows; ++i) {
        const int32_t y = std::min(y0 + i * step + offset, h - 1);
        const uint8_t* src = picture.Bits + int64_t(y) * picture.BytesPerLine;
        uint8_t* dst = samples.scanLine(i);
        for (int32_t j = 0; j < columns; ++j) {
            const int32_t x = std::min(x0 + j * step + offset, w - 1);
            dst[j] = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
        }
    }
    return samples;
}

// A 4-bit picture drawn at 1/2^level or smaller is drawn from a copy reduced by 2^level, of one
// byte a pixel: of each 2^level square of pixels (counted from the left and from the bottom row)
// it keeps the one that Qt's nearest-neighbour drawing at exactly that scale samples, the one
// just before the square's middle. Made at the first such drawing; all levels together take two
// thirds of the picture's own bytes.
constexpr int kMaxReduction = 12;

int ReductionLevel(const StretchRects& r)
{
    const double factor =
        std::min(double(r.srcWidth) / r.destWidth, double(r.srcHeight) / r.destHeight);
    int level = 0;
    while (level < kMaxReduction && factor >= double(2 << level))
        ++level;
    return level;
}

const QImage& ReducedFourBitCopy(const PictureRecord& picture, DibStorage& s, int level)
{
    if (s.pixelsChanged) {
        s.reduced.clear();
        s.pixelsChanged = 0;
    }
    if (s.reduced.size() < size_t(level + 1))
        s.reduced.resize(size_t(level + 1));
    QImage& copy = s.reduced[size_t(level)];
    if (copy.isNull()) {
        const int32_t step = 1 << level;
        copy = FourBitSamples(picture, 0, 0, (DIBWidth(picture) + step - 1) / step,
                              (DIBHeight(picture) + step - 1) / step, step, step / 2 - 1);
        return copy;
    }
    copy.setColorTable(ColourTableOf(picture));
    return copy;
}

// The part of the source that can show through the painter: the device, its clip and the
// painter's own clip, mapped back through the transform that draws the source.
SourcePart VisiblePart(const QPainter& painter, const SourcePart& inside)
{
    const QPaintDevice* device = painter.device();
    if (!device)
        return inside;
    QRectF shown(0, 0, device->width(), device->height());
    if (const QPaintEngine* engine = painter.paintEngine();
        engine && !engine->systemClip().isEmpty())
        shown &= QRectF(engine->systemClip().boundingRect());
    if (painter.hasClipping())
        shown &= painter.combinedTransform().mapRect(painter.clipBoundingRect());
    bool invertible = false;
    const QTransform back = painter.combinedTransform().inverted(&invertible);
    if (!invertible)
        return inside;
    const QRectF source = back.mapRect(shown);
    // A pixel more on each side: the edge pixels are sampled at their centres.
    SourcePart visible;
    visible.x0 = std::max(inside.x0, int32_t(std::max(-1.0, std::floor(source.left()))) - 1);
    visible.y0 = std::max(inside.y0, int32_t(std::max(-1.0, std::floor(source.top()))) - 1);
    visible.x1 = int32_t(std::min(double(inside.x1), std::ceil(source.right()) + 1));
    visible.y1 = int32_t(std::min(double(inside.y1), std::ceil(source.bottom()) + 1));
    return visible;
}

// Maps the source rectangle (srcY from the bottom row) onto the destination, drawing only the
// part of the source that lies inside the picture, rows and columns dropped, not blended. A
// 4-bit picture has no image of its own: the part in sight is expanded for the drawing.
void DrawRows(QPainter& painter, const PictureRecord& picture, const QImage& view,
              const StretchRects& r)
{
    const BITMAPINFOHEADER& h = picture.Info->bmiHeader;
    const bool fourBit = h.biBitCount == 4;
    if ((!fourBit && view.isNull()) || r.destWidth == 0 || r.destHeight == 0)
        return;
    const SourcePart inside = SourcePartOf(r, h.biWidth, h.biHeight);
    if (inside.empty())
        return;
    const double kx = double(r.destWidth) / r.srcWidth;
    const double ky = double(r.destHeight) / r.srcHeight;
    // View row v (0 = bottom row) lands at destY + (srcY + srcHeight - v) * ky: the flip that
    // shows the bottom-up rows the right way up.
    const QTransform toDevice(kx, 0, 0, -ky, r.destX - r.srcX * kx,
                              r.destY + (double(r.srcY) + r.srcHeight) * ky);
    painter.save();
    painter.setTransform(toDevice, true);
    const int level = fourBit ? ReductionLevel(r) : 0;
    DibStorage* storage = StorageOf(picture);
    if (level > 0 && storage) {
        const QImage& copy = ReducedFourBitCopy(picture, *storage, level);
        const double n = double(1 << level);
        painter.scale(n, n);
        const QRectF at(inside.x0 / n, inside.y0 / n, (inside.x1 - inside.x0) / n,
                        (inside.y1 - inside.y0) / n);
        painter.drawImage(at, copy, at);
    } else if (fourBit) {
        const SourcePart part = VisiblePart(painter, inside);
        if (!part.empty()) {
            const QImage piece = FourBitSamples(picture, part.x0, part.y0, part.x1 - part.x0,
                                                part.y1 - part.y0, 1, 0);
            const QRectF at(part.x0, part.y0, part.x1 - part.x0, part.y1 - part.y0);
            painter.drawImage(at, piece, QRectF(0, 0, piece.width(), piece.height()));
        }
    } else {
        const QRectF at(inside.x0, inside.y0, inside.x1 - inside.x0, inside.y1 - inside.y0);
        painter.drawImage(at, view, at);
    }
    painter.restore();
}

} // namespace

const QImage& DibView(const PictureRecord& picture)
{
    static const QImage none;
    DibStorage* s = StorageOf(picture);
    if (!s || !picture.Bits || !picture.Info)
        return none;
    const BITMAPINFOHEADER& h = picture.Info->bmiHeader;
    if (s->view.isNull()) {
        QImage::Format format = QImage::Format_Invalid;
        switch (h.biBitCount) {
        case 1:
            format = QImage::Format_Mono;
            break;
        case 8:
            format = QImage::Format_Indexed8;
            break;
        case 24:
            format = QImage::Format_BGR888;
            break;
        default:
            return none; // 4 bits: drawn a part at a time
        }
        s->view = QImage(picture.Bits, h.biWidth, h.biHeight, picture.BytesPerLine, format);
        s->viewColours.clear();
    }
    if (ColourTableSize(h.biBitCount) > 0) {
        // The colour table may have been changed since the last drawing (brightness, contrast).
        QList<QRgb> colours = ColourTableOf(picture);
        if (colours != s->viewColours) {
            s->view.setColorTable(colours);
            s->viewColours = std::move(colours);
        }
    }
    return s->view;
}

int ScreenColorDepth()
{
    return g_screenDepthProbe ? g_screenDepthProbe() : RealScreenDepth();
}

void SetScreenColorDepthProbe(ScreenDepthProbe probe)
{
    g_screenDepthProbe = probe;
}

void StretchDrawDIB(QPainter* dc, int32_t destX, int32_t destY, int32_t destWidth,
                    int32_t destHeight, const PictureRecord& picture, int32_t srcX, int32_t srcY,
                    int32_t srcWidth, int32_t srcHeight, bool halftone, uint32_t rop)
{
    if (!dc || !picture.Info || !picture.Bits || rop != SRCCOPY)
        return;
    const BITMAPINFOHEADER& h = picture.Info->bmiHeader;
    const StretchRects clipped = ClipStretchRects(
        {destX, destY, destWidth, destHeight, srcX, srcY, srcWidth, srcHeight}, h.biWidth);

    // Stretching drops rows and columns; the mode stays set after the call.
    dc->setRenderHint(QPainter::SmoothPixmapTransform, false);

    const StretchPlan plan =
        PlanStretchDraw(clipped, h.biWidth, h.biHeight, h.biBitCount, halftone, ScreenColorDepth);
    if (!plan.halftoned) {
        DrawRows(*dc, picture, DibView(picture), clipped);
        return;
    }
    const HeldPicture copy(plan.reduced ? DIBHalftoneDIBXY(picture, plan.copyWidth, plan.copyHeight)
                                        : DIBHalftoneDIB(picture));
    if (!copy) {
        // Without a copy the picture's own pixels still show.
        DrawRows(*dc, picture, DibView(picture), clipped);
        return;
    }
    const StretchRects fromCopy =
        plan.reduced ? ReducedCopyRects(clipped, h.biWidth, h.biHeight, DIBWidth(copy.get()),
                                        DIBHeight(copy.get()))
                     : clipped;
    DrawRows(*dc, copy.get(), DibView(copy.get()), fromCopy);
}
