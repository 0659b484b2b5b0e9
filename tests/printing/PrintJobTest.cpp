// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrintJob.h"
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "HelpLines.h"
#include "PosterSamples.h"
#include "PrinterMetrics.h"
#include "TestSupport.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <new>

#include <cstdlib>

namespace {

using Pages = std::vector<std::pair<int, int>>;

TEST(PageOrder, BothChoicesOnThreeByTwo)
{
    EXPECT_EQ(PageOrder(PrintOrder::RowPerRow, 3, 2),
              (Pages{{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}}));
    EXPECT_EQ(PageOrder(PrintOrder::ColumnPerColumn, 3, 2),
              (Pages{{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}}));
    EXPECT_TRUE(PageOrder(PrintOrder::RowPerRow, 0, 2).empty());
}

TEST(PictureArea, GlueStripsTakenOffOnlyWithGlueEdge)
{
    PrintOptions o;
    o.GlueEdge = true;
    EXPECT_EQ(PictureAreaOf(QSize(4800, 6800), o, 5, 5), QSize(4560, 6460));
    o.GlueEdge = false;
    EXPECT_EQ(PictureAreaOf(QSize(4800, 6800), o, 5, 5), QSize(4800, 6800));
}

TEST(HelpLinePages, CutAndGlueLineRulesOnThreeByTwo)
{
    PrintOptions o;
    o.CutHelpLines = true;
    o.GlueLines = true;
    o.NoLinesOnPosterEdge = true;
    o.NoGlueOnPosterEdge = true;
    struct
    {
        int c, r;
        bool cut, glue;
    } cases[] = {{0, 0, false, true}, {0, 1, false, false}, {2, 0, false, false},
                 {1, 1, true, false}, {1, 0, false, true},  {2, 1, true, false}};
    for (const auto& k : cases) {
        EXPECT_EQ(HasCutLines(o, k.c, k.r), k.cut) << k.c << "," << k.r;
        EXPECT_EQ(HasGlueLines(o, k.c, k.r, 3, 2), k.glue) << k.c << "," << k.r;
    }
    o.NoLinesOnPosterEdge = false;
    o.NoGlueOnPosterEdge = false;
    for (const auto& [c, r] : PageOrder(PrintOrder::RowPerRow, 3, 2)) {
        EXPECT_TRUE(HasCutLines(o, c, r));
        EXPECT_TRUE(HasGlueLines(o, c, r, 3, 2));
    }
}

// The lines as described, one pixel at a time.
QImage ReferenceLines(int w, int h, bool glue)
{
    QImage img(w + 4, h + 4, QImage::Format_RGB32);
    img.fill(qRgb(0, 128, 0));
    int counter = 0;
    QRgb colour = qRgb(0, 0, 0);
    auto step = [&] {
        if (++counter == 30) {
            counter = 0;
            colour = colour == qRgb(0, 0, 0) ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
        }
    };
    auto set = [&](int x, int y) {
        if (img.valid(x, y))
            img.setPixel(x, y, colour);
    };
    for (int x = 0; x < w; ++x) {
        step();
        if (!glue) {
            set(x, 0);
            set(x, 1);
        } else if (counter < 10) {
            set(x, h - 1);
            set(x, h - 2);
        }
    }
    for (int y = 0; y < h; ++y) {
        step();
        if (!glue) {
            set(0, y);
            set(1, y);
        } else if (counter < 10) {
            set(w - 1, y);
            set(w - 2, y);
        }
    }
    return img;
}

QImage RunLines(int w, int h, bool glue)
{
    QImage img(w + 4, h + 4, QImage::Format_RGB32);
    img.fill(qRgb(0, 128, 0));
    QPainter p(&img);
    DrawLineRuns(p, glue ? GlueLineRuns(w, h) : CutLineRuns(w, h));
    return img;
}

TEST(HelpLineRuns, MatchOnePixelAtATimeDrawing)
{
    const QSize sizes[] = {{100, 100}, {1, 1}, {2, 3}, {29, 31}, {60, 90}, {457, 646}};
    for (const QSize s : sizes)
        for (bool glue : {false, true})
            EXPECT_EQ(RunLines(s.width(), s.height(), glue),
                      ReferenceLines(s.width(), s.height(), glue))
                << s.width() << "x" << s.height() << (glue ? " glue" : " cut");
}

TEST(HelpLineRuns, DashesOverAHundredPixels)
{
    const QImage cut = RunLines(100, 100, false);
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    for (auto [x, c] : {std::pair{2, black},
                        {28, black},
                        {29, white},
                        {58, white},
                        {59, black},
                        {88, black},
                        {89, white},
                        {99, white}})
        EXPECT_EQ(cut.pixel(x, 0), c) << x;
    // The left line continues the count: 100 steps done, so it starts white, black from y 19.
    EXPECT_EQ(cut.pixel(0, 18), white);
    EXPECT_EQ(cut.pixel(0, 19), black);
    const QImage glue = RunLines(100, 100, true);
    const QRgb none = qRgb(0, 128, 0);
    for (auto [x, c] : {std::pair{0, black},
                        {8, black},
                        {9, none},
                        {28, none},
                        {29, white},
                        {38, white},
                        {39, none},
                        {59, black},
                        {68, black},
                        {89, white},
                        {98, white}})
        EXPECT_EQ(glue.pixel(x, 99), c) << x;
}

// Pages painted into images; fails on request.
class ImageSink : public PageSink
{
public:
    QSize size{200, 300};
    int failNewPageAt = -1;
    bool failBegin = false;
    bool outOfMemory = false; // the failing new page runs out of memory instead
    int begun = 0, ended = 0, aborted = 0;
    QString docName;
    std::vector<QImage> pages;

