// SPDX-License-Identifier: GPL-3.0-or-later
#include "DibFileFormats.h"
#include "ExifSamples.h"
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "PictureColour.h"
#include "SdlCalls.h"
#include "TestSupport.h"

#include <QFile>
#include <QImage>
#include <QString>
#include <chrono>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using testsupport::ColourAt;

namespace {

bool Sh(const char* command)
{
    return testsupport::Run(QString::fromUtf8(command));
}

bool Near(int32_t a, int32_t b, int tolerance)
{
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(((a >> shift) & 0xFF) - ((b >> shift) & 0xFF)) > tolerance)
            return false;
    return true;
}

void WriteBytes(const char* name, const std::vector<uint8_t>& bytes)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// A 1-bit black PNG of that size, whose rows and filter bytes are all zeros, deflated as
// tightly as zlib can: within a few percent of the most pixels per byte that deflate allows,
// which the size check must still let through.
QByteArray DensestPng(int width, int height)
{
    const QByteArray rows(qsizetype((width + 7) / 8 + 1) * height, '\0');
    uLongf packedSize = compressBound(uLong(rows.size()));
    QByteArray packed(qsizetype(packedSize), '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
              reinterpret_cast<const Bytef*>(rows.constData()), uLong(rows.size()), 9);
    packed.resize(qsizetype(packedSize));
    QByteArray header(13, '\0');
    qToBigEndian(uint32_t(width), header.data());
    qToBigEndian(uint32_t(height), header.data() + 4);
    header[8] = 1; // bit depth; grey, deflate, no filter choice, not interlaced
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + testsupport::PngChunk("IHDR", header) +
           testsupport::PngChunk("IDAT", packed) + testsupport::PngChunk("IEND", {});
}

// A 4 x 2 source: red, green, blue, white over black, yellow, cyan, magenta.
const char* const kFourColoursPpm = "P3 4 2 255\n"
                                    "255 0 0  0 255 0  0 0 255  255 255 255\n"
                                    "0 0 0  255 255 0  0 255 255  255 0 255\n";
const int32_t kFourColours[2][4] = {{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF},
                                    {0x000000, 0xFFFF00, 0x00FFFF, 0xFF00FF}};

struct LoadCase
{
    const char* file;
    const char* command; // makes the file from src.ppm
    int depth;
    int tolerance; // per channel, for lossy types; -1: pixels not checked
};

