// SPDX-License-Identifier: GPL-3.0-or-later
#include "JpegCut.h"

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include <jpeglib.h>

#include <jerror.h>
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

// The source's block rows, per component, read out once so that the parts can be written on
// several threads without calling into the source's memory manager. libjpeg keeps arrays that
// fit in memory at fixed places, and it has no backing store here: the rows stay put.
using BlockRows = std::vector<std::vector<JBLOCKROW>>;

BlockRows RowsOf(jpeg_decompress_struct& src, jvirt_barray_ptr* coefficients)
{
    BlockRows rows(size_t(src.num_components));
    for (int c = 0; c < src.num_components; ++c) {
        const jpeg_component_info& comp = src.comp_info[c];
        const long height = RoundUp(long(comp.height_in_blocks), comp.v_samp_factor);
        rows[size_t(c)].reserve(size_t(height));
        for (long row = 0; row < height; row += comp.v_samp_factor) {
            JBLOCKARRAY chunk = (*src.mem->access_virt_barray)(
                reinterpret_cast<j_common_ptr>(&src), coefficients[c], JDIMENSION(row),
                JDIMENSION(comp.v_samp_factor), FALSE);
            for (int k = 0; k < comp.v_samp_factor; ++k)
                rows[size_t(c)].push_back(chunk[k]);
        }
    }
    return rows;
}

// Where each coefficient of an edited block comes from, and its sign. Coefficients are in
// natural order, row (vertical frequency) by row. A mirror negates the odd horizontal
// frequencies, a flip the odd vertical ones, and a transpose swaps the two.
struct BlockEdit
{
    bool none = true;
    int from[DCTSIZE2] = {};
    int sign[DCTSIZE2] = {};
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
        }
    return edit;
}

// A compressor's output straight into a part's bytes. libjpeg's own memory destination is no
// use here: when growing its buffer fails it has already freed the buffer it handed out, so a
// failure could not be cleaned up without freeing that twice.
struct PartDestination
{
    jpeg_destination_mgr mgr;
    std::vector<uint8_t>* out;
};
constexpr size_t kFirstPartBytes = size_t(64) << 10;

// Grows the part to `size` bytes and points the compressor past `used` of them; a part that
// cannot grow fails the compression as out of memory.
void GrowPart(j_compress_ptr info, size_t used, size_t size)
{
    auto* d = reinterpret_cast<PartDestination*>(info->dest);
    bool grown = false;
    try {
        d->out->resize(size);
        grown = true;
    } catch (const std::bad_alloc&) {
    }
    if (!grown) {
        info->err->msg_code = JERR_OUT_OF_MEMORY;
        (*info->err->error_exit)(reinterpret_cast<j_common_ptr>(info));
    }
    d->mgr.next_output_byte = d->out->data() + used;
    d->mgr.free_in_buffer = size - used;
}

void StartPart(j_compress_ptr info)
{
    GrowPart(info, 0, kFirstPartBytes);
}

boolean PartFull(j_compress_ptr info)
{
    const size_t used = reinterpret_cast<PartDestination*>(info->dest)->out->size();
    GrowPart(info, used, used * 2);
    return TRUE;
}

void EndPart(j_compress_ptr info)
{
    auto* d = reinterpret_cast<PartDestination*>(info->dest);
    d->out->resize(d->out->size() - d->mgr.free_in_buffer); // shrinking allocates nothing
    // The spare half of the last doubling goes back, where there is room to copy the part.
    try {
        d->out->shrink_to_fit();
    } catch (const std::bad_alloc&) {
    }
}

