// Files dropped on the channel area: the target channel from the drop point,
// the channels inserted, the files loaded in order, and the channel limit.
#include <gtest/gtest.h>

#include "desktop/ChannelDrop.h"
#include "model/Loop.h"

using tx::TDropRow;

namespace {

// Rows 30 pixels apart with name buttons from x 48 to 112, 20 pixels high:
// row i's button spans y 30i+10 .. 30i+30. `zipped` rows are small buttons
// packed on one line instead (x 100k .. 100k+60, y `zipTop` .. +12).
std::vector<TDropRow> rows(int shown, std::vector<int> zippedLefts = {}, int zipTop = 0) {
    std::vector<TDropRow> out;
    for (int i = 0; i < shown; ++i) out.push_back({48, 30 * i + 10, 112, 30 * i + 30, false});
    for (int left : zippedLefts) out.push_back({left, zipTop, left + 60, zipTop + 12, true});
    return out;
}

std::vector<std::string> wavs(int n) {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.push_back("/s/w" + std::to_string(i) + ".wav");
    return out;
}

}  // namespace

struct DropCase {
    const char* what;
    int x, y;
    int files;
    std::vector<int> zipped;  // left edges of zipped buttons after 4 shown rows, on the line y 130..142
    int target, insertAt, insertCount;
    bool onChannel, click;
};

class ChannelDropPlace : public testing::TestWithParam<DropCase> {};

