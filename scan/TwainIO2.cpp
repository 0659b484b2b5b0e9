// SPDX-License-Identifier: GPL-3.0-or-later
// The scanner library's state: the helper process, the one scan that may run, its worker
// thread, and the pictures waiting to be taken.
#include "TwainIO2.h"

#include "ScanFrames.h"
#include "ScanHelper.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <limits>
#include <map>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

using scanwire::Message;
using Clock = ScanHelper::Clock;

namespace {

const char* const kBusy = QT_TRANSLATE_NOOP("ScanProblem", "A scan is already running.");
const char* const kCancelled = QT_TRANSLATE_NOOP("ScanProblem", "The scan was cancelled.");
const char* const kStopped =
    QT_TRANSLATE_NOOP("ScanProblem", "The scanner was left: the program is stopping.");
const char* const kNoMemory =
    QT_TRANSLATE_NOOP("ScanProblem", "There is not enough memory for the scanned picture.");
const char* const kTooLarge =
    QT_TRANSLATE_NOOP("ScanProblem", "The scanned picture would be too large.");
constexpr size_t kKeptErrors = 16;
constexpr auto kDefaultTimeout = std::chrono::minutes(2);
// A cancelled scan's driver gets this long to stop before its helper is killed.
constexpr auto kCancelGrace = std::chrono::milliseconds(700);
// After its answer, a helper gets this long to close the device and say it is ready: a scan
// head may be on its way home.
constexpr auto kSettleTime = std::chrono::seconds(10);
// While the window's thread waits for an answer, it repaints this often.
constexpr auto kPaintSlice = std::chrono::milliseconds(50);
// How long a helper that is asked to end may take to stop its drivers.
constexpr auto kQuitGrace = std::chrono::seconds(1);
// A frame beyond this would not fit a picture anyway (4 GiB of rows at most).
constexpr int64_t kMaxFrameBytes = std::numeric_limits<int32_t>::max();

// Set from a signal handler: every scan, listing and query of this run ends, and none starts.
std::atomic<bool> g_stopped{false};
std::atomic<int> g_wake{-1}; // the core's eventfd, for the signal handler
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

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
    std::condition_variable changed;
    bool busy = false;         // the helper is in use: by a scan, a listing or a query
    bool scanning = false;     // the worker runs the scan of `current`
    bool settling = false;     // the scan has ended; its helper is closing the device
    bool dropWhenFree = false; // shut down while busy: the holder lets the helper go
    uint32_t current = 0;
    uint32_t nextValue = 1;
    std::thread worker;
    std::atomic<bool> cancel{false};
    int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); // wakes the worker for a cancel
    int64_t done = 0;
    int64_t expected = -1;
    bool receiving = false; // the first frame has begun
    ScanDelivery* delivery = nullptr;
    QObject* receiver = nullptr;
    std::map<uint32_t, PictureRecord> pictures;
    std::deque<std::pair<uint32_t, QString>> errors;
    ScanRequest choice;
    std::chrono::milliseconds timeout = kDefaultTimeout;
    QCoreApplication* shutdownRegisteredWith = nullptr;

    // Used only by whoever holds `busy`.
    std::unique_ptr<ScanHelper> helper;
    std::atomic<pid_t> helperPid{0};
};

