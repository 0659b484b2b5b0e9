// velmora-poster: prints one picture as a poster from the command line, with the window's
// computation and defaults.
#include "PosterBatch.h"
#include "PosterRequest.h"
#include "PrintJob.h"

#include <QGuiApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <new>

namespace {

constexpr int kBadCommandLine = 2;
constexpr int kFailed = 1;
constexpr int kSignalStatusBase = 128;

volatile std::sig_atomic_t g_signal = 0;

// Ctrl+C or SIGTERM stops a job at its next page or write, so that its temporary file is removed
// and nothing half-made reaches the printer or the file's name. A second one ends the program
// at once.
void StopOnSignal(int signal)
{
    if (g_signal != 0)
        std::_Exit(kSignalStatusBase + signal);
    g_signal = signal;
    RequestPrintStop();
}

void CatchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = &StopOnSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    // A file size limit makes the write fail, which the job reports, instead of killing it.
    std::signal(SIGXFSZ, SIG_IGN);
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

    CatchStopSignals();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const ParsedRequest parsed = ParseRequest(QGuiApplication::arguments());
    if (!parsed.ok()) {
        err << "velmora-poster: " << parsed.error << Qt::endl;
        return kBadCommandLine;
    }
    switch (parsed.request.action) {
    case PosterRequest::Action::Help:
        out << parsed.help << Qt::flush;
        return 0;
    case PosterRequest::Action::Version:
        out << "velmora-poster " << VELMORA_VERSION << Qt::endl;
        return 0;
    case PosterRequest::Action::Info:
    case PosterRequest::Action::Print:
        break;
    }
    for (const QString& note : parsed.notes)
        err << "velmora-poster: note: " << note << Qt::endl;
    int status = kFailed;
    try {
        status = RunPosterRequest(parsed.request, out, err);
    } catch (const std::bad_alloc&) {
        // Whatever the run had begun is undone on the way here: a job's temporary file is gone.
        err << "velmora-poster: not enough memory" << Qt::endl;
        return kFailed;
    }
    // A report that could not be written is no report.
    out.flush();
    if (status == 0 &&
        (out.status() != QTextStream::Ok || std::fflush(stdout) != 0 || std::ferror(stdout))) {
        err << "velmora-poster: the report could not be written" << Qt::endl;
        status = kFailed;
    }
    if (g_signal != 0)
        return kSignalStatusBase + g_signal;
    return status;
}
