// SPDX-License-Identifier: GPL-3.0-or-later
// The buttons of the "Modify picture" page and the brightness and contrast dialog, pressed on
// the real window.
#include "WindowTestSupport.h"
#include "ui_HKUnit.h"
#include "ui_MainForm.h"

#include "HeldPicture.h"
#include "TestSupport.h"

#include <QApplication>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

// A picture whose every pixel differs from its neighbours: index or colour from the position.
PictureRecord Pattern(int w, int h, int bits)
{
    PictureRecord p = newdib(w, h, bits, nullptr, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            setpixel(p, x, y, bits == 24 ? (x * 7919 + y * 104729) & 0xFFFFFF : (x + 3 * y) % 256);
    if (bits == 8) // a colour table that is not the grey ramp, so colours can be told apart
        for (int i = 0; i < 256; ++i)
            p.Info->bmiColors[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0};
    DIBChanged(p);
    return p;
}

// Loads the picture through the load page, as a user would.
void LoadThroughThePage(StartedProgram& program, const PictureRecord& picture)
{
    ASSERT_TRUE(SaveDib(picture, "picture.bmp", 3));
    Ui::MainForm& ui = program.window->Form();
    // Choosing a file type lists the folder's files anew.
    ui.FilterComboBox1->setCurrentIndex(ui.FilterComboBox1->count() - 1);
    const auto items = ui.FileListBox1->findItems(QStringLiteral("picture.bmp"), Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    ui.FileListBox1->setCurrentItem(items.front());
    QTest::keyClick(ui.FileListBox1, Qt::Key_Return);
    ASSERT_EQ(DIBWidth(program.window->CurrentPicture), DIBWidth(picture));
}

std::vector<int32_t> Pixels(const PictureRecord& p)
{
    std::vector<int32_t> all;
    for (int y = 0; y < DIBHeight(p); ++y)
        for (int x = 0; x < DIBWidth(p); ++x)
            all.push_back(getpixel(p, x, y));
    return all;
}

std::vector<uint8_t> ColourTable(const PictureRecord& p)
{
    const int n = ColourTableSize(p.Info->bmiHeader.biBitCount);
    const auto* bytes = reinterpret_cast<const uint8_t*>(p.Info->bmiColors);
    return {bytes, bytes + 4 * n};
}

TEST(ModifyWindow, TurnsReplaceThePictureAndRefitWhileMirrorKeepsTheSelection)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    const HeldPicture original(Pattern(400, 300, 8));
    LoadThroughThePage(program, *original);
    w.PageOffGrid[PageIndex(0, 1)] = 1;
    ui.BreitEd->setValue(3.0);
    ASSERT_EQ(w.Geometry.PagesAcross, 3);

    ui.RotLeftBtn->click();
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("300"));
    EXPECT_EQ(ui.Hoch->text(), QStringLiteral("400"));
    EXPECT_EQ(ui.Tief->text(), QStringLiteral("256"));
    EXPECT_EQ(w.View.SelRight, 300);
    EXPECT_EQ(w.View.SelBottom, 400);
    EXPECT_EQ(w.Geometry.PosterWidthPages, ui.BreitEd->value()); // refitted from the width
    EXPECT_EQ(w.PageOffGrid[PageIndex(0, 1)], 1);                // switched-off pages stay off
    EXPECT_EQ(getpixel(w.CurrentPicture, 0, 0), getpixel(*original, 399, 0));
    EXPECT_EQ(getpixel(w.CurrentPicture, 0, 399), getpixel(*original, 0, 0));
    EXPECT_EQ(ColourTable(w.CurrentPicture), ColourTable(*original));

    ui.RotRightBtn->click();
    EXPECT_EQ(Pixels(w.CurrentPicture), Pixels(*original));
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("400"));

    // A selection of its own, which the mirror keeps in picture pixels.
    w.View.SelLeft = 10, w.View.SelTop = 20, w.View.SelRight = 50, w.View.SelBottom = 60;
    const PosterGeometry geometry = w.Geometry;
    ui.FlipHBtn->click();
    EXPECT_EQ(w.View.SelLeft, 10);
    EXPECT_EQ(w.View.SelRight, 50);
    EXPECT_EQ(w.Geometry, geometry);
    EXPECT_EQ(getpixel(w.CurrentPicture, 0, 5), getpixel(*original, 399, 5));
    ui.FlipVBtn->click();
    EXPECT_EQ(getpixel(w.CurrentPicture, 0, 0), getpixel(*original, 399, 299));
    ui.FlipHBtn->click();
    ui.FlipVBtn->click();
    EXPECT_EQ(Pixels(w.CurrentPicture), Pixels(*original));
}

