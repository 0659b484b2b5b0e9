// SPDX-License-Identifier: GPL-3.0-or-later
#include "PictureOrientation.h"

#include "FileName.h"
#include "PictureRead.h"

#include <QCoreApplication>
#include <QFile>

#include <libexif/exif-data.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string_view>

namespace {

constexpr uint8_t kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
constexpr ExifTag kOrientationTag = EXIF_TAG_ORIENTATION;

uint32_t BigEndian32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint32_t LittleEndian32(const uint8_t* p)
{
    return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

bool StartsWith(const uint8_t* data, size_t size, const void* prefix, size_t length)
{
    return size >= length && std::memcmp(data, prefix, length) == 0;
}

// The orientation in an EXIF block that begins with "Exif\0\0"; 0 for anything not sound.
int OrientationInExif(const uint8_t* exif, size_t size)
{
    if (size < sizeof kExifHeader + 8 || size > (size_t(1) << 24))
        return 0;
    const std::unique_ptr<ExifData, decltype(&exif_data_unref)> data(exif_data_new(),
                                                                     &exif_data_unref);
    if (!data)
        return 0;
    // Only the tags as they are: no made-up entries, no repairs.
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
    exif_data_load_data(data.get(), exif, unsigned(size));
    ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], kOrientationTag);
    if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components != 1 || !entry->data ||
        entry->size < 2)
        return 0;
    const int value = exif_get_short(entry->data, exif_data_get_byte_order(data.get()));
    return value >= 1 && value <= 8 ? value : 0;
}

// The same for a block of TIFF-ordered data without the "Exif" header (PNG, some WebP).
int OrientationInTiffData(const uint8_t* tiff, size_t size)
{
    if (size < 8 || size > (size_t(1) << 24))
        return 0;
    std::vector<uint8_t> block(sizeof kExifHeader + size);
    std::memcpy(block.data(), kExifHeader, sizeof kExifHeader);
    std::memcpy(block.data() + sizeof kExifHeader, tiff, size);
    return OrientationInExif(block.data(), block.size());
}

// A JPEG's segments walked up to its first scan, through read(at, bytes, count), which is false
// when the file has not that many bytes there: the orientation in its Exif segment, 0 without.
template <typename Read>
int OrientationInSegments(Read read)
{
    uint64_t at = 2; // after SOI
    uint8_t head[4];
    for (;;) {
        if (!read(at, head, 4) || head[0] != 0xFF)
            return 0;
        const uint8_t marker = head[1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) // end of image, start of scan
            return 0;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2;
            continue;
        }
        const size_t length = size_t(head[2]) << 8 | head[3];
        if (length < 2)
            return 0;
        if (marker == 0xE1) {
            std::vector<uint8_t> payload(length - 2);
            if (!read(at + 4, payload.data(), payload.size()))
                return 0;
            if (StartsWith(payload.data(), payload.size(), kExifHeader, sizeof kExifHeader))
                return OrientationInExif(payload.data(), payload.size());
        }
        at += 2 + length;
    }
}

int OrientationInJpeg(const uint8_t* data, size_t size)
{
    return OrientationInSegments([data, size](uint64_t at, uint8_t* out, size_t count) {
        if (at > size || count > size - at)
            return false;
        std::memcpy(out, data + at, count);
        return true;
    });
}

int OrientationInPng(const uint8_t* data, size_t size)
{
    size_t at = 8;
    while (at + 12 <= size) {
        const size_t length = BigEndian32(data + at);
        if (length > size - at - 12)
            return 0;
        const uint8_t* type = data + at + 4;
        if (std::memcmp(type, "eXIf", 4) == 0) {
            const uint8_t* payload = data + at + 8;
            return StartsWith(payload, length, kExifHeader, sizeof kExifHeader)
                       ? OrientationInExif(payload, length)
                       : OrientationInTiffData(payload, length);
        }
        if (std::memcmp(type, "IEND", 4) == 0)
            return 0;
        at += 12 + length;
    }
    return 0;
}

