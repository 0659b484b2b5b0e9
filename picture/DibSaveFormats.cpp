// SPDX-License-Identifier: GPL-3.0-or-later
// The file types that the library encodes itself: BMP, PCX and TGA. Each keeps the picture's
// colours exactly; BMP and TGA keep its depth as well.
#include "DibFileFormats.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

void PutLe16(char* p, uint32_t v)
{
    p[0] = char(v & 0xFF);
    p[1] = char((v >> 8) & 0xFF);
}

void PutLe32(char* p, uint32_t v)
{
    PutLe16(p, v & 0xFFFF);
    PutLe16(p + 2, v >> 16);
}

const uint8_t* TopRow(const PictureRecord& picture, int r)
{
    const int height = picture.Info->bmiHeader.biHeight;
    return picture.Bits + int64_t(height - 1 - r) * picture.BytesPerLine;
}

// The colour indices of a row of 1, 4 or 8 bits per pixel, one byte each.
void ExpandIndices(const uint8_t* row, int width, int depth, uint8_t* out)
{
    for (int x = 0; x < width; ++x) {
        if (depth == 8)
            out[x] = row[x];
        else if (depth == 4)
            out[x] = (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
        else
            out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
}

// PCX (ZSoft, version 5).
constexpr int kPcxHeaderSize = 128;
constexpr uint8_t kPcxMaker = 10, kPcxVersion = 5, kPcxRunLength = 1;
constexpr uint8_t kPcxRunMark = 0xC0; // the top two bits set mark a run count
constexpr int kPcxLongestRun = 63;
constexpr uint8_t kPcxPaletteMark = 0x0C;
constexpr int kPcxHeaderColours = 16;
constexpr int kPcxPaletteColours = 256;
// Readers take the header's sizes as signed 16-bit numbers.
constexpr int kPcxLargestField = 0x7FFF;
constexpr int kPcxUnknownDpi = 72;
constexpr double kMetresPerInch = 0.0254;

struct PcxLayout
{
    int bitsPerPixel;
    int planes;
};

// SDL_image takes the pixels of a bit plane's last byte from the wrong end when the line does not
// fill it, so bit planes are written only for widths that fill whole bytes; other 1- and 4-bit
// pictures are stored at 8 bits per pixel with the same colour table.
PcxLayout PcxLayoutFor(int depth, int width)
{
    if (depth == 24)
        return {8, 3};
    if (depth == 8 || width % 8 != 0)
        return {8, 1};
    return {1, depth == 1 ? 1 : 4};
}

// One plane's line: a byte with the top two bits set, or any byte repeated, goes as a count
// byte and the value; runs stop at the line's end, as ZSoft asks of writers.
void PutPcxRuns(QByteArray& out, const uint8_t* line, int count)
{
    for (int i = 0; i < count;) {
        const uint8_t value = line[i];
        int run = 1;
        while (i + run < count && run < kPcxLongestRun && line[i + run] == value)
            ++run;
        if (run > 1 || value >= kPcxRunMark)
            out.append(char(kPcxRunMark | run));
        out.append(char(value));
        i += run;
    }
}

uint16_t PcxDpi(int32_t pelsPerMetre)
{
    const long dpi = std::lrint(pelsPerMetre * kMetresPerInch);
    return (dpi > 0 && dpi <= kPcxLargestField) ? uint16_t(dpi) : uint16_t(kPcxUnknownDpi);
}

// One line of all planes, each plane bytesPerPlane long, from a top-down row of the picture.
void FillPcxLine(const uint8_t* row, int width, int depth, PcxLayout layout, int bytesPerPlane,
                 uint8_t* line)
{
    std::memset(line, 0, size_t(bytesPerPlane) * layout.planes);
    if (depth == 24) {
        for (int x = 0; x < width; ++x) {
            line[x] = row[3 * x + 2];
            line[bytesPerPlane + x] = row[3 * x + 1];
            line[2 * bytesPerPlane + x] = row[3 * x];
        }
    } else if (layout.bitsPerPixel == 8) {
        ExpandIndices(row, width, depth, line);
    } else if (layout.planes == 1) {
        std::memcpy(line, row, size_t(width / 8));
    } else {
        for (int x = 0; x < width; ++x) {
            const int index = (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
            for (int plane = 0; plane < layout.planes; ++plane)
                if (index & (1 << plane))
                    line[plane * bytesPerPlane + (x >> 3)] |= uint8_t(0x80 >> (x & 7));
        }
    }
}

// TGA (Truevision).
constexpr int kTgaHeaderSize = 18;
constexpr uint8_t kTgaColourMapped = 1, kTgaTrueColour = 2;
constexpr int kTgaLargestSide = 0xFFFF;
constexpr uint8_t kTgaMapEntryBits = 24;
// Extension and developer area offsets (none), then the signature with its NUL: the footer that
// marks a TGA 2.0 file.
constexpr char kTgaSignature[] = "TRUEVISION-XFILE.";
constexpr int kTgaFooterSize = 8 + int(sizeof kTgaSignature);

} // namespace

bool WritablePicture(const PictureRecord& picture)
{
    if (!picture.Info || !picture.Bits)
        return false;
    const BITMAPINFOHEADER& h = picture.Info->bmiHeader;
    const int64_t rowBytes = DIBRowBytes(h.biWidth, h.biBitCount);
    const bool knownDepth =
        h.biBitCount == 1 || h.biBitCount == 4 || h.biBitCount == 8 || h.biBitCount == 24;
    return knownDepth && h.biHeight > 0 && rowBytes > 0 && picture.BytesPerLine == rowBytes &&
           int64_t(h.biSizeImage) >= rowBytes * h.biHeight;
}

QByteArray EncodeBmp(const PictureRecord& picture)
{
    if (!WritablePicture(picture))
        return {};
    constexpr int kFileHeaderSize = 14;
    constexpr int kInfoHeaderSize = 40;
    const BITMAPINFOHEADER& h = picture.Info->bmiHeader;
    const int tableSize = ColourTableSize(h.biBitCount);
    const uint32_t pixelOffset = kFileHeaderSize + kInfoHeaderSize + 4 * tableSize;
    const int64_t imageBytes = int64_t(picture.BytesPerLine) * h.biHeight;
    const int64_t fileSize = pixelOffset + imageBytes;
    if (fileSize > INT32_MAX)
        return {};

    QByteArray bytes(qsizetype(fileSize), '\0');
    char* p = bytes.data();
    p[0] = 'B';
    p[1] = 'M';
    PutLe32(p + 2, uint32_t(fileSize));
    PutLe32(p + 10, pixelOffset);

    char* info = p + kFileHeaderSize;
    PutLe32(info, kInfoHeaderSize);
    PutLe32(info + 4, uint32_t(h.biWidth));
    PutLe32(info + 8, uint32_t(h.biHeight));
    PutLe16(info + 12, 1);
    PutLe16(info + 14, h.biBitCount);
    PutLe32(info + 16, 0); // uncompressed
    PutLe32(info + 20, uint32_t(imageBytes));
    PutLe32(info + 24, uint32_t(h.biXPelsPerMeter));
    PutLe32(info + 28, uint32_t(h.biYPelsPerMeter));
    PutLe32(info + 32, uint32_t(tableSize));
    PutLe32(info + 36, 0);

    char* table = info + kInfoHeaderSize;
    for (int i = 0; i < tableSize; ++i) {
        const RGBQUAD& c = picture.Info->bmiColors[i];
        table[4 * i] = char(c.rgbBlue);
        table[4 * i + 1] = char(c.rgbGreen);
        table[4 * i + 2] = char(c.rgbRed);
    }
    std::memcpy(p + pixelOffset, picture.Bits, size_t(imageBytes));
    return bytes;
}

QByteArray EncodePcx(const PictureRecord& picture)
{
    if (!WritablePicture(picture))
        return {};
    const BITMAPINFOHEADER& h = picture.Info->bmiHeader;
    const int width = h.biWidth, height = h.biHeight, depth = h.biBitCount;
    const PcxLayout layout = PcxLayoutFor(depth, width);
    // ZSoft wants every plane's line an even number of bytes long.
    const int64_t lineBits = int64_t(width) * layout.bitsPerPixel;
    const int64_t bytesPerPlane = ((lineBits + 15) / 16) * 2;
    if (width - 1 > kPcxLargestField || height - 1 > kPcxLargestField ||
        bytesPerPlane > kPcxLargestField)
        return {};

    QByteArray out(kPcxHeaderSize, '\0');
    char* p = out.data();
    p[0] = char(kPcxMaker);
    p[1] = char(kPcxVersion);
    p[2] = char(kPcxRunLength);
    p[3] = char(layout.bitsPerPixel);
    PutLe16(p + 8, uint32_t(width - 1));
    PutLe16(p + 10, uint32_t(height - 1));
    PutLe16(p + 12, PcxDpi(h.biXPelsPerMeter));
    PutLe16(p + 14, PcxDpi(h.biYPelsPerMeter));
    const int colours = ColourTableSize(depth);
    for (int i = 0; i < colours && i < kPcxHeaderColours; ++i) {
        const RGBQUAD& c = picture.Info->bmiColors[i];
        p[16 + 3 * i] = char(c.rgbRed);
        p[17 + 3 * i] = char(c.rgbGreen);
        p[18 + 3 * i] = char(c.rgbBlue);
    }
    p[65] = char(layout.planes);
    PutLe16(p + 66, uint32_t(bytesPerPlane));
    PutLe16(p + 68, 1); // a colour palette, not grey levels

    std::vector<uint8_t> line(size_t(bytesPerPlane) * layout.planes);
    for (int r = 0; r < height; ++r) {
        FillPcxLine(TopRow(picture, r), width, depth, layout, int(bytesPerPlane), line.data());
        for (int plane = 0; plane < layout.planes; ++plane)
            PutPcxRuns(out, line.data() + size_t(plane) * size_t(bytesPerPlane),
                       int(bytesPerPlane));
    }

    if (layout.bitsPerPixel == 8 && layout.planes == 1) {
        QByteArray palette(1 + 3 * kPcxPaletteColours, '\0');
        palette[0] = char(kPcxPaletteMark);
        for (int i = 0; i < colours; ++i) {
            const RGBQUAD& c = picture.Info->bmiColors[i];
            palette[1 + 3 * i] = char(c.rgbRed);
            palette[2 + 3 * i] = char(c.rgbGreen);
            palette[3 + 3 * i] = char(c.rgbBlue);
        }
        out.append(palette);
    }
    return out;
}

QByteArray EncodeTga(const PictureRecord& picture)
{
    if (!WritablePicture(picture))
        return {};
    const BITMAPINFOHEADER& h = picture.Info->bmiHeader;
    const int width = h.biWidth, height = h.biHeight, depth = h.biBitCount;
    if (width > kTgaLargestSide || height > kTgaLargestSide)
        return {};
    // TGA maps only whole bytes, so 1- and 4-bit indices go out as bytes; the colour map keeps
    // the table's own length, from which the picture's depth is known again.
    const int colours = ColourTableSize(depth);
    const int pixelBytes = depth == 24 ? 3 : 1;
    const int64_t rowBytes = int64_t(width) * pixelBytes;
    const int64_t mapBytes = int64_t(colours) * (kTgaMapEntryBits / 8);
    const int64_t size = kTgaHeaderSize + mapBytes + rowBytes * height + kTgaFooterSize;

    QByteArray out(qsizetype(size), '\0');
    char* p = out.data();
    p[1] = char(colours ? 1 : 0);
    p[2] = char(colours ? kTgaColourMapped : kTgaTrueColour);
    PutLe16(p + 5, uint32_t(colours));
    p[7] = char(colours ? kTgaMapEntryBits : 0);
    PutLe16(p + 12, uint32_t(width));
    PutLe16(p + 14, uint32_t(height));
    p[16] = char(8 * pixelBytes);
    p[17] = 0; // origin bottom left: the rows go out in the order the record holds them

    char* map = p + kTgaHeaderSize;
    for (int i = 0; i < colours; ++i) {
        const RGBQUAD& c = picture.Info->bmiColors[i];
        map[3 * i] = char(c.rgbBlue);
        map[3 * i + 1] = char(c.rgbGreen);
        map[3 * i + 2] = char(c.rgbRed);
    }
    auto* pixels = reinterpret_cast<uint8_t*>(map + mapBytes);
    for (int s = 0; s < height; ++s) {
        const uint8_t* row = picture.Bits + int64_t(s) * picture.BytesPerLine;
        uint8_t* to = pixels + s * rowBytes;
        if (depth == 24 || depth == 8)
            std::memcpy(to, row, size_t(rowBytes));
        else
            ExpandIndices(row, width, depth, to);
    }
    std::memcpy(p + size - sizeof kTgaSignature, kTgaSignature, sizeof kTgaSignature);
    return out;
}
