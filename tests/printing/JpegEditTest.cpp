// SPDX-License-Identifier: GPL-3.0-or-later
// Mirrors, flips, turns and cuts of a JPEG made on its blocks: the poster still carries the
// file's own data, each page's share decodes to the edited picture's pixels, the blocks are the
// ones jpegtran makes, and a decoder that smooths sees no seam between the shares.
#include "ExifSamples.h"
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "JpegCut.h"
#include "JpegSource.h"
#include "PdfReadBack.h"
#include "PictureColour.h"
#include "PictureOps.h"
#include "PictureOrientation.h"
#include "PrintJob.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRect>
#include <QTransform>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

using namespace pdftest;

namespace {

enum class Step
{
    Mirror,
    Flip,
    Left,
    Right,
    Crop, // 13 columns off the left, 21 off the right, 7 rows off the top and 5 off the bottom
};

const char* NameOf(Step s)
{
    switch (s) {
    case Step::Mirror:
        return "mirror";
    case Step::Flip:
        return "flip";
    case Step::Left:
        return "left";
    case Step::Right:
        return "right";
    case Step::Crop:
        return "crop";
    }
    return "?";
}

std::string NamesOf(const std::vector<Step>& steps)
{
    std::string names;
    for (Step s : steps)
        names += std::string(names.empty() ? "" : ", ") + NameOf(s);
    return names;
}

// The edit on decoded pixels, by Qt's own transforms: the expected picture.
QImage Edited(const QImage& image, Step s)
{
    switch (s) {
    case Step::Mirror:
        return image.mirrored(true, false);
    case Step::Flip:
        return image.mirrored(false, true);
    case Step::Left:
        return image.transformed(QTransform().rotate(-90));
    case Step::Right:
        return image.transformed(QTransform().rotate(90));
    case Step::Crop:
        return image.copy(13, 7, image.width() - 13 - 21, image.height() - 7 - 5);
    }
    return {};
}

// The same edit as the window makes it: on the pixels and on the blocks.
void Edit(HeldPicture& picture, std::shared_ptr<const JpegSource>& jpeg, Step s)
{
    PictureRecord made;
    switch (s) {
    case Step::Mirror:
        made = MirrorPicture(*picture);
        jpeg = EditedJpeg(jpeg, {PictureEdit::Kind::Mirror});
        break;
    case Step::Flip:
        made = FlipPicture(*picture);
        jpeg = EditedJpeg(jpeg, {PictureEdit::Kind::Flip});
        break;
    case Step::Left:
        made = RotateLeft(*picture);
        jpeg = EditedJpeg(jpeg, {PictureEdit::Kind::TurnLeft});
        break;
    case Step::Right:
        made = RotateRight(*picture);
        jpeg = EditedJpeg(jpeg, {PictureEdit::Kind::TurnRight});
        break;
    case Step::Crop: {
        const int w = DIBWidth(*picture), h = DIBHeight(*picture);
        made = CutToSelection(*picture, 13, 7, w - 21, h - 5);
        jpeg = EditedJpeg(jpeg, PictureEdit::Cut(13, 7, w - 21, h - 5));
        break;
    }
    }
    picture.reset(made);
}

QImage DecodeSmoothly(const QString& jpg)
{
    const QString ppm = jpg + QStringLiteral(".smooth.ppm");
    if (!testsupport::Run(QStringLiteral("djpeg -ppm '%1' > '%2'").arg(jpg, ppm)))
        return {};
    return QImage(ppm);
}

bool HaveJpegTools()
{
    return HavePoppler() && testsupport::HaveProgram("cjpeg") &&
           testsupport::HaveProgram("djpeg") && testsupport::HaveProgram("jpegtran");
}

bool WriteBytes(const QString& path, const std::vector<uint8_t>& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) ==
               qint64(bytes.size());
}

// Prints the JPEG with the edits on three by two pages; the parts as files, in share order.
struct PrintedParts
{
    std::vector<Share> shares;
    std::vector<ImageEntry> images;
    QStringList files;
    std::shared_ptr<const JpegSource> jpeg; // as edited
};

