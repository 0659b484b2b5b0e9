// SPDX-License-Identifier: GPL-3.0-or-later
// The memory a picture may take: what the machine and the process's limits leave, and the
// budget that the decoders allocating through SDL are held to while they decode.
#include "DibFileFormats.h"
#include "LoadedLibrary.h"
#include "SdlCalls.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>

namespace {

// Each block carries its size in front, at the alignment malloc gives.
struct alignas(std::max_align_t) BlockHeader
{
    size_t size;
};

std::atomic<uint64_t> decoderLimit{DecoderBudget::kDefault};
std::atomic<uint64_t> decoderHeld{0};
SDL_malloc_func systemMalloc = nullptr;
SDL_calloc_func systemCalloc = nullptr;
SDL_realloc_func systemRealloc = nullptr;
SDL_free_func systemFree = nullptr;

bool Reserve(size_t size)
{
    const uint64_t limit = decoderLimit.load(std::memory_order_relaxed);
    uint64_t held = decoderHeld.load(std::memory_order_relaxed);
    do {
        if (held > limit || size > limit - held)
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
    if (!Reserve(size))
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
    if (each != 0 && count > std::numeric_limits<size_t>::max() / 2 / each)
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
    if (size > old && !Reserve(size - old))
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

// SDL and SDL_image opened, and SDL's allocator replaced before SDL allocates anything: nothing
// but the picture readers calls SDL, and they come here first.
bool OpenSdl(SdlCalls& calls)
{
    void* sdl = OpenLibrary("libSDL2-2.0.so.0", nullptr);
    decltype(&SDL_GetMemoryFunctions) getMemoryFunctions = nullptr;
    decltype(&SDL_SetMemoryFunctions) setMemoryFunctions = nullptr;
    if (!sdl || !FindFunction(sdl, "SDL_GetMemoryFunctions", getMemoryFunctions, nullptr) ||
        !FindFunction(sdl, "SDL_SetMemoryFunctions", setMemoryFunctions, nullptr))
        return false;
    getMemoryFunctions(&systemMalloc, &systemCalloc, &systemRealloc, &systemFree);
    if (setMemoryFunctions(BudgetMalloc, BudgetCalloc, BudgetRealloc, BudgetFree) != 0)
        return false;
    void* image = OpenLibrary("libSDL2_image-2.0.so.0", nullptr);
    return image && FindFunction(sdl, "SDL_AllocRW", calls.AllocRW, nullptr) &&
           FindFunction(sdl, "SDL_FreeRW", calls.FreeRW, nullptr) &&
           FindFunction(sdl, "SDL_RWclose", calls.RWclose, nullptr) &&
           FindFunction(sdl, "SDL_SetError", calls.SetError, nullptr) &&
           FindFunction(sdl, "SDL_FreeSurface", calls.FreeSurface, nullptr) &&
           FindFunction(sdl, "SDL_LockSurface", calls.LockSurface, nullptr) &&
           FindFunction(sdl, "SDL_UnlockSurface", calls.UnlockSurface, nullptr) &&
           FindFunction(sdl, "SDL_ConvertPixels", calls.ConvertPixels, nullptr) &&
           FindFunction(sdl, "SDL_malloc", calls.malloc, nullptr) &&
           FindFunction(sdl, "SDL_calloc", calls.calloc, nullptr) &&
           FindFunction(sdl, "SDL_realloc", calls.realloc, nullptr) &&
           FindFunction(sdl, "SDL_free", calls.free, nullptr) &&
           FindFunction(image, "IMG_LoadBMP_RW", calls.LoadBMP, nullptr) &&
           FindFunction(image, "IMG_LoadTGA_RW", calls.LoadTGA, nullptr) &&
           FindFunction(image, "IMG_LoadPCX_RW", calls.LoadPCX, nullptr) &&
           FindFunction(image, "IMG_LoadLBM_RW", calls.LoadLBM, nullptr) &&
           FindFunction(image, "IMG_LoadPNM_RW", calls.LoadPNM, nullptr) &&
           FindFunction(image, "IMG_LoadQOI_RW", calls.LoadQOI, nullptr) &&
           FindFunction(image, "IMG_LoadWEBP_RW", calls.LoadWEBP, nullptr);
}

constexpr uint64_t kUnlimited = std::numeric_limits<uint64_t>::max();

// A "Name:   value kB" line of /proc/meminfo, in bytes; kUnlimited when it can't be read.
uint64_t MemInfoBytes(const char* name)
{
    std::FILE* file = std::fopen("/proc/meminfo", "r");
    if (!file)
        return kUnlimited;
    char line[256];
    uint64_t bytes = kUnlimited;
    const size_t nameLength = std::strlen(name);
    while (std::fgets(line, sizeof line, file)) {
        unsigned long long kib = 0;
        if (std::strncmp(line, name, nameLength) == 0 && line[nameLength] == ':' &&
            std::sscanf(line + nameLength + 1, "%llu", &kib) == 1) {
            bytes = uint64_t(kib) * 1024;
            break;
        }
    }
    std::fclose(file);
    return bytes;
}

// The address space and the data segment in use, from /proc/self/statm, in bytes.
struct InUse
{
    uint64_t addressSpace = 0;
    uint64_t data = 0;
};
InUse MemoryInUse()
{
    InUse use;
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (!file)
        return use;
    unsigned long long size = 0, resident = 0, shared = 0, text = 0, lib = 0, data = 0;
    if (std::fscanf(file, "%llu %llu %llu %llu %llu %llu", &size, &resident, &shared, &text, &lib,
                    &data) == 6) {
        const uint64_t page = uint64_t(sysconf(_SC_PAGESIZE));
        use.addressSpace = size * page;
        use.data = data * page;
    }
    std::fclose(file);
    return use;
}

// What a soft limit leaves beside what is in use; kUnlimited without a limit.
uint64_t LeftUnder(int resource, uint64_t inUse)
{
    rlimit limit = {};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kUnlimited;
    return uint64_t(limit.rlim_cur) > inUse ? uint64_t(limit.rlim_cur) - inUse : 0;
}

} // namespace

uint64_t MemoryForPictures()
{
    const InUse use = MemoryInUse();
    return std::min({MemInfoBytes("MemAvailable"), LeftUnder(RLIMIT_AS, use.addressSpace),
                     LeftUnder(RLIMIT_DATA, use.data)});
}

DecoderBudget::DecoderBudget(uint64_t bytes)
    : previous_(decoderLimit.exchange(bytes, std::memory_order_relaxed))
{
}

DecoderBudget::~DecoderBudget()
{
    decoderLimit.store(previous_, std::memory_order_relaxed);
}

namespace {

// Records smaller than this are taken from the heap or fill too fast for a thread to help.
constexpr size_t kPrefetchFrom = size_t(64) << 20;
constexpr size_t kPrefetchStep = size_t(32) << 20;

} // namespace

void TakeRowPages(const PictureRecord& picture, int32_t first, int32_t last)
{
    const int32_t height = DIBHeight(picture);
    first = std::clamp(first, 0, height);
    last = std::clamp(last, first, height);
    if (!picture.Bits || first == last)
        return;
    // The rows are bottom-up: the lower rows lie first in memory.
    const auto page = uintptr_t(sysconf(_SC_PAGESIZE));
    const auto from =
        reinterpret_cast<uintptr_t>(picture.Bits + int64_t(height - last) * picture.BytesPerLine);
    const auto to =
        reinterpret_cast<uintptr_t>(picture.Bits + int64_t(height - first) * picture.BytesPerLine);
    const uintptr_t start = (from + page - 1) / page * page;
    const uintptr_t end = to / page * page;
    if (end > start)
        madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
}

struct RowPrefetch::Worker
{
    std::atomic<bool> stop{false};
    std::thread thread;
};

RowPrefetch::RowPrefetch(const PictureRecord& picture)
{
    if (!picture.Bits || !picture.Info || std::thread::hardware_concurrency() < 2)
        return;
    const size_t bytes = picture.Info->bmiHeader.biSizeImage;
    if (bytes < kPrefetchFrom)
        return;
    const long page = sysconf(_SC_PAGESIZE);
    // Whole pages inside the rows; the mapping starts on a page.
    auto* begin = picture.Bits;
    const size_t pages = bytes / size_t(page) * size_t(page);
    try {
        worker_ = std::make_unique<Worker>();
        Worker* w = worker_.get();
        worker_->thread = std::thread([w, begin, pages] {
            for (size_t end = pages; end > 0 && !w->stop.load(std::memory_order_relaxed);) {
                const size_t start = end > kPrefetchStep ? end - kPrefetchStep : 0;
                if (madvise(begin + start, end - start, MADV_POPULATE_WRITE) != 0)
                    return; // an older kernel; the decoder takes the pages itself
                end = start;
            }
        });
    } catch (const std::exception&) {
        worker_.reset(); // no thread: the decoder takes the pages itself
    }
}

void RowPrefetch::Stop()
{
    if (!worker_)
        return;
    worker_->stop = true;
    if (worker_->thread.joinable())
        worker_->thread.join();
    worker_.reset();
}

RowPrefetch::~RowPrefetch()
{
    Stop();
}

const SdlCalls* Sdl()
{
    static std::once_flag once;
    static SdlCalls calls;
    static bool opened = false;
    std::call_once(once, [] { opened = OpenSdl(calls); });
    return opened ? &calls : nullptr;
}
