// SPDX-License-Identifier: GPL-3.0-or-later
// The poster through a real spooler: a private CUPS scheduler of the test's own, with a
// cups-pdf queue whose PDF files land in a temporary folder.
//
// The scheduler runs from a temporary ServerRoot and listens only on a Unix socket in it, so
// neither the system's scheduler nor another test process is touched. CUPS_SERVER points Qt's
// CUPS plugin and the command line tools at it; libcups reads that variable on its first
// request and keeps what it read, so it is set before this process asks anything of a printer,
// and libcups is told to read it again whenever it changes (a repeated run starts a scheduler
// of its own, at a socket of its own).
//
// Without root, cupsd or the cups-pdf backend the tests are skipped, unless
// VELMORA_REQUIRE_CUPS=1 asks for them, as in continuous integration.

#include "CupsJob.h"
#include "CurrentPrinter.h"
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "PosterSamples.h"
#include "PrintJob.h"
#include "PrinterMetrics.h"
#include "PrinterSetup.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"
#include "ui_MainForm.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <cups/cups.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <tuple>

#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Where Debian keeps the parts of CUPS and cups-pdf the scheduler uses.
const QString kServerBin = QStringLiteral("/usr/lib/cups");
const QString kDataDir = QStringLiteral("/usr/share/cups");
const QString kCupsPdfBackend = QStringLiteral("/usr/lib/cups/backend/cups-pdf");
const QStringList kCupsPdfPpds = {QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd"),
                                  QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd")};
// cups-pdf reads the settings of a queue with device URI cups-pdf:/NAME from
// /etc/cups/cups-pdf-NAME.conf, a path built into the backend.
const QString kCupsPdfConfigDir = QStringLiteral("/etc/cups");
const QString kConfigPrefix = QStringLiteral("cups-pdf-velmora-");

constexpr int kStartSeconds = 20;
constexpr int kJobSeconds = 60;
constexpr int kDpi = 100;
constexpr int kStrayPixels = 12;

bool CupsRequired()
{
    return qgetenv("VELMORA_REQUIRE_CUPS") == "1";
}

QString ShellQuoted(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// The system tools live in sbin, which is not always on the PATH.
QString FindTool(const QString& name)
{
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(
            name,
            {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"), QStringLiteral("/usr/bin")});
    return path;
}

QString ReadText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll());
}

QString Tail(const QString& text, int lines)
{
    QStringList all = text.split(QLatin1Char('\n'));
    if (all.size() > lines)
        all = all.mid(all.size() - lines);
    return all.join(QLatin1Char('\n'));
}

// Configuration files of queues whose test process has died: a crash leaves them behind.
void RemoveStaleBackendConfigs()
{
    const QDir dir(kCupsPdfConfigDir);
    const QRegularExpression name(QStringLiteral("^cups-pdf-velmora-(\\d+)-.*\\.conf$"));
    for (const QString& file : dir.entryList({kConfigPrefix + QStringLiteral("*.conf")}))
        if (const auto match = name.match(file); match.hasMatch()) {
            const pid_t pid = pid_t(match.captured(1).toLongLong());
            if (pid != getpid() && kill(pid, 0) != 0 && errno == ESRCH)
                QFile::remove(dir.filePath(file));
        }
}

// A cupsd of our own, stopped when this object goes, and killed by the kernel should the test
// process die first.
class PrivateScheduler
{
public:
    PrivateScheduler() : root_(QDir::tempPath() + QStringLiteral("/velmora-cups-XXXXXX")) {}
    ~PrivateScheduler() { Stop(); }
    PrivateScheduler(const PrivateScheduler&) = delete;
    PrivateScheduler& operator=(const PrivateScheduler&) = delete;

    // Empty when the scheduler runs; otherwise why it could not be started.
    QString Start()
    {
        if (geteuid() != 0)
            return QStringLiteral("not root: cupsd must run the cups-pdf backend as root");
        for (const char* tool : {"cupsd", "lpadmin", "lpstat"})
            if (FindTool(QString::fromLatin1(tool)).isEmpty())
                return QStringLiteral("%1 is not installed (package cups)").arg(tool);
        if (!QFileInfo(kCupsPdfBackend).isExecutable())
            return kCupsPdfBackend + QStringLiteral(" is missing (printer-driver-cups-pdf)");
        for (const QString& ppd : kCupsPdfPpds)
            if (ppd_.isEmpty() && QFileInfo::exists(ppd))
                ppd_ = ppd;
        if (ppd_.isEmpty())
            return QStringLiteral("the cups-pdf PPD is missing (printer-driver-cups-pdf)");
        if (FindTool(QStringLiteral("gs")).isEmpty())
            return QStringLiteral("ghostscript, which cups-pdf runs, is not installed");
        if (!QFileInfo(kCupsPdfConfigDir).isWritable())
            return kCupsPdfConfigDir +
                   QStringLiteral(" is not writable: cups-pdf cannot be set up");
        if (!root_.isValid())
            return QStringLiteral("no temporary folder for the scheduler");

        // The filters run as the lp user and must reach the spool below this folder.
        QFile::setPermissions(root_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                QFileDevice::ExeOther);
        for (const char* sub : {"conf", "spool", "cache", "state", "log", "gs-tmp"})
            QDir(root_.path()).mkpath(QString::fromLatin1(sub));
        RemoveStaleBackendConfigs();
        if (!MakeServerBin())
            return QStringLiteral("could not make the scheduler's program folder");

        const QString files = Path("conf/cups-files.conf");
        const QString conf = Path("conf/cupsd.conf");
        if (!WriteFile(files, QStringLiteral("ServerRoot %1\n"
                                             "RequestRoot %2\n"
                                             "CacheDir %3\n"
                                             "StateDir %4\n"
                                             "ServerBin %5\n"
                                             "DataDir %6\n"
                                             "AccessLog %7/access_log\n"
                                             "ErrorLog %7/error_log\n"
                                             "PageLog %7/page_log\n"
                                             "Printcap %4/printcap\n"
                                             "SystemGroup root\n")
                                  .arg(Path("conf"), Path("spool"), Path("cache"), Path("state"),
                                       Path("bin"), kDataDir, Path("log"))) ||
            !WriteFile(conf, QStringLiteral("Listen %1\n"
                                            "LogLevel debug\n"
                                            "ErrorPolicy abort-job\n"
                                            "Browsing No\n"
                                            "WebInterface No\n"
                                            "DefaultAuthType None\n"
                                            "<Location />\n"
                                            "  Order allow,deny\n"
                                            "  Allow all\n"
                                            "</Location>\n"
                                            "<Policy default>\n"
                                            "  <Limit All>\n"
                                            "    Order deny,allow\n"
                                            "  </Limit>\n"
                                            "</Policy>\n")
                                 .arg(socket())))
            return QStringLiteral("could not write the scheduler's configuration");

        cupsd_.setProgram(FindTool(QStringLiteral("cupsd")));
        cupsd_.setArguments(
            {QStringLiteral("-f"), QStringLiteral("-c"), conf, QStringLiteral("-s"), files});
        cupsd_.setStandardOutputFile(Path("log/cupsd.out"));
        cupsd_.setStandardErrorFile(Path("log/cupsd.out"), QIODevice::Append);
        cupsd_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        cupsd_.start();
        if (!cupsd_.waitForStarted())
            return QStringLiteral("cupsd could not be started: ") + cupsd_.errorString();

        const QDeadlineTimer deadline(kStartSeconds * 1000);
        while (!deadline.hasExpired()) {
            if (cupsd_.state() != QProcess::Running)
                return QStringLiteral("cupsd stopped at once:\n") + Diagnostics();
            if (QFileInfo::exists(socket()) && Tool(QStringLiteral("lpstat -r"), nullptr))
                return {};
            QThread::msleep(100);
        }
        return QStringLiteral("cupsd did not answer within %1 s:\n").arg(kStartSeconds) +
               Diagnostics();
    }

    void Stop()
    {
        if (cupsd_.state() != QProcess::NotRunning) {
            cupsd_.terminate();
            if (!cupsd_.waitForFinished(10000)) {
                cupsd_.kill();
                cupsd_.waitForFinished(5000);
            }
        }
        for (const QString& file : backendConfigs_)
            QFile::remove(file);
        backendConfigs_.clear();
    }

    QString socket() const { return Path("cups.sock"); }

    // Runs an lp tool against this scheduler; its output, stdout and stderr, in *output.
    bool Tool(const QString& arguments, QString* output)
    {
        const QString out = Path("log/tool.out");
        const auto space = arguments.indexOf(QLatin1Char(' '));
        const QString tool = FindTool(arguments.left(space));
        const bool ok = testsupport::Run(QStringLiteral("LC_ALL=C %1 -h %2 %3 > %4 2>&1")
                                             .arg(ShellQuoted(tool), ShellQuoted(socket()),
                                                  arguments.mid(space + 1), ShellQuoted(out)));
        if (output)
            *output = ReadText(out);
        return ok;
    }

    // A cups-pdf queue writing into its own folder; empty name when it could not be added.
    struct Queue
    {
        QString name;
        QString outDir;
        QString error;
    };

    Queue AddPdfQueue(const QString& name)
    {
        Queue q;
        const QString setup = QStringLiteral("velmora-%1-%2").arg(getpid()).arg(name);
        const QString config =
            kCupsPdfConfigDir + QStringLiteral("/cups-pdf-") + setup + QStringLiteral(".conf");
        const QString outDir = Path("out-") + name;
        QDir().mkpath(outDir);
        // TitlePref 1: the file is named after the spooler document, not after the PostScript.
        if (!WriteFile(config,
                       QStringLiteral("Out %1\n"
                                      "AnonDirName %1\n"
                                      "Spool %2\n"
                                      "GSTmp %3\n"
                                      "Log %4\n"
                                      "LogType 7\n"
                                      "Grp root\n"
                                      "TitlePref 1\n")
                           .arg(outDir, Path("cups-pdf-spool"), Path("gs-tmp"), Path("log")))) {
            q.error = QStringLiteral("could not write ") + config;
            return q;
        }
        backendConfigs_ << config;
        QString output;
        if (!Tool(QStringLiteral("lpadmin -p %1 -E -v cups-pdf:/%2 -P %3")
                      .arg(name, setup, ShellQuoted(ppd_)),
                  &output)) {
            q.error = QStringLiteral("lpadmin could not add the queue: ") + output;
            return q;
        }
        q.name = name;
        q.outDir = outDir;
        return q;
    }

    // A raw queue whose backend fails every job, with a message of its own.
    Queue AddFailingQueue(const QString& name)
    {
        Queue q;
        QString output;
        if (!Tool(QStringLiteral("lpadmin -p %1 -E -v velmorafail:/ -m raw").arg(name), &output)) {
            q.error = QStringLiteral("lpadmin could not add the failing queue: ") + output;
            return q;
        }
        q.name = name;
        return q;
    }

    bool RemoveQueue(const QString& name)
    {
        return Tool(QStringLiteral("lpadmin -x %1").arg(name), nullptr);
    }

    // The scheduler's and the backend's logs, for a failure message.
    QString Diagnostics() const
    {
        QString text = Tail(ReadText(Path("log/cupsd.out")), 20);
        text += QStringLiteral("\n--- error_log:\n") + Tail(ReadText(Path("log/error_log")), 40);
        for (const QFileInfo& log : QDir(Path("log")).entryInfoList({QStringLiteral("cups-pdf-*")}))
            text += QStringLiteral("\n--- ") + log.fileName() + QStringLiteral(":\n") +
                    Tail(ReadText(log.filePath()), 15);
        return text;
    }

private:
    // The system's programs, and in the backend folder beside its backends one that fails.
    bool MakeServerBin()
    {
        const QDir system(kServerBin);
        QDir bin(Path("bin"));
        if (!bin.mkpath(QStringLiteral("backend")))
            return false;
        for (const QString& entry : system.entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
            if (entry != QStringLiteral("backend") &&
                !QFile::link(system.filePath(entry), bin.filePath(entry)))
                return false;
        const QDir backends(system.filePath(QStringLiteral("backend")));
        for (const QString& entry : backends.entryList(QDir::Files))
            if (!QFile::link(backends.filePath(entry),
                             bin.filePath(QStringLiteral("backend/") + entry)))
                return false;
        const QString failing = bin.filePath(QStringLiteral("backend/velmorafail"));
        if (!WriteFile(failing, QStringLiteral("#!/bin/sh\n"
                                               "if [ $# -eq 0 ]; then\n"
                                               "  echo 'direct velmorafail \"Velmora\" "
                                               "\"Failing printer\"'\n"
                                               "  exit 0\n"
                                               "fi\n"
                                               "cat > /dev/null\n"
                                               "echo 'ERROR: The paper is on fire.' >&2\n"
                                               "exit 1\n")))
            return false;
        return QFile::setPermissions(failing, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                  QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                  QFileDevice::ExeOther);
    }

    QString Path(const char* relative) const
    {
        return root_.path() + QLatin1Char('/') + QString::fromLatin1(relative);
    }

    static bool WriteFile(const QString& path, const QString& text)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(text.toLocal8Bit()) == text.toLocal8Bit().size();
    }

    QTemporaryDir root_;
    QString ppd_;
    QProcess cupsd_;
    QStringList backendConfigs_;
};

using testsupport::RegionColour;
using testsupport::RegionPicture;

// The shared 3 x 2 poster with only the pages not switched off to be printed.
PrintJobInputs ThreeByTwoWithTwoOff(int w, int h)
{
    PrintJobInputs in = testsupport::ThreeByTwo(w, h);
    in.choice = PageChoice::NotTheClickedOff;
    return in;
}

// Colours come back through two PostScript and PDF conversions.
bool Near(QRgb a, QRgb b)
{
    constexpr int kTolerance = 6;
    return std::abs(qRed(a) - qRed(b)) <= kTolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= kTolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= kTolerance;
}

std::string Rgb(QRgb c)
{
    return QStringLiteral("(%1, %2, %3)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c)).toStdString();
}

QStringList PdfFiles(const QString& dir)
{
    return QDir(dir).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
}

class CupsQueue : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        serverBefore_ = qgetenv("CUPS_SERVER");
        scheduler_ = std::make_unique<PrivateScheduler>();
        unavailable_ = scheduler_->Start();
        if (unavailable_.isEmpty())
            UseServer(scheduler_->socket().toLocal8Bit());
        else
            scheduler_.reset();
    }

    static void TearDownTestSuite()
    {
        scheduler_.reset();
        UseServer(serverBefore_);
    }

    static void UseServer(const QByteArray& server)
    {
        qputenv("CUPS_SERVER", server);
        cupsSetServer(nullptr); // the default again: the variable, read anew
    }

    void SetUp() override
    {
        if (unavailable_.isEmpty())
            return;
        if (CupsRequired())
            FAIL() << "CUPS printing is required (VELMORA_REQUIRE_CUPS=1) but "
                   << unavailable_.toStdString();
        GTEST_SKIP() << "no private CUPS scheduler: " << unavailable_.toStdString();
    }

    // A new queue, already known to Qt; the name is unique within the scheduler.
    PrivateScheduler::Queue AddQueue(const QString& name)
    {
        PrivateScheduler::Queue q = scheduler_->AddPdfQueue(name);
        if (q.name.isEmpty()) {
            ADD_FAILURE() << q.error.toStdString();
            return q;
        }
        if (!QPrinterInfo::availablePrinterNames().contains(q.name)) {
            ADD_FAILURE() << "Qt does not see queue " << q.name.toStdString()
                          << " of the private scheduler";
            q.name.clear();
        }
        return q;
    }

    // Waits until the queue has no unfinished job and the backend has written its file.
    bool WaitForOutput(const PrivateScheduler::Queue& q)
    {
        const QDeadlineTimer deadline(kJobSeconds * 1000);
        while (!deadline.hasExpired()) {
            QString pending;
            if (!PdfFiles(q.outDir).isEmpty() &&
                scheduler_->Tool(QStringLiteral("lpstat -o %1").arg(q.name), &pending) &&
                pending.trimmed().isEmpty())
                return true;
            QThread::msleep(200);
        }
        return false;
    }

    // Jobs the scheduler knows of, finished or not, on all its queues.
    int JobCount()
    {
        QString jobs;
        if (!scheduler_->Tool(QStringLiteral("lpstat -W all -o"), &jobs)) {
            ADD_FAILURE() << "lpstat failed: " << jobs.toStdString();
            return -1;
        }
        return int(jobs.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
    }

    static std::unique_ptr<PrivateScheduler> scheduler_;
    static QString unavailable_;
    static QByteArray serverBefore_; // CUPS_SERVER as the suite found it
};

std::unique_ptr<PrivateScheduler> CupsQueue::scheduler_;
QString CupsQueue::unavailable_;
QByteArray CupsQueue::serverBefore_;

// The printer as the program sets it up for a queue; false when Qt would not print to it.
bool SetUpPrinter(QPrinter& printer, const QString& queue)
{
    printer.setPrinterName(queue);
    printer.setResolution(kDpi);
    printer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    return printer.outputFormat() == QPrinter::NativeFormat && printer.printerName() == queue &&
           printer.isValid();
}

// Pixels within the area of one rendering of a page that have no match in the other within
// one pixel: the conversions may move an edge by a pixel, but no more, and may not change a
// colour.
int UnmatchedPixels(const QImage& from, const QImage& in, const QRect& area)
{
    if (from.size() != in.size())
        return from.width() * from.height();
    const QImage a = from.convertToFormat(QImage::Format_RGB32);
    const QImage b = in.convertToFormat(QImage::Format_RGB32);
    const QRect inside = area.intersected(a.rect());
    int unmatched = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        for (int x = inside.left(); x <= inside.right(); ++x) {
            bool matched = false;
            for (int ny = std::max(y - 1, 0); !matched && ny <= std::min(y + 1, b.height() - 1);
                 ++ny) {
                const auto* other = reinterpret_cast<const QRgb*>(b.constScanLine(ny));
                for (int nx = std::max(x - 1, 0); !matched && nx <= std::min(x + 1, b.width() - 1);
                     ++nx)
                    matched = Near(row[x], other[nx]);
            }
            if (!matched)
                ++unmatched;
        }
    }
    return unmatched;
}

// Pixels outside the area that are not white.
int MarkedPixelsOutside(const QImage& page, const QRect& area)
{
    int marked = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (!area.contains(x, y) && page.pixel(x, y) != qRgb(255, 255, 255))
                ++marked;
    return marked;
}

bool Rasterise(const QString& pdf, const QString& prefix)
{
    return testsupport::Run(QStringLiteral("pdftoppm -r %1 -aa no -aaVector no -png %2 %3")
                                .arg(kDpi)
                                .arg(ShellQuoted(pdf), ShellQuoted(prefix)));
}

TEST_F(CupsQueue, PosterWithTwoPagesOffArrivesAsOneFourPagePdf)
{
    const PrivateScheduler::Queue q = AddQueue(QStringLiteral("poster"));
    ASSERT_FALSE(q.name.isEmpty());
    const QString dir = testsupport::TestDir();
    const PrintJobInputs in = ThreeByTwoWithTwoOff(60, 40);
    const HeldPicture picture(RegionPicture(60, 40));
    // The same poster written by Qt's own PDF writer, on the same paper: what the spooler is
    // to deliver.
    QPrinter queuePrinter(QPrinter::HighResolution);
    QPrinter filePrinter(QPrinter::HighResolution);
    const bool queueUsable = SetUpPrinter(queuePrinter, q.name);
    filePrinter.setOutputFormat(QPrinter::PdfFormat);
    filePrinter.setOutputFileName(dir + QStringLiteral("/reference.pdf"));
    filePrinter.setPageSize(queuePrinter.pageLayout().pageSize());
    filePrinter.setResolution(kDpi);
    filePrinter.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    PrintResult r, reference;
    if (queueUsable) {
        PrinterPageSink sink(queuePrinter);
        r = PrintPoster(sink, *picture, in, nullptr);
        PrinterPageSink fileSink(filePrinter);
        reference = PrintPoster(fileSink, *picture, in, nullptr);
    }
    ASSERT_TRUE(queueUsable);
    const PrinterMetrics m = MetricsOf(queuePrinter);
    ASSERT_TRUE(m.isValid());
    ASSERT_EQ(MetricsOf(filePrinter), m);
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(r.pagesPrinted, 4);
    ASSERT_TRUE(reference.ok()) << reference.error.toStdString();

    ASSERT_TRUE(WaitForOutput(q)) << "no PDF from the cups-pdf backend within " << kJobSeconds
                                  << " s\n"
                                  << scheduler_->Diagnostics().toStdString();
    // One spooler document, under the poster's title, completed.
    const QStringList files = PdfFiles(q.outDir);
    ASSERT_EQ(files.size(), 1) << files.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(files.first().startsWith(QStringLiteral("Kantelberg_Poster")))
        << files.first().toStdString();
    QString completed;
    ASSERT_TRUE(
        scheduler_->Tool(QStringLiteral("lpstat -W completed -o %1").arg(q.name), &completed));
    EXPECT_EQ(completed.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 1)
        << completed.toStdString();

    const QString pdf = q.outDir + QLatin1Char('/') + files.first();
    ASSERT_TRUE(testsupport::Run(
        QStringLiteral("pdfinfo %1 > %2/info.txt").arg(ShellQuoted(pdf), ShellQuoted(dir))));
    const QString info = ReadText(dir + QStringLiteral("/info.txt"));
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+4\\b"))))
        << info.toStdString();

    ASSERT_TRUE(Rasterise(pdf, dir + QStringLiteral("/queue")));
    ASSERT_TRUE(Rasterise(dir + QStringLiteral("/reference.pdf"), dir + QStringLiteral("/ref")));
    EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/queue-5.png")));
    // Row per row: down each column, the switched-off pages left out.
    const std::pair<int, int> printed[] = {{0, 0}, {0, 1}, {1, 1}, {2, 0}};
    const int ox = m.offsetX, oy = m.offsetY;
    const QRect printable(ox, oy, m.pageWidth, m.pageHeight);
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k + 1);
        const QImage page(dir + QStringLiteral("/queue-%1.png").arg(k + 1));
        const QImage expected(dir + QStringLiteral("/ref-%1.png").arg(k + 1));
        ASSERT_FALSE(page.isNull());
        ASSERT_FALSE(expected.isNull());
        // What the spooler delivers is what Qt's writer makes of the poster, and nothing is
        // drawn on the margins. Where two edges meet, each may have moved by a pixel, the
        // other way: a few pixels, where a missing dash of a help line would be dozens.
        EXPECT_LE(UnmatchedPixels(page, expected, printable), kStrayPixels);
        EXPECT_LE(UnmatchedPixels(expected, page, printable), kStrayPixels);
        EXPECT_EQ(MarkedPixelsOutside(page, printable.adjusted(-1, -1, 1, 1)), 0);
        const auto [c, r] = printed[k];
        const QRgb centre = page.pixel(ox + m.pageWidth / 2, oy + m.pageHeight / 2);
        EXPECT_TRUE(Near(centre, RegionColour(c, r))) << Rgb(centre);
        // Only page (1, 1) lies off the poster's edge and gets cut lines: a black dash from
        // the top-left corner of the printable area, along the top and down the left side,
        // then a white one.
        const bool cut = c == 1 && r == 1;
        for (const QPoint black : {QPoint(ox + 10, oy), QPoint(ox + 10, oy + 1),
                                   QPoint(ox, oy + 10), QPoint(ox + 1, oy + 10)})
            EXPECT_EQ(qGray(page.pixel(black)) < 40, cut) << Rgb(page.pixel(black));
        EXPECT_EQ(qGray(page.pixel(ox + 40, oy)) > 215, cut) << Rgb(page.pixel(ox + 40, oy));
    }
    if (HasFailure()) {
        const QString keep = testsupport::ArtifactDir() + QStringLiteral("/cups-poster.pdf");
        QFile::remove(keep);
        QFile::copy(pdf, keep);
        const QString keepReference =
            testsupport::ArtifactDir() + QStringLiteral("/cups-poster-reference.pdf");
        QFile::remove(keepReference);
        QFile::copy(dir + QStringLiteral("/reference.pdf"), keepReference);
        ADD_FAILURE() << "the PDFs are kept as " << keep.toStdString() << " and "
                      << keepReference.toStdString();
    }
}

