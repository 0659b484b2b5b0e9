// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed-size windows as a real window manager sees them. Run only on an X server that
// openbox manages (tests/desktop/with-openbox.sh), by its own CTest entry.
#include "WindowTestSupport.h"
#include "ui_MainForm.h"

#include "Messages.h"

#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// What the window manager lets the user do with a window, once it manages it; empty if it
// never says within a few seconds.
QString AllowedActions(const QWidget& window)
{
    for (int tries = 0; tries < 50; ++tries) {
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"),
                    {QStringLiteral("-id"), QString::number(window.winId()),
                     QStringLiteral("_NET_WM_ALLOWED_ACTIONS")});
        xprop.waitForFinished(5000);
        const QString answer = QString::fromLatin1(xprop.readAllStandardOutput());
        if (answer.contains(QStringLiteral("_NET_WM_ACTION_")))
            return answer;
        QTest::qWait(100);
    }
    return QString();
}

void ExpectNoMaximise(const QWidget& window, const char* name)
{
    SCOPED_TRACE(name);
    const QString actions = AllowedActions(window);
    ASSERT_FALSE(actions.isEmpty()) << "the window manager never took the window";
    EXPECT_TRUE(actions.contains(QStringLiteral("_NET_WM_ACTION_MOVE"))) << actions.toStdString();
    EXPECT_TRUE(actions.contains(QStringLiteral("_NET_WM_ACTION_CLOSE"))) << actions.toStdString();
    EXPECT_FALSE(actions.contains(QStringLiteral("_NET_WM_ACTION_MAXIMIZE")))
        << actions.toStdString();
    EXPECT_FALSE(actions.contains(QStringLiteral("_NET_WM_ACTION_RESIZE")))
        << actions.toStdString();
}

TEST(WindowManager, DISABLED_FixedSizeWindowsCanBeNeitherMaximisedNorResized)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    StartedProgram program;
    ExpectNoMaximise(*program.window, "main window");

    program.about->show();
    ExpectNoMaximise(*program.about, "about box");
    program.about->hide();

    program.hk->show();
    ExpectNoMaximise(*program.hk, "brightness and contrast");
    program.hk->hide();

    bool seen = false;
    const auto hand = HandleNextModal([&](QWidget* box) {
        seen = true;
        ExpectNoMaximise(*box, "message box");
        box->close();
    });
    ShowMessage(program.window.get(), QStringLiteral("Couldn't load file!"));
    EXPECT_TRUE(seen);
}

} // namespace
