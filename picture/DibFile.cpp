// Reading picture files: SDL_image decodes, and the decoded surface is mapped onto the depths of
// the picture record.
//
// The format code is not needed for reading: every type is recognised by its contents, which is
// what code 0 asks for, and other codes are read the same way.
#include "DibFileFormats.h"

#include <SDL.h>
#include <SDL_image.h>

#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// SDL reads from memory through an int-sized length.
constexpr long kMaxFileBytes = INT_MAX;

// Each block carries its size in front, at the alignment malloc gives.
struct alignas(std::max_align_t) BlockHeader
{
    size_t size;
};

std::atomic<size_t> decoderHeld{0};
SDL_malloc_func systemMalloc = nullptr;
SDL_calloc_func systemCalloc = nullptr;
SDL_realloc_func systemRealloc = nullptr;
SDL_free_func systemFree = nullptr;

bool Reserve(size_t size)
{
    size_t held = decoderHeld.load(std::memory_order_relaxed);
    do {
        if (size > kDecoderBudget - held)
            return false;
    } while (!decoderHeld.compare_exchange_weak(held, held + size, std::memory_order_relaxed));
    return true;
}

void Release(size_t size)
{
    decoderHeld.fetch_sub(size, std::memory_order_relaxed);
}

void* Hand(BlockHeader* block, size_t size)
{
    block->size = size;
    return block + 1;
}

BlockHeader* HeaderOf(void* memory)
{
    return static_cast<BlockHeader*>(memory) - 1;
}

void* SDLCALL BudgetMalloc(size_t size)
{
    if (size > kDecoderBudget || !Reserve(size))
        return nullptr;
    auto* block = static_cast<BlockHeader*>(systemMalloc(sizeof(BlockHeader) + size));
    if (!block) {
        Release(size);
        return nullptr;
    }
    return Hand(block, size);
}

void* SDLCALL BudgetCalloc(size_t count, size_t each)
{
    if (each != 0 && count > kDecoderBudget / each)
        return nullptr;
    const size_t size = count * each;
    if (!Reserve(size))
        return nullptr;
    auto* block = static_cast<BlockHeader*>(systemCalloc(1, sizeof(BlockHeader) + size));
    if (!block) {
        Release(size);
        return nullptr;
    }
    return Hand(block, size);
}

void SDLCALL BudgetFree(void* memory)
{
    if (!memory)
        return;
    BlockHeader* block = HeaderOf(memory);
    Release(block->size);
    systemFree(block);
}

void* SDLCALL BudgetRealloc(void* memory, size_t size)
{
    if (!memory)
        return BudgetMalloc(size);
    BlockHeader* block = HeaderOf(memory);
    const size_t old = block->size;
    if (size > old && (size > kDecoderBudget || !Reserve(size - old)))
        return nullptr;
    auto* moved = static_cast<BlockHeader*>(systemRealloc(block, sizeof(BlockHeader) + size));
    if (!moved) {
        if (size > old)
            Release(size - old);
        return nullptr;
    }
    if (size < old)
        Release(old - size);
    return Hand(moved, size);
}

// SDL wants its allocator replaced before it allocates anything, so this happens while the
// program starts, before any picture is read.
[[maybe_unused]] const bool budgetInstalled = [] {
    SDL_GetMemoryFunctions(&systemMalloc, &systemCalloc, &systemRealloc, &systemFree);
    return SDL_SetMemoryFunctions(BudgetMalloc, BudgetCalloc, BudgetRealloc, BudgetFree) == 0;
}();

struct FileCloser
{
    void operator()(std::FILE* f) const { std::fclose(f); }
};
struct SurfaceFreer
{
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFreer>;

bool ReadWholeFile(const char* fileName, std::vector<uint8_t>& data)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName, "rb"));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0)
        return false;
    const long length = std::ftell(file.get());
    if (length <= 0 || length > kMaxFileBytes || std::fseek(file.get(), 0, SEEK_SET) != 0)
        return false;
    try {
        data.resize(size_t(length));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return std::fread(data.data(), 1, data.size(), file.get()) == data.size();
}

