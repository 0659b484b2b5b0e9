// SPDX-License-Identifier: GPL-3.0-or-later
// The header of each type read before its decoder runs: the size it claims, the record and the
// decoder memory that size will take, and whether the file's bytes can hold such a picture at
// all, at the densest coding its type has.
#include "DibFileFormats.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

namespace {

// Products of header fields may pass 64 bits before they are compared.
using Wide = unsigned __int128;

class Bytes
{
public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Has(size_t offset, size_t count) const
    {
        return offset <= size_ && count <= size_ - offset;
    }
    bool Matches(size_t offset, const char* text) const
    {
        const size_t n = std::strlen(text);
        return Has(offset, n) && std::memcmp(data_ + offset, text, n) == 0;
    }
    uint8_t U8(size_t offset) const { return data_[offset]; }
    uint32_t Le16(size_t o) const { return data_[o] | (data_[o + 1] << 8); }
    uint32_t Be16(size_t o) const { return (data_[o] << 8) | data_[o + 1]; }
    uint32_t Le32(size_t o) const { return Le16(o) | (Le16(o + 2) << 16); }
    uint32_t Be32(size_t o) const { return (Be16(o) << 16) | Be16(o + 2); }
    size_t Size() const { return size_; }
    const uint8_t* Data() const { return data_; }

private:
    const uint8_t* data_;
    size_t size_;
};

using Claim = std::optional<PictureClaim>;

const char* const kPngSignature = "\x89PNG\r\n\x1a\n";

uint64_t Saturated(Wide value)
{
    return value > std::numeric_limits<uint64_t>::max() ? std::numeric_limits<uint64_t>::max()
                                                        : uint64_t(value);
}

// Bytes of w x h pixels of bytesPerPixel each, rows padded to 4 bytes as SDL lays out surfaces.
uint64_t SurfaceBytes(const PictureSize& s, int bytesPerPixel)
{
    if (s.width <= 0 || s.height <= 0)
        return 0;
    const Wide pitch = (Wide(s.width) * unsigned(bytesPerPixel) + 3) & ~Wide(3);
    return Saturated(pitch * uint64_t(s.height));
}

Wide Pixels(const PictureSize& s)
{
    return (s.width <= 0 || s.height <= 0) ? 0 : Wide(s.width) * uint64_t(s.height);
}

// --- BMP ----------------------------------------------------------------------------------

constexpr size_t kBmpInfoStart = 14;
constexpr uint32_t kBmpCoreHeader = 12; // OS/2 1.x header with 16-bit sizes
constexpr uint32_t kBmpInfoHeader = 40;
constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3;

// Pixels that the runs and literal stretches of a run-length BMP actually give, each confined to
// its row; end-of-line and delta escapes leave pixels out, end-of-picture ends the count.
Wide RunLengthCoverage(const Bytes& b, size_t pos, const PictureSize& s, bool fourBit)
{
    Wide covered = 0;
    int64_t x = 0, y = 0;
    auto give = [&](int64_t n) {
        const int64_t inRow = std::min<int64_t>(n, std::max<int64_t>(0, s.width - x));
        covered += uint64_t(inRow);
        x += n;
    };
    while (y < s.height && b.Has(pos, 2)) {
        const uint8_t count = b.U8(pos), code = b.U8(pos + 1);
        pos += 2;
        if (count > 0) {
            give(count);
            continue;
        }
        switch (code) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of picture
            return covered;
        case 2: // delta: right and down, the pixels in between left out
            if (!b.Has(pos, 2))
                return covered;
            x += b.U8(pos);
            y += b.U8(pos + 1);
            pos += 2;
            break;
        default: { // a literal stretch, padded to whole 16-bit words
            const size_t bytes = fourBit ? (code + 1u) / 2 : code;
            give(code);
            pos += (bytes + 1) & ~size_t(1);
            break;
        }
        }
    }
    return covered;
}

