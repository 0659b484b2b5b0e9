// SPDX-License-Identifier: GPL-3.0-or-later
// A helper process as its library sees it: started with one end of a socket pair (and any other
// descriptors it is given) in a process group of its own, heard with a deadline, and killed by
// its process id and reaped. What a failure is called, and whether a missed deadline kills the
// helper, is the library's to say.
#pragma once

#include "HelperWire.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <sys/types.h>

#include <chrono>
#include <initializer_list>
#include <mutex>
#include <vector>

class HelperProcess
{
public:
    using Clock = std::chrono::steady_clock;

    // A descriptor of the library's that the helper finds at `target`.
    struct Descriptor
    {
        int fd;
        int target;
    };

    // Messages of more than maxPayload bytes are a broken stream.
    explicit HelperProcess(uint32_t maxPayload);
    ~HelperProcess() { Kill(); } // kills it if it is still there
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    // Starts `program` with `arguments`, its end of a new socket pair at descriptor socketTarget
    // and the descriptors `others` at theirs. 0, or the system's error number.
    int Start(const QString& program, const QList<QByteArray>& arguments, int socketTarget,
              std::initializer_list<Descriptor> others = {});

    // False when the helper can't take it at once (gone, or not reading what it was sent).
    bool Send(const QByteArray& bytes);

    enum class Got
    {
        Message,    // *type and *payload hold it
        Broken,     // a header no message can have
        TimedOut,   // the deadline passed; the helper is left as it is
        Woken,      // wakeFd became readable (and was emptied)
        PollFailed, // *pollError says why
        Closed,     // the helper closed its socket (now closed here too) or it was already
    };
    // The next message, waiting until the deadline or until wakeFd (-1: none) is readable.
    Got Receive(uint32_t* type, QByteArray* payload, Clock::time_point deadline, int wakeFd,
                int* pollError);

    // The socket closed here, so that the helper sees the end of its requests.
    void CloseSocket();

    // Why the helper is gone, for the user, after waiting up to `wait` for it to end: "The
    // <who> stopped unexpectedly" with its signal or failing exit status, or `unexplained` when
    // neither is known. It is killed if still there.
    QString EndText(Clock::duration wait, const QString& who, const QString& unexplained);

    // Lets it end on its own for up to `grace`, then kills it.
    void Finish(Clock::duration grace);
    // Kills it, its process group with it, and reaps it; a helper the kernel holds on to is
    // left to a thread of its own, so that this never waits long.
    void Kill();

    bool reaped() const { return reaped_; }
    pid_t pid() const { return pid_; }

private:
    bool Reap(Clock::duration wait, int* status);

    pid_t pid_ = 0;
    int fd_ = -1;
    bool reaped_ = false;
    helperwire::MessageReader reader_;
    std::vector<char> buffer_;
};

// Where a library finds its helper program: set for tests; empty, the one installed with the
// running program, found in libexec/velmora/ beside its bin/ folder (as the build tree has them
// too), or in its folder.
class HelperProgram
{
public:
    explicit HelperProgram(const char* name) : name_(name) {}
    void Set(const QString& path);
    QString Path() const;

private:
    const char* name_;
    mutable std::mutex lock_;
    QString path_;
};