// Prints the picture with its JPEG data on three by two pages (two by two without glue, when
// asked).
PrintedParts PrintJpeg(const PictureRecord& picture, const std::shared_ptr<const JpegSource>& jpeg,
                       const QString& name, bool twoByTwo = false)
{
    PrintedParts printed;
    if (!jpeg || jpeg->width != DIBWidth(picture) || jpeg->height != DIBHeight(picture))
        return printed;
    PrintJobInputs in = AllPagesOf(DIBWidth(picture), DIBHeight(picture));
    in.render.options.CenterPicture = true;
    if (twoByTwo) {
        // Pages side by side without glue strips: the shares meet on the block grid.
        in.render.geometry.PagesAcross = in.render.geometry.PagesDown = 2;
        in.render.geometry.PosterWidthPages = in.render.geometry.PosterHeightPages = 2.0;
        in.render.options.GlueEdge = false;
    }
    in.source = PosterSource::Jpeg(jpeg);
    printed.jpeg = jpeg;
    const QString pdf = testsupport::TestDir() + QStringLiteral("/%1.pdf").arg(name);
    const bool ok = PrintToPdf(picture, in, pdf).ok();
    if (!ok)
        return printed;
    printed.shares = Shares(in, PrintableOf(pdf));
    printed.images = ListImages(pdf);
    const QString prefix = testsupport::TestDir() + QStringLiteral("/%1-part").arg(name);
    if (!testsupport::Run(QStringLiteral("pdfimages -j '%1' '%2'").arg(pdf, prefix)))
        return printed;
    for (size_t k = 0; k < printed.images.size(); ++k)
        printed.files << QStringLiteral("%1-%2.jpg").arg(prefix).arg(k, 3, 10, QChar('0'));
    return printed;
}

PrintedParts PrintEdited(const QString& jpg, const std::vector<Step>& steps, const QString& name,
                         bool twoByTwo = false)
{
    HeldPicture picture(OpenDib(QFile::encodeName(jpg).constData(), 0));
    std::shared_ptr<const JpegSource> jpeg = ReadJpegSource(jpg);
    if (!picture || !jpeg)
        return {};
    for (Step s : steps)
        Edit(picture, jpeg, s);
    return PrintJpeg(*picture, jpeg, name, twoByTwo);
}

TEST(JpegEdits, EveryEditAndChainPrintsFromTheBlocksWithTheEditedPixels)
{
    if (!HaveJpegTools())
        GTEST_SKIP() << "poppler-utils or libjpeg-turbo-progs missing";
    const std::vector<std::vector<Step>> chains = {
        {Step::Mirror},
        {Step::Flip},
        {Step::Left},
        {Step::Right},
        {Step::Right, Step::Crop},
        {Step::Mirror, Step::Left},
        {Step::Left, Step::Left, Step::Left, Step::Left},
        {Step::Flip, Step::Crop, Step::Right, Step::Mirror},
    };
    for (const QSize size : {QSize(203, 141), QSize(192, 128)})
        for (const char* sampling : {"2x2", "2x1", "1x1"}) {
            const QString jpg =
                NoiseJpeg(size.width(), size.height(), 11, QStringLiteral("edit"), sampling);
            ASSERT_FALSE(jpg.isEmpty());
            const QImage stored = DecodeExactly(jpg);
            ASSERT_FALSE(stored.isNull());
            for (const std::vector<Step>& chain : chains) {
                SCOPED_TRACE(QStringLiteral("%1 x %2, %3: ")
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(QLatin1String(sampling))
                                 .toStdString() +
                             NamesOf(chain));
                QImage edited = stored;
                for (Step s : chain)
                    edited = Edited(edited, s);
                const PrintedParts printed = PrintEdited(jpg, chain, QStringLiteral("edited"));
                ASSERT_FALSE(printed.shares.empty());
                ASSERT_EQ(printed.images.size(), printed.shares.size());
                // The whole edited picture as one part: each share must be exactly its pixels.
                const JpegView& v = printed.jpeg->view;
                std::vector<std::vector<uint8_t>> whole;
                ASSERT_EQ(CutJpeg(reinterpret_cast<const uint8_t*>(printed.jpeg->data.constData()),
                                  size_t(printed.jpeg->data.size()), v,
                                  {{0, 0, v.paddedWidth, v.paddedHeight}}, whole),
                          JpegCutResult::Cut);
                const QString wholeFile = testsupport::TestDir() + QStringLiteral("/whole.jpg");
                ASSERT_TRUE(WriteBytes(wholeFile, whole[0]));
                const QImage expected = DecodeExactly(wholeFile).copy(v.x, v.y, v.width, v.height);
                ASSERT_EQ(expected.size(), edited.size());
                for (size_t k = 0; k < printed.shares.size(); ++k) {
                    SCOPED_TRACE(k);
                    EXPECT_EQ(printed.images[k].encoding, "jpeg");
                    const QImage part = DecodeExactly(printed.files[int(k)]);
                    ASSERT_FALSE(part.isNull());
                    EXPECT_EQ(ShareDistance(part, expected, printed.shares[k]), 0);
                    // Decoding after the edit rounds a little differently from editing the
                    // decoded pixels, but the share is the same part of the same picture.
                    EXPECT_LE(ShareDistance(part, edited, printed.shares[k]), 3);
                }
            }
        }
}

