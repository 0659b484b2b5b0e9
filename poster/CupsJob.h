// Handing a finished document to a CUPS queue and reading CUPS's answer.
#pragma once

#include <QList>
#include <QPair>
#include <QString>

class QIODevice;

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
// stop request (PrintStopRequested) cancels it as well.
CupsJobResult SubmitPdfToCups(const QString& queue, const QString& title, QIODevice& document,
                              const CupsOptions& options);
