#include <gtest/gtest.h>

#include "model/Loop.h"

using namespace tx;

namespace {
std::vector<int> patterns(const TLoop& l, int pos) {
    TPatternList out;
    l.PatternsAt(pos, out);
    return std::vector<int>(out.begin(), out.end());
}
}  // namespace

TEST(Playlist, EmptyPlaylistWalksPatternsInOrder) {
    TLoop loop;
    for (int p : {1, 2, 3}) loop.SetStep(0, p, 0, true);
    loop.ComputeSongLength();
    EXPECT_EQ(loop.SongLength, 2) << "patterns 1..3 hold steps";
    EXPECT_EQ(patterns(loop, 0), std::vector<int>{1});
    EXPECT_EQ(patterns(loop, 2), std::vector<int>{3});
    loop.SongLoopPosition = 1;
    EXPECT_EQ(loop.NormalizeSongPosition(2), 2);
    EXPECT_EQ(loop.NormalizeSongPosition(3), 1) << "pattern 4 is empty: back to the loop position";
}

TEST(Playlist, EmptyPositionsPlaySilenceAndAreSkippedWhenNormalizing) {
    TLoop loop;
    loop.SetPatternAt(4, 0, true);
    loop.SetPatternAt(7, 3, true);
    loop.SetPatternAt(2, 3, true);
    loop.SetPatternAt(7, 3, true);  // never a duplicate
    EXPECT_EQ(patterns(loop, 3), (std::vector<int>{7, 2}));
    EXPECT_EQ(patterns(loop, 1), std::vector<int>{0});
    EXPECT_EQ(loop.NormalizeSongPosition(1), 3);
    loop.SongLoopPosition = 0;
    EXPECT_EQ(loop.NormalizeSongPosition(4), 0);
    loop.ComputeSongLength();
    EXPECT_EQ(loop.SongLength, 3);
    loop.SetPatternAt(7, 3, false);
    EXPECT_EQ(patterns(loop, 3), std::vector<int>{2});
    loop.PlayList.Clear();
    loop.SetPatternAt(1, 0, true);
    loop.ComputeSongLength();
    EXPECT_EQ(loop.SongLength, 0) << "only position 0";
}

TEST(Playlist, InsertAndDeleteBar) {
    TLoop loop;
    loop.SetPatternAt(1, 0, true);
    loop.SetPatternAt(2, 1, true);
    loop.SetPatternAt(9, 511, true);
    loop.InsertBar(0);
    EXPECT_TRUE(loop.PlayList.At(0).empty());
    EXPECT_EQ(patterns(loop, 1), std::vector<int>{1});
    EXPECT_EQ(patterns(loop, 2), std::vector<int>{2});
    EXPECT_EQ(loop.PlayList.LastUsed(), 2) << "what was at 511 is dropped";
    loop.DeleteBar(1);
    EXPECT_TRUE(loop.PlayList.At(0).empty());
    EXPECT_EQ(patterns(loop, 1), std::vector<int>{2});
    EXPECT_TRUE(loop.PlayList.At(511).empty());
}

TEST(Playlist, InsertCurrentPattern) {
    TLoop loop;
    loop.CurrentPattern = 3;
    loop.InsertCurrentPatternInPlayList(false);
    EXPECT_EQ(patterns(loop, 0), std::vector<int>{3}) << "an empty playlist starts at position 0";
    for (int p = 1; p < 4; ++p) loop.SetPatternAt(1, p, true);
    loop.CurrentPattern = 8;
    loop.InsertCurrentPatternInPlayList(false);  // window hidden: after the last used position
    EXPECT_EQ(patterns(loop, 4), std::vector<int>{8});
    EXPECT_EQ(loop.PlaylistRow, 6) << "row moves down one";
    loop.CurrentPattern = 9;
    loop.InsertCurrentPatternInPlayList(true);
    EXPECT_EQ(patterns(loop, 5), std::vector<int>{9});
}

TEST(Playlist, SetSongPositionNormalizesAndFillsPlayingPatterns) {
    TLoop loop;
    loop.SongMode = true;
    loop.SetPatternAt(5, 2, true);
    std::vector<int> repainted;
    loop.Events.PlaylistPositionChanged = [&](int p) { repainted.push_back(p); };
    loop.SetSongPosition(0);
    EXPECT_EQ(loop.SongPosition, 2);
    EXPECT_EQ(std::vector<int>(loop.PlayingPatterns.begin(), loop.PlayingPatterns.end()), std::vector<int>{5});
    EXPECT_FALSE(repainted.empty());
}
