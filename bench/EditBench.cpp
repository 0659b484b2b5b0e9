// SPDX-License-Identifier: GPL-3.0-or-later
// Timings of the "Modify picture" operations on a camera-sized picture, at 24 and at 8 bits per
// pixel (the argument). BM_MemcpySameBytes copies the 24-bit picture's bytes; the 8-bit picture's
// bytes are copied by BM_MemcpySameBytes/8 here, so that every operation has a plain copy of the
// same memory beside it.
#include "BenchPictures.h"
#include "GrafikRW.h"
#include "PictureOps.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

using bench::BigPicture;
using bench::kHeight;
using bench::kWidth;

// Runs a picture-making operation; the result is released as the window would release the old
// picture, so that every run pays for a fresh picture.
template <typename Operation> void TimeNewPicture(benchmark::State& state, Operation operation)
{
    const PictureRecord from = BigPicture(int(state.range(0)));
    if (!from.Bits) {
        state.SkipWithError("no picture");
        return;
    }
    for (auto _ : state) {
        const PictureRecord made = operation(from);
        if (!made.Bits) {
            state.SkipWithError("no new picture");
            break;
        }
        benchmark::DoNotOptimize(made.Bits);
        deldib(made);
    }
    deldib(from);
}

void BM_CutToSelection(benchmark::State& state)
{
    // The middle half of the columns over the whole height: half the pixels.
    TimeNewPicture(state, [](const PictureRecord& p) {
        return CutToSelection(p, kWidth / 4, 0, kWidth / 4 + kWidth / 2, kHeight);
    });
}
BENCHMARK(BM_CutToSelection)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_Mirror(benchmark::State& state)
{
    TimeNewPicture(state, MirrorPicture);
}
BENCHMARK(BM_Mirror)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_Flip(benchmark::State& state)
{
    TimeNewPicture(state, FlipPicture);
}
BENCHMARK(BM_Flip)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_RotateLeft(benchmark::State& state)
{
    TimeNewPicture(state, RotateLeft);
}
BENCHMARK(BM_RotateLeft)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_RotateRight(benchmark::State& state)
{
    TimeNewPicture(state, RotateRight);
}
BENCHMARK(BM_RotateRight)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);

// In place, as a preview does after the bytes were copied back; the positions are ones that
// change every channel value.
void TimeBrightnessContrast(benchmark::State& state, int bitCount)
{
    PictureRecord p = BigPicture(bitCount);
    if (!p.Bits) {
        state.SkipWithError("no picture");
        return;
    }
    for (auto _ : state) {
        ApplyBrightnessContrast(p, 20, 130);
        benchmark::ClobberMemory();
    }
    deldib(p);
}

void BM_BrightnessContrast24(benchmark::State& state)
{
    TimeBrightnessContrast(state, 24);
}
BENCHMARK(BM_BrightnessContrast24)->Unit(benchmark::kMillisecond);

void BM_BrightnessContrast8(benchmark::State& state)
{
    TimeBrightnessContrast(state, 8);
}
BENCHMARK(BM_BrightnessContrast8)->Unit(benchmark::kMicrosecond);

void MemcpyEightBitPicture(benchmark::State& state)
{
    const PictureRecord from = BigPicture(8);
    const PictureRecord to = newdib(kWidth, kHeight, 8, nullptr, 0);
    if (!from.Bits || !to.Bits) {
        state.SkipWithError("no picture");
    } else {
        for (auto _ : state) {
            std::memcpy(to.Bits, from.Bits, from.Info->bmiHeader.biSizeImage);
            benchmark::ClobberMemory();
        }
    }
    if (from.Bits)
        deldib(from);
    if (to.Bits)
        deldib(to);
}
benchmark::internal::Benchmark* const kMemcpyEightBit =
    benchmark::RegisterBenchmark("BM_MemcpySameBytes/8", MemcpyEightBitPicture)
        ->Unit(benchmark::kMillisecond);

} // namespace