// With a default queue on the system the window and the tool print there, not to the PDF file,
// and say so by the queue's name.
TEST_F(CupsQueue, DefaultQueueIsWhereThePosterGoes)
{
    const PrivateScheduler::Queue q = AddQueue(QStringLiteral("office"));
    ASSERT_FALSE(q.name.isEmpty());
    QString output;
    ASSERT_TRUE(scheduler_->Tool(QStringLiteral("lpadmin -d %1").arg(q.name), &output))
        << output.toStdString();

    const CurrentPrinter printer;
    EXPECT_FALSE(printer.isPdfFile());
    EXPECT_EQ(printer.description(), QStringLiteral("Printer: office"));
    EXPECT_TRUE(printer.metrics().isValid());

    const HeldPicture picture(RegionPicture(60, 40));
    ASSERT_TRUE(SaveDib(*picture, "pic.bmp", 3));
    QProcess tool;
    tool.start(QStringLiteral(VELMORA_POSTER),
               {QStringLiteral("pic.bmp"), QStringLiteral("--dry-run")});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    const QStringList report =
        QString::fromLocal8Bit(tool.readAllStandardOutput()).split(QLatin1Char('\n'));
    EXPECT_TRUE(report.contains(QStringLiteral("Printer: office")))
        << report.join('|').toStdString();
    EXPECT_TRUE(scheduler_->Tool(QStringLiteral("lpadmin -x %1").arg(q.name), nullptr));
}

