// SPDX-License-Identifier: GPL-3.0-or-later
#include "PictureOps.h"

#include "HeldPicture.h"

#include "ColourProfile.h"

#include "PictureOrientation.h"

#include <algorithm>
#include <cstring>
#include <vector>

// Pixel rows are worked on in memory order (bottom-up, as stored) wherever the order does not
// matter; only the mapping between old and new coordinates has to follow the pictures' top-left
// view. Bits within a byte run from the most significant one, as in every 1- and 4-bit DIB.

namespace {

struct Shape
{
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitCount = 0;
    int64_t stride = 0;
};

// False for a record that holds no picture or whose rows could not hold its width.
bool ShapeOf(const PictureRecord& picture, Shape& shape)
{
    if (!picture.Bits || !picture.Info)
        return false;
    const BITMAPINFOHEADER& h = picture.Info->bmiHeader;
    shape = {h.biWidth, h.biHeight, h.biBitCount, picture.BytesPerLine};
    const int64_t rowBytes = DIBRowBytes(shape.width, shape.bitCount);
    return shape.height > 0 && rowBytes > 0 && shape.stride >= rowBytes;
}

// The depths the library makes pictures of; the geometric operations need a new one.
bool ShapeForNewPicture(const PictureRecord& picture, Shape& shape)
{
    if (!ShapeOf(picture, shape))
        return false;
    const int b = shape.bitCount;
    return b == 1 || b == 4 || b == 8 || b == 24;
}

PictureRecord NewPictureLike(const PictureRecord& picture, int32_t width, int32_t height)
{
    const int bitCount = picture.Info->bmiHeader.biBitCount;
    PictureRecord made = newdib(width, height, bitCount, picture.Info, ColourTableSize(bitCount));
    KeepColourProfile(picture, made);
    return made;
}

uint8_t* MemoryRow(const PictureRecord& picture, int64_t row)
{
    return picture.Bits + row * picture.BytesPerLine;
}

int64_t UsedRowBytes(int64_t width, int32_t bitCount)
{
    return (width * bitCount + 7) / 8;
}

// Always inlined: a function that does nothing but prefetch counts as free of effects, and the
// compiler would drop its calls.
[[gnu::always_inline]] inline void PrefetchBytes(const uint8_t* p, int64_t first, int64_t end)
{
    for (int64_t b = first; b < end; b += 64)
        __builtin_prefetch(p + b);
    __builtin_prefetch(p + end - 1);
}

// A mirror reads each row backwards, which the machine's prefetchers are slow to follow, so the
// rows a little further on are asked for ahead.
constexpr int32_t kRowsAhead = 2;

// The bits of a last, partly used byte beyond the pixels must stay 0, as a pixel-by-pixel copy
// into a fresh picture leaves them; whatever the old picture kept there is not carried over.
void ClearTailBits(uint8_t* row, int64_t usedBits)
{
    if (usedBits & 7)
        row[usedBits >> 3] &= uint8_t(0xFF00 >> (usedBits & 7));
}

// count pixels from pixel first of a source row to the start of dst.
void CopyPixelSpan(uint8_t* dst, const uint8_t* srcRow, int64_t first, int64_t count,
                   int32_t bitCount)
{
    const int64_t startBit = first * bitCount;
    const int64_t usedBits = count * bitCount;
    const int64_t n = (usedBits + 7) >> 3;
    const uint8_t* src = srcRow + (startBit >> 3);
    const int shift = int(startBit & 7);
    if (shift == 0) {
        std::memcpy(dst, src, size_t(n));
    } else {
        // A start inside a byte (1 and 4 bits only): each new byte joins two old ones. The byte
        // after the last one holding a wanted pixel may lie beyond the row, so it is not read.
        const int64_t lastSrc = (shift + usedBits - 1) >> 3;
        for (int64_t j = 0; j + 1 < n; ++j)
            dst[j] = uint8_t((src[j] << shift) | (src[j + 1] >> (8 - shift)));
        uint8_t last = uint8_t(src[n - 1] << shift);
        if (n <= lastSrc)
            last |= uint8_t(src[n] >> (8 - shift));
        dst[n - 1] = last;
    }
    ClearTailBits(dst, usedBits);
}

constexpr std::array<uint8_t, 256> kReversedBits = [] {
    std::array<uint8_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
        int r = 0;
        for (int i = 0; i < 8; ++i)
            if (b & (1 << i))
                r |= 0x80 >> i;
        table[size_t(b)] = uint8_t(r);
    }
    return table;
}();

