// The channel settings window's rules: key names, the note grid, the sample
// history, "cut itself", moving between channels and the random list.
#include <gtest/gtest.h>

#include <cmath>

#include "desktop/ChannelSettings.h"
#include "model/Loop.h"

namespace tx {
namespace {

struct KeyCase {
    int Key;
    const char* Name;
    const char* Label;
};

TEST(ChannelSettings, KeyNamesAndNoteLabels) {
    const KeyCase cases[] = {
        {0, "C0", "Note (C0)"},  {1, "C#0", "Note (C#0)"},   {11, "B0", "Note (B0)"}, {60, "C5", "Note (C5)"},
        {69, "A5", "Note (A5)"}, {127, "G10", "Note (G10)"}, {-1, "", "Note (none)"}, {255, "", "Note (none)"},
    };
    for (const KeyCase& c : cases) {
        if (c.Key >= 0 && c.Key <= 127) EXPECT_EQ(KeyName(c.Key), c.Name) << c.Key;
        EXPECT_EQ(NoteLabelText(c.Key), c.Label) << c.Key;
    }
    EXPECT_EQ(MiddleNoteLabelText(60), "Middle Note (C5)");
}

TEST(ChannelSettings, CaptionNamesTheChannel) {
    EXPECT_EQ(ChannelFormCaption(""), "Channel settings");
    EXPECT_EQ(ChannelFormCaption("Kick"), "Channel settings - Kick");
}

TEST(ChannelSettings, NoteGridCellsAndKeys) {
    struct Case {
        int Column, Row, Key;
    } cases[] = {{0, 0, 0}, {4, 7, 60}, {7, 0, 7}, {0, 1, 8}, {7, 15, 127}};
    for (const Case& c : cases) {
        EXPECT_EQ(NoteGridKey(c.Column, c.Row), c.Key);
        EXPECT_EQ(NoteGridCell(c.Key), (TGridCell{c.Column, c.Row}));
    }
    // A channel without a MIDI key shows key 0's cell.
    EXPECT_EQ(NoteGridCell(255), (TGridCell{0, 0}));
    EXPECT_EQ(NoteGridCell(-1), (TGridCell{0, 0}));
}

TEST(ChannelSettings, MinusOneIsStoredAsNone) {
    struct Case {
        int Shown;
        uint8_t Stored;
    } cases[] = {{-1, 255}, {0, 0}, {127, 127}, {128, 255}};
    for (const Case& c : cases) EXPECT_EQ(StoredMidiValue(c.Shown), c.Stored) << c.Shown;
    EXPECT_EQ(ShownMidiValue(255), -1);
    EXPECT_EQ(ShownMidiValue(200), -1);
    EXPECT_EQ(ShownMidiValue(36), 36);
}

TEST(SampleHistory, NewestFirstAndAKnownPathKeepsItsPlace) {
    TSampleHistory h;
    EXPECT_EQ(h.Add("/s/a.wav"), 0);
    EXPECT_EQ(h.Add("/s/b.wav"), 0);
    EXPECT_EQ(h.Add("/s/a.wav"), 1);  // already listed: not moved
    EXPECT_EQ(h.Paths(), (std::vector<std::string>{"/s/b.wav", "/s/a.wav"}));
    EXPECT_EQ(h.DisplayNames(), (std::vector<std::string>{"b.wav", "a.wav"}));
    EXPECT_EQ(h.Add(""), -1);
    EXPECT_EQ(h.Paths().size(), 2u);
}

TEST(SampleHistory, TheOldestGoesPastSix) {
    TSampleHistory h;
    for (int i = 1; i <= 7; ++i) h.Add("/s/" + std::to_string(i) + ".wav");
    // Seven added: the first one added is the one dropped, the second stays.
    EXPECT_EQ(h.Paths(),
              (std::vector<std::string>{"/s/7.wav", "/s/6.wav", "/s/5.wav", "/s/4.wav", "/s/3.wav", "/s/2.wav"}));
    h.Add("/s/8.wav");
    EXPECT_EQ(h.Paths().back(), "/s/3.wav");
    EXPECT_EQ(h.Paths().size(), 6u);
}

TEST(CutItself, SmallestFreeGroupOfTheOthers) {
    TLoop loop;
    struct Case {
        int Cut0, By0, Cut1, By1;
        std::optional<int> Expected;
    } cases[] = {
        {1, 0, 2, 0, 3},  // groups 1 and 2 taken
        {0, 0, 0, 0, 1},  // nothing taken
        {0, 1, 0, 3, 2},  // a cut-by group counts too
        {5, 5, 1, 2, 3},
    };
    for (const Case& c : cases) {
        loop.Channel(0).Sample.CutGroup = c.Cut0;
        loop.Channel(0).Sample.CutByGroup = c.By0;
        loop.Channel(1).Sample.CutGroup = c.Cut1;
        loop.Channel(1).Sample.CutByGroup = c.By1;
        loop.Channel(2).Sample.CutGroup = 1;  // its own groups do not count
        EXPECT_EQ(CutItselfGroup(loop, 2), c.Expected);
    }
}

TEST(CutItself, EveryGroupTakenLeavesNone) {
    TLoop loop;
    while (loop.ChannelCount() < 51) loop.AddChannel();
    // Channels 1..50 take groups 1..99 between them (cut 2i-1, cut by 2i).
    for (int i = 1; i <= 50; ++i) {
        loop.Channel(i).Sample.CutGroup = 2 * i - 1;
        loop.Channel(i).Sample.CutByGroup = std::min(2 * i, 99);
    }
    EXPECT_EQ(CutItselfGroup(loop, 0), std::nullopt);
    loop.Channel(50).Sample.CutGroup = 0;  // channel 50 held only 99, as both groups
    loop.Channel(50).Sample.CutByGroup = 0;
    EXPECT_EQ(CutItselfGroup(loop, 0), 99);
}

TEST(ChannelSettings, PagingWrapsAround) {
    struct Case {
        int Current, Delta, Count, Expected;
    } cases[] = {{3, 1, 4, 0}, {0, -1, 4, 3}, {1, 1, 4, 2}, {2, -1, 5, 1}, {0, 1, 1, 0}};
    for (const Case& c : cases) EXPECT_EQ(WrapChannel(c.Current, c.Delta, c.Count), c.Expected);
}

TEST(ChannelSettings, RandomListStartsWithItsOwnIndex) {
    EXPECT_EQ(RandomWithList(2, {true, false, true, true}), (std::vector<int32_t>{2, 0, 3}));
    EXPECT_EQ(RandomWithList(0, {false, false}), (std::vector<int32_t>{0}));
    EXPECT_EQ(RandomWithList(1, {false, true, false, true, true}), (std::vector<int32_t>{1, 3, 4}));
}

TEST(ChannelSettings, EchoesHeldToOneToNine) {
    struct Case {
        int In, Out;
    } cases[] = {{0, 1}, {-5, 1}, {1, 1}, {5, 5}, {9, 9}, {10, 9}};
    for (const Case& c : cases) EXPECT_EQ(LimitEchoes(c.In), c.Out);
}

TEST(ChannelSettings, PitchedLengths) {
    EXPECT_EQ(PitchedLength(44100, 60, 60), 44100);
    EXPECT_EQ(PitchedLength(44100, 72, 60), 22050);  // an octave up plays in half the time
    EXPECT_EQ(PitchedLength(44100, 48, 60), 88200);
    EXPECT_EQ(PitchedLength(1000, 67, 60), 667);  // a fifth: 1000 / 1.4983 = 667.4
    EXPECT_EQ(PitchedLength(1, 127, 0), 1);       // never zero
}

TEST(ChannelSettings, StretchMenu) {
    const auto& items = StretchItems();
    ASSERT_EQ(items.size(), 7u);
    EXPECT_STREQ(items[0].Caption, "No stretching");
    EXPECT_EQ(items[3].Steps, 16);
    EXPECT_STREQ(items[6].Caption, "8 patterns");
    EXPECT_EQ(items[6].Steps, 128);
}

TEST(ChannelSettings, KnobTablesCoverEveryEffect) {
    // Each effect knob edits its own field, within the field's range.
    TChannel c(0);
    std::vector<int32_t TChannel::*> seen;
    for (const auto* table : {&SampleKnobs(), &DelayKnobs()})
        for (const TKnobEntry& k : *table) {
            EXPECT_EQ(std::count(seen.begin(), seen.end(), k.Field), 0) << k.Name;
            seen.push_back(k.Field);
            EXPECT_LE(k.Min, k.Start);
            EXPECT_LE(k.Start, k.Max);
            EXPECT_EQ(k.Hint[0], '|') << k.Name;
        }
    EXPECT_EQ(SampleKnobs().size(), 10u);
    EXPECT_EQ(DelayKnobs().size(), 7u);
    EXPECT_EQ(SampleKnobs()[8].Max, 4096);  // StDelWheel
}

}  // namespace
}  // namespace tx
