// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditViewState.h"

#include "Rounding.h"

#include <algorithm>
#include <utility>

namespace {

// The pointer grabs an edge when it is closer than this many view pixels to it.
constexpr int32_t kEdgeTolerance = 5;

int32_t ViewFromPicture(int32_t edge, int32_t drawn, int32_t picture)
{
    if (picture <= 0)
        return 0;
    return RoundHalfEven(double(int64_t(edge) * drawn) / picture);
}

// A scale of 0 comes from a picture drawn 0 pixels wide; every view point then maps to 0.
int32_t PictureFromView(int32_t edge, double scale)
{
    if (!(scale > 0.0))
        return 0;
    return RoundHalfEven(edge / scale);
}

bool Near(int32_t pointer, int32_t edge)
{
    return pointer + kEdgeTolerance > edge && pointer - kEdgeTolerance < edge;
}

// The last view pixel a dragged edge may reach. A picture drawn 1 or 2 pixels wide leaves no
// room short of its last pixel, so the edges stay on its first one.
int32_t DragLimit(int32_t viewLast)
{
    return std::max(0, viewLast - 1);
}

void KeepInsidePicture(EditViewState& s)
{
    s.SelLeft = std::clamp(s.SelLeft, 0, std::max(0, s.PictureWidth));
    s.SelRight = std::clamp(s.SelRight, 0, std::max(0, s.PictureWidth));
    s.SelTop = std::clamp(s.SelTop, 0, std::max(0, s.PictureHeight));
    s.SelBottom = std::clamp(s.SelBottom, 0, std::max(0, s.PictureHeight));
    if (s.SelRight < s.SelLeft)
        std::swap(s.SelLeft, s.SelRight);
    if (s.SelBottom < s.SelTop)
        std::swap(s.SelTop, s.SelBottom);
}

} // namespace

DrawnSize LayoutView(EditViewState& s, int32_t boxWidth, int32_t boxHeight, int32_t pictureWidth,
                     int32_t pictureHeight)
{
    const DrawnSize d = FitPicture(boxWidth, boxHeight, pictureWidth, pictureHeight);
    s.PictureWidth = pictureWidth;
    s.PictureHeight = pictureHeight;
    s.ViewScaleX = pictureWidth > 0 ? double(d.width) / pictureWidth : 0.0;
    s.ViewScaleY = pictureHeight > 0 ? double(d.height) / pictureHeight : 0.0;
    s.ViewLastX = d.width - 1;
    s.ViewLastY = d.height - 1;
    SelectionToView(s);
    return d;
}

void SelectionToView(EditViewState& s)
{
    const int32_t drawnW = s.ViewLastX + 1;
    const int32_t drawnH = s.ViewLastY + 1;
    s.ViewSelLeft = ViewFromPicture(s.SelLeft, drawnW, s.PictureWidth);
    s.ViewSelRight = std::min(ViewFromPicture(s.SelRight, drawnW, s.PictureWidth), s.ViewLastX);
    s.ViewSelTop = ViewFromPicture(s.SelTop, drawnH, s.PictureHeight);
    s.ViewSelBottom = std::min(ViewFromPicture(s.SelBottom, drawnH, s.PictureHeight), s.ViewLastY);
}

SelectionCursor PointerMoved(EditViewState& s, int32_t x, int32_t y)
{
    const int32_t l = s.ViewSelLeft, t = s.ViewSelTop, r = s.ViewSelRight, b = s.ViewSelBottom;
    const bool withinRows = t <= y && y <= b;
    const bool withinColumns = l <= x && x <= r;

    s.MoveLeft = Near(x, l) && x < r && withinRows;
    s.MoveRight = !s.MoveLeft && Near(x, r) && x > l && withinRows;
    s.MoveTop = Near(y, t) && y < b && withinColumns;
    s.MoveBottom = !s.MoveTop && Near(y, b) && y > t && withinColumns;
    s.PointerOnEdge = s.MoveLeft || s.MoveRight || s.MoveTop || s.MoveBottom;

    const bool horizontal = s.MoveLeft || s.MoveRight;
    const bool vertical = s.MoveTop || s.MoveBottom;
    if (horizontal && vertical)
        return (s.MoveLeft == s.MoveTop) ? SelectionCursor::SizeNWSE : SelectionCursor::SizeNESW;
    if (horizontal)
        return SelectionCursor::SizeWE;
    if (vertical)
        return SelectionCursor::SizeNS;
    return SelectionCursor::Default;
}

