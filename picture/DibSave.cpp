// SPDX-License-Identifier: GPL-3.0-or-later
// Writing picture files. BMP, PCX and TGA are encoded by the library itself (DibSaveFormats.cpp),
// so that every depth keeps its colours; PNG, JPEG and TIFF go through Qt's image writers, and
// the picture's colour profile is then added to them byte for byte. Every type is encoded in memory
// first and then written in one step that replaces the file only once the whole of it is on disk.
#include "DibFileFormats.h"
#include "FileName.h"
#include "ReplacingFile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QStringList>

#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

struct SaveFormat
{
    const char* description;
    const char* patterns;
    const char* qtFormat;                       // nullptr: encoded by encode
    QByteArray (*encode)(const PictureRecord&); // nullptr: written by Qt
};

// In the order of their format codes, the first being kFirstSaveCode. New types go at the end,
// so that a code once handed out keeps its type.
constexpr SaveFormat kSaveFormats[] = {
    {"BMP", "*.BMP", nullptr, EncodeBmp},      {"PNG", "*.PNG", "png", nullptr},
    {"JPEG", "*.JPG;*.JPEG", "jpeg", nullptr}, {"TIFF", "*.TIF;*.TIFF", "tiff", nullptr},
    {"PCX", "*.PCX", nullptr, EncodePcx},      {"TGA", "*.TGA", nullptr, EncodeTga},
};
constexpr int32_t kFirstSaveCode = 3;
constexpr int kJpegQuality = 90;

bool Writable(const SaveFormat& format)
{
    return !format.qtFormat || QImageWriter::supportedImageFormats().contains(format.qtFormat);
}

// The formats this machine can write, in code order; a missing Qt plug-in drops its entry so
// that codes and filter entries stay in step.
const std::vector<const SaveFormat*>& AvailableFormats()
{
    static const std::vector<const SaveFormat*> formats = [] {
        std::vector<const SaveFormat*> list;
        for (const SaveFormat& format : kSaveFormats)
            if (Writable(format))
                list.push_back(&format);
        return list;
    }();
    return formats;
}

// The code of the first available format that matches, 0 when none does.
template <typename Match> int32_t CodeOfFirst(Match matches)
{
    const auto& formats = AvailableFormats();
    for (size_t i = 0; i < formats.size(); ++i)
        if (matches(*formats[i]))
            return kFirstSaveCode + int32_t(i);
    return 0;
}

bool HasExtension(const SaveFormat& format, const QString& extension)
{
    const QStringList patterns = QString::fromLatin1(format.patterns).split(u';');
    for (const QString& pattern : patterns)
        if (pattern.mid(2).compare(extension, Qt::CaseInsensitive) == 0) // past "*."
            return true;
    return false;
}

QList<QRgb> ColourTable(const PictureRecord& picture)
{
    QList<QRgb> colours;
    const int n = ColourTableSize(picture.Info->bmiHeader.biBitCount);
    for (int i = 0; i < n; ++i) {
        const RGBQUAD& c = picture.Info->bmiColors[i];
        colours.append(qRgb(c.rgbRed, c.rgbGreen, c.rgbBlue));
    }
    return colours;
}

// The picture top-down in a QImage of a format that Qt's writers take.
QImage ToQImage(const PictureRecord& picture)
{
    const BITMAPINFOHEADER& h = picture.Info->bmiHeader;
    const int width = h.biWidth, height = h.biHeight;
    QImage::Format format = QImage::Format_Indexed8;
    if (h.biBitCount == 1)
        format = QImage::Format_Mono; // the same bit order as the record's rows
    else if (h.biBitCount == 24)
        format = QImage::Format_BGR888;
    QImage image(width, height, format);
    if (image.isNull())
        return image;
    if (h.biBitCount != 24)
        image.setColorTable(ColourTable(picture));
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = picture.Bits + int64_t(height - 1 - y) * picture.BytesPerLine;
        uchar* out = image.scanLine(y);
        if (h.biBitCount == 4) {
            for (int x = 0; x < width; ++x)
                out[x] = (x & 1) ? (in[x >> 1] & 0x0F) : (in[x >> 1] >> 4);
        } else {
            const int64_t bytes = (int64_t(width) * h.biBitCount + 7) / 8;
            std::memcpy(out, in, size_t(bytes));
        }
    }
    return image;
}

