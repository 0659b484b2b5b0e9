// SPDX-License-Identifier: GPL-3.0-or-later
// A PDF page opened with qpdf and written as a form into a document of our own, checked as
// poppler reads, lists and renders that document against the source page.
#include "VectorPage.h"

#include "TestSupport.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <map>

using testsupport::HaveProgram;

namespace {

QByteArray Stream(const QByteArray& entries, const QByteArray& data)
{
    return "<< " + entries + " /Length " + QByteArray::number(data.size()) + " >>\nstream\n" +
           data + "\nendstream";
}

// A complete file around numbered object bodies, object 1 its catalog.
QByteArray MakePdf(const std::map<int, QByteArray>& objects)
{
    QByteArray pdf = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
    const int size = objects.rbegin()->first + 1;
    std::vector<qsizetype> offsets(size_t(size), 0);
    for (const auto& [number, body] : objects) {
        offsets[size_t(number)] = pdf.size();
        pdf += QByteArray::number(number) + " 0 obj\n" + body + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(size) + "\n0000000000 65535 f \n";
    for (int i = 1; i < size; ++i)
        pdf += (offsets[size_t(i)]
                    ? QByteArray::number(offsets[size_t(i)]).rightJustified(10, '0') + " 00000 n \n"
                    : QByteArray("0000000000 65535 f \n"));
    return pdf + "trailer\n<< /Size " + QByteArray::number(size) + " /Root 1 0 R >>\nstartxref\n" +
           QByteArray::number(xref) + "\n%%EOF\n";
}

// One page, object 3, in a tree that may carry inherited attributes.
QByteArray OnePage(const QByteArray& pageEntries, const QByteArray& content,
                   const QByteArray& treeEntries = {}, std::map<int, QByteArray> more = {})
{
    more[1] = "<< /Type /Catalog /Pages 2 0 R >>";
    more[2] = "<< /Type /Pages /Kids [3 0 R] /Count 1 " + treeEntries + " >>";
    more[3] = "<< /Type /Page /Parent 2 0 R /Contents 4 0 R " + pageEntries + " >>";
    more[4] = Stream("", content);
    return MakePdf(more);
}

bool Save(const QString& name, const QByteArray& bytes)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray Load(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString Output(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    process.waitForFinished(120000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// What the sink received, and the document poppler reads: one page of the form's size that
// draws the form once.
struct Written
{
    std::map<int, QByteArray> objects;
    int form = 0;
    QString error;
    QByteArray pdf;
};

Written WriteDocument(const VectorPage& page)
{
    Written out;
    int next = 5;
    VectorPage::ObjectSink sink{[&next] { return next++; },
                                [&out](int number, const QByteArray& body) {
                                    EXPECT_EQ(out.objects.count(number), 0u) << number;
                                    out.objects[number] = body;
                                    return true;
                                }};
    out.form = page.WriteForm(sink, &out.error);
    if (!out.form)
        return out;
    EXPECT_EQ(int(out.objects.size()), next - 5) << "every number given out is written";
    auto all = out.objects;
    all[1] = "<< /Type /Catalog /Pages 2 0 R >>";
    all[2] = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
    all[3] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " +
             QByteArray::number(page.widthPoints()) + ' ' +
             QByteArray::number(page.heightPoints()) + "] /Resources << /XObject << /F0 " +
             QByteArray::number(out.form) + " 0 R >> >> /Contents 4 0 R >>";
    all[4] = Stream("", "q 1 0 0 1 0 0 cm /F0 Do Q");
    out.pdf = MakePdf(all);
    return out;
}

QImage Render(const QString& pdf)
{
    const QString base = pdf + "-36";
    if (!testsupport::Run("pdftoppm -r 36 -cropbox -png -singlefile '" + pdf + "' '" + base + "'"))
        return {};
    return QImage(base + ".png").convertToFormat(QImage::Format_RGB32);
}

// Share of pixels that differ visibly; anti-aliased edges may move by a rounding step.
double DifferingShare(const QImage& a, const QImage& b)
{
    if (a.isNull() || a.size() != b.size())
        return 1;
    qint64 differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 60 || std::abs(qGreen(p) - qGreen(q)) > 60 ||
                std::abs(qBlue(p) - qBlue(q)) > 60)
                ++differing;
        }
    return double(differing) / (double(a.width()) * a.height());
}

// The source rendered and the written form rendered, as poppler draws them.
void ExpectSameRendering(const QByteArray& source, const Written& written, const QString& name)
{
    ASSERT_TRUE(Save(name + "-source.pdf", source));
    ASSERT_TRUE(Save(name + "-form.pdf", written.pdf));
    const QImage expected = Render(name + "-source.pdf");
    const QImage got = Render(name + "-form.pdf");
    ASSERT_FALSE(expected.isNull());
    EXPECT_EQ(got.size(), expected.size()) << name.toStdString();
    EXPECT_LT(DifferingShare(expected, got), 0.005) << name.toStdString();
}

bool HavePoppler()
{
    return HaveProgram("pdftoppm") && HaveProgram("pdffonts") && HaveProgram("pdfimages") &&
           HaveProgram("pdftotext");
}

// Vector text in a standard font and a subset-named one, lines, and a 4 x 3 image drawn from the
// page and from a form inside it.
QByteArray DrawingPage()
{
    const QByteArray pixels = QByteArray::fromHex("ff0000"
                                                  "00ff00"
                                                  "0000ff"
                                                  "ffffff"
                                                  "000000"
                                                  "ff00ff"
                                                  "00ffff"
                                                  "ffff00"
                                                  "808080"
                                                  "ff8000"
                                                  "0080ff"
                                                  "80ff00");
    std::map<int, QByteArray> more;
    more[5] = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
    // In the resources but not drawn with: a composite font whose glyphs are not in the file
    // and one whose are.
    more[9] =
        "<< /Type /Font /Subtype /Type0 /BaseFont /ABCDEF+Mincho-Identity-H /Encoding "
        "/Identity-H /DescendantFonts [<< /Type /Font /Subtype /CIDFontType2 /BaseFont "
        "/ABCDEF+Mincho /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) "
        "/Supplement 0 >> /FontDescriptor << /Type /FontDescriptor /FontName /Mincho >> >>] >>";
    more[10] = "<< /Type /Font /Subtype /TrueType /BaseFont /Carried /FontDescriptor << /Type "
               "/FontDescriptor /FontName /Carried /FontFile2 11 0 R >> >>";
    more[11] = Stream("", "glyphs");
    more[6] = "<< /Type /Font /Subtype /Type1 /BaseFont /ABCDEF+Times-Roman >>";
    more[7] = Stream("/Type /XObject /Subtype /Image /Width 4 /Height 3 /ColorSpace /DeviceRGB "
                     "/BitsPerComponent 8",
                     pixels);
    more[8] = Stream("/Type /XObject /Subtype /Form /BBox [0 0 100 100] /Resources << /XObject "
                     "<< /Im 7 0 R >> /Font << /T 6 0 R >> >>",
                     "q 40 0 0 30 0 0 cm /Im Do Q BT /T 12 Tf 0 40 Td (Inner form) Tj ET");
    return OnePage("/MediaBox [0 0 300 200] /Resources << /Font << /H 5 0 R /C 9 0 R /E 10 0 R >> "
                   "/XObject << /Im 7 "
                   "0 R /Fm 8 0 R >> >>",
                   "BT /H 24 Tf 20 150 Td (Poster source) Tj ET\n"
                   "4 w 10 10 m 290 190 l S 0 0 1 RG 10 190 m 150 10 l S\n"
                   "q 60 0 0 45 220 20 cm /Im Do Q q 1 0 0 1 120 30 cm /Fm Do Q",
                   {}, more);
}

} // namespace

TEST(VectorPageTest, WritesTextLinesAndImagesAsPopplerShowsTheSource)
{
    if (!HavePoppler())
        GTEST_SKIP() << "poppler-utils not installed";
    const QByteArray source = DrawingPage();
    QString error;
    auto page = VectorPage::Open(source, 0, &error);
    ASSERT_TRUE(page) << error.toStdString();
    EXPECT_EQ(page->pageCount(), 1);
    EXPECT_DOUBLE_EQ(page->widthPoints(), 300);
    EXPECT_DOUBLE_EQ(page->heightPoints(), 200);
    EXPECT_EQ(page->nonEmbeddedFonts(), QStringList({"Helvetica", "Mincho", "Times-Roman"}));
    const auto placements = page->imagePlacements();
    ASSERT_EQ(placements.size(), 2u) << "one image object, drawn twice";
    EXPECT_EQ(placements[0].pixels, QSize(4, 3));
    EXPECT_DOUBLE_EQ(placements[0].widthPoints, 60);
    EXPECT_EQ(placements[1].pixels, QSize(4, 3));
    EXPECT_DOUBLE_EQ(placements[1].heightPoints, 30) << "inside the form";

    const Written written = WriteDocument(*page);
    ASSERT_NE(written.form, 0) << written.error.toStdString();
    int images = 0;
    for (const auto& [number, body] : written.objects) {
        images += body.count("/Subtype /Image");
        EXPECT_FALSE(body.contains("/Parent")) << number;
    }
    EXPECT_EQ(images, 1) << "an object referred to twice is written once";
    ASSERT_TRUE(Save("form.pdf", written.pdf));

    const QString text = Output("pdftotext", {"form.pdf", "-"});
    EXPECT_TRUE(text.contains("Poster source")) << text.toStdString();
    EXPECT_TRUE(text.contains("Inner form")) << text.toStdString();
    const QString fonts = Output("pdffonts", {"form.pdf"});
    EXPECT_TRUE(fonts.contains(QRegularExpression("Helvetica +Type 1 +\\S+ +no")))
        << fonts.toStdString();
    const QStringList imageLines = Output("pdfimages", {"-list", "form.pdf"}).split('\n');
    ASSERT_GE(imageLines.size(), 4) << "two uses of the image";
    EXPECT_TRUE(imageLines[2].contains(QRegularExpression("image +4 +3 +rgb")))
        << imageLines[2].toStdString();
    ExpectSameRendering(source, written, "drawing");
}

// Rotation inherited from the page tree, of every quarter, with a CropBox inside the MediaBox:
// the form must show what poppler shows for the source page, upright at the origin.
TEST(VectorPageTest, TurnsAndCropsAPageAsReadersShowIt)
{
    if (!HavePoppler())
        GTEST_SKIP() << "poppler-utils not installed";
    const QByteArray content = "1 0 0 rg 60 60 80 40 re f 0 0 1 rg 200 100 30 90 re f\n"
                               "0 g 6 w 50 50 m 250 230 l S BT /H 18 Tf 70 200 Td (Up) Tj ET";
    for (int rotate : {90, -90, 180, 0}) {
        SCOPED_TRACE(rotate);
        const QByteArray source = OnePage(
            "/MediaBox [20 30 320 280] /CropBox [40 40 260 250] /Resources << /Font << /H 5 0 R "
            ">> >>",
            content, "/Rotate " + QByteArray::number(rotate),
            {{5, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"}});
        QString error;
        auto page = VectorPage::Open(source, 0, &error);
        ASSERT_TRUE(page) << error.toStdString();
        const bool sideways = rotate % 180 != 0;
        EXPECT_DOUBLE_EQ(page->widthPoints(), sideways ? 210 : 220);
        EXPECT_DOUBLE_EQ(page->heightPoints(), sideways ? 220 : 210);
        const Written written = WriteDocument(*page);
        ASSERT_NE(written.form, 0) << written.error.toStdString();
        ExpectSameRendering(source, written, "turned" + QString::number(rotate));
    }

    // UserUnit scales the size; the CropBox is clipped to the MediaBox.
    auto page = VectorPage::Open(OnePage("/MediaBox [0 0 100 50] /CropBox [-10 -10 60 80] "
                                         "/UserUnit 2",
                                         "0 g 0 0 10 10 re f"),
                                 0, nullptr);
    ASSERT_TRUE(page);
    EXPECT_DOUBLE_EQ(page->widthPoints(), 120);
    EXPECT_DOUBLE_EQ(page->heightPoints(), 100);
}

// A 4 x 3 image with a soft mask, painted on a turned page with /UserUnit 2: straight, skewed,
// through a turned form inside nested states, and once more as an inline image. The lengths are
// those on the page as it shows, two points to the unit.
TEST(VectorPageTest, MeasuresEachImageWhereThePagePaintsIt)
{
    std::map<int, QByteArray> more;
    more[5] = Stream("/Type /XObject /Subtype /Image /Width 4 /Height 3 /ColorSpace /DeviceRGB "
                     "/BitsPerComponent 8 /SMask 6 0 R",
                     QByteArray(36, '\x40'));
    more[6] = Stream("/Type /XObject /Subtype /Image /Width 8 /Height 6 /ColorSpace /DeviceGray "
                     "/BitsPerComponent 8",
                     QByteArray(48, '\x7f'));
    // Turned a quarter and doubled; its own resources name the image differently.
    more[7] = Stream("/Type /XObject /Subtype /Form /BBox [0 0 100 100] /Matrix [0 2 -2 0 50 50] "
                     "/Resources << /XObject << /Pic 5 0 R >> >>",
                     "q 10 0 0 20 0 0 cm /Pic Do Q Q Q 1 0 0 1 0 0 cm");
    const QByteArray content = "q 60 0 0 45 10 10 cm /Im Do Q\n"
                               "q 30 40 0 10 0 0 cm /Im Do Q\n"
                               "q 2 0 0 2 0 0 cm q 1 0 0 1 5 5 cm /Fm Do Q 1 0 0 1 0 0 cm\n"
                               "q 8 0 0 6 0 0 cm BI /W 2 /H 1 /CS /G /BPC 8 ID \x10\x20 EI Q Q\n"
                               "3 0 0 3 0 0 cm /Fm Do";
    auto page = VectorPage::Open(OnePage("/MediaBox [0 0 300 200] /Rotate 90 /UserUnit 2 "
                                         "/Resources << /XObject << /Im 5 0 R /Fm 7 0 R >> >>",
                                         content, {}, more),
                                 0, nullptr);
    ASSERT_TRUE(page);
    EXPECT_DOUBLE_EQ(page->widthPoints(), 400);
    struct Expected
    {
        QSize pixels;
        double width, height;
    };
    const std::vector<Expected> expected = {
        {{4, 3}, 120, 90},  // 60 x 45, doubled
        {{4, 3}, 100, 20},  // its rows run along (30, 40)
        {{4, 3}, 80, 160},  // 10 x 20, by the form's 2, the page's cm 2 and the unit 2
        {{2, 1}, 32, 24},   // inline, under the cm 2 still in force
        {{4, 3}, 120, 240}, // the form's unbalanced Q did not undo the page's states
    };
    const auto placements = page->imagePlacements();
    ASSERT_EQ(placements.size(), expected.size()) << "the mask is no image of its own";
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(placements[i].pixels, expected[i].pixels);
        EXPECT_NEAR(placements[i].widthPoints, expected[i].width, 1e-9);
        EXPECT_NEAR(placements[i].heightPoints, expected[i].height, 1e-9);
    }
}

// Forms that draw themselves, directly or through another, and content damaged after an image:
// the walk ends, keeping what it found. Images on a layer the file hides are not painted.
TEST(VectorPageTest, KeepsShownImagesFoundBeforeLoopsAndDamage)
{
    std::map<int, QByteArray> more;
    more[5] = Stream("/Type /XObject /Subtype /Image /Width 5 /Height 7 /ColorSpace /DeviceGray "
                     "/BitsPerComponent 8",
                     QByteArray(35, '\x7f'));
    more[6] = Stream("/Type /XObject /Subtype /Form /BBox [0 0 10 10] /Resources << /XObject << "
                     "/Im 5 0 R /Me 6 0 R /Other 7 0 R >> >>",
                     "10 0 0 10 0 0 cm /Im Do 0.1 0 0 0.1 0 0 cm /Me Do /Other Do");
    more[7] = Stream("/Type /XObject /Subtype /Form /BBox [0 0 10 10] /Matrix [2 0 0 2 0 0] "
                     "/Resources << /XObject << /Back 6 0 R >> >>",
                     "/Back Do");
    auto page = VectorPage::Open(OnePage("/MediaBox [0 0 100 100] /Resources << /XObject << /Im "
                                         "5 0 R /Fm 6 0 R >> >>",
                                         "/Fm Do q 20 0 0 20 0 0 cm /Im Do Q (unended \\) /Im Do"
                                         " [ 1 2 <<",
                                         {}, more),
                                 0, nullptr);
    ASSERT_TRUE(page);
    const auto placements = page->imagePlacements();
    ASSERT_GE(placements.size(), 2u);
    EXPECT_EQ(placements[0].pixels, QSize(5, 7));
    EXPECT_DOUBLE_EQ(placements[0].widthPoints, 10) << "drawn once, by the form itself";
    EXPECT_DOUBLE_EQ(placements[1].heightPoints, 20) << "the page goes on after the loop";
    EXPECT_EQ(placements.size(), 2u) << "nothing is read inside the unended string";

    // A page whose only image is inline, at the start of its second content stream, is still
    // read.
    std::map<int, QByteArray> inlineOnly;
    inlineOnly[5] = Stream("", "(OBI) Tj 0 0 m /BIG gs q 30 0 0 10 0 0 cm");
    inlineOnly[6] = Stream("", "BI /W 2 /H 1 /CS /G /BPC 8 ID ab EI Q");
    page = VectorPage::Open(OnePage("/MediaBox [0 0 100 100]", "", {}, inlineOnly)
                                .replace("/Contents 4 0 R", "/Contents [5 0 R 6 0 R]"),
                            0, nullptr);
    ASSERT_TRUE(page);
    ASSERT_EQ(page->imagePlacements().size(), 1u);
    EXPECT_EQ(page->imagePlacements()[0].pixels, QSize(2, 1));

    std::map<int, QByteArray> layered;
    layered[1] = "<< /Type /Catalog /Pages 2 0 R /OCProperties << /OCGs [4 0 R] /D << /OFF "
                 "[4 0 R] >> >> >>";
    layered[2] = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
    layered[3] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] /Contents 7 0 R "
                 "/Resources << /Properties << /off 4 0 R >> /XObject << /Im 5 0 R /Off 6 0 R "
                 ">> >> >>";
    layered[4] = "<< /Type /OCG /Name (Hidden) >>";
    layered[5] = more[5];
    layered[6] = Stream("/Type /XObject /Subtype /Image /Width 5 /Height 7 /ColorSpace "
                        "/DeviceGray /BitsPerComponent 8 /OC 4 0 R",
                        QByteArray(35, '\x7f'));
    layered[7] = Stream("", "/OC /off BDC /Im Do BI /W 1 /H 1 /CS /G /BPC 8 ID \x10 EI EMC /Off Do "
                            "9 0 0 9 0 0 cm /Im Do");
    page = VectorPage::Open(MakePdf(layered), 0, nullptr);
    ASSERT_TRUE(page);
    ASSERT_EQ(page->imagePlacements().size(), 1u) << "only the one after the hidden layer";
    EXPECT_DOUBLE_EQ(page->imagePlacements()[0].widthPoints, 9);
}

TEST(VectorPageTest, OpensTheChosenPageOfSeveral)
{
    std::map<int, QByteArray> objects;
    objects[1] = "<< /Type /Catalog /Pages 2 0 R >>";
    objects[2] = "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 /MediaBox [0 0 100 100] >>";
    for (int i = 0; i < 3; ++i)
        objects[3 + i] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " +
                         QByteArray::number(100 + 10 * i) + " 100] >>";
    const QByteArray pdf = MakePdf(objects);
    QString error;
    auto third = VectorPage::Open(pdf, 2, &error);
    ASSERT_TRUE(third) << error.toStdString();
    EXPECT_EQ(third->pageCount(), 3);
    EXPECT_EQ(third->pageIndex(), 2);
    EXPECT_DOUBLE_EQ(third->widthPoints(), 120);
    const Written written = WriteDocument(*third);
    EXPECT_NE(written.form, 0) << "a page without content draws nothing, but is a page";

    EXPECT_FALSE(VectorPage::Open(pdf, 3, &error));
    EXPECT_EQ(error, "has no page 4; it has 3");
    EXPECT_FALSE(VectorPage::Open(pdf, -1, &error));
    EXPECT_EQ(error, "has no page 0; it has 3");

    EXPECT_FALSE(VectorPage::Open(MakePdf({{1, "<< /Type /Catalog /Pages 2 0 R >>"},
                                           {2, "<< /Type /Pages /Kids [] /Count 0 >>"}}),
                                  0, &error));
    EXPECT_EQ(error, "has no pages");
}

// A printing annotation is drawn; a hidden one and a link are not, and nothing of the link's
// action reaches the document.
TEST(VectorPageTest, BakesPrintingAnnotationsIn)
{
    if (!HavePoppler())
        GTEST_SKIP() << "poppler-utils not installed";
    std::map<int, QByteArray> more;
    more[5] = "<< /Type /Annot /Subtype /Square /Rect [10 10 60 60] /F 4 /AP << /N 6 0 R >> >>";
    more[6] = Stream("/Type /XObject /Subtype /Form /BBox [0 0 50 50] /Resources << /Font << /Z "
                     "<< /Type /Font /Subtype /Type1 /BaseFont /Courier >> >> >>",
                     "1 0 0 rg 0 0 50 50 re f BT /Z 9 Tf 0 g 5 5 Td (Note) Tj ET");
    more[7] = "<< /Type /Annot /Subtype /Square /Rect [100 10 150 60] /F 6 /AP << /N 8 0 R >> >>";
    more[8] = Stream("/Type /XObject /Subtype /Form /BBox [0 0 50 50] /Resources << /Font << /Y "
                     "<< /Type /Font /Subtype /Type1 /BaseFont /Symbol >> >> >>",
                     "0 0 1 rg 0 0 50 50 re f");
    more[9] = "<< /Type /Annot /Subtype /Link /Rect [0 100 200 200] /F 4 /Border [0 0 0] "
              "/A << /S /URI /URI (https://example.org/) >> >>";
    const QByteArray source = OnePage("/MediaBox [0 0 200 200] /Annots [5 0 R 7 0 R 9 0 R]",
                                      "0 g 0 190 200 10 re f", {}, more);
    QString error;
    auto page = VectorPage::Open(source, 0, &error);
    ASSERT_TRUE(page) << error.toStdString();
    EXPECT_EQ(page->nonEmbeddedFonts(), QStringList{"Courier"}) << "the printing appearance's";
    const Written written = WriteDocument(*page);
    ASSERT_NE(written.form, 0) << written.error.toStdString();
    for (const auto& [number, body] : written.objects) {
        EXPECT_FALSE(body.contains("/URI")) << number;
        EXPECT_FALSE(body.contains("/Annot")) << number;
    }
    ASSERT_TRUE(Save("annotated.pdf", written.pdf));
    const QImage image = Render("annotated.pdf"); // 100 x 100 at 36 dpi
    ASSERT_EQ(image.size(), QSize(100, 100));
    EXPECT_EQ(image.pixel(17, 82), qRgb(255, 0, 0)) << "the printing annotation";
    EXPECT_EQ(image.pixel(62, 82), qRgb(255, 255, 255)) << "the hidden one";
    EXPECT_EQ(image.pixel(50, 1), qRgb(0, 0, 0)) << "the page's own content";
}

// Layers as the file's default configuration shows them, nested sections and membership
// dictionaries included: the poster document has no layers of its own.
TEST(VectorPageTest, LeavesOutLayersTheFileHides)
{
    if (!HavePoppler())
        GTEST_SKIP() << "poppler-utils not installed";
    std::map<int, QByteArray> objects;
    objects[1] = "<< /Type /Catalog /Pages 2 0 R /OCProperties << /OCGs [5 0 R 6 0 R] /D << "
                 "/OFF [6 0 R] >> >> >>";
    objects[2] = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
    objects[3] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R "
                 "/Resources << /Properties << /on 5 0 R /off 6 0 R /md 7 0 R >> /XObject << "
                 "/Fm 8 0 R >> >> /Annots [9 0 R] >>";
    objects[4] = Stream("", "/OC /on BDC 1 0 0 rg 10 10 40 40 re f EMC\n"
                            "/OC /off BDC 0 0 1 rg 60 10 40 40 re f\n"
                            "/OC /on BDC 0 1 0 rg 60 60 30 30 re f EMC EMC\n"
                            "/OC /md BDC 0 g 110 10 40 40 re f EMC /Fm Do");
    objects[5] = "<< /Type /OCG /Name (Shown) >>";
    objects[6] = "<< /Type /OCG /Name (Hidden) >>";
    objects[7] = "<< /Type /OCMD /OCGs [6 0 R] /P /AllOff >>";
    objects[8] = Stream("/Type /XObject /Subtype /Form /BBox [0 0 200 100] /OC 6 0 R",
                        "0 1 0 rg 160 10 30 30 re f");
    objects[9] = "<< /Type /Annot /Subtype /Square /Rect [10 60 50 90] /F 4 /OC 6 0 R /AP << /N "
                 "10 0 R >> >>";
    objects[10] =
        Stream("/Type /XObject /Subtype /Form /BBox [0 0 40 30]", "1 0 1 rg 0 0 40 30 re f");
    const QByteArray source = MakePdf(objects);
    QString error;
    auto page = VectorPage::Open(source, 0, &error);
    ASSERT_TRUE(page) << error.toStdString();
    const Written written = WriteDocument(*page);
    ASSERT_NE(written.form, 0) << written.error.toStdString();
    ExpectSameRendering(source, written, "layers");
    const QImage image = Render("layers-form.pdf"); // 100 x 50
    EXPECT_EQ(image.pixel(15, 35), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(40, 35), qRgb(255, 255, 255)) << "the hidden layer";
    EXPECT_EQ(image.pixel(37, 12), qRgb(255, 255, 255)) << "a shown one inside it";
    EXPECT_EQ(image.pixel(65, 35), qRgb(0, 0, 0)) << "shown when the layer is off";
    EXPECT_EQ(image.pixel(87, 37), qRgb(255, 255, 255)) << "the hidden form";
    EXPECT_EQ(image.pixel(15, 10), qRgb(255, 255, 255)) << "an annotation on the hidden layer";
}

TEST(VectorPageTest, OpensOwnerPasswordFilesAndRefusesUserPasswordOnes)
{
    if (!HavePoppler() || !HaveProgram("qpdf"))
        GTEST_SKIP() << "qpdf or poppler-utils not installed";
    const QByteArray source = DrawingPage();
    ASSERT_TRUE(Save("plain.pdf", source));
    ASSERT_TRUE(testsupport::Run("qpdf --encrypt '' owner-secret 256 -- plain.pdf owner.pdf"));
    ASSERT_TRUE(
        testsupport::Run("qpdf --encrypt user-secret owner-secret 256 -- plain.pdf user.pdf"));

    QString error;
    auto page = VectorPage::Open(Load("owner.pdf"), 0, &error);
    ASSERT_TRUE(page) << error.toStdString();
    const Written written = WriteDocument(*page);
    ASSERT_NE(written.form, 0) << written.error.toStdString();
    ExpectSameRendering(source, written, "owner");

    EXPECT_FALSE(VectorPage::Open(Load("user.pdf"), 0, &error));
    EXPECT_TRUE(error.contains("needs a password")) << error.toStdString();
}

TEST(VectorPageTest, RepairsWhatQpdfRepairsAndRefusesTheRest)
{
    if (!HavePoppler())
        GTEST_SKIP() << "poppler-utils not installed";
    // Offsets that miss their objects and the end cut off after the trailer: qpdf finds the
    // objects by reading the file through.
    const QByteArray whole = DrawingPage();
    QByteArray cut = whole.left(whole.indexOf("startxref"));
    cut.insert(cut.indexOf("1 0 obj"), "% moved\n");
    QString error;
    auto page = VectorPage::Open(cut, 0, &error);
    ASSERT_TRUE(page) << error.toStdString();
    const Written written = WriteDocument(*page);
    ASSERT_NE(written.form, 0) << written.error.toStdString();
    ExpectSameRendering(whole, written, "repaired");

    EXPECT_FALSE(VectorPage::Open(whole.left(40), 0, &error));
    EXPECT_TRUE(error.startsWith("damaged beyond repair")) << error.toStdString();
    EXPECT_FALSE(error.contains('\n'));
    // Every length the file can be cut to: opened and written, or refused with a reason.
    for (qsizetype length = 16; length < whole.size(); length += 37) {
        error.clear();
        auto part = VectorPage::Open(whole.left(length), 0, &error);
        if (part) {
            const Written out = WriteDocument(*part);
            EXPECT_TRUE(out.form || !out.error.isEmpty()) << length;
        } else {
            EXPECT_FALSE(error.isEmpty() || error.contains('\n')) << length;
        }
    }
    EXPECT_FALSE(VectorPage::Open("GIF89a not a document", 0, &error));
    EXPECT_EQ(error, "not a PDF");
    EXPECT_FALSE(VectorPage::Open({}, 0, &error));
    EXPECT_EQ(error, "not a PDF");
}

TEST(VectorPageTest, ReportsATargetThatFailsToWrite)
{
    auto page = VectorPage::Open(DrawingPage(), 0, nullptr);
    ASSERT_TRUE(page);
    int next = 1;
    VectorPage::ObjectSink sink{[&next] { return next++; },
                                [](int, const QByteArray&) { return false; }};
    QString error;
    EXPECT_EQ(page->WriteForm(sink, &error), 0);
    EXPECT_FALSE(error.isEmpty());
}
