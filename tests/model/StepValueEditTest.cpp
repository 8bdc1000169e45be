// The per-step knob's edits: one step or, with the "LINE" cursor, a whole row
// of every selected channel, each value clamped on its own.
#include <gtest/gtest.h>

#include <algorithm>

#include "model/StepValueEdit.h"
#include "model/Undo.h"

using namespace tx;

namespace {

class StepValueEdit : public ::testing::Test {
protected:
    void SetUp() override {
        while (loop.ChannelCount() < 5) loop.AddChannel();
        loop.CurrentPattern = 3;
        for (int c = 0; c < 5; ++c) loop.Channel(c).Selected = false;
        loop.Modified = false;
    }
    uint8_t& vol(int c, int s) { return loop.Channel(c).Pattern(3).StepVolume()[size_t(s)]; }
    uint8_t& pitch(int c, int s) { return loop.Channel(c).Pattern(3).StepPitch()[size_t(s)]; }

    TLoop loop;
    TStepValueEdit edit{loop};
};

TEST_F(StepValueEdit, OneStepOfTheEditedChannelAndOfEverySelectedOne) {
    loop.Channel(2).Selected = true;
    loop.Channel(4).Selected = true;
    vol(0, 5) = 100;
    vol(2, 5) = 120;
    vol(4, 5) = 10;
    vol(1, 5) = 50;
    ASSERT_TRUE(edit.Begin(0, RowVolume, 5));
    const auto changed = edit.Change(110, false);  // +10
    EXPECT_EQ(vol(0, 5), 110);
    EXPECT_EQ(vol(2, 5), 127) << "120 + 10 clamps to the row's maximum";
    EXPECT_EQ(vol(4, 5), 20);
    EXPECT_EQ(vol(1, 5), 50) << "not selected, not edited";
    EXPECT_EQ(vol(0, 4), 100) << "other steps untouched without the line cursor";
    EXPECT_TRUE(loop.Modified);
    EXPECT_EQ(changed.size(), 3u);
    edit.End();
    EXPECT_FALSE(edit.Active());
}

TEST_F(StepValueEdit, TheLineCursorMovesAllSixteenStepsOfEverySelectedChannelClampedEachOnItsOwn) {
    for (int c : {1, 3}) loop.Channel(c).Selected = true;
    for (int s = 0; s < 16; ++s) {
        pitch(1, s) = uint8_t(s * 16);  // 0, 16, ..., 240
        pitch(3, s) = 120;
    }
    ASSERT_TRUE(edit.Begin(1, RowPitch, 2));  // the edited step holds 32
    auto changed = edit.Change(32 - 20, true);
    for (int s = 0; s < 16; ++s) {
        EXPECT_EQ(pitch(1, s), std::max(0, s * 16 - 20)) << s;
        EXPECT_EQ(pitch(3, s), 100) << s;
    }
    EXPECT_EQ(changed.size(), 31u) << "step 0 was already at the minimum";
    // Back up by 30 from the edited step's new value 12: the zeros of steps 0
    // and 1 lost their difference and rise to 30; the top reaches 240 and stops.
    changed = edit.Change(12 + 30, true);
    EXPECT_EQ(pitch(1, 0), 30);
    EXPECT_EQ(pitch(1, 1), 30);
    EXPECT_EQ(pitch(1, 15), 240);
    EXPECT_EQ(pitch(3, 7), 130);
}

TEST_F(StepValueEdit, NothingChangedIsNothingModified) {
    vol(0, 0) = 100;
    ASSERT_TRUE(edit.Begin(0, RowVolume, 0));
    EXPECT_TRUE(edit.Change(100, true).empty());
    EXPECT_FALSE(loop.Modified);
    vol(1, 0) = 127;
    loop.Channel(1).Selected = true;
    ASSERT_TRUE(edit.Begin(1, RowVolume, 0));
    EXPECT_TRUE(edit.Change(200, false).empty()) << "already at the maximum";
    EXPECT_FALSE(loop.Modified);
}

TEST_F(StepValueEdit, BadTargetsBeginNothing) {
    struct Case {
        int channel, row, step;
    };
    for (const Case c :
         {Case{5, 0, 0}, Case{-1, 0, 0}, Case{0, RowNote, 0}, Case{0, -1, 0}, Case{0, 0, 16}, Case{0, 0, -1}}) {
        EXPECT_FALSE(edit.Begin(c.channel, c.row, c.step)) << c.channel << " " << c.row << " " << c.step;
        EXPECT_TRUE(edit.Change(50, true).empty());
    }
    EXPECT_FALSE(loop.Modified);
}

TEST_F(StepValueEdit, AChannelDeletedDuringTheTurnEndsTheEdits) {
    loop.Channel(4).Selected = true;
    ASSERT_TRUE(edit.Begin(4, RowPan, 0));
    ASSERT_TRUE(loop.DeleteChannel(4));
    EXPECT_TRUE(edit.Change(0, true).empty());
}

TEST_F(StepValueEdit, TheGraphSetsItsChannelAndCopiesTheStepsIntoTheOtherSelectedOnes) {
    loop.Channel(3).Selected = true;
    vol(0, 6) = 40;
    vol(0, 7) = 90;
    vol(3, 6) = 100;
    vol(3, 7) = 5;
    ASSERT_TRUE(edit.Begin(0, RowVolume, 6));
    edit.ChangeAndCopy(6, 60, false);
    EXPECT_EQ(vol(0, 6), 60);
    EXPECT_EQ(vol(3, 6), 60) << "copied, not moved by the same amount";
    EXPECT_EQ(vol(3, 7), 5);
    edit.ChangeAndCopy(7, 100, true);  // +10 over the whole row of channel 0
    EXPECT_EQ(vol(0, 6), 70);
    EXPECT_EQ(vol(0, 7), 100);
    EXPECT_EQ(vol(3, 7), 100);
    EXPECT_EQ(vol(3, 6), 70);
    EXPECT_EQ(vol(3, 0), vol(0, 0));
    EXPECT_TRUE(loop.Modified);
}

}  // namespace

namespace {

// A whole knob turn, however many values it passed through, is one undo step
// that puts every touched channel back.
TEST(StepValueEditUndo, OneTurnIsOneUndoStep) {
    TLoop loop;
    while (loop.ChannelCount() < 3) loop.AddChannel();
    loop.CurrentPattern = 2;
    loop.Channel(1).Selected = true;
    TUndoHistory history(loop);
    auto pan = [&](int c, int s) { return int(loop.Channel(c).Pattern(2).Value(RowPan, s)); };
    const int before0 = pan(0, 7), before1 = pan(1, 7);
    TStepValueEdit edit(loop);
    ASSERT_TRUE(edit.Begin(0, RowPan, 7));
    for (int v = before0 + 1; v <= before0 + 20; ++v) edit.Change(v, true);
    edit.End();
    ASSERT_EQ(pan(0, 3), std::min(127, before0 + 20));
    EXPECT_EQ(history.UndoSteps(), 1u);
    EXPECT_EQ(history.UndoName(), "pan");
    history.Undo();
    for (int s = 0; s < 16; ++s) {
        EXPECT_EQ(pan(0, s), before0) << s;
        EXPECT_EQ(pan(1, s), before1) << s;
    }
    EXPECT_FALSE(history.CanUndo());
}

}  // namespace
