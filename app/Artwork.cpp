// SPDX-License-Identifier: GPL-3.0-or-later
#include "Artwork.h"

#include <QPainter>
#include <QSvgRenderer>

namespace {
constexpr int kSmallGlyph = 16;
constexpr int kLargeGlyph = 32;
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
