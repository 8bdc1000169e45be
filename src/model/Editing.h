#pragma once
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "model/Loop.h"

namespace tx {

// The editing commands of the Edit and Channels menus and the channel popup,
// as document operations on the current pattern of the selected channels.
// Window thread only. Each one takes the engine lock for its whole change, so
// the mixer never plays half a paste or half a shift; dialogs (the humanize
// percentage, the delete confirmation) are asked before calling, never with
// the lock held.

// The private row clipboard: one slot per channel from the first selected
// channel to the last channel; a slot of an unselected channel is empty.
class TRowClipboard {
public:
    bool Filled() const { return filled_; }  // Paste is enabled once this is true
    int Slots() const { return int(slots_.size()); }
    bool SlotEmpty(int i) const { return !slots_[size_t(i)].has_value(); }
    const PatternRecord& Slot(int i) const { return *slots_[size_t(i)]; }

private:
    friend void CopyRows(TLoop&, TRowClipboard&, bool);
    // Empty slots are marked apart from the record: a loop file may bring
    // any step volume, so no record value can safely mean "empty".
    std::vector<std::optional<PatternRecord>> slots_;
    bool filled_ = false;
};

// What Humanize changes and by how much (the humanize dialog's values).
struct THumanize {
    int Percent = 25;  // 0..100
    bool Volume = true;
    bool Pan = true;
    bool Pitch = false;
    bool Mix = false;
};

using TEditRandom = std::mt19937;

// The lowest selected channel; else the lowest not minimized; else 0.
int FirstSelectedChannel(const TLoop& loop);
void SelectAll(TLoop& loop);
// Copy, or Cut when `cut` is set (the copied records are reset).
void CopyRows(TLoop& loop, TRowClipboard& clip, bool cut = false);
inline void CutRows(TLoop& loop, TRowClipboard& clip) { CopyRows(loop, clip, true); }
// False (nothing done) when the clipboard was never filled.
bool PasteRows(TLoop& loop, const TRowClipboard& clip);
// Rotates each selected record one step: -1 left, +1 right.
void ShiftRows(TLoop& loop, int direction);
void RandomRows(TLoop& loop, TEditRandom& rng);
void HumanizeRows(TLoop& loop, const THumanize& how, TEditRandom& rng);
// Deletes selected channels from the last to the first while more than 4
// remain; returns how many were deleted.
int DeleteSelectedChannels(TLoop& loop);
// Inverts Minimized of every selected channel (minimizing deselects it).
void ZipSelectedChannels(TLoop& loop);

}  // namespace tx
