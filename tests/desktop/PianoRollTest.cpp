#include <gtest/gtest.h>

#include "desktop/PianoRoll.h"
#include "loopfile/LoopFile.h"
#include "model/Loop.h"
#include "model/Undo.h"

namespace {

// y of a point `h` pixels above the bottom of the box.
int Y(int h) { return tx::PianoBoxHeight - h; }

TEST(PianoRoll, KeyUnderAPoint) {
    struct Case {
        int x, h, key;
        const char* why;
    };
    const int c5 = 5 * 56;  // bottom of octave 5
    const Case cases[] = {
        {12, c5 + 2, 60, "C5, right part of the column"},
        {2, c5 + 2, 60, "C5, left part, below the black key"},
        {2, c5 + 6, 61, "left part, on C#"},
        {12, c5 + 6, 60, "the same height in the right part is the white key"},
        {2, c5 + 11, 62, "D between its two black keys"},
        {2, c5 + 13, 63, "D#"},
        {2, c5 + 22, 64, "E: no black key above it"},
        {2, c5 + 26, 65, "F"},
        {2, c5 + 30, 66, "F#"},
        {2, c5 + 50, 70, "A#"},
        {2, c5 + 53, 71, "B at the top of the octave"},
        {12, 2, 0, "the lowest C"},
        {12, 10 * 56 + 54, 127, "octave 10's B (131) held to 127"},
        {12, -20, 0, "below the box"},
        {-3, c5 + 6, 61, "left of the box: still the black key's part"},
    };
    for (const Case& c : cases) EXPECT_EQ(tx::PianoKeyAt(c.x, Y(c.h)), c.key) << c.why;
}

TEST(PianoRoll, StepsDivideDownwards) {
    const int cases[][2] = {{0, 0}, {15, 0}, {16, 1}, {255, 15}, {256, 16}, {-1, -1}, {-16, -1}, {-17, -2}};
    for (const auto& c : cases) EXPECT_EQ(tx::PianoStepAt(c[0]), c[1]) << c[0];
}

TEST(PianoRoll, BarsAndValues) {
    EXPECT_EQ(tx::DrawValueAt(0, 127), 127);
    EXPECT_EQ(tx::DrawValueAt(151, 127), 0);
    EXPECT_EQ(tx::DrawValueAt(-40, 240), 240) << "held to the maximum above the box";
    EXPECT_EQ(tx::DrawValueAt(300, 240), 0);
    EXPECT_EQ(tx::DrawValueAt(75, 240), 120);
    EXPECT_EQ(tx::DrawBarTop(127, 127), -1);
    EXPECT_EQ(tx::DrawBarTop(0, 127), 151);
    EXPECT_EQ(tx::DrawBarTop(120, 240), 75) << "the middle of a centred row";
}

TEST(PianoRoll, StraightLines) {
    using P = tx::TDrawPoint;
    // From step 2 near the top to step 10 near the bottom: steps 3 to 10 fall.
    auto line = tx::DrawLine(2, 1, 10, 150, 127);
    ASSERT_EQ(line.size(), 8u);
    for (size_t i = 0; i < line.size(); ++i) {
        EXPECT_EQ(line[i].Step, int(i) + 3);
        if (i > 0) EXPECT_LT(line[i].Value, line[i - 1].Value) << "falling";
    }
    EXPECT_EQ(line.back(), (P{10, 0}));
    EXPECT_EQ(line.front(), (P{3, 127 * (151 - (1 + 149 / 8)) / 151}));

    EXPECT_EQ(tx::DrawLine(5, 10, 5, 100, 127).size(), 0u) << "the anchor keeps its value";
    line = tx::DrawLine(6, 151, 3, 0, 127);
    ASSERT_EQ(line.size(), 3u);
    EXPECT_EQ(line[0], (P{5, 42}));
    EXPECT_EQ(line[2], (P{3, 127}));

    // Dragged far outside the box: never a step outside 0..15 nor a value outside the row.
    for (const auto& [step, y] : {std::pair{40, -500}, std::pair{-30, 900}, std::pair{16, -1}}) {
        for (const P& p : tx::DrawLine(8, 70, step, y, 240)) {
            EXPECT_GE(p.Step, 0);
            EXPECT_LE(p.Step, 15);
            EXPECT_GE(p.Value, 0);
            EXPECT_LE(p.Value, 240);
        }
    }
    EXPECT_EQ(tx::DrawLine(8, 70, 40, -500, 240).back().Step, 15);
    EXPECT_EQ(tx::DrawLine(8, 70, -30, 900, 240).back().Step, 0);
}

TEST(PianoRoll, TransposeHoldsTheKeysTo0Through123) {
    const int cases[][4] = {{122, 60, 62, 123}, {50, 60, 62, 52}, {1, 60, 57, 0}, {123, 62, 60, 121}};
    for (const auto& c : cases) EXPECT_EQ(tx::TransposedKey(c[0], c[1], c[2]), c[3]) << c[0];
}

TEST(PianoRoll, KeyNames) {
    const std::pair<int, const char*> cases[] = {{60, "C5"}, {0, "C0"},    {61, "C#5"},
                                                 {71, "B5"}, {127, "G10"}, {-1, ""}};
    for (const auto& [key, name] : cases) EXPECT_EQ(tx::PianoKeyName(key), name) << key;
}

TEST(PianoRoll, OpensUnderTheRowOrAboveItAtTheBottom) {
    struct Case {
        int rowBottom, height, screenBottom, top;
    };
    const Case cases[] = {
        {300, 152, 768, 300},  // room below
        {616, 152, 768, 616},  // exactly reaches the bottom edge
        {617, 152, 768, 438},  // one pixel too far: 617 - 152 - 27
        {760, 152, 768, 581},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tx::PianoFormTop(c.rowBottom, c.height, c.screenBottom), c.top) << c.rowBottom;
}

// The piano roll's mouse on a loop: four channels with one-frame samples.
class PianoEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int ch = 0; ch < loop.ChannelCount(); ++ch) {
            loop.Channel(ch).Sample.Data.resize(2 * 100);
            loop.Channel(ch).Sample.Length = loop.Channel(ch).Sample.PlayLength = 100;
        }
        loop.CurrentPattern = 3;
        edit.PlayKey = [this](int ch, int step, int key) { played.push_back({ch, step, key}); };
    }
    tx::PatternRecord& Rec(int ch) { return loop.Channel(ch).Pattern(3); }
    // x in the right part of column `step`; y at the bottom of key `key`'s white key or on its black key.
    static int X(int step) { return step * 16 + 12; }
    static int KeyY(int key) {
        // Offsets from the octave's bottom: white keys in their lower part, black keys left of x 9.
        static const int off[] = {2, 6, 11, 13, 22, 26, 30, 35, 38, 43, 46, 52};
        return tx::PianoBoxHeight - ((key / 12) * 56 + off[key % 12]);
    }
    static int Xb(int step) { return step * 16 + 3; }  // the left part, where black keys lie

    tx::TLoop loop;
    tx::TPianoEdit edit{loop};
    struct Play {
        int ch, step, key;
        bool operator==(const Play&) const = default;
    };
    std::vector<Play> played;
};

