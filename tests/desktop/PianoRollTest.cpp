#include <gtest/gtest.h>

#include "desktop/PianoRoll.h"

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

}  // namespace