// The queue vanishes before the job or while its pages are painted: the job must fail, and
// nothing may come out anywhere.
TEST_F(CupsQueue, QueueThatIsGoneEndsWithAnError)
{
    for (const bool duringJob : {false, true}) {
        SCOPED_TRACE(duringJob ? "removed during the job" : "removed before the job");
        const PrivateScheduler::Queue q =
            AddQueue(duringJob ? QStringLiteral("gone_during") : QStringLiteral("gone_before"));
        ASSERT_FALSE(q.name.isEmpty());
        const int jobsBefore = JobCount();
        QPrinter printer(QPrinter::HighResolution);
        ASSERT_TRUE(SetUpPrinter(printer, q.name));
        if (!duringJob) {
            ASSERT_TRUE(scheduler_->RemoveQueue(q.name));
        }
        const HeldPicture picture(RegionPicture(60, 40));
        PrintResult r;
        {
            PrinterPageSink sink(printer);
            r = PrintPoster(sink, *picture, ThreeByTwoWithTwoOff(60, 40), [&](int visited, int) {
                if (duringJob && visited == 2) {
                    EXPECT_TRUE(scheduler_->RemoveQueue(q.name));
                }
            });
        }
        EXPECT_FALSE(r.ok());
        EXPECT_FALSE(r.error.isEmpty());
        EXPECT_EQ(r.pagesPrinted, duringJob ? 4 : 0);
        // No job went to any other queue instead.
        EXPECT_EQ(JobCount(), jobsBefore);
    }
}