Core& TheCore()
{
    // Never destroyed: the exit routine below still needs it.
    static Core* core = [] {
        auto* made = new Core;
        g_wake = made->wake;
        return made;
    }();
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

std::chrono::milliseconds Timeout()
{
    Core& c = TheCore();
    const std::lock_guard lock(c.m);
    return c.timeout;
}

// Called with `m` held: waits out a scan's settling, which has a deadline of its own, then
// takes the helper if nobody has it.
bool TakeBusy(Core& c, std::unique_lock<std::mutex>& lock, QString* error)
{
    c.changed.wait_for(lock, kSettleTime + kQuitGrace, [&] { return !c.settling; });
    if (c.busy) {
        SetError(error, QCoreApplication::translate("ScanProblem", kBusy));
        return false;
    }
    c.busy = true;
    // Nothing runs now, so a wake still counted was meant for a scan that has ended; left
    // there it would break off the next helper's start or answer.
    uint64_t stale = 0;
    while (::read(c.wake, &stale, sizeof stale) > 0) {
    }
    RegisterShutdown(c);
    return true;
}

void DropHelper(Core& c);

// The holder lets go of the helper, and quits it if the library was shut down meanwhile, so
// that the next user starts a helper of its own (with the environment of that moment).
void ReleaseBusy(Core& c)
{
    bool drop = false;
    {
        const std::lock_guard lock(c.m);
        drop = c.dropWhenFree;
        c.dropWhenFree = false;
    }
    if (drop && c.helper) {
        c.helper->Quit(kQuitGrace);
        DropHelper(c);
    }
    const std::lock_guard lock(c.m);
    c.busy = false;
    c.settling = false;
    c.changed.notify_all();
}

// The following are for whoever holds `busy`.

void DropHelper(Core& c)
{
    c.helper.reset(); // kills it if it is still there
    c.helperPid = 0;
}

// The helper, started if need be; wakeFd (-1: none) interrupts the start.
ScanHelper* Helper(Core& c, QString* error, int wakeFd = -1)
{
    if (!c.helper) {
        c.helper = ScanHelper::Start(Clock::now() + Timeout(), wakeFd, error);
        c.helperPid = c.helper ? c.helper->pid() : 0;
    }
    return c.helper.get();
}

// Waits for the helper's word that the request is over; a helper that does not give it in
// time, or says something else, is killed.
void Settle(Core& c, int wakeFd = -1)
{
    if (!c.helper)
        return;
    const auto deadline = Clock::now() + kSettleTime;
    for (;;) {
        uint32_t type = 0;
        QByteArray payload;
        QString ignored;
        // Woken: the program is ending and will not wait for the device.
        const ScanHelper::Got got = c.helper->Receive(&type, &payload, deadline, wakeFd, &ignored);
        if (got == ScanHelper::Got::Message && type == uint32_t(Message::Alive))
            continue;
        if (got != ScanHelper::Got::Message || type != uint32_t(Message::Ready))
            DropHelper(c);
        return;
    }
}

// One request and its answer of the type wanted (or a failure), for listing and querying.
bool Ask(Core& c, Message request, const QByteArray& payload, Message answer, QByteArray* reply,
         QString* error)
{
    const QString stopped = QCoreApplication::translate("ScanProblem", kStopped);
    if (g_stopped) {
        SetError(error, stopped);
        return false;
    }
    ScanHelper* helper = Helper(c, error, c.wake);
    if (!helper) {
        if (g_stopped)
            SetError(error, stopped);
        return false;
    }
    const std::chrono::milliseconds timeout = Timeout();
    if (!helper->Send(request, payload)) {
        SetError(error, helper->LostText());
        DropHelper(c);
        return false;
    }
    // On the window's thread the window keeps painting meanwhile (a search of the network can
    // take seconds); what the user does waits until the answer is in.
    QCoreApplication* app = QCoreApplication::instance();
    const bool windowThread = app && app->thread() == QThread::currentThread();
    auto deadline = Clock::now() + timeout;
    for (;;) {
        uint32_t type = 0;
        QByteArray got;
        QString lost;
        const auto until = windowThread ? std::min(deadline, Clock::now() + kPaintSlice) : deadline;
        const ScanHelper::Got outcome = helper->Receive(&type, &got, until, c.wake, &lost);
        if (g_stopped) {
            DropHelper(c);
            SetError(error, stopped);
            return false;
        }
        if (outcome == ScanHelper::Got::TimedOut && Clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            continue;
        }
        switch (outcome) {
        case ScanHelper::Got::Woken: // a cancel meant for a scan that has ended
            continue;
        case ScanHelper::Got::TimedOut:
            DropHelper(c);
            SetError(error, HelperSilentText(timeout));
            return false;
        case ScanHelper::Got::Lost:
            DropHelper(c);
            SetError(error, lost);
            return false;
        case ScanHelper::Got::Message:
            break;
        }
        if (type == uint32_t(Message::Alive)) {
            deadline = Clock::now() + timeout;
            continue;
        }
        ScanProblem problem;
        if (type == uint32_t(answer)) {
            *reply = got;
            Settle(c);
            return true;
        }
        if (type == uint32_t(Message::Failure) && scanwire::DecodeProblem(got, &problem)) {
            SetError(error, ScanProblemText(problem));
            Settle(c);
            return false;
        }
        DropHelper(c);
        SetError(error, HelperGarbledText());
        return false;
    }
}

// The frames of one scan as the worker receives them.
class FrameCollector
{
public:
    explicit FrameCollector(uint32_t value) : value_(value) {}

    // False: the message can't come now or can't be read.
    bool Begin(const QByteArray& payload)
    {
        FrameLayout layout;
        int index = 0;
        if (inFrame_ || !scanwire::DecodeFrame(payload, &layout, &index) || index != begun_ ||
            (begun_ > 0 && lastSeen_))
            return false;
        ++begun_;
        inFrame_ = true;
        lastSeen_ = layout.lastFrame;
        expected_ = layout.lines >= 0 ? int64_t(layout.lines) * layout.bytesPerLine : -1;
        if (expected_ > kMaxFrameBytes)
            return Fail(kTooLarge);
        // Three single-colour frames make one scan; progress runs over all three.
        const bool onePassOfThree = layout.kind != FrameKind::Gray && layout.kind != FrameKind::Rgb;
        before_ = onePassOfThree && expected_ > 0 ? index * expected_ : 0;
        total_ = expected_ < 0 ? -1 : onePassOfThree ? 3 * expected_ : expected_;
        if (failure_.isEmpty()) {
            try {
                RawFrame frame;
                static_cast<FrameLayout&>(frame) = layout;
                if (expected_ > 0)
                    frame.data.reserve(size_t(expected_));
                frames_.push_back(std::move(frame));
            } catch (const std::bad_alloc&) {
                return Fail(kNoMemory);
            }
        }
        Progress(0);
        return true;
    }

    bool Data(const QByteArray& payload)
    {
        if (!inFrame_)
            return false;
        received_ += payload.size();
        if (expected_ >= 0 && received_ > expected_)
            return false; // more than the frame announced
        if (received_ > kMaxFrameBytes)
            return Fail(kTooLarge);
        if (failure_.isEmpty()) {
            std::vector<uint8_t>& data = frames_.back().data;
            try {
                data.insert(data.end(), payload.begin(), payload.end());
            } catch (const std::bad_alloc&) {
                return Fail(kNoMemory);
            }
        }
        Progress(received_);
        return true;
    }

    bool End()
    {
        if (!inFrame_)
            return false;
        inFrame_ = false;
        received_ = 0;
        return true;
    }

    // Whether the frames that came can be the whole scan.
    bool Complete() const { return !inFrame_ && begun_ > 0 && lastSeen_; }

    // A failure on this side: the scan goes on only to be cancelled.
    const QString& failure() const { return failure_; }
    std::vector<RawFrame>& frames() { return frames_; }

private:
    bool Fail(const char* text)
    {
        if (failure_.isEmpty())
            failure_ = QCoreApplication::translate("ScanProblem", text);
        frames_.clear();
        frames_.shrink_to_fit();
        return true;
    }
    void Progress(int64_t inFrame)
    {
        Core& c = TheCore();
        const std::lock_guard lock(c.m);
        if (c.current == value_) {
            c.done = before_ + inFrame;
            c.expected = total_;
            c.receiving = true;
        }
    }

    uint32_t value_;
    std::vector<RawFrame> frames_;
    int begun_ = 0;
    bool inFrame_ = false;
    bool lastSeen_ = false;
    int64_t expected_ = -1;
    int64_t received_ = 0;
    int64_t before_ = 0;
    int64_t total_ = -1;
    QString failure_;
};

// Runs one scan through the helper. The helper is dropped whenever it fails to keep to the
// protocol or its deadlines; otherwise it is left to settle.
PictureRecord ScanThroughHelper(Core& c, uint32_t value, const ScanRequest& request, QString* error)
{
    ScanHelper* helper = Helper(c, error, c.wake);
    if (!helper) {
        if (c.cancel || g_stopped)
            SetError(error, QCoreApplication::translate("ScanProblem", kCancelled));
        return {};
    }
    const std::chrono::milliseconds timeout = Timeout();
    const QString cancelled = QCoreApplication::translate("ScanProblem", kCancelled);
    if (!helper->Send(Message::Scan, scanwire::EncodeRequest(request))) {
        SetError(error, helper->LostText());
        DropHelper(c);
        return {};
    }
    FrameCollector collector(value);
    auto silentBy = Clock::now() + timeout;
    bool cancelSent = false;
    auto cancelBy = Clock::time_point::max();
    for (;;) {
        // A cancel from the user, or a failure here, stops the scan in the helper; a driver
        // that does not stop in time costs the helper.
        if (!cancelSent && (c.cancel || g_stopped || !collector.failure().isEmpty())) {
            cancelSent = true;
            cancelBy = Clock::now() + kCancelGrace;
            if (!helper->Send(Message::Cancel))
                cancelBy = Clock::now();
        }
        uint32_t type = 0;
        QByteArray payload;
        QString lost;
        const ScanHelper::Got got =
            helper->Receive(&type, &payload, std::min(silentBy, cancelBy), c.wake, &lost);
        if (got == ScanHelper::Got::Woken)
            continue;
        if (got != ScanHelper::Got::Message) {
            const bool silent = got == ScanHelper::Got::TimedOut;
            DropHelper(c);
            if (c.cancel || g_stopped)
                SetError(error, cancelled);
            else if (!collector.failure().isEmpty())
                SetError(error, collector.failure());
            else
                SetError(error, silent ? HelperSilentText(timeout) : lost);
            return {};
        }
        silentBy = Clock::now() + timeout;
        bool fits = true;
        switch (Message(type)) {
        case Message::Alive:
            break;
        case Message::FrameBegin:
            fits = collector.Begin(payload);
            break;
        case Message::FrameData:
            fits = collector.Data(payload);
            break;
        case Message::FrameEnd:
            fits = collector.End();
            break;
        case Message::ScanDone:
        case Message::Failure: {
            ScanProblem problem;
            if (type == uint32_t(Message::ScanDone) ? !collector.Complete()
                                                    : !scanwire::DecodeProblem(payload, &problem)) {
                fits = false;
                break;
            }
            if (c.cancel || g_stopped) {
                SetError(error, cancelled);
                return {};
            }
            if (!collector.failure().isEmpty()) {
                SetError(error, collector.failure());
                return {};
            }
            if (type == uint32_t(Message::Failure)) {
                SetError(error, ScanProblemText(problem));
                return {};
            }
            // The helper closes the device meanwhile.
            return FramesToPicture(collector.frames(), error);
        }
        default:
            fits = false;
            break;
        }
        if (!fits) {
            DropHelper(c);
            SetError(error, c.cancel || g_stopped ? cancelled : HelperGarbledText());
            return {};
        }
    }
}

void Finish(uint32_t value, const PictureRecord& picture, QString error, bool hadReceiver)
{
    Core& c = TheCore();
    const std::lock_guard lock(c.m);
    if (picture.Bits) {
        c.pictures[value] = picture;
    } else {
        if (error.isEmpty())
            error = QCoreApplication::translate("ScanProblem", "The scanner sent no picture data.");
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
    c.settling = true;
    c.changed.notify_all();
}

void RunScan(uint32_t value, const ScanRequest& request, bool hadReceiver)
{
    Core& c = TheCore();
    QString error;
    PictureRecord picture;
    try {
        picture = ScanThroughHelper(c, value, request, &error);
    } catch (const std::bad_alloc&) {
        DropHelper(c);
        error = QCoreApplication::translate("ScanProblem", kNoMemory);
    }
    Finish(value, picture, error, hadReceiver);
    Settle(c, c.wake);
    ReleaseBusy(c);
}

uint32_t Launch(const ScanRequest& request, QObject* receiver, QString* error)
{
    Core& c = TheCore();
    uint32_t value = 0;
    std::thread previous;
    {
        std::unique_lock lock(c.m);
        if (g_stopped) {
            SetError(error, QCoreApplication::translate("ScanProblem", kStopped));
            return 0;
        }
        if (!TakeBusy(c, lock, error))
            return 0;
        c.scanning = true;
        value = c.nextValue++;
        if (c.nextValue == 0)
            c.nextValue = 1;
        c.current = value;
        c.cancel = false;
        c.done = 0;
        c.expected = -1;
        c.receiving = false;
        previous = std::move(c.worker);
    }
    // The previous worker has released the helper; what is left of it is returning.
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
            c.changed.notify_all();
        }
    }
    delete delivery;
    SetError(error, QCoreApplication::translate("ScanProblem", "The scan could not be started."));
    return 0;
}