// A BMP, or a headerless DIB (a bitmap info header without the file header in front).
Claim ClaimBmpAt(const Bytes& b, size_t infoStart, size_t pixelOffset, bool headerless)
{
    if (!b.Has(infoStart, 4))
        return std::nullopt;
    PictureClaim c;
    c.type = PictureType::Bmp;
    const uint32_t headerSize = b.Le32(infoStart);
    uint32_t bits = 0, compression = kBiRgb, colours = 0;
    if (headerSize == kBmpCoreHeader) {
        if (!b.Has(infoStart, kBmpCoreHeader))
            return std::nullopt;
        c.size = {b.Le16(infoStart + 4), b.Le16(infoStart + 6)};
        bits = b.Le16(infoStart + 10);
    } else {
        if (headerSize < kBmpInfoHeader || !b.Has(infoStart, kBmpInfoHeader))
            return std::nullopt;
        if (!b.Has(infoStart, headerSize) && !headerless) {
            c.fitsFile = false;
            c.fault = "a BMP whose header size field says " + std::to_string(headerSize) +
                      " bytes, in a file of " + std::to_string(b.Size()) + " bytes";
        }
        // A negative height marks rows stored top-down.
        const int64_t height = int32_t(b.Le32(infoStart + 8));
        c.size = {int32_t(b.Le32(infoStart + 4)), height < 0 ? -height : height};
        bits = b.Le16(infoStart + 14);
        compression = b.Le32(infoStart + 16);
        colours = b.Le32(infoStart + 32);
    }
    if (headerless) {
        if (b.Le16(infoStart + (headerSize == kBmpCoreHeader ? 8 : 12)) != 1)
            return std::nullopt; // one plane, or this is no bitmap header at all
        const uint64_t entries = bits <= 8 ? (colours ? colours : 1u << bits) : colours;
        const uint64_t entryBytes = headerSize == kBmpCoreHeader ? 3 : 4;
        const uint64_t masks =
            (compression == kBiBitfields && headerSize == kBmpInfoHeader) ? 12 : 0;
        pixelOffset = size_t(
            std::min<uint64_t>(headerSize + masks + entries * entryBytes, uint64_t(b.Size()) + 1));
    }
    switch (bits) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        if (headerless)
            return std::nullopt;
        c.fitsFile = false; // no depth that BMP has
        if (c.fault.empty())
            c.fault = "a BMP of " + std::to_string(bits) + " bits per pixel, a depth BMP has not";
    }
    c.recordBits = bits <= 8 ? 8 : 24;
    // The decoder's surface holds 1, 2, 3 or 4 bytes per pixel; a headerless one is read from a
    // copy with the file header put in front.
    c.decoderBytes = SurfaceBytes(c.size, bits <= 8 ? 1 : int(bits / 8));
    if (headerless)
        c.decoderBytes += b.Size() + kBmpInfoStart;

    const size_t data = pixelOffset <= b.Size() ? b.Size() - pixelOffset : 0;
    if (c.size.width <= 0 || c.size.height <= 0)
        return c;
    if (compression == kBiRgb || compression == kBiBitfields) {
        // Some writers leave out the padding of the last row; nothing else may be missing.
        const Wide rowBits = Wide(c.size.width) * bits;
        const Wide row = ((rowBits + 31) / 32) * 4;
        const Wide needed = row * uint64_t(c.size.height - 1) + (rowBits + 7) / 8;
        c.fitsFile = c.fitsFile && needed <= data;
    } else if (compression == kBiRle8 || compression == kBiRle4) {
        // Rows that escapes leave out make no real picture of that size: at least half the
        // pixels must come from runs or literal stretches.
        const Wide covered = RunLengthCoverage(b, pixelOffset, c.size, compression == kBiRle4);
        c.fitsFile = c.fitsFile && covered * 2 >= Pixels(c.size);
    } else {
        c.fitsFile = false; // JPEG or PNG inside, or no compression that BMP has
        if (c.fault.empty())
            c.fault = "a BMP of compression " + std::to_string(compression) +
                      ", which Velmora does not read";
    }
    return c;
}

Claim ClaimBmp(const Bytes& b)
{
    if (!b.Matches(0, "BM") || !b.Has(10, 4))
        return std::nullopt;
    return ClaimBmpAt(b, kBmpInfoStart, b.Le32(10), false);
}

// A DIB as the clipboard holds it: a 40-byte (or 12-byte OS/2) header straight away.
Claim ClaimHeaderlessDib(const Bytes& b)
{
    if (!b.Has(0, 4))
        return std::nullopt;
    const uint32_t headerSize = b.Le32(0);
    if (headerSize != kBmpInfoHeader && headerSize != kBmpCoreHeader)
        return std::nullopt;
    return ClaimBmpAt(b, 0, 0, true);
}

// --- PNG ----------------------------------------------------------------------------------

// Deflate gives at most 258 bytes for a code of 2 bits, 1032 bytes for one byte.
constexpr uint64_t kDeflateMostPerByte = 1032;

Claim ClaimPng(const Bytes& b)
{
    if (!b.Matches(0, kPngSignature) || !b.Matches(12, "IHDR") || !b.Has(16, 13))
        return std::nullopt;
    PictureClaim c;
    c.type = PictureType::Png;
    c.size = {b.Be32(16), b.Be32(20)};
    const unsigned depth = b.U8(24), colourType = b.U8(25);
    const bool interlaced = b.U8(28) != 0;
    unsigned channels = 1;
    switch (colourType) {
    case 2:
        channels = 3;
        break;
    case 4:
        channels = 2;
        break;
    case 6:
        channels = 4;
        break;
    default:
        break;
    }
    const bool trueColour = colourType == 2 || colourType >= 4;
    c.recordBits = trueColour ? 24 : 8;
    const Wide rawRow = (Wide(std::max<int64_t>(c.size.width, 0)) * channels * depth + 7) / 8 + 1;
    // libpng holds the row and the row before it; the reader one row of four bytes a pixel, or
    // the whole picture for interlaced files, whose passes fill in earlier rows.
    const Wide own = interlaced ? Wide(SurfaceBytes(c.size, trueColour ? 4 : 1))
                                : Wide(SurfaceBytes({c.size.width, 1}, 4));
    c.decoderBytes = Saturated(rawRow * 2 + own);
    if (c.size.width > 0 && c.size.height > 0)
        c.fitsFile = rawRow * uint64_t(c.size.height) <= Wide(kDeflateMostPerByte) * b.Size();
    return c;
}

