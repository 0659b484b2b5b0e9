// SPDX-License-Identifier: GPL-3.0-or-later
#include "DotScreen.h"

#include "GrafikRW.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kHalfDiagonal = std::numbers::sqrt2 / 2;

// The first and one past the last pixel whose centre lies in [from, to).
std::pair<int32_t, int32_t> CentresIn(double from, double to, int32_t size)
{
    const auto first = [size](double edge) {
        return std::clamp(int32_t(std::ceil(edge - 0.5)), 0, size);
    };
    return {first(from), first(to)};
}

struct CellColour
{
    double red = 0, green = 0, blue = 0;
};

CellColour MeanColour(const PictureRecord& picture, double x0, double x1, double y0, double y1)
{
    const int32_t w = DIBWidth(picture);
    const int32_t h = DIBHeight(picture);
    auto [left, right] = CentresIn(x0, x1, w);
    auto [top, bottom] = CentresIn(y0, y1, h);
    // A cell narrower than a pixel takes the pixel under its centre.
    if (left >= right) {
        left = std::clamp(int32_t(std::floor((x0 + x1) / 2)), 0, w - 1);
        right = left + 1;
    }
    if (top >= bottom) {
        top = std::clamp(int32_t(std::floor((y0 + y1) / 2)), 0, h - 1);
        bottom = top + 1;
    }
    CellColour sum;
    for (int32_t y = top; y < bottom; ++y)
        for (int32_t x = left; x < right; ++x) {
            const int32_t v = PixelColour(picture, x, y);
            sum.red += v >> 16 & 0xFF;
            sum.green += v >> 8 & 0xFF;
            sum.blue += v & 0xFF;
        }
    const double n = double(right - left) * double(bottom - top);
    return {sum.red / n, sum.green / n, sum.blue / n};
}

} // namespace

double CellCoverage(double radius)
{
    if (radius <= 0)
        return 0;
    if (radius <= 0.5)
        return std::numbers::pi * radius * radius;
    if (radius >= kHalfDiagonal)
        return 1;
    // The circle less the four segments beyond the cell's sides, each at half a side.
    const double segment =
        radius * radius * std::acos(0.5 / radius) - 0.5 * std::sqrt(radius * radius - 0.25);
    return std::numbers::pi * radius * radius - 4 * segment;
}

double DotRadiusFor(double darkness)
{
    if (darkness <= 0)
        return 0;
    if (darkness >= 1)
        return kHalfDiagonal;
    double low = 0, high = kHalfDiagonal;
    for (int i = 0; i < 40; ++i) {
        const double mid = (low + high) / 2;
        (CellCoverage(mid) < darkness ? low : high) = mid;
    }
    return (low + high) / 2;
}

std::vector<Dot> ShareDots(const PictureRecord& picture, const StretchRects& rects,
                           const DotGrid& grid)
{
    std::vector<Dot> dots;
    if (!picture.Bits || !picture.Info || !grid.valid())
        return dots;
    const int32_t h = DIBHeight(picture);
    const StretchRects r = ClipStretchRects(rects, DIBWidth(picture));
    if (r.srcWidth <= 0 || r.srcHeight <= 0 || r.destWidth <= 0 || r.destHeight <= 0)
        return dots;
    const double kx = double(r.destWidth) / r.srcWidth;
    const double ky = double(r.destHeight) / r.srcHeight;
    const double top = double(h) - r.srcY - r.srcHeight; // the share's top row
    // A dot reaches half a diagonal beyond its cell's centre: one cell on each side will do.
    const auto cells = [](double from, double length, double cell) {
        return std::pair{int64_t(std::floor(from / cell)) - 1,
                         int64_t(std::ceil((from + length) / cell)) + 1};
    };
    const auto [i0, i1] = cells(r.srcX, r.srcWidth, grid.cellX);
    const auto [j0, j1] = cells(top, r.srcHeight, grid.cellY);
    const double side = std::min(grid.cellX * kx, grid.cellY * ky);
    for (int64_t j = std::max<int64_t>(j0, 0); j < j1 && j * grid.cellY < h; ++j)
        for (int64_t i = std::max<int64_t>(i0, 0); i < i1 && i * grid.cellX < DIBWidth(picture);
             ++i) {
            const double x0 = i * grid.cellX, y0 = j * grid.cellY;
            const CellColour c = MeanColour(picture, x0, x0 + grid.cellX, y0, y0 + grid.cellY);
            const double light = (0.299 * c.red + 0.587 * c.green + 0.114 * c.blue) / 255;
            const double radius = DotRadiusFor(1 - light) * side;
            if (radius <= 0)
                continue;
            Dot dot;
            dot.centre = QPointF(r.destX + (x0 + grid.cellX / 2 - r.srcX) * kx,
                                 r.destY + (y0 + grid.cellY / 2 - top) * ky);
            dot.radius = radius;
            dot.colour = grid.colour ? qRgb(int(std::lround(c.red)), int(std::lround(c.green)),
                                            int(std::lround(c.blue)))
                                     : qRgb(0, 0, 0);
            dots.push_back(dot);
        }
    return dots;
}

DotGrid DotGridFor(double pitchMm, double posterWidthMm, double posterHeightMm,
                   int32_t pictureWidth, int32_t pictureHeight, bool colour)
{
    DotGrid grid;
    if (pitchMm <= 0 || posterWidthMm <= 0 || posterHeightMm <= 0 || pictureWidth <= 0 ||
        pictureHeight <= 0)
        return grid;
    grid.cellX = pitchMm * pictureWidth / posterWidthMm;
    grid.cellY = pitchMm * pictureHeight / posterHeightMm;
    grid.colour = colour;
    return grid;
}
