// Colour profiles put into picture files for the tests: Ghostscript's profiles, placed the way
// cameras and editors place them.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QtEndian>

#include <zlib.h>

#include <cstdint>
#include <vector>

namespace testsupport {

// One of the profiles Debian's libgs-common installs ("a98.icc", "sgray.icc",
// "default_cmyk.icc"); empty when it is not there.
inline QByteArray GhostscriptProfile(const char* name)
{
    QFile file(QStringLiteral("/usr/share/color/icc/ghostscript/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The image as Qt encodes it in that format ("JPEG", "PNG", "TIFF").
inline QByteArray EncodedImage(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// The JPEG with the profile in APP2 chunks of at most chunkBytes right after its start marker,
// the chunks placed in the file in the given order of their numbers (1 first when empty);
// count overrides the number of chunks the segments claim.
inline QByteArray WithJpegIcc(const QByteArray& jpeg, const QByteArray& profile,
                              qsizetype chunkBytes = 60000, std::vector<int> order = {},
                              int count = 0)
{
    const int chunks = int((profile.size() + chunkBytes - 1) / chunkBytes);
    if (order.empty())
        for (int i = 1; i <= chunks; ++i)
            order.push_back(i);
    QByteArray segments;
    for (const int number : order) {
        const QByteArray piece = profile.mid((number - 1) * chunkBytes, chunkBytes);
        const int length = int(piece.size()) + 2 + 14;
        segments.append("\xFF\xE2", 2).append(char(length >> 8)).append(char(length & 0xFF));
        segments.append("ICC_PROFILE\0", 12)
            .append(char(number))
            .append(char(count ? count : chunks));
        segments.append(piece);
    }
    return jpeg.left(2) + segments + jpeg.mid(2);
}

// The PNG with an iCCP chunk of the profile right after its header; with a broken stream when
// damaged.
inline QByteArray WithPngIcc(const QByteArray& png, const QByteArray& profile, bool damaged = false)
{
    uLongf packedSize = compressBound(uLong(profile.size()));
    QByteArray packed(qsizetype(packedSize), '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
             reinterpret_cast<const Bytef*>(profile.constData()), uLong(profile.size()));
    packed.resize(qsizetype(packedSize));
    if (damaged)
        packed[packed.size() / 2] = char(~packed[packed.size() / 2]);
    QByteArray chunk = QByteArray("iCCP") + QByteArray("test\0\0", 6) + packed;
    const uint32_t length = qToBigEndian(uint32_t(chunk.size() - 4));
    const uint32_t crc = qToBigEndian(
        uint32_t(crc32(0, reinterpret_cast<const Bytef*>(chunk.constData()), uInt(chunk.size()))));
    constexpr qsizetype kHeaderEnd = 33;
    return png.left(kHeaderEnd) + QByteArray(reinterpret_cast<const char*>(&length), 4) + chunk +
           QByteArray(reinterpret_cast<const char*>(&crc), 4) + png.mid(kHeaderEnd);
}

} // namespace testsupport
