// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-poster under hostile conditions on the writing side: a signal just before a save's
// rename, file names that are not UTF-8, and writes that fail for a reason the system knows.
#include "FileName.h"
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "SaneTestConfig.h"

#include "TestSupport.h"
#include "ToolRun.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QByteArray Bytes(const char* name)
{
    QFile file(QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool ExistsByBytes(const QByteArray& name)
{
    struct stat info = {};
    return ::stat(name.constData(), &info) == 0;
}

QByteArray StartOf(const QByteArray& name, int size)
{
    const int fd = ::open(name.constData(), O_RDONLY);
    if (fd < 0)
        return {};
    QByteArray head(size, '\0');
    const ssize_t got = ::read(fd, head.data(), size_t(size));
    ::close(fd);
    return head.left(got < 0 ? 0 : got);
}

void SaveSmallPicture(const char* name)
{
    const HeldPicture p(newdib(40, 30, 24, nullptr, 0));
    ASSERT_NE(p->Bits, nullptr);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            setpixel(*p, x, y, (x * 6) << 16 | (y * 8) << 8 | 0x40);
    ASSERT_TRUE(SaveDib(*p, name, 3));
}

// The tool run through the shell, for arguments QProcess would turn into UTF-8; its status,
// and its stdout and stderr in out.txt and err.txt.
int RunShell(const QString& arguments)
{
    testsupport::Run(QStringLiteral("'%1' %2 > out.txt 2> err.txt; echo $? > status.txt")
                         .arg(QStringLiteral(VELMORA_POSTER), arguments));
    return Bytes("status.txt").trimmed().toInt();
}

} // namespace

TEST(batch_names, NamesThatAreNotUtf8AreKeptAsBytes)
{
    // Lone bytes, an overlong slash, a surrogate's UTF-8, a character cut short, and good text.
    for (const QByteArray& bytes :
         {QByteArray("bad\xFF\xFE.jpg"), QByteArray("\xC0\xAF"), QByteArray("\xED\xB2\x80"),
          QByteArray("caf\xC3"), QByteArray("caf\xC3\xA9 \xF0\x9F\x96\xBC.png")}) {
        SCOPED_TRACE(bytes.toHex().toStdString());
        EXPECT_EQ(FileNameBytes(FileNameFromBytes(bytes)), bytes);
    }
    EXPECT_EQ(FileNameFromBytes("caf\xC3\xA9"), QStringLiteral("café"));
    EXPECT_EQ(FileNameText(FileNameFromBytes("bad\xFF\xFE.jpg")),
              QStringLiteral("bad\\xFF\\xFE.jpg"));
    EXPECT_EQ(FileNameBytes(FileNameFromUrl(QUrl(QStringLiteral("file:///tmp/bad%FF.jpg")))),
              QByteArray("/tmp/bad\xFF.jpg"));

    SaveSmallPicture("plain.bmp");
    ASSERT_EQ(::rename("plain.bmp", "bad\xFF\xFE.bmp"), 0);
    const QString in = QStringLiteral("\"$(printf 'bad\\377\\376.bmp')\"");
    ASSERT_EQ(RunShell(QStringLiteral("%1 --info").arg(in)), 0) << Bytes("err.txt").constData();
    EXPECT_TRUE(Bytes("out.txt").startsWith("Width: 40\nHeight: 30\n"));

    // Out under exactly the name given, and under no name made of it.
    EXPECT_EQ(RunShell(QStringLiteral("%1 --mirror --save \"$(printf 's\\377ved.png')\"").arg(in)),
              0)
        << Bytes("err.txt").constData();
    EXPECT_EQ(StartOf("s\xFFved.png", 4), QByteArray("\x89PNG"));
    EXPECT_EQ(RunShell(QStringLiteral("%1 -o \"$(printf 'o\\377ut.pdf')\"").arg(in)), 0)
        << Bytes("err.txt").constData();
    EXPECT_EQ(StartOf("o\xFFut.pdf", 5), QByteArray("%PDF-"));
    EXPECT_FALSE(ExistsByBytes("o\xEF\xBF\xBDut.pdf"));
    EXPECT_FALSE(ExistsByBytes("s\xEF\xBF\xBDved.png"));

    // A message shows such a name readably.
    EXPECT_EQ(RunShell(QStringLiteral("\"$(printf 'gone\\377.bmp')\" --info")), 1);
    EXPECT_EQ(Bytes("err.txt"), QByteArray("velmora-poster: gone\\xFF.bmp: no such file\n"));
    // A link is followed: the file it names is replaced, the link stays.
    ASSERT_EQ(::symlink("s\xFFved.png", "link.png"), 0);
    EXPECT_EQ(RunShell(QStringLiteral("%1 --save link.png --save-type bmp").arg(in)), 0)
        << Bytes("err.txt").constData();
    struct stat link = {};
    EXPECT_TRUE(::lstat("link.png", &link) == 0 && S_ISLNK(link.st_mode));
    EXPECT_EQ(StartOf("s\xFFved.png", 2), QByteArray("BM"));

    // Qt's removal of the test folder could not name these.
    for (const char* made : {"bad\xFF\xFE.bmp", "s\xFFved.png", "o\xFFut.pdf"})
        ::unlink(made);
}

// SIGTERM or Ctrl+C once the saved picture is all on disk under its temporary name, just before
// it would take the old file's name: the old file stays byte for byte, the temporary file goes,
// and the tool ends with 128 + the signal and one line.
TEST(batch_stop, ASignalBeforeTheSavesRenameLeavesTheOldFileAsItWas)
{
    SaveSmallPicture("pic.bmp");
    const QByteArray old("yesterday's picture\x00\xFF\n", 22);
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        QDir().mkpath(QStringLiteral("work"));
        QFile::remove(QStringLiteral("paused"));
        {
            QFile file(QStringLiteral("work/out.png"));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(old);
        }
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELMORA_POSTER_PAUSE_BEFORE_RENAME"),
                   QDir::current().filePath(QStringLiteral("paused")));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(VELMORA_POSTER),
                      {QStringLiteral("pic.bmp"), QStringLiteral("--brightness"),
                       QStringLiteral("10"), QStringLiteral("--save"),
                       QStringLiteral("work/out.png")});
        ASSERT_TRUE(process.waitForStarted());
        const QDeadlineTimer deadline(120000);
        while (!QFile::exists(QStringLiteral("paused")) && !deadline.hasExpired() &&
               process.state() == QProcess::Running)
            QThread::msleep(10);
        ASSERT_TRUE(QFile::exists(QStringLiteral("paused")))
            << process.readAllStandardError().toStdString();
        // The new picture is written, beside the old file.
        EXPECT_EQ(QDir(QStringLiteral("work")).entryList(QDir::Files | QDir::Hidden).size(), 2);
        ::kill(pid_t(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(120000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 128 + signal);
        EXPECT_EQ(process.readAllStandardError(),
                  QByteArray("velmora-poster: stopped by ") +
                      (signal == SIGTERM ? "SIGTERM\n" : "SIGINT\n"));
        EXPECT_EQ(Bytes("work/out.png"), old);
        EXPECT_EQ(QDir(QStringLiteral("work")).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("out.png")});
    }
}

