// SPDX-License-Identifier: GPL-3.0-or-later
// What the scanner library says for each failure SANE's test backend can be told to give on
// reading ("read-return-value").
#pragma once

#include <cstring>

namespace testsupport {

struct SaneFailure
{
    const char* status;
    const char* text;
};

inline constexpr SaneFailure kSaneFailures[] = {
    {"SANE_STATUS_UNSUPPORTED", "The scanner reported an error: Operation not supported."},
    {"SANE_STATUS_CANCELLED", "The scan was cancelled."},
    {"SANE_STATUS_DEVICE_BUSY", "The scanner is busy."},
    {"SANE_STATUS_INVAL", "The scanner reported an error: Invalid argument."},
    {"SANE_STATUS_EOF", "The scanner sent no picture data."},
    {"SANE_STATUS_JAMMED", "The scanner is jammed."},
    {"SANE_STATUS_NO_DOCS", "There is no paper in the scanner."},
    {"SANE_STATUS_COVER_OPEN", "The scanner's cover is open."},
    {"SANE_STATUS_IO_ERROR", "The scanner stopped with an error: Error during device I/O."},
    {"SANE_STATUS_NO_MEM", "There is not enough memory to scan."},
    {"SANE_STATUS_ACCESS_DENIED", "Access to the scanner was denied."},
};

// The text for one of the statuses above; empty for any other.
inline const char* SaneFailureText(const char* status)
{
    for (const SaneFailure& f : kSaneFailures)
        if (std::strcmp(f.status, status) == 0)
            return f.text;
    return "";
}

} // namespace testsupport