// Without the smoothing switched off, a decoder blends each colour sample with its
// neighbours: a share cut exactly at its edge would lack the neighbours beyond it.
TEST(JpegEdits, SmoothedDecodingOfEachShareEqualsTheWholePicturesInsideTheShare)
{
    if (!HaveJpegTools())
        GTEST_SKIP() << "poppler-utils or libjpeg-turbo-progs missing";
    for (const QSize size : {QSize(203, 141), QSize(192, 128)}) {
        SCOPED_TRACE(size.width());
        const QString jpg =
            NoiseJpeg(size.width(), size.height(), 5, QStringLiteral("smooth"), "2x2");
        ASSERT_FALSE(jpg.isEmpty());
        struct Case
        {
            std::vector<Step> steps;
            QString reference; // the whole edited picture as a JPEG of its own
        };
        std::vector<Case> cases = {{{}, jpg}};
        if (size.width() % 16 == 0 && size.height() % 16 == 0) {
            // jpegtran turns a picture on the grid without losing a block.
            const QString turned = testsupport::TestDir() + QStringLiteral("/turned.jpg");
            ASSERT_TRUE(testsupport::Run(
                QStringLiteral("jpegtran -transpose '%1' > '%2'").arg(jpg, turned)));
            cases.push_back({{Step::Right, Step::Mirror}, turned});
        }
        for (const Case& c : cases) {
            SCOPED_TRACE(NamesOf(c.steps));
            const QImage whole = DecodeSmoothly(c.reference);
            ASSERT_FALSE(whole.isNull());
            const PrintedParts printed = PrintEdited(jpg, c.steps, QStringLiteral("smooth"), true);
            ASSERT_EQ(printed.images.size(), printed.shares.size());
            ASSERT_FALSE(printed.shares.empty());
            for (size_t k = 0; k < printed.shares.size(); ++k) {
                SCOPED_TRACE(k);
                if (size.width() == 192) {
                    EXPECT_EQ(printed.shares[k].x0 % 16, 0) << "the shares should meet on the grid";
                }
                const QImage part = DecodeSmoothly(printed.files[int(k)]);
                ASSERT_FALSE(part.isNull());
                EXPECT_EQ(ShareDistance(part, whole, printed.shares[k]), 0);
            }
        }
    }
}

// The quantised blocks of a JPEG file, per component, row by row, with its tables.
struct Blocks
{
    bool ok = false;
    int width = 0, height = 0;
    std::vector<std::pair<int, int>> sampling;
    std::vector<std::vector<uint16_t>> tables;         // each component's quantisation table
    std::vector<std::vector<std::vector<JCOEF>>> rows; // a row's blocks one after another
};

Blocks ReadBlocks(const std::vector<uint8_t>& data)
{
    Blocks b;
    JpegJumpBack errors;
    jpeg_decompress_struct d;
    CatchJpegErrors(d, errors);
    if (setjmp(errors.back)) {
        jpeg_destroy_decompress(&d);
        return Blocks();
    }
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&d, TRUE);
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&d);
    b.width = int(d.image_width);
    b.height = int(d.image_height);
    for (int c = 0; c < d.num_components; ++c) {
        const jpeg_component_info& comp = d.comp_info[c];
        b.sampling.emplace_back(comp.h_samp_factor, comp.v_samp_factor);
        b.tables.emplace_back(comp.quant_table->quantval, comp.quant_table->quantval + DCTSIZE2);
        b.rows.emplace_back();
        for (JDIMENSION row = 0; row < comp.height_in_blocks; ++row) {
            JBLOCKARRAY line = (*d.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&d),
                                                            coefficients[c], row, 1, FALSE);
            b.rows.back().emplace_back(line[0][0], line[0][0] + comp.width_in_blocks * DCTSIZE2);
        }
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    b.ok = true;
    return b;
}

