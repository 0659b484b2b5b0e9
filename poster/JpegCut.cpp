// SPDX-License-Identifier: GPL-3.0-or-later
#include "JpegCut.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include <jpeglib.h>

#include <jerror.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <sys/mman.h>

namespace {

// libjpeg reports errors by a jump back to the caller; warnings (corrupt or missing data) are
// taken as errors too, and nothing is printed.
struct Errors
{
    jpeg_error_mgr mgr;
    jmp_buf back;
};

void Jump(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<Errors*>(info->err)->back, 1);
}

void EmitMessage(j_common_ptr info, int level)
{
    if (level < 0)
        Jump(info);
}

void Quiet(j_common_ptr) {}

void SetUpErrors(Errors& errors)
{
    jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = &Jump;
    errors.mgr.emit_message = &EmitMessage;
    errors.mgr.output_message = &Quiet;
}

// The whole picture's blocks take several hundred megabytes for a large photo. The memory comes
// fresh from the system and libjpeg clears it as the blocks are read, one page fault every 4 KB:
// on a 18000 x 13000 photo that was a third of the whole job. The block arrays of one reading
// are recorded as libjpeg asks for them and given huge pages once they exist. Each is one
// allocation up to libjpeg's largest chunk; the advice changes only how our memory is paged.
struct BlockMemory
{
    static constexpr int kArrays = MAX_COMPONENTS;
    decltype(jpeg_memory_mgr::request_virt_barray) request = nullptr;
    decltype(jpeg_memory_mgr::realize_virt_arrays) realize = nullptr;
    jvirt_barray_ptr arrays[kArrays] = {};
    size_t bytes[kArrays] = {};
    int count = 0;
};

constexpr size_t kLargestChunk = 1000000000; // libjpeg's MAX_ALLOC_CHUNK
constexpr size_t kHugePage = size_t(2) << 20;

jvirt_barray_ptr RecordBlockArray(j_common_ptr info, int pool, boolean zero,
                                  JDIMENSION blocksPerRow, JDIMENSION rows, JDIMENSION access)
{
    BlockMemory& memory = *static_cast<BlockMemory*>(info->client_data);
    jvirt_barray_ptr array = memory.request(info, pool, zero, blocksPerRow, rows, access);
    // Only arrays libjpeg clears itself: reading the first row of another before it is
    // written would be an error.
    if (zero && memory.count < BlockMemory::kArrays) {
        const size_t row = size_t(blocksPerRow) * sizeof(JBLOCK);
        memory.arrays[memory.count] = array;
        memory.bytes[memory.count] = std::min(size_t(rows) * row, kLargestChunk / row * row);
        ++memory.count;
    }
    return array;
}

void RealizeOnHugePages(j_common_ptr info)
{
    BlockMemory& memory = *static_cast<BlockMemory*>(info->client_data);
    memory.realize(info);
    for (int i = 0; i < memory.count; ++i) {
        if (memory.bytes[i] < 4 * kHugePage)
            continue;
        JBLOCKARRAY first = (*info->mem->access_virt_barray)(info, memory.arrays[i], 0, 1, FALSE);
        const auto begin = reinterpret_cast<uintptr_t>(first[0]);
        const uintptr_t from = (begin + kHugePage - 1) / kHugePage * kHugePage;
        const uintptr_t to = (begin + memory.bytes[i]) / kHugePage * kHugePage;
        if (to > from)
            madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE); // only a hint
    }
}

void AskForHugePages(jpeg_decompress_struct& src, BlockMemory& memory)
{
    memory.request = src.mem->request_virt_barray;
    memory.realize = src.mem->realize_virt_arrays;
    src.client_data = &memory;
    src.mem->request_virt_barray = &RecordBlockArray;
    src.mem->realize_virt_arrays = &RealizeOnHugePages;
}

long RoundUpDiv(long a, long b)
{
    return (a + b - 1) / b;
}

long RoundUp(long a, long b)
{
    return RoundUpDiv(a, b) * b;
}

bool UsableColours(const jpeg_decompress_struct& d)
{
    return (d.num_components == 1 && d.jpeg_color_space == JCS_GRAYSCALE) ||
           (d.num_components == 3 &&
            (d.jpeg_color_space == JCS_YCbCr || d.jpeg_color_space == JCS_RGB)) ||
           (d.num_components == 4 &&
            (d.jpeg_color_space == JCS_CMYK || d.jpeg_color_space == JCS_YCCK));
}

bool OutOfMemory(const Errors& errors)
{
    return errors.mgr.msg_code == JERR_OUT_OF_MEMORY;
}

// Where each coefficient of an edited block comes from, and its sign. Coefficients are in
// natural order, row (vertical frequency) by row. A mirror negates the odd horizontal
// frequencies, a flip the odd vertical ones, and a transpose swaps the two.
struct BlockEdit
{
    bool none = true;
    int from[DCTSIZE2] = {};
    int sign[DCTSIZE2] = {};
    // The same the other way: where each stored coefficient goes, and its sign there.
    int to[DCTSIZE2] = {};
    int signTo[DCTSIZE2] = {};
};

BlockEdit BlockEditOf(const JpegView& view)
{
    BlockEdit edit;
    edit.none = !view.transposed && !view.mirrored && !view.flipped;
    for (int v = 0; v < DCTSIZE; ++v)
        for (int u = 0; u < DCTSIZE; ++u) {
            const int k = v * DCTSIZE + u;
            edit.from[k] = view.transposed ? u * DCTSIZE + v : k;
            const bool negate = (view.mirrored && (u & 1)) != (view.flipped && (v & 1));
            edit.sign[k] = negate ? -1 : 1;
            edit.to[edit.from[k]] = k;
            edit.signTo[edit.from[k]] = edit.sign[k];
        }
    return edit;
}

