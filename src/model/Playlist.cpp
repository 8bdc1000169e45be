#include "model/Playlist.h"

#include <algorithm>

namespace tx {

bool TPlayList::IsEmpty() const {
    return std::all_of(lists_.begin(), lists_.end(), [](const Position& p) { return p.empty(); });
}

bool TPlayList::Contains(int pos, int pattern) const {
    const Position& l = lists_[size_t(pos)];
    return std::find(l.begin(), l.end(), pattern) != l.end();
}

bool TPlayList::SetPatternAt(int pattern, int pos, bool present) {
    if (pos < 0 || pos >= PlayListPositions || pattern < 0 || pattern > 999) return false;
    Position& l = lists_[size_t(pos)];
    auto it = std::find(l.begin(), l.end(), pattern);
    if (present && it == l.end()) {
        l.push_back(int16_t(pattern));
        return true;
    }
    if (!present && it != l.end()) {
        l.erase(it);
        return true;
    }
    return false;
}

void TPlayList::Clear() {
    for (Position& p : lists_) p.clear();
}

void TPlayList::InsertBar(int pos) {
    if (pos < 0 || pos >= PlayListPositions) return;
    // Rotating right moves p..510 to p+1..511 and brings 511's list to p.
    std::rotate(lists_.begin() + pos, lists_.end() - 1, lists_.end());
    lists_[size_t(pos)].clear();
}

void TPlayList::DeleteBar(int pos) {
    if (pos < 0 || pos >= PlayListPositions) return;
    std::rotate(lists_.begin() + pos, lists_.begin() + pos + 1, lists_.end());
    lists_.back().clear();
}

int TPlayList::LastUsed() const {
    for (int p = PlayListPositions - 1; p >= 0; --p)
        if (!lists_[size_t(p)].empty()) return p;
    return -1;
}

}  // namespace tx
