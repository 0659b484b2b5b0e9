// SPDX-License-Identifier: GPL-3.0-or-later
// The load page, the load preview and the edit view.
#include "MainForm.h"
#include "ui_MainForm.h"

#include "DrawingSource.h"
#include "EditGeometry.h"
#include "FileFilter.h"
#include "FileName.h"
#include "HKUnit.h"
#include "Messages.h"
#include "PictureFacts.h"
#include "PictureOps.h"
#include "PictureOrientation.h"
#include "PictureRead.h"
#include "VectorPage.h"
#include "WaitCursor.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kIndentRole = Qt::UserRole + 1;
constexpr int kFileRole = Qt::UserRole; // of the file list: the name as the system has it
constexpr int kIndentStep = 10;         // pixels per level of the directory list

// Draws each line of the directory list that many steps in, as the classic list does.
class IndentedLines : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyleOptionViewItem moved(option);
        moved.rect.setLeft(moved.rect.left() + Indent(index));
        QStyledItemDelegate::paint(painter, moved, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(Indent(index), 0);
    }

private:
    static int Indent(const QModelIndex& index)
    {
        return kIndentStep * index.data(kIndentRole).toInt();
    }
};

// Names in the order the lists show them: by their letters whatever the case, then by case.
void SortNames(QStringList& names)
{
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
}

} // namespace

void TMainForm::SetUpDirectoryList()
{
    ui->DirectoryListBox1->setItemDelegate(new IndentedLines(ui->DirectoryListBox1));
    // A double-click or Enter opens a line, as in the classic list; a single click only moves
    // the mark, so the second click of a double-click cannot land in the list it opened.
    connect(ui->DirectoryListBox1, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { ShowDirectory(item->data(kPathRole).toString()); });
}

void TMainForm::ShowDirectory(const QString& path)
{
    // A directory that vanished or cannot be read keeps the lists as they were, but for the
    // vanished one itself, which is taken off them. By its bytes: a folder whose name is not
    // UTF-8 opens as it is.
    if (!EnterFolder(path)) {
        if (!IsFolderName(path) && QDir::cleanPath(path) != QDir::cleanPath(WorkingFolder()))
            DirectoryChanged();
        return;
    }
    const QString current = QDir::cleanPath(WorkingFolder());
    OpenDirectory = current;
    // The lists follow what others do to the open directory.
    if (!DirectoryWatch.directories().isEmpty())
        DirectoryWatch.removePaths(DirectoryWatch.directories());
    DirectoryWatch.addPath(current);

    // The volumes are read again each time: a stick may have come or gone.
    const std::vector<DriveEntry> drives = ListDrives();
    const int volume = VolumeHolding(drives, current);
    ui->DriveComboBox1->clear();
    for (const DriveEntry& drive : drives)
        ui->DriveComboBox1->addItem(drive.name, drive.path);
    ui->DriveComboBox1->setCurrentIndex(volume);

    const QString root = volume >= 0 ? drives[size_t(volume)].path : QStringLiteral("/");
    QStringList folders = FolderNamesIn(current);
    SortNames(folders);
    const std::vector<DirectoryLine> lines = DirectoryLines(root, current, folders);
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    QListWidget* list = ui->DirectoryListBox1;
    list->clear();
    QListWidgetItem* currentItem = nullptr;
    for (const DirectoryLine& line : lines) {
        auto* item =
            new QListWidgetItem(line.open ? openIcon : closedIcon, FileNameText(line.name), list);
        item->setData(kPathRole, line.path);
        item->setData(kIndentRole, line.indent);
        if (line.open)
            currentItem = item;
    }
    list->setCurrentItem(currentItem);
    list->scrollToItem(currentItem);
    ShowMatchingFiles();
}

void TMainForm::ShowMatchingFiles()
{
    const QStringList masks = ui->FilterComboBox1->currentData().toStringList();
    // The chosen file stays chosen when the list is read again.
    const QListWidgetItem* chosen = ui->FileListBox1->currentItem();
    const QString keep = chosen ? FileOfItem(*chosen) : QString();
    ui->FileListBox1->clear();
    // By their bytes: a name that is not UTF-8 is listed readably and opens as it is.
    QStringList names = FileNamesIn(QStringLiteral("."));
    SortNames(names);
    for (const QString& name : names)
        if (MatchesMasks(name, masks)) {
            auto* item = new QListWidgetItem(FileNameText(name), ui->FileListBox1);
            item->setData(kFileRole, name);
            if (name == keep)
                ui->FileListBox1->setCurrentItem(item);
        }
}

void TMainForm::DirectoryChanged()
{
    // The open directory itself may be gone: the nearest one above it that is left opens.
    // By its path: the process's working directory of a folder that was removed still reads.
    QString dir = QDir::cleanPath(OpenDirectory);
    while (!IsFolderName(dir) && dir != QStringLiteral("/"))
        dir = QDir::cleanPath(dir + QStringLiteral("/.."));
    ShowDirectory(dir);
}

QString TMainForm::FileOfItem(const QListWidgetItem& item)
{
    const QVariant name = item.data(kFileRole);
    return name.isValid() ? name.toString() : item.text();
}