// One band of block rows of one component, packed: for each block the set of its coefficients
// that are not zero, and their values in order. A photo's blocks are mostly zeros, and a band
// packed takes a fifth of its blocks' memory or less.
struct PackedRows
{
    long width = 0;                // blocks per row
    std::vector<uint64_t> present; // per block, bit k for coefficient k
    std::vector<uint32_t> start;   // per block, its first value; one more at the end
    std::vector<JCOEF> values;
};

struct PackedBand
{
    PackedRows components[MAX_COMPONENTS];
};

// The coefficients of a block that are not zero, bit k for coefficient k.
uint64_t NonZeros(const JCOEF* block)
{
    uint64_t bits = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (int k = 0; k < DCTSIZE2; k += 16) {
        const __m128i a =
            _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + k)), zero);
        const __m128i b =
            _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + k + 8)), zero);
        const auto zeros = unsigned(_mm_movemask_epi8(_mm_packs_epi16(a, b)));
        bits |= uint64_t(~zeros & 0xFFFFu) << k;
    }
#else
    for (int k = 0; k < DCTSIZE2; ++k)
        bits |= uint64_t(block[k] != 0) << k;
#endif
    return bits;
}

// Packs a band's rows and leaves them all zeros, touching only the coefficients that were set.
// `scratch` holds as many coefficients as the rows.
void PackAndClear(const JBLOCKROW* rows, int count, long width, std::vector<JCOEF>& scratch,
                  PackedRows& out)
{
    const size_t blocks = size_t(count) * size_t(width);
    out.width = width;
    out.present.resize(blocks);
    out.start.resize(blocks + 1);
    JCOEF* value = scratch.data();
    size_t n = 0;
    for (int r = 0; r < count; ++r)
        for (long i = 0; i < width; ++i, ++n) {
            JCOEF* block = rows[r][i];
            const uint64_t present = NonZeros(block);
            out.present[n] = present;
            out.start[n] = uint32_t(value - scratch.data());
            for (uint64_t bits = present; bits; bits &= bits - 1) {
                const int k = std::countr_zero(bits);
                *value++ = block[k];
                block[k] = 0;
            }
        }
    out.start[blocks] = uint32_t(value - scratch.data());
    out.values.assign(scratch.data(), value);
}

// One packed block with the edit made.
void Unpack(const PackedRows& packed, size_t n, const BlockEdit& edit, JCOEF* to)
{
    std::memset(to, 0, sizeof(JBLOCK));
    const JCOEF* value = packed.values.data() + packed.start[n];
    for (uint64_t bits = packed.present[n]; bits; bits &= bits - 1) {
        const int k = std::countr_zero(bits);
        to[edit.to[k]] = JCOEF(edit.signTo[k] * *value++);
    }
}

void Edit(const JCOEF* in, const BlockEdit& edit, JCOEF* to)
{
    if (edit.none)
        std::memcpy(to, in, sizeof(JBLOCK));
    else
        for (int n = 0; n < DCTSIZE2; ++n)
            to[n] = JCOEF(edit.sign[n] * in[edit.from[n]]);
}

// The stored picture's blocks as the parts read them: the whole picture's rows as libjpeg keeps
// them, or bands of rows packed as they were read (a band only while a part still needs it).
struct StoredBlocks
{
    int components = 0;
    long width[MAX_COMPONENTS] = {};  // blocks per row
    long height[MAX_COMPONENTS] = {}; // block rows
    int bandRows[MAX_COMPONENTS] = {};
    std::vector<std::vector<JBLOCKROW>> rows;
    std::vector<std::unique_ptr<PackedBand>> bands;

    // `count` blocks of row `line` of component c, from column `col` on by `step` (1 or -1),
    // with the edit made; false when not all of them are there.
    bool ReadRow(int c, long line, long col, long step, long count, const BlockEdit& edit,
                 JBLOCKROW to) const
    {
        const long last = col + step * (count - 1);
        if (c < 0 || c >= components || line < 0 || line >= height[c] || std::min(col, last) < 0 ||
            std::max(col, last) >= width[c])
            return false;
        if (!rows.empty()) {
            const JBLOCKROW in = rows[size_t(c)][size_t(line)];
            if (edit.none && step == 1)
                std::memcpy(to, in + col, size_t(count) * sizeof(JBLOCK));
            else
                for (long i = 0; i < count; ++i)
                    Edit(in[col + step * i], edit, to[i]);
            return true;
        }
        const PackedBand* band = bands[size_t(line / bandRows[c])].get();
        if (!band)
            return false;
        const PackedRows& packed = band->components[c];
        const long first = (line % bandRows[c]) * packed.width;
        for (long i = 0; i < count; ++i)
            Unpack(packed, size_t(first + col + step * i), edit, to[i]);
        return true;
    }
};