int OrientationInWebp(const uint8_t* data, size_t size)
{
    size_t at = 12;
    while (at + 8 <= size) {
        const size_t length = LittleEndian32(data + at + 4);
        if (length > size - at - 8)
            return 0;
        if (std::memcmp(data + at, "EXIF", 4) == 0) {
            const uint8_t* payload = data + at + 8;
            return StartsWith(payload, length, kExifHeader, sizeof kExifHeader)
                       ? OrientationInExif(payload, length)
                       : OrientationInTiffData(payload, length);
        }
        at += 8 + length + (length & 1);
    }
    return 0;
}

// The orientation of a JPEG file, read segment by segment up to its first scan; -1 when the
// file is no regular file starting as a JPEG does.
int OrientationOfJpegFile(const char* fileName)
{
    const int fd = open(fileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    const struct Closer
    {
        int fd;
        ~Closer() { close(fd); }
    } closer{fd};
    struct stat facts = {};
    uint8_t head[4];
    if (fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode) || pread(fd, head, 2, 0) != 2 ||
        head[0] != 0xFF || head[1] != 0xD8)
        return -1;
    return OrientationInSegments([fd](uint64_t at, uint8_t* out, size_t count) {
        return pread(fd, out, count, off_t(at)) == ssize_t(count);
    });
}

} // namespace

int PictureOrientation(const uint8_t* data, size_t size)
{
    if (!data)
        return 0;
    if (StartsWith(data, size, "\xFF\xD8", 2))
        return OrientationInJpeg(data, size);
    if (StartsWith(data, size, "\x89PNG\r\n\x1A\n", 8))
        return OrientationInPng(data, size);
    if (size >= 12 && StartsWith(data, size, "RIFF", 4) && std::memcmp(data + 8, "WEBP", 4) == 0)
        return OrientationInWebp(data, size);
    return 0;
}

int PictureOrientationOfFile(const QString& path)
{
    const QByteArray name = FileNameBytes(path);
    // A JPEG's tags come before its first scan: only its segments up to there are read.
    if (const int fromSegments = OrientationOfJpegFile(name.constData()); fromSegments >= 0)
        return fromSegments;
    // PNG and WebP may put theirs behind the pixels: these are read whole, as the picture
    // itself is, a regular file only, so that a FIFO does not block and a file that shrinks is
    // not a fault.
    for (const std::string_view start :
         {std::string_view("\x89PNG\r\n\x1A\n", 8), std::string_view("RIFF", 4)}) {
        const WholeFile file = ReadWholeFile(name.constData(), start);
        if (file.failure == ReadFailure::None)
            return PictureOrientation(reinterpret_cast<const uint8_t*>(file.bytes.constData()),
                                      size_t(file.bytes.size()));
        if (file.failure != ReadFailure::NotAPicture)
            return 0;
    }
    return 0;
}

std::vector<PictureEdit> UprightSteps(int orientation)
{
    using K = PictureEdit::Kind;
    switch (orientation) {
    case 2:
        return {PictureEdit{K::Mirror}};
    case 3:
        return {PictureEdit{K::Mirror}, PictureEdit{K::Flip}};
    case 4:
        return {PictureEdit{K::Flip}};
    case 5:
        return {PictureEdit{K::TurnRight}, PictureEdit{K::Mirror}};
    case 6:
        return {PictureEdit{K::TurnRight}};
    case 7:
        return {PictureEdit{K::TurnRight}, PictureEdit{K::Flip}};
    case 8:
        return {PictureEdit{K::TurnLeft}};
    default:
        return {};
    }
}

QString OrientationText(int orientation)
{
    switch (orientation) {
    case 1:
        return QCoreApplication::translate("PictureOrientation", "stored upright");
    case 2:
        return QCoreApplication::translate("PictureOrientation", "mirrored on load");
    case 3:
        return QCoreApplication::translate("PictureOrientation", "turned half round on load");
    case 4:
        return QCoreApplication::translate("PictureOrientation", "flipped on load");
    case 5:
        return QCoreApplication::translate("PictureOrientation",
                                           "turned right and mirrored on load");
    case 6:
        return QCoreApplication::translate("PictureOrientation", "turned right on load");
    case 7:
        return QCoreApplication::translate("PictureOrientation",
                                           "turned right and flipped on load");
    case 8:
        return QCoreApplication::translate("PictureOrientation", "turned left on load");
    default:
        return QCoreApplication::translate("PictureOrientation", "none");
    }
}
