#include "RenderProtocol.h"

namespace renderwire {

QByteArray Encode(Message type, const char* payload, size_t size)
{
    const uint32_t header[2] = {uint32_t(type), uint32_t(size)};
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
    if (header[1] > kMaxPayload)
        return Result::Broken;
    if (have < qsizetype(kHeaderBytes + header[1]))
        return Result::Incomplete;
    *type = header[0];
    *payload = buffer_.mid(start_ + qsizetype(kHeaderBytes), qsizetype(header[1]));
    start_ += qsizetype(kHeaderBytes + header[1]);
    return Result::Whole;
}

} // namespace renderwire
