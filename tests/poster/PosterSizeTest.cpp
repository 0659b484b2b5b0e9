// SPDX-License-Identifier: GPL-3.0-or-later
#include "PosterSize.h"

#include <gtest/gtest.h>

namespace {

SizeInputs Example()
{
    SizeInputs in;
    in.pageWidth = 2400;
    in.pageHeight = 3400;
    in.options.NoGlueOnPosterEdge = false;
    in.options.KeepAspectRatio = true;
    in.options.GlueEdge = true;
    in.rightGluePercent = 5;
    in.bottomGluePercent = 5;
    in.pictureWidth = 1000;
    in.pictureHeight = 1000;
    return in;
}

struct Poster
{
    explicit Poster(const SizeInputs& inputs) : in(inputs), edits(g, in) {}
    SizeInputs in;
    PosterGeometry g;
    SimulatedSizeEdits edits;
};

TEST(PosterSize, UsableAreaLessGlueWhereItCounts)
{
    SizeInputs in = Example();
    EXPECT_EQ(UsableAreaOf(in).width, 2280);
    EXPECT_EQ(UsableAreaOf(in).height, 3230);
    in.options.GlueEdge = false;
    EXPECT_EQ(UsableAreaOf(in).width, 2400);
    EXPECT_EQ(UsableAreaOf(in).height, 3400);
    in.options.GlueEdge = true;
    in.pageWidth = 2410;      // 2289.5 goes to the even neighbour
    in.rightGluePercent = 50; // confined to 10
    EXPECT_EQ(UsableAreaOf(in).width, 2169);
}

TEST(PosterSize, WidthDerivesHeightAndCounts)
{
    struct Case
    {
        const char* typed;
        double width;
        int across;
        const char* heightText;
        int down;
    };
    const Case cases[] = {
        {"2", 2.0, 2, "1.41176471", 2},
        {"3.0", 3.0, 3, "2.11764706", 3},
        {"2.01", 2.01, 3, "1.41882353", 2},
        {"0.1", 0.1, 1, "0.10000000", 1}, // derived 0.0706 confined by the edit
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        Poster p(Example());
        p.edits.type(SizeSide::Width, c.typed);
        EXPECT_DOUBLE_EQ(p.g.PosterWidthPages, c.width);
        EXPECT_EQ(p.g.PagesAcross, c.across);
        EXPECT_EQ(p.edits.text(SizeSide::Height), c.heightText);
        EXPECT_DOUBLE_EQ(p.g.PosterHeightPages, QString(c.heightText).toDouble());
        EXPECT_EQ(p.g.PagesDown, c.down);
        EXPECT_TRUE(p.g.WidthEditedLast);
        EXPECT_FALSE(p.g.SizeUpdateGuard);
    }
}

TEST(PosterSize, HeightIsTheMirrorImage)
{
    Poster p(Example());
    p.g.WidthEditedLast = true;
    p.edits.type(SizeSide::Height, "2");
    // w = 1000 * 2 / 1000 * 3230 / 2280
    EXPECT_EQ(p.edits.text(SizeSide::Width), "2.83333333");
    EXPECT_EQ(p.g.PagesAcross, 3);
    EXPECT_EQ(p.g.PagesDown, 2);
    EXPECT_FALSE(p.g.WidthEditedLast);
}

TEST(PosterSize, FullPagesRoundHalvesToEvenAndReRunOnce)
{
    struct Case
    {
        const char* typed;
        const char* widthText;
        int across;
    };
    const Case cases[] = {{"2.5", "2.00000000", 2},
                          {"3.5", "4.00000000", 4},
                          {"0.4", "1.00000000", 1},
                          {"-7", "1.00000000", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        SizeInputs in = Example();
        in.options.UseFullPages = true;
        Poster p(in);
        p.edits.type(SizeSide::Width, c.typed);
        EXPECT_EQ(p.edits.text(SizeSide::Width), c.widthText);
        EXPECT_EQ(p.g.PosterWidthPages, c.across);
        EXPECT_EQ(p.g.PagesAcross, c.across);
        // The typed run and the nested run of the whole-number write, nothing more.
        EXPECT_EQ(p.edits.handlerRuns(SizeSide::Width), 2);
        // The derived height stays fractional.
        EXPECT_NE(p.g.PosterHeightPages, double(int(p.g.PosterHeightPages)));
    }
}

TEST(PosterSize, AspectOffLeavesTheOtherSizeAlone)
{
    SizeInputs in = Example();
    in.options.KeepAspectRatio = false;
    Poster p(in);
    p.edits.type(SizeSide::Height, "3.3");
    EXPECT_EQ(p.g.PagesDown, 4);
    p.edits.type(SizeSide::Width, "2.5");
    EXPECT_EQ(p.edits.text(SizeSide::Height), "3.3");
    EXPECT_DOUBLE_EQ(p.g.PosterHeightPages, 3.3);
    EXPECT_EQ(p.g.PagesDown, 4);
    EXPECT_EQ(p.g.PagesAcross, 3);
}

TEST(PosterSize, DerivedWriteKeepsWhoWasEditedLastAndRefitFollowsIt)
{
    Poster p(Example());
    p.edits.type(SizeSide::Width, "2");
    EXPECT_EQ(p.edits.handlerRuns(SizeSide::Height), 1); // started, stopped by the guard
    EXPECT_TRUE(p.g.WidthEditedLast);

    // A printer set-up with a wider page: the refit starts from the width.
    p.in.pageWidth = 3400;
    Refit(p.g, p.in, p.edits);
    EXPECT_TRUE(p.g.WidthEditedLast);
    EXPECT_DOUBLE_EQ(p.g.PosterWidthPages, 2.0);
    EXPECT_EQ(p.edits.text(SizeSide::Height), "2.00000000"); // usable 3230 x 3230

    p.edits.type(SizeSide::Height, "1");
    p.in.pageWidth = 2400;
    Refit(p.g, p.in, p.edits);
    EXPECT_FALSE(p.g.WidthEditedLast);
    EXPECT_DOUBLE_EQ(p.g.PosterHeightPages, 1.0);
    EXPECT_EQ(p.edits.text(SizeSide::Width), "1.41666667");
}

TEST(PosterSize, NoGlueOnPosterEdgeKeepsTheProportionsOfThePrintedPicture)
{
    SizeInputs in = Example();
    in.options.NoGlueOnPosterEdge = true;
    // The layout spreads the picture as if it were 5 / columns percent narrower and 5 / rows
    // percent lower, so the height is the proportional 2 * 2280 / 3230 times (1 - 0.05 / rows)
    // over (1 - 0.05 / 2), on as many rows as it comes to, whatever the count before. A 1413
    // high picture (1.99482353 proportional) would fit 2 rows as well as 3 (2.01188395); the
    // smaller poster is taken, so that the same width gives the same poster after any history.
    struct Case
    {
        int pictureHeight;
        int previousDown;
        const char* heightText;
        int down;
    };
    for (const Case& c : {Case{1000, 1, "1.41176471", 2}, Case{1000, 7, "1.41176471", 2},
                          Case{1413, 1, "1.99482353", 2}, Case{1413, 3, "1.99482353", 2},
                          Case{1413, 40, "1.99482353", 2}, Case{2000, 1, "2.84766214", 3}}) {
        SCOPED_TRACE(testing::Message() << c.pictureHeight << " after " << c.previousDown);
        in.pictureHeight = c.pictureHeight;
        Poster p(in);
        p.g.PagesDown = c.previousDown;
        p.edits.type(SizeSide::Width, "2");
        EXPECT_EQ(p.edits.text(SizeSide::Height), c.heightText);
        EXPECT_EQ(p.g.PagesDown, c.down);
    }
    // The other way round: the width from a height of 2 on 1000 x 2000, 2 columns of the
    // proportional 2 * 1000 / 2000 * 3230 / 2280 = 1.41666667 (1 - 0.025) / (1 - 0.025).
    in.pictureHeight = 2000;
    {
        Poster p(in);
        p.edits.type(SizeSide::Height, "2");
        EXPECT_EQ(p.edits.text(SizeSide::Width), "1.41666667");
        EXPECT_EQ(p.g.PagesAcross, 2);
    }
    // Without an edge for glue the layout leaves nothing out, and the height is proportional.
    in.pictureHeight = 1000;
    in.options.GlueEdge = false;
    Poster p(in);
    p.edits.type(SizeSide::Width, "2");
    EXPECT_EQ(p.edits.text(SizeSide::Height), "1.41176471"); // 2 * 2400 / 3400
}

TEST(PosterSize, BadValuesNeverGiveCountsOutOfRange)
{
    struct Case
    {
        const char* typed;
        double width;
        int across;
    };
    const Case cases[] = {{"", 0.1, 1},    {"abc", 0.1, 1},   {"0", 0.1, 1},
                          {"-3", 0.1, 1},  {"1e9", 100, 100}, {"100.0000001", 100, 100},
                          {"nan", 0.1, 1}, {"inf", 100, 100}};
    for (bool fullPages : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.typed) + (fullPages ? " full" : ""));
            SizeInputs in = Example();
            in.options.UseFullPages = fullPages;
            in.options.NoGlueOnPosterEdge = true;
            Poster p(in);
            p.edits.type(SizeSide::Width, c.typed);
            if (!fullPages) {
                EXPECT_DOUBLE_EQ(p.g.PosterWidthPages, c.width);
            }
            EXPECT_GE(p.g.PagesAcross, 1);
            EXPECT_LE(p.g.PagesAcross, 100);
            EXPECT_EQ(p.g.PagesAcross, c.across);
            EXPECT_GE(p.g.PagesDown, 1);
            EXPECT_LE(p.g.PagesDown, 100);
            EXPECT_GE(p.g.PosterHeightPages, kMinPosterPages);
            EXPECT_LE(p.g.PosterHeightPages, kMaxPosterPages);
            // Leaving the edit brings the text into range.
            p.edits.leave(SizeSide::Width);
            const double shown = QString(p.edits.text(SizeSide::Width)).toDouble();
            EXPECT_GE(shown, kMinPosterPages);
            EXPECT_LE(shown, kMaxPosterPages);
        }
    }
}