TEST(ModifyWindow, CutToSelectionNeedsASelection)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    // Right after start the selection stops one pixel short of the blank picture's edges.
    ui.SchnittBtn->click();
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("319"));
    EXPECT_EQ(ui.Hoch->text(), QStringLiteral("199"));

    const HeldPicture original(Pattern(400, 300, 8));
    LoadThroughThePage(program, *original);
    w.View.SelLeft = 100, w.View.SelTop = 50, w.View.SelRight = 300, w.View.SelBottom = 250;
    ui.SchnittBtn->click();
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("200"));
    EXPECT_EQ(ui.Hoch->text(), QStringLiteral("200"));
    EXPECT_EQ(ui.Tief->text(), QStringLiteral("256"));
    EXPECT_EQ(w.Geometry.PosterWidthPages, ui.BreitEd->value());
    EXPECT_EQ(w.View.SelRight, 200);
    EXPECT_EQ(getpixel(w.CurrentPicture, 0, 0), getpixel(*original, 100, 50));
    EXPECT_EQ(getpixel(w.CurrentPicture, 199, 199), getpixel(*original, 299, 249));

    // A selection dragged back onto its start point is none.
    w.View.SelRight = w.View.SelLeft;
    const uint8_t* bits = w.CurrentPicture.Bits;
    const auto seen = AnswerNextMessageBox(QMessageBox::Ok);
    ui.SchnittBtn->click();
    EXPECT_TRUE(seen->seen);
    EXPECT_EQ(seen->text, QStringLiteral("Make a selection with the mouse first!"));
    EXPECT_EQ(seen->icon, QMessageBox::Critical);
    EXPECT_TRUE(seen->title.isEmpty());
    EXPECT_EQ(w.CurrentPicture.Bits, bits);
}

// Opens the dialog with the button; the steps run on the open dialog, the last one closes it.
void WithTheDialog(StartedProgram& program, std::function<void(Ui::HKForm&)> steps)
{
    const ModalHand hand = HandleNextModal([&program, steps](QWidget* modal) {
        EXPECT_EQ(modal, program.hk.get());
        steps(program.hk->Form());
        if (program.hk->isVisible())
            program.hk->reject();
    });
    program.window->Form().HellpBtn->click();
}

TEST(ModifyWindow, BrightnessAndContrastPreviewOkAndCancel)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    const HeldPicture original(Pattern(31, 17, 24));
    LoadThroughThePage(program, *original);
    const std::vector<int32_t> before = Pixels(w.CurrentPicture);

    // Previews start from the untouched picture each time; Cancel gives it back.
    std::vector<int32_t> previewed;
    WithTheDialog(program, [&](Ui::HKForm& f) {
        EXPECT_EQ(f.TrackBar1->value(), 0);
        EXPECT_EQ(f.TrackBar2->value(), 100);
        f.TrackBar1->setValue(50);
        f.TrackBar2->setValue(150);
        f.VschauBitBtn4->click();
        previewed = Pixels(w.CurrentPicture);
        f.VschauBitBtn4->click();
        EXPECT_EQ(Pixels(w.CurrentPicture), previewed);
        f.BacksetBitBtn3->click(); // the bars only
        EXPECT_EQ(f.TrackBar1->value(), 0);
        EXPECT_EQ(Pixels(w.CurrentPicture), previewed);
        f.CancelBitBtn2->click();
    });
    EXPECT_NE(previewed, before);
    EXPECT_EQ(Pixels(w.CurrentPicture), before);

    // OK applies what the bars say: brightness 50 and contrast 150 turn 60 into 55.
    setpixel(w.CurrentPicture, 0, 0, 0x3C3C3C);
    DIBChanged(w.CurrentPicture);
    WithTheDialog(program, [](Ui::HKForm& f) {
        f.TrackBar1->setValue(50);
        f.TrackBar2->setValue(150);
        f.OkBitBtn1->click();
    });
    EXPECT_EQ(getpixel(w.CurrentPicture, 0, 0), 0x373737);
}

