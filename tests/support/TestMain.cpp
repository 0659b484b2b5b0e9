// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {
QString g_testDir;

// The folder as a test finds it: empty but for the scanner configuration without backends that
// main() points SANE at, and the current directory.
void PrepareTestDir()
{
    QDir dir(g_testDir);
    for (const QFileInfo& entry :
         dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.filePath()).removeRecursively();
        else
            dir.remove(entry.fileName());
    }
    dir.mkdir(QStringLiteral(".no-scanners"));
    QDir::setCurrent(g_testDir);
}

// Tests run in one process (a whole run rather than CTest's process per test) share the folder:
// SANE, for one, takes its configuration folder from the environment only once. Each test still
// finds the folder as a test run on its own would, so that nothing an earlier test left there,
// nor the directory it made current, can reach a later one. It is emptied after the suite's
// SetUpTestSuite, so what a suite shares between its tests lives elsewhere.
class FreshTestDir : public ::testing::EmptyTestEventListener
{
    void OnTestStart(const ::testing::TestInfo&) override { PrepareTestDir(); }
};
} // namespace

namespace testsupport {

QString TestDir()
{
    return g_testDir;
}

QString ArtifactDir()
{
    const QString path = QStringLiteral(VELMORA_BUILD_DIR "/test-artifacts");
    QDir().mkpath(path);
    return path;
}

bool Run(const QString& commandLine)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), commandLine});
    if (!process.waitForFinished(300000))
        return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool HaveProgram(const QString& name)
{
    return !QStandardPaths::findExecutable(name).isEmpty();
}

double MeanDifference(const QImage& a, const QImage& b)
{
    if (a.isNull() || a.size() != b.size())
        return 255;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

} // namespace testsupport

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);

    // Each test works in a folder of its own, which is also its home, so that nothing a test
    // writes can meet another test's files or the developer's own.
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/velmora-test-XXXXXX"));
    if (!dir.isValid())
        return 2;
    g_testDir = dir.path();
    qputenv("HOME", g_testDir.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (g_testDir + "/.config").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", g_testDir.toLocal8Bit());
    // Nor the machine's printers: a scheduler address where nothing listens is a machine without
    // printers. The printing tests through a scheduler of their own point it there.
    qputenv("CUPS_SERVER", (g_testDir + "/no-scheduler").toLocal8Bit());
    // Nor its scanners: a SANE configuration without backends. The scanning tests set up a
    // virtual scanner of their own.
    qputenv("SANE_CONFIG_DIR", (g_testDir + "/.no-scanners").toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Nor its language: the programs a test starts speak English, the language the tests
    // expect, unless the test asks for another.
    qputenv("LC_ALL", "C.UTF-8");
    qunsetenv("LANGUAGE");

    PrepareTestDir();
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshTestDir);

    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