SDL_Surface* Decode(const std::vector<uint8_t>& data)
{
    SDL_RWops* source = SDL_RWFromConstMem(data.data(), int(data.size()));
    if (!source)
        return nullptr;
    // Drawings and layered documents are not pictures here, and the SVG and XCF decoders leak
    // on damaged input.
    if (IMG_isSVG(source) || IMG_isXCF(source)) {
        SDL_RWclose(source);
        return nullptr;
    }
    // Types with a signature are found by their contents. TGA, the one type without, must be
    // asked for separately: named, it would be tried before every other type.
    SDL_Surface* surface = IMG_Load_RW(source, 0);
    if (!surface && SDL_RWseek(source, 0, RW_SEEK_SET) == 0)
        surface = IMG_LoadTyped_RW(source, 0, "TGA");
    SDL_RWclose(source);
    return surface;
}

// Colour index of pixel x in a row of an indexed SDL surface.
int IndexAt(const uint8_t* row, int x, uint32_t format)
{
    switch (format) {
    case SDL_PIXELFORMAT_INDEX1MSB:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case SDL_PIXELFORMAT_INDEX1LSB:
        return (row[x >> 3] >> (x & 7)) & 1;
    case SDL_PIXELFORMAT_INDEX4MSB:
        return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    case SDL_PIXELFORMAT_INDEX4LSB:
        return (x & 1) ? (row[x >> 1] >> 4) : (row[x >> 1] & 0x0F);
    default:
        return row[x];
    }
}

PictureRecord FromIndexed(const SDL_Surface& surface, int width)
{
    const SDL_Palette& palette = *surface.format->palette;
    const int colours = palette.ncolors < 1 ? 1 : (palette.ncolors > 256 ? 256 : palette.ncolors);
    const int depth = DepthForColours(colours);

    BITMAPINFO table = {};
    for (int i = 0; i < colours; ++i) {
        const SDL_Color& c = palette.colors[i];
        table.bmiColors[i] = {c.b, c.g, c.r, 0};
    }
    const PictureRecord picture = newdib(width, surface.h, depth, &table, colours);
    if (!picture.Bits)
        return picture;

    const uint32_t format = surface.format->format;
    // Indices beyond the table of a smaller depth (a damaged file) are cut to that depth, which
    // keeps them inside the table.
    const int indexMask = (1 << depth) - 1;
    for (int r = 0; r < surface.h; ++r) {
        const auto* in = static_cast<const uint8_t*>(surface.pixels) + int64_t(r) * surface.pitch;
        uint8_t* out = picture.Bits + int64_t(surface.h - 1 - r) * picture.BytesPerLine;
        if (depth == 8 && format == SDL_PIXELFORMAT_INDEX8) {
            std::memcpy(out, in, size_t(width));
            continue;
        }
        for (int x = 0; x < width; ++x)
            StoreIndex(out, x, depth, IndexAt(in, x, format) & indexMask);
    }
    return picture;
}

// Colour over white by its alpha, rounded.
inline uint8_t OverWhite(uint8_t colour, uint8_t alpha)
{
    constexpr int kFull = 255;
    return uint8_t((colour * alpha + kFull * (kFull - alpha) + kFull / 2) / kFull);
}

