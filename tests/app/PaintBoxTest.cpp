// SPDX-License-Identifier: GPL-3.0-or-later
// The paint box hands its events to the window's handlers with box coordinates.
#include "PaintBox.h"

#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {
struct Seen
{
    char kind;
    Qt::MouseButton button;
    int x, y;
    bool operator==(const Seen&) const = default;
};
} // namespace

TEST(PaintBox, MouseEventsReachTheirHandlersInOrder)
{
    PaintBox box;
    box.resize(341, 277);
    box.show();
    std::vector<Seen> seen;
    box.OnMouseDown = [&](Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
        seen.push_back({'d', b, x, y});
    };
    box.OnMouseMove = [&](Qt::KeyboardModifiers, int x, int y) {
        seen.push_back({'m', Qt::NoButton, x, y});
    };
    box.OnMouseUp = [&](Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
        seen.push_back({'u', b, x, y});
    };
    QTest::mousePress(&box, Qt::RightButton, Qt::NoModifier, QPoint(10, 20));
    QTest::mouseMove(&box, QPoint(200, 150));
    QTest::mouseRelease(&box, Qt::RightButton, Qt::NoModifier, QPoint(300, 250));
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front(), (Seen{'d', Qt::RightButton, 10, 20}));
    EXPECT_EQ(seen.back(), (Seen{'u', Qt::RightButton, 300, 250}));
    EXPECT_NE(std::find(seen.begin(), seen.end(), Seen{'m', Qt::NoButton, 200, 150}), seen.end());
}

TEST(PaintBox, PaintsOnlyThroughItsHandler)
{
    PaintBox box;
    box.resize(40, 30);
    QImage before = box.grab().toImage();
    box.OnPaint = [](QPainter& canvas) { canvas.fillRect(5, 5, 10, 10, Qt::red); };
    QImage after = box.grab().toImage();
    EXPECT_EQ(after.pixelColor(8, 8), QColor(Qt::red));
    EXPECT_NE(before.pixelColor(8, 8), QColor(Qt::red));
    EXPECT_EQ(after.pixelColor(30, 20), before.pixelColor(30, 20));
    // Without handlers the box ignores the mouse rather than failing.
    box.OnPaint = nullptr;
    QTest::mouseClick(&box, Qt::LeftButton);
}