    QSize PrintableSize() const override { return size; }
    void SetDocName(const QString& name) override { docName = name; }
    PageCanvas* BeginDocument() override
    {
        if (failBegin)
            return nullptr;
        ++begun;
        StartPage();
        return &canvas_;
    }
    bool NewPage() override
    {
        if (int(pages.size()) == failNewPageAt) {
            if (outOfMemory)
                throw std::bad_alloc();
            return false;
        }
        painter_.end();
        StartPage();
        return true;
    }
    bool EndDocument() override
    {
        painter_.end();
        ++ended;
        return true;
    }
    void Abort() override
    {
        if (painter_.isActive())
            painter_.end();
        ++aborted;
    }
    QString ErrorText() const override { return QStringLiteral("paper jam"); }

private:
    void StartPage()
    {
        pages.emplace_back(size, QImage::Format_RGB32);
        pages.back().fill(Qt::white);
        painter_.begin(&pages.back());
    }
    QPainter painter_;
    PainterCanvas canvas_{painter_};
};

using testsupport::RegionColour;
using testsupport::RegionPicture;
using testsupport::ThreeByTwo;

TEST(PrintPoster, SkipsSwitchedOffPagesButCountsThem)
{
    const HeldPicture picture(RegionPicture(60, 40));
    for (PageChoice choice : {PageChoice::AllPages, PageChoice::NotTheClickedOff}) {
        ImageSink sink;
        PrintJobInputs in = ThreeByTwo(60, 40);
        in.choice = choice;
        std::vector<int> progress;
        const PrintResult r = PrintPoster(sink, *picture, in, [&](int visited, int total) {
            EXPECT_EQ(total, 6);
            progress.push_back(visited);
        });
        const int expected = choice == PageChoice::AllPages ? 6 : 4;
        EXPECT_TRUE(r.ok());
        EXPECT_EQ(r.pagesPrinted, expected);
        EXPECT_EQ(int(sink.pages.size()), expected);
        EXPECT_EQ(progress, (std::vector<int>{1, 2, 3, 4, 5, 6}));
        EXPECT_EQ(sink.begun, 1);
        EXPECT_EQ(sink.ended, 1);
        EXPECT_EQ(sink.docName, QStringLiteral("Kantelberg Poster"));
    }
}

TEST(PrintPoster, NoDocumentWhenEveryPageIsOff)
{
    const HeldPicture picture(RegionPicture(60, 40));
    ImageSink sink;
    PrintJobInputs in = ThreeByTwo(60, 40);
    in.choice = PageChoice::NotTheClickedOff;
    in.pagesOff.fill(1);
    const PrintResult r = PrintPoster(sink, *picture, in, nullptr);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.pagesPrinted, 0);
    EXPECT_EQ(sink.begun + sink.ended, 0);
}

TEST(PrintPoster, PrinterFailureAbortsAndIsReported)
{
    const HeldPicture picture(RegionPicture(60, 40));
    for (bool failBegin : {true, false}) {
        ImageSink sink;
        sink.failBegin = failBegin;
        sink.failNewPageAt = 2;
        int visits = 0;
        const PrintResult r =
            PrintPoster(sink, *picture, ThreeByTwo(60, 40), [&](int, int) { ++visits; });
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.error, QStringLiteral("paper jam"));
        EXPECT_EQ(r.pagesPrinted, failBegin ? 0 : 2);
        EXPECT_EQ(sink.aborted, 1);
        EXPECT_EQ(sink.ended, 0);
        EXPECT_EQ(visits, failBegin ? 0 : 2);
    }
}

TEST(PrintPoster, RunningOutOfMemoryAbortsAndIsReported)
{
    const HeldPicture picture(RegionPicture(60, 40));
    ImageSink sink;
    sink.failNewPageAt = 1;
    sink.outOfMemory = true;
    const PrintResult r = PrintPoster(sink, *picture, ThreeByTwo(60, 40), nullptr);
    EXPECT_EQ(r.error, QStringLiteral("Not enough memory to print the poster."));
    EXPECT_EQ(sink.aborted, 1);
    EXPECT_EQ(sink.ended, 0);
}

