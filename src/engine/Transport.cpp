#include "engine/Transport.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace tx {

std::string TTransportFollower::Attach(std::unique_ptr<TTransportPort> port) {
    Stop();
    if (!port) return "no transport";
    std::string error = port->Open();
    if (!error.empty()) return error;
    port_ = std::move(port);
    rolling_ = false;
    bpm_ = 0;
    return {};
}

std::string TTransportFollower::Start(std::unique_ptr<TTransportPort> port) {
    std::string error = Attach(std::move(port));
    if (!error.empty()) return error;
    stop_ = false;
    thread_ = std::thread([this] { run(); });
    return {};
}

void TTransportFollower::Stop() {
    if (thread_.joinable()) {
        {
            std::lock_guard g(stopMutex_);
            stop_ = true;
        }
        stopWake_.notify_all();
        thread_.join();
    }
    if (port_) port_->Close();
    port_.reset();
}

void TTransportFollower::run() {
    std::unique_lock lk(stopMutex_);
    while (!stop_) {
        lk.unlock();
        Poll();
        lk.lock();
        stopWake_.wait_for(lk, std::chrono::milliseconds(PollMs), [this] { return stop_; });
    }
}

void TTransportFollower::Poll() {
    if (!port_) return;
    const TTransportState s = port_->Query();
    // Nothing moved since the last look (nearly every look): the engine is
    // left alone, so an idle program does not take its lock 200 times a second.
    if (s.Rolling == rolling_ && (s.Bpm <= 0 || std::clamp(int(std::nearbyint(s.Bpm)), MinTempo, MaxTempo) == bpm_))
        return;
    int playingState = -1;  // -1 no change, 0 stopped, 1 started
    int tempo = 0;
    {
        // A render holds the lock for its whole run: rather than wait behind
        // it (and keep Stop waiting too), look again next time.
        if (!engine_.EL.TryLock()) return;
        struct TUnlock {
            TEngineLock& l;
            ~TUnlock() { l.Unlock(); }
        } unlock{engine_.EL};
        if (engine_.SyncToInput) {
            // The MIDI clock leads; an edge seen meanwhile is not acted on later.
            rolling_ = s.Rolling;
            return;
        }
        if (s.Bpm > 0) {
            // Nearest, ties to even, as everywhere in the engine.
            const int bpm = std::clamp(int(std::nearbyint(s.Bpm)), MinTempo, MaxTempo);
            if (bpm != bpm_) {
                bpm_ = bpm;
                if (bpm != engine_.Loop.Tempo) {
                    engine_.SetTempo(bpm);
                    tempo = bpm;
                }
            }
        }
        if (s.Rolling != rolling_) {
            rolling_ = s.Rolling;
            if (rolling_ && !engine_.Playing)
                engine_.Start();
            else if (!rolling_ && engine_.Playing)
                engine_.Stop(false);
            playingState = rolling_ ? 1 : 0;
        }
    }
    if (tempo != 0 && OnTempo) OnTempo(tempo);
    if (playingState >= 0 && OnPlayingState) OnPlayingState(playingState == 1);
}

}  // namespace tx
