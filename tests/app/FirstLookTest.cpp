// SPDX-License-Identifier: GPL-3.0-or-later
// What a new user sees first: where the load page is, scrolling an enlarged view, a white start
// picture and the fields that Tab passes by.
#include "WindowTestSupport.h"
#include "ui_MainForm.h"

#include "FileFilter.h"
#include "PagePreview.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QStringList LineTexts(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

// Opens a line of the directory list as a user does, with a double-click on it.
void OpenLine(QListWidget* list, const QString& text)
{
    const auto items = list->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << text.toStdString();
    list->scrollToItem(items.front());
    const QRect r = list->visualItemRect(items.front());
    ASSERT_TRUE(list->viewport()->rect().contains(r.center())) << text.toStdString();
    // The first click of the two, then the second that Qt's test events report as the double.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

TEST(LoadPage, DirectoryListShowsTheWayFromTheVolumeRoot)
{
    const QString top = QDir::cleanPath(testsupport::TestDir());
    QDir::setCurrent(top);
    ASSERT_TRUE(QDir(top).mkpath(QStringLiteral("album/2025")));
    ASSERT_TRUE(QDir(top).mkpath(QStringLiteral("album/2026")));
    StartedProgram program;
    Ui::MainForm& ui = program.window->Form();
    QListWidget* dirs = ui.DirectoryListBox1;

    // Started in the test's folder: every level from the root of its volume, then "album".
    const std::vector<DriveEntry> drives = ListDrives();
    const int volume = VolumeHolding(drives, top);
    ASSERT_GE(volume, 0);
    const QString root = drives[size_t(volume)].path;
    EXPECT_EQ(ui.DriveComboBox1->currentText(), drives[size_t(volume)].name);
    QStringList way{root};
    way << top.mid(root.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    EXPECT_EQ(LineTexts(dirs), way + QStringList{QStringLiteral("album")});
    EXPECT_EQ(dirs->currentItem()->text(), way.last()); // the open one is marked

    OpenLine(dirs, QStringLiteral("album"));
    EXPECT_EQ(QDir::currentPath(), top + QStringLiteral("/album"));
    const QStringList opened =
        way + QStringList{QStringLiteral("album"), QStringLiteral("2025"), QStringLiteral("2026")};
    EXPECT_EQ(LineTexts(dirs), opened);
    EXPECT_EQ(dirs->currentItem()->text(), QStringLiteral("album"));
    // The way down is indented level by level, the subfolders one step further than the open
    // one: the list's lines are wider than plain lines by their indent.
    const auto indent = [dirs](int line) {
        QStyleOptionViewItem option;
        option.initFrom(dirs);
        const QModelIndex index = dirs->model()->index(line, 0);
        return dirs->itemDelegate()->sizeHint(option, index).width() -
               QStyledItemDelegate().sizeHint(option, index).width();
    };
    const int albumLine = int(way.size());
    EXPECT_EQ(indent(0), 0);
    for (int i = 1; i <= albumLine; ++i)
        EXPECT_GT(indent(i), indent(i - 1)) << i;
    EXPECT_GT(indent(albumLine + 1), indent(albumLine));
    EXPECT_EQ(indent(albumLine + 2), indent(albumLine + 1));

    // Any level above opens again: here the volume's root.
    OpenLine(dirs, root);
    EXPECT_EQ(QDir::cleanPath(QDir::currentPath()), root);
    EXPECT_EQ(dirs->count(),
              1 + int(QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size()));
    EXPECT_EQ(ui.DriveComboBox1->currentText(), drives[size_t(volume)].name);
}

TEST(LoadPage, AFolderThatVanishedIsTakenOffTheList)
{
    const QString top = QDir::cleanPath(testsupport::TestDir());
    QDir::setCurrent(top);
    ASSERT_TRUE(QDir(top).mkpath(QStringLiteral("here/gone")));
    StartedProgram program;
    Ui::MainForm& ui = program.window->Form();
    OpenLine(ui.DirectoryListBox1, QStringLiteral("here"));
    ASSERT_EQ(QDir::cleanPath(QDir::currentPath()), top + QStringLiteral("/here"));
    const QStringList before = LineTexts(ui.DirectoryListBox1);
    ASSERT_TRUE(QDir(top).rmdir(QStringLiteral("here/gone")));
    OpenLine(ui.DirectoryListBox1, QStringLiteral("gone"));
    EXPECT_EQ(QDir::cleanPath(QDir::currentPath()), top + QStringLiteral("/here"));
    QStringList after = before;
    after.removeAll(QStringLiteral("gone"));
    EXPECT_EQ(LineTexts(ui.DirectoryListBox1), after);
    EXPECT_NE(after, before);
}

TEST(LoadPage, TheListsFollowWhatOthersDoInTheOpenFolder)
{
    const QString top = QDir::cleanPath(testsupport::TestDir());
    QDir::setCurrent(top);
    ASSERT_TRUE(QDir(top).mkpath(QStringLiteral("open")));
    ASSERT_TRUE(QDir::setCurrent(top + QStringLiteral("/open")));
    StartedProgram program;
    Ui::MainForm& ui = program.window->Form();
    const auto files = [&] {
        QStringList names;
        for (int i = 0; i < ui.FileListBox1->count(); ++i)
            names << ui.FileListBox1->item(i)->text();
        return names;
    };
    EXPECT_TRUE(files().isEmpty());

    // A picture saved there by another program appears; a folder made there too.
    QFile made(top + QStringLiteral("/open/new.bmp"));
    ASSERT_TRUE(made.open(QIODevice::WriteOnly));
    made.write("BM");
    made.close();
    ASSERT_TRUE(QDir(top).mkpath(QStringLiteral("open/sub")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return files() == QStringList{QStringLiteral("new.bmp")}; }));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return LineTexts(ui.DirectoryListBox1).contains(QStringLiteral("sub")); }));

    // The open folder itself removed: the one above it opens.
    ASSERT_TRUE(QDir(top + QStringLiteral("/open")).removeRecursively());
    EXPECT_TRUE(QTest::qWaitFor([&] { return QDir::cleanPath(QDir::currentPath()) == top; }));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !LineTexts(ui.DirectoryListBox1).contains(QStringLiteral("open")); }));
}

