// SPDX-License-Identifier: GPL-3.0-or-later
// The titles as the desktop shows them: what an X server holds for each window, read back with
// xprop. The window system appends the application's name to titles unless told otherwise, so
// windowTitle() alone would not show the fault.
#include "WindowTestSupport.h"
#include "ui_MainForm.h"

#include "Messages.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

namespace {

constexpr int kServerStartMs = 20000;
constexpr int kChildMs = 120000;

// _NET_WM_NAME of a window on the X server of $DISPLAY.
QString NetWmName(QWidget* window)
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window->winId()),
                                          QStringLiteral("_NET_WM_NAME")});
    if (!xprop.waitForFinished(10000))
        return QStringLiteral("(xprop did not answer)");
    const QString out = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("= \"(.*)\"$")).match(out);
    return m.hasMatch() ? m.captured(1) : out;
}

// The modal box's title once it is up, then it is closed.
QString TitleOfNextModal(const std::function<void()>& open)
{
    QString title = QStringLiteral("(no modal window)");
    const ModalHand hand = HandleNextModal([&title](QWidget* modal) {
        title = QTest::qWaitForWindowExposed(modal) ? NetWmName(modal)
                                                    : QStringLiteral("(never shown)");
        if (auto* box = qobject_cast<QMessageBox*>(modal); box && box->button(QMessageBox::Cancel))
            box->button(QMessageBox::Cancel)->click();
        else
            modal->close();
    });
    open();
    return title;
}

// Runs in the child started below, on the X server it started.
TEST(WindowTitles, DISABLED_OnTheXServer)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    StartedProgram program;
    TMainForm& w = *program.window;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(NetWmName(&w), QStringLiteral("Velmora V2.0b"));

    EXPECT_EQ(TitleOfNextModal([&] { w.close(); }), QStringLiteral("Quit program"));
    EXPECT_TRUE(w.isVisible()); // Cancel kept it
    EXPECT_EQ(TitleOfNextModal([&] { w.AboutBitBtnClick(); }), QStringLiteral("Info"));
    EXPECT_EQ(TitleOfNextModal([&] { program.hk->exec(); }),
              QStringLiteral("Brightness and Contrast"));
    // A box without a caption of its own shows the program's name, once.
    EXPECT_EQ(TitleOfNextModal([&] { ShowMessage(&w, QStringLiteral("Couldn't load file!")); }),
              QStringLiteral("Velmora"));
    EXPECT_EQ(TitleOfNextModal([&] { ShowError(&w, QStringLiteral("disk full")); }),
              QStringLiteral("Velmora"));

    w.HelpBtnClick();
    ASSERT_NE(w.HelpWindow(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.HelpWindow()));
    EXPECT_EQ(NetWmName(w.HelpWindow()), QStringLiteral("Velmora Help"));
    w.HelpWindow()->close();
}

TEST(WindowTitles, AsTheDesktopShowsThem)
{
    for (const char* tool : {"Xvfb", "xprop"})
        ASSERT_TRUE(testsupport::HaveProgram(QString::fromLatin1(tool)))
            << tool << " is missing (make deps installs it)";
    // An X server of the test's own, which picks a free display and names it on a pipe.
    QProcess server;
    server.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp")});
    ASSERT_TRUE(server.waitForStarted(kServerStartMs));
    QString display;
    QElapsedTimer clock;
    clock.start();
    while (!display.contains(QLatin1Char('\n')) && server.state() == QProcess::Running &&
           !clock.hasExpired(kServerStartMs))
        if (server.waitForReadyRead(500))
            display += QString::fromLatin1(server.readAllStandardOutput());
    display = display.trimmed();
    ASSERT_FALSE(display.isEmpty()) << server.readAllStandardError().toStdString();

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QLatin1Char(':') + display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=WindowTitles.DISABLED_OnTheXServer"),
                 QStringLiteral("--gtest_also_run_disabled_tests")});
    const bool finished = child.waitForFinished(kChildMs);
    const QString out = QString::fromLocal8Bit(child.readAll());
    server.terminate();
    server.waitForFinished(5000);
    ASSERT_TRUE(finished) << out.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("[  PASSED  ] 1 test"))) << out.toStdString();
}

} // namespace
