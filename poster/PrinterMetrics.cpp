#include "PrinterMetrics.h"

#include <QPageLayout>
#include <QPrinter>

#include "Rounding.h"

PrinterMetrics MetricsOf(const QPrinter& printer)
{
    PrinterMetrics m;
    const int dpi = printer.resolution();
    if (dpi <= 0)
        return m;
    const QPageLayout layout = printer.pageLayout();
    const QRect paper = layout.fullRectPixels(dpi);
    const QRect printable = layout.paintRectPixels(dpi);
    m.paperWidth = paper.width();
    m.paperHeight = paper.height();
    m.offsetX = printable.x();
    m.offsetY = printable.y();
    m.pageWidth = printable.width();
    m.pageHeight = printable.height();
    m.dpiX = dpi;
    m.dpiY = dpi;
    return m;
}
