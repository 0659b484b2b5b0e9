// SPDX-License-Identifier: GPL-3.0-or-later
// A picture's colour profile in the poster document: every page image is described in it, from
// the JPEG's own data and from the pixels alike, and the profile's stream is the embedded bytes.
#include "ColourProfile.h"
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "IccSamples.h"
#include "JpegSource.h"
#include "PdfReadBack.h"
#include "PictureOps.h"
#include "PictureRead.h"
#include "PrintJob.h"
#include "TestSupport.h"

#include <QColorSpace>
#include <QFile>
#include <QImage>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <map>

using namespace pdftest;

namespace {

QImage Gradient(QImage::Format format)
{
    QImage image(120, 90, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 2, y * 2, 200 - x));
    return image.convertToFormat(format);
}

struct ImageSpace
{
    QByteArray space;   // the image dictionary's /ColorSpace, as written
    QByteArray profile; // the stream of the ICC profile it names; empty for device colours
    QByteArray profileDictionary;
};

// Each image object's colour space and the profile stream behind it, read from the document's
// own text: its profile streams are written as they are, uncompressed.
std::vector<ImageSpace> ImageSpaces(const QString& pdf)
{
    QFile file(pdf);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = file.readAll();
    std::map<int, std::pair<QByteArray, QByteArray>> streams;
    static const QRegularExpression object(QStringLiteral(
        "\\n(\\d+) 0 obj\\n<< (/N \\d /Alternate /\\w+) /Length (\\d+) >>\\nstream\\n"));
    const QString latin = QString::fromLatin1(text);
    for (auto it = object.globalMatch(latin); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        streams[m.captured(1).toInt()] = {text.mid(m.capturedEnd(), m.captured(3).toInt()),
                                          m.captured(2).toLatin1()};
    }
    std::vector<ImageSpace> images;
    static const QRegularExpression image(QStringLiteral(
        "/Subtype /Image [^\\n]*?/ColorSpace (\\[/Indexed \\[/ICCBased (\\d+) 0 R\\]|\\[/ICCBased "
        "(\\d+) 0 R\\]|/Device\\w+|\\[/Indexed /Device\\w+)"));
    for (auto it = image.globalMatch(latin); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        ImageSpace entry;
        entry.space = m.captured(1).toLatin1();
        const QString ref = m.captured(2).isEmpty() ? m.captured(3) : m.captured(2);
        if (!ref.isEmpty()) {
            entry.profile = streams[ref.toInt()].first;
            entry.profileDictionary = streams[ref.toInt()].second;
        }
        images.push_back(entry);
    }
    return images;
}

