// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScanHelper.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace {

// The helper finds its socket here; above the standard streams, below anything it opens.
constexpr int kHelperFd = 3;
// How long a helper that closed its socket gets to be reaped before it is killed.
constexpr auto kEndingWait = std::chrono::milliseconds(200);

HelperProgram& Program()
{
    static HelperProgram program("velmora-scan-helper");
    return program;
}

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

} // namespace

void SetScanHelperProgram(const QString& path)
{
    Program().Set(path);
}

QString ScanHelperProgram()
{
    return Program().Path();
}

QString HelperSilentText(std::chrono::milliseconds timeout)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout).count();
    return QCoreApplication::translate(
               "ScanProblem", "The scanner did not answer for %1 seconds and was given up.")
        .arg(std::max<int64_t>(1, seconds));
}

QString HelperGarbledText()
{
    return QCoreApplication::translate("ScanProblem",
                                       "The scanner driver sent data this program can't read.");
}

std::unique_ptr<ScanHelper> ScanHelper::Start(Clock::time_point deadline, int wakeFd,
                                              QString* error)
{
    const QString program = ScanHelperProgram();
    if (!QFileInfo(program).isExecutable()) {
        SetError(error,
                 QCoreApplication::translate("ScanProblem", "The scanner helper %1 is missing.")
                     .arg(program));
        return nullptr;
    }
    std::unique_ptr<ScanHelper> helper(new ScanHelper);
    const int failed = helper->process_.Start(
        program, {QByteArrayLiteral("--fd"), QByteArray::number(kHelperFd)}, kHelperFd);
    if (failed != 0) {
        SetError(error, QCoreApplication::translate("ScanProblem",
                                                    "The scanner helper could not be started (%1).")
                            .arg(QString::fromLocal8Bit(std::strerror(failed))));
        return nullptr;
    }

    uint32_t type = 0;
    QByteArray payload;
    switch (helper->Receive(&type, &payload, deadline, wakeFd, error)) {
    case Got::Message:
        break;
    case Got::Woken:
        SetError(error, QString());
        return nullptr;
    case Got::TimedOut:
        SetError(error, QCoreApplication::translate("ScanProblem",
                                                    "The scanner library did not start in time."));
        return nullptr;
    case Got::Lost:
        return nullptr;
    }
    uint32_t version = 0;
    if (type == uint32_t(scanwire::Message::Failure)) {
        ScanProblem problem;
        SetError(error, scanwire::DecodeProblem(payload, &problem) ? ScanProblemText(problem)
                                                                   : HelperGarbledText());
        return nullptr;
    }
    if (type != uint32_t(scanwire::Message::Hello) || !scanwire::DecodeVersion(payload, &version)) {
        SetError(error, HelperGarbledText());
        return nullptr;
    }
    if (version != scanwire::kVersion) {
        SetError(error,
                 QCoreApplication::translate(
                     "ScanProblem", "The scanner helper %1 belongs to another version of Velmora.")
                     .arg(program));
        return nullptr;
    }
    return helper;
}

ScanHelper::~ScanHelper() = default;

bool ScanHelper::Send(scanwire::Message type, const QByteArray& payload)
{
    // The library's messages are small, and a helper that reads nothing while the socket's
    // buffer fills is not one to wait for.
    return process_.Send(scanwire::Encode(type, payload));
}

ScanHelper::Got ScanHelper::Receive(uint32_t* type, QByteArray* payload, Clock::time_point deadline,
                                    int wakeFd, QString* error)
{
    switch (process_.Receive(type, payload, deadline, wakeFd, nullptr)) {
    case HelperProcess::Got::Message:
        if (scanwire::FromHelper(*type))
            return Got::Message;
        [[fallthrough]];
    case HelperProcess::Got::Broken:
    case HelperProcess::Got::PollFailed:
        Kill();
        SetError(error, HelperGarbledText());
        return Got::Lost;
    case HelperProcess::Got::TimedOut:
        return Got::TimedOut;
    case HelperProcess::Got::Woken:
        return Got::Woken;
    case HelperProcess::Got::Closed:
        break;
    }
    SetError(error, EndText());
    return Got::Lost;
}

QString ScanHelper::LostText()
{
    process_.CloseSocket();
    return EndText();
}

QString ScanHelper::EndText()
{
    return process_.EndText(
        kEndingWait, QCoreApplication::translate("ScanProblem", "scanner driver"),
        QCoreApplication::translate("ScanProblem", "The scanner driver stopped unexpectedly."));
}

void ScanHelper::Kill()
{
    process_.Kill();
}

void ScanHelper::Quit(std::chrono::milliseconds grace)
{
    if (!process_.reaped() && Send(scanwire::Message::Quit))
        process_.Finish(grace);
    else
        process_.Kill();
}