// The helper for one call on the calling thread, refused while a scan has it.
class Claim
{
public:
    explicit Claim(QString* error)
    {
        Core& c = TheCore();
        std::unique_lock lock(c.m);
        held_ = TakeBusy(c, lock, error);
    }
    ~Claim()
    {
        if (held_)
            ReleaseBusy(TheCore());
    }
    bool held() const { return held_; }

private:
    bool held_ = false;
};

bool Query(const ScanRequest& settings, ScannerCapabilities* capabilities, QString* error)
{
    const Claim claim(error);
    if (!claim.held())
        return false;
    QByteArray reply;
    if (!Ask(TheCore(), Message::Query, scanwire::EncodeRequest(settings), Message::Capabilities,
             &reply, error))
        return false;
    if (!scanwire::DecodeCapabilities(reply, capabilities)) {
        DropHelper(TheCore());
        SetError(error, HelperGarbledText());
        return false;
    }
    SetError(error, QString());
    return true;
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
    if (!claim.held())
        return {};
    QByteArray reply;
    if (!Ask(TheCore(), Message::List, {}, Message::Devices, &reply, error))
        return {};
    QList<ScannerDevice> devices;
    if (!scanwire::DecodeDevices(reply, &devices) || devices.isEmpty()) {
        DropHelper(TheCore());
        SetError(error, HelperGarbledText());
        return {};
    }
    SetError(error, QString());
    return devices;
}

