// SPDX-License-Identifier: GPL-3.0-or-later
// Why a request to the scanner helper failed, as a code and its details (a setting's name, a
// value, SANE's own word for a status), so that the program says it in the user's language.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

enum class ScanProblemCode : uint32_t
{
    Cancelled = 1,
    Busy = 2,
    NoData = 3,
    Jammed = 4,
    NoPaper = 5,
    CoverOpen = 6,
    DeviceError = 7, // SANE's status word
    NoMemory = 8,
    AccessDenied = 9,
    LampNotReady = 10,
    TransportLocked = 11,
    OtherError = 12,      // SANE's status word
    NotFound = 13,        // the device's name
    NoSuchSetting = 14,   // the setting
    SettingRefused = 15,  // the setting, SANE's status word
    ValueNotOffered = 16, // the value, the setting
    Unreadable = 17,
    TooLarge = 18,
    NoScanner = 19,
    LibraryNotStarted = 20, // SANE's status word
};

// The largest code: what lies beyond was sent by a helper of another make.
inline constexpr uint32_t kLastScanProblemCode = uint32_t(ScanProblemCode::LibraryNotStarted);

struct ScanProblem
{
    ScanProblemCode code = ScanProblemCode::OtherError;
    QStringList details;
};

// How many details each code carries; a problem with any other number is not one the helper
// sends.
int ScanProblemDetails(ScanProblemCode code);

// The problem in words, in the program's language.
QString ScanProblemText(const ScanProblem& problem);
