// SPDX-License-Identifier: GPL-3.0-or-later
// A plain drawing surface whose paint and mouse events go to the window's handlers, so that the
// window keeps every drawing decision and the box itself stays dumb.
#pragma once

#include <QWidget>

#include <functional>

class QPainter;

class PaintBox : public QWidget
{
    Q_OBJECT
public:
    explicit PaintBox(QWidget* parent = nullptr);

    std::function<void(QPainter& canvas)> OnPaint;
    std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>
        OnMouseDown;
    std::function<void(Qt::KeyboardModifiers shift, int x, int y)> OnMouseMove;
    std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>
        OnMouseUp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
