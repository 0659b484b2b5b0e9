// SPDX-License-Identifier: GPL-3.0-or-later
// Rounding as the program uses it everywhere a floating-point value becomes an integer:
// to the nearest integer, halves to the even neighbour (2.5 gives 2, 3.5 gives 4).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

inline int32_t RoundHalfEven(double x)
{
    if (std::isnan(x))
        return 0;
    double r = std::floor(x);
    const double frac = x - r;
    if (frac > 0.5 || (frac == 0.5 && std::fmod(r, 2.0) != 0.0))
        r += 1.0;
    constexpr double lo = std::numeric_limits<int32_t>::min();
    constexpr double hi = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(r < lo ? lo : (r > hi ? hi : r));
}

// Whole pages covering a fractional size: r = Round(x), plus 1 if r < x.
inline int32_t CeilPages(double x)
{
    const int32_t r = RoundHalfEven(x);
    return r < x ? r + 1 : r;
}
