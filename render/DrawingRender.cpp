// SPDX-License-Identifier: GPL-3.0-or-later
#include "DrawingRender.h"

#include "DibFileFormats.h"
#include "HelperProcess.h"
#include "RenderProtocol.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>

using namespace renderwire;

namespace {

using Clock = HelperProcess::Clock;

// How long a helper that has answered gets to end before it is killed.
constexpr auto kEndingWait = std::chrono::milliseconds(500);

HelperProgram& Program()
{
    static HelperProgram program("velmora-render-helper");
    return program;
}

std::atomic<int64_t> g_timeoutMs{30000};

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

QString SystemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString GarbledText()
{
    return QCoreApplication::translate("DrawingRender",
                                       "The renderer sent data this program can't read.");
}

// The helper's failure in the user's language, each placeholder filled in one pass, so that a
// detail holding "%2" stays as it is.
QString FailureText(const QString& text, const QStringList& details)
{
    const QString words = QCoreApplication::translate("RenderFailure", text.toUtf8().constData());
    QString filled;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const int n = i + 1 < words.size() ? words[i + 1].digitValue() : -1;
        if (words[i] == QLatin1Char('%') && n >= 1 && n <= details.size()) {
            filled += details[n - 1];
            ++i;
        } else {
            filled += words[i];
        }
    }
    return filled;
}

QString TimeoutText(std::chrono::milliseconds timeout)
{
    const auto seconds =
        std::max<int64_t>(1, std::chrono::ceil<std::chrono::seconds>(timeout).count());
    return QCoreApplication::translate("DrawingRender",
                                       "The drawing took longer than %1 %2 and was given up.")
        .arg(seconds)
        .arg(seconds == 1 ? QCoreApplication::translate("DrawingRender", "second")
                          : QCoreApplication::translate("DrawingRender", "seconds"));
}

// The bytes in a memory file sealed against any change, which the helper maps: no message has
// to carry a document of hundreds of megabytes, and the helper can trust its size. -1 with
// *error when it can't be made.
int SealedMemoryFile(const QByteArray& bytes, QString* error)
{
    const int fd = memfd_create("velmora-drawing", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) {
        SetError(error,
                 QCoreApplication::translate(
                     "DrawingRender", "The drawing could not be handed to the renderer (%1).")
                     .arg(SystemText(errno)));
        return -1;
    }
    const char* p = bytes.constData();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int failure = n < 0 ? errno : ENOSPC;
            ::close(fd);
            SetError(error,
                     QCoreApplication::translate(
                         "DrawingRender", "The drawing could not be handed to the renderer (%1).")
                         .arg(SystemText(failure)));
            return -1;
        }
        p += n;
        left -= size_t(n);
    }
    if (::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        const int failure = errno;
        ::close(fd);
        SetError(error,
                 QCoreApplication::translate(
                     "DrawingRender", "The drawing could not be handed to the renderer (%1).")
                     .arg(SystemText(failure)));
        return -1;
    }
    return fd;
}

// What the answer handler makes of a message.
enum class Step
{
    More,    // wait for the next
    Done,    // the answer is complete
    Failed,  // *error says why, for the user
    Garbled, // not what the helper can send at this point
};
using AnswerHandler = std::function<Step(uint32_t type, const QByteArray& payload, QString* error)>;

// One helper process for one request: started with its socket and the document, killed by its
// process id (and its group) when it is not done by the deadline.
class HelperRun
{
public:
    bool Start(int documentFd, QString* error)
    {
        const QString program = RenderHelperProgram();
        if (!QFileInfo(program).isExecutable()) {
            SetError(error, QCoreApplication::translate("DrawingRender",
                                                        "The drawing renderer %1 is missing.")
                                .arg(program));
            return false;
        }
        const int failed = process_.Start(program, {}, kSocketFd, {{documentFd, kDocumentFd}});
        if (failed != 0) {
            SetError(error, QCoreApplication::translate(
                                "DrawingRender", "The drawing renderer could not be started (%1).")
                                .arg(SystemText(failed)));
            return false;
        }
        return true;
    }

    bool Send(const QByteArray& bytes) { return process_.Send(bytes); }

