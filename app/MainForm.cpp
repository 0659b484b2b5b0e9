// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainForm.h"

#include "AboutBoxUnit.h"
#include "Artwork.h"
#include "FileFilter.h"
#include "FileName.h"
#include "Messages.h"
#include "PictureFacts.h"
#include "ScreenPlacement.h"
#include "TwainDialogs.h"
#include "VelmoraApplication.h"
#include "WaitCursor.h"
#include "ui_MainForm.h"

#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QSessionManager>
#include <QShortcut>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace {
constexpr int kClientWidth = 592;
constexpr int kClientHeight = 388;

constexpr int kHelpWidth = 640;
constexpr int kHelpHeight = 520;
// The help in the window's language: each translation names its own document.
//: The help document of this language, as it is in the program's resources
const char* const kHelpDocument = QT_TRANSLATE_NOOP("TMainForm", "qrc:/help/velmora.html");

// Side pictures of the pages and the glue-edge illustration, at their frame sizes.
constexpr QSize kSidePicture(193, 281);
constexpr QSize kGlueIllustration(83, 111);

// Eats the input that reaches a widget while a job runs without passing the window system's
// queue, which the job's event loop holds back on its own: synthesised clicks, keys and drops.
class InputRefuser : public QObject
{
public:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TabletPress:
            return true;
        default:
            return false;
        }
    }
};
} // namespace

