#pragma once
// The loop the live playback tests play, made by hand (three samples of
// distinct shapes and levels, no randomness, pitch or filters, so its sound
// does not depend on block sizes), and the tools to render it with
// trovamix-cli and compare recordings with the renders.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/Engine.h"
#include "engine/SampleInstall.h"
#include "loopfile/LoopFile.h"

namespace txtest {

namespace fs = std::filesystem;

inline constexpr int Tempo = 280;                      // BPM of the test loop
inline constexpr int32_t StepFrames = 661500 / Tempo;  // 2362
inline constexpr int32_t PassFrames = 16 * StepFrames;  // one pattern: 37792 frames
inline const std::string Cli = std::string(TROVAMIX_BINARY_DIR) + "/trovamix-cli";

inline void writeWav16(const fs::path& p, const std::vector<int16_t>& frames) {
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
inline std::vector<int16_t> readWavFrames(const fs::path& p) {
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
inline void makeSamples(const fs::path& dir) {
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

inline fs::path makeLoop(const fs::path& dir) {
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

inline TCommand run(const std::string& command) {
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

inline std::vector<int16_t> render(const fs::path& loop, const char* remainder, const fs::path& out) {
    TCommand r = run(Cli + " render '" + loop.string() + "' -o '" + out.string() + "' --pattern --remainder " +
                     remainder + " --buffer 4410");
    EXPECT_EQ(r.Status, 0) << r.Out;
    return readWavFrames(out);
}

// Loads the loop and its samples as trovamix-cli does.
inline void loadLoop(const fs::path& file, tx::TLoop& loop, tx::TEngineLock& lock, tx::TEngine& engine) {
    loop.LoopFileName = file.string();
    tx::TLoopReadOptions options;
    options.Lock = &lock;
    options.OnSampleFileName = tx::MakeLoopSampleLoader(loop, {"/nonexistent/", loop.LoopFileName, {}}, &engine);
    ASSERT_TRUE(tx::ReadLoop(loop.LoopFileName, loop, options).Ok());
    for (int ch = 0; ch < 3; ++ch) ASSERT_TRUE(loop.Channel(ch).Sample.HasData()) << "sample of channel " << ch;
}

inline size_t firstSounding(const std::vector<int16_t>& pcm) {
    for (size_t i = 0; i < pcm.size(); ++i)
        if (pcm[i] != 0) return i / 2;
    return pcm.size() / 2;
}

// Compares `n` frames of the capture from frame `at` with the start of `expected`.
inline ::testing::AssertionResult sameFrames(const std::vector<int16_t>& live, size_t at, const std::vector<int16_t>& expected,
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
inline void keepForListening(const std::vector<int16_t>& pcm, const char* name) {
    fs::path dir = fs::path(TROVAMIX_BINARY_DIR) / "test-output";
    std::error_code ec;
    fs::create_directories(dir, ec);
    writeWav16(dir / name, pcm);
    std::fprintf(stderr, "capture written to %s\n", (dir / name).c_str());
}

}  // namespace txtest
