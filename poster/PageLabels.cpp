// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageLabels.h"

#include "GrafikRW.h"
#include "PrintJob.h"
#include "Rounding.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

// Capitals stand about this part of Helvetica's size.
constexpr double kCapHeight = 0.72;

int32_t Mm(double mm, int dpi)
{
    return MmToPixels(mm, dpi);
}

QSize UsableOf(const PageRenderInputs& in, QSize printable)
{
    return PictureAreaOf(printable, in.options, in.gx, in.gy);
}

QString Fixed(double v, int decimals)
{
    return QLocale::c().toString(v, 'f', decimals);
}

// The largest size from `largest` down to `smallest` at which the text fits the box, inset by
// `inset`; 0 when it does not fit at all.
int FittingSize(const QString& text, const QRect& box, int inset, int largest, int smallest)
{
    const int room = box.height() - 2 * inset;
    for (int size = std::min(largest, int(room / kCapHeight)); size >= smallest; --size)
        if (TextWidth(text, size) <= box.width() - 2 * inset)
            return size;
    return 0;
}

// A light copy of the picture, at most `longest` pixels on its longer side: the poster seen
// through tracing paper.
PictureRecord FaintCopy(const PictureRecord& picture, int longest)
{
    const int32_t w = DIBWidth(picture);
    const int32_t h = DIBHeight(picture);
    if (!picture.Bits || w <= 0 || h <= 0)
        return {};
    const double shrink = std::min(1.0, double(longest) / std::max(w, h));
    const int32_t cw = std::max(1, int32_t(std::lround(w * shrink)));
    const int32_t ch = std::max(1, int32_t(std::lround(h * shrink)));
    PictureRecord copy = newdib(cw, ch, 24, nullptr, 0);
    if (!copy.Bits)
        return copy;
    for (int32_t y = 0; y < ch; ++y) {
        for (int32_t x = 0; x < cw; ++x) {
            const int32_t v =
                PixelColour(picture, int32_t(int64_t(x) * w / cw), int32_t(int64_t(y) * h / ch));
            // A quarter of the colour on white.
            const auto faint = [](int c) { return 255 - (255 - c) / 4; };
            setpixel(copy, x, y,
                     faint(v >> 16 & 0xFF) << 16 | faint(v >> 8 & 0xFF) << 8 | faint(v & 0xFF));
        }
    }
    DIBChanged(copy);
    return copy;
}

} // namespace

QString ColumnLetters(int column)
{
    QString letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters;
}

QString PageName(int column, int row)
{
    return ColumnLetters(column) + QString::number(row + 1);
}

