// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelperProcess.h"

#include <QCoreApplication>
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
#include <system_error>
#include <thread>

extern char** environ;

namespace {

// How long a killed helper is waited for before a thread of its own is left to reap it.
constexpr auto kKillWait = std::chrono::seconds(1);
// What one read from the socket takes at most.
constexpr size_t kReadPiece = 256 * 1024;

int MillisecondsUntil(HelperProcess::Clock::time_point deadline)
{
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - HelperProcess::Clock::now());
    return int(std::clamp<int64_t>(left.count(), 0, 60 * 60 * 1000));
}

} // namespace

HelperProcess::HelperProcess(uint32_t maxPayload) : reader_(maxPayload), buffer_(kReadPiece) {}

int HelperProcess::Start(const QString& program, const QList<QByteArray>& arguments,
                         int socketTarget, std::initializer_list<Descriptor> others)
{
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return errno;
    fd_ = fds[0];
    std::vector<Descriptor> moves = {{fds[1], socketTarget}};
    moves.insert(moves.end(), others.begin(), others.end());
    int above = 0;
    for (const Descriptor& d : moves)
        above = std::max(above, d.target + 1);
    // Above every number they are moved to, so that no move undoes another or keeps a
    // descriptor closing on exec.
    std::vector<int> ends;
    for (const Descriptor& d : moves)
        ends.push_back(::fcntl(d.fd, F_DUPFD_CLOEXEC, above));
    ::close(fds[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (size_t i = 0; i < moves.size(); ++i)
        posix_spawn_file_actions_adddup2(&actions, ends[i], moves[i].target);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Signals as a new program has them, and a process group of its own, so that a Ctrl+C
    // meant for the program is the program's to handle, and a kill takes all the helper started.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                              POSIX_SPAWN_SETPGROUP);

    const QByteArray path = QFile::encodeName(program);
    std::vector<char*> argv = {const_cast<char*>(path.constData())};
    for (const QByteArray& argument : arguments)
        argv.push_back(const_cast<char*>(argument.constData()));
    argv.push_back(nullptr);
    int failed = EBADF;
    if (std::none_of(ends.begin(), ends.end(), [](int fd) { return fd < 0; }))
        failed = posix_spawn(&pid_, path.constData(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    for (const int end : ends)
        if (end >= 0)
            ::close(end);
    if (failed != 0) {
        pid_ = 0;
        CloseSocket();
    }
    return failed;
}

bool HelperProcess::Send(const QByteArray& bytes)
{
    // Requests are small; a helper that does not take one into its socket buffer at once is not
    // one to wait for.
    return fd_ >= 0 && helperwire::SendWhole(fd_, bytes, false);
}

HelperProcess::Got HelperProcess::Receive(uint32_t* type, QByteArray* payload,
                                          Clock::time_point deadline, int wakeFd, int* pollError)
{
    if (fd_ < 0)
        return Got::Closed;
    for (;;) {
        switch (reader_.Next(type, payload)) {
        case helperwire::MessageReader::Result::Whole:
            return Got::Message;
        case helperwire::MessageReader::Result::Broken:
            return Got::Broken;
        case helperwire::MessageReader::Result::Incomplete:
            break;
        }
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ::poll(fds, wakeFd >= 0 ? 2 : 1, MillisecondsUntil(deadline));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            if (pollError)
                *pollError = errno;
            return Got::PollFailed;
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
        const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            CloseSocket();
            return Got::Closed;
        }
        reader_.Append(buffer_.data(), size_t(n));
    }
}

void HelperProcess::CloseSocket()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool HelperProcess::Reap(Clock::duration wait, int* status)
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
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

QString HelperProcess::EndText(Clock::duration wait, const QString& who, const QString& unexplained)
{
    int status = 0;
    const bool ended = pid_ > 0 && !reaped_ && Reap(wait, &status);
    Kill();
    if (ended && WIFSIGNALED(status))
        return QCoreApplication::translate("HelperProcess", "The %1 stopped unexpectedly (%2).")
            .arg(who, QString::fromLocal8Bit(strsignal(WTERMSIG(status))));
    if (ended && WIFEXITED(status) && WEXITSTATUS(status) != 0)
        return QCoreApplication::translate("HelperProcess",
                                           "The %1 stopped unexpectedly (exit status %2).")
            .arg(who)
            .arg(WEXITSTATUS(status));
    return unexplained;
}

void HelperProcess::Finish(Clock::duration grace)
{
    int status = 0;
    if (pid_ > 0 && !reaped_)
        Reap(grace, &status);
    Kill();
}

void HelperProcess::Kill()
{
    CloseSocket();
    if (pid_ <= 0 || reaped_)
        return;
    // The helper leads a process group of its own: whatever it started in it goes too.
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

void HelperProgram::Set(const QString& path)
{
    const std::lock_guard lock(lock_);
    path_ = path;
}

QString HelperProgram::Path() const
{
    {
        const std::lock_guard lock(lock_);
        if (!path_.isEmpty())
            return path_;
    }
    const QString folder =
        QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
    const QString name = QString::fromLatin1(name_);
    const QString installed =
        QDir::cleanPath(folder + QStringLiteral("/" VELMORA_HELPER_FROM_PROGRAMS "/") + name);
    if (QFileInfo(installed).isExecutable())
        return installed;
    return folder + QLatin1Char('/') + name;
}
