// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-poster as a separate process: its errors, its reports, the PDF it prints, and the
// poster size it arrives at compared with the window's sequence of library calls.
#include "CurrentPrinter.h"
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "OptionRules.h"
#include "PictureFacts.h"
#include "PosterSize.h"

#include "TestSupport.h"
#include "ToolRun.h"
#include "WindowTestSupport.h"
#include "ui_MainForm.h"

#include <QCheckBox>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/types.h>
#include <unistd.h>

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

namespace {

// A 24-bit picture in four coloured quarters: red top left, blue top right, green bottom left,
// yellow bottom right.
constexpr int32_t kRed = 0xFF0000;
constexpr int32_t kBlue = 0x0000FF;
constexpr int32_t kGreen = 0x00FF00;
constexpr int32_t kYellow = 0xFFFF00;

void SaveQuarters(const char* name, int w, int h)
{
    const HeldPicture p(newdib(w, h, 24, nullptr, 0));
    ASSERT_NE(p->Bits, nullptr);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool right = x >= w / 2;
            const bool bottom = y >= h / 2;
            setpixel(*p, x, y, bottom ? (right ? kYellow : kGreen) : (right ? kBlue : kRed));
        }
    ASSERT_TRUE(SaveDib(*p, name, 3)); // BMP
}

// A picture of noise, which no lossless compression makes small.
void SaveNoise(const char* name, int w, int h)
{
    const HeldPicture p(newdib(w, h, 24, nullptr, 0));
    ASSERT_NE(p->Bits, nullptr);
    uint32_t state = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            state = state * 1664525u + 1013904223u;
            setpixel(*p, x, y, int32_t(state >> 8));
        }
    ASSERT_TRUE(SaveDib(*p, name, 3)); // BMP
}

// A 24-bit BMP of one colour.
void SaveFilled(const char* name, int w, int h, int32_t colour)
{
    const HeldPicture p(newdib(w, h, 24, nullptr, 0));
    ASSERT_NE(p->Bits, nullptr);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            setpixel(*p, x, y, colour);
    ASSERT_TRUE(SaveDib(*p, name, 3));
}

void SavePlain(const char* name, int w, int h, int bits)
{
    const HeldPicture p(newdib(w, h, bits, nullptr, 0));
    ASSERT_NE(p->Bits, nullptr);
    ASSERT_TRUE(SaveDib(*p, name, 3));
}

TEST(batch_tool, BadInputGivesOneErrorLineAndFailure)
{
    SaveQuarters("pic.bmp", 60, 40);
    {
        QFile fake(QStringLiteral("fake.jpg"));
        ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
        fake.write("\xFF\xD8\xFF\xE0 no picture in here");
    }
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("folder.pdf")));
    const QString nowhere = testsupport::TestDir() + QStringLiteral("/no/such/dir/out.pdf");
    const std::vector<QStringList> cases = {
        {},
        {QStringLiteral("missing.bmp"), QStringLiteral("-o"), QStringLiteral("a.pdf")},
        {QStringLiteral("fake.jpg"), QStringLiteral("-o"), QStringLiteral("a.pdf")},
        {QStringLiteral("--info"), QStringLiteral("fake.jpg")},
        {QStringLiteral("pic.bmp"), QStringLiteral("pic.bmp")},
        {QStringLiteral("pic.bmp"), QStringLiteral("--bogus")},
        {QStringLiteral("pic.bmp"), QStringLiteral("--width"), QStringLiteral("0")},
        {QStringLiteral("pic.bmp"), QStringLiteral("--width"), QStringLiteral("three")},
        {QStringLiteral("pic.bmp"), QStringLiteral("--height"), QStringLiteral("100.5")},
        {QStringLiteral("pic.bmp"), QStringLiteral("--width"), QStringLiteral("nan")},
        {QStringLiteral("pic.bmp"), QStringLiteral("--glue-right"), QStringLiteral("11")},
        {QStringLiteral("pic.bmp"), QStringLiteral("--glue-bottom"), QStringLiteral("2.5")},
        {QStringLiteral("pic.bmp"), QStringLiteral("--order"), QStringLiteral("diagonal")},
        {QStringLiteral("pic.bmp"), QStringLiteral("--off"), QStringLiteral("1")},
        {QStringLiteral("pic.bmp"), QStringLiteral("--off"), QStringLiteral("-1,0")},
        {QStringLiteral("pic.bmp"), QStringLiteral("--width"), QStringLiteral("3"),
         QStringLiteral("--off"), QStringLiteral("3,0"), QStringLiteral("-o"),
         QStringLiteral("a.pdf")},
        {QStringLiteral("pic.bmp"), QStringLiteral("--paper"), QStringLiteral("Z9"),
         QStringLiteral("-o"), QStringLiteral("a.pdf")},
        {QStringLiteral("pic.bmp"), QStringLiteral("--printer"), QStringLiteral("no-such-queue")},
        {QStringLiteral("pic.bmp"), QStringLiteral("-o"), QStringLiteral("a.pdf"),
         QStringLiteral("--printer"), QStringLiteral("x")},
        {QStringLiteral("pic.bmp"), QStringLiteral("-o"), nowhere},
        {QStringLiteral("pic.bmp"), QStringLiteral("-o"), QStringLiteral("folder.pdf")},
        // Every page left out: no document would be made, which must not pass for success.
        {QStringLiteral("pic.bmp"), QStringLiteral("--width"), QStringLiteral("1"),
         QStringLiteral("--off"), QStringLiteral("0,0"), QStringLiteral("-o"),
         QStringLiteral("a.pdf")},
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        const ToolRun run = RunTool(args);
        EXPECT_GT(run.status, 0);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("velmora-poster: ")))
            << run.err.toStdString();
        EXPECT_TRUE(run.err.endsWith(QLatin1Char('\n')));
        EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(QStringLiteral("a.pdf")));
    }
    EXPECT_FALSE(QFileInfo::exists(nowhere));
    EXPECT_TRUE(QFileInfo(QStringLiteral("folder.pdf")).isDir());
}

