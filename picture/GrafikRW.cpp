// SPDX-License-Identifier: GPL-3.0-or-later
#include "DibStorage.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

HPALETTE CreatePalette(const LOGPALETTE* logPalette)
{
    if (!logPalette)
        return nullptr;
    auto* palette = new (std::nothrow) PaletteObject;
    if (!palette)
        return nullptr;
    palette->count = logPalette->palNumEntries > 256 ? 256 : logPalette->palNumEntries;
    std::memcpy(palette->entries, logPalette->palPalEntry, sizeof(palette->entries));
    return palette;
}

void DeleteObject(HPALETTE palette)
{
    delete palette;
}

int ColourTableSize(int bitCount)
{
    switch (bitCount) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

int32_t zweihoch(int32_t n)
{
    int64_t value = 1;
    for (int32_t i = 0; i < n; ++i) {
        value *= 2;
        if (value > std::numeric_limits<int32_t>::max())
            return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(value);
}

int32_t DIBWidth(const PictureRecord& picture)
{
    return picture.Info ? picture.Info->bmiHeader.biWidth : 0;
}

int32_t DIBHeight(const PictureRecord& picture)
{
    return picture.Info ? picture.Info->bmiHeader.biHeight : 0;
}

int64_t DIBRowBytes(int32_t width, int32_t bitCount)
{
    if (width <= 0 || bitCount <= 0)
        return -1;
    const int64_t bytes = ((int64_t(width) * bitCount + 31) / 32) * 4;
    return bytes > std::numeric_limits<int32_t>::max() ? -1 : bytes;
}

namespace {

// Large pictures are mapped from the system. Mapped pages come zeroed and are only taken when
// first written, so a decoder that writes every row touches the picture once. Up to a few
// hundred megabytes they are asked for in huge pages: touching every byte of a 72 MB picture in
// 4 KiB pages costs more than decoding a JPEG into it. Above that the kernel's compaction for
// huge pages costs more than it saves (a 3 GB picture took four times as long to fill).
constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kLargestInHugePages = size_t(256) << 20;

uint8_t* AllocatePixels(size_t bytes, size_t& mappedBytes)
{
    mappedBytes = 0;
    if (bytes < 2 * kHugePage)
        return static_cast<uint8_t*>(std::calloc(bytes, 1));
    const size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
    void* memory =
        mmap(nullptr, rounded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return nullptr;
    if (rounded <= kLargestInHugePages)
        madvise(memory, rounded, MADV_HUGEPAGE); // a hint; without huge pages it still works
    mappedBytes = rounded;
    return static_cast<uint8_t*>(memory);
}

} // namespace

DibStorage::~DibStorage()
{
    magic = 0;
    if (mappedBytes)
        munmap(bits, mappedBytes);
    else
        std::free(bits);
}

void SyncPaletteFromColourTable(PictureRecord& picture)
{
    const int n = ColourTableSize(picture.Info->bmiHeader.biBitCount);
    if (n == 0) {
        picture.HasPalette = 0;
        return;
    }
    picture.LogPalette.palVersion = 0x300;
    picture.LogPalette.palNumEntries = static_cast<uint16_t>(n);
    for (int i = 0; i < n; ++i) {
        const RGBQUAD& c = picture.Info->bmiColors[i];
        picture.LogPalette.palPalEntry[i] = {c.rgbRed, c.rgbGreen, c.rgbBlue, 0};
    }
    DeleteObject(picture.Palette);
    picture.Palette = CreatePalette(&picture.LogPalette);
    picture.HasPalette = picture.Palette ? 1 : 0;
}

PictureRecord newdib(int32_t width, int32_t height, int32_t bitCount,
                     const BITMAPINFO* colourSource, int32_t colourCount)
{
    PictureRecord picture;
    if (width <= 0 || height <= 0)
        return picture;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24)
        return picture;
    const int64_t rowBytes = DIBRowBytes(width, bitCount);
    if (rowBytes < 0)
        return picture;
    const int64_t imageBytes = rowBytes * height;
    if (imageBytes > std::numeric_limits<uint32_t>::max())
        return picture;

    try {
        auto storage = std::make_unique<DibStorage>();
        storage->bits = AllocatePixels(size_t(imageBytes), storage->mappedBytes);
        if (!storage->bits)
            return picture;

        BITMAPINFOHEADER& h = storage->info.bmiHeader;
        h.biSize = sizeof(BITMAPINFOHEADER);
        h.biWidth = width;
        h.biHeight = height;
        h.biPlanes = 1;
        h.biBitCount = static_cast<uint16_t>(bitCount);
        h.biCompression = 0;
        h.biSizeImage = static_cast<uint32_t>(imageBytes);
        h.biXPelsPerMeter = h.biYPelsPerMeter = 3780; // 96 dpi
        const int tableSize = ColourTableSize(bitCount);
        h.biClrUsed = static_cast<uint32_t>(tableSize);

        // Without a colour source a paletted picture gets a grey ramp from black to white.
        for (int i = 0; i < tableSize; ++i) {
            const auto g = static_cast<uint8_t>(tableSize > 1 ? i * 255 / (tableSize - 1) : 0);
            storage->info.bmiColors[i] = {g, g, g, 0};
        }
        if (colourSource && colourCount > 0) {
            const int n = colourCount < tableSize ? colourCount : tableSize;
            std::memcpy(storage->info.bmiColors, colourSource->bmiColors, size_t(n) * 4);
        }

        picture.Info = &storage->info;
        picture.Bits = storage->bits;
        picture.BytesPerLine = static_cast<int32_t>(rowBytes);
        picture.Reserved3.width = width;
        picture.Reserved3.height = height;
        picture.Reserved3.bitCount = bitCount;
        picture.Reserved2 = &storage->pixelsChanged;
        picture.Reserved1 = storage.release();
        SyncPaletteFromColourTable(picture);
        return picture;
    } catch (const std::bad_alloc&) {
        return PictureRecord{};
    }
}

void deldib(const PictureRecord& picture)
{
    DibStorage* storage = StorageOf(picture);
    if (!storage)
        return;
    DeleteObject(picture.Palette);
    delete storage;
}

void DIBChanged(const PictureRecord& picture)
{
    if (DibStorage* storage = StorageOf(picture))
        storage->pixelsChanged = 1;
}
