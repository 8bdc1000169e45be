// Live playback through a real JACK server (the dummy driver that
// scripts/services starts): what reaches the ports "Trovamix:outport 0/1",
// recorded by a client of the tests' own, must be the render of the same loop,
// bit for bit; a small block must play a minute without underruns with the
// other core busy; a server that goes away must end streaming cleanly.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "JackCapture.h"
#include "JackServer.h"
#include "LiveLoop.h"
#include "TestSupport.h"
#include "engine/Engine.h"
#include "engine/Render.h"
#include "engine/Streaming.h"
#include "engine/devices/RtAudioDevice.h"
#include "loopfile/LoopFile.h"
#include "engine/SampleInstall.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using namespace txtest;

namespace {

class JackPlayback : public ::testing::Test {
protected:
    void SetUp() override {
        if (!txtest::JackServerAnswers()) GTEST_SKIP() << "no JACK server answers (run scripts/services start)";
        // The comparison runs on a synchronous server of its own, so that no
        // client misses a cycle however busy the machine is.
        server = std::make_unique<txtest::TPrivateJackServer>("trovamix-exact", true);
        ASSERT_TRUE(server->Up()) << "the test's own JACK server did not start";
        loopFile = makeLoop(dir.path());
        cut = render(loopFile, "cut", dir / "cut.wav");
        wrap = render(loopFile, "wrap", dir / "wrap.wav");
        ASSERT_EQ(cut.size(), size_t(PassFrames) * 2);
        ASSERT_EQ(wrap.size(), size_t(PassFrames) * 2);
        // The tail of the long sample on step 14 makes the two differ.
        ASSERT_NE(cut, wrap);
    }
    std::unique_ptr<txtest::TPrivateJackServer> server;
    txtest::TempDir dir;
    fs::path loopFile;
    std::vector<int16_t> cut, wrap;
};

}  // namespace

// One recording of live playback. A recording with holes (server cycles that
// skipped the recording client, on an overloaded machine) proves nothing
// either way and is made again.
struct TTake {
    std::vector<int16_t> Pcm;
    int Gaps = 0;
    int Xruns = 0;
    int Underruns = -1;
    std::string Output;
};
constexpr int Takes = 3;  // recordings tried while they keep having holes

// Plays the loop with the engine and streaming output in this process.
void recordInProcess(const fs::path& loopFile, TTake& take) {
    txtest::TJackCapture capture("trovamix-test-capture", 44100 * 12);
    ASSERT_TRUE(capture.Ok());
    ASSERT_EQ(capture.Rate(), 44100u);

    tx::TSettings settings;
    tx::TEngineLock lock;
    tx::TLoop loop;
    loop.SetEngineLock(&lock);
    tx::TEngine engine(loop, lock, settings);
    loadLoop(loopFile, loop, lock, engine);
    engine.SetTempo(loop.Tempo);
    engine.SetMainCutOff(loop.MainCutOff);
    engine.SetMainResonance(loop.MainResonance);

    tx::TRtAudioSystem system;
    tx::TEngineBlockSource source(engine);
    tx::TStreaming streaming(lock, source, system);
    streaming.EnumerateDevices();
    ASSERT_TRUE(streaming.SelectDevice(tx::TAudioApi::Jack, ""));
    EXPECT_EQ(streaming.DeviceList()[size_t(streaming.Selected())].Description, "JACK: system");
    streaming.SetAheadLength(settings.AheadLength);
    streaming.Start(settings.BufferLength);
    ASSERT_TRUE(streaming.DeviceOpen()) << streaming.LastError();
    ASSERT_TRUE(capture.ConnectFrom("Trovamix:outport 0", "Trovamix:outport 1", 5s));
    capture.StartRecording();
    std::this_thread::sleep_for(200ms);
    engine.Start();
    // Three passes after the first step, which sounds within a buffer or two.
    const size_t want = capture.Frames() + 2 * 44100 + 3 * size_t(PassFrames);
    auto until = std::chrono::steady_clock::now() + 30s;
    while (capture.Frames() < want && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(10ms);
    engine.Stop();
    capture.StopRecording();
    take.Underruns = streaming.UnderrunCount();
    streaming.CloseDevice();
    take.Xruns = capture.Xruns();
    take.Gaps = capture.Gaps();
    std::string why;
    ASSERT_TRUE(capture.ToPcm16(take.Pcm, why)) << why;
    ASSERT_GE(take.Pcm.size(), want * 2);
}

// Plays the loop with `trovamix-cli play`.
void recordPlayCommand(const fs::path& loopFile, TTake& take) {
    txtest::TJackCapture capture("trovamix-test-capture", 44100 * 10);
    ASSERT_TRUE(capture.Ok());
    FILE* play = ::popen((Cli + " play '" + loopFile.string() + "' --seconds 3.5 --api jack").c_str(), "r");
    ASSERT_NE(play, nullptr);
    const bool connected = capture.ConnectFrom("Trovamix:outport 0", "Trovamix:outport 1", 10s);
    capture.StartRecording();
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, play)) > 0) take.Output.append(buf, n);
    const int st = ::pclose(play);
    capture.StopRecording();
    take.Xruns = capture.Xruns();
    take.Gaps = capture.Gaps();
    ASSERT_TRUE(connected);
    ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << take.Output;
    std::smatch m;
    if (std::regex_search(take.Output, m, std::regex("underruns: ([0-9]+)\n"))) take.Underruns = std::stoi(m[1]);
    std::string why;
    ASSERT_TRUE(capture.ToPcm16(take.Pcm, why)) << why;
}

