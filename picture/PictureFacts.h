// SPDX-License-Identifier: GPL-3.0-or-later
// What the "Load picture" page tells of the current picture, and the blank picture every run
// starts with.
#pragma once

#include <QString>

#include <cstdint>

struct PictureRecord;

// The blank picture the program holds until one is loaded or scanned.
constexpr int32_t kStartPictureWidth = 320;
constexpr int32_t kStartPictureHeight = 200;
constexpr int32_t kStartPictureBitCount = 8;

// That blank picture: white, so that the views look like empty paper rather than a dead screen.
// Null Bits when it can't be made.
PictureRecord NewStartPicture();

// The three read-only fields: width and height in pixels and the number of colours, each as
// decimal text. All empty for a record without a picture.
struct PictureFacts
{
    QString width;   // "Width:"
    QString height;  // "Height:"
    QString colours; // "Colors:", 2 to the power of the bits per pixel

    bool operator==(const PictureFacts&) const = default;
};

PictureFacts PictureFactsOf(const PictureRecord& picture);
