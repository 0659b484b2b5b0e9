// SPDX-License-Identifier: GPL-3.0-or-later
// Scanned frames into a picture: SANE sends lines top first, samples of 1, 8 or 16 bits; the
// picture wants rows bottom-up, blue-green-red pixels and 4-byte row padding.
#include "ScanFrames.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

const char* const kNoData = QT_TRANSLATE_NOOP("ScanProblem", "The scanner sent no picture data.");
const char* const kUnreadable = QT_TRANSLATE_NOOP(
    "ScanProblem", "The scanner sent a picture in a form this program can't read.");
const char* const kNoMemory =
    QT_TRANSLATE_NOOP("ScanProblem", "There is not enough memory for the scanned picture.");

int ChannelsOf(FrameKind kind)
{
    return kind == FrameKind::Rgb ? 3 : 1;
}

bool Readable(const RawFrame& frame)
{
    if (frame.depth != 1 && frame.depth != 8 && frame.depth != 16)
        return false;
    if (frame.pixelsPerLine <= 0 || frame.bytesPerLine <= 0)
        return false;
    // One-bit colour has no agreed layout: SANE's text reads as red, green and blue bits in turn,
    // the test backend sends a byte of eight reds, then eight greens, then eight blues. Rather
    // than guess and show wrong colours, it is refused.
    if (frame.kind == FrameKind::Rgb && frame.depth == 1)
        return false;
    const int64_t needed =
        (int64_t(frame.pixelsPerLine) * ChannelsOf(frame.kind) * frame.depth + 7) / 8;
    return frame.bytesPerLine >= needed;
}

// Whole lines that arrived, never more than the frame announced: a partial last line of an
// interrupted hand-held scan is dropped, surplus data of a miscounting backend ignored.
int32_t LinesOf(const RawFrame& frame)
{
    int64_t lines = int64_t(frame.data.size()) / frame.bytesPerLine;
    if (frame.lines >= 0)
        lines = std::min<int64_t>(lines, frame.lines);
    return int32_t(std::min<int64_t>(lines, std::numeric_limits<int32_t>::max()));
}

// Sample number s of a line, scaled to 8 bits. 16-bit samples come in the machine's byte order;
// the high byte is kept. A 1-bit sample (of a red, green or blue pass) of 1 is full intensity.
inline uint8_t Sample8(const uint8_t* line, int64_t s, int depth)
{
    switch (depth) {
    case 8:
        return line[s];
    case 16: {
        uint16_t v;
        std::memcpy(&v, line + 2 * s, 2);
        return uint8_t(v >> 8);
    }
    default:
        return ((line[s >> 3] >> (7 - (s & 7))) & 1) ? 255 : 0;
    }
}

inline uint8_t* RowFromTop(const PictureRecord& picture, int32_t height, int32_t r)
{
    return picture.Bits + int64_t(height - 1 - r) * picture.BytesPerLine;
}

PictureRecord LineArt(const RawFrame& frame, int32_t height)
{
    // SANE's line art has 1 for black; the picture's colour index 0 is black, 1 white.
    BITMAPINFO colours = {};
    colours.bmiColors[0] = {0, 0, 0, 0};
    colours.bmiColors[1] = {255, 255, 255, 0};
    const int32_t width = frame.pixelsPerLine;
    const PictureRecord picture = newdib(width, height, 1, &colours, 2);
    if (!picture.Bits)
        return picture;
    const int32_t fullBytes = width / 8;
    const int rest = width % 8;
    for (int32_t r = 0; r < height; ++r) {
        const uint8_t* in = frame.data.data() + int64_t(r) * frame.bytesPerLine;
        uint8_t* out = RowFromTop(picture, height, r);
        for (int32_t i = 0; i < fullBytes; ++i)
            out[i] = uint8_t(~in[i]);
        if (rest)
            out[fullBytes] = uint8_t(~in[fullBytes] & (0xFF << (8 - rest)));
    }
    return picture;
}

