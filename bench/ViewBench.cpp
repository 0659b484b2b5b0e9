// SPDX-License-Identifier: GPL-3.0-or-later
// Paints of the window's views of a huge picture, on an offscreen surface of the view's size:
// the edit view at zoom 1 and at zoom 10 scrolled to the middle, the load page's preview and the
// page preview of a 4 x 4 poster (a click on it repaints it). Each has a memcpy of the visible
// area beside it, BM_MemcpyVisibleArea. A 4-bit picture's first paint at a scale makes its
// reduced copy for that scale and is not timed here.
#include "EditGeometry.h"
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "PagePreview.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <tuple>
#include <vector>

namespace {

// Pictures whose rows differ, made once per size and depth; gigabytes each at 24 bits.
const PictureRecord& Huge(int width, int height, int bitCount = 24)
{
    static std::map<std::tuple<int, int, int>, HeldPicture> made;
    const std::tuple<int, int, int> key{width, height, bitCount};
    if (!made.count(key))
        made.clear(); // one at a time: two would not fit every machine
    HeldPicture& p = made[key];
    if (!p) {
        p = HeldPicture(newdib(width, height, bitCount, nullptr, 0));
        if (p) {
            std::vector<uint8_t> row(size_t(p->BytesPerLine));
            for (size_t i = 0; i < row.size(); ++i)
                row[i] = uint8_t(i * 7);
            for (int y = 0; y < height; ++y) {
                row[0] = uint8_t(y);
                std::memcpy(p->Bits + int64_t(y) * p->BytesPerLine, row.data(), row.size());
            }
            DIBChanged(*p);
        }
    }
    return p.get();
}

QImage ViewSurface(int w, int h)
{
    QImage surface(w, h, QImage::Format_RGB32);
    surface.fill(Qt::white);
    return surface;
}

// The edit view's paint at a zoom, showing the middle of the zoomed box, as PaintBox2Paint does.
void EditViewPaint(benchmark::State& state, const PictureRecord& picture, double zoom)
{
    if (!picture.Bits) {
        state.SkipWithError("no picture");
        return;
    }
    const DrawnSize box = ZoomedBoxSize(zoom);
    const DrawnSize drawn =
        FitPicture(box.width, box.height, DIBWidth(picture), DIBHeight(picture));
    QImage surface = ViewSurface(kViewBoxWidth, kViewBoxHeight);
    const int scrollX = (drawn.width - kViewBoxWidth) / 2,
              scrollY = (drawn.height - kViewBoxHeight) / 2;
    for (auto _ : state) {
        QPainter p(&surface);
        p.setClipRect(0, 0, kViewBoxWidth, kViewBoxHeight);
        p.translate(-scrollX, -scrollY);
        StretchDrawDIB(&p, 0, 0, drawn.width, drawn.height, picture, 0, 0, DIBWidth(picture),
                       DIBHeight(picture), true, SRCCOPY);
    }
    benchmark::DoNotOptimize(surface.constBits());
}

void BM_EditViewPaint(benchmark::State& state)
{
    EditViewPaint(state, Huge(int(state.range(0)), int(state.range(1)), int(state.range(3))),
                  double(state.range(2)));
}
// Width, height, zoom, bits per pixel.
BENCHMARK(BM_EditViewPaint)
    ->ArgsProduct({{20000}, {15000}, {1, 2, 10}, {24, 8, 4, 1}})
    ->Args({40000, 25000, 1, 24})
    ->Args({40000, 25000, 10, 24})
    ->Unit(benchmark::kMillisecond);

void BM_LoadPreviewPaint(benchmark::State& state)
{
    const PictureRecord& picture = Huge(int(state.range(0)), int(state.range(1)));
    if (!picture.Bits) {
        state.SkipWithError("no picture");
        return;
    }
    const DrawnSize drawn = PreviewSize(DIBWidth(picture), DIBHeight(picture));
    QImage surface = ViewSurface(kPreviewBoxSize, kPreviewBoxSize);
    for (auto _ : state) {
        QPainter p(&surface);
        StretchDrawDIB(&p, 0, 0, drawn.width, drawn.height, picture, 0, 0, DIBWidth(picture),
                       DIBHeight(picture), true, SRCCOPY);
    }
    benchmark::DoNotOptimize(surface.constBits());
}
BENCHMARK(BM_LoadPreviewPaint)
    ->Args({20000, 15000})
    ->Args({40000, 25000})
    ->Unit(benchmark::kMillisecond);

// The Print size page's preview of a 4 x 4 poster with glue strips, one page clicked off.
void BM_PagePreviewPaint(benchmark::State& state)
{
    const PictureRecord& picture = Huge(int(state.range(0)), int(state.range(1)));
    if (!picture.Bits) {
        state.SkipWithError("no picture");
        return;
    }
    PrintOptions o;
    o.GlueEdge = true;
    PosterGeometry g;
    g.PagesAcross = g.PagesDown = 4;
    g.PosterWidthPages = g.PosterHeightPages = 4.0;
    PageGrid off{};
    off[PageIndex(1, 1)] = 1;
    QImage surface = ViewSurface(kViewBoxWidth, kViewBoxHeight);
    for (auto _ : state) {
        QPainter p(&surface);
        PaintPreview(p, kViewBoxWidth, kViewBoxHeight, 2400, 3400, o, 5, 5, g, off, picture);
    }
    benchmark::DoNotOptimize(surface.constBits());
}
BENCHMARK(BM_PagePreviewPaint)
    ->Args({20000, 15000})
    ->Args({40000, 25000})
    ->Unit(benchmark::kMillisecond);

void BM_MemcpyVisibleArea(benchmark::State& state)
{
    const QImage from = ViewSurface(kViewBoxWidth, kViewBoxHeight);
    QImage to = ViewSurface(kViewBoxWidth, kViewBoxHeight);
    for (auto _ : state) {
        std::memcpy(to.bits(), from.constBits(), size_t(from.sizeInBytes()));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemcpyVisibleArea)->Unit(benchmark::kMicrosecond);

} // namespace
