// SPDX-License-Identifier: GPL-3.0-or-later
// The scanner library and its helper process: a helper that is killed, stopped, or sends what
// no message can be; cancelling at each point of a scan; every failure of the test backend;
// and long runs of failing scans that leave no helper behind.
#include "SaneTestConfig.h"

#include "HeldPicture.h"

#include "ScanHelper.h"
#include "ScanProtocol.h"
#include "ScanSamples.h"
#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstring>
#include <functional>

using scanwire::Message;

namespace {

const QString kCancelled = QStringLiteral("The scan was cancelled.");
// How long a cancelled scan may take to end here: the library promises a second.
constexpr int kCancelBoundMs = 3000;

// 100 dpi over 200 x 200 mm in colour, held back 0.2 s a buffer: seconds long.
ScanRequest SlowScan()
{
    ScanRequest request = SmallScan(QStringLiteral("Color"), 8);
    request.resolution = 100;
    request.area = ScanArea{0, 0, 200, 200};
    return request;
}
const QStringList kSlow = {QStringLiteral("read-delay true"),
                           QStringLiteral("read-delay-duration 200000")};

// The processes this one has started that are still there, zombies included: the helpers,
// real or fake.
int ChildProcesses()
{
    int count = 0;
    const QString me = QString::number(::getpid());
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (comm) state ppid ...
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        const QList<QByteArray> rest = line.mid(close + 2).split(' ');
        if (rest.size() > 1 && rest[1] == me.toLatin1())
            ++count;
    }
    return count;
}

bool Gone(pid_t pid)
{
    return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

struct TimeoutReset
{
    ~TimeoutReset() { SetScannerTimeout(std::chrono::minutes(2)); }
};

// Scans through the receiver and waits for the result; the action runs while it goes.
QString ScanAndWait(const ScanRequest& request, const std::function<void(uint32_t)>& during = {})
{
    ScanReceiver receiver;
    QString error;
    const uint32_t value = StartScan(request, &receiver, &error);
    if (!value)
        return QStringLiteral("not started: ") + error;
    if (during)
        during(value);
    if (!WaitUntil([&] { return !receiver.values.empty(); }))
        return QStringLiteral("no answer");
    if (const HeldPicture picture(GetScanedDib(value)); picture)
        return QStringLiteral("a picture");
    return ScanErrorText(value);
}

// A stand-in for the helper: a script that sends the given bytes as soon as it starts, then
// ends with a status or waits to be killed.
class FakeHelper
{
public:
    // `later`, when given, follows half a second after the first bytes.
    explicit FakeHelper(const QByteArray& bytes, int exitStatus = -1, const QByteArray& later = {})
    {
        const QString dir = testsupport::TestDir();
        QFile data(dir + QStringLiteral("/fake-helper.bytes"));
        EXPECT_TRUE(data.open(QIODevice::WriteOnly | QIODevice::Truncate));
        data.write(bytes);
        data.close();
        QString rest;
        if (!later.isEmpty()) {
            QFile second(dir + QStringLiteral("/fake-helper.later"));
            EXPECT_TRUE(second.open(QIODevice::WriteOnly | QIODevice::Truncate));
            second.write(later);
            rest = QStringLiteral("sleep 0.5\ncat '%1' >&3\n").arg(second.fileName());
        }
        const QString path = dir + QStringLiteral("/fake-helper");
        QFile script(path);
        EXPECT_TRUE(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const QString end = exitStatus >= 0 ? QStringLiteral("exit %1\n").arg(exitStatus)
                                            : QStringLiteral("exec sleep 60\n");
        script.write(QStringLiteral("#!/bin/sh\ncat '%1' >&3\n%2%3")
                         .arg(data.fileName(), rest, end)
                         .toUtf8());
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                              QFileDevice::ExeOwner);
        ShutdownScanner();
        SetScanHelperProgram(path);
    }
    ~FakeHelper()
    {
        ShutdownScanner();
        SetScanHelperProgram(QStringLiteral(VELMORA_SCAN_HELPER));
    }
};

QByteArray Hello(uint32_t version = scanwire::kVersion)
{
    return scanwire::Encode(Message::Hello, scanwire::EncodeVersion(version));
}

QByteArray GreyFrame(int lines, int bytesPerLine)
{
    FrameLayout layout;
    layout.pixelsPerLine = bytesPerLine;
    layout.bytesPerLine = bytesPerLine;
    layout.lines = lines;
    return scanwire::Encode(Message::FrameBegin, scanwire::EncodeFrame(layout, 0));
}

QByteArray Data(int size)
{
    return scanwire::Encode(Message::FrameData, QByteArray(size, '\x40'));
}

} // namespace

