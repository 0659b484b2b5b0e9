// The scanner library's state: SANE's start and stop, the one scan that may run, its worker
// thread, and the pictures waiting to be taken.
#include "TwainIO2.h"

#include "SaneScan.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

const char* const kNoScanner = "No scanner found";
const char* const kBusy = "A scan is already running.";
constexpr size_t kKeptErrors = 16;
// How long shutdown waits for a scan that was told to stop: sane_cancel unblocks a read, but a
// device still inside sane_start may hold on for its own time-out.
constexpr auto kShutdownWait = std::chrono::seconds(10);

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// A child of the receiver: when the receiver goes, this goes with it, and the finished scan
// learns that nobody is left to tell.
class ScanDelivery : public QObject
{
public:
    explicit ScanDelivery(QObject* receiver) : QObject(receiver) {}
    ~ScanDelivery() override;
};

struct Core
{
    std::mutex m;
    std::condition_variable finished;
    bool saneStarted = false;
    bool busy = false;      // SANE is in use: by a scan, a listing or a query
    bool scanning = false;  // the worker runs the scan of `current`
    bool abandoned = false; // a worker that would not end was left behind at shutdown
    uint32_t current = 0;
    uint32_t nextValue = 1;
    std::thread worker;
    std::atomic<bool> cancel{false};
    int64_t done = 0;
    int64_t expected = -1;
    ScanDelivery* delivery = nullptr;
    QObject* receiver = nullptr;
    std::map<uint32_t, PictureRecord> pictures;
    std::deque<std::pair<uint32_t, QString>> errors;
    ScanRequest choice;
    QCoreApplication* shutdownRegisteredWith = nullptr;

    // The handle whose sane_read may be blocking, for sane_cancel from another thread. A lock of
    // its own, so that sane_cancel never runs under `m`, which the reading worker needs.
    std::mutex readingLock;
    SANE_Handle reading = nullptr;
    uint32_t readingValue = 0;
};

Core& TheCore()
{
    // Never destroyed: a worker left behind at exit may still reach it.
    static Core* core = new Core;
    return *core;
}

ScanDelivery::~ScanDelivery()
{
    Core& c = TheCore();
    const std::lock_guard lock(c.m);
    if (c.delivery == this) {
        c.delivery = nullptr;
        c.receiver = nullptr;
    }
}

// Called with `m` held.
void RegisterShutdown(Core& c)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app && c.shutdownRegisteredWith != app) {
        qAddPostRoutine(ShutdownScanner);
        c.shutdownRegisteredWith = app;
    }
}

// At program exit, for programs that end without a QCoreApplication or outlive it.
struct ExitShutdown
{
    ~ExitShutdown() { ShutdownScanner(); }
} exitShutdown;

// Called by whoever holds the busy claim.
bool StartSane(QString* error)
{
    Core& c = TheCore();
    {
        const std::lock_guard lock(c.m);
        if (c.saneStarted)
            return true;
    }
    SANE_Int version = 0;
    const SANE_Status status = sane_init(&version, nullptr);
    if (status != SANE_STATUS_GOOD) {
        SetError(error, QStringLiteral("The scanner library could not be started (%1).")
                            .arg(QString::fromUtf8(sane_strstatus(status))));
        return false;
    }
    const std::lock_guard lock(c.m);
    c.saneStarted = true;
    return true;
}

QList<ScannerDevice> Devices(QString* error)
{
    const SANE_Device** list = nullptr;
    const SANE_Status status = sane_get_devices(&list, SANE_FALSE);
    if (status != SANE_STATUS_GOOD) {
        SetError(error, SaneFailureText(status));
        return {};
    }
    QList<ScannerDevice> devices;
    for (const SANE_Device** d = list; d && *d; ++d) {
        devices.append({QString::fromUtf8((*d)->name), QString::fromUtf8((*d)->vendor),
                        QString::fromUtf8((*d)->model), QString::fromUtf8((*d)->type)});
    }
    SetError(error, devices.isEmpty() ? QString::fromLatin1(kNoScanner) : QString());
    return devices;
}

// The named device, or the first one SANE finds; empty with *error when there is none.
QString DeviceToOpen(const QString& name, QString* error)
{
    if (!name.isEmpty())
        return name;
    const QList<ScannerDevice> devices = Devices(error);
    return devices.isEmpty() ? QString() : devices.front().name;
}

