// SPDX-License-Identifier: GPL-3.0-or-later
// GIF through giflib: the first image of the file at its own size, with its own colour table
// or the file's, interlaced rows put in their places. Later images, comments and the like are
// not read at all.
#include "DibFileFormats.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct MemoryReader
{
    const uint8_t* data;
    size_t size;
    size_t position;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int wanted)
{
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    const size_t left = reader->size - reader->position;
    const size_t count = wanted > 0 ? std::min(size_t(wanted), left) : 0;
    std::memcpy(buffer, reader->data + reader->position, count);
    reader->position += count;
    return int(count);
}

struct GifCloser
{
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifPtr = std::unique_ptr<GifFileType, GifCloser>;

// Steps over extensions up to the first image; false when there is none or the file breaks off.
// The colour index the image leaves transparent goes to *transparent (-1: none).
bool FindFirstImage(GifFileType* gif, int* transparent)
{
    *transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR)
            return false;
        if (type == IMAGE_DESC_RECORD_TYPE)
            return DGifGetImageDesc(gif) != GIF_ERROR;
        if (type != EXTENSION_RECORD_TYPE)
            return false;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
            return false;
        GraphicsControlBlock control;
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4 &&
            DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
            *transparent = control.TransparentColor;
        while (block)
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                return false;
    }
}

// The rows in the order the file holds them: top to bottom, or the four passes of interlacing.
std::vector<int> RowOrder(int height, bool interlaced)
{
    std::vector<int> rows;
    rows.reserve(size_t(height));
    if (!interlaced) {
        for (int r = 0; r < height; ++r)
            rows.push_back(r);
        return rows;
    }
    constexpr int kStart[] = {0, 4, 2, 1};
    constexpr int kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int r = kStart[pass]; r < height; r += kStep[pass])
            rows.push_back(r);
    return rows;
}

} // namespace

DirectResult ReadGif(const uint8_t* data, size_t size, const PictureClaim& claim,
                     PictureRecord& out)
{
    MemoryReader reader{data, size, 0};
    int error = 0;
    const GifPtr gif(DGifOpen(&reader, ReadFromMemory, &error));
    int transparent = NO_TRANSPARENT_COLOR;
    if (!gif || !FindFirstImage(gif.get(), &transparent))
        return DirectResult::Damaged;

    const GifImageDesc& image = gif->Image;
    const int width = image.Width, height = image.Height;
    if (width != claim.size.width || height != claim.size.height)
        return DirectResult::Damaged;

    const ColorMapObject* map = image.ColorMap ? image.ColorMap : gif->SColorMap;
    const int colours = map ? std::clamp(map->ColorCount, 1, 256) : 256;
    const int depth = DepthForColours(colours);
    BITMAPINFO table = {};
    for (int i = 0; map && i < colours; ++i) {
        const GifColorType& c = map->Colors[i];
        table.bmiColors[i] = {c.Blue, c.Green, c.Red, 0};
    }
    // What the picture leaves transparent is paper.
    if (map && transparent >= 0 && transparent < colours)
        table.bmiColors[transparent] = {255, 255, 255, 0};
    // Without any colour table the indices are shown as a grey ramp.
    PictureRecord picture = newdib(width, height, depth, map ? &table : nullptr, map ? colours : 0);
    if (!picture.Bits)
        return DirectResult::NoMemory;

    // Indices beyond the table of a smaller depth (a damaged file) are cut to that depth, which
    // keeps them inside the table.
    const int indexMask = (1 << depth) - 1;
    std::vector<GifPixelType> line(static_cast<size_t>(width));
    for (const int r : RowOrder(height, image.Interlace)) {
        if (DGifGetLine(gif.get(), line.data(), width) == GIF_ERROR) {
            deldib(picture);
            return DirectResult::Damaged;
        }
        uint8_t* row = picture.Bits + int64_t(height - 1 - r) * picture.BytesPerLine;
        if (depth == 8) {
            std::memcpy(row, line.data(), size_t(width));
            continue;
        }
        for (int x = 0; x < width; ++x)
            StoreIndex(row, x, depth, line[size_t(x)] & indexMask);
    }
    out = picture;
    return DirectResult::Read;
}
