// SPDX-License-Identifier: GPL-3.0-or-later
// Reading very large JPEGs: the time against djpeg decoding the same file in the same run, and
// the peak memory against the picture's own bytes. Each read runs in a child process, whose
// peak resident memory the system reports; the figures are medians of a few runs. The window's
// load of the same file is timed in this process, with the longest time its thread went without
// turning its event loop meanwhile (a 10 ms timer's ticks), which bounds how late a repaint is.
#include "GrafikRW.h"
#include "MainForm.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <string>
#include <vector>

namespace {

constexpr int kRuns = 3;

// A JPEG of that size at quality 90, 4:2:0, with gradients and a fine texture, written a row
// at a time; false when it could not be written.
bool MakeJpeg(const std::string& path, int width, int height)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned texture = ((x * 13) ^ (y * 7)) & 15;
            row[size_t(x) * 3] = JSAMPLE((x * 255 / width + texture) & 255);
            row[size_t(x) * 3 + 1] = JSAMPLE((y * 255 / height + texture) & 255);
            row[size_t(x) * 3 + 2] = JSAMPLE(((x + y) / 64 + texture) & 255);
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

long ResidentKb()
{
    long pages = 0, resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct ChildRun
{
    double seconds = 0;
    long peakKb = 0; // the child's peak resident memory
    bool ok = false;
};

// Runs the work in a child process and reports its wall time and peak memory.
template <typename Work> ChildRun InChild(Work work)
{
    ChildRun run;
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0)
        return run;
    if (child == 0)
        _exit(work() ? 0 : 1);
    int status = 0;
    rusage usage = {};
    if (wait4(child, &status, 0, &usage) != child)
        return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    run.peakKb = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// The reference: djpeg decoding the file to nothing.
ChildRun Djpeg(const std::string& path)
{
    return InChild([&path] {
        execlp("djpeg", "djpeg", "-outfile", "/dev/null", path.c_str(), nullptr);
        return false;
    });
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void BM_ReadLargeJpeg(benchmark::State& state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    const std::string path = "/tmp/velmora-bench-" + std::to_string(width) + "x" +
                             std::to_string(height) + "-" + std::to_string(getpid()) + ".jpg";
    if (!MakeJpeg(path, width, height)) {
        state.SkipWithError("the JPEG could not be written");
        return;
    }
    const double pictureBytes = double(DIBRowBytes(width, 24)) * height;
    std::vector<double> ours, djpeg, peaks;
    for (auto _ : state) {
        for (int i = 0; i < kRuns; ++i) {
            const long before = ResidentKb();
            const ChildRun read = InChild([&path] {
                const PictureRecord p = OpenDib(path.c_str(), 0);
                return p.Bits != nullptr;
            });
            const ChildRun reference = Djpeg(path);
            if (!read.ok || !reference.ok) {
                state.SkipWithError(read.ok ? "djpeg failed" : "OpenDib failed");
                break;
            }
            ours.push_back(read.seconds);
            djpeg.push_back(reference.seconds);
            peaks.push_back(double(read.peakKb - before) * 1024);
        }
    }
    std::remove(path.c_str());
    if (ours.empty())
        return;
    state.counters["read_s"] = Median(ours);
    state.counters["djpeg_s"] = Median(djpeg);
    state.counters["time_vs_djpeg"] = Median(ours) / Median(djpeg);
    state.counters["picture_MB"] = pictureBytes / 1e6;
    state.counters["peak_MB"] = Median(peaks) / 1e6;
    state.counters["peak_vs_picture"] = Median(peaks) / pictureBytes;
}
BENCHMARK(BM_ReadLargeJpeg)
    ->Args({20000, 15000})
    ->Args({40000, 25000})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

void BM_WindowLoadsLargeJpeg(benchmark::State& state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    const std::string path = "/tmp/velmora-bench-window-" + std::to_string(width) + "x" +
                             std::to_string(height) + "-" + std::to_string(getpid()) + ".jpg";
    if (!MakeJpeg(path, width, height)) {
        state.SkipWithError("the JPEG could not be written");
        return;
    }
    std::vector<double> ours, djpeg;
    qint64 longestGapMs = 0;
    {
        TMainForm window;
        window.show();
        bool loading = false;
        QElapsedTimer sinceTick;
        sinceTick.start();
        QTimer ticks;
        ticks.setInterval(10);
        QObject::connect(&ticks, &QTimer::timeout, [&] {
            const qint64 gap = sinceTick.restart();
            if (loading)
                longestGapMs = std::max(longestGapMs, gap);
        });
        ticks.start();
        const QString file = QString::fromStdString(path);
        for (auto _ : state) {
            for (int i = 0; i < kRuns; ++i) {
                QElapsedTimer load;
                loading = true;
                sinceTick.restart();
                load.start();
                const bool read = window.OpenPictureFile(file);
                longestGapMs = std::max(longestGapMs, sinceTick.elapsed());
                loading = false;
                ours.push_back(load.nsecsElapsed() / 1e9);
                const ChildRun reference = Djpeg(path);
                if (!read || !reference.ok) {
                    state.SkipWithError(read ? "djpeg failed" : "the window did not load it");
                    break;
                }
                djpeg.push_back(reference.seconds);
            }
        }
    }
    std::remove(path.c_str());
    if (ours.empty() || djpeg.empty())
        return;
    state.counters["load_s"] = Median(ours);
    state.counters["djpeg_s"] = Median(djpeg);
    state.counters["time_vs_djpeg"] = Median(ours) / Median(djpeg);
    state.counters["longest_gap_ms"] = double(longestGapMs);
}
BENCHMARK(BM_WindowLoadsLargeJpeg)
    ->Args({20000, 15000})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

} // namespace
