// SPDX-License-Identifier: GPL-3.0-or-later
// What the poster arithmetic needs to know of a printer, in its device pixels.
#pragma once

#include <cstdint>

class QPrinter;

struct PrinterMetrics
{
    int32_t paperWidth = 0; // the physical sheet
    int32_t paperHeight = 0;
    int32_t offsetX = 0; // left and top unprintable margins
    int32_t offsetY = 0;
    int32_t pageWidth = 0; // the printable area: "page width" and "page height" everywhere
    int32_t pageHeight = 0;
    int32_t dpiX = 0; // resolution
    int32_t dpiY = 0;

    bool isValid() const
    {
        return paperWidth > 0 && paperHeight > 0 && pageWidth > 0 && pageHeight > 0 && dpiX > 0 &&
               dpiY > 0;
    }
    bool operator==(const PrinterMetrics&) const = default;
};

// The metrics of a printer as configured (paper, orientation, resolution), in the device pixels
// its painter works in. Invalid when the printer is not usable.
PrinterMetrics MetricsOf(const QPrinter& printer);