TEST(ColourProfilePrint, DescribesEveryPageImageInThePictureProfileFromTheJpegDataAndThePixels)
{
    const QByteArray rgb = testsupport::GhostscriptProfile("a98.icc");
    const QByteArray grey = testsupport::GhostscriptProfile("sgray.icc");
    const QByteArray cmyk = testsupport::GhostscriptProfile("default_cmyk.icc");
    if (rgb.isEmpty() || grey.isEmpty() || cmyk.isEmpty())
        GTEST_SKIP() << "Ghostscript's profiles (libgs-common) missing";
    if (!HavePoppler() || !testsupport::HaveProgram("convert"))
        GTEST_SKIP() << "poppler-utils or ImageMagick missing";
    const QString dir = testsupport::TestDir();
    // The CMYK profile takes four APP2 chunks, joined in order.
    ASSERT_TRUE(
        testsupport::Run(QStringLiteral("convert -size 120x90 plasma:fractal -colorspace CMYK "
                                        "-quality 90 inks.jpg")));
    QFile inks(dir + QStringLiteral("/inks.jpg"));
    ASSERT_TRUE(inks.open(QIODevice::ReadOnly));
    const QByteArray inksJpeg = inks.readAll();
    QImage tiff = Gradient(QImage::Format_RGB32);
    tiff.setColorSpace(QColorSpace::fromIccProfile(rgb));
    struct Case
    {
        const char* name;
        QByteArray file;
        const QByteArray& profile;
        const char* dictionary;
        const char* listed; // pdfimages' colour on the JPEG path, or "" for no JPEG path
    };
    const Case cases[] = {
        {"rgb.jpg",
         testsupport::WithJpegIcc(testsupport::EncodedImage(Gradient(QImage::Format_RGB32), "JPEG"),
                                  rgb),
         rgb, "/N 3 /Alternate /DeviceRGB", "icc"},
        {"grey.jpg",
         testsupport::WithJpegIcc(
             testsupport::EncodedImage(Gradient(QImage::Format_Grayscale8), "JPEG"), grey),
         grey, "/N 1 /Alternate /DeviceGray", "icc"},
        {"cmyk.jpg", testsupport::WithJpegIcc(inksJpeg, cmyk, 50000), cmyk,
         "/N 4 /Alternate /DeviceCMYK", "icc"},
        {"rgb.png",
         testsupport::WithPngIcc(testsupport::EncodedImage(Gradient(QImage::Format_RGB32), "PNG"),
                                 rgb),
         rgb, "/N 3 /Alternate /DeviceRGB", ""},
        {"rgb.tif", testsupport::EncodedImage(tiff, "TIFF"), rgb, "/N 3 /Alternate /DeviceRGB", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir + u'/' + QLatin1String(c.name);
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(c.file) == c.file.size());
        out.close();
        PictureRead read = ReadPictureFile(QFile::encodeName(path).constData());
        const HeldPicture heldRead(read.picture);
        ASSERT_NE(read.picture.Bits, nullptr);
        PrintJobInputs in = AllPagesOf(DIBWidth(read.picture), DIBHeight(read.picture));
        const QString pdf = dir + QStringLiteral("/poster.pdf");

        // From the file's own data.
        if (*c.listed) {
            in.source = PosterSource::Jpeg(ReadJpegSource(path));
            ASSERT_TRUE(in.source.jpeg());
            ASSERT_TRUE(PrintToPdf(read.picture, in, pdf).ok());
            const std::vector<ImageEntry> listed = ListImages(pdf);
            ASSERT_EQ(listed.size(), 6u);
            for (const ImageEntry& e : listed) {
                EXPECT_EQ(e.encoding, "jpeg");
                EXPECT_EQ(e.colour, c.listed);
            }
            const std::vector<ImageSpace> spaces = ImageSpaces(pdf);
            ASSERT_EQ(spaces.size(), 6u);
            for (const ImageSpace& s : spaces) {
                EXPECT_EQ(s.profile, c.profile);
                EXPECT_EQ(s.profileDictionary, c.dictionary);
            }
            in.source = PosterSource();
        }

        // From the pixels, after an edit that ends the JPEG's data: the profile goes along
        // where it describes them, and a CMYK profile does not describe decoded RGB.
        AdjustBrightness(read.picture, 5);
        ASSERT_TRUE(PrintToPdf(read.picture, in, pdf).ok());
        const std::vector<ImageSpace> spaces = ImageSpaces(pdf);
        ASSERT_EQ(spaces.size(), 6u);
        // One profile stream for all pages.
        QFile written(pdf);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(written.readAll().count("/Alternate"),
                  PictureColourProfile(read.picture).colours == ProfileColours::Cmyk ? 0 : 1);
        for (const ImageSpace& s : spaces) {
            if (PictureColourProfile(read.picture).colours == ProfileColours::Cmyk) {
                EXPECT_EQ(s.space, "/DeviceRGB");
                continue;
            }
            EXPECT_EQ(s.profile, c.profile);
            EXPECT_EQ(s.profileDictionary, c.dictionary);
            EXPECT_EQ(s.space.startsWith("[/Indexed"),
                      read.picture.Info->bmiHeader.biBitCount == 8);
        }
    }
}

} // namespace
