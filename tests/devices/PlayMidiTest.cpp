// `trovamix-cli play --midi-out PORT [--sync-in PORT]` against a JACK server:
// the steps reach the named port, the clock of another port drives them.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "CliRun.h"
#include "JackServer.h"
#include "MidiDeviceSupport.h"
#include "ServerCheck.h"
#include "loopfile/LoopFile.h"

namespace {

using Messages = std::vector<std::vector<unsigned char>>;
using std::chrono::milliseconds;

class PlayMidi : public ::testing::Test {
protected:
    void SetUp() override {
        if (!txtest::JackMidiAnswers()) TX_SERVER_UNREACHABLE("no JACK server answers (run scripts/services start)");
        server = std::make_unique<txtest::TPrivateJackServer>("play-midi", true);
        ASSERT_TRUE(server->Up());
        // 500 BPM: a step every 30 ms. Channel 0 plays key 36 on every step, program 7.
        tx::TLoop loop;
        tx::TChannel& c = loop.Channel(0);
        c.MidiNote = 36;
        c.MidiChannel = 9;
        c.MidiPatch = 7;
        c.Pattern(1).StepMask = 0xFFFF;
        loop.Tempo = 500;
        loopFile = (dir / "m.txp").string();
        ASSERT_EQ(tx::WriteLoop(loopFile, loop), "");
    }
    std::vector<std::string> play(const std::vector<std::string>& options) const {
        std::vector<std::string> args = {"play", loopFile, "--api", "null"};
        args.insert(args.end(), options.begin(), options.end());
        return args;
    }
    static int noteOns(const Messages& m) {
        return int(std::count_if(m.begin(), m.end(), [](const auto& b) { return b[0] == 0x99; }));
    }

    txtest::TempDir dir;
    std::string loopFile;
    std::unique_ptr<txtest::TPrivateJackServer> server;
};

TEST_F(PlayMidi, StepsGoToTheNamedPortOnTheStepTimer) {
    const std::string synth = txtest::UniquePortName("synth");
    txtest::TMidiSink sink(synth);
    const txtest::TCliResult r = txtest::RunCli(play({"--seconds", "1", "--midi-out", synth}));
    ASSERT_EQ(r.Status, 0) << r.Err;
    Messages got = sink.WaitFor(1000, milliseconds(300));
    ASSERT_GE(got.size(), 6u);
    // The setup first, then pan and note-on, and from the second step on the
    // note-off of the previous key first.
    EXPECT_EQ(got[0], (std::vector<unsigned char>{0xC9, 7}));
    EXPECT_EQ(Messages(got.begin() + 1, got.begin() + 6),
              (Messages{{0xB9, 10, 64}, {0x99, 36, 100}, {0x89, 36, 100}, {0xB9, 10, 64}, {0x99, 36, 100}}));
    // One second at 30 ms a step.
    EXPECT_GE(noteOns(got), 28);
    EXPECT_LE(noteOns(got), 34);
}

TEST_F(PlayMidi, FollowsTheClockOfAnotherPort) {
    const std::string synth = txtest::UniquePortName("synth");
    const std::string clock = txtest::UniquePortName("clock");
    txtest::TMidiSink sink(synth);
    RtMidiOut& source = *new RtMidiOut(RtMidi::UNIX_JACK, "TrovamixTestClock");  // never deleted: see RtMidiPorts.cpp
    source.openVirtualPort(clock);
    txtest::TCliRun run(play({"--seconds", "4", "--midi-out", synth, "--sync-in", clock}));
    // Wait for the command to be set up: it says what it plays once it runs.
    for (int i = 0; i < 200 && run.ErrSoFar().find("playing ") == std::string::npos; ++i)
        std::this_thread::sleep_for(milliseconds(50));
    std::this_thread::sleep_for(milliseconds(100));
    auto send = [&](unsigned char b) { source.sendMessage(&b, 1); };
    send(0xFA);
    auto t0 = std::chrono::steady_clock::now();
    for (int k = 1; k <= 13; ++k) {  // steps at clocks 1, 7 and 13
        std::this_thread::sleep_until(t0 + milliseconds(25) * k);
        send(0xF8);
    }
    std::this_thread::sleep_for(milliseconds(100));
    send(0xFC);
    const txtest::TCliResult r = run.Wait();
    source.closePort();
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Err.find("MIDI start\n"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("MIDI stop\n"), std::string::npos) << r.Err;
    EXPECT_EQ(noteOns(sink.WaitFor(1000, milliseconds(100))), 3);
}

TEST_F(PlayMidi, AnUnknownPortIsRefusedWithOneLine) {
    txtest::TCliResult r = txtest::RunCli(play({"--seconds", "1", "--midi-out", "no-such-synth-port"}));
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(txtest::OneErrorLine(r, "no-such-synth-port"));
    r = txtest::RunCli(play({"--seconds", "1", "--sync-in", "no-such-clock-port"}));
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("no-such-clock-port"), std::string::npos) << r.Err;
}

}  // namespace