void TMainForm::RunAsJob(const std::function<void()>& work)
{
    const WaitCursor wait;
    const QScopedValueRollback<bool> running(JobRunning, true);
    InputRefuser refuser;
    qApp->installEventFilter(&refuser);
    QFutureWatcher<void> watcher;
    QEventLoop loop;
    connect(&watcher, &QFutureWatcher<void>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run(&JobThread, [this, &work] {
        if (JobStarts)
            JobStarts();
        work();
    }));
    if (!watcher.isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    watcher.waitForFinished();
    qApp->removeEventFilter(&refuser);
    // Done from the event loop, once the caller has taken the job's result.
    if (!AfterJob.empty())
        QTimer::singleShot(0, this, [this] {
            std::vector<std::function<void()>> waiting;
            waiting.swap(AfterJob);
            for (const auto& deferred : waiting)
                deferred();
        });
}

TMainForm::TMainForm(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::MainForm>())
{
    ui->setupUi(this);
    // Minimisable, never maximised or resized: the layout is in fixed pixels.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    setAcceptDrops(true);
    JobThread.setMaxThreadCount(1);
    setWindowIcon(SvgIcon(QStringLiteral(":/art/velmora.svg")));
    ShowArtwork();
    ConnectHandlers();
    CentreOnScreen(this);

    // An error in the creation steps ends them there; the window is still shown.
    RunGuarded([this] {
        FormCreate();
        return true;
    });

    // The load page starts in the current directory, on the volume that holds it (the home
    // folder when the current one was removed).
    SetUpDirectoryList();
    connect(&DirectoryWatch, &QFileSystemWatcher::directoryChanged, this,
            [this] { DirectoryChanged(); });
    const QString here = WorkingFolder();
    ShowDirectory(here.isEmpty() ? QDir::homePath() : here);

    // The Print page's CUPS job is looked at again a second after each answer that it waits.
    JobFollowTimer.setSingleShot(true);
    connect(&JobFollowTimer, &QTimer::timeout, this, &TMainForm::LookAtFollowedJob);
    connect(&JobLook, &QFutureWatcher<CupsJobState>::finished, this,
            [this] { ShowFollowedJob(JobLook.result()); });
    SharpTimer.setSingleShot(true);
    SharpTimer.setInterval(150);
    connect(&SharpTimer, &QTimer::timeout, this, &TMainForm::RenderSharpPart);
    connect(&SharpRender, &QFutureWatcher<PictureRecord>::finished, this,
            &TMainForm::TakeSharpPart);

    // Once the window shows, it says why the posters go to a PDF file beside a printer system.
    if (const QString silent = Printer->passedOver(); !silent.isEmpty())
        QTimer::singleShot(0, this, [this, silent] {
            ShowMessage(this,
                        tr("The printers could not be listed: %1. Posters go to a "
                           "PDF file until the printer setup finds them.")
                            .arg(silent),
                        QMessageBox::Warning);
        });
}

TMainForm::~TMainForm()
{
    // A rendering on its way is waited for, and let go with the one shown.
    SharpRender.waitForFinished();
    if (SharpRender.future().isValid() && SharpRender.future().resultCount() > 0)
        HeldPicture(SharpRender.result()).reset();
    FormDestroy();
}

void TMainForm::ShowArtwork()
{
    ui->Image2->setPixmap(
        TitledSvgPixmap(QStringLiteral(":/art/scan.svg"), kSidePicture, tr("Scan")));
    ui->Image4->setPixmap(
        TitledSvgPixmap(QStringLiteral(":/art/printsize.svg"), kSidePicture, tr("Poster size")));
    ui->Image3->setPixmap(
        TitledSvgPixmap(QStringLiteral(":/art/print.svg"), kSidePicture, tr("Print")));
    ui->Image1->setPixmap(SvgPixmap(QStringLiteral(":/art/glue.svg"), kGlueIllustration));

    const struct
    {
        QAbstractButton* button;
        const char* glyph;
    } glyphs[] = {
        {ui->AboutBitBtn, ":/art/about.svg"},  {ui->HelpBtn, ":/art/help.svg"},
        {ui->QuitBtn, ":/art/quit.svg"},       {ui->SelectButton, ":/art/select.svg"},
        {ui->ScanButton, ":/art/scanner.svg"}, {ui->HellpBtn, ":/art/bright.svg"},
        {ui->RotLeftBtn, ":/art/rotleft.svg"}, {ui->RotRightBtn, ":/art/rotright.svg"},
        {ui->FlipHBtn, ":/art/mirror.svg"},    {ui->FlipVBtn, ":/art/flip.svg"},
        {ui->SchnittBtn, ":/art/cut.svg"},     {ui->SaveBtn, ":/art/save.svg"},
        {ui->BitBtn3, ":/art/setup.svg"},      {ui->PrintBtn, ":/art/printer.svg"},
    };
    for (const auto& g : glyphs)
        g.button->setIcon(SvgIcon(QString::fromLatin1(g.glyph)));
    // The big buttons carry their glyph above the text.
    constexpr QSize kBigGlyph(32, 32);
    for (QToolButton* button : {ui->SelectButton, ui->ScanButton, ui->PrintBtn})
        button->setIconSize(kBigGlyph);
}

void TMainForm::ConnectHandlers()
{
    // Load page and previews.
    connect(ui->FileListBox1, &QListWidget::itemDoubleClicked, this,
            [this] { FileListBox1DblClick(); });
    connect(ui->PdfPageEd, &QSpinBox::valueChanged, this, &TMainForm::PdfPageEdChange);
    ui->FileListBox1->installEventFilter(this);
    connect(ui->DriveComboBox1, &QComboBox::activated, this,
            [this](int index) { ShowDirectory(ui->DriveComboBox1->itemData(index).toString()); });
    connect(ui->FilterComboBox1, &QComboBox::currentIndexChanged, this,
            [this] { ShowMatchingFiles(); });
    ui->PaintBox1->OnPaint = [this](QPainter& canvas) { PaintBox1Paint(canvas); };

    // Scan page.
    connect(ui->SelectButton, &QToolButton::clicked, this, &TMainForm::SelectButtonClick);
    connect(ui->ScanButton, &QToolButton::clicked, this, &TMainForm::ScanButtonClick);
    // Enter scans, as on a dialog with a default button, unless the other button has the focus.
    for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter = new QShortcut(QKeySequence(key), ui->TabSheet10);
        enter->setContext(Qt::WidgetWithChildrenShortcut);
        connect(enter, &QShortcut::activated, this, [this] {
            (ui->SelectButton->hasFocus() ? ui->SelectButton : ui->ScanButton)->click();
        });
    }

    // Modify page.
    connect(ui->HellpBtn, &QPushButton::clicked, this, &TMainForm::HellpBtnClick);
    connect(ui->RotLeftBtn, &QPushButton::clicked, this, &TMainForm::RotLeftBtnClick);
    connect(ui->RotRightBtn, &QPushButton::clicked, this, &TMainForm::RotRightBtnClick);
    connect(ui->FlipHBtn, &QPushButton::clicked, this, &TMainForm::FlipHBtnClick);
    connect(ui->FlipVBtn, &QPushButton::clicked, this, &TMainForm::FlipVBtnClick);
    connect(ui->SchnittBtn, &QPushButton::clicked, this, &TMainForm::SchnittBtnClick);
    connect(ui->SaveBtn, &QPushButton::clicked, this, &TMainForm::SaveBtnClick);
    // Undo and redo of the picture operations, from any page; the form has no room for
    // buttons. An edit field with the focus takes the keys for its own text first.
    auto* undo = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this);
    connect(undo, &QShortcut::activated, this, &TMainForm::UndoPicture);
    auto* redo = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), this);
    connect(redo, &QShortcut::activated, this, &TMainForm::RedoPicture);
    connect(ui->ZoomEd2, &QDoubleSpinBox::valueChanged, this, &TMainForm::ZoomEd2Change);
    PaintBox* edit = ui->PaintBox2;
    edit->OnPaint = [this](QPainter& canvas) { PaintBox2Paint(canvas); };
    edit->OnMouseDown = [this](Qt::MouseButton b, Qt::KeyboardModifiers s, int x, int y) {
        PaintBox2MouseDown(b, s, x, y);
    };
    edit->OnMouseMove = [this](Qt::KeyboardModifiers s, int x, int y) {
        PaintBox2MouseMove(s, x, y);
    };
    edit->OnMouseUp = [this](Qt::MouseButton b, Qt::KeyboardModifiers s, int x, int y) {
        PaintBox2MouseUp(b, s, x, y);
    };

    // Options page, and the one option check box of the size page.
    connect(ui->BitBtn3, &QPushButton::clicked, this, &TMainForm::BitBtn3Click);
    connect(ui->TestPageBtn, &QPushButton::clicked, this, &TMainForm::TestPageBtnClick);
    for (QCheckBox* box :
         {ui->CheckBox1, ui->CheckBox2, ui->CheckBox3, ui->CheckBox4, ui->CheckBox5, ui->CheckBox6,
          ui->CheckBox8, ui->CheckBox9, ui->CheckBox10, ui->KrShowCheck})
        connect(box, &QCheckBox::toggled, this, [this, box] { UpdateOptions(box); });
    connect(ui->SmoothCheck, &QCheckBox::toggled, this, &TMainForm::SmoothCheckClick);
    connect(ui->DotsCheck, &QCheckBox::toggled, this, &TMainForm::DotsCheckClick);
    connect(ui->DotsEd, &QDoubleSpinBox::valueChanged, this, &TMainForm::PictureLookChange);
    connect(ui->DotsColourCheck, &QCheckBox::toggled, this, &TMainForm::PictureLookChange);
    ui->DotsEd->setEnabled(false);
    ui->DotsColourCheck->setEnabled(false);
    connect(ui->KrandxlEd, &QSpinBox::valueChanged, this, &TMainForm::KrandxlEdChange);
    connect(ui->KrandylEd, &QSpinBox::valueChanged, this, &TMainForm::KrandxlEdChange);

    // Size page.
    connect(ui->BreitEd, &QDoubleSpinBox::valueChanged, this, &TMainForm::BreitEdChange);
    connect(ui->RealWidthEd, &QDoubleSpinBox::valueChanged, this, &TMainForm::RealWidthEdChange);
    connect(ui->RealHeightEd, &QDoubleSpinBox::valueChanged, this, &TMainForm::RealHeightEdChange);
    connect(ui->SizeUnitBox, &QComboBox::currentIndexChanged, this, &TMainForm::SizeUnitBoxChange);
    connect(ui->PageControl1, &QTabWidget::currentChanged, this, &TMainForm::ShowFinishedSize);
    connect(ui->HochEd, &QDoubleSpinBox::valueChanged, this, &TMainForm::HochEdChange);
    connect(ui->IncEd, &QDoubleSpinBox::valueChanged, this, &TMainForm::IncEdChange);
    connect(ui->ZoomEd, &QDoubleSpinBox::valueChanged, this, &TMainForm::ZoomEdChange);
    PaintBox* preview = ui->VorschauBox;
    preview->OnPaint = [this](QPainter& canvas) { VorschauBoxPaint(canvas); };
    preview->OnMouseDown = [this](Qt::MouseButton b, Qt::KeyboardModifiers s, int x, int y) {
        VorschauBoxMouseDown(b, s, x, y);
    };

    // Print page.
    connect(ui->RadioButton4, &QRadioButton::clicked, this, &TMainForm::RadioButton4Click);
    // The pages are clicked off on the size page; the hint is read on the print page.
    connect(ui->RadioButton3, &QRadioButton::toggled, this, &TMainForm::ShowClickedOffHint);
    connect(ui->PageControl1, &QTabWidget::currentChanged, this, &TMainForm::ShowClickedOffHint);
    connect(ui->PrintBtn, &QToolButton::clicked, this, &TMainForm::PrintBtnClick);

    // The three buttons under the pages.
    connect(ui->AboutBitBtn, &QPushButton::clicked, this, &TMainForm::AboutBitBtnClick);
    connect(ui->HelpBtn, &QPushButton::clicked, this, &TMainForm::HelpBtnClick);
    connect(ui->QuitBtn, &QPushButton::clicked, this, &TMainForm::QuitBtnClick);

    // Logging out of the desktop asks the same question as closing the window.
    connect(qApp, &QGuiApplication::commitDataRequest, this, &TMainForm::CommitData);
}

