// SPDX-License-Identifier: GPL-3.0-or-later
#include "CupsJob.h"

#include "PrintJob.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QStringList>

#include <cups/cups.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

namespace {

constexpr qint64 kChunk = 64 * 1024;
// A waiting call looks at the stop request and the clock this often.
constexpr double kPollSeconds = 0.1;
constexpr auto kFollowStep = std::chrono::milliseconds(500);

std::atomic<std::chrono::milliseconds::rep> g_timeout{30000};

QString LastCupsError(const char* fallback)
{
    const char* text = cupsLastErrorString();
    return text && *text ? QString::fromUtf8(text)
                         : QCoreApplication::translate("CupsJob", fallback);
}

// The scheduler as the user's settings name it: a socket or host:port.
QString ServerName()
{
    const char* server = cupsServer();
    QString name = QString::fromLocal8Bit(server ? server : "localhost");
    if (!name.startsWith(QLatin1Char('/')))
        name += QStringLiteral(":%1").arg(ippPort());
    return name;
}

// Why the scheduler can't be reached: for a socket, the system's words for connecting to it
// (libcups says "Host is down" for every failure).
QString UnreachableReason()
{
    const char* server = cupsServer();
    if (server && server[0] == '/') {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        if (std::strlen(server) < sizeof address.sun_path) {
            std::strcpy(address.sun_path, server);
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            if (fd >= 0) {
                const int failed =
                    ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
                const int error = errno;
                ::close(fd);
                if (failed != 0)
                    return QString::fromLocal8Bit(std::strerror(error));
            }
        }
    }
    return LastCupsError(QT_TRANSLATE_NOOP("CupsJob", "no answer"));
}

// A connection to the scheduler whose every wait is bounded by the timeout and the stop request.
class Connection
{
public:
    explicit Connection(std::chrono::milliseconds limit = CupsTimeout()) : limit_(limit)
    {
        const int ms = int(std::min<std::chrono::milliseconds::rep>(limit.count(), INT32_MAX));
        http_ = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, ms,
                             nullptr);
        if (!http_) {
            error_ = QCoreApplication::translate("CupsJob",
                                                 "the print scheduler (%1) cannot be reached: %2")
                         .arg(ServerName(), UnreachableReason());
            return;
        }
        httpSetTimeout(http_, kPollSeconds, &Connection::StillWaiting, this);
    }
    ~Connection()
    {
        if (http_)
            httpClose(http_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    http_t* http() const { return http_; }

    // Starts the clock for the next call.
    http_t* Call()
    {
        since_ = std::chrono::steady_clock::now();
        return http_;
    }

    // Why the last call failed when it was given up here (the timeout, a stop), or when the
    // connection was never made; otherwise empty, and CUPS's own words apply.
    QString error() const { return error_; }
    bool givenUp() const { return givenUp_; }

    // The error for a failed call: ours when we gave up, else CUPS's words.
    QString Failure(const char* fallback) const
    {
        return givenUp_ ? error_ : LastCupsError(fallback);
    }

private:
    static int StillWaiting(http_t*, void* data)
    {
        auto* self = static_cast<Connection*>(data);
        if (PrintStopRequested()) {
            self->givenUp_ = true;
            self->error_ = QCoreApplication::translate("CupsJob", "The print job was interrupted.");
            return 0;
        }
        const auto waited = std::chrono::steady_clock::now() - self->since_;
        if (waited < self->limit_)
            return 1;
        self->givenUp_ = true;
        self->error_ =
            QCoreApplication::translate("CupsJob",
                                        "the print scheduler (%1) did not answer for %2 s")
                .arg(ServerName())
                .arg(std::chrono::duration_cast<std::chrono::seconds>(self->limit_).count());
        return 0;
    }

    std::chrono::milliseconds limit_;
    http_t* http_ = nullptr;
    QString error_;
    bool givenUp_ = false;
    std::chrono::steady_clock::time_point since_ = std::chrono::steady_clock::now();
};

struct QueueAnswer
{
    bool found = false;
    bool stopped = false; // it takes jobs and keeps them
};

// The queue by its name (a printer or a class), or the default destination for an empty name,
// asked on the connection itself: libcups's own look-up asks again on a connection of its own,
// without a timeout, when the first answer does not come. False when there was no answer.
bool AskQueue(Connection& c, const QByteArray& queue, QueueAnswer* answer)
{
    ipp_t* request =
        ippNewRequest(queue.isEmpty() ? IPP_OP_CUPS_GET_DEFAULT : IPP_OP_GET_PRINTER_ATTRIBUTES);
    if (!queue.isEmpty()) {
        char uri[HTTP_MAX_URI];
        httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                         "/printers/%s", queue.split('/').front().constData()); // no instance
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    }
    static const char* const wanted[] = {"printer-name", "printer-state"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(std::size(wanted)), nullptr, wanted);
    ipp_t* response = cupsDoRequest(c.Call(), request, "/");
    const ipp_status_t status = cupsLastError();
    if (!response || status > IPP_STATUS_OK_CONFLICTING) {
        ippDelete(response);
        return status == IPP_STATUS_ERROR_NOT_FOUND && !c.givenUp();
    }
    answer->found = true;
    answer->stopped = ippGetInteger(ippFindAttribute(response, "printer-state", IPP_TAG_ENUM), 0) ==
                      IPP_PSTATE_STOPPED;
    ippDelete(response);
    return true;
}

} // namespace