QRect VisiblePicture(const PageRenderInputs& in, int column, int row, QSize printable)
{
    const PosterGeometry& g = in.geometry;
    const QSize usable = UsableOf(in, printable);
    const auto r = PosterPageRects(in, column, row, 0, 0, usable.width(), usable.height(), true);
    if (!r)
        return {};
    const DrawnShare d = DrawnShareOf(*r, in.pictureWidth, in.pictureHeight);
    if (d.emptyX || d.emptyY)
        return {};
    // Of all but the last column and row, the glue strips lie under the next sheets.
    const int right = column < g.PagesAcross - 1 ? usable.width() : printable.width();
    const int bottom = row < g.PagesDown - 1 ? usable.height() : printable.height();
    const int x0 = std::max(0, int(std::floor(d.left)));
    const int y0 = std::max(0, int(std::floor(d.top)));
    const int x1 = std::min(right, int(std::ceil(d.right)));
    const int y1 = std::min(bottom, int(std::ceil(d.bottom)));
    if (x1 <= x0 || y1 <= y0)
        return {};
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

std::vector<TextRun> PageLabelRuns(const PageRenderInputs& in, int column, int row, QSize printable,
                                   int dpi, int pageNumber, int pageCount)
{
    if (dpi <= 0 || printable.isEmpty())
        return {};
    const QSize usable = UsableOf(in, printable);
    const QRect visible = VisiblePicture(in, column, row, printable);
    const QRect page(QPoint(0, 0), printable);
    std::vector<QRect> places = {
        QRect(0, usable.height(), printable.width(), printable.height() - usable.height()),
        QRect(usable.width(), 0, printable.width() - usable.width(), printable.height()),
    };
    if (visible.isEmpty()) {
        places.push_back(page);
    } else {
        places.push_back(QRect(0, visible.bottom() + 1, printable.width(),
                               printable.height() - visible.bottom() - 1));
        places.push_back(QRect(visible.right() + 1, 0, printable.width() - visible.right() - 1,
                               printable.height()));
        places.push_back(QRect(0, 0, printable.width(), visible.top()));
        places.push_back(QRect(0, 0, visible.left(), printable.height()));
    }

    const QString name = PageName(column, row);
    const QString numbered =
        name +
        QCoreApplication::translate("PageLabels", "  page %1 of %2").arg(pageNumber).arg(pageCount);
    QString whole = numbered;
    const FinishedSize size =
        FinishedPosterSize(in, printable.width(), printable.height(), dpi, dpi);
    if (size.valid)
        whole += QCoreApplication::translate("PageLabels", "  poster %1 x %2 cm")
                     .arg(Fixed(size.widthCm, 1), Fixed(size.heightCm, 1));
    // Readable at arm's length: capitals of 2.3 mm, and never below 1.6 mm.
    const int largest = Mm(3.2, dpi);
    const int smallest = Mm(2.2, dpi);
    const int inset = Mm(1.2, dpi);
    for (const QRect& place : places) {
        if (place.isEmpty() || place.intersects(visible) || !page.contains(place))
            continue;
        // Across the place, or up a tall narrow one (a right glue strip).
        const QRect turned(0, 0, place.height(), place.width());
        for (const QString& text : {whole, numbered, name}) {
            if (const int fit = FittingSize(text, place, inset, largest, smallest)) {
                const int baseline =
                    place.top() + (place.height() + int(std::lround(fit * kCapHeight))) / 2;
                return {{QPoint(place.left() + inset, baseline), fit, text, false}};
            }
            if (place.height() <= place.width())
                continue;
            if (const int fit = FittingSize(text, turned, inset, largest, smallest)) {
                const int baseline =
                    place.left() + (place.width() + int(std::lround(fit * kCapHeight))) / 2;
                return {{QPoint(baseline, place.bottom() - inset), fit, text, false, true}};
            }
        }
    }
    return {};
}

AssemblySheet AssemblySheetOf(const PageRenderInputs& in, QSize printable, int dpi,
                              const std::vector<std::pair<int, int>>& leftOut)
{
    AssemblySheet sheet;
    const PosterGeometry& g = in.geometry;
    if (dpi <= 0 || printable.isEmpty() || g.PagesAcross <= 0 || g.PagesDown <= 0)
        return sheet;
    const int margin = Mm(12, dpi);
    const int titleSize = Mm(4.5, dpi);
    const int textSize = Mm(3.2, dpi);
    const int line = std::max(1, Mm(0.3, dpi));
    const int room = printable.width() - 2 * margin;
    const auto fitted = [&](const QString& text, int size) {
        while (size > 1 && TextWidth(text, size) > room)
            --size;
        return size;
    };

    // The title with the finished size.
    const FinishedSize size =
        FinishedPosterSize(in, printable.width(), printable.height(), dpi, dpi);
    QString title = QCoreApplication::translate("PageLabels", "Assembly: %1 x %2 pages")
                        .arg(g.PagesAcross)
                        .arg(g.PagesDown);
    if (size.valid)
        title += QStringLiteral(", ") + SizeText(size);
    int y = margin + titleSize;
    sheet.texts.push_back({QPoint(margin, y), fitted(title, titleSize), title, false});

    // Below the grid: the pages left out, and how the sheets go together.
    QStringList out;
    for (const auto& [column, row] : leftOut)
        out << PageName(column, row);
    const QString outLine = QCoreApplication::translate("PageLabels", "Left out: ") +
                            (out.isEmpty() ? QCoreApplication::translate("PageLabels", "none")
                                           : out.join(QStringLiteral(", ")));
    QString glue;
    if (in.options.GlueEdge)
        glue = QCoreApplication::translate(
            "PageLabels", "Glue: lay each sheet's right strip under the sheet to its right "
                          "and its bottom strip under the sheet below, starting with A1 at "
                          "the top left.");
    else
        glue = QCoreApplication::translate(
            "PageLabels", "No glue strips: trim each sheet at its cut lines and butt the "
                          "edges together, A1 at the top left.");
    const QString lines[] = {outLine, glue};
    int lineSize = textSize;
    for (const QString& text : lines)
        lineSize = std::min(lineSize, fitted(text, textSize));
    const int footer = 2 * lineSize * 3 / 2 + margin;

    // The grid: one cell a page, as the pages' picture areas go together.
    const QSize usable = UsableOf(in, printable);
    const int top = y + titleSize;
    const int gridRoomW = room;
    const int gridRoomH = printable.height() - footer - top - lineSize;
    if (gridRoomW <= 0 || gridRoomH <= 0 || usable.isEmpty())
        return sheet;
    const double scale = std::min(double(gridRoomW) / (double(g.PagesAcross) * usable.width()),
                                  double(gridRoomH) / (double(g.PagesDown) * usable.height()));
    const int cellW = std::max(1, int(usable.width() * scale));
    const int cellH = std::max(1, int(usable.height() * scale));
    const int gridW = cellW * g.PagesAcross;
    const int gridH = cellH * g.PagesDown;
    const int gx = margin + (gridRoomW - gridW) / 2;
    const int gy = top;
    if (size.valid)
        sheet.faint =
            QRect(gx + int(std::lround(size.left * scale)), gy + int(std::lround(size.top * scale)),
                  std::max(1, int(std::lround(size.widthPixels * scale))),
                  std::max(1, int(std::lround(size.heightPixels * scale))));
    for (const auto& [column, row] : leftOut)
        sheet.runs.push_back({QRect(gx + column * cellW, gy + row * cellH, cellW, cellH), false});
    for (int c = 0; c <= g.PagesAcross; ++c)
        sheet.runs.push_back({QRect(gx + c * cellW - line / 2, gy, line, gridH + line), true});
    for (int r = 0; r <= g.PagesDown; ++r)
        sheet.runs.push_back({QRect(gx, gy + r * cellH - line / 2, gridW + line, line), true});

    // Each cell's label in its middle, and below it whether the page is left out.
    const int labelSize = std::max(1, std::min(Mm(6, dpi), cellH / 3));
    for (int column = 0; column < g.PagesAcross; ++column) {
        for (int row = 0; row < g.PagesDown; ++row) {
            const QString name = PageName(column, row);
            int s = labelSize;
            while (s > 1 && TextWidth(name, s) > cellW * 0.9)
                --s;
            const int cx = gx + column * cellW + cellW / 2;
            const int cy = gy + row * cellH + cellH / 2;
            sheet.texts.push_back(
                {QPoint(cx - int(TextWidth(name, s) / 2), cy + int(s * kCapHeight / 2)), s, name,
                 false});
            const bool off = std::find(leftOut.begin(), leftOut.end(),
                                       std::make_pair(column, row)) != leftOut.end();
            if (off) {
                const QString note = QCoreApplication::translate("PageLabels", "left out");
                int n = std::max(1, s / 2);
                while (n > 1 && TextWidth(note, n) > cellW * 0.9)
                    --n;
                sheet.texts.push_back(
                    {QPoint(cx - int(TextWidth(note, n) / 2), cy + s), n, note, true});
            }
        }
    }
    y = printable.height() - footer + lineSize;
    for (const QString& text : lines) {
        sheet.texts.push_back({QPoint(margin, y), lineSize, text, false});
        y += lineSize * 3 / 2;
    }
    return sheet;
}

PictureRecord FaintPosterPicture(const PictureRecord& picture, int longest)
{
    return FaintCopy(picture, longest);
}
