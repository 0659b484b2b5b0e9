// SPDX-License-Identifier: GPL-3.0-or-later
// PNG straight through libpng, row by row into the record: grey as 8 bits with a grey table
// (black and white as 1 bit),
// colour tables at the depth their size needs, colour at 24 bits with alpha laid over white.
// Every error of libpng, a read past the end of the file among them, refuses the file; its
// warnings are kept to itself.
#include "DibFileFormats.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

// Chunks besides the image data (text, colour profiles) are held to this much each.
constexpr png_alloc_size_t kLargestSideChunk = png_alloc_size_t(8) << 20;

constexpr png_byte kIccChunk[5] = {'i', 'C', 'C', 'P', '\0'};
// Larger than any profile in use, which are a few hundred kilobytes at most.
constexpr size_t kLargestProfile = size_t(16) << 20;

// An iCCP chunk: the profile's name (1 to 79 bytes), a zero, the compression method (0, the only
// one), then the profile compressed by zlib.
bool UnpackIccChunk(const png_byte* data, size_t size, QByteArray& profile)
{
    const auto* end =
        static_cast<const png_byte*>(std::memchr(data, 0, std::min<size_t>(size, 80)));
    if (!end || end == data || size_t(end - data) + 2 > size || end[1] != 0)
        return false;
    const png_byte* packed = end + 2;
    z_stream z = {};
    if (inflateInit(&z) != Z_OK)
        return false;
    z.next_in = const_cast<png_byte*>(packed);
    z.avail_in = uInt(size - size_t(packed - data));
    QByteArray out;
    int result = Z_OK;
    while (result == Z_OK) {
        const qsizetype have = out.size();
        if (size_t(have) >= kLargestProfile)
            break;
        out.resize(have + std::max<qsizetype>(4096, have));
        z.next_out = reinterpret_cast<Bytef*>(out.data() + have);
        z.avail_out = uInt(out.size() - have);
        result = inflate(&z, Z_NO_FLUSH);
        out.resize(out.size() - qsizetype(z.avail_out));
    }
    inflateEnd(&z);
    if (result != Z_STREAM_END || out.isEmpty())
        return false;
    profile = out;
    return true;
}

struct PngSource
{
    const uint8_t* data;
    size_t size;
    size_t position;
};

void ReadFromMemory(png_structp png, png_bytep target, png_size_t wanted)
{
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (wanted > source->size - source->position)
        png_error(png, "the file ends early");
    std::memcpy(target, source->data + source->position, wanted);
    source->position += wanted;
}

[[noreturn]] void OnPngError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

struct PngReader
{
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngReader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

enum class Layout
{
    Indices, // one byte per pixel: a grey level or a colour-table index
    Bgr,     // three bytes per pixel, the record's own order
    Bgra     // four, with alpha
};

} // namespace

