// SPDX-License-Identifier: GPL-3.0-or-later
// A picture enlarged on paper, drawn smooth instead of in blocks: the program resamples each
// sheet's share itself, so that every printer shows the same, and takes each sample from the
// whole picture, so that the share of one sheet continues into the next without a seam.
#pragma once

#include "GrafikRW.h"

#include <QString>

#include <cstdint>

// A share of the picture: the source rectangle (columns x .. x + width, rows y .. y + height
// counted from the top) made `outWidth` x `outHeight` pixels. Each output pixel is the
// picture's bicubic interpolation at the place of its centre, with the picture's own pixels
// beyond the share's edges and its edge pixels repeated beyond the picture's. A 24-bit picture
// with the source's colour profile; null Bits with *error set when it can't be made.
PictureRecord SmoothPart(const PictureRecord& picture, double x, double y, double width,
                         double height, int32_t outWidth, int32_t outHeight, QString* error);

// The resolution a smooth poster is resampled to, in pixels per inch of the finished poster:
// as fine as the device up to 300 ppi, lowered for a large poster so that it holds at most
// kSmoothPixelBudget pixels in all, but never below 150 ppi (or the device's resolution, when
// that is coarser). Pictures with more pixels than that on paper are not enlarged and keep
// their own.
inline constexpr double kSmoothPixelBudget = 48e6;
double SmoothPixelsPerInch(double posterWidthMm, double posterHeightMm, int deviceDpi);
