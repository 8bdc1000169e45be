#include "skin/Strip.h"

#include <gtest/gtest.h>

namespace {

struct KnobFrameCase {
    int frames, value, max, frame;
};
class KnobFrames : public ::testing::TestWithParam<KnobFrameCase> {};

// Knobs (23 frames of 0..127), the small step wheels (16 frames; pitch 0..240)
// and strips or ranges that make no sense.
TEST_P(KnobFrames, PickTheNearestFrameInsideTheStrip) {
    const auto& c = GetParam();
    EXPECT_EQ(tx::KnobFrame(c.value, c.max, c.frames), c.frame);
}

INSTANTIATE_TEST_SUITE_P(
    Strips, KnobFrames,
    ::testing::Values(KnobFrameCase{23, 64, 127, 11}, KnobFrameCase{23, 125, 127, 22}, KnobFrameCase{23, 124, 127, 21},
                      KnobFrameCase{23, 127, 127, 22}, KnobFrameCase{23, 0, 127, 0}, KnobFrameCase{16, 64, 127, 8},
                      KnobFrameCase{16, 127, 127, 15}, KnobFrameCase{16, 135, 240, 8}, KnobFrameCase{16, 120, 240, 8},
                      KnobFrameCase{16, 119, 240, 7},
                      // values kept as read from a file, out of range
                      KnobFrameCase{23, 300, 127, 22}, KnobFrameCase{16, 255, 127, 15}, KnobFrameCase{23, -40, 127, 0},
                      KnobFrameCase{16, 5, 0, 0}, KnobFrameCase{0, 5, 127, 0}, KnobFrameCase{1, 100, 127, 0}));

}  // namespace