TEST(PosterSize, DegenerateInputsKeepTheOtherSize)
{
    for (SizeSide side : {SizeSide::Width, SizeSide::Height}) {
        SizeInputs in = Example();
        (side == SizeSide::Width ? in.pictureWidth : in.pictureHeight) = 0;
        Poster p(in);
        p.edits.type(side, "3");
        EXPECT_EQ(side == SizeSide::Width ? p.g.PagesAcross : p.g.PagesDown, 3);
        EXPECT_EQ(side == SizeSide::Width ? p.g.PagesDown : p.g.PagesAcross, 1);
        EXPECT_EQ(p.edits.text(side == SizeSide::Width ? SizeSide::Height : SizeSide::Width),
                  "1.00000000");
    }
    SizeInputs noPrinter = Example();
    noPrinter.pageWidth = 0;
    noPrinter.pageHeight = 0;
    Poster p(noPrinter);
    p.edits.type(SizeSide::Height, "2");
    EXPECT_DOUBLE_EQ(p.g.PosterWidthPages, 1.0);
}

TEST(PosterSize, NewPictureStartsOnePageWide)
{
    // Aspect ratio off, height edited last: the edit is made to show the one page.
    SizeInputs in = Example();
    in.options.KeepAspectRatio = false;
    Poster p(in);
    p.edits.type(SizeSide::Width, "4");
    p.edits.type(SizeSide::Height, "2");
    FitNewPicture(p.g, p.in, p.edits);
    EXPECT_EQ(p.g.PagesAcross, 1);
    EXPECT_EQ(p.edits.text(SizeSide::Width), "1.00000000");
    EXPECT_FALSE(p.g.WidthEditedLast);
    EXPECT_EQ(p.g.PagesDown, 2);

    // Width edited last: the refit reads the width edit, which keeps the user's width.
    Poster q(Example());
    q.edits.type(SizeSide::Width, "3");
    q.in.pictureHeight = 2000;
    FitNewPicture(q.g, q.in, q.edits);
    EXPECT_EQ(q.g.PagesAcross, 3);
    EXPECT_EQ(q.edits.text(SizeSide::Height), "4.23529412");
    EXPECT_EQ(q.g.PagesDown, 5);
}

TEST(PosterSize, PreviewBoxForZoom)
{
    EXPECT_EQ(ZoomSize(1.0), QSize(341, 277));
    EXPECT_EQ(ZoomSize(0.5), QSize(170, 138));
    EXPECT_EQ(ZoomSize(1.5), QSize(512, 416));
}

} // namespace
