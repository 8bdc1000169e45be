// Following a transport master: start, stop and tempo reach the engine under
// its lock and the window only as events.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "EngineTestSupport.h"
#include "engine/Transport.h"

namespace {

using tx::TTransportState;

class Follower : public ::testing::Test {
protected:
    void SetUp() override {
        follower.OnPlayingState = [this](bool on) { states.push_back(on); };
        follower.OnTempo = [this](int bpm) { tempos.push_back(bpm); };
        auto p = std::make_unique<tx::TNullTransportPort>();
        port = p.get();
        ASSERT_EQ(follower.Attach(std::move(p)), "");
    }
    void See(bool rolling, double bpm = 0) {
        port->Set({rolling, bpm});
        follower.Poll();
    }
    txtest::EngineRig rig;
    tx::TTransportFollower follower{*rig.engine};
    tx::TNullTransportPort* port = nullptr;
    std::vector<bool> states;
    std::vector<int> tempos;
};

TEST_F(Follower, StartAndStopFollowTheTransportsEdgesOnly) {
    See(false);
    EXPECT_TRUE(states.empty());
    See(true);
    See(true);
    EXPECT_TRUE(rig.engine->Playing);
    EXPECT_EQ(states, std::vector<bool>{true});
    See(false);
    See(false);
    EXPECT_FALSE(rig.engine->Playing);
    EXPECT_EQ(rig.engine->CurrentStep, -1);
    EXPECT_EQ(states, (std::vector<bool>{true, false}));
    // Playing already (Start pressed by hand) when the master starts: the
    // window still hears it, the engine is not started over.
    rig.engine->Start();
    See(true);
    EXPECT_TRUE(rig.engine->Playing);
    EXPECT_EQ(states, (std::vector<bool>{true, false, true}));
}

TEST_F(Follower, TheMastersTempoRoundedAndHeldToTheLoopsRange) {
    struct Case {
        double bpm;
        int expected;        // the loop's tempo after the look
        bool event;          // whether the window hears of it
        int32_t stepLength;  // frames a sixteenth lasts: 44100 * 15 / tempo, truncated
    };
    // The loop starts at 140.
    for (const Case& c : {Case{0, 140, false, 4725}, Case{128.4, 128, true, 5167}, Case{128.2, 128, false, 5167},
                          Case{100.5, 100, true, 6615}, Case{7, 10, true, 66150}, Case{900, 500, true, 1323},
                          Case{0, 500, false, 1323}}) {
        SCOPED_TRACE(c.bpm);
        const size_t before = tempos.size();
        See(false, c.bpm);
        EXPECT_EQ(rig.loop.Tempo, c.expected);
        EXPECT_EQ(rig.engine->StepLength, c.stepLength);
        EXPECT_EQ(tempos.size(), before + (c.event ? 1 : 0));
        if (c.event) {
            EXPECT_EQ(tempos.back(), c.expected);
        }
    }
    EXPECT_TRUE(states.empty());
}

TEST_F(Follower, AFollowedMidiClockHasTheLastWord) {
    {
        tx::TLockGuard g(&rig.engine->EL);
        rig.engine->SyncToInput = true;
    }
    See(true, 120);
    EXPECT_FALSE(rig.engine->Playing);
    EXPECT_EQ(rig.loop.Tempo, 140);
    {
        tx::TLockGuard g(&rig.engine->EL);
        rig.engine->SyncToInput = false;
    }
    // The start seen while the clock led is not acted on afterwards.
    See(true, 0);
    EXPECT_FALSE(rig.engine->Playing);
    EXPECT_TRUE(states.empty());
    See(false);
    See(true);
    EXPECT_TRUE(rig.engine->Playing);
}

TEST_F(Follower, WhileAnotherThreadHoldsTheLockItLooksAgainLaterInsteadOfWaiting) {
    std::atomic<bool> held{false}, release{false};
    std::thread render([&] {
        tx::TLockGuard g(&rig.engine->EL);
        held = true;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    while (!held) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto t0 = std::chrono::steady_clock::now();
    See(true, 120);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(50));
    EXPECT_TRUE(states.empty());
    release = true;
    render.join();
    follower.Poll();  // the edge is still there to see
    EXPECT_TRUE(rig.engine->Playing);
    EXPECT_EQ(rig.loop.Tempo, 120);
    EXPECT_EQ(states, std::vector<bool>{true});
}

TEST(FollowerThread, LooksByItselfAndStopsPromptly) {
    txtest::EngineRig rig;
    tx::TTransportFollower follower{*rig.engine};
    std::atomic<int> started{0};
    follower.OnPlayingState = [&](bool on) { started += on ? 1 : 0; };
    auto p = std::make_unique<tx::TNullTransportPort>();
    tx::TNullTransportPort* port = p.get();
    ASSERT_EQ(follower.Start(std::move(p)), "");
    EXPECT_TRUE(follower.Following());
    EXPECT_TRUE(port->IsOpen());
    port->Set({true, 0});
    const auto t0 = std::chrono::steady_clock::now();
    while (started == 0 && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(2))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(started, 1);
    EXPECT_TRUE(rig.engine->Playing);
    const auto t1 = std::chrono::steady_clock::now();
    follower.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t1, std::chrono::milliseconds(200));
    EXPECT_FALSE(follower.Following());

    auto failing = std::make_unique<tx::TNullTransportPort>();
    failing->FailOpen = "no server";
    EXPECT_EQ(follower.Start(std::move(failing)), "no server");
    EXPECT_FALSE(follower.Following());
}

}  // namespace
