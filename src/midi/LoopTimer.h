#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace tx {

class TEngine;

constexpr int32_t LoopTimerMsBpm = 15000;  // a sixteenth at `bpm` lasts 15000 div bpm ms

// The "Midi only" step timer: a thread of its own, at raised priority where the
// system allows it, calling its tick on a fixed grid (enable time + n x
// interval), so ticks never drift however long each one takes. A tick that
// falls due while the previous one still runs is skipped, not played late.
// Any thread may enable it or change the interval; the tick runs on the timer
// thread and may itself change the interval.
class TLoopTimer {
public:
    using Clock = std::chrono::steady_clock;

    explicit TLoopTimer(std::function<void()> onTimer);
    // Ticks engine.StepTick() while the engine plays, and becomes the engine's
    // step timer (its EnableLoopTimer and SetLoopTimerInterval hooks).
    explicit TLoopTimer(TEngine& engine);
    ~TLoopTimer();
    TLoopTimer(const TLoopTimer&) = delete;
    TLoopTimer& operator=(const TLoopTimer&) = delete;

    // A new interval takes effect from the last tick (or the enable time).
    void SetInterval(int32_t ms);
    void SetTempo(int32_t bpm);  // interval = 15000 div bpm
    int32_t Interval() const;
    // Enabling starts the grid now; the first tick comes one interval later.
    void SetEnabled(bool on);
    bool Enabled() const;

    // The grid's origin and the ticks skipped since enabling (for measuring).
    Clock::time_point Anchor() const;
    int64_t SkippedTicks() const;
    // Called from a tick: false when the timer was disabled or changed after
    // the tick fell due (the tick is then stale and should do nothing).
    bool TickCurrent() const;

private:
    void run();

    std::function<void()> onTimer_;
    TEngine* engine_ = nullptr;
    uint64_t tickGeneration_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool enabled_ = false;
    bool quit_ = false;
    int32_t interval_ = LoopTimerMsBpm / 140;  // the program's start tempo
    uint64_t generation_ = 0;                  // changes with every enable or interval change
    Clock::time_point anchor_;
    int64_t next_ = 1;  // index of the next tick on the grid
    int64_t skipped_ = 0;
    std::thread thread_;
};

}  // namespace tx