// --- QOI ----------------------------------------------------------------------------------

Claim ClaimQoi(const Bytes& b)
{
    constexpr size_t kHeader = 14;
    constexpr uint64_t kLongestRun = 62; // QOI_OP_RUN: one byte for up to 62 pixels
    if (!b.Matches(0, "qoif") || !b.Has(0, kHeader))
        return std::nullopt;
    PictureClaim c;
    c.type = PictureType::Qoi;
    c.size = {b.Be32(4), b.Be32(8)};
    // The decoder's own buffer of four bytes a pixel, and the surface made from it.
    c.decoderBytes = SurfaceBytes(c.size, 4) * 2;
    c.fitsFile = Pixels(c.size) <= Wide(kLongestRun) * (b.Size() - kHeader);
    return c;
}

// --- GIF ----------------------------------------------------------------------------------

// The decoder allocates each frame by its own size, which may exceed the logical screen, so the
// first image descriptor is what counts. Like the decoder, bytes that start neither a block nor
// the trailer are passed over.
Claim ClaimGif(const Bytes& b)
{
    constexpr size_t kScreenEnd = 13;
    constexpr uint8_t kColourTableFlag = 0x80;
    constexpr uint8_t kExtension = 0x21, kImage = 0x2C, kTrailer = 0x3B;
    constexpr uint64_t kLongestCode = 4096; // an LZW code stands for at most 4096 pixels
    if ((!b.Matches(0, "GIF87a") && !b.Matches(0, "GIF89a")) || !b.Has(0, kScreenEnd))
        return std::nullopt;
    size_t pos = kScreenEnd;
    const uint8_t flags = b.U8(10);
    if (flags & kColourTableFlag)
        pos += 3u << ((flags & 7) + 1);
    while (b.Has(pos, 1)) {
        const uint8_t kind = b.U8(pos);
        if (kind == kImage) {
            if (!b.Has(pos, 9))
                return std::nullopt;
            PictureClaim c;
            c.type = PictureType::Gif;
            c.size = {b.Le16(pos + 5), b.Le16(pos + 7)};
            c.recordBits = 8;
            // One row of indices and the order of the rows.
            c.decoderBytes = uint64_t(c.size.width) + uint64_t(c.size.height) * sizeof(int);
            c.fitsFile = Pixels(c.size) <= Wide(kLongestCode) * b.Size();
            return c;
        }
        if (kind == kTrailer)
            return std::nullopt;
        if (kind != kExtension) {
            ++pos;
            continue;
        }
        if (!b.Has(pos, 2))
            return std::nullopt;
        pos += 2;
        while (b.Has(pos, 1) && b.U8(pos) != 0)
            pos += 1 + b.U8(pos);
        ++pos;
    }
    return std::nullopt;
}

// --- JPEG ---------------------------------------------------------------------------------

struct JpegFrame
{
    PictureSize size;
    bool progressive = false;
    int components = 0;
    int h[4] = {}, v[4] = {};
};

// Past the entropy-coded data that follows a scan header: to the next marker that is neither
// a stuffed zero nor a restart.
size_t SkipEntropyData(const Bytes& b, size_t pos)
{
    const uint8_t* data = b.Data();
    while (pos < b.Size()) {
        const auto* ff = static_cast<const uint8_t*>(std::memchr(data + pos, 0xFF, b.Size() - pos));
        if (!ff)
            return b.Size();
        pos = size_t(ff - data);
        if (pos + 1 >= b.Size())
            return b.Size();
        const uint8_t next = data[pos + 1];
        if (next == 0x00 || next == 0xFF || (next >= 0xD0 && next <= 0xD7)) {
            pos += next == 0xFF ? 1 : 2;
            continue;
        }
        return pos;
    }
    return pos;
}

