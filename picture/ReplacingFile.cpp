// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReplacingFile.h"

#include "FileName.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <set>

namespace {

// Writes go out in pieces of this size; the documents are written in many small ones.
constexpr qsizetype kBufferSize = 256 * 1024;

std::mutex g_unfinishedLock;
std::set<QByteArray>& Unfinished()
{
    static auto* files = new std::set<QByteArray>; // still there for an exit from any thread
    return *files;
}

QByteArray FolderOf(const QByteArray& name)
{
    const qsizetype slash = name.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : name.left(slash);
}

mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

void RegisterUnfinishedFile(const QByteArray& name)
{
    const std::lock_guard lock(g_unfinishedLock);
    Unfinished().insert(name);
}

void ForgetUnfinishedFile(const QByteArray& name)
{
    const std::lock_guard lock(g_unfinishedLock);
    Unfinished().erase(name);
}

void RemoveUnfinishedFiles()
{
    const std::lock_guard lock(g_unfinishedLock);
    for (const QByteArray& name : Unfinished())
        ::unlink(name.constData());
    Unfinished().clear();
}

ReplacingFile::ReplacingFile(const QByteArray& name) : name_(name) {}

ReplacingFile::~ReplacingFile()
{
    cancel();
}

bool ReplacingFile::Fail(int error)
{
    failed_ = true;
    setErrorString(SystemErrorText(error));
    return false;
}

bool ReplacingFile::open()
{
    if (name_.isEmpty() || name_.contains('\0'))
        return Fail(ENOENT);
    struct stat target = {};
    const bool exists = ::stat(name_.constData(), &target) == 0;
    if (exists && S_ISDIR(target.st_mode))
        return Fail(EISDIR);
    if (exists && !S_ISREG(target.st_mode)) {
        fd_ = ::open(name_.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd_ < 0)
            return Fail(errno);
    } else {
        // A link is followed: the file it names is replaced, and the link stays.
        struct stat link = {};
        if (exists && ::lstat(name_.constData(), &link) == 0 && S_ISLNK(link.st_mode)) {
            if (char* target = ::realpath(name_.constData(), nullptr)) {
                name_ = target;
                std::free(target);
            }
        }
        // A file its owner made read-only is not replaced behind their back.
        if (exists && ::access(name_.constData(), W_OK) != 0)
            return Fail(errno);
        QByteArray temporary =
            FolderOf(name_) + "/." + name_.mid(name_.lastIndexOf('/') + 1) + ".velmora-XXXXXX";
        fd_ = ::mkostemp(temporary.data(), O_CLOEXEC);
        if (fd_ < 0)
            return Fail(errno);
        temporary_ = temporary;
        RegisterUnfinishedFile(temporary_);
        if (::fchmod(fd_, exists ? (target.st_mode & 07777) : NewFileMode()) != 0) {
            const int error = errno;
            cancel();
            return Fail(error);
        }
    }
    failed_ = false;
    buffer_.reserve(kBufferSize);
    return QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool ReplacingFile::WriteAll(const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd_, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return Fail(errno);
        }
        data += written;
        size -= written;
    }
    return true;
}

bool ReplacingFile::WriteOut()
{
    const bool written = WriteAll(buffer_.constData(), buffer_.size());
    buffer_.clear();
    return written;
}

qint64 ReplacingFile::writeData(const char* data, qint64 size)
{
    if (failed_ || fd_ < 0)
        return -1;
    if (buffer_.size() + size > kBufferSize && !WriteOut())
        return -1;
    // A large piece (a whole saved picture) goes out as it is, not through the buffer.
    if (size >= kBufferSize)
        return WriteAll(data, size) ? size : -1;
    buffer_.append(data, size);
    return size;
}

bool ReplacingFile::Finish()
{
    if (failed_ || fd_ < 0)
        return false;
    if (!WriteOut())
        return false;
    // A device need not sync (a pipe can't); a file must be on disk before it takes the name.
    if (!temporary_.isEmpty() && ::fsync(fd_) != 0)
        return Fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR)
        return Fail(errno);
    return true;
}

bool ReplacingFile::commit(const std::function<bool()>& stopped)
{
    const bool finished = Finish();
    if (finished && stopped && stopped()) {
        cancel();
        setErrorString(QStringLiteral("interrupted"));
        return false;
    }
    if (!finished) {
        const QString reason = errorString();
        cancel();
        setErrorString(reason);
        return false;
    }
    if (!temporary_.isEmpty()) {
        if (::rename(temporary_.constData(), name_.constData()) != 0) {
            const int error = errno;
            cancel();
            return Fail(error);
        }
        ForgetUnfinishedFile(temporary_);
        temporary_.clear();
    }
    QIODevice::close();
    return true;
}

void ReplacingFile::cancel()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.isEmpty()) {
        ::unlink(temporary_.constData());
        ForgetUnfinishedFile(temporary_);
        temporary_.clear();
    }
    buffer_.clear();
    if (isOpen())
        QIODevice::close();
}
