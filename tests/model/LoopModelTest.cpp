// The loop document: a new loop, steps, channel list changes and their
// renumbering, and the channel controls' texts and states.
#include <gtest/gtest.h>

#include <mutex>

#include "model/Loop.h"

using namespace tx;

namespace {

// Counts lock entries so tests can see which operations take the engine lock.
class CountingLock : public TLockable {
public:
    void Lock() override {
        m.lock();
        ++locks;
        ++depth;
    }
    void Unlock() override {
        --depth;
        m.unlock();
    }
    std::recursive_mutex m;
    int locks = 0;
    int depth = 0;
};

std::vector<int32_t> mixWiths(const TLoop& l) {
    std::vector<int32_t> v;
    for (int i = 0; i < l.ChannelCount(); ++i) v.push_back(l.Channel(i).MixWith);
    return v;
}

}  // namespace

// The values a new channel writes to a file are checked byte for byte by the
// writer's tests; these are the ones no file shows.
TEST(NewLoop, FourChannelsWithOnlyTheFirstSelected) {
    TLoop loop;
    ASSERT_EQ(loop.ChannelCount(), 4);
    for (int i = 0; i < 4; ++i) {
        const TChannel& c = loop.Channel(i);
        EXPECT_EQ(c.RandomWith, std::vector<int32_t>{i});
        EXPECT_EQ(c.Selected, i == 0);
        for (int p : {0, 1, 500, 999}) EXPECT_TRUE(c.Pattern(p).IsReset());
    }
    EXPECT_TRUE(loop.PlayList.IsEmpty());
    EXPECT_FALSE(loop.CanDeleteChannel());
}

TEST(NewLoop, KeepsTempoPatternAndSongMode) {
    TLoop loop;
    loop.Tempo = 99;
    loop.CurrentPattern = 17;
    loop.SongMode = true;
    loop.Shuffle = 50;
    loop.MainVolume = 3;
    loop.Title = "x";
    loop.SetPatternAt(5, 3, true);
    loop.AddChannel();
    loop.ResetToNew();
    EXPECT_EQ(loop.Tempo, 99);
    EXPECT_EQ(loop.CurrentPattern, 17);
    EXPECT_TRUE(loop.SongMode);
    EXPECT_EQ(loop.Shuffle, 0);
    EXPECT_EQ(loop.MainVolume, 128);
    EXPECT_EQ(loop.Title, "");
    EXPECT_EQ(loop.ChannelCount(), 4);
    EXPECT_TRUE(loop.PlayList.IsEmpty());
}

TEST(PatternRecord, StepsKeepTheirValuesAndResetUsesTheDefaults) {
    TLoop loop;
    PatternRecord& r = loop.Channel(1).Pattern(7);
    EXPECT_EQ(r.StepVolume()[3], 100);
    EXPECT_EQ(r.StepPitch()[3], 120);
    EXPECT_EQ(r.StepNote()[3], 60);
    r.StepNote()[3] = 72;
    loop.SetStep(1, 7, 3, true);
    EXPECT_EQ(r.StepMask, 1u << 3);
    EXPECT_TRUE(loop.Modified);
    EXPECT_FALSE(loop.PatternIsEmpty(7));
    EXPECT_TRUE(loop.PatternIsEmpty(8));
    loop.SetStep(1, 7, 3, false);
    EXPECT_TRUE(loop.PatternIsEmpty(7));
    loop.SetStep(1, 7, 3, true);
    EXPECT_EQ(r.StepNote()[3], 72);
    loop.ResetPattern(1, 7);
    EXPECT_TRUE(r.IsReset());
    EXPECT_EQ(sizeof(PatternRecord), 114u) << "two bytes of mask and seven rows of 16";
}

