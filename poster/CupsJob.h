// SPDX-License-Identifier: GPL-3.0-or-later
// Talking to the CUPS scheduler: looking up a queue, handing it a finished document, following
// the job. Every call goes over a connection of our own that waits at most CupsTimeout() for an
// answer and gives up at once when the print stop is requested (PrintStopRequested), so that a
// hung scheduler neither holds the program nor a Ctrl+C.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <chrono>
#include <functional>

class QIODevice;

// How long a call may wait for the scheduler's answer: 30 seconds unless set.
std::chrono::milliseconds CupsTimeout();
void SetCupsTimeout(std::chrono::milliseconds timeout);

struct CupsLookup
{
    bool found = false;    // the scheduler has the queue
    QString error;         // why the scheduler could not be asked; empty when it answered
    bool timedOut = false; // the error is the scheduler's silence (or a stop), not its absence
};

// Whether the scheduler has the queue; an empty name asks for the default destination.
CupsLookup LookUpCupsQueue(const QString& queue, std::chrono::milliseconds timeout = CupsTimeout());

struct CupsJobResult
{
    int jobId = 0;       // the job CUPS made; 0 when none was accepted
    bool queued = false; // accepted by a queue that is stopped: it waits there
    QString error;       // CUPS's own words when the job was refused or failed

    bool ok() const { return error.isEmpty() && jobId > 0; }
};

using CupsOptions = QList<QPair<QString, QString>>;

// Creates a job on the queue, sends the whole PDF document to it and reads the answer. A job
// that fails after it was made is cancelled, so that nothing half-sent is printed. The print
// stop request cancels it as well.
CupsJobResult SubmitPdfToCups(const QString& queue, const QString& title, QIODevice& document,
                              const CupsOptions& options);

// Where a job stands, as CUPS says it.
struct CupsJobState
{
    enum class Stage
    {
        Waiting,   // pending, held or processing
        Completed, // printed
        Aborted,   // the printer or the system gave it up
        Cancelled, // someone cancelled it
        Unknown    // the scheduler could not be asked (error says why)
    };
    Stage stage = Stage::Unknown;
    int jobId = 0;
    QString reason; // CUPS's reasons and the printer's last message, for the user
    QString error;

    bool ended() const
    {
        return stage == Stage::Completed || stage == Stage::Aborted || stage == Stage::Cancelled;
    }
};

// The scheduler this thread's CUPS calls go to. libcups keeps it per thread: a look at a job
// from another thread names the scheduler the job was sent to.
QByteArray CupsServerOfThisThread();
// This thread's CUPS calls go to that scheduler; an empty name leaves the thread's own.
void UseCupsServer(const QByteArray& server);

// One look at the job, waiting at most `timeout` for the scheduler; on `server` when named, else
// on this thread's.
CupsJobState QueryCupsJob(int jobId, std::chrono::milliseconds timeout,
                          const QByteArray& server = QByteArray());

// Follows the job until it is completed, aborted or cancelled, asking every half second; gives
// up with Unknown when the scheduler can't be asked or the print stop is requested. `seen`, when
// given, hears each state asked.
CupsJobState FollowCupsJob(int jobId, const std::function<void(const CupsJobState&)>& seen = {});

// "completed", "aborted: REASON", ... for the user.
QString CupsJobStateText(const CupsJobState& state);