void ReverseBytes(uint8_t* dst, const uint8_t* src, int64_t n)
{
    int64_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t v;
        std::memcpy(&v, src + n - 8 - i, 8);
        v = __builtin_bswap64(v);
        std::memcpy(dst + i, &v, 8);
    }
    for (; i < n; ++i)
        dst[i] = src[n - 1 - i];
}

void ShiftRowLeft(uint8_t* row, int64_t n, int shift)
{
    for (int64_t j = 0; j + 1 < n; ++j)
        row[j] = uint8_t((row[j] << shift) | (row[j + 1] >> (8 - shift)));
    row[n - 1] = uint8_t(row[n - 1] << shift);
}

void MirrorRow(uint8_t* dst, const uint8_t* src, int32_t width, int32_t bitCount)
{
    switch (bitCount) {
    case 24: {
        // Pixels are moved as 4 bytes; the fourth is read from the next old pixel and written
        // over the next new one, which is written after it. The new row's first pixel comes from
        // the old row's last, which may have no byte after it; its own last pixel would spill
        // into the padding. Both go as 3 bytes.
        const int64_t last = int64_t(width) - 1;
        std::memcpy(dst, src + 3 * last, 3);
        for (int64_t x = 1; x < last; ++x)
            std::memcpy(dst + 3 * x, src + 3 * (last - x), 4);
        if (last > 0)
            std::memcpy(dst + 3 * last, src, 3);
        return;
    }
    case 8:
        ReverseBytes(dst, src, width);
        return;
    default: {
        // Reverse the whole used bytes, pixel order inside each byte too. The unused bits of the
        // old last byte then come first and are shifted out, which also zero-fills the new tail.
        const int64_t n = UsedRowBytes(width, bitCount);
        for (int64_t j = 0; j < n; ++j) {
            const uint8_t b = src[n - 1 - j];
            dst[j] = bitCount == 1 ? kReversedBits[b] : uint8_t((b << 4) | (b >> 4));
        }
        const int shift = int(n * 8 - int64_t(width) * bitCount);
        if (shift)
            ShiftRowLeft(dst, n, shift);
        return;
    }
    }
}

// In memory rows, a left turn gives new[c][H - 1 - a] = old[a][c] and a right turn
// new[W - 1 - c][a] = old[a][c]. A turn is bound by memory rather than by arithmetic: the old
// picture is read down its columns, which no hardware prefetcher follows. So a band of new rows
// (kBand at 24 bits) is filled from the left a few old rows at a time, while the old rows
// kPrefetchRows further on are asked for ahead. The sizes were found by timing a camera picture.
constexpr int64_t kBand = 128;
constexpr int64_t kTileRows = 8; // at 24 bits
constexpr int64_t kPrefetchRows = 64;

struct TurnRows
{
    const PictureRecord& from;
    const PictureRecord& to;
    const Shape& s;
    bool left;

    // The new row of old column c and the new column of old row a, both in memory order.
    int64_t NewRow(int64_t c) const { return left ? c : s.width - 1 - c; }
    int64_t NewColumn(int64_t a) const { return left ? s.height - 1 - a : a; }
    // The old row that new column x comes from.
    int64_t OldRow(int64_t x) const { return NewColumn(x); }
    // From the new row of old column c to that of column c + 1.
    int64_t NewRowStep() const { return left ? to.BytesPerLine : -int64_t(to.BytesPerLine); }

    [[gnu::always_inline]] void Prefetch(int64_t oldRow, int64_t firstByte, int64_t endByte) const
    {
        PrefetchBytes(MemoryRow(from, oldRow), firstByte, endByte);
    }
};

