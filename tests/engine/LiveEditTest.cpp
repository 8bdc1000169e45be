// Editing while the song plays: a mixing thread plays 576-frame blocks while
// this thread makes every kind of change the window makes, in random order
// from a fixed seed. Under the thread and address sanitizers any unguarded
// access shows; in every build the engine must afterwards play exactly what
// an offline render of the final loop plays, and no window operation may
// hold the engine lock for long.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "EngineTestSupport.h"
#include "TestSupport.h"
#include "Wav16.h"
#include "engine/LoadLoop.h"
#include "engine/SampleInstall.h"
#include "loopfile/LoopFile.h"
#include "model/Editing.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool Sanitized = true;
#else
constexpr bool Sanitized = false;
#endif

using namespace tx;
using txtest::EngineRig;

namespace {

constexpr int32_t Block = 576;

// Plays the rig's engine on a thread of its own, a block per lock, as the
// streaming thread does, until stopped.
class MixingThread {
public:
    explicit MixingThread(EngineRig& rig) : rig_(rig) {
        thread_ = std::thread([this] {
            TEngineLock::MarkPlaybackThread();
            std::vector<int16_t> out(size_t(Block) * 2);
            while (!stop_.load()) {
                rig_.lock.Lock();
                rig_.engine->MixBlock();
                rig_.engine->ConvertBlock(0, out.data(), NoScope, Block * 4);
                rig_.lock.Unlock();
                blocks_.fetch_add(1);
                std::this_thread::yield();
            }
        });
    }
    ~MixingThread() { Stop(); }
    // Lets the mixer play at least one more block, so edits and blocks interleave.
    void AwaitBlock() const {
        const int b = blocks_.load();
        while (blocks_.load() == b) std::this_thread::yield();
    }
    int Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return blocks_.load();
    }

private:
    EngineRig& rig_;
    std::atomic<bool> stop_{false};
    std::atomic<int> blocks_{0};
    std::thread thread_;
};

void FillTone(TWAVSample& s, int32_t n, int seed) {
    txtest::FillSample(
        s, n, [seed](int32_t i) { return int16_t(((i * (seed + 3)) % 4000) - 2000); },
        [seed](int32_t i) { return int16_t(((i * (seed + 5)) % 3000) - 1500); });
}

// A song of four bars over patterns 1..4 on four sample channels.
void MakeSong(EngineRig& rig) {
    TLoop& loop = rig.loop;
    for (int c = 0; c < 4; ++c) {
        FillTone(loop.Channel(c).Sample, 1500 + 700 * c, c);
        for (int p = 1; p <= 4; ++p) loop.Channel(c).Pattern(p).StepMask = uint16_t(0x1111 << ((c + p) % 4));
    }
    for (int pos = 0; pos < 4; ++pos) loop.SetPatternAt(pos + 1, pos, true);
    rig.engine->SetTempo(480);
    rig.engine->SetSongMode(true);
    rig.engine->Start();
}

// Plays `bars` bars from the song's start with a fixed random seed.
std::vector<int16_t> PlayFromStart(EngineRig& rig, int bars) {
    TEngine& e = *rig.engine;
    e.Stop();
    e.SetSongMode(true);
    e.Start();
    e.SeedRandom(99);
    e.ClearMasterFilter();
    const int64_t frames = int64_t(bars) * 16 * e.StepLength;
    return rig.RunFrames(frames);
}

