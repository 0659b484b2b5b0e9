// SPDX-License-Identifier: GPL-3.0-or-later
// PCX of four 8-bit planes (red, green, blue, alpha), which SDL_image does not read: run-length
// decoded a row at a time, alpha laid over white. The other PCX layouts go through SDL_image.
#include "DibFileFormats.h"

#include <cstring>
#include <vector>

namespace {

constexpr size_t kHeaderSize = 128;
constexpr uint8_t kRunMark = 0xC0;

} // namespace

bool IsRgbaPcx(const uint8_t* data, size_t size)
{
    return size >= kHeaderSize && data[3] == 8 && data[65] == 4;
}

DirectResult ReadRgbaPcx(const uint8_t* data, size_t size, const PictureClaim& claim,
                         PictureRecord& out)
{
    const auto le16 = [&](size_t at) { return unsigned(data[at]) | unsigned(data[at + 1]) << 8; };
    const int64_t width = int64_t(le16(8)) - le16(4) + 1;
    const int64_t height = int64_t(le16(10)) - le16(6) + 1;
    const size_t lineBytes = le16(66);
    if (!IsRgbaPcx(data, size) || width != claim.size.width || height != claim.size.height ||
        width <= 0 || height <= 0 || lineBytes < size_t(width))
        return DirectResult::Damaged;

    PictureRecord picture = newdib(int32_t(width), int32_t(height), 24, nullptr, 0);
    if (!picture.Bits)
        return DirectResult::NoMemory;
    std::vector<uint8_t> line;
    try {
        line.resize(lineBytes * 4);
    } catch (const std::bad_alloc&) {
        deldib(picture);
        return DirectResult::NoMemory;
    }
    size_t at = kHeaderSize;
    for (int64_t y = 0; y < height; ++y) {
        // The four planes of a row are one run-length stream; a run may cross from one into the
        // next.
        size_t filled = 0;
        while (filled < line.size()) {
            if (at >= size) {
                deldib(picture);
                return DirectResult::Damaged;
            }
            uint8_t value = data[at++];
            size_t count = 1;
            if ((value & kRunMark) == kRunMark) {
                count = value & ~kRunMark;
                if (at >= size) {
                    deldib(picture);
                    return DirectResult::Damaged;
                }
                value = data[at++];
            }
            count = std::min(count, line.size() - filled);
            std::memset(line.data() + filled, value, count);
            filled += count;
        }
        uint8_t* row = picture.Bits + (height - 1 - y) * picture.BytesPerLine;
        for (int64_t x = 0; x < width; ++x) {
            const uint8_t alpha = line[3 * lineBytes + size_t(x)];
            row[3 * x] = OverWhite(line[2 * lineBytes + size_t(x)], alpha);
            row[3 * x + 1] = OverWhite(line[lineBytes + size_t(x)], alpha);
            row[3 * x + 2] = OverWhite(line[size_t(x)], alpha);
        }
    }
    DIBChanged(picture);
    out = picture;
    return DirectResult::Read;
}
