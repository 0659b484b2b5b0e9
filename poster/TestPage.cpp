// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestPage.h"

#include "FinishedSize.h"
#include "Rounding.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRect>

#include <algorithm>

namespace {

int32_t Mm(double mm, int32_t dpi)
{
    return MmToPixels(mm, dpi);
}

// A ruler of exactly `length` device pixels from x along the line at y: the line, end marks as
// tall as a fingertip is wide, and `steps` short steps between them.
void AddRuler(TestPagePlan& plan, int32_t x, int32_t y, int32_t length, int steps, int32_t line,
              int32_t dpiY)
{
    plan.runs.push_back({QRect(x, y, length, line), true});
    const int32_t endMark = Mm(6, dpiY);
    const int32_t step = Mm(2.5, dpiY);
    for (int k = 0; k <= steps; ++k) {
        // The last mark ends where the line ends, so the ruler's span is the length itself.
        const int32_t at =
            k == steps ? x + length - line : x + RoundHalfEven(double(length) * k / steps);
        const bool end = k == 0 || k == steps;
        const int32_t h = end ? endMark : 2 * k == steps ? step * 3 / 2 : step;
        plan.runs.push_back({QRect(at, end ? y + line / 2 - h / 2 : y - h, line, h), true});
    }
}

} // namespace

QString TestPagePathFor(const QString& posterPdf)
{
    const QFileInfo poster(posterPdf);
    return poster.dir().filePath(poster.completeBaseName() + QStringLiteral(" test page.pdf"));
}

TestPagePlan TestPageOf(int32_t pageWidth, int32_t pageHeight, int32_t dpiX, int32_t dpiY)
{
    TestPagePlan plan;
    if (pageWidth <= 0 || pageHeight <= 0 || dpiX <= 0 || dpiY <= 0)
        return plan;
    const int32_t line = std::max(1, Mm(0.3, std::min(dpiX, dpiY)));
    // The printable area's outline, just inside it.
    plan.runs.push_back({QRect(0, 0, pageWidth, line), true});
    plan.runs.push_back({QRect(0, pageHeight - line, pageWidth, line), true});
    plan.runs.push_back({QRect(0, 0, line, pageHeight), true});
    plan.runs.push_back({QRect(pageWidth - line, 0, line, pageHeight), true});

    const int32_t margin = Mm(12, dpiX);
    const int32_t size = Mm(4, dpiY);
    const int32_t gap = Mm(16, dpiY);
    int32_t y = Mm(12, dpiY) + size;
    plan.texts.push_back({QPoint(margin, y), size,
                          QCoreApplication::translate("TestPage", "Velmora test page"), false});

    // The rulers, each with its caption after its end, or below when the paper is narrow.
    const auto ruler = [&](int32_t length, int steps, const QString& caption) {
        y += gap;
        if (margin + length > pageWidth - line) {
            plan.texts.push_back(
                {QPoint(margin, y), size * 3 / 4,
                 caption + QCoreApplication::translate("TestPage", ": the paper is too narrow"),
                 true});
            return 0;
        }
        AddRuler(plan, margin, y, length, steps, line, dpiY);
        const int32_t after = margin + length + size / 2;
        if (after + TextWidth(caption, size) < pageWidth - line)
            plan.texts.push_back({QPoint(after, y + size / 3), size, caption, false});
        else
            plan.texts.push_back({QPoint(margin, y + size + Mm(4, dpiY)), size, caption, false});
        return length;
    };
    plan.cmRuler = ruler(Mm(100, dpiX), 10, QCoreApplication::translate("TestPage", "10 cm"));
    plan.inchRuler = ruler(4 * dpiX, 8, QCoreApplication::translate("TestPage", "4 inches"));

    // What to measure, as large as fits the width.
    y += gap;
    const QString lines[] = {
        QCoreApplication::translate(
            "TestPage", "Measure the two lines: the upper one must be 10 cm long, the lower one 4 "
                        "inches."),
        QCoreApplication::translate(
            "TestPage", "If they are not, switch the printer's scaling off (print at 100 %) and "
                        "print again."),
        QCoreApplication::translate(
            "TestPage", "The frame shows the printable area; the margins outside it stay blank."),
    };
    int32_t textSize = Mm(3.5, dpiY);
    for (const QString& text : lines)
        while (textSize > 1 && margin + TextWidth(text, textSize) > pageWidth - margin)
            --textSize;
    for (int i = 0; i < 3; ++i) {
        plan.texts.push_back({QPoint(margin, y), textSize, lines[i], i == 2});
        y += textSize * 3 / 2;
    }
    return plan;
}
