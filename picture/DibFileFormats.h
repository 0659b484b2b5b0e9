// SPDX-License-Identifier: GPL-3.0-or-later
// Inside the picture library: what the file reader and writer share with their tests.
#pragma once

#include "ColourProfile.h"
#include "GrafikRW.h"
#include "PictureRead.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Largest picture, in pixels, that a file may describe: 40000 x 25000 fits, and at 24 bits it
// still fits the 4 GiB image size of the record's header. Whether a picture up to this size is
// read depends on the memory there is for it.
constexpr int64_t kMaxPicturePixels = int64_t(1) << 30;

// What a decoder may hold beside the figure its header gives: its tables, row buffers and the
// like. Pictures of every size get the same allowance.
constexpr uint64_t kDecoderWorkingBytes = uint64_t(16) << 20;

struct PictureSize
{
    int64_t width = 0;
    int64_t height = 0;
    bool operator==(const PictureSize&) const = default;
};

enum class PictureType
{
    Bmp,
    Png,
    Qoi,
    Gif,
    Jpeg,
    Pcx,
    Lbm,
    Pnm,
    Tiff,
    Webp,
    Tga
};

// What the header of a file claims, read before any decoder sees it.
struct PictureClaim
{
    PictureType type = PictureType::Tga;
    PictureSize size;          // may be 0 or below when the header says so
    int recordBits = 24;       // depth of the record its reader makes: 1, 4, 8 or 24
    uint64_t decoderBytes = 0; // what its decoder holds at once beside the record, at most
    bool fitsFile = true;      // false: the file's bytes cannot hold that many pixels of that type
    std::string fault; // what is wrong with the header beside its size, in words; may be empty
};

// The claim of the type that the file's signature names; nullopt when no signature matches or
// the header is cut short.
std::optional<PictureClaim> ClaimBySignature(const uint8_t* data, size_t size);

// The claim of the file read as TGA, the one type without a signature: only headers with a known
// image type, a colour map that agrees with it and a pixel depth TGA has are taken.
std::optional<PictureClaim> ClaimAsTga(const uint8_t* data, size_t size);

// The size that a file claims: that of its signature's type, else of TGA; nullopt when neither
// takes it.
std::optional<PictureSize> ProbePictureSize(const uint8_t* data, size_t size);

// Bytes of the record's pixel rows for a picture of that size and depth; 0 when the size is not
// positive or the rows would not fit the record's 32-bit sizes.
uint64_t RecordBytes(const PictureSize& size, int bitCount);

// The memory the process can still have: the available physical memory, and what the
// address-space limit leaves beside the address space already in use, whichever is less.
uint64_t MemoryForPictures();

// The verdict on a claim before its decoder runs: None when it may be decoded, else Damaged (the
// file cannot hold such a picture, or the size is not positive) or TooLarge (above the ceiling
// or beyond the memory; needed and available are then filled in).
struct ClaimVerdict
{
    ReadFailure failure = ReadFailure::None;
    uint64_t needed = 0;
    uint64_t available = 0;
};
// fileBytes are the file's own, held in memory beside the decoder while it runs; the readers
// through SDL_image give them up before the record is made.
ClaimVerdict JudgeClaim(const PictureClaim& claim, uint64_t available, uint64_t fileBytes = 0);

// Called before each read() of a file's bytes with the count read so far, so that tests can
// change the file while it is read; none by default.
using FileReadHook = void (*)(uint64_t readSoFar);
void SetFileReadHook(FileReadHook hook);

// What SDL_image's IFF decoder may be given: it trusts the file for the sizes of the chunks it
// knows, takes hold-and-modify colours from its colour map by any plane count and writes a colour
// map into a true-colour picture's missing palette. Refuse: damaged or a layout it misreads;
// DecodeWithoutColourMap: a true-colour picture whose colour maps must be hidden from it first.
enum class LbmCheck
{
    Refuse,
    Decode,
    DecodeWithoutColourMap,
};
LbmCheck CheckLbmForDecoder(const uint8_t* data, size_t size);
// Renames the colour map chunks of an IFF file in place, so that its decoder steps over them.
void HideLbmColourMaps(uint8_t* data, size_t size);