// The source's block rows, per component, as libjpeg keeps them after reading the whole picture.
// It keeps arrays that fit in memory at fixed places, and it has no backing store here: the rows
// stay put, and the parts can be written on several threads without calling into the source's
// memory manager.
void KeepRows(jpeg_decompress_struct& src, jvirt_barray_ptr* coefficients, StoredBlocks& stored)
{
    stored.components = src.num_components;
    stored.rows.resize(size_t(src.num_components));
    for (int c = 0; c < src.num_components; ++c) {
        const jpeg_component_info& comp = src.comp_info[c];
        const long height = RoundUp(long(comp.height_in_blocks), comp.v_samp_factor);
        std::vector<JBLOCKROW>& rows = stored.rows[size_t(c)];
        rows.reserve(size_t(height));
        for (long row = 0; row < height; row += comp.v_samp_factor) {
            JBLOCKARRAY chunk = (*src.mem->access_virt_barray)(
                reinterpret_cast<j_common_ptr>(&src), coefficients[c], JDIMENSION(row),
                JDIMENSION(comp.v_samp_factor), FALSE);
            for (int k = 0; k < comp.v_samp_factor; ++k)
                rows.push_back(chunk[k]);
        }
        stored.width[c] = RoundUp(long(comp.width_in_blocks), comp.h_samp_factor);
        stored.height[c] = height;
    }
}

// A compressor's output into a buffer of the writing thread's, which grows to the largest part
// it has written and is used again for the next, then copied to the part at its exact size.
// libjpeg's own memory destination is no use here: when growing its buffer fails it has already
// freed the buffer it handed out, so a failure could not be cleaned up without freeing that
// twice.
struct PartDestination
{
    jpeg_destination_mgr mgr;
    std::vector<uint8_t>* buffer;
    std::vector<uint8_t>* out;
};
constexpr size_t kFirstPartBytes = size_t(64) << 10;

void NoMemoryForPart(j_compress_ptr info)
{
    info->err->msg_code = JERR_OUT_OF_MEMORY;
    (*info->err->error_exit)(reinterpret_cast<j_common_ptr>(info));
}

// Grows the buffer to at least `size` bytes and points the compressor past `used` of them; a
// buffer that cannot grow fails the compression as out of memory.
void GrowPart(j_compress_ptr info, size_t used, size_t size)
{
    auto* d = reinterpret_cast<PartDestination*>(info->dest);
    bool grown = false;
    try {
        if (d->buffer->size() < size)
            d->buffer->resize(size);
        grown = true;
    } catch (const std::bad_alloc&) {
    }
    if (!grown)
        NoMemoryForPart(info);
    d->mgr.next_output_byte = d->buffer->data() + used;
    d->mgr.free_in_buffer = d->buffer->size() - used;
}

void StartPart(j_compress_ptr info)
{
    GrowPart(info, 0, kFirstPartBytes);
}

boolean PartFull(j_compress_ptr info)
{
    const size_t used = reinterpret_cast<PartDestination*>(info->dest)->buffer->size();
    GrowPart(info, used, used * 2);
    return TRUE;
}

void EndPart(j_compress_ptr info)
{
    auto* d = reinterpret_cast<PartDestination*>(info->dest);
    const uint8_t* begin = d->buffer->data();
    bool copied = false;
    try {
        d->out->assign(begin, begin + (d->buffer->size() - d->mgr.free_in_buffer));
        copied = true;
    } catch (const std::bad_alloc&) {
    }
    if (!copied)
        NoMemoryForPart(info);
}

// One component of a part as its compressor reads it: a band of block rows at a time, filled
// from the stored blocks with the view's edits when the compressor asks for it, so that no part
// ever holds its whole picture.
struct PartComponent
{
    long width = 0; // the part's blocks
    long height = 0;
    long allWidth = 0; // the edited padded picture's
    long allHeight = 0;
    long x = 0; // where the part starts in that
    long y = 0;
    std::vector<JCOEF> blocks;
    std::vector<JBLOCKROW> rows;
};

struct PartWriting
{
    const StoredBlocks* from = nullptr;
    const JpegView* view = nullptr;
    const BlockEdit* edit = nullptr;
    int count = 0;
    PartComponent components[MAX_COMPONENTS];
};

jvirt_barray_ptr HandleOf(PartComponent& component)
{
    return reinterpret_cast<jvirt_barray_ptr>(&component);
}

JBLOCKARRAY FillPartRows(j_common_ptr info, jvirt_barray_ptr array, JDIMENSION first,
                         JDIMENSION count, boolean)
{
    PartWriting& part = *static_cast<PartWriting*>(info->client_data);
    int c = 0;
    while (c < part.count && array != HandleOf(part.components[c]))
        ++c;
    if (c == part.count)
        (*info->err->error_exit)(info);
    PartComponent& comp = part.components[c];
    if (count > comp.rows.size() || long(first) + long(count) > comp.height)
        (*info->err->error_exit)(info);
    const JpegView& view = *part.view;
    for (JDIMENSION k = 0; k < count; ++k) {
        const long j = comp.y + long(first) + long(k);
        const long j1 = view.flipped ? comp.allHeight - 1 - j : j;
        JBLOCKROW row = comp.rows[k];
        const long i0 = view.mirrored ? comp.allWidth - 1 - comp.x : comp.x;
        const long step = view.mirrored ? -1 : 1;
        if (!view.transposed) {
            // A row of the part is part of a stored row.
            if (!part.from->ReadRow(c, j1, i0, step, comp.width, *part.edit, row))
                (*info->err->error_exit)(info);
            continue;
        }
        for (long i = 0; i < comp.width; ++i)
            if (!part.from->ReadRow(c, i0 + step * i, j1, 1, 1, *part.edit, row + i))
                (*info->err->error_exit)(info);
    }
    return comp.rows.data();
}

