#include "CupsJob.h"

#include "PrintJob.h"

#include <QIODevice>

#include <cups/cups.h>

namespace {

constexpr qint64 kChunk = 64 * 1024;

QString LastCupsError(const char* fallback)
{
    const char* text = cupsLastErrorString();
    return QString::fromUtf8(text && *text ? text : fallback);
}

// A stopped queue accepts the job and keeps it; the user should know it will not print yet.
bool QueueStopped(const QString& queue)
{
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.toUtf8().constData(), nullptr);
    if (!dest)
        return false;
    const char* state = cupsGetOption("printer-state", dest->num_options, dest->options);
    const bool stopped = state && QByteArray(state) == QByteArray::number(IPP_PSTATE_STOPPED);
    cupsFreeDests(1, dest);
    return stopped;
}

} // namespace

CupsJobResult SubmitPdfToCups(const QString& queue, const QString& title, QIODevice& document,
                              const CupsOptions& options)
{
    CupsJobResult result;
    const QByteArray name = queue.toUtf8();
    const QByteArray jobTitle = title.toUtf8();

    int count = 0;
    cups_option_t* list = nullptr;
    for (const auto& [key, value] : options)
        count = cupsAddOption(key.toUtf8().constData(), value.toUtf8().constData(), count, &list);
    const int job =
        cupsCreateJob(CUPS_HTTP_DEFAULT, name.constData(), jobTitle.constData(), count, list);
    cupsFreeOptions(count, list);
    if (job <= 0) {
        result.error = LastCupsError("The printer did not accept the job.");
        return result;
    }

    auto fail = [&](const QString& error) {
        result.error = error;
        cupsCancelJob2(CUPS_HTTP_DEFAULT, name.constData(), job, 0);
        return result;
    };
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, name.constData(), job, jobTitle.constData(),
                          CUPS_FORMAT_PDF, 1) != HTTP_STATUS_CONTINUE)
        return fail(LastCupsError("The printer did not take the document."));
    if (!document.seek(0))
        return fail(
            QStringLiteral("The document could not be read back: %1").arg(document.errorString()));
    QByteArray chunk;
    while (!document.atEnd()) {
        if (PrintStopRequested()) {
            cupsFinishDocument(CUPS_HTTP_DEFAULT, name.constData());
            return fail(QStringLiteral("The print job was interrupted."));
        }
        chunk = document.read(kChunk);
        if (chunk.isEmpty()) {
            cupsFinishDocument(CUPS_HTTP_DEFAULT, name.constData());
            return fail(QStringLiteral("The document could not be read back: %1")
                            .arg(document.errorString()));
        }
        if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, chunk.constData(), size_t(chunk.size())) !=
            HTTP_STATUS_CONTINUE) {
            cupsFinishDocument(CUPS_HTTP_DEFAULT, name.constData());
            return fail(LastCupsError("The document could not be sent to the printer."));
        }
    }
    if (cupsFinishDocument(CUPS_HTTP_DEFAULT, name.constData()) > IPP_STATUS_OK_CONFLICTING)
        return fail(LastCupsError("The printer did not accept the document."));
    result.jobId = job;
    result.queued = QueueStopped(queue);
    return result;
}