std::vector<uint8_t> ReadBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

TEST(JpegEdits, TheBlocksAreJpegtransForTheSameTransform)
{
    if (!testsupport::HaveProgram("cjpeg") || !testsupport::HaveProgram("jpegtran"))
        GTEST_SKIP() << "libjpeg-turbo-progs missing";
    struct Transform
    {
        std::vector<PictureEdit::Kind> edits;
        const char* jpegtran;
    };
    const std::vector<Transform> transforms = {
        {{PictureEdit::Kind::Mirror}, "-flip horizontal"},
        {{PictureEdit::Kind::Flip}, "-flip vertical"},
        {{PictureEdit::Kind::TurnRight}, "-rotate 90"},
        {{PictureEdit::Kind::TurnLeft}, "-rotate 270"},
        {{PictureEdit::Kind::TurnRight, PictureEdit::Kind::TurnRight}, "-rotate 180"},
        {{PictureEdit::Kind::TurnRight, PictureEdit::Kind::Mirror}, "-transpose"},
        {{PictureEdit::Kind::TurnLeft, PictureEdit::Kind::Mirror}, "-transverse"},
    };
    for (const char* sampling : {"2x2", "2x1", "1x2", "1x1"}) {
        // On the grid of every sampling, so that jpegtran need not trim.
        const QString jpg = NoiseJpeg(96, 64, 3, QStringLiteral("blocks"), sampling);
        ASSERT_FALSE(jpg.isEmpty());
        const std::vector<uint8_t> data = ReadBytes(jpg);
        for (const Transform& t : transforms) {
            SCOPED_TRACE(std::string(sampling) + " " + t.jpegtran);
            std::shared_ptr<const JpegSource> jpeg = ReadJpegSource(jpg);
            ASSERT_TRUE(jpeg);
            for (const PictureEdit::Kind e : t.edits)
                jpeg = EditedJpeg(jpeg, {e});
            const JpegView& v = jpeg->view;
            std::vector<std::vector<uint8_t>> parts;
            ASSERT_EQ(CutJpeg(data.data(), data.size(), v, {{0, 0, v.paddedWidth, v.paddedHeight}},
                              parts),
                      JpegCutResult::Cut);
            const QString theirs = testsupport::TestDir() + QStringLiteral("/jpegtran.jpg");
            ASSERT_TRUE(testsupport::Run(QStringLiteral("jpegtran -perfect %1 '%2' > '%3'")
                                             .arg(QLatin1String(t.jpegtran), jpg, theirs)));
            const Blocks ours = ReadBlocks(parts[0]);
            const Blocks expected = ReadBlocks(ReadBytes(theirs));
            ASSERT_TRUE(ours.ok);
            ASSERT_TRUE(expected.ok);
            EXPECT_EQ(ours.width, expected.width);
            EXPECT_EQ(ours.height, expected.height);
            EXPECT_EQ(ours.sampling, expected.sampling);
            EXPECT_EQ(ours.tables, expected.tables);
            ASSERT_EQ(ours.rows.size(), expected.rows.size());
            for (size_t c = 0; c < ours.rows.size(); ++c) {
                ASSERT_EQ(ours.rows[c].size(), expected.rows[c].size());
                int differing = 0;
                for (size_t r = 0; r < ours.rows[c].size(); ++r) {
                    ASSERT_EQ(ours.rows[c][r].size(), expected.rows[c][r].size());
                    for (size_t i = 0; i < ours.rows[c][r].size(); i += DCTSIZE2)
                        differing += !std::equal(ours.rows[c][r].begin() + i,
                                                 ours.rows[c][r].begin() + i + DCTSIZE2,
                                                 expected.rows[c][r].begin() + i);
                }
                EXPECT_EQ(differing, 0) << "component " << c;
            }
        }
    }
}

