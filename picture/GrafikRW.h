// SPDX-License-Identifier: GPL-3.0-or-later
// The picture record and the operations of the picture library.
//
// A picture is a device-independent bitmap: a 40-byte BITMAPINFOHEADER followed by its colour
// table, and pixel rows stored bottom-up, each padded to a multiple of 4 bytes. Pictures of 1, 4,
// 8 and 24 bits per pixel are supported. A PictureRecord is a small value: copies share the
// pixel memory, the header and the palette, and exactly one copy is released with deldib().
// Every operation that yields a record reports failure by a null Bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include <QString>

class QPainter;

struct BITMAPINFOHEADER
{
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD
{
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
};

// The header and, directly behind it, up to 256 colour-table entries.
struct BITMAPINFO
{
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[256];
};
static_assert(offsetof(BITMAPINFO, bmiColors) == 40);

struct PALETTEENTRY
{
    uint8_t peRed;
    uint8_t peGreen;
    uint8_t peBlue;
    uint8_t peFlags;
};

struct LOGPALETTE
{
    uint16_t palVersion;
    uint16_t palNumEntries;
    PALETTEENTRY palPalEntry[256];
};
static_assert(sizeof(LOGPALETTE) == 1028);

// A logical palette of the library's own, made from a LOGPALETTE. There is no palette hardware
// here: drawing always takes the colours from the colour table behind Info, and the palette is
// kept so that a changed colour table and its palette stay one (see the palette invariant).
struct PaletteObject
{
    uint16_t count = 0;
    PALETTEENTRY entries[256] = {};
};
using HPALETTE = PaletteObject*;

HPALETTE CreatePalette(const LOGPALETTE* logPalette);
void DeleteObject(HPALETTE palette);

// The library's own part of a record: the picture's shape, kept beside Bits so that pixel access
// needs neither the header nor a call.
struct PixelShape
{
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitCount = 0;
    uint8_t spare[16] = {};
};
static_assert(sizeof(PixelShape) == 28);

struct PictureRecord
{
    BITMAPINFO* Info = nullptr; // header and colour table
    void* Reserved1 = nullptr;  // the library's own: the storage that owns this picture
    void* Reserved2 = nullptr;  // the library's own
    uint8_t* Bits = nullptr;    // pixel rows, bottom-up; null: no picture
    int32_t BytesPerLine = 0;
    uint8_t HasPalette = 0; // 1 when LogPalette and Palette are valid
    LOGPALETTE LogPalette = {};
    HPALETTE Palette = nullptr;
    PixelShape Reserved3; // the library's own
};

// Number of colour-table entries for a depth: 2, 16, 256, or 0 for any other depth.
int ColourTableSize(int bitCount);

// 2 to the power n by doubling; 1 for n <= 0. Depths above 30 bits saturate at INT32_MAX.
int32_t zweihoch(int32_t n);

int32_t DIBWidth(const PictureRecord& picture);
int32_t DIBHeight(const PictureRecord& picture);

// Bytes from one pixel row to the next for a width and depth, rows padded to 4 bytes;
// -1 when the row would not fit an int32.
int64_t DIBRowBytes(int32_t width, int32_t bitCount);

// A new picture of that size and depth. With colourCount > 0 the first colourCount entries of
// the colour table of colourSource become its colour table, LogPalette and Palette. Paletted
// pictures made without a colour source get a grey ramp. Pixels start at 0 (black for 24 bits).
// Bits is null when the picture can't be made (bad size or depth, or not enough memory).
PictureRecord newdib(int32_t width, int32_t height, int32_t bitCount,
                     const BITMAPINFO* colourSource, int32_t colourCount);

// Releases everything the record owns. A record with null Bits owns nothing.
void deldib(const PictureRecord& picture);

// Reads a picture file; format code 0 detects the type from the contents.
PictureRecord OpenDib(const char* fileName, int32_t formatCode);

// Writes the picture; format code 3 is the first entry of GetDIBSaveFilter(), 4 the second, ...
// A file of that name is replaced only once the whole picture has been written. Returns false
// when the file could not be written; an existing file is then left as it was.
bool SaveDib(const PictureRecord& picture, const char* fileName, int32_t formatCode);
// The same, with the reason for a failure in *reason (the system's words for the file), and
// given up before the old file is replaced once stopped() says so.
bool SaveDibFile(const PictureRecord& picture, const char* fileName, int32_t formatCode,
                 QString* reason, const std::function<bool()>& stopped);

// The writable file types, "description|patterns|description|patterns|...".
const char* GetDIBSaveFilter();

// The format code of the writable type whose patterns take the file name's extension, in any
// case ("x.tif" gives TIFF's); 0 when no writable type has that extension.
int32_t SaveCodeForFileName(const char* fileName);

// The type a save dialog writes: the one the typed name's extension names when Velmora writes
// that type, else the chosen one, so that "photo.jpg" is never a BMP.
int32_t SaveCodeForDialog(const char* fileName, int32_t chosenCode);

// The format code of the writable type named by its description or one of its extensions, in
// any case ("png", "JPG", "tiff"); 0 for any other name.
int32_t SaveCodeForTypeName(const char* typeName);

// Pixel value at column x from the left and row y from the top: a colour index for paletted
// pictures, 0xRRGGBB for 24 bits. Outside the picture: 0 (getpixel) and nothing (setpixel).
// Both are inline: whole-picture loops call them once per pixel.
inline int32_t getpixel(const PictureRecord& picture, int32_t x, int32_t y)
{
    const PixelShape& shape = picture.Reserved3;
    const uint8_t* bits = picture.Bits;
    if (!bits || uint32_t(x) >= uint32_t(shape.width) || uint32_t(y) >= uint32_t(shape.height))
        [[unlikely]]
        return 0;
    const uint8_t* row = bits + int64_t(shape.height - 1 - y) * picture.BytesPerLine;
    switch (shape.bitCount) {
    case 24: {
        const uint8_t* p = row + int64_t(x) * 3;
        return p[0] | (p[1] << 8) | (p[2] << 16);
    }
    case 8:
        return row[x];
    case 4:
        return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    default:
        return 0;
    }
}

// The colour of the pixel at column x and row y from the top, inside the picture, as 0xRRGGBB:
// its value for 24 bits, its colour table's entry for the others.
inline int32_t PixelColour(const PictureRecord& picture, int32_t x, int32_t y)
{
    const int32_t v = getpixel(picture, x, y);
    if (picture.Reserved3.bitCount == 24 || !picture.Info)
        return v;
    const RGBQUAD& c = picture.Info->bmiColors[v & 0xFF];
    return c.rgbRed << 16 | c.rgbGreen << 8 | c.rgbBlue;
}

inline void setpixel(const PictureRecord& picture, int32_t x, int32_t y, int32_t value)
{
    const PixelShape& shape = picture.Reserved3;
    uint8_t* bits = picture.Bits;
    if (!bits || uint32_t(x) >= uint32_t(shape.width) || uint32_t(y) >= uint32_t(shape.height))
        [[unlikely]]
        return;
    uint8_t* row = bits + int64_t(shape.height - 1 - y) * picture.BytesPerLine;
    switch (shape.bitCount) {
    case 24: {
        uint8_t* p = row + int64_t(x) * 3;
        p[0] = uint8_t(value);
        p[1] = uint8_t(value >> 8);
        p[2] = uint8_t(value >> 16);
        return;
    }
    case 8:
        row[x] = uint8_t(value);
        return;
    case 4: {
        uint8_t& b = row[x >> 1];
        b = (x & 1) ? uint8_t((b & 0xF0) | (value & 0x0F)) : uint8_t((b & 0x0F) | (value << 4));
        // Only 4-bit pictures keep copies of their pixels for drawing; the others' rows are read.
        if (picture.Reserved2)
            *static_cast<uint8_t*>(picture.Reserved2) = 1;
        return;
    }
    case 1: {
        const uint8_t mask = uint8_t(0x80 >> (x & 7));
        uint8_t& b = row[x >> 3];
        b = (value & 1) ? uint8_t(b | mask) : uint8_t(b & ~mask);
        return;
    }
    default:
        return;
    }
}

// A paletted, halftoned copy of a 24-bit picture, of the same size or scaled to width x height.
PictureRecord DIBHalftoneDIB(const PictureRecord& picture);
PictureRecord DIBHalftoneDIBXY(const PictureRecord& picture, int32_t width, int32_t height);

// Must be called after pixels or colours were written directly through Bits or Info, so that the
// next drawing shows them (getpixel/setpixel and the library's own operations need not).
void DIBChanged(const PictureRecord& picture);

// Raster operation that copies the source; the only one drawing supports.
constexpr uint32_t SRCCOPY = 0x00CC0020;

// Draws the source rectangle of the picture stretched onto the destination rectangle, dropping
// rows and columns (nearest neighbour). srcY counts from the picture's bottom row. The source is
// clipped at the picture's right and bottom edges with the destination shrunk in proportion;
// parts of the source left of or above the picture leave their destination unpainted.
void StretchDrawDIB(QPainter* dc, int32_t destX, int32_t destY, int32_t destWidth,
                    int32_t destHeight, const PictureRecord& picture, int32_t srcX, int32_t srcY,
                    int32_t srcWidth, int32_t srcHeight, bool halftone, uint32_t rop);

// Bits per pixel of the display in use.
int ScreenColorDepth();

// Replaces the display probe behind ScreenColorDepth (tests use it to pretend an 8-bit screen);
// nullptr restores the real probe.
using ScreenDepthProbe = int (*)();
void SetScreenColorDepthProbe(ScreenDepthProbe probe);
