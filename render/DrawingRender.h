// SPDX-License-Identifier: GPL-3.0-or-later
// Drawings as poster sources: a PDF page or an SVG or SVGZ file, rendered by a helper process
// of its own (velmora-render-helper), one per call, because poppler and librsvg are large
// parsers of files nobody vouches for. Every wait for the helper has a deadline; a helper that
// misses it, crashes or sends what is no answer is killed, and the call fails with a reason.
#pragma once

#include "GrafikRW.h"

#include <QByteArray>
#include <QRect>
#include <QString>

#include <chrono>

// Largest drawing file taken, SVG, SVGZ or PDF, and largest PDF an SVG may become.
constexpr qsizetype kMaxDrawingBytes = qsizetype(512) << 20;

// The SVG or SVGZ file's drawing as a one-page PDF (in memory), made in the helper: the page is
// the drawing's size at 96 pixels to the inch (its viewBox when it gives no width and height).
// False with a one-line reason.
bool SvgToPdf(const QByteArray& svg, QByteArray* pdf, QString* error);

// Page `pageIndex` (0-based) of the PDF, rendered whole at widthPx x heightPx (the page as it
// shows, rotation applied), and of that only the region `part` (inside (0,0,widthPx,heightPx)),
// as a 24-bit PictureRecord made by newdib (rows bottom-up; white behind the page), which the
// caller then owns. False with a one-line reason (damaged, needs a password, timeout, the helper
// crashed, too large for memory); *picture is then left as it was.
bool RenderDrawing(const QByteArray& pdf, int pageIndex, int widthPx, int heightPx, QRect part,
                   PictureRecord* picture, QString* error);

// How long one call may take, start to end (30 seconds unless set).
void SetRenderTimeout(std::chrono::milliseconds timeout);
std::chrono::milliseconds RenderTimeout();

// The helper program: set for tests; empty, the one installed with the running program, found
// in libexec/velmora/ beside its bin/ folder (as the build tree has them too), or in its folder.
void SetRenderHelperProgram(const QString& path);
QString RenderHelperProgram();