bool QueryScanner(const QString& device, ScannerCapabilities* capabilities, QString* error)
{
    ScanRequest settings;
    settings.device = device;
    return Query(settings, capabilities, error);
}

bool QueryScanner(const ScanRequest& settings, ScannerCapabilities* capabilities, QString* error)
{
    return Query(settings, capabilities, error);
}

std::chrono::milliseconds ScannerTimeout()
{
    return Timeout();
}

void SetScannerTimeout(std::chrono::milliseconds timeout)
{
    Core& c = TheCore();
    const std::lock_guard lock(c.m);
    c.timeout = std::max(timeout, std::chrono::milliseconds(1));
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
    return {true, c.done, c.expected, c.receiving};
}

void CancelScan(uint32_t value)
{
    Core& c = TheCore();
    const std::lock_guard lock(c.m);
    if (!c.scanning || c.current != value || value == 0)
        return;
    c.cancel = true;
    // Under the lock, so that the wake cannot outlast the scan it was meant for.
    const uint64_t one = 1;
    while (::write(c.wake, &one, sizeof one) < 0 && errno == EINTR) {
    }
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
        c.changed.wait(lock, [&] { return !(c.scanning && c.current == value); });
    }
    const PictureRecord picture = GetScanedDib(value);
    SetError(error, picture.Bits ? QString() : ScanErrorText(value));
    return picture;
}

