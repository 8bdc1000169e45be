// A changed loop is a modified loop: every editing command that changes the
// selected rows marks it, and Copy, which changes nothing, does not.
#include <gtest/gtest.h>

#include <functional>

#include "model/Editing.h"

using namespace tx;

namespace {

struct Command {
    const char* Name;
    std::function<void(TLoop&, TRowClipboard&, TEditRandom&)> Run;
    bool Marks;
};

class EditingMarksModified : public ::testing::TestWithParam<Command> {};

TEST_P(EditingMarksModified, ExactlyWhenTheLoopChanged) {
    TLoop loop;
    TRowClipboard clip;
    TEditRandom rng(3);
    loop.SelectChannelAlone(1);
    loop.SetStep(1, loop.CurrentPattern, 2, true);
    loop.Modified = false;
    GetParam().Run(loop, clip, rng);
    EXPECT_EQ(loop.Modified, GetParam().Marks);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, EditingMarksModified,
    ::testing::Values(Command{"Cut", [](TLoop& l, TRowClipboard& c, TEditRandom&) { CutRows(l, c); }, true},
                      Command{"Copy", [](TLoop& l, TRowClipboard& c, TEditRandom&) { CopyRows(l, c); }, false},
                      Command{"ShiftLeft", [](TLoop& l, TRowClipboard&, TEditRandom&) { ShiftRows(l, -1); }, true},
                      Command{"ShiftRight", [](TLoop& l, TRowClipboard&, TEditRandom&) { ShiftRows(l, 1); }, true},
                      Command{"Humanize",
                              [](TLoop& l, TRowClipboard&, TEditRandom& r) { HumanizeRows(l, THumanize{}, r); }, true},
                      Command{"Random", [](TLoop& l, TRowClipboard&, TEditRandom& r) { RandomRows(l, r); }, true}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
