// SPDX-License-Identifier: GPL-3.0-or-later
// The messages between the drawing renderer and its helper process, which alone runs the PDF
// renderer and the SVG parser on a file nobody vouches for. The file itself is not sent: the
// helper gets it as a sealed memory file (its descriptor kDocumentFd), so that a document of
// hundreds of megabytes costs one copy and no message needs to hold it. Each message is a header
// of two 32-bit words in the machine's byte order, its type and the length of what follows, then
// that many bytes, never more than kMaxPayload. The helper greets with its protocol version and
// takes one request; the answer is a failure, or a size followed by data pieces and Done. A
// failure is the English text with its placeholders and what goes into them, which the library
// puts into the user's language.
#pragma once

#include "HelperWire.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace renderwire {

constexpr uint32_t kVersion = 2;
constexpr uint32_t kDataPiece = 1024 * 1024;
constexpr uint32_t kMaxPayload = kDataPiece;
// Where the helper finds its socket and the document.
constexpr int kSocketFd = 3;
constexpr int kDocumentFd = 4;

enum class Message : uint32_t
{
    // From the library to the helper.
    SvgToPdf = 1, // SvgRequest: the document is an SVG or SVGZ file
    Render = 2,   // RenderRequest: the document is a PDF file

    // From the helper to the library.
    Hello = 100,      // uint32_t version
    Failure = 101,    // UTF-8 lines: the text with placeholders %1..., then one for each
    PdfBegin = 102,   // uint64_t: the PDF's size in bytes; its bytes follow as Data
    ImageBegin = 103, // ImageSize; its rows follow as Data, top row first, 3 bytes a pixel in
                      // the picture library's order (blue, green, red), no padding
    Data = 104,
    Done = 105,
};

struct SvgRequest
{
    uint64_t memoryLimit = 0;
    uint64_t maxPdfBytes = 0;
};

struct RenderRequest
{
    int32_t pageIndex = 0;
    int32_t widthPx = 0;
    int32_t heightPx = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t w = 0;
    int32_t h = 0;
    int32_t spare = 0;
    int64_t maxPixels = 0;
    uint64_t memoryLimit = 0;
};

struct ImageSize
{
    int32_t width = 0;
    int32_t height = 0;
};

inline QByteArray Encode(Message type, const char* payload, size_t size)
{
    return helperwire::Encode(uint32_t(type), payload, size);
}
template <typename T> QByteArray Encode(Message type, const T& value)
{
    return Encode(type, reinterpret_cast<const char*>(&value), sizeof value);
}
// A fixed-size payload; false when its length is not that of T.
template <typename T> bool Decode(const QByteArray& payload, T* value)
{
    if (size_t(payload.size()) != sizeof(T))
        return false;
    std::memcpy(value, payload.constData(), sizeof(T));
    return true;
}

// A failure's payload; a detail keeps its first line.
inline QByteArray EncodeFailure(const char* text, const QStringList& details = {})
{
    QStringList lines{QString::fromUtf8(text)};
    for (const QString& detail : details)
        lines << detail.section(QLatin1Char('\n'), 0, 0);
    return lines.join(QLatin1Char('\n')).toUtf8();
}

// False unless the payload is a text with one detail for each of its placeholders.
inline bool DecodeFailure(const QByteArray& payload, QString* text, QStringList* details)
{
    QStringList lines = QString::fromUtf8(payload).split(QLatin1Char('\n'));
    if (lines.front().isEmpty())
        return false;
    *text = lines.takeFirst();
    int highest = 0;
    static const QRegularExpression placeholder(QStringLiteral("%([1-9])"));
    for (const QRegularExpressionMatch& m : placeholder.globalMatch(*text))
        highest = std::max(highest, m.captured(1).toInt());
    if (highest != lines.size())
        return false;
    *details = lines;
    return true;
}

// Cuts a byte stream into messages as it arrives; a longer payload than kMaxPayload breaks it.
class MessageReader : public helperwire::MessageReader
{
public:
    MessageReader() : helperwire::MessageReader(kMaxPayload) {}
};

} // namespace renderwire