std::chrono::milliseconds CupsTimeout()
{
    return std::chrono::milliseconds(g_timeout.load());
}

void SetCupsTimeout(std::chrono::milliseconds timeout)
{
    g_timeout = std::max<std::chrono::milliseconds::rep>(timeout.count(), 1);
}

CupsLookup LookUpCupsQueue(const QString& queue, std::chrono::milliseconds timeout)
{
    CupsLookup lookup;
    Connection c(timeout);
    if (!c.http()) {
        lookup.error = c.error();
        return lookup;
    }
    QueueAnswer answer;
    if (AskQueue(c, queue.toUtf8(), &answer)) {
        lookup.found = answer.found;
    } else if (c.givenUp()) {
        lookup.error = c.error();
        lookup.timedOut = true;
    } else {
        lookup.error =
            QCoreApplication::translate("CupsJob", "the print scheduler (%1) did not answer: %2")
                .arg(ServerName(), LastCupsError(QT_TRANSLATE_NOOP("CupsJob", "no answer")));
    }
    return lookup;
}

CupsJobResult SubmitPdfToCups(const QString& queue, const QString& title, QIODevice& document,
                              const CupsOptions& options)
{
    CupsJobResult result;
    Connection c;
    if (!c.http()) {
        result.error = c.error();
        return result;
    }
    const QByteArray name = queue.toUtf8();
    const QByteArray jobTitle = title.toUtf8();

    int count = 0;
    cups_option_t* list = nullptr;
    for (const auto& [key, value] : options)
        count = cupsAddOption(key.toUtf8().constData(), value.toUtf8().constData(), count, &list);
    const int job = cupsCreateJob(c.Call(), name.constData(), jobTitle.constData(), count, list);
    cupsFreeOptions(count, list);
    if (job <= 0) {
        result.error =
            c.Failure(QT_TRANSLATE_NOOP("CupsJob", "The printer did not accept the job."));
        return result;
    }

    auto fail = [&](const QString& error) {
        result.error = error;
        // On a connection of its own: this one may be in the middle of a request, or given up.
        Connection cancel;
        if (cancel.http())
            cupsCancelJob2(cancel.Call(), name.constData(), job, 0);
        return result;
    };
    if (cupsStartDocument(c.Call(), name.constData(), job, jobTitle.constData(), CUPS_FORMAT_PDF,
                          1) != HTTP_STATUS_CONTINUE)
        return fail(
            c.Failure(QT_TRANSLATE_NOOP("CupsJob", "The printer did not take the document.")));
    if (!document.seek(0))
        return fail(
            QCoreApplication::translate("CupsJob", "The document could not be read back: %1")
                .arg(document.errorString()));
    QByteArray chunk;
    while (!document.atEnd()) {
        if (PrintStopRequested())
            return fail(QCoreApplication::translate("CupsJob", "The print job was interrupted."));
        chunk = document.read(kChunk);
        if (chunk.isEmpty())
            return fail(
                QCoreApplication::translate("CupsJob", "The document could not be read back: %1")
                    .arg(document.errorString()));
        if (cupsWriteRequestData(c.Call(), chunk.constData(), size_t(chunk.size())) !=
            HTTP_STATUS_CONTINUE)
            return fail(c.Failure(
                QT_TRANSLATE_NOOP("CupsJob", "The document could not be sent to the printer.")));
    }
    if (cupsFinishDocument(c.Call(), name.constData()) > IPP_STATUS_OK_CONFLICTING)
        return fail(
            c.Failure(QT_TRANSLATE_NOOP("CupsJob", "The printer did not accept the document.")));
    result.jobId = job;
    QueueAnswer answer;
    result.queued = AskQueue(c, name, &answer) && answer.stopped;
    return result;
}

