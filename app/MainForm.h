// SPDX-License-Identifier: GPL-3.0-or-later
// The main window. It owns the whole state of the program as plain fields, and every operation
// is one of its handlers. The handlers are spread over files by concern:
//   MainForm.cpp         creation, closing, help and about
//   MainFormPicture.cpp  loading, the previews and the edit view
//   MainFormEdit.cpp     the picture operations and scanning
//   MainFormOptions.cpp  paper format, print options and poster size
//   MainFormPrint.cpp    page preview and print job
#pragma once

#include "CupsJob.h"
#include "CurrentPrinter.h"
#include "EditViewState.h"
#include "FinishedSize.h"
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "PageCanvas.h"
#include "PictureHistory.h"
#include "PosterSize.h"
#include "PosterTypes.h"
#include "PrintJob.h"

#include <QDialog>
#include <QFileSystemWatcher>
#include <QFutureWatcher>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QDoubleSpinBox;
class QFileDialog;
class QListWidgetItem;
class QPainter;
class QSessionManager;
class TAboutBox;
class THKForm;
struct DrawingSource;

namespace Ui {
class MainForm;
}

// The two size edits as the size computation sees them: a write that changes an edit fires its
// change handler at once, which is the re-entry the computation is written for.
class SpinSizeEdits : public SizeEdits
{
public:
    SpinSizeEdits(QDoubleSpinBox* width, QDoubleSpinBox* height);
    double value(SizeSide side) const override;
    void setValue(SizeSide side, double value) override;

private:
    QDoubleSpinBox* edit(SizeSide side) const { return side == SizeSide::Width ? width_ : height_; }
    QDoubleSpinBox* width_;
    QDoubleSpinBox* height_;
};

// What a picture operation changes beside the picture, kept with it for undo.
struct PictureSurroundings
{
    PosterSource source;
    EditViewState view;
    PosterGeometry geometry;
    double widthPages = 0; // the size edits
    double heightPages = 0;
};

class TMainForm : public QWidget
{
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The controls, by their layout names.
    Ui::MainForm& Form() { return *ui; }

    // The dialogs made after the window; main() hands them over.
    TAboutBox* AboutBox = nullptr;
    THKForm* HKForm = nullptr;

    // The help window, while it exists.
    QDialog* HelpWindow() const { return helpWindow; }

    // ---- State of the program ----
    PictureRecord CurrentPicture;
    // What the poster prints from beside CurrentPicture's pixels, under the same edits.
    PosterSource CurrentSource;
    PrintOptions Options;      // the option check boxes' copies
    PosterGeometry Geometry;   // the poster's size in pages
    PageGrid PageOffGrid = {}; // 1 = page switched off in the preview
    // Where the poster goes: the system's default printer, or a PDF file.
    std::unique_ptr<CurrentPrinter> Printer = std::make_unique<CurrentPrinter>();
    // While a load, a picture operation or a print runs on the job thread: no quitting, and no
    // input that would change the picture or the poster.
    bool JobRunning = false;
    // Called on the job thread as each job starts; the tests hold a job there while they act on
    // the window.
    std::function<void()> JobStarts;

    // The selection (picture pixels; left and top inclusive, right and bottom exclusive) and the
    // edit view's state: view edges, drag flags, scale.
    EditViewState View;

    // ---- Creation, closing, help, about (MainForm.cpp) ----
    void FormCreate();
    void FormCloseQuery(bool& CanClose);
    void FormClose();
    void FormDestroy();
    void QuitBtnClick();
    void HelpBtnClick();
    void AboutBitBtnClick();

