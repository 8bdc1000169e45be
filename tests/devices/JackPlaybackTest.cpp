// Live playback through a real JACK server (the dummy driver that
// scripts/services starts): what reaches the ports "Trovamix:outport 0/1",
// recorded by a client of the tests' own, must be the render of the same loop,
// bit for bit; a small block must play a minute without a late block with the
// other core busy; on a saturated machine a recording that differs from the
// render must show in the underrun count; a server that goes away must end
// streaming cleanly.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <thread>

#include "JackCapture.h"
#include "JackServer.h"
#include "LiveLoop.h"
#include "ServerCheck.h"
#include "engine/Render.h"
#include "engine/Streaming.h"
#include "engine/devices/RtAudioDevice.h"

using namespace std::chrono_literals;
using namespace txtest;

namespace {

// One recording of live playback. A recording with holes (server cycles that
// skipped the recording client, on an overloaded machine) proves nothing
// either way and is made again, up to three times.
struct TTake {
    std::vector<int16_t> Pcm;
    // Underruns: the mixer's late blocks. On a synchronous server JACK's own
    // late cycles (reported as dropouts) lose no data: the recording shows it.
    int Gaps = 0, Xruns = 0, Underruns = -1, Dropouts = 0;
    std::string Output;
};

template <typename Record>
TTake recordWithoutHoles(Record record) {
    TTake take;
    for (int i = 0; i < 3; ++i) {
        take = TTake{};
        record(take);
        if (::testing::Test::HasFatalFailure() || take.Gaps == 0) break;
        std::fprintf(stderr, "the recording has %d holes (%d server xruns); recording again\n", take.Gaps, take.Xruns);
    }
    return take;
}

void finish(TJackCapture& capture, TTake& take) {
    capture.StopRecording();
    take.Xruns = capture.Xruns();
    take.Gaps = capture.Gaps();
    std::string why;
    ASSERT_TRUE(capture.ToPcm16(take.Pcm, why)) << why;
}

class JackPlayback : public ::testing::Test {
protected:
    void SetUp() override {
        if (!JackServerAnswers()) TX_SERVER_UNREACHABLE("no JACK server answers (run scripts/services start)");
        // The comparison runs on a synchronous server of its own, so that no
        // client misses a cycle however busy the machine is.
        server = std::make_unique<TPrivateJackServer>("trovamix-exact", true);
        ASSERT_TRUE(server->Up()) << "the test's own JACK server did not start";
        loopFile = makeLoop(dir.path());
        cut = render(loopFile, "cut", dir / "cut.wav");
        wrap = render(loopFile, "wrap", dir / "wrap.wav");
        ASSERT_EQ(cut.size(), size_t(PassFrames) * 2);
        ASSERT_NE(cut, wrap);  // the tail of the long sample on step 14
    }
    void TearDown() override {
        if (take.Underruns >= 0) {
            RecordProperty("server_xruns", take.Xruns);
            RecordProperty("device_dropouts", take.Dropouts);
        }
    }
    std::unique_ptr<TPrivateJackServer> server;
    TempDir dir;
    fs::path loopFile;
    std::vector<int16_t> cut, wrap;
    TTake take;
};

}  // namespace

// The engine and the streaming output in this process, recorded from before
// the engine starts until three passes have sounded.
TEST_F(JackPlayback, LiveOutputIsTheRenderBitForBit) {
    take = recordWithoutHoles([&](TTake& t) {
        TJackCapture capture("trovamix-test-capture", 44100 * 12);
        ASSERT_TRUE(capture.Ok());
        ASSERT_EQ(capture.Rate(), 44100u);
        tx::TSettings settings;
        tx::TEngineLock lock;
        tx::TLoop loop;
        loop.SetEngineLock(&lock);
        tx::TEngine engine(loop, lock, settings);
        loadLoop(loopFile, loop, lock, engine);
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
        for (auto until = std::chrono::steady_clock::now() + 30s;
             capture.Frames() < want && std::chrono::steady_clock::now() < until;)
            std::this_thread::sleep_for(10ms);
        engine.Stop();
        t.Dropouts = streaming.Buffer().Dropouts();
        t.Underruns = streaming.UnderrunCount() - t.Dropouts;
        streaming.CloseDevice();
        finish(capture, t);
    });
    if (HasFatalFailure()) return;
    ASSERT_EQ(take.Gaps, 0) << "every recording had holes: the machine is too busy for the server";
    EXPECT_EQ(take.Underruns, 0);
    EXPECT_TRUE(isTheRender(take.Pcm, cut, wrap, true, "live-in-process.wav"));
}

// `trovamix-cli play`, recorded from its ports while it plays 3.5 s.
TEST_F(JackPlayback, PlayCommandSoundsLikeTheRenderCommand) {
    take = recordWithoutHoles([&](TTake& t) {
        TJackCapture capture("trovamix-test-capture", 44100 * 10);
        ASSERT_TRUE(capture.Ok());
        TCliRun play({"play", loopFile.string(), "--seconds", "3.5", "--api", "jack"});
        const bool connected = capture.ConnectFrom("Trovamix:outport 0", "Trovamix:outport 1", 10s);
        capture.StartRecording();
        const TCliResult r = play.Wait();
        t.Output = r.Out + r.Err;
        finish(capture, t);
        ASSERT_TRUE(connected) << t.Output;
        ASSERT_EQ(r.Status, 0) << t.Output;
        std::smatch m;
        if (std::regex_search(r.Err, m, std::regex("of the underruns, ([0-9]+) were dropouts")))
            t.Dropouts = std::stoi(m[1]);
        if (std::regex_search(r.Out, m, std::regex("underruns: ([0-9]+)\n")))
            t.Underruns = std::stoi(m[1]) - t.Dropouts;
    });
    if (HasFatalFailure()) return;
    ASSERT_EQ(take.Gaps, 0) << "every recording had holes: the machine is too busy for the server";
    EXPECT_EQ(take.Underruns, 0) << take.Output;
    EXPECT_TRUE(std::regex_search(take.Output, std::regex("CPU usage: [0-9]+%"))) << take.Output;
    EXPECT_TRUE(isTheRender(take.Pcm, cut, wrap, false, "live-play-command.wav"));
}

