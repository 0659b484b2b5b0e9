// SPDX-License-Identifier: GPL-3.0-or-later
// The program's pictures and glyphs, drawn from the SVG files in the resources.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

// The resource drawn at that size; a null pixmap when the resource is missing or not an SVG.
QPixmap SvgPixmap(const QString& resource, QSize size);

// An icon drawn at the usual small and large button sizes.
QIcon SvgIcon(const QString& resource);
