// SPDX-License-Identifier: GPL-3.0-or-later
// Cutting JPEG data into parts without decoding it: the DCT blocks of each part copied as they
// are, so that each part decodes to exactly the original's pixels there.
#pragma once

#include "PictureEdit.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct JpegRegion
{
    int32_t x = 0; // from the left, a multiple of the block grid's width (JpegGrid)
    int32_t y = 0; // from the top, a multiple of the grid's height
    int32_t w = 0;
    int32_t h = 0;
};

// The size of one unit of the block grid (the MCU): 8, 16 or 32 pixels.
struct JpegGrid
{
    int32_t width = 8;
    int32_t height = 8;

    bool operator==(const JpegGrid&) const = default;
};

// How a JPEG codes its colours.
enum class JpegColours
{
    Grey,
    YCbCr, // the usual colour photo
    Rgb,   // colour coded as red, green and blue (Adobe's transform 0)
    Cmyk,
    Ycck, // CMYK with the first three coded as YCbCr (Adobe's transform 2)
};

struct JpegFacts
{
    int32_t width = 0;
    int32_t height = 0;
    int components = 0; // 1 grey, 3 colour, 4 inks
    JpegColours colours = JpegColours::YCbCr;
    bool adobe = false; // an Adobe marker: ink values stored inverted, as Photoshop writes them
    JpegGrid grid;
};

// The facts of JPEG data from its header; false when the header does not read or the data is
// none of those colour codings.
bool ReadJpegFacts(const uint8_t* data, size_t size, JpegFacts& facts);

// Lossless edits of a JPEG's blocks, all of them made into one: the stored picture, padded to
// whole grid units, is transposed (when `transposed`), then mirrored left to right and flipped
// top to bottom as a whole. The picture as it shows is the window (x, y, width, height) of
// that; the padding's blocks stay with it, so that a mirror or turn loses no pixel of a picture
// whose sides are not on the grid.
struct JpegView
{
    bool transposed = false;
    bool mirrored = false;
    bool flipped = false;
    int32_t paddedWidth = 0; // the edited padded picture
    int32_t paddedHeight = 0;
    JpegGrid grid; // the edited picture's: the stored one's, its sides swapped when transposed
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;

    bool operator==(const JpegView&) const = default;
};

// A copy of a source that prints under a view (a JPEG's blocks, a drawing's page) with another
// view, its size the view's.
template <class Source>
std::shared_ptr<const Source> WithView(const Source& source, const JpegView& view)
{
    auto edited = std::make_shared<Source>(source);
    edited->view = view;
    edited->width = view.width;
    edited->height = view.height;
    return edited;
}

// The stored picture as it is.
JpegView WholeView(const JpegFacts& facts);
// The edits, on the picture as it shows, as the pixel edits make them.
JpegView Mirrored(const JpegView& view);
JpegView Flipped(const JpegView& view);
JpegView TurnedLeft(const JpegView& view);
JpegView TurnedRight(const JpegView& view);
// The part from (left, top) to (right, bottom), exclusive; false when that is not inside the
// picture or empty.
bool CropView(JpegView& view, int32_t left, int32_t top, int32_t right, int32_t bottom);
// Any of those, as the window and the tool make them; false for a cut CropView refuses.
bool EditView(JpegView& view, const PictureEdit& edit);
// A picture of that size as it is, on a grid of single pixels: the view of a drawing's rendering,
// which any edit keeps exact.
JpegView PixelView(int32_t width, int32_t height);

// How far a cut is, 0 to 1; called from the cutting threads, one call at a time.
using CutProgress = std::function<void(double done)>;

enum class JpegCutResult
{
    Cut,
    Damaged,  // the data does not read (libjpeg's warnings count), or does not fit the view
    NoMemory, // memory ran out, on any of the threads
};

// All regions cut in one reading of the data; each part a JPEG of its own (the standard Huffman
// tables, or tables of its own when progressive; no markers beyond the JFIF header). Regions are in the view's padded picture, each
// inside it with its corner on the view's grid, and the parts carry the view's edits. No parts
// unless all were cut.
JpegCutResult CutJpeg(const uint8_t* data, size_t size, const JpegView& view,
                      const std::vector<JpegRegion>& regions,
                      std::vector<std::vector<uint8_t>>& parts, const CutProgress& progress = {});
