#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "desktop/PlaylistGrid.h"
#include "model/Playlist.h"

namespace tx {
namespace {

TEST(PlaylistGridTest, PixelsMapToHeadersAndCells) {
    struct Case {
        int v, col, row;
    } cases[] = {
        {-1, -1, -1},  // outside
        {0, 0, 0},
        {21, 0, 0},  // the 22-pixel headers
        {22, 1, 1},
        {33, 1, 1},
        {34, 2, 2},                                  // the first 12-pixel cells
        {22 + 998 * 12, 999, 999 < 513 ? 999 : -1},  // the last pattern column; no such row
        {22 + 999 * 12, -1, -1},                     // past the last column
        {22 + 511 * 12 + 11, 512, 512},              // the last position row
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PlaylistColumnAt(c.v), c.col) << c.v;
        EXPECT_EQ(PlaylistRowAt(c.v), c.row <= 512 ? c.row : -1) << c.v;
    }
    EXPECT_EQ(PlaylistColumnX(0), 0);
    EXPECT_EQ(PlaylistColumnX(3), 46);
    EXPECT_EQ(PlaylistRowY(513), 22 + 512 * 12);  // the grid's full height
}

TEST(PlaylistGridTest, HintAndAccessibleNameNameBarAndPattern) {
    EXPECT_EQ(PlaylistHint(5, 9), "Bar 8 pattern 5");
    EXPECT_EQ(PlaylistHint(0, 1), "Bar 0 ");
    EXPECT_EQ(PlaylistHint(12, 0), "pattern 12");
    EXPECT_EQ(PlaylistHint(0, 0), "");
    EXPECT_EQ(PlaylistCellName(999, 512), "Bar 511, pattern 999");
}

// A playlist behind a recording host, as the window drives it.
struct Rig {
    TPlayList list;
    int current = 1, songPos = -1, loopPos = 0;
    std::vector<int> chosen, jumps;
    std::string hint;
    TPlaylistGridHost host;
    TPlaylistDrag drag{host};
    Rig() {
        host.CurrentPattern = [this] { return current; };
        host.ChoosePattern = [this](int p) { chosen.push_back(p); };
        host.SongPosition = [this] { return songPos; };
        host.JumpToSongPosition = [this](int p) { jumps.push_back(p); };
        host.SetLoopPosition = [this](int p) { loopPos = p; };
        host.Contains = [this](int pos, int pat) { return list.Contains(pos, pat); };
        host.SetPatternAt = [this](int pat, int pos, bool on) { list.SetPatternAt(pat, pos, on); };
        host.SetCurrentCell = [](int, int) {};
        host.ShowHint = [this](const std::string& h) { hint = h; };
    }
    void Click(int col, int row, TMouseButton b, bool both = false) {
        drag.Press(col, row, b, both);
        drag.Release();
    }
    void Drag(const std::vector<std::pair<int, int>>& cells, TMouseButton b, bool both = false) {
        drag.Press(cells[0].first, cells[0].second, b, both);
        for (auto [c, r] : cells) drag.Move(c, r, b);
        drag.Release();
    }
    std::set<std::pair<int, int>> Present() const {
        std::set<std::pair<int, int>> out;
        for (int pos = 0; pos < PlayListPositions; ++pos)
            for (int16_t p : list.At(pos)) out.insert({int(p), pos});
        return out;
    }
};

TEST(PlaylistGridTest, CellClicksAndDragsFollowTheFirstCell) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> before;  // (pattern, position) present at the start
        std::vector<std::vector<std::pair<int, int>>> drags;
        TMouseButton button;
        bool both;
        std::vector<std::pair<int, int>> after;
    } cases[] = {
        {"toggling a cell twice leaves it as it was", {{3, 4}}, {{{3, 5}}, {{3, 5}}}, LeftButton, false, {{3, 4}}},
        {"one click adds a missing pattern", {}, {{{7, 1}}}, LeftButton, false, {{7, 0}}},
        {"one click removes a present pattern", {{7, 0}}, {{{7, 1}}}, LeftButton, false, {}},
        {"a five-cell drag from a missing cell adds to all five",
         {{2, 2}},
         {{{2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}}},
         LeftButton,
         false,
         {{2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4}}},
        {"a drag from a present cell removes along the way",
         {{2, 0}, {2, 2}},
         {{{2, 1}, {2, 2}, {2, 3}}},
         LeftButton,
         false,
         {}},
        {"the right button removes", {{4, 0}, {5, 0}}, {{{4, 1}, {5, 1}, {6, 1}}}, RightButton, false, {}},
        {"both buttons: the left always adds", {{4, 0}}, {{{4, 1}, {5, 1}}}, LeftButton, true, {{4, 0}, {5, 0}}},
        {"both buttons: the right always removes", {{4, 0}}, {{{5, 1}, {4, 1}}}, RightButton, true, {}},
        {"a cell drag never acts on headers",
         {},
         {{{3, 1}, {0, 1}, {3, 0}, {4, 1}}},
         LeftButton,
         false,
         {{3, 0}, {4, 0}}},
    };
    for (const Case& c : cases) {
        Rig rig;
        for (auto [p, pos] : c.before) rig.list.SetPatternAt(p, pos, true);
        for (const auto& d : c.drags) rig.Drag(d, c.button, c.both);
        const std::set<std::pair<int, int>> want(c.after.begin(), c.after.end());
        EXPECT_EQ(rig.Present(), want) << c.name;
        EXPECT_TRUE(rig.chosen.empty() && rig.jumps.empty()) << c.name;
        EXPECT_EQ(rig.loopPos, 0) << c.name;
    }
}