// One part: a compressor that reads its blocks from the stored ones, written to memory.
// `parameters` is a decompressor whose header has been read and that no other thread changes.
JpegCutResult WritePart(jpeg_decompress_struct& parameters, const StoredBlocks& from,
                        const JpegView& view, const BlockEdit& edit, const JpegRegion& r,
                        std::vector<uint8_t>& buffer, std::vector<uint8_t>& out)
{
    PartWriting writing;
    writing.from = &from;
    writing.view = &view;
    writing.edit = &edit;
    writing.count = parameters.num_components;
    const long mcuW = view.grid.width;
    const long mcuH = view.grid.height;
    try {
        for (int c = 0; c < writing.count; ++c) {
            // The components' sampling swaps with the picture's sides.
            const jpeg_component_info& stored = parameters.comp_info[c];
            const long h = view.transposed ? stored.v_samp_factor : stored.h_samp_factor;
            const long v = view.transposed ? stored.h_samp_factor : stored.v_samp_factor;
            PartComponent& comp = writing.components[c];
            comp.width = RoundUp(RoundUpDiv(long(r.w) * h, mcuW), h);
            comp.height = RoundUp(RoundUpDiv(long(r.h) * v, mcuH), v);
            comp.allWidth = view.paddedWidth / mcuW * h;
            comp.allHeight = view.paddedHeight / mcuH * v;
            comp.x = r.x / mcuW * h;
            comp.y = r.y / mcuH * v;
            comp.blocks.resize(size_t(v) * size_t(comp.width) * DCTSIZE2);
            comp.rows.resize(size_t(v));
            for (long k = 0; k < v; ++k)
                comp.rows[size_t(k)] = reinterpret_cast<JBLOCKROW>(
                    comp.blocks.data() + size_t(k) * size_t(comp.width) * DCTSIZE2);
        }
    } catch (const std::bad_alloc&) {
        return JpegCutResult::NoMemory;
    }
    Errors errors;
    SetUpErrors(errors);
    jpeg_compress_struct dst;
    std::memset(&dst, 0, sizeof dst);
    dst.err = &errors.mgr;
    PartDestination destination{};
    destination.mgr.init_destination = &StartPart;
    destination.mgr.empty_output_buffer = &PartFull;
    destination.mgr.term_destination = &EndPart;
    destination.buffer = &buffer;
    destination.out = &out;
    if (setjmp(errors.back)) {
        const bool noMemory = OutOfMemory(errors);
        jpeg_destroy_compress(&dst);
        std::vector<uint8_t>().swap(out);
        return noMemory ? JpegCutResult::NoMemory : JpegCutResult::Damaged;
    }
    jpeg_create_compress(&dst);
    jpeg_copy_critical_parameters(&parameters, &dst);
    if (view.transposed) {
        // The blocks' frequencies swap, so the quantisation tables do.
        for (JQUANT_TBL* table : dst.quant_tbl_ptrs)
            if (table)
                for (int v = 0; v < DCTSIZE; ++v)
                    for (int u = 0; u < v; ++u)
                        std::swap(table->quantval[v * DCTSIZE + u],
                                  table->quantval[u * DCTSIZE + v]);
        for (int c = 0; c < dst.num_components; ++c)
            std::swap(dst.comp_info[c].h_samp_factor, dst.comp_info[c].v_samp_factor);
    }
    dst.image_width = JDIMENSION(r.w);
    dst.image_height = JDIMENSION(r.h);
    // Sequential parts take the standard Huffman tables: tables made for each part cost a second
    // pass over its blocks, a third more time for a whole cut, and save 5 to 8 per cent of its
    // size. Progressive parts always get tables of their own from libjpeg.
    dst.optimize_coding = FALSE;
    if (parameters.progressive_mode)
        jpeg_simple_progression(&dst);
    // The compressor reads its blocks through these arrays, which it does not own.
    jvirt_barray_ptr coefficients[MAX_COMPONENTS] = {};
    for (int c = 0; c < writing.count; ++c)
        coefficients[c] = HandleOf(writing.components[c]);
    dst.client_data = &writing;
    dst.mem->access_virt_barray = &FillPartRows;
    out.clear();
    dst.dest = &destination.mgr;
    jpeg_write_coefficients(&dst, coefficients);
    jpeg_finish_compress(&dst);
    jpeg_destroy_compress(&dst);
    return JpegCutResult::Cut;
}

// Reading the blocks takes about this share of a cut; writing the parts the rest.
constexpr double kReadingShare = 0.4;

// A cut under way: the stored blocks, the parts ready to be written and the threads that write
// them. The reading thread hands over each part as soon as the blocks it needs are read, and the
// blocks no part needs any more are let go.
class Cutting
{
public:
    Cutting(const JpegView& view, const std::vector<JpegRegion>& regions,
            std::vector<std::vector<uint8_t>>& parts, const CutProgress& progress)
        : view_(view), regions_(regions), parts_(parts), progress_(progress),
          edit_(BlockEditOf(view))
    {
        for (const JpegRegion& r : regions)
            allArea_ += double(r.w) * r.h;
        parts_.resize(regions.size());
        // Each part is handed over once: handing over never allocates.
        ready_.reserve(regions.size());
    }

    ~Cutting() { Stop(); }

    StoredBlocks& stored() { return stored_; }