TEST(OpenDib, ReadsEveryTypeOfTheLoadList)
{
    {
        QFile f("src.ppm");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kFourColoursPpm);
    }
    const LoadCase cases[] = {
        {"a.bmp", "convert src.ppm bmp3:a.bmp", 24, 0},
        {"a4.bmp", "convert src.ppm -type palette bmp3:a4.bmp", 4, 0},
        {"rle8.bmp", "convert src.ppm -type palette -compress RLE bmp3:rle8.bmp", 8, 0},
        {"a.dib", "convert src.ppm bmp3:a.dib", 24, 0},
        {"mono.bmp", "convert src.ppm -monochrome bmp3:mono.bmp", 1, -1},
        {"a.lbm", "ppmtoilbm <src.ppm >a.lbm 2>/dev/null", 4, 0},
        {"a.iff", "ppmtoilbm -24force <src.ppm >a.iff 2>/dev/null", 24, 0},
        {"a.jpg", "convert src.ppm -quality 100 -sampling-factor 1x1 a.jpg", 24, 40},
        {"a.jif", "convert src.ppm -quality 100 -sampling-factor 1x1 jpg:a.jif", 24, 40},
        {"a.gif", "convert src.ppm a.gif", 4, 0}, // a table of 4 colours
        {"a.pcx", "convert src.ppm a.pcx", 24, 0},
        {"a.tga", "ppmtotga -rgb -norle src.ppm >a.tga 2>/dev/null", 24, 0},
        {"rle.tga", "ppmtotga -rgb src.ppm >rle.tga 2>/dev/null", 24, 0},
        {"map.tga", "ppmtotga -cmap -norle src.ppm >map.tga 2>/dev/null", 4, 0},
        {"maprle.tga", "ppmtotga -cmap src.ppm >maprle.tga 2>/dev/null", 4, 0},
        {"a.tif", "convert src.ppm -compress LZW a.tif", 24, 0},
        {"a16.tif", "convert src.ppm -depth 16 a16.tif", 24, 0},
        {"a.png", "convert src.ppm png24:a.png", 24, 0},
        {"a16.png", "convert src.ppm -depth 16 png48:a16.png", 24, 0},
        {"pal.png", "convert src.ppm png8:pal.png", 4, 0},
        {"a.ppm", "cp src.ppm a.ppm", 24, 0},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_TRUE(Sh(c.command));
        const HeldPicture p(OpenDib(c.file, 0));
        ASSERT_NE(p->Bits, nullptr);
        EXPECT_EQ(DIBWidth(*p), 4);
        EXPECT_EQ(DIBHeight(*p), 2);
        EXPECT_EQ(p->Info->bmiHeader.biBitCount, c.depth);
        EXPECT_EQ(zweihoch(p->Info->bmiHeader.biBitCount), 1 << c.depth);
        EXPECT_EQ(p->HasPalette, c.depth <= 8 ? 1 : 0);
        EXPECT_EQ(int64_t(p->Info->bmiHeader.biSizeImage), int64_t(p->BytesPerLine) * 2);
        if (c.tolerance >= 0) {
            for (int y = 0; y < 2; ++y) {
                for (int x = 0; x < 4; ++x)
                    EXPECT_TRUE(Near(ColourAt(*p, x, y), kFourColours[y][x], c.tolerance))
                        << std::hex << ColourAt(*p, x, y) << " at " << x << "," << y;
            }
        }
    }
}

TEST(OpenDib, GreyAlphaAndMonoPictures)
{
    // Grey pictures keep 8 bits with a grey table; alpha is laid over white.
    ASSERT_TRUE(Sh("convert -size 16x4 gradient:black-white -depth 8 -colorspace Gray grey.png"));
    ASSERT_TRUE(Sh("convert -size 16x4 gradient:black-white -depth 8 -colorspace Gray grey.pgm"));
    ASSERT_TRUE(Sh("convert -size 16x4 gradient:black-white -depth 16 -colorspace Gray g16.png"));
    for (const char* name : {"grey.png", "grey.pgm", "g16.png"}) {
        SCOPED_TRACE(name);
        const HeldPicture p(OpenDib(name, 0));
        ASSERT_NE(p->Bits, nullptr);
        EXPECT_EQ(p->Info->bmiHeader.biBitCount, 8);
        for (int i = 0; i < 256; ++i) {
            const RGBQUAD& c = p->Info->bmiColors[i];
            EXPECT_TRUE(c.rgbRed == c.rgbGreen && c.rgbGreen == c.rgbBlue) << i;
        }
        EXPECT_LT(ColourAt(*p, 0, 0), 0x101010);
        EXPECT_GT(ColourAt(*p, 15, 3), 0xEEEEEE);
    }

    // Half-transparent black over white is mid grey; fully transparent red is white.
    ASSERT_TRUE(Sh("convert -size 1x1 xc:'rgba(0,0,0,0.5)' png32:alpha.png"));
    ASSERT_TRUE(Sh("convert -size 1x1 xc:'rgba(255,0,0,0)' png32:clear.png"));
    const HeldPicture a(OpenDib("alpha.png", 0));
    ASSERT_NE(a->Bits, nullptr);
    EXPECT_EQ(a->Info->bmiHeader.biBitCount, 24);
    EXPECT_TRUE(Near(getpixel(*a, 0, 0), 0x808080, 2)) << std::hex << getpixel(*a, 0, 0);
    const HeldPicture clear(OpenDib("clear.png", 0));
    ASSERT_NE(clear->Bits, nullptr);
    EXPECT_EQ(getpixel(*clear, 0, 0), 0xFFFFFF);

    ASSERT_TRUE(Sh("pbmmake -g 9 3 > mono.pbm"));
    const HeldPicture m(OpenDib("mono.pbm", 0));
    ASSERT_NE(m->Bits, nullptr);
    EXPECT_EQ(m->Info->bmiHeader.biBitCount, 1);
    EXPECT_EQ(zweihoch(m->Info->bmiHeader.biBitCount), 2);
}