TEST(batch_tool, AMistypedCommandLineIsNamedWithWhatWasMeant)
{
    SaveQuarters("pic.bmp", 60, 40);
    SaveQuarters("other.bmp", 6, 4);
    const QString pic = QStringLiteral("pic.bmp");
    const struct
    {
        QStringList args;
        const char* said;
    } cases[] = {
        {{pic, QStringLiteral("--width"), QStringLiteral("70"), QStringLiteral("cm")},
         "'cm' is not a picture file: write the size as 70cm"},
        {{QStringLiteral("--height=2"), QStringLiteral("in"), pic},
         "'in' is not a picture file: write the size as 2in"},
        {{pic, QStringLiteral("--brightness"), QStringLiteral("10"), QStringLiteral("20")},
         "'20' is not a picture file"},
        // A second file is a second picture.
        {{pic, QStringLiteral("--width"), QStringLiteral("2"), QStringLiteral("other.bmp")},
         "one picture at a time, not 2"},
        {{pic, QStringLiteral("--widht"), QStringLiteral("3")},
         "Unknown option 'widht': did you mean --width?"},
        {{pic, QStringLiteral("--no-aspect-ration")},
         "Unknown option 'no-aspect-ration': did you mean --no-aspect-ratio?"},
        {{pic, QStringLiteral("--bogus")}, "Unknown option 'bogus'."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const ToolRun run = RunTool(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err.toStdString(), "velmora-poster: " + std::string(c.said) + '\n');
    }
}

// Each option --help lists is read: a switch is taken, and a value option given an empty value
// refuses it in one line that names that option, not another whose rules it was given.
TEST(batch_tool, EveryOptionTheHelpListsIsReadAndAnEmptyValueIsRefusedByItsName)
{
    SaveQuarters("pic.bmp", 60, 40);
    const QString pic = QStringLiteral("pic.bmp");
    const QString info = QStringLiteral("--info");
    static const QRegularExpression listed(QStringLiteral("^  (?:-(\\w), )?--([a-z-]+)( <)?"),
                                           QRegularExpression::MultilineOption);
    int checked = 0;
    for (auto it = listed.globalMatch(RunTool({QStringLiteral("--help")}).out); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString name = m.captured(2);
        if (name.startsWith(QLatin1String("help")) || name == QLatin1String("version") ||
            name == QLatin1String("scan")) // a scan would look for scanners
            continue;
        SCOPED_TRACE(name.toStdString());
        ++checked;
        const QString option = QStringLiteral("--") + name;
        if (!m.hasCaptured(3)) {
            const ToolRun run = RunTool({pic, info, option});
            EXPECT_TRUE(run.status >= 0 && run.status <= 2) << run.status;
            EXPECT_FALSE(run.err.contains(QLatin1String("Unknown option")))
                << run.err.toStdString();
            continue;
        }
        const ToolRun run = RunTool({pic, info, option, QString()});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
        const QString named = m.hasCaptured(1) ? QStringLiteral("-") + m.captured(1) : option;
        const QString said = name == QLatin1String("paper")
                                 ? QStringLiteral("velmora-poster: unknown paper size \"\"")
                                 : QStringLiteral("velmora-poster: ") + named + u' ';
        EXPECT_TRUE(run.err.startsWith(said)) << run.err.toStdString();
    }
    EXPECT_GE(checked, 50);
    // An option that keeps one value reads only its last.
    EXPECT_EQ(RunTool({pic, info, QStringLiteral("--glue-right"), QStringLiteral("20"),
                       QStringLiteral("--glue-right"), QStringLiteral("5")})
                  .status,
              0);
}

void WriteFile(const QString& name, const QByteArray& bytes)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Every refused picture gets its reason, in one line, and nothing of a library's own.
TEST(batch_tool, SaysWhyAPictureIsRefused)
{
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("pictures")));
    WriteFile(QStringLiteral("notes.txt"), "a shopping list, not a picture\n");
    WriteFile(QStringLiteral("secret.bmp"), "BM");
    QFile::setPermissions(QStringLiteral("secret.bmp"), QFileDevice::Permissions());
    ASSERT_TRUE(testsupport::Run(
        QStringLiteral("convert -size 300x200 plasma:fractal -compress LZW whole.tif && "
                       "head -c 20000 whole.tif > cut.tif && convert whole.tif whole.png && "
                       "head -c 30000 whole.png > cut.png && convert whole.tif whole.jpg && "
                       "head -c 4000 whole.jpg > cut.jpg && "
                       "convert -size 300x200 plasma:fractal -compress RLE whole.tga && "
                       "head -c 2000 whole.tga > cut.tga && mkfifo fifo.jpg")));
    // A colour frame of 30000 x 30000 pixels and a scan of enough bytes to pass for so large a
    // picture; the tool is refused it before any decoding, for want of memory.
    QByteArray large = QByteArray::fromHex("FFD8FFC000110875307530030122000211000311"
                                           "00FFDA000C030100020003000000"
                                           "3F00");
    large += QByteArray(1800000, 0x55) + QByteArray::fromHex("FFD9");
    WriteFile(QStringLiteral("large.jpg"), large);

    // Root reads whatever it likes; the unreadable file is tried as nobody.
    const QStringList asNobody =
        geteuid() == 0
            ? QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"),
                          QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups")}
            : QStringList{};
    const QStringList limited = {QStringLiteral("prlimit"), QStringLiteral("--as=1500000000")};
    struct Case
    {
        QString file;
        QStringList prefix;
        QString reason;
    };
    const Case cases[] = {
        {QStringLiteral("missing.bmp"), {}, QStringLiteral("no such file")},
        {QStringLiteral("pictures"), {}, QStringLiteral("a folder, not a picture file")},
        {testsupport::TestDir() + QStringLiteral("/secret.bmp"), asNobody,
         QStringLiteral("not readable: Permission denied")},
        {QStringLiteral("notes.txt"), {}, QStringLiteral("not a picture of a type Velmora reads")},
        {QStringLiteral("cut.tif"), {}, QStringLiteral("damaged or cut short")},
        {QStringLiteral("cut.png"), {}, QStringLiteral("damaged or cut short")},
        {QStringLiteral("cut.jpg"), {}, QStringLiteral("damaged or cut short")},
        {QStringLiteral("cut.tga"),
         {},
         QStringLiteral("damaged or cut short: its run-length packets end after 600 of its 300 "
                        "x 200 pixels\n")},
        // Neither is opened: a FIFO without a writer would block for ever.
        {QStringLiteral("fifo.jpg"), {}, QStringLiteral("not a regular file\n")},
        {QStringLiteral("/dev/zero"), {}, QStringLiteral("not a regular file\n")},
        {QStringLiteral("large.jpg"), limited,
         QStringLiteral("too large for the memory: it claims 30000 x 30000 pixels, which need ")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        if (!c.prefix.isEmpty() && !testsupport::HaveProgram(c.prefix.front()))
            continue;
        const ToolRun run = RunTool({QStringLiteral("--info"), c.file}, c.prefix);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("velmora-poster: ") + c.file +
                                       QStringLiteral(": ") + c.reason))
            << run.err.toStdString();
        EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
    }
    // The whole files are read.
    for (const char* whole : {"whole.tif", "whole.png", "whole.jpg"}) {
        const ToolRun run = RunTool({QStringLiteral("--info"), QString::fromUtf8(whole)});
        EXPECT_EQ(run.status, 0) << whole << run.err.toStdString();
        EXPECT_TRUE(run.out.startsWith(QStringLiteral("Width: 300\nHeight: 200\n"))) << whole;
    }
}

