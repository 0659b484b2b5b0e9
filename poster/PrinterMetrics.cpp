// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrinterMetrics.h"

#include <QPrinter>

#include "Rounding.h"

PrinterMetrics MetricsOf(const QPrinter& printer)
{
    PrinterMetrics m;
    if (!printer.isValid())
        return m;
    const int dpiX = printer.logicalDpiX();
    const int dpiY = printer.logicalDpiY();
    if (dpiX <= 0 || dpiY <= 0)
        return m;
    // The rectangles the painter really works in: the paper, and the printable page within
    // it, whose top-left corner is the physical offset.
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    m.paperWidth = RoundHalfEven(paper.width());
    m.paperHeight = RoundHalfEven(paper.height());
    m.offsetX = RoundHalfEven(page.x() - paper.x());
    m.offsetY = RoundHalfEven(page.y() - paper.y());
    m.pageWidth = RoundHalfEven(page.width());
    m.pageHeight = RoundHalfEven(page.height());
    m.dpiX = dpiX;
    m.dpiY = dpiY;
    return m;
}