TEST(JackStreaming, SmallBlocksPlayAMinuteWithTheOtherCoreBusy) {
    if (!JackServerAnswers()) TX_SERVER_UNREACHABLE("no JACK server answers (run scripts/services start)");
    std::string loopFile = std::string(TROVAMIX_BINARY_DIR) + "/Default/Default.txp";
    TempDir dir;
    if (!fs::exists(loopFile)) loopFile = makeLoop(dir.path()).string();
    // Counts the server's own late cycles meanwhile, to tell a busy machine from a late mixer.
    TJackCapture watch("trovamix-test-xruns", 1);
    watch.StartRecording();
    std::atomic<bool> stop{false};
    std::thread busy([&] {
        volatile uint64_t x = 0;
        while (!stop.load(std::memory_order_relaxed)) x = x + 1;
    });
    const TCliResult r = RunCli({"play", loopFile, "--seconds", "60", "--api", "jack", "--buffer", "576", "--ahead", "576"}, 150s);
    stop.store(true);
    busy.join();
    ASSERT_EQ(r.Status, 0) << r.Err;
    // Every block of ours must be on time. Dropouts JACK reports (its own late
    // cycles on a machine this busy) are underruns too, but not the mixer's.
    std::smatch m;
    int underruns = -1, dropouts = 0;
    if (std::regex_search(r.Out, m, std::regex("underruns: ([0-9]+)\n"))) underruns = std::stoi(m[1]);
    if (std::regex_search(r.Err, m, std::regex("of the underruns, ([0-9]+) were dropouts"))) dropouts = std::stoi(m[1]);
    ASSERT_GE(underruns, 0) << r.Out;
    EXPECT_EQ(underruns - dropouts, 0) << r.Out << r.Err << "(the server reported " << watch.Xruns()
                                       << " late cycles of its own meanwhile)";
    RecordProperty("device_dropouts", dropouts);
    if (std::regex_search(r.Out, m, std::regex("average CPU usage: ([0-9.]+)%"))) {
        RecordProperty("average_cpu_percent", m[1].str());
        std::printf("block 576: %s", r.Out.c_str());
    }
}

// Both cores saturated on the shared asynchronous server: the sound may break
// up, but then the count the user is shown must say so.
TEST(JackStreaming, ASoundThatBrokeUpUnderLoadIsNeverReportedAsZeroUnderruns) {
    constexpr int ManyXruns = 10;
    if (!JackServerAnswers()) TX_SERVER_UNREACHABLE("no JACK server answers (run scripts/services start)");
    TempDir dir;
    const fs::path loopFile = makeLoop(dir.path());
    const std::vector<int16_t> wrap = render(loopFile, "wrap", dir / "wrap.wav");
    const std::vector<int16_t> cut = render(loopFile, "cut", dir / "cut.wav");
    std::atomic<bool> stop{false};
    auto spin = [&] {
        for (volatile uint64_t x = 0; !stop.load(std::memory_order_relaxed);) x = x + 1;
    };
    std::thread busy[] = {std::thread(spin), std::thread(spin)};
    TJackCapture capture("trovamix-test-loaded", 44100 * 10);
    TCliRun play({"play", loopFile.string(), "--seconds", "3.5", "--api", "jack"});
    const bool connected = capture.ConnectFrom("Trovamix:outport 0", "Trovamix:outport 1", 10s);
    capture.StartRecording();
    const TCliResult r = play.Wait();
    stop.store(true);
    for (auto& t : busy) t.join();
    TTake take;
    finish(capture, take);
    ASSERT_TRUE(connected) << r.Out << r.Err;
    ASSERT_EQ(r.Status, 0) << r.Err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.Out, m, std::regex("underruns: ([0-9]+)\n"))) << r.Out;
    const int underruns = std::stoi(m[1]);
    // JACK tells every client of its late cycles; a few may fall in the
    // moments the recorder runs without the player, but not this many.
    if (take.Xruns >= ManyXruns) {
        EXPECT_GT(underruns, 0) << "the server reported " << take.Xruns << " late cycles, yet: " << r.Out << r.Err;
    }
    // A recorder that missed cycles itself proves nothing about the player.
    if (take.Gaps == 0 && !isTheRender(take.Pcm, cut, wrap, false, "live-under-load.wav")) {
        EXPECT_GT(underruns, 0) << "the recording differs from the render, yet: " << r.Out << r.Err;
    }
}

// A JACK server of this test's own, stopped while the program plays.
TEST(JackStreaming, AServerThatStopsEndsStreamingAndRenderingStillWorks) {
    if (!JackServerAnswers()) TX_SERVER_UNREACHABLE("no JACK server answers (run scripts/services start)");
    TPrivateJackServer server("trovamix-vanishing", false);
    ASSERT_TRUE(server.Up()) << "the test's own JACK server did not start";

    TempDir dir;
    const fs::path loopFile = makeLoop(dir.path());
    tx::TSettings settings;
    tx::TEngineLock lock;
    tx::TLoop loop;
    loop.SetEngineLock(&lock);
    tx::TEngine engine(loop, lock, settings);
    loadLoop(loopFile, loop, lock, engine);
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
        EXPECT_EQ(ReadWav16(dir / "after-close.wav"), ReadWav16(dir / "after-loss.wav"));
    }
}
