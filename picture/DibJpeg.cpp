// JPEG straight through libjpeg-turbo: it writes blue, green, red into the record's rows, which
// saves a surface and the colour swap (a camera picture decodes in well under half the time
// that way), and keeps the peak memory at the record plus libjpeg's own band of rows.
#include "DibFileFormats.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t first
#include <jerror.h>
#include <jpeglib.h>

#include <memory>
#include <new>

namespace {

struct JpegContext
{
    jpeg_error_mgr errors;
    std::jmp_buf failed;
    DirectResult why = DirectResult::Damaged;
    // Kept here, not in locals, so that they survive the long jump.
    PictureRecord picture;
    std::unique_ptr<JSAMPLE[]> inks; // one CMYK row
    std::unique_ptr<RowPrefetch> prefetch;
};

JpegContext& ContextOf(j_common_ptr info)
{
    return *reinterpret_cast<JpegContext*>(info->err);
}

[[noreturn]] void OnJpegError(j_common_ptr info)
{
    JpegContext& context = ContextOf(info);
    const int code = info->err->msg_code;
    if (code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE)
        context.why = DirectResult::NoMemory;
    std::longjmp(context.failed, 1);
}

// libjpeg goes on past damage with a warning: data that end early are filled with grey, a broken
// code or a missing marker is stepped over. Such a file is refused as damaged. Only notes about
// the file's make that leave every pixel as coded are let pass.
void OnJpegMessage(j_common_ptr info, int level)
{
    if (level >= 0)
        return; // trace messages
    switch (info->err->msg_code) {
    case JWRN_EXTRANEOUS_DATA: // stray bytes between markers, common in camera files
    case JWRN_JFIF_MAJOR:
    case JWRN_ADOBE_XFORM:
    case JWRN_BOGUS_ICC:
        return;
    default:
        std::longjmp(ContextOf(info).failed, 1);
    }
}

void QuietJpegOutput(j_common_ptr) {}

// Adobe's CMYK files store the inks inverted: a full ink is 0. The colour is the paper's white
// less each ink, scaled by the black.
void CmykRowToBgr(const JSAMPLE* in, uint8_t* out, JDIMENSION width, bool inverted)
{
    constexpr int kFull = 255;
    for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
        const int c = inverted ? in[0] : kFull - in[0];
        const int m = inverted ? in[1] : kFull - in[1];
        const int y = inverted ? in[2] : kFull - in[2];
        const int k = inverted ? in[3] : kFull - in[3];
        out[0] = uint8_t((y * k + kFull / 2) / kFull);
        out[1] = uint8_t((m * k + kFull / 2) / kFull);
        out[2] = uint8_t((c * k + kFull / 2) / kFull);
    }
}

} // namespace

DirectResult ReadJpeg(const uint8_t* data, size_t size, const PictureClaim& claim,
                      PictureRecord& out)
{
    jpeg_decompress_struct info;
    JpegContext context;
    info.err = jpeg_std_error(&context.errors);
    context.errors.error_exit = OnJpegError;
    context.errors.emit_message = OnJpegMessage;
    context.errors.output_message = QuietJpegOutput;
    if (setjmp(context.failed)) {
        jpeg_destroy_decompress(&info);
        context.prefetch.reset();
        deldib(context.picture);
        return context.why;
    }
    jpeg_create_decompress(&info);
    // Without a backing store, libjpeg fails a whole-picture buffer beyond this instead of
    // taking it.
    info.mem->max_memory_to_use = long(claim.decoderBytes + kDecoderWorkingBytes);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (info.image_width != claim.size.width || info.image_height != claim.size.height) {
        jpeg_destroy_decompress(&info);
        return DirectResult::Damaged;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    // A grey photo stays grey: one byte a pixel through the grey ramp, a third of the memory.
    const bool grey = info.jpeg_color_space == JCS_GRAYSCALE && info.num_components == 1;
    info.out_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    context.picture =
        newdib(int32_t(info.output_width), int32_t(info.output_height), grey ? 8 : 24, nullptr, 0);
    if (!context.picture.Bits) {
        jpeg_destroy_decompress(&info);
        return DirectResult::NoMemory;
    }
    context.prefetch.reset(new (std::nothrow) RowPrefetch(context.picture));
    if (cmyk)
        context.inks.reset(new (std::nothrow) JSAMPLE[size_t(info.output_width) * 4]);
    if (cmyk && !context.inks) {
        jpeg_destroy_decompress(&info);
        context.prefetch.reset();
        deldib(context.picture);
        return DirectResult::NoMemory;
    }
    // The rows come top first and go straight into the bottom-up rows of the record.
    const int32_t height = int32_t(info.output_height);
    while (info.output_scanline < info.output_height) {
        uint8_t* row = context.picture.Bits + int64_t(height - 1 - int32_t(info.output_scanline)) *
                                                  context.picture.BytesPerLine;
        JSAMPROW target = cmyk ? context.inks.get() : row;
        if (jpeg_read_scanlines(&info, &target, 1) != 1)
            break;
        if (cmyk)
            CmykRowToBgr(context.inks.get(), row, info.output_width, info.saw_Adobe_marker);
    }
    context.prefetch.reset();
    const bool complete = info.output_scanline == info.output_height;
    if (complete)
        jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (!complete) {
        deldib(context.picture);
        return DirectResult::Damaged;
    }
    out = context.picture;
    return DirectResult::Read;
}