PictureRecord Grey(const RawFrame& frame, int32_t height)
{
    BITMAPINFO colours = {};
    for (int i = 0; i < 256; ++i)
        colours.bmiColors[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
    const int32_t width = frame.pixelsPerLine;
    const PictureRecord picture = newdib(width, height, 8, &colours, 256);
    if (!picture.Bits)
        return picture;
    for (int32_t r = 0; r < height; ++r) {
        const uint8_t* in = frame.data.data() + int64_t(r) * frame.bytesPerLine;
        uint8_t* out = RowFromTop(picture, height, r);
        if (frame.depth == 8) {
            std::memcpy(out, in, size_t(width));
            continue;
        }
        for (int32_t x = 0; x < width; ++x)
            out[x] = Sample8(in, x, frame.depth);
    }
    return picture;
}

PictureRecord Colour(const RawFrame& frame, int32_t height)
{
    const int32_t width = frame.pixelsPerLine;
    const PictureRecord picture = newdib(width, height, 24, nullptr, 0);
    if (!picture.Bits)
        return picture;
    for (int32_t r = 0; r < height; ++r) {
        const uint8_t* in = frame.data.data() + int64_t(r) * frame.bytesPerLine;
        uint8_t* out = RowFromTop(picture, height, r);
        for (int32_t x = 0; x < width; ++x) {
            const int64_t s = int64_t(x) * 3;
            out[s + 2] = Sample8(in, s, frame.depth);
            out[s + 1] = Sample8(in, s + 1, frame.depth);
            out[s] = Sample8(in, s + 2, frame.depth);
        }
    }
    return picture;
}

// The red, green and blue frames of a three-pass scan in one picture. A channel that never came
// stays 0; the picture is as high as the shortest frame.
PictureRecord ThreePass(const std::vector<RawFrame>& frames, QString* error)
{
    const int32_t width = frames.front().pixelsPerLine;
    int32_t height = std::numeric_limits<int32_t>::max();
    for (const RawFrame& frame : frames) {
        if (frame.kind == FrameKind::Gray || frame.kind == FrameKind::Rgb ||
            frame.pixelsPerLine != width) {
            *error = QCoreApplication::translate("ScanProblem", kUnreadable);
            return {};
        }
        height = std::min(height, LinesOf(frame));
    }
    if (height <= 0) {
        *error = QCoreApplication::translate("ScanProblem", kNoData);
        return {};
    }
    const PictureRecord picture = newdib(width, height, 24, nullptr, 0);
    if (!picture.Bits) {
        *error = QCoreApplication::translate("ScanProblem", kNoMemory);
        return picture;
    }
    for (const RawFrame& frame : frames) {
        const int offset = frame.kind == FrameKind::Red     ? 2
                           : frame.kind == FrameKind::Green ? 1
                                                            : 0;
        for (int32_t r = 0; r < height; ++r) {
            const uint8_t* in = frame.data.data() + int64_t(r) * frame.bytesPerLine;
            uint8_t* out = RowFromTop(picture, height, r) + offset;
            for (int32_t x = 0; x < width; ++x)
                out[int64_t(x) * 3] = Sample8(in, x, frame.depth);
        }
    }
    DIBChanged(picture);
    return picture;
}

} // namespace

PictureRecord FramesToPicture(const std::vector<RawFrame>& frames, QString* error)
{
    if (frames.empty()) {
        *error = QCoreApplication::translate("ScanProblem", kNoData);
        return {};
    }
    for (const RawFrame& frame : frames) {
        if (!Readable(frame)) {
            *error = QCoreApplication::translate("ScanProblem", kUnreadable);
            return {};
        }
    }
    const RawFrame& first = frames.front();
    if (first.kind != FrameKind::Gray && first.kind != FrameKind::Rgb)
        return ThreePass(frames, error);
    if (frames.size() != 1) {
        *error = QCoreApplication::translate("ScanProblem", kUnreadable);
        return {};
    }
    const int32_t height = LinesOf(first);
    if (height <= 0) {
        *error = QCoreApplication::translate("ScanProblem", kNoData);
        return {};
    }
    PictureRecord picture;
    if (first.kind == FrameKind::Rgb)
        picture = Colour(first, height);
    else if (first.depth == 1)
        picture = LineArt(first, height);
    else
        picture = Grey(first, height);
    if (!picture.Bits)
        *error = QCoreApplication::translate("ScanProblem", kNoMemory);
    else
        DIBChanged(picture);
    return picture;
}
