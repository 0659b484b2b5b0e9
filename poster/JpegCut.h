// Cutting JPEG data into parts without decoding it: the DCT blocks of each part copied as they
// are, so that each part decodes to exactly the original's pixels there.
#pragma once

#include <cstddef>
#include <cstdint>
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
};

struct JpegFacts
{
    int32_t width = 0;
    int32_t height = 0;
    int components = 0; // 1 grey, 3 colour
    JpegGrid grid;
};

// The facts of JPEG data from its header; false when the header does not read or the data is
// neither grey nor YCbCr colour.
bool ReadJpegFacts(const uint8_t* data, size_t size, JpegFacts& facts);

// All regions cut in one reading of the data; each part a JPEG of its own (its own Huffman tables,
// no markers beyond the JFIF header). False, and no parts, when the data is damaged (libjpeg's
// warnings count as damage) or memory runs out. Each region must lie inside the picture with its
// corner on the grid.
bool CutJpeg(const uint8_t* data, size_t size, const std::vector<JpegRegion>& regions,
             std::vector<std::vector<uint8_t>>& parts);