// A queue that refuses jobs fails with the scheduler's own words; a stopped queue takes the
// job and keeps it, which the result says. Nothing of a refused job stays anywhere.
TEST_F(CupsQueue, RefusedJobsFailWithCupsWordsAndAStoppedQueueKeepsTheJob)
{
    const PrivateScheduler::Queue rejecting = AddQueue(QStringLiteral("rejecting"));
    const PrivateScheduler::Queue stopped = AddQueue(QStringLiteral("stopped"));
    ASSERT_FALSE(rejecting.name.isEmpty());
    ASSERT_FALSE(stopped.name.isEmpty());
    QString output;
    ASSERT_TRUE(scheduler_->Tool(QStringLiteral("cupsreject %1").arg(rejecting.name), &output))
        << output.toStdString();
    ASSERT_TRUE(scheduler_->Tool(QStringLiteral("cupsdisable %1").arg(stopped.name), &output))
        << output.toStdString();
    const HeldPicture picture(RegionPicture(60, 40));
    const auto print = [&](const QString& queue) {
        QPrinter printer(QPrinter::HighResolution);
        EXPECT_TRUE(SetUpPrinter(printer, queue));
        PrinterPageSink sink(printer);
        return PrintPoster(sink, *picture, ThreeByTwoWithTwoOff(60, 40), nullptr);
    };
    const QStringList spoolBefore = QDir::temp().entryList({QStringLiteral("velmora-poster-*")});

    const int jobsBefore = JobCount();
    const PrintResult refused = print(rejecting.name);
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(refused.error.contains(QStringLiteral("not accepting jobs"), Qt::CaseInsensitive))
        << refused.error.toStdString();
    EXPECT_EQ(refused.jobId, 0);
    EXPECT_EQ(JobCount(), jobsBefore);

    const PrintResult kept = print(stopped.name);
    EXPECT_TRUE(kept.ok()) << kept.error.toStdString();
    EXPECT_GT(kept.jobId, 0);
    EXPECT_TRUE(kept.queued);
    QString pending;
    ASSERT_TRUE(scheduler_->Tool(QStringLiteral("lpstat -o %1").arg(stopped.name), &pending));
    EXPECT_TRUE(pending.contains(QStringLiteral("%1-%2").arg(stopped.name).arg(kept.jobId)))
        << pending.toStdString();
    EXPECT_EQ(QDir::temp().entryList({QStringLiteral("velmora-poster-*")}), spoolBefore);

    // The batch tool says the same: CUPS's words and status 1, or the job and where it waits.
    ASSERT_TRUE(SaveDib(*picture, "pic.bmp", 3));
    QProcess tool;
    tool.start(QStringLiteral(VELMORA_POSTER),
               {QStringLiteral("pic.bmp"), QStringLiteral("--printer"), rejecting.name});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 1);
    const QString error = QString::fromLocal8Bit(tool.readAllStandardError());
    EXPECT_TRUE(error.contains(QStringLiteral("not accepting jobs"), Qt::CaseInsensitive))
        << error.toStdString();
    EXPECT_EQ(error.count(QLatin1Char('\n')), 1);
    tool.start(QStringLiteral(VELMORA_POSTER),
               {QStringLiteral("pic.bmp"), QStringLiteral("--printer"), stopped.name});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    EXPECT_TRUE(QString::fromLocal8Bit(tool.readAllStandardOutput())
                    .contains(QRegularExpression(QStringLiteral("^Job: stopped-\\d+ \\(queued"))));
    scheduler_->Tool(QStringLiteral("cancel -a %1").arg(stopped.name), nullptr);
}