TEST(ScanHelper, MessagesReadBackAsWrittenAndBrokenOnesAreRefused)
{
    ScanRequest request = SlowScan();
    request.deviceOptions = {{QStringLiteral("three-pass"), QStringLiteral("yes")}};
    ScanRequest back;
    ASSERT_TRUE(scanwire::DecodeRequest(scanwire::EncodeRequest(request), &back));
    EXPECT_EQ(back.device, request.device);
    EXPECT_EQ(back.mode, request.mode);
    EXPECT_EQ(back.resolution, 100);
    ASSERT_TRUE(back.area.has_value());
    EXPECT_EQ(back.area->right, 200);
    EXPECT_EQ(back.deviceOptions, request.deviceOptions);

    // Cut short by one byte, or one byte too long: neither is a request.
    const QByteArray bytes = scanwire::EncodeRequest(request);
    EXPECT_FALSE(scanwire::DecodeRequest(bytes.chopped(1), &back));
    EXPECT_FALSE(scanwire::DecodeRequest(bytes + '\0', &back));

    // A list whose count the message can't hold is refused before anything is made of it.
    QByteArray devices = scanwire::EncodeDevices({{QStringLiteral("test:0"), {}, {}, {}}});
    devices[0] = devices[1] = devices[2] = devices[3] = '\x7f';
    QList<ScannerDevice> list;
    EXPECT_FALSE(scanwire::DecodeDevices(devices, &list));

    FrameLayout layout;
    int index = 0;
    layout.bytesPerLine = 0;
    EXPECT_FALSE(scanwire::DecodeFrame(scanwire::EncodeFrame(layout, 0), &layout, &index));

    // Messages come whole however the bytes arrive; a header past the largest payload breaks
    // the stream.
    scanwire::MessageReader reader;
    const QByteArray two = Hello() + Data(5);
    uint32_t type = 0;
    QByteArray payload;
    for (char byte : two)
        reader.Append(&byte, 1);
    ASSERT_EQ(reader.Next(&type, &payload), scanwire::MessageReader::Result::Whole);
    EXPECT_EQ(type, uint32_t(Message::Hello));
    ASSERT_EQ(reader.Next(&type, &payload), scanwire::MessageReader::Result::Whole);
    EXPECT_EQ(payload, QByteArray(5, '\x40'));
    EXPECT_EQ(reader.Next(&type, &payload), scanwire::MessageReader::Result::Incomplete);
    const uint32_t huge[2] = {uint32_t(Message::FrameData), scanwire::kMaxPayload + 1};
    reader.Append(reinterpret_cast<const char*>(huge), sizeof huge);
    EXPECT_EQ(reader.Next(&type, &payload), scanwire::MessageReader::Result::Broken);
}

TEST(ScanHelper, AHelperKilledMidScanEndsTheScanAndTheNextOneStartsAfresh)
{
    const SaneTestConfig config(kSlow);
    pid_t killed = 0;
    const QString error = ScanAndWait(SlowScan(), [&](uint32_t value) {
        ASSERT_TRUE(WaitUntil([&] { return ScanProgressOf(value).bytesDone > 0; }));
        killed = ScanHelperProcessId();
        ASSERT_GT(killed, 0);
        ::kill(killed, SIGKILL);
    });
    EXPECT_EQ(error, "The scanner driver stopped unexpectedly (Killed).");
    EXPECT_TRUE(Gone(killed)); // reaped, not a zombie
    EXPECT_EQ(ScanHelperProcessId(), 0);

    QString again;
    const HeldPicture picture(ScanToPicture(SmallScan(QStringLiteral("Gray"), 8), &again));
    EXPECT_NE(picture->Bits, nullptr) << again.toStdString();
    EXPECT_NE(ScanHelperProcessId(), killed);
}