// Sixteen pixels of 8 bits; the compiler turns the shuffles below into the byte interleaving
// instructions of the machine (or plain code where it has none).
using Bytes16 = uint8_t __attribute__((vector_size(16)));

inline Bytes16 Load16(const uint8_t* p)
{
    Bytes16 v;
    std::memcpy(&v, p, 16);
    return v;
}

inline void Store16(uint8_t* p, Bytes16 v)
{
    std::memcpy(p, &v, 16);
}

// Transposes 16 x 16 bytes: byte i of row j becomes byte j of row i. Each round interleaves row k
// with row k + 8; as the bit index of a byte (row bits, then column bits) is rotated by one place
// a round, four rounds exchange row and column.
[[gnu::always_inline]] inline void Transpose16x16(Bytes16 r[16])
{
#pragma GCC unroll 4
    for (int round = 0; round < 4; ++round) {
        Bytes16 out[16];
#pragma GCC unroll 8
        for (int k = 0; k < 8; ++k) {
            out[2 * k] = __builtin_shufflevector(r[k], r[k + 8], 0, 16, 1, 17, 2, 18, 3, 19, 4, 20,
                                                 5, 21, 6, 22, 7, 23);
            out[2 * k + 1] = __builtin_shufflevector(r[k], r[k + 8], 8, 24, 9, 25, 10, 26, 11, 27,
                                                     12, 28, 13, 29, 14, 30, 15, 31);
        }
#pragma GCC unroll 16
        for (int k = 0; k < 16; ++k)
            r[k] = out[k];
    }
}

// 8 bits: blocks of 16 x 16 pixels are transposed in registers; a left turn also reverses the
// order of the old rows, a right turn that of the new ones. Columns and rows beyond the last
// whole block go pixel by pixel.
void TurnBytes(const TurnRows& t)
{
    constexpr int64_t B = 16;
    constexpr int64_t kTile = 16;
    // A wider band than for 24 bits: its new rows still fit the second-level cache.
    constexpr int64_t kByteBand = 2 * kBand;
    const Shape& s = t.s;
    const int64_t rowsB = s.height / B * B;
    const int64_t columnsB = s.width / B * B;
    const int64_t readStep = t.left ? -s.stride : s.stride;
    const int64_t writeStep = t.NewRowStep();
    for (int64_t c0 = 0; c0 < columnsB; c0 += kByteBand) {
        const int64_t cEnd = std::min(c0 + kByteBand, columnsB);
        for (int64_t a0 = 0; a0 < rowsB; a0 += kTile) {
            const int64_t aEnd = std::min(a0 + kTile, rowsB);
            for (int64_t a = a0 + kPrefetchRows; a < std::min(aEnd + kPrefetchRows, rowsB); ++a)
                t.Prefetch(a, c0, cEnd);
            for (int64_t a = a0; a < aEnd; a += B) {
                const uint8_t* first = MemoryRow(t.from, t.left ? a + B - 1 : a);
                uint8_t* newRows = t.to.Bits + t.NewColumn(t.left ? a + B - 1 : a);
                for (int64_t c = c0; c < cEnd; c += B) {
                    Bytes16 r[B];
#pragma GCC unroll 16
                    for (int64_t j = 0; j < B; ++j)
                        r[j] = Load16(first + c + j * readStep);
                    Transpose16x16(r);
                    uint8_t* d = newRows + t.NewRow(c) * t.to.BytesPerLine;
#pragma GCC unroll 16
                    for (int64_t i = 0; i < B; ++i)
                        Store16(d + i * writeStep, r[i]);
                }
            }
        }
    }
    const auto pixel = [&](int64_t a, int64_t c) {
        MemoryRow(t.to, t.NewRow(c))[t.NewColumn(a)] = MemoryRow(t.from, a)[c];
    };
    for (int64_t a = 0; a < s.height; ++a)
        for (int64_t c = columnsB; c < s.width; ++c)
            pixel(a, c);
    for (int64_t a = rowsB; a < s.height; ++a)
        for (int64_t c = 0; c < columnsB; ++c)
            pixel(a, c);
}