// The point of a paint box, as it shows through its scroll area once scrolled to the far
// corner; the widget under that point of the visible area must be the box itself.
QPoint ScrolledIntoView(QScrollArea* area, QWidget* box, QPoint inBox)
{
    area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->maximum());
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
    SettleEvents();
    return box->mapTo(area->viewport(), inBox);
}

TEST(ZoomedViews, PreviewScrollsToTheLastPageWhichAClickSwitchesOff)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    ui.PageControl1->setCurrentWidget(ui.TabSheet3);
    ui.BreitEd->setValue(3.0);
    ui.ZoomEd->setValue(2.0);
    SettleEvents();
    ASSERT_EQ(ui.VorschauBox->size(), QSize(682, 554));
    EXPECT_TRUE(ui.ScrollBox2->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(ui.ScrollBox2->verticalScrollBar()->isVisible());

    const int c = w.Geometry.PagesAcross - 1, r = w.Geometry.PagesDown - 1;
    const PrinterMetrics m = w.Printer->metrics();
    const PreviewLayout layout =
        ComputePreviewLayout(682, 554, m.pageWidth, m.pageHeight, w.Options, 5, 5,
                             w.Geometry.PagesAcross, w.Geometry.PagesDown);
    ASSERT_TRUE(layout.valid);
    const QPoint cell(layout.X0(c) + layout.CellWidth(c) / 2,
                      layout.Y0(r) + layout.CellHeight(r) / 2);
    ASSERT_GT(cell.x(), 341); // out of sight at first
    const QPoint seen = ScrolledIntoView(ui.ScrollBox2, ui.VorschauBox, cell);
    ASSERT_TRUE(ui.ScrollBox2->viewport()->rect().contains(seen));
    QWidget* under = ui.ScrollBox2->viewport()->childAt(seen);
    ASSERT_EQ(under, ui.VorschauBox);
    QTest::mouseClick(under, Qt::LeftButton, {}, under->mapFrom(ui.ScrollBox2->viewport(), seen));
    EXPECT_EQ(w.PageOffGrid[PageIndex(c, r)], 1);
}