QByteArray BigEndian(uint32_t v)
{
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return QByteArray(b, 4);
}

// A PNG chunk: its length, type and data, and the CRC of type and data.
QByteArray PngChunk(const QByteArray& typeAndData)
{
    const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(typeAndData.constData()),
                                        uInt(typeAndData.size())));
    return BigEndian(uint32_t(typeAndData.size() - 4)) + typeAndData + BigEndian(crc);
}

constexpr qsizetype kPngSignature = 8;
constexpr qsizetype kPngHeaderEnd = kPngSignature + 8 + 13 + 4; // IHDR: length, type, data, CRC
constexpr qsizetype kPngBitDepth = kPngSignature + 8 + 8;
constexpr qsizetype kPngColourType = kPngBitDepth + 1;

// Qt writes a black and white picture as a PNG of two colours, black first. That is a grey PNG
// of one bit with the very same pixels: the header says grey and the colour table goes. Any
// other colour table stays as it is.
QByteArray AsGreyPng(const QByteArray& png)
{
    const int depth = uint8_t(png[kPngBitDepth]);
    if (uint8_t(png[kPngColourType]) != 3 || depth < 1 || depth > 8)
        return png;
    QByteArray chunks;
    bool ramp = false;
    for (qsizetype at = kPngHeaderEnd; at + 12 <= png.size();) {
        const uint32_t length = (uint32_t(uint8_t(png[at])) << 24) |
                                (uint32_t(uint8_t(png[at + 1])) << 16) |
                                (uint32_t(uint8_t(png[at + 2])) << 8) | uint8_t(png[at + 3]);
        const QByteArray type = png.mid(at + 4, 4);
        const qsizetype end = at + 12 + qsizetype(length);
        if (end > png.size() || type == "tRNS")
            return png;
        if (type == "PLTE") {
            const int entries = 1 << depth;
            ramp = length == uint32_t(entries) * 3;
            for (int i = 0; ramp && i < entries; ++i)
                for (int c = 0; c < 3; ++c)
                    ramp = ramp && uint8_t(png[at + 8 + i * 3 + c]) == i * 255 / (entries - 1);
        } else {
            chunks += png.mid(at, end - at);
        }
        at = end;
    }
    if (!ramp)
        return png;
    QByteArray header = png.mid(kPngSignature + 4, 4 + 13);
    header[4 + 9] = 0; // colour type: grey
    return png.left(kPngSignature) + PngChunk(header) + chunks;
}

// A PNG carries its profile in an iCCP chunk, which must come before the colour table and the
// image data; right behind the header it does. The profile must be of the colours the PNG codes:
// Qt writes a picture of a grey colour table as a grey PNG.
QByteArray WithPngProfile(QByteArray png, const ColourProfile& profile)
{
    if (png.size() < kPngHeaderEnd || png.mid(12, 4) != "IHDR")
        return png;
    if (profile.colours == ProfileColours::Grey)
        png = AsGreyPng(png);
    const bool greyPng = (uint8_t(png[kPngColourType]) & 2) == 0;
    if (greyPng != (profile.colours == ProfileColours::Grey))
        return png;
    uLongf packedSize = compressBound(uLong(profile.bytes.size()));
    QByteArray chunk("iCCP");
    chunk += QByteArray("ICC profile\0\0", 13); // name, its end, compression method 0
    const qsizetype packedAt = chunk.size();
    chunk.resize(packedAt + qsizetype(packedSize));
    if (compress2(reinterpret_cast<Bytef*>(chunk.data() + packedAt), &packedSize,
                  reinterpret_cast<const Bytef*>(profile.bytes.constData()),
                  uLong(profile.bytes.size()), Z_BEST_COMPRESSION) != Z_OK)
        return {};
    chunk.resize(packedAt + qsizetype(packedSize));
    return png.left(kPngHeaderEnd) + PngChunk(chunk) + png.mid(kPngHeaderEnd);
}

// The written file with the picture's colour profile, when it has one that describes its
// pixels; empty when it could not be added.
QByteArray WithProfile(const QByteArray& file, const PictureRecord& picture, const char* qtFormat)
{
    const ColourProfile& profile = PictureColourProfile(picture);
    if (file.isEmpty() || !ProfileFitsPixels(profile, picture))
        return file;
    if (std::strcmp(qtFormat, "png") == 0)
        return WithPngProfile(file, profile);
    if (std::strcmp(qtFormat, "jpeg") == 0)
        return WithJpegProfile(file, profile);
    if (std::strcmp(qtFormat, "tiff") == 0)
        return WithTiffProfile(file, profile);
    return file;
}

