#include "ScanHelper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

extern char** environ;

namespace {

const char* const kHelperName = "velmora-scan-helper";
// The helper finds its socket here; above the standard streams, below anything it opens.
constexpr int kHelperFd = 3;
// How long a helper that closed its socket gets to be reaped before it is killed.
constexpr auto kEndingWait = std::chrono::milliseconds(200);
// How long a killed helper is waited for before a thread of its own is left to reap it.
constexpr auto kKillWait = std::chrono::seconds(1);

std::mutex g_programLock;
QString g_program;

QString RunningProgramFolder()
{
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

int MillisecondsUntil(ScanHelper::Clock::time_point deadline)
{
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - ScanHelper::Clock::now());
    return int(std::clamp<int64_t>(left.count(), 0, 60 * 60 * 1000));
}

} // namespace

void SetScanHelperProgram(const QString& path)
{
    const std::lock_guard lock(g_programLock);
    g_program = path;
}

QString ScanHelperProgram()
{
    {
        const std::lock_guard lock(g_programLock);
        if (!g_program.isEmpty())
            return g_program;
    }
    const QString folder = RunningProgramFolder();
    const QString name = QString::fromLatin1(kHelperName);
    const QString installed =
        QDir::cleanPath(folder + QStringLiteral("/" VELMORA_HELPER_FROM_PROGRAMS "/") + name);
    if (QFileInfo(installed).isExecutable())
        return installed;
    return folder + QLatin1Char('/') + name;
}

QString HelperSilentText(std::chrono::milliseconds timeout)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout).count();
    return QStringLiteral("The scanner did not answer for %1 seconds and was given up.")
        .arg(std::max<int64_t>(1, seconds));
}

QString HelperGarbledText()
{
    return QStringLiteral("The scanner driver sent data this program can't read.");
}

std::unique_ptr<ScanHelper> ScanHelper::Start(Clock::time_point deadline, int wakeFd,
                                              QString* error)
{
    const QString program = ScanHelperProgram();
    if (!QFileInfo(program).isExecutable()) {
        SetError(error, QStringLiteral("The scanner helper %1 is missing.").arg(program));
        return nullptr;
    }
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        SetError(error, QStringLiteral("The scanner helper could not be started (%1).")
                            .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return nullptr;
    }
    // The helper's end must not be the number it is moved to, or the move would keep it
    // closing on exec.
    int childEnd = fds[1];
    if (childEnd == kHelperFd) {
        childEnd = ::fcntl(fds[1], F_DUPFD_CLOEXEC, kHelperFd + 1);
        ::close(fds[1]);
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childEnd, kHelperFd);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Signals as a new program has them, and a process group of its own, so that a Ctrl+C
    // meant for the program does not kill the scan under it.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                              POSIX_SPAWN_SETPGROUP);

    const QByteArray path = QFile::encodeName(program);
    const QByteArray fdText = QByteArray::number(kHelperFd);
    char* argv[] = {const_cast<char*>(path.constData()), const_cast<char*>("--fd"),
                    const_cast<char*>(fdText.constData()), nullptr};
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, path.constData(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(childEnd);
    if (failed != 0) {
        ::close(fds[0]);
        SetError(error, QStringLiteral("The scanner helper could not be started (%1).")
                            .arg(QString::fromLocal8Bit(std::strerror(failed))));
        return nullptr;
    }

    std::unique_ptr<ScanHelper> helper(new ScanHelper(pid, fds[0]));
    uint32_t type = 0;
    QByteArray payload;
    switch (helper->Receive(&type, &payload, deadline, wakeFd, error)) {
    case Got::Message:
        break;
    case Got::Woken:
        SetError(error, QString());
        return nullptr;
    case Got::TimedOut:
        SetError(error, QStringLiteral("The scanner library did not start in time."));
        return nullptr;
    case Got::Lost:
        return nullptr;
    }
    uint32_t version = 0;
    if (type == uint32_t(scanwire::Message::Failure)) {
        QString text;
        SetError(error, scanwire::DecodeText(payload, &text) && !text.isEmpty()
                            ? text
                            : HelperGarbledText());
        return nullptr;
    }
    if (type != uint32_t(scanwire::Message::Hello) || !scanwire::DecodeVersion(payload, &version)) {
        SetError(error, HelperGarbledText());
        return nullptr;
    }
    if (version != scanwire::kVersion) {
        SetError(error,
                 QStringLiteral("The scanner helper %1 belongs to another version of Velmora.")
                     .arg(program));
        return nullptr;
    }
    return helper;
}

ScanHelper::~ScanHelper()
{
    Kill();
}

bool ScanHelper::Send(scanwire::Message type, const QByteArray& payload)
{
    if (fd_ < 0)
        return false;
    const QByteArray bytes = scanwire::Encode(type, payload);
    const char* p = bytes.constData();
    size_t left = size_t(bytes.size());
    // The library's messages are small, and a helper that reads nothing while the socket's
    // buffer fills is not one to wait for.
    while (left > 0) {
        const ssize_t n = ::send(fd_, p, left, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= size_t(n);
    }
    return true;
}

ScanHelper::Got ScanHelper::Receive(uint32_t* type, QByteArray* payload, Clock::time_point deadline,
                                    int wakeFd, QString* error)
{
    if (fd_ < 0) {
        SetError(error, EndText(kEndingWait));
        return Got::Lost;
    }
    char buffer[64 * 1024];
    for (;;) {
        switch (reader_.Next(type, payload)) {
        case scanwire::MessageReader::Result::Whole:
            if (scanwire::FromHelper(*type))
                return Got::Message;
            [[fallthrough]];
        case scanwire::MessageReader::Result::Broken:
            Kill();
            SetError(error, HelperGarbledText());
            return Got::Lost;
        case scanwire::MessageReader::Result::Incomplete:
            break;
        }
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ::poll(fds, wakeFd >= 0 ? 2 : 1, MillisecondsUntil(deadline));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            Kill();
            SetError(error, HelperGarbledText());
            return Got::Lost;
        }
        if (ready == 0) {
            if (Clock::now() < deadline)
                continue;
            return Got::TimedOut;
        }
        if (wakeFd >= 0 && (fds[1].revents & POLLIN)) {
            uint64_t count = 0;
            while (::read(wakeFd, &count, sizeof count) < 0 && errno == EINTR) {
            }
            return Got::Woken;
        }
        if (!fds[0].revents)
            continue;
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd_);
            fd_ = -1;
            SetError(error, EndText(kEndingWait));
            return Got::Lost;
        }
        reader_.Append(buffer, size_t(n));
    }
}

