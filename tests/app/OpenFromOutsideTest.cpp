// SPDX-License-Identifier: GPL-3.0-or-later
// A picture opened from outside the load page: named on the command line or dropped on the
// window.
#include "WindowTestSupport.h"
#include "ui_MainForm.h"

#include "CommandLine.h"
#include "ExifSamples.h"
#include "FileFilter.h"
#include "HeldPicture.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include <unistd.h>

namespace {

QString MakeFolder(const QString& name)
{
    const QString path = testsupport::TestDir() + u'/' + name;
    QDir(path).removeRecursively();
    EXPECT_TRUE(QDir().mkpath(path));
    return path;
}

void SaveBmp(const QString& path, int w, int h)
{
    const HeldPicture p(newdib(w, h, 24, nullptr, 0));
    ASSERT_NE(p->Bits, nullptr);
    ASSERT_TRUE(SaveDib(*p, QFile::encodeName(path).constData(), 3)); // BMP
}

QString ChosenFile(Ui::MainForm& ui)
{
    const QListWidgetItem* item = ui.FileListBox1->currentItem();
    return item ? item->text() : QString();
}

TEST(WindowCommandLine, TakesOnePictureBesideHelpAndVersion)
{
    const auto run = [](QStringList args) {
        args.prepend(QStringLiteral("velmora"));
        return ParseWindowCommandLine(args);
    };
    EXPECT_EQ(run({}).action, WindowCommandLine::Action::Run);
    EXPECT_TRUE(run({}).file.isEmpty());
    EXPECT_EQ(run({QStringLiteral("a photo.jpg")}).file, QStringLiteral("a photo.jpg"));
    EXPECT_EQ(run({QStringLiteral("--"), QStringLiteral("-odd.jpg")}).file,
              QStringLiteral("-odd.jpg"));
    EXPECT_EQ(run({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")}).action,
              WindowCommandLine::Action::Error);
    EXPECT_EQ(run({QStringLiteral("--frobnicate")}).action, WindowCommandLine::Action::Error);
    const WindowCommandLine help = run({QStringLiteral("--help")});
    EXPECT_EQ(help.action, WindowCommandLine::Action::Help);
    EXPECT_TRUE(help.text.contains(QStringLiteral("PICTURE")));
    EXPECT_EQ(run({QStringLiteral("-v")}).action, WindowCommandLine::Action::Version);
}

TEST(OpenFromOutside, ANamedPictureLoadsAsADoubleClickInItsFolderDoes)
{
    const QString folder = MakeFolder(QStringLiteral("named"));
    // A photo whose height at the width the window starts with, before the edges without
    // glue strips are allowed for, is 1.02 pages: that keeps one row, and would fit two as well
    // when the strip is taken as one of two. Which the poster gets must not depend on the
    // picture shown before.
    int photoHeight = 0;
    {
        StartedProgram program;
        SizeInputs in;
        const PrinterMetrics m = program.window->Printer->metrics();
        in.pageWidth = m.pageWidth;
        in.pageHeight = m.pageHeight;
        in.options = program.window->Options;
        ASSERT_TRUE(in.options.NoGlueOnPosterEdge && in.options.KeepAspectRatio);
        const UsableArea usable = UsableAreaOf(in);
        ASSERT_GT(usable.width, 0);
        const double width = program.window->Form().BreitEd->value();
        photoHeight = int(std::lround(1.02 * 400 / width * usable.height / usable.width));
    }
    SaveBmp(folder + QStringLiteral("/photo.bmp"), 400, photoHeight);
    SaveBmp(folder + QStringLiteral("/tall.bmp"), 40, 400);
    // The same picture double-clicked on the load page after a tall one, for what follows.
    PosterGeometry clicked;
    {
        ASSERT_TRUE(QDir::setCurrent(folder)); // where the load page starts
        StartedProgram program;
        Ui::MainForm& ui = program.window->Form();
        for (const QString& name : {QStringLiteral("tall.bmp"), QStringLiteral("photo.bmp")}) {
            const auto items = ui.FileListBox1->findItems(name, Qt::MatchExactly);
            ASSERT_EQ(items.size(), 1);
            ui.FileListBox1->setCurrentItem(items.front());
            emit ui.FileListBox1->itemDoubleClicked(items.front());
        }
        clicked = program.window->Geometry;
        ASSERT_EQ(ui.Breit->text(), QStringLiteral("400"));
        EXPECT_EQ(clicked.PagesDown, 1);
    }
    QDir::setCurrent(testsupport::TestDir());
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();

    ASSERT_TRUE(w.OpenPictureFile(folder + QStringLiteral("/photo.bmp")));
    EXPECT_EQ(QDir::cleanPath(QDir::currentPath()), QDir::cleanPath(folder));
    EXPECT_EQ(ChosenFile(ui), QStringLiteral("photo.bmp"));
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("400"));
    EXPECT_EQ(ui.Hoch->text(), QString::number(photoHeight));
    EXPECT_EQ(w.View.SelRight, 400);
    EXPECT_EQ(w.Geometry, clicked);

    // A type the chosen filter hides: the list shows every file so that it can be chosen.
    QImage png(12, 7, QImage::Format_RGB32);
    png.fill(Qt::red);
    ASSERT_TRUE(png.save(folder + QStringLiteral("/logo.image"), "PNG"));
    ASSERT_TRUE(w.OpenPictureFile(QStringLiteral("logo.image"))); // relative to the open folder
    EXPECT_EQ(ChosenFile(ui), QStringLiteral("logo.image"));
    EXPECT_EQ(ui.FilterComboBox1->currentText(), QStringLiteral("All files (*.*)"));
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("12"));
}

TEST(OpenFromOutside, ADamagedOrMissingPictureIsSaidAndTheBlankPictureStays)
{
    const QString folder = MakeFolder(QStringLiteral("damaged"));
    {
        QFile bad(folder + QStringLiteral("/broken.jpg"));
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
        bad.write("\xFF\xD8\xFF\xE0 not really a picture");
    }
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    const uint8_t* blank = w.CurrentPicture.Bits;
    for (const QString& name :
         {folder + QStringLiteral("/broken.jpg"), folder + QStringLiteral("/not-there.jpg")}) {
        SCOPED_TRACE(name.toStdString());
        const auto seen = AnswerNextMessageBox(QMessageBox::Ok);
        EXPECT_FALSE(w.OpenPictureFile(name));
        EXPECT_TRUE(seen->seen);
        EXPECT_EQ(seen->text, QStringLiteral("Couldn't load file!"));
        EXPECT_EQ(w.CurrentPicture.Bits, blank);
        EXPECT_EQ(ui.Breit->text(), QStringLiteral("320"));
    }
}

TEST(DroppedFiles, OnlyALocalFileIsTaken)
{
    const QString folder = MakeFolder(QStringLiteral("drops"));
    SaveBmp(folder + QStringLiteral("/a.bmp"), 4, 4);
    SaveBmp(folder + QStringLiteral("/b.bmp"), 5, 5);
    const auto of = [](const QList<QUrl>& urls, const QString& text = QString()) {
        QMimeData data;
        if (!urls.isEmpty())
            data.setUrls(urls);
        if (!text.isEmpty())
            data.setText(text);
        return FileFromDrop(data);
    };
    const QUrl a = QUrl::fromLocalFile(folder + QStringLiteral("/a.bmp"));
    const QUrl b = QUrl::fromLocalFile(folder + QStringLiteral("/b.bmp"));
    EXPECT_EQ(of({a}), folder + QStringLiteral("/a.bmp"));
    EXPECT_EQ(of({b, a}), folder + QStringLiteral("/b.bmp")); // the first of several
    EXPECT_TRUE(of({QUrl(QStringLiteral("https://example.org/a.bmp")), a}).isEmpty());
    EXPECT_TRUE(of({}, folder + QStringLiteral("/a.bmp")).isEmpty()); // text is not a file
    EXPECT_TRUE(of({QUrl::fromLocalFile(folder)}).isEmpty());         // nor is a folder
    EXPECT_TRUE(of({QUrl::fromLocalFile(folder + QStringLiteral("/gone.bmp"))}).isEmpty());
}

// Sends a drag over the window and then the drop; whether each was accepted.
std::pair<bool, bool> Drop(QWidget& window, const QMimeData& data)
{
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    return {enter.isAccepted(), drop.isAccepted()};
}

TEST(DroppedFiles, AFileDroppedOnTheWindowLoadsUnlessAJobIsRunning)
{
    const QString folder = MakeFolder(QStringLiteral("dropped"));
    SaveBmp(folder + QStringLiteral("/first.bmp"), 21, 13);
    SaveBmp(folder + QStringLiteral("/second.bmp"), 8, 8);
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    EXPECT_TRUE(w.acceptDrops());

    QMimeData text;
    text.setText(QStringLiteral("hello"));
    EXPECT_EQ(Drop(w, text), std::make_pair(false, false));
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("320"));

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(folder + QStringLiteral("/first.bmp")),
                   QUrl::fromLocalFile(folder + QStringLiteral("/second.bmp"))});
    w.JobRunning = true;
    EXPECT_EQ(Drop(w, files), std::make_pair(false, false));
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("320"));
    w.JobRunning = false;

    EXPECT_EQ(Drop(w, files), std::make_pair(true, true));
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("21"));
    EXPECT_EQ(ChosenFile(ui), QStringLiteral("first.bmp"));
}