Claim ClaimJpeg(const Bytes& b)
{
    if (!b.Has(0, 3) || b.U8(0) != 0xFF || b.U8(1) != 0xD8)
        return std::nullopt;
    std::optional<JpegFrame> frame;
    int scans = 0;
    size_t pos = 2;
    while (b.Has(pos, 2)) {
        if (b.U8(pos) != 0xFF)
            break; // damaged: the decoder will say so
        const uint8_t marker = b.U8(pos + 1);
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xD9) // end of picture
            break;
        const bool standalone = marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
        if (standalone) {
            pos += 2;
            continue;
        }
        if (!b.Has(pos + 2, 2))
            break;
        const size_t length = b.Be16(pos + 2);
        const bool startOfFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (startOfFrame && !frame) {
            if (!b.Has(pos + 5, 4))
                return std::nullopt;
            JpegFrame f;
            f.size = {b.Be16(pos + 7), b.Be16(pos + 5)};
            f.progressive = (marker & 0x03) == 0x02; // SOF2, SOF6, SOF10, SOF14
            f.components = b.Has(pos + 9, 1) ? std::min<int>(b.U8(pos + 9), 4) : 0;
            for (int i = 0; i < f.components; ++i) {
                const size_t at = pos + 10 + 3 * size_t(i) + 1;
                if (!b.Has(at, 1))
                    return std::nullopt;
                f.h[i] = std::clamp(b.U8(at) >> 4, 1, 4);
                f.v[i] = std::clamp(b.U8(at) & 0x0F, 1, 4);
            }
            frame = f;
        }
        pos += 2 + length;
        if (marker == 0xDA) { // start of scan, then its coded data
            ++scans;
            pos = SkipEntropyData(b, pos);
        }
    }
    if (!frame)
        return std::nullopt;

    const JpegFrame& f = *frame;
    PictureClaim c;
    c.type = PictureType::Jpeg;
    c.size = f.size;
    c.recordBits = f.components == 1 ? 8 : 24;
    if (f.components == 0 || f.size.width <= 0 || f.size.height <= 0)
        return c;
    int hMax = 1, vMax = 1, coarsest = 16;
    for (int i = 0; i < f.components; ++i) {
        hMax = std::max(hMax, f.h[i]);
        vMax = std::max(vMax, f.v[i]);
        coarsest = std::min(coarsest, f.h[i] * f.v[i]);
    }
    // Every scan codes each block of its components, and in Huffman coding no block takes less
    // than one bit (a progressive AC scan may skip blocks, but only after the DC scan that coded
    // them). The fewest blocks are those of the coarsest component, one per
    // 8 hMax / h x 8 vMax / v pixels. Arithmetic coding could go below a bit; it is held to the
    // same bound, which real pictures are far from.
    const uint64_t pixelsPerBit = 64 * uint64_t(hMax * vMax) / unsigned(coarsest);
    c.fitsFile = Pixels(f.size) <= Wide(pixelsPerBit) * 8 * b.Size();

    // A file of several scans is decoded into a whole-picture buffer of coefficients, 128 bytes
    // for every block of 8 x 8 samples; otherwise libjpeg holds a band of rows.
    const uint64_t mcuWidth = 8 * uint64_t(hMax), mcuHeight = 8 * uint64_t(vMax);
    const uint64_t mcusAcross = (uint64_t(f.size.width) + mcuWidth - 1) / mcuWidth;
    const uint64_t mcusDown = (uint64_t(f.size.height) + mcuHeight - 1) / mcuHeight;
    Wide working = Wide(f.size.width) * mcuHeight * unsigned(f.components) * 4;
    if (f.progressive || scans > 1) {
        for (int i = 0; i < f.components; ++i)
            working += Wide(mcusAcross) * unsigned(f.h[i]) * mcusDown * unsigned(f.v[i]) * 128;
    }
    c.decoderBytes = Saturated(working);
    return c;
}

// --- PCX, IFF/LBM, PNM --------------------------------------------------------------------

Claim ClaimPcx(const Bytes& b)
{
    constexpr uint8_t kPcxMaker = 0x0A, kRunLength = 1;
    constexpr size_t kHeaderSize = 128;
    constexpr uint64_t kLongestRun = 32;         // a run of 2 bytes gives at most 63 bytes
    constexpr uint64_t kMostPixelsPerByte = 512; // those 63 bytes at 1 bit per pixel
    if (!b.Has(0, kHeaderSize) || b.U8(0) != kPcxMaker || b.U8(2) != kRunLength)
        return std::nullopt;
    PictureClaim c;
    c.type = PictureType::Pcx;
    c.size = {int64_t(b.Le16(8)) - b.Le16(4) + 1, int64_t(b.Le16(10)) - b.Le16(6) + 1};
    const unsigned bits = b.U8(3), planes = b.U8(65), lineBytes = b.Le16(66);
    const bool trueColour = bits == 8 && planes >= 3;
    c.recordBits = trueColour ? 24 : 8;
    c.decoderBytes = SurfaceBytes(c.size, trueColour ? 3 : 1) + uint64_t(lineBytes) * planes;
    const Wide raw = Wide(lineBytes) * planes * uint64_t(std::max<int64_t>(c.size.height, 0));
    const uint64_t data = b.Size() - kHeaderSize;
    c.fitsFile =
        raw <= Wide(kLongestRun) * data && Pixels(c.size) <= Wide(kMostPixelsPerByte) * data;
    return c;
}

