#include "midi/LoopTimer.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>

#include "engine/Engine.h"

namespace tx {

namespace {
// Above every normally scheduled thread, below the sound servers' own
// real-time threads. Without the privilege the thread stays normal.
constexpr int TimerRealtimePriority = 5;

void raisePriority() {
    sched_param p{};
    p.sched_priority = std::min(TimerRealtimePriority, sched_get_priority_max(SCHED_FIFO));
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &p);
}
}  // namespace

TLoopTimer::TLoopTimer(std::function<void()> onTimer) : onTimer_(std::move(onTimer)) {
    thread_ = std::thread([this] { run(); });
}

TLoopTimer::TLoopTimer(TEngine& engine)
    : TLoopTimer([this, &engine] {
          // The engine lock orders this tick against Stop: a tick that fell due
          // just before the stop and waited for the lock plays nothing.
          TLockGuard g(&engine.EL);
          if (!TickCurrent() || !engine.Playing) return;
          engine.StepTick();
      }) {
    engine_ = &engine;
    TLockGuard g(&engine.EL);
    SetTempo(engine.Loop.Tempo);
    engine.EnableLoopTimer = [this](bool on) { SetEnabled(on); };
    engine.SetLoopTimerInterval = [this](int ms) { SetInterval(ms); };
}

TLoopTimer::~TLoopTimer() {
    if (engine_) {
        TLockGuard g(&engine_->EL);
        engine_->EnableLoopTimer = nullptr;
        engine_->SetLoopTimerInterval = nullptr;
    }
    {
        std::lock_guard<std::mutex> g(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void TLoopTimer::SetInterval(int32_t ms) {
    ms = std::max<int32_t>(ms, 1);
    {
        std::lock_guard<std::mutex> g(mutex_);
        if (ms == interval_) return;
        if (enabled_) {
            // Re-anchor at the last tick so the new interval counts from there.
            anchor_ += std::chrono::milliseconds(interval_) * (next_ - 1);
            next_ = 1;
        }
        interval_ = ms;
        ++generation_;
    }
    wake_.notify_all();
}

void TLoopTimer::SetTempo(int32_t bpm) { SetInterval(LoopTimerMsBpm / std::max<int32_t>(bpm, 1)); }

int32_t TLoopTimer::Interval() const {
    std::lock_guard<std::mutex> g(mutex_);
    return interval_;
}

void TLoopTimer::SetEnabled(bool on) {
    {
        std::lock_guard<std::mutex> g(mutex_);
        if (on == enabled_) return;
        enabled_ = on;
        if (on) {
            anchor_ = Clock::now();
            next_ = 1;
            skipped_ = 0;
        }
        ++generation_;
    }
    wake_.notify_all();
}

bool TLoopTimer::Enabled() const {
    std::lock_guard<std::mutex> g(mutex_);
    return enabled_;
}

TLoopTimer::Clock::time_point TLoopTimer::Anchor() const {
    std::lock_guard<std::mutex> g(mutex_);
    return anchor_;
}

int64_t TLoopTimer::SkippedTicks() const {
    std::lock_guard<std::mutex> g(mutex_);
    return skipped_;
}

bool TLoopTimer::TickCurrent() const {
    std::lock_guard<std::mutex> g(mutex_);
    return enabled_ && generation_ == tickGeneration_;
}

void TLoopTimer::run() {
    raisePriority();
    std::unique_lock<std::mutex> lock(mutex_);
    while (!quit_) {
        if (!enabled_) {
            wake_.wait(lock, [this] { return quit_ || enabled_; });
            continue;
        }
        uint64_t gen = generation_;
        auto interval = std::chrono::milliseconds(interval_);
        Clock::time_point due = anchor_ + interval * next_;
        if (wake_.wait_until(lock, due, [&] { return quit_ || generation_ != gen; })) continue;
        tickGeneration_ = gen;
        lock.unlock();
        if (onTimer_) onTimer_();
        lock.lock();
        if (generation_ != gen) continue;
        ++next_;
        // Ticks whose time passed while this one ran are dropped.
        auto late = Clock::now() - (anchor_ + interval * next_);
        if (late >= Clock::duration::zero()) {
            int64_t missed = late / interval + 1;
            next_ += missed;
            skipped_ += missed;
        }
    }
}

}  // namespace tx