TEST(ScanHelper, AStoppedHelperIsGivenUpAfterTheTimeoutAndKilled)
{
    const SaneTestConfig config(kSlow);
    const TimeoutReset reset;
    SetScannerTimeout(std::chrono::milliseconds(1500));
    pid_t stopped = 0;
    QElapsedTimer clock;
    const QString error = ScanAndWait(SlowScan(), [&](uint32_t value) {
        ASSERT_TRUE(WaitUntil([&] { return ScanProgressOf(value).bytesDone > 0; }));
        stopped = ScanHelperProcessId();
        ::kill(stopped, SIGSTOP);
        clock.start();
    });
    EXPECT_EQ(error, "The scanner did not answer for 1 seconds and was given up.");
    EXPECT_GE(clock.elapsed(), 1400);
    EXPECT_TRUE(Gone(stopped));

    // Listing and querying are held to the same time.
    ShutdownScanner();
    QString first;
    EXPECT_EQ(ListScanners(&first).size(), 1) << first.toStdString();
    const pid_t lister = ScanHelperProcessId();
    ::kill(lister, SIGSTOP);
    QString listError;
    EXPECT_TRUE(ListScanners(&listError).isEmpty());
    EXPECT_EQ(listError, "The scanner did not answer for 1 seconds and was given up.");
    EXPECT_TRUE(Gone(lister));
}

TEST(ScanHelper, CancelEndsTheScanWithinASecondAtTheStartInTheMiddleAndBetweenFrames)
{
    const SaneTestConfig config(kSlow);
    const auto cancelWhen = [](std::function<bool(const ScanProgress&)> ready) {
        return [ready](uint32_t value) {
            ASSERT_TRUE(WaitUntil([&] { return ready(ScanProgressOf(value)); }));
            QElapsedTimer clock;
            clock.start();
            CancelScan(value);
            // The promise is a second; the bound leaves room for a loaded machine and still
            // lies well short of the seconds the rest of the scan would take.
            EXPECT_TRUE(WaitUntil([&] { return !ScanProgressOf(value).running; }));
            EXPECT_LT(clock.elapsed(), kCancelBoundMs);
        };
    };
    // At once, before the helper has even begun.
    EXPECT_EQ(ScanAndWait(SlowScan(), [](uint32_t value) { CancelScan(value); }), kCancelled);
    // In the middle of the frame.
    EXPECT_EQ(
        ScanAndWait(SlowScan(), cancelWhen([](const ScanProgress& p) { return p.bytesDone > 0; })),
        kCancelled);
    // After the first of three frames, before the next begins.
    ScanRequest threePass = SlowScan();
    threePass.area = ScanArea{0, 0, 60, 60};
    threePass.deviceOptions = {{QStringLiteral("three-pass"), QStringLiteral("yes")}};
    EXPECT_EQ(ScanAndWait(threePass, cancelWhen([](const ScanProgress& p) {
                              return p.bytesExpected > 0 && p.bytesDone >= p.bytesExpected / 3;
                          })),
              kCancelled);
    // Whether the driver stopped in time or its helper was killed after the grace, the next
    // scan works.
    EXPECT_EQ(ScanAndWait(SmallScan(QStringLiteral("Gray"), 8)), "a picture");
}

TEST(ScanHelper, EveryFailureOfTheDeviceSaysWhyAgainAndAgain)
{
    const SaneTestConfig config;
    // Twice over: more failures than the library keeps texts for, each one again after others.
    for (int round = 0; round < 2; ++round) {
        for (const testsupport::SaneFailure& failure : testsupport::kSaneFailures) {
            ScanRequest request = SmallScan(QStringLiteral("Gray"), 8);
            request.deviceOptions = {
                {QStringLiteral("read-return-value"), QString::fromLatin1(failure.status)}};
            QString error;
            EXPECT_EQ(ScanToPicture(request, &error).Bits, nullptr) << failure.status;
            EXPECT_EQ(error, failure.text) << failure.status;
        }
    }
}

