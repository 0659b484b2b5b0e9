// The load page, the load preview and the edit view.
#include "MainForm.h"
#include "ui_MainForm.h"

#include "EditGeometry.h"
#include "FileFilter.h"
#include "Messages.h"

#include <QDir>

void TMainForm::ShowDirectory(const QString& path)
{
    // A directory that vanished or cannot be read keeps the lists as they were.
    const QDir dir(path);
    if (!dir.exists() || !dir.isReadable() || !QDir::setCurrent(dir.absolutePath()))
        return;
    ui->DirectoryListBox1->clear();
    if (!dir.isRoot())
        ui->DirectoryListBox1->addItem(QStringLiteral(".."));
    ui->DirectoryListBox1->addItems(
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase));
    ShowMatchingFiles();
}

void TMainForm::ShowMatchingFiles()
{
    const QStringList masks = ui->FilterComboBox1->currentData().toStringList();
    ui->FileListBox1->clear();
    const QDir dir = QDir::current();
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase))
        if (MatchesMasks(name, masks))
            ui->FileListBox1->addItem(name);
}

void TMainForm::FileListBox1DblClick()
{
    const QListWidgetItem* item = ui->FileListBox1->currentItem();
    if (!item)
        return;
    const PictureRecord loaded = OpenDib(QFile::encodeName(item->text()).constData(), 0);
    if (!loaded.Bits) {
        ShowMessage(this, QStringLiteral("Couldn't load file!"));
        return;
    }
    deldib(CurrentPicture);
    CurrentPicture = loaded;
    const int32_t w = DIBWidth(CurrentPicture);
    const int32_t h = DIBHeight(CurrentPicture);
    ui->Breit->setText(QString::number(w));
    ui->Hoch->setText(QString::number(h));
    ui->Tief->setText(QString::number(zweihoch(CurrentPicture.Info->bmiHeader.biBitCount)));
    SelLeft = 0;
    SelTop = 0;
    SelRight = w;
    SelBottom = h;
    SpinSizeEdits edits(ui->BreitEd, ui->HochEd);
    ResetForNewPicture(Geometry, CurrentSizeInputs(), edits);
    by_anpassen();
    ui->PaintBox1->repaint();
    ui->PaintBox2->update();
}

void TMainForm::FileListBox1KeyDown(int& Key, Qt::KeyboardModifiers /*Shift*/)
{
    if (Key == Qt::Key_Return || Key == Qt::Key_Enter) {
        FileListBox1DblClick();
        Key = 0;
    }
}

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