// ImageMagick writes no RLE4, so this one is made by hand: 4 x 2 pixels, two runs per row.
TEST(OpenDib, ReadsRunLengthEncodedFourBitBmp)
{
    const std::vector<uint8_t> runs = {4, 0x01, 0, 0, 4, 0x23, 0, 1};
    const uint32_t offset = 14 + 40 + 16 * 4;
    std::vector<uint8_t> f(offset, 0);
    auto le32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            f[at + i] = uint8_t(v >> (8 * i));
    };
    f[0] = 'B', f[1] = 'M';
    le32(2, uint32_t(offset + runs.size())), le32(10, offset), le32(14, 40);
    le32(18, 4), le32(22, 2), f[26] = 1, f[28] = 4;
    le32(30, 2), le32(34, uint32_t(runs.size())), le32(46, 16);
    const uint32_t colours[4] = {0x102030, 0x405060, 0x708090, 0xA0B0C0};
    for (int i = 0; i < 4; ++i)
        le32(54 + 4 * i, colours[i]);
    f.insert(f.end(), runs.begin(), runs.end());
    WriteBytes("rle4.bmp", f);

    const HeldPicture p(OpenDib("rle4.bmp", 0));
    ASSERT_NE(p->Bits, nullptr);
    EXPECT_EQ(p->Info->bmiHeader.biBitCount, 4);
    const int32_t expected[2][4] = {{0x708090, 0xA0B0C0, 0x708090, 0xA0B0C0},
                                    {0x102030, 0x405060, 0x102030, 0x405060}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(ColourAt(*p, x, y), expected[y][x]) << x << "," << y;
    }
}

TEST(OpenDib, BadInputGivesNoPicture)
{
    WriteBytes("empty.bmp", {});
    WriteBytes("garbage.bmp", {0x13, 0x37, 0x00, 0xFF, 0x42, 0x42, 0x42, 0x99, 0x01, 0x02});
    ASSERT_TRUE(Sh("convert -size 64x64 plasma: big.png && head -c 200 big.png > cut.png"));
    ASSERT_TRUE(Sh("convert -size 64x64 plasma: big.jpg && head -c 300 big.jpg > cut.jpg"));
    ASSERT_TRUE(Sh("mkdir folder.bmp"));

    // A 24-bit BMP header claiming 100000 x 100000 pixels, with no pixels behind it.
    std::vector<uint8_t> huge(54, 0);
    auto le32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            huge[at + i] = uint8_t(v >> (8 * i));
    };
    huge[0] = 'B', huge[1] = 'M';
    le32(2, 54), le32(10, 54), le32(14, 40), le32(18, 100000), le32(22, 100000);
    huge[26] = 1, huge[28] = 24;
    WriteBytes("huge.bmp", huge);

    // A PNG whose IHDR claims 2^31 - 1 rows.
    std::vector<uint8_t> png = {0x89, 'P',  'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0,    0,
                                13,   'I',  'H', 'D', 'R',  0,    0,    0,    1, 0x7F, 0xFF,
                                0xFF, 0xFF, 8,   2,   0,    0,    0,    0,    0, 0,    0};
    WriteBytes("huge.png", png);

    WriteBytes("drawing.svg", {'I', '<', 's', 'v', 'g', 'a'}); // leaked in the SVG decoder
    // The start of a GIMP document, which the XCF decoder would read (and leak on).
    WriteBytes("layers.xcf", {'g', 'i',  'm', 'p', ' ', 'x', 'c', 'f', ' ', 0, 0, 'B',
                              'M', 0xBE, 0,   0,   0,   9,   0,   0,   0,   1, 0, 4});

    for (const char* name : {"missing.bmp", "empty.bmp", "garbage.bmp", "cut.png", "cut.jpg",
                             "folder.bmp", "huge.bmp", "huge.png", "drawing.svg", "layers.xcf"}) {
        const HeldPicture p(OpenDib(name, 0));
        EXPECT_EQ(p->Bits, nullptr) << name;
        EXPECT_EQ(p->Info, nullptr) << name;
    }
    EXPECT_EQ(HeldPicture(OpenDib(nullptr, 0))->Bits, nullptr);
}

