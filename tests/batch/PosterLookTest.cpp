// SPDX-License-Identifier: GPL-3.0-or-later
// Small pictures on big posters: smooth enlargement and the dot screen, as printed.
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "TestSupport.h"
#include "ToolRun.h"

#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// Six columns from black to a mid-light grey, 40 levels a column, each `side` pixels wide:
// printed in blocks, the steps are the picture's own.
void SaveSteps(const char* name, int side = 1)
{
    const HeldPicture p(newdib(6 * side, 4 * side, 24, nullptr, 0));
    ASSERT_TRUE(p);
    for (int y = 0; y < 4 * side; ++y)
        for (int x = 0; x < 6 * side; ++x)
            setpixel(p.get(), x, y, 0x010101 * (40 * (x / side)));
    ASSERT_TRUE(SaveDib(p.get(), name, 3));
}

// Six columns and four rows rising by 30 levels a step across and down, from black to a light
// grey: printed in blocks, the steps are the picture's own, across and down.
void SaveDiagonalSteps(const char* name)
{
    const HeldPicture p(newdib(6, 4, 24, nullptr, 0));
    ASSERT_TRUE(p);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            setpixel(p.get(), x, y, 0x010101 * (30 * (x + y)));
    ASSERT_TRUE(SaveDib(p.get(), name, 3));
}

// The grey levels of the picture along a line of a rendered sheet, a row a quarter down or a
// column a quarter across: the run of pixels darker than the paper, less the one at each end
// that the edge blends with the paper.
std::vector<int> PictureLine(const QString& png, bool row)
{
    const QImage page = QImage(png).convertToFormat(QImage::Format_Grayscale8);
    std::vector<int> line;
    if (page.isNull())
        return line;
    const int length = row ? page.width() : page.height();
    for (int i = 0; i < length; ++i) {
        const int v = row ? page.pixelColor(i, page.height() / 4).red()
                          : page.pixelColor(page.width() / 4, i).red();
        if (v < 250)
            line.push_back(v);
    }
    if (line.size() > 2)
        line = std::vector<int>(line.begin() + 1, line.end() - 1);
    return line;
}

int LargestStep(const std::vector<int>& line)
{
    int largest = 0;
    for (size_t i = 1; i < line.size(); ++i)
        largest = std::max(largest, std::abs(line[i] - line[i - 1]));
    return largest;
}

} // namespace

// A 2 x 2 poster, with glue strips between the sheets and without: smoothed, no step between
// neighbouring pixels is a tenth of the range, and the sheet to the right and the sheet below
// go on where the first ended; in blocks, the picture's own steps show.
TEST(batch_look, ASmoothPosterHasNoStepsAndItsSheetsJoinWithoutASeam)
{
    if (!testsupport::HaveProgram(QStringLiteral("pdftoppm")))
        GTEST_SKIP() << "poppler-utils missing";
    SaveDiagonalSteps("steps.bmp");
    for (const QStringList& extra :
         {QStringList{}, QStringList{QStringLiteral("--no-glue-edge")}}) {
        SCOPED_TRACE(extra.join(u' ').toStdString());
        for (const bool smooth : {true, false}) {
            SCOPED_TRACE(smooth ? "smooth" : "blocks");
            QStringList args{QStringLiteral("steps.bmp"),
                             QStringLiteral("--width"),
                             QStringLiteral("2"),
                             QStringLiteral("--height"),
                             QStringLiteral("2"),
                             QStringLiteral("--no-aspect-ratio"),
                             QStringLiteral("--no-cut-lines"),
                             QStringLiteral("-o"),
                             QStringLiteral("steps.pdf")};
            if (smooth)
                args << QStringLiteral("--smooth");
            const ToolRun dry = RunTool(args + extra + QStringList{QStringLiteral("--dry-run")});
            const QStringList order =
                ReportLines(dry.out)[QStringLiteral("Print order")].split(u' ');
            ASSERT_EQ(order.size(), 4) << dry.out.toStdString();
            const ToolRun run = RunTool(args + extra);
            ASSERT_EQ(run.status, 0) << run.err.toStdString();
            const auto sheet = [&order](const char* place) {
                const int page = int(order.indexOf(QLatin1String(place))) + 1;
                EXPECT_GT(page, 0) << place;
                testsupport::Run(
                    QStringLiteral(
                        "pdftoppm -r 50 -gray -f %1 -l %1 -singlefile -png steps.pdf s%1")
                        .arg(page));
                return QStringLiteral("s%1.png").arg(page);
            };
            const QString first = sheet("0,0"), right = sheet("1,0"), below = sheet("0,1");
            for (const bool across : {true, false}) {
                SCOPED_TRACE(across ? "across" : "down");
                const std::vector<int> a = PictureLine(first, across);
                const std::vector<int> b = PictureLine(across ? right : below, across);
                ASSERT_GT(a.size(), 100u);
                ASSERT_GT(b.size(), 100u);
                const int steps = std::max(LargestStep(a), LargestStep(b));
                if (smooth) {
                    EXPECT_LT(steps, 25);
                    EXPECT_LE(std::abs(b.front() - a.back()), 4);
                } else {
                    EXPECT_GE(steps, 28);
                }
            }
        }
    }
}