// A landscape poster arrives whole and unscaled: as a landscape page, or turned a quarter onto
// the portrait sheet the printer feeds, never turned twice or squeezed into the portrait shape.
TEST_F(CupsQueue, ALandscapePosterArrivesAsLandscapePages)
{
    const PrivateScheduler::Queue q = AddQueue(QStringLiteral("wide"));
    ASSERT_FALSE(q.name.isEmpty());
    QPrinter printer(QPrinter::HighResolution);
    ASSERT_TRUE(SetUpPrinter(printer, q.name));
    ASSERT_TRUE(printer.setPageOrientation(QPageLayout::Landscape));
    // Red on the left half, blue on the right.
    HeldPicture picture(newdib(40, 20, 24, nullptr, 0));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            setpixel(*picture, x, y, x < 20 ? 0xFF0000 : 0x0000FF);
    PrintJobInputs in;
    in.render.pictureWidth = 40;
    in.render.pictureHeight = 20;
    PrintResult r;
    {
        PrinterPageSink sink(printer);
        r = PrintPoster(sink, *picture, in, nullptr);
    }
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    ASSERT_TRUE(WaitForOutput(q)) << scheduler_->Diagnostics().toStdString();
    const QString pdf = q.outDir + QLatin1Char('/') + PdfFiles(q.outDir).first();
    const QString dir = testsupport::TestDir();
    ASSERT_TRUE(Rasterise(pdf, dir + QStringLiteral("/wide")));
    const QImage page(dir + QStringLiteral("/wide-1.png"));
    ASSERT_FALSE(page.isNull());
    const bool wide = page.width() > page.height();
    // The picture's two halves, across a landscape page or along a turned one.
    const QRgb first = wide ? page.pixel(page.width() / 4, page.height() / 2)
                            : page.pixel(page.width() / 2, page.height() / 4);
    const QRgb second = wide ? page.pixel(page.width() * 3 / 4, page.height() / 2)
                             : page.pixel(page.width() / 2, page.height() * 3 / 4);
    const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255);
    EXPECT_TRUE(wide ? Near(first, red) && Near(second, blue)
                     : (Near(first, red) && Near(second, blue)) ||
                           (Near(first, blue) && Near(second, red)))
        << Rgb(first) << " " << Rgb(second);
    // Unscaled: the picture reaches the printable area's edges, 10 mm in.
    const int margin = kDpi * 10 / 25; // 10 mm, a little short of it
    EXPECT_FALSE(Near(page.pixel(margin + 3, page.height() / 2), qRgb(255, 255, 255)));
    EXPECT_TRUE(Near(page.pixel(margin - 6, page.height() / 2), qRgb(255, 255, 255)));
    if (HasFailure()) {
        const QString keep = testsupport::ArtifactDir() + QStringLiteral("/cups-landscape.png");
        QFile::remove(keep);
        QFile::copy(dir + QStringLiteral("/wide-1.png"), keep);
        ADD_FAILURE() << "the page is kept as " << keep.toStdString();
    }
}

} // namespace

