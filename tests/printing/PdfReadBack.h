// SPDX-License-Identifier: GPL-3.0-or-later
// Printing a poster to a PDF file and reading it back with poppler's and libjpeg's tools.
#pragma once

#include "GrafikRW.h"
#include "PrintJob.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <csetjmp>
#include <cstdio>
#include <functional>
#include <vector>

#include <jpeglib.h>

class QPrinter;

namespace pdftest {

constexpr int kDpi = 150;

bool HavePoppler();
void SetUpPdf(QPrinter& printer, const QString& file);
PrintResult PrintToPdf(const PictureRecord& picture, const PrintJobInputs& in, const QString& file,
                       const std::function<void(int, int)>& progress = nullptr);

struct ImageEntry
{
    int page = 0;
    int width = 0;
    int height = 0;
    QString colour; // "rgb", "gray", "index"
    int bits = 0;
    QString encoding; // "image" (Flate), "jpeg"
};

// The images of a PDF as `pdfimages -list` lists them.
std::vector<ImageEntry> ListImages(const QString& pdf);

// The part of the picture a page shows: columns x0..x1-1 and rows top..bottom-1 from the top.
struct Share
{
    int x0 = 0, x1 = 0, top = 0, bottom = 0;
};

// The shares of the printed pages, in print order.
std::vector<Share> Shares(const PrintJobInputs& in, QSize printable);

// Noise in every depth, with a colour table of its own for the paletted ones.
PictureRecord NoisePicture(int w, int h, int bits, unsigned seed);
// Three by two pages, every one printed.
PrintJobInputs AllPagesOf(int w, int h);
QSize PrintableOf(const QString& file);
// A JPEG of the picture from cjpeg, so that the sampling is known; empty on failure.
QString WriteJpeg(const PictureRecord& picture, const QString& name, const char* sampling);
// A JPEG of noise of that size, the same way; empty on failure.
QString NoiseJpeg(int w, int h, unsigned seed, const QString& name, const char* sampling);
// The JPEG decoded without the smoothing upsampler: every block from its own data alone.
QImage DecodeExactly(const QString& jpg);

// libjpeg's errors as a long jump to `back`, which the caller sets with setjmp before the first
// call of the decoder; its warnings go unsaid.
struct JpegJumpBack
{
    jpeg_error_mgr mgr;
    jmp_buf back;
};
// A decoder, cleared, whose errors go to `errors`.
void CatchJpegErrors(jpeg_decompress_struct& d, JpegJumpBack& errors);

// How far the share's pixels are from the expected picture's, as the largest difference of a
// channel, at the place in the decoded part where they fit best; the part holds the share and
// some blocks around it.
int ShareDistance(const QImage& part, const QImage& expected, const Share& s);

} // namespace pdftest