// SANE for one call on the calling thread, refused while a scan has it.
class Claim
{
public:
    explicit Claim(QString* error)
    {
        Core& c = TheCore();
        const std::lock_guard lock(c.m);
        if (c.busy || c.abandoned) {
            SetError(error, QString::fromLatin1(kBusy));
            return;
        }
        c.busy = true;
        held_ = true;
        RegisterShutdown(c);
    }
    ~Claim()
    {
        if (!held_)
            return;
        Core& c = TheCore();
        const std::lock_guard lock(c.m);
        c.busy = false;
    }
    bool held() const { return held_; }

private:
    bool held_ = false;
};

class WorkerControl : public ScanControl
{
public:
    explicit WorkerControl(uint32_t value) : value_(value) {}
    bool BeginReading(SANE_Handle handle) override
    {
        Core& c = TheCore();
        const std::lock_guard lock(c.readingLock);
        if (c.cancel)
            return false;
        c.reading = handle;
        c.readingValue = value_;
        return true;
    }
    void EndReading() override
    {
        Core& c = TheCore();
        const std::lock_guard lock(c.readingLock);
        c.reading = nullptr;
        c.readingValue = 0;
    }
    bool Cancelled() const override { return TheCore().cancel; }
    void Progress(int64_t bytesDone, int64_t bytesExpected) override
    {
        Core& c = TheCore();
        const std::lock_guard lock(c.m);
        c.done = bytesDone;
        c.expected = bytesExpected;
    }

private:
    uint32_t value_;
};

void CancelReading(uint32_t value)
{
    Core& c = TheCore();
    const std::lock_guard lock(c.readingLock);
    if (c.reading && c.readingValue == value)
        sane_cancel(c.reading);
}

void Finish(uint32_t value, const PictureRecord& picture, QString error, bool hadReceiver)
{
    Core& c = TheCore();
    const std::lock_guard lock(c.m);
    if (picture.Bits) {
        c.pictures[value] = picture;
    } else {
        if (error.isEmpty())
            error = QStringLiteral("The scanner sent no picture data.");
        c.errors.emplace_back(value, error);
        while (c.errors.size() > kKeptErrors)
            c.errors.pop_front();
    }
    if (hadReceiver) {
        if (c.delivery) {
            QCoreApplication::postEvent(c.receiver, new ScanCompleteEvent(value));
            c.delivery->deleteLater();
        } else if (picture.Bits) {
            // The receiver is gone: nobody will ever ask for this picture.
            c.pictures.erase(value);
            deldib(picture);
        }
        c.delivery = nullptr;
        c.receiver = nullptr;
    }
    c.scanning = false;
    c.busy = false;
    c.finished.notify_all();
}

void RunScan(uint32_t value, const ScanRequest& request, bool hadReceiver)
{
    QString error;
    PictureRecord picture;
    // The device is closed before Finish hands SANE on to the next user.
    if (StartSane(&error)) {
        const QString name = DeviceToOpen(request.device, &error);
        if (!name.isEmpty()) {
            if (std::unique_ptr<SaneDevice> device = SaneDevice::Open(name, &error)) {
                WorkerControl control(value);
                if (device->Apply(request, &error))
                    picture = device->Scan(control, &error);
            }
        }
    }
    Finish(value, picture, error, hadReceiver);
}

uint32_t Launch(const ScanRequest& request, QObject* receiver, QString* error)
{
    Core& c = TheCore();
    uint32_t value = 0;
    std::thread previous;
    {
        const std::lock_guard lock(c.m);
        if (c.busy || c.abandoned) {
            SetError(error, QString::fromLatin1(kBusy));
            return 0;
        }
        c.busy = true;
        c.scanning = true;
        value = c.nextValue++;
        if (c.nextValue == 0)
            c.nextValue = 1;
        c.current = value;
        c.cancel = false;
        c.done = 0;
        c.expected = -1;
        previous = std::move(c.worker);
        RegisterShutdown(c);
    }
    // The previous worker has passed Finish; what is left of it is returning.
    if (previous.joinable())
        previous.join();

    ScanDelivery* delivery = receiver ? new ScanDelivery(receiver) : nullptr;
    {
        const std::lock_guard lock(c.m);
        c.delivery = delivery;
        c.receiver = receiver;
        try {
            c.worker = std::thread(RunScan, value, request, receiver != nullptr);
            SetError(error, QString());
            return value;
        } catch (const std::system_error&) {
            c.delivery = nullptr;
            c.receiver = nullptr;
            c.scanning = false;
            c.busy = false;
        }
    }
    delete delivery;
    SetError(error, QStringLiteral("The scan could not be started."));
    return 0;
}

} // namespace

