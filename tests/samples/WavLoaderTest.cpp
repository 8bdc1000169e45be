#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "TestSupport.h"
#include "WavTestSupport.h"
#include "samples/Samples.h"

using namespace txtest;
using tx::LoadWAV;
using tx::TWAVSample;

namespace {

// ---------------------------------------------------------------------------
// Every encoding sox writes, at several rates: frame count after conversion to
// 44100 Hz and the content of a half-scale 440 Hz tone.

struct EncodingCase {
    const char* name;
    int rate;
    int channels;
    const char* soxFormat;  // -b/-e arguments
    double rmsTolerance;    // relative
};

void PrintTo(const EncodingCase& c, std::ostream* os) { *os << c.name; }

class LoadEncoding : public ::testing::TestWithParam<EncodingCase> {
protected:
    TempDir dir;
};

TEST_P(LoadEncoding, ToneArrivesAt44100Stereo16) {
    const EncodingCase& c = GetParam();
    auto file = dir / "tone.wav";
    ASSERT_TRUE(Sox("-r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels) + " " + c.soxFormat,
                    "synth 0.4 sine 440 vol 0.5", file));

    TWAVSample s;
    s.PlayLength = 1234;
    s.CutGroup = 7;
    s.CutByGroup = 9;
    ASSERT_EQ(LoadWAV(file.string(), s), 0);
    // 0.4 s at any source rate is 17640 frames at 44100 Hz (within one frame of the ratio).
    EXPECT_NEAR(s.Length, 17640, 1);
    ASSERT_EQ(s.Data.size(), size_t(s.Length) * 2);
    // The loader leaves the natural length and the groups alone.
    EXPECT_EQ(s.PlayLength, 1234);
    EXPECT_EQ(s.CutGroup, 7);
    EXPECT_EQ(s.CutByGroup, 9);

    // Half scale: peak 16384, RMS 16384 / sqrt 2. Skip the edges (resampler ramps).
    const double rms = 16384 / std::sqrt(2.0);
    for (int side = 0; side < 2; ++side) {
        SideStats st = Stats(s, side, 1000, s.Length - 1000);
        EXPECT_NEAR(st.rms, rms, rms * c.rmsTolerance) << "side " << side;
        EXPECT_NEAR(st.peak, 16384, 16384 * (c.rmsTolerance + 0.02)) << "side " << side;
        // 440 Hz over (Length - 2000) frames: the pitch survives rate conversion.
        double expected = 440.0 * (s.Length - 2000) / 44100.0;
        EXPECT_NEAR(st.crossings, expected, 2) << "side " << side;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sox, LoadEncoding,
    ::testing::Values(
        EncodingCase{"u8_mono_22050", 22050, 1, "-b 8 -e unsigned-integer", 0.01},
        EncodingCase{"u8_stereo_44100", 44100, 2, "-b 8 -e unsigned-integer", 0.01},
        EncodingCase{"s16_mono_44100", 44100, 1, "-b 16 -e signed-integer", 0.001},
        EncodingCase{"s16_stereo_48000", 48000, 2, "-b 16 -e signed-integer", 0.002},
        EncodingCase{"s16_mono_8000", 8000, 1, "-b 16 -e signed-integer", 0.002},
        EncodingCase{"s16_stereo_96000", 96000, 2, "-b 16 -e signed-integer", 0.002},
        EncodingCase{"s16_mono_11025", 11025, 1, "-b 16 -e signed-integer", 0.002},
        EncodingCase{"s16_mono_32000", 32000, 1, "-b 16 -e signed-integer", 0.002},
        EncodingCase{"s16_mono_22255", 22255, 1, "-b 16 -e signed-integer", 0.002},
        EncodingCase{"s24_mono_44100", 44100, 1, "-b 24 -e signed-integer", 0.001},
        EncodingCase{"s24_stereo_88200", 88200, 2, "-b 24 -e signed-integer", 0.002},
        EncodingCase{"s32_stereo_44100", 44100, 2, "-b 32 -e signed-integer", 0.001},
        EncodingCase{"f32_mono_44100", 44100, 1, "-b 32 -e floating-point", 0.001},
        EncodingCase{"f32_stereo_48000", 48000, 2, "-b 32 -e floating-point", 0.002},
        EncodingCase{"f64_mono_44100", 44100, 1, "-b 64 -e floating-point", 0.001},
        EncodingCase{"ulaw_mono_8000", 8000, 1, "-e u-law", 0.02},
        EncodingCase{"alaw_stereo_44100", 44100, 2, "-e a-law", 0.02},
        EncodingCase{"ima_adpcm_mono_44100", 44100, 1, "-e ima-adpcm", 0.03},
        EncodingCase{"ima_adpcm_stereo_22050", 22050, 2, "-e ima-adpcm", 0.03},
        EncodingCase{"ms_adpcm_mono_44100", 44100, 1, "-e ms-adpcm", 0.03},
        EncodingCase{"ms_adpcm_stereo_11025", 11025, 2, "-e ms-adpcm", 0.03},
        EncodingCase{"gsm_mono_8000", 8000, 1, "-e gsm-full-rate", 0.1},
        EncodingCase{"s16_four_channels_44100", 44100, 4, "-b 16 -e signed-integer", 0.001}),
    [](const auto& info) { return std::string(info.param.name); });

class LoadSox : public ::testing::Test {
protected:
    TWAVSample load(const std::string& format, const std::string& effects) {
        auto file = dir / "f.wav";
        EXPECT_TRUE(Sox(format, effects, file));
        TWAVSample s;
        EXPECT_EQ(LoadWAV(file.string(), s), 0);
        return s;
    }
    TempDir dir;
};

TEST_F(LoadSox, EightBitMono22050HasTwiceTheFrames) {
    // 11025 samples in the file -> exactly 22050 frames.
    TWAVSample s = load("-r 22050 -c 1 -b 8 -e unsigned-integer", "synth 0.5 sine 440 vol 0.5");
    EXPECT_EQ(s.Length, 22050);
}

TEST_F(LoadSox, RateConversionLengthsFollowTheRatio) {
    // 1005 frames at 48000 -> 1005 x 44100 / 48000 = 923.34; 777 at 8000 -> 4283.21.
    TWAVSample a = load("-r 48000 -c 2 -b 16 -e signed-integer", "synth 0.0209375 sine 440 vol 0.5");
    ASSERT_EQ(SoxSamples(dir / "f.wav"), 1005);
    EXPECT_NEAR(a.Length, 923.34, 1.0);
    TWAVSample b = load("-r 8000 -c 1 -b 16 -e signed-integer", "synth 0.097125 sine 440 vol 0.5");
    ASSERT_EQ(SoxSamples(dir / "f.wav"), 777);
    EXPECT_NEAR(b.Length, 4283.21, 1.0);
    TWAVSample c = load("-r 44100 -c 1 -b 16 -e signed-integer", "synth 0.0176190476 sine 440 vol 0.5");
    EXPECT_EQ(c.Length, SoxSamples(dir / "f.wav"));
}

TEST_F(LoadSox, StereoSidesKeepTheirOwnTone) {
    // Left 440 Hz, right 1000 Hz, at 48000 Hz so the resampler is in the path.
    TWAVSample s = load("-r 48000 -c 2 -b 16 -e signed-integer", "synth 0.5 sine 440 sine 1000 vol 0.5");
    EXPECT_NEAR(Stats(s, 0, 1000, s.Length - 1000).crossings, 440.0 * (s.Length - 2000) / 44100, 2);
    EXPECT_NEAR(Stats(s, 1, 1000, s.Length - 1000).crossings, 1000.0 * (s.Length - 2000) / 44100, 2);
}

TEST_F(LoadSox, OfFourChannelsTheFirstTwoAreKept) {
    TWAVSample s = load("-r 44100 -c 4 -b 16 -e signed-integer", "synth 0.5 sine 440 sine 1000 sine 2000 sine 3000 vol 0.5");
    EXPECT_EQ(s.Length, 22050);
    EXPECT_NEAR(Stats(s, 0).crossings, 220, 2);
    EXPECT_NEAR(Stats(s, 1).crossings, 500, 2);
}

TEST_F(LoadSox, CompressedFormatsEndAtTheirTrueLength) {
    // Block-coded data is decoded in whole blocks; "fact" gives the true length.
    // 0.25 s at 44100 is 11025 samples: not a whole number of blocks.
    EXPECT_EQ(load("-r 44100 -c 1 -e ima-adpcm", "synth 0.25 sine 440 vol 0.5").Length, 11025);
    EXPECT_EQ(load("-r 44100 -c 2 -e ms-adpcm", "synth 0.25 sine 440 vol 0.5").Length, 11025);
    // GSM: 8000 Hz, 1000 samples (3.125 blocks of 320) -> 5512.5 frames at 44100.
    EXPECT_NEAR(load("-r 8000 -c 1 -e gsm-full-rate", "synth 0.125 sine 440 vol 0.5").Length, 5512.5, 1.0);
}

// ---------------------------------------------------------------------------
// Exact conversion of hand-built files.

class LoadBytes : public ::testing::Test {
protected:
    int load(const Bytes& b, TWAVSample& s) {
        auto file = dir / "b.wav";
        WriteFileBytes(file, b);
        return LoadWAV(file.string(), s);
    }
    std::vector<int16_t> frames(const TWAVSample& s) { return std::vector<int16_t>(s.Data.begin(), s.Data.end()); }
    TempDir dir;
};

TEST_F(LoadBytes, Pcm16StereoAt44100IsCopiedExactly) {
    std::vector<int16_t> v{0, -1, 32767, -32768, 1234, -4321};
    TWAVSample s;
    ASSERT_EQ(load(Riff({Chunk("fmt ", FmtBody(1, 2, 44100, 16)), Chunk("data", Pcm16(v))}), s), 0);
    EXPECT_EQ(s.Length, 3);
    EXPECT_EQ(frames(s), v);
}

TEST_F(LoadBytes, MonoGoesToBothSides) {
    TWAVSample s;
    ASSERT_EQ(load(Riff({Chunk("fmt ", FmtBody(1, 1, 44100, 16)), Chunk("data", Pcm16({5, -7}))}), s), 0);
    EXPECT_EQ(frames(s), (std::vector<int16_t>{5, 5, -7, -7}));
}

TEST_F(LoadBytes, EightBitIsUnsignedAroundHalfScale) {
    // (v - 128) x 256
    TWAVSample s;
    ASSERT_EQ(load(Riff({Chunk("fmt ", FmtBody(1, 1, 44100, 8)), Chunk("data", Bytes{0, 128, 255, 129})}), s), 0);
    EXPECT_EQ(frames(s), (std::vector<int16_t>{-32768, -32768, 0, 0, 32512, 32512, 256, 256}));
}

TEST_F(LoadBytes, TwentyFourBitRoundsToNearestEvenAndClips) {
    // Values / 256: 384 -> 1.5 -> 2; 640 -> 2.5 -> 2; -384 -> -2; 0x7FFFFF -> 32767.99 -> 32767; 200 -> 0.78 -> 1
    Bytes d;
    for (int32_t v : {384, 640, -384, 0x7FFFFF, 200, -0x800000}) {
        d.push_back(uint8_t(v));
        d.push_back(uint8_t(v >> 8));
        d.push_back(uint8_t(v >> 16));
    }
    TWAVSample s;
    ASSERT_EQ(load(Riff({Chunk("fmt ", FmtBody(1, 1, 44100, 24)), Chunk("data", d)}), s), 0);
    EXPECT_EQ(frames(s), (std::vector<int16_t>{2, 2, 2, 2, -2, -2, 32767, 32767, 1, 1, -32768, -32768}));
}

TEST_F(LoadBytes, FloatIsScaledAndClipped) {
    Bytes d;
    for (float f : {0.25f, -0.5f, 1.5f, -2.0f, 0.0f, 0.99999f}) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        Put32(d, u);
    }
    TWAVSample s;
    ASSERT_EQ(load(Riff({Chunk("fmt ", FmtBody(3, 2, 44100, 32)), Chunk("data", d)}), s), 0);
    EXPECT_EQ(frames(s), (std::vector<int16_t>{8192, -16384, 32767, -32768, 0, 32767}));
}

// ---------------------------------------------------------------------------
// The chunk walk's rules.

Bytes fmt16() { return Chunk("fmt ", FmtBody(1, 2, 44100, 16)); }
Bytes data16(std::vector<int16_t> v) { return Chunk("data", Pcm16(v)); }

TEST_F(LoadBytes, DataBeforeFmtDoesNotLoadAndLeavesTheSample) {
    TWAVSample s;
    s.Data = {1, 2};
    s.Length = 1;
    EXPECT_NE(load(Riff({data16({3, 4}), fmt16()}), s), 0);
    EXPECT_EQ(frames(s), (std::vector<int16_t>{1, 2}));
    EXPECT_EQ(s.Length, 1);
}

TEST_F(LoadBytes, NoDataOrNoFmtFails) {
    TWAVSample s;
    EXPECT_NE(load(Riff({fmt16()}), s), 0);
    EXPECT_NE(load(Riff({data16({1, 2})}), s), 0);
    EXPECT_NE(load(Riff({}), s), 0);
}

TEST_F(LoadBytes, OnlyTheFirstFmtAndTheFirstDataCount) {
    // A second "fmt " (mono) is skipped; a second "data" is skipped.
    TWAVSample s;
    ASSERT_EQ(load(Riff({fmt16(), Chunk("fmt ", FmtBody(1, 1, 44100, 16)), data16({1, 2, 3, 4}), data16({9, 9})}), s),
              0);
    EXPECT_EQ(frames(s), (std::vector<int16_t>{1, 2, 3, 4}));
}

TEST_F(LoadBytes, OtherChunksAreSkipped) {
    TWAVSample s;
    ASSERT_EQ(load(Riff({Chunk("LIST", Bytes(10, 'x')), fmt16(), Chunk("junk", Bytes(6, 0)), data16({7, 8})}), s), 0);
    EXPECT_EQ(frames(s), (std::vector<int16_t>{7, 8}));
}

TEST_F(LoadBytes, NoPadByteIsSkippedAfterAnOddChunk) {
    TWAVSample s;
    // Odd chunk written without its pad byte: the next chunk follows directly.
    ASSERT_EQ(load(Riff({Chunk("odd ", Bytes(3, 'x')), fmt16(), data16({7, 8})}), s), 0);
    EXPECT_EQ(frames(s), (std::vector<int16_t>{7, 8}));
    // With a pad byte the walk lands one byte off and finds neither chunk.
    Bytes padded = Chunk("odd ", Bytes(3, 'x'));
    padded.push_back(0);
    EXPECT_NE(load(Riff({padded, fmt16(), data16({7, 8})}), s), 0);
}

TEST_F(LoadBytes, RiffSizeLargerThanTheFileIsClippedToTheFile) {
    TWAVSample s;
    ASSERT_EQ(load(Riff({fmt16(), data16({1, 2, 3, 4})}, 0x7FFFFFF0), s), 0);
    EXPECT_EQ(frames(s), (std::vector<int16_t>{1, 2, 3, 4}));
    ASSERT_EQ(load(Riff({fmt16(), data16({1, 2, 3, 4})}, 0xFFFFFFFF), s), 0);
    EXPECT_EQ(s.Length, 2);
}

TEST_F(LoadBytes, RiffSizeSmallerThanTheFileEndsTheWalk) {
    TWAVSample s;
    // RIFF size covers "WAVE" and "fmt " only: the data chunk lies outside the walk.
    Bytes f = Riff({fmt16(), data16({1, 2})}, 4 + 24);
    EXPECT_NE(load(f, s), 0);
    // RIFF size ending inside the data body: the body is clipped to the walk (2 of 4 frames).
    Bytes g = Riff({fmt16(), data16({1, 2, 3, 4, 5, 6, 7, 8})}, 4 + 24 + 8 + 8);
    ASSERT_EQ(load(g, s), 0);
    EXPECT_EQ(frames(s), (std::vector<int16_t>{1, 2, 3, 4}));
}

TEST_F(LoadBytes, ChunkSizePastTheEndIsClippedToTheWalk) {
    TWAVSample s;
    // The data chunk claims 4 GB but holds three frames.
    ASSERT_EQ(load(Riff({fmt16(), Chunk("data", Pcm16({1, 2, 3, 4, 5, 6}), 0xFFFFFFF0)}), s), 0);
    EXPECT_EQ(frames(s), (std::vector<int16_t>{1, 2, 3, 4, 5, 6}));
    // A "fmt " that claims more than there is: the walk ends, nothing loads.
    EXPECT_NE(load(Riff({Chunk("fmt ", FmtBody(1, 2, 44100, 16), 0xFFFFFFF0)}), s), 0);
    // A skipped chunk that claims too much ends the walk before "data".
    EXPECT_NE(load(Riff({fmt16(), Chunk("LIST", Bytes(4, 0), 0x80000000), data16({1, 2})}), s), 0);
}

TEST_F(LoadBytes, ConverterRejectionLoadsAnEmptySampleWithResultZero) {
    TWAVSample s;
    s.Data = {1, 2};
    s.Length = 1;
    // Unknown format tag.
    EXPECT_EQ(load(Riff({Chunk("fmt ", FmtBody(0x1234, 2, 44100, 16)), data16({1, 2})}), s), 0);
    EXPECT_FALSE(s.HasData());
    EXPECT_EQ(s.Length, 0);
    // "fmt " too short to be a wave-format record (10 bytes).
    s.Data = {1, 2};
    s.Length = 1;
    Bytes shortFmt = FmtBody(1, 2, 44100, 16);
    shortFmt.resize(10);
    EXPECT_EQ(load(Riff({Chunk("fmt ", shortFmt), data16({1, 2})}), s), 0);
    EXPECT_FALSE(s.HasData());
    EXPECT_EQ(s.Length, 0);
    // Zero channels, zero rate.
    EXPECT_EQ(load(Riff({Chunk("fmt ", FmtBody(1, 0, 44100, 16)), data16({1, 2})}), s), 0);
    EXPECT_FALSE(s.HasData());
    EXPECT_EQ(load(Riff({Chunk("fmt ", FmtBody(1, 2, 0, 16)), data16({1, 2})}), s), 0);
    EXPECT_FALSE(s.HasData());
    // An empty data chunk.
    EXPECT_EQ(load(Riff({fmt16(), data16({})}), s), 0);
    EXPECT_FALSE(s.HasData());
}

TEST_F(LoadBytes, NotARiffWaveFileFails) {
    TWAVSample s;
    Bytes good = Riff({fmt16(), data16({1, 2})});
    Bytes riffx = good;
    riffx[3] = 'X';
    EXPECT_NE(load(riffx, s), 0);
    Bytes wave = good;
    wave[8] = 'w';  // comparisons are case-sensitive
    EXPECT_NE(load(wave, s), 0);
    EXPECT_NE(load(Bytes(good.begin(), good.begin() + 11), s), 0);
    EXPECT_NE(load(Bytes{}, s), 0);
    EXPECT_NE(LoadWAV((dir / "missing.wav").string(), s), 0);
    EXPECT_NE(LoadWAV(dir.path().string(), s), 0);  // a folder
}

// Every prefix of real files of several encodings, and random corruption of
// their headers: nothing crashes, reads past the file or loops.
TEST_F(LoadBytes, TruncatedAndCorruptedFilesNeverCrash) {
    const char* formats[] = {"-r 22050 -c 1 -b 8 -e unsigned-integer", "-r 44100 -c 2 -b 24 -e signed-integer",
                             "-r 44100 -c 1 -e ima-adpcm", "-r 44100 -c 2 -e ms-adpcm", "-r 8000 -c 1 -e gsm-full-rate",
                             "-r 48000 -c 2 -b 32 -e floating-point", "-r 8000 -c 1 -e u-law"};
    std::mt19937 rng(1234);
    for (const char* f : formats) {
        auto src = dir / "src.wav";
        ASSERT_TRUE(Sox(f, "synth 0.05 sine 440", src));
        Bytes whole = ReadFileBytes(src);
        ASSERT_GT(whole.size(), 100u);
        for (size_t cut = 0; cut < whole.size(); cut += (cut < 160 ? 1 : 97)) {
            TWAVSample s;
            int r = load(Bytes(whole.begin(), whole.begin() + ptrdiff_t(cut)), s);
            if (r == 0) {
                EXPECT_EQ(s.Data.size(), size_t(s.Length) * 2);
                EXPECT_LE(s.Length, 44100);
            }
        }
        for (int k = 0; k < 300; ++k) {
            Bytes b = whole;
            int flips = 1 + int(rng() % 4);
            for (int j = 0; j < flips; ++j) b[rng() % std::min<size_t>(b.size(), 96)] = uint8_t(rng());
            TWAVSample s;
            if (load(b, s) == 0) {
                EXPECT_EQ(s.Data.size(), size_t(s.Length) * 2);
            }
        }
    }
}

TEST_F(LoadBytes, LoadingReplacesTheFrames) {
    TWAVSample s;
    ASSERT_EQ(load(Riff({fmt16(), data16({1, 2, 3, 4})}), s), 0);
    ASSERT_EQ(load(Riff({fmt16(), data16({5, 6})}), s), 0);
    EXPECT_EQ(frames(s), (std::vector<int16_t>{5, 6}));
    EXPECT_EQ(s.Length, 1);
}

}  // namespace