TEST_F(PianoEditTest, KeyOffsetsOfTheTestPointsAreTheirKeys) {
    for (int key = 0; key < 128; ++key) EXPECT_EQ(tx::PianoKeyAt(Xb(4), KeyY(key)), key);
}

TEST_F(PianoEditTest, LeftDragAcrossAllColumnsAtKey60) {
    tx::TUndoHistory undo(loop);
    const std::vector<uint8_t> before = tx::BuildLoopFile(loop);
    edit.Press();
    for (int s = 0; s < 16; ++s) {
        EXPECT_EQ(edit.Move(0, X(s), KeyY(60), true, false, false), 60);
        EXPECT_EQ(edit.Move(0, X(s) + 2, KeyY(60) + 1, true, false, false), 60) << "the same key and step again";
    }
    edit.Release();
    EXPECT_EQ(Rec(0).StepMask, 0xFFFF);
    for (int s = 0; s < 16; ++s) EXPECT_EQ(Rec(0).Value(tx::RowNote, s), 60) << s;
    ASSERT_EQ(played.size(), 16u) << "each step's sample once";
    for (int s = 0; s < 16; ++s) EXPECT_EQ(played[size_t(s)], (Play{0, s, 60}));
    for (int ch = 1; ch < 4; ++ch) EXPECT_EQ(Rec(ch).StepMask, 0) << "unselected channels stay";

    EXPECT_EQ(undo.UndoSteps(), 1u) << "one drag is one undo step";
    undo.Undo();
    EXPECT_EQ(tx::BuildLoopFile(loop), before) << "the undone loop, byte for byte";
    undo.Redo();
    EXPECT_EQ(Rec(0).StepMask, 0xFFFF);
}

