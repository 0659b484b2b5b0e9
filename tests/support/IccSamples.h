// SPDX-License-Identifier: GPL-3.0-or-later
// Colour profiles put into picture files for the tests: Ghostscript's profiles, placed the way
// cameras and editors place them.
#pragma once

#include "ExifSamples.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>

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
        QByteArray payload("ICC_PROFILE\0", 12);
        payload.append(char(number)).append(char(count ? count : chunks));
        segments += JpegSegment(0xE2, payload + profile.mid((number - 1) * chunkBytes, chunkBytes));
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
    constexpr qsizetype kHeaderEnd = 33;
    return png.left(kHeaderEnd) + PngChunk("iCCP", QByteArray("test\0\0", 6) + packed) +
           png.mid(kHeaderEnd);
}

} // namespace testsupport
