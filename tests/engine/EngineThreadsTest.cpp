// The engine as the program drives it from several threads at once: a mixing
// thread (one lock per block), a step timer ticking the MIDI side, a display
// reading lights, peaks and the scope, and the window thread changing tempo,
// patterns, song mode and the master filter. Meant for the thread sanitizer;
// in a normal build it checks that everything kept running.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "EngineTestSupport.h"

using namespace tx;
using txtest::EngineRig;
using txtest::FillSample;

namespace {

class CountingSink : public TMidiStepSink {
public:
    void PlayMidiStep(int) override { ++steps; }
    int steps = 0;  // under the engine lock
};

TEST(EngineThreads, MixerTimerDisplayAndWindowRunTogether) {
    EngineRig rig(576);
    TLoop& loop = rig.loop;
    TEngine& e = *rig.engine;
    for (int c = 0; c < 4; ++c) {
        FillSample(
            loop.Channel(c).Sample, 3000, [c](int32_t i) { return int16_t((i * (c + 2)) % 9000); },
            [](int32_t i) { return int16_t(-(i % 7000)); });
        for (int p = 1; p <= 3; ++p) loop.Channel(c).Pattern(p).StepMask = uint16_t(0x5555 << (c % 2));
    }
    loop.Channel(1).DelayFeed = 100;
    loop.PlayList.SetPatternAt(1, 0, true);
    loop.PlayList.SetPatternAt(2, 1, true);
    CountingSink sink;
    e.MidiSink = &sink;
    std::atomic<int> posted{0};
    e.PostDisplayUpdate = [&posted] { posted.fetch_add(1, std::memory_order_relaxed); };
    e.ScopeButton = true;
    e.SetTempo(500);
    e.Start();

    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0}, scopes{0}, lit{0};
    std::thread mixer([&] {
        std::vector<int16_t> out(576 * 2);
        while (!stop.load()) {
            rig.lock.Lock();
            e.MixBlock();
            e.ConvertBlock(0, out.data(), 0, 200 * 4);
            e.ConvertBlock(200, out.data() + 400, 200 * 4, 376 * 4);
            rig.lock.Unlock();
            blocks.fetch_add(1);
        }
    });
    std::thread timer([&] {
        while (!stop.load()) {
            e.StepTick();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    std::thread display([&] {
        std::vector<int16_t> copy;
        TAudibleState shown;
        while (!stop.load()) {
            e.ShowAudible(EverythingAudible, shown);  // no device: everything mixed is heard
            for (int c = 0; c < 4; ++c) {
                if (loop.Channel(c).ActivityLight.exchange(0) > 0) lit.fetch_add(1);
                for (auto& l : loop.Channel(c).StepLight) l.store(std::max(0, l.load() - 32));
            }
            if (e.ScopeFilled.load(std::memory_order_acquire)) {
                copy = rig.lock.ScopeSample.Data;  // the mixer leaves it alone until we clear the flag
                e.ScopeFilled.store(false, std::memory_order_release);
                scopes.fetch_add(1);
            }
            e.PeakLeft.store(0);
            e.DisplayUpdateFlag.store(true);
            std::this_thread::yield();
        }
    });

    // The window thread.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(600);
    for (int i = 0; std::chrono::steady_clock::now() < until; ++i) {
        e.SetTempo(100 + (i * 37) % 400);
        e.SetMainCutOff((i * 91) % 1009);
        e.SetMainResonance((i * 53) % 993);
        switch (i % 6) {
            case 0:
                e.ChoosePattern(1 + i % 3);
                break;
            case 1:
                e.SetSongMode(i % 4 == 1);
                break;
            case 2:
                e.JumpToSongPosition(i % 2);
                break;
            case 3:
                e.Stop();
                break;
            case 4:
                e.Start();
                break;
            default: {
                TLockGuard g(&rig.lock);  // a channel edit the mixer reads
                loop.Channel(2).Volume = i % 128;
                loop.Shuffle = i % 129;
            }
        }
        if (i % 3 == 0) e.SetUseWAVOnly(i % 2 == 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    stop = true;
    mixer.join();
    timer.join();
    display.join();

    EXPECT_GT(blocks.load(), 50);
    EXPECT_GT(scopes.load(), 5);
    EXPECT_GT(lit.load(), 5);
    EXPECT_GT(posted.load(), 5);
    TLockGuard g(&rig.lock);
    EXPECT_GT(sink.steps, 0);
}

}  // namespace
