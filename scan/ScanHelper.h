// SPDX-License-Identifier: GPL-3.0-or-later
// Inside the scanner library: the helper process that alone loads the scanner drivers, as the
// library sees it. Every wait for it has a deadline; a helper that misses one, ends, or sends
// what no message can be is killed by its process id and reaped.
#pragma once

#include "HelperProcess.h"
#include "ScanProtocol.h"

#include <QString>

#include <sys/types.h>

#include <chrono>
#include <memory>

class ScanHelper
{
public:
    using Clock = HelperProcess::Clock;

    // Starts the helper and waits for its greeting until the deadline, or until wakeFd (-1:
    // none) is readable, which gives null with an empty *error. Null with *error on failure.
    static std::unique_ptr<ScanHelper> Start(Clock::time_point deadline, int wakeFd,
                                             QString* error);
    ~ScanHelper(); // kills it if it is still there
    ScanHelper(const ScanHelper&) = delete;
    ScanHelper& operator=(const ScanHelper&) = delete;

    // False when the helper can't take it (gone, or not reading what it was sent).
    bool Send(scanwire::Message type, const QByteArray& payload = {});

    enum class Got
    {
        Message, // *type and *payload hold it
        TimedOut,
        Woken, // wakeFd became readable (and was emptied)
        Lost,  // the helper ended or sent what can't be read; *error says which, for the user
    };
    // The next message, waiting until the deadline or until wakeFd (-1: none) is readable.
    Got Receive(uint32_t* type, QByteArray* payload, Clock::time_point deadline, int wakeFd,
                QString* error);

    // Why a helper that took no message is gone, for the user; it is killed if still there.
    QString LostText();

    // Kills it, its process group with it, and reaps it; a helper the kernel holds on to is
    // left to a thread of its own, so that this never waits long.
    void Kill();
    // Asks it to end and waits up to `grace`, then kills it.
    void Quit(std::chrono::milliseconds grace);
    pid_t pid() const { return process_.pid(); }

private:
    ScanHelper() : process_(scanwire::kMaxPayload) {}
    // Why the helper is gone, once it has been reaped.
    QString EndText();

    HelperProcess process_;
};

// Texts for the user when the helper failed.
QString HelperSilentText(std::chrono::milliseconds timeout);
QString HelperGarbledText();

// The helper program: set for tests; empty, the one installed with the running program, found
// in libexec/velmora/ beside its bin/ folder (as the build tree has them too), or in its folder.
void SetScanHelperProgram(const QString& path);
QString ScanHelperProgram();

// The process id of the helper now running, 0 when there is none.
pid_t ScanHelperProcessId();
