// SPDX-License-Identifier: GPL-3.0-or-later
// What a scanner is, what it offers and what it is asked for: plain values, shared by the
// scanner library and the helper process that drives the devices.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

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
// its settings from one scan to the next until the scanner library is stopped.
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

// The frame layouts a picture can be made from.
enum class FrameKind
{
    Gray,
    Rgb,
    Red,
    Green,
    Blue,
};

// How one frame's lines are laid out, as the device announces it before sending them.
struct FrameLayout
{
    FrameKind kind = FrameKind::Gray;
    int depth = 8;
    int pixelsPerLine = 0;
    int bytesPerLine = 0;
    int lines = -1; // -1: the device does not know the height in advance
    bool lastFrame = true;
};