    // ---- Load page, previews and edit view (MainFormPicture.cpp) ----
    void FileListBox1DblClick();
    // Another page of the PDF file the drawing comes from: loaded as the file is.
    void PdfPageEdChange(int page);
    void FileListBox1KeyDown(int& Key, Qt::KeyboardModifiers Shift);
    void PaintBox1Paint(QPainter& Canvas);
    void PaintBox2Paint(QPainter& Canvas);
    void ZoomEd2Change();
    void PaintBox2MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void PaintBox2MouseMove(Qt::KeyboardModifiers Shift, int X, int Y);
    void PaintBox2MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void setcursor_(Qt::CursorShape Cursor);
    // A picture named from outside the load page (the command line, a drop): its folder opens
    // with it chosen, and it loads as a double-click there loads it. False, after the usual
    // message, when it can't be read; the current picture stays.
    bool OpenPictureFile(const QString& path);

    // ---- Picture operations and scanning (MainFormEdit.cpp) ----
    void HellpBtnClick();
    void RotLeftBtnClick();
    void RotRightBtnClick();
    void FlipHBtnClick();
    void FlipVBtnClick();
    void SchnittBtnClick();
    void SaveBtnClick();
    void Helligkeit(int32_t Offset);
    // After brightness and contrast on a drawing: its pixels rendered anew for the poster.
    void SharpenDrawingPixels(const DrawingSource& drawing, int32_t brightness, int32_t contrast);
    void Kontrast(int32_t Factor);
    void SelectButtonClick();
    void ScanButtonClick();
    // A scanned picture has arrived: the value of its scan-complete event.
    void WMUser2(uint32_t WParam);
    // The save dialog, kept from its first use to the end.
    QFileDialog* SaveDialog1 = nullptr;

    // Ctrl+Z and Ctrl+Shift+Z: the picture before the last operation (cut, turn, mirror, flip,
    // brightness and contrast, load, scan), and again after it, with what it changed.
    void UndoPicture();
    void RedoPicture();
    PictureHistory<PictureSurroundings> History;

    // ---- Paper format, options and poster size (MainFormOptions.cpp) ----
    void UpdatePaperFormat();
    void UpdateOptions(QObject* Sender);
    void KrandxlEdChange();
    void BitBtn3Click();
    void BreitEdChange();
    void HochEdChange();
    void by_anpassen();
    void IncEdChange();
    void ZoomEdChange();
    // The finished poster's size: the line under the pages, and the size edits in cm or inches,
    // whose changes go to the page edits through their own handlers.
    void ShowFinishedSize();
    void RealWidthEdChange();
    void RealHeightEdChange();
    void SizeUnitBoxChange();
    // "Smooth enlargement" and "Dot screen" under the options page: how a picture that the
    // poster enlarges prints. The two exclude each other.
    void SmoothCheckClick();
    void DotsCheckClick();
    void PictureLookChange();
    // The poster's page arithmetic as the window shows it, with how the picture prints.
    PageRenderInputs CurrentRenderInputs() const;

