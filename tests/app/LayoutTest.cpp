// SPDX-License-Identifier: GPL-3.0-or-later
// The window's layout: pages, places, ranges, hints, the fixed frame, and that texts fit.
#include "TestSupport.h"
#include "WindowTestSupport.h"
#include "ui_AboutBoxUnit.h"
#include "ui_HKUnit.h"
#include "ui_MainForm.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QRadioButton>
#include <QScrollArea>
#include <QTest>

#include <gtest/gtest.h>

namespace {
QWidget* Find(QWidget* root, const char* name)
{
    return root->findChild<QWidget*>(QString::fromLatin1(name));
}
} // namespace

TEST(Layout, SixPagesInOrder)
{
    StartedProgram program;
    QTabWidget* pages = program.window->Form().PageControl1;
    const struct
    {
        const char* name;
        const char* caption;
    } expected[] = {{"TabSheet1", "Load picture"},   {"TabSheet10", "Scan picture"},
                    {"TabSheet8", "Modify picture"}, {"TabSheet2", "Options"},
                    {"TabSheet3", "Print size"},     {"TabSheet4", "Print"}};
    ASSERT_EQ(pages->count(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(pages->widget(i)->objectName(), expected[i].name);
        EXPECT_EQ(pages->tabText(i), expected[i].caption);
    }
    EXPECT_EQ(pages->geometry(), QRect(8, 8, 577, 329));
}

TEST(Layout, ControlsAtTheirPlaces)
{
    StartedProgram program;
    const struct
    {
        const char* name;
        QRect place;
    } expected[] = {
        {"AboutBitBtn", {224, 352, 145, 25}},  {"HelpBtn", {384, 352, 91, 25}},
        {"QuitBtn", {488, 352, 89, 25}},       {"DirectoryListBox1", {8, 8, 185, 257}},
        {"FileListBox1", {200, 8, 185, 257}},  {"FilterComboBox1", {200, 272, 185, 21}},
        {"PaintBox1", {392, 32, 170, 170}},    {"Panel4", {7, 7, 195, 283}},
        {"RxLabel6", {256, 16, 273, 41}},      {"SelectButton", {312, 88, 161, 57}},
        {"ScanButton", {312, 160, 161, 57}},   {"HellpBtn", {8, 16, 177, 25}},
        {"SchnittBtn", {8, 192, 177, 25}},     {"SaveBtn", {8, 224, 177, 25}},
        {"ScrollBox1", {216, 8, 345, 281}},    {"PaintBox2", {0, 0, 341, 277}},
        {"GroupBox2", {8, 8, 305, 177}},       {"GroupBox1", {8, 192, 177, 97}},
        {"GroupBox4", {192, 192, 121, 97}},    {"GroupBox3", {320, 8, 225, 281}},
        {"Panel2", {7, 7, 195, 283}},          {"ScrollBox2", {216, 8, 345, 281}},
        {"VorschauBox", {0, 0, 341, 277}},     {"GroupBox5", {216, 16, 329, 81}},
        {"GroupBox6", {216, 112, 329, 89}},    {"PrintBtn", {216, 216, 89, 65}},
        {"ProgressBar1", {320, 248, 225, 16}},
    };
    for (const auto& e : expected) {
        QWidget* w = Find(program.window.get(), e.name);
        ASSERT_NE(w, nullptr) << e.name;
        EXPECT_EQ(w->geometry(), e.place) << e.name;
    }
    // The paint boxes keep their size inside the scroll boxes instead of being fitted.
    for (const char* name : {"ScrollBox1", "ScrollBox2"})
        EXPECT_FALSE(
            qobject_cast<QScrollArea*>(Find(program.window.get(), name))->widgetResizable())
            << name;
}

TEST(Layout, SpinEditsConfigured)
{
    StartedProgram program;
    Ui::MainForm& f = program.window->Form();
    const struct
    {
        QDoubleSpinBox* edit;
        double min, max, step, value;
        int decimals;
    } decimals[] = {
        // The size edits hold what the start-up refit made of them (checked with the start-up).
        {f.BreitEd, 0.1, 100, 0.1, -1, 8}, {f.HochEd, 0.1, 100, 0.1, -1, 8},
        {f.IncEd, 0.01, 1, 0.01, 0.1, 2},  {f.ZoomEd, 0.1, 10, 0.1, 1.0, 2},
        {f.ZoomEd2, 0.1, 10, 0.1, 1.0, 1},
    };
    for (const auto& d : decimals) {
        const std::string name = d.edit->objectName().toStdString();
        EXPECT_DOUBLE_EQ(d.edit->minimum(), d.min) << name;
        EXPECT_DOUBLE_EQ(d.edit->maximum(), d.max) << name;
        EXPECT_DOUBLE_EQ(d.edit->singleStep(), d.step) << name;
        if (d.value >= 0) {
            EXPECT_DOUBLE_EQ(d.edit->value(), d.value) << name;
        }
        EXPECT_EQ(d.edit->decimals(), d.decimals) << name;
    }
    for (QSpinBox* glue : {f.KrandxlEd, f.KrandylEd}) {
        EXPECT_EQ(glue->minimum(), 0);
        EXPECT_EQ(glue->maximum(), 10);
        EXPECT_EQ(glue->value(), 5);
    }
    EXPECT_EQ(f.ProgressBar1->minimum(), 0);
    EXPECT_EQ(f.ProgressBar1->maximum(), 100);
    EXPECT_EQ(f.ProgressBar1->value(), 0);
    EXPECT_TRUE(f.RadioButton1->isChecked());
    EXPECT_TRUE(f.RadioButton3->isChecked());
}

TEST(Layout, HintsOnTheirControls)
{
    StartedProgram program;
    const struct
    {
        const char* name;
        const char* hint;
    } expected[] = {
        {"HelpBtn", "Click here to get help."},
        {"QuitBtn", "Click here to quit."},
        {"DirectoryListBox1", "Choose the directory."},
        {"DriveComboBox1", "Choose the drive."},
        {"FileListBox1", "Choose the picture file."},
        {"FilterComboBox1", "Choose the type of the file."},
        {"PaintBox1", "Preview of the picture."},
        {"Breit", "Width of the picture (Pixels)."},
        {"Hoch", "Height of the picture (pixels)."},
        {"Tief", "Number of colors in the picture."},
        {"CheckBox6", "Maintain aspect ratio"},
        {"VorschauBox", "Shows preview; without helplines;  click->page on/off"},
    };
    for (const auto& e : expected) {
        QWidget* w = Find(program.window.get(), e.name);
        ASSERT_NE(w, nullptr) << e.name;
        EXPECT_EQ(w->toolTip(), e.hint) << e.name;
    }
}

TEST(Layout, TabOrderOfTheEditPage)
{
    StartedProgram program;
    Ui::MainForm& f = program.window->Form();
    const QWidget* order[] = {f.HellpBtn, f.RotLeftBtn, f.RotRightBtn, f.FlipHBtn,
                              f.FlipVBtn, f.SchnittBtn, f.SaveBtn,     f.ZoomEd2};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        EXPECT_EQ(order[i]->nextInFocusChain(), order[i + 1])
            << order[i]->objectName().toStdString();
}

TEST(Layout, FixedFrameWithoutMaximise)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    EXPECT_EQ(w.windowTitle(), "Velmora V2.0b");
    EXPECT_EQ(w.size(), QSize(592, 388));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    w.resize(800, 600);
    EXPECT_EQ(w.size(), QSize(592, 388));
}

