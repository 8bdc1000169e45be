// Undo and redo of every kind of change, judged by the loop file the writer
// makes: undoing must give back the very bytes of before, redoing those of after.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "loopfile/LoopFile.h"
#include "model/Editing.h"
#include "model/Undo.h"

using namespace tx;

namespace {

// Counts holds of the lock and notes whether it is held.
struct CountingLock : TLockable {
    int holds = 0, depth = 0;
    void Lock() override {
        if (depth++ == 0) ++holds;
    }
    void Unlock() override { --depth; }
};

class Undo : public ::testing::Test {
protected:
    void SetUp() override {
        loop.SetEngineLock(&lock);
        while (loop.ChannelCount() < 6) loop.AddChannel();
        loop.CurrentPattern = 3;
        for (int c = 0; c < 6; ++c) {
            loop.Channel(c).Name = "ch" + std::to_string(c);
            PatternRecord& r = loop.Channel(c).Pattern(3);
            r.SetStep(c, true);
            r.SetStep(15 - c, true);
            r.SetValue(RowVolume, c, uint8_t(20 + c));
            loop.Channel(c).Pattern(7).SetStep(c + 2, true);
        }
        // Links a delete renumbers or drops.
        loop.Channel(3).MixWith = 1;
        loop.Channel(4).RandomWith = {4, 2, 5};
        loop.Channel(5).MixWith = 2;
        loop.PlayList.SetPatternAt(3, 0, true);
        loop.PlayList.SetPatternAt(7, 1, true);
        loop.Title = "demo";
        loop.Channel(2).Sample.Data = std::vector<int16_t>{1, 2, 3, 4};
        loop.Channel(2).Sample.Length = 2;
        loop.Channel(2).SampleFileName = "kick.wav";
        history.Clear();
    }
    void selectOnly(std::initializer_list<int> channels) {
        for (int c = 0; c < loop.ChannelCount(); ++c) loop.Channel(c).Selected = false;
        for (int c : channels) loop.Channel(c).Selected = true;
    }

