// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-scan-helper: the one process that loads scanner drivers. The scanner library starts
// it with one end of a socket pair as file descriptor --fd and asks it, one request at a time,
// to list the devices, read a device's settings or scan; it answers with the messages of
// ScanProtocol.h and streams a scan's frames as they arrive. A driver that hangs or crashes
// takes only this process with it: the library kills it by its process id and starts another.
//
// A second thread reads the socket all the time, so that a cancel reaches the driver at once
// and the helper ends the moment the library closes its end (or dies), whatever a driver is
// doing on the main thread.
#include "SaneScan.h"
#include "ScanProtocol.h"

#include <sane/sane.h>

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

using scanwire::Message;

namespace {

// Exit statuses; the library reports any exit it did not ask for as the helper's failure.
constexpr int kExitAsked = 0;
constexpr int kExitUsage = 64;
constexpr int kExitProtocol = 65;

int g_fd = -1;

// Everything this process says goes through here, from one thread at a time.
void Send(Message type, const QByteArray& payload = {})
{
    if (!helperwire::SendWhole(g_fd, scanwire::Encode(type, payload), true))
        _exit(kExitAsked); // the library is gone or has given up on us
}

void SendFailure(const ScanProblem& problem)
{
    Send(Message::Failure, scanwire::EncodeProblem(problem));
}

// What the reading thread hands the main thread, one request at a time.
struct Inbox
{
    std::mutex m;
    std::condition_variable arrived;
    std::deque<std::pair<uint32_t, QByteArray>> requests;
    std::atomic<bool> cancel{false};
    // The handle whose sane_read may block, for sane_cancel from the reading thread.
    std::mutex readingLock;
    SANE_Handle reading = nullptr;
};

Inbox& TheInbox()
{
    static Inbox* inbox = new Inbox; // never destroyed: the reading thread outlives main()
    return *inbox;
}

// The reading thread: every message from the library passes here.
void ReadRequests()
{
    Inbox& in = TheInbox();
    scanwire::MessageReader reader;
    for (;;) {
        uint32_t type = 0;
        QByteArray payload;
        switch (helperwire::ReadMessage(g_fd, &reader, &type, &payload)) {
        case helperwire::Read::Closed:
            _exit(kExitAsked); // the library closed its end: it wants no more of us
        case helperwire::Read::Broken:
            _exit(kExitProtocol);
        case helperwire::Read::Whole:
            break;
        }
        if (!scanwire::FromLibrary(type))
            _exit(kExitProtocol);
        if (type == uint32_t(Message::Cancel)) {
            in.cancel = true;
            const std::lock_guard lock(in.readingLock);
            if (in.reading)
                sane_cancel(in.reading);
            continue;
        }
        // A cancel that came after the last scan had ended is not for the next one.
        if (type == uint32_t(Message::Scan))
            in.cancel = false;
        const std::lock_guard lock(in.m);
        in.requests.emplace_back(type, payload);
        in.arrived.notify_one();
    }
}

std::pair<uint32_t, QByteArray> NextRequest()
{
    Inbox& in = TheInbox();
    std::unique_lock lock(in.m);
    in.arrived.wait(lock, [&] { return !in.requests.empty(); });
    auto request = std::move(in.requests.front());
    in.requests.pop_front();
    return request;
}

QList<ScannerDevice> Devices(ScanProblem* error)
{
    const SANE_Device** list = nullptr;
    const SANE_Status status = sane_get_devices(&list, SANE_FALSE);
    if (status != SANE_STATUS_GOOD) {
        *error = SaneProblem(status);
        return {};
    }
    QList<ScannerDevice> devices;
    for (const SANE_Device** d = list; d && *d; ++d) {
        devices.append({QString::fromUtf8((*d)->name), QString::fromUtf8((*d)->vendor),
                        QString::fromUtf8((*d)->model), QString::fromUtf8((*d)->type)});
    }
    if (devices.isEmpty())
        *error = {ScanProblemCode::NoScanner, {}};
    return devices;
}

// The request's device, or the first one SANE finds, opened with the request's settings.
std::unique_ptr<SaneDevice> OpenForRequest(const ScanRequest& request, ScanProblem* error)
{
    QString name = request.device;
    if (name.isEmpty()) {
        const QList<ScannerDevice> devices = Devices(error);
        if (devices.isEmpty())
            return nullptr;
        name = devices.front().name;
    }
    std::unique_ptr<SaneDevice> device = SaneDevice::Open(name, error);
    if (device && !device->Apply(request, error))
        device.reset();
    return device;
}

// A scan's frames go straight to the library; its cancel comes through the reading thread.
class StreamingControl : public ScanControl
{
public:
    bool BeginReading(SANE_Handle handle) override
    {
        Inbox& in = TheInbox();
        const std::lock_guard lock(in.readingLock);
        if (in.cancel)
            return false;
        in.reading = handle;
        return true;
    }
    void EndReading() override
    {
        Inbox& in = TheInbox();
        const std::lock_guard lock(in.readingLock);
        in.reading = nullptr;
    }
    bool Cancelled() const override { return TheInbox().cancel; }
    void StillStarting() override { Send(Message::Alive); }
    void FrameBegins(const FrameLayout& layout, int frameIndex) override
    {
        Send(Message::FrameBegin, scanwire::EncodeFrame(layout, frameIndex));
    }
    void FrameData(const uint8_t* data, size_t size) override
    {
        while (size > 0) {
            const size_t piece = std::min<size_t>(size, scanwire::kDataPiece);
            Send(Message::FrameData,
                 QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(piece)));
            data += piece;
            size -= piece;
        }
    }
    void FrameEnds() override { Send(Message::FrameEnd); }
    void Outcome(bool complete, const ScanProblem& error) override
    {
        if (complete)
            Send(Message::ScanDone);
        else
            SendFailure(error);
    }
};

