// SPDX-License-Identifier: GPL-3.0-or-later
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "PictureColour.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <tuple>
#include <unistd.h>
#include <vector>

using testsupport::ColourAt;

namespace {

struct SaveType
{
    int32_t code;
    const char* extension;
    int tolerance;           // per colour channel; 0 for the lossless types
    bool keepsDepth;         // else only the colours must survive
    const char* otherReader; // a reader of another make that must see the same colours
};
const SaveType kTypes[] = {
    {3, "bmp", 0, true, "bmptopnm"},  {4, "png", 0, true, nullptr},
    {5, "jpg", 10, false, nullptr},   {6, "tif", 0, false, nullptr},
    {7, "pcx", 0, false, "pcxtoppm"}, {8, "tga", 0, true, "tgatoppm"},
};

// Random pixels, paletted ones over a random table without greys; with block > 1 in squares of
// one value, which JPEG, coding in squares of 8 and 16 pixels, keeps close.
PictureRecord RandomPicture(int depth, int width, int height, int block, std::mt19937& random)
{
    BITMAPINFO colours = {};
    for (RGBQUAD& c : colours.bmiColors) {
        do
            c = {uint8_t(random()), uint8_t(random()), uint8_t(random()), 0};
        while (c.rgbRed == c.rgbGreen && c.rgbGreen == c.rgbBlue);
    }
    const int n = ColourTableSize(depth);
    const PictureRecord p = newdib(width, height, depth, n ? &colours : nullptr, n);
    const int32_t mask = depth == 24 ? 0xFFFFFF : n - 1;
    std::vector<int32_t> blockValues(size_t((width / block + 1) * (height / block + 1)));
    for (int32_t& v : blockValues)
        v = int32_t(random()) & mask;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            setpixel(p, x, y, blockValues[size_t((y / block) * (width / block + 1) + x / block)]);
    return p;
}

// Pixels at the edge of a square of the given size are passed over: JPEG blends their colours
// with the next square's.
::testing::AssertionResult SameColours(const PictureRecord& expected, const PictureRecord& got,
                                       int tolerance, int block = 1)
{
    auto atEdge = [block](int i) {
        return block > 1 && (i % block == 0 || i % block == block - 1);
    };
    if (!got.Bits)
        return ::testing::AssertionFailure() << "no picture";
    const int width = DIBWidth(expected), height = DIBHeight(expected);
    if (DIBWidth(got) != width || DIBHeight(got) != height)
        return ::testing::AssertionFailure() << DIBWidth(got) << " x " << DIBHeight(got);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (atEdge(x) || atEdge(y))
                continue;
            const int32_t a = ColourAt(expected, x, y), b = ColourAt(got, x, y);
            for (int shift = 0; shift < 24; shift += 8)
                if (std::abs(((a >> shift) & 0xFF) - ((b >> shift) & 0xFF)) > tolerance)
                    return ::testing::AssertionFailure()
                           << std::hex << b << " for " << a << std::dec << " at " << x << "," << y;
        }
    }
    return ::testing::AssertionSuccess();
}

