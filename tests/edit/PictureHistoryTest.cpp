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

namespace {

// A picture of every pixel different, so that any wrong turn or mirror shows.
PictureRecord Distinct(int width, int height)
{
    PictureRecord p = newdib(width, height, 24, nullptr, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            setpixel(p, x, y, (x * 131 + y * 7919) & 0xFFFFFF);
    return p;
}

bool SameBytes(const PictureRecord& a, const PictureRecord& b)
{
    return DIBWidth(a) == DIBWidth(b) && DIBHeight(a) == DIBHeight(b) &&
           a.BytesPerLine == b.BytesPerLine &&
           std::equal(a.Bits, a.Bits + int64_t(a.BytesPerLine) * DIBHeight(a), b.Bits);
}

} // namespace

// A turn, a mirror and a flip keep no picture: each is undone by its inverse and redone by
// itself, byte for byte, and a cut between them keeps its copy as before.
TEST(PictureHistory, LosslessEditsAreUndoneByTheirInverseWithoutACopy)
{
    History history([] { return uint64_t(1) << 30; });
    const HeldPicture start(Distinct(37, 23));
    History::Step current{CopyPicture(start.get()), 0};
    std::vector<HeldPicture> states; // the picture after each step, for comparison
    states.emplace_back(CopyPicture(current.picture));
    const PictureEdit edits[] = {{PictureEdit::Kind::TurnLeft},
                                 {PictureEdit::Kind::Mirror},
                                 PictureEdit::Cut(2, 3, 20, 30),
                                 {PictureEdit::Kind::TurnRight},
                                 {PictureEdit::Kind::Flip}};
    int n = 0;
    for (const PictureEdit& edit : edits) {
        const PictureRecord made = EditedPicture(current.picture, edit);
        ASSERT_NE(made.Bits, nullptr);
        if (const auto back = InverseOf(edit)) {
            ASSERT_TRUE(history.KeepUndoneBy(*back, current.extra));
            deldib(current.picture);
        } else {
            ASSERT_TRUE(history.Keep(current));
        }
        current = {made, ++n};
        states.emplace_back(CopyPicture(current.picture));
    }
    // Only the cut's picture is held.
    EXPECT_EQ(history.Bytes(), PictureBytes(states[2].get()));
    for (int step = n - 1; step >= 0; --step) {
        ASSERT_TRUE(history.Undo(current));
        EXPECT_EQ(current.extra, step);
        EXPECT_TRUE(SameBytes(current.picture, states[size_t(step)].get())) << "undo to " << step;
    }
    for (int step = 1; step <= n; ++step) {
        ASSERT_TRUE(history.Redo(current));
        EXPECT_TRUE(SameBytes(current.picture, states[size_t(step)].get())) << "redo to " << step;
    }
    deldib(current.picture);
    history.Clear();
    EXPECT_EQ(history.Bytes(), 0u);
}
