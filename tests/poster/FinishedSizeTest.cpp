// SPDX-License-Identifier: GPL-3.0-or-later
// The finished poster's size and the picture's resolution on paper, against sums worked out by
// hand from the page layouts' rules: page spans, widened glue strips, the last column and row.
#include "FinishedSize.h"
#include "PosterSize.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Printable area 4800 x 6000 device pixels at 600 dpi; usable 4560 x 5700 with 5 % glue strips.
constexpr int32_t kPageW = 4800;
constexpr int32_t kPageH = 6000;
constexpr int32_t kDpi = 600;

PageRenderInputs TwoByTwo(bool glueEdge, bool noGlueOnPosterEdge, bool printOnGlueEdge)
{
    PageRenderInputs in;
    in.pictureWidth = 1000;
    in.pictureHeight = 800;
    in.geometry.PosterWidthPages = 2.0;
    in.geometry.PosterHeightPages = 2.0;
    in.geometry.PagesAcross = 2;
    in.geometry.PagesDown = 2;
    in.options.GlueEdge = glueEdge;
    in.options.NoGlueOnPosterEdge = noGlueOnPosterEdge;
    in.options.PrintOnGlueEdge = printOnGlueEdge;
    in.gx = in.gy = 5;
    return in;
}

} // namespace

