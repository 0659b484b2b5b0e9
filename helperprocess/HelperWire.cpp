// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelperWire.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace helperwire {

QByteArray Encode(uint32_t type, const char* payload, size_t size)
{
    const uint32_t header[2] = {type, uint32_t(size)};
    QByteArray bytes;
    bytes.reserve(qsizetype(kHeaderBytes + size));
    bytes.append(reinterpret_cast<const char*>(header), qsizetype(kHeaderBytes));
    bytes.append(payload, qsizetype(size));
    return bytes;
}

void MessageReader::Append(const char* data, size_t size)
{
    // What was read is dropped once it is most of the buffer, so it is copied rarely.
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.remove(0, start_);
        start_ = 0;
    }
    buffer_.append(data, qsizetype(size));
}

MessageReader::Result MessageReader::Next(uint32_t* type, QByteArray* payload)
{
    const qsizetype have = buffer_.size() - start_;
    if (have < qsizetype(kHeaderBytes))
        return Result::Incomplete;
    uint32_t header[2];
    std::memcpy(header, buffer_.constData() + start_, kHeaderBytes);
    if (header[1] > maxPayload_)
        return Result::Broken;
    if (have < qsizetype(kHeaderBytes + header[1]))
        return Result::Incomplete;
    *type = header[0];
    *payload = buffer_.mid(start_ + qsizetype(kHeaderBytes), qsizetype(header[1]));
    start_ += qsizetype(kHeaderBytes + header[1]);
    return Result::Whole;
}

bool SendWhole(int fd, const QByteArray& bytes, bool wait)
{
    const int flags = MSG_NOSIGNAL | (wait ? 0 : MSG_DONTWAIT);
    const char* p = bytes.constData();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t n = ::send(fd, p, left, flags);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= size_t(n);
    }
    return true;
}

Read ReadMessage(int fd, MessageReader* reader, uint32_t* type, QByteArray* payload)
{
    char buffer[4096];
    for (;;) {
        switch (reader->Next(type, payload)) {
        case MessageReader::Result::Whole:
            return Read::Whole;
        case MessageReader::Result::Broken:
            return Read::Broken;
        case MessageReader::Result::Incomplete:
            break;
        }
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Read::Closed;
        reader->Append(buffer, size_t(n));
    }
}

} // namespace helperwire