TEST(PlaylistGridTest, HeaderDragsChoosePatternsAndPositionsButNeverCells) {
    Rig rig;
    rig.current = 5;
    rig.songPos = 2;
    rig.Click(0, 9, RightButton);  // right-clicking the header of row 9
    EXPECT_EQ(rig.loopPos, 8);
    rig.Click(0, 3, LeftButton);  // already the song position: no jump
    EXPECT_TRUE(rig.jumps.empty());
    rig.Drag({{0, 4}, {0, 5}, {3, 5}, {0, 6}}, LeftButton);
    EXPECT_EQ(rig.jumps, (std::vector<int>{3, 4, 5}));
    rig.Drag({{5, 0}, {6, 0}, {6, 3}, {8, 0}}, LeftButton);  // pattern 5 is already current
    EXPECT_EQ(rig.chosen, (std::vector<int>{6, 8}));
    EXPECT_TRUE(rig.Present().empty());
    EXPECT_EQ(rig.hint, "|pattern 8");  // the hint follows the mouse
    rig.drag.Move(4, 2, NoButton);      // no button: only the hint
    EXPECT_EQ(rig.hint, "|Bar 1 pattern 4");
    EXPECT_TRUE(rig.Present().empty());
}

TEST(PlaylistGridTest, CellColoursShadeBlocksAndDarkenMarkedLines) {
    const uint32_t A = 0x404850, B = 0x303840;
    struct Case {
        int col, row;
        uint32_t want;
    } cases[] = {
        {1, 1, A},         {1, 4, A},        {1, 5, B},  // rows 1..4 are positions 0..3
        {1, 9, A},         {7, 2, 0x303850},             // pattern 7 is current: 16 off red and green
        {1, 11, 0x303850},                               // position 10 plays: 16 off red and green
        {7, 11, 0x202850},                               // both: 32 off
        {2, 13, 0x182028},                               // loop position 12: 24 off all three of B
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlaylistCellColour(c.col, c.row, 7, 10, 12, A, B), c.want) << c.col << "," << c.row;
    EXPECT_EQ(PlaylistCellColour(7, 11, 7, 10, 10, 0x101010, B), 0u) << "darkening stops at black";
}

}  // namespace
}  // namespace tx

namespace tx {
namespace {

// Every cell a drag changes falls between the one begin and the one end of
// its gesture, so the whole drag is one step to undo; header drags and
// clicks change no cell and open no gesture.
TEST(PlaylistGridTest, ACellDragIsOneGestureAndAHeaderDragNone) {
    Rig rig;
    std::vector<std::string> log;
    rig.host.CellGesture = [&](bool begins) { log.push_back(begins ? "begin" : "end"); };
    const auto set = rig.host.SetPatternAt;
    rig.host.SetPatternAt = [&](int pat, int pos, bool on) {
        log.push_back(std::to_string(pat) + "@" + std::to_string(pos));
        set(pat, pos, on);
    };
    rig.Drag({{2, 1}, {2, 2}, {3, 2}}, LeftButton);
    EXPECT_EQ(log, (std::vector<std::string>{"begin", "2@0", "2@1", "3@1", "end"}));
    log.clear();
    rig.Drag({{0, 4}, {0, 5}}, LeftButton);
    rig.Click(0, 9, RightButton);
    EXPECT_TRUE(log.empty());
    // A press whose release never came (the window hid mid-drag) ends its
    // gesture before the next one begins.
    rig.drag.Press(5, 1, LeftButton, false);
    rig.drag.Press(6, 1, LeftButton, false);
    rig.drag.Release();
    EXPECT_EQ(log, (std::vector<std::string>{"begin", "5@0", "end", "begin", "6@0", "end"}));
}

}  // namespace
}  // namespace tx
