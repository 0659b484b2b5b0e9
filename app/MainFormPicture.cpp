// The load page, the load preview and the edit view.
#include "MainForm.h"
#include "ui_MainForm.h"

#include "EditGeometry.h"

void TMainForm::FileListBox1DblClick() {}

void TMainForm::FileListBox1KeyDown(int& /*Key*/, Qt::KeyboardModifiers /*Shift*/) {}

void TMainForm::PaintBox1Paint(QPainter& Canvas)
{
    const int32_t w = DIBWidth(CurrentPicture);
    const int32_t h = DIBHeight(CurrentPicture);
    const DrawnSize drawn = PreviewSize(w, h);
    StretchDrawDIB(&Canvas, 0, 0, drawn.width, drawn.height, CurrentPicture, 0, 0, w, h, true,
                   SRCCOPY);
}

void TMainForm::PaintBox2Paint(QPainter& /*Canvas*/) {}

void TMainForm::ZoomEd2Change() {}

void TMainForm::PaintBox2MouseDown(Qt::MouseButton /*Button*/, Qt::KeyboardModifiers /*Shift*/,
                                   int /*X*/, int /*Y*/)
{
}

void TMainForm::PaintBox2MouseMove(Qt::KeyboardModifiers /*Shift*/, int /*X*/, int /*Y*/) {}

void TMainForm::PaintBox2MouseUp(Qt::MouseButton /*Button*/, Qt::KeyboardModifiers /*Shift*/,
                                 int /*X*/, int /*Y*/)
{
}

void TMainForm::setcursor_(Qt::CursorShape /*Cursor*/) {}
