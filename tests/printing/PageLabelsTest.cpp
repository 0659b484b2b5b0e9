// SPDX-License-Identifier: GPL-3.0-or-later
// Page labels and the assembly sheet in the poster document, read back with poppler's tools:
// the labels' texts in print order, their places clear of every picture pixel that stays
// visible, and the assembly sheet's list of the pages left out.
#include "PageLabels.h"
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "PosterSamples.h"
#include "PrintJob.h"
#include "TestSupport.h"

#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

constexpr int kDpi = 150;
constexpr int kRasterDpi = 100;

bool HavePoppler()
{
    return testsupport::HaveProgram("pdftotext") && testsupport::HaveProgram("pdftoppm") &&
           testsupport::HaveProgram("pdfinfo");
}

PrintResult PrintToPdf(const PictureRecord& picture, const PrintJobInputs& in, const QString& file)
{
    QPrinter printer(QPrinter::HighResolution);
    testsupport::SetUpPdfPrinter(printer, file, kDpi);
    PrinterPageSink sink(printer);
    return PrintPoster(sink, picture, in, nullptr);
}

// A picture of one colour, so that any of its pixels is easy to find on a page.
PictureRecord Solid(int w, int h)
{
    PictureRecord p = newdib(w, h, 24, nullptr, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            setpixel(p, x, y, 0xFF0000);
    DIBChanged(p);
    return p;
}

QString Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The text of page n, its lines simplified.
QString PageText(const QString& pdf, int n)
{
    const QString out = testsupport::TestDir() + QStringLiteral("/page.txt");
    if (!testsupport::Run(QStringLiteral("pdftotext -f %1 -l %1 '%2' '%3'").arg(n).arg(pdf, out)))
        return {};
    return Read(out).simplified();
}

int PageCount(const QString& pdf)
{
    const QString out = testsupport::TestDir() + QStringLiteral("/info.txt");
    if (!testsupport::Run(QStringLiteral("pdfinfo '%1' > '%2'").arg(pdf, out)))
        return -1;
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(Read(out));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The words of page n with their boxes in points, from the page's top-left corner.
struct Word
{
    QRectF box;
    QString text;
};
std::vector<Word> PageWords(const QString& pdf, int n)
{
    const QString out = testsupport::TestDir() + QStringLiteral("/words.html");
    std::vector<Word> words;
    if (!testsupport::Run(
            QStringLiteral("pdftotext -bbox -f %1 -l %1 '%2' '%3'").arg(n).arg(pdf, out)))
        return words;
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" "
                       "yMax=\"([0-9.]+)\">([^<]*)</word>"));
    auto it = word.globalMatch(Read(out));
    while (it.hasNext()) {
        const auto m = it.next();
        words.push_back({QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                QPointF(m.captured(3).toDouble(), m.captured(4).toDouble())),
                         m.captured(5)});
    }
    return words;
}

} // namespace

TEST(PageLabels, ColumnsRunFromAToZThenAAAndRowsFromOne)
{
    const std::pair<int, const char*> columns[] = {{0, "A"},    {1, "B"},    {25, "Z"},  {26, "AA"},
                                                   {27, "AB"},  {51, "AZ"},  {52, "BA"}, {99, "CV"},
                                                   {701, "ZZ"}, {702, "AAA"}};
    for (const auto& [column, letters] : columns)
        EXPECT_EQ(ColumnLetters(column), QString::fromLatin1(letters)) << column;
    EXPECT_EQ(PageName(0, 0), "A1");
    EXPECT_EQ(PageName(1, 0), "B1");
    EXPECT_EQ(PageName(0, 1), "A2");
    EXPECT_EQ(PageName(27, 99), "AB100");
}

