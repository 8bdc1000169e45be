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
#include "TestSupport.h"
#include "engine/Engine.h"
#include "engine/Render.h"
#include "engine/Streaming.h"
#include "engine/devices/RtAudioDevice.h"
#include "loopfile/LoopFile.h"
#include "engine/SampleInstall.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr int Tempo = 280;                         // BPM of the test loop
constexpr int32_t StepFrames = 661500 / Tempo;     // 2362
constexpr int32_t PassFrames = 16 * StepFrames;    // one pattern: 37792 frames
const std::string Cli = std::string(TROVAMIX_BINARY_DIR) + "/trovamix-cli";

void writeWav16(const fs::path& p, const std::vector<int16_t>& frames) {
    const uint32_t dataBytes = uint32_t(frames.size() * 2);
    std::vector<unsigned char> b(44 + size_t(dataBytes));
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + size_t(i)] = (unsigned char)(v >> (8 * i));
    };
    auto put16 = [&](size_t at, uint32_t v) {
        b[at] = (unsigned char)v;
        b[at + 1] = (unsigned char)(v >> 8);
    };
    std::memcpy(&b[0], "RIFF", 4);
    put32(4, 36 + dataBytes);
    std::memcpy(&b[8], "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);       // PCM
    put16(22, 2);       // channels
    put32(24, 44100);   // frames per second
    put32(28, 176400);  // bytes per second
    put16(32, 4);       // bytes per frame
    put16(34, 16);      // bits per sample
    std::memcpy(&b[36], "data", 4);
    put32(40, dataBytes);
    std::memcpy(&b[44], frames.data(), dataBytes);
    txtest::WriteFileBytes(p, b);
}

// The frames of a 16-bit stereo WAV file (our renders), found by walking its chunks.
std::vector<int16_t> readWavFrames(const fs::path& p) {
    std::vector<unsigned char> b = txtest::ReadFileBytes(p);
    size_t pos = 12;
    while (pos + 8 <= b.size()) {
        uint32_t size = uint32_t(b[pos + 4]) | uint32_t(b[pos + 5]) << 8 | uint32_t(b[pos + 6]) << 16 |
                        uint32_t(b[pos + 7]) << 24;
        if (std::memcmp(&b[pos], "data", 4) == 0) {
            std::vector<int16_t> out(std::min<size_t>(size, b.size() - pos - 8) / 2);
            std::memcpy(out.data(), &b[pos + 8], out.size() * 2);
            return out;
        }
        pos += 8 + size + (size & 1);
    }
    return {};
}

// Three hand-made samples with distinct shapes and levels; no randomness
// anywhere, no pitch, no filters, so the sound does not depend on block sizes.
void makeSamples(const fs::path& dir) {
    std::vector<int16_t> a, b, c;
    for (int i = 0; i < 1500; ++i) {  // a saw-like click
        int16_t l = int16_t((i * 7919) % 30001 - 15000);
        a.push_back(l);
        a.push_back(int16_t(-l / 2));
    }
    for (int i = 0; i < 3000; ++i) {  // a square, quieter on the right
        int16_t l = (i / 50) % 2 ? 8000 : -8000;
        b.push_back(l);
        b.push_back(int16_t(l / 3));
    }
    for (int i = 0; i < 20000; ++i) {  // a long decaying square that rings into the next pass
        int16_t l = int16_t((12000 * (20000 - i)) / 20000 * (i % 200 < 100 ? 1 : -1));
        c.push_back(l);
        c.push_back(l);
    }
    writeWav16(dir / "a.wav", a);
    writeWav16(dir / "b.wav", b);
    writeWav16(dir / "c.wav", c);
}

