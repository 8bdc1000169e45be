#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tx {

constexpr int PlayListPositions = 512;

// A fixed-capacity list of pattern numbers, so the playback thread can copy a
// playlist position without allocating. Capacity covers every distinct pattern.
struct TPatternList {
    std::array<int16_t, 1000> items{};
    int count = 0;

    void Clear() { count = 0; }
    void Assign(int16_t p) {
        items[0] = p;
        count = 1;
    }
    bool Push(int16_t p) {
        if (count >= int(items.size())) return false;
        items[size_t(count++)] = p;
        return true;
    }
    int16_t First() const { return count > 0 ? items[0] : int16_t(0); }
    const int16_t* begin() const { return items.data(); }
    const int16_t* end() const { return items.data() + count; }
};

// The 512 bars of the song, each an ordered list of distinct pattern numbers 0..999.
// Plain data: the loop (TLoop) adds the queries that need the channels and the lock.
class TPlayList {
public:
    using Position = std::vector<int16_t>;

    bool IsEmpty() const;
    const Position& At(int pos) const { return lists_[size_t(pos)]; }
    // Adds (present) or removes a pattern; returns true when the list changed.
    // Never adds a pattern the list already holds.
    bool SetPatternAt(int pattern, int pos, bool present);
    bool Contains(int pos, int pattern) const;
    void Clear();
    void InsertBar(int pos);
    void DeleteBar(int pos);
    // Highest position 0..511 whose list is not empty, or -1.
    int LastUsed() const;
    // Appends without the duplicate search, for the loop file reader, which
    // keeps its own record of what each position holds.
    void AppendUnchecked(int pos, int16_t pattern) { lists_[size_t(pos)].push_back(pattern); }

private:
    std::array<Position, PlayListPositions> lists_;
};

}  // namespace tx