Claim ClaimLbm(const Bytes& b)
{
    constexpr uint64_t kLongestRun = 64; // ByteRun1: 2 bytes give at most 128 bytes
    if (!b.Matches(0, "FORM") || (!b.Matches(8, "ILBM") && !b.Matches(8, "PBM ")))
        return std::nullopt;
    const bool chunky = b.Matches(8, "PBM ");
    size_t pos = 12;
    while (b.Has(pos, 8)) {
        const uint32_t length = b.Be32(pos + 4);
        if (b.Matches(pos, "BMHD")) {
            if (!b.Has(pos + 8, 12))
                return std::nullopt;
            PictureClaim c;
            c.type = PictureType::Lbm;
            c.size = {b.Be16(pos + 8), b.Be16(pos + 10)};
            const unsigned planes = b.U8(pos + 16), compression = b.U8(pos + 18);
            c.recordBits = planes > 8 ? 24 : 8;
            // The decoder reads the whole body into memory besides its surface.
            c.decoderBytes = SurfaceBytes(c.size, planes > 8 ? 3 : 1) + b.Size();
            const Wide rowBytes = chunky ? Wide(std::max<int64_t>(c.size.width, 0))
                                         : Wide((std::max<int64_t>(c.size.width, 0) + 15) / 16) *
                                               2 * std::max(planes, 1u);
            const Wide raw = rowBytes * uint64_t(std::max<int64_t>(c.size.height, 0));
            c.fitsFile = raw <= Wide(compression ? kLongestRun : 1) * b.Size();
            return c;
        }
        pos += 8 + size_t(length) + (length & 1); // chunks are padded to even length
    }
    return std::nullopt;
}

Claim ClaimPnm(const Bytes& b)
{
    if (!b.Has(0, 2) || b.U8(0) != 'P' || b.U8(1) < '1' || b.U8(1) > '6')
        return std::nullopt;
    const int kind = b.U8(1) - '0';
    constexpr int64_t kNoNumber = -1;
    constexpr int64_t kTooLarge = int64_t(1) << 40; // stops a long digit run from overflowing
    size_t pos = 2;
    auto number = [&]() -> int64_t {
        for (;;) {
            while (b.Has(pos, 1) && std::isspace(b.U8(pos)))
                ++pos;
            if (!b.Has(pos, 1) || b.U8(pos) != '#')
                break;
            while (b.Has(pos, 1) && b.U8(pos) != '\n')
                ++pos;
        }
        if (!b.Has(pos, 1) || !std::isdigit(b.U8(pos)))
            return kNoNumber;
        int64_t value = 0;
        while (b.Has(pos, 1) && std::isdigit(b.U8(pos))) {
            if (value < kTooLarge)
                value = value * 10 + (b.U8(pos) - '0');
            ++pos;
        }
        return value;
    };
    const int64_t width = number();
    const int64_t height = number();
    if (width == kNoNumber || height == kNoNumber)
        return std::nullopt;
    const bool bitmap = kind == 1 || kind == 4, colour = kind == 3 || kind == 6;
    const int64_t maxValue = bitmap ? 1 : number();
    PictureClaim c;
    c.type = PictureType::Pnm;
    c.size = {width, height};
    c.recordBits = bitmap ? 1 : (colour ? 24 : 8);
    c.decoderBytes = SurfaceBytes(c.size, colour ? 3 : 1);
    // Binary rasters hold every sample in one or two bytes (bitmaps 8 pixels a byte), plain
    // ones at least one character a sample.
    const unsigned samples = colour ? 3 : 1;
    const unsigned sampleBytes = maxValue > 255 ? 2 : 1;
    const Wide w = Wide(std::max<int64_t>(width, 0)), h = Wide(std::max<int64_t>(height, 0));
    const Wide raster =
        kind == 4 ? (w + 7) / 8 * h : w * h * samples * (kind >= 4 ? sampleBytes : 1);
    c.fitsFile = raster <= b.Size();
    return c;
}

// --- TIFF ---------------------------------------------------------------------------------

