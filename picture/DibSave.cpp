// Writing picture files. BMP, PCX and TGA are encoded by the library itself (DibSaveFormats.cpp),
// so that every depth keeps its colours; PNG, JPEG and TIFF go through Qt's image writers. Every
// type is encoded in memory first and then written in one step that replaces the file only once
// the whole of it is on disk.
#include "DibFileFormats.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>
#include <QStringList>

#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

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
    return bytes;
}

// A regular file is written under a temporary name in its folder and renamed over the old one
// only when all of it is on disk, so that a failed save leaves the old file as it was and a crash
// cannot leave a cut-off one. A device or pipe is written straight to: it holds no file to keep,
// and renaming a file over it would take the device away.
bool WriteWholeFile(const QString& name, const QByteArray& contents)
{
    const QFileInfo target(name);
    if (target.exists() && !target.isFile() && !target.isDir()) {
        QFile device(name);
        if (!device.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
            device.write(contents) != contents.size())
            return false;
        device.close();
        return device.error() == QFileDevice::NoError;
    }
    QSaveFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() &&
           file.flush() && ::fsync(file.handle()) == 0 && file.commit();
}

} // namespace

bool SaveDib(const PictureRecord& picture, const char* fileName, int32_t formatCode)
{
    const auto& formats = AvailableFormats();
    const int64_t entry = int64_t(formatCode) - kFirstSaveCode;
    if (!fileName || !*fileName || entry < 0 || entry >= int64_t(formats.size()) ||
        !WritablePicture(picture))
        return false;
    const SaveFormat& format = *formats[size_t(entry)];
    const QByteArray contents =
        format.encode ? format.encode(picture) : EncodeWithQt(picture, format.qtFormat);
    return !contents.isEmpty() && WriteWholeFile(QFile::decodeName(fileName), contents);
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
    const QString extension = QFileInfo(QFile::decodeName(fileName)).suffix();
    if (extension.isEmpty())
        return 0;
    return CodeOfFirst([&](const SaveFormat& f) { return HasExtension(f, extension); });
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
