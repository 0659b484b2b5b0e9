// SPDX-License-Identifier: GPL-3.0-or-later
// Timings of the picture library on a camera-sized picture.
#include "BenchPictures.h"
#include "GrafikRW.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using bench::BigPicture;
using bench::kHeight;
using bench::kWidth;

void BM_OpenDibJpeg(benchmark::State& state)
{
    const char* jpeg = bench::CameraJpeg();
    if (!jpeg) {
        state.SkipWithError("no JPEG (ImageMagick missing?)");
        return;
    }
    for (auto _ : state) {
        const PictureRecord p = OpenDib(jpeg, 0);
        if (!p.Bits) {
            state.SkipWithError("OpenDib failed");
            return;
        }
        deldib(p);
    }
}
BENCHMARK(BM_OpenDibJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DjpegSameFile(benchmark::State& state)
{
    const char* jpeg = bench::CameraJpeg();
    if (!jpeg) {
        state.SkipWithError("no JPEG (ImageMagick missing?)");
        return;
    }
    const std::string command = std::string("djpeg -outfile /dev/null ") + jpeg;
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("djpeg failed");
}
BENCHMARK(BM_DjpegSameFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// Destination width; the height keeps the 100 x 140 proportion of a page cell.
void BM_StretchDrawDIB(benchmark::State& state)
{
    const int destWidth = int(state.range(0));
    const int destHeight = destWidth * 14 / 10;
    const PictureRecord p = BigPicture();
    QImage target(destWidth, destHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&target);
        StretchDrawDIB(&painter, 0, 0, destWidth, destHeight, p, 0, 0, kWidth, kHeight, false,
                       SRCCOPY);
    }
    deldib(p);
}
BENCHMARK(BM_StretchDrawDIB)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_GetSetPixelCopy(benchmark::State& state)
{
    const PictureRecord from = BigPicture();
    const PictureRecord to = newdib(kWidth, kHeight, 24, nullptr, 0);
    for (auto _ : state) {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                setpixel(to, x, y, getpixel(from, x, y));
        benchmark::ClobberMemory();
    }
    deldib(from);
    deldib(to);
}
BENCHMARK(BM_GetSetPixelCopy)->Unit(benchmark::kMillisecond);

// The same round trip written out by hand: every pixel read into one value and written back,
// with no checks and no calls. This is as fast as any pixel-at-a-time access can be.
void BM_HandWrittenPixelLoop(benchmark::State& state)
{
    const PictureRecord from = BigPicture();
    const PictureRecord to = newdib(kWidth, kHeight, 24, nullptr, 0);
    for (auto _ : state) {
        for (int y = 0; y < kHeight; ++y) {
            const uint8_t* s = from.Bits + int64_t(y) * from.BytesPerLine;
            uint8_t* d = to.Bits + int64_t(y) * to.BytesPerLine;
            for (int x = 0; x < kWidth; ++x) {
                int32_t v = s[3 * x] | (s[3 * x + 1] << 8) | (s[3 * x + 2] << 16);
                benchmark::DoNotOptimize(v); // keep it a value, as getpixel hands it on
                d[3 * x] = uint8_t(v);
                d[3 * x + 1] = uint8_t(v >> 8);
                d[3 * x + 2] = uint8_t(v >> 16);
            }
        }
        benchmark::ClobberMemory();
    }
    deldib(from);
    deldib(to);
}
BENCHMARK(BM_HandWrittenPixelLoop)->Unit(benchmark::kMillisecond);

void BM_MemcpySameBytes(benchmark::State& state)
{
    const PictureRecord from = BigPicture();
    const PictureRecord to = newdib(kWidth, kHeight, 24, nullptr, 0);
    for (auto _ : state) {
        std::memcpy(to.Bits, from.Bits, from.Info->bmiHeader.biSizeImage);
        benchmark::ClobberMemory();
    }
    deldib(from);
    deldib(to);
}
BENCHMARK(BM_MemcpySameBytes)->Unit(benchmark::kMillisecond);

} // namespace
