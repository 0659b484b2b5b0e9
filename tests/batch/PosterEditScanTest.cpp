// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-poster's edit, save and scan options: the picture it ends up with compared with the
// picture library's own operations, its errors, and scans from SANE's virtual scanner.
#include "ExifSamples.h"
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "IccSamples.h"
#include "PictureColour.h"
#include "PictureOps.h"
#include "PictureOrientation.h"
#include "SaneTestConfig.h"

#include "TestSupport.h"
#include "ToolRun.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// A picture whose every pixel differs from its neighbours, so that any misplaced pixel shows.
PictureRecord Pattern(int32_t w, int32_t h, int32_t bits)
{
    const PictureRecord p = newdib(w, h, bits, nullptr, 0);
    const int32_t values = bits == 24 ? 0x1000000 : 1 << bits;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            setpixel(p, x, y, int32_t((uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u) % values));
    return p;
}

bool SamePixels(const PictureRecord& a, const PictureRecord& b)
{
    if (!a.Bits || !b.Bits || DIBWidth(a) != DIBWidth(b) || DIBHeight(a) != DIBHeight(b))
        return false;
    for (int32_t y = 0; y < DIBHeight(a); ++y)
        for (int32_t x = 0; x < DIBWidth(a); ++x)
            if (getpixel(a, x, y) != getpixel(b, x, y))
                return false;
    return true;
}

// The picture after a chain of operations, each replacing the last one's result.
HeldPicture Chain(HeldPicture p,
                  const std::vector<std::function<PictureRecord(const PictureRecord&)>>& ops)
{
    for (const auto& op : ops)
        p.reset(op(*p));
    return p;
}

void ExpectOneErrorLine(const ToolRun& run, int status)
{
    EXPECT_EQ(run.status, status);
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("velmora-poster: "))) << run.err.toStdString();
    EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
}