TEST(ProbePictureSize, ReadsTheClaimedSize)
{
    struct Case
    {
        std::vector<uint8_t> bytes;
        std::optional<PictureSize> size;
    };
    const Case cases[] = {
        // BMP with a negative (top-down) height
        {{'B', 'M', 0, 0, 0,    0,    0,    0,    0, 0, 0,  0, 0, 0, 40, 0, 0, 0,
          7,   0,   0, 0, 0xFD, 0xFF, 0xFF, 0xFF, 1, 0, 24, 0, 0, 0, 0,  0, 0, 0,
          0,   0,   0, 0, 0,    0,    0,    0,    0, 0, 0,  0, 0, 0, 0,  0, 0, 0},
         PictureSize{7, 3}},
        {{'G', 'I', 'F',  '8', '9', 'a', 10, 0,    10,   0,    0,
          0,   0,   0x2C, 0,   0,   0,   0,  0x00, 0x10, 0x00, 0x20},
         PictureSize{0x1000, 0x2000}}, // the frame, not the screen
        {{0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 0, 0, 0xFF, 0xC2, 0, 11, 8, 0x01, 0x00, 0x02, 0x00},
         PictureSize{512, 256}},
        {{'P', '6', ' ', '#', 'c', '\n', '1', '2', '\n', '3', '4', ' '}, PictureSize{12, 34}},
        {{'M', 'M', 0, '*', 0, 0, 0, 8, 0, 2, 1, 0, 0, 3, 0, 0, 0,
          1,   0,   9, 0,   0, 1, 1, 0, 4, 0, 0, 0, 1, 0, 1, 0, 0},
         PictureSize{9, 65536}},
        {{'P', 'N'}, std::nullopt},
        {{'B', 'M', 0}, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto got = ProbePictureSize(c.bytes.data(), c.bytes.size());
        ASSERT_EQ(got.has_value(), c.size.has_value());
        if (got) {
            EXPECT_EQ(*got, *c.size) << got->width << " x " << got->height;
        }
    }
}

// The ceiling is a gigapixel within the record's 4 GiB image size, below it the memory decides.
TEST(JudgeClaim, WeighsTheClaimAgainstTheCeilingAndTheMemory)
{
    constexpr uint64_t kPlenty = uint64_t(1) << 40;
    PictureClaim claim;
    claim.type = PictureType::Jpeg;
    claim.size = {40000, 25000};
    EXPECT_EQ(JudgeClaim(claim, kPlenty).failure, ReadFailure::None);
    const ClaimVerdict tight = JudgeClaim(claim, uint64_t(2) << 30);
    EXPECT_EQ(tight.failure, ReadFailure::TooLarge);
    EXPECT_GE(tight.needed, uint64_t(40000) * 3 * 25000);
    EXPECT_EQ(tight.available, uint64_t(2) << 30);

    claim.size = {32768, 32769}; // just over a gigapixel
    EXPECT_EQ(JudgeClaim(claim, kPlenty).failure, ReadFailure::TooLarge);
    claim.size = {1, int64_t(1) << 30}; // a gigapixel, but rows padded to 4 bytes pass 4 GiB
    EXPECT_EQ(JudgeClaim(claim, kPlenty).failure, ReadFailure::TooLarge);
    claim.size = {4, int64_t(1) << 28};
    EXPECT_EQ(JudgeClaim(claim, kPlenty).failure, ReadFailure::None);
    claim.size = {0, 5};
    EXPECT_EQ(JudgeClaim(claim, kPlenty).failure, ReadFailure::Damaged);
    claim.size = {5, 5};
    claim.fitsFile = false;
    EXPECT_EQ(JudgeClaim(claim, kPlenty).failure, ReadFailure::Damaged);
}

// A header that claims far more pixels than the file can hold is refused before decoding, while
// real pictures of one colour, the densest files each type can make, still load.
TEST(OpenDib, WeighsTheClaimedSizeAgainstTheFileSize)
{
    // A run-length TGA of 28 bytes claiming 25571 x 8294 pixels: one run, then nothing.
    std::vector<uint8_t> tga(28, 0);
    tga[2] = 10, tga[12] = 0xE3, tga[13] = 0x63, tga[14] = 0x66, tga[15] = 0x20, tga[16] = 24;
    tga[18] = 0xFF;
    WriteBytes("claims.tga", tga);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(HeldPicture(OpenDib("claims.tga", 0))->Bits, nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));

    struct Case
    {
        const char* name;
        const char* command;
    };
    // Honest files of one colour, far denser than photos, must all be read; the PNG as dense
    // as zlib makes it.
    const Case dense[] = {
        {"one.gif", "pbmmake -white 3000 3000 | pamtogif >one.gif 2>/dev/null"},
        {"one.tga", "pbmmake -white 2000 2000 | ppmtoppm | ppmtotga -cmap >one.tga 2>/dev/null"},
        {"one.pcx", "pbmmake -white 2000 2000 | ppmtopcx >one.pcx 2>/dev/null"},
        {"one.lbm", "pbmmake -white 2000 2000 | ppmtoilbm >one.lbm 2>/dev/null"},
    };
    for (const Case& c : dense) {
        ASSERT_TRUE(Sh(c.command)) << c.command;
        const HeldPicture p(OpenDib(c.name, 0));
        EXPECT_NE(p->Bits, nullptr) << c.name;
    }
    const QByteArray png = DensestPng(4000, 4000);
    WriteBytes("one.png", std::vector<uint8_t>(png.begin(), png.end()));
    const HeldPicture p(OpenDib("one.png", 0));
    EXPECT_NE(p->Bits, nullptr) << png.size() << " bytes";
}

