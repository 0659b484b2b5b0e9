// SPDX-License-Identifier: GPL-3.0-or-later
#include "PaperFormat.h"

#include "PosterTypes.h"

namespace {

// 297 mm are 3510 pixels at 300 dpi.
constexpr double kReferenceMm = 297.0;
constexpr int64_t kReferenceMmInt = 297;
constexpr double kReferencePixels = 3510.0;
constexpr double kReferenceDpi = 300.0;
constexpr double kPercent = 100.0;
constexpr int kMmDecimals = 2;

QString Number(double mm)
{
    QString text = QString::number(mm, 'f', kMmDecimals);
    // A tiny negative value would otherwise read "-0.00", which no margin can be.
    if (text == QStringLiteral("-0.00"))
        text.remove(0, 1);
    return text;
}

} // namespace

double PixelsToMm(int32_t px, int32_t dpi)
{
    if (dpi <= 0)
        return 0.0;
    // An integer product, widened so that no pixel count can wrap it.
    const int64_t product = static_cast<int64_t>(px) * kReferenceMmInt;
    return static_cast<double>(product) / kReferencePixels * kReferenceDpi / dpi;
}

double GlueStripMm(int32_t pagePx, int percent, int32_t dpi)
{
    if (dpi <= 0)
        return 0.0;
    double v = pagePx;
    v = v * percent;
    v = v / kPercent;
    v = v * kReferenceMm;
    v = v / kReferencePixels;
    v = v * kReferenceDpi;
    return v / dpi;
}

QString MmText(double mm)
{
    return Number(mm) + QStringLiteral(" mm");
}

PaperFormatTexts PaperFormatOf(const PrinterMetrics& m, int rightGluePercent, int bottomGluePercent)
{
    PaperFormatTexts t;
    if (!m.isValid())
        return t;
    const int right = ConfineGluePercent(rightGluePercent);
    const int bottom = ConfineGluePercent(bottomGluePercent);
    t.paperSize = Number(PixelsToMm(m.paperWidth, m.dpiX)) + QStringLiteral(" x ") +
                  Number(PixelsToMm(m.paperHeight, m.dpiY)) + QStringLiteral(" mm");
    t.topEdge = MmText(PixelsToMm(m.offsetY, m.dpiY));
    t.leftEdge = MmText(PixelsToMm(m.offsetX, m.dpiX));
    t.rightEdge = MmText(PixelsToMm(m.paperWidth - m.pageWidth - m.offsetX, m.dpiX));
    t.bottomEdge = MmText(PixelsToMm(m.paperHeight - m.pageHeight - m.offsetY, m.dpiY));
    t.rightGlue = MmText(GlueStripMm(m.pageWidth, right, m.dpiX));
    t.bottomGlue = MmText(GlueStripMm(m.pageHeight, bottom, m.dpiY));
    return t;
}
