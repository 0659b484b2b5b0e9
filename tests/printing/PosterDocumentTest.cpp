// SPDX-License-Identifier: GPL-3.0-or-later
// The poster document as a PDF file, read back with poppler's tools: every page's picture holds
// exactly the picture's pixels for its share, a JPEG goes in as its own blocks, and a job that
// stops leaves the file of that name as it was.
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "PdfReadBack.h"
#include "PictureColour.h"
#include "PosterSamples.h"
#include "PrintJob.h"
#include "PrinterMetrics.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

using namespace pdftest;

TEST(PosterDocument, ViewersAreToldNotToScaleAndEveryPageIsThePaper)
{
    HeldPicture picture(NoisePicture(60, 40, 24, 7));
    const PrintJobInputs in = AllPagesOf(60, 40);
    const QString pdf = testsupport::TestDir() + QStringLiteral("/scale.pdf");
    ASSERT_TRUE(PrintToPdf(*picture, in, pdf).ok());
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(file.readAll());
    // The catalog that the trailer names asks for no scaling when printed.
    const QRegularExpressionMatch root =
        QRegularExpression(QStringLiteral("/Root (\\d+) 0 R")).match(text);
    ASSERT_TRUE(root.hasMatch());
    const QRegularExpressionMatch catalog =
        QRegularExpression(QStringLiteral("\\n%1 0 obj\\n(<<.*?>>)\\nendobj").arg(root.captured(1)),
                           QRegularExpression::DotMatchesEverythingOption)
            .match(text);
    ASSERT_TRUE(catalog.hasMatch());
    EXPECT_TRUE(catalog.captured(1).contains(
        QStringLiteral("/ViewerPreferences << /PrintScaling /None >>")))
        << catalog.captured(1).toStdString();
    // Six pages, each an A4 sheet (595.28 x 841.89 points) as the printer has it.
    int pages = 0;
    auto it = QRegularExpression(QStringLiteral("/MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]"))
                  .globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        EXPECT_NEAR(m.captured(1).toDouble(), 595.28, 0.01);
        EXPECT_NEAR(m.captured(2).toDouble(), 841.89, 0.01);
        ++pages;
    }
    EXPECT_EQ(pages, 6);
}

TEST(PosterDocument, AOneBitPictureShowsItsOwnTwoColours)
{
    if (!testsupport::HaveProgram("pdftoppm"))
        GTEST_SKIP() << "poppler-utils missing";
    HeldPicture picture(newdib(40, 30, 1, nullptr, 0));
    picture->Info->bmiColors[0] = {0, 0, 255, 0}; // red
    picture->Info->bmiColors[1] = {255, 0, 0, 0}; // blue
    for (int y = 0; y < 30; ++y)
        for (int x = 20; x < 40; ++x)
            setpixel(*picture, x, y, 1);
    PrintJobInputs in = AllPagesOf(40, 30);
    in.render.geometry = {1.0, 1.0, 1, 1};
    const QString pdf = testsupport::TestDir() + QStringLiteral("/two.pdf");
    ASSERT_TRUE(PrintToPdf(*picture, in, pdf).ok());
    ASSERT_TRUE(
        testsupport::Run(QStringLiteral("pdftoppm -r 20 -singlefile -png '%1' '%1'").arg(pdf)));
    const QImage page(pdf + QStringLiteral(".png"));
    ASSERT_FALSE(page.isNull());
    const QSize printable = PrintableOf(pdf) * 20 / kDpi;
    const int ox = page.width() - printable.width(); // about the margin, on both sides
    EXPECT_EQ(page.pixel(ox / 2 + printable.width() / 4, page.height() / 4), qRgb(255, 0, 0));
    EXPECT_EQ(page.pixel(ox / 2 + printable.width() * 3 / 4, page.height() / 4), qRgb(0, 0, 255));
}

