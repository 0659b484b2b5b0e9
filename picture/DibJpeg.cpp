// SPDX-License-Identifier: GPL-3.0-or-later
// JPEG straight through libjpeg-turbo: it writes blue, green, red into the record's rows, which
// saves a surface and the colour swap (a camera picture decodes in well under half the time
// that way), and keeps the peak memory at the record plus libjpeg's own band of rows.
#include "DibFileFormats.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t first
#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

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
    // While the profile's chunks are joined: their faults concern the profile, not the pixels.
    bool readingProfile = false;
    EmbeddedProfile found; // the profile read from the header alone
    // The lower rows, decoded on a thread of their own (DecodeLowerRows), and their result.
    std::thread lower;
    std::atomic<bool> stopLower{false};
    DirectResult lowerResult = DirectResult::Damaged;

    // The lower rows' thread ended, on any way out; after a failure it stops at its next row.
    void EndLower(bool failed)
    {
        if (failed)
            stopLower = true;
        if (lower.joinable())
            lower.join();
    }
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
    if (level >= 0 || ContextOf(info).readingProfile)
        return; // trace messages, or a profile that will be left out
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

// Errors end in a long jump to context.failed, warnings that matter too, and nothing is printed.
void TakeMessages(jpeg_decompress_struct& info, JpegContext& context)
{
    info.err = jpeg_std_error(&context.errors);
    context.errors.error_exit = OnJpegError;
    context.errors.emit_message = OnJpegMessage;
    context.errors.output_message = QuietJpegOutput;
}

constexpr int kIccMarker = JPEG_APP0 + 2;

bool IsIccChunk(const jpeg_saved_marker_ptr marker)
{
    static constexpr char kName[] = "ICC_PROFILE"; // with its terminating zero
    return marker->marker == kIccMarker && marker->data_length >= sizeof kName &&
           std::memcmp(marker->data, kName, sizeof kName) == 0;
}

// libjpeg joins the chunks by their sequence numbers, whatever their order in the file, and
// refuses a set with one missing or numbered twice.
void TakeProfile(jpeg_decompress_struct& info, EmbeddedProfile& profile)
{
    switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
        profile.fileColours = ProfileColours::Grey;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        profile.fileColours = ProfileColours::Cmyk;
        break;
    case JCS_YCbCr:
    case JCS_RGB:
        profile.fileColours = ProfileColours::Rgb;
        break;
    default:
        profile.fileColours = ProfileColours::None;
        break;
    }
    JOCTET* bytes = nullptr;
    unsigned int length = 0;
    ContextOf(reinterpret_cast<j_common_ptr>(&info)).readingProfile = true;
    const boolean read = jpeg_read_icc_profile(&info, &bytes, &length);
    ContextOf(reinterpret_cast<j_common_ptr>(&info)).readingProfile = false;
    if (read && bytes) {
        profile.bytes = QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(length));
        std::free(bytes);
        return;
    }
    for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next)
        if (IsIccChunk(m))
            profile.damaged = true;
}

// How many rows of the record a decoder has the system map in at a time: some megabytes.
int32_t RowsAhead(const PictureRecord& picture)
{
    constexpr int64_t kBytesAhead = int64_t(8) << 20;
    return int32_t(std::max<int64_t>(1, kBytesAhead / std::max<int64_t>(1, picture.BytesPerLine)));
}

// The colours a read asks libjpeg for: inks for CMYK, to be turned into colour a row at a
// time; a grey photo stays grey, one byte a pixel through the grey ramp, a third of the memory;
// blue, green, red for the rest. True for inks.
bool ChooseOutputColours(jpeg_decompress_struct& info)
{
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    const bool grey = info.jpeg_color_space == JCS_GRAYSCALE && info.num_components == 1;
    info.out_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    return cmyk;
}

// The row the inks are decoded into, when they are; false when there is no memory for it.
bool MakeInkRow(const jpeg_decompress_struct& info, JpegContext& context)
{
    if (info.out_color_space != JCS_CMYK)
        return true;
    context.inks.reset(new (std::nothrow) JSAMPLE[size_t(info.output_width) * 4]);
    return context.inks != nullptr;
}

// The decoder's rows from its next one up to `until`, top first, straight into the bottom-up
// rows of the record, inks through the ink row. With `takePages`, the pages of the next rows are
// mapped in a few megabytes at a time, ahead of the rows. Ends early when `stop` is set; true
// when all the rows came.
bool DecodeRows(jpeg_decompress_struct& info, const JpegContext& context,
                const PictureRecord& picture, int32_t until, bool takePages,
                const std::atomic<bool>* stop = nullptr)
{
    const int32_t height = DIBHeight(picture);
    const int32_t first = int32_t(info.output_scanline);
    const int32_t ahead = RowsAhead(picture);
    const bool inks = info.out_color_space == JCS_CMYK;
    while (int32_t(info.output_scanline) < until && !(stop && *stop)) {
        const int32_t y = int32_t(info.output_scanline);
        if (takePages && (y - first) % ahead == 0)
            TakeRowPages(picture, y, std::min(y + ahead, until));
        uint8_t* row = picture.Bits + int64_t(height - 1 - y) * picture.BytesPerLine;
        JSAMPROW target = inks ? context.inks.get() : row;
        if (jpeg_read_scanlines(&info, &target, 1) != 1)
            break;
        if (inks)
            CmykRowToBgr(context.inks.get(), row, info.output_width, info.saw_Adobe_marker);
    }
    return int32_t(info.output_scanline) == until;
}

