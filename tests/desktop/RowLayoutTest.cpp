#include "desktop/RowLayout.h"

#include <gtest/gtest.h>

using tx::TRowLayoutInput;

namespace {

// The default style's row: knob, mute, name, select to the left of the steps.
TRowLayoutInput rows(std::vector<bool> minimized, bool ledsOverKnobs = false, bool hideLeds = false) {
    TRowLayoutInput in;
    in.ChanBtns = {{{4, 6}, {30, 8}, {48, 7}, {114, 8}, {132, 0}}};
    in.LedsOverKnobs = ledsOverKnobs;
    in.HideLeds = hideLeds;
    in.ZippedHeight = 12;
    in.AreaWidth = 400;
    for (bool m : minimized) in.Channels.push_back({m, 48});
    return in;
}

}  // namespace

TEST(RowLayout, RowsStackWithLedsBelowOrOverTheKnobs) {
    auto below = tx::LayoutChannelRows(rows({false, false}));
    ASSERT_EQ(below.Rows.size(), 2u);
    EXPECT_EQ(below.Rows[0].StepTop, 20);
    EXPECT_EQ(below.Rows[0].StepHeight, 46);
    EXPECT_EQ(below.Rows[0].LedTop, 27);
    EXPECT_EQ(below.Rows[0].ButtonTop, 0);
    EXPECT_EQ(below.Rows[1].StepTop, 20 + 46 + 3);
    EXPECT_EQ(below.Rows[1].Name, (tx::TSkinPoint{48, 7 + 69}));

    auto over = tx::LayoutChannelRows(rows({false, false}, true));
    EXPECT_EQ(over.Rows[0].LedTop, 0);
    EXPECT_EQ(over.Rows[0].ButtonTop, 19);
    // The knob, mute, name and select buttons follow the steps down.
    EXPECT_EQ(over.Rows[0].Volume, (tx::TSkinPoint{4, 6 + 20 + 19}));
    EXPECT_EQ(over.Rows[0].StepTop, 20) << "the step row itself does not move, its buttons do";
}

TEST(RowLayout, HiddenLedsLeaveOnlyTheLedRow) {
    // Leds under the knobs: the last channel that is not minimized keeps them.
    auto under = tx::LayoutChannelRows(rows({false, false, false, true}, false, true));
    EXPECT_EQ(under.LedRow, 2);
    std::vector<int> heights;
    for (auto& r : under.Rows) heights.push_back(r.StepHeight);
    EXPECT_EQ(heights, (std::vector<int>{27, 27, 46, 12}));
    EXPECT_FALSE(under.Rows[0].ShowsLeds);
    EXPECT_TRUE(under.Rows[2].ShowsLeds);

    // Over the knobs: the first one that is not minimized, whose buttons alone shift.
    auto over = tx::LayoutChannelRows(rows({true, false, false}, true, true));
    EXPECT_EQ(over.LedRow, 1);
    EXPECT_EQ(over.Rows[1].ButtonTop, 19);
    EXPECT_EQ(over.Rows[2].ButtonTop, 0);
    EXPECT_EQ(over.Rows[2].StepHeight, 27);
}

TEST(RowLayout, MinimizedChannelsPackSideBySideAndWrap) {
    // Name buttons 48 wide from x 48: after each one xoff grows by 55; a
    // seventh at 378 would end past 400 (with its gap), so it starts a new line.
    auto l = tx::LayoutChannelRows(rows({true, true, true, true, true, true, true, false}));
    std::vector<int> xs, ys;
    for (int i = 0; i < 7; ++i) {
        xs.push_back(l.Rows[size_t(i)].Name.X);
        ys.push_back(l.Rows[size_t(i)].Name.Y);
    }
    EXPECT_EQ(xs, (std::vector<int>{48, 103, 158, 213, 268, 323, 48}));
    EXPECT_EQ(ys, (std::vector<int>{27, 27, 27, 27, 27, 27, 42}));
    // A full channel after a packed line starts on a line of its own.
    EXPECT_EQ(l.Rows[7].StepTop, 20 + 15 + 15);
    EXPECT_FALSE(l.Rows[7].Minimized);
}

TEST(RowLayout, HeightRules) {
    tx::TWindowMetrics m;
    m.ChannelAreaTop = 158;
    m.TopDockBottom = 136;
    m.BottomDockHeight = 17;
    m.ScreenHeight = 768;
    auto l = tx::LayoutChannelRows(rows({false, false, false, false}));
    const int max = tx::MaxHeight(m, l, 300);
    EXPECT_EQ(max, 158 + l.Rows.back().StepBottom() + 14 + 17 + 1);
    EXPECT_EQ(tx::MinHeight(m), 136 + 17 + 1);
    EXPECT_EQ(tx::MaxHeight(m, tx::LayoutChannelRows(rows({})), 300), 300) << "no channels keep the height";

    EXPECT_EQ(tx::FitHeight(900, 154, max, false), max);
    EXPECT_EQ(tx::FitHeight(200, 154, max, false), 200);
    EXPECT_EQ(tx::FitHeight(200, 154, max, true), max);
    EXPECT_EQ(tx::FitHeight(154, 154, max, true), 154) << "a rolled-up window stays rolled up";

    tx::THeightToggle t;
    EXPECT_EQ(t.Toggle(200, 154, max, 768), max);
    EXPECT_EQ(t.Toggle(max, 154, max, 768), 200);
    t.RestoreHeight = 200;
    EXPECT_EQ(t.Toggle(5000, 154, max, 768), max);
    EXPECT_EQ(t.RestoreHeight, 200) << "a height taller than the screen is not remembered";
}

TEST(RowLayout, ClampTopBothWays) {
    // Dragged up: at least 32 pixels stay below the screen's top edge.
    EXPECT_EQ(tx::ClampTop(-290, 300, 768, 22), -268);
    EXPECT_EQ(tx::ClampTop(-267, 300, 768, 22), -267);
    // Dragged down: the caption bar stays on the screen.
    EXPECT_EQ(tx::ClampTop(760, 300, 768, 22), 746);
    EXPECT_EQ(tx::ClampTop(100, 300, 768, 22), 100);
}

TEST(RowLayout, ScrollRangeOnlyWhenRowsOverflow) {
    auto l = tx::LayoutChannelRows(rows({false, false, false, false}));
    EXPECT_EQ(tx::ScrollRange(l, 1000), 0);
    EXPECT_EQ(tx::ScrollRange(l, 100), l.ContentHeight + 14 - 100);
}
