// SPDX-License-Identifier: GPL-3.0-or-later
// Inside the scanner helper: one open SANE device, its settings and the frames of one scan.
#pragma once

#include "ScanProblem.h"
#include "ScanTypes.h"

#include <sane/sane.h>

#include <cstdint>
#include <memory>
#include <optional>

// What a status that ended a request means, for the program to word.
ScanProblem SaneProblem(SANE_Status status);

// How the reading of a scan is watched and where its frames go.
class ScanControl
{
public:
    virtual ~ScanControl() = default;
    // Called after sane_start and before the first read of a frame; the handle may then be
    // cancelled from another thread. False when the scan was cancelled already.
    virtual bool BeginReading(SANE_Handle handle) = 0;
    virtual void EndReading() = 0;
    virtual bool Cancelled() const = 0;
    // The device is still getting ready; called a few times a second while it is.
    virtual void StillStarting() = 0;
    // A frame's lines, top line first, as they arrive: at most the lines announced when the
    // length is known.
    virtual void FrameBegins(const FrameLayout& layout, int frameIndex) = 0;
    virtual void FrameData(const uint8_t* data, size_t size) = 0;
    virtual void FrameEnds() = 0;
    // The outcome, told before the device's scan cycle is ended, which may take its time.
    virtual void Outcome(bool complete, const ScanProblem& error) = 0;
};

class SaneDevice
{
public:
    // Null with *error when the device can't be opened.
    static std::unique_ptr<SaneDevice> Open(const QString& name, ScanProblem* error);
    ~SaneDevice();
    SaneDevice(const SaneDevice&) = delete;
    SaneDevice& operator=(const SaneDevice&) = delete;

    // Sets the request's mode, depth, resolution, area and further options, in that order.
    bool Apply(const ScanRequest& request, ScanProblem* error);
    ScannerCapabilities Capabilities() const;

    // Runs the scan with the current settings: every frame up to the last, then the outcome.
    void Scan(ScanControl& control);

private:
    explicit SaneDevice(SANE_Handle handle);
    // The active option of that name, or null; its number in *index.
    const SANE_Option_Descriptor* Find(const char* name, int* index) const;
    bool SetNumber(const char* name, double value, bool required, ScanProblem* error);
    bool SetText(const char* name, const QString& value, ScanProblem* error);
    std::optional<double> Number(const char* name) const;
    QString Text(const char* name) const;
    bool ReadFrames(ScanControl& control, ScanProblem* error);
    bool ReadFrame(ScanControl& control, int frameIndex, bool* lastFrame, ScanProblem* error);
    SANE_Status Start(ScanControl& control);

    SANE_Handle handle_;
};