namespace {

// Runs the set-up dialog for the printer and, once it shows, lets `act` look at it and close it.
void RunSetupAndThen(CurrentPrinter& printer, const std::function<void(QDialog&)>& act)
{
    bool acted = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || acted)
            return;
        acted = true;
        act(*dialog);
        if (dialog->isVisible()) // an action that did not close it: a cancel, then
            dialog->reject();
    });
    poll.start(20);
    RunPrinterSetup(printer, nullptr);
    EXPECT_TRUE(acted) << "the set-up dialog did not show";
}

QString ShownDestination(QDialog& dialog)
{
    const auto* printers = dialog.findChild<QComboBox*>(QStringLiteral("printers"));
    return printers ? printers->currentText() : QStringLiteral("(no printer list)");
}

} // namespace

// With a default queue on the machine, the dialog must neither show that queue in place of
// the PDF file in use nor switch to it, whichever way it is closed.
TEST_F(CupsQueue, PrinterSetupBesideADefaultQueueKeepsThePrinterInUse)
{
    const PrivateScheduler::Queue q = AddQueue(QStringLiteral("frontdesk"));
    ASSERT_FALSE(q.name.isEmpty());
    ASSERT_TRUE(scheduler_->Tool(QStringLiteral("lpadmin -d %1").arg(q.name), nullptr));

    CurrentPrinter printer;
    ASSERT_FALSE(printer.isPdfFile()) << "the default queue is not the printer at start";
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("poster.pdf"));
    printer.printer().setOutputFormat(QPrinter::PdfFormat);
    printer.printer().setOutputFileName(pdf);
    printer.printer().setPageSize(QPageSize(QPageSize::A3));
    const QPageLayout layout = printer.printer().pageLayout();
    ASSERT_TRUE(printer.isPdfFile());

    const auto expectPdfKept = [&](const char* how) {
        SCOPED_TRACE(how);
        EXPECT_TRUE(printer.isPdfFile()) << printer.description().toStdString();
        EXPECT_EQ(printer.printer().outputFileName(), pdf);
        EXPECT_TRUE(printer.printer().pageLayout().isEquivalentTo(layout));
    };
    QString shown;
    QString shownFile;
    RunSetupAndThen(printer, [&](QDialog& dialog) {
        shown = ShownDestination(dialog);
        if (const auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("filename")))
            shownFile = name->text();
        dialog.reject();
    });
    expectPdfKept("cancelled");
    EXPECT_EQ(shownFile, pdf);
    EXPECT_EQ(shown, QStringLiteral("Print to File (PDF)")) << "not the file in use";
    RunSetupAndThen(printer, [](QDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); });
    expectPdfKept("escaped");
    RunSetupAndThen(printer, [](QDialog& dialog) {
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        ASSERT_TRUE(buttons);
        buttons->button(QDialogButtonBox::Ok)->click();
    });
    expectPdfKept("accepted without a change");

    // And the other way round: the queue in use is what the dialog shows and keeps.
    printer.printer().setOutputFormat(QPrinter::NativeFormat);
    printer.printer().setPrinterName(q.name);
    ASSERT_FALSE(printer.isPdfFile());
    RunSetupAndThen(printer, [&](QDialog& dialog) {
        shown = ShownDestination(dialog);
        dialog.reject();
    });
    EXPECT_EQ(shown, q.name);
    EXPECT_FALSE(printer.isPdfFile());
    EXPECT_EQ(printer.printer().printerName(), q.name);
    EXPECT_TRUE(scheduler_->Tool(QStringLiteral("lpadmin -x %1").arg(q.name), nullptr));
}

