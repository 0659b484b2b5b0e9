// SPDX-License-Identifier: GPL-3.0-or-later
// The operations of the "Modify picture" page on a picture record, apart from any widget.
//
// The turns, mirror, flip and cut build a new picture of the old depth and colour table and
// never change or release the one they are given: the caller replaces the current picture and
// releases the old one. A result with null Bits means the new picture could not be made (or the
// request made no sense); nothing else has happened then.
//
// Brightness and contrast change a picture in place: the colour table of a paletted picture (its
// pixels keep their indices) or the colour bytes of every pixel of the others.
#pragma once

#include "GrafikRW.h"
#include "PictureEdit.h"

#include <array>
#include <cstdint>

// The part of the picture inside left..right-1, top..bottom-1 (pixels from the top-left).
// Null Bits for an empty rectangle or one that reaches outside the picture.
PictureRecord CutToSelection(const PictureRecord& picture, int32_t left, int32_t top, int32_t right,
                             int32_t bottom);

// Left and right exchanged: new (x, y) = old (W - 1 - x, y).
PictureRecord MirrorPicture(const PictureRecord& picture);

// Top and bottom exchanged: new (x, y) = old (x, H - 1 - y).
PictureRecord FlipPicture(const PictureRecord& picture);

// A quarter turn counter-clockwise, H x W: new (x, y) = old (W - 1 - y, x).
PictureRecord RotateLeft(const PictureRecord& picture);

// A quarter turn clockwise, H x W: new (x, y) = old (y, H - 1 - x).
PictureRecord RotateRight(const PictureRecord& picture);

// The picture with the edit made, by the functions above.
PictureRecord EditedPicture(const PictureRecord& picture, const PictureEdit& edit);

// One colour channel (0..255) moved by the brightness offset d and limited to 0..255.
uint8_t BrightnessChannel(int32_t v, int32_t d);

// One colour channel (0..255) under the contrast factor k (100 leaves it, 0 makes it 127, 200
// pushes it to 0 or 255), in integer arithmetic with truncating division. A factor outside
// 0..200 counts as the nearer end, where the curve would leave 0..255.
uint8_t ContrastChannel(int32_t v, int32_t k);

// A channel function for all 256 channel values.
using ChannelTable = std::array<uint8_t, 256>;
ChannelTable BrightnessTable(int32_t d);
ChannelTable ContrastTable(int32_t k);

// Passes every colour channel of the picture through the table: the colour table, LogPalette and
// Palette of a paletted picture, else the colour bytes of each pixel (row padding untouched).
void ApplyChannelTable(PictureRecord& picture, const ChannelTable& table);

void AdjustBrightness(PictureRecord& picture, int32_t d);
void AdjustContrast(PictureRecord& picture, int32_t k);

// Brightness d and then contrast k in one pass over the pixels; the same result as
// AdjustBrightness followed by AdjustContrast.
void ApplyBrightnessContrast(PictureRecord& picture, int32_t d, int32_t k);

// The picture as a camera recorded it with an orientation tag (1 to 8), turned upright: the
// tag's steps made in order, the stored picture released. The picture itself for 0 and 1, and
// null Bits, with the stored one released, when memory runs out on the way.
PictureRecord TakeUpright(PictureRecord stored, int orientation);
// The edits made in their order on a picture the caller gives up: each step's result replaces
// the one before, which is released. Null Bits when a step fails for memory.
PictureRecord TakeEdited(PictureRecord picture, const std::vector<PictureEdit>& edits);

// An independent copy of the picture: same shape, colour table, palette and pixel bytes. Null
// Bits when it can't be made. The brightness and contrast dialog keeps one to start every
// preview from the untouched picture.
PictureRecord CopyPicture(const PictureRecord& picture);

// Gives the current picture back the pixel bytes and colours of its copy made by CopyPicture.
// False, and nothing changed, when the two are not of the same shape.
bool RestorePicture(PictureRecord& current, const PictureRecord& backup);
