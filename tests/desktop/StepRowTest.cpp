#include "desktop/StepRow.h"

#include <gtest/gtest.h>

#include <array>

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
    drag({16, 80, 300}, tx::LeftButton, false);      // from an on step: everything crossed goes off
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
    EXPECT_EQ(tx::StepWheelRowAt(19 + 5, 19), 0);
    EXPECT_EQ(tx::StepWheelRowAt(19 + 20, 19), 1);
    EXPECT_EQ(tx::StepWheelRowAt(19 + 28, 19), -1);
    EXPECT_EQ(tx::StepWheelRowAt(5, 19), -1) << "above the buttons";
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