TEST(PageLabels, EachPageSaysWhereItGoesInPrintOrder)
{
    if (!HavePoppler())
        GTEST_SKIP() << "poppler-utils missing";
    HeldPicture picture(Solid(300, 200));
    const struct
    {
        PrintOrder order;
        PageChoice choice;
        std::vector<const char*> labels;
    } cases[] = {
        // Down each column in turn; then along each row in turn.
        {PrintOrder::RowPerRow, PageChoice::AllPages, {"A1", "A2", "B1", "B2", "C1", "C2"}},
        {PrintOrder::ColumnPerColumn, PageChoice::AllPages, {"A1", "B1", "C1", "A2", "B2", "C2"}},
        // B1 and C2 switched off: four pages, numbered among themselves.
        {PrintOrder::RowPerRow, PageChoice::NotTheClickedOff, {"A1", "A2", "B2", "C1"}},
        {PrintOrder::ColumnPerColumn, PageChoice::NotTheClickedOff, {"A1", "C1", "A2", "B2"}},
    };
    for (const auto& c : cases) {
        PrintJobInputs in = testsupport::ThreeByTwo(300, 200);
        in.order = c.order;
        in.choice = c.choice;
        in.pageLabels = true;
        // Glue strips on every page, so that each has a place for its label.
        in.render.options.NoGlueOnPosterEdge = false;
        const QString pdf = testsupport::TestDir() + QStringLiteral("/labels.pdf");
        ASSERT_TRUE(PrintToPdf(*picture, in, pdf).ok());
        const int count = int(c.labels.size());
        for (int i = 0; i < count; ++i) {
            const QString text = PageText(pdf, i + 1);
            EXPECT_TRUE(text.startsWith(QStringLiteral("%1 page %2 of %3 poster ")
                                            .arg(QString::fromLatin1(c.labels[i]))
                                            .arg(i + 1)
                                            .arg(count)))
                << i << ": " << text.toStdString();
            EXPECT_TRUE(text.endsWith(QStringLiteral(" cm"))) << text.toStdString();
        }
        EXPECT_EQ(PageCount(pdf), count);
    }
    // Without the option, the pages carry nothing.
    PrintJobInputs plain = testsupport::ThreeByTwo(300, 200);
    const QString pdf = testsupport::TestDir() + QStringLiteral("/plain.pdf");
    ASSERT_TRUE(PrintToPdf(*picture, plain, pdf).ok());
    EXPECT_TRUE(PageText(pdf, 1).isEmpty());
}