TEST_F(PianoEditTest, RightClickSwitchesOffAndSetsTheMiddleNote) {
    loop.Channel(1).MiddleNote = 48;
    Rec(1).SetStep(5, true);
    Rec(1).SetValue(tx::RowNote, 5, 70);
    edit.Press();
    edit.Move(1, X(5), KeyY(80), false, true, false);
    edit.Release();
    EXPECT_FALSE(Rec(1).GetStep(5));
    EXPECT_EQ(Rec(1).Value(tx::RowNote, 5), 48);
    EXPECT_TRUE(played.empty()) << "erasing plays nothing";
}

TEST_F(PianoEditTest, TransposeMovesTheOtherStepsHeldTo0Through123) {
    struct Case {
        int from, to;
        int others[3];    // keys of steps 0, 2, 3 before
        int expected[3];  // after
    };
    const Case cases[] = {
        {60, 62, {122, 50, 123}, {123, 52, 123}},  // 122 becomes 123, not 124
        {60, 57, {1, 2, 3}, {0, 0, 0}},            // held at the bottom
        {60, 72, {100, 115, 0}, {112, 123, 12}},
    };
    for (const Case& c : cases) {
        Rec(0).Reset();
        Rec(0).SetStep(2, true);
        Rec(0).SetValue(tx::RowNote, 1, uint8_t(c.from));
        for (int i = 0; i < 3; ++i) Rec(0).SetValue(tx::RowNote, i == 0 ? 0 : i + 1, uint8_t(c.others[i]));
        edit.Press();
        edit.Move(0, X(1), KeyY(c.from), true, false, true);
        edit.Move(0, X(1), KeyY(c.to), true, false, true);
        edit.Release();
        EXPECT_EQ(Rec(0).Value(tx::RowNote, 1), c.to);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(Rec(0).Value(tx::RowNote, i == 0 ? 0 : i + 1), c.expected[i]) << c.to;
        EXPECT_EQ(Rec(0).StepMask, 1u << 2) << "transposing switches no step";
    }
    EXPECT_TRUE(played.empty());
}

TEST_F(PianoEditTest, TwoSelectedChannelsAreEditedTogether) {
    loop.Channel(2).Selected = true;
    loop.Channel(3).Selected = true;
    loop.Channel(3).Sample.ClearSampleData();  // no sample: edited, not played
    edit.Press();
    edit.Move(0, Xb(7), KeyY(61), true, false, false);
    edit.Release();
    for (int ch : {0, 2, 3}) {
        EXPECT_TRUE(Rec(ch).GetStep(7)) << ch;
        EXPECT_EQ(Rec(ch).Value(tx::RowNote, 7), 61) << ch;
    }
    EXPECT_FALSE(Rec(1).GetStep(7));
    EXPECT_EQ(Rec(1).Value(tx::RowNote, 7), 60);
    EXPECT_EQ(played, (std::vector<Play>{{2, 7, 61}, {0, 7, 61}})) << "last channel first";
}

TEST_F(PianoEditTest, NothingPlaysDuringARenderAndNothingOutsideTheColumns) {
    bool rendering = true;
    edit.RenderRunning = [&] { return rendering; };
    edit.Press();
    edit.Move(0, X(3), KeyY(64), true, false, false);
    EXPECT_TRUE(Rec(0).GetStep(3)) << "the step is still set";
    EXPECT_TRUE(played.empty());
    const std::vector<uint8_t> before = tx::BuildLoopFile(loop);
    for (int x : {-1, -40, 256, 900}) edit.Move(0, x, KeyY(64), true, false, false);
    EXPECT_EQ(tx::BuildLoopFile(loop), before) << "a point beside the columns changes nothing";
    edit.Release();
    edit.Move(0, X(4), KeyY(64), true, false, false);
    EXPECT_FALSE(Rec(0).GetStep(4)) << "a move without a press";
}

}  // namespace
