// SPDX-License-Identifier: GPL-3.0-or-later
// The orientation a camera or phone records beside the pixels (EXIF tag 274): how the stored
// picture must be turned or mirrored to show upright. Read from a JPEG's APP1 segment, a PNG's
// eXIf chunk and a WebP's EXIF chunk; a TIFF's own tag is applied by its reader.
#pragma once

#include "PictureEdit.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

// The tag's value, 1 to 8, or 0 when the file has none, or one that is damaged or out of range.
int PictureOrientation(const uint8_t* data, size_t size);
int PictureOrientationOfFile(const QString& path);

// The lossless steps, in order, that turn a picture stored with that orientation upright;
// none for 0 and 1.
std::vector<PictureEdit> UprightSteps(int orientation);

// What loading does for it, for the tool's report: "turned right on load" for 6.
QString OrientationText(int orientation);