QListWidgetItem* TMainForm::FileItem(const QString& name) const
{
    for (int row = 0; row < ui->FileListBox1->count(); ++row)
        if (QListWidgetItem* item = ui->FileListBox1->item(row); FileOfItem(*item) == name)
            return item;
    return nullptr;
}

void TMainForm::FileListBox1DblClick()
{
    const QListWidgetItem* item = ui->FileListBox1->currentItem();
    if (!item)
        return;
    LoadPicture(FileOfItem(*item));
}

bool TMainForm::LoadDrawing(const QString& path)
{
    // The window shows a rendering; the poster is printed from the page itself. A file of
    // several pages comes in at its first; the load page then offers the others.
    QString error;
    std::shared_ptr<const DrawingSource> drawing;
    {
        WaitCursor wait;
        drawing = ReadDrawing(path, 0, &error);
    }
    return ShowDrawing(drawing, error);
}

void TMainForm::PdfPageEdChange(int page)
{
    const DrawingSource* current = CurrentSource.drawing();
    if (!current || page - 1 == current->page->pageIndex())
        return;
    QString error;
    std::shared_ptr<const DrawingSource> drawing;
    {
        WaitCursor wait;
        drawing = DrawingPage(*current, page - 1, &error);
    }
    if (!ShowDrawing(drawing, error))
        ShowPictureFacts(); // the page shown stays the one chosen
}

bool TMainForm::ShowDrawing(const std::shared_ptr<const DrawingSource>& drawing,
                            const QString& error)
{
    PictureRecord rendering;
    QString why = error;
    if (drawing) {
        WaitCursor wait;
        rendering = RenderWholeDrawing(*drawing, &why);
    }
    if (!TakeOverPicture(rendering)) {
        // With the reason, as a locked or damaged file can be mended by its owner.
        ShowMessage(this, why.isEmpty() ? tr("Couldn't load file!")
                                        : tr("Couldn't load file! (%1)").arg(why));
        return false;
    }
    CurrentSource = PosterSource::Drawing(drawing);
    ShowPictureFacts();
    ShowFinishedSize(); // printed as vectors, not at the rendering's resolution
    ui->PaintBox1->repaint();
    ui->PaintBox2->update();
    return true;
}

bool TMainForm::LoadPicture(const QString& path)
{
    if (IsDrawingFile(path))
        return LoadDrawing(path);
    // A photo comes in upright by its orientation tag, as every viewer shows it. A JPEG goes
    // into the poster document as its own data for as long as nothing but lossless edits of its
    // blocks changes it; the orientation is one more of them.
    PictureRecord loaded;
    PosterSource source;
    RunAsJob([&] {
        const int orientation = PictureOrientationOfFile(path);
        // The file is read once: a JPEG's bytes, read for its pixels, are kept as its data.
        PictureRead read = ReadPictureFile(FileNameBytes(path).constData(), true);
        loaded = TakeUpright(read.picture, orientation);
        if (!loaded.Bits)
            return;
        source = PosterSource::Jpeg(JpegSourceOf(std::move(read.jpegBytes))).Upright(orientation);
        if (!source.Fits(DIBWidth(loaded), DIBHeight(loaded)))
            source = PosterSource();
    });
    if (!TakeOverPicture(loaded)) {
        ShowMessage(this, tr("Couldn't load file!"));
        return false;
    }
    CurrentSource = source;
    ui->PaintBox1->repaint();
    ui->PaintBox2->update();
    return true;
}