TEST(JpegEdits, AViewThatIsNotTheDatasOrARegionOffItsGridCutsNothing)
{
    const QString jpg = NoiseJpeg(40, 24, 9, QStringLiteral("views"), "2x2");
    if (jpg.isEmpty())
        GTEST_SKIP() << "cjpeg missing";
    const std::vector<uint8_t> data = ReadBytes(jpg);
    const std::shared_ptr<const JpegSource> jpeg = ReadJpegSource(jpg);
    ASSERT_TRUE(jpeg);
    const JpegView v = jpeg->view;
    EXPECT_EQ(v.paddedWidth, 48);
    EXPECT_EQ(v.paddedHeight, 32);
    std::vector<std::vector<uint8_t>> parts;
    // A turned view of an unturned picture, regions off the grid or outside the blocks.
    JpegView turned = v;
    turned.transposed = true;
    EXPECT_EQ(CutJpeg(data.data(), data.size(), turned, {{0, 0, 16, 16}}, parts),
              JpegCutResult::Damaged);
    EXPECT_EQ(CutJpeg(data.data(), data.size(), v, {{8, 0, 16, 16}}, parts),
              JpegCutResult::Damaged);
    EXPECT_EQ(CutJpeg(data.data(), data.size(), v, {{32, 16, 32, 16}}, parts),
              JpegCutResult::Damaged);
    EXPECT_TRUE(parts.empty());
    // The padding's blocks are the picture's: they may be cut.
    EXPECT_EQ(CutJpeg(data.data(), data.size(), v, {{32, 16, 16, 16}}, parts), JpegCutResult::Cut);
    ASSERT_EQ(parts.size(), 1u);
    // A crop outside the picture as it shows is refused, and leaves no view.
    EXPECT_EQ(EditedJpeg(jpeg, PictureEdit::Cut(0, 0, 41, 24)), nullptr);
    EXPECT_EQ(EditedJpeg(jpeg, PictureEdit::Cut(5, 5, 5, 9)), nullptr);
    const auto cropped =
        EditedJpeg(EditedJpeg(jpeg, {PictureEdit::Kind::TurnLeft}), PictureEdit::Cut(2, 3, 20, 40));
    ASSERT_TRUE(cropped);
    EXPECT_EQ(cropped->width, 18);
    EXPECT_EQ(cropped->height, 37);
    EXPECT_EQ(cropped->data.constData(), jpeg->data.constData()); // shared, not copied
}

// The tag's definition on decoded pixels, by Qt's transforms.
QImage UprightIn(const QImage& stored, int orientation)
{
    switch (orientation) {
    case 2:
        return stored.mirrored(true, false);
    case 3:
        return stored.transformed(QTransform().rotate(180));
    case 4:
        return stored.mirrored(false, true);
    case 5: // the rows become the columns
        return stored.transformed(QTransform(0, 1, 1, 0, 0, 0));
    case 6:
        return stored.transformed(QTransform().rotate(90));
    case 7: // the rows become the columns, from the far corner
        return stored.transformed(QTransform(0, -1, -1, 0, 0, 0));
    case 8:
        return stored.transformed(QTransform().rotate(-90));
    default:
        return stored;
    }
}

QImage Upright(const QImage& stored, int orientation)
{
    return UprightIn(stored, orientation).convertToFormat(QImage::Format_RGB32);
}

QImage ImageOf(const PictureRecord& p)
{
    QImage image(DIBWidth(p), DIBHeight(p), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, testsupport::ColourAt(p, x, y));
    return image;
}

