// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditGeometry.h"
#include "EditViewState.h"

#include <gtest/gtest.h>

namespace {

struct FitCase
{
    int boxW, boxH, picW, picH;
    DrawnSize expected;
};

TEST(EditGeometry, FitZoomAndPreviewSizes)
{
    const FitCase fits[] = {
        {341, 277, 640, 480, {341, 255}},
        {341, 277, 480, 640, {207, 277}},
        {682, 554, 640, 480, {682, 511}},
        {341, 277, 0, 10, {0, 0}},
    };
    for (const auto& c : fits)
        EXPECT_EQ(FitPicture(c.boxW, c.boxH, c.picW, c.picH), c.expected)
            << c.picW << "x" << c.picH;

    EXPECT_EQ(ZoomedBoxSize(1.0), (DrawnSize{341, 277}));
    EXPECT_EQ(ZoomedBoxSize(0.5), (DrawnSize{170, 138}));
    EXPECT_EQ(ZoomedBoxSize(2.0), (DrawnSize{682, 554}));

    EXPECT_EQ(PreviewSize(320, 200), (DrawnSize{170, 106}));
    EXPECT_EQ(PreviewSize(200, 320), (DrawnSize{106, 170}));
    EXPECT_EQ(PreviewSize(64, 64), (DrawnSize{170, 170}));
}

void ExpectInside(const EditViewState& s)
{
    EXPECT_LE(0, s.SelLeft);
    EXPECT_LE(s.SelLeft, s.SelRight);
    EXPECT_LE(s.SelRight, s.PictureWidth);
    EXPECT_LE(0, s.SelTop);
    EXPECT_LE(s.SelTop, s.SelBottom);
    EXPECT_LE(s.SelBottom, s.PictureHeight);
}

// A picture drawn at scale 1.0 in the zoom-1.0 box.
EditViewState ScaleOne()
{
    EditViewState s;
    SelectWholePicture(s, 341, 200);
    LayoutView(s, 341, 277, 341, 200);
    return s;
}

TEST(EditView, ZoomKeepsTheSelectionOnTheSamePicturePixels)
{
    EditViewState s;
    SelectWholePicture(s, 640, 480);
    s.SelLeft = 100;
    s.SelTop = 80;
    s.SelRight = 300;
    s.SelBottom = 200;
    LayoutView(s, 341, 277, 640, 480);
    const EditViewState one = s;
    LayoutView(s, 682, 554, 640, 480);
    EXPECT_EQ(s.ViewLastX, 681);
    EXPECT_EQ(s.SelLeft, 100);
    EXPECT_EQ(s.SelRight, 300);
    EXPECT_NEAR(s.ViewSelLeft, 2 * one.ViewSelLeft, 1);
    EXPECT_NEAR(s.ViewSelBottom, 2 * one.ViewSelBottom, 1);
    // Whole-picture selection: the view edges are limited to the last drawn pixel.
    SelectWholePicture(s, 640, 480);
    LayoutView(s, 341, 277, 640, 480);
    EXPECT_EQ(s.ViewSelRight, 340);
    EXPECT_EQ(s.ViewSelBottom, 254);
}

TEST(EditView, DragAcrossThePressPointSwapsTheMovingEdges)
{
    EditViewState s = ScaleOne();
    s.PointerOnEdge = false;
    const PressResult p = Pressed(s, 10, 10);
    EXPECT_TRUE(p.capture);
    EXPECT_TRUE(p.redraw);
    Dragged(s, 5, 3);
    EXPECT_EQ(s.SelLeft, 5);
    EXPECT_EQ(s.SelTop, 3);
    EXPECT_EQ(s.SelRight, 10);
    EXPECT_EQ(s.SelBottom, 10);
    EXPECT_TRUE(s.MoveLeft && s.MoveTop);
    EXPECT_FALSE(s.MoveRight || s.MoveBottom);
    Dragged(s, 2, 1);
    EXPECT_EQ(s.SelLeft, 2);
    EXPECT_EQ(s.SelTop, 1);
    EXPECT_EQ(s.SelRight, 10);
    EXPECT_TRUE(Released(s));
    EXPECT_FALSE(Released(s));
}

TEST(EditView, DraggedEdgesStopInsideTheDrawnPicture)
{
    struct Case
    {
        int x, y;
        int left, top, right, bottom;
    };
    // Pressed at (50, 50); drawn 341 x 200. The dragged edges stop at the drawn size minus 2; the
    // selection then takes the picture to its last column and row.
    const Case cases[] = {
        {1000, 1000, 50, 50, 341, 200}, {339, 198, 50, 50, 341, 200}, // at the stops themselves
        {338, 197, 50, 50, 338, 197},                                 // one short of them
        {-40, -40, 0, 0, 50, 50},       {20000, -20000, 50, 0, 341, 50},
    };
    for (const auto& c : cases) {
        EditViewState s = ScaleOne();
        Pressed(s, 50, 50);
        Dragged(s, c.x, c.y);
        EXPECT_EQ(s.SelLeft, c.left) << c.x;
        EXPECT_EQ(s.SelTop, c.top) << c.x;
        EXPECT_EQ(s.SelRight, c.right) << c.x;
        EXPECT_EQ(s.SelBottom, c.bottom) << c.x;
        // Drawn on the picture's last pixels at the most, as a whole-picture selection is.
        EXPECT_LE(s.ViewSelRight, 340);
        EXPECT_LE(s.ViewSelBottom, 199);
        ExpectInside(s);
    }

    // A photo drawn at a twentieth of its size: every view pixel is many picture pixels, and a
    // drag past the corner still selects the whole of it, so that a cut keeps every pixel.
    EditViewState photo;
    SelectWholePicture(photo, 6000, 4000);
    LayoutView(photo, 341, 277, 6000, 4000);
    Pressed(photo, 0, 0);
    Dragged(photo, 400, 300);
    EXPECT_EQ(photo.SelLeft, 0);
    EXPECT_EQ(photo.SelTop, 0);
    EXPECT_EQ(photo.SelRight, 6000);
    EXPECT_EQ(photo.SelBottom, 4000);
    ExpectInside(photo);
}

TEST(EditView, LeftEdgeFlungPastTheRightEdgeStaysInside)
{
    EditViewState s = ScaleOne();
    s.SelLeft = 100;
    s.SelRight = 200;
    s.SelTop = 50;
    s.SelBottom = 150;
    SelectionToView(s);
    EXPECT_EQ(PointerMoved(s, 101, 100), SelectionCursor::SizeWE);
    Pressed(s, 101, 100);
    Dragged(s, 5000, 100);
    ExpectInside(s);
    EXPECT_EQ(s.SelLeft, 200);
    EXPECT_EQ(s.SelRight, 341); // to the picture's last column
    EXPECT_TRUE(s.MoveRight);
    EXPECT_FALSE(s.MoveLeft);
}

TEST(EditView, EdgeTestAndCursors)
{
    struct Case
    {
        int x, y;
        SelectionCursor cursor;
        bool l, r, t, b;
    };
    // Selection 100,50 .. 200,150 in view pixels.
    const Case cases[] = {
        {103, 53, SelectionCursor::SizeNWSE, true, false, true, false},
        {197, 147, SelectionCursor::SizeNWSE, false, true, false, true},
        {197, 53, SelectionCursor::SizeNESW, false, true, true, false},
        {103, 147, SelectionCursor::SizeNESW, true, false, false, true},
        {97, 53, SelectionCursor::SizeWE, true, false, false, false}, // outside on one axis
        {103, 47, SelectionCursor::SizeNS, false, false, true, false},
        {97, 47, SelectionCursor::Default, false, false, false, false}, // outside the corner
        {150, 100, SelectionCursor::Default, false, false, false, false},
        {95, 100, SelectionCursor::Default, false, false, false, false}, // 5 away: too far
        {96, 100, SelectionCursor::SizeWE, true, false, false, false},
    };
    for (const auto& c : cases) {
        EditViewState s = ScaleOne();
        s.SelLeft = 100;
        s.SelTop = 50;
        s.SelRight = 200;
        s.SelBottom = 150;
        SelectionToView(s);
        EXPECT_EQ(PointerMoved(s, c.x, c.y), c.cursor) << c.x << "," << c.y;
        EXPECT_EQ(s.MoveLeft, c.l) << c.x << "," << c.y;
        EXPECT_EQ(s.MoveRight, c.r) << c.x << "," << c.y;
        EXPECT_EQ(s.MoveTop, c.t) << c.x << "," << c.y;
        EXPECT_EQ(s.MoveBottom, c.b) << c.x << "," << c.y;
        EXPECT_EQ(s.PointerOnEdge, c.l || c.r || c.t || c.b);
    }
}

TEST(EditView, CornerGrabMovesBothEdgesAndReleaseKeepsTheGrab)
{
    EditViewState s = ScaleOne();
    s.SelLeft = 100;
    s.SelTop = 50;
    s.SelRight = 200;
    s.SelBottom = 150;
    SelectionToView(s);
    PointerMoved(s, 103, 53);
    const PressResult p = Pressed(s, 103, 53);
    EXPECT_TRUE(p.capture);
    EXPECT_FALSE(p.redraw);
    Dragged(s, 80, 30);
    EXPECT_EQ(s.SelLeft, 80);
    EXPECT_EQ(s.SelTop, 30);
    EXPECT_EQ(s.SelRight, 200);
    EXPECT_EQ(s.SelBottom, 150);
    Released(s);
    // Pressing again without moving grabs the same corner.
    Pressed(s, 80, 30);
    Dragged(s, 90, 40);
    EXPECT_EQ(s.SelLeft, 90);
    EXPECT_EQ(s.SelTop, 40);
    EXPECT_EQ(s.SelRight, 200);
}

TEST(EditView, PressBesideANarrowPictureDoesNothing)
{
    EditViewState s;
    SelectWholePicture(s, 100, 400);
    LayoutView(s, 341, 277, 100, 400); // drawn 69 x 277
    ASSERT_EQ(s.ViewLastX, 68);
    PointerMoved(s, 75, 100);
    const EditViewState before = s;
    const PressResult p = Pressed(s, 75, 100);
    EXPECT_FALSE(p.capture || p.redraw);
    EXPECT_EQ(s.SelDragging, 0);
    EXPECT_EQ(s.SelRight, before.SelRight);
    EXPECT_EQ(s.SelLeft, before.SelLeft);
}

TEST(EditView, TinyDrawingsKeepTheSelectionInsideThePicture)
{
    struct Case
    {
        int picW, picH, boxW, boxH;
    };
    const Case cases[] = {
        {1, 1, 341, 277},    {1, 1, 1, 1},        {2, 2, 2, 2},
        {1000, 1, 341, 277}, {1000, 3, 341, 277}, {5, 5, 1, 2},
    };
    const int points[][2] = {{0, 0}, {1, 1}, {-50, 900}, {900, -50}, {900, 900}};
    for (const auto& c : cases) {
        EditViewState s;
        SelectStartPicture(s, c.picW, c.picH);
        LayoutView(s, c.boxW, c.boxH, c.picW, c.picH);
        ExpectInside(s);
        Pressed(s, 0, 0);
        for (const auto& pt : points) {
            if (s.SelDragging)
                Dragged(s, pt[0], pt[1]);
            ExpectInside(s);
        }
        Released(s);
        PointerMoved(s, 0, 0);
        Pressed(s, 0, 0);
        Dragged(s, 900, 900);
        ExpectInside(s);
    }
}

TEST(EditView, StartAndWholeSelectionsAndOutline)
{
    EditViewState s;
    SelectStartPicture(s, 320, 200);
    EXPECT_EQ(s.SelRight, 319);
    EXPECT_EQ(s.SelBottom, 199);
    SelectWholePicture(s, 320, 200);
    EXPECT_EQ(s.SelRight, 320);
    EXPECT_EQ(s.SelBottom, 200);
    s.ViewSelLeft = 1;
    s.ViewSelTop = 2;
    s.ViewSelRight = 3;
    s.ViewSelBottom = 4;
    const auto o = SelectionOutline(s);
    EXPECT_EQ(o[0], QPoint(1, 2));
    EXPECT_EQ(o[1], QPoint(3, 2));
    EXPECT_EQ(o[2], QPoint(3, 4));
    EXPECT_EQ(o[3], QPoint(1, 4));
    EXPECT_EQ(o[4], o[0]);
}

} // namespace