void TMainForm::FormCreate()
{
    PageOffGrid.fill(0);
    View.SelDragging = 0;
    Geometry.SizeUpdateGuard = false;
    Geometry.PosterWidthPages = 1.0;
    Geometry.PosterHeightPages = 1.0;
    Geometry.PagesAcross = 1;
    Geometry.PagesDown = 1;

    ui->FilterComboBox1->clear();
    // The filter's words; the other descriptions are the types' own names.
    [[maybe_unused]] static const char* const kFilterWords[] = {QT_TR_NOOP("All pictures"),
                                                                QT_TR_NOOP("All files (*.*)")};
    for (const FilterEntry& entry : ParseFilter(QString::fromLatin1(kLoadFilter)))
        ui->FilterComboBox1->addItem(tr(qPrintable(entry.description)), entry.masks);
    ui->FilterComboBox1->setCurrentIndex(0);

    CurrentPicture = NewStartPicture();
    // The start picture's selection stops one pixel short of its edges, unlike a loaded one's;
    // the blank picture is never cropped, so nothing depends on the difference.
    SelectStartPicture(View, kStartPictureWidth, kStartPictureHeight);

    UpdatePaperFormat();
    UpdateOptions(this);
    SpinSizeEdits edits = SizeEditsOfWindow();
    FinishStartFit(Geometry, CurrentSizeInputs(), edits);
    ui->VorschauBox->repaint();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // Refused unless the question says otherwise, also when the question itself fails.
    event->ignore();
    // The desktop may ask the window to close while a print job lets it repaint; the question
    // would open a dialog that takes input in the middle of the job, so the request is refused.
    if (JobRunning)
        return;
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose)
        return;
    FormClose();
    event->accept();
}