TEST(ModifyWindow, BrightnessOfAPalettedPictureChangesOnlyItsColours)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    const HeldPicture original(Pattern(20, 10, 8));
    LoadThroughThePage(program, *original);
    const std::vector<int32_t> indices = Pixels(w.CurrentPicture);
    const std::vector<uint8_t> colours = ColourTable(w.CurrentPicture);
    WithTheDialog(program, [](Ui::HKForm& f) {
        f.TrackBar1->setValue(-127);
        f.OkBitBtn1->click();
    });
    EXPECT_EQ(Pixels(w.CurrentPicture), indices);
    EXPECT_NE(ColourTable(w.CurrentPicture), colours);
    EXPECT_EQ(w.CurrentPicture.Info->bmiColors[100].rgbBlue, 0); // 100 - 127, limited
    ASSERT_NE(w.CurrentPicture.Palette, nullptr);
    EXPECT_EQ(w.CurrentPicture.Palette->entries[100].peBlue, 0);

    // Escape is Cancel: the colours and the palette come back exactly.
    WithTheDialog(program, [](Ui::HKForm& f) {
        f.TrackBar1->setValue(90);
        f.VschauBitBtn4->click();
        QTest::keyClick(f.CancelBitBtn2->window(), Qt::Key_Escape);
    });
    EXPECT_EQ(w.CurrentPicture.Palette->entries[100].peBlue, 0);
    EXPECT_EQ(w.CurrentPicture.Info->bmiColors[200].rgbBlue, 200 - 127);
}

// Fills the save dialog with a name and a type and accepts it.
void SaveAs(StartedProgram& program, const QString& name, int typeIndex,
            std::function<void(QFileDialog*)> check = {})
{
    const ModalHand hand = HandleNextModal([=](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        if (check)
            check(dialog);
        dialog->selectNameFilter(dialog->nameFilters().at(typeIndex));
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->setText(name);
        QTest::keyClick(edit, Qt::Key_Return);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the save dialog did not take " << name.toStdString();
            dialog->reject();
        }
    });
    program.window->Form().SaveBtn->click();
}

TEST(ModifyWindow, SavingWritesTheTurnedPictureAndReportsAFailure)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    const HeldPicture original(Pattern(40, 30, 24));
    LoadThroughThePage(program, *original);
    w.Form().RotRightBtn->click();

    const QString target = testsupport::TestDir() + QStringLiteral("/turned.png");
    SaveAs(program, target, 1, [](QFileDialog* d) {
        EXPECT_EQ(d->nameFilters().size(), 6); // BMP, PNG, JPEG, TIFF, PCX, TGA
    });
    const HeldPicture back(OpenDib(QFile::encodeName(target).constData(), 0));
    ASSERT_NE(back->Bits, nullptr);
    EXPECT_EQ(DIBWidth(*back), 30);
    EXPECT_EQ(DIBHeight(*back), 40);
    EXPECT_EQ(Pixels(*back), Pixels(w.CurrentPicture));

    // The name and type chosen last are offered again; a save that fails says so and leaves
    // the file it was to replace alone.
    QFile::copy(target, target + QStringLiteral(".before"));
    std::optional<BoxAnswer> seen;
    SaveAs(program, testsupport::TestDir() + QStringLiteral("/no/such/folder/x.png"), 1,
           [&](QFileDialog* d) {
               EXPECT_EQ(d->selectedNameFilter(), d->nameFilters().at(1));
               EXPECT_EQ(d->selectedFiles().value(0), target)
                   << d->selectedFiles().value(0).toStdString();
               seen.emplace(AnswerNextMessageBox(QMessageBox::Ok)); // the box after the dialog
           });
    ASSERT_TRUE(seen.has_value());
    EXPECT_TRUE((*seen)->seen);
    EXPECT_EQ((*seen)->text, QStringLiteral("Couldn't save file!"));
    QFile a(target), b(target + QStringLiteral(".before"));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
}

