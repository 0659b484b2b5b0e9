// SPDX-License-Identifier: GPL-3.0-or-later
// The program's pictures and glyphs, drawn from the SVG files in the resources.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

// The resource drawn at that size; a null pixmap when the resource is missing or not an SVG.
QPixmap SvgPixmap(const QString& resource, QSize size);

// A side picture with its title across its top. The title is not part of the drawing, so that
// it is written in the window's language.
QPixmap TitledSvgPixmap(const QString& resource, QSize size, const QString& title);

// An icon drawn at the usual small and large button sizes.
QIcon SvgIcon(const QString& resource);
