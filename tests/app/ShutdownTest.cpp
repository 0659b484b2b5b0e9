// SPDX-License-Identifier: GPL-3.0-or-later
// Leaving the program: the quit question on every close path, and help closing with it.
#include "WindowTestSupport.h"
#include "ui_MainForm.h"

#include <QDialog>

#include <gtest/gtest.h>

TEST(Shutdown, QuitQuestionAsksWithOkAndCancel)
{
    StartedProgram program;
    auto seen = AnswerNextMessageBox(QMessageBox::Cancel);
    program.window->Form().QuitBtn->click();
    ASSERT_TRUE(seen->seen);
    EXPECT_EQ(seen->text, "You quit Velmora 2.0");
    EXPECT_EQ(seen->title, "Quit program");
    EXPECT_EQ(seen->icon, QMessageBox::Information);
    EXPECT_EQ(seen->buttons, QMessageBox::Ok | QMessageBox::Cancel);
}

TEST(Shutdown, CancelKeepsWindowPictureAndSettings)
{
    const struct
    {
        const char* path;
        QMessageBox::StandardButton answer;
    } cases[] = {{"quit button", QMessageBox::Cancel},
                 {"close box", QMessageBox::Cancel},
                 {"escape", QMessageBox::Escape}};
    for (const auto& c : cases) {
        StartedProgram program;
        TMainForm& w = *program.window;
        w.Form().BreitEd->setValue(3.0);
        w.Form().CheckBox2->setChecked(true);
        w.PageOffGrid[PageIndex(2, 1)] = 1;
        w.View.SelLeft = 7;
        const PictureRecord picture = w.CurrentPicture;
        const PosterGeometry geometry = w.Geometry;
        const PrintOptions options = w.Options;

        auto seen = AnswerNextMessageBox(c.answer);
        if (std::string(c.path) == "quit button")
            w.Form().QuitBtn->click();
        else
            EXPECT_FALSE(w.close()) << c.path;
        ASSERT_TRUE(seen->seen) << c.path;
        EXPECT_TRUE(w.isVisible()) << c.path;
        EXPECT_EQ(w.CurrentPicture.Bits, picture.Bits) << c.path;
        EXPECT_EQ(w.CurrentPicture.Info, picture.Info) << c.path;
        EXPECT_DOUBLE_EQ(w.Form().BreitEd->value(), 3.0) << c.path;
        EXPECT_TRUE(w.Form().CheckBox2->isChecked()) << c.path;
        EXPECT_EQ(w.PageOffGrid[PageIndex(2, 1)], 1) << c.path;
        EXPECT_EQ(w.View.SelLeft, 7) << c.path;
        EXPECT_EQ(w.Geometry, geometry) << c.path;
        EXPECT_EQ(w.Options, options) << c.path;
    }
}

TEST(Shutdown, OkClosesWindowAndHelp)
{
    for (const bool byButton : {true, false}) {
        StartedProgram program;
        TMainForm& w = *program.window;
        w.HelpBtnClick();
        QPointer<QDialog> help = w.HelpWindow();
        ASSERT_TRUE(help && help->isVisible());

        auto seen = AnswerNextMessageBox(QMessageBox::Ok);
        if (byButton)
            w.Form().QuitBtn->click();
        else
            EXPECT_TRUE(w.close());
        SettleEvents();
        ASSERT_TRUE(seen->seen);
        EXPECT_FALSE(w.isVisible());
        EXPECT_TRUE(!help || !help->isVisible());
    }
}

TEST(Shutdown, DestroyingTheWindowReleasesThePictureOnce)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    ASSERT_NE(w.CurrentPicture.Bits, nullptr);
    w.FormDestroy();
    EXPECT_EQ(w.CurrentPicture.Bits, nullptr);
    // The destructor runs the same path again; it must not release a second time.
    program.window.reset();
    SUCCEED();
}
