// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures the benchmarks share: a camera-sized JPEG file and a picture of that size in memory.
#pragma once

#include "GrafikRW.h"

namespace bench {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

// A noisy 6000 x 4000 JPEG at quality 90, made once per run; null when it could not be made.
const char* CameraJpeg();

// A picture of that size (24 bits, or 8 with a grey colour table) whose bytes all differ from
// their neighbours.
PictureRecord BigPicture(int bitCount = 24);

} // namespace bench