QString ScanHelper::LostText()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    return EndText(kEndingWait);
}

bool ScanHelper::Reap(std::chrono::milliseconds wait, int* status)
{
    const auto until = Clock::now() + wait;
    for (;;) {
        const pid_t done = ::waitpid(pid_, status, WNOHANG);
        if (done == pid_ || (done < 0 && errno == ECHILD)) {
            reaped_ = true;
            return done == pid_;
        }
        if (Clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

QString ScanHelper::EndText(std::chrono::milliseconds wait)
{
    int status = 0;
    const bool ended = !reaped_ && Reap(wait, &status);
    Kill();
    if (ended && WIFSIGNALED(status))
        return QStringLiteral("The scanner driver stopped unexpectedly (%1).")
            .arg(QString::fromLocal8Bit(strsignal(WTERMSIG(status))));
    if (ended && WIFEXITED(status) && WEXITSTATUS(status) != 0)
        return QStringLiteral("The scanner driver stopped unexpectedly (exit status %1).")
            .arg(WEXITSTATUS(status));
    return QStringLiteral("The scanner driver stopped unexpectedly.");
}

void ScanHelper::Kill()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (reaped_)
        return;
    // The helper leads a process group of its own: whatever a driver started in it goes too.
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
    int status = 0;
    if (!Reap(kKillWait, &status)) {
        // Stuck in the kernel (a device that does not answer): it goes when the kernel lets
        // it, and a thread of its own waits for that, so that nobody here does.
        const pid_t pid = pid_;
        try {
            std::thread([pid] {
                int ignored = 0;
                while (::waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
                }
            }).detach();
        } catch (const std::system_error&) {
        }
    }
    reaped_ = true;
}

void ScanHelper::Quit(std::chrono::milliseconds grace)
{
    if (!reaped_ && Send(scanwire::Message::Quit)) {
        int status = 0;
        Reap(grace, &status);
    }
    Kill();
}
