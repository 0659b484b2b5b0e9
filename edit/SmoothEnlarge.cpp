// SPDX-License-Identifier: GPL-3.0-or-later
#include "SmoothEnlarge.h"

#include "ColourProfile.h"
#include "LoadedLibrary.h"

#include <QCoreApplication>

#include <vips/vips.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// Bicubic reaches two pixels out from a sample; one more keeps rounding at the edges safe.
constexpr int kReach = 3;

// The calls of libvips made here, found when the first share is enlarged.
struct VipsCalls
{
    decltype(&vips_init) init = nullptr;
    decltype(&vips_cache_set_max) cacheSetMax = nullptr;
    decltype(&vips_error_buffer) errorBuffer = nullptr;
    decltype(&vips_error_clear) errorClear = nullptr;
    decltype(&vips_image_new_from_memory) imageFromMemory = nullptr;
    decltype(&vips_interpolate_new) interpolateNew = nullptr;
    decltype(&vips_array_int_newv) arrayIntNewv = nullptr;
    decltype(&vips_area_unref) areaUnref = nullptr;
    decltype(&vips_affine) affine = nullptr;
    decltype(&vips_image_write_to_memory) writeToMemory = nullptr;
};

bool OpenVips(VipsCalls& calls, QString& error)
{
    void* vips = OpenLibrary("libvips.so.42", &error);
    return vips && FindFunction(vips, "vips_init", calls.init, &error) &&
           FindFunction(vips, "vips_cache_set_max", calls.cacheSetMax, &error) &&
           FindFunction(vips, "vips_error_buffer", calls.errorBuffer, &error) &&
           FindFunction(vips, "vips_error_clear", calls.errorClear, &error) &&
           FindFunction(vips, "vips_image_new_from_memory", calls.imageFromMemory, &error) &&
           FindFunction(vips, "vips_interpolate_new", calls.interpolateNew, &error) &&
           FindFunction(vips, "vips_array_int_newv", calls.arrayIntNewv, &error) &&
           FindFunction(vips, "vips_area_unref", calls.areaUnref, &error) &&
           FindFunction(vips, "vips_affine", calls.affine, &error) &&
           FindFunction(vips, "vips_image_write_to_memory", calls.writeToMemory, &error);
}

QString VipsError(const VipsCalls& vips, const char* what)
{
    QString text = QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                                QString::fromUtf8(vips.errorBuffer()).trimmed());
    vips.errorClear();
    return text;
}

// libvips opened and started once; null, with the reason, when it could not be.
const VipsCalls* StartVips(QString& error)
{
    static std::once_flag once;
    static VipsCalls calls;
    static bool started = false;
    static QString why;
    std::call_once(once, [] {
        if (!OpenVips(calls, why)) {
            why = QStringLiteral("the resampler could not start: %1").arg(why);
            return;
        }
        started = calls.init("velmora") == 0;
        if (!started) {
            why = VipsError(calls, "the resampler could not start");
            return;
        }
        // Every share is made once: nothing is worth keeping for another call.
        calls.cacheSetMax(0);
    });
    if (!started)
        error = why;
    return started ? &calls : nullptr;
}

struct ObjectUnref
{
    void operator()(void* object) const { g_object_unref(object); }
};
template <typename T> using VipsRef = std::unique_ptr<T, ObjectUnref>;

// Columns x0..x1-1 of rows y0..y1-1 (from the top) as RGB bytes, top row first.
std::vector<uint8_t> RgbRegion(const PictureRecord& picture, int32_t x0, int32_t y0, int32_t x1,
                               int32_t y1)
{
    const int bits = picture.Info->bmiHeader.biBitCount;
    std::vector<uint8_t> rgb(size_t(x1 - x0) * size_t(y1 - y0) * 3);
    uint8_t* out = rgb.data();
    for (int32_t y = y0; y < y1; ++y) {
        if (bits == 24) {
            const uint8_t* row = picture.Bits +
                                 int64_t(DIBHeight(picture) - 1 - y) * picture.BytesPerLine +
                                 int64_t(x0) * 3;
            for (int32_t x = x0; x < x1; ++x, row += 3) {
                *out++ = row[2];
                *out++ = row[1];
                *out++ = row[0];
            }
            continue;
        }
        for (int32_t x = x0; x < x1; ++x) {
            const int32_t c = PixelColour(picture, x, y);
            *out++ = uint8_t(c >> 16);
            *out++ = uint8_t(c >> 8);
            *out++ = uint8_t(c);
        }
    }
    return rgb;
}

} // namespace

