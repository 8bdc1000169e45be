#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/Engine.h"

namespace tx {

// What a sound server's transport says at one moment.
struct TTransportState {
    bool Rolling = false;
    double Bpm = 0;  // the timebase master's tempo; 0 when no master gives one
};

// A sound server's transport, as the follower reads it. Any thread may call
// Query; Open and Close belong to the follower's owner.
class TTransportPort {
public:
    virtual ~TTransportPort() = default;
    // "" when open, else why not.
    virtual std::string Open() = 0;
    virtual void Close() = 0;
    virtual TTransportState Query() = 0;
};

// A transport that a test sets by hand.
class TNullTransportPort : public TTransportPort {
public:
    std::string Open() override { return FailOpen.empty() ? (open_ = true, std::string()) : FailOpen; }
    void Close() override { open_ = false; }
    TTransportState Query() override {
        std::lock_guard g(m_);
        return state_;
    }
    void Set(TTransportState s) {
        std::lock_guard g(m_);
        state_ = s;
    }
    bool IsOpen() const { return open_; }
    std::string FailOpen;

private:
    std::mutex m_;
    TTransportState state_;
    std::atomic<bool> open_{false};
};

// Follows a transport master: its start and stop start and stop playback, its
// tempo becomes the loop's. A thread of its own looks at the transport every
// few milliseconds and changes the engine under the engine lock, as a
// followed MIDI clock does; the window only hears of it through the two
// events, which must not block. A followed MIDI clock ("Sync to input") has
// the last word: while it is on the transport is ignored.
class TTransportFollower {
public:
    static constexpr int PollMs = 10;  // well inside one step even at 500 BPM (30 ms)

    explicit TTransportFollower(TEngine& engine) : engine_(engine) {}
    ~TTransportFollower() { Stop(); }
    TTransportFollower(const TTransportFollower&) = delete;
    TTransportFollower& operator=(const TTransportFollower&) = delete;

    // Opens `port` and starts looking at it; "" on success, else why not
    // (nothing runs then). A follower already running is stopped first.
    std::string Start(std::unique_ptr<TTransportPort> port);
    // Opens `port` without the thread: each look is then a call of Poll.
    std::string Attach(std::unique_ptr<TTransportPort> port);
    // Stops looking and closes the port; what plays goes on playing.
    void Stop();
    bool Following() const { return thread_.joinable(); }
    // One look at the transport: what the thread does every PollMs.
    void Poll();

    std::function<void(bool started)> OnPlayingState;
    std::function<void(int bpm)> OnTempo;

private:
    void run();

    TEngine& engine_;
    std::unique_ptr<TTransportPort> port_;
    std::thread thread_;
    std::mutex stopMutex_;
    std::condition_variable stopWake_;
    bool stop_ = false;
    bool rolling_ = false;  // as last seen
    int bpm_ = 0;           // last tempo taken from the master
};

}  // namespace tx
