// The window's display timer reads the transport while playback threads
// change it; run under the thread sanitizer in CI (scripts/test).
#include <gtest/gtest.h>

#include <QApplication>
#include <atomic>
#include <thread>

#include "engine/Engine.h"
#include "model/Loop.h"
#include "skin/Style.h"
#include "window/MainForm.h"

namespace tx {
namespace {

TEST(WindowThreads, TheDisplayTimerReadsTheTransportWhileTheMixerStartsAndStops) {
    TLoop loop;
    TEngineLock lock;
    TSettings settings;
    loop.SetEngineLock(&lock);
    TEngine engine{loop, lock, settings};
    TTrovamixMainForm form(loop, &engine);
    form.ApplyStyle(LoadStyleData({"", "", FindEmbeddedStyleFile}));
    loop.SetStep(0, loop.CurrentPattern, 0, true);

    // A stand-in for the mixing thread: the transport changes under the
    // lock, block after block, as the clock and the MIDI input change it.
    std::atomic<bool> done{false};
    std::atomic<int> blocks{0};
    std::thread mixer([&] {
        TEngineLock::MarkPlaybackThread();
        for (int i = 0; !done; ++i) {
            TLockGuard g(&lock);
            if (i % 2 == 0)
                engine.StartClock();
            else
                engine.Playing = false;
            engine.MixBlock();
            ++blocks;
        }
    });
    for (int tick = 0; tick < 300 || blocks < 20; ++tick) form.ScopeTick();
    done = true;
    mixer.join();
    form.ScopeTick();
    EXPECT_GE(blocks, 20);
}

}  // namespace
}  // namespace tx