TEST(batch_edits, AreMadeInTheOrderGivenWithTheLibrarysOperations)
{
    const HeldPicture held(Pattern(41, 27, 24));
    const PictureRecord& source = *held;
    ASSERT_TRUE(SaveDib(source, "in.bmp", 3));

    const ToolRun run =
        RunTool({QStringLiteral("in.bmp"), QStringLiteral("--crop"), QStringLiteral("3,2,38,20"),
                 QStringLiteral("--rotate"), QStringLiteral("LEFT"), QStringLiteral("--mirror"),
                 QStringLiteral("--rotate"), QStringLiteral("right"), QStringLiteral("--flip"),
                 QStringLiteral("--save"), QStringLiteral("out.png")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();

    const HeldPicture expected =
        Chain(HeldPicture(CopyPicture(source)),
              {[](const PictureRecord& p) { return CutToSelection(p, 3, 2, 38, 20); }, RotateLeft,
               MirrorPicture, RotateRight, FlipPicture});
    const HeldPicture saved(OpenDib("out.png", 0));
    EXPECT_EQ(DIBWidth(*saved), 35);
    EXPECT_EQ(DIBHeight(*saved), 18);
    EXPECT_TRUE(SamePixels(*saved, *expected));
    // Left, mirror, right, flip is no change at all: the crop alone.
    const HeldPicture cropped(CutToSelection(source, 3, 2, 38, 20));
    EXPECT_TRUE(SamePixels(*saved, *cropped));
}

TEST(batch_edits, BrightnessAndContrastAreOneChangeBrightnessFirst)
{
    const HeldPicture source(Pattern(19, 7, 24));
    ASSERT_TRUE(SaveDib(*source, "in.bmp", 3));
    const HeldPicture paletted(Pattern(13, 5, 8));
    ASSERT_TRUE(SaveDib(*paletted, "in8.bmp", 3));

    struct Case
    {
        QStringList args;
        int32_t brightness;
        int32_t contrast;
    };
    const Case cases[] = {
        {{QStringLiteral("--contrast"), QStringLiteral("150"), QStringLiteral("--brightness"),
          QStringLiteral("-40")},
         -40,
         150},
        {{QStringLiteral("--brightness"), QStringLiteral("127")}, 127, 100},
        {{QStringLiteral("--contrast"), QStringLiteral("0")}, 0, 0},
    };
    for (const char* file : {"in.bmp", "in8.bmp"})
        for (const Case& c : cases) {
            SCOPED_TRACE(
                QStringLiteral("%1 %2").arg(QLatin1String(file), c.args.join(' ')).toStdString());
            const ToolRun run =
                RunTool(QStringList{QString::fromLatin1(file), QStringLiteral("--save"),
                                    QStringLiteral("out.bmp")} +
                        c.args);
            ASSERT_EQ(run.status, 0) << run.err.toStdString();
            HeldPicture expected(OpenDib(file, 0));
            ApplyBrightnessContrast(*expected, c.brightness, c.contrast);
            const HeldPicture saved(OpenDib("out.bmp", 0));
            ASSERT_NE(saved->Bits, nullptr);
            EXPECT_EQ(saved->Info->bmiHeader.biBitCount, expected->Info->bmiHeader.biBitCount);
            // Paletted pictures keep their indices; their colours change.
            for (int32_t y = 0; y < DIBHeight(*saved); ++y)
                for (int32_t x = 0; x < DIBWidth(*saved); ++x) {
                    ASSERT_EQ(testsupport::ColourAt(*saved, x, y),
                              testsupport::ColourAt(*expected, x, y))
                        << x << "," << y;
                }
        }
}

TEST(batch_edits, SaveTypeFollowsTheNameUnlessGivenAndFailuresKeepTheOldFile)
{
    const HeldPicture source(Pattern(10, 6, 8));
    ASSERT_TRUE(SaveDib(*source, "in.bmp", 3));
    {
        QFile old(QStringLiteral("old.png"));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("the old file");
    }
    const QFileInfo before(QStringLiteral("old.png"));

    // A name that says nothing needs the type given; a TGA by its extension.
    EXPECT_EQ(
        RunTool({QStringLiteral("in.bmp"), QStringLiteral("--save"), QStringLiteral("pic.tga")})
            .status,
        0);
    EXPECT_EQ(
        RunTool({QStringLiteral("in.bmp"), QStringLiteral("--save"), QStringLiteral("pic.data"),
                 QStringLiteral("--save-type"), QStringLiteral("PCX")})
            .status,
        0);
    for (const char* name : {"pic.tga", "pic.data"}) {
        const HeldPicture back(OpenDib(name, 0));
        EXPECT_TRUE(SamePixels(*back, *source)) << name;
    }
    QFile pcx(QStringLiteral("pic.data"));
    ASSERT_TRUE(pcx.open(QIODevice::ReadOnly));
    EXPECT_EQ(pcx.read(1), QByteArray("\x0A", 1)); // a PCX file's manufacturer byte

    // A save that fails: one error line, status 1, the old file as it was.
    QFile::setPermissions(QStringLiteral("old.png"), QFileDevice::ReadOwner);
    const QString noFolder = testsupport::TestDir() + QStringLiteral("/none/pic.png");
    for (const QString& target : {noFolder, QStringLiteral("/proc/version.png")}) {
        SCOPED_TRACE(target.toStdString());
        const ToolRun run = RunTool({QStringLiteral("in.bmp"), QStringLiteral("--save"), target});
        ExpectOneErrorLine(run, 1);
        EXPECT_TRUE(run.err.contains(QStringLiteral("Couldn't save file!")));
    }
    EXPECT_FALSE(QFileInfo::exists(noFolder));

    // A dry run names the file and writes nothing.
    const ToolRun dry = RunTool({QStringLiteral("in.bmp"), QStringLiteral("--dry-run"),
                                 QStringLiteral("--save"), QStringLiteral("dry.jpg")});
    EXPECT_EQ(dry.status, 0);
    EXPECT_EQ(dry.out, QStringLiteral("Save: dry.jpg (JPEG)\n"));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("dry.jpg")));
    QFile old(QStringLiteral("old.png"));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("the old file"));
}