TEST(JpegEdits, APhotoWithAnOrientationTagLoadsUprightAndPrintsUprightFromItsBlocks)
{
    if (!HaveJpegTools())
        GTEST_SKIP() << "poppler-utils or libjpeg-turbo-progs missing";
    for (const QSize size : {QSize(203, 141), QSize(192, 128)}) {
        const QString jpg =
            NoiseJpeg(size.width(), size.height(), 5, QStringLiteral("stored"), "2x2");
        ASSERT_FALSE(jpg.isEmpty());
        QFile file(jpg);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const QImage exact = DecodeExactly(jpg);
        HeldPicture plain(OpenDib(QFile::encodeName(jpg).constData(), 0));
        ASSERT_NE(plain->Bits, nullptr);
        const QImage stored = ImageOf(*plain);
        for (int orientation = 1; orientation <= 8; ++orientation) {
            SCOPED_TRACE(QStringLiteral("%1 x %2, orientation %3")
                             .arg(size.width())
                             .arg(size.height())
                             .arg(orientation)
                             .toStdString());
            const QString tagged = testsupport::TestDir() + QStringLiteral("/tagged.jpg");
            const QByteArray withTag = testsupport::WithJpegExif(
                bytes, testsupport::ExifBlock(testsupport::OrientationTiff(orientation)));
            ASSERT_TRUE(WriteBytes(tagged, std::vector<uint8_t>(withTag.begin(), withTag.end())));
            ASSERT_EQ(PictureOrientationOfFile(tagged), orientation);

            // Loaded as the window and the tool load it.
            const HeldPicture held(
                TakeUpright(OpenDib(QFile::encodeName(tagged).constData(), 0), orientation));
            const PictureRecord& picture = *held;
            ASSERT_NE(picture.Bits, nullptr);
            const auto jpeg =
                PosterSource::Jpeg(ReadJpegSource(tagged)).Upright(orientation).sharedJpeg();
            EXPECT_EQ(ImageOf(picture), Upright(stored, orientation));

            const PrintedParts printed = PrintJpeg(picture, jpeg, QStringLiteral("tagged"));
            ASSERT_FALSE(printed.shares.empty());
            ASSERT_EQ(printed.images.size(), printed.shares.size());
            const QImage expected = Upright(exact, orientation);
            for (size_t k = 0; k < printed.shares.size(); ++k) {
                SCOPED_TRACE(k);
                EXPECT_EQ(printed.images[k].encoding, "jpeg");
                const QImage part = DecodeExactly(printed.files[int(k)]);
                ASSERT_FALSE(part.isNull());
                EXPECT_LE(ShareDistance(part, expected, printed.shares[k]), 3);
            }
        }
    }
}