// 24 bits: a pixel is moved as 4 bytes wherever the fourth is still inside the old row and the
// new pixel is not the last of its row. The fourth byte lands on the next pixel of the new row,
// so the new rows are filled strictly from the left; the padding stays 0.
void TurnTriples(const TurnRows& t)
{
    const Shape& s = t.s;
    const int64_t newWidth = s.height;
    const int64_t writeStep = t.NewRowStep();
    for (int64_t c0 = 0; c0 < s.width; c0 += kBand) {
        const int64_t cEnd = std::min(c0 + kBand, int64_t(s.width));
        const bool wideRead = 3 * cEnd + 1 <= s.stride;
        for (int64_t x0 = 0; x0 < newWidth; x0 += kTileRows) {
            const int64_t xEnd = std::min(x0 + kTileRows, newWidth);
            for (int64_t x = x0 + kPrefetchRows; x < std::min(xEnd + kPrefetchRows, newWidth); ++x)
                t.Prefetch(t.OldRow(x), 3 * c0, 3 * cEnd);
            for (int64_t x = x0; x < xEnd; ++x) {
                const uint8_t* p = MemoryRow(t.from, t.OldRow(x)) + 3 * c0;
                uint8_t* d = MemoryRow(t.to, t.NewRow(c0)) + 3 * x;
                if (wideRead && x != newWidth - 1) {
                    for (int64_t c = c0; c < cEnd; ++c, p += 3, d += writeStep)
                        std::memcpy(d, p, 4);
                } else {
                    for (int64_t c = c0; c < cEnd; ++c, p += 3, d += writeStep)
                        std::memcpy(d, p, 3);
                }
            }
        }
    }
}

uint8_t PackedPixel(const uint8_t* row, int64_t x, int32_t bitCount)
{
    if (bitCount == 1)
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
}

// count one-per-byte pixels into whole bytes at dst; the tail of the last byte stays 0.
void PackPixels(uint8_t* dst, const uint8_t* pixels, int32_t count, int32_t bitCount)
{
    const int perByte = 8 / bitCount;
    for (int32_t i = 0; i < count; i += perByte) {
        uint8_t b = 0;
        const int n = std::min(perByte, count - i);
        for (int k = 0; k < n; ++k)
            b |= uint8_t(pixels[i + k] << (8 - bitCount * (k + 1)));
        *dst++ = b;
    }
}

// 1 and 4 bits: the old pixels of a tile are unpacked to one byte each and the new rows packed
// from them. Tiles start at multiples of 64 pixels, so every new row piece starts on a byte.
void TurnPacked(const PictureRecord& from, const Shape& s, const PictureRecord& to, bool left)
{
    constexpr int32_t T = 64;
    uint8_t tile[T][T];
    for (int32_t r0 = 0; r0 < s.width; r0 += T) {
        const int32_t rows = std::min(T, s.width - r0);
        for (int32_t x0 = 0; x0 < s.height; x0 += T) {
            const int32_t count = std::min(T, s.height - x0);
            for (int32_t i = 0; i < count; ++i) {
                const int32_t x = x0 + i;
                const uint8_t* old = MemoryRow(from, left ? s.height - 1 - x : x);
                for (int32_t k = 0; k < rows; ++k) {
                    const int64_t column = left ? r0 + k : s.width - 1 - (r0 + k);
                    tile[k][i] = PackedPixel(old, column, s.bitCount);
                }
            }
            for (int32_t k = 0; k < rows; ++k)
                PackPixels(MemoryRow(to, r0 + k) + (int64_t(x0) * s.bitCount >> 3), tile[k], count,
                           s.bitCount);
        }
    }
}

PictureRecord Turn(const PictureRecord& picture, bool left)
{
    Shape s;
    if (!ShapeForNewPicture(picture, s))
        return {};
    PictureRecord turned = NewPictureLike(picture, s.height, s.width);
    if (!turned.Bits)
        return turned;
    const TurnRows rows{picture, turned, s, left};
    switch (s.bitCount) {
    case 24:
        TurnTriples(rows);
        break;
    case 8:
        TurnBytes(rows);
        break;
    default:
        TurnPacked(picture, s, turned, left);
        break;
    }
    DIBChanged(turned);
    return turned;
}