// A save or a PDF file that can't be written says why, in the system's words, in one line; the
// window's own words stay in the save's line.
TEST(batch_reasons, WritingFailuresNameTheSystemsReason)
{
    SaveSmallPicture("pic.bmp");
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("folder.png")));
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("locked")));
    ::chmod("locked", 0555);
    ::chmod(".", 0755);
    ::chmod("pic.bmp", 0644);
    // Root writes wherever it likes; the locked folder is tried as nobody.
    const QStringList asNobody =
        geteuid() == 0
            ? QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"),
                          QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups")}
            : QStringList{};
    const QString here = QDir::currentPath() + QLatin1Char('/');
    struct Case
    {
        QStringList arguments;
        QStringList prefix;
        QString line;
    };
    const Case cases[] = {
        {{QStringLiteral("--save"), QStringLiteral("folder.png")},
         {},
         QStringLiteral("folder.png: Couldn't save file! (Is a directory)")},
        {{QStringLiteral("--save"), QStringLiteral("/dev/full"), QStringLiteral("--save-type"),
          QStringLiteral("png")},
         {},
         QStringLiteral("/dev/full: Couldn't save file! (No space left on device)")},
        {{QStringLiteral("--save"), here + QStringLiteral("locked/out.png")},
         asNobody,
         here + QStringLiteral("locked/out.png: Couldn't save file! (Permission denied)")},
        {{QStringLiteral("-o"), QStringLiteral("/dev/full")},
         {},
         QStringLiteral("/dev/full: The PDF file could not be written: No space left on device")},
        {{QStringLiteral("-o"), QStringLiteral("folder.png")},
         {},
         here + QStringLiteral("folder.png: The PDF file could not be made: Is a directory")},
        {{QStringLiteral("-o"), here + QStringLiteral("locked/out.pdf")},
         asNobody,
         here + QStringLiteral("locked/out.pdf: The PDF file could not be made: Permission "
                               "denied")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        if (!c.prefix.isEmpty() && !testsupport::HaveProgram(c.prefix.front()))
            continue;
        const ToolRun run =
            RunTool(QStringList{here + QStringLiteral("pic.bmp")} + c.arguments, c.prefix);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, QStringLiteral("velmora-poster: ") + c.line + QLatin1Char('\n'));
    }
    EXPECT_TRUE(QDir(QStringLiteral("locked"))
                    .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    ::chmod("locked", 0755);
}

