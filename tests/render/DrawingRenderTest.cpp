// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing renderer as a caller meets it: PDF pages rendered as pdftoppm renders them, parts,
// rotation and page choice, SVG and SVGZ drawings through PDF, and the reasons it gives for
// damaged files and for helpers that are missing, hang, crash or send garbage.
#include "DrawingRender.h"
#include "RenderProtocol.h"
#include "TestSupport.h"
#include "Translation.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

namespace {

class DrawingRenderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetRenderHelperProgram(QStringLiteral(VELMORA_RENDER_HELPER));
        SetRenderTimeout(std::chrono::seconds(30));
    }
    void TearDown() override
    {
        SetRenderHelperProgram(QStringLiteral(VELMORA_RENDER_HELPER));
        SetRenderTimeout(std::chrono::seconds(30));
    }
};

QString Path(const QString& name)
{
    return testsupport::TestDir() + QLatin1Char('/') + name;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// An A4 PDF of `pages` pages, each drawn by `draw` (page index, painter, page size in pixels).
QByteArray MakePdf(int pages, const std::function<void(int, QPainter&, QSize)>& draw)
{
    const QString path = Path(QStringLiteral("made.pdf"));
    {
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF());
        writer.setResolution(72);
        QPainter painter(&writer);
        for (int i = 0; i < pages; ++i) {
            if (i > 0)
                writer.newPage();
            draw(i, painter, QSize(writer.width(), writer.height()));
        }
    }
    return ReadAll(path);
}

// Shapes, colours and text, so that a rotation, a shift or swapped colours show.
void DrawSample(int, QPainter& p, QSize size)
{
    p.fillRect(QRect(40, 60, 200, 120), QColor(220, 30, 30));
    p.fillRect(QRect(size.width() - 200, size.height() - 250, 150, 200), QColor(20, 60, 200));
    p.setBrush(QColor(30, 160, 60));
    p.drawEllipse(QPoint(size.width() / 2, size.height() / 2), 120, 80);
    p.setFont(QFont(QStringLiteral("DejaVu Sans"), 28));
    p.drawText(QPoint(60, size.height() / 2 + 200), QStringLiteral("Velmora 0123"));
}

QImage ToImage(const PictureRecord& record)
{
    QImage image(DIBWidth(record), DIBHeight(record), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, 0xFF000000u | uint32_t(getpixel(record, x, y)));
    return image;
}

QImage Render(const QByteArray& pdf, int page, QSize size, QRect part = {})
{
    PictureRecord record;
    QString error;
    if (!RenderDrawing(pdf, page, size.width(), size.height(),
                       part.isNull() ? QRect(QPoint(), size) : part, &record, &error)) {
        ADD_FAILURE() << error.toStdString();
        return {};
    }
    const QImage image = ToImage(record);
    deldib(record);
    return image;
}

QString RenderError(const QByteArray& pdf, int page = 0, QSize size = {100, 141})
{
    PictureRecord record;
    QString error;
    if (RenderDrawing(pdf, page, size.width(), size.height(), QRect(QPoint(), size), &record,
                      &error)) {
        deldib(record);
        return QStringLiteral("rendered");
    }
    return error;
}

// pdftoppm's scale is for the page before its rotation is applied.
QImage Pdftoppm(const QByteArray& pdf, int page, QSize unturnedSize)
{
    WriteAll(Path(QStringLiteral("reference.pdf")), pdf);
    EXPECT_TRUE(testsupport::Run(
        QStringLiteral("pdftoppm -f %1 -l %1 -singlefile -scale-to-x %2 -scale-to-y %3 "
                       "reference.pdf reference")
            .arg(page + 1)
            .arg(unturnedSize.width())
            .arg(unturnedSize.height())));
    return QImage(Path(QStringLiteral("reference.ppm"))).convertToFormat(QImage::Format_RGB32);
}