QByteArray Contents(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

TEST(SaveDib, EveryTypeReadsBackAtEveryDepth)
{
    std::mt19937 random(1234);
    struct Size
    {
        int width, height;
    };
    // An odd size, rows that fill whole bytes at 1 bit, and a single pixel.
    const Size sizes[] = {{37, 23}, {40, 9}, {1, 1}};
    for (const SaveType& type : kTypes) {
        const std::string name = std::string("out.") + type.extension;
        for (const int depth : {1, 4, 8, 24}) {
            for (const Size size : sizes) {
                SCOPED_TRACE(name + " at " + std::to_string(depth) + " bits, " +
                             std::to_string(size.width) + " x " + std::to_string(size.height));
                const int block = type.tolerance ? 16 : 1;
                const HeldPicture original(
                    RandomPicture(depth, size.width, size.height, block, random));
                ASSERT_NE(original->Bits, nullptr);
                // The same name each time: every save after the first replaces a file.
                ASSERT_TRUE(SaveDib(*original, name.c_str(), type.code));
                const HeldPicture back(OpenDib(name.c_str(), 0));
                EXPECT_TRUE(SameColours(*original, *back, type.tolerance, block));
                if (back->Bits && type.keepsDepth) {
                    EXPECT_EQ(back->Info->bmiHeader.biBitCount, depth);
                }
                if (type.otherReader) {
                    const QString command = QString::fromLatin1("%1 %2 >other.ppm 2>/dev/null")
                                                .arg(type.otherReader, name.c_str());
                    ASSERT_TRUE(testsupport::Run(command));
                    const HeldPicture other(OpenDib("other.ppm", 0));
                    EXPECT_TRUE(SameColours(*original, *other, 0)) << type.otherReader;
                }
            }
        }
    }
}

// A grey picture (8 bits through the grey ramp) and a black and white one (1 bit).
PictureRecord GreyOrBilevel(int depth, int width, int height)
{
    const PictureRecord p = newdib(width, height, depth, nullptr, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            setpixel(p, x, y, depth == 1 ? (x / 3 + y / 2) % 2 : (x * 16 + y * 8) / 4 % 256);
    DIBChanged(p);
    return p;
}

int BitsOf(const PictureRecord& p)
{
    return p.Bits ? p.Info->bmiHeader.biBitCount : 0;
}

TEST(SaveDib, GreyAndBilevelPicturesReadAndSaveAtTheirOwnDepth)
{
    // Read: files of other makes.
    ASSERT_TRUE(testsupport::Run(QStringLiteral(
        "convert -size 61x37 gradient:black-white -colorspace Gray -quality 95 grey.jpg && "
        "convert -size 61x37 gradient:black-white -colorspace Gray -depth 8 grey.png && "
        "convert -size 61x37 gradient:black-white -colorspace Gray -depth 8 grey.tif && "
        "convert -size 61x37 pattern:checkerboard -type bilevel -depth 1 bilevel.tif")));
    for (const auto& [file, bits] : {std::pair{"grey.jpg", 8}, std::pair{"grey.png", 8},
                                     std::pair{"grey.tif", 8}, std::pair{"bilevel.tif", 1}}) {
        SCOPED_TRACE(file);
        const HeldPicture p(OpenDib(file, 0));
        EXPECT_EQ(BitsOf(*p), bits);
        EXPECT_EQ(DIBWidth(*p), 61);
        if (p->Bits) {
            EXPECT_EQ(ColourAt(*p, 60, 0) & 0xFF, (ColourAt(*p, 60, 0) >> 16) & 0xFF); // grey
        }
    }
    // Saved and read back: the depth stays where the type has it.
    for (const auto& [code, extension, depth] :
         {std::tuple{5, "jpg", 8}, std::tuple{4, "png", 8}, std::tuple{6, "tif", 8},
          std::tuple{6, "tif", 1}, std::tuple{4, "png", 1}}) {
        const std::string name = std::string("depth.") + extension;
        SCOPED_TRACE(name + " at " + std::to_string(depth));
        const HeldPicture original(GreyOrBilevel(depth, 40, 24));
        ASSERT_TRUE(SaveDib(*original, name.c_str(), code));
        const HeldPicture back(OpenDib(name.c_str(), 0));
        EXPECT_EQ(BitsOf(*back), depth == 1 && code == 5 ? 8 : depth);
        EXPECT_TRUE(SameColours(*original, *back, code == 5 ? 12 : 0, code == 5 ? 8 : 1));
    }
}

// Saves with writes that would make any file longer than the limit failing (EFBIG) instead of
// the process being killed.
bool SaveWithFileSizeLimit(const PictureRecord& p, const char* name, int32_t code, rlim_t limit)
{
    rlimit saved = {};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &limited);
    void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    const bool result = SaveDib(p, name, code);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    return result;
}

TEST(SaveDib, FailedSaveLeavesTheOldFileAndNothingBesideIt)
{
    std::mt19937 random(99);
    const HeldPicture picture(RandomPicture(24, 120, 90, 1, random));
    ASSERT_NE(picture->Bits, nullptr);
    PictureRecord noPixels = *picture;
    noPixels.Bits = nullptr;
    const QByteArray old = "the picture saved before";
    for (const SaveType& type : kTypes) {
        SCOPED_TRACE(type.extension);
        const QString folder = QString::fromLatin1("folder-%1").arg(type.extension);
        const QString name = folder + QStringLiteral("/picture");
        const QByteArray local = QFile::encodeName(name);
        QFile file(name);
        ASSERT_TRUE(QDir().mkdir(folder) && file.open(QIODevice::WriteOnly));
        file.write(old);
        file.close();

        const std::string elsewhere = std::string("no/such/folder/x.") + type.extension;
        EXPECT_FALSE(SaveDib(*picture, elsewhere.c_str(), type.code));
        EXPECT_FALSE(SaveDib(noPixels, local.constData(), type.code));
        // Every type's file of this picture is larger, so the write fails part way.
        EXPECT_FALSE(SaveWithFileSizeLimit(*picture, local.constData(), type.code, 4096));
        EXPECT_TRUE(Contents(name) == old) << "the old file was changed";
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).join(u' ').toStdString(),
                  "picture");

        ASSERT_TRUE(SaveDib(*picture, local.constData(), type.code));
        const HeldPicture back(OpenDib(local.constData(), 0));
        EXPECT_EQ(DIBWidth(*back), 120);
    }
}

