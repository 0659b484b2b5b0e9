#include "JpegCut.h"

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include <jpeglib.h>

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
           (d.num_components == 3 && d.jpeg_color_space == JCS_YCbCr);
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

// One part: a compressor whose block arrays are filled from the source's, written to memory.
// Everything it allocates belongs to its own object and goes with it. Returns false on error.
bool WritePart(jpeg_decompress_struct& src, const BlockRows& srcRows, const JpegRegion& r,
               std::vector<uint8_t>& out)
{
    Errors errors;
    SetUpErrors(errors);
    jpeg_compress_struct dst;
    std::memset(&dst, 0, sizeof dst);
    dst.err = &errors.mgr;
    unsigned char* buffer = nullptr;
    unsigned long bufferSize = 0;
    if (setjmp(errors.back)) {
        jpeg_destroy_compress(&dst);
        std::free(buffer);
        return false;
    }
    jpeg_create_compress(&dst);
    jpeg_copy_critical_parameters(&src, &dst);
    dst.image_width = JDIMENSION(r.w);
    dst.image_height = JDIMENSION(r.h);
    dst.optimize_coding = TRUE;
    if (src.progressive_mode)
        jpeg_simple_progression(&dst);

    const long mcuW = long(src.max_h_samp_factor) * DCTSIZE;
    const long mcuH = long(src.max_v_samp_factor) * DCTSIZE;
    jvirt_barray_ptr coefficients[MAX_COMPONENTS] = {};
    long wBlocks[MAX_COMPONENTS] = {};
    long hBlocks[MAX_COMPONENTS] = {};
    for (int c = 0; c < src.num_components; ++c) {
        const jpeg_component_info& comp = src.comp_info[c];
        wBlocks[c] = RoundUp(RoundUpDiv(long(r.w) * comp.h_samp_factor, mcuW), comp.h_samp_factor);
        hBlocks[c] = RoundUp(RoundUpDiv(long(r.h) * comp.v_samp_factor, mcuH), comp.v_samp_factor);
        coefficients[c] = (*dst.mem->request_virt_barray)(
            reinterpret_cast<j_common_ptr>(&dst), JPOOL_IMAGE, FALSE, JDIMENSION(wBlocks[c]),
            JDIMENSION(hBlocks[c]), JDIMENSION(comp.v_samp_factor));
    }
    (*dst.mem->realize_virt_arrays)(reinterpret_cast<j_common_ptr>(&dst));
    for (int c = 0; c < src.num_components; ++c) {
        const jpeg_component_info& comp = src.comp_info[c];
        const long xBlocks = r.x / mcuW * comp.h_samp_factor;
        const long yBlocks = r.y / mcuH * comp.v_samp_factor;
        const std::vector<JBLOCKROW>& from = srcRows[size_t(c)];
        for (long row = 0; row < hBlocks[c]; row += comp.v_samp_factor) {
            JBLOCKARRAY to = (*dst.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&dst),
                                                            coefficients[c], JDIMENSION(row),
                                                            JDIMENSION(comp.v_samp_factor), TRUE);
            for (int k = 0; k < comp.v_samp_factor; ++k) {
                const size_t source = size_t(row + yBlocks + k);
                if (source >= from.size())
                    (*errors.mgr.error_exit)(reinterpret_cast<j_common_ptr>(&dst));
                std::memcpy(to[k], from[source] + xBlocks, size_t(wBlocks[c]) * sizeof(JBLOCK));
            }
        }
    }
    jpeg_mem_dest(&dst, &buffer, &bufferSize);
    jpeg_write_coefficients(&dst, coefficients);
    jpeg_finish_compress(&dst);
    out.assign(buffer, buffer + bufferSize);
    jpeg_destroy_compress(&dst);
    std::free(buffer);
    return true;
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
    facts.width = int32_t(src.image_width);
    facts.height = int32_t(src.image_height);
    facts.components = src.num_components;
    facts.grid = {src.max_h_samp_factor * DCTSIZE, src.max_v_samp_factor * DCTSIZE};
    jpeg_destroy_decompress(&src);
    return ok;
}

bool CutJpeg(const uint8_t* data, size_t size, const std::vector<JpegRegion>& regions,
             std::vector<std::vector<uint8_t>>& parts)
{
    parts.clear();
    parts.resize(regions.size());
    Errors errors;
    SetUpErrors(errors);
    jpeg_decompress_struct src;
    std::memset(&src, 0, sizeof src);
    src.err = &errors.mgr;
    if (setjmp(errors.back)) {
        jpeg_destroy_decompress(&src);
        parts.clear();
        return false;
    }
    jpeg_create_decompress(&src);
    jpeg_mem_src(&src, data, static_cast<unsigned long>(size));
    jpeg_read_header(&src, TRUE);
    bool ok = UsableColours(src);
    const long mcuW = long(src.max_h_samp_factor) * DCTSIZE;
    const long mcuH = long(src.max_v_samp_factor) * DCTSIZE;
    for (const JpegRegion& r : regions)
        ok = ok && r.w > 0 && r.h > 0 && r.x >= 0 && r.y >= 0 && r.x % mcuW == 0 &&
             r.y % mcuH == 0 && long(r.x) + r.w <= long(src.image_width) &&
             long(r.y) + r.h <= long(src.image_height);
    if (!ok) {
        jpeg_destroy_decompress(&src);
        parts.clear();
        return false;
    }
    // The blocks of the whole picture, read once for all the parts, which are then written on
    // as many threads as there are cores.
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&src);
    const BlockRows rows = RowsOf(src, coefficients);
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    const auto work = [&] {
        for (size_t i = next++; i < regions.size() && !failed; i = next++)
            if (!WritePart(src, rows, regions[i], parts[i]))
                failed = true;
    };
    const unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), 8u));
    std::vector<std::thread> helpers;
    try {
        for (unsigned t = 1; t < cores && t < regions.size(); ++t)
            helpers.emplace_back(work);
    } catch (const std::system_error&) {
        // Fewer threads, then; this one works through the rest.
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
    ok = !failed;
    // A part that failed stops the rest; the source is finished only when all went well.
    if (ok)
        jpeg_finish_decompress(&src);
    jpeg_destroy_decompress(&src);
    if (!ok)
        parts.clear();
    return ok;
}