TEST(LiveEdit, EveryEditWhileTheSongPlaysLeavesTheRenderOfTheFinalLoop) {
    txtest::TempDir dir;
    txtest::WriteConstantWav16(dir / "hat.wav", 900, 2000, -1000);
    {
        TLoop file;
        file.Tempo = 300;
        file.SongMode = true;
        for (int c = 0; c < 4; ++c) file.Channel(c).Pattern(1 + c).StepMask = 0x0F0F;
        file.Channel(1).SampleFileName = "hat.wav";
        file.SetPatternAt(2, 0, true);
        ASSERT_EQ(WriteLoop((dir / "live.txp").string(), file), "");
    }
    EngineRig rig(Block);
    TLoop& loop = rig.loop;
    TEngine& e = *rig.engine;
    MakeSong(rig);

    std::mt19937 rng(20261207);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    TEditRandom editRng(5);
    TRowClipboard clip;
    auto selectSome = [&] {
        for (int c = 0; c < loop.ChannelCount(); ++c)
            loop.Channel(c).Selected = !loop.Channel(c).Minimized && pick(0, 2) == 0;
    };
    constexpr int Kinds = 28;
    std::vector<int> done(Kinds, 0);
    const int edits = Sanitized ? 2500 : 6000;

    rig.lock.StartHoldTiming();
    MixingThread mixer(rig);
    for (int i = 0; i < edits; ++i) {
        const int kind = pick(0, Kinds - 1);
        const int ch = pick(0, loop.ChannelCount() - 1);
        ++done[size_t(kind)];
        switch (kind) {
            case 0:
                loop.SetPatternAt(pick(0, 12), pick(0, 8), pick(0, 3) != 0);
                break;
            case 1:
                loop.InsertCurrentPatternInPlayList(pick(0, 1) == 1);
                break;
            case 2:
                loop.InsertBar(pick(0, 8));
                break;
            case 3:
                loop.DeleteBar(pick(0, 8));
                break;
            case 4:
                e.ChoosePattern(pick(1, 6));
                break;
            case 5:
                selectSome();
                CopyRows(loop, clip);
                loop.CurrentPattern = pick(1, 6);
                selectSome();
                PasteRows(loop, clip);
                break;
            case 6:
                selectSome();
                CutRows(loop, clip);
                break;
            case 7:
                selectSome();
                ShiftRows(loop, pick(0, 1) ? 1 : -1);
                break;
            case 8:
                selectSome();
                RandomRows(loop, editRng);
                break;
            case 9:
                selectSome();
                HumanizeRows(loop, THumanize{pick(0, 100), true, true, pick(0, 1) == 1, pick(0, 1) == 1}, editRng);
                break;
            case 10:
                if (loop.ChannelCount() < 10) loop.AddChannel();
                break;
            case 11:
                if (loop.ChannelCount() < 10) loop.InsertChannel(ch);
                break;
            case 12:
                selectSome();
                DeleteSelectedChannels(loop);
                break;
            case 13:
                selectSome();
                ZipSelectedChannels(loop);
                for (int c = 0; c < loop.ChannelCount(); ++c)
                    if (loop.Channel(c).Minimized && pick(0, 1)) loop.SetMinimized(c, false);
                break;
            case 14: {
                TWAVSample work;
                FillTone(work, pick(200, 3000), i);
                InstallChannelSample(loop.Channel(ch), work, &e, &rig.lock);
                break;
            }
            case 15:
                if (pick(0, 9) == 0) {
                    ASSERT_TRUE(LoadLoopInto((dir / "live.txp").string(), loop, e).Ok());
                }
                break;
            case 16:
                e.SetTempo(pick(200, 500));
                break;
            case 17:
                e.SetSongMode(pick(0, 4) != 0);
                break;
            case 18:
                loop.SetStep(ch, pick(1, 6), pick(0, 15), pick(0, 1) == 1);
                break;
            case 19:
                loop.SetStepValue(ch, pick(1, 6), pick(0, StepRowCount - 1), pick(0, 15), uint8_t(pick(0, 127)));
                break;
            case 20:
                loop.Channel(ch).Volume = pick(0, 127);
                loop.Channel(ch).Pan = pick(0, 127);
                break;
            case 21:
                loop.Channel(ch).Enabled = pick(0, 3) != 0;
                break;
            case 22:
                loop.MainVolume = pick(0, 128);
                loop.Shuffle = pick(0, 128);
                loop.MainPitch = pick(-1200, 1200);
                break;
            case 23:
                e.SetMainCutOff(pick(0, MainCutOffMax));
                e.SetMainResonance(pick(0, MainResoMax));
                break;
            case 24:
                e.SetSurround(pick(0, 1) == 1);
                break;
            case 25:
                if (pick(0, 19) == 0) loop.ClearPlaylist();
                break;
            case 26:
                e.JumpToSongPosition(pick(0, 6));
                break;
            default:
                loop.ResetPattern(ch, pick(1, 6));
                loop.SongLoopPosition = pick(0, 3);
                break;
        }
        if (i % 8 == 0) mixer.AwaitBlock();
    }
    // Last edits, still while playing, so that the final loop is heard
    // whatever the random ones left: channel 0 sounds on step 0 of every pattern.
    loop.MainVolume = 128;
    loop.Channel(0).Enabled = true;
    loop.Channel(0).Volume = 100;
    {
        TWAVSample work;
        FillTone(work, 2500, 1);
        InstallChannelSample(loop.Channel(0), work, &e, &rig.lock);
    }
    for (int p = 1; p <= 12; ++p) {
        loop.SetStep(0, p, 0, true);
        loop.SetStepValue(0, p, RowVolume, 0, 127);
    }
    const int blocks = mixer.Stop();
    rig.lock.StopHoldTiming();
    const double longestMs = double(rig.lock.LongestHold().count()) / 1e6;
    std::printf("%d edits while %d blocks played; longest window hold of the engine lock %.3f ms\n", edits, blocks,
                longestMs);
    RecordProperty("LongestHoldMicroseconds", int(rig.lock.LongestHold().count() / 1000));
    EXPECT_GE(blocks, edits / 8);
    for (int k = 0; k < Kinds; ++k) EXPECT_GT(done[size_t(k)], 0) << "edit kind " << k;
    if (!Sanitized) {
        EXPECT_LT(longestMs, 1.0);
    }

    // The final loop, rebuilt from its file image with the same samples, on
    // an engine of its own.
    EngineRig offline(Block);
    const std::vector<uint8_t> image = BuildLoopFile(loop);
    ASSERT_TRUE(ReadLoopFromMemory(image.data(), image.size(), offline.loop).Ok());
    ASSERT_EQ(offline.loop.ChannelCount(), loop.ChannelCount());
    for (int c = 0; c < loop.ChannelCount(); ++c) {
        const TWAVSample& from = loop.Channel(c).Sample;
        TWAVSample& to = offline.loop.Channel(c).Sample;
        to.Data = from.Data;
        to.Length = from.Length;
        to.PlayLength = from.PlayLength;
    }
    offline.engine->SetTempo(loop.Tempo);
    offline.engine->SetMainCutOff(loop.MainCutOff);
    offline.engine->SetMainResonance(loop.MainResonance);
    offline.engine->SetSurround(e.Settings.Surround);

    const auto live = PlayFromStart(rig, 2);
    const auto expected = PlayFromStart(offline, 2);
    ASSERT_EQ(live.size(), expected.size());
    size_t loud = 0, differ = 0;
    for (size_t k = 0; k < live.size(); ++k) {
        loud += expected[k] != 0;
        differ += live[k] != expected[k];
    }
    EXPECT_GT(loud, 1000u) << "the final loop should not be silent";
    EXPECT_EQ(differ, 0u);
}

