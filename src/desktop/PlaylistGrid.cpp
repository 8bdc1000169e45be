#include "desktop/PlaylistGrid.h"

#include <algorithm>

namespace tx {

int PlaylistColumnX(int col) { return col <= 0 ? 0 : PlaylistHeader + (col - 1) * PlaylistCell; }
int PlaylistRowY(int row) { return row <= 0 ? 0 : PlaylistHeader + (row - 1) * PlaylistCell; }

static int IndexAt(int v, int count) {
    if (v < 0) return -1;
    if (v < PlaylistHeader) return 0;
    const int i = 1 + (v - PlaylistHeader) / PlaylistCell;
    return i < count ? i : -1;
}

int PlaylistColumnAt(int x) { return IndexAt(x, PlaylistColumns); }
int PlaylistRowAt(int y) { return IndexAt(y, PlaylistRows); }

std::string PlaylistHint(int col, int row) {
    std::string s;
    if (row > 0) s = "Bar " + std::to_string(row - 1) + " ";
    if (col > 0) s += "pattern " + std::to_string(col);
    return s;
}

std::string PlaylistCellName(int col, int row) {
    return "Bar " + std::to_string(row - 1) + ", pattern " + std::to_string(col);
}

void TPlaylistDrag::Press(int col, int row, TMouseButton button, bool bothButtons) {
    if (col < 0 || row < 0 || button == NoButton) return;
    Release();  // a press without the last release ends that drag first
    kind_ = col == 0 || row == 0 ? Header : Cells;
    if (kind_ == Cells && host_.CellGesture) host_.CellGesture(true);
    button_ = button;
    bothButtons_ = bothButtons;
    action_ = -1;
    lastCol_ = lastRow_ = -1;
    Move(col, row, button);
}

void TPlaylistDrag::Move(int col, int row, int held) {
    if (col < 0 || row < 0) return;
    if (host_.ShowHint) host_.ShowHint("|" + PlaylistHint(col, row));
    if (kind_ == None || (held & (LeftButton | RightButton)) == 0) return;
    if (col == lastCol_ && row == lastRow_) return;  // nothing new under the mouse
    lastCol_ = col;
    lastRow_ = row;
    Act(col, row);
}

void TPlaylistDrag::Release() {
    if (kind_ == Cells && host_.CellGesture) host_.CellGesture(false);
    kind_ = None;
    button_ = NoButton;
}

void TPlaylistDrag::Act(int col, int row) {
    const bool header = col == 0 || row == 0;
    if (kind_ == Header) {
        if (!header) return;
        if (row == 0 && col > 0) {
            if (col != host_.CurrentPattern()) host_.ChoosePattern(col);
        } else if (col == 0 && row > 0) {
            if (button_ == RightButton)
                host_.SetLoopPosition(row - 1);
            else if (row - 1 != host_.SongPosition())
                host_.JumpToSongPosition(row - 1);
        }
        return;
    }
    if (header) return;
    if (action_ < 0) {
        if (bothButtons_ || button_ == RightButton)
            action_ = button_ == LeftButton ? 1 : 0;
        else
            action_ = host_.Contains(row - 1, col) ? 0 : 1;  // the first cell toggles
    }
    host_.SetCurrentCell(col, row);
    host_.SetPatternAt(col, row - 1, action_ == 1);
}

static uint32_t Darken(uint32_t rgb, int r, int g, int b) {
    const int R = std::max(int((rgb >> 16) & 0xFF) - r, 0);
    const int G = std::max(int((rgb >> 8) & 0xFF) - g, 0);
    const int B = std::max(int(rgb & 0xFF) - b, 0);
    return uint32_t(R << 16 | G << 8 | B);
}

uint32_t PlaylistCellColour(int col, int row, int currentPattern, int songPosition, int loopPosition, uint32_t shadeA,
                            uint32_t shadeB) {
    const int pos = row - 1;
    uint32_t c = (pos / 4) % 2 == 0 ? shadeA : shadeB;
    if (col == currentPattern) c = Darken(c, 16, 16, 0);
    if (pos == songPosition) c = Darken(c, 16, 16, 0);
    if (pos == loopPosition) c = Darken(c, 24, 24, 24);
    return c;
}

}  // namespace tx