PictureRecord FromTrueColour(SDL_Surface& surface, int width)
{
    SurfacePtr converted;
    const SDL_Surface* source = &surface;
    const uint32_t format = surface.format->format;
    const bool direct = format == SDL_PIXELFORMAT_RGB24 || format == SDL_PIXELFORMAT_BGR24;
    if (!direct) {
        // BGRA32 is blue, green, red, alpha in memory, whatever the byte order of the machine.
        converted.reset(SDL_ConvertSurfaceFormat(&surface, SDL_PIXELFORMAT_BGRA32, 0));
        if (!converted)
            return {};
        source = converted.get();
    }
    const PictureRecord picture = newdib(width, surface.h, 24, nullptr, 0);
    if (!picture.Bits)
        return picture;

    const bool hasAlpha = SDL_ISPIXELFORMAT_ALPHA(format);
    const size_t rowBytes = size_t(width) * 3;
    for (int r = 0; r < surface.h; ++r) {
        const auto* in = static_cast<const uint8_t*>(source->pixels) + int64_t(r) * source->pitch;
        uint8_t* out = picture.Bits + int64_t(surface.h - 1 - r) * picture.BytesPerLine;
        if (format == SDL_PIXELFORMAT_BGR24) {
            std::memcpy(out, in, rowBytes);
        } else if (format == SDL_PIXELFORMAT_RGB24) {
            for (size_t i = 0; i < rowBytes; i += 3) {
                out[i] = in[i + 2];
                out[i + 1] = in[i + 1];
                out[i + 2] = in[i];
            }
        } else if (hasAlpha) {
            for (int x = 0; x < width; ++x, in += 4, out += 3) {
                out[0] = OverWhite(in[0], in[3]);
                out[1] = OverWhite(in[1], in[3]);
                out[2] = OverWhite(in[2], in[3]);
            }
        } else {
            for (int x = 0; x < width; ++x, in += 4, out += 3) {
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
            }
        }
    }
    return picture;
}

} // namespace

int DepthForColours(int colours)
{
    constexpr int kOneBitColours = 2, kFourBitColours = 16;
    if (colours <= kOneBitColours)
        return 1;
    return colours <= kFourBitColours ? 4 : 8;
}

PictureRecord OpenDib(const char* fileName, int32_t /*formatCode*/)
{
    if (!fileName)
        return {};
    std::vector<uint8_t> data;
    if (!ReadWholeFile(fileName, data))
        return {};
    const auto claimed = ProbePictureSize(data.data(), data.size());
    if (claimed && !AcceptablePictureSize(*claimed))
        return {};
    if (!PlausibleForFileSize(data.data(), data.size()) ||
        !PngChunksComplete(data.data(), data.size()))
        return {};

    const bool jpeg = data.size() > 2 && data[0] == 0xFF && data[1] == 0xD8;
    if (jpeg) {
        PictureRecord picture;
        switch (ReadJpeg(data.data(), data.size(), picture)) {
        case DirectResult::Read:
            DIBChanged(picture);
            return picture;
        case DirectResult::Refused:
            return {};
        case DirectResult::NotRead:
            break;
        }
    }
    // SDL_image's GIF decoder takes later frames and stray bytes for images of any size, and
    // fails badly when it cannot have the memory; giflib reads the first image and stops.
    const bool gif = data.size() > 3 && std::memcmp(data.data(), "GIF", 3) == 0;
    if (gif) {
        PictureRecord picture;
        if (ReadGif(data.data(), data.size(), picture) != DirectResult::Read)
            return {};
        DIBChanged(picture);
        return picture;
    }

    SurfacePtr surface(Decode(data));
    if (!surface || !surface->pixels || !surface->format ||
        !AcceptablePictureSize({surface->w, surface->h}))
        return {};
    if (SDL_LockSurface(surface.get()) != 0)
        return {};
    // The IFF decoder widens its surface to whole 16-pixel words; the header has the true width.
    int width = surface->w;
    const bool iff = data.size() >= 4 && std::memcmp(data.data(), "FORM", 4) == 0;
    if (iff && claimed && claimed->width < width)
        width = int(claimed->width);
    const SDL_PixelFormat& format = *surface->format;
    PictureRecord picture = (format.palette && format.BitsPerPixel <= 8)
                                ? FromIndexed(*surface, width)
                                : FromTrueColour(*surface, width);
    SDL_UnlockSurface(surface.get());
    DIBChanged(picture);
    return picture;
}