// The palette invariant after the colour table changed: LogPalette takes the first n colours
// and Palette is made again from it. A record that came without a palette gets one.
void RemakePalette(PictureRecord& picture, int n)
{
    LOGPALETTE& log = picture.LogPalette;
    if (!picture.HasPalette) {
        log.palVersion = 0x300;
        log.palNumEntries = uint16_t(n);
    }
    for (int i = 0; i < n; ++i) {
        const RGBQUAD& c = picture.Info->bmiColors[i];
        PALETTEENTRY& e = log.palPalEntry[i];
        if (!picture.HasPalette)
            e.peFlags = 0;
        e.peRed = c.rgbRed;
        e.peGreen = c.rgbGreen;
        e.peBlue = c.rgbBlue;
    }
    DeleteObject(picture.Palette);
    picture.Palette = CreatePalette(&log);
    picture.HasPalette = picture.Palette ? 1 : 0;
}

// Large pictures go through a table of byte pairs: half the lookups, and a word of eight bytes
// read and written at once. Byte stores could alias the table, so each of them would otherwise
// hold back the table reads after it.
using PairTable = std::vector<uint16_t>;
constexpr int64_t kPairTableFrom = 256 * 256; // pixels; below, building the table costs more

PairTable MakePairTable(const ChannelTable& t)
{
    PairTable pairs(65536);
    for (size_t hi = 0; hi < 256; ++hi)
        for (size_t lo = 0; lo < 256; ++lo)
            pairs[hi << 8 | lo] = uint16_t(t[hi] << 8 | t[lo]);
    return pairs;
}

void MapBytes(uint8_t* p, int64_t n, const ChannelTable& t, const uint16_t* pairs)
{
    int64_t i = 0;
    if (pairs) {
        for (; i + 8 <= n; i += 8) {
            uint64_t v;
            std::memcpy(&v, p + i, 8);
            const uint64_t out =
                uint64_t(pairs[v & 0xFFFF]) | uint64_t(pairs[(v >> 16) & 0xFFFF]) << 16 |
                uint64_t(pairs[(v >> 32) & 0xFFFF]) << 32 | uint64_t(pairs[v >> 48]) << 48;
            std::memcpy(p + i, &out, 8);
        }
    }
    for (; i < n; ++i)
        p[i] = t[p[i]];
}

// 16 bits per pixel as 5 bits each of red, green and blue; the channel functions work on 8-bit
// values, so each channel is widened first and narrowed after.
uint16_t MapPixel555(uint16_t v, const ChannelTable& t)
{
    uint16_t out = 0;
    for (int shift = 0; shift <= 10; shift += 5) {
        const int c = (v >> shift) & 0x1F;
        out |= uint16_t((t[size_t((c << 3) | (c >> 2))] >> 3) << shift);
    }
    return out;
}

bool IsIdentity(const ChannelTable& t)
{
    for (int v = 0; v < 256; ++v)
        if (t[size_t(v)] != v)
            return false;
    return true;
}

} // namespace

PictureRecord CutToSelection(const PictureRecord& picture, int32_t left, int32_t top, int32_t right,
                             int32_t bottom)
{
    Shape s;
    if (!ShapeForNewPicture(picture, s))
        return {};
    if (left < 0 || top < 0 || left >= right || top >= bottom || right > s.width ||
        bottom > s.height)
        return {};
    const int32_t width = right - left;
    const int32_t height = bottom - top;
    PictureRecord cut = NewPictureLike(picture, width, height);
    if (!cut.Bits)
        return cut;
    // New row y from the top is old row top + y; in memory both count from the bottom.
    for (int32_t r = 0; r < height; ++r)
        CopyPixelSpan(MemoryRow(cut, r), MemoryRow(picture, s.height - bottom + r), left, width,
                      s.bitCount);
    DIBChanged(cut);
    return cut;
}