// A playlist cell that grows its bar's list while the song plays: the mixer
// copies that list at every bar.
TEST(LiveEdit, PlaylistCellsSetDuringSongPlayback) {
    EngineRig rig(Block);
    MakeSong(rig);
    rig.engine->SetTempo(500);
    std::set<int> model[4];
    std::mt19937 rng(3);
    {
        MixingThread mixer(rig);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
        while (std::chrono::steady_clock::now() < until) {
            for (int k = 0; k < 50; ++k) {
                const int pos = int(rng() % 4), pattern = 1 + int(rng() % 60);
                const bool on = rng() % 3 != 0;
                rig.loop.SetPatternAt(pattern, pos, on);
                if (on)
                    model[pos].insert(pattern);
                else
                    model[pos].erase(pattern);
            }
            rig.loop.CurrentPattern = 1 + int(rng() % 60);
            rig.loop.InsertCurrentPatternInPlayList(true);
            model[std::clamp(rig.loop.PlaylistRow - 2, 0, 511)].insert(rig.loop.CurrentPattern);
            if (rig.loop.PlaylistRow > 4) rig.loop.PlaylistRow = 1;
        }
        EXPECT_GT(mixer.Stop(), 20);
    }
    for (int pos = 0; pos < 4; ++pos) {
        const auto& l = rig.loop.PlayList.At(pos);
        EXPECT_EQ(std::set<int>(l.begin(), l.end()), model[pos]) << "position " << pos;
    }
}

// The main sliders, "Surround" and the channel row's values set while playing.
TEST(LiveEdit, SlidersAndSurroundWrittenDuringPlayback) {
    EngineRig rig(Block);
    MakeSong(rig);
    TLoop& loop = rig.loop;
    {
        MixingThread mixer(rig);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
        for (int i = 0; std::chrono::steady_clock::now() < until; ++i) {
            loop.MainVolume = i % 129;
            loop.Shuffle = (i * 7) % 129;
            loop.MainPitch = (i * 37) % 2401 - 1200;
            rig.engine->SetSurround(i % 2 == 1);
            loop.Channel(i % 4).Volume = i % 128;
            loop.Channel(i % 4).Pan = (i * 3) % 128;
            loop.Channel(i % 4).Enabled = i % 5 != 0;
            loop.SetStep(i % 4, 1 + i % 4, i % 16, i % 3 != 0);
            loop.SetStepValue(i % 4, 1 + i % 4, i % StepRowCount, i % 16, uint8_t(i % 128));
        }
        EXPECT_GT(mixer.Stop(), 20);
    }
    // The last values are the ones the mixer plays: main volume 0 is silence.
    loop.MainVolume = 0;
    rig.engine->ClearVoices();
    for (int16_t v : PlayFromStart(rig, 1)) {
        ASSERT_EQ(v, 0);
    }
}

}  // namespace