// A JPEG that the poster does not enlarge prints from its own data with smoothing on, byte for
// byte as without it.
TEST(batch_look, APictureThatIsNotEnlargedPrintsAsWithoutSmoothing)
{
    QImage photo(1200, 900, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
    ASSERT_TRUE(photo.save(QStringLiteral("photo.jpg"), "JPEG", 90));
    const QStringList args{QStringLiteral("photo.jpg"), QStringLiteral("--width"),
                           QStringLiteral("1"),         QStringLiteral("--resolution"),
                           QStringLiteral("150"),       QStringLiteral("-o")};
    ASSERT_EQ(RunTool(args + QStringList{QStringLiteral("plain.pdf")}).status, 0);
    ASSERT_EQ(RunTool(args + QStringList{QStringLiteral("smooth.pdf"), QStringLiteral("--smooth")})
                  .status,
              0);
    QFile plain(QStringLiteral("plain.pdf")), smooth(QStringLiteral("smooth.pdf"));
    ASSERT_TRUE(plain.open(QIODevice::ReadOnly) && smooth.open(QIODevice::ReadOnly));
    const QByteArray bytes = plain.readAll();
    EXPECT_TRUE(bytes.contains("/DCTDecode"));
    EXPECT_EQ(bytes, smooth.readAll());
}

// A metre-wide dot screen is a small document of vectors: no image in it, and the dots' ink
// on a sheet follows the picture.
TEST(batch_look, ADotScreenPosterIsVectorsAndSmall)
{
    if (!testsupport::HaveProgram(QStringLiteral("pdfimages")))
        GTEST_SKIP() << "poppler-utils missing";
    SaveSteps("steps.bmp", 10);
    const ToolRun run =
        RunTool({QStringLiteral("steps.bmp"), QStringLiteral("--width"), QStringLiteral("1m"),
                 QStringLiteral("--dots"), QStringLiteral("10mm"), QStringLiteral("--no-cut-lines"),
                 QStringLiteral("-o"), QStringLiteral("dots.pdf")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_LT(QFile(QStringLiteral("dots.pdf")).size(), 1000 * 1000);
    ASSERT_TRUE(testsupport::Run(QStringLiteral("sh -c 'pdfimages -list dots.pdf > images.txt'")));
    QFile images(QStringLiteral("images.txt"));
    ASSERT_TRUE(images.open(QIODevice::ReadOnly));
    EXPECT_EQ(images.readAll().count('\n'), 2) << "only the list's heading";
    // The first sheet holds the darkest columns, the third lighter ones: less ink there.
    for (const int sheet : {1, 3})
        ASSERT_TRUE(testsupport::Run(
            QStringLiteral("pdftoppm -r 30 -gray -f %1 -l %1 -singlefile -png dots.pdf d-%1")
                .arg(sheet)));
    const auto ink = [](const QString& png) {
        const QImage page = QImage(png).convertToFormat(QImage::Format_Grayscale8);
        EXPECT_FALSE(page.isNull()) << png.toStdString();
        double dark = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                dark += 255 - page.constScanLine(y)[x];
        return dark;
    };
    EXPECT_GT(ink(QStringLiteral("d-1.png")), 1.2 * ink(QStringLiteral("d-3.png")));
}