// The rows from `first` down of a picture in one scan, decoded into the record's rows by a
// decompressor of its own while the rows above are decoded on the caller's thread. The rows
// above are skipped here: only their data is decoded, to reach the rest, which costs about a
// third of decoding them. This part also reads the data to its end, as a whole read does.
DirectResult DecodeLowerRows(const uint8_t* data, size_t size, uint64_t memory,
                             const PictureRecord& picture, int32_t first,
                             const std::atomic<bool>& stop)
{
    jpeg_decompress_struct info;
    JpegContext context;
    TakeMessages(info, context);
    if (setjmp(context.failed)) {
        jpeg_destroy_decompress(&info);
        return context.why;
    }
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = long(memory);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    ChooseOutputColours(info);
    jpeg_start_decompress(&info);
    const int32_t height = DIBHeight(picture);
    if (int32_t(info.output_height) != height || int32_t(info.output_width) != DIBWidth(picture)) {
        jpeg_destroy_decompress(&info);
        return DirectResult::Damaged;
    }
    if (!MakeInkRow(info, context)) {
        jpeg_destroy_decompress(&info);
        return DirectResult::NoMemory;
    }
    if (jpeg_skip_scanlines(&info, JDIMENSION(first)) != JDIMENSION(first)) {
        jpeg_destroy_decompress(&info);
        return DirectResult::Damaged;
    }
    const bool complete = DecodeRows(info, context, picture, height, true, &stop);
    if (complete)
        jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return complete ? DirectResult::Read : DirectResult::Damaged;
}

// Where a large picture in one scan is parted between two threads, on the grid of its rows of
// blocks: the upper part larger, since the lower one also decodes the upper one's data. 0 for a
// picture read on one thread.
int32_t SplitRow(const jpeg_decompress_struct& info)
{
    constexpr uint64_t kLargePicture = uint64_t(4) << 20; // pixels
    const bool oneScan = !info.progressive_mode && info.comps_in_scan == info.num_components;
    if (!oneScan || std::thread::hardware_concurrency() < 2 ||
        uint64_t(info.output_width) * info.output_height < kLargePicture)
        return 0;
    const int32_t grid = info.max_v_samp_factor * DCTSIZE;
    return int32_t(info.output_height) * 5 / 8 / grid * grid;
}

} // namespace