TEST_F(JackPlayback, LiveOutputIsTheRenderBitForBit) {
    TTake take;
    for (int i = 0; i < Takes; ++i) {
        take = TTake{};
        recordInProcess(loopFile, take);
        if (HasFatalFailure()) return;
        if (take.Gaps == 0) break;
        std::fprintf(stderr, "the recording has %d holes (%d server xruns); recording again\n", take.Gaps,
                     take.Xruns);
    }
    ASSERT_EQ(take.Gaps, 0) << "every recording had holes: the machine is too busy for the server";
    RecordProperty("server_xruns", take.Xruns);
    EXPECT_EQ(take.Underruns, 0);
    const std::vector<int16_t>& live = take.Pcm;
    const size_t start = firstSounding(live);
    ASSERT_LT(start, live.size() / 2) << "nothing sounded";
    // The first pass is the pattern from silence (the render that cuts the
    // remainder); every later pass carries the tail of the one before (the
    // render that wraps it).
    const ::testing::AssertionResult first = sameFrames(live, start, cut, PassFrames);
    const ::testing::AssertionResult second = sameFrames(live, start + PassFrames, wrap, PassFrames);
    const ::testing::AssertionResult third = sameFrames(live, start + 2 * PassFrames, wrap, PassFrames);
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);
    EXPECT_TRUE(third);
    if (!first || !second || !third) keepForListening(live, "live-in-process.wav");
}

TEST_F(JackPlayback, PlayCommandSoundsLikeTheRenderCommand) {
    TTake take;
    for (int i = 0; i < Takes; ++i) {
        take = TTake{};
        recordPlayCommand(loopFile, take);
        if (HasFatalFailure()) return;
        if (take.Gaps == 0) break;
        std::fprintf(stderr, "the recording has %d holes (%d server xruns); recording again\n", take.Gaps,
                     take.Xruns);
    }
    ASSERT_EQ(take.Gaps, 0) << "every recording had holes: the machine is too busy for the server";
    RecordProperty("server_xruns", take.Xruns);
    EXPECT_EQ(take.Underruns, 0) << take.Output;
    EXPECT_TRUE(std::regex_search(take.Output, std::regex("CPU usage: [0-9]+%"))) << take.Output;

    const std::vector<int16_t>& live = take.Pcm;
    // The recording may begin after the first step: find where a wrapped pass
    // begins, then two whole passes from there must be the render exactly.
    const size_t frames = live.size() / 2;
    const size_t probe = 256;
    size_t at = frames;
    for (size_t i = 0; i + probe <= frames && at == frames; ++i) {
        if (std::memcmp(&live[i * 2], wrap.data(), probe * 4) == 0) at = i;
    }
    ASSERT_LT(at, frames) << "the wrapped pattern never appears in the recording";
    ASSERT_GE(frames, at + 2 * size_t(PassFrames)) << "recording too short";
    const ::testing::AssertionResult second = sameFrames(live, at, wrap, PassFrames);
    const ::testing::AssertionResult third = sameFrames(live, at + PassFrames, wrap, PassFrames);
    EXPECT_TRUE(second);
    EXPECT_TRUE(third);
    // When the recording holds the first pass too, it is the render that cuts the remainder.
    if (at >= size_t(PassFrames) && firstSounding(live) == at - PassFrames) {
        EXPECT_TRUE(sameFrames(live, at - PassFrames, cut, PassFrames));
    }
    if (!second || !third) keepForListening(live, "live-play-command.wav");
}

