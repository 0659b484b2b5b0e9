// velmora-poster: prints one picture as a poster from the command line, with the window's
// computation and defaults.
#include "PosterBatch.h"
#include "PosterRequest.h"

#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>

namespace {

constexpr int kBadCommandLine = 2;

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
    return RunPosterRequest(parsed.request, out, err);
}