DirectResult ReadPng(const uint8_t* data, size_t size, const PictureClaim& claim,
                     PictureRecord& out, EmbeddedProfile* profile)
{
    if (!PngChunksComplete(data, size))
        return DirectResult::Damaged;
    PngReader reader;
    reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (!reader.png)
        return DirectResult::NoMemory;
    reader.info = png_create_info_struct(reader.png);
    if (!reader.info)
        return DirectResult::NoMemory;
    PngSource source{data, size, 0};
    png_set_read_fn(reader.png, &source, ReadFromMemory);
    png_set_user_limits(reader.png, png_uint_32(std::max<int64_t>(claim.size.width, 1)),
                        png_uint_32(std::max<int64_t>(claim.size.height, 1)));
    png_set_chunk_malloc_max(reader.png, kLargestSideChunk);

    // Everything that a long jump must find is made before it can happen.
    struct State
    {
        PictureRecord picture;
        std::vector<uint8_t> buffer;
        std::unique_ptr<RowPrefetch> prefetch;
    };
    auto state = std::make_unique<State>();
    if (setjmp(png_jmpbuf(reader.png))) {
        state->prefetch.reset();
        deldib(state->picture);
        return DirectResult::Damaged;
    }

    // libpng drops a profile whose colours are not the image's without a word; taken as it is,
    // it is checked, and its refusal told, with those of the other types.
    if (profile)
        png_set_keep_unknown_chunks(reader.png, PNG_HANDLE_CHUNK_ALWAYS, kIccChunk, 1);
    png_read_info(reader.png, reader.info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0;
    png_get_IHDR(reader.png, reader.info, &width, &height, &bitDepth, &colourType, &interlace,
                 nullptr, nullptr);
    if (width != claim.size.width || height != claim.size.height)
        return DirectResult::Damaged;
    if (profile) {
        profile->fileColours =
            (colourType & PNG_COLOR_MASK_COLOR) ? ProfileColours::Rgb : ProfileColours::Grey;
        png_unknown_chunkp chunks = nullptr;
        const int count = png_get_unknown_chunks(reader.png, reader.info, &chunks);
        for (int i = 0; i < count; ++i)
            if (std::memcmp(chunks[i].name, kIccChunk, 4) == 0) {
                if (!UnpackIccChunk(chunks[i].data, chunks[i].size, profile->bytes))
                    profile->damaged = true;
                break; // a second one has no meaning
            }
    }

    png_set_strip_16(reader.png);
    Layout layout = Layout::Bgr;
    int depth = 24;
    BITMAPINFO table = {};
    int colours = 0;
    switch (colourType) {
    case PNG_COLOR_TYPE_PALETTE: {
        png_colorp palette = nullptr;
        int count = 0;
        if (!png_get_PLTE(reader.png, reader.info, &palette, &count) || count < 1)
            return DirectResult::Damaged;
        colours = std::min(count, 256);
        // Entries with an alpha of their own (tRNS) are laid over white, as paper.
        png_bytep alphas = nullptr;
        int alphaCount = 0;
        if (!png_get_tRNS(reader.png, reader.info, &alphas, &alphaCount, nullptr))
            alphaCount = 0;
        for (int i = 0; i < colours; ++i) {
            const uint8_t a = i < alphaCount && alphas ? alphas[i] : 255;
            table.bmiColors[i] = {OverWhite(palette[i].blue, a), OverWhite(palette[i].green, a),
                                  OverWhite(palette[i].red, a), 0};
        }
        png_set_packing(reader.png);
        layout = Layout::Indices;
        depth = DepthForColours(colours);
        break;
    }
    case PNG_COLOR_TYPE_GRAY:
        if (png_get_valid(reader.png, reader.info, PNG_INFO_tRNS)) {
            // A grey left transparent: as colour with alpha, over white.
            png_set_tRNS_to_alpha(reader.png);
            png_set_gray_to_rgb(reader.png);
            png_set_bgr(reader.png);
            layout = Layout::Bgra;
            break;
        }
        layout = Layout::Indices;
        if (bitDepth == 1) {
            // Black and white stays one bit, as in a bilevel TIFF.
            table.bmiColors[1] = {255, 255, 255, 0};
            colours = 2;
            depth = 1;
            png_set_packing(reader.png);
            break;
        }
        png_set_expand_gray_1_2_4_to_8(reader.png);
        depth = 8; // the grey ramp of a new picture
        break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        png_set_gray_to_rgb(reader.png);
        png_set_bgr(reader.png);
        layout = Layout::Bgra;
        break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        png_set_bgr(reader.png);
        layout = Layout::Bgra;
        break;
    default:
        png_set_bgr(reader.png);
        if (png_get_valid(reader.png, reader.info, PNG_INFO_tRNS)) {
            png_set_tRNS_to_alpha(reader.png); // a colour left transparent
            layout = Layout::Bgra;
        }
        break;
    }
    const int passes = png_set_interlace_handling(reader.png);
    png_read_update_info(reader.png, reader.info);
    const size_t rowBytes = png_get_rowbytes(reader.png, reader.info);
    const size_t pixelBytes = layout == Layout::Indices ? 1 : (layout == Layout::Bgr ? 3 : 4);
    if (rowBytes != size_t(width) * pixelBytes)
        return DirectResult::Damaged;

    state->picture =
        newdib(int32_t(width), int32_t(height), depth, colours ? &table : nullptr, colours);
    PictureRecord& picture = state->picture;
    if (!picture.Bits)
        return DirectResult::NoMemory;
    state->prefetch.reset(new (std::nothrow) RowPrefetch(picture));
    auto recordRow = [&](png_uint_32 y) {
        return picture.Bits + int64_t(height - 1 - y) * picture.BytesPerLine;
    };
    // Rows laid out as the record's go straight into it, each pass filling in its pixels;
    // others pass through a row, or for interlaced files the whole picture, of their own.
    const bool direct = layout == Layout::Bgr || (layout == Layout::Indices && depth == 8);
    const size_t bufferRows = direct ? 0 : (passes > 1 ? height : 1);
    try {
        state->buffer.resize(bufferRows * rowBytes);
    } catch (const std::bad_alloc&) {
        state->prefetch.reset();
        deldib(picture);
        return DirectResult::NoMemory;
    }
    const int indexMask = (1 << depth) - 1;
    auto finishRow = [&](png_uint_32 y, const uint8_t* in) {
        uint8_t* row = recordRow(y);
        if (layout == Layout::Indices) {
            std::memset(row, 0, size_t(picture.BytesPerLine));
            for (png_uint_32 x = 0; x < width; ++x)
                StoreIndex(row, int(x), depth, in[x] & indexMask);
            return;
        }
        for (png_uint_32 x = 0; x < width; ++x, in += 4, row += 3) {
            row[0] = OverWhite(in[0], in[3]);
            row[1] = OverWhite(in[1], in[3]);
            row[2] = OverWhite(in[2], in[3]);
        }
    };
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            uint8_t* target =
                direct ? recordRow(y) : state->buffer.data() + (passes > 1 ? y * rowBytes : 0);
            png_read_row(reader.png, target, nullptr);
            if (!direct && passes == 1)
                finishRow(y, target);
        }
    }
    if (!direct && passes > 1)
        for (png_uint_32 y = 0; y < height; ++y)
            finishRow(y, state->buffer.data() + y * rowBytes);
    png_read_end(reader.png, nullptr);
    state->prefetch.reset();
    out = picture;
    state->picture = {};
    return DirectResult::Read;
}
