// SPDX-License-Identifier: GPL-3.0-or-later
// A private SANE configuration for one test: SANE_CONFIG_DIR pointing at a folder in the test's
// own temporary folder, whose dll.conf lists only the virtual "test" backend (or nothing), so
// that no real scanner is ever probed and every machine sees the same devices.
#pragma once

#include "TwainIO2.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QObject>
#include <QStringList>
#include <QThread>

#include <vector>

class SaneTestConfig
{
public:
    enum Backends
    {
        TestBackend,
        NoBackend,
    };
    // settings: lines of test.conf that override the defaults below, e.g. "mode Color".
    explicit SaneTestConfig(const QStringList& settings = {}, Backends backends = TestBackend);
    ~SaneTestConfig();
    SaneTestConfig(const SaneTestConfig&) = delete;
    SaneTestConfig& operator=(const SaneTestConfig&) = delete;

private:
    QByteArray previous_;
    bool hadPrevious_;
};

// A small scan of the first virtual device: 25 dpi over the backend's default 80 x 100 mm,
// 78 x 98 pixels.
ScanRequest SmallScan(const QString& mode, int depth);

// Records the scan-complete events that reach it.
class ScanReceiver : public QObject
{
public:
    std::vector<uint32_t> values;
    bool event(QEvent* e) override;
};

// Handles events until done() or the time is up.
template <class Done> bool WaitUntil(Done done, int milliseconds = 20000)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}
