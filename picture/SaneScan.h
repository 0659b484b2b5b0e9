// Inside the scanner library: one open SANE device, and the frames it sends turned into a picture.
#pragma once

#include "TwainIO2.h"

#include <sane/sane.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// Plain-English text for a status that ended a scan, for the user to read.
QString SaneFailureText(SANE_Status status);

// The frame layouts a picture can be made from.
enum class FrameKind
{
    Gray,
    Rgb,
    Red,
    Green,
    Blue,
};

// One frame as it arrived: whole lines of bytesPerLine bytes, top line first; lines is -1 when
// the device did not know the height in advance.
struct RawFrame
{
    FrameKind kind = FrameKind::Gray;
    int depth = 8;
    int pixelsPerLine = 0;
    int bytesPerLine = 0;
    int lines = -1;
    std::vector<uint8_t> data;
};

// Makes the picture from a single-pass frame or from the red, green and blue frames of a
// three-pass scan: 24 bits for colour, 8 bits with a grey colour table for grey, 1 bit with a
// black and white colour table for line art. Null Bits and *error when it can't.
PictureRecord FramesToPicture(const std::vector<RawFrame>& frames, QString* error);

// How the reading of a scan is watched from outside: cancellation and progress.
class ScanControl
{
public:
    virtual ~ScanControl() = default;
    // Called after sane_start and before the first read of a frame; the handle may then be
    // cancelled from another thread. False when the scan was cancelled already.
    virtual bool BeginReading(SANE_Handle handle) = 0;
    virtual void EndReading() = 0;
    virtual bool Cancelled() const = 0;
    virtual void Progress(int64_t bytesDone, int64_t bytesExpected) = 0;
};

class SaneDevice
{
public:
    // Null with *error when the device can't be opened.
    static std::unique_ptr<SaneDevice> Open(const QString& name, QString* error);
    ~SaneDevice();
    SaneDevice(const SaneDevice&) = delete;
    SaneDevice& operator=(const SaneDevice&) = delete;

    // Sets the request's mode, depth, resolution, area and further options, in that order.
    bool Apply(const ScanRequest& request, QString* error);
    ScannerCapabilities Capabilities() const;

    // Runs the scan with the current settings: every frame up to the last, then the picture.
    PictureRecord Scan(ScanControl& control, QString* error);

private:
    explicit SaneDevice(SANE_Handle handle);
    // The active option of that name, or null; its number in *index.
    const SANE_Option_Descriptor* Find(const char* name, int* index) const;
    bool SetNumber(const char* name, double value, bool required, QString* error);
    bool SetText(const char* name, const QString& value, QString* error);
    std::optional<double> Number(const char* name) const;
    QString Text(const char* name) const;
    bool ReadFrame(ScanControl& control, int frameIndex, RawFrame* frame, bool* lastFrame,
                   QString* error);
    SANE_Status Start(ScanControl& control);

    SANE_Handle handle_;
};