// A GIF may carry stray bytes before its image, which the decoder passes over; the image behind
// them, 32767 x 8191 pixels from 40 bytes, is what the file claims and is refused as such.
TEST(OpenDib, LooksBehindStrayBytesForTheSizeAGifClaims)
{
    std::vector<uint8_t> gif = {
        'G',  'I', 'F', '8', '9', 'a', 12,  0,   9,  0,
        0x80, 0,   0,   0,   0,   0,   255, 255, 255}; // screen and 2 colours
    gif.push_back(0x00);                               // a stray byte
    const uint8_t image[] = {0x2C, 0, 0, 0, 0, 0xFF, 0x7F, 0xFF, 0x1F, 0, 2, 2, 0x4C, 1, 0, ';'};
    gif.insert(gif.end(), std::begin(image), std::end(image));
    const auto claimed = ProbePictureSize(gif.data(), gif.size());
    ASSERT_TRUE(claimed.has_value());
    EXPECT_EQ(*claimed, (PictureSize{32767, 8191}));
    WriteBytes("stray.gif", gif);
    EXPECT_EQ(HeldPicture(OpenDib("stray.gif", 0))->Bits, nullptr);
}

// A PNG chunk that claims more bytes than the file has sent the decoder round for ever; such a
// file, and one cut short before its end chunk, give no picture, and at once.
TEST(OpenDib, PngWithChunksBeyondItsEndIsRefusedAtOnce)
{
    ASSERT_TRUE(Sh("convert -size 12x9 plasma: -colors 8 png8:small.png"));
    QFile file(QStringLiteral("small.png"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    constexpr int kBehindHeader = 8 + 12 + 13; // signature and IHDR
    const QByteArray longChunk = good.left(kBehindHeader) + QByteArray::fromHex("0000FEDF") +
                                 "cHRM" + good.mid(kBehindHeader);
    const QByteArray noEnd = good.left(good.size() - 12);
    const QByteArray cases[] = {longChunk, noEnd};
    for (const QByteArray& bytes : cases) {
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
        EXPECT_FALSE(PngChunksComplete(data, size_t(bytes.size())));
        WriteBytes("bad.png", std::vector<uint8_t>(data, data + bytes.size()));
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(HeldPicture(OpenDib("bad.png", 0))->Bits, nullptr);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    }
    const auto* data = reinterpret_cast<const uint8_t*>(good.constData());
    EXPECT_TRUE(PngChunksComplete(data, size_t(good.size())));
    const HeldPicture p(OpenDib("small.png", 0));
    EXPECT_NE(p->Bits, nullptr);
}

// GIF: the first image only, interlaced rows in their places, the depth by the size of the
// colour table, and a damaged image refused without looking further.
TEST(OpenDib, ReadsTheFirstImageOfAGif)
{
    ASSERT_TRUE(Sh("convert -size 7x13 plasma:fractal -colors 16 plain.gif"));
    ASSERT_TRUE(Sh("convert plain.gif -interlace GIF interlaced.gif"));
    const HeldPicture plain(OpenDib("plain.gif", 0));
    const HeldPicture interlaced(OpenDib("interlaced.gif", 0));
    ASSERT_NE(plain->Bits, nullptr);
    ASSERT_NE(interlaced->Bits, nullptr);
    EXPECT_EQ(plain->Info->bmiHeader.biBitCount, 4);
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 7; ++x)
            ASSERT_EQ(ColourAt(*interlaced, x, y), ColourAt(*plain, x, y)) << x << "," << y;

    ASSERT_TRUE(Sh("convert -size 6x4 xc:red -size 9x9 xc:blue anim.gif"));
    const HeldPicture first(OpenDib("anim.gif", 0));
    ASSERT_NE(first->Bits, nullptr);
    EXPECT_EQ(DIBWidth(*first), 6);
    EXPECT_EQ(DIBHeight(*first), 4);
    EXPECT_EQ(first->Info->bmiHeader.biBitCount, 1);
    EXPECT_EQ(ColourAt(*first, 5, 3), 0xFF0000u);

    // An image whose compressed data is garbage, then one of 65535 x 4096 pixels.
    std::vector<uint8_t> gif = {'G',  'I', 'F', '8', '9', 'a', 4,   0,   4,  0,
                                0x80, 0,   0,   0,   0,   0,   255, 255, 255};
    const uint8_t images[] = {0x2C, 0,    0,    0,    0,    4,    0, 4,    0,  0, 2,
                              5,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0x2C, 0,  0, 0,
                              0,    0xFF, 0xFF, 0,    0x10, 0,    2, 0,    ';'};
    gif.insert(gif.end(), std::begin(images), std::end(images));
    WriteBytes("damaged.gif", gif);
    EXPECT_EQ(HeldPicture(OpenDib("damaged.gif", 0))->Bits, nullptr);
}

// What the decoders hold at once stays within the budget of the read in progress, however they
// ask for it, and what they give back can be asked for again.
// A JPEG of over four million pixels is decoded in two parts at once, the lower part after
// skipping the upper's data: every pixel is djpeg's, for each sampling, for grey and for
// arithmetic coding, and damage in the data of either part refuses the file.
TEST(OpenDib, ALargeJpegDecodedInTwoPartsIsDjpegsPictureAndDamageInEitherPartIsRefused)
{
    if (!testsupport::HaveProgram("cjpeg") || !testsupport::HaveProgram("djpeg"))
        GTEST_SKIP() << "libjpeg-turbo-progs missing";
    constexpr int kSide = 2100; // off the grid of blocks
    QImage image(kSide, kSide, QImage::Format_RGB32);
    uint32_t state = 7;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            state = state * 1664525u + 1013904223u;
            image.setPixel(x, y,
                           qRgb((x / 3 + int(state >> 28)) & 0xFF, (y / 5) & 0xFF, (x ^ y) & 0xFF));
        }
    ASSERT_TRUE(image.save(QStringLiteral("large.ppm"), "PPM"));
    for (const char* options :
         {"-arithmetic -sample 2x2", "-sample 2x2", "-sample 2x1", "-sample 1x1", "-grayscale"}) {
        SCOPED_TRACE(options);
        ASSERT_TRUE(Sh((std::string("cjpeg -quality 90 ") + options +
                        " large.ppm > large.jpg && djpeg -pnm large.jpg > back.pnm")
                           .c_str()));
        const QImage expected(QStringLiteral("back.pnm"));
        ASSERT_EQ(expected.size(), QSize(kSide, kSide));
        const HeldPicture decoded(OpenDib("large.jpg", 0));
        ASSERT_NE(decoded->Bits, nullptr);
        int differing = 0;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                differing += ColourAt(*decoded, x, y) != int32_t(expected.pixel(x, y) & 0xFFFFFF);
        EXPECT_EQ(differing, 0);
    }
    // The last one, Huffman-coded: a marker in arithmetic-coded data is no fault to libjpeg.
    QFile file(QStringLiteral("large.jpg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    for (const double at : {0.3, 0.9}) {
        SCOPED_TRACE(at);
        QByteArray damaged = data;
        damaged.insert(qsizetype(double(data.size()) * at), "\xFF\xD3", 2);
        WriteBytes("damaged.jpg", std::vector<uint8_t>(damaged.begin(), damaged.end()));
        EXPECT_EQ(HeldPicture(OpenDib("damaged.jpg", 0))->Bits, nullptr);
    }
}

TEST(OpenDib, DecodersAllocateWithinABudget)
{
    constexpr size_t kMiB = size_t(1) << 20;
    constexpr size_t kBudget = 512 * kMiB;
    const SdlCalls* sdl = Sdl();
    ASSERT_NE(sdl, nullptr);
    EXPECT_EQ(sdl->malloc(DecoderBudget::kDefault + 1), nullptr);
    const DecoderBudget budget(kBudget);
    EXPECT_EQ(sdl->malloc(kBudget + 1), nullptr);
    EXPECT_EQ(sdl->calloc(kBudget / 2 + 1, 2), nullptr);
    EXPECT_EQ(sdl->calloc(SIZE_MAX / 2, 4), nullptr); // a product that wraps around

    void* most = sdl->malloc(kBudget - 64 * kMiB);
    ASSERT_NE(most, nullptr);
    EXPECT_EQ(sdl->malloc(128 * kMiB), nullptr);
    void* small = sdl->malloc(kMiB);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(sdl->realloc(small, 128 * kMiB), nullptr); // growing past the budget
    small = sdl->realloc(small, 16 * kMiB);
    ASSERT_NE(small, nullptr);
    sdl->free(most);
    void* again = sdl->malloc(kBudget / 2);
    EXPECT_NE(again, nullptr);
    sdl->free(again);
    sdl->free(small);
}

// A picture with every pixel distinct enough to catch row order and nibble order faults.
PictureRecord Sample(int depth, int width, int height)
{
    BITMAPINFO colours = {};
    for (int i = 0; i < 256; ++i)
        colours.bmiColors[i] = {uint8_t(i * 7), uint8_t(255 - i), uint8_t(i * 3 + 1), 0};
    const int n = ColourTableSize(depth);
    PictureRecord p = newdib(width, height, depth, n ? &colours : nullptr, n);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            setpixel(p, x, y, depth == 24 ? (x * 40503 + y * 977) & 0xFFFFFF : x + 3 * y);
    return p;
}

TEST(SaveDib, LosslessTypesReadBackTheSamePicture)
{
    struct Case
    {
        int code;
        const char* name;
        bool keepsDepth; // else only the colours survive (TIFF is read back as 24 bits)
    };
    const Case cases[] = {{3, "out.bmp", true}, {4, "out.png", true}, {6, "out.tif", false}};
    for (const int depth : {1, 4, 8, 24}) {
        const HeldPicture original(Sample(depth, 13, 5));
        ASSERT_NE(original->Bits, nullptr);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(depth) + " bits");
            ASSERT_TRUE(SaveDib(*original, c.name, c.code));
            const HeldPicture back(OpenDib(c.name, 0));
            ASSERT_NE(back->Bits, nullptr);
            ASSERT_EQ(DIBWidth(*back), 13);
            ASSERT_EQ(DIBHeight(*back), 5);
            if (c.keepsDepth) {
                EXPECT_EQ(back->Info->bmiHeader.biBitCount, depth);
                const int n = ColourTableSize(depth);
                EXPECT_EQ(std::memcmp(back->Info->bmiColors, original->Info->bmiColors, 4 * n), 0);
            }
            for (int y = 0; y < 5; ++y) {
                for (int x = 0; x < 13; ++x) {
                    if (c.keepsDepth) {
                        EXPECT_EQ(getpixel(*back, x, y), getpixel(*original, x, y));
                    }
                    EXPECT_EQ(ColourAt(*back, x, y), ColourAt(*original, x, y));
                }
            }
        }
    }
}