bool Near(QRgb pixel, QColor colour, int tolerance = 12)
{
    return std::abs(qRed(pixel) - colour.red()) <= tolerance &&
           std::abs(qGreen(pixel) - colour.green()) <= tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

TEST_F(DrawingRenderTest, PageMatchesPdftoppmAndAPartIsThatPartOfTheWholePage)
{
    const QByteArray pdf = MakePdf(1, DrawSample);
    const QSize size(413, 585); // A4 at 50 dpi
    const QImage whole = Render(pdf, 0, size);
    ASSERT_EQ(whole.size(), size);
    EXPECT_LT(testsupport::MeanDifference(whole, Pdftoppm(pdf, 0, size)), 1.0);
    // The red box near the top left, white behind the page.
    EXPECT_TRUE(Near(whole.pixel(60, 80), QColor(220, 30, 30)));
    EXPECT_TRUE(Near(whole.pixel(5, 5), Qt::white));

    // Parts reaching the page's edges.
    for (const QRect part : {QRect(30, 50, 200, 150), QRect(0, 0, 413, 585), QRect(412, 584, 1, 1),
                             QRect(200, 300, 213, 285)}) {
        const QImage piece = Render(pdf, 0, size, part);
        ASSERT_EQ(piece.size(), part.size());
        EXPECT_EQ(piece, whole.copy(part)) << part.x() << "," << part.y();
    }
    // The helper renders wide parts in stripes of fewer rows (16 MB of pixels, 1024 rows at
    // this width): rows across a stripe's edge are those of a part without one.
    const QSize large(4096, 5793);
    const QImage striped = Render(pdf, 0, large, QRect(0, 0, 4096, 1100));
    const QImage single = Render(pdf, 0, large, QRect(0, 1000, 4096, 100));
    ASSERT_FALSE(striped.isNull());
    EXPECT_EQ(striped.copy(0, 1000, 4096, 100), single);
}

TEST_F(DrawingRenderTest, RotatedPageRendersTurnedAndTheChosenPageOfSeveral)
{
    const QByteArray pdf = MakePdf(1, DrawSample);
    WriteAll(Path(QStringLiteral("upright.pdf")), pdf);
    ASSERT_TRUE(testsupport::Run(QStringLiteral("qpdf upright.pdf --rotate=+90 turned.pdf")));
    const QByteArray turned = ReadAll(Path(QStringLiteral("turned.pdf")));
    const QSize size(585, 413);
    const QImage image = Render(turned, 0, size);
    ASSERT_EQ(image.size(), size);
    EXPECT_LT(testsupport::MeanDifference(image, Pdftoppm(turned, 0, size.transposed())), 1.0);
    // A clockwise quarter turn takes the red box from the top left to the top right.
    EXPECT_TRUE(Near(image.pixel(500, 100), QColor(220, 30, 30)));

    const QColor colours[3] = {QColor(200, 0, 0), QColor(0, 200, 0), QColor(0, 0, 200)};
    const QByteArray three = MakePdf(3, [&](int page, QPainter& p, QSize pageSize) {
        p.fillRect(QRect(QPoint(), pageSize), colours[page]);
    });
    const QImage third = Render(three, 2, QSize(60, 85));
    ASSERT_FALSE(third.isNull());
    EXPECT_TRUE(Near(third.pixel(30, 40), colours[2]));
    EXPECT_EQ(RenderError(three, 3), QStringLiteral("The PDF file has no page 4 (it has 3)."));
}

// The helper says why in English with the details apart; the program words it in the user's
// language with the details in their places.
TEST_F(DrawingRenderTest, TheRenderersFailuresInTheUsersLanguage)
{
    const QByteArray three = MakePdf(3, [](int, QPainter&, QSize) {});
    ASSERT_TRUE(InstallTranslations(QLocale(QLocale::German, QLocale::Germany),
                                    {QStringLiteral(VELMORA_TRANSLATIONS)}));
    EXPECT_EQ(RenderError(three, 3),
              QStringLiteral("Die PDF-Datei hat keine Seite 4 (sie hat 3)."));
    RemoveTranslations();
    EXPECT_EQ(RenderError(three, 3), QStringLiteral("The PDF file has no page 4 (it has 3)."));

    QString text;
    QStringList details;
    // A failure without the details its text asks for, or without a text, is not the helper's.
    EXPECT_FALSE(renderwire::DecodeFailure(
        renderwire::EncodeFailure("The PDF file has no page %1 (it has %2).", {"4"}), &text,
        &details));
    EXPECT_FALSE(renderwire::DecodeFailure(QByteArray(), &text, &details));
}

const char* const kGradientSvg =
    R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="200" height="100">
<defs><linearGradient id="g" x1="0" y1="0" x2="1" y2="0">
<stop offset="0" stop-color="#ff0000"/><stop offset="1" stop-color="#0000ff"/>
</linearGradient></defs><rect width="200" height="100" fill="url(#g)"/></svg>)svg";