Claim ClaimTiff(const Bytes& b)
{
    constexpr uint16_t kImageWidth = 256, kImageLength = 257, kBitsPerSample = 258,
                       kCompression = 259, kSamplesPerPixel = 277, kRowsPerStrip = 278,
                       kTileWidth = 322, kTileLength = 323;
    constexpr uint16_t kShort = 3, kLong = 4;
    constexpr size_t kEntrySize = 12;
    const bool little = b.Matches(0, "II*") && b.Has(3, 1) && b.U8(3) == 0;
    const bool big = b.Has(0, 4) && b.Matches(0, "MM") && b.U8(2) == 0 && b.U8(3) == '*';
    if ((!little && !big) || !b.Has(4, 4))
        return std::nullopt;
    auto u16 = [&](size_t o) { return little ? b.Le16(o) : b.Be16(o); };
    auto u32 = [&](size_t o) { return little ? b.Le32(o) : b.Be32(o); };
    const size_t ifd = u32(4);
    if (!b.Has(ifd, 2))
        return std::nullopt;
    const size_t count = u16(ifd);
    std::optional<int64_t> width, height;
    uint64_t bits = 1, samples = 1, compression = 1, rowsPerStrip = 0, tileW = 0, tileH = 0;
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = ifd + 2 + i * kEntrySize;
        if (!b.Has(entry, kEntrySize))
            return std::nullopt;
        const uint32_t tag = u16(entry), type = u16(entry + 2), n = u32(entry + 4);
        if (type != kShort && type != kLong)
            continue;
        // Several shorts lie elsewhere; the first of them is the one that matters here.
        size_t at = entry + 8;
        if (type == kShort && n > 2) {
            at = u32(entry + 8);
            if (!b.Has(at, 2))
                continue;
        }
        const uint64_t value = type == kShort ? u16(at) : u32(at);
        switch (tag) {
        case kImageWidth:
            width = int64_t(value);
            break;
        case kImageLength:
            height = int64_t(value);
            break;
        case kBitsPerSample:
            bits = value;
            break;
        case kCompression:
            compression = value;
            break;
        case kSamplesPerPixel:
            samples = value;
            break;
        case kRowsPerStrip:
            rowsPerStrip = value;
            break;
        case kTileWidth:
            tileW = value;
            break;
        case kTileLength:
            tileH = value;
            break;
        default:
            break;
        }
    }
    if (!width || !height)
        return std::nullopt;
    PictureClaim c;
    c.type = PictureType::Tiff;
    c.size = {*width, *height};
    c.recordBits = 24;
    const Wide w = Wide(std::max<int64_t>(*width, 0)), h = Wide(std::max<int64_t>(*height, 0));
    const Wide rowBytes =
        (w * std::max<uint64_t>(samples, 1) * std::max<uint64_t>(bits, 1) + 7) / 8;

    // The reader takes the picture a strip or a row of tiles at a time: libtiff's decoded strip
    // or tile and the band of four-byte pixels made from it.
    if (tileW > 0 && tileH > 0) {
        const Wide across = (w + tileW - 1) / tileW * tileW;
        const Wide tile =
            (Wide(tileW) * std::max<uint64_t>(samples, 1) * std::max<uint64_t>(bits, 1) + 7) / 8 *
            tileH;
        c.decoderBytes = Saturated(across * tileH * 4 + tile);
    } else {
        // As the reader bands them: whole strips, at least 64 rows.
        const Wide strip = std::max<Wide>(std::min<Wide>(rowsPerStrip ? rowsPerStrip : h, h), 1);
        const Wide band = std::min<Wide>(strip * std::max<Wide>(1, 64 / strip), h);
        c.decoderBytes = Saturated(band * (w * 4 + rowBytes));
    }

    // The most bytes a byte of each compression gives.
    Wide mostPerByte = kDeflateMostPerByte; // deflate; also the bound for fax and the rest
    switch (compression) {
    case 1: // none
        mostPerByte = 1;
        break;
    case 32773: // PackBits: 2 bytes give at most 128
        mostPerByte = 64;
        break;
    case 5: // LZW: a code of 9 bits or more stands for at most 4094 bytes
        mostPerByte = 3640;
        break;
    case 6: // JPEG, held to the bound of JPEG files, one bit for 32 x 32 pixels
    case 7:
        mostPerByte = Wide(8) * 1024 * std::max<uint64_t>(samples, 1);
        break;
    default:
        break;
    }
    // Every strip or tile is decoded whole, tiles past the picture's edges included.
    Wide decoded = rowBytes * h;
    if (tileW > 0 && tileH > 0) {
        const Wide across = (w + tileW - 1) / tileW * tileW, down = (h + tileH - 1) / tileH * tileH;
        decoded =
            (across * std::max<uint64_t>(samples, 1) * std::max<uint64_t>(bits, 1) + 7) / 8 * down;
    }
    c.fitsFile = decoded <= mostPerByte * b.Size();
    return c;
}

// --- WebP --------------------------------------------------------------------------------

Claim ClaimWebp(const Bytes& b)
{
    constexpr uint64_t kMostPixelsPerByte = 4096;
    if (!b.Matches(0, "RIFF") || !b.Matches(8, "WEBP") || !b.Has(12, 18))
        return std::nullopt;
    PictureClaim c;
    c.type = PictureType::Webp;
    if (b.Matches(12, "VP8 ")) {
        c.size = {b.Le16(26) & 0x3FFF, b.Le16(28) & 0x3FFF};
    } else if (b.Matches(12, "VP8L")) {
        const uint32_t bits = b.Le32(21);
        c.size = {(bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1};
    } else if (b.Matches(12, "VP8X")) {
        c.size = {(b.Le32(24) & 0xFFFFFF) + 1, (b.Le32(27) & 0xFFFFFF) + 1};
    } else {
        return std::nullopt;
    }
    // libwebp's own picture of four bytes a pixel, and the surface it is decoded into.
    c.decoderBytes = SurfaceBytes(c.size, 4) * 2;
    c.fitsFile = Pixels(c.size) <= Wide(kMostPixelsPerByte) * b.Size();
    return c;
}

// --- TGA ---------------------------------------------------------------------------------

// Pixels that the run-length packets of a TGA give before the file ends, counted up to the
// picture's pixels: SDL_image's decoder leaves the rest of its surface black without a word.
Wide TgaRunCoverage(const Bytes& b, size_t pos, uint64_t pixelBytes, Wide pixels)
{
    constexpr uint8_t kRepeat = 0x80, kCount = 0x7F;
    Wide covered = 0;
    while (covered < pixels && b.Has(pos, 1)) {
        const uint8_t head = b.U8(pos);
        const uint64_t count = (head & kCount) + 1u;
        const uint64_t bytes = (head & kRepeat) ? pixelBytes : count * pixelBytes;
        if (!b.Has(pos + 1, bytes))
            break;
        covered += count;
        pos += 1 + bytes;
    }
    return std::min(covered, pixels);
}

using Prober = Claim (*)(const Bytes&);
// XPM is not among them: SDL_image's decoder of these text drawings crashes on damaged files.
constexpr Prober kBySignature[] = {ClaimBmp,  ClaimPng,  ClaimQoi,          ClaimGif,
                                   ClaimJpeg, ClaimPcx,  ClaimLbm,          ClaimPnm,
                                   ClaimTiff, ClaimWebp, ClaimHeaderlessDib};

} // namespace