    // Hands each message to the handler until it says Done or Failed, or the deadline passes.
    bool Receive(const AnswerHandler& handler, Clock::time_point deadline, QString* error)
    {
        for (;;) {
            uint32_t type = 0;
            QByteArray payload;
            int pollError = 0;
            switch (process_.Receive(&type, &payload, deadline, -1, &pollError)) {
            case HelperProcess::Got::Message:
                switch (handler(type, payload, error)) {
                case Step::More:
                    continue;
                case Step::Done:
                    return true;
                case Step::Failed:
                    return false;
                case Step::Garbled:
                    break;
                }
                [[fallthrough]];
            case HelperProcess::Got::Broken:
                process_.Kill();
                SetError(error, GarbledText());
                return false;
            case HelperProcess::Got::PollFailed:
                process_.Kill();
                SetError(error, QCoreApplication::translate("DrawingRender",
                                                            "The renderer could not be heard (%1).")
                                    .arg(SystemText(pollError)));
                return false;
            case HelperProcess::Got::TimedOut:
            case HelperProcess::Got::Woken:
                process_.Kill();
                SetError(error, TimeoutText(RenderTimeout()));
                return false;
            case HelperProcess::Got::Closed:
                SetError(error,
                         process_.EndText(
                             std::min<Clock::duration>(kEndingWait, deadline - Clock::now()),
                             QCoreApplication::translate("DrawingRender", "renderer"),
                             QCoreApplication::translate(
                                 "DrawingRender", "The renderer stopped unexpectedly (it ended "
                                                  "without an answer).")));
                return false;
            }
        }
    }

    // Lets a helper that has answered end on its own, briefly, then kills it.
    void Finish() { process_.Finish(kEndingWait); }

private:
    HelperProcess process_{kMaxPayload};
};

// Starts a helper with the document, checks its greeting, sends the request and hands the
// answer to the handler; the helper is gone when this returns.
bool RunHelper(const QByteArray& document, const QByteArray& request, const AnswerHandler& handler,
               QString* error)
{
    const auto deadline = Clock::now() + RenderTimeout();
    const int documentFd = SealedMemoryFile(document, error);
    if (documentFd < 0)
        return false;
    HelperRun helper;
    const bool started = helper.Start(documentFd, error);
    ::close(documentFd);
    if (!started)
        return false;
    const AnswerHandler greeting = [](uint32_t type, const QByteArray& payload, QString* error) {
        uint32_t version = 0;
        if (type != uint32_t(Message::Hello) || !Decode(payload, &version))
            return Step::Garbled;
        if (version != kVersion) {
            SetError(error, QStringLiteral(
                                "The drawing renderer %1 belongs to another version of Velmora.")
                                .arg(RenderHelperProgram()));
            return Step::Failed;
        }
        return Step::Done;
    };
    if (!helper.Receive(greeting, deadline, error))
        return false;
    if (!helper.Send(request)) {
        SetError(error,
                 QCoreApplication::translate(
                     "DrawingRender", "The renderer stopped unexpectedly (it took no request)."));
        return false;
    }
    const AnswerHandler answer = [&handler](uint32_t type, const QByteArray& payload,
                                            QString* error) {
        if (type == uint32_t(Message::Failure)) {
            QString text;
            QStringList details;
            if (!renderwire::DecodeFailure(payload, &text, &details))
                return Step::Garbled;
            SetError(error, FailureText(text, details));
            return Step::Failed;
        }
        return handler(type, payload, error);
    };
    if (!helper.Receive(answer, deadline, error))
        return false;
    helper.Finish();
    return true;
}

QString TooLargeText(int width, int height)
{
    return QCoreApplication::translate(
               "DrawingRender", "A rendering of %1 x %2 pixels is larger than a picture may be.")
        .arg(width)
        .arg(height);
}

bool CheckDocument(const QByteArray& document, QString* error)
{
    if (document.isEmpty()) {
        SetError(error, QCoreApplication::translate("DrawingRender", "The file is empty."));
        return false;
    }
    if (document.size() > kMaxDrawingBytes) {
        SetError(error,
                 QCoreApplication::translate("DrawingRender", "The file is larger than %1 MB.")
                     .arg(kMaxDrawingBytes >> 20));
        return false;
    }
    return true;
}

} // namespace

void SetRenderTimeout(std::chrono::milliseconds timeout)
{
    g_timeoutMs = std::max<int64_t>(1, timeout.count());
}

std::chrono::milliseconds RenderTimeout()
{
    return std::chrono::milliseconds(g_timeoutMs.load());
}

void SetRenderHelperProgram(const QString& path)
{
    Program().Set(path);
}

QString RenderHelperProgram()
{
    return Program().Path();
}