namespace {

// A Unix socket at the path, listening or not; closed with the object.
class SchedulerSocket
{
public:
    SchedulerSocket(const QByteArray& path, bool listening)
    {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        bound_ = fd_ >= 0 &&
                 ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                 (!listening || ::listen(fd_, 8) == 0);
        if (!listening && fd_ >= 0) {
            ::close(fd_); // the socket's file stays, with nobody behind it
            fd_ = -1;
        }
    }
    ~SchedulerSocket()
    {
        if (client_ >= 0)
            ::close(client_);
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool bound() const { return bound_; }
    // Takes the first caller's connection and never answers it.
    bool Accept()
    {
        client_ = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        return client_ >= 0;
    }

private:
    int fd_ = -1;
    int client_ = -1;
    bool bound_ = false;
};

} // namespace

// A scheduler that is gone is not a missing queue: the line says that it can't be reached and
// why. One that hangs is given up after the timeout, and a signal ends the wait at once.
TEST(batch_reasons, APrintSchedulerGoneOrHungIsSaidSoAndDoesNotHoldTheTool)
{
    SaveSmallPicture("pic.bmp");
    const QByteArray dead = QDir::current().filePath(QStringLiteral("dead.sock")).toLocal8Bit();
    const SchedulerSocket gone(dead, false);
    ASSERT_TRUE(gone.bound());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CUPS_SERVER"), QString::fromLocal8Bit(dead));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VELMORA_POSTER),
                  {QStringLiteral("pic.bmp"), QStringLiteral("--printer"), QStringLiteral("q")});
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_EQ(process.readAllStandardError(), "velmora-poster: the print scheduler (" + dead +
                                                  ") cannot be reached: Connection refused\n");

    const QByteArray hung = QDir::current().filePath(QStringLiteral("hung.sock")).toLocal8Bit();
    SchedulerSocket silent(hung, true);
    ASSERT_TRUE(silent.bound());
    env.insert(QStringLiteral("CUPS_SERVER"), QString::fromLocal8Bit(hung));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VELMORA_POSTER),
                  {QStringLiteral("pic.bmp"), QStringLiteral("--printer"), QStringLiteral("q"),
                   QStringLiteral("--cups-timeout"), QStringLiteral("1")});
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_EQ(process.readAllStandardError(),
              "velmora-poster: the print scheduler (" + hung + ") did not answer for 1 s\n");

    // A PDF file needs no scheduler: the silent one holds nothing up.
    process.start(QStringLiteral(VELMORA_POSTER),
                  {QStringLiteral("pic.bmp"), QStringLiteral("-o"), QStringLiteral("file.pdf")});
    ASSERT_TRUE(process.waitForFinished(60000)) << "the PDF file waited on the scheduler";
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("file.pdf")));

    // With the default timeout of half a minute, SIGTERM once the tool is waiting on the
    // scheduler: it ends well before that.
    SchedulerSocket again(hung + "2", true);
    ASSERT_TRUE(again.bound());
    env.insert(QStringLiteral("CUPS_SERVER"), QString::fromLocal8Bit(hung + "2"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VELMORA_POSTER),
                  {QStringLiteral("pic.bmp"), QStringLiteral("--printer"), QStringLiteral("q")});
    ASSERT_TRUE(again.Accept());
    ::kill(pid_t(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(15000)) << "the look-up did not stop";
    EXPECT_EQ(process.exitCode(), 128 + SIGTERM);
    EXPECT_EQ(process.readAllStandardError(), QByteArray("velmora-poster: stopped by SIGTERM\n"));
}

namespace {

// Whether the process has a child: velmora-poster's scanner helper.
bool HasChild(qint64 pid)
{
    const QByteArray parent = QByteArray::number(pid);
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (rest.size() > 1 && rest[1] == parent)
            return true;
    }
    return false;
}

} // namespace

// A scan that would take 20 seconds ends at the first SIGINT, with one line, well before.
TEST(batch_stop, ASignalEndsAScan)
{
    // Small reads, each held back 2 s: the scan takes 20 seconds.
    const SaneTestConfig sane(
        {QStringLiteral("read-limit true"), QStringLiteral("read-limit-size 64"),
         QStringLiteral("read-delay true"), QStringLiteral("read-delay-duration 2000000")});
    QProcess process;
    process.start(QStringLiteral(VELMORA_POSTER),
                  {QStringLiteral("--scan"), QStringLiteral("test:0"), QStringLiteral("--info")});
    ASSERT_TRUE(process.waitForStarted());
    const QDeadlineTimer deadline(60000);
    while (!HasChild(process.processId()) && !deadline.hasExpired())
        QThread::msleep(10);
    ASSERT_TRUE(HasChild(process.processId())) << "the scanner helper did not start";
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(10000)) << "the scan did not stop";
    EXPECT_EQ(process.exitCode(), 128 + SIGINT);
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
    EXPECT_EQ(process.readAllStandardError(), QByteArray("velmora-poster: stopped by SIGINT\n"));
}