    // The stored picture is read in `bands` bands of its grid's rows: which parts each one
    // serves.
    void PlanBands(long bands)
    {
        users_.assign(size_t(bands), 0);
        endsAt_.assign(size_t(bands), {});
        span_.resize(regions_.size());
        stored_.bands.resize(size_t(bands));
        // A part's rows in the stored picture are the edited picture's columns when the view is
        // transposed, counted from the other side when mirrored or flipped.
        const long grid = view_.transposed ? view_.grid.width : view_.grid.height;
        const long side = view_.transposed ? view_.paddedWidth : view_.paddedHeight;
        const bool reversed = view_.transposed ? view_.mirrored : view_.flipped;
        for (size_t i = 0; i < regions_.size(); ++i) {
            const JpegRegion& r = regions_[i];
            long from = view_.transposed ? r.x : r.y;
            long to = from + RoundUp(view_.transposed ? r.w : r.h, grid);
            if (reversed) {
                from = side - to;
                to = side - (view_.transposed ? r.x : r.y);
            }
            const long first = std::clamp(from / grid, 0L, bands - 1);
            const long last = std::clamp((to - 1) / grid, first, bands - 1);
            span_[i] = {first, last};
            for (long b = first; b <= last; ++b)
                ++users_[size_t(b)];
            endsAt_[size_t(last)].push_back(i);
        }
    }

    bool Needed(long band) const { return users_[size_t(band)] > 0; }

    // A band no part needs any more, to be packed into again; its memory is already the
    // process's, so a new band costs no page faults.
    std::unique_ptr<PackedBand> SpareBand()
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        if (spare_.empty())
            return std::make_unique<PackedBand>();
        std::unique_ptr<PackedBand> band = std::move(spare_.back());
        spare_.pop_back();
        return band;
    }

    // A band read: kept for the parts that need it, and those it completes are ready.
    void BandRead(long band, std::unique_ptr<PackedBand> packed)
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        stored_.bands[size_t(band)] = std::move(packed);
        for (size_t i : endsAt_[size_t(band)])
            ready_.push_back(i);
        ready_changed_.notify_all();
    }

    // The whole picture read: every part not yet handed over is ready.
    void ReadingEnded(bool inBands)
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        if (!inBands)
            for (size_t i = 0; i < regions_.size(); ++i)
                ready_.push_back(i);
        readingEnded_ = true;
        read_ = 1;
        Report();
        ready_changed_.notify_all();
    }

    void Reading(double done)
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        read_ = std::min(done, 1.0);
        Report();
    }

    void Fail(JpegCutResult why)
    {
        int none = int(JpegCutResult::Cut);
        failure_.compare_exchange_strong(none, int(why));
        const std::lock_guard<std::mutex> hold(mutex_);
        ready_changed_.notify_all();
    }

    bool Failed() const { return failure_ != int(JpegCutResult::Cut); }
    JpegCutResult Result() const { return JpegCutResult(failure_.load()); }

    // Writers on as many threads as there are cores, less this one, which reads.
    void StartWriters(jpeg_decompress_struct& parameters)
    {
        parameters_ = &parameters;
        const unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), 8u));
        try {
            writers_.reserve(cores);
            for (unsigned t = 1; t < cores && t < regions_.size(); ++t)
                writers_.emplace_back([this] { Write(); });
        } catch (...) {
            // Fewer threads, then; this one writes the rest once the reading is done.
        }
    }

    // Writes parts as they become ready, until all are written or one failed. Nothing thrown
    // leaves it: a failure is the cut's, and the first one stops the rest.
    void Write()
    {
        try {
            std::vector<uint8_t> buffer;
            for (;;) {
                size_t i = 0;
                {
                    std::unique_lock<std::mutex> hold(mutex_);
                    ready_changed_.wait(hold, [this] {
                        return Failed() || taken_ < ready_.size() || readingEnded_;
                    });
                    if (Failed() || taken_ == ready_.size())
                        return;
                    i = ready_[taken_++];
                }
                const JpegCutResult r =
                    WritePart(*parameters_, stored_, view_, edit_, regions_[i], buffer, parts_[i]);
                if (r != JpegCutResult::Cut) {
                    Fail(r);
                    return;
                }
                Written(i);
            }
        } catch (const std::bad_alloc&) {
            Fail(JpegCutResult::NoMemory);
        } catch (...) {
            Fail(JpegCutResult::Damaged);
        }
    }

    // Waits for the writers; after a failure they stop at their next part.
    void Stop()
    {
        {
            const std::lock_guard<std::mutex> hold(mutex_);
            readingEnded_ = true;
            ready_changed_.notify_all();
        }
        for (std::thread& writer : writers_)
            writer.join();
        writers_.clear();
    }

private:
    void Written(size_t i)
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        writtenArea_ += double(regions_[i].w) * regions_[i].h;
        if (!span_.empty())
            for (long b = span_[i].first; b <= span_[i].second; ++b)
                if (--users_[size_t(b)] == 0 && stored_.bands[size_t(b)])
                    spare_.push_back(std::move(stored_.bands[size_t(b)]));
        Report();
    }

    // Reading and writing go on together; the share of each done, never going back.
    void Report()
    {
        if (!progress_)
            return;
        const double written = allArea_ > 0 ? writtenArea_ / allArea_ : 1.0;
        const double done = kReadingShare * read_ + (1 - kReadingShare) * written;
        if (done > reported_) {
            reported_ = done;
            progress_(done);
        }
    }

    const JpegView& view_;
    const std::vector<JpegRegion>& regions_;
    std::vector<std::vector<uint8_t>>& parts_;
    const CutProgress& progress_;
    const BlockEdit edit_;
    jpeg_decompress_struct* parameters_ = nullptr;
    StoredBlocks stored_;
    std::vector<int> users_;                  // per band, the parts still needing it
    std::vector<std::vector<size_t>> endsAt_; // per band, the parts it completes
    std::vector<std::pair<long, long>> span_; // per part, its first and last band
    std::vector<std::unique_ptr<PackedBand>> spare_;
    std::mutex mutex_;
    std::condition_variable ready_changed_;
    std::vector<size_t> ready_; // the parts handed over, in order
    size_t taken_ = 0;          // those of them a writer has taken
    bool readingEnded_ = false;
    std::atomic<int> failure_{int(JpegCutResult::Cut)};
    std::vector<std::thread> writers_;
    double allArea_ = 0;
    double writtenArea_ = 0;
    double read_ = 0;
    double reported_ = -1;
};

