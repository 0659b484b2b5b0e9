#include "DibFileFormats.h"

#include <cctype>
#include <cstring>

namespace {

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

private:
    const uint8_t* data_;
    size_t size_;
};

using Probe = std::optional<PictureSize>;

const char* const kPngSignature = "\x89PNG\r\n\x1a\n";

Probe ProbeBmp(const Bytes& b)
{
    constexpr size_t kInfoStart = 14;
    constexpr uint32_t kCoreHeaderSize = 12; // OS/2 1.x header with 16-bit sizes
    if (!b.Matches(0, "BM") || !b.Has(kInfoStart, 4))
        return std::nullopt;
    if (b.Le32(kInfoStart) == kCoreHeaderSize) {
        if (!b.Has(kInfoStart + 4, 4))
            return std::nullopt;
        return PictureSize{b.Le16(18), b.Le16(20)};
    }
    if (!b.Has(kInfoStart + 4, 8))
        return std::nullopt;
    // A negative height marks rows stored top-down.
    const int64_t height = int32_t(b.Le32(22));
    return PictureSize{int32_t(b.Le32(18)), height < 0 ? -height : height};
}

Probe ProbePng(const Bytes& b)
{
    if (!b.Matches(0, kPngSignature) || !b.Matches(12, "IHDR") || !b.Has(16, 8))
        return std::nullopt;
    return PictureSize{b.Be32(16), b.Be32(20)};
}

Probe ProbeQoi(const Bytes& b)
{
    if (!b.Matches(0, "qoif") || !b.Has(4, 8))
        return std::nullopt;
    return PictureSize{b.Be32(4), b.Be32(8)};
}

// The decoder allocates each frame by its own size, which may exceed the logical screen, so the
// first image descriptor is what counts. Like the decoder, bytes that start neither a block nor
// the trailer are passed over.
Probe ProbeGif(const Bytes& b)
{
    constexpr size_t kScreenEnd = 13;
    constexpr uint8_t kColourTableFlag = 0x80;
    constexpr uint8_t kExtension = 0x21, kImage = 0x2C, kTrailer = 0x3B;
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
            return PictureSize{b.Le16(pos + 5), b.Le16(pos + 7)};
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

Probe ProbeJpeg(const Bytes& b)
{
    if (!b.Has(0, 3) || b.U8(0) != 0xFF || b.U8(1) != 0xD8)
        return std::nullopt;
    size_t pos = 2;
    while (b.Has(pos, 2)) {
        if (b.U8(pos) != 0xFF)
            return std::nullopt;
        const uint8_t marker = b.U8(pos + 1);
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        const bool standalone = marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9);
        if (standalone) {
            pos += 2;
            continue;
        }
        if (!b.Has(pos + 2, 2))
            return std::nullopt;
        const bool startOfFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (startOfFrame) {
            if (!b.Has(pos + 5, 4))
                return std::nullopt;
            return PictureSize{b.Be16(pos + 7), b.Be16(pos + 5)};
        }
        pos += 2 + b.Be16(pos + 2);
    }
    return std::nullopt;
}

Probe ProbePcx(const Bytes& b)
{
    constexpr uint8_t kPcxMaker = 0x0A, kRunLength = 1;
    constexpr size_t kHeaderSize = 128;
    if (!b.Has(0, kHeaderSize) || b.U8(0) != kPcxMaker || b.U8(2) != kRunLength)
        return std::nullopt;
    const int64_t width = int64_t(b.Le16(8)) - b.Le16(4) + 1;
    const int64_t height = int64_t(b.Le16(10)) - b.Le16(6) + 1;
    return PictureSize{width, height};
}

Probe ProbeLbm(const Bytes& b)
{
    if (!b.Matches(0, "FORM") || (!b.Matches(8, "ILBM") && !b.Matches(8, "PBM ")))
        return std::nullopt;
    size_t pos = 12;
    while (b.Has(pos, 8)) {
        const uint32_t length = b.Be32(pos + 4);
        if (b.Matches(pos, "BMHD")) {
            if (!b.Has(pos + 8, 4))
                return std::nullopt;
            return PictureSize{b.Be16(pos + 8), b.Be16(pos + 10)};
        }
        pos += 8 + size_t(length) + (length & 1); // chunks are padded to even length
    }
    return std::nullopt;
}