TEST(SaveDib, BmpIsExactlyTheRecord)
{
    const HeldPicture p(Sample(4, 7, 3));
    const QByteArray bmp = EncodeBmp(*p);
    ASSERT_EQ(bmp.size(), 14 + 40 + 16 * 4 + 4 * 3);
    EXPECT_EQ(bmp.left(2), "BM");
    EXPECT_EQ(std::memcmp(bmp.constData() + 14 + 40 + 64, p->Bits, 12), 0);
    EXPECT_EQ(uint8_t(bmp[14 + 14]), 4); // bits per pixel
}

TEST(SaveDib, JpegAndFailures)
{
    const HeldPicture p(Sample(24, 16, 16));
    ASSERT_TRUE(SaveDib(*p, "out.jpg", 5));
    const HeldPicture back(OpenDib("out.jpg", 0));
    ASSERT_NE(back->Bits, nullptr);
    EXPECT_EQ(DIBWidth(*back), 16);
    const HeldPicture grey(Sample(8, 16, 16));
    EXPECT_TRUE(SaveDib(*grey, "grey.jpg", 5));

    EXPECT_FALSE(SaveDib(*p, "x.bmp", 2));
    EXPECT_FALSE(SaveDib(*p, "x.bmp", 0));
    EXPECT_FALSE(SaveDib(*p, "x.bmp", 9));
    EXPECT_FALSE(SaveDib(*p, "no/such/folder/x.bmp", 3));
    EXPECT_FALSE(SaveDib(*p, "no/such/folder/x.png", 4));
    EXPECT_FALSE(SaveDib(PictureRecord{}, "x.bmp", 3));
    EXPECT_FALSE(SaveDib(*p, nullptr, 3));
    EXPECT_FALSE(QFile::exists("x.bmp"));
}

TEST(SaveDib, FilterListsTheCodesInOrder)
{
    EXPECT_STREQ(GetDIBSaveFilter(),
                 "BMP|*.BMP|PNG|*.PNG|JPEG|*.JPG;*.JPEG|TIFF|*.TIF;*.TIFF|PCX|*.PCX|TGA|*.TGA");
}

} // namespace
