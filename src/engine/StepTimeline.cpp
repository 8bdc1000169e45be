#include "engine/StepTimeline.h"

namespace tx {

namespace {
constexpr auto Relaxed = std::memory_order_relaxed;
constexpr auto Acquire = std::memory_order_acquire;
constexpr auto Release = std::memory_order_release;
}  // namespace

void TStepTimeline::Begin(FrameTime at, int32_t step, bool barrier) {
    open_.At = at;
    open_.Flags = barrier ? uint32_t(Barrier) : 0u;
    open_.Step = -1;
    open_.SongPosition = -1;
    open_.Patterns.Clear();
    open_.Lights.Clear();
    open_.LightStep = step;
    building_ = !paused_;
}

void TStepTimeline::SetPosition(int32_t step, int32_t songPosition, const TPatternList& playing) {
    if (!building_) return;
    open_.Flags |= HasPosition;
    open_.Step = step;
    open_.SongPosition = songPosition;
    for (int16_t p : playing) open_.Patterns.Set(p);
}

void TStepTimeline::AddLight(int channel) {
    if (building_) open_.Lights.Set(channel);
}

void TStepTimeline::Commit() {
    if (!building_) return;
    building_ = false;
    // A lights-only record with nothing lit tells the display nothing.
    if (!(open_.Flags & (HasPosition | Barrier)) && !open_.Lights.Any()) return;
    const uint64_t n = head_.load(Relaxed);
    TSlot& s = slots_[n % Capacity];
    // Each field is stored with release, so a reader that sees any of them
    // also sees the odd sequence before it and discards the copy.
    s.Seq.store(2 * n + 1, Relaxed);
    s.At.store(open_.At, Release);
    s.Flags.store(open_.Flags, Release);
    s.Step.store(open_.Step, Release);
    s.SongPosition.store(open_.SongPosition, Release);
    s.LightStep.store(open_.LightStep, Release);
    for (size_t i = 0; i < s.Patterns.size(); ++i) s.Patterns[i].store(open_.Patterns.Words[i], Release);
    for (size_t i = 0; i < s.Lights.size(); ++i) s.Lights[i].store(open_.Lights.Words[i], Release);
    s.Seq.store(2 * n + 2, std::memory_order_release);
    head_.store(n + 1, std::memory_order_release);
}

void TStepTimeline::PublishNow(int32_t step, int32_t songPosition, const TPatternList& playing, bool barrier) {
    Begin(AudibleAtOnce, -1, barrier);
    SetPosition(step, songPosition, playing);
    Commit();
}

void TStepTimeline::SetPaused(bool paused) {
    if (paused_ == paused) return;
    paused_ = paused;
    building_ = false;
    if (!paused) {
        // What was published before the pause lives in another time base.
        Begin(AudibleAtOnce, -1, true);
        Commit();
    }
}

bool TStepTimeline::load(uint64_t n, TRecord& r) const {
    const TSlot& s = slots_[n % Capacity];
    const uint64_t before = s.Seq.load(std::memory_order_acquire);
    if (before != 2 * n + 2) return false;
    // Acquire loads keep the second look at the sequence after them.
    r.At = s.At.load(Acquire);
    r.Flags = s.Flags.load(Acquire);
    r.Step = s.Step.load(Acquire);
    r.SongPosition = s.SongPosition.load(Acquire);
    r.LightStep = s.LightStep.load(Acquire);
    for (size_t i = 0; i < s.Patterns.size(); ++i) r.Patterns.Words[i] = s.Patterns[i].load(Acquire);
    for (size_t i = 0; i < s.Lights.size(); ++i) r.Lights.Words[i] = s.Lights[i].load(Acquire);
    return s.Seq.load(Relaxed) == before;
}

bool TStepTimeline::Read(FrameTime audible, TAudibleState& state,
                         const std::function<void(int step, int channel)>& light) {
    const uint64_t head = head_.load(std::memory_order_acquire);
    if (head - next_ > uint64_t(Capacity)) {
        // The display stalled for longer than the ring holds: the oldest are gone.
        lost_ += head - uint64_t(Capacity) - next_;
        next_ = head - uint64_t(Capacity);
    }
    TRecord r;
    // A barrier forgets every record before it that is not shown yet, due or not.
    for (uint64_t n = head; n > next_; --n) {
        if (load(n - 1, r) && (r.Flags & Barrier)) {
            next_ = n - 1;
            break;
        }
    }
    bool changed = false;
    uint64_t firstWaiting = head;
    for (uint64_t n = next_; n < head; ++n) {
        if (!load(n, r)) {
            ++lost_;  // overwritten while we looked
            continue;
        }
        const bool atOnce = r.At == AudibleAtOnce;
        // Records shown at once were shown on the pass that first saw them.
        if (atOnce && n < scanned_) continue;
        // Mixer records come in the order they sound: once one waits, so do the later ones.
        if (!atOnce && (firstWaiting != head || r.At > audible)) {
            if (firstWaiting == head) firstWaiting = n;
            continue;
        }
        if ((r.Flags & HasPosition) && n + 1 > state.Sequence) {
            changed = changed || r.Step != state.Step || r.SongPosition != state.SongPosition ||
                      r.Patterns.Words != state.Patterns.Words;
            state.Step = r.Step;
            state.SongPosition = r.SongPosition;
            state.Patterns = r.Patterns;
            state.Sequence = n + 1;
        }
        if (r.LightStep >= 0 && r.Lights.Any()) {
            for (int c = 0; c < TimelineChannels; ++c)
                if (r.Lights.Test(c)) light(r.LightStep, c);
            changed = true;
        }
    }
    scanned_ = head;
    next_ = firstWaiting;
    return changed;
}

}  // namespace tx
