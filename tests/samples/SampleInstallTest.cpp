#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <set>

#include "TestSupport.h"
#include "WavTestSupport.h"
#include "engine/SampleInstall.h"
#include "loopfile/LoopFile.h"

using namespace txtest;
namespace fs = std::filesystem;
using namespace tx;

namespace {

// A 16-bit stereo 44100 Hz file with the given frames.
void writeWav(const std::string& path, const std::vector<int16_t>& interleaved) {
    fs::create_directories(fs::path(path).parent_path());
    WriteFileBytes(path, Riff({Chunk("fmt ", FmtBody(1, 2, 44100, 16)), Chunk("data", Pcm16(interleaved))}));
}

std::vector<int16_t> ramp(int frames, int16_t left0, int16_t right0) {
    std::vector<int16_t> v;
    for (int i = 0; i < frames; ++i) {
        v.push_back(int16_t(left0 + i));
        v.push_back(int16_t(right0 - i));
    }
    return v;
}

class Install : public ::testing::Test {
protected:
    Install() : engine(loop, lock, settings), install(loop, engine, dir.path().string() + "/prog/") {
        loop.SetEngineLock(&lock);
        program = dir.path().string() + "/prog/";
        samples = program + "Samples/";
        lock.StopHook = [this] { ++stops; };
        lock.RestartHook = [this] { ++restarts; };
        install.Events.SetBusyCursor = [this](bool b) { busy.push_back(b); };
        install.Events.SetCollectEnabled = [this](bool e) { collect.push_back(e); };
        install.Events.RefreshChannelSettings = [this](int ch) { refreshed.push_back(ch); };
        install.SeedRandom(7);
        kick = samples + "drums/Kick.wav";
        writeWav(kick, ramp(10, 100, -100));
    }
    int voicesOf(const TWAVSample* s) const {
        int n = 0;
        for (int i = 0; i < engine.VoiceCount; ++i) n += engine.Voices[size_t(i)].Sample == s;
        return n;
    }
    void addVoice(TWAVSample* s) {
        TLockGuard g(&lock);
        engine.AddVoice(s, engine.MixPosition, 65536, 1.0f, 0.0f, s->PlayLength, 0, 0, 64);
    }
    std::vector<int16_t> dataOf(int ch) { return loop.Channel(ch).Sample.Data; }