bool SvgToPdf(const QByteArray& svg, QByteArray* pdf, QString* error)
{
    if (!CheckDocument(svg, error))
        return false;
    SvgRequest request;
    request.memoryLimit = MemoryForPictures();
    request.maxPdfBytes = uint64_t(kMaxDrawingBytes);
    QByteArray out;
    uint64_t expected = 0;
    bool begun = false;
    const AnswerHandler handler = [&](uint32_t type, const QByteArray& payload, QString* error) {
        if (type == uint32_t(Message::PdfBegin) && !begun) {
            if (!Decode(payload, &expected) || expected > request.maxPdfBytes)
                return Step::Garbled;
            try {
                out.reserve(qsizetype(expected));
            } catch (const std::bad_alloc&) {
                SetError(error,
                         QCoreApplication::translate(
                             "DrawingRender", "There is not enough memory for the drawing."));
                return Step::Failed;
            }
            begun = true;
            return expected == 0 ? Step::Garbled : Step::More;
        }
        if (type == uint32_t(Message::Data) && begun &&
            uint64_t(out.size()) + uint64_t(payload.size()) <= expected) {
            out.append(payload);
            return Step::More;
        }
        if (type == uint32_t(Message::Done) && begun && uint64_t(out.size()) == expected)
            return Step::Done;
        return Step::Garbled;
    };
    if (!RunHelper(svg, Encode(Message::SvgToPdf, request), handler, error))
        return false;
    if (pdf)
        *pdf = std::move(out);
    return true;
}

bool RenderDrawing(const QByteArray& pdf, int pageIndex, int widthPx, int heightPx, QRect part,
                   PictureRecord* picture, QString* error)
{
    if (!CheckDocument(pdf, error))
        return false;
    if (widthPx <= 0 || heightPx <= 0 || part.isEmpty() ||
        !QRect(0, 0, widthPx, heightPx).contains(part)) {
        SetError(error, QCoreApplication::translate("DrawingRender",
                                                    "The part to render lies outside the page."));
        return false;
    }
    if (int64_t(part.width()) * part.height() > kMaxPicturePixels) {
        SetError(error, TooLargeText(part.width(), part.height()));
        return false;
    }
    const uint64_t needed = RecordBytes(PictureSize{part.width(), part.height()}, 24);
    const uint64_t available = MemoryForPictures();
    PictureRecord record;
    if (needed != 0 && needed <= available)
        record = newdib(part.width(), part.height(), 24, nullptr, 0);
    if (!record.Bits) {
        SetError(error,
                 QCoreApplication::translate(
                     "DrawingRender", "A rendering of %1 x %2 pixels needs %3 MB of memory, and "
                                      "%4 MB are available.")
                     .arg(part.width())
                     .arg(part.height())
                     .arg((needed + (1 << 20) - 1) >> 20)
                     .arg(available >> 20));
        return false;
    }

    RenderRequest request;
    request.pageIndex = pageIndex;
    request.widthPx = widthPx;
    request.heightPx = heightPx;
    request.x = part.x();
    request.y = part.y();
    request.w = part.width();
    request.h = part.height();
    request.maxPixels = kMaxPicturePixels;
    request.memoryLimit = MemoryForPictures();

    // The rows arrive top first, the record keeps them bottom-up.
    const uint64_t rowBytes = uint64_t(part.width()) * 3;
    const uint64_t total = rowBytes * uint64_t(part.height());
    uint64_t received = 0;
    bool begun = false;
    const AnswerHandler handler = [&](uint32_t type, const QByteArray& payload, QString*) {
        if (type == uint32_t(Message::ImageBegin) && !begun) {
            ImageSize size;
            if (!Decode(payload, &size) || size.width != part.width() ||
                size.height != part.height())
                return Step::Garbled;
            begun = true;
            return Step::More;
        }
        if (type == uint32_t(Message::Data) && begun &&
            received + uint64_t(payload.size()) <= total) {
            const char* p = payload.constData();
            uint64_t left = uint64_t(payload.size());
            while (left > 0) {
                const uint64_t row = received / rowBytes;
                const uint64_t column = received % rowBytes;
                const uint64_t n = std::min(left, rowBytes - column);
                uint8_t* target = record.Bits +
                                  int64_t(part.height() - 1 - int64_t(row)) * record.BytesPerLine +
                                  column;
                std::memcpy(target, p, n);
                p += n;
                left -= n;
                received += n;
            }
            return Step::More;
        }
        if (type == uint32_t(Message::Done) && begun && received == total)
            return Step::Done;
        return Step::Garbled;
    };
    if (!RunHelper(pdf, Encode(Message::Render, request), handler, error)) {
        deldib(record);
        return false;
    }
    if (picture)
        *picture = record;
    else
        deldib(record);
    return true;
}