TEST(FinishedSize, GluedPagesCountEachOverlapOnce)
{
    const struct
    {
        const char* what;
        PageRenderInputs in;
        double width, height; // device pixels
    } cases[] = {
        // 500 x 400 picture pixels a page onto 4560 x 5700 device pixels.
        {"glue strips, blank", TwoByTwo(true, false, false), 1000 * 4560.0 / 500,
         800 * 5700.0 / 400},
        // Pages widened to 526 x 421 pixels onto 4800 x 6000; the first page's glue strip lies
        // under the second page, which shows the picture's last 500 columns and 400 rows.
        {"glue strips printed on", TwoByTwo(true, false, true), 4560 + 500 * 4800.0 / 526,
         5700 + 400 * 6000.0 / 421},
        // No glue strip on the poster's edge: column 0 takes 487 columns onto 4560 pixels, the
        // last column 513 onto 4800; row 0 390 rows onto 5700, the last row 410 of its 411.
        {"no glue strip on the poster edge", TwoByTwo(true, true, false), 4560 + 4800.0,
         5700 + 410 * 6000.0 / 411},
        // Without glue strips two pages are two whole printable areas.
        {"no glue strips", TwoByTwo(false, false, false), 2 * 4800.0, 2 * 6000.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const FinishedSize s = FinishedPosterSize(c.in, kPageW, kPageH, kDpi, kDpi);
        ASSERT_TRUE(s.valid);
        EXPECT_NEAR(s.widthPixels, c.width, 1e-6);
        EXPECT_NEAR(s.heightPixels, c.height, 1e-6);
        EXPECT_NEAR(s.widthInches, c.width / 600, 1e-9);
        EXPECT_NEAR(s.widthCm, c.width / 600 * 2.54, 1e-9);
        EXPECT_NEAR(s.heightCm, c.height / 600 * 2.54, 1e-9);
    }

    // 9.12 and 14.25 device pixels a picture pixel at 600 dpi.
    const FinishedSize blank =
        FinishedPosterSize(TwoByTwo(true, false, false), kPageW, kPageH, kDpi, kDpi);
    EXPECT_NEAR(blank.ppiX, 600 / 9.12, 1e-9);
    EXPECT_NEAR(blank.ppiY, 600 / 14.25, 1e-9);
}

TEST(FinishedSize, ACentredPictureIsMeasuredWhereItLies)
{
    // 900 pixels over 1.5 pages: the grid spans 1200, the picture starts 150 pixels into the
    // first page (600 a page) and ends 450 into the second.
    PageRenderInputs in = TwoByTwo(false, false, false);
    in.pictureWidth = 900;
    in.geometry.PosterWidthPages = 1.5;
    in.options.CenterPicture = true;
    const FinishedSize s = FinishedPosterSize(in, kPageW, kPageH, kDpi, kDpi);
    ASSERT_TRUE(s.valid);
    EXPECT_NEAR(s.widthPixels, 900 * 4800.0 / 600, 1e-6);
}

TEST(FinishedSize, FromTheWidthEditWithTheAspectRatio)
{
    // A page of 2400 x 3400 at 300 dpi, 5 % glue strips, a 1000 x 1000 picture, width 2: the
    // height edit gets 1.41176471, so the grid spans Round(1000 * 2 / 1.41176471) = 1417 rows,
    // 708 a page, each onto 3230 device pixels.
    SizeInputs size;
    size.pageWidth = 2400;
    size.pageHeight = 3400;
    size.options.NoGlueOnPosterEdge = false;
    size.pictureWidth = 1000;
    size.pictureHeight = 1000;
    PosterGeometry g;
    SimulatedSizeEdits edits(g, size);
    edits.type(SizeSide::Width, QStringLiteral("2"));
    ASSERT_EQ(g.PagesDown, 2);

    PageRenderInputs in;
    in.pictureWidth = 1000;
    in.pictureHeight = 1000;
    in.geometry = g;
    in.options = size.options;
    const FinishedSize s = FinishedPosterSize(in, 2400, 3400, 300, 300);
    ASSERT_TRUE(s.valid);
    EXPECT_NEAR(s.widthPixels, 1000 * 2280.0 / 500, 1e-6);
    EXPECT_NEAR(s.heightPixels, 1000 * 3230.0 / 708, 1e-6);
    EXPECT_NEAR(s.widthCm, 4560.0 / 300 * 2.54, 1e-9);
}

TEST(FinishedSize, TheLineSaysTheSizeAndWarnsOfACoarsePrint)
{
    FinishedSize s;
    EXPECT_EQ(FinishedSizeText(s), QString());
    s.valid = true;
    s.widthCm = 100;
    s.heightCm = 70.64;
    s.widthInches = 100 / 2.54;
    s.heightInches = 70.64 / 2.54;
    s.ppiX = s.ppiY = 152.4;
    EXPECT_EQ(FinishedSizeText(s), "100.0 x 70.6 cm (39.37 x 27.81 in), 152 ppi");
    s.ppiY = 99.4;
    EXPECT_EQ(FinishedSizeText(s),
              "100.0 x 70.6 cm (39.37 x 27.81 in), 152 x 99 ppi: the print will look coarse: try "
              "Smooth enlargement");
    s.ppiX = s.ppiY = 20;
    EXPECT_EQ(FinishedSizeText(s),
              "100.0 x 70.6 cm (39.37 x 27.81 in), 20 ppi: the print will look very coarse: try "
              "Smooth enlargement");
    s.smooth = true;
    EXPECT_EQ(FinishedSizeText(s), "100.0 x 70.6 cm (39.37 x 27.81 in), 20 ppi: printed smooth");
    s.smooth = false;
    // An 8 x 8 picture over a metre has less than one pixel to the inch, not none.
    s.ppiX = s.ppiY = 0.2;
    EXPECT_EQ(FinishedSizeText(s),
              "100.0 x 70.6 cm (39.37 x 27.81 in), under 1 ppi: the print will look very coarse: "
              "try Smooth enlargement");
    s.ppiY = 0.7;
    s.ppiX = 2.4;
    EXPECT_EQ(FinishedSizeText(s), "100.0 x 70.6 cm (39.37 x 27.81 in), 2 x under 1 ppi: the "
                                   "print will look very coarse: try Smooth enlargement");

    // Nothing to measure: no picture, or no printer.
    PageRenderInputs none = TwoByTwo(true, true, false);
    none.pictureWidth = 0;
    EXPECT_FALSE(FinishedPosterSize(none, kPageW, kPageH, kDpi, kDpi).valid);
    EXPECT_FALSE(FinishedPosterSize(TwoByTwo(true, true, false), 0, 0, 0, 0).valid);
}

TEST(FinishedSize, ASizeInCentimetresGivesTheNearestSizeThePagesCanHave)
{
    // A page covers a whole number s of picture pixels, so a W pixels wide picture can be
    // W * 4560 / s device pixels wide, for any s: the nearest of those is the one to get.
    PageRenderInputs in = TwoByTwo(true, false, false);
    for (const int32_t pictureWidth : {640, 6000, 12000}) {
        in.pictureWidth = pictureWidth;
        for (const double cm : {30.0, 50.0, 100.0, 123.4}) {
            const double pixels = cm / 2.54 * kDpi;
            double nearest = 1e300;
            for (int32_t span = 1; span <= pictureWidth; ++span)
                nearest = std::min(nearest, std::abs(pictureWidth * 4560.0 / span - pixels));
            const double pages = PagesForFinishedSize(true, pixels, in, kPageW, kPageH, kDpi, kDpi);
            in.geometry.PosterWidthPages = pages;
            in.geometry.PagesAcross = int32_t(std::ceil(pages));
            const FinishedSize s = FinishedPosterSize(in, kPageW, kPageH, kDpi, kDpi);
            EXPECT_NEAR(std::abs(s.widthPixels - pixels), nearest, 1e-6)
                << pictureWidth << " pixels, " << cm << " cm, " << pages << " pages";
        }
    }
    // Without glue strips on the poster's edge the last column is laid out otherwise; the size
    // got is still within half a step of one picture pixel a page.
    in = TwoByTwo(true, true, false);
    in.pictureWidth = 12000;
    const double pixels = 100 / 2.54 * kDpi;
    const double pages = PagesForFinishedSize(true, pixels, in, kPageW, kPageH, kDpi, kDpi);
    in.geometry.PosterWidthPages = pages;
    in.geometry.PagesAcross = int32_t(std::ceil(pages));
    const FinishedSize s = FinishedPosterSize(in, kPageW, kPageH, kDpi, kDpi);
    const double step = 4560.0 * pages * pages / 12000;
    EXPECT_LE(std::abs(s.widthPixels - pixels), step / 2 + 1) << pages;

    // Whole pages when the options ask for them, and never outside the edits' range.
    PageRenderInputs small = TwoByTwo(true, false, false);
    small.pictureWidth = 640;
    small.options.UseFullPages = true;
    EXPECT_EQ(PagesForFinishedSize(true, pixels, small, kPageW, kPageH, kDpi, kDpi), 5.0);
    EXPECT_EQ(PagesForFinishedSize(true, 1e9, small, kPageW, kPageH, kDpi, kDpi), 100.0);
    small.options.UseFullPages = false;
    EXPECT_EQ(PagesForFinishedSize(true, 1, small, kPageW, kPageH, kDpi, kDpi), 0.1);

    // A picture of 50 pixels has no page for 100 pages to cover: 70 cm takes the pages whose
    // share of a pixel comes nearest, never the hundred.
    PageRenderInputs tiny = TwoByTwo(true, false, false);
    tiny.pictureWidth = 50;
    tiny.pictureHeight = 40;
    const double seventy = 70 / 2.54 * kDpi;
    const double tinyPages = PagesForFinishedSize(true, seventy, tiny, kPageW, kPageH, kDpi, kDpi);
    EXPECT_LT(tinyPages, 10);
    tiny.geometry.PosterWidthPages = tinyPages;
    tiny.geometry.PagesAcross = int32_t(std::ceil(tinyPages));
    const FinishedSize got = FinishedPosterSize(tiny, kPageW, kPageH, kDpi, kDpi);
    ASSERT_TRUE(got.valid);
    double nearest = 1e300;
    for (int32_t span = 1; span <= 50; ++span)
        nearest = std::min(nearest, std::abs(50 * 4560.0 / span - seventy));
    EXPECT_NEAR(std::abs(got.widthPixels - seventy), nearest, 1e-6);
    // Without a picture or a printer the pages stay as they were.
    tiny.pictureWidth = 0;
    EXPECT_EQ(PagesForFinishedSize(true, seventy, tiny, kPageW, kPageH, kDpi, kDpi), tinyPages);
    tiny.pictureWidth = 50;
    EXPECT_EQ(PagesForFinishedSize(true, seventy, tiny, kPageW, kPageH, 0, 0), tinyPages);
}
