// SPDX-License-Identifier: GPL-3.0-or-later
// Reading hostile, damaged and very large files: what each is refused as, and that the refusal
// comes before the decoder spends time or memory on what the file only claims.
#include "PictureRead.h"
#include "DibFileFormats.h"
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "PictureColour.h"
#include "TestSupport.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void Put32(Bytes& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void PutBe16(Bytes& b, uint32_t v)
{
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}
void PutBe32(Bytes& b, uint32_t v)
{
    PutBe16(b, v >> 16);
    PutBe16(b, v & 0xFFFF);
}
void PutText(Bytes& b, const char* text)
{
    b.insert(b.end(), text, text + std::strlen(text));
}

void Write(const std::string& name, const Bytes& bytes)
{
    QFile f(QString::fromStdString(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

Bytes ReadBack(const char* name)
{
    QFile f(QString::fromUtf8(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    return Bytes(all.begin(), all.end());
}

// The CRC of PNG chunks.
uint32_t crc32Of(const uint8_t* data, size_t size)
{
    static const auto table = [] {
        std::vector<uint32_t> t(256);
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

bool Sh(const std::string& command)
{
    return testsupport::Run(QString::fromStdString(command));
}

// A BMP file header and 40-byte info header.
Bytes BmpHeader(uint32_t fileSize, uint32_t offset, int32_t width, int32_t height, int bits,
                uint32_t compression, uint32_t colours)
{
    Bytes b;
    PutText(b, "BM");
    Put32(b, fileSize), Put32(b, 0), Put32(b, offset);
    Put32(b, 40), Put32(b, uint32_t(width)), Put32(b, uint32_t(height));
    Put16(b, 1), Put16(b, uint32_t(bits)), Put32(b, compression), Put32(b, 0);
    Put32(b, 0), Put32(b, 0), Put32(b, colours), Put32(b, 0);
    return b;
}

// A TGA header (run-length true colour) laid over the first bytes of another type's signature.
Bytes TgaBehind(const char* signature, uint16_t width, uint16_t height, size_t size)
{
    Bytes b;
    PutText(b, signature);
    b.push_back('\n');
    b.resize(12, 0);
    Put16(b, width), Put16(b, height);
    b.push_back(24);
    b.resize(size, 0);
    return b;
}

// A grey TIFF whose single LZW strip of 4 bytes stands for the whole picture.
Bytes TiffClaiming(uint32_t width, uint32_t height)
{
    struct Entry
    {
        uint16_t tag, type;
        uint32_t value;
    };
    const Entry entries[] = {{256, 4, width}, {257, 4, height}, {258, 3, 8},
                             {259, 3, 5},     {262, 3, 1},      {273, 4, 122},
                             {277, 3, 1},     {278, 4, height}, {279, 4, 4}};
    Bytes b;
    PutText(b, "II*");
    b.push_back(0);
    Put32(b, 8);
    Put16(b, uint32_t(std::size(entries)));
    for (const Entry& e : entries)
        Put16(b, e.tag), Put16(b, e.type), Put32(b, 1), Put32(b, e.value);
    Put32(b, 0);
    for (const uint8_t byte : {0x80, 0x00, 0x40, 0x20})
        b.push_back(byte);
    return b;
}

// A grey baseline JPEG frame of that size followed by a scan of junk: enough for the checks
// before decoding, which never look into the coded data.
// With subsampled, a second component of a sixteenth of the samples.
Bytes JpegClaiming(uint16_t width, uint16_t height, size_t codedBytes, bool subsampled = false)
{
    Bytes b = {0xFF, 0xD8, 0xFF, 0xC0};
    PutBe16(b, subsampled ? 14 : 11);
    b.push_back(8);
    PutBe16(b, height), PutBe16(b, width);
    b.push_back(subsampled ? 2 : 1);
    for (const uint8_t byte : {1, subsampled ? 0x44 : 0x11, 0})
        b.push_back(byte);
    if (subsampled)
        for (const uint8_t byte : {2, 0x11, 0})
            b.push_back(byte);
    for (const uint8_t byte : {0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 63, 0})
        b.push_back(byte);
    b.resize(b.size() + codedBytes, 0x55);
    b.push_back(0xFF);
    b.push_back(0xD9);
    return b;
}

// What a read in a child process came to, and what it cost there.
struct ChildRead
{
    bool ran = false;
    ReadFailure failure = ReadFailure::None;
    int64_t slowestMicros = 0; // CPU time of the slowest file
    int64_t rssGrowthKb = 0;   // the child's peak resident memory above its start
};

// The process's CPU time in microseconds.
int64_t CpuMicros()
{
    timespec t = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return int64_t(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

// Reads the files one after the other in a child whose address space may grow by at most
// extraBytes, so that a read that takes what a file only claims fails there rather than take
// the machine. The failure reported is the last file's.
ChildRead ReadInChild(const std::vector<std::string>& files, uint64_t extraBytes)
{
    int channel[2];
    if (pipe(channel) != 0)
        return {};
    const pid_t child = fork();
    if (child < 0)
        return {};
    if (child == 0) {
        close(channel[0]);
        rusage before = {};
        getrusage(RUSAGE_SELF, &before);
        long pages = 0, ignored = 0;
        if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld %ld", &pages, &ignored) != 2)
                pages = 0;
            std::fclose(statm);
        }
        const rlimit limit = {rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + extraBytes,
                              RLIM_INFINITY};
        setrlimit(RLIMIT_AS, &limit);
        ChildRead result;
        result.ran = true;
        for (const std::string& file : files) {
            const int64_t started = CpuMicros();
            const PictureRead read = ReadPictureFile(file.c_str());
            const HeldPicture heldRead(read.picture);
            result.slowestMicros = std::max(result.slowestMicros, CpuMicros() - started);
            result.failure = read.failure;
        }
        rusage after = {};
        getrusage(RUSAGE_SELF, &after);
        result.rssGrowthKb = after.ru_maxrss - before.ru_maxrss;
        const bool sent = write(channel[1], &result, sizeof result) == sizeof result;
        _exit(sent ? 0 : 1);
    }
    close(channel[1]);
    ChildRead result;
    if (read(channel[0], &result, sizeof result) != sizeof result)
        result = {};
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return result;
}

constexpr uint64_t kMiB = uint64_t(1) << 20;
// The goal for a file under 1 KB: decided within 50 ms and 64 MB.
constexpr int64_t kTinyFileMicros = 50000;
constexpr int64_t kTinyFileKb = 64 * 1024;
// Room the child's address space has to grow: a read taking what a file claims needs far more.
constexpr uint64_t kChildRoom = 256 * kMiB;

// Each of these once got past the checks and was decoded, or allocated, at the size it claims.
TEST(ReadPictureFile, FilesClaimingFarMoreThanTheyHoldAreRefusedAtOnce)
{
    Write("tga-behind-pnm.ppm", TgaBehind("P6", 12554, 14642, 22));
    Write("tga-behind-bmp.bmp", TgaBehind("BM", 17664, 56797, 316));
    Write("tga-behind-short-bmp.bmp", TgaBehind("BM", 16384, 16384, 30));
    Write("lzw.tif", TiffClaiming(32768, 32768));
    Bytes rle = BmpHeader(1080, 1078, 16384, 16384, 8, 1, 256);
    rle.resize(1078, 0);
    rle.push_back(0), rle.push_back(1); // end of picture: every row left out
    Write("rle8-empty.bmp", rle);
    // A real progressive JPEG whose frame is made to claim 16384 x 16384 pixels.
    ASSERT_TRUE(Sh("convert -size 16x16 plasma:fractal -interlace JPEG small.jpg"));
    Bytes jpeg = ReadBack("small.jpg");
    size_t sof = 2;
    while (sof + 9 < jpeg.size() && !(jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC2))
        ++sof;
    ASSERT_LT(sof + 9, jpeg.size());
    for (const size_t at : {sof + 5, sof + 7})
        jpeg[at] = 0x40, jpeg[at + 1] = 0x00;
    Write("progressive.jpg", jpeg);

    struct Case
    {
        const char* file;
        ReadFailure failure;
    };
    const Case cases[] = {
        {"tga-behind-pnm.ppm", ReadFailure::Damaged}, // a PNM signature, no size behind it
        {"tga-behind-bmp.bmp", ReadFailure::Damaged},
        {"tga-behind-short-bmp.bmp", ReadFailure::Damaged}, // a BMP signature, no header
        {"lzw.tif", ReadFailure::Damaged},
        {"rle8-empty.bmp", ReadFailure::Damaged},
        {"progressive.jpg", ReadFailure::Damaged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const ChildRead read = ReadInChild({c.file}, kChildRoom);
        ASSERT_TRUE(read.ran);
        EXPECT_EQ(read.failure, c.failure);
        EXPECT_LT(read.slowestMicros, kTinyFileMicros);
        EXPECT_LT(read.rssGrowthKb, kTinyFileKb);
    }
    // What is wrong, not what the size fields make of it.
    EXPECT_EQ(ReadFailureText(ReadPictureFile("tga-behind-bmp.bmp")),
              "damaged or cut short: a BMP whose header size field says 1629661 bytes, in a file "
              "of 316 bytes");
    const PictureRead progressive = ReadPictureFile("progressive.jpg");
    EXPECT_TRUE(progressive.claimBeyondFile);
    EXPECT_EQ(progressive.claimedWidth, 16384);
    EXPECT_EQ(ReadFailureText(progressive),
              "damaged or cut short: it claims 16384 x 16384 pixels, more than its " +
                  std::to_string(jpeg.size()) + " bytes can hold");
}

// The start of a file of each type with a claimed size, the rest random: from a pixel to the
// largest each header can state.
std::vector<Bytes> TinyFiles()
{
    std::mt19937 random(14);
    std::vector<Bytes> files;
    const uint32_t sizes[] = {1, 255, 4096, 16384, 65535, 0x7FFFFFFF};
    for (const uint32_t w : sizes) {
        const uint32_t h = w == 1 ? 3 : w;
        std::vector<Bytes> heads;
        heads.push_back(BmpHeader(0, 54, int32_t(w), int32_t(h), 24, 0, 0));
        heads.push_back(BmpHeader(0, 1078, int32_t(w), int32_t(h), 8, 1, 256));
        heads.push_back(BmpHeader(0, 118, int32_t(w), -int32_t(h), 4, 2, 16));
        const Bytes bmp = BmpHeader(0, 0, int32_t(w), int32_t(h), 1, 0, 2);
        heads.push_back(Bytes(bmp.begin() + 14, bmp.end())); // a headerless DIB
        for (const uint8_t colourType : {0, 2, 3, 6}) {
            Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
            PutText(png, "IHDR");
            PutBe32(png, w), PutBe32(png, h);
            png.push_back(colourType == 3 ? 1 : 8), png.push_back(colourType);
            png.push_back(0), png.push_back(0), png.push_back(colourType == 6 ? 1 : 0);
            heads.push_back(png);
        }
        Bytes qoi;
        PutText(qoi, "qoif");
        PutBe32(qoi, w), PutBe32(qoi, h), qoi.push_back(3), qoi.push_back(0);
        heads.push_back(qoi);
        Bytes gif;
        PutText(gif, "GIF89a");
        Put16(gif, 1), Put16(gif, 1), gif.push_back(0), gif.push_back(0), gif.push_back(0);
        gif.push_back(0x2C), Put32(gif, 0), Put16(gif, w & 0xFFFF), Put16(gif, h & 0xFFFF);
        gif.push_back(0), gif.push_back(2);
        heads.push_back(gif);
        for (const uint8_t frame : {0xC0, 0xC2, 0xC9}) {
            Bytes jpeg = JpegClaiming(uint16_t(w), uint16_t(h), 0);
            jpeg[3] = frame;
            jpeg.resize(jpeg.size() - 2);
            heads.push_back(jpeg);
        }
        Bytes pcx(128, 0);
        pcx[0] = 0x0A, pcx[1] = 5, pcx[2] = 1, pcx[3] = 8, pcx[65] = 3;
        pcx[8] = uint8_t(w - 1), pcx[9] = uint8_t((w - 1) >> 8);
        pcx[10] = uint8_t(h - 1), pcx[11] = uint8_t((h - 1) >> 8);
        pcx[66] = uint8_t(w), pcx[67] = uint8_t(w >> 8);
        heads.push_back(pcx);
        Bytes lbm;
        PutText(lbm, "FORM");
        PutBe32(lbm, 1000);
        PutText(lbm, "ILBMBMHD");
        PutBe32(lbm, 20), PutBe16(lbm, w & 0xFFFF), PutBe16(lbm, h & 0xFFFF);
        lbm.resize(lbm.size() + 4, 0), lbm.push_back(24), lbm.push_back(0), lbm.push_back(1);
        lbm.resize(lbm.size() + 9, 0);
        PutText(lbm, "BODY");
        PutBe32(lbm, 900);
        heads.push_back(lbm);
        for (const char* kind : {"P1", "P2", "P3", "P4", "P5", "P6"}) {
            const std::string text =
                std::string(kind) + "\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
            heads.push_back(Bytes(text.begin(), text.end()));
        }
        heads.push_back(TiffClaiming(w, h));
        Bytes webp;
        PutText(webp, "RIFF");
        Put32(webp, 1000);
        PutText(webp, "WEBPVP8L");
        Put32(webp, 900), webp.push_back(0x2F);
        Put32(webp, ((w - 1) & 0x3FFF) | (((h - 1) & 0x3FFF) << 14));
        heads.push_back(webp);
        const std::string xpm = "/* XPM */\nstatic char* x[] = {\n\"" + std::to_string(w) + " " +
                                std::to_string(h) + " 2 1\",\n\"a c #000000\",\n";
        heads.push_back(Bytes(xpm.begin(), xpm.end()));
        for (const uint8_t type : {1, 2, 3, 9, 10, 11}) {
            Bytes tga(18, 0);
            tga[1] = (type & 7) == 1 ? 1 : 0, tga[2] = type, tga[5] = 2, tga[7] = 24;
            tga[12] = uint8_t(w), tga[13] = uint8_t(w >> 8), tga[14] = uint8_t(h);
            tga[15] = uint8_t(h >> 8), tga[16] = (type & 7) == 2 ? 24 : 8;
            heads.push_back(tga);
        }
        for (Bytes& head : heads) {
            for (const size_t length : {head.size() + 16, size_t(1023)}) {
                Bytes file = head;
                while (file.size() < length)
                    file.push_back(uint8_t(random()));
                files.push_back(file);
            }
        }
    }
    return files;
}

TEST(ReadPictureFile, EveryFileUnderAKilobyteIsDecidedWithin50MsAnd64MB)
{
    std::vector<std::string> names;
    int n = 0;
    for (const Bytes& file : TinyFiles()) {
        ASSERT_LT(file.size(), 1024u);
        names.push_back("tiny-" + std::to_string(n++));
        Write(names.back(), file);
    }
    // Real small pictures of the types ImageMagick writes, which must be read, not refused.
    ASSERT_TRUE(Sh("convert -size 20x12 plasma:fractal src.ppm"));
    for (const char* made : {"a.bmp", "a.png", "a.gif", "a.jpg", "a.tif", "a.pcx", "a.tga"}) {
        ASSERT_TRUE(Sh(std::string("convert src.ppm ") + made));
        names.push_back(made);
    }
    std::vector<std::string> real(names.end() - 7, names.end());
    for (const std::string& name : real) {
        const PictureRead read = ReadPictureFile(name.c_str());
        const HeldPicture heldRead(read.picture);
        EXPECT_EQ(read.failure, ReadFailure::None) << name;
    }
    // One child for all of them: the slowest file and the peak memory over the whole set.
    const ChildRead all = ReadInChild(names, kChildRoom);
    ASSERT_TRUE(all.ran);
    EXPECT_LT(all.slowestMicros, kTinyFileMicros);
    EXPECT_LT(all.rssGrowthKb, kTinyFileKb);
}

// A file cut short is refused as damaged rather than shown with a grey or black remainder, and
// the same file whole is read.
TEST(ReadPictureFile, FilesCutShortAreRefusedAsDamaged)
{
    ASSERT_TRUE(
        Sh("convert -size 96x64 plasma:fractal -attenuate 0.5 +noise Gaussian -depth 8 src.ppm"));
    const char* const made[] = {
        "convert src.ppm base.jpg",
        "convert src.ppm -interlace JPEG progressive.jpg",
        "convert src.ppm png24:a.png",
        "convert src.ppm -interlace PNG png24:interlaced.png",
        "convert src.ppm -compress LZW lzw.tif",
        "convert src.ppm -compress Zip zip.tif",
        "convert src.ppm -compress None plain.tif",
        "convert src.ppm -colors 200 a.gif",
        "convert src.ppm bmp3:a.bmp",
        "convert src.ppm -compress None a.tga",
        "convert src.ppm -compress RLE rle.tga", // its decoder left the rest black
        "convert src.ppm a.pcx",
        "cp src.ppm a.ppm",
    };
    for (const char* command : made) {
        const std::string name = std::string(command).substr(std::string(command).rfind(' ') + 1);
        const std::string file = name.substr(name.find(':') + 1);
        SCOPED_TRACE(file);
        ASSERT_TRUE(Sh(command));
        const PictureRead whole = ReadPictureFile(file.c_str());
        const HeldPicture heldWhole(whole.picture);
        ASSERT_EQ(whole.failure, ReadFailure::None);
        Bytes bytes = ReadBack(file.c_str());
        bytes.resize(bytes.size() * 3 / 5);
        Write("cut-" + file, bytes);
        const PictureRead cut = ReadPictureFile(("cut-" + file).c_str());
        EXPECT_EQ(cut.failure, ReadFailure::Damaged);
        EXPECT_EQ(cut.picture.Bits, nullptr);
    }
}

// A file that shrinks while it is read, as on a stick pulled out or a share rewritten, is cut
// short like any other; the bytes it had when opened are not taken on trust. The file shrinks
// between two reads, after the first 8 MB.
TEST(ReadPictureFile, AFileThatShrinksWhileItIsReadIsCutShort)
{
    const HeldPicture large(newdib(2000, 1500, 24, nullptr, 0));
    ASSERT_NE(large->Bits, nullptr);
    const QByteArray tga = EncodeTga(*large);
    ASSERT_GT(tga.size(), 8 << 20);
    Write("shrinking.tga", Bytes(tga.begin(), tga.end()));
    const PictureRead whole = ReadPictureFile("shrinking.tga");
    const HeldPicture heldWhole(whole.picture);
    ASSERT_EQ(whole.failure, ReadFailure::None);

    SetFileReadHook([](uint64_t readSoFar) {
        if (readSoFar > 0) {
            ASSERT_EQ(truncate("shrinking.tga", 1024), 0);
        }
    });
    const PictureRead shrunk = ReadPictureFile("shrinking.tga");
    SetFileReadHook(nullptr);
    EXPECT_EQ(shrunk.picture.Bits, nullptr);
    EXPECT_EQ(shrunk.failure, ReadFailure::Damaged);
    EXPECT_EQ(ReadFailureText(shrunk), "damaged or cut short");
}

// Above 2^28 pixels, the old fixed ceiling: a 16385 x 16385 grey PNG, its facts and rows right.
TEST(ReadPictureFile, ReadsAPictureAboveTheOldCeiling)
{
    constexpr uint32_t kSide = 16385;
    static_assert(uint64_t(kSide) * kSide > (uint64_t(1) << 28));
    QByteArray raw(qsizetype(kSide + 1) * kSide, '\0');
    for (uint32_t y = 0; y < kSide; ++y)
        std::memset(raw.data() + qsizetype(y) * (kSide + 1) + 1, int(y % 251), kSide);
    const QByteArray zlib = qCompress(raw, 1).mid(4); // less Qt's own length in front
    raw.clear();
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&png](const char* type, const QByteArray& data) {
        PutBe32(png, uint32_t(data.size()));
        const size_t start = png.size();
        PutText(png, type);
        png.insert(png.end(), data.begin(), data.end());
        const uint32_t crc = crc32Of(png.data() + start, png.size() - start);
        PutBe32(png, crc);
    };
    Bytes header;
    PutBe32(header, kSide), PutBe32(header, kSide);
    for (const uint8_t byte : {8, 0, 0, 0, 0})
        header.push_back(byte);
    chunk("IHDR", QByteArray(reinterpret_cast<const char*>(header.data()), 13));
    chunk("IDAT", zlib);
    chunk("IEND", QByteArray());
    Write("big.png", png);

    const PictureRead read = ReadPictureFile("big.png");
    const HeldPicture held(read.picture);
    ASSERT_EQ(read.failure, ReadFailure::None) << ReadFailureText(read);
    const PictureRecord& p = read.picture;
    EXPECT_EQ(DIBWidth(p), int32_t(kSide));
    EXPECT_EQ(DIBHeight(p), int32_t(kSide));
    EXPECT_EQ(p.Info->bmiHeader.biBitCount, 8);
    EXPECT_EQ(zweihoch(p.Info->bmiHeader.biBitCount), 256);
    EXPECT_EQ(p.Info->bmiHeader.biSizeImage, uint32_t(p.BytesPerLine) * kSide);
    for (const uint32_t y : {0u, 1u, 250u, 251u, kSide / 2, kSide - 1}) {
        EXPECT_EQ(getpixel(p, 0, int32_t(y)), int32_t(y % 251)) << y;
        EXPECT_EQ(getpixel(p, kSide - 1, int32_t(y)), int32_t(y % 251)) << y;
    }
}

// The memory decides below the ceiling: a picture the address space cannot take is refused
// with what it would need, before its decoder runs; above the ceiling it is refused anyway.
TEST(ReadPictureFile, RefusesWhatTheMemoryCannotHold)
{
    Write("large.jpg", JpegClaiming(30000, 30000, 1800000));
    const ChildRead limited = ReadInChild({"large.jpg"}, kChildRoom);
    ASSERT_TRUE(limited.ran);
    EXPECT_EQ(limited.failure, ReadFailure::TooLarge);
    EXPECT_LT(limited.rssGrowthKb, kTinyFileKb);

    Write("huge.jpg", JpegClaiming(65535, 65535, 600000, true));
    const PictureRead huge = ReadPictureFile("huge.jpg");
    EXPECT_EQ(huge.failure, ReadFailure::TooLarge);
    EXPECT_EQ(ReadFailureText(huge), "too large: it claims 65535 x 65535 pixels, more than the "
                                     "1073741824 pixels a picture may have");
}

// A DIB without its file header reads as the BMP it came from.
TEST(ReadPictureFile, ReadsAHeaderlessDib)
{
    ASSERT_TRUE(Sh("convert -size 7x5 plasma:fractal -colors 16 -type palette bmp3:a.bmp"));
    Bytes bmp = ReadBack("a.bmp");
    Write("a.dib", Bytes(bmp.begin() + 14, bmp.end()));
    const HeldPicture fromBmp(OpenDib("a.bmp", 0));
    const HeldPicture fromDib(OpenDib("a.dib", 0));
    ASSERT_NE(fromBmp->Bits, nullptr);
    ASSERT_NE(fromDib->Bits, nullptr);
    EXPECT_EQ(DIBWidth(*fromDib), 7);
    EXPECT_EQ(DIBHeight(*fromDib), 5);
    EXPECT_EQ(std::memcmp(fromDib->Bits, fromBmp->Bits, fromBmp->Info->bmiHeader.biSizeImage), 0);
}

} // namespace

// A logo on a transparent background is a logo on paper, in every way a file can say so.
TEST(ReadPictureFile, TransparencyIsPaper)
{
    if (!testsupport::HaveProgram("convert"))
        GTEST_SKIP() << "ImageMagick missing";
    const char* draw = "-size 40x30 xc:none -fill '#c00000' -draw 'rectangle 10,10 29,19'";
    const struct
    {
        const char* file;
        const char* how;
    } cases[] = {
        {"palette.png", "PNG8:"},    // indexed, alpha in tRNS
        {"rgba.png", "PNG32:"},      // colour with alpha
        {"trns.png", "PNG24:"},      // one colour left transparent
        {"transparent.gif", "GIF:"}, // a transparent index
        {"alpha.tga",
         "TGA:"}, // through SDL_image       {"alpha.tif", "TIFF:"}, {"alpha.bmp", "BMP3:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = testsupport::TestDir().toStdString() + "/" + c.file;
        ASSERT_TRUE(testsupport::Run(QStringLiteral("convert %1 %2'%3'")
                                         .arg(QString::fromLatin1(draw), QString::fromLatin1(c.how),
                                              QString::fromStdString(path))));
        const PictureRead read = ReadPictureFile(path.c_str());
        const HeldPicture heldRead(read.picture);
        ASSERT_NE(read.picture.Bits, nullptr) << ReadFailureText(read);
        EXPECT_EQ(testsupport::ColourAt(read.picture, 2, 2), 0xFFFFFF)
            << std::hex << getpixel(read.picture, 2, 2);
        EXPECT_EQ(testsupport::ColourAt(read.picture, 15, 15), 0xC00000);
    }
}

// PCX of red, green, blue and alpha planes, which SDL_image refuses: read, alpha over white.
TEST(ReadPictureFile, ReadsAPcxOfFourPlanes)
{
    // 3 x 2 pixels, planes of 4 bytes (whole 16-bit words). Row 0 opaque, clear, opaque; row 1
    // coded with runs, one of them running on from the red plane into the green one.
    QByteArray file(128, '\0');
    file[0] = 0x0A;
    file[1] = 5;
    file[2] = 1;
    file[3] = 8;
    file[8] = 2;  // x max
    file[10] = 1; // y max
    file[65] = 4;
    file[66] = 4;
    file[68] = 1;
    const auto raw = [&](std::initializer_list<int> bytes) {
        for (int b : bytes) {
            if (b >= 0xC0)
                file.append(char(0xC1));
            file.append(char(b));
        }
    };
    // Row 0: red 0x80 0x00 0x30 pad, green 0x10 0x00 0x40 pad, blue 0x20 0x00 0x50 pad,
    // alpha 255 0 255 pad.
    raw({0x80, 0x00, 0x30, 0x00, 0x10, 0x00, 0x40, 0x00, 0x20, 0x00, 0x50, 0x00, 0xFF, 0x00, 0xFF,
         0x00});
    // Row 1: red 0x11 x 3 and the pad, then green's 0x11 too: one run of 5.
    file.append(char(0xC5));
    file.append(char(0x11));
    raw({0x22, 0x33, 0x00}); // green's other three
    file.append(char(0xC4)); // blue, four of 0x44
    file.append(char(0x44));
    file.append(char(0xC4)); // alpha, four of 255
    file.append(char(0xFF));
    const std::string path = testsupport::TestDir().toStdString() + "/four.pcx";
    QFile out(QString::fromStdString(path));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(file);
    out.close();

    const PictureRead read = ReadPictureFile(path.c_str());
    const HeldPicture heldRead(read.picture);
    ASSERT_NE(read.picture.Bits, nullptr) << ReadFailureText(read);
    EXPECT_EQ(read.picture.Info->bmiHeader.biBitCount, 24);
    EXPECT_EQ(getpixel(read.picture, 0, 0), 0x801020);
    EXPECT_EQ(getpixel(read.picture, 1, 0), 0xFFFFFF); // clear: paper
    EXPECT_EQ(getpixel(read.picture, 2, 0), 0x304050);
    EXPECT_EQ(getpixel(read.picture, 0, 1), 0x111144);
    EXPECT_EQ(getpixel(read.picture, 1, 1), 0x112244);
    EXPECT_EQ(getpixel(read.picture, 2, 1), 0x113344);

    // Cut short in its last row: damaged.
    out.open(QIODevice::WriteOnly | QIODevice::Truncate);
    out.write(file.chopped(3));
    out.close();
    const PictureRead cut = ReadPictureFile(path.c_str());
    EXPECT_EQ(cut.picture.Bits, nullptr);
    EXPECT_EQ(cut.failure, ReadFailure::Damaged);
}

namespace {

Bytes IffChunk(const char* id, const Bytes& data)
{
    Bytes chunk;
    PutText(chunk, id);
    PutBe32(chunk, uint32_t(data.size()));
    chunk.insert(chunk.end(), data.begin(), data.end());
    if (data.size() & 1)
        chunk.push_back(0);
    return chunk;
}

// An ILBM of 16 x 4 pixels of that many planes, uncompressed, each row's planes as given.
Bytes Ilbm(unsigned planes, uint32_t viewModes, const Bytes& colourMap, const Bytes& row)
{
    Bytes header;
    PutBe16(header, 16), PutBe16(header, 4), PutBe32(header, 0);
    header.push_back(uint8_t(planes)), header.push_back(0), header.push_back(0);
    header.push_back(0), PutBe16(header, 0), header.push_back(10), header.push_back(11);
    PutBe16(header, 16), PutBe16(header, 4);
    Bytes body;
    for (int y = 0; y < 4; ++y)
        body.insert(body.end(), row.begin(), row.end());
    Bytes form;
    PutText(form, "ILBM");
    for (const Bytes& chunk :
         {IffChunk("BMHD", header),
          viewModes ? IffChunk("CAMG", {0, 0, uint8_t(viewModes >> 8), uint8_t(viewModes)})
                    : Bytes(),
          colourMap.empty() ? Bytes() : IffChunk("CMAP", colourMap), IffChunk("BODY", body)})
        form.insert(form.end(), chunk.begin(), chunk.end());
    Bytes file;
    PutText(file, "FORM");
    PutBe32(file, uint32_t(form.size()));
    file.insert(file.end(), form.begin(), form.end());
    return file;
}

Bytes Planes(int set, int clear)
{
    Bytes row(size_t(set) * 2, 0xFF);
    row.resize(row.size() + size_t(clear) * 2, 0);
    return row;
}

} // namespace

// The IFF decoder takes hold-and-modify base colours from its colour map by all but two planes
// and writes a colour map into a true-colour picture's palette, which it has none of.
TEST(ReadPictureFile, IffLayoutsItsDecoderMisreadsAreRefusedAndATrueColourMapIsStepped)
{
    constexpr uint32_t kHam = 0x800;
    struct Case
    {
        const char* name;
        Bytes file;
        ReadFailure failure;
        int bits;
    };
    // A view-mode chunk longer than its four bytes, with a header of 24 hold-and-modify planes
    // behind them, which the decoder took for the picture's (found by fuzzing).
    Bytes longModes = Ilbm(6, kHam, Bytes(48, 200), Planes(2, 4));
    const auto camg = std::search(longModes.begin(), longModes.end(), "CAMG", "CAMG" + 4);
    ASSERT_NE(camg, longModes.end());
    const size_t at = size_t(camg - longModes.begin());
    Bytes hiddenHeader(longModes.begin() + 20, longModes.begin() + 40); // the BMHD's own bytes
    hiddenHeader[8] = 24;
    const Bytes hidden = IffChunk("BMHD", hiddenHeader);
    longModes.insert(longModes.begin() + ptrdiff_t(at + 12), hidden.begin(), hidden.end());
    longModes[at + 7] = uint8_t(4 + hidden.size());
    longModes[7] = uint8_t(longModes[7] + hidden.size());
    const Case cases[] = {
        {"long-modes.iff", longModes, ReadFailure::Damaged, 0},
        {"ham24.iff", Ilbm(24, kHam, {}, Planes(22, 2)), ReadFailure::Damaged, 0},
        {"ham16.iff", Ilbm(16, kHam, {}, Planes(14, 2)), ReadFailure::Damaged, 0},
        {"planes12.iff", Ilbm(12, 0, Bytes(48, 7), Planes(12, 0)), ReadFailure::Damaged, 0},
        {"colourmap600.iff", Ilbm(8, 0, Bytes(900, 1), Planes(8, 0)), ReadFailure::Damaged, 0},
        {"ham6.iff", Ilbm(6, kHam, Bytes(48, 200), Planes(2, 4)), ReadFailure::None, 24},
        {"true-with-map.iff", Ilbm(24, 0, Bytes(48, 9), Planes(16, 8)), ReadFailure::None, 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Write(c.name, c.file);
        const PictureRead read = ReadPictureFile(c.name);
        EXPECT_EQ(read.failure, c.failure);
        if (!read.picture.Bits)
            continue;
        EXPECT_EQ(DIBWidth(read.picture), 16);
        EXPECT_EQ(read.picture.Info->bmiHeader.biBitCount, c.bits);
        if (std::string(c.name) == "true-with-map.iff") { // red and green planes full
            EXPECT_EQ(getpixel(read.picture, 3, 2), 0xFFFF00);
        }
        HeldPicture done(read.picture);
    }
}
