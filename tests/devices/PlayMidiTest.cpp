// `trovamix-cli play --midi-out PORT [--sync-in PORT]` against a JACK server:
// the steps reach the named port, the clock of another port drives them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "JackServer.h"
#include "MidiDeviceSupport.h"
#include "TestSupport.h"
#include "loopfile/LoopFile.h"

namespace {

using Messages = std::vector<std::vector<unsigned char>>;
using std::chrono::milliseconds;

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string readAll(const std::filesystem::path& p) {
    std::ifstream f(p);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

class PlayMidi : public ::testing::Test {
protected:
    void SetUp() override {
        if (!txtest::JackMidiAnswers()) GTEST_SKIP() << "no JACK server answers (run scripts/services start)";
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
    // Runs the play command; returns its exit status, stderr in `err`.
    int play(const std::vector<std::string>& args, std::string& err) {
        std::string cmd =
            quote(std::string(TROVAMIX_BINARY_DIR) + "/trovamix-cli") + " play " + quote(loopFile) + " --api null";
        for (const auto& a : args) cmd += " " + quote(a);
        cmd += " </dev/null >/dev/null 2>" + quote(errFile().string());
        int raw = std::system(cmd.c_str());
        err = readAll(errFile());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::filesystem::path errFile() const { return dir / "stderr.txt"; }
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
    std::string err;
    ASSERT_EQ(play({"--seconds", "1", "--midi-out", synth}, err), 0) << err;
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
    std::string err;
    int status = -1;
    std::thread run([&] { status = play({"--seconds", "4", "--midi-out", synth, "--sync-in", clock}, err); });
    // Wait for the command to be set up: it says what it plays once it runs.
    for (int i = 0; i < 200 && readAll(errFile()).find("playing ") == std::string::npos; ++i)
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
    run.join();
    source.closePort();
    EXPECT_EQ(status, 0) << err;
    EXPECT_NE(err.find("MIDI start\n"), std::string::npos) << err;
    EXPECT_NE(err.find("MIDI stop\n"), std::string::npos) << err;
    EXPECT_EQ(noteOns(sink.WaitFor(1000, milliseconds(100))), 3);
}

TEST_F(PlayMidi, AnUnknownPortIsRefusedWithOneLine) {
    std::string err;
    EXPECT_EQ(play({"--seconds", "1", "--midi-out", "no-such-synth-port"}, err), 1);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("no-such-synth-port"), std::string::npos) << err;
    EXPECT_EQ(play({"--seconds", "1", "--sync-in", "no-such-clock-port"}, err), 1);
    EXPECT_NE(err.find("no-such-clock-port"), std::string::npos) << err;
}

}  // namespace