TEST(batch_edits, SavingAloneOrWithInfoPrintsNothingAndWithOutputBoth)
{
    const HeldPicture source(Pattern(30, 20, 24));
    ASSERT_TRUE(SaveDib(*source, "in.bmp", 3));

    // Without -o the window's printer would be the default PDF file in the home folder.
    QStringList expectedFiles = QDir(testsupport::TestDir()).entryList(QDir::Files)
                                << QStringLiteral("a.bmp");
    expectedFiles.sort();
    ToolRun run =
        RunTool({QStringLiteral("in.bmp"), QStringLiteral("--rotate"), QStringLiteral("left"),
                 QStringLiteral("--save"), QStringLiteral("a.bmp")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(QDir(testsupport::TestDir()).entryList(QDir::Files), expectedFiles);

    run = RunTool({QStringLiteral("--info"), QStringLiteral("in.bmp"), QStringLiteral("--crop"),
                   QStringLiteral("0,0,7,5"), QStringLiteral("--save"), QStringLiteral("b.bmp")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("Width: 7\nHeight: 5\nColors: 16777216\n"));
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("b.bmp")));

    run = RunTool({QStringLiteral("in.bmp"), QStringLiteral("--rotate"), QStringLiteral("right"),
                   QStringLiteral("--save"), QStringLiteral("c.bmp"), QStringLiteral("-o"),
                   QStringLiteral("c.pdf")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("c.bmp")));
    EXPECT_GT(QFileInfo(QStringLiteral("c.pdf")).size(), 0);
    const HeldPicture turned(OpenDib("c.bmp", 0));
    EXPECT_EQ(DIBWidth(*turned), 20);
    EXPECT_EQ(DIBHeight(*turned), 30);
}

TEST(batch_edits, BadValuesGiveStatusTwoAndOneLine)
{
    const HeldPicture source(Pattern(40, 30, 24));
    ASSERT_TRUE(SaveDib(*source, "in.bmp", 3));
    const QString in = QStringLiteral("in.bmp");
    const std::vector<QStringList> cases = {
        {in, QStringLiteral("--crop"), QStringLiteral("1,2,3")},
        {in, QStringLiteral("--crop"), QStringLiteral("5,5,5,9")},
        {in, QStringLiteral("--crop"), QStringLiteral("-1,0,10,10")},
        {in, QStringLiteral("--crop"), QStringLiteral("a,b,c,d")},
        // Inside the numbers' rules but outside the picture, found once it is read.
        {in, QStringLiteral("--crop"), QStringLiteral("0,0,41,30"), QStringLiteral("-o"),
         QStringLiteral("x.pdf")},
        // After a turn the picture is 30 wide.
        {in, QStringLiteral("--rotate"), QStringLiteral("left"), QStringLiteral("--crop"),
         QStringLiteral("0,0,31,40")},
        {in, QStringLiteral("--rotate"), QStringLiteral("up")},
        {in, QStringLiteral("--brightness"), QStringLiteral("128")},
        {in, QStringLiteral("--brightness"), QStringLiteral("1.5")},
        {in, QStringLiteral("--contrast"), QStringLiteral("-1")},
        {in, QStringLiteral("--contrast"), QStringLiteral("201")},
        {in, QStringLiteral("--save"), QStringLiteral("x.unknown")},
        {in, QStringLiteral("--save"), QStringLiteral("x.png"), QStringLiteral("--save-type"),
         QStringLiteral("gif")},
        {in, QStringLiteral("--save-type"), QStringLiteral("png")},
        {in, QStringLiteral("--scan-mode"), QStringLiteral("Color")},
        {QStringLiteral("--scan"), QStringLiteral("test:0"), in},
        {QStringLiteral("--scan"), QStringLiteral("--scan-resolution"), QStringLiteral("0")},
        {QStringLiteral("--scan"), QStringLiteral("--scan-depth"), QStringLiteral("24")},
        {QStringLiteral("--scan"), QStringLiteral("--scan-timeout"), QStringLiteral("0")},
        {QStringLiteral("--scan"), QStringLiteral("--scan-timeout"), QStringLiteral("soon")},
        {in, QStringLiteral("--scan-timeout"), QStringLiteral("30")},
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        ExpectOneErrorLine(RunTool(args), 2);
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("x.pdf")));
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("x.png")));
    }
}

