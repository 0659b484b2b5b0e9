// SPDX-License-Identifier: GPL-3.0-or-later
// The edit view driven with synthesised mouse events on the real window.
#include "WindowTestSupport.h"
#include "ui_MainForm.h"

#include "Rounding.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QScrollBar>
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

// A drawing enlarged past its rendering is drawn anew at the view's scale, once the view rests:
// a hairline stays one line thin at zoom 10 where the rendering stretched would be a band.
TEST(EditViewWindow, ADrawingAtAHighZoomIsRenderedSharpWhereItIsSeen)
{
    {
        const QByteArray content = "0 w 200.5 0 m 200.5 100 l S";
        QFile file(QStringLiteral("hairline.pdf"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        // No cross-reference table: the reader rebuilds it, as it does for many files.
        file.write("%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
                   "2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj\n"
                   "3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 400 100] /Contents 4 0 R "
                   ">> endobj\n4 0 obj << /Length " +
                   QByteArray::number(content.size()) + " >> stream\n" + content +
                   "\nendstream endobj\ntrailer << /Root 1 0 R /Size 5 >>\n%%EOF\n");
    }
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    ASSERT_TRUE(w.OpenPictureFile(QStringLiteral("hairline.pdf")));
    ASSERT_NE(w.CurrentSource.drawing(), nullptr);
    ui.PageControl1->setCurrentWidget(ui.TabSheet8);
    ui.ZoomEd2->setValue(10.0);
    // The line is in the middle of the wide picture, which is drawn as wide as the box, over
    // three times its rendering's 1000 pixels.
    const int middle = ui.PaintBox2->width() / 2;
    ui.ScrollBox1->horizontalScrollBar()->setValue(middle - 150);
    const auto darkAcross = [&] {
        const QImage row = ui.PaintBox2->grab(QRect(middle - 100, 100, 200, 1)).toImage();
        int dark = 0;
        for (int x = 0; x < row.width(); ++x)
            dark += qGray(row.pixel(x, 0)) < 160;
        return dark;
    };
    const int stretched = darkAcross();
    EXPECT_GE(stretched, 3) << "the rendering stretched, before the sharp one comes";
    QDeadlineTimer deadline(20000);
    while (darkAcross() > 2 && !deadline.hasExpired())
        QTest::qWait(20);
    EXPECT_LE(darkAcross(), 2) << "drawn anew at the view's scale";
    EXPECT_GE(darkAcross(), 1);
}

} // namespace
