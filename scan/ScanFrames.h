// SPDX-License-Identifier: GPL-3.0-or-later
// Inside the scanner library: the frames of one scan as they arrived from the helper, and the
// picture made from them.
#pragma once

#include "GrafikRW.h"
#include "ScanTypes.h"

#include <QString>

#include <cstdint>
#include <vector>

// One frame: its layout as the device announced it, and its whole lines of bytesPerLine bytes,
// top line first.
struct RawFrame : FrameLayout
{
    std::vector<uint8_t> data;
};

// Makes the picture from a single-pass frame or from the red, green and blue frames of a
// three-pass scan: 24 bits for colour, 8 bits with a grey colour table for grey, 1 bit with a
// black and white colour table for line art. Null Bits and *error when it can't.
PictureRecord FramesToPicture(const std::vector<RawFrame>& frames, QString* error);
