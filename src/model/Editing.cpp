#include "model/Editing.h"

#include <algorithm>

namespace tx {

namespace {

constexpr int MaxPercent = 100;
constexpr int MaxLevel = 127;  // StepVolume, StepPan, StepMix
constexpr int MaxStepPitch = 240;

bool selected(const TLoop& loop, int c) { return loop.Channel(c).Selected; }

// R(m): uniform 0..m-1, and 0 when m is 0.
int below(TEditRandom& rng, int m) { return m <= 0 ? 0 : std::uniform_int_distribution<int>(0, m - 1)(rng); }

// Tells the undo history which records a command is about to change (before
// the lock is taken: keeping them allocates).
void touchSelected(TLoop& loop) {
    for (int c = 0; c < loop.ChannelCount(); ++c)
        if (selected(loop, c)) loop.TouchPattern(c, loop.CurrentPattern);
}

}  // namespace

int FirstSelectedChannel(const TLoop& loop) {
    const int n = loop.ChannelCount();
    for (int c = 0; c < n; ++c)
        if (loop.Channel(c).Selected) return c;
    for (int c = 0; c < n; ++c)
        if (!loop.Channel(c).Minimized) return c;
    return 0;
}

void SelectAll(TLoop& loop) {
    for (int c = 0; c < loop.ChannelCount(); ++c)
        if (!loop.Channel(c).Minimized) loop.Channel(c).Selected = true;
    if (loop.Events.SelectionChanged) loop.Events.SelectionChanged();
}

void CopyRows(TLoop& loop, TRowClipboard& clip, bool cut) {
    const int first = FirstSelectedChannel(loop);
    const int k = loop.ChannelCount() - first;
    const int p = loop.CurrentPattern;
    // Only this thread writes records, so copying needs no lock; the slots
    // are allocated before the lock is taken for a cut.
    std::vector<std::optional<PatternRecord>> slots(size_t(std::max(k, 0)));
    for (int i = k - 1; i >= 0; --i)
        if (selected(loop, first + i)) slots[size_t(i)] = loop.Channel(first + i).Pattern(p);
    if (cut) {
        TLoopGesture gesture(loop, "Cut");
        for (int i = k - 1; i >= 0; --i)
            if (slots[size_t(i)]) loop.TouchPattern(first + i, p);
        TLockGuard g(loop.EngineLock());
        for (int i = k - 1; i >= 0; --i)
            if (slots[size_t(i)]) loop.Channel(first + i).Pattern(p).Reset();
    }
    clip.slots_.swap(slots);
    clip.filled_ = true;
    if (cut) loop.Modified = true;
}

bool PasteRows(TLoop& loop, const TRowClipboard& clip) {
    if (!clip.Filled()) return false;
    const int first = FirstSelectedChannel(loop);
    const int n = std::min(clip.Slots() - 1, loop.ChannelCount() - 1 - first);
    const int p = loop.CurrentPattern;
    TLoopGesture gesture(loop, "Paste");
    for (int i = 0; i <= n; ++i)
        if (!clip.SlotEmpty(i)) loop.TouchPattern(first + i, p);
    {
        TLockGuard g(loop.EngineLock());
        for (int i = 0; i <= n; ++i)
            if (!clip.SlotEmpty(i)) loop.Channel(first + i).Pattern(p) = clip.Slot(i);
    }
    loop.Modified = true;
    return true;
}

void ShiftRows(TLoop& loop, int direction) {
    const int d = direction < 0 ? -1 : 1;
    const int p = loop.CurrentPattern;
    TLoopGesture gesture(loop, d < 0 ? "Shift left" : "Shift right");
    touchSelected(loop);
    TLockGuard g(loop.EngineLock());
    for (int c = 0; c < loop.ChannelCount(); ++c) {
        if (!selected(loop, c)) continue;
        PatternRecord& rec = loop.Channel(c).Pattern(p);
        const PatternRecord old = rec;
        uint16_t mask = 0;
        for (int s = 0; s < StepsPerPattern; ++s) {
            const int from = (s - d + StepsPerPattern) % StepsPerPattern;
            if (old.GetStep(from)) mask = uint16_t(mask | (1u << s));
            for (int r = 0; r < StepRowCount; ++r) rec.Rows[size_t(r)][size_t(s)] = old.Rows[size_t(r)][size_t(from)];
        }
        rec.StepMask = mask;
    }
    loop.Modified = true;
}

void RandomRows(TLoop& loop, TEditRandom& rng) {
    const int p = loop.CurrentPattern;
    TLoopGesture gesture(loop, "Random");
    touchSelected(loop);
    {
        TLockGuard g(loop.EngineLock());
        for (int c = loop.ChannelCount() - 1; c >= 0; --c) {
            if (!selected(loop, c)) continue;
            PatternRecord& rec = loop.Channel(c).Pattern(p);
            for (int s = 0; s < StepsPerPattern; ++s) rec.SetStep(s, below(rng, 2) == 1);
        }
    }
    loop.Modified = true;
}

void HumanizeRows(TLoop& loop, const THumanize& how, TEditRandom& rng) {
    const int pc = std::clamp(how.Percent, 0, MaxPercent);
    const int a = pc * MaxLevel / MaxPercent;
    const int p = loop.CurrentPattern;
    TLoopGesture gesture(loop, "Humanize");
    touchSelected(loop);
    {
        TLockGuard g(loop.EngineLock());
        for (int c = loop.ChannelCount() - 1; c >= 0; --c) {
            if (!selected(loop, c)) continue;
            PatternRecord& rec = loop.Channel(c).Pattern(p);
            for (int s = 0; s < StepsPerPattern; ++s) {
                if (!rec.GetStep(s)) continue;
                auto cell = [&](StepRow r) -> uint8_t& { return rec.Rows[size_t(r)][size_t(s)]; };
                if (how.Volume) {
                    const int v = cell(RowVolume), d = v * pc / MaxPercent;
                    cell(RowVolume) = uint8_t(std::min(MaxLevel, below(rng, 2 * d) + v - d));
                }
                if (how.Pan) {
                    const int v = cell(RowPan);
                    cell(RowPan) = uint8_t(std::clamp(below(rng, 2 * a) + v - a, 0, MaxLevel));
                }
                if (how.Pitch) {
                    const int v = cell(RowPitch), d = v * pc / MaxPercent;
                    cell(RowPitch) = uint8_t(std::min(MaxStepPitch, below(rng, 2 * d) + v - d));
                }
                if (how.Mix) {
                    const int v = cell(RowMix);
                    cell(RowMix) = uint8_t(std::clamp(below(rng, 2 * a) + v - a, 0, MaxLevel));
                }
            }
        }
    }
    loop.Modified = true;
}

int DeleteSelectedChannels(TLoop& loop) {
    int deleted = 0;
    TLoopGesture gesture(loop, "Delete channels");
    // Each delete is whole under the lock; between two the document is a
    // valid loop, so the mixer may play a block in between.
    for (int c = loop.ChannelCount() - 1; c >= 0 && loop.CanDeleteChannel(); --c)
        if (selected(loop, c) && loop.DeleteChannel(c)) ++deleted;
    return deleted;
}

void ZipSelectedChannels(TLoop& loop) {
    bool zipped = false;
    TLoopGesture gesture(loop, "Zip channels");
    for (int c = 0; c < loop.ChannelCount(); ++c)
        if (selected(loop, c)) {
            loop.SetMinimized(c, !loop.Channel(c).Minimized);
            zipped = true;
        }
    // The loop file keeps which channels are zipped, so this is an edit.
    if (zipped) loop.Modified = true;
    if (loop.Events.ChannelsChanged) loop.Events.ChannelsChanged();
}

}  // namespace tx
