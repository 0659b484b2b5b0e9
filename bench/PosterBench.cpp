// SPDX-License-Identifier: GPL-3.0-or-later
// Timings of the poster: a click in the page preview, and a whole poster printed to PDF.
#include "BenchPictures.h"
#include "CurrentPrinter.h"
#include "GrafikRW.h"
#include "PagePreview.h"
#include "PrintJob.h"
#include "PrinterMetrics.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPrinter>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

PosterGeometry Grid(int pages)
{
    PosterGeometry g;
    g.PagesAcross = g.PagesDown = pages;
    g.PosterWidthPages = g.PosterHeightPages = pages;
    return g;
}

// A click on one page of a 10 x 10 poster: the hit test, the page switched, the whole preview
// box painted again, as the window does it.
void BM_PreviewClick(benchmark::State& state)
{
    constexpr int kBoxW = 341, kBoxH = 277; // the preview box at zoom 1
    constexpr int kPageW = 4800, kPageH = 6800;
    const PictureRecord picture = bench::BigPicture();
    const PosterGeometry geometry = Grid(10);
    const PrintOptions options; // as the program starts
    PageGrid off{};
    QImage box(kBoxW, kBoxH, QImage::Format_RGB32);
    const PreviewLayout layout = ComputePreviewLayout(kBoxW, kBoxH, kPageW, kPageH, options, 5, 5,
                                                      geometry.PagesAcross, geometry.PagesDown);
    const int x = layout.X0(4) + 1, y = layout.Y0(4) + 1;
    for (auto _ : state) {
        for (const auto& [column, row] : HitTest(kBoxW, kBoxH, kPageW, kPageH, options, 5, 5,
                                                 geometry.PagesAcross, geometry.PagesDown, x, y))
            off[PageIndex(column, row)] ^= 1;
        box.fill(Qt::gray);
        QPainter painter(&box);
        PaintPreview(painter, kBoxW, kBoxH, kPageW, kPageH, options, 5, 5, geometry, off, picture);
    }
    deldib(picture);
}
BENCHMARK(BM_PreviewClick)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 4 x 4 poster of the camera JPEG into a PDF file on A4, as the program prints by default;
// the file's size is reported beside the JPEG's.
void BM_PrintPosterToPdf(benchmark::State& state)
{
    const char* jpeg = bench::CameraJpeg();
    const PictureRecord picture = jpeg ? OpenDib(jpeg, 0) : PictureRecord{};
    if (!picture.Bits) {
        state.SkipWithError("no picture");
        return;
    }
    const QString file = QStringLiteral("/tmp/velmora-bench-poster.pdf");
    CurrentPrinter current(CurrentPrinter::Start::PdfFile);
    current.printer().setOutputFileName(file);
    const PrinterMetrics m = current.metrics();
    PrintJobInputs in;
    in.render = {DIBWidth(picture), DIBHeight(picture), Grid(4), PrintOptions{}, 5, 5};
    for (auto _ : state) {
        PrinterPageSink sink(current.printer());
        const PrintResult r = PrintPoster(sink, picture, in, nullptr);
        if (!r.ok()) {
            state.SkipWithError(r.error.toStdString().c_str());
            break;
        }
    }
    state.counters["pdf_MB"] = double(QFileInfo(file).size()) / 1e6;
    state.counters["jpeg_MB"] = double(QFileInfo(QString::fromLocal8Bit(jpeg)).size()) / 1e6;
    state.counters["dpi"] = m.dpiX;
    deldib(picture);
}
BENCHMARK(BM_PrintPosterToPdf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The reference: decoding the JPEG and wrapping a picture of it into a one-page PDF.
void BM_DjpegPlusImg2pdf(benchmark::State& state)
{
    const char* jpeg = bench::CameraJpeg();
    if (!jpeg) {
        state.SkipWithError("no JPEG");
        return;
    }
    const std::string decode = std::string("djpeg -outfile /dev/null ") + jpeg;
    const std::string wrap = std::string("img2pdf -o /tmp/velmora-bench-img2pdf.pdf ") + jpeg;
    for (auto _ : state)
        if (std::system(decode.c_str()) != 0 || std::system(wrap.c_str()) != 0)
            state.SkipWithError("djpeg or img2pdf failed");
    state.counters["pdf_MB"] =
        double(QFileInfo(QStringLiteral("/tmp/velmora-bench-img2pdf.pdf")).size()) / 1e6;
}
BENCHMARK(BM_DjpegPlusImg2pdf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