// A job handed to CUPS is queued, not printed: without --wait the tool says so; with it, the
// tool follows the job, and one that the printer aborts fails with CUPS's reason.
TEST_F(CupsQueue, WaitFollowsTheJobAndAJobThePrinterAbortsFails)
{
    const PrivateScheduler::Queue failing = scheduler_->AddFailingQueue(QStringLiteral("burning"));
    ASSERT_FALSE(failing.name.isEmpty()) << failing.error.toStdString();
    const PrivateScheduler::Queue good = AddQueue(QStringLiteral("steady"));
    ASSERT_FALSE(good.name.isEmpty());
    const HeldPicture picture(RegionPicture(60, 40));
    ASSERT_TRUE(SaveDib(*picture, "pic.bmp", 3));
    const auto run = [](const QStringList& arguments) {
        QProcess tool;
        tool.start(QStringLiteral(VELMORA_POSTER),
                   QStringList{QStringLiteral("pic.bmp")} + arguments);
        EXPECT_TRUE(tool.waitForFinished(180000));
        return std::make_tuple(tool.exitCode(),
                               QString::fromLocal8Bit(tool.readAllStandardOutput()),
                               QString::fromLocal8Bit(tool.readAllStandardError()));
    };

    const auto [queuedStatus, queuedOut, queuedErr] =
        run({QStringLiteral("--printer"), failing.name});
    EXPECT_EQ(queuedStatus, 0) << queuedErr.toStdString();
    EXPECT_TRUE(queuedOut.contains(
        QRegularExpression(QStringLiteral("^Job: burning-\\d+ \\(queued\\)\n$"))))
        << queuedOut.toStdString();

    const auto [abortedStatus, abortedOut, abortedErr] =
        run({QStringLiteral("--printer"), failing.name, QStringLiteral("--wait")});
    EXPECT_EQ(abortedStatus, 1);
    EXPECT_TRUE(abortedOut.isEmpty()) << abortedOut.toStdString();
    EXPECT_TRUE(abortedErr.contains(QRegularExpression(
        QStringLiteral("^velmora-poster: burning-\\d+: the job was not printed: aborted\\b"))))
        << abortedErr.toStdString();
    EXPECT_TRUE(abortedErr.contains(QStringLiteral("The paper is on fire.")))
        << abortedErr.toStdString() << scheduler_->Diagnostics().toStdString();
    EXPECT_EQ(abortedErr.count(QLatin1Char('\n')), 1);

    const auto [printedStatus, printedOut, printedErr] =
        run({QStringLiteral("--printer"), good.name, QStringLiteral("--wait")});
    EXPECT_EQ(printedStatus, 0) << printedErr.toStdString()
                                << scheduler_->Diagnostics().toStdString();
    EXPECT_TRUE(printedOut.contains(
        QRegularExpression(QStringLiteral("^Job: steady-\\d+ \\(completed\\b"))))
        << printedOut.toStdString();
    scheduler_->RemoveQueue(failing.name);
    scheduler_->RemoveQueue(good.name);
}

