// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-poster with a PDF page or an SVG as the poster's source: the sheets carry the page as
// vectors, and show what the same poster printed from the page's rendering shows.
#include "TestSupport.h"
#include "ToolRun.h"

#include <QBuffer>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

#include <cmath>

namespace {

bool HaveTools()
{
    for (const char* tool : {"qpdf", "pdftoppm", "pdftotext", "pdfimages", "pdfinfo"})
        if (!testsupport::HaveProgram(QString::fromLatin1(tool)))
            return false;
    return true;
}

void Write(const QString& name, const QByteArray& bytes)
{
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QString Output(const QString& command)
{
    const QString out = testsupport::TestDir() + QStringLiteral("/command.txt");
    if (!testsupport::Run(command + QStringLiteral(" > '") + out + QLatin1Char('\'')))
        return QStringLiteral("(failed)");
    QFile file(out);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Three A4 pages in Helvetica, which the file does not embed; the second turned a quarter and
// cropped, with a red box, a blue diagonal and lines of text, so that every share differs.
void WriteThreePages(const QString& name)
{
    QByteArray pdf = "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
                     "2 0 obj << /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 "
                     "/Resources << /Font << /F1 7 0 R >> >> >> endobj\n"
                     "3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] "
                     "/Contents 6 0 R >> endobj\n"
                     "4 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] "
                     "/CropBox [40 60 555 800] /Rotate 90 /Contents 6 0 R >> endobj\n"
                     "5 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] "
                     "/Contents 6 0 R >> endobj\n";
    const QByteArray content = "6 w 0 0 1 RG 50 50 m 545 792 l S 1 0 0 rg 100 600 200 150 re f\n"
                               "0 g BT /F1 60 Tf 70 420 Td (Hello poster) Tj ET\n"
                               "BT /F1 36 Tf 300 120 Td (Far corner) Tj ET\n";
    pdf += "6 0 obj << /Length " + QByteArray::number(content.size()) + " >> stream\n" + content +
           "endstream endobj\n"
           "7 0 obj << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> endobj\n"
           "trailer << /Root 1 0 R /Size 8 >>\n%%EOF\n";
    Write(QStringLiteral("raw.pdf"), pdf);
    // qpdf writes the cross-reference table the hand-made file lacks.
    ASSERT_TRUE(testsupport::Run(QStringLiteral("qpdf --warning-exit-0 raw.pdf '%1'").arg(name)));
}

// Every sheet of two posters, rasterised alike, differs by little: the vector sheets are the
// sheets printed from the page's rendering, without its pixels' steps.
void ExpectSameSheets(const QString& vectors, const QString& pixels)
{
    const QString pages = Output(QStringLiteral("pdfinfo '%1' | grep Pages").arg(vectors));
    ASSERT_EQ(pages, Output(QStringLiteral("pdfinfo '%1' | grep Pages").arg(pixels)));
    const int count = pages.section(QLatin1Char(':'), 1).trimmed().toInt();
    ASSERT_GT(count, 1);
    for (int n = 1; n <= count; ++n) {
        SCOPED_TRACE(n);
        for (const QString& pdf : {vectors, pixels})
            ASSERT_TRUE(testsupport::Run(
                QStringLiteral("pdftoppm -r 24 -f %1 -l %1 -singlefile -png '%2' '%2-%1'")
                    .arg(n)
                    .arg(pdf)));
        const QImage a(QStringLiteral("%1-%2.png").arg(vectors).arg(n));
        const QImage b(QStringLiteral("%1-%2.png").arg(pixels).arg(n));
        ASSERT_EQ(a.size(), b.size());
        EXPECT_LT(testsupport::MeanDifference(a, b), 6.0);
        int dark = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                dark += qGray(a.pixel(x, y)) < 128;
        EXPECT_GT(dark, 0) << "every sheet shows some of the page";
    }
}

TEST(batch_drawing, APdfPageIsPrintedAsVectorsInTheSamePlacesAsItsRendering)
{
    if (!HaveTools())
        GTEST_SKIP() << "qpdf or poppler-utils missing";
    WriteThreePages(QStringLiteral("three.pdf"));

    const ToolRun info = RunTool({QStringLiteral("three.pdf"), QStringLiteral("--page"),
                                  QStringLiteral("2"), QStringLiteral("--info")});
    ASSERT_EQ(info.status, 0) << info.err.toStdString();
    const auto fields = ReportLines(info.out);
    EXPECT_EQ(fields.at(QStringLiteral("Pages")), QStringLiteral("3"));
    // Turned: the crop box's 740 pt become the width.
    EXPECT_EQ(fields.at(QStringLiteral("Page 2")), QStringLiteral("261.1 x 181.7 mm, vectors"));

    // The text stays text: a sheet shows the words in its share.
    const ToolRun plain =
        RunTool({QStringLiteral("three.pdf"), QStringLiteral("--width"), QStringLiteral("2"),
                 QStringLiteral("-o"), QStringLiteral("plain.pdf")});
    ASSERT_EQ(plain.status, 0) << plain.err.toStdString();
    const QString corner = Output(QStringLiteral("pdftotext -f 4 -l 4 plain.pdf -"));
    EXPECT_TRUE(corner.contains(QStringLiteral("Far corner"))) << corner.toStdString();

    // Turned, mirrored and cut as well, so that the view's edits are checked too, and with the
    // assembly sheet, which draws the page small and faint from the same copy.
    const QStringList poster = {QStringLiteral("three.pdf"),
                                QStringLiteral("--page"),
                                QStringLiteral("2"),
                                QStringLiteral("--rotate"),
                                QStringLiteral("left"),
                                QStringLiteral("--mirror"),
                                QStringLiteral("--crop"),
                                QStringLiteral("50,100,900,1300"),
                                QStringLiteral("--assembly-sheet"),
                                QStringLiteral("--width"),
                                QStringLiteral("2")};
    const ToolRun vectors = RunTool(poster + QStringList{"-o", "vectors.pdf"});
    ASSERT_EQ(vectors.status, 0) << vectors.err.toStdString();
    EXPECT_EQ(vectors.err.count(QStringLiteral("Helvetica")), 1) << vectors.err.toStdString();
    // A brightness step of nothing turns the page into its rendering's pixels.
    const ToolRun pixels = RunTool(poster + QStringList{"--brightness", "0", "-o", "pixels.pdf"});
    ASSERT_EQ(pixels.status, 0) << pixels.err.toStdString();
    EXPECT_TRUE(pixels.err.contains(QStringLiteral("make the drawing pixels")))
        << pixels.err.toStdString();

    // No picture in the vector sheets, and the text is text.
    EXPECT_EQ(Output(QStringLiteral("pdfimages -list vectors.pdf | tail -n +3 | wc -l")).trimmed(),
              QStringLiteral("0"));
    // The sheets' pixels are a fresh rendering at 300 ppi of the poster, not the window's coarser
    // one (the assembly sheet, page 1, has a small faint copy).
    const QStringList ppi =
        Output(QStringLiteral("pdfimages -list pixels.pdf | tail -n +3 | awk '$1 > 1 {print $13}'"))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(ppi.isEmpty());
    for (const QString& each : ppi)
        EXPECT_NEAR(each.toInt(), 300, 2);
    const QString fonts = Output(QStringLiteral("pdffonts vectors.pdf"));
    EXPECT_TRUE(fonts.contains(QStringLiteral("Helvetica"))) << fonts.toStdString();
    ExpectSameSheets(QStringLiteral("vectors.pdf"), QStringLiteral("pixels.pdf"));

    // Saved, the turned page is 300 dpi of its own size: 181.7 x 261.1 mm.
    const ToolRun saved =
        RunTool({QStringLiteral("three.pdf"), QStringLiteral("--page"), QStringLiteral("2"),
                 QStringLiteral("--rotate"), QStringLiteral("left"), QStringLiteral("--save"),
                 QStringLiteral("page.png")});
    ASSERT_EQ(saved.status, 0) << saved.err.toStdString();
    const QImage page(QStringLiteral("page.png"));
    EXPECT_NEAR(page.width(), 2146, 2);
    EXPECT_NEAR(page.height(), 3084, 2);
    // Saved as PDF, it stays vectors on a page of its size: the crop box's 515 x 740 points.
    const ToolRun asPdf =
        RunTool({QStringLiteral("three.pdf"), QStringLiteral("--page"), QStringLiteral("2"),
                 QStringLiteral("--rotate"), QStringLiteral("left"), QStringLiteral("--save"),
                 QStringLiteral("page.pdf")});
    ASSERT_EQ(asPdf.status, 0) << asPdf.err.toStdString();
    const QStringList size = Output(QStringLiteral("pdfinfo page.pdf | grep 'Page size'"))
                                 .section(QLatin1Char(':'), 1)
                                 .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    ASSERT_GE(size.size(), 3);
    EXPECT_NEAR(size[0].toDouble(), 515, 0.5);
    EXPECT_NEAR(size[2].toDouble(), 740, 0.5);
    EXPECT_EQ(Output(QStringLiteral("pdfimages -list page.pdf | tail -n +3 | wc -l")).trimmed(),
              QStringLiteral("0"));
    EXPECT_TRUE(Output(QStringLiteral("pdftotext page.pdf -")).contains(QStringLiteral("Hello")));
}

TEST(batch_drawing, AnSvgWithAGradientPrintsAsVectors)
{
    if (!HaveTools())
        GTEST_SKIP() << "qpdf or poppler-utils missing";
    Write(QStringLiteral("sign.svg"),
          "<svg xmlns='http://www.w3.org/2000/svg' width='400' height='300'>"
          "<defs><linearGradient id='g'><stop offset='0' stop-color='#f00'/>"
          "<stop offset='1' stop-color='#00f'/></linearGradient></defs>"
          "<rect width='400' height='300' fill='url(#g)'/>"
          "<circle cx='200' cy='150' r='90' fill='#0a0'/></svg>");
    const QStringList poster = {QStringLiteral("sign.svg"), QStringLiteral("--width"),
                                QStringLiteral("2")};
    const ToolRun vectors = RunTool(poster + QStringList{"-o", "vectors.pdf"});
    ASSERT_EQ(vectors.status, 0) << vectors.err.toStdString();
    const ToolRun pixels = RunTool(poster + QStringList{"--brightness", "0", "-o", "pixels.pdf"});
    ASSERT_EQ(pixels.status, 0) << pixels.err.toStdString();
    EXPECT_EQ(Output(QStringLiteral("pdfimages -list vectors.pdf | tail -n +3 | wc -l")).trimmed(),
              QStringLiteral("0"));
    ExpectSameSheets(QStringLiteral("vectors.pdf"), QStringLiteral("pixels.pdf"));

    // As a dot screen the drawing prints as its dots, made from its rendering, not as its page.
    const ToolRun dots = RunTool(poster + QStringList{"--dots", "5mm", "-o", "dots.pdf"});
    ASSERT_EQ(dots.status, 0) << dots.err.toStdString();
    QFile dotted(QStringLiteral("dots.pdf"));
    ASSERT_TRUE(dotted.open(QIODevice::ReadOnly));
    EXPECT_FALSE(dotted.readAll().contains("/Subtype /Form")) << "the page's vectors went in";
}

// A drawing that holds a photo is sharp only in its vectors: the report gives the photo's
// resolution on the poster, with the warning a coarse picture gets.
TEST(batch_drawing, ThePicturesInADrawingSayHowCoarseTheyPrint)
{
    QImage photo(40, 20, QImage::Format_RGB32);
    photo.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && photo.save(&buffer, "PNG"));
    // The photo spans half the drawing's width.
    Write(QStringLiteral("photo.svg"),
          "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
          "width='400' height='300'><rect width='400' height='300' fill='#ccc'/>"
          "<image width='200' height='100' xlink:href='data:image/png;base64," +
              png.toBase64() + "'/></svg>");
    const ToolRun info =
        RunTool({QStringLiteral("photo.svg"), QStringLiteral("--width"), QStringLiteral("2"),
                 QStringLiteral("--info"), QStringLiteral("-o"), QStringLiteral("photo.pdf")});
    ASSERT_EQ(info.status, 0) << info.err.toStdString();
    const auto fields = ReportLines(info.out);
    const QString size = fields.at(QStringLiteral("Finished size"));
    const double inches =
        size.section(QLatin1Char('('), 1).section(QLatin1Char(' '), 0, 0).toDouble();
    ASSERT_GT(inches, 10);
    EXPECT_EQ(fields.at(QStringLiteral("Picture on paper")),
              QStringLiteral("vectors, sharp at any size; its images from %1 ppi, the print will "
                             "look very coarse")
                  .arg(std::lround(40 / (inches / 2))));
}

TEST(batch_drawing, LockedDamagedAndMissingPagesGiveOneLineAndNoFile)
{
    if (!HaveTools())
        GTEST_SKIP() << "qpdf or poppler-utils missing";
    WriteThreePages(QStringLiteral("three.pdf"));
    ASSERT_TRUE(testsupport::Run(QStringLiteral(
        "qpdf --warning-exit-0 --encrypt secret owner 256 -- three.pdf locked.pdf")));
    QFile whole(QStringLiteral("three.pdf"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    Write(QStringLiteral("cut.pdf"), whole.read(200));
    const struct
    {
        QStringList arguments;
        const char* says;
    } cases[] = {
        {{QStringLiteral("locked.pdf")}, "needs a password"},
        {{QStringLiteral("cut.pdf")}, "cut.pdf: "},
        {{QStringLiteral("three.pdf"), QStringLiteral("--page"), QStringLiteral("4")},
         "has no page 4; it has 3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        const ToolRun run = RunTool(c.arguments + QStringList{"--width", "2", "-o", "out.pdf"});
        EXPECT_NE(run.status, 0);
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(c.says))) << run.err.toStdString();
        EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(QStringLiteral("out.pdf")));
    }
}

} // namespace
