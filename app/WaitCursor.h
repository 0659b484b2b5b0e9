// SPDX-License-Identifier: GPL-3.0-or-later
// The wait cursor for as long as a piece of work runs on the window's thread: a large picture
// takes seconds to turn, and a window that shows nothing meanwhile looks hung.
#pragma once

#include <QGuiApplication>

class WaitCursor
{
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};
