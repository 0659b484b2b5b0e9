// SPDX-License-Identifier: GPL-3.0-or-later
#include "ParallelDeflate.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <thread>

namespace {

constexpr size_t kChunk = 256 * 1024;
// Stripes smaller than this are not worth a thread: the rows are compressed on fewer.
constexpr size_t kLeastStripeBytes = 512 * 1024;

struct Stripe
{
    int64_t first = 0;
    int64_t rows = 0;
    bool last = false;
    std::vector<uint8_t> data;
    uLong check = 1; // adler32 of its rows
};

// A raw deflate of the stripe's rows; a stripe before the last ends with a sync flush so that
// the next one's blocks can follow it.
bool Compress(Stripe& s, size_t rowBytes, const RowSource& row, int level, int strategy)
{
    z_stream z;
    std::memset(&z, 0, sizeof z);
    if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, strategy) != Z_OK)
        return false;
    bool ok = true;
    try {
        std::vector<uint8_t> line(rowBytes);
        std::vector<uint8_t> out(kChunk);
        // Room for the whole stripe at once: growing it would copy it over and over.
        s.data.reserve(deflateBound(&z, uLong(s.rows) * uLong(rowBytes)) + 16);
        for (int64_t i = 0; ok && i <= s.rows; ++i) {
            const bool end = i == s.rows;
            if (!end) {
                row(s.first + i, line.data());
                s.check = adler32(s.check, line.data(), uInt(rowBytes));
            }
            z.next_in = end ? nullptr : line.data();
            z.avail_in = end ? 0 : uInt(rowBytes);
            const int flush = end ? (s.last ? Z_FINISH : Z_SYNC_FLUSH) : Z_NO_FLUSH;
            int status = Z_OK;
            do {
                z.next_out = out.data();
                z.avail_out = uInt(out.size());
                status = deflate(&z, flush);
                if (status == Z_STREAM_ERROR) {
                    ok = false;
                    break;
                }
                s.data.insert(s.data.end(), out.data(), out.data() + (out.size() - z.avail_out));
            } while (z.avail_out == 0 || (end && s.last && status != Z_STREAM_END));
        }
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    deflateEnd(&z);
    if (!ok)
        std::vector<uint8_t>().swap(s.data);
    return ok;
}

} // namespace

size_t DeflatedRows::size() const
{
    size_t n = 0;
    for (const std::vector<uint8_t>& p : pieces)
        n += p.size();
    return n;
}

bool DeflateRows(int64_t rows, size_t rowBytes, const RowSource& row, int level,
                 DeflateSearch search, DeflatedRows& out)
{
    out.pieces.clear();
    try {
        const unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), 16u));
        const size_t total = size_t(std::max<int64_t>(rows, 0)) * rowBytes;
        const int64_t count =
            std::clamp<int64_t>(int64_t(total / kLeastStripeBytes), 1, std::max<int64_t>(rows, 1));
        const int64_t stripes = std::min<int64_t>(count, cores);
        std::vector<Stripe> parts(static_cast<size_t>(stripes));
        for (int64_t k = 0; k < stripes; ++k) {
            parts[size_t(k)].first = rows * k / stripes;
            parts[size_t(k)].rows = rows * (k + 1) / stripes - parts[size_t(k)].first;
        }
        parts.back().last = true;

        std::atomic<size_t> next{0};
        std::atomic<bool> failed{false};
        const int strategy = search == DeflateSearch::Runs ? Z_RLE : Z_DEFAULT_STRATEGY;
        const auto work = [&] {
            for (size_t k = next++; k < parts.size() && !failed; k = next++)
                if (!Compress(parts[k], rowBytes, row, level, strategy))
                    failed = true;
        };
        std::vector<std::thread> helpers;
        try {
            helpers.reserve(parts.size());
            for (size_t t = 1; t < parts.size(); ++t)
                helpers.emplace_back(work);
        } catch (...) {
            // Fewer threads, then; this one compresses the rest.
        }
        work();
        for (std::thread& helper : helpers)
            helper.join();
        if (failed)
            return false;

        // The zlib header (no dictionary, the level's hint), the stripes, and the checksum of
        // all the rows, big-endian.
        uLong check = 1;
        for (const Stripe& s : parts)
            check = adler32_combine(check, s.check, z_off_t(s.rows) * z_off_t(rowBytes));
        const uint8_t hint = level == 1 ? 0x01 : level < 6 ? 0x5E : level == 6 ? 0x9C : 0xDA;
        out.pieces.reserve(parts.size() + 2);
        out.pieces.push_back({0x78, hint});
        for (Stripe& s : parts)
            out.pieces.push_back(std::move(s.data));
        out.pieces.push_back(
            {uint8_t(check >> 24), uint8_t(check >> 16), uint8_t(check >> 8), uint8_t(check)});
        return true;
    } catch (const std::bad_alloc&) {
        out.pieces.clear();
        return false;
    }
}
