// Following a MIDI clock from another JACK client: start, clocks 25 ms apart,
// stop; the steps come every sixth clock and the tempo is measured as 100.
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <cmath>
#include <cstdio>

#include "JackServer.h"
#include "MidiDeviceSupport.h"
#include "ServerCheck.h"
#include "engine/Engine.h"
#include "midi/MidiIn.h"
#include "midi/devices/RtMidiPorts.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Records the step each PlayMidiStep call is for (called under the engine lock).
class TStepRecorder : public tx::TMidiStepSink {
public:
    explicit TStepRecorder(tx::TEngine& e) : engine_(e) {}
    void PlayMidiStep(int) override { steps.push_back(engine_.CurrentStep); }
    std::vector<int> steps;

private:
    tx::TEngine& engine_;
};

TEST(MidiInDevice, FollowsAClockStreamFromAnotherClient) {
    if (!txtest::JackMidiAnswers()) TX_SERVER_UNREACHABLE("no JACK server answers (run scripts/services start)");
    // A synchronous server of the test's own, so no client is skipped on a busy machine.
    txtest::TPrivateJackServer server("midi-in", true);
    ASSERT_TRUE(server.Up());
    tx::TLoop loop;
    tx::TEngineLock lock;
    tx::TSettings settings;
    loop.SetEngineLock(&lock);
    tx::TEngine engine(loop, lock, settings);
    engine.UseWAVOnly = false;
    engine.SyncToInput = true;
    loop.PlayingPatterns.Assign(1);
    TStepRecorder recorder(engine);
    engine.MidiSink = &recorder;

    const std::string sourceName = txtest::UniquePortName("clock");
    // Never destroyed: RtMidi's JACK output can crash its own process thread
    // when deleted (the product's ports keep theirs alive for the same reason).
    RtMidiOut& source = *new RtMidiOut(RtMidi::UNIX_JACK, "TrovamixTestClock");
    source.openVirtualPort(sourceName);

    tx::TMidiInput in(tx::MakeRtMidiInPort());
    tx::TMidiSync sync(engine);
    sync.Attach(in);
    std::mutex m;
    std::vector<bool> states;
    std::vector<int> tempi;
    sync.OnPlayingState = [&](bool started) {
        std::lock_guard<std::mutex> g(m);
        states.push_back(started);
    };
    sync.OnTempo = [&](int bpm) {
        std::lock_guard<std::mutex> g(m);
        tempi.push_back(bpm);
    };
    int dev = in.FindDevice(sourceName);
    ASSERT_GE(dev, 0) << "the clock source is not listed";
    in.SetDeviceID(dev);
    ASSERT_TRUE(in.Open()) << in.LastErrorText;
    in.Start();
    std::this_thread::sleep_for(milliseconds(100));  // let the connection settle

    // The sender keeps time at real-time priority where allowed, and notes
    // when each clock really left, so a late wake-up is not blamed on the receiver.
    sched_param rt{};
    rt.sched_priority = 5;
    bool realtime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &rt) == 0;
    auto send = [&](std::vector<unsigned char> bytes) { source.sendMessage(&bytes); };
    std::vector<Clock::time_point> sent(97);
    send({0xFA});
    Clock::time_point t0 = Clock::now();
    for (int k = 1; k <= 96; ++k) {
        std::this_thread::sleep_until(t0 + milliseconds(25) * k);
        sent[size_t(k)] = Clock::now();
        send({0xF8});
        // Junk between the clocks changes nothing.
        if (k == 20) send({0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7});
        if (k == 30) send({0x90, 60, 100});
        if (k == 40) send({0xF8, 0x00});
    }
    std::this_thread::sleep_until(t0 + milliseconds(25) * 97);
    send({0xFC});
    if (realtime) {
        rt.sched_priority = 0;
        pthread_setschedparam(pthread_self(), SCHED_OTHER, &rt);
    }
    std::this_thread::sleep_for(milliseconds(200));
    in.Close();
    source.closePort();
    const double spanMs = std::chrono::duration<double, std::milli>(sent[91] - sent[43]).count();

    std::vector<int> expectedSteps;
    for (int s = 0; s < 16; ++s) expectedSteps.push_back(s);  // clocks 1, 7, ..., 91
    {
        tx::TLockGuard g(&lock);
        EXPECT_EQ(recorder.steps, expectedSteps);
        EXPECT_FALSE(engine.Playing);
    }
    std::lock_guard<std::mutex> g(m);
    EXPECT_EQ(states, (std::vector<bool>{true, false}));
    ASSERT_EQ(tempi.size(), 1u);  // measured at clock 91, over clocks 43..91
    std::printf("tempo measured from the clock stream: %d BPM (clocks 43..91 sent %.2f ms apart)\n", tempi[0], spanMs);
    // 48 clocks of 25 ms: 120000 / 1200. JACK hands MIDI over once per period
    // (2.9 ms at 128 frames), so the span seen may be a few ms longer: 99.
    // Truncating division over a span seen up to two periods (6 ms) off.
    EXPECT_GE(tempi[0], int(120000.0 / (spanMs + 6.0)));
    EXPECT_LE(tempi[0], int(120000.0 / (spanMs - 6.0)));
    if (std::abs(spanMs - 1200.0) < 1.0) {
        EXPECT_GE(tempi[0], 99);
        EXPECT_LE(tempi[0], 100);
    }
    EXPECT_EQ(loop.Tempo, tempi[0]);
}

}  // namespace
