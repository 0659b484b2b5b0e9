// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScreenPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

void CentreOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    window->move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window->frameSize(),
                                     screen->availableGeometry())
                     .topLeft());
}