    // ---- Page preview and print job (MainFormPrint.cpp) ----
    void VorschauBoxPaint(QPainter& Canvas);
    void VorschauBoxMouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void klickpage(int Column, int Row);
    void PrintBtnClick();
    // The scale check on the current printer and paper; a PDF file's goes beside the poster's.
    void TestPageBtnClick();
    void RadioButton4Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    // A picture file dropped on the window loads as if opened on the load page.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What the size computation and the preview read besides the size edits.
    SizeInputs CurrentSizeInputs() const;
    SpinSizeEdits SizeEditsOfWindow() const;
    void SizeEditChanged(SizeSide side);
    // The file's path, or the queue and job, of the document just printed.
    QString WhereItWent(const PrintResult& result) const;
    // The print job as the Print page's choices and the preview's clicked-off pages set it.
    PrintJobInputs CurrentPrintJobInputs() const;
    void ShowClickedOffHint();
    // Where a finished print job went, on the Print page.
    void ShowWhereItWent(const PrintResult& result);
    FinishedSize CurrentFinishedSize() const;
    void RealSizeEdited(bool width);
    bool showingFinishedSize = false; // while the line writes the size edits
    // The load page's lists.
    void SetUpDirectoryList();
    // Opens the directory: the lists show its way from the volume's root and its files.
    void ShowDirectory(const QString& path);
    void ShowMatchingFiles();
    // Something in the open directory changed, or it went: the lists are read again.
    void DirectoryChanged();
    QFileSystemWatcher DirectoryWatch;
    QString OpenDirectory; // the directory the lists show
    // A new picture of its own size in place of the current one, with everything that follows
    // the size: the load page's fields, the whole-picture selection and the refitted poster.
    // False, and nothing changed, when the picture could not be made.
    bool TakeOverPicture(const PictureRecord& fresh,
                         const std::optional<PictureEdit>& undoneBy = std::nullopt);
    // The same for a picture of the current one's size, which only replaces it.
    bool KeepSizeWith(const PictureRecord& fresh,
                      const std::optional<PictureEdit>& undoneBy = std::nullopt);
    // The edit made on the picture and on the source alike.
    void MakeEdit(const PictureEdit& edit);
    // A PDF page or an SVG drawing as the poster's source.
    bool LoadDrawing(const QString& path);
    // The drawing as the current picture, its rendering shown; false, after the usual message,
    // for a null one or a rendering that fails.
    bool ShowDrawing(const std::shared_ptr<const DrawingSource>& drawing, const QString& error);
    // The current picture goes into the history with what surrounds it; CurrentPicture is
    // empty after it.
    // The picture before an operation, into the history; with undoneBy, only that edit.
    void RememberForUndo(const std::optional<PictureEdit>& undoneBy = std::nullopt);
    PictureSurroundings Surroundings() const;
    // The load page's width, height and colours of the current picture.
    void ShowPictureFacts();
    void RestoreStep(PictureHistory<PictureSurroundings>::Step& step);
    // Whether a drop may load a picture now: not while a job or a scan runs.
    bool TakesDrops() const;
    // Runs the work on the job thread: reading, turning or printing a large picture takes
    // seconds. The window meanwhile repaints and runs its timers under the wait cursor. The
    // user's input waits until the work has ended; input sent straight to a control is refused,
    // so that nothing changes the picture under the job.
    void RunAsJob(const std::function<void()>& work);
    QThreadPool JobThread;
    // What arrived while a job ran (a finished scan), done once it has ended.
    std::vector<std::function<void()>> AfterJob;
    // Reads the file in place of the current picture, or says it couldn't.
    bool LoadPicture(const QString& path);
    // The CUPS job the Print page shows is looked at on a worker until it has ended: the
    // label then says how, with CUPS's reason.
    void LookAtFollowedJob();
    void ShowFollowedJob(const CupsJobState& state);
    int FollowedJob = 0; // 0: none shown
    QString FollowedWhere;
    QByteArray FollowedServer; // the scheduler the job went to
    QTimer JobFollowTimer;
    QFutureWatcher<CupsJobState> JobLook;
    // A drawing drawn larger or smaller in the edit view is drawn sharp: the part in view, and
    // around it, is rendered anew at the view's scale on a worker, a moment after it changed.
    struct SharpPart
    {
        std::shared_ptr<const DrawingSource> of;
        DrawnSize drawn; // the size the picture is drawn at
        QRect at;        // where the part goes, in the paint box
    };
    void PaintSharpPart(QPainter& canvas, const DrawnSize& drawn);
    void RenderSharpPart();
    void TakeSharpPart();
    SharpPart Sharp;          // the part drawn, when it belongs to the picture and scale
    HeldPicture SharpPicture; // its pixels
    SharpPart SharpWanted;    // the part the view asks for
    SharpPart SharpRunning;   // the part being rendered
    QTimer SharpTimer;
    QFutureWatcher<PictureRecord> SharpRender;
    // The file list's lines carry the name as the system has it; the text is for reading.
    static QString FileOfItem(const QListWidgetItem& item);
    QListWidgetItem* FileItem(const QString& name) const;
    void ConnectHandlers();
    void ShowArtwork();
    void CloseHelp();
    void CommitData(QSessionManager& manager);

    std::unique_ptr<Ui::MainForm> ui;
    QString lastSaveName; // offered again by the save dialog
    QPointer<QDialog> helpWindow;
    bool destroyed = false;
};