// Text that does not fit its control is cut off on screen; every caption must fit at the font
// the layout was made for, in every language the program speaks.
class LayoutInLanguage : public ::testing::TestWithParam<const char*>
{
};

TEST_P(LayoutInLanguage, EveryCaptionFits)
{
    const ProgramLanguage language(GetParam());
    ASSERT_TRUE(language.installed() || QLatin1String(GetParam()) == QLatin1String("en"));
    StartedProgram program;
    const QList<QWidget*> roots = {program.window.get(), program.about.get(), program.hk.get()};
    for (QWidget* root : roots) {
        for (QLabel* label : root->findChildren<QLabel*>()) {
            if (label->text().isEmpty())
                continue;
            const QSize need = label->wordWrap() ? QSize(0, label->heightForWidth(label->width()))
                                                 : label->sizeHint();
            EXPECT_LE(need.width(), label->width())
                << label->objectName().toStdString() << ": " << label->text().toStdString();
            EXPECT_LE(need.height(), label->height() + 2)
                << label->objectName().toStdString() << ": " << label->text().toStdString();
        }
        for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
            if (button->text().isEmpty())
                continue;
            const bool check =
                qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button);
            const int need =
                check
                    ? button->sizeHint().width()
                    : button->fontMetrics().horizontalAdvance(QString(button->text()).remove('&'));
            EXPECT_LE(need, button->width()) << button->objectName().toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, LayoutInLanguage, ::testing::Values("en", "de"),
                         [](const auto& info) { return std::string(info.param); });