fs::path makeLoop(const fs::path& dir) {
    makeSamples(dir);
    tx::TLoop loop;
    loop.Tempo = Tempo;
    loop.CurrentPattern = 1;
    loop.SongMode = false;
    struct Row {
        const char* file;
        int volume, pan;
        std::vector<int> steps;
    };
    const Row rows[] = {{"a.wav", 100, 64, {0, 4, 8, 12}}, {"b.wav", 90, 30, {2, 6, 10, 14}}, {"c.wav", 110, 100, {5, 14}}};
    for (int ch = 0; ch < 3; ++ch) {
        tx::TChannel& c = loop.Channel(ch);
        c.SampleFileName = rows[ch].file;
        c.Name = rows[ch].file;
        c.Volume = rows[ch].volume;
        c.Pan = rows[ch].pan;
        for (int s : rows[ch].steps) c.Pattern(1).SetStep(s, true);
    }
    fs::path file = dir / "live.txp";
    std::string err = tx::WriteLoop(file.string(), loop);
    EXPECT_EQ(err, "");
    return file;
}

struct TCommand {
    int Status = -1;
    std::string Out;
};

TCommand run(const std::string& command) {
    TCommand r;
    FILE* f = ::popen(command.c_str(), "r");
    if (!f) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) r.Out.append(buf, n);
    int st = ::pclose(f);
    r.Status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::vector<int16_t> render(const fs::path& loop, const char* remainder, const fs::path& out) {
    TCommand r = run(Cli + " render '" + loop.string() + "' -o '" + out.string() + "' --pattern --remainder " +
                     remainder + " --buffer 4410");
    EXPECT_EQ(r.Status, 0) << r.Out;
    return readWavFrames(out);
}

// Loads the loop and its samples as trovamix-cli does.
void loadLoop(const fs::path& file, tx::TLoop& loop, tx::TEngineLock& lock, tx::TEngine& engine) {
    loop.LoopFileName = file.string();
    tx::TLoopReadOptions options;
    options.Lock = &lock;
    options.OnSampleFileName = tx::MakeLoopSampleLoader(loop, {"/nonexistent/", loop.LoopFileName, {}}, &engine);
    ASSERT_TRUE(tx::ReadLoop(loop.LoopFileName, loop, options).Ok());
    for (int ch = 0; ch < 3; ++ch) ASSERT_TRUE(loop.Channel(ch).Sample.HasData()) << "sample of channel " << ch;
}

size_t firstSounding(const std::vector<int16_t>& pcm) {
    for (size_t i = 0; i < pcm.size(); ++i)
        if (pcm[i] != 0) return i / 2;
    return pcm.size() / 2;
}

// Compares `n` frames of the capture from frame `at` with the start of `expected`.
::testing::AssertionResult sameFrames(const std::vector<int16_t>& live, size_t at, const std::vector<int16_t>& expected,
                                      size_t n) {
    if (expected.size() < n * 2) return ::testing::AssertionFailure() << "render has only " << expected.size() / 2;
    if (live.size() < (at + n) * 2) return ::testing::AssertionFailure() << "capture too short";
    for (size_t i = 0; i < n * 2; ++i) {
        if (live[at * 2 + i] != expected[i]) {
            return ::testing::AssertionFailure() << "frame " << i / 2 << (i % 2 ? " right" : " left") << ": live "
                                                 << live[at * 2 + i] << ", render " << expected[i];
        }
    }
    return ::testing::AssertionSuccess();
}

// Keeps the capture for listening when a comparison failed.
void keepForListening(const std::vector<int16_t>& pcm, const char* name) {
    fs::path dir = fs::path(TROVAMIX_BINARY_DIR) / "test-output";
    std::error_code ec;
    fs::create_directories(dir, ec);
    writeWav16(dir / name, pcm);
    std::fprintf(stderr, "capture written to %s\n", (dir / name).c_str());
}

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
    std::atomic<bool> stop{false};
    std::thread busy([&] {
        volatile uint64_t x = 0;
        while (!stop.load(std::memory_order_relaxed)) x = x + 1;
    });
    TCommand r = run(Cli + " play '" + loopFile + "' --seconds 60 --api jack --buffer 576 --ahead 576");
    stop.store(true);
    busy.join();
    ASSERT_EQ(r.Status, 0) << r.Out;
    EXPECT_NE(r.Out.find("underruns: 0\n"), std::string::npos) << r.Out;
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