std::optional<PictureClaim> ClaimBySignature(const uint8_t* data, size_t size)
{
    const Bytes b(data, size);
    for (const Prober probe : kBySignature)
        if (Claim c = probe(b))
            return c;
    return std::nullopt;
}

std::optional<PictureClaim> ClaimAsTga(const uint8_t* data, size_t size)
{
    constexpr size_t kHeaderSize = 18;
    constexpr uint64_t kLongestRun = 128; // one packet of a header and a pixel repeats 128 times
    const Bytes b(data, size);
    if (!b.Has(0, kHeaderSize))
        return std::nullopt;
    const unsigned mapType = b.U8(1), type = b.U8(2), mapLength = b.Le16(5), mapBits = b.U8(7),
                   bits = b.U8(16);
    if (mapType > 1)
        return std::nullopt;
    const unsigned base = type & ~8u; // 9, 10 and 11 are 1, 2 and 3 run-length encoded
    const bool runLength = (type & 8u) != 0;
    if (base < 1 || base > 3 || type > 11)
        return std::nullopt;
    const bool mapped = base == 1, grey = base == 3;
    if (mapped && (mapType != 1 || (bits != 8 && bits != 16)))
        return std::nullopt;
    if (grey && bits != 8 && bits != 16)
        return std::nullopt;
    if (base == 2 && bits != 15 && bits != 16 && bits != 24 && bits != 32)
        return std::nullopt;
    if (mapType == 1 && mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32)
        return std::nullopt;

    PictureClaim c;
    c.type = PictureType::Tga;
    c.size = {b.Le16(12), b.Le16(14)};
    c.recordBits = (mapped || grey) ? 8 : 24;
    const uint64_t pixelBytes = (bits + 7) / 8;
    c.decoderBytes = SurfaceBytes(c.size, int(pixelBytes));
    const uint64_t start =
        kHeaderSize + b.U8(0) + (mapType == 1 ? uint64_t(mapLength) * ((mapBits + 7) / 8) : 0);
    const uint64_t pixelData = start <= size ? size - start : 0;
    c.fitsFile = runLength ? Pixels(c.size) <= Wide(kLongestRun) * (pixelData / (1 + pixelBytes))
                           : Pixels(c.size) * pixelBytes <= pixelData;
    if (runLength && c.fitsFile && Pixels(c.size) > 0) {
        const Wide covered = TgaRunCoverage(b, size_t(start), pixelBytes, Pixels(c.size));
        if (covered < Pixels(c.size)) {
            c.fitsFile = false;
            c.fault = "its run-length packets end after " + std::to_string(uint64_t(covered)) +
                      " of its " + std::to_string(c.size.width) + " x " +
                      std::to_string(c.size.height) + " pixels";
        }
    }
    return c;
}

std::optional<PictureSize> ProbePictureSize(const uint8_t* data, size_t size)
{
    if (auto c = ClaimBySignature(data, size))
        return c->size;
    if (auto c = ClaimAsTga(data, size))
        return c->size;
    return std::nullopt;
}

uint64_t RecordBytes(const PictureSize& size, int bitCount)
{
    if (size.width <= 0 || size.height <= 0 || size.width > std::numeric_limits<int32_t>::max() ||
        size.height > std::numeric_limits<int32_t>::max())
        return 0;
    const int64_t row = DIBRowBytes(int32_t(size.width), bitCount);
    if (row < 0)
        return 0;
    const Wide bytes = Wide(uint64_t(row)) * uint64_t(size.height);
    return bytes > std::numeric_limits<uint32_t>::max() ? 0 : uint64_t(bytes);
}