TEST(PrintPoster, PageShowsItsRegionAndHelpLines)
{
    const HeldPicture picture(RegionPicture(60, 40));
    ImageSink sink;
    PrintJobInputs in = ThreeByTwo(60, 40);
    in.choice = PageChoice::NotTheClickedOff;
    in.render.options.GlueLines = true;
    PrintPoster(sink, *picture, in, nullptr);
    ASSERT_EQ(sink.pages.size(), 4u);
    const Pages printed{{0, 0}, {0, 1}, {1, 1}, {2, 0}};
    for (size_t k = 0; k < printed.size(); ++k)
        EXPECT_EQ(sink.pages[k].pixel(95, 140), RegionColour(printed[k].first, printed[k].second))
            << k;
    // Page (1, 1) has cut lines (picture area 190 x 285), no glue lines (last row).
    const QImage& p11 = sink.pages[2];
    EXPECT_EQ(p11.pixel(10, 0), qRgb(0, 0, 0));
    EXPECT_EQ(p11.pixel(40, 1), qRgb(255, 255, 255));
    // Page (0, 0): glue lines, no cut lines.
    const QImage& p00 = sink.pages[0];
    EXPECT_EQ(p00.pixel(4, 284), qRgb(0, 0, 0));
    EXPECT_EQ(p00.pixel(10, 0), RegionColour(0, 0));
}

// The PDF renderer may shift a colour by a step or two.
bool Near(QRgb a, QRgb b)
{
    constexpr int kTolerance = 4;
    return std::abs(qRed(a) - qRed(b)) <= kTolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= kTolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= kTolerance;
}

TEST(PrintPoster, EndToEndPdf)
{
    if (!testsupport::HaveProgram("pdfinfo") || !testsupport::HaveProgram("pdftoppm"))
        GTEST_SKIP() << "poppler-utils missing";
    const HeldPicture picture(RegionPicture(60, 40));
    constexpr int kDpi = 100;
    const QString file = testsupport::TestDir() + "/poster.pdf";
    {
        QPrinter printer(QPrinter::HighResolution);
        testsupport::SetUpPdfPrinter(printer, file, kDpi);
        PrinterPageSink sink(printer);
        PrintJobInputs in = ThreeByTwo(60, 40);
        in.choice = PageChoice::NotTheClickedOff;
        const PrintResult r = PrintPoster(sink, *picture, in, nullptr);
        ASSERT_TRUE(r.ok()) << r.error.toStdString();
        EXPECT_EQ(r.pagesPrinted, 4);
        const PrinterMetrics m = MetricsOf(printer);
        ASSERT_TRUE(testsupport::Run(QString("pdfinfo '%1' > info.txt").arg(file)));
        QFile info("info.txt");
        ASSERT_TRUE(info.open(QIODevice::ReadOnly));
        const QString text = QString::fromLocal8Bit(info.readAll());
        EXPECT_TRUE(text.contains(QRegularExpression("Pages:\\s+4\\b"))) << text.toStdString();
        EXPECT_TRUE(text.contains("Kantelberg Poster")) << text.toStdString();

        ASSERT_TRUE(
            testsupport::Run(QString("pdftoppm -r %1 -aa no -aaVector no -f 3 -l 3 -png '%2' page")
                                 .arg(kDpi)
                                 .arg(file)));
        QImage page("page-3.png");
        ASSERT_FALSE(page.isNull());
        const int ox = m.offsetX, oy = m.offsetY;
        // Page (1, 1): its picture region, and the cut line dashes along the top.
        EXPECT_TRUE(
            Near(page.pixel(ox + m.pageWidth / 2, oy + m.pageHeight / 2), RegionColour(1, 1)));
        EXPECT_TRUE(
            Near(page.pixel(ox + m.pageWidth / 2, oy + m.pageHeight / 4), RegionColour(1, 1)));
        EXPECT_EQ(qGray(page.pixel(ox + 10, oy)), 0);
        EXPECT_EQ(qGray(page.pixel(ox + 40, oy + 1)), 255);
        EXPECT_EQ(qGray(page.pixel(ox + 70, oy)), 0);
    }
}

TEST(PrintPoster, UnwritablePdfIsReportedAndLeavesNoFile)
{
    const HeldPicture picture(RegionPicture(60, 40));
    const QString file = testsupport::TestDir() + "/missing/folder/poster.pdf";
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    PrinterPageSink sink(printer);
    const PrintResult r = PrintPoster(sink, *picture, ThreeByTwo(60, 40), nullptr);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.pagesPrinted, 0);
    EXPECT_FALSE(QFile::exists(file));
}

} // namespace