Probe ProbePnm(const Bytes& b)
{
    if (!b.Has(0, 2) || b.U8(0) != 'P' || b.U8(1) < '1' || b.U8(1) > '6')
        return std::nullopt;
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
    return PictureSize{width, height};
}

Probe ProbeTiff(const Bytes& b)
{
    constexpr uint16_t kImageWidth = 256, kImageLength = 257;
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
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = ifd + 2 + i * kEntrySize;
        if (!b.Has(entry, kEntrySize))
            return std::nullopt;
        const uint32_t tag = u16(entry), type = u16(entry + 2);
        if ((tag != kImageWidth && tag != kImageLength) || (type != kShort && type != kLong))
            continue;
        const int64_t value = type == kShort ? u16(entry + 8) : u32(entry + 8);
        (tag == kImageWidth ? width : height) = value;
    }
    if (!width || !height)
        return std::nullopt;
    return PictureSize{*width, *height};
}

// TGA has no signature, so it is the decoder's last guess too; only headers with a known image
// type are taken as TGA.
Probe ProbeTga(const Bytes& b)
{
    constexpr size_t kHeaderSize = 18;
    if (!b.Has(0, kHeaderSize))
        return std::nullopt;
    switch (b.U8(2)) {
    case 1: // colour-mapped
    case 2: // true colour
    case 3: // grey
    case 9: // the same three, run-length encoded
    case 10:
    case 11:
        return PictureSize{b.Le16(12), b.Le16(14)};
    default:
        return std::nullopt;
    }
}

// The types by their probes, each with the most pixels one byte of such a file can describe:
// the longest run or code of its compression over the smallest pixels it has, with room to
// spare. 0 where no such bound holds (BMP runs may end the picture early, JPEG and TIFF can
// skip whole stretches in a few bytes, the others are read as they stand).
struct Kind
{
    Probe (*probe)(const Bytes&);
    int64_t densestPixelsPerByte;
};
constexpr Kind kKinds[] = {
    {ProbeBmp, 0},
    {ProbePng, 16384}, // deflate gives at most 1032 bytes per byte, 8 pixels each at 1 bit
    {ProbeQoi, 0},
    {ProbeGif, 4096}, // an LZW code of 12 bits stands for at most 4096 pixels
    {ProbeJpeg, 0},
    {ProbePcx, 512},  // a run of 2 bytes gives 63 bytes, 8 pixels each at 1 bit
    {ProbeLbm, 1024}, // a run of 2 bytes gives 128 bytes of one bit plane
    {ProbePnm, 0},
    {ProbeTiff, 0},
};
constexpr Kind kTga = {ProbeTga, 128}; // a run of 2 bytes or more gives 128 pixels

const Kind* KindOf(const Bytes& b)
{
    for (const Kind& kind : kKinds)
        if (kind.probe(b))
            return &kind;
    return kTga.probe(b) ? &kTga : nullptr;
}

} // namespace

std::optional<PictureSize> ProbePictureSize(const uint8_t* data, size_t size)
{
    const Bytes b(data, size);
    const Kind* kind = KindOf(b);
    return kind ? kind->probe(b) : std::nullopt;
}

bool PlausibleForFileSize(const uint8_t* data, size_t size)
{
    const Bytes b(data, size);
    const Kind* kind = KindOf(b);
    if (!kind || kind->densestPixelsPerByte == 0)
        return true;
    const Probe claimed = kind->probe(b);
    if (!claimed || claimed->width <= 0 || claimed->height <= 0)
        return true; // the size check and the decoder see to those
    // Both factors are confined before they are multiplied.
    if (claimed->width > kMaxFilePixels || claimed->height > kMaxFilePixels)
        return false;
    return claimed->width * claimed->height <= kind->densestPixelsPerByte * int64_t(size);
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

bool AcceptablePictureSize(const PictureSize& size)
{
    return size.width > 0 && size.height > 0 && size.width <= kMaxFilePixels &&
           size.height <= kMaxFilePixels && size.width * size.height <= kMaxFilePixels;
}
