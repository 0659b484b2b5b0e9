// SPDX-License-Identifier: GPL-3.0-or-later
#include "DibStorage.h"
#include "HeldPicture.h"
#include "StretchPlan.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>

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

void ExpandFourBitRows(const PictureRecord& picture, DibStorage& s, int64_t expandedStride)
{
    const BITMAPINFOHEADER& h = picture.Info->bmiHeader;
    for (int32_t row = 0; row < h.biHeight; ++row) {
        const uint8_t* src = picture.Bits + int64_t(row) * picture.BytesPerLine;
        uint8_t* dst = s.expanded.get() + row * expandedStride;
        for (int32_t x = 0; x + 1 < h.biWidth; x += 2) {
            dst[x] = src[x >> 1] >> 4;
            dst[x + 1] = src[x >> 1] & 0x0F;
        }
        if (h.biWidth & 1)
            dst[h.biWidth - 1] = src[h.biWidth >> 1] >> 4;
    }
}

// Maps the source rectangle (srcY from the bottom row) onto the destination, drawing only the
// part of the source that lies inside the picture, rows and columns dropped, not blended.
void DrawRows(QPainter& painter, const QImage& view, const StretchRects& r)
{
    if (view.isNull() || r.destWidth == 0 || r.destHeight == 0)
        return;
    const SourcePart inside = SourcePartOf(r, view.width(), view.height());
    if (inside.empty())
        return;
    const double x0 = inside.x0, x1 = inside.x1, y0 = inside.y0, y1 = inside.y1;
    const double kx = double(r.destWidth) / r.srcWidth;
    const double ky = double(r.destHeight) / r.srcHeight;
    // View row v (0 = bottom row) lands at destY + (srcY + srcHeight - v) * ky: the flip that
    // shows the bottom-up rows the right way up.
    const QTransform toDevice(kx, 0, 0, -ky, r.destX - r.srcX * kx,
                              r.destY + (double(r.srcY) + r.srcHeight) * ky);
    painter.save();
    painter.setTransform(toDevice, true);
    const QRectF part(x0, y0, x1 - x0, y1 - y0);
    painter.drawImage(part, view, part);
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

    if (s->view.isNull() || s->pixelsChanged) {
        if (h.biBitCount == 4) {
            const int64_t stride = (int64_t(h.biWidth) + 3) & ~int64_t(3);
            if (!s->expanded || s->view.isNull()) {
                s->view = QImage();
                s->expanded.reset(new (std::nothrow) uint8_t[size_t(stride * h.biHeight)]);
                if (!s->expanded)
                    return none;
                s->view = QImage(s->expanded.get(), h.biWidth, h.biHeight, stride,
                                 QImage::Format_Indexed8);
            }
            ExpandFourBitRows(picture, *s, stride);
        } else if (s->view.isNull()) {
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
                return none;
            }
            s->view = QImage(picture.Bits, h.biWidth, h.biHeight, picture.BytesPerLine, format);
        }
        s->pixelsChanged = 0;
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
        DrawRows(*dc, DibView(picture), clipped);
        return;
    }
    const HeldPicture copy(plan.reduced
                               ? DIBHalftoneDIBXY(picture, plan.copyWidth, plan.copyHeight)
                               : DIBHalftoneDIB(picture));
    if (!copy) {
        // Without a copy the picture's own pixels still show.
        DrawRows(*dc, DibView(picture), clipped);
        return;
    }
    const StretchRects fromCopy =
        plan.reduced ? ReducedCopyRects(clipped, h.biWidth, h.biHeight, DIBWidth(copy.get()),
                                        DIBHeight(copy.get()))
                     : clipped;
    DrawRows(*dc, DibView(copy.get()), fromCopy);
}
