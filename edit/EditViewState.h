// SPDX-License-Identifier: GPL-3.0-or-later
// The edit view's selection: the state the mouse handlers share, and what each event does to
// it. The window's handlers draw and capture; everything they decide is decided here.
#pragma once

#include "EditGeometry.h"

#include <QPoint>

#include <array>
#include <cstdint>

enum class SelectionCursor
{
    Default,
    SizeWE,
    SizeNS,
    SizeNWSE,
    SizeNESW,
};

struct EditViewState
{
    // Picture pixels from the picture's top-left; right and bottom are exclusive.
    int32_t SelLeft = 0;
    int32_t SelTop = 0;
    int32_t SelRight = 0;
    int32_t SelBottom = 0;

    // The same edges in paint-box pixels, as last drawn or dragged.
    int32_t ViewSelLeft = 0;
    int32_t ViewSelTop = 0;
    int32_t ViewSelRight = 0;
    int32_t ViewSelBottom = 0;

    bool PointerOnEdge = false;
    int32_t SelDragging = 0; // 1 while the mouse is captured
    bool MoveLeft = false;
    bool MoveRight = false;
    bool MoveTop = false;
    bool MoveBottom = false;

    double ViewScaleX = 0.0; // view pixels per picture pixel
    double ViewScaleY = 0.0;
    int32_t ViewLastX = -1; // last view column and row covered by the picture
    int32_t ViewLastY = -1;

    // The picture's size at the last layout or selection reset; the selection is kept inside it.
    int32_t PictureWidth = 0;
    int32_t PictureHeight = 0;
};

struct PressResult
{
    bool capture = false; // capture the mouse: a drag has begun
    bool redraw = false;  // repaint the view at once
};

// What painting computes apart from drawing: the fit into the box, the scales, the last
// covered view pixels and the selection in view pixels. Returns the drawn size.
DrawnSize LayoutView(EditViewState& s, int32_t boxWidth, int32_t boxHeight, int32_t pictureWidth,
                     int32_t pictureHeight);

// Recomputes the view edges from the picture edges with the scales of the last layout.
void SelectionToView(EditViewState& s);

// Pointer movement without a drag: which edges are under the pointer, and the cursor for them.
SelectionCursor PointerMoved(EditViewState& s, int32_t x, int32_t y);

// A button press at a paint-box point.
PressResult Pressed(EditViewState& s, int32_t x, int32_t y);

// Pointer movement while dragging: the flagged edges follow the pointer. The caller repaints.
void Dragged(EditViewState& s, int32_t x, int32_t y);

// A button release; true when a drag ended and the capture is to be released.
bool Released(EditViewState& s);

// The selection of a newly placed picture: all of it.
void SelectWholePicture(EditViewState& s, int32_t pictureWidth, int32_t pictureHeight);

// The selection of the blank start picture: one pixel short at the right and bottom.
void SelectStartPicture(EditViewState& s, int32_t pictureWidth, int32_t pictureHeight);

// The selection's closed outline in view pixels, starting and ending at the top-left corner.
std::array<QPoint, 5> SelectionOutline(const EditViewState& s);
