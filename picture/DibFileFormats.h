// Inside the picture library: what the file reader and writer share with their tests.
#pragma once

#include "GrafikRW.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <optional>

// Largest picture, in pixels, that a file may describe; bigger ones are refused before decoding,
// so that a few hostile header bytes cannot make the decoder claim gigabytes.
constexpr int64_t kMaxFilePixels = int64_t(1) << 28;

// The decoders allocate through SDL's allocator, and some allocate by what they find deep in
// a file, beyond what the header check sees. Everything they hold at once is kept within this
// budget: room for the largest picture a file may describe at 4 bytes per pixel, twice over for
// the decoders' working copies. An allocation beyond it fails, and the decoder reports the file
// as unreadable.
constexpr size_t kDecoderBudget = size_t(kMaxFilePixels) * 4 * 2;

struct PictureSize
{
    int64_t width = 0;
    int64_t height = 0;
    bool operator==(const PictureSize&) const = default;
};

// The size that the header of a picture file claims, for the types whose header is simple to
// read (BMP, PNG, GIF, JPEG, PCX, IFF/LBM, PNM, TIFF, QOI and, when none of these matches,
// TGA). nullopt when the type is not recognised or its header is cut short; the decoder then has
// the final word. A recognised header may claim sizes of 0 or below.
std::optional<PictureSize> ProbePictureSize(const uint8_t* data, size_t size);

// True when a picture of that size may be decoded.
bool AcceptablePictureSize(const PictureSize& size);

// False when the file is too small to hold the picture its header claims, even at the densest
// encoding its type allows: a few bytes claiming millions of pixels would otherwise have the
// decoder allocate and fill them all before it finds the data missing.
bool PlausibleForFileSize(const uint8_t* data, size_t size);

// False for a PNG whose chunks run past the end of the file or never reach IEND, true for
// anything else. The PNG decoder takes a read past the end for data, goes on finding chunks in
// stale bytes and may never stop, so such a file must not reach it.
bool PngChunksComplete(const uint8_t* data, size_t size);

// What a reader of one type made of a file.
enum class DirectResult
{
    Read,    // the picture is in the record
    Refused, // too large, damaged, or no memory for it: no picture
    NotRead  // not a file this reader takes; the general reader may try
};

// Reads a JPEG file held in memory.
DirectResult ReadJpeg(const uint8_t* data, size_t size, PictureRecord& out);

// Reads the first image of a GIF file held in memory, at its own size, with its colour table.
DirectResult ReadGif(const uint8_t* data, size_t size, PictureRecord& out);

// Bits per pixel for a colour table of that many entries: 1, 4 or 8.
int DepthForColours(int colours);

// Puts a colour index, already confined to the depth, at pixel x of a row of 1, 4 or 8 bits per
// pixel whose bytes started at 0.
inline void StoreIndex(uint8_t* row, int x, int depth, int index)
{
    if (depth == 8)
        row[x] = uint8_t(index);
    else if (depth == 4)
        row[x >> 1] |= uint8_t((x & 1) ? index : index << 4);
    else
        row[x >> 3] |= uint8_t(index << (7 - (x & 7)));
}

// True when the record holds a picture that the writers take: 1, 4, 8 or 24 bits per pixel, its
// rows laid out as its header says.
bool WritablePicture(const PictureRecord& picture);

// The picture as a complete BMP file of its own depth and colour table, uncompressed; empty when
// the record holds no valid picture.
QByteArray EncodeBmp(const PictureRecord& picture);

// The picture as a complete PCX file (ZSoft version 5, run-length encoded): 24 bits as three
// planes of 8 bits, 8 bits with the 256-colour palette at the end, 1 and 4 bits as bit planes
// when the width fills whole bytes and at 8 bits otherwise. Empty when the record holds no valid
// picture or one too large for the type's 16-bit sizes.
QByteArray EncodePcx(const PictureRecord& picture);

// The picture as a complete TGA file, uncompressed, rows bottom-up: 24 bits as true colour,
// 1, 4 and 8 bits as one byte per pixel with the colour table as colour map. Empty when the
// record holds no valid picture or one too large for the type's 16-bit sizes.
QByteArray EncodeTga(const PictureRecord& picture);
