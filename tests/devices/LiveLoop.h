#pragma once
// The loop the live playback tests play, made by hand (three samples of
// distinct shapes and levels, no randomness, pitch or filters, so its sound
// does not depend on block sizes), its renders by trovamix-cli, and the
// comparison of recordings with them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "CliRun.h"
#include "Wav16.h"
#include "engine/Engine.h"
#include "engine/LoadLoop.h"
#include "engine/SampleInstall.h"
#include "loopfile/LoopFile.h"

namespace txtest {

namespace fs = std::filesystem;

inline constexpr int Tempo = 280;                       // BPM of the test loop
inline constexpr int32_t StepFrames = 661500 / Tempo;   // 2362
inline constexpr int32_t PassFrames = 16 * StepFrames;  // one pattern: 37792 frames

inline fs::path makeLoop(const fs::path& dir) {
    std::vector<int16_t> a, b, c;
    for (int i = 0; i < 1500; ++i) {  // a saw-like click
        int16_t l = int16_t((i * 7919) % 30001 - 15000);
        a.insert(a.end(), {l, int16_t(-l / 2)});
    }
    for (int i = 0; i < 3000; ++i) {  // a square, quieter on the right
        int16_t l = (i / 50) % 2 ? 8000 : -8000;
        b.insert(b.end(), {l, int16_t(l / 3)});
    }
    for (int i = 0; i < 20000; ++i) {  // a long decaying square that rings into the next pass
        int16_t l = int16_t((12000 * (20000 - i)) / 20000 * (i % 200 < 100 ? 1 : -1));
        c.insert(c.end(), {l, l});
    }
    WriteWav16(dir / "a.wav", a);
    WriteWav16(dir / "b.wav", b);
    WriteWav16(dir / "c.wav", c);
    tx::TLoop loop;
    loop.Tempo = Tempo;
    loop.CurrentPattern = 1;
    loop.SongMode = false;
    struct Row {
        const char* file;
        int volume, pan;
        std::vector<int> steps;
    };
    const Row rows[] = {
        {"a.wav", 100, 64, {0, 4, 8, 12}}, {"b.wav", 90, 30, {2, 6, 10, 14}}, {"c.wav", 110, 100, {5, 14}}};
    for (int ch = 0; ch < 3; ++ch) {
        tx::TChannel& t = loop.Channel(ch);
        t.SampleFileName = t.Name = rows[ch].file;
        t.Volume = rows[ch].volume;
        t.Pan = rows[ch].pan;
        for (int s : rows[ch].steps) t.Pattern(1).SetStep(s, true);
    }
    const fs::path file = dir / "live.txp";
    EXPECT_EQ(tx::WriteLoop(file.string(), loop), "");
    return file;
}

// One pass of the pattern rendered by the tool, the remainder cut or wrapped.
inline std::vector<int16_t> render(const fs::path& loop, const char* remainder, const fs::path& out) {
    const TCliResult r = RunCli(
        {"render", loop.string(), "-o", out.string(), "--pattern", "--remainder", remainder, "--buffer", "4410"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    return ReadWav16(out);
}

// Loads the loop and its samples as trovamix-cli does.
inline void loadLoop(const fs::path& file, tx::TLoop& loop, tx::TEngineLock& lock, tx::TEngine& engine) {
    (void)lock;  // taken by the loading call
    tx::TLoadLoopOptions options;
    options.Locate.ProgramFolder = "/nonexistent/";
    ASSERT_TRUE(tx::LoadLoopInto(file.string(), loop, engine, options).Ok());
    for (int ch = 0; ch < 3; ++ch) ASSERT_TRUE(loop.Channel(ch).Sample.HasData()) << "sample of channel " << ch;
}

inline size_t firstSounding(const std::vector<int16_t>& pcm) {
    for (size_t i = 0; i < pcm.size(); ++i)
        if (pcm[i] != 0) return i / 2;
    return pcm.size() / 2;
}

// Compares `n` frames of the capture from frame `at` with the start of `expected`.
inline ::testing::AssertionResult sameFrames(const std::vector<int16_t>& live, size_t at,
                                             const std::vector<int16_t>& expected, size_t n) {
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

// A recording of the loop playing is the renders: the first pass, from
// silence, is the render that cuts the remainder, every later one carries the
// tail of the one before (the render that wraps it). With `fromTheStart` the
// recording began before the sound, so its first sound opens the first pass;
// otherwise two wrapped passes are looked for wherever they begin, and a first
// pass before them is checked when the recording holds it. A recording that
// differs is kept in the build folder for listening.
inline ::testing::AssertionResult isTheRender(const std::vector<int16_t>& live, const std::vector<int16_t>& cut,
                                              const std::vector<int16_t>& wrap, bool fromTheStart, const char* keepAs) {
    const size_t frames = live.size() / 2, start = firstSounding(live);
    size_t at = frames;  // where the first wrapped pass begins
    if (fromTheStart) {
        if (start == frames) return ::testing::AssertionFailure() << "nothing sounded";
        at = start + PassFrames;
    } else {
        const size_t probe = 256;
        for (size_t i = 0; i + probe <= frames && at == frames; ++i)
            if (std::memcmp(&live[i * 2], wrap.data(), probe * 4) == 0) at = i;
        if (at == frames)
            return ::testing::AssertionFailure() << "the wrapped pattern never appears in " << frames << " frames";
    }
    ::testing::AssertionResult r = sameFrames(live, at, wrap, PassFrames);
    if (r) r = sameFrames(live, at + PassFrames, wrap, PassFrames);
    if (r && at >= size_t(PassFrames) && start == at - PassFrames) r = sameFrames(live, start, cut, PassFrames);
    if (!r) {
        const fs::path dir = fs::path(TROVAMIX_BINARY_DIR) / "test-output";
        std::error_code ec;
        fs::create_directories(dir, ec);
        WriteWav16(dir / keepAs, live);
        r << " (recording kept as " << (dir / keepAs).string() << ")";
    }
    return r;
}

}  // namespace txtest