TEST(ModifyWindow, ATypedExtensionChoosesTheTypeSaved)
{
    StartedProgram program;
    const HeldPicture original(Pattern(40, 30, 24));
    LoadThroughThePage(program, *original);

    // "Files of type" left at its first entry, BMP, and a JPEG name typed.
    const QString target = testsupport::TestDir() + QStringLiteral("/photo.jpg");
    SaveAs(program, target, 0);
    QFile jpeg(target);
    ASSERT_TRUE(jpeg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(jpeg.read(3).startsWith("\xFF\xD8\xFF")) << "not a JPEG";
    // The type written is the one offered next; a name without a known extension keeps the
    // type chosen in the list.
    const QString plain = testsupport::TestDir() + QStringLiteral("/photo.picture");
    SaveAs(program, plain, 3, [](QFileDialog* d) {
        EXPECT_EQ(d->selectedNameFilter(), d->nameFilters().at(2)) << "JPEG";
    });
    QFile tiff(plain);
    ASSERT_TRUE(tiff.open(QIODevice::ReadOnly));
    const QByteArray head = tiff.read(2);
    EXPECT_TRUE(head == "II" || head == "MM") << "not a TIFF";
}

} // namespace

namespace {

// Everything an undo must give back.
struct WindowState
{
    std::vector<int32_t> pixels;
    std::vector<uint8_t> colours;
    QString width, height, colourCount;
    double widthPages = 0, heightPages = 0;
    PosterGeometry geometry;
    int32_t selLeft = 0, selTop = 0, selRight = 0, selBottom = 0;
    const JpegSource* jpeg = nullptr;
    bool operator==(const WindowState&) const = default;
};

WindowState StateOf(TMainForm& w)
{
    Ui::MainForm& ui = w.Form();
    WindowState s;
    s.pixels = Pixels(w.CurrentPicture);
    s.colours = ColourTable(w.CurrentPicture);
    s.width = ui.Breit->text();
    s.height = ui.Hoch->text();
    s.colourCount = ui.Tief->text();
    s.widthPages = ui.BreitEd->value();
    s.heightPages = ui.HochEd->value();
    s.geometry = w.Geometry;
    s.selLeft = w.View.SelLeft;
    s.selTop = w.View.SelTop;
    s.selRight = w.View.SelRight;
    s.selBottom = w.View.SelBottom;
    s.jpeg = w.CurrentSource.jpeg();
    return s;
}

void PressKeys(TMainForm& w, Qt::KeyboardModifiers modifiers)
{
    // As the user would: the window active (a dialog that closed may have left none), and a
    // button with the focus, not an edit field, which keeps the keys for its own text.
    QApplication::setActiveWindow(&w);
    w.Form().RotLeftBtn->setFocus();
    QTest::keyClick(&w, Qt::Key_Z, modifiers);
}

// A drawing saves as pixels at 300 dpi of its page, or, offered for drawings only, as a PDF page
// that stays vectors.
TEST(ModifyWindow, ADrawingSavesSharpAndAsAPdfPage)
{
    if (!testsupport::HaveProgram(QStringLiteral("pdfinfo")))
        GTEST_SKIP() << "poppler-utils missing";
    {
        QPdfWriter writer(QStringLiteral("a6.pdf"));
        writer.setPageSize(QPageSize(QPageSize::A6)); // 105 x 148 mm
        QPainter painter(&writer);
        painter.drawText(QPoint(300, 600), QStringLiteral("Hello drawing"));
    }
    StartedProgram program;
    TMainForm& w = *program.window;
    ASSERT_TRUE(w.OpenPictureFile(QStringLiteral("a6.pdf")));
    w.Form().RotRightBtn->click();

    const QString png = testsupport::TestDir() + QStringLiteral("/a6.png");
    SaveAs(program, png, 1);
    const QImage saved(png);
    EXPECT_NEAR(saved.width(), 1748, 2); // 148 mm at 300 dpi, turned
    EXPECT_NEAR(saved.height(), 1240, 2);

    const QString pdf = testsupport::TestDir() + QStringLiteral("/a6-turned");
    SaveAs(program, pdf, 6, [](QFileDialog* d) {
        EXPECT_EQ(d->nameFilters().value(6), QStringLiteral("PDF (*.pdf *.PDF)"));
    });
    const QString info = testsupport::TestDir() + QStringLiteral("/info.txt");
    ASSERT_TRUE(testsupport::Run(
        QStringLiteral("pdfinfo '%1' > '%2' && pdftotext '%1' - >> '%2'").arg(pdf, info)));
    QFile file(info);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("Hello drawing"))) << text.toStdString();
    EXPECT_TRUE(text.contains(
        QRegularExpression(QStringLiteral("Page size: +4(19|20)(\\.[0-9]+)? x 29[78]"))))
        << text.toStdString();
}

