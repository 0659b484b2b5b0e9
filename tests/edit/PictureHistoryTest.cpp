// SPDX-License-Identifier: GPL-3.0-or-later
#include "PictureHistory.h"

#include "HeldPicture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using History = PictureHistory<int>;

// A picture told apart by its first pixel.
PictureRecord Numbered(int n, int side = 40)
{
    PictureRecord p = newdib(side, side, 24, nullptr, 0);
    setpixel(p, 0, 0, n);
    return p;
}

int NumberOf(const PictureRecord& p)
{
    return getpixel(p, 0, 0);
}

// Undoes everything, with the step's number checked against its extra; the numbers seen.
std::vector<int> UndoAll(History& history, History::Step& current)
{
    std::vector<int> seen;
    while (history.Undo(current)) {
        EXPECT_EQ(NumberOf(current.picture), current.extra);
        seen.push_back(current.extra);
    }
    return seen;
}

TEST(PictureHistory, UndoAndRedoWalkTheStepsBothWaysAndANewStepDropsTheRedoOnes)
{
    History history([] { return uint64_t(1) << 30; });
    History::Step current{Numbered(0), 0};
    for (int n = 1; n <= 3; ++n) {
        EXPECT_TRUE(history.Keep(current));
        current = {Numbered(n), n};
    }
    EXPECT_EQ(UndoAll(history, current), (std::vector<int>{2, 1, 0}));
    EXPECT_FALSE(history.CanUndo());
    ASSERT_TRUE(history.Redo(current));
    ASSERT_TRUE(history.Redo(current));
    EXPECT_EQ(NumberOf(current.picture), 2);
    EXPECT_EQ(history.RedoSteps(), 1u);

    // An operation from here: step 3 can no longer be redone.
    EXPECT_TRUE(history.Keep(current));
    current = {Numbered(7), 7};
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(UndoAll(history, current), (std::vector<int>{2, 1, 0}));
    // Undone steps still take memory: they can be redone.
    EXPECT_EQ(history.Bytes(), 3 * PictureBytes(current.picture));
    history.Clear();
    EXPECT_EQ(history.Bytes(), 0u);
    deldib(current.picture);
}

TEST(PictureHistory, AtItsMemoryBoundTheOldestStepsGo)
{
    HeldPicture probe(Numbered(0));
    const uint64_t one = PictureBytes(*probe);
    // The process may have sixteen such pictures, less what the history holds: a quarter of it
    // is four steps.
    const History* seen = nullptr;
    History history([&seen, one] { return 16 * one - (seen ? seen->Bytes() : 0); });
    seen = &history;
    History::Step current{Numbered(0), 0};
    for (int n = 1; n <= 7; ++n) {
        EXPECT_TRUE(history.Keep(current));
        current = {Numbered(n), n};
        EXPECT_LE(history.Bytes(), 4 * one);
    }
    EXPECT_EQ(history.UndoSteps(), 4u);
    EXPECT_EQ(UndoAll(history, current), (std::vector<int>{6, 5, 4, 3}));
    deldib(current.picture);
}

TEST(PictureHistory, AStepLargerThanTheBoundIsNotKeptAndNothingBeforeItEither)
{
    HeldPicture probe(Numbered(0));
    const uint64_t small = PictureBytes(*probe);
    History history([small] { return 8 * small; });
    History::Step current{Numbered(0), 0};
    ASSERT_TRUE(history.Keep(current));
    current = {Numbered(1, 200), 1}; // far more than a quarter of what is left
    EXPECT_FALSE(history.Keep(current));
    EXPECT_FALSE(history.CanUndo());
    EXPECT_EQ(history.Bytes(), 0u);

    // Nothing left at all: the operation goes on, without undo.
    History none([] { return uint64_t(0); });
    EXPECT_FALSE(none.Keep({Numbered(2), 2}));
    EXPECT_FALSE(none.Keep({PictureRecord(), 3}));
    EXPECT_FALSE(none.CanUndo());
}

} // namespace
