// SPDX-License-Identifier: GPL-3.0-or-later
#include "PaintBox.h"

#include <QMouseEvent>
#include <QPainter>

PaintBox::PaintBox(QWidget* parent) : QWidget(parent)
{
    // Moves without a held button matter too: they decide the sizing cursor over the selection.
    setMouseTracking(true);
}

void PaintBox::paintEvent(QPaintEvent*)
{
    if (!OnPaint)
        return;
    QPainter canvas(this);
    OnPaint(canvas);
}

void PaintBox::mousePressEvent(QMouseEvent* event)
{
    if (OnMouseDown) {
        const QPoint p = event->position().toPoint();
        OnMouseDown(event->button(), event->modifiers(), p.x(), p.y());
    }
}

void PaintBox::mouseMoveEvent(QMouseEvent* event)
{
    if (OnMouseMove) {
        const QPoint p = event->position().toPoint();
        OnMouseMove(event->modifiers(), p.x(), p.y());
    }
}

void PaintBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (OnMouseUp) {
        const QPoint p = event->position().toPoint();
        OnMouseUp(event->button(), event->modifiers(), p.x(), p.y());
    }
}