// libjpeg's progress while it reads the blocks, passed on in steps of a hundredth.
struct ReadingProgress
{
    jpeg_progress_mgr mgr{};
    Cutting* cutting = nullptr;
    int reported = -1;

    static void Monitor(j_common_ptr info)
    {
        auto* self = reinterpret_cast<ReadingProgress*>(info->progress);
        const jpeg_progress_mgr& m = self->mgr;
        if (m.pass_limit <= 0 || m.total_passes <= 0)
            return;
        const double done =
            (m.completed_passes + double(m.pass_counter) / m.pass_limit) / m.total_passes;
        const int hundredths = int(done * 100);
        if (hundredths > self->reported) {
            self->reported = hundredths;
            self->cutting->Reading(done);
        }
    }
};

// The stored picture read a band of its grid's rows at a time, in place of libjpeg's arrays of
// the whole picture: libjpeg asks its memory manager for each band's rows as it starts to
// decode them, so a band is complete when the next is asked for. Each is packed then, and the
// parts it completes go to the writers. Only a picture in one scan reads so; one in several
// scans returns to its rows on each.
struct BandReading
{
    struct Component
    {
        long width = 0;  // blocks per row
        long height = 0; // block rows
        int rows = 0;    // per band
        std::vector<JCOEF> blocks;
        std::vector<JBLOCKROW> pointers;
    };
    Component components[MAX_COMPONENTS];
    std::vector<JCOEF> scratch; // a band of the widest component, packing
    int count = 0;
    long bands = 0;
    long band = -1; // the one being read
    Cutting* cutting = nullptr;
    decltype(jpeg_memory_mgr::request_virt_barray) request = nullptr;
    decltype(jpeg_memory_mgr::realize_virt_arrays) realize = nullptr;
    decltype(jpeg_memory_mgr::access_virt_barray) access = nullptr;
};

jvirt_barray_ptr HandleOf(BandReading::Component& component)
{
    return reinterpret_cast<jvirt_barray_ptr>(&component);
}

void FailReading(j_common_ptr info, bool noMemory)
{
    if (noMemory)
        info->err->msg_code = JERR_OUT_OF_MEMORY;
    (*info->err->error_exit)(info);
}

jvirt_barray_ptr RequestBandRows(j_common_ptr info, int pool, boolean zero, JDIMENSION blocksPerRow,
                                 JDIMENSION rows, JDIMENSION access)
{
    BandReading& reading = *static_cast<BandReading*>(info->client_data);
    // The coefficient arrays are the ones libjpeg clears itself, one per component in order.
    if (!zero || reading.count == MAX_COMPONENTS)
        return reading.request(info, pool, zero, blocksPerRow, rows, access);
    BandReading::Component& comp = reading.components[reading.count++];
    comp.width = long(blocksPerRow);
    comp.height = long(rows);
    comp.rows = int(access);
    return HandleOf(comp);
}

void RealizeBandRows(j_common_ptr info)
{
    BandReading& reading = *static_cast<BandReading*>(info->client_data);
    reading.realize(info);
    const auto& src = *reinterpret_cast<jpeg_decompress_struct*>(info);
    bool fits = reading.count == src.num_components;
    for (int c = 0; c < reading.count && fits; ++c) {
        const BandReading::Component& comp = reading.components[c];
        fits = comp.rows == src.comp_info[c].v_samp_factor && comp.height % comp.rows == 0 &&
               comp.height / comp.rows == long(src.total_iMCU_rows);
    }
    if (!fits)
        FailReading(info, false);
    bool noMemory = false;
    try {
        for (int c = 0; c < reading.count; ++c) {
            BandReading::Component& comp = reading.components[c];
            comp.blocks.resize(size_t(comp.rows) * size_t(comp.width) * DCTSIZE2);
            comp.pointers.resize(size_t(comp.rows));
            for (int k = 0; k < comp.rows; ++k)
                comp.pointers[size_t(k)] = reinterpret_cast<JBLOCKROW>(
                    comp.blocks.data() + size_t(k) * size_t(comp.width) * DCTSIZE2);
            if (comp.blocks.size() > reading.scratch.size())
                reading.scratch.resize(comp.blocks.size());
        }
    } catch (const std::bad_alloc&) {
        noMemory = true;
    }
    if (noMemory)
        FailReading(info, true);
    reading.bands = long(src.total_iMCU_rows);
    // Set before any band is handed over, so before any writer reads them.
    StoredBlocks& stored = reading.cutting->stored();
    stored.components = reading.count;
    for (int c = 0; c < reading.count; ++c) {
        stored.width[c] = reading.components[c].width;
        stored.height[c] = reading.components[c].height;
        stored.bandRows[c] = reading.components[c].rows;
    }
}