// One part: a compressor whose block arrays are filled from the source's, written to memory.
// Everything it allocates belongs to its own object and goes with it.
JpegCutResult WritePart(jpeg_decompress_struct& src, const BlockRows& srcRows, const JpegView& view,
                        const BlockEdit& edit, const JpegRegion& r, std::vector<uint8_t>& out)
{
    Errors errors;
    SetUpErrors(errors);
    jpeg_compress_struct dst;
    std::memset(&dst, 0, sizeof dst);
    dst.err = &errors.mgr;
    PartDestination destination{};
    destination.mgr.init_destination = &StartPart;
    destination.mgr.empty_output_buffer = &PartFull;
    destination.mgr.term_destination = &EndPart;
    destination.out = &out;
    if (setjmp(errors.back)) {
        const bool noMemory = OutOfMemory(errors);
        jpeg_destroy_compress(&dst);
        std::vector<uint8_t>().swap(out);
        return noMemory ? JpegCutResult::NoMemory : JpegCutResult::Damaged;
    }
    jpeg_create_compress(&dst);
    jpeg_copy_critical_parameters(&src, &dst);
    if (view.transposed) {
        // The blocks' frequencies swap, so the quantisation tables do, and the components'
        // sampling swaps with the picture's sides.
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
    dst.optimize_coding = TRUE;
    if (src.progressive_mode)
        jpeg_simple_progression(&dst);

    const long mcuW = view.grid.width;
    const long mcuH = view.grid.height;
    jvirt_barray_ptr coefficients[MAX_COMPONENTS] = {};
    long wBlocks[MAX_COMPONENTS] = {};
    long hBlocks[MAX_COMPONENTS] = {};
    for (int c = 0; c < dst.num_components; ++c) {
        const jpeg_component_info& comp = dst.comp_info[c];
        wBlocks[c] = RoundUp(RoundUpDiv(long(r.w) * comp.h_samp_factor, mcuW), comp.h_samp_factor);
        hBlocks[c] = RoundUp(RoundUpDiv(long(r.h) * comp.v_samp_factor, mcuH), comp.v_samp_factor);
        coefficients[c] = (*dst.mem->request_virt_barray)(
            reinterpret_cast<j_common_ptr>(&dst), JPOOL_IMAGE, FALSE, JDIMENSION(wBlocks[c]),
            JDIMENSION(hBlocks[c]), JDIMENSION(comp.v_samp_factor));
    }
    (*dst.mem->realize_virt_arrays)(reinterpret_cast<j_common_ptr>(&dst));
    for (int c = 0; c < dst.num_components; ++c) {
        const jpeg_component_info& comp = dst.comp_info[c];
        // The edited padded picture in this component's blocks, and where the part starts.
        const long allW = view.paddedWidth / mcuW * comp.h_samp_factor;
        const long allH = view.paddedHeight / mcuH * comp.v_samp_factor;
        const long xBlocks = r.x / mcuW * comp.h_samp_factor;
        const long yBlocks = r.y / mcuH * comp.v_samp_factor;
        const long srcWidth =
            RoundUp(long(src.comp_info[c].width_in_blocks), src.comp_info[c].h_samp_factor);
        const std::vector<JBLOCKROW>& from = srcRows[size_t(c)];
        for (long row = 0; row < hBlocks[c]; row += comp.v_samp_factor) {
            JBLOCKARRAY to = (*dst.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&dst),
                                                            coefficients[c], JDIMENSION(row),
                                                            JDIMENSION(comp.v_samp_factor), TRUE);
            for (int k = 0; k < comp.v_samp_factor; ++k) {
                const long j = yBlocks + row + k;
                const long j1 = view.flipped ? allH - 1 - j : j;
                if (edit.none) {
                    if (j1 < 0 || size_t(j1) >= from.size() || xBlocks + wBlocks[c] > srcWidth)
                        (*errors.mgr.error_exit)(reinterpret_cast<j_common_ptr>(&dst));
                    std::memcpy(to[k], from[size_t(j1)] + xBlocks,
                                size_t(wBlocks[c]) * sizeof(JBLOCK));
                    continue;
                }
                for (long i = 0; i < wBlocks[c]; ++i) {
                    const long i1 = view.mirrored ? allW - 1 - (xBlocks + i) : xBlocks + i;
                    const long col = view.transposed ? j1 : i1;
                    const long line = view.transposed ? i1 : j1;
                    if (line < 0 || size_t(line) >= from.size() || col < 0 || col >= srcWidth)
                        (*errors.mgr.error_exit)(reinterpret_cast<j_common_ptr>(&dst));
                    const JCOEF* in = from[size_t(line)][col];
                    JCOEF* target = to[k][i];
                    for (int n = 0; n < DCTSIZE2; ++n)
                        target[n] = JCOEF(edit.sign[n] * in[edit.from[n]]);
                }
            }
        }
    }
    out.clear();
    dst.dest = &destination.mgr;
    jpeg_write_coefficients(&dst, coefficients);
    jpeg_finish_compress(&dst);
    jpeg_destroy_compress(&dst);
    return JpegCutResult::Cut;
}

// Reading the blocks takes about this share of a cut; writing the parts the rest.
constexpr double kReadingShare = 0.4;

// libjpeg's progress while it reads the blocks, passed on in steps of a hundredth.
struct ReadingProgress
{
    jpeg_progress_mgr mgr{};
    const CutProgress* report = nullptr;
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
            (*self->report)(kReadingShare * std::min(done, 1.0));
        }
    }
};