// The PDF's page size as pdfinfo reports it ("150 x 75 pts").
QString PdfPageSize(const QByteArray& pdf)
{
    WriteAll(Path(QStringLiteral("info.pdf")), pdf);
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {Path(QStringLiteral("info.pdf"))});
    info.waitForFinished();
    for (const QByteArray& line : info.readAllStandardOutput().split('\n'))
        if (line.startsWith("Page size:"))
            return QString::fromUtf8(line.mid(10).trimmed());
    return {};
}

TEST_F(DrawingRenderTest, SvgAndSvgzBecomeOnePagePdfsWithTheDrawingsColours)
{
    WriteAll(Path(QStringLiteral("drawing.svg")), kGradientSvg);
    ASSERT_TRUE(testsupport::Run(QStringLiteral("gzip -k drawing.svg")));
    // Without width and height the viewBox gives the size.
    QByteArray viewBoxOnly(kGradientSvg);
    viewBoxOnly.replace(R"(width="200" height="100">)", R"(viewBox="0 0 200 100">)");
    for (const QString& name : {QStringLiteral("drawing.svg"), QStringLiteral("drawing.svg.gz"),
                                QStringLiteral("viewBox")}) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray svg = name == QLatin1String("viewBox") ? viewBoxOnly : ReadAll(Path(name));
        QByteArray pdf;
        QString error;
        ASSERT_TRUE(SvgToPdf(svg, &pdf, &error)) << error.toStdString();
        // 200 x 100 pixels at 96 dpi.
        EXPECT_EQ(PdfPageSize(pdf), QStringLiteral("150 x 75 pts"));
        const QImage image = Render(pdf, 0, QSize(200, 100));
        ASSERT_FALSE(image.isNull());
        EXPECT_TRUE(Near(image.pixel(1, 50), Qt::red, 16));
        EXPECT_TRUE(Near(image.pixel(198, 50), Qt::blue, 16));
        EXPECT_TRUE(Near(image.pixel(100, 50), QColor(128, 0, 128), 24));
    }
}