TEST_P(ChannelDropPlace, TargetAndInsertions) {
    const DropCase& c = GetParam();
    auto plan = tx::PlanChannelDrop(wavs(c.files), c.x, c.y, rows(4, c.zipped, 130), 256);
    EXPECT_FALSE(plan.OpenLoop);
    EXPECT_EQ(plan.Target, c.target);
    EXPECT_EQ(plan.InsertAt, c.insertAt);
    EXPECT_EQ(plan.InsertCount, c.insertCount);
    EXPECT_EQ(plan.OnChannel, c.onChannel);
    EXPECT_EQ(plan.ClickStepRow, c.click);
    EXPECT_EQ(int(plan.Files.size()), c.files);
    EXPECT_TRUE(plan.Refused.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChannelDropPlace,
    testing::Values(
        // Channel 2 is index 1, its name button spans y 40..60.
        DropCase{"three on channel 2's name", 60, 45, 3, {}, 1, 2, 2, true, true},
        DropCase{"one on a step of channel 2", 300, 55, 1, {}, 1, 2, 0, true, true},
        DropCase{"between rows 1 and 2", 60, 35, 2, {}, 1, 1, 2, false, false},
        DropCase{"two below the last row", 60, 200, 2, {}, 4, 4, 2, false, false},
        DropCase{"above the first row", 60, 2, 1, {}, 0, 0, 1, false, false},
        DropCase{"on a zipped channel's button", 210, 135, 2, {100, 200}, 5, 6, 1, true, false},
        DropCase{"left of a zipped button, past the first", 170, 135, 1, {100, 200}, 5, 5, 1, false, false},
        DropCase{"right of every zipped button", 300, 135, 1, {100, 200}, 6, 6, 1, false, false}),
    [](const auto& info) {
        std::string n = info.param.what;
        for (char& ch : n)
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

TEST(ChannelDrop, ALoopFileCountsOnlyWhenFirst) {
    struct Case {
        std::vector<std::string> files;
        bool open;
        size_t loaded;
    } cases[] = {
        {{"/l/Song.TXP", "/s/a.wav"}, true, 1},
        {{"/l/song.txp"}, true, 1},
        {{"/s/a.wav", "/l/song.txp"}, false, 2},  // the loop file goes to sample loading, which refuses it
        {{"/s/txp", "/s/a.wav"}, false, 2},
    };
    for (const auto& c : cases) {
        auto plan = tx::PlanChannelDrop(c.files, 60, 45, rows(4), 256);
        EXPECT_EQ(plan.OpenLoop, c.open) << c.files.front();
        EXPECT_EQ(plan.Files.size(), c.loaded) << c.files.front();
        if (c.open) {
            EXPECT_EQ(plan.Files.front(), c.files.front());
        }
    }
}

TEST(ChannelDrop, ThreeOnChannelTwoGiveSixChannelsLoadedInOrder) {
    tx::TLoop loop;
    ASSERT_EQ(loop.ChannelCount(), 4);
    loop.SetChannelName(2, "third");
    auto plan = tx::PlanChannelDrop(wavs(3), 60, 45, rows(4), 256);
    std::vector<std::pair<int, std::string>> loads;
    tx::ApplyChannelDrop(loop, plan, [&](int ch, const std::string& f) { loads.emplace_back(ch, f); });
    EXPECT_EQ(loop.ChannelCount(), 6);
    ASSERT_EQ(loads.size(), 3u);
    EXPECT_EQ(loads[0], (std::pair<int, std::string>{1, "/s/w0.wav"}));
    EXPECT_EQ(loads[1], (std::pair<int, std::string>{2, "/s/w1.wav"}));
    EXPECT_EQ(loads[2], (std::pair<int, std::string>{3, "/s/w2.wav"}));
    EXPECT_EQ(loop.Channel(4).Name, "third") << "the old channel 3 moved down past the new ones";
}

TEST(ChannelDrop, TwoBelowTheLastRowAppend) {
    tx::TLoop loop;
    auto plan = tx::PlanChannelDrop(wavs(2), 60, 500, rows(4), 256);
    std::vector<int> loaded;
    tx::ApplyChannelDrop(loop, plan, [&](int ch, const std::string&) { loaded.push_back(ch); });
    EXPECT_EQ(loop.ChannelCount(), 6);
    EXPECT_EQ(loaded, (std::vector<int>{4, 5}));
}

TEST(ChannelDrop, NeverMoreChannelsThanALoopMayHold) {
    struct Case {
        int channels, files, y;  // y 45: on channel 2; y 10000: below the last row
        int loaded, refused, finalCount;
    } cases[] = {
        {4, 300, 10000, 12, 288, 16}, {4, 300, 45, 13, 287, 16}, {16, 5, 10000, 0, 5, 16},  // full: nothing is appended
        {16, 5, 45, 1, 4, 16},  // full: the channel dropped on still takes one
        {10, 6, 10000, 6, 0, 16},
    };
    for (const auto& c : cases) {
        tx::TLoop loop;
        while (loop.ChannelCount() < c.channels) loop.AddChannel();
        auto plan = tx::PlanChannelDrop(wavs(c.files), 60, c.y, rows(c.channels), 16);
        EXPECT_EQ(int(plan.Files.size()), c.loaded) << c.channels << " " << c.y;
        EXPECT_EQ(int(plan.Refused.size()), c.refused) << c.channels << " " << c.y;
        int loads = 0;
        tx::ApplyChannelDrop(loop, plan, [&](int, const std::string&) { ++loads; });
        EXPECT_EQ(loads, c.loaded);
        EXPECT_EQ(loop.ChannelCount(), c.finalCount) << c.channels << " " << c.y;
        EXPECT_EQ(tx::RefusedDropText(plan, 16).empty(), c.refused == 0);
    }
}

TEST(ChannelDrop, RefusedTextNamesTheFirstFilesAndCountsTheRest) {
    auto plan = tx::PlanChannelDrop(wavs(30), 60, 10000, rows(4), 6);
    std::string text = tx::RefusedDropText(plan, 6);
    EXPECT_NE(text.find("at most 6 channels"), std::string::npos) << text;
    EXPECT_NE(text.find("28 dropped files were not loaded"), std::string::npos) << text;
    EXPECT_NE(text.find("\nw2.wav"), std::string::npos) << text;
    EXPECT_EQ(text.find("w12.wav"), std::string::npos) << "only ten are named";
    EXPECT_NE(text.find("and 18 more."), std::string::npos) << text;
}