// The parts written on as many threads as there are cores. Nothing thrown may leave a
// thread: a failure is the job's, and the first one stops the rest.
JpegCutResult WriteParts(jpeg_decompress_struct& src, jvirt_barray_ptr* coefficients,
                         const JpegView& view, const std::vector<JpegRegion>& regions,
                         std::vector<std::vector<uint8_t>>& parts, const CutProgress& progress)
{
    // Each part's share of the writing is its share of the blocks.
    double allArea = 0;
    for (const JpegRegion& r : regions)
        allArea += double(r.w) * r.h;
    double writtenArea = 0;
    std::mutex reporting;
    const auto written = [&](const JpegRegion& r) {
        if (!progress || allArea <= 0)
            return;
        const std::lock_guard<std::mutex> one(reporting);
        writtenArea += double(r.w) * r.h;
        progress(kReadingShare + (1 - kReadingShare) * writtenArea / allArea);
    };
    std::atomic<size_t> next{0};
    std::atomic<int> failure{int(JpegCutResult::Cut)};
    const auto fail = [&failure](JpegCutResult why) {
        int none = int(JpegCutResult::Cut);
        failure.compare_exchange_strong(none, int(why));
    };
    try {
        parts.resize(regions.size());
        const BlockRows rows = RowsOf(src, coefficients);
        const BlockEdit edit = BlockEditOf(view);
        const auto work = [&] {
            try {
                for (size_t i = next++; i < regions.size() && failure == int(JpegCutResult::Cut);
                     i = next++) {
                    if (const JpegCutResult r =
                            WritePart(src, rows, view, edit, regions[i], parts[i]);
                        r != JpegCutResult::Cut)
                        fail(r);
                    else
                        written(regions[i]);
                }
            } catch (const std::bad_alloc&) {
                fail(JpegCutResult::NoMemory);
            } catch (...) {
                fail(JpegCutResult::Damaged);
            }
        };
        const unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), 8u));
        std::vector<std::thread> helpers;
        try {
            helpers.reserve(cores);
            for (unsigned t = 1; t < cores && t < regions.size(); ++t)
                helpers.emplace_back(work);
        } catch (...) {
            // Fewer threads, then; this one works through the rest.
        }
        work();
        for (std::thread& helper : helpers)
            helper.join();
    } catch (const std::bad_alloc&) {
        fail(JpegCutResult::NoMemory); // before any thread started
    }
    return JpegCutResult(failure.load());
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
    Errors errors;
    SetUpErrors(errors);
    jpeg_decompress_struct src;
    std::memset(&src, 0, sizeof src);
    src.err = &errors.mgr;
    BlockMemory memory;
    if (setjmp(errors.back)) {
        const bool noMemory = OutOfMemory(errors);
        jpeg_destroy_decompress(&src);
        parts.clear();
        return noMemory ? JpegCutResult::NoMemory : JpegCutResult::Damaged;
    }
    jpeg_create_decompress(&src);
    jpeg_mem_src(&src, data, static_cast<unsigned long>(size));
    jpeg_read_header(&src, TRUE);
    // The view must be one of this data's.
    JpegView whole = WholeView(FactsOf(src));
    if (view.transposed)
        whole = Transposed(whole);
    bool ok = UsableColours(src) && view.paddedWidth == whole.paddedWidth &&
              view.paddedHeight == whole.paddedHeight && view.grid.width == whole.grid.width &&
              view.grid.height == whole.grid.height;
    for (const JpegRegion& r : regions)
        ok = ok && r.w > 0 && r.h > 0 && r.x >= 0 && r.y >= 0 && r.x % view.grid.width == 0 &&
             r.y % view.grid.height == 0 && long(r.x) + r.w <= long(view.paddedWidth) &&
             long(r.y) + r.h <= long(view.paddedHeight);
    if (!ok) {
        jpeg_destroy_decompress(&src);
        return JpegCutResult::Damaged;
    }
    // The blocks of the whole picture, read once for all the parts.
    AskForHugePages(src, memory);
    ReadingProgress reading;
    if (progress) {
        reading.mgr.progress_monitor = &ReadingProgress::Monitor;
        reading.report = &progress;
        src.progress = &reading.mgr;
    }
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&src);
    src.progress = nullptr;
    const JpegCutResult result = WriteParts(src, coefficients, view, regions, parts, progress);
    // A part that failed stops the rest; the source is finished only when all went well.
    if (result == JpegCutResult::Cut)
        jpeg_finish_decompress(&src);
    jpeg_destroy_decompress(&src);
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