QByteArray CupsServerOfThisThread()
{
    const char* server = cupsServer();
    return QByteArray(server ? server : "");
}

void UseCupsServer(const QByteArray& server)
{
    if (!server.isEmpty() && CupsServerOfThisThread() != server)
        cupsSetServer(server.constData());
}

CupsJobState QueryCupsJob(int jobId, std::chrono::milliseconds timeout, const QByteArray& server)
{
    UseCupsServer(server);
    CupsJobState state;
    Connection c(timeout);
    if (!c.http()) {
        state.error = c.error();
        return state;
    }
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/jobs/%d", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    static const char* const wanted[] = {"job-state", "job-state-reasons",
                                         "job-printer-state-message"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(std::size(wanted)), nullptr, wanted);
    ipp_t* response = cupsDoRequest(c.Call(), request, "/");
    if (!response || cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
        state.error = c.Failure(
            QT_TRANSLATE_NOOP("CupsJob", "The print scheduler did not tell the job's state."));
        ippDelete(response);
        return state;
    }
    switch (ippGetInteger(ippFindAttribute(response, "job-state", IPP_TAG_ENUM), 0)) {
    case IPP_JSTATE_COMPLETED:
        state.stage = CupsJobState::Stage::Completed;
        break;
    case IPP_JSTATE_ABORTED:
        state.stage = CupsJobState::Stage::Aborted;
        break;
    case IPP_JSTATE_CANCELED:
        state.stage = CupsJobState::Stage::Cancelled;
        break;
    case IPP_JSTATE_PENDING:
    case IPP_JSTATE_HELD:
    case IPP_JSTATE_PROCESSING:
    case IPP_JSTATE_STOPPED:
        state.stage = CupsJobState::Stage::Waiting;
        break;
    default:
        state.error = QCoreApplication::translate(
            "CupsJob", "The print scheduler did not tell the job's state.");
        break;
    }
    QStringList reasons;
    // "processing-to-stop-point" tells of the way to the end, not why it ended.
    if (ipp_attribute_t* r = ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD))
        for (int i = 0; i < ippGetCount(r); ++i)
            if (const char* reason = ippGetString(r, i, nullptr);
                reason && qstrcmp(reason, "none") != 0 &&
                qstrcmp(reason, "processing-to-stop-point") != 0)
                reasons << QString::fromUtf8(reason);
    state.reason = reasons.join(QStringLiteral(", "));
    if (ipp_attribute_t* m = ippFindAttribute(response, "job-printer-state-message", IPP_TAG_TEXT))
        if (const char* message = ippGetString(m, 0, nullptr); message && *message)
            state.reason += (state.reason.isEmpty() ? QString() : QStringLiteral("; ")) +
                            QString::fromUtf8(message);
    ippDelete(response);
    return state;
}

CupsJobState FollowCupsJob(int jobId, const std::function<void(const CupsJobState&)>& seen)
{
    for (;;) {
        CupsJobState state = QueryCupsJob(jobId, CupsTimeout());
        if (seen)
            seen(state);
        if (state.ended() || state.stage == CupsJobState::Stage::Unknown)
            return state;
        for (auto slept = std::chrono::milliseconds(0); slept < kFollowStep;
             slept += std::chrono::milliseconds(50)) {
            if (PrintStopRequested()) {
                state.stage = CupsJobState::Stage::Unknown;
                state.error =
                    QCoreApplication::translate("CupsJob", "The print job was interrupted.");
                return state;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
}

QString CupsJobStateText(const CupsJobState& state)
{
    QString text;
    switch (state.stage) {
    case CupsJobState::Stage::Waiting:
        text = QCoreApplication::translate("CupsJob", "queued");
        break;
    case CupsJobState::Stage::Completed:
        text = QCoreApplication::translate("CupsJob", "completed");
        break;
    case CupsJobState::Stage::Aborted:
        text = QCoreApplication::translate("CupsJob", "aborted");
        break;
    case CupsJobState::Stage::Cancelled:
        text = QCoreApplication::translate("CupsJob", "cancelled");
        break;
    case CupsJobState::Stage::Unknown:
        return state.error;
    }
    return state.reason.isEmpty() ? text : text + QStringLiteral(": ") + state.reason;
}