TEST(batch_scan, ScansInPlaceOfAFileInEachMode)
{
    const SaneTestConfig sane;
    struct Case
    {
        QStringList args;
        const char* facts;
    };
    const Case cases[] = {
        {{QStringLiteral("--scan")}, "Width: 78\nHeight: 98\nColors: 256\n"},
        {{QStringLiteral("--scan"), QStringLiteral("test:0"), QStringLiteral("--scan-mode"),
          QStringLiteral("color")},
         "Width: 78\nHeight: 98\nColors: 16777216\n"},
        {{QStringLiteral("--scan=test:0"), QStringLiteral("--scan-mode"), QStringLiteral("Gray"),
          QStringLiteral("--scan-depth"), QStringLiteral("1")},
         "Width: 78\nHeight: 98\nColors: 2\n"},
        {{QStringLiteral("--scan"), QStringLiteral("--scan-depth"), QStringLiteral("16")},
         "Width: 78\nHeight: 98\nColors: 256\n"},
        {{QStringLiteral("--scan"), QStringLiteral("--scan-resolution"), QStringLiteral("50")},
         "Width: 157\nHeight: 196\nColors: 256\n"},
        // Edits apply to a scan as to a file.
        {{QStringLiteral("--scan"), QStringLiteral("--rotate"), QStringLiteral("left")},
         "Width: 98\nHeight: 78\nColors: 256\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const ToolRun run = RunTool(QStringList{QStringLiteral("--info")} + c.args);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(FirstLines(run.out, 3), QString::fromLatin1(c.facts));
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    }

    const ToolRun print =
        RunTool({QStringLiteral("--scan"), QStringLiteral("test:0"), QStringLiteral("--width"),
                 QStringLiteral("2"), QStringLiteral("-o"), QStringLiteral("scan.pdf")});
    EXPECT_EQ(print.status, 0) << print.err.toStdString();
    EXPECT_GT(QFileInfo(QStringLiteral("scan.pdf")).size(), 0);
    if (testsupport::HaveProgram(QStringLiteral("pdfinfo"))) {
        ASSERT_TRUE(testsupport::Run(QStringLiteral("pdfinfo scan.pdf > info.txt")));
        QFile info(QStringLiteral("info.txt"));
        ASSERT_TRUE(info.open(QIODevice::ReadOnly));
        EXPECT_TRUE(info.readAll().contains("Pages:           4"));
    }
}

TEST(batch_scan, NoScannerOrAnUnknownOneOrModeIsOneErrorLine)
{
    {
        const SaneTestConfig none({}, SaneTestConfig::NoBackend);
        const ToolRun run = RunTool({QStringLiteral("--info"), QStringLiteral("--scan")});
        ExpectOneErrorLine(run, 1);
        EXPECT_EQ(run.err, QStringLiteral("velmora-poster: No scanner found\n"));
    }
    const SaneTestConfig sane;
    for (const QStringList& args :
         {QStringList{QStringLiteral("--scan"), QStringLiteral("nosuch:0")},
          QStringList{QStringLiteral("--scan"), QStringLiteral("--scan-mode"),
                      QStringLiteral("Lineart")}}) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        const ToolRun run =
            RunTool(QStringList{QStringLiteral("-o"), QStringLiteral("no.pdf")} + args);
        ExpectOneErrorLine(run, 1);
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("no.pdf")));
    }
}

