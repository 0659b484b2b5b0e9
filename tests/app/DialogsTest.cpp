// SPDX-License-Identifier: GPL-3.0-or-later
// The about dialog, help, the brightness and contrast dialog's frame, and the message boxes.
#include "Messages.h"
#include "VelmoraApplication.h"
#include "WindowTestSupport.h"
#include "ui_AboutBoxUnit.h"
#include "ui_HKUnit.h"
#include "ui_MainForm.h"

#include "TestSupport.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

#include <stdexcept>

TEST(Dialogs, AboutOpensModallyAndOkClosesIt)
{
    StartedProgram program;
    Ui::AboutBox& f = program.about->Form();
    EXPECT_FALSE(program.about->isVisible());
    bool wasModal = false;
    const ModalHand hand = HandleNextModal([&](QWidget* modal) {
        wasModal = modal == program.about.get();
        program.about->Form().OKButton->click();
    });
    program.window->Form().AboutBitBtn->click();
    EXPECT_TRUE(wasModal);
    EXPECT_FALSE(program.about->isVisible());
    EXPECT_EQ(program.about->windowTitle(), "Info");
    EXPECT_EQ(program.about->size(), QSize(298, 213));
    EXPECT_EQ(f.ProductName->text(), "Velmora");
    EXPECT_EQ(f.Version->text(), "English Version 2.00.720b");
    EXPECT_EQ(f.ReleaseDate->text(), "Release (dd.mm.yyyy) : 14.01.1999");
    EXPECT_TRUE(f.OKButton->isDefault());
    EXPECT_FALSE(f.ProgramIcon->pixmap().isNull());
    EXPECT_TRUE(program.window->isVisible());
}

TEST(Dialogs, BrightnessDialogFrameAndSetBack)
{
    StartedProgram program;
    Ui::HKForm& f = program.hk->Form();
    EXPECT_EQ(program.hk->windowTitle(), "Brightness and Contrast");
    EXPECT_EQ(f.TrackBar1->minimum(), -127);
    EXPECT_EQ(f.TrackBar1->maximum(), 127);
    EXPECT_EQ(f.TrackBar2->minimum(), 0);
    EXPECT_EQ(f.TrackBar2->maximum(), 200);
    EXPECT_EQ(f.TrackBar2->value(), 100);
    EXPECT_TRUE(f.OkBitBtn1->isDefault());
    EXPECT_EQ(f.OkBitBtn1->nextInFocusChain(), f.CancelBitBtn2);
    f.TrackBar1->setValue(40);
    f.TrackBar2->setValue(170);
    f.BacksetBitBtn3->click();
    EXPECT_EQ(f.TrackBar1->value(), 0);
    EXPECT_EQ(f.TrackBar2->value(), 100);
}

TEST(Dialogs, HelpOpensAtItsContentsWithoutBlocking)
{
    StartedProgram program;
    program.window->Form().HelpBtn->click();
    QDialog* help = program.window->HelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_FALSE(help->isModal());
    auto* browser = help->findChild<QTextBrowser*>();
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->source().toString(), "qrc:/help/velmora.html");
    const QString text = browser->toPlainText();
    for (const char* topic :
         {"step by step", "Load picture", "Print size", "cut line", "glue line", "Edge for glue"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(topic), Qt::CaseInsensitive)) << topic;
    // A second press reuses the window instead of stacking another one.
    program.window->Form().HelpBtn->click();
    EXPECT_EQ(program.window->HelpWindow(), help);
}

TEST(Dialogs, ErrorInAHandlerIsShownAndTheProgramGoesOn)
{
    StartedProgram program;
    const struct
    {
        std::function<bool()> work;
        const char* text;
    } cases[] = {
        {[]() -> bool { throw std::runtime_error("Printer on fire"); }, "Printer on fire"},
        {[]() -> bool { throw 42; }, "Unknown error"},
    };
    for (const auto& c : cases) {
        auto seen = AnswerNextMessageBox(QMessageBox::Ok);
        EXPECT_FALSE(RunGuarded(c.work));
        ASSERT_TRUE(seen->seen) << c.text;
        EXPECT_EQ(seen->text, c.text);
        EXPECT_EQ(seen->title, "Velmora");
        EXPECT_EQ(seen->icon, QMessageBox::Critical);
        EXPECT_EQ(seen->buttons, QMessageBox::Ok);
    }
    int ran = 0;
    EXPECT_TRUE(RunGuarded([&] {
        ++ran;
        return true;
    }));
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(program.window->isVisible());
}

TEST(Dialogs, PlainMessageHasNoCaptionIconOrCancel)
{
    StartedProgram program;
    auto seen = AnswerNextMessageBox(QMessageBox::Ok);
    EXPECT_EQ(ShowMessage(program.window.get(), "Couldn't load file!"), QMessageBox::Ok);
    ASSERT_TRUE(seen->seen);
    EXPECT_EQ(seen->text, "Couldn't load file!");
    EXPECT_TRUE(seen->title.isEmpty());
    EXPECT_EQ(seen->icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen->buttons, QMessageBox::Ok);
}

TEST(Dialogs, ACancelledPrinterSetupChangesNothing)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    QPrinter& printer = w.Printer->printer();
    ASSERT_TRUE(w.Printer->isPdfFile());
    const QString pdf = testsupport::TestDir() + QStringLiteral("/setup.pdf");
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(QPageSize::A3));
    printer.setPageOrientation(QPageLayout::Landscape);
    const QPageLayout layout = printer.pageLayout();
    w.UpdatePaperFormat();
    const QString paperText = w.Form().Edit6->text();

    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Escape" : "Cancel");
        QString title;
        QString okText;
        bool optionsAsked = false;
        {
            const ModalHand hand = HandleNextModal([&](QWidget* modal) {
                title = modal->windowTitle();
                if (auto* buttons = modal->findChild<QDialogButtonBox*>())
                    okText = buttons->button(QDialogButtonBox::Ok)->text();
                auto* dialog = qobject_cast<QPrintDialog*>(modal);
                optionsAsked = dialog &&
                               !dialog->testOption(QAbstractPrintDialog::PrintPageRange) &&
                               !dialog->testOption(QAbstractPrintDialog::PrintCollateCopies) &&
                               dialog->testOption(QAbstractPrintDialog::PrintToFile);
                // The dialog may have written into its printer by now; the one in use is not it.
                if (escape)
                    QTest::keyClick(modal, Qt::Key_Escape);
                else
                    static_cast<QDialog*>(modal)->reject();
            });
            w.Form().BitBtn3->click();
        }
        EXPECT_EQ(title, "Printer setup");
        EXPECT_EQ(okText, "OK");
        EXPECT_TRUE(optionsAsked);
        EXPECT_EQ(printer.outputFormat(), QPrinter::PdfFormat);
        EXPECT_EQ(printer.outputFileName(), pdf);
        EXPECT_TRUE(printer.pageLayout().isEquivalentTo(layout));
        EXPECT_EQ(w.Form().Edit6->text(), paperText);
    }
}