    CountingLock lock;
    TLoop loop;
    TUndoHistory history{loop};
    TRowClipboard clip;
    TEditRandom rng{99};
};

struct Change {
    const char* what;
    std::function<void(TLoop&, TRowClipboard&, TEditRandom&)> make;
};

const std::vector<Change>& changes() {
    static const std::vector<Change> list = {
        {"step switched on", [](TLoop& l, auto&, auto&) { l.SetStep(1, 3, 9, true); }},
        {"step switched off", [](TLoop& l, auto&, auto&) { l.SetStep(1, 3, 1, false); }},
        {"step value", [](TLoop& l, auto&, auto&) { l.SetStepValue(2, 7, RowPitch, 4, 200); }},
        {"pattern reset", [](TLoop& l, auto&, auto&) { l.ResetPattern(4, 3); }},
        {"drag across steps",
         [](TLoop& l, auto&, auto&) {
             TLoopGesture g(l, "draw");
             for (int s = 0; s < 16; ++s) l.SetStep(0, 3, s, true);
             for (int s = 0; s < 16; ++s) l.SetStepValue(5, 3, RowPan, s, uint8_t(s * 8));
         }},
        {"cut", [](TLoop& l, TRowClipboard& c, auto&) { CutRows(l, c); }},
        {"paste",
         [](TLoop& l, TRowClipboard& c, auto&) {
             CopyRows(l, c);
             TLoopGesture g(l, "to pattern 7");
             l.TouchValues();
             l.CurrentPattern = 7;
             PasteRows(l, c);
         }},
        {"shift left", [](TLoop& l, auto&, auto&) { ShiftRows(l, -1); }},
        {"shift right", [](TLoop& l, auto&, auto&) { ShiftRows(l, 1); }},
        {"random", [](TLoop& l, auto&, TEditRandom& r) { RandomRows(l, r); }},
        {"humanize",
         [](TLoop& l, auto&, TEditRandom& r) {
             THumanize h;
             h.Percent = 60;
             h.Pitch = h.Mix = true;
             HumanizeRows(l, h, r);
         }},
        {"channel added", [](TLoop& l, auto&, auto&) { l.AddChannel(); }},
        {"channel inserted", [](TLoop& l, auto&, auto&) { l.InsertChannel(1); }},
        {"channel deleted", [](TLoop& l, auto&, auto&) { l.DeleteChannel(2); }},
        {"selected channels deleted", [](TLoop& l, auto&, auto&) { DeleteSelectedChannels(l); }},
        {"channels zipped", [](TLoop& l, auto&, auto&) { ZipSelectedChannels(l); }},
        {"channel renamed", [](TLoop& l, auto&, auto&) { l.SetChannelName(3, "snare"); }},
        {"channel settings",
         [](TLoop& l, auto&, auto&) {
             l.TouchChannel(4);
             TChannel& c = l.Channel(4);
             c.Volume = 12;
             c.Pan = 3;
             c.MidiNote = 38;
             c.ControllerTable[7] = 100;
             c.DelayFeed = 200;
             c.DelayEchoes = 9;
             c.CutOff = 700;
             c.Stretch = 16;
             c.MiddleNote = 48;
             c.Enabled = false;
             c.ReverseSample = true;
             c.Sample.CutGroup = 5;
             c.Color = TColor{1, 2, 3};
         }},
        {"sample assigned",
         [](TLoop& l, auto&, auto&) {
             l.TouchChannel(2);
             l.Channel(2).Sample.Data = std::vector<int16_t>{9, 9, 9, 9, 9, 9};
             l.Channel(2).Sample.Length = 3;
             l.Channel(2).SampleFileName = "snare.wav";
         }},
        {"tempo",
         [](TLoop& l, auto&, auto&) {
             l.TouchValues();
             l.Tempo = 93;
         }},
        {"pattern chosen",
         [](TLoop& l, auto&, auto&) {
             l.TouchValues();
             l.CurrentPattern = 12;
         }},
        {"main values",
         [](TLoop& l, auto&, auto&) {
             l.TouchValues();
             l.MainVolume = 50;
             l.Shuffle = 30;
             l.MainPitch = -300;
             l.MainCutOff = 400;
             l.Title = "a much longer title than before";
         }},
        {"playlist cell", [](TLoop& l, auto&, auto&) { l.SetPatternAt(9, 4, true); }},
        {"bar inserted", [](TLoop& l, auto&, auto&) { l.InsertBar(0); }},
        {"playlist cleared", [](TLoop& l, auto&, auto&) { l.ClearPlaylist(); }},
        {"steps then a channel deleted, one gesture",
         [](TLoop& l, auto&, auto&) {
             TLoopGesture g(l, "mixed");
             l.SetStep(5, 3, 10, true);
             l.DeleteChannel(2);
             l.SetStep(4, 3, 11, true);  // the former channel 5
             l.InsertChannel(0);
             l.SetChannelName(0, "new");
         }},
    };
    return list;
}

TEST_F(Undo, EveryKindOfChangeUndoesAndRedoesByteForByte) {
    for (const Change& ch : changes()) {
        SCOPED_TRACE(ch.what);
        TearDown();
        loop.ResetToNew();
        SetUp();
        selectOnly({2, 4});
        const auto before = BuildLoopFile(loop);
        ch.make(loop, clip, rng);
        const auto after = BuildLoopFile(loop);
        ASSERT_NE(before, after) << "the change changed nothing";
        ASSERT_TRUE(history.CanUndo());
        EXPECT_EQ(history.UndoSteps(), 1u) << "one change, one step";

        loop.Modified = false;
        EXPECT_FALSE(history.Undo().empty());
        EXPECT_EQ(BuildLoopFile(loop), before);
        EXPECT_TRUE(loop.Modified);
        EXPECT_FALSE(history.CanUndo());
        ASSERT_TRUE(history.CanRedo());

        EXPECT_FALSE(history.Redo().empty());
        EXPECT_EQ(BuildLoopFile(loop), after);
        history.Undo();
        EXPECT_EQ(BuildLoopFile(loop), before);
        history.Redo();
        EXPECT_EQ(BuildLoopFile(loop), after);
    }
}

TEST_F(Undo, StepsAreGesturesAndUnchangedStepsAreDropped) {
    loop.SetStep(0, 3, 8, true);
    loop.SetStep(0, 3, 9, true);
    EXPECT_EQ(history.UndoSteps(), 2u);  // two clicks
    {
        TLoopGesture outer(loop, "knob");
        TLoopGesture inner(loop, "inner");  // nested: still the outer step
        for (int v = 0; v < 100; ++v) loop.SetStepValue(1, 3, RowVolume, 2, uint8_t(v));
    }
    EXPECT_EQ(history.UndoSteps(), 3u);
    EXPECT_EQ(history.UndoName(), "knob");
    {
        TLoopGesture g(loop, "there and back");
        loop.SetStep(2, 3, 12, true);
        loop.SetStep(2, 3, 12, false);
    }
    EXPECT_EQ(history.UndoSteps(), 3u);
    EXPECT_EQ(history.UndoName(), "knob");
}

TEST_F(Undo, AKnobTurnedWithoutAGestureIsOneStepUntilItRests) {
    auto t = std::chrono::steady_clock::time_point{};
    history.Now = [&] { return t; };
    auto turn = [&](int ch, int v) {
        loop.TouchChannel(ch);
        loop.Channel(ch).DelayFeed = v;
        t += std::chrono::milliseconds(30);
    };
    const auto before = BuildLoopFile(loop);
    for (int v = 0; v < 50; ++v) turn(1, v);
    EXPECT_EQ(history.UndoSteps(), 1u);
    t += std::chrono::seconds(2);  // the knob rested
    for (int v = 0; v < 5; ++v) turn(1, 100 + v);
    turn(2, 7);  // another channel: a step of its own
    EXPECT_EQ(history.UndoSteps(), 3u);
    for (int v = 0; v < 5; ++v) {  // clicks on one pattern never join
        loop.SetStep(0, 3, v + 6, true);
        t += std::chrono::milliseconds(10);
    }
    EXPECT_EQ(history.UndoSteps(), 8u);
    while (history.CanUndo()) history.Undo();
    EXPECT_EQ(BuildLoopFile(loop), before);
}

TEST_F(Undo, NamesTheStepAndANewChangeDropsTheRedoSteps) {
    selectOnly({1});
    CutRows(loop, clip);
    EXPECT_EQ(history.UndoName(), "Cut");
    EXPECT_EQ(history.Undo(), "Cut");
    EXPECT_EQ(history.RedoName(), "Cut");
    loop.SetStep(0, 3, 4, true);
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(history.Redo(), "");
    history.Undo();
    EXPECT_EQ(history.Undo(), "");  // nothing left
}

TEST_F(Undo, KeepsTheLastStepsOnly) {
    TLoop l;
    TUndoHistory h(l, 200);
    const auto start = BuildLoopFile(l);
    for (int i = 0; i < 250; ++i) l.SetStep(i % 4, 1 + i / 16, i % 16, true);
    EXPECT_EQ(h.UndoSteps(), 200u);
    while (h.CanUndo()) h.Undo();
    // The first 50 clicks are no longer undoable: channel 0..3 of pattern 1..4 keep them.
    EXPECT_NE(BuildLoopFile(l), start);
    for (int i = 0; i < 50; ++i) EXPECT_TRUE(l.GetStep(i % 4, 1 + i / 16, i % 16)) << i;
    for (int i = 50; i < 250; ++i) EXPECT_FALSE(l.GetStep(i % 4, 1 + i / 16, i % 16)) << i;
}

TEST_F(Undo, ByteBudgetDropsOldestButKeepsTheNewestStep) {
    TLoop l;
    TUndoHistory h(l, 200, 300 * 1024);
    for (int i = 0; i < 5; ++i) l.AddChannel();  // each deleted channel would hold its 114 kB of records
    for (int i = 0; i < 5; ++i) l.DeleteChannel(4);
    EXPECT_LE(h.Bytes(), 300u * 1024);
    EXPECT_GE(h.UndoSteps(), 1u);
    EXPECT_LT(h.UndoSteps(), 10u);
}

TEST_F(Undo, LoadingOrNewStartsANewHistory) {
    loop.SetStep(0, 3, 4, true);
    ASSERT_TRUE(history.CanUndo());
    loop.ResetToNew();
    EXPECT_FALSE(history.CanUndo());

    loop.SetStep(0, 3, 4, true);
    loop.AddChannel();
    loop.Channel(1).SampleFileName = "hat.wav";
    const auto bytes = BuildLoopFile(loop);
    TLoopReadOptions read;  // samples named by the file are part of reading it
    read.OnSampleFileName = [&](int ch, const std::string&) { loop.SetChannelName(ch, "hat"); };
    ASSERT_TRUE(ReadLoopFromMemory(bytes.data(), bytes.size(), loop, read).Ok());
    ASSERT_EQ(loop.Channel(1).Name, "hat");
    EXPECT_FALSE(history.CanUndo()) << "reading is not a run of edits";
    EXPECT_FALSE(history.CanRedo());
    loop.SetStep(0, 3, 5, true);  // the history still hears the loop afterwards
    EXPECT_EQ(history.UndoSteps(), 1u);

    TLoop other;
    other.SetStep(1, 1, 1, true);
    loop.AdoptDocument(other);
    EXPECT_FALSE(history.CanUndo());
}

TEST_F(Undo, OneHoldOfTheLockPerStepAndEventsOutsideIt) {
    selectOnly({0, 1, 2, 3, 4, 5});
    ShiftRows(loop, 1);
    loop.DeleteChannel(1);
    int stepEvents = 0, relayouts = 0;
    bool eventUnderLock = false;
    loop.Events.StepChanged = [&](int, int, int) {
        ++stepEvents;
        eventUnderLock |= lock.depth > 0;
    };
    loop.Events.ChannelsChanged = [&] {
        ++relayouts;
        eventUnderLock |= lock.depth > 0;
    };
    lock.holds = 0;
    history.Undo();  // the delete
    EXPECT_EQ(lock.holds, 1);
    EXPECT_EQ(relayouts, 1);
    lock.holds = 0;
    history.Undo();  // six records shifted
    EXPECT_EQ(lock.holds, 1);
    EXPECT_EQ(stepEvents, 6 * 16);
    EXPECT_FALSE(eventUnderLock);
}

TEST_F(Undo, UndoingASampleDropsItsVoicesFirst) {
    int freed = 0;
    loop.SampleFreeing = [&](const TWAVSample& s) {
        EXPECT_GT(lock.depth, 0);
        EXPECT_EQ(&s, &loop.Channel(2).Sample);
        ++freed;
    };
    loop.TouchChannel(2);
    loop.Channel(2).Sample.Data = std::vector<int16_t>{7, 7};
    loop.Channel(2).Sample.Length = 1;
    history.Undo();
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(loop.Channel(2).Sample.Length, 2);
    loop.TouchChannel(2);
    loop.Channel(2).Volume = 3;  // the sample untouched: its voices play on
    freed = 0;
    history.Undo();
    EXPECT_EQ(freed, 0);
}

}  // namespace