// The Print page says a job handed to CUPS is queued, and then, while it shows the job, how it
// ended: here aborted by its printer, with CUPS's reason.
TEST_F(CupsQueue, ThePrintPageFollowsItsJobToItsEnd)
{
    const PrivateScheduler::Queue failing =
        scheduler_->AddFailingQueue(QStringLiteral("smouldering"));
    ASSERT_FALSE(failing.name.isEmpty()) << failing.error.toStdString();
    StartedProgram program;
    TMainForm& w = *program.window;
    Ui::MainForm& ui = w.Form();
    QPrinter& printer = w.Printer->printer();
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(failing.name);
    ASSERT_FALSE(w.Printer->isPdfFile());
    ui.PrintBtn->click();
    const QString sent = ui.PrintResultLabel->toolTip();
    EXPECT_TRUE(sent.contains(
        QRegularExpression(QStringLiteral("^Sent to smouldering, job \\d+ \\(queued\\)$"))))
        << sent.toStdString();
    const QDeadlineTimer deadline(kJobSeconds * 1000);
    while (ui.PrintResultLabel->toolTip() == sent && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    const QString ended = ui.PrintResultLabel->toolTip();
    EXPECT_TRUE(ended.startsWith(QStringLiteral("Not printed on smouldering, job ")))
        << ended.toStdString();
    EXPECT_TRUE(ended.contains(QStringLiteral(": aborted")) &&
                ended.contains(QStringLiteral("The paper is on fire.")))
        << ended.toStdString();
    scheduler_->RemoveQueue(failing.name);
}

// A scheduler that takes the connection and never answers would hold Qt's printer list for
// good: the window starts on the PDF file and says why, and the printer setup tells the same
// in place of a dialog that would hang.
TEST(CupsSilence, ASilentSchedulerLeavesTheWindowOnThePdfFileAndSaysWhy)
{
    const QByteArray path = QDir::current().filePath(QStringLiteral("silent.sock")).toLocal8Bit();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    ASSERT_LT(size_t(path.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 8), 0); // connections wait in the backlog, unanswered
    const QByteArray before = qgetenv("CUPS_SERVER");
    qputenv("CUPS_SERVER", path);
    cupsSetServer(nullptr);
    const auto timeoutBefore = CupsTimeout();
    SetCupsTimeout(std::chrono::seconds(1));

    const BoxAnswer told = AnswerNextMessageBox(QMessageBox::Ok);
    {
        StartedProgram program;
        EXPECT_TRUE(program.window->Printer->isPdfFile());
        EXPECT_TRUE(told->seen);
        EXPECT_EQ(told->text, QStringLiteral("The printers could not be listed: the print "
                                             "scheduler (%1) did not answer for 1 s. Posters go "
                                             "to a PDF file until the printer setup finds them.")
                                  .arg(QString::fromLocal8Bit(path)));
        const BoxAnswer setup = AnswerNextMessageBox(QMessageBox::Ok);
        EXPECT_FALSE(RunPrinterSetup(*program.window->Printer, program.window.get()));
        EXPECT_EQ(setup->title, QStringLiteral("Printer setup"));
        EXPECT_TRUE(setup->text.contains(QStringLiteral("did not answer for 1 s")))
            << setup->text.toStdString();
    }
    SetCupsTimeout(timeoutBefore);
    qputenv("CUPS_SERVER", before);
    cupsSetServer(nullptr);
    ::close(fd);
}