void ShutdownScanner()
{
    Core& c = TheCore();
    {
        // Whatever scan runs is cancelled, and a scan's helper still closing its device is not
        // waited for: the program is going.
        const std::lock_guard lock(c.m);
        if (c.scanning || c.settling) {
            c.cancel = true;
            const uint64_t one = 1;
            while (::write(c.wake, &one, sizeof one) < 0 && errno == EINTR) {
            }
        }
    }

    // Every wait of the worker has a deadline, so this ends.
    std::thread worker;
    {
        std::unique_lock lock(c.m);
        c.changed.wait(lock, [&] { return !c.scanning && !c.settling; });
        worker = std::move(c.worker);
    }
    if (worker.joinable())
        worker.join();

    std::map<uint32_t, PictureRecord> untaken;
    std::unique_ptr<ScanHelper> helper;
    {
        const std::lock_guard lock(c.m);
        if (c.busy) { // a listing on another thread still has the helper; it lets it go
            c.dropWhenFree = true;
            return;
        }
        untaken.swap(c.pictures);
        c.errors.clear();
        helper = std::move(c.helper);
        c.helperPid = 0;
        c.busy = helper != nullptr;
    }
    for (const auto& [value, picture] : untaken)
        deldib(picture);
    if (helper) {
        helper->Quit(kQuitGrace);
        helper.reset();
        ReleaseBusy(c);
    }
}

void StopScanningFromSignal()
{
    g_stopped = true;
    const uint64_t one = 1;
    // The worker or a listing waits on this; a full counter wakes them as well. Before the
    // library's first use there is nobody to wake.
    if (const int wake = g_wake; wake >= 0) [[maybe_unused]]
        const ssize_t ignored = ::write(wake, &one, sizeof one);
}

pid_t ScanHelperProcessId()
{
    return TheCore().helperPid;
}
