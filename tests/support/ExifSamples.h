// SPDX-License-Identifier: GPL-3.0-or-later
// Orientation tags as cameras write them, put into picture files for the tests.
#pragma once

#include <QByteArray>
#include <QtEndian>

#include <zlib.h>

#include <cstdint>

namespace testsupport {

// A TIFF-ordered EXIF directory with one orientation entry: value, of that type (3: SHORT) and
// count; little-endian ("II") or big-endian ("MM").
inline QByteArray OrientationTiff(int value, bool bigEndian = false, uint16_t type = 3,
                                  uint32_t count = 1)
{
    QByteArray t;
    const auto u16 = [&](uint16_t v) {
        const uint16_t x = bigEndian ? qToBigEndian(v) : qToLittleEndian(v);
        t.append(reinterpret_cast<const char*>(&x), 2);
    };
    const auto u32 = [&](uint32_t v) {
        const uint32_t x = bigEndian ? qToBigEndian(v) : qToLittleEndian(v);
        t.append(reinterpret_cast<const char*>(&x), 4);
    };
    t.append(bigEndian ? "MM" : "II", 2);
    u16(42);
    u32(8);      // the first directory
    u16(1);      // one entry
    u16(0x0112); // orientation
    u16(type);
    u32(count);
    u16(uint16_t(value));
    u16(0);
    u32(0); // no next directory
    return t;
}

// The "Exif\0\0" block of an APP1 segment.
inline QByteArray ExifBlock(const QByteArray& tiff)
{
    return QByteArray("Exif\0\0", 6) + tiff;
}

// A JPEG segment: the marker (0xE1 for APP1), its length and the payload.
inline QByteArray JpegSegment(uint8_t marker, const QByteArray& payload)
{
    const int length = int(payload.size()) + 2;
    QByteArray segment;
    segment.append(char(0xFF)).append(char(marker));
    return segment.append(char(length >> 8)).append(char(length & 0xFF)).append(payload);
}

// The JPEG with an APP1 segment holding the block right after its start marker.
inline QByteArray WithJpegExif(const QByteArray& jpeg, const QByteArray& block)
{
    return jpeg.left(2) + JpegSegment(0xE1, block) + jpeg.mid(2);
}

// A PNG chunk: the length, the type and data, and the CRC of type and data.
inline QByteArray PngChunk(const char* type, const QByteArray& data)
{
    const QByteArray body = QByteArray(type, 4) + data;
    const uint32_t length = qToBigEndian(uint32_t(data.size()));
    const uint32_t crc = qToBigEndian(
        uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))));
    return QByteArray(reinterpret_cast<const char*>(&length), 4) + body +
           QByteArray(reinterpret_cast<const char*>(&crc), 4);
}

// The PNG with an eXIf chunk before its first IDAT.
inline QByteArray WithPngExif(const QByteArray& png, const QByteArray& tiff)
{
    const qsizetype idat = png.indexOf("IDAT") - 4;
    return png.left(idat) + PngChunk("eXIf", tiff) + png.mid(idat);
}

// The WebP with an EXIF chunk at its end, the RIFF size mended.
inline QByteArray WithWebpExif(const QByteArray& webp, const QByteArray& block)
{
    QByteArray out = webp;
    const uint32_t length = qToLittleEndian(uint32_t(block.size()));
    out.append("EXIF", 4).append(reinterpret_cast<const char*>(&length), 4).append(block);
    if (block.size() & 1)
        out.append('\0');
    const uint32_t riff = qToLittleEndian(uint32_t(out.size() - 8));
    out.replace(4, 4, reinterpret_cast<const char*>(&riff), 4);
    return out;
}

} // namespace testsupport