TEST(ZoomedViews, SelectionCanBeDrawnInTheLowerRightOfAnEnlargedPicture)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    ui.PageControl1->setCurrentWidget(ui.TabSheet8);
    ui.ZoomEd2->setValue(2.0);
    SettleEvents();
    ui.PaintBox2->repaint(); // 320 x 200 drawn 682 x 426
    ASSERT_EQ(w.View.ViewLastX, 681);
    const QPoint from = ScrolledIntoView(ui.ScrollBox1, ui.PaintBox2, QPoint(500, 300));
    const QPoint to = ui.PaintBox2->mapTo(ui.ScrollBox1->viewport(), QPoint(640, 400));
    QWidget* viewport = ui.ScrollBox1->viewport();
    ASSERT_TRUE(viewport->rect().contains(from));
    ASSERT_TRUE(viewport->rect().contains(to));
    ASSERT_EQ(viewport->childAt(from), ui.PaintBox2);
    QTest::mousePress(ui.PaintBox2, Qt::LeftButton, {}, ui.PaintBox2->mapFrom(viewport, from));
    QTest::mouseMove(ui.PaintBox2, ui.PaintBox2->mapFrom(viewport, to));
    QTest::mouseRelease(ui.PaintBox2, Qt::LeftButton, {}, ui.PaintBox2->mapFrom(viewport, to));
    // The paint box's own coordinates, whatever the scrolling: picture pixels at half scale.
    EXPECT_EQ(w.View.SelLeft, 235); // 500 / 2.13125 = 234.6, rounded
    EXPECT_EQ(w.View.SelRight, 300);
    EXPECT_GT(w.View.SelTop, 100);
    EXPECT_LE(w.View.SelBottom, 200);
}

TEST(FirstLook, StartPictureIsWhiteInEveryView)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    for (int y = 0; y < 200; y += 37)
        for (int x = 0; x < 320; x += 41) {
            const int index = getpixel(w.CurrentPicture, x, y);
            const RGBQUAD c = w.CurrentPicture.Info->bmiColors[index];
            ASSERT_EQ(qRgb(c.rgbRed, c.rgbGreen, c.rgbBlue), qRgb(255, 255, 255)) << x << "," << y;
        }
    for (QWidget* view : std::initializer_list<QWidget*>{ui.PaintBox1, ui.PaintBox2}) {
        const QImage shot = view->grab().toImage();
        EXPECT_EQ(shot.pixel(20, 20), qRgb(255, 255, 255)) << view->objectName().toStdString();
    }
    ui.PageControl1->setCurrentWidget(ui.TabSheet3);
    SettleEvents();
    const QImage preview = ui.VorschauBox->grab().toImage();
    EXPECT_EQ(preview.pixel(20, 20), qRgb(255, 255, 255));
}

TEST(FirstLook, TabPassesTheReadOnlyFieldsOfTheOptionsPage)
{
    StartedProgram program;
    Ui::MainForm& ui = program.window->Form();
    for (QLineEdit* edit :
         {ui.Edit6, ui.Edit7, ui.Edit8, ui.Edit9, ui.Edit10, ui.Edit1, ui.Edit2}) {
        EXPECT_TRUE(edit->isReadOnly()) << edit->objectName().toStdString();
        EXPECT_FALSE(edit->focusPolicy() & Qt::TabFocus) << edit->objectName().toStdString();
    }
}

} // namespace