bool TMainForm::OpenPictureFile(const QString& path)
{
    // The load page opens the file's folder with the file chosen, as if it had been picked
    // there; a type the chosen filter hides shows under "All files (*.*)".
    // By the name's bytes, which QFileInfo would decode as UTF-8.
    const QString absolute = AbsoluteFileName(path);
    const qsizetype slash = absolute.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash > 0 ? absolute.left(slash) : QStringLiteral("/");
    const QString name = absolute.mid(slash + 1);
    if (IsRegularFileName(absolute)) {
        ShowDirectory(folder);
        if (QDir::cleanPath(OpenDirectory) == QDir::cleanPath(folder)) {
            QListWidgetItem* found = FileItem(name);
            if (!found && ui->FilterComboBox1->count() > 0) {
                ui->FilterComboBox1->setCurrentIndex(ui->FilterComboBox1->count() - 1);
                found = FileItem(name);
            }
            if (found)
                ui->FileListBox1->setCurrentItem(found);
        }
    }
    return LoadPicture(absolute);
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

namespace {

Qt::CursorShape CursorFor(SelectionCursor cursor)
{
    switch (cursor) {
    case SelectionCursor::SizeWE:
        return Qt::SizeHorCursor;
    case SelectionCursor::SizeNS:
        return Qt::SizeVerCursor;
    case SelectionCursor::SizeNWSE:
        return Qt::SizeFDiagCursor;
    case SelectionCursor::SizeNESW:
        return Qt::SizeBDiagCursor;
    case SelectionCursor::Default:
        break;
    }
    return Qt::ArrowCursor;
}

} // namespace

void TMainForm::PaintBox2Paint(QPainter& Canvas)
{
    const int32_t w = DIBWidth(CurrentPicture);
    const int32_t h = DIBHeight(CurrentPicture);
    const DrawnSize drawn = LayoutView(View, ui->PaintBox2->width(), ui->PaintBox2->height(), w, h);
    StretchDrawDIB(&Canvas, 0, 0, drawn.width, drawn.height, CurrentPicture, 0, 0, w, h, true,
                   SRCCOPY);
    PaintSharpPart(Canvas, drawn);
    // Black dots on white: the outline shows on any picture.
    Canvas.setPen(QPen(Qt::black, 1, Qt::DotLine));
    Canvas.setBackgroundMode(Qt::OpaqueMode);
    Canvas.setBackground(Qt::white);
    const auto outline = SelectionOutline(View);
    Canvas.drawPolyline(outline.data(), int(outline.size()));
}

void TMainForm::PaintSharpPart(QPainter& canvas, const DrawnSize& drawn)
{
    const std::shared_ptr<const DrawingSource> drawing = CurrentSource.sharedDrawing();
    // A drawing drawn at another size than its rendering's is drawn sharper from a rendering at
    // that size: no steps when enlarged, no lost strokes when made smaller.
    if (!drawing || drawn.width == DIBWidth(CurrentPicture))
        return;
    // While brightness and contrast are tried, the view shows their change on the rendering.
    if (HKForm && HKForm->BackupPicture.Bits)
        return;
    const QRect visible =
        ui->PaintBox2->visibleRegion().boundingRect() & QRect(0, 0, drawn.width, drawn.height);
    const PictureRecord& sharp = SharpPicture.get();
    if (Sharp.of == drawing && Sharp.drawn == drawn && sharp.Bits) {
        StretchDrawDIB(&canvas, Sharp.at.x(), Sharp.at.y(), Sharp.at.width(), Sharp.at.height(),
                       sharp, 0, 0, DIBWidth(sharp), DIBHeight(sharp), true, SRCCOPY);
        if (Sharp.at.contains(visible))
            return;
    }
    // A view scrolled or zoomed further asks anew a moment later, for where it is then.
    SharpWanted.of = drawing;
    SharpWanted.drawn = drawn;
    SharpWanted.at = visible.adjusted(-visible.width() / 2, -visible.height() / 2,
                                      visible.width() / 2, visible.height() / 2) &
                     QRect(0, 0, drawn.width, drawn.height);
    if (!SharpTimer.isActive())
        SharpTimer.start();
}

void TMainForm::RenderSharpPart()
{
    if (SharpRender.isRunning()) {
        SharpTimer.start(); // one at a time; asked again when this one is done
        return;
    }
    if (!SharpWanted.of || SharpWanted.at.isEmpty())
        return;
    SharpRunning = SharpWanted;
    const double scale = double(SharpRunning.drawn.width) / SharpRunning.of->width;
    SharpRender.setFuture(
        QtConcurrent::run([drawing = SharpRunning.of, scale, part = SharpRunning.at] {
            QString ignored; // the view keeps the coarser picture then
            return RenderShownPart(*drawing, scale, part, &ignored);
        }));
}

void TMainForm::TakeSharpPart()
{
    HeldPicture made(SharpRender.result());
    // Kept only for the picture and the scale it was made for.
    if (!made || SharpRunning.of != CurrentSource.sharedDrawing())
        return;
    Sharp = SharpRunning;
    Sharp.at.setSize(QSize(DIBWidth(made.get()), DIBHeight(made.get())));
    SharpPicture = std::move(made);
    ui->PaintBox2->update();
}

void TMainForm::ZoomEd2Change()
{
    const DrawnSize size = ZoomedBoxSize(ui->ZoomEd2->value());
    ui->PaintBox2->setFixedSize(size.width, size.height);
    ui->PaintBox2->update();
}

// The press grabs the mouse until the release (Qt's implicit grab), so a drag that leaves the
// view, or the window, keeps moving the edge.
void TMainForm::PaintBox2MouseDown(Qt::MouseButton /*Button*/, Qt::KeyboardModifiers /*Shift*/,
                                   int X, int Y)
{
    if (Pressed(View, X, Y).redraw)
        ui->PaintBox2->repaint();
}

void TMainForm::PaintBox2MouseMove(Qt::KeyboardModifiers /*Shift*/, int X, int Y)
{
    if (View.SelDragging == 1) {
        Dragged(View, X, Y);
        ui->PaintBox2->repaint();
        return;
    }
    setcursor_(CursorFor(PointerMoved(View, X, Y)));
}

void TMainForm::PaintBox2MouseUp(Qt::MouseButton /*Button*/, Qt::KeyboardModifiers /*Shift*/,
                                 int /*X*/, int /*Y*/)
{
    Released(View);
}

void TMainForm::setcursor_(Qt::CursorShape Cursor)
{
    if (ui->PaintBox2->cursor().shape() != Cursor)
        ui->PaintBox2->setCursor(Cursor);
}
