// SPDX-License-Identifier: GPL-3.0-or-later
// TIFF through libtiff, a band of whole strips (or a row of tiles) at a time, so that beside the
// record only that band is held; read back as 24 bits with alpha laid over white, or grey at 8
// bits and bilevel at 1 bit. libtiff's errors refuse the file (a strip cut short among them)
// and neither they nor its warnings are printed.
#include "DibFileFormats.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace {

// Bands at least this many rows high, so that a file of one-row strips is not read a row a call.
constexpr uint32_t kFewestBandRows = 64;

struct TiffSource
{
    const uint8_t* data;
    size_t size;
    toff_t position = 0;
    bool failed = false; // libtiff reported an error
};

TiffSource& SourceOf(thandle_t handle)
{
    return *static_cast<TiffSource*>(handle);
}

tmsize_t ReadFromMemory(thandle_t handle, void* target, tmsize_t wanted)
{
    TiffSource& s = SourceOf(handle);
    if (wanted < 0 || s.position >= s.size)
        return 0;
    const size_t count = std::min<size_t>(size_t(wanted), s.size - size_t(s.position));
    std::memcpy(target, s.data + s.position, count);
    s.position += count;
    return tmsize_t(count);
}

tmsize_t NoWriting(thandle_t, void*, tmsize_t)
{
    return 0;
}

toff_t SeekInMemory(thandle_t handle, toff_t offset, int whence)
{
    TiffSource& s = SourceOf(handle);
    const toff_t base = whence == SEEK_CUR ? s.position : (whence == SEEK_END ? s.size : 0);
    s.position = base + offset;
    return s.position;
}

int NoClosing(thandle_t)
{
    return 0;
}

toff_t SizeOfMemory(thandle_t handle)
{
    return SourceOf(handle).size;
}

// The file is in memory already; libtiff reads its strips from there without a copy.
int MapMemory(thandle_t handle, void** base, toff_t* size)
{
    TiffSource& s = SourceOf(handle);
    *base = const_cast<uint8_t*>(s.data);
    *size = s.size;
    return 1;
}

void NoUnmapping(thandle_t, void*, toff_t) {}

int OnTiffError(TIFF*, void* user, const char*, const char*, va_list)
{
    static_cast<TiffSource*>(user)->failed = true;
    return 1; // handled: nothing reaches stderr
}

int OnTiffWarning(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

struct TiffCloser
{
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
struct OptionsFreer
{
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};
struct ImageEnder
{
    void operator()(TIFFRGBAImage* image) const { TIFFRGBAImageEnd(image); }
};

ProfileColours ColoursOfPhotometric(uint16_t photometric, uint16_t samples)
{
    switch (photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
        return ProfileColours::Grey;
    case PHOTOMETRIC_RGB:
    case PHOTOMETRIC_PALETTE:
    case PHOTOMETRIC_YCBCR:
        return ProfileColours::Rgb;
    case PHOTOMETRIC_SEPARATED:
        return samples >= 4 ? ProfileColours::Cmyk : ProfileColours::None;
    default:
        return ProfileColours::None;
    }
}

} // namespace

DirectResult ReadTiff(const uint8_t* data, size_t size, const PictureClaim& claim,
                      PictureRecord& out, EmbeddedProfile* profile)
{
    TiffSource source{data, size};
    const std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
    if (!options)
        return DirectResult::NoMemory;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(),
                                        tmsize_t(claim.decoderBytes + kDecoderWorkingBytes));
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), OnTiffError, &source);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), OnTiffWarning, &source);
    const std::unique_ptr<TIFF, TiffCloser> tiff(
        TIFFClientOpenExt("picture", "r", &source, ReadFromMemory, NoWriting, SeekInMemory,
                          NoClosing, SizeOfMemory, MapMemory, NoUnmapping, options.get()));
    if (!tiff || source.failed)
        return DirectResult::Damaged;

    uint32_t width = 0, height = 0;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
    if (width != claim.size.width || height != claim.size.height)
        return DirectResult::Damaged;

    char message[1024] = {};
    TIFFRGBAImage image = {};
    if (!TIFFRGBAImageOK(tiff.get(), message) ||
        !TIFFRGBAImageBegin(&image, tiff.get(), 1, message))
        return DirectResult::Damaged;
    const std::unique_ptr<TIFFRGBAImage, ImageEnder> ender(&image);
    image.req_orientation = ORIENTATION_TOPLEFT;

    // Whole strips or rows of tiles per band, each decoded once. A picture stored in another
    // orientation is turned by libtiff across the band, so it is read as one band.
    uint32_t unit = 0;
    if (TIFFIsTiled(tiff.get()))
        TIFFGetField(tiff.get(), TIFFTAG_TILELENGTH, &unit);
    else
        TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ROWSPERSTRIP, &unit);
    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ORIENTATION, &orientation);
    unit = std::clamp<uint32_t>(unit, 1, height);
    uint32_t band = unit * std::max<uint32_t>(1, kFewestBandRows / unit);
    if (orientation != ORIENTATION_TOPLEFT)
        band = height;
    band = std::min(band, height);

    // A grey picture of one sample stays grey at 8 bits, a bilevel one at 1 bit; both through
    // the grey ramp (for 1 bit: black, white).
    uint16_t photometric = PHOTOMETRIC_RGB, samples = 1, sampleBits = 8;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &sampleBits);
    const bool grey = samples == 1 && (photometric == PHOTOMETRIC_MINISBLACK ||
                                       photometric == PHOTOMETRIC_MINISWHITE);
    const int depth = grey ? (sampleBits == 1 ? 1 : 8) : 24;
    if (profile) {
        profile->fileColours = ColoursOfPhotometric(photometric, samples);
        uint32_t length = 0;
        const void* bytes = nullptr;
        if (TIFFGetField(tiff.get(), TIFFTAG_ICCPROFILE, &length, &bytes) && bytes && length > 0)
            profile->bytes = QByteArray(static_cast<const char*>(bytes), qsizetype(length));
    }

    std::unique_ptr<uint32_t[]> raster(new (std::nothrow) uint32_t[size_t(width) * band]);
    if (!raster)
        return DirectResult::NoMemory;
    PictureRecord picture = newdib(int32_t(width), int32_t(height), depth, nullptr, 0);
    if (!picture.Bits)
        return DirectResult::NoMemory;
    RowPrefetch prefetch(picture);

    for (uint32_t top = 0; top < height; top += band) {
        const uint32_t rows = std::min(band, height - top);
        image.row_offset = int(top);
        image.col_offset = 0;
        if (!TIFFRGBAImageGet(&image, raster.get(), width, rows) || source.failed) {
            prefetch.Stop();
            deldib(picture);
            return DirectResult::Damaged;
        }
        for (uint32_t r = 0; r < rows; ++r) {
            const uint32_t* in = raster.get() + size_t(r) * width;
            uint8_t* row = picture.Bits + int64_t(height - 1 - (top + r)) * picture.BytesPerLine;
            if (depth == 8) {
                for (uint32_t x = 0; x < width; ++x)
                    row[x] = uint8_t(TIFFGetR(in[x]));
                continue;
            }
            if (depth == 1) {
                std::memset(row, 0, size_t(picture.BytesPerLine));
                for (uint32_t x = 0; x < width; ++x)
                    if (TIFFGetR(in[x]) >= 128)
                        row[x / 8] |= uint8_t(0x80u >> (x % 8));
                continue;
            }
            for (uint32_t x = 0; x < width; ++x, ++in, row += 3) {
                const uint8_t alpha = uint8_t(TIFFGetA(*in));
                row[0] = OverWhite(uint8_t(TIFFGetB(*in)), alpha);
                row[1] = OverWhite(uint8_t(TIFFGetG(*in)), alpha);
                row[2] = OverWhite(uint8_t(TIFFGetR(*in)), alpha);
            }
        }
    }
    prefetch.Stop();
    out = picture;
    return DirectResult::Read;
}

