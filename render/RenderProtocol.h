// SPDX-License-Identifier: GPL-3.0-or-later
// The messages between the drawing renderer and its helper process, which alone runs the PDF
// renderer and the SVG parser on a file nobody vouches for. The file itself is not sent: the
// helper gets it as a sealed memory file (its descriptor kDocumentFd), so that a document of
// hundreds of megabytes costs one copy and no message needs to hold it. Each message is a header
// of two 32-bit words in the machine's byte order, its type and the length of what follows, then
// that many bytes, never more than kMaxPayload. The helper greets with its protocol version and
// takes one request; the answer is a failure text, or a size followed by data pieces and Done.
#pragma once

#include "HelperWire.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace renderwire {

constexpr uint32_t kVersion = 1;
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
    Failure = 101,    // UTF-8 text for the user
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

// Cuts a byte stream into messages as it arrives; a longer payload than kMaxPayload breaks it.
class MessageReader : public helperwire::MessageReader
{
public:
    MessageReader() : helperwire::MessageReader(kMaxPayload) {}
};

} // namespace renderwire