PictureRecord MirrorPicture(const PictureRecord& picture)
{
    Shape s;
    if (!ShapeForNewPicture(picture, s))
        return {};
    PictureRecord mirrored = NewPictureLike(picture, s.width, s.height);
    if (!mirrored.Bits)
        return mirrored;
    const int64_t used = UsedRowBytes(s.width, s.bitCount);
    for (int32_t r = 0; r < s.height; ++r) {
        if (r + kRowsAhead < s.height)
            PrefetchBytes(MemoryRow(picture, r + kRowsAhead), 0, used);
        MirrorRow(MemoryRow(mirrored, r), MemoryRow(picture, r), s.width, s.bitCount);
    }
    DIBChanged(mirrored);
    return mirrored;
}

PictureRecord FlipPicture(const PictureRecord& picture)
{
    Shape s;
    if (!ShapeForNewPicture(picture, s))
        return {};
    PictureRecord flipped = NewPictureLike(picture, s.width, s.height);
    if (!flipped.Bits)
        return flipped;
    for (int32_t r = 0; r < s.height; ++r)
        CopyPixelSpan(MemoryRow(flipped, r), MemoryRow(picture, s.height - 1 - r), 0, s.width,
                      s.bitCount);
    DIBChanged(flipped);
    return flipped;
}

PictureRecord RotateLeft(const PictureRecord& picture)
{
    return Turn(picture, true);
}

PictureRecord RotateRight(const PictureRecord& picture)
{
    return Turn(picture, false);
}

uint8_t BrightnessChannel(int32_t v, int32_t d)
{
    return uint8_t(std::clamp<int64_t>(int64_t(v) + d, 0, 255));
}

uint8_t ContrastChannel(int32_t v, int32_t k)
{
    k = std::clamp(k, 0, 200);
    if (k <= 100)
        return uint8_t((v - 127) * k / 100 + 127);
    const int32_t m = 200 - k;
    return uint8_t(v >= 128 ? 255 - (255 - v) * m / 100 : v * m / 100);
}

ChannelTable BrightnessTable(int32_t d)
{
    ChannelTable t;
    for (int v = 0; v < 256; ++v)
        t[size_t(v)] = BrightnessChannel(v, d);
    return t;
}

ChannelTable ContrastTable(int32_t k)
{
    ChannelTable t;
    for (int v = 0; v < 256; ++v)
        t[size_t(v)] = ContrastChannel(v, k);
    return t;
}

void ApplyChannelTable(PictureRecord& picture, const ChannelTable& table)
{
    Shape s;
    if (!ShapeOf(picture, s) || IsIdentity(table))
        return;
    const int n = ColourTableSize(s.bitCount);
    if (n > 0) {
        // The colour table is what drawing shows, so the colours are taken from it; LogPalette
        // follows it (and need not be valid when the record came without a palette).
        for (int i = 0; i < n; ++i) {
            RGBQUAD& c = picture.Info->bmiColors[i];
            c.rgbRed = table[c.rgbRed];
            c.rgbGreen = table[c.rgbGreen];
            c.rgbBlue = table[c.rgbBlue];
        }
        RemakePalette(picture, n);
    } else {
        // The library makes no 16- or 32-bit pictures; should one arrive, its colour channels
        // are adjusted and its spare byte or bit left as it is.
        const PairTable pairs = s.bitCount == 24 && int64_t(s.width) * s.height > kPairTableFrom
                                    ? MakePairTable(table)
                                    : PairTable();
        for (int64_t r = 0; r < s.height; ++r) {
            uint8_t* row = MemoryRow(picture, r);
            switch (s.bitCount) {
            case 24:
                MapBytes(row, int64_t(s.width) * 3, table, pairs.data());
                break;
            case 32:
                for (int64_t x = 0; x < s.width; ++x)
                    MapBytes(row + 4 * x, 3, table, nullptr);
                break;
            case 16:
                for (int64_t x = 0; x < s.width; ++x) {
                    uint16_t v;
                    std::memcpy(&v, row + 2 * x, 2);
                    v = uint16_t((v & 0x8000) | MapPixel555(v, table));
                    std::memcpy(row + 2 * x, &v, 2);
                }
                break;
            default:
                return;
            }
        }
    }
    DIBChanged(picture);
}