TEST_F(DrawingRenderTest, DamagedFilesFailWithTheirReason)
{
    EXPECT_EQ(RenderError("This is not a PDF file at all, just words."),
              QStringLiteral("The PDF file is damaged or is not a PDF file."));
    EXPECT_EQ(RenderError(QByteArray()), QStringLiteral("The file is empty."));
    const QByteArray pdf = MakePdf(1, DrawSample);
    EXPECT_EQ(RenderError(pdf.left(300)),
              QStringLiteral("The PDF file is damaged or is not a PDF file."));

    WriteAll(Path(QStringLiteral("open.pdf")), pdf);
    ASSERT_TRUE(testsupport::Run(
        QStringLiteral("qpdf --encrypt secret secret 256 -- open.pdf locked.pdf")));
    EXPECT_EQ(RenderError(ReadAll(Path(QStringLiteral("locked.pdf")))),
              QStringLiteral("The PDF file needs a password."));

    QByteArray out;
    QString error;
    EXPECT_FALSE(SvgToPdf("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\"", &out, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("The drawing is damaged or is not an SVG file")))
        << error.toStdString();
    EXPECT_FALSE(error.contains(QLatin1Char('\n')));
    EXPECT_FALSE(SvgToPdf(QByteArray("\x1f\x8b\x08\x00garbage", 12), &out, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("The drawing is damaged or is not an SVG file")))
        << error.toStdString();

    EXPECT_FALSE(SvgToPdf("<svg xmlns=\"http://www.w3.org/2000/svg\"><rect width=\"5\" "
                          "height=\"5\"/></svg>",
                          &out, &error));
    EXPECT_EQ(error, QStringLiteral("The drawing has no size it can be shown at."));

    // Refused before any helper runs, whatever the helper would do.
    SetRenderHelperProgram(QStringLiteral("/nonexistent/velmora-render-helper"));
    {
        // 20000 x 20000 pixels need 1145 MB, more than a limit of 512 MB above what is in use.
        rlimit old = {};
        ASSERT_EQ(getrlimit(RLIMIT_AS, &old), 0);
        rlimit low = old;
        QFile statm(QStringLiteral("/proc/self/statm"));
        ASSERT_TRUE(statm.open(QIODevice::ReadOnly));
        low.rlim_cur = rlim_t(statm.readAll().split(' ').value(0).toULongLong() *
                                  uint64_t(sysconf(_SC_PAGESIZE)) +
                              (uint64_t(512) << 20));
        ASSERT_EQ(setrlimit(RLIMIT_AS, &low), 0);
        const QString tooLarge = RenderError(pdf, 0, QSize(20000, 20000));
        setrlimit(RLIMIT_AS, &old);
        EXPECT_TRUE(tooLarge.startsWith(
            QStringLiteral("A rendering of 20000 x 20000 pixels needs 1145 MB of memory, and ")))
            << tooLarge.toStdString();
    }
    EXPECT_EQ(
        RenderError(pdf, 0, QSize(40000, 30000)),
        QStringLiteral("A rendering of 40000 x 30000 pixels is larger than a picture may be."));
    EXPECT_EQ(
        RenderError(pdf),
        QStringLiteral("The drawing renderer /nonexistent/velmora-render-helper is missing."));
}

// A helper that runs `script` (sh) instead of rendering.
void UseFakeHelper(const QByteArray& script)
{
    const QString path = Path(QStringLiteral("fake-helper"));
    WriteAll(path,
             "#!/bin/sh\necho $$ > '" + Path(QStringLiteral("fake.pid")).toUtf8() + "'\n" + script);
    QFile::setPermissions(path,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    SetRenderHelperProgram(path);
}

bool FakeHelperGone()
{
    const int pid = ReadAll(Path(QStringLiteral("fake.pid"))).trimmed().toInt();
    return pid > 0 && ::kill(pid, 0) != 0;
}

TEST_F(DrawingRenderTest, HelperThatHangsCrashesOrSendsGarbageIsEndedWithTheReason)
{
    const QByteArray pdf = MakePdf(1, DrawSample);
    SetRenderTimeout(std::chrono::seconds(1));
    UseFakeHelper("exec sleep 60\n");
    EXPECT_EQ(RenderError(pdf),
              QStringLiteral("The drawing took longer than 1 second and was given up."));
    EXPECT_TRUE(FakeHelperGone());
    QByteArray out;
    QString error;
    EXPECT_FALSE(SvgToPdf(kGradientSvg, &out, &error));
    EXPECT_EQ(error, QStringLiteral("The drawing took longer than 1 second and was given up."));

    SetRenderTimeout(std::chrono::seconds(30));
    UseFakeHelper("kill -SEGV $$\n");
    EXPECT_EQ(RenderError(pdf),
              QStringLiteral("The renderer stopped unexpectedly (Segmentation fault)."));
    UseFakeHelper("exit 3\n");
    EXPECT_EQ(RenderError(pdf),
              QStringLiteral("The renderer stopped unexpectedly (exit status 3)."));
    // A header that claims a message larger than any, then silence: not waited for.
    UseFakeHelper("printf 'GARBAGE GARBAGE GARBAGE' >&3\nexec sleep 60\n");
    EXPECT_EQ(RenderError(pdf), QStringLiteral("The renderer sent data this program can't read."));
    EXPECT_TRUE(FakeHelperGone());
}

} // namespace