TEST(PosterDocument, EveryPageHoldsExactlyItsShareOfThePixelsInEveryDepth)
{
    if (!HavePoppler())
        GTEST_SKIP() << "poppler-utils missing";
    for (const int bits : {1, 4, 8, 24}) {
        SCOPED_TRACE(bits);
        const HeldPicture picture(NoisePicture(61, 43, bits, unsigned(bits)));
        PrintJobInputs in = AllPagesOf(61, 43);
        // Shares widened onto the glue strips overlap their neighbours'.
        in.render.options.PrintOnGlueEdge = true;
        in.render.options.NoGlueOnPosterEdge = false;
        const QString pdf = testsupport::TestDir() + QStringLiteral("/depth%1.pdf").arg(bits);
        const PrintResult r = PrintToPdf(*picture, in, pdf);
        ASSERT_TRUE(r.ok()) << r.error.toStdString();

        const std::vector<Share> shares = Shares(in, PrintableOf(pdf));
        const std::vector<ImageEntry> images = ListImages(pdf);
        ASSERT_EQ(images.size(), shares.size());
        const QString prefix = testsupport::TestDir() + QStringLiteral("/img%1").arg(bits);
        ASSERT_TRUE(testsupport::Run(QStringLiteral("pdfimages -png '%1' '%2'").arg(pdf, prefix)));
        for (size_t k = 0; k < shares.size(); ++k) {
            SCOPED_TRACE(k);
            const Share& s = shares[k];
            // A paletted picture keeps its colour table and its depth.
            EXPECT_EQ(images[k].colour, bits == 24 ? "rgb" : "index");
            EXPECT_EQ(images[k].bits, bits == 24 ? 8 : bits);
            EXPECT_EQ(images[k].encoding, "image");
            const QImage image(QStringLiteral("%1-%2.png").arg(prefix).arg(k, 3, 10, QChar('0')));
            ASSERT_EQ(image.size(), QSize(s.x1 - s.x0, s.bottom - s.top));
            // pdfimages writes a 1-bit image as black and white, whatever its two colours: there
            // the index is compared, black for 1 (the colours are checked on the page below).
            int wrong = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    wrong += bits == 1
                                 ? (qGray(image.pixel(x, y)) < 128) !=
                                       (getpixel(*picture, s.x0 + x, s.top + y) == 1)
                                 : (image.pixel(x, y) & 0xFFFFFF) !=
                                       QRgb(testsupport::ColourAt(*picture, s.x0 + x, s.top + y));
            EXPECT_EQ(wrong, 0);
        }
    }
}

TEST(PosterDocument, AJpegGoesInAsItsOwnBlocksEachPageOnlyItsShare)
{
    if (!HavePoppler() || !testsupport::HaveProgram("cjpeg") || !testsupport::HaveProgram("djpeg"))
        GTEST_SKIP() << "poppler-utils or libjpeg-turbo-progs missing";
    const HeldPicture noise(NoisePicture(203, 141, 24, 7));
    for (const char* sampling : {"2x2", "1x1"}) {
        SCOPED_TRACE(sampling);
        const QString jpg = WriteJpeg(*noise, QStringLiteral("photo"), sampling);
        ASSERT_FALSE(jpg.isEmpty());
        const HeldPicture picture(OpenDib(QFile::encodeName(jpg).constData(), 0));
        ASSERT_NE(picture->Bits, nullptr);
        PrintJobInputs in = AllPagesOf(203, 141);
        in.render.options.CenterPicture = true;
        in.source = PosterSource::Jpeg(ReadJpegSource(jpg));
        ASSERT_NE(in.source.jpeg(), nullptr);
        const QString pdf = testsupport::TestDir() + QStringLiteral("/photo.pdf");
        ASSERT_TRUE(PrintToPdf(*picture, in, pdf).ok());

        const std::vector<Share> shares = Shares(in, PrintableOf(pdf));
        const std::vector<ImageEntry> images = ListImages(pdf);
        ASSERT_EQ(images.size(), shares.size());
        const QString prefix = testsupport::TestDir() + QStringLiteral("/part");
        ASSERT_TRUE(testsupport::Run(QStringLiteral("pdfimages -j '%1' '%2'").arg(pdf, prefix)));
        const QImage whole = DecodeExactly(jpg);
        ASSERT_FALSE(whole.isNull());
        const int grid = QByteArray(sampling) == "2x2" ? 16 : 8;
        qint64 bytes = 0;
        for (size_t k = 0; k < shares.size(); ++k) {
            SCOPED_TRACE(k);
            EXPECT_EQ(images[k].encoding, "jpeg");
            const QString part = QStringLiteral("%1-%2.jpg").arg(prefix).arg(k, 3, 10, QChar('0'));
            bytes += QFile(part).size();
            const QImage decoded = DecodeExactly(part);
            // The share, with at most a grid unit and a sample's blocks more on each side.
            const Share& s = shares[k];
            EXPECT_LE(decoded.width(), s.x1 - s.x0 + 2 * (grid + 16));
            EXPECT_LE(decoded.height(), s.bottom - s.top + 2 * (grid + 16));
            EXPECT_EQ(ShareDistance(decoded, whole, s), 0);
        }
        // Each page carries its own share, not the whole picture.
        EXPECT_LT(bytes, QFile(jpg).size() * 2);
    }
}