// The band just read, packed and handed over when a part needs it.
void BandDone(j_common_ptr info, BandReading& reading)
{
    bool noMemory = false;
    bool failed = false;
    try {
        // Either way the rows are left cleared, as libjpeg expects the next band's.
        std::unique_ptr<PackedBand> packed;
        if (reading.cutting->Needed(reading.band)) {
            packed = reading.cutting->SpareBand();
            for (int c = 0; c < reading.count; ++c) {
                BandReading::Component& comp = reading.components[c];
                PackAndClear(comp.pointers.data(), comp.rows, comp.width, reading.scratch,
                             packed->components[c]);
            }
        } else {
            for (int c = 0; c < reading.count; ++c)
                std::fill(reading.components[c].blocks.begin(), reading.components[c].blocks.end(),
                          JCOEF(0));
        }
        reading.cutting->BandRead(reading.band, std::move(packed));
    } catch (const std::bad_alloc&) {
        noMemory = true;
    } catch (...) {
        failed = true;
    }
    if (noMemory || failed)
        FailReading(info, noMemory);
}

JBLOCKARRAY AccessBandRows(j_common_ptr info, jvirt_barray_ptr array, JDIMENSION first,
                           JDIMENSION count, boolean writable)
{
    BandReading& reading = *static_cast<BandReading*>(info->client_data);
    int c = 0;
    while (c < reading.count && array != HandleOf(reading.components[c]))
        ++c;
    if (c == reading.count)
        return reading.access(info, array, first, count, writable);
    BandReading::Component& comp = reading.components[c];
    // A writer's failure stops the reading too.
    if (reading.cutting->Failed() || !writable || long(count) != comp.rows ||
        long(first) % comp.rows != 0)
        FailReading(info, false);
    const long band = long(first) / comp.rows;
    if (band != reading.band) {
        // Bands come in order, each once.
        if (band != reading.band + 1 || band >= reading.bands)
            FailReading(info, false);
        if (reading.band >= 0)
            BandDone(info, reading);
        reading.band = band;
    }
    return comp.pointers.data();
}

void ReadInBands(jpeg_decompress_struct& src, BandReading& reading)
{
    reading.request = src.mem->request_virt_barray;
    reading.realize = src.mem->realize_virt_arrays;
    reading.access = src.mem->access_virt_barray;
    src.client_data = &reading;
    src.mem->request_virt_barray = &RequestBandRows;
    src.mem->realize_virt_arrays = &RealizeBandRows;
    src.mem->access_virt_barray = &AccessBandRows;
}

// The facts of a header that has been read.
JpegFacts FactsOf(const jpeg_decompress_struct& src)
{
    JpegFacts facts;
    facts.width = int32_t(src.image_width);
    facts.height = int32_t(src.image_height);
    facts.components = src.num_components;
    switch (src.jpeg_color_space) {
    case JCS_GRAYSCALE:
        facts.colours = JpegColours::Grey;
        break;
    case JCS_RGB:
        facts.colours = JpegColours::Rgb;
        break;
    case JCS_CMYK:
        facts.colours = JpegColours::Cmyk;
        break;
    case JCS_YCCK:
        facts.colours = JpegColours::Ycck;
        break;
    default:
        facts.colours = JpegColours::YCbCr;
        break;
    }
    facts.adobe = src.saw_Adobe_marker;
    facts.grid = {src.max_h_samp_factor * DCTSIZE, src.max_v_samp_factor * DCTSIZE};
    return facts;
}

int32_t PaddedSide(int32_t side, int32_t grid)
{
    return int32_t(RoundUp(side, grid));
}

} // namespace

bool ReadJpegFacts(const uint8_t* data, size_t size, JpegFacts& facts)
{
    Errors errors;
    SetUpErrors(errors);
    jpeg_decompress_struct src;
    std::memset(&src, 0, sizeof src);
    src.err = &errors.mgr;
    if (setjmp(errors.back)) {
        jpeg_destroy_decompress(&src);
        return false;
    }
    jpeg_create_decompress(&src);
    jpeg_mem_src(&src, data, static_cast<unsigned long>(size));
    jpeg_read_header(&src, TRUE);
    const bool ok = UsableColours(src) && src.image_width > 0 && src.image_height > 0;
    facts = FactsOf(src);
    jpeg_destroy_decompress(&src);
    return ok;
}

JpegView WholeView(const JpegFacts& facts)
{
    JpegView view;
    view.grid = facts.grid;
    view.paddedWidth = PaddedSide(facts.width, facts.grid.width);
    view.paddedHeight = PaddedSide(facts.height, facts.grid.height);
    view.width = facts.width;
    view.height = facts.height;
    return view;
}

JpegView Mirrored(const JpegView& view)
{
    JpegView edited = view;
    edited.mirrored = !view.mirrored;
    edited.x = view.paddedWidth - view.x - view.width;
    return edited;
}

JpegView Flipped(const JpegView& view)
{
    JpegView edited = view;
    edited.flipped = !view.flipped;
    edited.y = view.paddedHeight - view.y - view.height;
    return edited;
}

namespace {

// The whole padded picture transposed after the edits so far: a mirror made before it is a
// flip made after it, and the other way round.
JpegView Transposed(const JpegView& view)
{
    JpegView edited;
    edited.transposed = !view.transposed;
    edited.mirrored = view.flipped;
    edited.flipped = view.mirrored;
    edited.paddedWidth = view.paddedHeight;
    edited.paddedHeight = view.paddedWidth;
    edited.grid = {view.grid.height, view.grid.width};
    edited.x = view.y;
    edited.y = view.x;
    edited.width = view.height;
    edited.height = view.width;
    return edited;
}

} // namespace

JpegView TurnedLeft(const JpegView& view)
{
    // The top row becomes the left column, bottom up.
    return Flipped(Transposed(view));
}

JpegView TurnedRight(const JpegView& view)
{
    // The top row becomes the right column, top down.
    return Mirrored(Transposed(view));
}

