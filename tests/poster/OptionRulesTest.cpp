// SPDX-License-Identifier: GPL-3.0-or-later
#include "OptionRules.h"

#include <gtest/gtest.h>

namespace {

TEST(OptionRules, DefaultsCopiedUnchanged)
{
    const OptionUpdate u = OptionsFromBoxes(OptionBoxes{}, 0.1);
    EXPECT_EQ(u.options, PrintOptions{});
    EXPECT_FALSE(u.checkGlueLines);
    EXPECT_TRUE(u.glueControlsEnabled);
    EXPECT_TRUE(u.incrementEnabled);
    EXPECT_DOUBLE_EQ(u.sizeStep, 0.1);
}

TEST(OptionRules, PrintingOnTheGlueEdgeForcesGlueLines)
{
    struct Case
    {
        bool printOnEdge, glueLines, expectLines, expectCheck;
    };
    const Case cases[] = {
        {true, false, true, true}, // checking it checks "Clue lines"
        {true, true, true, false}, // unchecking "Clue lines" is undone; box already on
        {false, false, false, false},
        {false, true, true, false},
    };
    for (const Case& c : cases) {
        OptionBoxes b;
        b.PrintOnGlueEdge = c.printOnEdge;
        b.GlueLines = c.glueLines;
        const OptionUpdate u = OptionsFromBoxes(b, 0.1);
        EXPECT_EQ(u.options.GlueLines, c.expectLines);
        EXPECT_EQ(u.checkGlueLines, c.expectCheck);
        // Running again with the box as checked gives the same result.
        b.GlueLines = u.options.GlueLines;
        const OptionUpdate again = OptionsFromBoxes(b, 0.1);
        EXPECT_EQ(again.options, u.options);
        EXPECT_FALSE(again.checkGlueLines);
    }
}

TEST(OptionRules, GlueEdgeOffDisablesButKeepsFlags)
{
    OptionBoxes b;
    b.GlueEdge = false;
    b.PrintOnGlueEdge = true;
    const OptionUpdate off = OptionsFromBoxes(b, 0.1);
    EXPECT_FALSE(off.glueControlsEnabled);
    EXPECT_TRUE(off.options.NoGlueOnPosterEdge);
    EXPECT_TRUE(off.options.PrintOnGlueEdge);
    b.GlueEdge = true;
    const OptionUpdate on = OptionsFromBoxes(b, 0.1);
    EXPECT_TRUE(on.glueControlsEnabled);
    EXPECT_TRUE(on.options.NoGlueOnPosterEdge);
}

TEST(OptionRules, FullPagesFixTheStepAndDisableTheIncrement)
{
    OptionBoxes b;
    b.UseFullPages = true;
    const OptionUpdate full = OptionsFromBoxes(b, 0.25);
    EXPECT_FALSE(full.incrementEnabled);
    EXPECT_DOUBLE_EQ(full.sizeStep, 1.0);
    b.UseFullPages = false;
    const OptionUpdate frac = OptionsFromBoxes(b, 0.25);
    EXPECT_TRUE(frac.incrementEnabled);
    EXPECT_DOUBLE_EQ(frac.sizeStep, 0.25);
}

} // namespace
