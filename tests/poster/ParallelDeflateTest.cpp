// SPDX-License-Identifier: GPL-3.0-or-later
// Rows compressed in stripes on several threads are one zlib stream: any inflater gives back
// exactly the rows, in order, whatever the number of rows and stripes.
#include "ParallelDeflate.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <random>
#include <vector>

namespace {

// The rows as a photo's would look to the compressor: a gradient with noise.
std::vector<uint8_t> Rows(int64_t rows, size_t rowBytes)
{
    std::vector<uint8_t> all(size_t(rows) * rowBytes);
    std::mt19937 random(7);
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = uint8_t(i / rowBytes + i % rowBytes / 3 + random() % 8);
    return all;
}

std::vector<uint8_t> Joined(const DeflatedRows& d)
{
    std::vector<uint8_t> joined;
    for (const std::vector<uint8_t>& p : d.pieces)
        joined.insert(joined.end(), p.begin(), p.end());
    return joined;
}

// Inflates a whole zlib stream, which must end exactly where the data does and check out.
bool Inflate(const std::vector<uint8_t>& stream, size_t expected, std::vector<uint8_t>& out)
{
    out.assign(expected + 16, 0);
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return false;
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = uInt(stream.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    const int status = inflate(&z, Z_FINISH);
    const bool ok = status == Z_STREAM_END && z.avail_in == 0;
    out.resize(out.size() - z.avail_out);
    inflateEnd(&z);
    return ok;
}

TEST(ParallelDeflate, TheStripesInflateAsOneStreamOfAllTheRows)
{
    // From no row to many more rows than any machine has cores, with odd row lengths.
    for (const auto& [rows, rowBytes] : std::vector<std::pair<int64_t, size_t>>{
             {0, 30}, {1, 7}, {3, 1}, {2, 400000}, {513, 4001}, {4000, 1503}}) {
        SCOPED_TRACE(std::to_string(rows) + " x " + std::to_string(rowBytes));
        const std::vector<uint8_t> data = Rows(rows, rowBytes);
        for (const auto& [level, search] :
             std::vector<std::pair<int, DeflateSearch>>{{1, DeflateSearch::Matches},
                                                        {6, DeflateSearch::Matches},
                                                        {9, DeflateSearch::Matches},
                                                        {1, DeflateSearch::Runs}}) {
            SCOPED_TRACE(level);
            SCOPED_TRACE(search == DeflateSearch::Runs ? "runs" : "matches");
            DeflatedRows d;
            ASSERT_TRUE(DeflateRows(
                rows, rowBytes,
                [&](int64_t i, uint8_t* out) {
                    std::copy_n(data.begin() + i * int64_t(rowBytes), rowBytes, out);
                },
                level, search, d));
            EXPECT_EQ(d.size(), Joined(d).size());
            std::vector<uint8_t> back;
            ASSERT_TRUE(Inflate(Joined(d), data.size(), back));
            EXPECT_TRUE(back == data);
        }
    }
}

TEST(ParallelDeflate, ALargePictureIsSplitYetCompressesAboutAsWellAsOneStream)
{
    const int64_t rows = 2000;
    const size_t rowBytes = 3000;
    const std::vector<uint8_t> data = Rows(rows, rowBytes);
    DeflatedRows d;
    ASSERT_TRUE(DeflateRows(
        rows, rowBytes,
        [&](int64_t i, uint8_t* out) {
            std::copy_n(data.begin() + i * int64_t(rowBytes), rowBytes, out);
        },
        1, DeflateSearch::Matches, d));
    uLongf single = compressBound(uLong(data.size()));
    std::vector<uint8_t> one(single);
    ASSERT_EQ(compress2(one.data(), &single, data.data(), uLong(data.size()), 1), Z_OK);
    EXPECT_LT(double(d.size()), double(single) * 1.01);
}

} // namespace