TEST(Layout, ScreenshotsOfEveryPageAndDialog)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    const QString dir = testsupport::ArtifactDir();
    QTabWidget* pages = w.Form().PageControl1;
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        SettleEvents();
        const QImage shot = w.grab().toImage();
        ASSERT_EQ(shot.size(), QSize(592, 388));
        EXPECT_TRUE(shot.save(dir + QStringLiteral("/window-%1.png").arg(i + 1)));
    }
    // The side pictures were drawn: their middle is not the empty panel colour.
    pages->setCurrentIndex(1);
    SettleEvents();
    const QImage scan = w.Form().Image2->grab().toImage();
    EXPECT_NE(scan.pixel(96, 150), scan.pixel(96, 260));

    program.about->show();
    EXPECT_TRUE(program.about->grab().toImage().save(dir + "/about.png"));
    program.about->hide();
    program.hk->show();
    EXPECT_TRUE(program.hk->grab().toImage().save(dir + "/brightness-contrast.png"));
    program.hk->hide();
}

TEST(Layout, MaroonCaptionsAndEnterScans)
{
    StartedProgram program;
    Ui::MainForm& f = program.window->Form();
    const QColor maroon(0x80, 0x00, 0x00);
    for (QWidget* w : std::initializer_list<QWidget*>{f.QuitBtn, f.ScanButton, f.BitBtn3,
                                                      f.SchnittBtn, f.PrintBtn}) {
        w->ensurePolished();
        EXPECT_EQ(w->palette().color(QPalette::ButtonText), maroon)
            << w->objectName().toStdString();
    }
    f.HelpBtn->ensurePolished();
    EXPECT_NE(f.HelpBtn->palette().color(QPalette::ButtonText), maroon);

    f.PageControl1->setCurrentWidget(f.TabSheet10);
    program.window->activateWindow();
    // Only which button Enter presses counts here, not the scanner dialogs they open.
    QObject::disconnect(f.ScanButton, &QToolButton::clicked, program.window.get(), nullptr);
    QObject::disconnect(f.SelectButton, &QToolButton::clicked, program.window.get(), nullptr);
    int scans = 0;
    int selects = 0;
    QObject::connect(f.ScanButton, &QToolButton::clicked, [&] { ++scans; });
    QObject::connect(f.SelectButton, &QToolButton::clicked, [&] { ++selects; });
    f.ScanButton->setFocus();
    QTest::keyClick(f.ScanButton, Qt::Key_Return);
    EXPECT_EQ(scans, 1);
    EXPECT_EQ(selects, 0);
    f.SelectButton->setFocus();
    QTest::keyClick(f.SelectButton, Qt::Key_Enter);
    EXPECT_EQ(scans, 1);
    EXPECT_EQ(selects, 1);
}