TEST(ChannelList, InsertRenumbersMixWithAndRandomWith) {
    TLoop loop;
    loop.SetChannelName(1, "snare");
    loop.Channel(3).RandomWith = {3, 0, 1};
    loop.InsertChannel(1);
    ASSERT_EQ(loop.ChannelCount(), 5);
    EXPECT_EQ(mixWiths(loop), (std::vector<int32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(loop.Channel(1).RandomWith, std::vector<int32_t>{1});
    EXPECT_EQ(loop.Channel(4).RandomWith, (std::vector<int32_t>{4, 0, 2}));
    EXPECT_EQ(loop.Channel(1).Name, "");
    EXPECT_EQ(loop.Channel(2).Name, "snare");  // the channels below moved down
    EXPECT_TRUE(loop.CanDeleteChannel());
}

TEST(ChannelList, DeleteRenumbersAndStopsAtFour) {
    TLoop loop;
    loop.AddChannel();
    loop.Channel(0).RandomWith = {0, 1, 2};
    loop.Channel(1).RandomWith = {1};
    loop.Channel(2).RandomWith = {2, 0};
    loop.Channel(3).MixWith = 1;
    loop.Channel(4).MixWith = 4;
    ASSERT_TRUE(loop.DeleteChannel(1));
    EXPECT_EQ(loop.Channel(0).RandomWith, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(loop.Channel(1).RandomWith, (std::vector<int32_t>{1, 0}));
    EXPECT_EQ(loop.Channel(2).MixWith, 0) << "MixWith 1 >= 1 drops by one";
    EXPECT_EQ(loop.Channel(3).MixWith, 3);
    EXPECT_FALSE(loop.DeleteChannel(0)) << "never fewer than four channels";
    EXPECT_EQ(loop.ChannelCount(), 4);
}

TEST(ChannelList, ListChangesTakeTheEngineLockAndNotify) {
    TLoop loop;
    CountingLock lock;
    loop.SetEngineLock(&lock);
    int layouts = 0, names = 0;
    loop.Events.ChannelsChanged = [&] { ++layouts; };
    loop.Events.ChannelNamesChanged = [&] { ++names; };
    loop.AddChannel();
    EXPECT_GE(lock.locks, 1);
    loop.InsertChannel(0);
    loop.DeleteChannel(2);
    loop.InsertBar(0);
    loop.DeleteBar(0);
    EXPECT_GE(lock.locks, 5);
    EXPECT_EQ(lock.depth, 0);
    EXPECT_GE(layouts, 3);
    EXPECT_GE(names, 3);
    names = 0;
    loop.SetChannelName(0, "a");
    loop.SetChannelName(0, "a");
    EXPECT_EQ(names, 1) << "a name change notifies only when it differs";
}

TEST(ChannelText, NamesHintsAndListEntries) {
    TLoop loop;
    EXPECT_EQ(NameButtonCaption(""), "SET");
    EXPECT_EQ(NameButtonCaption("Kick"), "Kick");
    EXPECT_EQ(SelectButtonHint("Kick"), "|Select Kick");
    EXPECT_EQ(NameButtonHint("Kick"), "|Kick");
    EXPECT_EQ(loop.ChannelListName(2), "Channel 2");
    loop.SetChannelName(2, "Hat");
    EXPECT_EQ(loop.ChannelListName(2), "Hat");
    // Each character 6 pixels wide: a 20-pixel button (minus 7) fits 2 characters.
    auto measure = [](const std::string& s) { return int(s.size()) * 6; };
    EXPECT_EQ(ShortenToWidth("Snare", 20 - 7, measure), "Sn");
    EXPECT_EQ(ShortenToWidth("ab", 13, measure), "ab");
}

TEST(ChannelState, MinimizeAndSelect) {
    TLoop loop;
    loop.SelectChannelAlone(2);
    EXPECT_EQ(loop.SelectedChannel(), 2);
    loop.SetMinimized(2, true);
    EXPECT_FALSE(loop.Channel(2).Selected);
    loop.SelectChannelAlone(2);
    EXPECT_EQ(loop.SelectedChannel(), -1) << "a minimized channel cannot be selected";
    loop.SetMinimized(2, false);
    EXPECT_EQ(loop.SelectedChannel(), 2) << "restoring selects it alone";
    EXPECT_FALSE(loop.Channel(0).Selected);
}

TEST(ChannelOps, OpenByExtensionAndLoadSamples) {
    std::string opened;
    auto open = [&](const std::string& f) { opened = f; };
    EXPECT_TRUE(TLoop::OpenLoopByExtension("/a/b/Beat.TxP", open));
    EXPECT_EQ(opened, "/a/b/Beat.TxP");
    EXPECT_FALSE(TLoop::OpenLoopByExtension("/a/b.txp/kick.wav", open));
    EXPECT_FALSE(TLoop::OpenLoopByExtension("/a/txp", open));

    TLoop loop;
    std::vector<std::pair<int, std::string>> loads;
    loop.LoadSamplesIntoChannels(3, {"a.wav", "b.wav", "c.wav"},
                                 [&](int i, const std::string& n) { loads.emplace_back(i, n); });
    EXPECT_EQ(loop.ChannelCount(), 6);
    EXPECT_EQ(loads, (std::vector<std::pair<int, std::string>>{{3, "a.wav"}, {4, "b.wav"}, {5, "c.wav"}}));
}
