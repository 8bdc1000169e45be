#include <gtest/gtest.h>

#include <string>

#include "model/SongInfo.h"
#include "model/Undo.h"

namespace tx {
namespace {

TSongInfo Sample() { return {"Night Drive", "{\\rtf1 note}", "", "https://example.org", true}; }

TEST(SongInfo, AChangeIsOneUndoStepAndMarksTheLoop) {
    TLoop loop;
    TUndoHistory history(loop);
    loop.Tempo = 120;
    loop.Modified = false;
    ASSERT_TRUE(SetSongInfo(loop, Sample()));
    EXPECT_TRUE(loop.Modified);
    EXPECT_EQ(SongInfoOf(loop), Sample());
    EXPECT_EQ(history.UndoSteps(), 1u);
    EXPECT_EQ(history.UndoName(), "loop info");
    EXPECT_EQ(history.Undo(), "loop info");
    EXPECT_EQ(SongInfoOf(loop), TSongInfo{});
    EXPECT_EQ(loop.Tempo, 120) << "undo takes back the texts only";
    history.Redo();
    EXPECT_EQ(SongInfoOf(loop), Sample());
}

TEST(SongInfo, NothingChangedLeavesTheLoopAndTheHistoryAlone) {
    TLoop loop;
    TUndoHistory history(loop);
    SetSongInfo(loop, Sample());
    loop.Modified = false;
    const size_t steps = history.UndoSteps();
    EXPECT_FALSE(SetSongInfo(loop, Sample()));
    EXPECT_FALSE(loop.Modified);
    EXPECT_EQ(history.UndoSteps(), steps);
}

TEST(SongInfo, EachFieldAloneCountsAsAChange) {
    auto with = [](auto change) {
        TSongInfo i = Sample();
        change(i);
        return i;
    };
    const TSongInfo changes[] = {
        with([](TSongInfo& i) { i.Title += "!"; }),     with([](TSongInfo& i) { i.InfoRich += " "; }),
        with([](TSongInfo& i) { i.InfoPlain = "p"; }),  with([](TSongInfo& i) { i.URL.clear(); }),
        with([](TSongInfo& i) { i.ShowInfo = false; }),
    };
    for (const TSongInfo& c : changes) {
        TLoop loop;
        SetSongInfo(loop, Sample());
        loop.Modified = false;
        EXPECT_TRUE(SetSongInfo(loop, c));
        EXPECT_TRUE(loop.Modified);
        EXPECT_EQ(SongInfoOf(loop), c);
    }
}

TEST(SongInfo, ATempoTurnJustBeforeStaysItsOwnStep) {
    TLoop loop;
    TUndoHistory history(loop);
    loop.TouchValues();  // a slider turned a moment ago: joinable for a second
    loop.Tempo = 150;
    SetSongInfo(loop, Sample());
    EXPECT_EQ(history.UndoSteps(), 2u);
    history.Undo();
    EXPECT_EQ(loop.Tempo, 150);
    EXPECT_EQ(loop.Title, "");
}

}  // namespace
}  // namespace tx
