// JPEG straight through libjpeg-turbo: it writes blue, green, red into the record's rows, which
// saves the surface and the colour swap of the general reader (a camera picture decodes in well
// under half the time that way).
#include "DibFileFormats.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>

namespace {

struct JpegContext
{
    jpeg_error_mgr errors;
    std::jmp_buf failed;
    PictureRecord picture; // kept here, not in a local, so that it survives the long jump
};

[[noreturn]] void OnJpegError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegContext*>(info->err)->failed, 1);
}

void IgnoreJpegMessage(j_common_ptr) {}

} // namespace

DirectResult ReadJpeg(const uint8_t* data, size_t size, PictureRecord& out)
{
    jpeg_decompress_struct info;
    JpegContext context;
    info.err = jpeg_std_error(&context.errors);
    context.errors.error_exit = OnJpegError;
    context.errors.output_message = IgnoreJpegMessage;
    if (setjmp(context.failed)) {
        jpeg_destroy_decompress(&info);
        deldib(context.picture);
        return DirectResult::NotRead;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (!AcceptablePictureSize({info.image_width, info.image_height})) {
        jpeg_destroy_decompress(&info);
        return DirectResult::Refused;
    }
    info.out_color_space = JCS_EXT_BGR; // fails for CMYK, which the general reader then takes
    jpeg_start_decompress(&info);
    context.picture =
        newdib(int32_t(info.output_width), int32_t(info.output_height), 24, nullptr, 0);
    if (!context.picture.Bits) {
        jpeg_destroy_decompress(&info);
        return DirectResult::Refused;
    }
    const int32_t height = int32_t(info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = context.picture.Bits + int64_t(height - 1 - int32_t(info.output_scanline)) *
                                                  context.picture.BytesPerLine;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    out = context.picture;
    return DirectResult::Read;
}
