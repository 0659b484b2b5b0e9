// SPDX-License-Identifier: GPL-3.0-or-later
// The scanner library: scanners reached through SANE, and the scanned picture as a PictureRecord.
//
// The scanner drivers run in a helper process of their own (velmora-scan-helper), never in
// the program: a driver that hangs, crashes or sends nonsense costs a scan, which ends with a
// message, and the helper, which is killed; the next call starts a fresh one. Every wait for
// the helper has a deadline: no word from it for ScannerTimeout() ends the call.
//
// A scan runs on a worker thread of its own, which receives the frames from the helper and
// makes the picture. When the scan has ended, with a picture or without one, a
// ScanCompleteEvent carrying the scan's value is posted to the receiver given to StartScan;
// GetScanedDib turns that value into the picture, once. Only one scan runs at a time, and while
// it runs the other calls that need the scanners (listing, querying) are refused, because SANE
// does not promise that a backend can be entered twice at once.
//
// The helper is started at the first call that needs it and stopped by ShutdownScanner, which
// is also registered to run when the QCoreApplication goes away and at program exit.
#pragma once

#include "GrafikRW.h"
#include "ScanTypes.h"

#include <QEvent>
#include <QList>
#include <QString>

#include <chrono>
#include <cstdint>

class QObject;

// How far the scan of one value has come.
struct ScanProgress
{
    bool running = false; // false once the scan has ended (or for a value never started)
    int64_t bytesDone = 0;
    int64_t bytesExpected = -1; // -1: the length is not known (hand-held scanners)
    bool receiving = false;     // the scanner has begun to send the picture
};

// The event by which a finished scan is reported, after the message 0x0401 of the library
// this one stands in for. It arrives on the receiver's thread like any other event.
class ScanCompleteEvent : public QEvent
{
public:
    explicit ScanCompleteEvent(uint32_t value);
    static QEvent::Type EventType();
    uint32_t value() const { return value_; }

private:
    uint32_t value_;
};

// The devices SANE finds. With none, the list is empty and *error is "No scanner found"; while a
// scan runs, empty with "A scan is already running.".
QList<ScannerDevice> ListScanners(QString* error);

// Opens the device and reads the settings it offers. False with *error when it can't be opened.
bool QueryScanner(const QString& device, ScannerCapabilities* capabilities, QString* error);
// The same after the request's settings have been made, for what a device offers in a mode.
bool QueryScanner(const ScanRequest& settings, ScannerCapabilities* capabilities, QString* error);

// How long the scanner may say nothing before a call is given up: long enough for a lamp to
// warm up or a network to be searched. Two minutes unless set.
std::chrono::milliseconds ScannerTimeout();
void SetScannerTimeout(std::chrono::milliseconds timeout);

// The choice made in the select dialog, kept for the later scans of this run.
ScanRequest ScannerChoice();
void SetScannerChoice(const ScanRequest& choice);

// Starts a scan on the worker thread and returns its value (never 0). When the scan has ended, a
// ScanCompleteEvent with that value is posted to the receiver; a receiver destroyed before then
// gets nothing and the picture is released. The receiver, if any, must belong to the calling
// thread. Returns 0 with *error when the scan can't start ("A scan is already running.").
// Failures of the scan itself arrive later: the event comes, GetScanedDib gives a null Bits and
// ScanErrorText says why.
uint32_t StartScan(const ScanRequest& request, QObject* receiver, QString* error);

ScanProgress ScanProgressOf(uint32_t value);

// Asks the scan of that value to stop; it ends within a second with "The scan was cancelled.",
// the helper killed if its driver does not stop by then.
void CancelScan(uint32_t value);

// Why the scan of that value gave no picture; empty for a picture, a running scan or an unknown
// value. The texts of the last few scans are kept.
QString ScanErrorText(uint32_t value);

// The scanned picture of that value, now owned by the caller (release it with deldib). Null Bits
// for a failed, cancelled or unknown value, and for one already taken.
PictureRecord GetScanedDib(uint32_t value);

// Scans and waits, for the command line. Null Bits and *error when no picture came.
PictureRecord ScanToPicture(const ScanRequest& request, QString* error);

// For a program told by a signal to stop: the running scan ends as if cancelled, a listing or
// a query ends at once, within a second either way, and none starts after it. Safe in a signal
// handler; not undone.
void StopScanningFromSignal();

// Cancels and waits for a running scan, releases the pictures nobody took and ends the helper.
// The next call that needs a scanner starts another, which reads SANE's configuration afresh.
void ShutdownScanner();