TEST(batch_tool, HelpAndVersionSucceedWithoutAPicture)
{
    const ToolRun help = RunTool({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--off", "--dry-run", "--info", "--printer", "--glue-right"})
        EXPECT_TRUE(help.out.contains(QLatin1String(option))) << option;
    const ToolRun version = RunTool({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("velmora-poster " VELMORA_VERSION "\n")))
        << version.out.toStdString();
    EXPECT_TRUE(version.out.contains(QStringLiteral("GPL-3.0-or-later"))); // the licence
    EXPECT_TRUE(version.err.isEmpty());
}

QString ReadAll(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

void ExpectOneErrorLine(const QString& text)
{
    EXPECT_TRUE(text.startsWith(QStringLiteral("velmora-poster: "))) << text.toStdString();
    EXPECT_EQ(text.count(QLatin1Char('\n')), 1) << text.toStdString();
}

// A file size limit, a full device, a report nobody can take: the job fails with one line,
// and a PDF file of that name is either not made or left as it was.
TEST(batch_tool, OutputThatCannotBeWrittenIsAnErrorAndLeavesTheOldFile)
{
    SaveNoise("pic.bmp", 200, 160);
    const QString tool = QStringLiteral(VELMORA_POSTER);
    for (const bool existing : {false, true}) {
        SCOPED_TRACE(existing ? "over an existing file" : "no file yet");
        if (existing) {
            QFile old(QStringLiteral("cut.pdf"));
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("yesterday's poster");
        }
        // The limit is far below the poster's size; the tool itself takes the signal it raises
        // as a failed write.
        EXPECT_FALSE(testsupport::Run(
            QStringLiteral("ulimit -f 2; exec '%1' pic.bmp --width 2 -o cut.pdf 2> err.txt")
                .arg(tool)));
        ExpectOneErrorLine(ReadAll(QStringLiteral("err.txt")));
        if (existing)
            EXPECT_EQ(ReadAll(QStringLiteral("cut.pdf")), QStringLiteral("yesterday's poster"));
        else
            EXPECT_FALSE(QFile::exists(QStringLiteral("cut.pdf")));
    }
    EXPECT_EQ(QDir().entryList({QStringLiteral("cut.pdf*"), QStringLiteral(".cut.pdf*")},
                               QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("cut.pdf")});

    for (const QString& args :
         {QStringLiteral("pic.bmp -o /dev/full"), QStringLiteral("--info pic.bmp > /dev/full"),
          QStringLiteral("--dry-run -o x.pdf pic.bmp > /dev/full")}) {
        SCOPED_TRACE(args.toStdString());
        EXPECT_FALSE(testsupport::Run(QStringLiteral("'%1' %2 2> err.txt").arg(tool, args)));
        ExpectOneErrorLine(ReadAll(QStringLiteral("err.txt")));
    }
    EXPECT_FALSE(QFile::exists(QStringLiteral("x.pdf")));
}

// Under address-space limits from too small to enough: every run either prints a whole PDF or
// fails with one line and leaves no file; none crashes.
TEST(batch_tool, TooLittleMemoryEndsCleanly)
{
    if (!testsupport::HaveProgram(QStringLiteral("prlimit")))
        GTEST_SKIP() << "prlimit missing";
    {
        const HeldPicture p(newdib(3000, 2000, 24, nullptr, 0));
        ASSERT_NE(p->Bits, nullptr);
        uint32_t state = 99;
        for (int y = 0; y < 2000; ++y)
            for (int x = 0; x < 3000; x += 7) {
                state = state * 1664525u + 1013904223u;
                setpixel(*p, x, y, int32_t(state >> 8));
            }
        ASSERT_TRUE(SaveDib(*p, "photo.jpg", SaveCodeForTypeName("jpg")));
    }
    // As its own blocks, with its blocks turned on the cutter's threads, and as pixels
    // compressed on the compressor's threads.
    for (const QStringList& edits :
         {QStringList{}, QStringList{QStringLiteral("--mirror")},
          QStringList{QStringLiteral("--brightness"), QStringLiteral("10")}}) {
        SCOPED_TRACE(edits.join(u' ').toStdString());
        int failed = 0, printed = 0;
        // Fine steps where the memory runs out at one stage or another (the libraries, the
        // decoder, the cutter's or the compressor's threads, the document), and a limit far
        // above, where the poster is printed. Where these stages lie depends on the machine's
        // libraries and cores; once a step prints, the steps above it have nothing left to run
        // out of, and only the last is run.
        constexpr int kPlenty = 640;
        for (int megabytes : {64, 96, 112, 128, 144, 160, 176, 192, 256, kPlenty}) {
            if (printed > 0 && megabytes != kPlenty)
                continue;
            SCOPED_TRACE(megabytes);
            QFile::remove(QStringLiteral("oom.pdf"));
            const ToolRun run = RunTool(
                QStringList{QStringLiteral("photo.jpg"), QStringLiteral("--width"),
                            QStringLiteral("3"), QStringLiteral("-o"), QStringLiteral("oom.pdf")} +
                    edits,
                {QStringLiteral("prlimit"),
                 QStringLiteral("--as=%1").arg(qint64(megabytes) << 20)});
            if (run.status == 127)
                continue; // too little even to load the program's libraries
            if (run.status == 1) {
                ++failed;
                ExpectOneErrorLine(run.err);
                EXPECT_FALSE(QFile::exists(QStringLiteral("oom.pdf")));
            } else {
                EXPECT_EQ(run.status, 0) << run.err.toStdString();
                ++printed;
                EXPECT_TRUE(ReadAll(QStringLiteral("oom.pdf")).startsWith(QStringLiteral("%PDF-")));
            }
        }
        EXPECT_GT(failed, 0);
        EXPECT_GT(printed, 0);
    }
    // Only the last run's file, and no temporary file of any run.
    EXPECT_LE(QDir().entryList({QStringLiteral("*oom*")}, QDir::Files | QDir::Hidden).size(), 1);
}

// SIGTERM or Ctrl+C in the middle of a job: status 128 + the signal, no file, no temporary
// file, an existing file of the name untouched.
TEST(batch_tool, ASignalStopsTheJobCleanly)
{
    // Noise that takes the PDF writer a while to compress.
    SaveNoise("slow.bmp", 4000, 4000);
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        QDir().mkpath(QStringLiteral("job"));
        {
            QFile old(QStringLiteral("job/poster.pdf"));
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("yesterday's poster");
        }
        QProcess process;
        process.start(QStringLiteral(VELMORA_POSTER),
                      {QStringLiteral("slow.bmp"), QStringLiteral("--width"), QStringLiteral("3"),
                       QStringLiteral("-o"), QStringLiteral("job/poster.pdf")});
        ASSERT_TRUE(process.waitForStarted());
        // Once the picture is read the job is writing; the signal comes while it does.
        QThread::msleep(400);
        ASSERT_EQ(process.state(), QProcess::Running) << "the job ended before the signal";
        ::kill(pid_t(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 128 + signal);
        ExpectOneErrorLine(QString::fromLocal8Bit(process.readAllStandardError()));
        EXPECT_EQ(ReadAll(QStringLiteral("job/poster.pdf")), QStringLiteral("yesterday's poster"));
        EXPECT_EQ(QDir(QStringLiteral("job")).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("poster.pdf")});
    }
}

TEST(batch_tool, InfoShowsTheLoadPageFields)
{
    SaveQuarters("photo.bmp", 40, 30);
    SavePlain("grey.bmp", 9, 5, 4);
    SavePlain("mono.bmp", 17, 3, 1);
    const struct
    {
        const char* file;
        const char* expected;
    } cases[] = {
        {"photo.bmp", "Width: 40\nHeight: 30\nColors: 16777216\n"},
        {"grey.bmp", "Width: 9\nHeight: 5\nColors: 16\n"},
        {"mono.bmp", "Width: 17\nHeight: 3\nColors: 2\n"},
    };
    for (const auto& c : cases) {
        const ToolRun run = RunTool({QStringLiteral("--info"), QString::fromLatin1(c.file)});
        EXPECT_EQ(run.status, 0) << c.file;
        EXPECT_EQ(FirstLines(run.out, 3), QString::fromLatin1(c.expected));
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
        // The same texts the window's three fields get.
        const HeldPicture p(OpenDib(c.file, 0));
        const PictureFacts facts = PictureFactsOf(*p);
        EXPECT_EQ(FirstLines(run.out, 3), QStringLiteral("Width: %1\nHeight: %2\nColors: %3\n")
                                              .arg(facts.width, facts.height, facts.colours));
        // Then how large the poster would hang, on the printer it would go to.
        const auto report = ReportLines(run.out);
        EXPECT_TRUE(report.count(QStringLiteral("Finished size"))) << run.out.toStdString();
        EXPECT_TRUE(report.count(QStringLiteral("Picture on paper"))) << run.out.toStdString();
    }
}

TEST(batch_tool, DryRunListsThePagesInPrintOrder)
{
    SaveQuarters("pic.bmp", 60, 40);
    const QStringList grid = {
        QStringLiteral("pic.bmp"), QStringLiteral("--dry-run"), QStringLiteral("--no-aspect-ratio"),
        QStringLiteral("--width"), QStringLiteral("3"),         QStringLiteral("--height"),
        QStringLiteral("2"),       QStringLiteral("-o"),        QStringLiteral("poster.pdf")};
    const QStringList off = {QStringLiteral("--off"), QStringLiteral("1,0"),
                             QStringLiteral("--off"), QStringLiteral("2,1")};
    const struct
    {
        QStringList extra;
        const char* order;
        const char* toPrint;
    } cases[] = {
        {{}, "0,0 0,1 1,0 1,1 2,0 2,1", "6"},
        {off, "0,0 0,1 1,1 2,0", "4"},
        {off + QStringList{QStringLiteral("--order"), QStringLiteral("rows")}, "0,0 0,1 1,1 2,0",
         "4"},
        {off + QStringList{QStringLiteral("--order"), QStringLiteral("columns")}, "0,0 2,0 0,1 1,1",
         "4"},
        {{QStringLiteral("--order"), QStringLiteral("columns")}, "0,0 1,0 2,0 0,1 1,1 2,1", "6"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extra.join(QLatin1Char(' ')).toStdString());
        const ToolRun run = RunTool(grid + c.extra);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        const auto report = ReportLines(run.out);
        EXPECT_EQ(report.at(QStringLiteral("Pages across")), QStringLiteral("3"));
        EXPECT_EQ(report.at(QStringLiteral("Pages down")), QStringLiteral("2"));
        EXPECT_EQ(report.at(QStringLiteral("Pages in all")), QStringLiteral("6"));
        EXPECT_EQ(report.at(QStringLiteral("Pages to print")), QString::fromLatin1(c.toPrint));
        EXPECT_EQ(report.at(QStringLiteral("Print order")), QString::fromLatin1(c.order));
        EXPECT_EQ(report.at(QStringLiteral("Printer")),
                  QStringLiteral("PDF file: ") +
                      QDir(testsupport::TestDir()).filePath(QStringLiteral("poster.pdf")));
    }
    EXPECT_FALSE(QFile::exists(QStringLiteral("poster.pdf"))); // a dry run prints nothing
}

TEST(batch_tool, DryRunReportsThePrinterInUse)
{
    SaveQuarters("pic.bmp", 60, 40);
    const ToolRun a4 = RunTool({QStringLiteral("pic.bmp"), QStringLiteral("--dry-run"),
                                QStringLiteral("-o"), QStringLiteral("p.pdf")});
    ASSERT_EQ(a4.status, 0) << a4.err.toStdString();
    const auto report = ReportLines(a4.out);
    EXPECT_TRUE(report.at(QStringLiteral("Paper")).startsWith(QStringLiteral("A4, portrait, ")));
    const CurrentPrinter pdf(CurrentPrinter::Start::PdfFile);
    const PrinterMetrics m = pdf.metrics();
    EXPECT_EQ(report.at(QStringLiteral("Printable area")),
              QStringLiteral("%1 x %2 pixels").arg(m.pageWidth).arg(m.pageHeight));
    EXPECT_EQ(report.at(QStringLiteral("Resolution")),
              QStringLiteral("%1 x %2 dpi").arg(m.dpiX).arg(m.dpiY));

    const ToolRun a3 =
        RunTool({QStringLiteral("pic.bmp"), QStringLiteral("--dry-run"), QStringLiteral("-o"),
                 QStringLiteral("p.pdf"), QStringLiteral("--paper"), QStringLiteral("a3"),
                 QStringLiteral("--landscape")});
    ASSERT_EQ(a3.status, 0) << a3.err.toStdString();
    const auto turned = ReportLines(a3.out);
    EXPECT_TRUE(turned.at(QStringLiteral("Paper")).startsWith(QStringLiteral("A3, landscape, ")));
    const QStringList area = turned.at(QStringLiteral("Printable area")).split(QLatin1Char(' '));
    ASSERT_GE(area.size(), 3);
    EXPECT_GT(area[0].toInt(), area[2].toInt()); // wider than high
    EXPECT_GT(area[0].toInt(), m.pageHeight);    // and larger than A4

    // Without -o or --printer the tool prints where the window would.
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        const ToolRun fallback = RunTool({QStringLiteral("pic.bmp"), QStringLiteral("--dry-run")});
        ASSERT_EQ(fallback.status, 0) << fallback.err.toStdString();
        EXPECT_EQ(ReportLines(fallback.out).at(QStringLiteral("Printer")),
                  CurrentPrinter().description());
    }
}

// The poster size the window itself arrives at, driven offscreen as a user would: the picture
// opened, the glue edges and option boxes set, then the sizes entered in their edits.
PosterGeometry WindowGeometry(const QString& picture, const OptionBoxes& boxes, int glueRight,
                              int glueBottom, const std::vector<std::pair<SizeSide, double>>& typed)
{
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    EXPECT_TRUE(w.Printer->isPdfFile()); // as -o prints
    EXPECT_TRUE(w.OpenPictureFile(QDir::current().absoluteFilePath(picture)));
    ui.KrandxlEd->setValue(glueRight);
    ui.KrandylEd->setValue(glueBottom);
    const std::pair<QCheckBox*, bool> checks[] = {{ui.CheckBox1, boxes.CutHelpLines},
                                                  {ui.CheckBox2, boxes.GlueLines},
                                                  {ui.CheckBox3, boxes.NoLinesOnPosterEdge},
                                                  {ui.CheckBox4, boxes.CenterPicture},
                                                  {ui.CheckBox5, boxes.UseFullPages},
                                                  {ui.CheckBox6, boxes.KeepAspectRatio},
                                                  {ui.CheckBox8, boxes.GlueEdge},
                                                  {ui.CheckBox9, boxes.PrintOnGlueEdge},
                                                  {ui.CheckBox10, boxes.NoGlueOnPosterEdge}};
    for (const auto& [box, on] : checks)
        box->setChecked(on);
    for (const auto& [side, pages] : typed)
        (side == SizeSide::Width ? ui.BreitEd : ui.HochEd)->setValue(pages);
    return w.Geometry;
}

TEST(batch_tool, ArrivesAtTheWindowsPosterSize)
{
    SaveQuarters("wide.bmp", 300, 170);
    OptionBoxes defaults;
    OptionBoxes withGlueOnEdge;
    withGlueOnEdge.NoGlueOnPosterEdge = false;
    OptionBoxes fullPages;
    fullPages.UseFullPages = true;
    OptionBoxes noAspect;
    noAspect.KeepAspectRatio = false;
    OptionBoxes noGlue;
    noGlue.GlueEdge = false;
    const struct
    {
        QStringList args;
        OptionBoxes boxes;
        int glueRight;
        int glueBottom;
        std::vector<std::pair<SizeSide, double>> typed;
    } cases[] = {
        // No size given: the size the window shows after loading the picture.
        {{}, defaults, 5, 5, {}},
        {{QStringLiteral("--no-aspect-ratio")}, noAspect, 5, 5, {}},
        {{QStringLiteral("--width"), QStringLiteral("3")}, defaults, 5, 5, {{SizeSide::Width, 3}}},
        {{QStringLiteral("--height"), QStringLiteral("2.7")},
         defaults,
         5,
         5,
         {{SizeSide::Height, 2.7}}},
        {{QStringLiteral("--width"), QStringLiteral("2.01"),
          QStringLiteral("--glue-on-poster-edge"), QStringLiteral("--glue-right"),
          QStringLiteral("8"), QStringLiteral("--glue-bottom"), QStringLiteral("0")},
         withGlueOnEdge,
         8,
         0,
         {{SizeSide::Width, 2.01}}},
        {{QStringLiteral("--full-pages"), QStringLiteral("--width"), QStringLiteral("2.5")},
         fullPages,
         5,
         5,
         {{SizeSide::Width, 2.5}}},
        {{QStringLiteral("--no-glue-edge"), QStringLiteral("--height"), QStringLiteral("4.2")},
         noGlue,
         5,
         5,
         {{SizeSide::Height, 4.2}}},
        // The size given last leads; the other one follows it.
        {{QStringLiteral("--height"), QStringLiteral("9"), QStringLiteral("--width"),
          QStringLiteral("1.5")},
         defaults,
         5,
         5,
         {{SizeSide::Height, 9}, {SizeSide::Width, 1.5}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const ToolRun run =
            RunTool(QStringList{QStringLiteral("wide.bmp"), QStringLiteral("--dry-run"),
                                QStringLiteral("-o"), QStringLiteral("w.pdf")} +
                    c.args);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        const auto report = ReportLines(run.out);
        const PosterGeometry g =
            WindowGeometry(QStringLiteral("wide.bmp"), c.boxes, c.glueRight, c.glueBottom, c.typed);
        EXPECT_EQ(report.at(QStringLiteral("Width in pages")),
                  QString::number(g.PosterWidthPages, 'f', kSizeDecimals));
        EXPECT_EQ(report.at(QStringLiteral("Height in pages")),
                  QString::number(g.PosterHeightPages, 'f', kSizeDecimals));
        EXPECT_EQ(report.at(QStringLiteral("Pages across")), QString::number(g.PagesAcross));
        EXPECT_EQ(report.at(QStringLiteral("Pages down")), QString::number(g.PagesDown));
    }
}

// Device pixels per picture pixel across and down for every image the PDF places, from the
// placement matrices of its page contents over the images' own sizes, with the images' sizes.
struct PlacedImage
{
    double across = 0, down = 0;
    int width = 0, height = 0;
};

std::vector<PlacedImage> PlacedImages(const QString& pdf)
{
    QFile file(pdf);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    std::map<int, std::pair<int, int>> sizes;
    static const QRegularExpression image(QStringLiteral(
        R"((\d+) 0 obj\s*<< /Type /XObject /Subtype /Image /Width (\d+) /Height (\d+))"));
    for (auto m = image.globalMatch(QString::fromLatin1(data)); m.hasNext();) {
        const auto hit = m.next();
        sizes[hit.captured(1).toInt()] = {hit.captured(2).toInt(), hit.captured(3).toInt()};
    }
    std::vector<PlacedImage> placed;
    static const QRegularExpression placement(
        QStringLiteral(R"(q ([\d.]+) 0 0 -([\d.]+) \S+ \S+ cm /Im(\d+) Do)"));
    for (qsizetype at = 0; (at = data.indexOf("/FlateDecode", at)) >= 0;) {
        const qsizetype begin = data.indexOf("stream\n", at);
        const qsizetype end = data.indexOf("\nendstream", begin);
        if (begin < 0 || end < 0)
            break;
        at = end;
        QByteArray text(1 << 20, Qt::Uninitialized);
        uLongf size = uLongf(text.size());
        if (uncompress(reinterpret_cast<Bytef*>(text.data()), &size,
                       reinterpret_cast<const Bytef*>(data.constData() + begin + 7),
                       uLong(end - begin - 7)) != Z_OK)
            continue; // an image's stripes, or more than a page's drawing
        text.resize(qsizetype(size));
        for (auto m = placement.globalMatch(QString::fromLatin1(text)); m.hasNext();) {
            const auto hit = m.next();
            const auto [w, h] = sizes[hit.captured(3).toInt()];
            if (w > 0 && h > 0)
                placed.push_back(
                    {hit.captured(1).toDouble() / w, hit.captured(2).toDouble() / h, w, h});
        }
    }
    return placed;
}

TEST(batch_tool, APosterKeepsThePicturesProportionsWhateverSizeCameBefore)
{
    SavePlain("p.bmp", 4000, 3000, 8);
    const QString w100cm = QStringLiteral("100cm"), w100in = QStringLiteral("100in");
    const struct
    {
        QStringList widths;
        const char* sameAs; // the size without a history, by its last width
    } cases[] = {{{w100cm}, nullptr},
                 {{w100in, w100cm}, "100cm"},
                 {{w100in}, nullptr},
                 {{w100cm, w100in}, "100in"}};
    std::map<QString, std::pair<QString, QString>> sizes;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.widths.join(QLatin1Char(' ')).toStdString());
        QStringList args{QStringLiteral("p.bmp"), QStringLiteral("-o"), QStringLiteral("p.pdf")};
        for (const QString& w : c.widths)
            args << QStringLiteral("--width") << w;
        const ToolRun dry = RunTool(args + QStringList{QStringLiteral("--dry-run")});
        ASSERT_EQ(dry.status, 0) << dry.err.toStdString();
        const auto report = ReportLines(dry.out);
        const std::pair<QString, QString> size{report.at(QStringLiteral("Width in pages")),
                                               report.at(QStringLiteral("Height in pages"))};
        if (c.sameAs)
            EXPECT_EQ(size, sizes.at(QLatin1String(c.sameAs)));
        else
            sizes[c.widths.last()] = size;

        ASSERT_EQ(RunTool(args).status, 0);
        const auto images = PlacedImages(QStringLiteral("p.pdf"));
        ASSERT_FALSE(images.empty());
        for (const PlacedImage& i : images)
            // A page shows whole picture pixels: its share may be short of the exact scale by
            // up to one pixel each way, and by nothing more.
            EXPECT_NEAR(i.across / i.down, 1.0, 1.0 / i.width + 1.0 / i.height)
                << i.across << " across, " << i.down << " down, " << i.width << " x " << i.height;
    }
}

TEST(batch_tool, OptionRulesApplyAsInTheWindow)
{
    SaveQuarters("pic.bmp", 60, 40);
    const ToolRun run =
        RunTool({QStringLiteral("pic.bmp"), QStringLiteral("--dry-run"), QStringLiteral("-o"),
                 QStringLiteral("p.pdf"), QStringLiteral("--print-on-glue-edge"),
                 QStringLiteral("--no-glue-lines"), QStringLiteral("--no-cut-lines"),
                 QStringLiteral("--cut-lines"), QStringLiteral("--no-center")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    // Printing onto the glue edge keeps the glue lines on, and the user is told.
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("velmora-poster: note: ")));
    const QStringList options =
        ReportLines(run.out).at(QStringLiteral("Options")).split(QStringLiteral(", "));
    EXPECT_TRUE(options.contains(QStringLiteral("Clue lines")));
    EXPECT_TRUE(options.contains(QStringLiteral("Print on the edge for glue")));
    EXPECT_TRUE(options.contains(QStringLiteral("Cut help lines"))); // the last form wins
    EXPECT_FALSE(options.contains(QStringLiteral("Center")));
}

// Whether the colour at a fraction of a rasterised page is the picture's colour; the
// rasteriser may be a step off in a channel.
bool PageShows(const QImage& page, double fx, double fy, int32_t rgb)
{
    const QColor seen = page.pixelColor(int(fx * page.width()), int(fy * page.height()));
    const QColor want = QColor::fromRgb(QRgb(rgb));
    constexpr int kSlack = 4;
    return std::abs(seen.red() - want.red()) <= kSlack &&
           std::abs(seen.green() - want.green()) <= kSlack &&
           std::abs(seen.blue() - want.blue()) <= kSlack;
}

TEST(batch_tool, PrintsThePagesIntoAPdfFile)
{
    if (!testsupport::HaveProgram(QStringLiteral("pdfinfo")) ||
        !testsupport::HaveProgram(QStringLiteral("pdftoppm")))
        GTEST_SKIP() << "poppler-utils are not installed";
    SaveQuarters("quarters.bmp", 120, 80);
    // A 2 x 2 poster without the bottom right page, down the columns.
    const ToolRun run =
        RunTool({QStringLiteral("quarters.bmp"), QStringLiteral("--no-aspect-ratio"),
                 QStringLiteral("--width"), QStringLiteral("2"), QStringLiteral("--height"),
                 QStringLiteral("2"), QStringLiteral("--off"), QStringLiteral("1,1"),
                 QStringLiteral("-o"), QStringLiteral("poster.pdf")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();

    ASSERT_TRUE(testsupport::Run(QStringLiteral("pdfinfo poster.pdf > info.txt")));
    QFile info(QStringLiteral("info.txt"));
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    const auto fields = ReportLines(
        QString::fromLocal8Bit(info.readAll())
            .replace(QRegularExpression(QStringLiteral(":\\s+")), QStringLiteral(": ")));
    EXPECT_EQ(fields.at(QStringLiteral("Pages")), QStringLiteral("3"));
    EXPECT_EQ(fields.at(QStringLiteral("Title")), QStringLiteral("Kantelberg Poster"));
    EXPECT_TRUE(fields.at(QStringLiteral("Page size")).contains(QStringLiteral("(A4)")));

    // Pages (0,0), (0,1), (1,0): the top left, bottom left and top right quarters.
    const int32_t expected[] = {kRed, kGreen, kBlue};
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(testsupport::Run(
            QStringLiteral("pdftoppm -r 20 -f %1 -l %1 -singlefile -png poster.pdf page%1")
                .arg(n)));
        const QImage page(QStringLiteral("page%1.png").arg(n));
        ASSERT_FALSE(page.isNull());
        EXPECT_TRUE(PageShows(page, 0.4, 0.4, expected[n - 1]));
        EXPECT_TRUE(PageShows(page, 0.2, 0.7, expected[n - 1]));
    }
}

} // namespace

namespace {

// A grey page as pdftoppm writes it, its rows one byte a pixel; null when it can't be read.
QImage GreyPage(const QString& pgm)
{
    const QImage image(pgm);
    return image.isNull() ? image : image.convertToFormat(QImage::Format_Grayscale8);
}

// The lengths of the runs of dark pixels in every row of a grey PGM.
std::vector<int> DarkRunLengths(const QString& pgm)
{
    const QImage page = GreyPage(pgm);
    const int w = page.width();
    const int h = page.height();
    std::vector<int> runs;
    for (int y = 0; y < h; ++y) {
        const uchar* row = page.constScanLine(y);
        int run = 0;
        for (int x = 0; x <= w; ++x) {
            if (x < w && row[x] < 128) {
                ++run;
                continue;
            }
            if (run > 0)
                runs.push_back(run);
            run = 0;
        }
    }
    return runs;
}

} // namespace

TEST(batch_tool, TheTestPageRulersAreExactToTheDevicePixel)
{
    if (!testsupport::HaveProgram(QStringLiteral("pdftoppm")))
        GTEST_SKIP() << "poppler-utils missing";
    const ToolRun dry = RunTool({QStringLiteral("--test-page"), QStringLiteral("-o"),
                                 QStringLiteral("test.pdf"), QStringLiteral("--dry-run")});
    EXPECT_EQ(dry.status, 0) << dry.err.toStdString();
    // The PDF file is a 300 dpi device unless asked otherwise.
    EXPECT_TRUE(dry.out.contains(QStringLiteral("1181 and 1200 pixels at 300 dpi")))
        << dry.out.toStdString();
    const ToolRun fine = RunTool({QStringLiteral("--test-page"), QStringLiteral("-o"),
                                  QStringLiteral("test.pdf"), QStringLiteral("--dry-run"),
                                  QStringLiteral("--resolution"), QStringLiteral("1200")});
    EXPECT_TRUE(fine.out.contains(QStringLiteral("4724 and 4800 pixels at 1200 dpi")))
        << fine.out.toStdString();
    for (const QStringList& bad :
         {QStringList{QStringLiteral("--test-page"), QStringLiteral("photo.jpg")},
          QStringList{QStringLiteral("--test-page"), QStringLiteral("--info")},
          QStringList{QStringLiteral("--test-page"), QStringLiteral("--mirror")},
          QStringList{QStringLiteral("--test-page"), QStringLiteral("--scan")},
          QStringList{QStringLiteral("--test-page"), QStringLiteral("--save"),
                      QStringLiteral("x.png")}})
        EXPECT_EQ(RunTool(bad).status, 2) << bad.join(QLatin1Char(' ')).toStdString();

    const ToolRun run =
        RunTool({QStringLiteral("--test-page"), QStringLiteral("-o"), QStringLiteral("test.pdf")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    // The top of the sheet rendered at 1200 dpi: the rulers' lines are the long dark runs that
    // are not the frame, 1181 and 1200 device pixels of a quarter of those.
    ASSERT_TRUE(testsupport::Run(
        QStringLiteral("pdftoppm -r 1200 -gray -H 3000 -singlefile test.pdf band")));
    const std::vector<int> runs = DarkRunLengths(QStringLiteral("band.pgm"));
    ASSERT_FALSE(runs.empty());
    const auto has = [&](int length) {
        return std::any_of(runs.begin(), runs.end(),
                           [&](int r) { return std::abs(r - length) <= 4; });
    };
    EXPECT_TRUE(has(4724)); // 10 cm
    EXPECT_TRUE(has(4800)); // 4 inches
    EXPECT_FALSE(has(4000)) << "no other long line";
    // And the words saying what to measure are text.
    ASSERT_TRUE(testsupport::Run(QStringLiteral("pdftotext test.pdf test.txt")));
    QFile text(QStringLiteral("test.txt"));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        text.readAll().contains("the upper one must be 10 cm long, the lower one 4 inches"));
}

namespace {

// Of every row of a grey PGM, the most pixels darker than mid-grey; the red picture comes out
// dark in grey, the white paper light.
int WidestDarkRow(const QString& pgm)
{
    const QImage page = GreyPage(pgm);
    if (page.isNull())
        return -1;
    const int w = page.width();
    const int h = page.height();
    int widest = 0;
    for (int y = 0; y < h; ++y) {
        const uchar* row = page.constScanLine(y);
        widest =
            std::max(widest, int(std::count_if(row, row + w, [](uint8_t v) { return v < 128; })));
    }
    return widest;
}

} // namespace

TEST(batch_tool, ThePdfFilesCutLinesAreAsWideOnPaperAsAnOfficePrintersAtAnyResolution)
{
    if (!testsupport::HaveProgram(QStringLiteral("pdftoppm")))
        GTEST_SKIP() << "poppler-utils missing";
    SaveFilled("grey.bmp", 200, 150, 0xA0A0A0);
    // 2 device pixels wide in dashes of 30: 8 and 120 pixels rendered at 1200 dpi from the
    // default 300 dpi, 2 and 30 from a 1200 dpi file.
    const struct
    {
        QStringList extra;
        int thickness, dash;
    } cases[] = {{{}, 8, 120}, {{QStringLiteral("--resolution"), QStringLiteral("1200")}, 2, 30}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extra.join(QLatin1Char(' ')).toStdString());
        const ToolRun run = RunTool(QStringList{QStringLiteral("grey.bmp"),
                                                QStringLiteral("--width"), QStringLiteral("2"),
                                                QStringLiteral("-o"), QStringLiteral("cut.pdf")} +
                                    c.extra);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        // The last page is the bottom-right one, whose top and left edges carry cut lines.
        ASSERT_TRUE(testsupport::Run(
            QStringLiteral("pdftoppm -r 1200 -gray -f 4 -l 4 -H 1200 -singlefile cut.pdf cut")));
        const QImage page = GreyPage(QStringLiteral("cut.pgm"));
        ASSERT_FALSE(page.isNull());
        // The cut line's rows are the ones mostly black; along the first of them the black
        // dashes and the picture between them alternate.
        std::vector<int> lineRows;
        for (int y = 0; y < page.height(); ++y) {
            const uchar* row = page.constScanLine(y);
            if (std::count_if(row, row + page.width(), [](uint8_t v) { return v < 64; }) >
                page.width() / 4)
                lineRows.push_back(y);
        }
        ASSERT_FALSE(lineRows.empty());
        EXPECT_NEAR(int(lineRows.size()), c.thickness, 1);
        const uchar* row = page.constScanLine(lineRows[lineRows.size() / 2]);
        std::vector<int> dashes;
        int length = 0;
        for (int x = 0; x <= page.width(); ++x) {
            if (x < page.width() && row[x] < 64) {
                ++length;
                continue;
            }
            if (length > 0)
                dashes.push_back(length);
            length = 0;
        }
        ASSERT_GE(dashes.size(), 3u);
        // The first dash may begin before the picture; the inner ones are whole.
        for (size_t i = 1; i + 1 < dashes.size(); ++i)
            EXPECT_NEAR(dashes[i], c.dash, 2) << "dash " << i;
    }
}

TEST(batch_tool, AMetreWidePosterLabelledWithAnAssemblySheetInOneCommand)
{
    if (!testsupport::HaveProgram(QStringLiteral("pdftoppm")) ||
        !testsupport::HaveProgram(QStringLiteral("pdftotext")))
        GTEST_SKIP() << "poppler-utils missing";
    // A picture with pixels to spare for a metre at the finest resolution of a PDF file.
    SaveFilled("wide.bmp", 12000, 300, 0xFF0000);

    const QStringList args = {QStringLiteral("wide.bmp"),
                              QStringLiteral("--width"),
                              QStringLiteral("1m"),
                              QStringLiteral("--labels"),
                              QStringLiteral("--assembly-sheet"),
                              QStringLiteral("--no-cut-lines"),
                              QStringLiteral("-o"),
                              QStringLiteral("wide.pdf")};
    const ToolRun dry = RunTool(args + QStringList{QStringLiteral("--dry-run")});
    ASSERT_EQ(dry.status, 0) << dry.err.toStdString();
    const auto report = ReportLines(dry.out);
    EXPECT_TRUE(report.at(QStringLiteral("Finished size")).startsWith(QStringLiteral("100.0 x ")))
        << dry.out.toStdString();
    EXPECT_EQ(report.at(QStringLiteral("Page labels")), QStringLiteral("on"));
    const int across = report.at(QStringLiteral("Pages across")).toInt();
    const int pages = report.at(QStringLiteral("Pages to print")).toInt();
    const double widthPages = report.at(QStringLiteral("Width in pages")).toDouble();
    const int printable =
        report.at(QStringLiteral("Printable area")).section(QLatin1Char(' '), 0, 0).toInt();
    const int dpi = report.at(QStringLiteral("Resolution")).section(QLatin1Char(' '), 0, 0).toInt();
    ASSERT_GT(dpi, 0);
    const double scale = 1200.0 / dpi; // rendered pixels per device pixel

    const ToolRun run = RunTool(args);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_TRUE(testsupport::Run(QStringLiteral("pdftotext -f 1 -l 1 wide.pdf sheet.txt")));
    QFile sheet(QStringLiteral("sheet.txt"));
    ASSERT_TRUE(sheet.open(QIODevice::ReadOnly));
    EXPECT_TRUE(sheet.readAll().startsWith("Assembly: "));

    // The first row of pages at 1200 dpi: the picture's red runs, glue strips blank but on the
    // last page, add up to a metre, give or take the step of one picture pixel a page.
    int extent = 0;
    for (int page = 2; page < 2 + across; ++page) {
        ASSERT_TRUE(testsupport::Run(
            QStringLiteral("pdftoppm -r 1200 -gray -H 1500 -f %1 -l %1 -singlefile wide.pdf row")
                .arg(page)));
        extent += WidestDarkRow(QStringLiteral("row.pgm"));
    }
    const double metre = 1000 / 25.4 * 1200;
    const double usable = printable * 0.95;
    const double step = usable * widthPages * widthPages / 12000 * scale;
    EXPECT_LE(std::abs(extent - metre), step / 2 + across * scale) << extent << " pixels";
    EXPECT_GT(pages, 0);
}
