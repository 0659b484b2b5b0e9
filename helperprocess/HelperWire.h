// SPDX-License-Identifier: GPL-3.0-or-later
// The framing every helper process and its library share: a message is a header of two 32-bit
// words in the machine's byte order, its type and the length of what follows, then that many
// bytes. What the types and payloads mean is each protocol's own (ScanProtocol.h,
// RenderProtocol.h).
#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace helperwire {

constexpr size_t kHeaderBytes = 8;

// A whole message, header and payload.
QByteArray Encode(uint32_t type, const char* payload, size_t size);

// Cuts a byte stream into messages as it arrives.
class MessageReader
{
public:
    enum class Result
    {
        Incomplete, // nothing whole yet
        Whole,      // *type and *payload hold the next message
        Broken,     // a header no message can have: the stream is lost
    };
    // A payload longer than maxPayload is a broken stream.
    explicit MessageReader(uint32_t maxPayload) : maxPayload_(maxPayload) {}
    void Append(const char* data, size_t size);
    Result Next(uint32_t* type, QByteArray* payload);

private:
    QByteArray buffer_;
    qsizetype start_ = 0;
    uint32_t maxPayload_;
};

// Sends all of bytes on the socket fd, never raising SIGPIPE. With `wait`, as long as the
// socket's buffer is full; without, a peer that reads nothing while it fills is given up. False
// when the peer is gone or given up.
bool SendWhole(int fd, const QByteArray& bytes, bool wait);

enum class Read
{
    Whole,  // *type and *payload hold the next message
    Broken, // a header no message can have
    Closed, // the stream ended (or failed) before a whole message
};
// The next message on fd, blocking until it is whole: for a helper, which has nothing else to
// wait for.
Read ReadMessage(int fd, MessageReader* reader, uint32_t* type, QByteArray* payload);

} // namespace helperwire
