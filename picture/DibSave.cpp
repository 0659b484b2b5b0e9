// Writing picture files. BMP is written here so that every depth, 4 bits included, keeps its
// depth and colour table; the other types go through Qt's image writers.
#include "DibFileFormats.h"

#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct SaveFormat
{
    const char* description;
    const char* patterns;
    const char* qtFormat; // nullptr: our own BMP writer
};

// In the order of their format codes, the first being kFirstSaveCode.
constexpr SaveFormat kSaveFormats[] = {
    {"BMP", "*.BMP", nullptr},
    {"PNG", "*.PNG", "png"},
    {"JPEG", "*.JPG;*.JPEG", "jpeg"},
    {"TIFF", "*.TIF;*.TIFF", "tiff"},
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

bool ValidPicture(const PictureRecord& picture)
{
    if (!picture.Info || !picture.Bits)
        return false;
    const BITMAPINFOHEADER& h = picture.Info->bmiHeader;
    const int64_t rowBytes = DIBRowBytes(h.biWidth, h.biBitCount);
    const bool knownDepth =
        h.biBitCount == 1 || h.biBitCount == 4 || h.biBitCount == 8 || h.biBitCount == 24;
    return knownDepth && h.biHeight > 0 && rowBytes > 0 && picture.BytesPerLine == rowBytes &&
           int64_t(h.biSizeImage) >= rowBytes * h.biHeight;
}

void PutLe16(char* p, uint32_t v)
{
    p[0] = char(v & 0xFF);
    p[1] = char((v >> 8) & 0xFF);
}

void PutLe32(char* p, uint32_t v)
{
    PutLe16(p, v & 0xFFFF);
    PutLe16(p + 2, v >> 16);
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

bool WriteFile(const QString& name, const QByteArray& contents)
{
    QSaveFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() &&
           file.commit();
}

} // namespace

QByteArray EncodeBmp(const PictureRecord& picture)
{
    if (!ValidPicture(picture))
        return {};
    constexpr int kFileHeaderSize = 14;
    constexpr int kInfoHeaderSize = 40;
    const BITMAPINFOHEADER& h = picture.Info->bmiHeader;
    const int tableSize = ColourTableSize(h.biBitCount);
    const uint32_t pixelOffset = kFileHeaderSize + kInfoHeaderSize + 4 * tableSize;
    const int64_t imageBytes = int64_t(picture.BytesPerLine) * h.biHeight;
    const int64_t fileSize = pixelOffset + imageBytes;
    if (fileSize > INT32_MAX)
        return {};

    QByteArray bytes(qsizetype(fileSize), '\0');
    char* p = bytes.data();
    p[0] = 'B';
    p[1] = 'M';
    PutLe32(p + 2, uint32_t(fileSize));
    PutLe32(p + 10, pixelOffset);

    char* info = p + kFileHeaderSize;
    PutLe32(info, kInfoHeaderSize);
    PutLe32(info + 4, uint32_t(h.biWidth));
    PutLe32(info + 8, uint32_t(h.biHeight));
    PutLe16(info + 12, 1);
    PutLe16(info + 14, h.biBitCount);
    PutLe32(info + 16, 0); // uncompressed
    PutLe32(info + 20, uint32_t(imageBytes));
    PutLe32(info + 24, uint32_t(h.biXPelsPerMeter));
    PutLe32(info + 28, uint32_t(h.biYPelsPerMeter));
    PutLe32(info + 32, uint32_t(tableSize));
    PutLe32(info + 36, 0);

    char* table = info + kInfoHeaderSize;
    for (int i = 0; i < tableSize; ++i) {
        const RGBQUAD& c = picture.Info->bmiColors[i];
        table[4 * i] = char(c.rgbBlue);
        table[4 * i + 1] = char(c.rgbGreen);
        table[4 * i + 2] = char(c.rgbRed);
    }
    std::memcpy(p + pixelOffset, picture.Bits, size_t(imageBytes));
    return bytes;
}

bool SaveDib(const PictureRecord& picture, const char* fileName, int32_t formatCode)
{
    const auto& formats = AvailableFormats();
    const int64_t entry = int64_t(formatCode) - kFirstSaveCode;
    if (!fileName || !*fileName || entry < 0 || entry >= int64_t(formats.size()) ||
        !ValidPicture(picture))
        return false;
    const QString name = QFile::decodeName(fileName);
    const SaveFormat& format = *formats[size_t(entry)];
    if (!format.qtFormat) {
        const QByteArray bmp = EncodeBmp(picture);
        return !bmp.isEmpty() && WriteFile(name, bmp);
    }

    QImage image = ToQImage(picture);
    // Qt writes a 1-bit TIFF as black and white whatever its two colours are.
    if (image.format() == QImage::Format_Mono && std::strcmp(format.qtFormat, "tiff") == 0)
        image = image.convertToFormat(QImage::Format_Indexed8);
    if (image.isNull())
        return false;
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&file, format.qtFormat);
    if (std::strcmp(format.qtFormat, "jpeg") == 0)
        writer.setQuality(kJpegQuality);
    return writer.write(image) && file.commit();
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
