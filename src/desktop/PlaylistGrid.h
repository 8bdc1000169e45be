#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "desktop/StepRow.h"

namespace tx {

// The playlist grid's rules apart from its widget: cell geometry, the hint,
// the mouse drags and the cell colours. Column c > 0 is pattern c, column 0
// the bar header; row r > 0 is position r - 1, row 0 the pattern header.
// Window thread only.

constexpr int PlaylistColumns = 1000;
constexpr int PlaylistRows = 513;
constexpr int PlaylistCell = 12;
constexpr int PlaylistHeader = 22;

// Left edge of a column / top edge of a row, in grid pixels (headers included).
int PlaylistColumnX(int col);
int PlaylistRowY(int row);
// The column or row under a grid pixel, -1 outside the grid.
int PlaylistColumnAt(int x);
int PlaylistRowAt(int y);
// "Bar n pattern m" for the hint panel ("" on the header corner).
std::string PlaylistHint(int col, int row);
// "Bar n, pattern m" for a screen reader.
std::string PlaylistCellName(int col, int row);

// What a drag acts on; the main window supplies each piece.
struct TPlaylistGridHost {
    std::function<int()> CurrentPattern;
    std::function<void(int)> ChoosePattern;            // PatUpDown := pattern
    std::function<int()> SongPosition;                 // -1 when song mode is off
    std::function<void(int)> JumpToSongPosition;       // under the engine lock
    std::function<void(int)> SetLoopPosition;          // sets Modified too
    std::function<bool(int, int)> Contains;            // position, pattern
    std::function<void(int, int, bool)> SetPatternAt;  // pattern, position, present
    std::function<void(int, int)> SetCurrentCell;      // col, row
    std::function<void(const std::string&)> ShowHint;
    // A drag over cells begins (true) and ends (false): what it changes is
    // one step to undo.
    std::function<void(bool)> CellGesture;
};

// One mouse drag over the grid. The first cell decides: a header drag only
// acts on headers, a cell drag only on cells, until the button is released.
class TPlaylistDrag {
public:
    explicit TPlaylistDrag(TPlaylistGridHost& host) : host_(host) {}

    void Press(int col, int row, TMouseButton button, bool bothButtons);
    // The mouse over (col, row); `held` is a set of TMouseButton bits.
    void Move(int col, int row, int held);
    void Release();

    enum TKind { None, Header, Cells };
    TKind Kind() const { return kind_; }

private:
    void Act(int col, int row);

    TPlaylistGridHost& host_;
    TKind kind_ = None;
    TMouseButton button_ = NoButton;
    bool bothButtons_ = false;
    int action_ = -1;  // cell drag: 1 adds, 0 removes, -1 decided by the first cell
    int lastCol_ = -1, lastRow_ = -1;
};

// Colour of a position cell as 0xRRGGBB: blocks of four rows alternate
// between the two shades; the current pattern's column and the song
// position's row are 16 darker in red and green (32 where both meet); the
// loop position's row is 24 darker in all three.
uint32_t PlaylistCellColour(int col, int row, int currentPattern, int songPosition, int loopPosition, uint32_t shadeA,
                            uint32_t shadeB);

}  // namespace tx
