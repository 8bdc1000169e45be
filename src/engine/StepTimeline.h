#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <tuple>

#include "model/Playlist.h"

namespace tx {

using FrameTime = int64_t;  // as in Engine.h: absolute engine frames

// A record stamped with this time is shown at once: steps of the "Midi only"
// timer and of MIDI clock (their sound is the MIDI sent now) and transport changes.
constexpr FrameTime AudibleAtOnce = std::numeric_limits<FrameTime>::min();
// The audible moment when nothing streams: every record is due.
constexpr FrameTime EverythingAudible = std::numeric_limits<FrameTime>::max();
// The audible moment before the first mixed block has been heard: nothing timed is due.
constexpr FrameTime NothingAudible = std::numeric_limits<FrameTime>::min() + 1;

constexpr int TimelineChannels = 256;  // the loop file's channel limit
constexpr int TimelinePatterns = 1000;

// Which of 1000 patterns (or 256 channels) a record names, as bits.
template <int N>
struct TBitSet {
    std::array<uint64_t, (N + 63) / 64> Words{};
    void Set(int i) {
        if (i >= 0 && i < N) Words[size_t(i) / 64] |= uint64_t(1) << (i % 64);
    }
    bool Test(int i) const { return i >= 0 && i < N && (Words[size_t(i) / 64] >> (i % 64)) & 1; }
    void Clear() { Words.fill(0); }
    bool Any() const {
        for (uint64_t w : Words)
            if (w) return true;
        return false;
    }
};
using TPatternBits = TBitSet<TimelinePatterns>;
using TChannelBits = TBitSet<TimelineChannels>;

// What the step display shows for the moment being heard.
struct TAudibleState {
    int32_t Step = -1;          // the lit step, -1 none
    int32_t SongPosition = -1;  // the displayed playlist position, -1 with song mode off
    TPatternBits Patterns;      // the patterns playing
    uint64_t Sequence = 0;      // the record this position came from (0: none yet)
    bool PatternPlays(int pattern) const { return Patterns.Test(pattern); }
};

// Step records from the playback threads to the display, each stamped with
// the engine frame at which its sound starts. Writers are the mixing, step
// timer and MIDI-input threads and the window thread's transport, always with
// the engine lock held (so one at a time); they never wait or allocate. The
// reader is one display thread that never locks: each slot is a seqlock, and
// a record overwritten while it was read is simply dropped.
class TStepTimeline {
public:
    static constexpr int Capacity = 256;  // records; over two seconds of steps at 500 BPM

    TStepTimeline() = default;
    TStepTimeline(const TStepTimeline&) = delete;
    TStepTimeline& operator=(const TStepTimeline&) = delete;

    // --- writers (engine lock held)
    // Opens a record of mixer step `step`, heard from `at`; a barrier makes
    // the reader forget every earlier record it has not shown yet (a stop, a
    // jump, a new time base).
    void Begin(FrameTime at, int32_t step, bool barrier = false);
    bool Building() const { return building_; }
    void SetPosition(int32_t step, int32_t songPosition, const TPatternList& playing);
    void AddLight(int channel);  // the channel triggered at this record's step
    void Commit();
    // A whole position record, shown at once; with `barrier` (the transport)
    // it also forgets what is pending.
    void PublishNow(int32_t step, int32_t songPosition, const TPatternList& playing, bool barrier);
    // While paused (a render) nothing is published; resuming publishes a barrier.
    void SetPaused(bool paused);
    bool Paused() const { return paused_; }

    // --- the reader (one display thread)
    // Shows every record due at `audible`: the latest position goes into
    // `state`, and light(step, channel) is called for each channel triggered.
    // True when the position changed or a light was raised.
    bool Read(FrameTime audible, TAudibleState& state, const std::function<void(int step, int channel)>& light);
    uint64_t Published() const { return head_.load(std::memory_order_acquire); }
    uint64_t Lost() const { return lost_; }  // records the reader fell too far behind to see

private:
    enum : uint32_t { HasPosition = 1, Barrier = 2 };
    struct TRecord {
        FrameTime At = 0;
        uint32_t Flags = 0;
        int32_t Step = -1;
        int32_t SongPosition = -1;
        TPatternBits Patterns;
        TChannelBits Lights;
        int32_t LightStep = -1;
    };
    // Every field is an atomic so that a read racing a write is defined; the
    // sequence word tells whether the copy is whole.
    struct TSlot {
        std::atomic<uint64_t> Seq{0};  // 2n + 1 while record n is written, 2n + 2 once it is whole
        std::atomic<int64_t> At{0};
        std::atomic<uint32_t> Flags{0};
        std::atomic<int32_t> Step{-1}, SongPosition{-1}, LightStep{-1};
        std::array<std::atomic<uint64_t>, std::tuple_size_v<decltype(TPatternBits::Words)>> Patterns{};
        std::array<std::atomic<uint64_t>, std::tuple_size_v<decltype(TChannelBits::Words)>> Lights{};
    };
    bool load(uint64_t n, TRecord& r) const;

    std::array<TSlot, Capacity> slots_;
    std::atomic<uint64_t> head_{0};  // records published
    // Writer side, guarded by the engine lock.
    TRecord open_;
    bool building_ = false;
    bool paused_ = false;
    // Reader side.
    uint64_t next_ = 0;     // first record not yet shown (or waiting for its time)
    uint64_t scanned_ = 0;  // every record before this has been looked at once
    uint64_t lost_ = 0;
};

}  // namespace tx
