// SPDX-License-Identifier: GPL-3.0-or-later
#include "SaneTestConfig.h"

#include "ScanHelper.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>

namespace {

// Every value the test backend reads from test.conf. It keeps them in static variables that
// outlive sane_exit, so each configuration states all of them rather than inherit the last.
const char* const kDefaults[] = {
    "number_of_devices 1",
    "mode Gray",
    "depth 8",
    "hand-scanner false",
    "three-pass false",
    "three-pass-order RGB",
    "resolution_min 1.0",
    "resolution_max 1200.0",
    "resolution_quant 1.0",
    "resolution 25.0",
    "scan-source Flatbed",
    "test-picture \"Solid black\"",
    "invert-endianess false",
    "read-limit false",
    "read-limit-size 1",
    "read-delay false",
    "read-delay-duration 1000",
    "read-status-code \"Default\"",
    "ppl-loss 0",
    "fuzzy-parameters false",
    "non-blocking false",
    "select-fd false",
    "enable-test-options false",
    "geometry_min 0.0",
    "geometry_max 200.0",
    "geometry_quant 1.0",
    "tl_x 0.0",
    "tl_y 0.0",
    "br_x 80.0",
    "br_y 100.0",
};

void Write(const QString& path, const QStringList& lines)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

} // namespace

SaneTestConfig::SaneTestConfig(const QStringList& settings, Backends backends)
    : previous_(qgetenv("SANE_CONFIG_DIR")),
      hadPrevious_(qEnvironmentVariableIsSet("SANE_CONFIG_DIR"))
{
    // The scanner helper reads SANE's files when it starts, so whatever an earlier test started
    // goes first; the next helper starts with this configuration.
    ShutdownScanner();
    SetScanHelperProgram(QStringLiteral(VELMORA_SCAN_HELPER));
    const QString dir = testsupport::TestDir() + QStringLiteral("/sane-config");
    QDir().mkpath(dir);
    Write(dir + QStringLiteral("/dll.conf"),
          backends == TestBackend ? QStringList{QStringLiteral("test")} : QStringList{});
    QStringList conf;
    for (const char* line : kDefaults)
        conf << QString::fromLatin1(line);
    conf << settings; // later lines win
    Write(dir + QStringLiteral("/test.conf"), conf);
    // No trailing ':' — that would add the system's folders and its real backends.
    qputenv("SANE_CONFIG_DIR", dir.toLocal8Bit());
}

SaneTestConfig::~SaneTestConfig()
{
    ShutdownScanner();
    if (hadPrevious_)
        qputenv("SANE_CONFIG_DIR", previous_);
    else
        qunsetenv("SANE_CONFIG_DIR");
}

ScanRequest SmallScan(const QString& mode, int depth)
{
    ScanRequest request;
    request.device = QStringLiteral("test:0");
    request.mode = mode;
    request.depth = depth;
    request.resolution = 25;
    return request;
}

bool ScanReceiver::event(QEvent* e)
{
    if (e->type() == ScanCompleteEvent::EventType()) {
        values.push_back(static_cast<ScanCompleteEvent*>(e)->value());
        return true;
    }
    return QObject::event(e);
}