TEST(batch_scan, ADepthOrResolutionTheScannerLacksIsRefusedWithWhatItHas)
{
    const SaneTestConfig sane;
    const struct
    {
        QStringList args;
        const char* error;
    } cases[] = {
        {{QStringLiteral("--scan-depth"), QStringLiteral("3")},
         "velmora-poster: the scanner has no depth of 3 bits (it has 1, 8, 16)\n"},
        {{QStringLiteral("--scan-mode"), QStringLiteral("color"), QStringLiteral("--scan-depth"),
          QStringLiteral("12")},
         "velmora-poster: the scanner has no depth of 12 bits (it has 1, 8, 16)\n"},
        {{QStringLiteral("--scan-resolution"), QStringLiteral("5000")},
         "velmora-poster: the scanner has no resolution of 5000 dpi (it has 1 to 1200 dpi)\n"},
        {{QStringLiteral("--scan-resolution"), QStringLiteral("0.5")},
         "velmora-poster: the scanner has no resolution of 0.5 dpi (it has 1 to 1200 dpi)\n"},
        // The device's own steps: whole dots per inch.
        {{QStringLiteral("--scan-resolution"), QStringLiteral("30.5")},
         "velmora-poster: the scanner has no resolution of 30.5 dpi (it has 1 to 1200 dpi in "
         "steps of 1)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const ToolRun run = RunTool(QStringList{QStringLiteral("--info"), QStringLiteral("--scan"),
                                                QStringLiteral("test:0")} +
                                    c.args);
        ExpectOneErrorLine(run, 1);
        EXPECT_EQ(run.err, QString::fromLatin1(c.error));
        EXPECT_TRUE(run.out.isEmpty());
    }
    // The ends of the range are offered.
    const ToolRun top = RunTool({QStringLiteral("--info"), QStringLiteral("--scan"),
                                 QStringLiteral("--scan-resolution"), QStringLiteral("1")});
    EXPECT_EQ(top.status, 0) << top.err.toStdString();
}

TEST(batch_scan, AJammedScannerAnswersAtOnceAndMemoryRunningOutIsOneLine)
{
    {
        const SaneTestConfig jammed({QStringLiteral("read-status-code \"SANE_STATUS_JAMMED\"")});
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer clock;
            clock.start();
            const ToolRun run = RunTool({QStringLiteral("--scan"), QStringLiteral("test:0"),
                                         QStringLiteral("--scan-mode"), QStringLiteral("Gray"),
                                         QStringLiteral("--info")});
            ExpectOneErrorLine(run, 1);
            EXPECT_EQ(run.err, QStringLiteral("velmora-poster: test:0: The scanner is jammed.\n"));
            EXPECT_LT(clock.elapsed(), 10000);
        }
    }
    if (!testsupport::HaveProgram(QStringLiteral("prlimit")))
        GTEST_SKIP() << "prlimit missing";
    // Within 220 MB of address space a small scan fits; a colour scan of 16 bits a sample at
    // 1200 dpi (107 MB of frame, 54 MB of picture) does not, and says so instead of aborting.
    const SaneTestConfig sane;
    const QStringList limit = {QStringLiteral("prlimit"), QStringLiteral("--as=%1").arg(220 << 20)};
    const ToolRun small = RunTool({QStringLiteral("--scan"), QStringLiteral("--info")}, limit);
    EXPECT_EQ(small.status, 0) << small.err.toStdString();
    const ToolRun large = RunTool(
        {QStringLiteral("--scan"), QStringLiteral("test:0"), QStringLiteral("--scan-mode"),
         QStringLiteral("Color"), QStringLiteral("--scan-depth"), QStringLiteral("16"),
         QStringLiteral("--scan-resolution"), QStringLiteral("1200"), QStringLiteral("--info")},
        limit);
    ExpectOneErrorLine(large, 1);
    EXPECT_EQ(large.err,
              QStringLiteral(
                  "velmora-poster: test:0: There is not enough memory for the scanned picture.\n"));
}

} // namespace

namespace {

QString TaggedFile(const QByteArray& bytes, const QString& name)
{
    const QString path = testsupport::TestDir() + u'/' + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

QByteArray PhotoBytes(const char* format, int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 5, y * 7, (x * y) & 0xFF));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format, 95));
    return bytes;
}