TEST(JackStreaming, SmallBlocksPlayAMinuteWithTheOtherCoreBusy) {
    if (!txtest::JackServerAnswers()) GTEST_SKIP() << "no JACK server answers (run scripts/services start)";
    std::string loopFile = std::string(TROVAMIX_BINARY_DIR) + "/Default/Default.txp";
    txtest::TempDir dir;
    if (!fs::exists(loopFile)) loopFile = makeLoop(dir.path()).string();
    // Counts the server's own late cycles meanwhile, to tell a busy machine from a late mixer.
    txtest::TJackCapture watch("trovamix-test-xruns", 1);
    watch.StartRecording();
    std::atomic<bool> stop{false};
    std::thread busy([&] {
        volatile uint64_t x = 0;
        while (!stop.load(std::memory_order_relaxed)) x = x + 1;
    });
    TCommand r = run(Cli + " play '" + loopFile + "' --seconds 60 --api jack --buffer 576 --ahead 576");
    stop.store(true);
    busy.join();
    ASSERT_EQ(r.Status, 0) << r.Out;
    EXPECT_NE(r.Out.find("underruns: 0\n"), std::string::npos)
        << r.Out << "(the server reported " << watch.Xruns() << " late cycles of its own meanwhile)";
    std::smatch m;
    if (std::regex_search(r.Out, m, std::regex("average CPU usage: ([0-9.]+)%"))) {
        RecordProperty("average_cpu_percent", m[1].str());
        std::printf("block 576: %s", r.Out.c_str());
    }
}

// A JACK server of this test's own, stopped while the program plays.
TEST(JackStreaming, AServerThatStopsEndsStreamingAndRenderingStillWorks) {
    if (!txtest::JackServerAnswers()) GTEST_SKIP() << "no JACK server answers (run scripts/services start)";
    txtest::TPrivateJackServer server("trovamix-vanishing", false);
    ASSERT_TRUE(server.Up()) << "the test's own JACK server did not start";

    txtest::TempDir dir;
    const fs::path loopFile = makeLoop(dir.path());
    tx::TSettings settings;
    tx::TEngineLock lock;
    tx::TLoop loop;
    loop.SetEngineLock(&lock);
    tx::TEngine engine(loop, lock, settings);
    loadLoop(loopFile, loop, lock, engine);
    engine.SetTempo(loop.Tempo);
    {
        tx::TRtAudioSystem system;
        tx::TEngineBlockSource source(engine);
        tx::TStreaming streaming(lock, source, system);
        std::atomic<int> lostCalls{0};
        streaming.OnDeviceLost = [&] { lostCalls.fetch_add(1); };
        streaming.SetWatchdog(300);
        streaming.EnumerateDevices();
        ASSERT_TRUE(streaming.SelectDevice(tx::TAudioApi::Jack, ""));
        streaming.Start(settings.BufferLength);
        ASSERT_TRUE(streaming.DeviceOpen()) << streaming.LastError();
        engine.Start();
        std::this_thread::sleep_for(500ms);
        EXPECT_GT(streaming.BlocksMixed(), 2);
        server.Stop();
        auto until = std::chrono::steady_clock::now() + 10s;
        while (!streaming.DeviceLost() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(10ms);
        EXPECT_TRUE(streaming.DeviceLost());
        EXPECT_EQ(lostCalls.load(), 1);
        EXPECT_NE(streaming.LostMessage().find("JACK server"), std::string::npos) << streaming.LostMessage();
        engine.Stop();

        // Rendering works while the lost device is still held, and after it is released.
        tx::TRenderResult r = tx::RenderWAV(engine, (dir / "after-loss.wav").string());
        EXPECT_TRUE(r.Ok) << r.Error;
        EXPECT_EQ(r.DataBytes, int64_t(PassFrames) * 4);
        streaming.CloseDevice();
        EXPECT_FALSE(streaming.DeviceOpen());
        r = tx::RenderWAV(engine, (dir / "after-close.wav").string());
        EXPECT_TRUE(r.Ok) << r.Error;
        EXPECT_EQ(readWavFrames(dir / "after-close.wav"), readWavFrames(dir / "after-loss.wav"));
    }
}