bool CropView(JpegView& view, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    if (left < 0 || top < 0 || left >= right || top >= bottom || right > view.width ||
        bottom > view.height)
        return false;
    view.x += left;
    view.y += top;
    view.width = right - left;
    view.height = bottom - top;
    return true;
}

JpegCutResult CutJpeg(const uint8_t* data, size_t size, const JpegView& view,
                      const std::vector<JpegRegion>& regions,
                      std::vector<std::vector<uint8_t>>& parts, const CutProgress& progress)
{
    parts.clear();
    std::unique_ptr<Cutting> cutting;
    try {
        cutting = std::make_unique<Cutting>(view, regions, parts, progress);
    } catch (const std::bad_alloc&) {
        return JpegCutResult::NoMemory;
    }
    Errors errors;
    SetUpErrors(errors);
    // The header read once more on its own, for the writers: the source changes as it reads.
    jpeg_decompress_struct header;
    jpeg_decompress_struct src;
    std::memset(&header, 0, sizeof header);
    std::memset(&src, 0, sizeof src);
    header.err = &errors.mgr;
    src.err = &errors.mgr;
    BlockMemory memory;
    BandReading bands;
    ReadingProgress reading;
    if (setjmp(errors.back)) {
        const JpegCutResult why = cutting->Failed()     ? cutting->Result()
                                  : OutOfMemory(errors) ? JpegCutResult::NoMemory
                                                        : JpegCutResult::Damaged;
        cutting->Fail(why);
        cutting->Stop();
        jpeg_destroy_decompress(&src);
        jpeg_destroy_decompress(&header);
        parts.clear();
        return why;
    }
    jpeg_create_decompress(&header);
    jpeg_mem_src(&header, data, static_cast<unsigned long>(size));
    jpeg_read_header(&header, TRUE);
    // The view must be one of this data's.
    JpegView whole = WholeView(FactsOf(header));
    if (view.transposed)
        whole = Transposed(whole);
    bool ok = UsableColours(header) && view.paddedWidth == whole.paddedWidth &&
              view.paddedHeight == whole.paddedHeight && view.grid.width == whole.grid.width &&
              view.grid.height == whole.grid.height;
    for (const JpegRegion& r : regions)
        ok = ok && r.w > 0 && r.h > 0 && r.x >= 0 && r.y >= 0 && r.x % view.grid.width == 0 &&
             r.y % view.grid.height == 0 && long(r.x) + r.w <= long(view.paddedWidth) &&
             long(r.y) + r.h <= long(view.paddedHeight);
    if (!ok) {
        jpeg_destroy_decompress(&header);
        parts.clear();
        return JpegCutResult::Damaged;
    }
    jpeg_create_decompress(&src);
    jpeg_mem_src(&src, data, static_cast<unsigned long>(size));
    jpeg_read_header(&src, TRUE);
    // A picture in one scan is read in bands, its parts written meanwhile as their bands come
    // in; one in several scans is read whole first.
    const bool inBands = !src.progressive_mode && src.comps_in_scan == src.num_components;
    if (inBands && src.total_iMCU_rows == 0)
        FailReading(reinterpret_cast<j_common_ptr>(&src), false);
    bool noMemory = false;
    try {
        if (inBands)
            cutting->PlanBands(long(src.total_iMCU_rows));
    } catch (const std::bad_alloc&) {
        noMemory = true;
    }
    if (noMemory)
        FailReading(reinterpret_cast<j_common_ptr>(&src), true);
    if (inBands) {
        bands.cutting = cutting.get();
        ReadInBands(src, bands);
        cutting->StartWriters(header);
    } else {
        AskForHugePages(src, memory);
    }
    reading.cutting = cutting.get();
    if (progress) {
        reading.mgr.progress_monitor = &ReadingProgress::Monitor;
        src.progress = &reading.mgr;
    }
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&src);
    src.progress = nullptr;
    if (inBands) {
        if (bands.band != bands.bands - 1)
            FailReading(reinterpret_cast<j_common_ptr>(&src), false);
        BandDone(reinterpret_cast<j_common_ptr>(&src), bands);
    } else {
        try {
            KeepRows(src, coefficients, cutting->stored());
        } catch (const std::bad_alloc&) {
            noMemory = true;
        }
        if (noMemory)
            FailReading(reinterpret_cast<j_common_ptr>(&src), true);
        cutting->StartWriters(src);
    }
    cutting->ReadingEnded(inBands);
    cutting->Write(); // this thread too, now that the reading is done
    cutting->Stop();
    const JpegCutResult result = cutting->Result();
    // A part that failed stops the rest; the source is finished only when all went well.
    if (result == JpegCutResult::Cut)
        jpeg_finish_decompress(&src);
    jpeg_destroy_decompress(&src);
    jpeg_destroy_decompress(&header);
    if (result != JpegCutResult::Cut)
        parts.clear();
    return result;
}

bool EditView(JpegView& view, const PictureEdit& edit)
{
    switch (edit.kind) {
    case PictureEdit::Kind::Cut:
        return CropView(view, edit.left, edit.top, edit.right, edit.bottom);
    case PictureEdit::Kind::Mirror:
        view = Mirrored(view);
        return true;
    case PictureEdit::Kind::Flip:
        view = Flipped(view);
        return true;
    case PictureEdit::Kind::TurnLeft:
        view = TurnedLeft(view);
        return true;
    case PictureEdit::Kind::TurnRight:
        view = TurnedRight(view);
        return true;
    }
    return false;
}

JpegView PixelView(int32_t width, int32_t height)
{
    JpegView view;
    view.grid = {1, 1};
    view.paddedWidth = view.width = width;
    view.paddedHeight = view.height = height;
    return view;
}
