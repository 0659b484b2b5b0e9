// The scanner library: scanners reached through SANE, and the scanned picture as a PictureRecord.
//
// A scan runs on a worker thread of its own. When it has ended, with a picture or without one,
// a ScanCompleteEvent carrying the scan's value is posted to the receiver given to StartScan;
// GetScanedDib turns that value into the picture, once. Only one scan runs at a time, and while
// it runs the other calls that need SANE (listing, querying) are refused, because SANE does not
// promise that a backend can be entered from two threads at once (sane_cancel excepted).
//
// SANE is started at the first call that needs it and stopped by ShutdownScanner, which is also
// registered to run when the QCoreApplication goes away and at program exit.
#pragma once

#include "GrafikRW.h"

#include <QEvent>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <utility>

class QObject;

// One device as SANE lists it.
struct ScannerDevice
{
    QString name; // what SANE opens, e.g. "test:0" or "epson2:libusb:001:004"
    QString vendor;
    QString model;
    QString type; // "flatbed scanner", "virtual device", ...
};

// A scan area by its top-left and bottom-right corners, from the top-left corner of the glass,
// in the device's own unit (ScannerCapabilities::areaInPixels says millimetres or pixels).
struct ScanArea
{
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};

// What to scan with. Empty or zero fields leave the device's setting as it is; a device keeps
// its settings from one scan to the next until SANE is stopped.
struct ScanRequest
{
    QString device;               // empty: the first device found
    QString mode;                 // as the device names it: "Color", "Gray", "Lineart", ...
    int depth = 0;                // bits per sample (1, 8, 16)
    double resolution = 0;        // dots per inch
    std::optional<ScanArea> area; // ignored by devices without tl-x, tl-y, br-x and br-y
    // Further device options by their SANE names, values as text ("yes", "12", "Flatbed"),
    // set after the ones above.
    QList<std::pair<QString, QString>> deviceOptions;
};

// The settings one device offers, as the select dialog shows them.
struct ScannerCapabilities
{
    QStringList modes; // empty: the device has no mode setting
    QString mode;
    QList<int> depths; // empty: no depth setting
    int depth = 0;
    bool hasResolution = false;
    QList<double> resolutions; // the device's list of resolutions; empty when it takes a range
    double resolutionMin = 0;
    double resolutionMax = 0;
    double resolutionStep = 0; // 0: any value in the range
    double resolution = 0;
    bool hasArea = false;
    bool areaInPixels = false; // false: millimetres
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    ScanArea area;
};

// How far the scan of one value has come.
struct ScanProgress
{
    bool running = false; // false once the scan has ended (or for a value never started)
    int64_t bytesDone = 0;
    int64_t bytesExpected = -1; // -1: the length is not known (hand-held scanners)
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

// Asks the scan of that value to stop; it ends promptly with "The scan was cancelled.".
void CancelScan(uint32_t value);

// Why the scan of that value gave no picture; empty for a picture, a running scan or an unknown
// value. The texts of the last few scans are kept.
QString ScanErrorText(uint32_t value);

// The scanned picture of that value, now owned by the caller (release it with deldib). Null Bits
// for a failed, cancelled or unknown value, and for one already taken.
PictureRecord GetScanedDib(uint32_t value);

// Scans and waits, for the command line. Null Bits and *error when no picture came.
PictureRecord ScanToPicture(const ScanRequest& request, QString* error);

// Cancels and waits for a running scan, releases the pictures nobody took and stops SANE. The
// next call that needs SANE starts it again, reading its configuration afresh.
void ShutdownScanner();