TEST(OpenFromOutside, APortraitPhotoLoadsUprightAndKeepsItsJpegData)
{
    QImage photo(48, 32, QImage::Format_RGB32);
    photo.fill(Qt::darkYellow);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(photo.save(&buffer, "JPEG", 90));
    QFile file(testsupport::TestDir() + QStringLiteral("/portrait.jpg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(testsupport::WithJpegExif(
        bytes, testsupport::ExifBlock(testsupport::OrientationTiff(6)))); // held upright
    file.close();
    StartedProgram program;
    TMainForm& w = *program.window;
    ASSERT_TRUE(w.OpenPictureFile(file.fileName()));
    EXPECT_EQ(w.Form().Breit->text(), QStringLiteral("32"));
    EXPECT_EQ(w.Form().Hoch->text(), QStringLiteral("48"));
    ASSERT_TRUE(w.CurrentSource.jpeg());
    EXPECT_EQ(w.CurrentSource.jpeg()->width, 32);
    EXPECT_TRUE(w.CurrentSource.jpeg()->view.transposed);
}

} // namespace

// A file whose name is not UTF-8 is listed readably, opens from the list and from a drop, and
// is the file of that name, not one whose name was made readable.
TEST(DroppedFiles, ANameThatIsNotUtf8OpensFromADropAndTheList)
{
    const QString folder = MakeFolder(QStringLiteral("bytes"));
    SaveBmp(folder + QStringLiteral("/plain.bmp"), 17, 11);
    const QByteArray name = QFile::encodeName(folder) + "/ph\xFF\xFE.bmp";
    ASSERT_EQ(::rename(QFile::encodeName(folder + QStringLiteral("/plain.bmp")).constData(),
                       name.constData()),
              0);
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();

    QMimeData files;
    files.setUrls({QUrl(QStringLiteral("file://") +
                        QString::fromLatin1(QFile::encodeName(folder).toPercentEncoding("/")) +
                        QStringLiteral("/ph%FF%FE.bmp"))});
    EXPECT_EQ(Drop(w, files), std::make_pair(true, true));
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("17"));
    EXPECT_EQ(ChosenFile(ui), QStringLiteral("ph\\xFF\\xFE.bmp"));

    SaveBmp(folder + QStringLiteral("/other.bmp"), 5, 5);
    ASSERT_TRUE(w.OpenPictureFile(folder + QStringLiteral("/other.bmp")));
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("5"));
    const auto items =
        ui.FileListBox1->findItems(QStringLiteral("ph\\xFF\\xFE.bmp"), Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    ui.FileListBox1->setCurrentItem(items.front());
    emit ui.FileListBox1->itemDoubleClicked(items.front());
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("17"));

    // A folder of such a name is listed readably and opens, its files with it.
    const QByteArray subfolder = QFile::encodeName(folder) + "/al\xE9";
    ASSERT_EQ(::mkdir(subfolder.constData(), 0755), 0);
    ASSERT_EQ(::rename(name.constData(), (subfolder + "/inside.bmp").constData()), 0);
    ASSERT_TRUE(w.OpenPictureFile(folder + QStringLiteral("/other.bmp"))); // lists it afresh
    const auto folders =
        ui.DirectoryListBox1->findItems(QStringLiteral("al\\xE9"), Qt::MatchExactly);
    ASSERT_EQ(folders.size(), 1);
    emit ui.DirectoryListBox1->itemActivated(folders.front());
    EXPECT_EQ(QDir::current().dirName(), QStringLiteral("al\uFFFD")) << "not opened";
    ASSERT_EQ(ui.FileListBox1->findItems(QStringLiteral("inside.bmp"), Qt::MatchExactly).size(), 1);
    ::unlink((subfolder + "/inside.bmp").constData()); // which Qt's removal could not name
    ::rmdir(subfolder.constData());
}
