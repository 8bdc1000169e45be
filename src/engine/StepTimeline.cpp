#include "engine/StepTimeline.h"

namespace tx {

namespace {
constexpr auto Relaxed = std::memory_order_relaxed;
}

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
    s.Seq.store(2 * n + 1, Relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    s.At.store(open_.At, Relaxed);
    s.Flags.store(open_.Flags, Relaxed);
    s.Step.store(open_.Step, Relaxed);
    s.SongPosition.store(open_.SongPosition, Relaxed);
    s.LightStep.store(open_.LightStep, Relaxed);
    for (size_t i = 0; i < s.Patterns.size(); ++i) s.Patterns[i].store(open_.Patterns.Words[i], Relaxed);
    for (size_t i = 0; i < s.Lights.size(); ++i) s.Lights[i].store(open_.Lights.Words[i], Relaxed);
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
    r.At = s.At.load(Relaxed);
    r.Flags = s.Flags.load(Relaxed);
    r.Step = s.Step.load(Relaxed);
    r.SongPosition = s.SongPosition.load(Relaxed);
    r.LightStep = s.LightStep.load(Relaxed);
    for (size_t i = 0; i < s.Patterns.size(); ++i) r.Patterns.Words[i] = s.Patterns[i].load(Relaxed);
    for (size_t i = 0; i < s.Lights.size(); ++i) r.Lights.Words[i] = s.Lights[i].load(Relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
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
