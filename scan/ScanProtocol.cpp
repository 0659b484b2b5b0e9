// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScanProtocol.h"

#include <QDataStream>
#include <QIODevice>

#include <cmath>

namespace scanwire {
namespace {

constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_0;
// Bounds for the lists a message may hold.
constexpr quint32 kMaxDevices = 4096;
constexpr quint32 kMaxEntries = 4096;
constexpr quint32 kMaxOptions = 256;

class Writer
{
public:
    Writer() : stream_(&bytes_, QIODevice::WriteOnly) { stream_.setVersion(kStreamVersion); }
    QDataStream& operator*() { return stream_; }
    QByteArray bytes() { return bytes_; }

private:
    QByteArray bytes_;
    QDataStream stream_;
};

class Reader
{
public:
    explicit Reader(const QByteArray& payload) : stream_(payload)
    {
        stream_.setVersion(kStreamVersion);
    }
    QDataStream& operator*() { return stream_; }
    // A count that the rest of the message could hold, at `least` bytes an entry.
    bool Count(quint32* n, quint32 limit, qint64 least)
    {
        stream_ >> *n;
        return Good() && *n <= limit && qint64(*n) * least <= stream_.device()->bytesAvailable();
    }
    bool Good() const { return stream_.status() == QDataStream::Ok; }
    // Read to the end and no further.
    bool Done() const { return Good() && stream_.atEnd(); }

private:
    QDataStream stream_;
};

bool Finite(double v)
{
    return std::isfinite(v);
}

} // namespace

bool FromLibrary(uint32_t type)
{
    return type >= uint32_t(Message::List) && type <= uint32_t(Message::Quit);
}

bool FromHelper(uint32_t type)
{
    return type >= uint32_t(Message::Hello) && type <= uint32_t(Message::Ready);
}

QByteArray Encode(Message type, const QByteArray& payload)
{
    return helperwire::Encode(uint32_t(type), payload.constData(), size_t(payload.size()));
}

QByteArray EncodeVersion(uint32_t version)
{
    Writer w;
    *w << quint32(version);
    return w.bytes();
}

bool DecodeVersion(const QByteArray& payload, uint32_t* version)
{
    Reader r(payload);
    quint32 v = 0;
    *r >> v;
    *version = v;
    return r.Done();
}

QByteArray EncodeProblem(const ScanProblem& problem)
{
    Writer w;
    *w << quint32(problem.code) << quint32(problem.details.size());
    for (const QString& detail : problem.details)
        *w << detail;
    return w.bytes();
}

bool DecodeProblem(const QByteArray& payload, ScanProblem* problem)
{
    Reader r(payload);
    quint32 code = 0;
    *r >> code;
    if (!r.Good() || code < 1 || code > kLastScanProblemCode)
        return false;
    const auto known = ScanProblemCode(code);
    quint32 n = 0;
    // A string is at least its 4-byte length.
    if (!r.Count(&n, 2, 4) || int(n) != ScanProblemDetails(known))
        return false;
    ScanProblem decoded{known, {}};
    for (quint32 i = 0; i < n; ++i) {
        QString detail;
        *r >> detail;
        decoded.details << detail;
    }
    if (!r.Done())
        return false;
    *problem = decoded;
    return true;
}

QByteArray EncodeRequest(const ScanRequest& q)
{
    Writer w;
    *w << q.device << q.mode << qint32(q.depth) << q.resolution << bool(q.area);
    const ScanArea a = q.area.value_or(ScanArea{});
    *w << a.left << a.top << a.right << a.bottom;
    *w << quint32(q.deviceOptions.size());
    for (const auto& [name, value] : q.deviceOptions)
        *w << name << value;
    return w.bytes();
}

bool DecodeRequest(const QByteArray& payload, ScanRequest* q)
{
    Reader r(payload);
    qint32 depth = 0;
    bool hasArea = false;
    ScanArea a;
    *r >> q->device >> q->mode >> depth >> q->resolution >> hasArea;
    *r >> a.left >> a.top >> a.right >> a.bottom;
    quint32 options = 0;
    if (!r.Count(&options, kMaxOptions, 8))
        return false;
    q->deviceOptions.clear();
    for (quint32 i = 0; i < options && r.Good(); ++i) {
        QString name, value;
        *r >> name >> value;
        q->deviceOptions.append({name, value});
    }
    q->depth = depth;
    q->area = hasArea ? std::optional<ScanArea>(a) : std::nullopt;
    return r.Done() && Finite(q->resolution) && Finite(a.left) && Finite(a.top) &&
           Finite(a.right) && Finite(a.bottom);
}

QByteArray EncodeDevices(const QList<ScannerDevice>& devices)
{
    Writer w;
    *w << quint32(devices.size());
    for (const ScannerDevice& d : devices)
        *w << d.name << d.vendor << d.model << d.type;
    return w.bytes();
}

bool DecodeDevices(const QByteArray& payload, QList<ScannerDevice>* devices)
{
    Reader r(payload);
    quint32 n = 0;
    if (!r.Count(&n, kMaxDevices, 16))
        return false;
    devices->clear();
    for (quint32 i = 0; i < n && r.Good(); ++i) {
        ScannerDevice d;
        *r >> d.name >> d.vendor >> d.model >> d.type;
        devices->append(d);
    }
    return r.Done();
}

QByteArray EncodeCapabilities(const ScannerCapabilities& c)
{
    Writer w;
    *w << quint32(c.modes.size());
    for (const QString& m : c.modes)
        *w << m;
    *w << c.mode << quint32(c.depths.size());
    for (int d : c.depths)
        *w << qint32(d);
    *w << qint32(c.depth) << c.hasResolution << quint32(c.resolutions.size());
    for (double v : c.resolutions)
        *w << v;
    *w << c.resolutionMin << c.resolutionMax << c.resolutionStep << c.resolution;
    *w << c.hasArea << c.areaInPixels << c.xMin << c.xMax << c.yMin << c.yMax;
    *w << c.area.left << c.area.top << c.area.right << c.area.bottom;
    return w.bytes();
}

bool DecodeCapabilities(const QByteArray& payload, ScannerCapabilities* c)
{
    Reader r(payload);
    *c = ScannerCapabilities{};
    quint32 n = 0;
    if (!r.Count(&n, kMaxEntries, 4))
        return false;
    for (quint32 i = 0; i < n && r.Good(); ++i) {
        QString m;
        *r >> m;
        c->modes << m;
    }
    *r >> c->mode;
    if (!r.Count(&n, kMaxEntries, 4))
        return false;
    for (quint32 i = 0; i < n && r.Good(); ++i) {
        qint32 d = 0;
        *r >> d;
        c->depths << d;
    }
    qint32 depth = 0;
    *r >> depth >> c->hasResolution;
    c->depth = depth;
    if (!r.Count(&n, kMaxEntries, 8))
        return false;
    for (quint32 i = 0; i < n && r.Good(); ++i) {
        double v = 0;
        *r >> v;
        c->resolutions << v;
    }
    *r >> c->resolutionMin >> c->resolutionMax >> c->resolutionStep >> c->resolution;
    *r >> c->hasArea >> c->areaInPixels >> c->xMin >> c->xMax >> c->yMin >> c->yMax;
    *r >> c->area.left >> c->area.top >> c->area.right >> c->area.bottom;
    if (!r.Done())
        return false;
    for (double v : c->resolutions)
        if (!Finite(v))
            return false;
    for (double v :
         {c->resolutionMin, c->resolutionMax, c->resolutionStep, c->resolution, c->xMin, c->xMax,
          c->yMin, c->yMax, c->area.left, c->area.top, c->area.right, c->area.bottom})
        if (!Finite(v))
            return false;
    return true;
}

QByteArray EncodeFrame(const FrameLayout& f, int frameIndex)
{
    Writer w;
    *w << qint32(f.kind) << qint32(f.depth) << qint32(f.pixelsPerLine) << qint32(f.bytesPerLine)
       << qint32(f.lines) << f.lastFrame << qint32(frameIndex);
    return w.bytes();
}

bool DecodeFrame(const QByteArray& payload, FrameLayout* f, int* frameIndex)
{
    Reader r(payload);
    qint32 kind = 0, depth = 0, ppl = 0, bpl = 0, lines = 0, index = 0;
    *r >> kind >> depth >> ppl >> bpl >> lines >> f->lastFrame >> index;
    if (!r.Done() || kind < qint32(FrameKind::Gray) || kind > qint32(FrameKind::Blue) || ppl <= 0 ||
        bpl <= 0 || lines < -1 || index < 0 || index > 2)
        return false;
    f->kind = FrameKind(kind);
    f->depth = depth;
    f->pixelsPerLine = ppl;
    f->bytesPerLine = bpl;
    f->lines = lines;
    *frameIndex = index;
    return true;
}

} // namespace scanwire