ScanCompleteEvent::ScanCompleteEvent(uint32_t value) : QEvent(EventType()), value_(value) {}

QEvent::Type ScanCompleteEvent::EventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType(QEvent::User + 0x0401));
    return type;
}

QList<ScannerDevice> ListScanners(QString* error)
{
    const Claim claim(error);
    if (!claim.held() || !StartSane(error))
        return {};
    return Devices(error);
}

bool QueryScanner(const QString& device, ScannerCapabilities* capabilities, QString* error)
{
    const Claim claim(error);
    if (!claim.held() || !StartSane(error))
        return false;
    const QString name = DeviceToOpen(device, error);
    if (name.isEmpty())
        return false;
    const std::unique_ptr<SaneDevice> open = SaneDevice::Open(name, error);
    if (!open)
        return false;
    *capabilities = open->Capabilities();
    SetError(error, QString());
    return true;
}

ScanRequest ScannerChoice()
{
    Core& c = TheCore();
    const std::lock_guard lock(c.m);
    return c.choice;
}

void SetScannerChoice(const ScanRequest& choice)
{
    Core& c = TheCore();
    const std::lock_guard lock(c.m);
    c.choice = choice;
}

uint32_t StartScan(const ScanRequest& request, QObject* receiver, QString* error)
{
    // The delivery object becomes the receiver's child, which Qt allows only on its thread.
    if (receiver && receiver->thread() != QThread::currentThread()) {
        SetError(error, QStringLiteral("A scan must be started from the receiver's thread."));
        return 0;
    }
    return Launch(request, receiver, error);
}

ScanProgress ScanProgressOf(uint32_t value)
{
    Core& c = TheCore();
    const std::lock_guard lock(c.m);
    if (!c.scanning || c.current != value || value == 0)
        return {};
    return {true, c.done, c.expected};
}

void CancelScan(uint32_t value)
{
    Core& c = TheCore();
    {
        const std::lock_guard lock(c.m);
        if (!c.scanning || c.current != value || value == 0)
            return;
        c.cancel = true;
    }
    CancelReading(value);
}

QString ScanErrorText(uint32_t value)
{
    Core& c = TheCore();
    const std::lock_guard lock(c.m);
    for (const auto& [v, text] : c.errors)
        if (v == value)
            return text;
    return {};
}

PictureRecord GetScanedDib(uint32_t value)
{
    Core& c = TheCore();
    const std::lock_guard lock(c.m);
    const auto it = c.pictures.find(value);
    if (it == c.pictures.end())
        return {};
    const PictureRecord picture = it->second;
    c.pictures.erase(it);
    return picture;
}

PictureRecord ScanToPicture(const ScanRequest& request, QString* error)
{
    const uint32_t value = Launch(request, nullptr, error);
    if (!value)
        return {};
    Core& c = TheCore();
    {
        std::unique_lock lock(c.m);
        c.finished.wait(lock, [&] { return !(c.scanning && c.current == value); });
    }
    const PictureRecord picture = GetScanedDib(value);
    SetError(error, picture.Bits ? QString() : ScanErrorText(value));
    return picture;
}

void ShutdownScanner()
{
    Core& c = TheCore();
    uint32_t running = 0;
    {
        const std::lock_guard lock(c.m);
        if (c.abandoned)
            return;
        if (c.scanning) {
            c.cancel = true;
            running = c.current;
        }
    }
    if (running)
        CancelReading(running);

    std::thread worker;
    {
        std::unique_lock lock(c.m);
        if (!c.finished.wait_for(lock, kShutdownWait, [&] { return !c.scanning; })) {
            // A device that does not give control back: leave its worker behind rather than
            // hang, and leave SANE started, since the worker is still inside it.
            c.abandoned = true;
            c.worker.detach();
            return;
        }
        worker = std::move(c.worker);
    }
    if (worker.joinable())
        worker.join();

    std::map<uint32_t, PictureRecord> untaken;
    bool stop = false;
    {
        const std::lock_guard lock(c.m);
        if (c.busy) // a listing on another thread still has SANE
            return;
        untaken.swap(c.pictures);
        c.errors.clear();
        stop = c.saneStarted;
        c.saneStarted = false;
        c.busy = stop;
    }
    for (const auto& [value, picture] : untaken)
        deldib(picture);
    if (stop) {
        sane_exit();
        const std::lock_guard lock(c.m);
        c.busy = false;
    }
}