TEST(ScanHelper, FailingAndCancelledScansLeaveNoHelperBehind)
{
    const SaneTestConfig config;
    const char* statuses[] = {"SANE_STATUS_JAMMED", "SANE_STATUS_IO_ERROR", "SANE_STATUS_NO_DOCS",
                              "SANE_STATUS_EOF"};
    int failed = 0;
    int cancelled = 0;
    // Every failure run to its end once and cancelled once: a helper left behind by any of them
    // shows at the end.
    constexpr int kScans = 8;
    for (int i = 0; i < kScans; ++i) {
        const char* status = statuses[i / 2];
        ScanRequest request = SmallScan(QStringLiteral("Gray"), 8);
        request.deviceOptions = {
            {QStringLiteral("read-return-value"), QString::fromLatin1(status)}};
        if (i % 2 == 0) {
            QString error;
            failed += ScanToPicture(request, &error).Bits == nullptr && !error.isEmpty();
        } else {
            // A scan that has failed on its own by the time the cancel comes says why.
            const QString error = ScanAndWait(request, [](uint32_t value) { CancelScan(value); });
            cancelled += error == kCancelled || error == testsupport::SaneFailureText(status);
        }
    }
    EXPECT_EQ(failed, kScans / 2);
    EXPECT_EQ(cancelled, kScans / 2);
    ShutdownScanner();
    EXPECT_EQ(ScanHelperProcessId(), 0);
    EXPECT_EQ(ChildProcesses(), 0);
}

TEST(ScanHelper, AHelperThatSpeaksNonsenseIsKilledAndTheScanSaysSo)
{
    const QString garbled = QStringLiteral("The scanner driver sent data this program can't read.");
    const SaneTestConfig config;
    const TimeoutReset reset;
    SetScannerTimeout(std::chrono::milliseconds(800));
    const ScanRequest request = SmallScan(QStringLiteral("Gray"), 8);
    const uint32_t bigHeader[2] = {uint32_t(Message::Devices), scanwire::kMaxPayload + 1};
    const QByteArray tooLong(reinterpret_cast<const char*>(bigHeader), sizeof bigHeader);
    const struct
    {
        const char* what;
        QByteArray bytes;
        int exitStatus;
        QString listed;
        QString scanned;
    } cases[] = {
        {"another version",
         Hello(99),
         -1,
         QStringLiteral("The scanner helper %1 belongs to another version of Velmora.")
             .arg(testsupport::TestDir() + QStringLiteral("/fake-helper")),
         {}},
        {"a header past the largest message", Hello() + tooLong, -1, garbled, garbled},
        {"a message of no known type", Hello() + scanwire::Encode(Message(77)), -1, garbled,
         garbled},
        {"a request's type", Hello() + scanwire::Encode(Message::Scan), -1, garbled, garbled},
        // A helper says Ready after each answer; without it the library would wait out the
        // settling time of a device before it looked at the list.
        {"a device list cut short",
         Hello() + scanwire::Encode(Message::Devices, QByteArray("\0\0", 2)) +
             scanwire::Encode(Message::Ready),
         -1, garbled, garbled},
        {"an empty failure", Hello() + scanwire::Encode(Message::Failure), -1, garbled, garbled},
        // A failure is a code the program words; one it does not know, or without the
        // details its words need, is not the helper's.
        {"a failure of no known code",
         Hello() +
             scanwire::Encode(Message::Failure, scanwire::EncodeProblem({ScanProblemCode(99), {}})),
         -1, garbled, garbled},
        {"a failure without its detail",
         Hello() + scanwire::Encode(Message::Failure,
                                    scanwire::EncodeProblem({ScanProblemCode::NotFound, {}})),
         -1, garbled, garbled},
        {"data before any frame", Hello() + Data(10), -1, garbled, garbled},
        {"more data than the frame announced", Hello() + GreyFrame(2, 4) + Data(9), -1, garbled,
         garbled},
        {"a frame too large for a picture", Hello() + GreyFrame(70000, 40000), -1, garbled,
         QStringLiteral("The scanned picture would be too large.")},
        {"the end of a scan in mid-frame",
         Hello() + GreyFrame(2, 4) + Data(8) + scanwire::Encode(Message::ScanDone), -1, garbled,
         garbled},
        {"nothing after the greeting", Hello(), -1,
         QStringLiteral("The scanner did not answer for 1 seconds and was given up."),
         QStringLiteral("The scanner did not answer for 1 seconds and was given up.")},
        {"an exit after the greeting", Hello(), 3,
         QStringLiteral("The scanner driver stopped unexpectedly (exit status 3)."),
         QStringLiteral("The scanner driver stopped unexpectedly (exit status 3).")},
    };
    for (const auto& c : cases) {
        {
            const FakeHelper fake(c.bytes, c.exitStatus);
            QString error;
            EXPECT_TRUE(ListScanners(&error).isEmpty()) << c.what;
            EXPECT_EQ(error, c.listed) << c.what;
            EXPECT_EQ(ScanHelperProcessId(), 0) << c.what;
        }
        if (c.scanned.isEmpty())
            continue;
        const FakeHelper fake(c.bytes, c.exitStatus);
        EXPECT_EQ(ScanAndWait(request), c.scanned) << c.what;
        EXPECT_EQ(ScanHelperProcessId(), 0) << c.what;
        EXPECT_EQ(ChildProcesses(), 0) << c.what;
    }

    // A helper that is not there at all.
    SetScanHelperProgram(testsupport::TestDir() + QStringLiteral("/no-such-helper"));
    QString error;
    EXPECT_TRUE(ListScanners(&error).isEmpty());
    EXPECT_EQ(error, QStringLiteral("The scanner helper %1 is missing.")
                         .arg(testsupport::TestDir() + QStringLiteral("/no-such-helper")));
    SetScanHelperProgram(QStringLiteral(VELMORA_SCAN_HELPER));
}

