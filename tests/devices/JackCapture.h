#pragma once
// A JACK client of the tests' own, independent of the program: two input
// ports that record whatever is connected to them into a buffer sized up
// front, so its process callback only copies.
#include <jack/jack.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace txtest {

class TJackCapture {
public:
    // Opens the client (never starting a server); Ok() tells whether a server answered.
    TJackCapture(const char* name, size_t maxFrames) : name_(name) {
        jack_status_t status;
        client_ = jack_client_open(name, jack_options_t(JackNoStartServer | JackUseExactName), &status);
        if (!client_) return;
        in_[0] = jack_port_register(client_, "in_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        in_[1] = jack_port_register(client_, "in_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        left_.assign(maxFrames, 0.0f);
        right_.assign(maxFrames, 0.0f);
        jack_set_process_callback(client_, &TJackCapture::process, this);
        jack_set_xrun_callback(client_, &TJackCapture::xrun, this);
        if (jack_activate(client_) != 0) close();
    }
    ~TJackCapture() { close(); }
    bool Ok() const { return client_ != nullptr; }
    jack_nframes_t Rate() const { return client_ ? jack_get_sample_rate(client_) : 0; }

    // Waits for the two ports to exist and their client to be active (JACK
    // refuses to connect an inactive client's ports), then connects them to ours.
    bool ConnectFrom(const std::string& port0, const std::string& port1, std::chrono::milliseconds timeout) {
        auto until = std::chrono::steady_clock::now() + timeout;
        const std::string ours[2] = {name_ + ":in_1", name_ + ":in_2"};
        const std::string theirs[2] = {port0, port1};
        bool done[2] = {false, false};
        while (!done[0] || !done[1]) {
            for (int i = 0; i < 2; ++i) {
                if (done[i] || !jack_port_by_name(client_, theirs[i].c_str())) continue;
                int r = jack_connect(client_, theirs[i].c_str(), ours[i].c_str());
                done[i] = r == 0 || r == EEXIST;
            }
            if (done[0] && done[1]) break;
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return true;
    }
    void StartRecording() { recording_.store(true); }
    void StopRecording() { recording_.store(false); }
    size_t Frames() const { return pos_.load(); }
    // Cycles the server reported as late (an xrun) while recording: then the
    // recording itself may have gaps.
    int Xruns() const { return xruns_.load(); }
    // Server cycles that skipped this client while recording (the recording has holes).
    int Gaps() const { return gaps_.load(); }

    // The recording as 16-bit frames (left, right): each JACK sample carries
    // x / 32768 exactly for a 16-bit value x. False when a sample is not such
    // a value (the sound was changed on its way).
    bool ToPcm16(std::vector<int16_t>& out, std::string& why) const {
        const size_t n = pos_.load();
        out.resize(n * 2);
        for (size_t i = 0; i < n; ++i) {
            for (int c = 0; c < 2; ++c) {
                const float f = (c ? right_ : left_)[i];
                const double x = double(f) * 32768.0;
                if (x != std::floor(x) || x < -32768.0 || x > 32767.0) {
                    why = "frame " + std::to_string(i) + " holds " + std::to_string(f) + ", not a 16-bit value";
                    return false;
                }
                out[i * 2 + size_t(c)] = int16_t(x);
            }
        }
        return true;
    }

private:
    static int process(jack_nframes_t n, void* arg) {
        auto* self = static_cast<TJackCapture*>(arg);
        if (!self->recording_.load(std::memory_order_relaxed)) return 0;
        const float* l = static_cast<const float*>(jack_port_get_buffer(self->in_[0], n));
        const float* r = static_cast<const float*>(jack_port_get_buffer(self->in_[1], n));
        // A cycle of the server's clock that never reached us is a hole in the recording.
        const jack_nframes_t t = jack_last_frame_time(self->client_);
        if (self->pos_.load(std::memory_order_relaxed) > 0 && t != self->lastTime_ + self->lastFrames_)
            self->gaps_.fetch_add(1, std::memory_order_relaxed);
        self->lastTime_ = t;
        self->lastFrames_ = n;
        size_t pos = self->pos_.load(std::memory_order_relaxed);
        for (jack_nframes_t i = 0; i < n && pos < self->left_.size(); ++i, ++pos) {
            self->left_[pos] = l[i];
            self->right_[pos] = r[i];
        }
        self->pos_.store(pos, std::memory_order_release);
        return 0;
    }
    static int xrun(void* arg) {
        auto* self = static_cast<TJackCapture*>(arg);
        if (self->recording_.load()) self->xruns_.fetch_add(1);
        return 0;
    }
    void close() {
        if (!client_) return;
        jack_deactivate(client_);
        jack_client_close(client_);
        client_ = nullptr;
    }

    std::string name_;
    jack_client_t* client_ = nullptr;
    jack_port_t* in_[2] = {nullptr, nullptr};
    std::vector<float> left_, right_;
    std::atomic<size_t> pos_{0};
    std::atomic<bool> recording_{false};
    std::atomic<int> xruns_{0};
    std::atomic<int> gaps_{0};
    jack_nframes_t lastTime_ = 0, lastFrames_ = 0;  // process thread only
};

}  // namespace txtest
