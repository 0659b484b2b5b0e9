// SPDX-License-Identifier: GPL-3.0-or-later
#include "ColourProfile.h"
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "IccSamples.h"
#include "PictureColour.h"
#include "PictureOps.h"
#include "PictureRead.h"
#include "TestSupport.h"

#include <QColorSpace>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

QImage Colour()
{
    QImage image(40, 24, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 6, y * 10, 255 - x * 6));
    return image;
}

QImage Grey()
{
    return Colour().convertToFormat(QImage::Format_Grayscale8);
}

PictureRead ReadBytes(const QByteArray& bytes, const char* name)
{
    const QString path = TestDir() + u'/' + QLatin1String(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    return ReadPictureFile(QFile::encodeName(path).constData());
}

class ColourProfiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rgb = GhostscriptProfile("a98.icc");
        grey = GhostscriptProfile("sgray.icc");
        cmyk = GhostscriptProfile("default_cmyk.icc");
        if (rgb.isEmpty() || grey.isEmpty() || cmyk.isEmpty())
            GTEST_SKIP() << "Ghostscript's profiles (libgs-common) missing";
    }
    QByteArray rgb, grey, cmyk;
};

TEST_F(ColourProfiles, AreReadFromJpegPngAndTiffAndKeptWithThePicture)
{
    QImage tiffImage = Colour();
    tiffImage.setColorSpace(QColorSpace::fromIccProfile(rgb));
    QImage greyTiff = Grey();
    greyTiff.setColorSpace(QColorSpace::fromIccProfile(grey));
    struct Case
    {
        const char* name;
        QByteArray file;
        const QByteArray& profile;
        ProfileColours colours;
    };
    const Case cases[] = {
        {"rgb.jpg", WithJpegIcc(EncodedImage(Colour(), "JPEG"), rgb), rgb, ProfileColours::Rgb},
        {"grey.jpg", WithJpegIcc(EncodedImage(Grey(), "JPEG"), grey), grey, ProfileColours::Grey},
        {"rgb.png", WithPngIcc(EncodedImage(Colour(), "PNG"), rgb), rgb, ProfileColours::Rgb},
        {"grey.png", WithPngIcc(EncodedImage(Grey(), "PNG"), grey), grey, ProfileColours::Grey},
        {"rgb.tif", EncodedImage(tiffImage, "TIFF"), rgb, ProfileColours::Rgb},
        {"grey.tif", EncodedImage(greyTiff, "TIFF"), grey, ProfileColours::Grey},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PictureRead read = ReadBytes(c.file, c.name);
        const HeldPicture heldRead(read.picture);
        ASSERT_NE(read.picture.Bits, nullptr);
        const ColourProfile& profile = PictureColourProfile(read.picture);
        EXPECT_EQ(profile.bytes, c.profile);
        EXPECT_EQ(profile.colours, c.colours);
        EXPECT_TRUE(ProfileFitsPixels(profile, read.picture));
        EXPECT_EQ(read.profileNote, "");
        // Edits that make a new picture keep its colours.
        HeldPicture turned(RotateLeft(read.picture));
        HeldPicture cut(CutToSelection(*turned, 2, 2, 10, 10));
        EXPECT_EQ(PictureColourProfile(*cut).bytes, c.profile);
    }
}

TEST_F(ColourProfiles, SpreadOverSeveralChunksAreJoinedByTheirNumbersAndAnIncompleteSetIsLeftOut)
{
    const QByteArray jpeg = EncodedImage(Colour(), "JPEG");
    const qsizetype third = rgb.size() / 3 + 1;
    PictureRead read = ReadBytes(WithJpegIcc(jpeg, rgb, third, {2, 3, 1}), "shuffled.jpg");
    const HeldPicture heldRead(read.picture);
    ASSERT_NE(read.picture.Bits, nullptr);
    EXPECT_EQ(PictureColourProfile(read.picture).bytes, rgb);

    for (const auto& [file, name] :
         {std::pair{WithJpegIcc(jpeg, rgb, third, {1, 3}), "gap.jpg"},
          std::pair{WithJpegIcc(jpeg, rgb, third, {1, 1, 2, 3}), "twice.jpg"}}) {
        SCOPED_TRACE(name);
        read = ReadBytes(file, name);
        const HeldPicture heldAgain(read.picture);
        ASSERT_NE(read.picture.Bits, nullptr);
        EXPECT_TRUE(PictureColourProfile(read.picture).empty());
        EXPECT_EQ(read.profileNote, "damaged");
    }
}