// False for a PNG whose chunks run past the end of the file or never reach IEND, true for
// anything else.
bool PngChunksComplete(const uint8_t* data, size_t size);

// Limits every allocation of the decoders that allocate through SDL while it lives: together
// they may hold at most the given bytes. Outside such a scope a small default applies.
class DecoderBudget
{
public:
    explicit DecoderBudget(uint64_t bytes);
    ~DecoderBudget();
    DecoderBudget(const DecoderBudget&) = delete;
    DecoderBudget& operator=(const DecoderBudget&) = delete;

    // The limit outside every scope.
    static constexpr uint64_t kDefault = uint64_t(64) << 20;

private:
    uint64_t previous_;
};

// Has the system map in the pages of rows [first, last) of a record (top first) in one call,
// ahead of a decoder writing them on this thread: a fault for each page costs several times
// more. Nothing happens where the system cannot.
void TakeRowPages(const PictureRecord& picture, int32_t first, int32_t last);

// Has the system map in the pages of a large record's rows on a second thread, from the last
// row in memory, the first that a top-down decoder writes, backwards, while the decoder fills
// them: taking fresh pages costs about a third of decoding a JPEG into them. Stops (and waits)
// when destroyed or stopped, which must happen before the rows are released.
class RowPrefetch
{
public:
    explicit RowPrefetch(const PictureRecord& picture);
    ~RowPrefetch();
    RowPrefetch(const RowPrefetch&) = delete;
    RowPrefetch& operator=(const RowPrefetch&) = delete;
    void Stop();

private:
    struct Worker;
    std::unique_ptr<Worker> worker_;
};

// What a reader of one type made of a file.
enum class DirectResult
{
    Read,    // the picture is in the record
    Damaged, // the data are broken, cut short or disagree with the checked header
    NoMemory // an allocation within the budget failed
};

// The readers of single types. Each is handed the claim that was checked, and refuses a file
// whose decoder finds another size; the decoder's own memory stays within claim.decoderBytes
// plus kDecoderWorkingBytes.
//
// The readers of JPEG, PNG and TIFF also hand over the colour profile the file carries, as it is,
// with the colours the file codes, for ReadPictureFile to check.
struct EmbeddedProfile
{
    QByteArray bytes;
    ProfileColours fileColours = ProfileColours::None;
    bool damaged = false; // the file has a profile, but not one that can be taken out whole
};
// The verdict on it: a profile taken out damaged is left out as "damaged".
ProfileCheck CheckEmbeddedProfile(const EmbeddedProfile& embedded);
// A JPEG written by Qt with the profile in APP2 chunks behind its first segments; the JPEG as
// it is when the profile is not of the colours it codes, empty when it does not read.
QByteArray WithJpegProfile(const QByteArray& jpeg, const ColourProfile& profile);
// The same for a TIFF, its tag in a directory written anew at the end.
QByteArray WithTiffProfile(const QByteArray& tiff, const ColourProfile& profile);

DirectResult ReadJpeg(const uint8_t* data, size_t size, const PictureClaim& claim,
                      PictureRecord& out, EmbeddedProfile* profile = nullptr);
// PCX of four planes, red, green, blue and alpha (DibPcx.cpp).
bool IsRgbaPcx(const uint8_t* data, size_t size);
DirectResult ReadRgbaPcx(const uint8_t* data, size_t size, const PictureClaim& claim,
                         PictureRecord& out);
DirectResult ReadGif(const uint8_t* data, size_t size, const PictureClaim& claim,
                     PictureRecord& out);
DirectResult ReadPng(const uint8_t* data, size_t size, const PictureClaim& claim,
                     PictureRecord& out, EmbeddedProfile* profile = nullptr);
DirectResult ReadTiff(const uint8_t* data, size_t size, const PictureClaim& claim,
                      PictureRecord& out, EmbeddedProfile* profile = nullptr);

// Bits per pixel for a colour table of that many entries: 1, 4 or 8.
int DepthForColours(int colours);

// Colour over white by its alpha, rounded.
inline uint8_t OverWhite(uint8_t colour, uint8_t alpha)
{
    constexpr int kFull = 255;
    return uint8_t((colour * alpha + kFull * (kFull - alpha) + kFull / 2) / kFull);
}

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