PressResult Pressed(EditViewState& s, int32_t x, int32_t y)
{
    if (s.PointerOnEdge) {
        s.SelDragging = 1;
        return {true, false};
    }
    if (x > s.ViewLastX || y > s.ViewLastY || x < 0 || y < 0)
        return {};

    s.SelDragging = 1;
    s.ViewSelLeft = s.ViewSelRight = x;
    s.ViewSelTop = s.ViewSelBottom = y;
    s.MoveLeft = false;
    s.MoveTop = false;
    s.MoveRight = true;
    s.MoveBottom = true;
    s.SelLeft = s.SelRight = PictureFromView(x, s.ViewScaleX);
    s.SelTop = s.SelBottom = PictureFromView(y, s.ViewScaleY);
    KeepInsidePicture(s);
    SelectionToView(s);
    return {true, true};
}

void Dragged(EditViewState& s, int32_t x, int32_t y)
{
    if (s.MoveLeft)
        s.ViewSelLeft = x;
    if (s.MoveRight)
        s.ViewSelRight = x;
    if (s.MoveTop)
        s.ViewSelTop = y;
    if (s.MoveBottom)
        s.ViewSelBottom = y;

    // All four edges are limited, not only the far ones: an edge that crossed its opposite edge
    // in one movement would otherwise carry the selection out of the picture.
    const int32_t lastX = DragLimit(s.ViewLastX);
    const int32_t lastY = DragLimit(s.ViewLastY);
    s.ViewSelLeft = std::clamp(s.ViewSelLeft, 0, lastX);
    s.ViewSelRight = std::clamp(s.ViewSelRight, 0, lastX);
    s.ViewSelTop = std::clamp(s.ViewSelTop, 0, lastY);
    s.ViewSelBottom = std::clamp(s.ViewSelBottom, 0, lastY);

    s.SelLeft = PictureFromView(s.ViewSelLeft, s.ViewScaleX);
    s.SelRight = PictureFromView(s.ViewSelRight, s.ViewScaleX);
    s.SelTop = PictureFromView(s.ViewSelTop, s.ViewScaleY);
    s.SelBottom = PictureFromView(s.ViewSelBottom, s.ViewScaleY);

    // A drag that reaches the edge's stop, or goes past it, takes the selection to the picture's
    // last column or row: one view pixel may stand for many picture pixels, and the stop lies
    // short of the drawn picture's end.
    if (x >= lastX && s.PictureWidth > 0) {
        if (s.MoveRight)
            s.SelRight = s.PictureWidth;
        if (s.MoveLeft)
            s.SelLeft = s.PictureWidth;
    }
    if (y >= lastY && s.PictureHeight > 0) {
        if (s.MoveBottom)
            s.SelBottom = s.PictureHeight;
        if (s.MoveTop)
            s.SelTop = s.PictureHeight;
    }

    // The edge under the pointer keeps following it after it passed the opposite edge.
    if (s.SelRight < s.SelLeft) {
        std::swap(s.SelLeft, s.SelRight);
        std::swap(s.MoveLeft, s.MoveRight);
    }
    if (s.SelBottom < s.SelTop) {
        std::swap(s.SelTop, s.SelBottom);
        std::swap(s.MoveTop, s.MoveBottom);
    }
    KeepInsidePicture(s);
    SelectionToView(s);
}

bool Released(EditViewState& s)
{
    if (s.SelDragging != 1)
        return false;
    s.SelDragging = 0;
    return true;
}

void SelectWholePicture(EditViewState& s, int32_t pictureWidth, int32_t pictureHeight)
{
    s.PictureWidth = pictureWidth;
    s.PictureHeight = pictureHeight;
    s.SelLeft = 0;
    s.SelTop = 0;
    s.SelRight = pictureWidth;
    s.SelBottom = pictureHeight;
    KeepInsidePicture(s);
}

void SelectStartPicture(EditViewState& s, int32_t pictureWidth, int32_t pictureHeight)
{
    SelectWholePicture(s, pictureWidth, pictureHeight);
    s.SelRight = std::max(0, pictureWidth - 1);
    s.SelBottom = std::max(0, pictureHeight - 1);
}

std::array<QPoint, 5> SelectionOutline(const EditViewState& s)
{
    return {QPoint(s.ViewSelLeft, s.ViewSelTop), QPoint(s.ViewSelRight, s.ViewSelTop),
            QPoint(s.ViewSelRight, s.ViewSelBottom), QPoint(s.ViewSelLeft, s.ViewSelBottom),
            QPoint(s.ViewSelLeft, s.ViewSelTop)};
}
