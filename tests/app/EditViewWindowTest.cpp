// The edit view driven with synthesised mouse events on the real window.
#include "WindowTestSupport.h"
#include "ui_MainForm.h"

#include "Rounding.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(EditViewWindow, DragAcrossTheStartCornerSwapsTheMovingEdges)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    ui.PageControl1->setCurrentWidget(ui.TabSheet8);
    ui.PaintBox2->repaint();
    ASSERT_EQ(w.View.ViewLastX, 340); // 320 x 200 fitted into 341 x 277: 341 x 213
    ASSERT_EQ(w.View.ViewLastY, 212);

    QTest::mousePress(ui.PaintBox2, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(w.View.SelDragging, 1);
    QTest::mouseMove(ui.PaintBox2, QPoint(5, 3));
    QTest::mouseRelease(ui.PaintBox2, Qt::LeftButton, {}, QPoint(5, 3));
    EXPECT_EQ(w.View.SelDragging, 0);

    const double sx = w.View.ViewScaleX, sy = w.View.ViewScaleY;
    EXPECT_EQ(w.View.SelLeft, RoundHalfEven(5 / sx));
    EXPECT_EQ(w.View.SelTop, RoundHalfEven(3 / sy));
    EXPECT_EQ(w.View.SelRight, RoundHalfEven(10 / sx));
    EXPECT_EQ(w.View.SelBottom, RoundHalfEven(10 / sy));
    EXPECT_TRUE(w.View.MoveLeft);
    EXPECT_TRUE(w.View.MoveTop);
}

TEST(EditViewWindow, DraggingOutOfTheViewStopsInsideThePicture)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    ui.PageControl1->setCurrentWidget(ui.TabSheet8);
    ui.PaintBox2->repaint();
    QTest::mousePress(ui.PaintBox2, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(ui.PaintBox2, QPoint(2000, 1500)); // far outside the window
    QTest::mouseRelease(ui.PaintBox2, Qt::LeftButton, {}, QPoint(2000, 1500));
    // The whole rest of the 320 x 200 picture, to its last column and row, framed on its last
    // drawn pixels as the whole picture is.
    EXPECT_EQ(w.View.ViewSelRight, w.View.ViewLastX);
    EXPECT_EQ(w.View.SelRight, 320);
    EXPECT_EQ(w.View.SelBottom, 200);
    EXPECT_LE(w.View.SelLeft, w.View.SelRight);
}

TEST(EditViewWindow, ZoomResizesTheEditView)
{
    StartedProgram program;
    Ui::MainForm& ui = program.window->Form();
    ui.ZoomEd2->setValue(2.0);
    EXPECT_EQ(ui.PaintBox2->size(), QSize(682, 554));
    ui.ZoomEd2->setValue(0.5);
    EXPECT_EQ(ui.PaintBox2->size(), QSize(170, 138));
}

} // namespace
