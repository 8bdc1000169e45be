#include <gtest/gtest.h>

#include <array>

#include "desktop/StepRow.h"

TEST(StepRow, FramesAlternateByGroupsOfFour) {
    const int expected[16] = {0, 0, 0, 0, 2, 2, 2, 2, 0, 0, 0, 0, 2, 2, 2, 2};
    for (int s = 0; s < 16; ++s) {
        EXPECT_EQ(tx::StepButtonFrame(s, false), expected[s]) << s;
        EXPECT_EQ(tx::StepButtonFrame(s, true), expected[s] + 1) << s;
    }
}

TEST(StepRow, ADragPaintsByTheFirstStepOrByTheButton) {
    // Row state: steps 0..3 on. A left drag from an off step turns all it crosses on.
    std::array<bool, 16> on{true, true, true, true};
    auto drag = [&](std::initializer_list<int> xs, int held, bool both) {
        tx::TStepPaint p;
        p.Begin();
        for (int x : xs) {
            const int s = tx::StepAt(x);
            if (auto v = p.Move(x, held, both, s >= 0 && on[size_t(s)])) on[size_t(s)] = *v;
        }
        p.End();
    };
    drag({80, 64, 48, 32}, tx::LeftButton, false);  // from step 5 back to step 2
    EXPECT_TRUE(on[2] && on[3] && on[4] && on[5]) << "step 2 and 3 were on and stay on";
    drag({16, 80, 300}, tx::LeftButton, false);  // from an on step: everything crossed goes off
    EXPECT_FALSE(on[1] || on[5]);
    drag({-15, 15}, tx::LeftButton, false);
    EXPECT_FALSE(on[0]) << "x from -15 to 15 is step 0, which was on";

    drag({200, 216}, tx::RightButton, true);
    EXPECT_FALSE(on[12] || on[13]);
    drag({200, 216}, tx::LeftButton, true);
    EXPECT_TRUE(on[12] && on[13]);
    drag({200}, tx::RightButton, false);
    EXPECT_TRUE(on[12]) << "without both buttons the right button does not paint";

    EXPECT_FALSE(tx::TStepPaint::PressPaints(0, false, tx::RightButton));
    EXPECT_TRUE(tx::TStepPaint::PressPaints(0, true, tx::RightButton));
    EXPECT_FALSE(tx::TStepPaint::PressPaints(1, true, tx::LeftButton)) << "wheels shown: the press edits values";
}

TEST(StepRow, KnobRowsAndHints) {
    struct Case {
        int y, buttonTop, row;
        const char* why;
    };
    const Case cases[] = {
        {19 + 5, 19, 0, "upper wheel"},
        {19 + 13, 19, 0, "last pixel of the upper band"},
        {19 + 14, 19, 1, "first pixel of the lower band"},
        {19 + 20, 19, 1, "lower wheel"},
        {19 + 27, 19, 1, "last pixel of the lower band"},
        {19 + 28, 19, -1, "below the wheels"},
        {19 - 1, 19, 0, "one pixel above the wheels counts as the upper one"},
        {19 - 13, 19, 0, "thirteen pixels above: still the upper one"},
        {19 - 14, 19, -1, "fourteen pixels above: nothing"},
        {6, 19, 0, "the leds' band over the knobs"},
        {0, 0, 0, "top of a plain row"},
        {-14, 0, -1, "outside a plain row"},
    };
    for (const Case& c : cases) EXPECT_EQ(tx::StepWheelRowAt(c.y, c.buttonTop), c.row) << c.why;
    EXPECT_EQ(tx::StepValueHint(2, 135), "pitch 1.5");
    EXPECT_EQ(tx::StepValueHint(2, 105), "pitch -1.5");
    EXPECT_EQ(tx::StepValueHint(2, 140), "pitch 2");
    EXPECT_EQ(tx::StepValueHint(2, 115), "pitch -0.5");
    EXPECT_EQ(tx::StepValueHint(1, 100), "vol 100");
    EXPECT_EQ(tx::StepValueHint(3, 7), "mix 7");
}

TEST(StepRow, DotsFadeWithinTenTicks) {
    int32_t step = tx::StepLightFlash, activity = tx::ActivityLightFlash;
    int stepTicks = 0, activityTicks = 0;
    for (int tick = 1; tick <= 10; ++tick) {
        step = tx::Fade(step, tx::StepLightFade);
        activity = tx::Fade(activity, tx::ActivityLightFade);
        if (step > 0) stepTicks = tick;
        if (activity > 0) activityTicks = tick;
    }
    EXPECT_EQ(stepTicks, 8) << "dark from the 9th tick";
    EXPECT_EQ(activityTicks, 4) << "dark from the 5th tick";
    EXPECT_EQ(tx::DotColor(0xFF0000, 0), 0x303035u);
    EXPECT_EQ(tx::DotColor(0xFF0000, 256), 0xFF0000u);
    EXPECT_EQ(tx::DotColor(0xFF0000, 128), 0x97181Au) << "half way from the dark dot: 151, 24, 26";
    EXPECT_EQ(tx::DotColor(0xFFFFFF, 320) >> 16, 255u) << "bytes clamp above full intensity";
}
