// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-poster: prints one picture as a poster from the command line, with the window's
// computation and defaults.
#include "FileName.h"
#include "PosterBatch.h"
#include "PosterRequest.h"
#include "PrintJob.h"
#include "ProgramInfo.h"
#include "ReplacingFile.h"
#include "Translation.h"
#include "TwainIO2.h"

#include <QGuiApplication>
#include <QTextStream>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <new>
#include <string>
#include <system_error>
#include <thread>

namespace {

constexpr int kBadCommandLine = 2;
constexpr int kFailed = 1;
constexpr int kSignalStatusBase = 128;
// After the first signal the run has this long to end by its own checks (its temporary files
// removed, a CUPS job cancelled); a step that can't be cut (a decoder, an encoder, a call into
// Qt's printing) is then left, its temporary files removed, by ending the process.
constexpr auto kStopGrace = std::chrono::milliseconds(600);

volatile std::sig_atomic_t g_signal = 0;
int g_stopPipe[2] = {-1, -1};
std::atomic<bool> g_runEnded{false};
std::atomic<bool> g_stopLineWritten{false};

// The one line a stopped run ends with, written once whoever gets there first.
void WriteStopLine(int signal)
{
    if (g_stopLineWritten.exchange(true))
        return;
    const char* name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
    const std::string line = std::string("velmora-poster: stopped by ") + name + '\n';
    [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, line.data(), line.size());
}

// Ctrl+C, SIGTERM or SIGHUP stops the run: a scan, a printer look-up, a CUPS job, a save or a
// print ends at its next check, so that its temporary file is removed and nothing half-made
// reaches the printer or the file's name. A second one ends the program at once.
void StopOnSignal(int signal)
{
    if (g_signal != 0)
        std::_Exit(kSignalStatusBase + signal);
    g_signal = signal;
    RequestPrintStop();
    StopScanningFromSignal();
    const char one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(g_stopPipe[1], &one, 1);
}

// Waits for the first signal, then for the run to end within the grace.
void WatchForStop()
{
    char signalled = 0;
    while (::read(g_stopPipe[0], &signalled, 1) < 0 && errno == EINTR) {
    }
    const auto deadline = std::chrono::steady_clock::now() + kStopGrace;
    while (std::chrono::steady_clock::now() < deadline) {
        if (g_runEnded)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (g_runEnded)
        return;
    RemoveUnfinishedFiles();
    WriteStopLine(g_signal);
    std::_Exit(kSignalStatusBase + g_signal);
}

// False when the watching thread cannot be started, which only too little memory causes.
bool CatchStopSignals()
{
    if (::pipe2(g_stopPipe, O_CLOEXEC) == 0) {
        try {
            std::thread(WatchForStop).detach();
        } catch (const std::system_error&) {
            return false;
        }
    }
    struct sigaction action = {};
    action.sa_handler = &StopOnSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    // A file size limit makes the write fail, which the job reports, instead of killing it.
    std::signal(SIGXFSZ, SIG_IGN);
    return true;
}

// The command line as bytes: a file name that is not UTF-8 is kept as it is (FileName.h).
QStringList ArgumentsOf(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << FileNameFromBytes(argv[i]);
    return arguments;
}

// Qt's own chatter (missing runtime folders, font hints) would break the one-line error
// contract on stderr; only its fatal messages are let through.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "velmora-poster: %s\n", qPrintable(message));
}

} // namespace

int main(int argc, char** argv)
{
    // Nothing is drawn on a screen; the printer needs a GUI application, not a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietMessages);
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("velmora-poster"));
    QGuiApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    InstallTranslations(MessagesLocale());

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!CatchStopSignals()) {
        err << "velmora-poster: " << QCoreApplication::translate("PosterMain", "not enough memory")
            << Qt::endl;
        return kFailed;
    }
    const ParsedRequest parsed = ParseRequest(ArgumentsOf(argc, argv));
    if (!parsed.ok()) {
        err << "velmora-poster: " << parsed.error << Qt::endl;
        return kBadCommandLine;
    }
    switch (parsed.request.action) {
    case PosterRequest::Action::Help:
        out << parsed.help << Qt::flush;
        return 0;
    case PosterRequest::Action::Version:
        out << "velmora-poster " << VELMORA_VERSION << '\n' << kLicenceNotice << Qt::flush;
        return 0;
    case PosterRequest::Action::Info:
    case PosterRequest::Action::Print:
        break;
    }
    for (const QString& note : parsed.notes)
        err << "velmora-poster: " << QCoreApplication::translate("PosterMain", "note: %1").arg(note)
            << Qt::endl;
    int status = kFailed;
    try {
        status = RunPosterRequest(parsed.request, out, err);
    } catch (const std::bad_alloc&) {
        // Whatever the run had begun is undone on the way here: a job's temporary file is gone.
        if (g_signal == 0)
            err << "velmora-poster: "
                << QCoreApplication::translate("PosterMain", "not enough memory") << Qt::endl;
        status = kFailed;
    }
    if (g_signal != 0) {
        g_runEnded = true;
        WriteStopLine(g_signal);
        return kSignalStatusBase + g_signal;
    }
    // A report that could not be written is no report.
    out.flush();
    if (status == 0 &&
        (out.status() != QTextStream::Ok || std::fflush(stdout) != 0 || std::ferror(stdout))) {
        err << "velmora-poster: "
            << QCoreApplication::translate("PosterMain", "the report could not be written")
            << Qt::endl;
        status = kFailed;
    }
    g_runEnded = true;
    return status;
}