TEST(UndoWindow, CtrlZGivesBackThePictureAndWhatEachOperationChangedAndCtrlShiftZRedoesIt)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    QApplication::setActiveWindow(&w);
    const HeldPicture original(Pattern(31, 17, 24));
    LoadThroughThePage(program, *original);

    // Each operation after what the user does to prepare it.
    const auto selectPart = [&] {
        w.View.SelLeft = 3;
        w.View.SelTop = 2;
        w.View.SelRight = 20;
        w.View.SelBottom = 11;
    };
    const std::vector<std::pair<const char*, std::function<void()>>> operations = {
        {"turn left", [&] { ui.RotLeftBtn->click(); }},
        {"turn right", [&] { ui.RotRightBtn->click(); }},
        {"mirror", [&] { ui.FlipHBtn->click(); }},
        {"flip", [&] { ui.FlipVBtn->click(); }},
        {"cut", [&] { ui.SchnittBtn->click(); }},
        {"brightness",
         [&] {
             WithTheDialog(program, [](Ui::HKForm& f) {
                 f.TrackBar1->setValue(40);
                 f.OkBitBtn1->click();
             });
         }},
        {"load",
         [&] {
             const HeldPicture other(Pattern(12, 40, 8));
             LoadThroughThePage(program, *other);
         }},
    };
    ui.BreitEd->setValue(2.5); // a size of the user's own, which a turn refits
    for (const auto& [name, operation] : operations) {
        SCOPED_TRACE(name);
        if (std::string(name) == "cut")
            selectPart();
        const WindowState before = StateOf(w);
        operation();
        const WindowState after = StateOf(w);
        ASSERT_NE(after.pixels, before.pixels);
        PressKeys(w, Qt::ControlModifier);
        EXPECT_TRUE(StateOf(w) == before);
        PressKeys(w, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_TRUE(StateOf(w) == after);
    }
    // All the way back to the first picture loaded, then nothing more to undo.
    for (size_t i = 0; i < operations.size(); ++i)
        PressKeys(w, Qt::ControlModifier);
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("31"));
    const WindowState first = StateOf(w);
    PressKeys(w, Qt::ControlModifier);
    PressKeys(w, Qt::ControlModifier);
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("320")); // the start picture
    PressKeys(w, Qt::ControlModifier);
    EXPECT_EQ(ui.Breit->text(), QStringLiteral("320"));
    PressKeys(w, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(StateOf(w) == first);
}

TEST(UndoWindow, AJpegComesBackWithItsOwnDataAfterALosslessEdit)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    QApplication::setActiveWindow(&w);
    QImage photo(48, 32, QImage::Format_RGB32);
    photo.fill(Qt::darkCyan);
    ASSERT_TRUE(photo.save(QStringLiteral("photo.jpg"), "JPEG", 90));
    ASSERT_TRUE(w.OpenPictureFile(QStringLiteral("photo.jpg")));
    const PosterSource file = w.CurrentSource;
    ASSERT_TRUE(file.jpeg());

    ui.FlipHBtn->click();
    ASSERT_TRUE(w.CurrentSource.jpeg());
    EXPECT_NE(w.CurrentSource, file);
    WithTheDialog(program, [](Ui::HKForm& f) {
        f.TrackBar1->setValue(-30);
        f.OkBitBtn1->click();
    });
    EXPECT_TRUE(w.CurrentSource.IsPixels());
    PressKeys(w, Qt::ControlModifier);
    ASSERT_TRUE(w.CurrentSource.jpeg()); // the mirrored JPEG again
    EXPECT_TRUE(w.CurrentSource.jpeg()->view.mirrored);
    PressKeys(w, Qt::ControlModifier);
    EXPECT_EQ(w.CurrentSource, file);
}

} // namespace
