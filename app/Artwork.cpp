// SPDX-License-Identifier: GPL-3.0-or-later
#include "Artwork.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

namespace {
constexpr int kSmallGlyph = 16;
constexpr int kLargeGlyph = 32;

// The side pictures' title, in the drawings' own units: its baseline, letter size and the room
// kept clear at either end; a longer title is set smaller rather than cut.
constexpr double kTitleBaseline = 34;
constexpr double kTitlePixels = 20;
constexpr double kTitleMargin = 10;
constexpr int kSmallestTitlePixels = 8;
constexpr QRgb kTitleColour = 0xc00000;
} // namespace

QPixmap SvgPixmap(const QString& resource, QSize size)
{
    QSvgRenderer renderer(resource);
    if (!renderer.isValid() || size.isEmpty())
        return {};
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

QPixmap TitledSvgPixmap(const QString& resource, QSize size, const QString& title)
{
    QPixmap pixmap = SvgPixmap(resource, size);
    const QRectF box = QSvgRenderer(resource).viewBoxF();
    if (pixmap.isNull() || title.isEmpty() || box.isEmpty())
        return pixmap;
    const double sx = size.width() / box.width();
    const double sy = size.height() / box.height();
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(std::max(kSmallestTitlePixels, int(std::lround(kTitlePixels * sy))));
    const double room = size.width() - 2 * kTitleMargin * sx;
    while (font.pixelSize() > kSmallestTitlePixels &&
           QFontMetricsF(font).horizontalAdvance(title) > room)
        font.setPixelSize(font.pixelSize() - 1);
    QPainter painter(&pixmap);
    painter.setFont(font);
    painter.setPen(QColor(kTitleColour));
    const double width = QFontMetricsF(font).horizontalAdvance(title);
    painter.drawText(QPointF((size.width() - width) / 2, kTitleBaseline * sy), title);
    return pixmap;
}

QIcon SvgIcon(const QString& resource)
{
    QIcon icon;
    for (const int side : {kSmallGlyph, kLargeGlyph}) {
        const QPixmap pixmap = SvgPixmap(resource, QSize(side, side));
        if (!pixmap.isNull())
            icon.addPixmap(pixmap);
    }
    return icon;
}