void AdjustBrightness(PictureRecord& picture, int32_t d)
{
    ApplyChannelTable(picture, BrightnessTable(d));
}

void AdjustContrast(PictureRecord& picture, int32_t k)
{
    ApplyChannelTable(picture, ContrastTable(k));
}

void ApplyBrightnessContrast(PictureRecord& picture, int32_t d, int32_t k)
{
    const ChannelTable brightness = BrightnessTable(d);
    const ChannelTable contrast = ContrastTable(k);
    ChannelTable both;
    for (size_t v = 0; v < 256; ++v)
        both[v] = contrast[brightness[v]];
    ApplyChannelTable(picture, both);
}

PictureRecord CopyPicture(const PictureRecord& picture)
{
    Shape s;
    if (!ShapeForNewPicture(picture, s))
        return {};
    PictureRecord copy = NewPictureLike(picture, s.width, s.height);
    if (!copy.Bits)
        return copy;
    if (copy.BytesPerLine == s.stride) {
        std::memcpy(copy.Bits, picture.Bits, copy.Info->bmiHeader.biSizeImage);
    } else {
        for (int64_t r = 0; r < s.height; ++r)
            std::memcpy(MemoryRow(copy, r), MemoryRow(picture, r), size_t(copy.BytesPerLine));
    }
    // newdib made the palette from the colour table; the old one is taken over byte for byte so
    // that a restore gives back exactly what there was.
    if (picture.HasPalette && copy.HasPalette) {
        copy.LogPalette = picture.LogPalette;
        DeleteObject(copy.Palette);
        copy.Palette = CreatePalette(&copy.LogPalette);
        copy.HasPalette = copy.Palette ? 1 : 0;
    }
    DIBChanged(copy);
    return copy;
}

bool RestorePicture(PictureRecord& current, const PictureRecord& backup)
{
    Shape a;
    Shape b;
    if (!ShapeOf(current, a) || !ShapeOf(backup, b))
        return false;
    const uint32_t bytes = current.Info->bmiHeader.biSizeImage;
    if (a.width != b.width || a.height != b.height || a.bitCount != b.bitCount ||
        a.stride != b.stride || bytes != backup.Info->bmiHeader.biSizeImage)
        return false;
    std::memcpy(current.Bits, backup.Bits, bytes);
    // The colours are restored for every paletted picture, not only for one with a palette
    // object: brightness and contrast change the colour table of each of them.
    if (const int n = ColourTableSize(a.bitCount); n > 0) {
        std::memcpy(current.Info->bmiColors, backup.Info->bmiColors, size_t(n) * sizeof(RGBQUAD));
        if (backup.HasPalette) {
            current.LogPalette = backup.LogPalette;
            current.HasPalette = 1;
        }
        RemakePalette(current, n);
    }
    DIBChanged(current);
    return true;
}

PictureRecord EditedPicture(const PictureRecord& picture, const PictureEdit& edit)
{
    switch (edit.kind) {
    case PictureEdit::Kind::Cut:
        return CutToSelection(picture, edit.left, edit.top, edit.right, edit.bottom);
    case PictureEdit::Kind::TurnLeft:
        return RotateLeft(picture);
    case PictureEdit::Kind::TurnRight:
        return RotateRight(picture);
    case PictureEdit::Kind::Mirror:
        return MirrorPicture(picture);
    case PictureEdit::Kind::Flip:
        return FlipPicture(picture);
    }
    return PictureRecord();
}

PictureRecord TakeUpright(PictureRecord stored, int orientation)
{
    return TakeEdited(stored, UprightSteps(orientation));
}

PictureRecord TakeEdited(PictureRecord picture, const std::vector<PictureEdit>& edits)
{
    HeldPicture held(picture);
    for (const PictureEdit& step : edits) {
        if (!held)
            break;
        held.reset(EditedPicture(held.get(), step));
    }
    return held.release();
}
