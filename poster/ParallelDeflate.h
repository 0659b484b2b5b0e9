// SPDX-License-Identifier: GPL-3.0-or-later
// One zlib stream made on every core: the rows are split into stripes, each compressed on a
// thread of its own, and the stripes joined the way pigz joins them (each but the last ends on
// a byte boundary with an empty stored block, the checksums combined), so that any inflater
// reads one stream of all the rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

struct DeflatedRows
{
    // The stream in pieces, to be written one after another: the header is in the first, the
    // checksum in the last.
    std::vector<std::vector<uint8_t>> pieces;

    size_t size() const;
};

// Writes row i (0 to rows - 1) into out, rowBytes bytes; called on several threads at once.
using RowSource = std::function<void(int64_t i, uint8_t* out)>;

// What the compressor looks for. Matches: repeats anywhere in the window, as zlib does by
// default. Runs: only repeats of the byte before (zlib's run-length strategy). Rows that went
// through a predictor are mostly small differences with runs of zeros where the picture is
// flat; on those, runs compress photos better than matches at level 1, and half again as fast.
enum class DeflateSearch
{
    Matches,
    Runs
};

// The rows compressed at zlib's level (1 to 9). False, with no pieces, when memory runs out;
// nothing is thrown.
bool DeflateRows(int64_t rows, size_t rowBytes, const RowSource& row, int level,
                 DeflateSearch search, DeflatedRows& out);