// The picture on the first page of the PDF as a reader renders it: the page rasterised, cut to
// what is not paper, scaled to the picture's size.
QImage RenderedPicture(const QString& pdf, QSize size)
{
    const QString prefix = pdf + QStringLiteral(".render");
    if (!testsupport::Run(
            QStringLiteral("pdftoppm -r 150 -f 1 -l 1 -png '%1' '%2'").arg(pdf, prefix)))
        return {};
    const QImage page =
        QImage(prefix + QStringLiteral("-1.png")).convertToFormat(QImage::Format_RGB32);
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if ((page.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
                box |= QRect(x, y, 1, 1);
    // Inside the picture's edges, which the scaling blurs.
    return page.copy(box.adjusted(2, 2, -2, -2))
        .scaled(size.width() - 4, size.height() - 4, Qt::IgnoreAspectRatio,
                Qt::SmoothTransformation);
}

// The mean difference of the channels, 0 to 1.
double MeanDifference(const QImage& a, const QImage& b)
{
    return testsupport::MeanDifference(a, b) / 255;
}

// The picture as a JPEG of inks, CMYK or YCCK coded, with an Adobe marker (its inks stored
// inverted, as Photoshop stores them) or without one.
bool WriteInksJpeg(const QImage& picture, const QString& path, bool ycck, bool adobe)
{
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = JDIMENSION(picture.width());
    info.image_height = JDIMENSION(picture.height());
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, ycck ? JCS_YCCK : JCS_CMYK);
    info.write_Adobe_marker = adobe;
    jpeg_set_quality(&info, 92, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(picture.width()) * 4);
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb c = picture.pixel(x, int(info.next_scanline));
            const int k = 255 - std::max({qRed(c), qGreen(c), qBlue(c)});
            const auto ink = [k](int v) { return k == 255 ? 0 : (255 - v - k) * 255 / (255 - k); };
            const int inks[4] = {ink(qRed(c)), ink(qGreen(c)), ink(qBlue(c)), k};
            for (int i = 0; i < 4; ++i)
                row[size_t(x) * 4 + size_t(i)] = JSAMPLE(adobe ? 255 - inks[i] : inks[i]);
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

TEST(JpegEdits, InksAndRgbCodedColoursPrintAsTheirOwnDataAndRenderAsTheProgramDecodesThem)
{
    if (!HaveJpegTools() || !testsupport::HaveProgram("convert"))
        GTEST_SKIP() << "poppler-utils, libjpeg-turbo-progs or ImageMagick missing";
    ASSERT_TRUE(testsupport::Run(QStringLiteral(
        "convert -size 200x140 plasma:fractal -quality 92 colour.jpg && "
        "convert colour.jpg -colorspace CMYK -quality 92 inks.jpg && "
        "djpeg -ppm colour.jpg > colour.ppm && cjpeg -rgb -quality 92 colour.ppm > rgb.jpg")));
    const QImage colour(testsupport::TestDir() + QStringLiteral("/colour.ppm"));
    ASSERT_FALSE(colour.isNull());
    ASSERT_TRUE(
        WriteInksJpeg(colour, testsupport::TestDir() + QStringLiteral("/ycck.jpg"), true, true));
    ASSERT_TRUE(
        WriteInksJpeg(colour, testsupport::TestDir() + QStringLiteral("/plain.jpg"), false, false));
    struct Case
    {
        const char* file;
        const char* colour; // as pdfimages names it
        double tolerance;   // readers turn inks into screen colours each their own way
    };
    for (const Case c : {Case{"inks.jpg", "cmyk", 0.09}, Case{"ycck.jpg", "cmyk", 0.09},
                         Case{"plain.jpg", "cmyk", 0.09}, Case{"rgb.jpg", "rgb", 0.05}}) {
        SCOPED_TRACE(c.file);
        const QString jpg = testsupport::TestDir() + u'/' + QLatin1String(c.file);
        HeldPicture picture(OpenDib(QFile::encodeName(jpg).constData(), 0));
        ASSERT_NE(picture->Bits, nullptr);
        const QImage decoded = ImageOf(*picture);
        const auto jpeg = ReadJpegSource(jpg);
        ASSERT_TRUE(jpeg);
        PrintJobInputs in = AllPagesOf(DIBWidth(*picture), DIBHeight(*picture));
        in.render.geometry.PagesAcross = in.render.geometry.PagesDown = 1;
        in.render.geometry.PosterWidthPages = in.render.geometry.PosterHeightPages = 1.0;
        in.render.options.GlueEdge = false;
        in.render.options.CutHelpLines = false;
        in.source = PosterSource::Jpeg(jpeg);
        const QString pdf = testsupport::TestDir() + QStringLiteral("/inks.pdf");
        const bool printed = PrintToPdf(*picture, in, pdf).ok();
        ASSERT_TRUE(printed);
        const std::vector<ImageEntry> images = ListImages(pdf);
        ASSERT_EQ(images.size(), 1u);
        EXPECT_EQ(images[0].encoding, "jpeg");
        EXPECT_EQ(images[0].colour, c.colour);
        const QImage rendered = RenderedPicture(pdf, decoded.size());
        ASSERT_FALSE(rendered.isNull());
        // Inks taken the wrong way round would give the negative, about 0.5 away.
        EXPECT_LT(
            MeanDifference(rendered, decoded.copy(2, 2, decoded.width() - 4, decoded.height() - 4)),
            c.tolerance);
    }
}

} // namespace

namespace {

// The cut says how far it is while it reads the blocks and as each part is written: rising,
// inside 0 to 1, and ending at 1.
TEST(JpegEdits, ACutReportsItsProgressUpToTheEnd)
{
    const QString jpg = NoiseJpeg(256, 256, 5, QStringLiteral("progress"), "2x2");
    if (jpg.isEmpty())
        GTEST_SKIP() << "cjpeg missing";
    const std::vector<uint8_t> data = ReadBytes(jpg);
    const std::shared_ptr<const JpegSource> jpeg = ReadJpegSource(jpg);
    ASSERT_TRUE(jpeg);
    std::vector<JpegRegion> quarters;
    for (int y : {0, 128})
        for (int x : {0, 128})
            quarters.push_back({x, y, 128, 128});
    std::vector<double> seen;
    std::vector<std::vector<uint8_t>> parts;
    ASSERT_EQ(CutJpeg(data.data(), data.size(), jpeg->view, quarters, parts,
                      [&seen](double done) { seen.push_back(done); }),
              JpegCutResult::Cut);
    ASSERT_GE(seen.size(), 5u); // some while reading, and one for each part
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GE(seen.front(), 0.0);
    EXPECT_LT(seen.front(), 0.5);
    EXPECT_DOUBLE_EQ(seen.back(), 1.0);
}

} // namespace

namespace {

// A picture in one scan is cut while it is read, from bands of blocks packed as they come in; one
// in several scans, or progressive, is read whole first. The same blocks stored any of these ways
// cut into the same parts under every edit, parts that share bands among them; and data that
// ends early cuts nothing, though parts were being written while it was read.
TEST(JpegEdits, OneScanSeveralScansAndProgressiveDataCutIntoTheSameParts)
{
    if (!testsupport::HaveProgram("cjpeg") || !testsupport::HaveProgram("jpegtran"))
        GTEST_SKIP() << "libjpeg-turbo-progs missing";
    // On the grid: a scan of one component leaves the padding's blocks out, so they differ.
    const QString jpg = NoiseJpeg(96, 64, 4, QStringLiteral("scans"), "2x1");
    ASSERT_FALSE(jpg.isEmpty());
    const QString dir = testsupport::TestDir();
    const QString script = dir + QStringLiteral("/scans.txt");
    ASSERT_TRUE(WriteBytes(script, {'0', ';', '\n', '1', ';', '\n', '2', ';', '\n'}));
    ASSERT_TRUE(testsupport::Run(
        QStringLiteral("jpegtran -progressive '%1' > '%2/progressive.jpg'").arg(jpg, dir)));
    ASSERT_TRUE(testsupport::Run(
        QStringLiteral("jpegtran -scans '%1' '%2' > '%3/separate.jpg'").arg(script, jpg, dir)));
    const std::vector<uint8_t> oneScan = ReadBytes(jpg);
    const std::vector<std::vector<uint8_t>> others = {
        ReadBytes(dir + QStringLiteral("/progressive.jpg")),
        ReadBytes(dir + QStringLiteral("/separate.jpg"))};
    const std::shared_ptr<const JpegSource> stored = ReadJpegSource(jpg);
    ASSERT_TRUE(stored);
    using K = PictureEdit::Kind;
    for (const std::vector<K>& edits : std::vector<std::vector<K>>{
             {}, {K::Mirror}, {K::Flip}, {K::TurnLeft}, {K::TurnRight, K::Mirror}}) {
        std::shared_ptr<const JpegSource> jpeg = stored;
        for (const K e : edits)
            jpeg = EditedJpeg(jpeg, {e});
        const JpegView& v = jpeg->view;
        SCOPED_TRACE(testing::Message()
                     << edits.size() << " edits, " << (v.transposed ? "" : "not ") << "transposed");
        // Three by two parts, each a grid unit into its neighbours.
        std::vector<JpegRegion> regions;
        const int32_t stepX = (v.paddedWidth / 3 + v.grid.width - 1) / v.grid.width * v.grid.width;
        const int32_t stepY =
            (v.paddedHeight / 2 + v.grid.height - 1) / v.grid.height * v.grid.height;
        for (int32_t y = 0; y < v.paddedHeight; y += stepY)
            for (int32_t x = 0; x < v.paddedWidth; x += stepX)
                regions.push_back({x, y, std::min(stepX + v.grid.width, v.paddedWidth - x),
                                   std::min(stepY + v.grid.height, v.paddedHeight - y)});
        ASSERT_EQ(regions.size(), 6u);
        std::vector<std::vector<uint8_t>> ours;
        ASSERT_EQ(CutJpeg(oneScan.data(), oneScan.size(), v, regions, ours), JpegCutResult::Cut);
        for (const std::vector<uint8_t>& data : others) {
            std::vector<std::vector<uint8_t>> theirs;
            ASSERT_EQ(CutJpeg(data.data(), data.size(), v, regions, theirs), JpegCutResult::Cut);
            ASSERT_EQ(theirs.size(), ours.size());
            for (size_t i = 0; i < ours.size(); ++i) {
                const Blocks a = ReadBlocks(ours[i]);
                const Blocks b = ReadBlocks(theirs[i]);
                ASSERT_TRUE(a.ok && b.ok);
                EXPECT_EQ(a.width, regions[i].w);
                EXPECT_EQ(a.width, b.width);
                EXPECT_EQ(a.height, b.height);
                EXPECT_EQ(a.tables, b.tables);
                EXPECT_TRUE(a.rows == b.rows) << "part " << i;
            }
        }
        const std::vector<uint8_t> cutShort(oneScan.begin(),
                                            oneScan.begin() + oneScan.size() * 3 / 5);
        EXPECT_EQ(CutJpeg(cutShort.data(), cutShort.size(), v, regions, ours),
                  JpegCutResult::Damaged);
        EXPECT_TRUE(ours.empty());
    }
}

} // namespace