TEST_F(ColourProfiles, ThatDoNotFitThePictureOrAreDamagedAreLeftOutAndThePictureStillLoads)
{
    const QByteArray colourJpeg = EncodedImage(Colour(), "JPEG");
    const QByteArray greyJpeg = EncodedImage(Grey(), "JPEG");
    const QByteArray colourPng = EncodedImage(Colour(), "PNG");
    const QByteArray greyPng = EncodedImage(Grey(), "PNG");
    const QByteArray cutShort = rgb.left(200);
    QByteArray noTags = rgb;
    noTags.replace(128, 4, QByteArray("\0\0\0\0", 4)); // the tag count
    struct Case
    {
        const char* name;
        QByteArray file;
        const char* note;
    };
    const Case cases[] = {
        {"rgb-on-grey.jpg", WithJpegIcc(greyJpeg, rgb), "an RGB profile on a grey picture"},
        {"cmyk-on-rgb.jpg", WithJpegIcc(colourJpeg, cmyk), "a CMYK profile on an RGB picture"},
        {"grey-on-rgb.png", WithPngIcc(colourPng, grey), "a grey profile on an RGB picture"},
        {"rgb-on-grey.png", WithPngIcc(greyPng, rgb), "an RGB profile on a grey picture"},
        {"lab.jpg", WithJpegIcc(colourJpeg, GhostscriptProfile("lab.icc")),
         "a profile of colours Velmora does not print"},
        {"short.jpg", WithJpegIcc(colourJpeg, cutShort), "damaged"},
        {"no-tags.jpg", WithJpegIcc(colourJpeg, noTags), "damaged"},
        {"noise.png", WithPngIcc(colourPng, QByteArray(600, 'x')), "damaged"},
        {"broken-stream.png", WithPngIcc(colourPng, rgb, true), "damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PictureRead read = ReadBytes(c.file, c.name);
        const HeldPicture heldRead(read.picture);
        ASSERT_NE(read.picture.Bits, nullptr);
        EXPECT_TRUE(PictureColourProfile(read.picture).empty());
        EXPECT_EQ(read.profileNote, c.note);
    }
}

// A table that no transform into the pixels' colours reads, here the way back from them, is
// read all the same: damaged, it would go into the document for a viewer to fail on (found by
// fuzzing the poster document).
TEST_F(ColourProfiles, ADamagedTableOfTheOtherDirectionLeavesTheProfileOut)
{
    ASSERT_TRUE(CheckColourProfile(cmyk, ProfileColours::Cmyk).refusal.empty());
    QByteArray broken = cmyk;
    const auto be32 = [&](int at) {
        return uint32_t(uint8_t(broken[at])) << 24 | uint32_t(uint8_t(broken[at + 1])) << 16 |
               uint32_t(uint8_t(broken[at + 2])) << 8 | uint8_t(broken[at + 3]);
    };
    int moved = 0;
    for (uint32_t i = 0, count = be32(128); i < count; ++i) {
        const int entry = 132 + 12 * int(i);
        if (broken.mid(entry, 3) != "B2A")
            continue;
        // The table now starts 16 bytes before the end of the profile, and runs past it.
        const uint32_t offset = uint32_t(broken.size()) - 16;
        for (int b = 0; b < 4; ++b) {
            broken[entry + 4 + b] = char(offset >> (24 - 8 * b));
            broken[entry + 8 + b] = char(16 >> (24 - 8 * b));
        }
        ++moved;
    }
    ASSERT_GT(moved, 0);
    const ProfileCheck check = CheckColourProfile(broken, ProfileColours::Cmyk);
    EXPECT_TRUE(check.profile.empty());
    EXPECT_EQ(check.refusal, "damaged");

    // The relative colorimetric table, which poppler links with, replaced by one of the other
    // direction: the perceptual one still reads, but a viewer would draw without the profile.
    QByteArray oneIntent = cmyk;
    const int relative = int(oneIntent.indexOf("A2B1"));
    const int backward = int(oneIntent.indexOf("B2A1"));
    ASSERT_TRUE(relative > 128 && backward > 128);
    oneIntent.replace(relative + 4, 8, oneIntent.mid(backward + 4, 8));
    EXPECT_EQ(CheckColourProfile(oneIntent, ProfileColours::Cmyk).refusal, "damaged");

    // A printer profile whose tables link, but whose black point can't be found: the round trip
    // made for it does not link, which LittleCMS only logs and poppler reports as an error of
    // the document (found by fuzzing the poster document).
    QByteArray noBlackPoint(5340, '\0');
    const auto put = [&noBlackPoint](int at, uint32_t value) {
        for (int b = 0; b < 4; ++b)
            noBlackPoint[at + b] = char(value >> (24 - 8 * b));
    };
    put(0, 5120);
    put(8, 0x2000); // a version 0.0.2 no profile has
    noBlackPoint.replace(12, 12, "prtrCMYKXYZ ");
    noBlackPoint.replace(36, 8, "acspAPPL");
    put(68, 0xF6D6); // the illuminant, D50
    put(72, 0x10000);
    put(76, 0xD32D);
    const struct
    {
        const char* tag;
        uint32_t at, size;
    } tags[] = {{"desc", 204, 76}, {"cprt", 280, 92},   {"wtpt", 372, 20},
                {"bkpt", 392, 20}, {"A2B0", 412, 3840}, {"B2A0", 4252, 1088}};
    put(128, uint32_t(std::size(tags)));
    for (int i = 0; i < int(std::size(tags)); ++i) {
        noBlackPoint.replace(132 + 12 * i, 4, tags[i].tag);
        put(136 + 12 * i, tags[i].at);
        put(140 + 12 * i, tags[i].size);
    }
    // A white point of nought, and a CMYK to XYZ table of 5 points a side that gives nought.
    noBlackPoint.replace(372, 4, "XYZ ");
    noBlackPoint.replace(412, 12, QByteArray::fromHex("6d6674320000000004030500"));
    EXPECT_EQ(CheckColourProfile(noBlackPoint, ProfileColours::Cmyk).refusal, "damaged");
}

TEST_F(ColourProfiles, AreWrittenBackByJpegPngAndTiffWhenTheyDescribeThePixels)
{
    const PictureRead colour = ReadBytes(WithJpegIcc(EncodedImage(Colour(), "JPEG"), rgb), "c.jpg");
    const PictureRead grey8 = ReadBytes(WithPngIcc(EncodedImage(Grey(), "PNG"), grey), "g.png");
    const HeldPicture heldColour(colour.picture), heldGrey8(grey8.picture);
    ASSERT_NE(colour.picture.Bits, nullptr);
    ASSERT_NE(grey8.picture.Bits, nullptr);
    // A paletted picture of colours takes an RGB profile, as a PNG's colour table does.
    HeldPicture paletted(newdib(8, 8, 8, nullptr, 0));
    paletted->Info->bmiColors[1] = RGBQUAD{10, 200, 30, 0};
    SetPictureColourProfile(*paletted, PictureColourProfile(colour.picture));
    struct Case
    {
        const char* name;
        const PictureRecord& picture;
        const QByteArray& profile;
    };
    HeldPicture blackWhite(newdib(9, 9, 1, nullptr, 0));
    for (int i = 0; i < 9; ++i)
        setpixel(*blackWhite, i, (i * 4) % 9, 1);
    SetPictureColourProfile(*blackWhite, PictureColourProfile(grey8.picture));
    const Case cases[] = {{"colour", colour.picture, rgb},
                          {"grey", grey8.picture, grey},
                          {"paletted", *paletted, rgb},
                          {"bilevel", *blackWhite, grey}};
    for (const Case& c : cases)
        for (const char* type : {"jpg", "png", "tif"}) {
            if (c.picture.Info->bmiHeader.biBitCount == 8 && !HasGreyColourTable(c.picture) &&
                std::string(type) == "jpg")
                continue; // a JPEG of a colour table is a colour photo again
            SCOPED_TRACE(std::string(c.name) + '.' + type);
            const QString path =
                TestDir() + u'/' + QLatin1String(c.name) + u'.' + QLatin1String(type);
            const QByteArray name = QFile::encodeName(path);
            ASSERT_TRUE(
                SaveDib(c.picture, name.constData(), SaveCodeForFileName(name.constData())));
            PictureRead back = ReadPictureFile(name.constData());
            const HeldPicture heldBack(back.picture);
            ASSERT_NE(back.picture.Bits, nullptr);
            EXPECT_EQ(PictureColourProfile(back.picture).bytes, c.profile);
            EXPECT_EQ(back.profileNote, "");
            if (std::string(type) != "jpg") {
                // The profile changes neither the depth nor the pixels (a TIFF's colour table
                // is read as colours).
                if (std::string(c.name) != "paletted" || std::string(type) == "png") {
                    EXPECT_EQ(back.picture.Info->bmiHeader.biBitCount,
                              c.picture.Info->bmiHeader.biBitCount);
                }
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x)
                        ASSERT_EQ(ColourAt(back.picture, x, y), ColourAt(c.picture, x, y));
            }
        }

    // A CMYK photo decodes to RGB pixels: its inks' profile is not theirs and is not written.
    HeldPicture decoded(newdib(8, 8, 24, nullptr, 0));
    ColourProfile inks;
    inks.bytes = cmyk;
    inks.colours = ProfileColours::Cmyk;
    SetPictureColourProfile(*decoded, inks);
    const QByteArray name = QFile::encodeName(TestDir() + QStringLiteral("/inks.jpg"));
    ASSERT_TRUE(SaveDib(*decoded, name.constData(), SaveCodeForFileName(name.constData())));
    PictureRead back = ReadPictureFile(name.constData());
    const HeldPicture heldBack(back.picture);
    EXPECT_TRUE(PictureColourProfile(back.picture).empty());
    EXPECT_EQ(back.profileNote, "");
}

} // namespace