DirectResult ReadJpeg(const uint8_t* data, size_t size, const PictureClaim& claim,
                      PictureRecord& out, EmbeddedProfile* profile)
{
    jpeg_decompress_struct info;
    JpegContext context;
    TakeMessages(info, context);
    if (setjmp(context.failed)) {
        jpeg_destroy_decompress(&info);
        context.prefetch.reset();
        context.EndLower(true);
        deldib(context.picture);
        return context.why;
    }
    jpeg_create_decompress(&info);
    // Without a backing store, libjpeg fails a whole-picture buffer beyond this instead of
    // taking it.
    info.mem->max_memory_to_use = long(claim.decoderBytes + kDecoderWorkingBytes);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (profile)
        jpeg_save_markers(&info, kIccMarker, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    if (info.image_width != claim.size.width || info.image_height != claim.size.height) {
        jpeg_destroy_decompress(&info);
        return DirectResult::Damaged;
    }
    if (profile)
        TakeProfile(info, *profile);
    ChooseOutputColours(info);
    jpeg_start_decompress(&info);
    context.picture = newdib(int32_t(info.output_width), int32_t(info.output_height),
                             info.out_color_space == JCS_GRAYSCALE ? 8 : 24, nullptr, 0);
    if (!context.picture.Bits) {
        jpeg_destroy_decompress(&info);
        return DirectResult::NoMemory;
    }
    if (!MakeInkRow(info, context)) {
        jpeg_destroy_decompress(&info);
        deldib(context.picture);
        return DirectResult::NoMemory;
    }
    // A large picture is decoded in two parts at once, the lower on a thread of its own; the
    // rows come the same either way. A smaller one has its rows' memory made ready ahead of
    // the decoder instead.
    const int32_t height = int32_t(info.output_height);
    int32_t upper = height;
    if (const int32_t split = SplitRow(info); split > 0) {
        try {
            context.lower = std::thread([&context, data, size, &claim, split] {
                context.lowerResult =
                    DecodeLowerRows(data, size, claim.decoderBytes + kDecoderWorkingBytes,
                                    context.picture, split, context.stopLower);
            });
            upper = split;
        } catch (const std::exception&) {
            // No thread: this one decodes all the rows.
        }
    }
    if (upper == height)
        context.prefetch.reset(new (std::nothrow) RowPrefetch(context.picture));
    // In two parts, each takes the pages of its next rows itself.
    const bool complete = DecodeRows(info, context, context.picture, upper, upper < height);
    context.prefetch.reset();
    // The upper part leaves the data's end to the lower one.
    if (complete && upper == height)
        jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    context.EndLower(!complete);
    const DirectResult result = !complete        ? DirectResult::Damaged
                                : upper < height ? context.lowerResult
                                                 : DirectResult::Read;
    if (result != DirectResult::Read) {
        deldib(context.picture);
        return result;
    }
    out = context.picture;
    return DirectResult::Read;
}

bool JpegDataReads(const uint8_t* data, size_t size)
{
    // First the checks a read makes before decoding: the ceiling, the memory, enough bytes for
    // the pixels claimed. The file's bytes are in memory already, as a read counts them.
    const std::optional<PictureClaim> claim = ClaimBySignature(data, size);
    if (!claim || claim->type != PictureType::Jpeg ||
        JudgeClaim(*claim, MemoryForPictures() + size, size).failure != ReadFailure::None)
        return false;
    jpeg_decompress_struct info;
    JpegContext context;
    TakeMessages(info, context);
    std::vector<JSAMPLE> row;
    if (setjmp(context.failed)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    // A progressive picture keeps all its blocks at any scale: as much memory as a read allows.
    info.mem->max_memory_to_use = long(claim->decoderBytes + kDecoderWorkingBytes);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    // The colours a read asks for, so that their conversion is checked too.
    ChooseOutputColours(info);
    info.scale_num = 1;
    info.scale_denom = 8;
    jpeg_start_decompress(&info);
    bool complete = false;
    try {
        row.resize(size_t(info.output_width) * size_t(info.output_components));
        JSAMPROW target = row.data();
        while (info.output_scanline < info.output_height &&
               jpeg_read_scanlines(&info, &target, 1) == 1) {
        }
        complete = info.output_scanline == info.output_height;
    } catch (const std::bad_alloc&) {
    }
    if (complete)
        jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return complete;
}

namespace {

// Reads the header of JPEG data alone, the profile's chunks kept, and hands it to use; false
// when the header does not read.
template <typename Use> bool ReadJpegHeader(const uint8_t* data, size_t size, Use use)
{
    jpeg_decompress_struct info;
    JpegContext context;
    TakeMessages(info, context);
    if (setjmp(context.failed)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = long(kDecoderWorkingBytes);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&info, kIccMarker, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    use(info, context);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

ProfileCheck JpegColourProfile(const uint8_t* data, size_t size)
{
    ProfileCheck check;
    ReadJpegHeader(data, size, [&check](jpeg_decompress_struct& info, JpegContext& context) {
        TakeProfile(info, context.found);
        check = CheckEmbeddedProfile(context.found);
    });
    return check;
}

QByteArray WithJpegProfile(const QByteArray& jpeg, const ColourProfile& profile)
{
    const auto* data = reinterpret_cast<const uint8_t*>(jpeg.constData());
    const auto size = size_t(jpeg.size());
    int components = 0;
    if (!ReadJpegHeader(data, size, [&components](jpeg_decompress_struct& info, JpegContext&) {
            components = info.num_components;
        }))
        return {};
    if (components != profile.Channels())
        return jpeg;

    // Behind the start of image and the application segments that lead (JFIF first).
    size_t at = 2;
    while (at + 4 <= size && data[at] == 0xFF && data[at + 1] >= 0xE0 && data[at + 1] <= 0xEF)
        at += 2 + ((size_t(data[at + 2]) << 8) | data[at + 3]);
    if (at > size)
        return {};
    // ICC's own way: "ICC_PROFILE", a zero, the chunk's number from 1 and the count, each chunk
    // as long as a segment allows.
    constexpr qsizetype kChunk = 65535 - 2 - 14;
    const qsizetype count = (profile.bytes.size() + kChunk - 1) / kChunk;
    if (count > 255)
        return jpeg;
    QByteArray out = jpeg.left(qsizetype(at));
    for (qsizetype i = 0; i < count; ++i) {
        const QByteArray piece = profile.bytes.mid(i * kChunk, kChunk);
        const qsizetype length = 2 + 14 + piece.size();
        out += char(0xFF);
        out += char(kIccMarker);
        out += char(length >> 8);
        out += char(length & 0xFF);
        out += QByteArray("ICC_PROFILE\0", 12);
        out += char(i + 1);
        out += char(count);
        out += piece;
    }
    return out + jpeg.mid(qsizetype(at));
}