// --info of a JPEG that needs no pixels comes from its header, its data only checked: it says
// what a run that decodes the picture says (--brightness 0 makes it decode), upright by its tag,
// after edits of its blocks, grey or colour; a file damaged inside its data, or claiming more
// pixels than a picture may have, is refused by both alike.
TEST(batch_info, AJpegsHeaderTellsWhatItsDecodedPictureWould)
{
    const QByteArray colour = PhotoBytes("JPEG", 45, 29);
    QImage greyImage(37, 21, QImage::Format_Grayscale8);
    greyImage.fill(90);
    QByteArray damaged = colour;
    damaged.insert(damaged.size() / 2 + 40, "\xFF\xD5", 2); // a restart marker with no interval
    struct Case
    {
        QByteArray bytes;
        QStringList edits;
    };
    const Case cases[] = {
        {testsupport::WithJpegExif(colour, testsupport::ExifBlock(testsupport::OrientationTiff(6))),
         {QStringLiteral("--mirror"), QStringLiteral("--crop"), QStringLiteral("3,2,20,40")}},
        {testsupport::EncodedImage(greyImage, "JPEG"),
         {QStringLiteral("--rotate"), QStringLiteral("left")}},
        {damaged, {}},
    };
    for (const Case& c : cases) {
        const QString file = TaggedFile(c.bytes, QStringLiteral("info.jpg"));
        SCOPED_TRACE(c.edits.join(u' ').toStdString());
        const QStringList run = QStringList{QStringLiteral("--info"), file, QStringLiteral("-o"),
                                            QStringLiteral("info.pdf")} +
                                c.edits;
        const ToolRun header = RunTool(run);
        const ToolRun decoded =
            RunTool(run + QStringList{QStringLiteral("--brightness"), QStringLiteral("0")});
        EXPECT_EQ(header.status, decoded.status);
        EXPECT_EQ(header.out, decoded.out);
        EXPECT_EQ(header.err, decoded.err);
    }
    const ToolRun grey =
        RunTool({QStringLiteral("--info"), TaggedFile(testsupport::EncodedImage(greyImage, "JPEG"),
                                                      QStringLiteral("grey.jpg"))});
    EXPECT_EQ(FirstLines(grey.out, 3), QStringLiteral("Width: 37\nHeight: 21\nColors: 256\n"));
    const ToolRun refused =
        RunTool({QStringLiteral("--info"), TaggedFile(damaged, QStringLiteral("damaged.jpg"))});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("damaged"))) << refused.err.toStdString();

    // A grey JPEG of 40000 x 30000 pixels whose data all decode: every block a zero DC step
    // and an end of block, one bit each in one-code tables. Above the largest picture there
    // is, it is refused as a read refuses it, before its data is decoded.
    QByteArray huge = QByteArray::fromHex("FFD8"
                                          "FFDB004300") +
                      QByteArray(64, 1) +
                      QByteArray::fromHex("FFC0000B0875309C4001011100"
                                          "FFC40014000100000000000000000000000000000000"
                                          "FFC40014100100000000000000000000000000000000"
                                          "FFDA0008010100003F00");
    huge += QByteArray(40000 / 8 * (30000 / 8) * 2 / 8, '\0') + QByteArray::fromHex("FFD9");
    const ToolRun tooLarge =
        RunTool({QStringLiteral("--info"), TaggedFile(huge, QStringLiteral("huge.jpg"))});
    EXPECT_EQ(tooLarge.status, 1);
    EXPECT_TRUE(tooLarge.err.contains(QStringLiteral("too large"))) << tooLarge.err.toStdString();
}

TEST(batch_orientation, InfoShowsTheUprightSizeAndTheTagAndAsStoredTheStoredOne)
{
    const QByteArray jpeg = PhotoBytes("JPEG", 45, 29);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const QString file =
            TaggedFile(testsupport::WithJpegExif(
                           jpeg, testsupport::ExifBlock(testsupport::OrientationTiff(orientation))),
                       QStringLiteral("tagged.jpg"));
        const ToolRun run = RunTool({QStringLiteral("--info"), file});
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        const bool across = orientation >= 5;
        EXPECT_EQ(FirstLines(run.out, 4),
                  QStringLiteral("Width: %1\nHeight: %2\nColors: 16777216\nOrientation: %3 (%4)\n")
                      .arg(across ? 29 : 45)
                      .arg(across ? 45 : 29)
                      .arg(orientation)
                      .arg(OrientationText(orientation)));
        const ToolRun stored =
            RunTool({QStringLiteral("--info"), QStringLiteral("--as-stored"), file});
        EXPECT_EQ(FirstLines(stored.out, 2), QStringLiteral("Width: 45\nHeight: 29\n"));
    }
    EXPECT_EQ(OrientationText(6), QStringLiteral("turned right on load"));
}

