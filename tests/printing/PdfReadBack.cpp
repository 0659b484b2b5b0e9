// SPDX-License-Identifier: GPL-3.0-or-later
#include "PdfReadBack.h"

#include "HeldPicture.h"
#include "PictureColour.h"
#include "PosterSamples.h"
#include "PrinterMetrics.h"
#include "TestSupport.h"

#include <QFile>
#include <QPrinter>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <random>

#include <jpeglib.h>

namespace pdftest {

bool HavePoppler()
{
    return testsupport::HaveProgram("pdfimages") && testsupport::HaveProgram("pdfinfo");
}

void SetUpPdf(QPrinter& printer, const QString& file)
{
    testsupport::SetUpPdfPrinter(printer, file, kDpi);
}

PrintResult PrintToPdf(const PictureRecord& picture, const PrintJobInputs& in, const QString& file,
                       const std::function<void(int, int)>& progress)
{
    QPrinter printer(QPrinter::HighResolution);
    SetUpPdf(printer, file);
    PrinterPageSink sink(printer);
    return PrintPoster(sink, picture, in, progress);
}

std::vector<ImageEntry> ListImages(const QString& pdf)
{
    std::vector<ImageEntry> images;
    const QString list = testsupport::TestDir() + QStringLiteral("/images.txt");
    if (!testsupport::Run(QStringLiteral("pdfimages -list '%1' > '%2'").arg(pdf, list)))
        return images;
    QFile file(list);
    if (!file.open(QIODevice::ReadOnly))
        return images;
    const QStringList lines = QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'));
    for (const QString& line : lines.mid(2)) {
        const QStringList f = line.simplified().split(QLatin1Char(' '));
        if (f.size() < 9)
            continue;
        images.push_back({f[0].toInt(), f[3].toInt(), f[4].toInt(), f[5], f[7].toInt(), f[8]});
    }
    return images;
}

std::vector<Share> Shares(const PrintJobInputs& in, QSize printable)
{
    std::vector<Share> shares;
    const QSize dest = PictureAreaOf(printable, in.render.options, in.render.gx, in.render.gy);
    const int32_t w = in.render.pictureWidth;
    const int32_t h = in.render.pictureHeight;
    for (const auto& [column, row] :
         PageOrder(in.order, in.render.geometry.PagesAcross, in.render.geometry.PagesDown)) {
        if (in.choice == PageChoice::NotTheClickedOff && in.pagesOff[PageIndex(column, row)])
            continue;
        const auto r =
            PosterPageRects(in.render, column, row, 0, 0, dest.width(), dest.height(), true);
        if (!r)
            continue;
        const StretchRects c = ClipStretchRects(*r, w);
        const int y0 = std::max(c.srcY, 0);
        const int y1 = std::min(c.srcY + c.srcHeight, h);
        shares.push_back({std::max(c.srcX, 0), std::min(c.srcX + c.srcWidth, w), h - y1, h - y0});
    }
    return shares;
}

PictureRecord NoisePicture(int w, int h, int bits, unsigned seed)
{
    PictureRecord p = newdib(w, h, bits, nullptr, 0);
    std::mt19937 random(seed);
    for (int i = 0; i < ColourTableSize(bits); ++i)
        p.Info->bmiColors[i] = {uint8_t(random()), uint8_t(random()), uint8_t(random()), 0};
    const uint32_t values = bits == 24 ? 0x1000000u : 1u << bits;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            setpixel(p, x, y, int32_t(random() % values));
    return p;
}

PrintJobInputs AllPagesOf(int w, int h)
{
    PrintJobInputs in = testsupport::ThreeByTwo(w, h);
    in.choice = PageChoice::AllPages;
    return in;
}

QSize PrintableOf(const QString& file)
{
    QPrinter printer(QPrinter::HighResolution);
    SetUpPdf(printer, file);
    return printer.pageLayout().paintRectPixels(printer.resolution()).size();
}

QString WriteJpeg(const PictureRecord& picture, const QString& name, const char* sampling)
{
    const QString ppm =
        testsupport::TestDir() + QStringLiteral("/") + name + QStringLiteral(".ppm");
    const QString jpg =
        testsupport::TestDir() + QStringLiteral("/") + name + QStringLiteral(".jpg");
    QImage image(DIBWidth(picture), DIBHeight(picture), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, testsupport::ColourAt(picture, x, y));
    if (!image.save(ppm, "PPM") ||
        !testsupport::Run(QStringLiteral("cjpeg -quality 80 -sample %1 '%2' > '%3'")
                              .arg(QLatin1String(sampling), ppm, jpg)))
        return {};
    return jpg;
}

QString NoiseJpeg(int w, int h, unsigned seed, const QString& name, const char* sampling)
{
    const HeldPicture noise(NoisePicture(w, h, 24, seed));
    const QString jpg = WriteJpeg(*noise, name, sampling);
    return jpg;
}

namespace {

// Decodes the JPEG as RGB into *image; false on any complaint of the decoder. Nothing here
// has a destructor for the decoder's long jump to skip.
bool DecodeRgb(const QByteArray& data, QImage* image)
{
    JpegJumpBack errors;
    jpeg_decompress_struct d;
    CatchJpegErrors(d, errors);
    if (setjmp(errors.back)) {
        jpeg_destroy_decompress(&d);
        return false;
    }
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_RGB;
    // Without the smoothing upsampler every block decodes from its own data alone.
    d.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&d);
    *image = QImage(int(d.output_width), int(d.output_height), QImage::Format_RGB888);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = image->scanLine(int(d.output_scanline));
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return true;
}

} // namespace

void CatchJpegErrors(jpeg_decompress_struct& d, JpegJumpBack& errors)
{
    std::memset(&d, 0, sizeof d);
    d.err = jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = [](j_common_ptr info) {
        std::longjmp(reinterpret_cast<JpegJumpBack*>(info->err)->back, 1);
    };
    errors.mgr.emit_message = [](j_common_ptr, int) {};
}

QImage DecodeExactly(const QString& jpg)
{
    QFile file(jpg);
    QImage image;
    if (!file.open(QIODevice::ReadOnly) || !DecodeRgb(file.readAll(), &image))
        return {};
    return image.convertToFormat(QImage::Format_RGB32);
}

int ShareDistance(const QImage& part, const QImage& expected, const Share& s)
{
    const int w = s.x1 - s.x0, h = s.bottom - s.top;
    int best = 256;
    for (int oy = 0; oy + h <= part.height() && best > 0; ++oy)
        for (int ox = 0; ox + w <= part.width() && best > 0; ++ox) {
            int worst = 0;
            for (int y = 0; y < h && worst < best; ++y)
                for (int x = 0; x < w && worst < best; ++x) {
                    const QRgb a = part.pixel(ox + x, oy + y);
                    const QRgb b = expected.pixel(s.x0 + x, s.top + y);
                    worst =
                        std::max({worst, std::abs(qRed(a) - qRed(b)),
                                  std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
                }
            best = std::min(best, worst);
        }
    return best;
}

} // namespace pdftest