ClaimVerdict JudgeClaim(const PictureClaim& claim, uint64_t available, uint64_t fileBytes)
{
    ClaimVerdict verdict;
    if (claim.size.width <= 0 || claim.size.height <= 0 || !claim.fitsFile) {
        verdict.failure = ReadFailure::Damaged;
        return verdict;
    }
    const Wide pixels = Pixels(claim.size);
    const uint64_t record = RecordBytes(claim.size, claim.recordBits);
    const uint64_t rowsOrCeiling =
        record ? record : Saturated(pixels * unsigned(claim.recordBits) / 8);
    // JPEG, GIF, PNG, TIFF and PCX of four planes are decoded from the file's bytes straight
    // into the record; SDL_image's surface is made while the file is held, the record after.
    const bool throughSurface = claim.type != PictureType::Jpeg && claim.type != PictureType::Gif &&
                                claim.type != PictureType::Png && claim.type != PictureType::Tiff &&
                                claim.type != PictureType::Pcx;
    const Wide held =
        throughSurface ? std::max<Wide>(rowsOrCeiling, fileBytes) : Wide(rowsOrCeiling) + fileBytes;
    verdict.needed = Saturated(held + claim.decoderBytes + kDecoderWorkingBytes);
    verdict.available = available;
    if (pixels > Wide(kMaxPicturePixels) || record == 0 || verdict.needed > available)
        verdict.failure = ReadFailure::TooLarge;
    return verdict;
}

bool PngChunksComplete(const uint8_t* data, size_t size)
{
    const Bytes b(data, size);
    constexpr size_t kSignatureSize = 8, kChunkFrame = 12; // length, type and CRC
    constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;
    if (!b.Matches(0, kPngSignature))
        return true;
    size_t pos = kSignatureSize;
    while (b.Has(pos, kChunkFrame)) {
        const uint32_t length = b.Be32(pos);
        if (length > kMaxChunkLength || !b.Has(pos, kChunkFrame + size_t(length)))
            return false;
        if (b.Matches(pos + 4, "IEND"))
            return true;
        pos += kChunkFrame + length;
    }
    return false;
}

LbmCheck CheckLbmForDecoder(const uint8_t* data, size_t size)
{
    const Bytes b(data, size);
    constexpr size_t kHeaderBytes = 20, kViewModeBytes = 4, kLargestColourMap = 256 * 3;
    constexpr uint32_t kHoldAndModify = 0x800;
    constexpr unsigned kFewestHamPlanes = 5, kMostHamPlanes = 8, kTrueColourPlanes = 24;
    if (!b.Matches(0, "FORM") || (!b.Matches(8, "ILBM") && !b.Matches(8, "PBM ")))
        return LbmCheck::Refuse;
    const bool chunky = b.Matches(8, "PBM ");
    bool header = false, colourMap = false, hamMode = false;
    unsigned planes = 0;
    // The decoder reads each chunk it knows for its own size, and skips by the rest: every
    // chunk up to the body must be whole, and those it knows at least that long.
    size_t pos = 12;
    for (;;) {
        if (!b.Has(pos, 8))
            return LbmCheck::Refuse;
        const uint32_t length = b.Be32(pos + 4);
        if (b.Matches(pos, "BODY"))
            break;
        if (!b.Has(pos + 8, length))
            return LbmCheck::Refuse;
        if (b.Matches(pos, "BMHD")) {
            if (length < kHeaderBytes)
                return LbmCheck::Refuse;
            header = true;
            planes = b.U8(pos + 16);
        } else if (b.Matches(pos, "CMAP")) {
            if (length > kLargestColourMap)
                return LbmCheck::Refuse;
            colourMap = colourMap || length >= 3; // a whole colour
        } else if (b.Matches(pos, "CAMG")) {
            // The decoder reads the four bytes of the view modes and takes whatever follows
            // them for the next chunk, a header of other sizes and depths among them.
            if (length != kViewModeBytes)
                return LbmCheck::Refuse;
            hamMode = (b.Be32(pos + 8) & kHoldAndModify) != 0;
        }
        pos += 8 + size_t(length) + (length & 1);
    }
    if (!header)
        return LbmCheck::Refuse;
    // Hold-and-modify takes its base colours from the colour map by the value of all but two
    // planes: more than eight planes would reach past it.
    if (hamMode && (chunky || planes < kFewestHamPlanes || planes > kMostHamPlanes))
        return LbmCheck::Refuse;
    if ((chunky || planes != kTrueColourPlanes) && (planes < 1 || planes > 8))
        return LbmCheck::Refuse;
    // A true-colour picture has no palette for a colour map to go into.
    if (planes == kTrueColourPlanes && colourMap)
        return LbmCheck::DecodeWithoutColourMap;
    return LbmCheck::Decode;
}

void HideLbmColourMaps(uint8_t* data, size_t size)
{
    const Bytes b(data, size);
    for (size_t pos = 12; b.Has(pos, 8) && !b.Matches(pos, "BODY");) {
        const uint32_t length = b.Be32(pos + 4);
        if (b.Matches(pos, "CMAP"))
            data[pos] = 'c'; // a chunk the decoder does not know, and steps over
        pos += 8 + size_t(length) + (length & 1);
    }
}