PictureRecord SmoothPart(const PictureRecord& picture, double x, double y, double width,
                         double height, int32_t outWidth, int32_t outHeight, QString* error)
{
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return PictureRecord();
    };
    if (!picture.Bits || !picture.Info || width <= 0 || height <= 0 || outWidth <= 0 ||
        outHeight <= 0)
        return fail(QCoreApplication::translate("SmoothEnlarge", "nothing to enlarge"));
    const int bits = picture.Info->bmiHeader.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        return fail(
            QCoreApplication::translate("SmoothEnlarge", "a picture of %1 bits a pixel").arg(bits));
    QString notStarted;
    const VipsCalls* vips = StartVips(notStarted);
    if (!vips)
        return fail(notStarted);

    // Only the pixels the samples reach are handed over: a share of a large picture is small.
    const int32_t w = DIBWidth(picture);
    const int32_t h = DIBHeight(picture);
    const int32_t x0 = std::clamp(int32_t(std::floor(x)) - kReach, 0, w - 1);
    const int32_t y0 = std::clamp(int32_t(std::floor(y)) - kReach, 0, h - 1);
    const int32_t x1 = std::clamp(int32_t(std::ceil(x + width)) + kReach, x0 + 1, w);
    const int32_t y1 = std::clamp(int32_t(std::ceil(y + height)) + kReach, y0 + 1, h);
    std::vector<uint8_t> rgb = RgbRegion(picture, x0, y0, x1, y1);
    VipsRef<VipsImage> region(
        vips->imageFromMemory(rgb.data(), rgb.size(), x1 - x0, y1 - y0, 3, VIPS_FORMAT_UCHAR));
    if (!region)
        return fail(VipsError(*vips, "the resampler took no pixels"));

    // Output pixel i samples the picture at the place of its centre, x + (i + 0.5) / a - 0.5,
    // a being output pixels per picture pixel; vips maps output X to input X / a - idx.
    const double ax = outWidth / width;
    const double ay = outHeight / height;
    const double idx = -(x - x0) - 0.5 / ax + 0.5;
    const double idy = -(y - y0) - 0.5 / ay + 0.5;
    VipsRef<VipsInterpolate> bicubic(vips->interpolateNew("bicubic"));
    VipsImage* made = nullptr;
    VipsArrayInt* area = vips->arrayIntNewv(4, 0, 0, int(outWidth), int(outHeight));
    const int failed =
        vips->affine(region.get(), &made, ax, 0, 0, ay, "interpolate", bicubic.get(), "oarea", area,
                     "idx", idx, "idy", idy, "extend", VIPS_EXTEND_COPY, nullptr);
    vips->areaUnref(VIPS_AREA(area));
    VipsRef<VipsImage> enlarged(made);
    if (failed || !enlarged)
        return fail(VipsError(*vips, "the picture could not be enlarged"));
    size_t bytes = 0;
    std::unique_ptr<uint8_t, decltype(&g_free)> pixels(
        static_cast<uint8_t*>(vips->writeToMemory(enlarged.get(), &bytes)), &g_free);
    if (!pixels || bytes != size_t(outWidth) * size_t(outHeight) * 3)
        return fail(VipsError(*vips, "the enlarged picture could not be read"));

    PictureRecord out = newdib(outWidth, outHeight, 24, nullptr, 0);
    if (!out.Bits)
        return fail(QCoreApplication::translate("SmoothEnlarge",
                                                "not enough memory for the enlarged picture"));
    for (int32_t row = 0; row < outHeight; ++row) {
        const uint8_t* from = pixels.get() + size_t(row) * size_t(outWidth) * 3;
        uint8_t* to = out.Bits + int64_t(outHeight - 1 - row) * out.BytesPerLine;
        for (int32_t i = 0; i < outWidth; ++i, from += 3, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    KeepColourProfile(picture, out);
    return out;
}

double SmoothPixelsPerInch(double posterWidthMm, double posterHeightMm, int deviceDpi)
{
    const double finest = std::min(300.0, double(std::max(deviceDpi, 1)));
    const double floor = std::min(150.0, finest);
    const double squareInches = posterWidthMm * posterHeightMm / (25.4 * 25.4);
    if (squareInches <= 0)
        return finest;
    return std::clamp(std::sqrt(kSmoothPixelBudget / squareInches), floor, finest);
}