    TempDir dir;
    TSettings settings;
    TEngineLock lock;
    TLoop loop;
    TEngine engine;
    TSampleInstall install;
    std::string program, samples, kick;
    int stops = 0, restarts = 0;
    std::vector<bool> busy, collect;
    std::vector<int> refreshed;
};

TEST_F(Install, LoadsProcessesAndStoresTheRelativeName) {
    loop.Channel(1).ReverseSample = true;
    install.SetChannelSample(1, kick, false, true);
    const TChannel& c = loop.Channel(1);
    EXPECT_EQ(c.SampleFileName, "\\drums\\Kick.wav");
    ASSERT_EQ(c.Sample.Length, 10);
    EXPECT_EQ(c.Sample.PlayLength, 10);
    EXPECT_EQ(c.Sample.Left(0), 109);  // reversed
    EXPECT_EQ(c.Sample.Right(9), -100);
    EXPECT_FALSE(install.WorkSample.HasData());
    EXPECT_EQ(install.WorkSample.Length, 0);
    EXPECT_TRUE(loop.Modified);
    // Output plays on (only the swap takes the lock), the cursor busy then back.
    EXPECT_EQ(stops, 0);
    EXPECT_EQ(restarts, 0);
    EXPECT_EQ(busy, (std::vector<bool>{true, false}));
    EXPECT_EQ(refreshed, (std::vector<int>{1}));
    EXPECT_EQ(collect, (std::vector<bool>{true}));
}

TEST_F(Install, SameFileAgainDoesNothing) {
    install.SetChannelSample(0, kick, true, false);
    loop.Modified = false;
    const TColor colour = loop.Channel(0).Color;
    busy.clear();
    install.SetChannelSample(0, "\\drums\\Kick.wav", true, false);  // the stored name
    install.SetChannelSample(0, kick, true, false);                 // its full path
    EXPECT_FALSE(loop.Modified);
    EXPECT_TRUE(busy.empty());
    EXPECT_EQ(loop.Channel(0).Color, colour);
}

TEST_F(Install, OnlyWavExtensionsInAnyCaseAreAccepted) {
    writeWav(samples + "SNARE.WAV", ramp(3, 1, 1));
    writeWav(samples + "tom.aif", ramp(5, 1, 1));
    install.SetChannelSample(0, samples + "SNARE.WAV", false, false);
    EXPECT_EQ(loop.Channel(0).Sample.Length, 3);
    loop.Modified = false;
    for (const char* ignored : {"tom.aif", "noext", "wav"})
        install.SetChannelSample(0, samples + ignored, false, false);
    EXPECT_EQ(loop.Channel(0).Sample.Length, 3);  // the channel keeps its sample
    EXPECT_EQ(loop.Channel(0).SampleFileName, "\\SNARE.WAV");
    EXPECT_FALSE(loop.Modified);
    EXPECT_TRUE(HasWavExtension("a.b/c.wAv"));
    EXPECT_FALSE(HasWavExtension("a.wav/c"));
    EXPECT_FALSE(HasWavExtension("c.wave"));
}

// No name, a missing file and a file the converter rejects all leave a
// silent channel; only the rejected file keeps its name.
TEST_F(Install, ChannelsWithoutFrames) {
    WriteFileBytes(samples + "odd.wav",
                   Riff({Chunk("fmt ", FmtBody(0x4242, 2, 44100, 16)), Chunk("data", Pcm16({1, 2}))}));
    const struct {
        std::string file, storedName;
    } cases[] = {{"", ""}, {dir.path().string() + "/gone.wav", ""}, {samples + "odd.wav", "\\odd.wav"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        install.SetChannelSample(2, kick, false, false);
        install.SetChannelSample(2, c.file, false, false);
        EXPECT_FALSE(loop.Channel(2).Sample.HasData());
        EXPECT_EQ(loop.Channel(2).Sample.PlayLength, 0);
        EXPECT_EQ(loop.Channel(2).SampleFileName, c.storedName);
    }
    EXPECT_EQ(collect, (std::vector<bool>{true, false, true, false, true, true}));
}

TEST_F(Install, RenameAndRecolourOnlyWhenAskedAndEnabled) {
    loop.Channel(0).Name = "keep";
    install.SetChannelSample(0, kick, false, false);
    EXPECT_EQ(loop.Channel(0).Name, "keep");
    EXPECT_EQ(loop.Channel(0).Color, TColor{});

    settings.AdjustChanName = false;
    engine.SetSettings(settings);
    install.SetChannelSample(1, kick, true, false);
    EXPECT_EQ(loop.Channel(1).Name, "");
    EXPECT_EQ(loop.Channel(1).Color, TColor{});

    settings.AdjustChanName = true;
    engine.SetSettings(settings);
    install.SetChannelSample(2, kick, true, false);
    EXPECT_EQ(loop.Channel(2).Name, "Kick");
    // Lightness 0.87, saturation 0.6: every part lies between
    // p = 2 x 0.87 - 0.948 = 0.792 (202) and q = 0.948 (242).
    const TColor c = loop.Channel(2).Color;
    EXPECT_EQ(std::max({c.r, c.g, c.b}), 242);
    EXPECT_EQ(std::min({c.r, c.g, c.b}), 202);
}

TEST_F(Install, RandomColoursVary) {
    std::set<uint32_t> seen;
    for (int i = 0; i < 20; ++i) {
        install.SetChannelSample(0, i % 2 ? kick : "", true, false);
        seen.insert(loop.Channel(0).Color.ToInt());
    }
    EXPECT_GT(seen.size(), 5u);
}

TEST(HLS, ColoursWorkedOutByHand) {
    // l 0.87, s 0.6: q = 0.948 -> 242, p = 0.792 -> 202.
    EXPECT_EQ(ColorFromHLS(0, 0.87, 0.6), (TColor{242, 202, 202}));
    EXPECT_EQ(ColorFromHLS(1.0 / 3, 0.87, 0.6), (TColor{202, 242, 202}));
    EXPECT_EQ(ColorFromHLS(0.5, 0.87, 0.6), (TColor{202, 242, 242}));
    EXPECT_EQ(ColorFromHLS(1.0, 0.87, 0.6), (TColor{242, 202, 202}));
    // hue 1/12: green rises p + (q - p) x 6 x 1/12 = 0.87 -> 222
    EXPECT_EQ(ColorFromHLS(1.0 / 12, 0.87, 0.6), (TColor{242, 222, 202}));
    EXPECT_EQ(ColorFromHLS(0.3, 0.5, 0), (TColor{128, 128, 128}));
}

// Voices of a sample stop when it changes length or is replaced, and only then.
TEST_F(Install, VoicesStopWhenThePlayLengthChangesOrTheSampleIsReplaced) {
    install.SetChannelSample(0, kick, false, false);
    TWAVSample* s = &loop.Channel(0).Sample;
    addVoice(s);
    loop.Channel(0).Decay = 100;  // the last frame stays non-zero: same PlayLength
    install.ReprocessChannel(0);
    EXPECT_EQ(voicesOf(s), 1);
    loop.Channel(0).StereoDelay = 2048 + 5;  // 5 frames longer
    install.ReprocessChannel(0);
    EXPECT_EQ(s->PlayLength, 15);
    EXPECT_EQ(voicesOf(s), 0);
    addVoice(s);
    loop.Channel(0).ReverseSample = true;  // reversed, both ends non-zero: same length, voice kept
    install.ReprocessChannel(0);
    EXPECT_EQ(s->PlayLength, 15);
    EXPECT_EQ(voicesOf(s), 1);
    loop.Channel(0).StereoDelay = 2048;  // back to 10 frames: stopped
    install.ReprocessChannel(0);
    EXPECT_EQ(voicesOf(s), 0);
    addVoice(s);
    writeWav(samples + "other.wav", ramp(10, 5, 5));
    install.SetChannelSample(0, samples + "other.wav", false, false);
    EXPECT_EQ(voicesOf(s), 0);
}

TEST_F(Install, DecaySetTwiceEqualsSetOnce) {
    writeWav(samples + "long.wav", ramp(400, 1000, -1000));
    install.SetChannelSample(0, samples + "long.wav", false, false);
    install.SetChannelSample(1, samples + "long.wav", false, false);
    loop.Channel(0).Decay = 300;
    install.ReprocessChannel(0);
    loop.Channel(0).Decay = 500;
    install.ReprocessChannel(0);
    loop.Channel(1).Decay = 500;
    install.ReprocessChannel(1);
    EXPECT_EQ(dataOf(0), dataOf(1));
    EXPECT_EQ(loop.Channel(0).Sample.PlayLength, loop.Channel(1).Sample.PlayLength);
    // and effects never accumulate: back to 0 gives the raw frames
    loop.Channel(0).Decay = 0;
    install.ReprocessChannel(0);
    EXPECT_EQ(dataOf(0), ramp(400, 1000, -1000));
}

TEST_F(Install, ReloadWorkSampleGoesThroughThePreviewCache) {
    install.SetChannelSample(0, kick, false, false);
    install.ReloadWorkSample(0);
    EXPECT_EQ(install.PreviewFileName, kick);
    EXPECT_EQ(install.WorkSample.Data, ramp(10, 100, -100));
    // The file changes on disk under the same name: the cached frames are used.
    writeWav(kick, ramp(3, 7, 7));
    install.ReloadWorkSample(0);
    EXPECT_EQ(install.WorkSample.Data, ramp(10, 100, -100));
    // Another file in the preview: the channel's file is read again.
    install.LoadPreviewSample(samples + "none.wav");
    install.ReloadWorkSample(0);
    EXPECT_EQ(install.WorkSample.Data, ramp(3, 7, 7));
}

TEST_F(Install, LoadPreviewSampleKeepsTheRawFramesAndTheLocatedName) {
    loop.Channel(0).ReverseSample = true;  // effects are not the preview's business
    install.LoadPreviewSample("\\drums\\kick.wav");
    EXPECT_EQ(install.PreviewFileName, kick);
    EXPECT_EQ(install.PreviewSample.Data, ramp(10, 100, -100));
    EXPECT_EQ(install.PreviewSample.PlayLength, 10);
    install.LoadPreviewSample("\\missing.wav");
    EXPECT_FALSE(install.PreviewSample.HasData());
    EXPECT_EQ(install.PreviewSample.PlayLength, 0);
    EXPECT_EQ(install.PreviewFileName, "");
}

TEST_F(Install, PreviewFileStartsOneMiddleVoiceNow) {
    engine.MixPosition = 12345;
    install.PreviewFile(kick);
    ASSERT_EQ(engine.VoiceCount, 1);
    const TMixChan& v = engine.Voices[0];
    EXPECT_EQ(v.Sample, &install.PreviewSample);
    EXPECT_EQ(v.StartTime, 12345);
    EXPECT_EQ(v.Length, 10);
    EXPECT_EQ(v.TargetLength, 10);
    EXPECT_EQ(v.Group, -1);
    EXPECT_TRUE(v.Filter.IsOpen());
    // Volume 51603 at pan 64: a = 64 pi / 254.
    const double a = 64 * std::numbers::pi / 254;
    EXPECT_EQ(v.GainLeft, std::lround(51603 * std::cos(a)));
    EXPECT_EQ(v.GainRight, std::lround(51603 * std::sin(a)));
    // A second preview cuts the first (group -1) and its reload removes it.
    install.PreviewFile(kick);
    EXPECT_EQ(engine.VoiceCount, 1);
    // Nothing to play: no voice.
    install.PreviewFile(samples + "none.wav");
    EXPECT_EQ(engine.VoiceCount, 0);
}

TEST_F(Install, PreviewChannelPlaysTheProcessedSample) {
    loop.Channel(3).Volume = 127;
    loop.Channel(3).Pan = 0;
    install.SetChannelSample(3, kick, false, false);
    install.PreviewChannel(3);
    ASSERT_EQ(engine.VoiceCount, 1);
    EXPECT_EQ(engine.Voices[0].Sample, &loop.Channel(3).Sample);
    EXPECT_EQ(engine.Voices[0].Length, 10);
    EXPECT_EQ(engine.Voices[0].GainLeft, 65536);  // (127 x 65536) div 127, all left
    EXPECT_EQ(engine.Voices[0].GainRight, 0);
    loop.Channel(3).Stretch = 4;
    engine.SetTempo(140);
    install.PreviewChannel(3);
    EXPECT_EQ(engine.Voices[size_t(engine.VoiceCount - 1)].Length, 4 * engine.StepLength);
    // An empty channel starts nothing.
    engine.ClearVoices();
    install.PreviewChannel(0);
    EXPECT_EQ(engine.VoiceCount, 0);
}

// --- loading a loop

class LoopSamples : public Install {
protected:
    void writeLoop(const std::string& path, const std::vector<std::string>& names) {
        TLoop l;
        for (size_t i = 0; i < names.size(); ++i) {
            l.Channel(int(i)).SampleFileName = names[i];
            l.Channel(int(i)).Name = "ch" + std::to_string(i);
        }
        l.Channel(1).ReverseSample = true;
        fs::create_directories(fs::path(path).parent_path());
        ASSERT_EQ(WriteLoop(path, l), "");
    }
    TLoopReadResult read(const std::string& path) {
        TLoopReadOptions o;
        o.OnSampleFileName = install.LoopSampleLoader(path);
        return ReadLoop(path, loop, o);
    }
};

TEST_F(LoopSamples, EachChannelGetsItsProcessedSample) {
    std::string song = dir.path().string() + "/moved/song.txp";
    writeWav(dir.path().string() + "/moved/beside.wav", ramp(6, 10, 10));
    writeLoop(song, {"\\drums\\kick.wav", "C:\\old\\place\\kick.wav", "D:\\x\\beside.wav", "\\absent.wav"});
    ASSERT_TRUE(read(song).Ok());
    EXPECT_EQ(loop.Channel(0).SampleFileName, "\\drums\\Kick.wav");
    EXPECT_EQ(loop.Channel(0).Sample.Data, ramp(10, 100, -100));
    EXPECT_EQ(loop.Channel(1).SampleFileName, "\\drums\\Kick.wav");  // found by the search
    EXPECT_EQ(loop.Channel(1).Sample.Left(0), 109);                  // its effects applied
    EXPECT_EQ(loop.Channel(2).SampleFileName, dir.path().string() + "/moved/beside.wav");
    EXPECT_EQ(loop.Channel(2).Sample.Length, 6);
    // Not found: silent, but the stored name survives for the next save.
    EXPECT_FALSE(loop.Channel(3).Sample.HasData());
    EXPECT_EQ(loop.Channel(3).Sample.PlayLength, 0);
    EXPECT_EQ(loop.Channel(3).SampleFileName, "\\absent.wav");
    // Reading never renames or recolours.
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(loop.Channel(i).Name, "ch" + std::to_string(i));
        EXPECT_EQ(loop.Channel(i).Color, TColor{});
    }
}

TEST_F(LoopSamples, WorksWithoutAnEngine) {
    std::string song = dir.path().string() + "/b/song.txp";
    writeLoop(song, {"\\drums\\KICK.WAV"});
    TLoop plain;
    TLoopReadOptions o;
    o.OnSampleFileName = MakeLoopSampleLoader(plain, TLocateContext{program, song, {}});
    ASSERT_TRUE(ReadLoop(song, plain, o).Ok());
    EXPECT_EQ(plain.Channel(0).Sample.Length, 10);
    EXPECT_EQ(plain.Channel(0).SampleFileName, "\\drums\\Kick.wav");
}

}  // namespace