void TMainForm::FormCloseQuery(bool& CanClose)
{
    CanClose =
        ShowMessage(this, tr("You quit Velmora 2.0"), QMessageBox::Information,
                    QMessageBox::Ok | QMessageBox::Cancel, tr("Quit program")) == QMessageBox::Ok;
}

void TMainForm::FormClose()
{
    CloseHelp();
}

void TMainForm::FormDestroy()
{
    if (destroyed)
        return;
    destroyed = true;
    if (CurrentPicture.Bits)
        deldib(CurrentPicture);
    CurrentPicture = PictureRecord();
    History.Clear();
    CloseHelp();
}

void TMainForm::CommitData(QSessionManager& manager)
{
    if (!manager.allowsInteraction())
        return;
    bool canClose = true;
    FormCloseQuery(canClose);
    manager.release();
    if (!canClose)
        manager.cancel();
}

void TMainForm::QuitBtnClick()
{
    close();
}

void TMainForm::HelpBtnClick()
{
    if (!helpWindow) {
        helpWindow = new QDialog(this);
        helpWindow->setObjectName(QStringLiteral("HelpWindow"));
        helpWindow->setWindowTitle(tr("Velmora Help"));
        helpWindow->setAttribute(Qt::WA_DeleteOnClose);
        helpWindow->resize(kHelpWidth, kHelpHeight);
        auto* browser = new QTextBrowser(helpWindow);
        browser->setObjectName(QStringLiteral("HelpBrowser"));
        browser->setOpenLinks(true);
        auto* layout = new QVBoxLayout(helpWindow);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(browser);
    }
    // Always the contents: no control has a help topic of its own.
    auto* browser = helpWindow->findChild<QTextBrowser*>();
    browser->setSource(QUrl(tr(kHelpDocument)));
    browser->scrollToAnchor(QStringLiteral("contents"));
    helpWindow->setModal(false);
    helpWindow->show();
    helpWindow->raise();
    helpWindow->activateWindow();
}

void TMainForm::CloseHelp()
{
    if (helpWindow)
        helpWindow->close();
}

void TMainForm::AboutBitBtnClick()
{
    if (AboutBox)
        AboutBox->exec();
}

bool TMainForm::TakesDrops() const
{
    return !JobRunning && !ScanInProgress(this);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event); // the same answer on entering as on moving
}

void TMainForm::dragMoveEvent(QDragMoveEvent* event)
{
    if (TakesDrops() && !FileFromDrop(*event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TMainForm::dropEvent(QDropEvent* event)
{
    const QString file = FileFromDrop(*event->mimeData());
    if (!TakesDrops() || file.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    OpenPictureFile(file);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->FileListBox1 && event->type() == QEvent::KeyPress) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        int key = keyEvent->key();
        FileListBox1KeyDown(key, keyEvent->modifiers());
        // A handler that clears the key has dealt with it.
        if (key == 0)
            return true;
    }
    return QWidget::eventFilter(watched, event);
}