bool IsFullDevice(const char* path)
{
    const int fd = ::open(path, O_WRONLY);
    const char byte = 0;
    const bool full = fd >= 0 && ::write(fd, &byte, 1) < 0 && errno == ENOSPC;
    if (fd >= 0)
        ::close(fd);
    return full;
}

// A device is written to, never replaced: on a full one every type fails, and the device stays.
TEST(SaveDib, FullDeviceFailsEveryType)
{
    // A device of our own where we may make one, so that a faulty save would replace only that;
    // where we may not, /dev is closed to us as well.
    std::string full = "full";
    if (::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0 || !IsFullDevice("full")) {
        full = "/dev/full";
        if (::access("/dev", W_OK) == 0 || !IsFullDevice(full.c_str()))
            GTEST_SKIP() << "no full device that a faulty save could not replace";
    }
    std::mt19937 random(5);
    const HeldPicture picture(RandomPicture(8, 64, 64, 1, random));
    for (const SaveType& type : kTypes) {
        EXPECT_FALSE(SaveDib(*picture, full.c_str(), type.code)) << type.extension;
        struct stat info = {};
        ASSERT_TRUE(::stat(full.c_str(), &info) == 0 && S_ISCHR(info.st_mode)) << type.extension;
    }
}

TEST(SaveDib, CodesFollowTheFilter)
{
    const QString filter = QString::fromLatin1(GetDIBSaveFilter());
    EXPECT_EQ(filter,
              "BMP|*.BMP|PNG|*.PNG|JPEG|*.JPG;*.JPEG|TIFF|*.TIF;*.TIFF|PCX|*.PCX|TGA|*.TGA");
    const QStringList parts = filter.split(u'|');
    ASSERT_EQ(parts.size() % 2, 0);
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const int32_t code = 3 + int32_t(i / 2);
        SCOPED_TRACE(parts[i].toStdString());
        EXPECT_EQ(SaveCodeForTypeName(parts[i].toLower().toUtf8().constData()), code);
        for (const QString& pattern : parts[i + 1].split(u';')) {
            const QString extension = pattern.mid(2);
            for (const QString& e : {extension, extension.toLower()}) {
                EXPECT_EQ(SaveCodeForFileName(("a.b/name." + e).toUtf8().constData()), code);
                EXPECT_EQ(SaveCodeForTypeName(e.toUtf8().constData()), code);
            }
        }
    }
    for (const char* name : {"x", "x.", "x.gif", "png", "x.png.bak", "a.png/x", ""})
        EXPECT_EQ(SaveCodeForFileName(name), 0) << name;
    for (const char* name : {"gif", "*.png", "", "BMPX"})
        EXPECT_EQ(SaveCodeForTypeName(name), 0) << name;
    EXPECT_EQ(SaveCodeForFileName(nullptr), 0);
    EXPECT_EQ(SaveCodeForTypeName(nullptr), 0);

    // The codes on either side of the list write nothing.
    std::mt19937 random(7);
    const HeldPicture p(RandomPicture(8, 5, 5, 1, random));
    const int32_t beyond = 3 + int32_t(parts.size() / 2);
    for (const int32_t code : {0, 2, beyond})
        EXPECT_FALSE(SaveDib(*p, "x.bmp", code)) << code;
    EXPECT_FALSE(QFile::exists(QStringLiteral("x.bmp")));
}

} // namespace