TEST(ScanHelper, TheWindowKeepsPaintingWhileTheDevicesAreSearched)
{
    const SaneTestConfig config;
    const FakeHelper slow(
        Hello(), -1,
        scanwire::Encode(
            Message::Devices,
            scanwire::EncodeDevices({{QStringLiteral("net:0"), QStringLiteral("Far"),
                                      QStringLiteral("Away"), QStringLiteral("scanner")}})) +
            scanwire::Encode(Message::Ready));
    int ticks = 0;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();
    QString error;
    const QList<ScannerDevice> devices = ListScanners(&error);
    ASSERT_EQ(devices.size(), 1) << error.toStdString();
    EXPECT_EQ(devices.front().name, "net:0");
    EXPECT_GE(ticks, 5); // half a second of waiting
}

TEST(ScanHelper, ScannedPixelsAreThoseScanimageGets)
{
    if (!testsupport::HaveProgram(QStringLiteral("scanimage")))
        GTEST_SKIP() << "scanimage missing";
    const SaneTestConfig config({QStringLiteral("test-picture \"Color pattern\"")});
    for (const char* mode : {"Color", "Gray"}) {
        SCOPED_TRACE(mode);
        QString error;
        const HeldPicture picture(ScanToPicture(SmallScan(QString::fromLatin1(mode), 8), &error));
        ASSERT_NE(picture->Bits, nullptr) << error.toStdString();
        ASSERT_TRUE(testsupport::Run(
            QStringLiteral("scanimage -d test:0 --mode %1 --depth 8 --resolution 25 "
                           "--test-picture 'Color pattern' --format=pnm > scanned.pnm")
                .arg(QString::fromLatin1(mode))));
        QFile file(QStringLiteral("scanned.pnm"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray pnm = file.readAll();
        const bool colour = std::strcmp(mode, "Color") == 0;
        // P6 or P5, a comment line of scanimage's, then the size and the largest sample.
        ASSERT_TRUE(pnm.startsWith(colour ? "P6\n" : "P5\n"));
        const QByteArray size("\n78 98\n255\n");
        ASSERT_TRUE(pnm.contains(size));
        const int channels = colour ? 3 : 1;
        const qsizetype start = pnm.indexOf(size) + size.size();
        ASSERT_EQ(pnm.size() - start, 78 * 98 * channels);
        int differing = 0;
        for (int y = 0; y < 98; ++y) {
            for (int x = 0; x < 78; ++x) {
                const auto* p = reinterpret_cast<const uint8_t*>(pnm.constData()) + start +
                                (y * 78 + x) * channels;
                const int32_t expected = colour ? (p[0] << 16) | (p[1] << 8) | p[2] : p[0];
                differing += getpixel(*picture, x, y) != expected;
            }
        }
        EXPECT_EQ(differing, 0);
    }
}