namespace {

// A TIFF being changed in memory: libtiff reads it, then writes the changed directory at its
// end and the new offset into the header.
struct TiffInMemory
{
    QByteArray bytes;
    toff_t position = 0;
    bool failed = false;
};

TiffInMemory& MemoryOf(thandle_t handle)
{
    return *static_cast<TiffInMemory*>(handle);
}

tmsize_t ReadChanging(thandle_t handle, void* target, tmsize_t wanted)
{
    TiffInMemory& m = MemoryOf(handle);
    const auto size = toff_t(m.bytes.size());
    if (wanted < 0 || m.position >= size)
        return 0;
    const size_t count = std::min<size_t>(size_t(wanted), size_t(size - m.position));
    std::memcpy(target, m.bytes.constData() + m.position, count);
    m.position += count;
    return tmsize_t(count);
}

tmsize_t WriteChanging(thandle_t handle, void* source, tmsize_t count)
{
    TiffInMemory& m = MemoryOf(handle);
    if (count < 0 || m.position + toff_t(count) > toff_t(std::numeric_limits<int32_t>::max()))
        return -1;
    const auto end = qsizetype(m.position + toff_t(count));
    if (end > m.bytes.size())
        m.bytes.resize(end);
    std::memcpy(m.bytes.data() + m.position, source, size_t(count));
    m.position += toff_t(count);
    return count;
}

toff_t SeekChanging(thandle_t handle, toff_t offset, int whence)
{
    TiffInMemory& m = MemoryOf(handle);
    const toff_t base =
        whence == SEEK_CUR ? m.position : (whence == SEEK_END ? toff_t(m.bytes.size()) : 0);
    m.position = base + offset;
    return m.position;
}

toff_t SizeOfChanging(thandle_t handle)
{
    return toff_t(MemoryOf(handle).bytes.size());
}

int NoMapping(thandle_t, void**, toff_t*)
{
    return 0;
}

int OnChangingError(TIFF*, void* user, const char*, const char*, va_list)
{
    MemoryOf(user).failed = true;
    return 1;
}

} // namespace

QByteArray WithTiffProfile(const QByteArray& tiff, const ColourProfile& profile)
{
    TiffInMemory memory;
    memory.bytes = tiff;
    const std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
    if (!options)
        return {};
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), OnChangingError, &memory);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), OnTiffWarning, &memory);
    std::unique_ptr<TIFF, TiffCloser> opened(
        TIFFClientOpenExt("saved", "r+", &memory, ReadChanging, WriteChanging, SeekChanging,
                          NoClosing, SizeOfChanging, NoMapping, NoUnmapping, options.get()));
    if (!opened || memory.failed)
        return {};
    uint16_t photometric = PHOTOMETRIC_RGB, samples = 1;
    TIFFGetFieldDefaulted(opened.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(opened.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    if (ColoursOfPhotometric(photometric, samples) != profile.colours)
        return tiff;
    if (!TIFFSetField(opened.get(), TIFFTAG_ICCPROFILE, uint32_t(profile.bytes.size()),
                      profile.bytes.constData()) ||
        !TIFFRewriteDirectory(opened.get()))
        return {};
    opened.reset(); // writes what is left
    return memory.failed ? QByteArray() : memory.bytes;
}