void List()
{
    ScanProblem error;
    const QList<ScannerDevice> devices = Devices(&error);
    if (devices.isEmpty())
        SendFailure(error);
    else
        Send(Message::Devices, scanwire::EncodeDevices(devices));
}

void Query(const ScanRequest& request)
{
    ScanProblem error;
    if (const std::unique_ptr<SaneDevice> device = OpenForRequest(request, &error))
        Send(Message::Capabilities, scanwire::EncodeCapabilities(device->Capabilities()));
    else
        SendFailure(error);
}

void Scan(const ScanRequest& request)
{
    ScanProblem error;
    const std::unique_ptr<SaneDevice> device = OpenForRequest(request, &error);
    if (!device) {
        SendFailure(TheInbox().cancel ? SaneProblem(SANE_STATUS_CANCELLED) : error);
        return;
    }
    StreamingControl control;
    device->Scan(control);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || std::strcmp(argv[1], "--fd") != 0) {
        std::fprintf(stderr, "velmora-scan-helper: started by the Velmora programs only\n");
        return kExitUsage;
    }
    g_fd = std::atoi(argv[2]);
    if (g_fd <= STDERR_FILENO)
        return kExitUsage;
    // Nothing of the program's but the socket: a pipe it left open to us would never end.
    ::close_range(unsigned(g_fd) + 1, ~0U, 0);
    ::signal(SIGPIPE, SIG_IGN);

    SANE_Int version = 0;
    const SANE_Status status = sane_init(&version, nullptr);
    if (status != SANE_STATUS_GOOD) {
        SendFailure(
            {ScanProblemCode::LibraryNotStarted, {QString::fromUtf8(sane_strstatus(status))}});
        return kExitAsked;
    }
    Send(Message::Hello, scanwire::EncodeVersion(scanwire::kVersion));

    std::thread(ReadRequests).detach();
    for (;;) {
        const auto [type, payload] = NextRequest();
        ScanRequest request;
        switch (Message(type)) {
        case Message::List:
            List();
            break;
        case Message::Query:
        case Message::Scan:
            if (!scanwire::DecodeRequest(payload, &request))
                _exit(kExitProtocol);
            if (Message(type) == Message::Query)
                Query(request);
            else
                Scan(request);
            break;
        case Message::Quit:
            sane_exit();
            _exit(kExitAsked);
        default:
            _exit(kExitProtocol);
        }
        Send(Message::Ready);
    }
}