QByteArray EncodeWithQt(const PictureRecord& picture, const char* qtFormat)
{
    QImage image = ToQImage(picture);
    // Qt writes a 1-bit TIFF as black and white whatever its two colours are: a picture of
    // other colours goes as a colour table; black and white stay 1 bit.
    if (image.format() == QImage::Format_Mono && std::strcmp(qtFormat, "tiff") == 0) {
        const QList<QRgb> colours = image.colorTable();
        const auto bw = [](QRgb c) { return (c & 0xFFFFFF) == 0 || (c & 0xFFFFFF) == 0xFFFFFF; };
        if (colours.size() != 2 || !bw(colours[0]) || !bw(colours[1]) ||
            (colours[0] & 0xFFFFFF) == (colours[1] & 0xFFFFFF))
            image = image.convertToFormat(QImage::Format_Indexed8);
    }
    if (image.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return {};
    QImageWriter writer(&buffer, qtFormat);
    if (std::strcmp(qtFormat, "jpeg") == 0)
        writer.setQuality(kJpegQuality);
    if (!writer.write(image))
        return {};
    buffer.close();
    return WithProfile(bytes, picture, qtFormat);
}

} // namespace

bool SaveDibFile(const PictureRecord& picture, const char* fileName, int32_t formatCode,
                 QString* reason, const std::function<bool()>& stopped)
{
    const auto& formats = AvailableFormats();
    const int64_t entry = int64_t(formatCode) - kFirstSaveCode;
    const auto fail = [reason](const QString& text) {
        if (reason)
            *reason = text;
        return false;
    };
    if (!fileName || !*fileName)
        return fail(QCoreApplication::translate("PictureSave", "no file name"));
    if (entry < 0 || entry >= int64_t(formats.size()) || !WritablePicture(picture))
        return fail(
            QCoreApplication::translate("PictureSave", "not a type this picture can be saved as"));
    const SaveFormat& format = *formats[size_t(entry)];
    const QByteArray contents =
        format.encode ? format.encode(picture) : EncodeWithQt(picture, format.qtFormat);
    if (contents.isEmpty())
        return fail(QCoreApplication::translate("PictureSave", "the picture could not be encoded"));
    // Written under a temporary name and renamed over the old file only once all of it is on
    // disk (a device or pipe straight to), so that a failed or stopped save leaves the old file
    // as it was and a crash cannot leave a cut-off one.
    ReplacingFile file{QByteArray(fileName)};
    if (!file.open() || file.write(contents) != contents.size() || !file.commit(stopped))
        return fail(file.errorString());
    return true;
}

bool SaveDib(const PictureRecord& picture, const char* fileName, int32_t formatCode)
{
    return SaveDibFile(picture, fileName, formatCode, nullptr, {});
}

const char* GetDIBSaveFilter()
{
    static const std::string filter = [] {
        std::string text;
        for (const SaveFormat* format : AvailableFormats()) {
            if (!text.empty())
                text += '|';
            text += std::string(format->description) + '|' + format->patterns;
        }
        return text;
    }();
    return filter.c_str();
}

int32_t SaveCodeForFileName(const char* fileName)
{
    if (!fileName)
        return 0;
    const QString extension = QFileInfo(FileNameFromBytes(fileName)).suffix();
    if (extension.isEmpty())
        return 0;
    return CodeOfFirst([&](const SaveFormat& f) { return HasExtension(f, extension); });
}

int32_t SaveCodeForDialog(const char* fileName, int32_t chosenCode)
{
    const int32_t typed = SaveCodeForFileName(fileName);
    return typed != 0 ? typed : chosenCode;
}

int32_t SaveCodeForTypeName(const char* typeName)
{
    if (!typeName || !*typeName)
        return 0;
    const QString name = QString::fromUtf8(typeName);
    return CodeOfFirst([&](const SaveFormat& f) {
        return name.compare(QLatin1String(f.description), Qt::CaseInsensitive) == 0 ||
               HasExtension(f, name);
    });
}