// Each share of a JPEG shows where its pixels would: the same poster drawn from the decoded
// pixels looks the same, but for the decoders' small differences and a pixel at the edges.
TEST(PosterDocument, AJpegShareLandsWhereItsPixelsWould)
{
    if (!testsupport::HaveProgram("pdftoppm") || !testsupport::HaveProgram("cjpeg"))
        GTEST_SKIP() << "poppler-utils or libjpeg-turbo-progs missing";
    HeldPicture smooth(newdib(203, 141, 24, nullptr, 0));
    for (int y = 0; y < 141; ++y)
        for (int x = 0; x < 203; ++x)
            setpixel(*smooth, x, y, (x * 255 / 202) << 16 | (y * 255 / 140) << 8 | 128);
    const QString jpg = WriteJpeg(*smooth, QStringLiteral("smooth"), "2x2");
    ASSERT_FALSE(jpg.isEmpty());
    const HeldPicture picture(OpenDib(QFile::encodeName(jpg).constData(), 0));
    ASSERT_NE(picture->Bits, nullptr);
    PrintJobInputs in = AllPagesOf(203, 141);
    in.render.options.CenterPicture = true;
    in.render.options.PrintOnGlueEdge = true;
    const QString reference = testsupport::TestDir() + QStringLiteral("/pixels.pdf");
    ASSERT_TRUE(PrintToPdf(*picture, in, reference).ok());
    in.source = PosterSource::Jpeg(ReadJpegSource(jpg));
    const QString pdf = testsupport::TestDir() + QStringLiteral("/blocks.pdf");
    ASSERT_TRUE(PrintToPdf(*picture, in, pdf).ok());
    for (const QString& file : {pdf, reference})
        ASSERT_TRUE(testsupport::Run(QStringLiteral("pdftoppm -r 30 -png '%1' '%1'").arg(file)));
    for (int k = 1; k <= 6; ++k) {
        SCOPED_TRACE(k);
        const QImage a(QStringLiteral("%1-%2.png").arg(pdf).arg(k));
        const QImage b(QStringLiteral("%1-%2.png").arg(reference).arg(k));
        ASSERT_FALSE(a.isNull());
        ASSERT_EQ(a.size(), b.size());
        int far = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb u = a.pixel(x, y), v = b.pixel(x, y);
                far += std::abs(qRed(u) - qRed(v)) + std::abs(qGreen(u) - qGreen(v)) +
                           std::abs(qBlue(u) - qBlue(v)) >
                       30;
            }
        EXPECT_LT(far, a.width() * a.height() / 100);
    }
}

TEST(PosterDocument, AJpegWithoutPixelsWhoseDataDoesNotCutAsksForThemAndLeavesNoFile)
{
    const QString jpg = NoiseJpeg(120, 90, 3, QStringLiteral("cut"), "2x2");
    if (jpg.isEmpty())
        GTEST_SKIP() << "cjpeg missing";
    QFile file(jpg);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray whole = file.readAll();
    file.resize(whole.size() * 2 / 3); // the end of the data is missing
    file.close();
    PrintJobInputs in = AllPagesOf(120, 90);
    in.source = PosterSource::Jpeg(ReadJpegSource(jpg));
    ASSERT_NE(in.source.jpeg(), nullptr); // its header still reads
    const QString pdf = testsupport::TestDir() + QStringLiteral("/none.pdf");
    const PrintResult r = PrintToPdf(PictureRecord(), in, pdf);
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.needsPixels);
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST(PosterDocument, AJobThatStopsLeavesTheOldFileAndNoOther)
{
    const HeldPicture picture(testsupport::RegionPicture(60, 40));
    const QString dir = testsupport::TestDir() + QStringLiteral("/out");
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString pdf = dir + QStringLiteral("/poster.pdf");
    {
        QFile old(pdf);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("the poster printed yesterday");
    }
    const PrintResult stopped = PrintToPdf(*picture, AllPagesOf(60, 40), pdf, [](int visited, int) {
        if (visited == 2)
            RequestPrintStop();
    });
    ClearPrintStop();
    EXPECT_FALSE(stopped.ok());
    EXPECT_EQ(stopped.error, QStringLiteral("The print job was interrupted."));
    QFile old(pdf);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("the poster printed yesterday"));
    old.close();
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{"poster.pdf"});

    // A job that goes through replaces it, and only then.
    const PrintResult done = PrintToPdf(*picture, AllPagesOf(60, 40), pdf);
    EXPECT_TRUE(done.ok()) << done.error.toStdString();
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_TRUE(old.read(5) == "%PDF-");
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{"poster.pdf"});
}

} // namespace