TEST(batch_orientation, ASavedPictureIsUprightWithoutATagAndADamagedTagIsIgnored)
{
    const QByteArray png = PhotoBytes("PNG", 30, 20);
    const QString tagged =
        TaggedFile(testsupport::WithPngExif(png, testsupport::OrientationTiff(8, true)),
                   QStringLiteral("tagged.png"));
    const QString plain = TaggedFile(png, QStringLiteral("plain.png"));
    const QString saved = testsupport::TestDir() + QStringLiteral("/saved.png");
    ASSERT_EQ(RunTool({tagged, QStringLiteral("--save"), saved}).status, 0);
    // The saved file shows upright by itself: no tag turns it a second time.
    EXPECT_EQ(PictureOrientationOfFile(saved), 0);
    const HeldPicture upright(OpenDib(QFile::encodeName(saved).constData(), 0));
    const HeldPicture stored(OpenDib(QFile::encodeName(plain).constData(), 0));
    const HeldPicture turned(RotateLeft(*stored));
    EXPECT_TRUE(SamePixels(*upright, *turned));

    // A tag whose directory is cut short is no tag: the picture loads as stored.
    QByteArray block = testsupport::ExifBlock(testsupport::OrientationTiff(6));
    block.chop(12);
    const QString damaged = TaggedFile(testsupport::WithJpegExif(PhotoBytes("JPEG", 45, 29), block),
                                       QStringLiteral("damaged.jpg"));
    const ToolRun run = RunTool({QStringLiteral("--info"), damaged});
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(FirstLines(run.out, 3), QStringLiteral("Width: 45\nHeight: 29\nColors: 16777216\n"));
    EXPECT_FALSE(run.out.contains(QStringLiteral("Orientation")));
}

} // namespace

TEST(batch_profiles, InfoNamesTheProfileAndOneLeftOutIsToldOnceWhetherThePictureIsDecodedOrNot)
{
    const QByteArray rgb = testsupport::GhostscriptProfile("a98.icc");
    if (rgb.isEmpty())
        GTEST_SKIP() << "Ghostscript's profiles (libgs-common) missing";
    const QString kept = TaggedFile(testsupport::WithJpegIcc(PhotoBytes("JPEG", 45, 29), rgb),
                                    QStringLiteral("kept.jpg"));
    const ToolRun info = RunTool({QStringLiteral("--info"), kept});
    ASSERT_EQ(info.status, 0) << info.err.toStdString();
    EXPECT_EQ(ReportLines(info.out)[QStringLiteral("Colour profile")],
              QStringLiteral("Artifex Software A98 ICC Profile (RGB, 564 bytes)"));
    EXPECT_EQ(info.err, QString());

    QImage grey(45, 29, QImage::Format_Grayscale8);
    grey.fill(90);
    const QString refused =
        TaggedFile(testsupport::WithJpegIcc(testsupport::EncodedImage(grey, "JPEG"), rgb),
                   QStringLiteral("refused.jpg"));
    const QString pdf = testsupport::TestDir() + QStringLiteral("/poster.pdf");
    const QString line = QStringLiteral(
        "velmora-poster: %1: colour profile left out: an RGB profile on a grey picture\n");
    // Printed from the JPEG's own data, then from its pixels after an edit.
    for (const QStringList& edit :
         {QStringList{}, QStringList{QStringLiteral("--brightness"), QStringLiteral("10")}}) {
        SCOPED_TRACE(edit.join(u' ').toStdString());
        const ToolRun run = RunTool(QStringList{QStringLiteral("-o"), pdf, refused} + edit);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(run.err, line.arg(refused));
        EXPECT_TRUE(QFileInfo(pdf).size() > 0);
    }
    const ToolRun quiet = RunTool({QStringLiteral("-o"), pdf, kept});
    ASSERT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, QString());
}
