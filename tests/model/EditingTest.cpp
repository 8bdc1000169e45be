// The editing commands as document operations: the row clipboard with its
// gaps, shifting, random steps, humanize and the channel commands.
#include <gtest/gtest.h>

#include <set>

#include "model/Editing.h"

using namespace tx;

namespace {

class Editing : public ::testing::Test {
protected:
    void SetUp() override {
        while (loop.ChannelCount() < 5) loop.AddChannel();
        loop.CurrentPattern = 7;
        // A distinct record per channel: step c on, step volume 10 + c.
        for (int c = 0; c < 5; ++c) mark(c, 7, c);
        loop.Modified = false;
    }
    void mark(int c, int p, int tag) {
        PatternRecord& r = loop.Channel(c).Pattern(p);
        r.SetStep(tag, true);
        r.StepVolume()[size_t(tag)] = uint8_t(10 + tag);
    }
    void selectOnly(std::initializer_list<int> channels) {
        for (int c = 0; c < loop.ChannelCount(); ++c) loop.Channel(c).Selected = false;
        for (int c : channels) loop.Channel(c).Selected = true;
    }
    PatternRecord& rec(int c) { return loop.Channel(c).Pattern(loop.CurrentPattern); }

    TLoop loop;
    TRowClipboard clip;
    TEditRandom rng{1234};
};

TEST_F(Editing, CopyKeepsGapsAndPasteLeavesThemUnchanged) {
    const PatternRecord one = rec(1), three = rec(3), zeroBefore = rec(0), twoBefore = rec(2);
    selectOnly({1, 3});
    CopyRows(loop, clip);
    ASSERT_EQ(clip.Slots(), 4);  // channels 1 to 4
    EXPECT_EQ(std::vector<bool>({clip.SlotEmpty(0), clip.SlotEmpty(1), clip.SlotEmpty(2), clip.SlotEmpty(3)}),
              std::vector<bool>({false, true, false, true}));

    loop.CurrentPattern = 9;  // paste goes to the current pattern
    selectOnly({0});
    ASSERT_TRUE(PasteRows(loop, clip));
    EXPECT_EQ(rec(0), one);
    EXPECT_TRUE(rec(1).IsReset());
    EXPECT_EQ(rec(2), three);
    EXPECT_TRUE(rec(3).IsReset());
    EXPECT_EQ(loop.Channel(0).Pattern(7), zeroBefore);  // the copied pattern itself is untouched
    EXPECT_EQ(loop.Channel(2).Pattern(7), twoBefore);
}

TEST_F(Editing, PasteFitsTheSlotsBelowTheFirstSelectedAndNeedsAFilledClipboard) {
    selectOnly({0});
    EXPECT_FALSE(PasteRows(loop, clip));
    EXPECT_FALSE(loop.Modified);
    SelectAll(loop);
    CopyRows(loop, clip);  // 5 slots
    loop.CurrentPattern = 8;
    selectOnly({3});
    ASSERT_TRUE(PasteRows(loop, clip));
    EXPECT_EQ(rec(3), loop.Channel(0).Pattern(7));
    EXPECT_EQ(rec(4), loop.Channel(1).Pattern(7));
    EXPECT_TRUE(rec(2).IsReset());
}

TEST_F(Editing, CutResetsOnlyTheSelectedRows) {
    const PatternRecord two = rec(2);
    selectOnly({2, 4});
    CutRows(loop, clip);
    EXPECT_TRUE(rec(2).IsReset());
    EXPECT_TRUE(rec(4).IsReset());
    EXPECT_FALSE(rec(3).IsReset());
    EXPECT_EQ(clip.Slot(0), two);
    EXPECT_TRUE(loop.Modified);
}

// A loop file may carry a step volume of 255 at step 0; such a row must
// still paste, not be taken for an empty slot.
TEST_F(Editing, ARowWhoseFirstStepVolumeIs255StillPastes) {
    rec(1).StepVolume()[0] = 255;
    const PatternRecord odd = rec(1);
    selectOnly({1});
    CopyRows(loop, clip);
    loop.CurrentPattern = 3;
    ASSERT_TRUE(PasteRows(loop, clip));
    EXPECT_EQ(rec(1), odd);
}

TEST_F(Editing, FirstSelectedFallsBackToFirstShownChannel) {
    selectOnly({});
    loop.SetMinimized(0, true);
    loop.Channel(1).Selected = false;
    EXPECT_EQ(FirstSelectedChannel(loop), 1);
    for (int c = 0; c < loop.ChannelCount(); ++c) loop.SetMinimized(c, true);
    EXPECT_EQ(FirstSelectedChannel(loop), 0);
    SelectAll(loop);  // minimized channels stay unselected
    EXPECT_EQ(loop.SelectedChannel(), -1);
}

struct ShiftCase {
    int Direction;
    int From, To;
};
class EditingShift : public Editing, public ::testing::WithParamInterface<ShiftCase> {};
TEST_P(EditingShift, MovesTheBitAndAllSevenValues) {
    PatternRecord& r = rec(2);
    r.Reset();
    r.SetStep(GetParam().From, true);
    for (int row = 0; row < StepRowCount; ++row) r.Rows[size_t(row)][size_t(GetParam().From)] = uint8_t(row + 1);
    selectOnly({2});
    ShiftRows(loop, GetParam().Direction);
    EXPECT_EQ(r.StepMask, uint16_t(1u << GetParam().To));
    for (int row = 0; row < StepRowCount; ++row)
        EXPECT_EQ(r.Rows[size_t(row)][size_t(GetParam().To)], row + 1) << "row " << row;
    EXPECT_EQ(rec(3).StepMask, uint16_t(1u << 3));  // unselected rows stay
}
INSTANTIATE_TEST_SUITE_P(Cases, EditingShift,
                         ::testing::Values(ShiftCase{+1, 15, 0}, ShiftCase{+1, 4, 5}, ShiftCase{-1, 1, 0},
                                           ShiftCase{-1, 0, 15}));

TEST_F(Editing, RandomChangesOnlyStepBitsOfSelectedRows) {
    selectOnly({1, 4});
    PatternRecord before1 = rec(1), before0 = rec(0);
    int on = 0;
    for (int i = 0; i < 20; ++i) {
        RandomRows(loop, rng);
        on += __builtin_popcount(rec(1).StepMask);
    }
    before1.StepMask = rec(1).StepMask;
    EXPECT_EQ(rec(1), before1);  // values as they were
    EXPECT_EQ(rec(0), before0);
    EXPECT_GT(on, 20 * 16 / 4);  // about half of 320
    EXPECT_LT(on, 20 * 16 * 3 / 4);
}

TEST_F(Editing, HumanizeAtZeroChangesNothing) {
    SelectAll(loop);
    for (int c = 0; c < 5; ++c) rec(c).StepMask = 0xFFFF;
    std::vector<PatternRecord> before;
    for (int c = 0; c < 5; ++c) before.push_back(rec(c));
    HumanizeRows(loop, THumanize{0, true, true, true, true}, rng);
    for (int c = 0; c < 5; ++c) EXPECT_EQ(rec(c), before[size_t(c)]);
}

TEST_F(Editing, HumanizeAtFullStaysInRangeTouchesOnlyCheckedRowsAndStepsOn) {
    selectOnly({0});
    PatternRecord& r = rec(0);
    r.StepMask = 0x00FF;  // steps 8..15 off
    r.StepVolume().fill(100);
    r.StepPitch().fill(240);
    std::set<int> volumes, pans;
    for (int i = 0; i < 200; ++i) {
        HumanizeRows(loop, THumanize{100, true, true, false, false}, rng);
        for (int s = 0; s < 8; ++s) {
            volumes.insert(r.StepVolume()[size_t(s)]);
            pans.insert(r.StepPan()[size_t(s)]);
            ASSERT_LE(r.StepVolume()[size_t(s)], 127);
            ASSERT_LE(r.StepPan()[size_t(s)], 127);
        }
    }
    EXPECT_GT(volumes.size(), 20u);
    EXPECT_GT(pans.size(), 20u);
    for (int s = 8; s < 16; ++s) EXPECT_EQ(r.StepVolume()[size_t(s)], 100);
    for (int s = 0; s < 16; ++s) EXPECT_EQ(r.StepPitch()[size_t(s)], 240);  // pitch unchecked
}

TEST_F(Editing, DeleteStopsAtFourAndZipMinimizesTheSelection) {
    selectOnly({0, 2, 4});
    EXPECT_EQ(DeleteSelectedChannels(loop), 1);  // only the last selected goes
    EXPECT_EQ(loop.ChannelCount(), 4);
    EXPECT_TRUE(loop.Channel(0).Selected && loop.Channel(2).Selected);
    loop.Modified = false;
    ZipSelectedChannels(loop);
    EXPECT_TRUE(loop.Channel(0).Minimized && loop.Channel(2).Minimized);
    EXPECT_FALSE(loop.Channel(1).Minimized || loop.Channel(0).Selected);
    EXPECT_TRUE(loop.Modified);  // saved with the loop
}

}  // namespace