TEST(PageLabels, NoLabelLiesOverAPicturePixelThatStaysVisible)
{
    if (!HavePoppler())
        GTEST_SKIP() << "poppler-utils missing";
    HeldPicture picture(Solid(300, 200));
    const struct
    {
        const char* what;
        bool noGlueOnPosterEdge;
        bool printOnGlueEdge;
    } layouts[] = {
        {"glue strips blank, none on the poster edge", true, false},
        {"glue strips blank on every page", false, false},
        // The picture runs on under the next sheet: a label there is covered, not shown.
        {"picture on the glue strips", false, true},
    };
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.what);
        PrintJobInputs in = testsupport::ThreeByTwo(300, 200);
        in.render.options.NoGlueOnPosterEdge = layout.noGlueOnPosterEdge;
        in.render.options.PrintOnGlueEdge = layout.printOnGlueEdge;
        in.render.options.GlueLines = layout.printOnGlueEdge;
        in.render.options.CutHelpLines = false;
        in.pageLabels = true;
        const QString pdf = testsupport::TestDir() + QStringLiteral("/clear.pdf");
        ASSERT_TRUE(PrintToPdf(*picture, in, pdf).ok());
        ASSERT_TRUE(testsupport::Run(
            QStringLiteral("pdftoppm -r %1 -png '%2' '%2'").arg(kRasterDpi).arg(pdf)));
        const auto order = PageOrder(in.order, 3, 2);
        for (int i = 0; i < 6; ++i) {
            const auto [column, row] = order[size_t(i)];
            const QImage page(QStringLiteral("%1-%2.png").arg(pdf).arg(i + 1));
            ASSERT_FALSE(page.isNull());
            const std::vector<Word> words = PageWords(pdf, i + 1);
            // The bottom-right page of a poster without glue strips on its edges is picture
            // to its edges: it has no place for a label, and carries none.
            if (layout.noGlueOnPosterEdge && column == 2 && row == 1) {
                EXPECT_TRUE(words.empty());
                continue;
            }
            ASSERT_FALSE(words.empty()) << "page " << i + 1;
            EXPECT_EQ(words.front().text, PageName(column, row));
            // Where the page's visible picture ends, in points from the sheet's corner.
            const QSizeF paper(page.width() * 72.0 / kRasterDpi, page.height() * 72.0 / kRasterDpi);
            for (const Word& w : words) {
                const QRect px(
                    QPoint(int(w.box.left() * kRasterDpi / 72), int(w.box.top() * kRasterDpi / 72)),
                    QPoint(int(w.box.right() * kRasterDpi / 72),
                           int(w.box.bottom() * kRasterDpi / 72)));
                ASSERT_TRUE(page.rect().contains(px)) << w.text.toStdString();
                int red = 0;
                for (int y = px.top(); y <= px.bottom(); ++y)
                    for (int x = px.left(); x <= px.right(); ++x) {
                        const QRgb c = page.pixel(x, y);
                        red += qRed(c) > 200 && qGreen(c) < 90 && qBlue(c) < 90;
                    }
                if (!layout.printOnGlueEdge) {
                    EXPECT_EQ(red, 0) << "page " << i + 1 << ", " << w.text.toStdString();
                    continue;
                }
                // On the glue strip of a sheet that another covers: below the picture area
                // (95 % of the printable height, from the 10 mm margin) of a page not in the
                // last row, or right of it on a page not in the last column.
                const double marginPt = 10 / 25.4 * 72;
                const double areaW = (paper.width() - 2 * marginPt) * 0.95;
                const double areaH = (paper.height() - 2 * marginPt) * 0.95;
                const bool inBottomStrip = w.box.top() >= marginPt + areaH - 1 && row < 1;
                const bool inRightStrip = w.box.left() >= marginPt + areaW - 1 && column < 2;
                EXPECT_TRUE(red == 0 || inBottomStrip || inRightStrip)
                    << "page " << i + 1 << ", " << w.text.toStdString();
            }
        }
    }
}

TEST(PageLabels, TheAssemblySheetComesFirstAndListsExactlyThePagesLeftOut)
{
    if (!HavePoppler())
        GTEST_SKIP() << "poppler-utils missing";
    HeldPicture picture(Solid(300, 200));
    const struct
    {
        PageChoice choice;
        const char* leftOut;
        int marks;
    } cases[] = {
        {PageChoice::NotTheClickedOff, "Left out: B1, C2", 2},
        {PageChoice::AllPages, "Left out: none", 0},
    };
    for (const auto& c : cases) {
        PrintJobInputs in = testsupport::ThreeByTwo(300, 200);
        in.choice = c.choice;
        in.assemblySheet = true;
        const QString pdf = testsupport::TestDir() + QStringLiteral("/sheet.pdf");
        const PrintResult result = PrintToPdf(*picture, in, pdf);
        ASSERT_TRUE(result.ok()) << result.error.toStdString();
        const QString sheet = PageText(pdf, 1);
        EXPECT_TRUE(sheet.startsWith(QStringLiteral("Assembly: 3 x 2 pages, ")))
            << sheet.toStdString();
        EXPECT_TRUE(sheet.contains(QString::fromLatin1(c.leftOut))) << sheet.toStdString();
        EXPECT_EQ(sheet.count(QStringLiteral("left out")), c.marks) << sheet.toStdString();
        for (const char* name : {"A1", "B1", "C1", "A2", "B2", "C2"})
            EXPECT_TRUE(sheet.contains(QString::fromLatin1(name))) << name;
        EXPECT_TRUE(sheet.contains(QStringLiteral("Glue: lay each sheet's right strip under")));
        // The poster's own pages follow, as many as without the sheet, and carry no labels.
        const int pages = c.choice == PageChoice::AllPages ? 6 : 4;
        EXPECT_EQ(result.pagesPrinted, pages);
        EXPECT_EQ(PageCount(pdf), pages + 1);
        EXPECT_FALSE(PageText(pdf, 2).contains(QStringLiteral("Assembly")));
    }
}
