// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExifSamples.h"
#include "GrafikRW.h"
#include "PictureOrientation.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

QByteArray Encoded(const char* format)
{
    QImage image(24, 16, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format)) << format;
    return bytes;
}

int OrientationOf(const QByteArray& file)
{
    return PictureOrientation(reinterpret_cast<const uint8_t*>(file.constData()),
                              size_t(file.size()));
}

TEST(Orientation, IsReadFromJpegPngAndWebpInEitherByteOrder)
{
    const QByteArray jpeg = Encoded("JPEG");
    const QByteArray png = Encoded("PNG");
    for (int value = 1; value <= 8; ++value)
        for (bool big : {false, true}) {
            SCOPED_TRACE(value);
            SCOPED_TRACE(big ? "MM" : "II");
            const QByteArray tiff = OrientationTiff(value, big);
            EXPECT_EQ(OrientationOf(WithJpegExif(jpeg, ExifBlock(tiff))), value);
            EXPECT_EQ(OrientationOf(WithPngExif(png, tiff)), value);
            EXPECT_EQ(OrientationOf(WithPngExif(png, ExifBlock(tiff))), value);
        }
    EXPECT_EQ(OrientationOf(jpeg), 0);
    EXPECT_EQ(OrientationOf(png), 0);

    const QByteArray webp = Encoded("WEBP");
    if (webp.isEmpty())
        return; // no WebP writer among Qt's plugins: the format is then read only
    EXPECT_EQ(OrientationOf(WithWebpExif(webp, ExifBlock(OrientationTiff(6)))), 6);
    EXPECT_EQ(OrientationOf(WithWebpExif(webp, OrientationTiff(8, true))), 8);
    EXPECT_EQ(OrientationOf(webp), 0);
}

TEST(Orientation, ADamagedOrStrangeTagIsNoTag)
{
    const QByteArray jpeg = Encoded("JPEG");
    const QByteArray good = ExifBlock(OrientationTiff(6));
    for (const QByteArray& block : {
             ExifBlock(OrientationTiff(0)),              // out of range
             ExifBlock(OrientationTiff(9)),              // out of range
             ExifBlock(OrientationTiff(6, false, 4)),    // a LONG, not a SHORT
             ExifBlock(OrientationTiff(6, false, 3, 2)), // two values
             good.left(good.size() - 10),                // cut short
             QByteArray("Exif\0\0XX*\0\0\0\0\0", 14),    // no byte order
             QByteArray("Exif\0\0", 6),
         }) {
        SCOPED_TRACE(block.toHex().toStdString());
        EXPECT_EQ(OrientationOf(WithJpegExif(jpeg, block)), 0);
    }
    // A segment whose length runs past the file, and files cut anywhere, read nothing.
    QByteArray broken = WithJpegExif(jpeg, good);
    broken[4] = char(0x7F);
    EXPECT_EQ(OrientationOf(broken), 0);
    const QByteArray whole = WithJpegExif(jpeg, good);
    for (qsizetype cut = 0; cut < 60; ++cut)
        EXPECT_LE(OrientationOf(whole.left(cut)), 6);
    EXPECT_EQ(PictureOrientation(nullptr, 10), 0);
}

TEST(Orientation, StepsTurnEachTagUpright)
{
    // Where the stored picture's top-left pixel ends up, with the upright picture's size, for
    // a stored picture 3 wide and 2 high: the tags' definitions.
    struct Expect
    {
        int orientation;
        int width, height; // upright
        int x, y;          // of the stored top-left pixel
    };
    for (const Expect e : {Expect{1, 3, 2, 0, 0}, Expect{2, 3, 2, 2, 0}, Expect{3, 3, 2, 2, 1},
                           Expect{4, 3, 2, 0, 1}, Expect{5, 2, 3, 0, 0}, Expect{6, 2, 3, 1, 0},
                           Expect{7, 2, 3, 1, 2}, Expect{8, 2, 3, 0, 2}}) {
        SCOPED_TRACE(e.orientation);
        int w = 3, h = 2, x = 0, y = 0;
        for (const PictureEdit& step : UprightSteps(e.orientation)) {
            switch (step.kind) {
            case PictureEdit::Kind::Cut:
                ADD_FAILURE() << "a cut turns nothing upright";
                break;
            case PictureEdit::Kind::Mirror:
                x = w - 1 - x;
                break;
            case PictureEdit::Kind::Flip:
                y = h - 1 - y;
                break;
            case PictureEdit::Kind::TurnLeft:
                std::tie(x, y) = std::make_pair(y, w - 1 - x);
                std::swap(w, h);
                break;
            case PictureEdit::Kind::TurnRight:
                std::tie(x, y) = std::make_pair(h - 1 - y, x);
                std::swap(w, h);
                break;
            }
        }
        EXPECT_EQ(w, e.width);
        EXPECT_EQ(h, e.height);
        EXPECT_EQ(x, e.x);
        EXPECT_EQ(y, e.y);
    }
    EXPECT_TRUE(UprightSteps(0).empty());
    EXPECT_TRUE(UprightSteps(9).empty());
}

} // namespace
