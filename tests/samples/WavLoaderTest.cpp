// The WAV loader: every encoding sox writes arrives as 44100 Hz 16-bit
// stereo, hand-built files convert exactly, and the RIFF walk keeps its rules
// on malformed files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
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
    bool exact = false;     // no rate conversion, or an exact ratio: exactly 17640 frames
};

void PrintTo(const EncodingCase& c, std::ostream* os) { *os << c.name; }

class LoadEncoding : public testing::TestWithParam<EncodingCase> {
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
    if (c.exact)
        EXPECT_EQ(s.Length, 17640);
    else
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

// 8-bit mono at 22050 Hz doubles exactly: twice the frames of the file.
INSTANTIATE_TEST_SUITE_P(
    Sox, LoadEncoding,
    testing::Values(EncodingCase{"u8_mono_22050", 22050, 1, "-b 8 -e unsigned-integer", 0.01, true},
                    EncodingCase{"u8_stereo_44100", 44100, 2, "-b 8 -e unsigned-integer", 0.01, true},
                    EncodingCase{"s16_mono_44100", 44100, 1, "-b 16 -e signed-integer", 0.001, true},
                    EncodingCase{"s16_stereo_48000", 48000, 2, "-b 16 -e signed-integer", 0.002},
                    EncodingCase{"s16_mono_8000", 8000, 1, "-b 16 -e signed-integer", 0.002},
                    EncodingCase{"s16_stereo_96000", 96000, 2, "-b 16 -e signed-integer", 0.002},
                    EncodingCase{"s16_mono_11025", 11025, 1, "-b 16 -e signed-integer", 0.002},
                    EncodingCase{"s16_mono_32000", 32000, 1, "-b 16 -e signed-integer", 0.002},
                    EncodingCase{"s16_mono_22255", 22255, 1, "-b 16 -e signed-integer", 0.002},
                    EncodingCase{"s24_mono_44100", 44100, 1, "-b 24 -e signed-integer", 0.001, true},
                    EncodingCase{"s24_stereo_88200", 88200, 2, "-b 24 -e signed-integer", 0.002},
                    EncodingCase{"s32_stereo_44100", 44100, 2, "-b 32 -e signed-integer", 0.001, true},
                    EncodingCase{"f32_mono_44100", 44100, 1, "-b 32 -e floating-point", 0.001, true},
                    EncodingCase{"f32_stereo_48000", 48000, 2, "-b 32 -e floating-point", 0.002},
                    EncodingCase{"f64_mono_44100", 44100, 1, "-b 64 -e floating-point", 0.001, true},
                    EncodingCase{"ulaw_mono_8000", 8000, 1, "-e u-law", 0.02},
                    EncodingCase{"alaw_stereo_44100", 44100, 2, "-e a-law", 0.02, true},
                    EncodingCase{"ima_adpcm_mono_44100", 44100, 1, "-e ima-adpcm", 0.03, true},
                    EncodingCase{"ima_adpcm_stereo_22050", 22050, 2, "-e ima-adpcm", 0.03},
                    EncodingCase{"ms_adpcm_mono_44100", 44100, 1, "-e ms-adpcm", 0.03, true},
                    EncodingCase{"ms_adpcm_stereo_11025", 11025, 2, "-e ms-adpcm", 0.03},
                    EncodingCase{"gsm_mono_8000", 8000, 1, "-e gsm-full-rate", 0.1},
                    EncodingCase{"s16_four_channels_44100", 44100, 4, "-b 16 -e signed-integer", 0.001, true}),
    [](const auto& info) { return std::string(info.param.name); });

class LoadSox : public testing::Test {
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

// Each side keeps its own tone, through the resampler and of four channels
// (of which the first two are kept).
TEST_F(LoadSox, SidesKeepTheirOwnTone) {
    for (std::string channels : {"-r 48000 -c 2", "-r 44100 -c 4"}) {
        SCOPED_TRACE(channels);
        const std::string tones =
            channels.back() == '2' ? "sine 440 sine 1000" : "sine 440 sine 1000 sine 2000 sine 3000";
        TWAVSample s = load(channels + " -b 16 -e signed-integer", "synth 0.5 " + tones + " vol 0.5");
        EXPECT_NEAR(s.Length, 22050, 1);
        EXPECT_NEAR(Stats(s, 0, 1000, s.Length - 1000).crossings, 440.0 * (s.Length - 2000) / 44100, 2);
        EXPECT_NEAR(Stats(s, 1, 1000, s.Length - 1000).crossings, 1000.0 * (s.Length - 2000) / 44100, 2);
    }
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
// Hand-built files: exact conversion, and the rules of the chunk walk. A file
// that does not load leaves the sample as it was; one that loads replaces it.

Bytes fmt16() { return Chunk("fmt ", FmtBody(1, 2, 44100, 16)); }
Bytes data16(std::vector<int16_t> v) { return Chunk("data", Pcm16(v)); }
Bytes fmtOf(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    return Chunk("fmt ", FmtBody(tag, channels, rate, bits));
}
Bytes le24(std::initializer_list<int32_t> values) {
    Bytes d;
    for (int32_t v : values) d.insert(d.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)});
    return d;
}
Bytes floats(std::initializer_list<float> values) {
    Bytes d;
    for (float f : values) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        Put32(d, u);
    }
    return d;
}
Bytes patched(Bytes b, size_t at, uint8_t v) {
    b[at] = v;
    return b;
}
Bytes withPad(Bytes b) {
    b.push_back(0);
    return b;
}
Bytes shortFmt() {
    Bytes f = FmtBody(1, 2, 44100, 16);
    f.resize(10);  // too short to be a wave-format record
    return Chunk("fmt ", f);
}
const Bytes good = Riff({fmt16(), data16({1, 2})});

struct FileCase {
    const char* name;
    Bytes file;
    std::optional<std::vector<int16_t>> frames;  // none: does not load
};
void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }
const std::nullopt_t fails = std::nullopt;
const std::vector<int16_t> empty;  // loads with result 0, but holds nothing

class LoadBytes : public testing::TestWithParam<FileCase> {
protected:
    TempDir dir;
};

TEST_P(LoadBytes, LoadsExactlyOrLeavesTheSample) {
    const FileCase& c = GetParam();
    WriteFileBytes(dir / "b.wav", c.file);
    TWAVSample s;
    s.Data = {11, 12};
    s.Length = 1;
    const int r = LoadWAV((dir / "b.wav").string(), s);
    const std::vector<int16_t> got(s.Data.begin(), s.Data.end());
    if (!c.frames) {
        EXPECT_NE(r, 0);
        EXPECT_EQ(got, (std::vector<int16_t>{11, 12}));
        EXPECT_EQ(s.Length, 1);
    } else {
        EXPECT_EQ(r, 0);
        EXPECT_EQ(got, *c.frames);
        EXPECT_EQ(size_t(s.Length) * 2, got.size());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadBytes,
    testing::Values(
        FileCase{"pcm16_stereo_copied", Riff({fmt16(), data16({0, -1, 32767, -32768, 1234, -4321})}),
                 std::vector<int16_t>{0, -1, 32767, -32768, 1234, -4321}},
        FileCase{"mono_to_both_sides", Riff({fmtOf(1, 1, 44100, 16), data16({5, -7})}),
                 std::vector<int16_t>{5, 5, -7, -7}},
        // (v - 128) x 256
        FileCase{"u8_around_half_scale", Riff({fmtOf(1, 1, 44100, 8), Chunk("data", Bytes{0, 128, 255, 129})}),
                 std::vector<int16_t>{-32768, -32768, 0, 0, 32512, 32512, 256, 256}},
        // v / 256 to nearest even: 1.5 -> 2, 2.5 -> 2, -1.5 -> -2, 32767.99 -> 32767, 0.78 -> 1
        FileCase{"s24_rounds_and_clips",
                 Riff({fmtOf(1, 1, 44100, 24), Chunk("data", le24({384, 640, -384, 0x7FFFFF, 200, -0x800000}))}),
                 std::vector<int16_t>{2, 2, 2, 2, -2, -2, 32767, 32767, 1, 1, -32768, -32768}},
        FileCase{"float_scaled_and_clipped",
                 Riff({fmtOf(3, 2, 44100, 32), Chunk("data", floats({0.25f, -0.5f, 1.5f, -2.0f, 0.0f, 0.99999f}))}),
                 std::vector<int16_t>{8192, -16384, 32767, -32768, 0, 32767}},
        FileCase{"data_before_fmt", Riff({data16({3, 4}), fmt16()}), fails},
        FileCase{"no_data", Riff({fmt16()}), fails}, FileCase{"no_fmt", Riff({data16({1, 2})}), fails},
        // a second "fmt " (mono) and a second "data" are skipped
        FileCase{"first_fmt_and_data_count",
                 Riff({fmt16(), fmtOf(1, 1, 44100, 16), data16({1, 2, 3, 4}), data16({9, 9})}),
                 std::vector<int16_t>{1, 2, 3, 4}},
        FileCase{"other_chunks_skipped",
                 Riff({Chunk("LIST", Bytes(10, 'x')), fmt16(), Chunk("junk", Bytes(6, 0)), data16({7, 8})}),
                 std::vector<int16_t>{7, 8}},
        // no pad byte after an odd chunk: with one the walk lands a byte off
        FileCase{"odd_chunk_unpadded", Riff({Chunk("odd ", Bytes(3, 'x')), fmt16(), data16({7, 8})}),
                 std::vector<int16_t>{7, 8}},
        FileCase{"odd_chunk_padded", Riff({withPad(Chunk("odd ", Bytes(3, 'x'))), fmt16(), data16({7, 8})}), fails},
        // the RIFF size is clipped to the file, and ends the walk where it ends
        FileCase{"riff_size_max", Riff({fmt16(), data16({1, 2, 3, 4})}, 0xFFFFFFFF), std::vector<int16_t>{1, 2, 3, 4}},
        FileCase{"riff_size_before_data", Riff({fmt16(), data16({1, 2})}, 4 + 24), fails},
        FileCase{"riff_size_inside_data", Riff({fmt16(), data16({1, 2, 3, 4, 5, 6, 7, 8})}, 4 + 24 + 8 + 8),
                 std::vector<int16_t>{1, 2, 3, 4}},
        // a chunk is clipped to the walk: data that claims 4 GB holds three frames
        FileCase{"data_size_past_the_end", Riff({fmt16(), Chunk("data", Pcm16({1, 2, 3, 4, 5, 6}), 0xFFFFFFF0)}),
                 std::vector<int16_t>{1, 2, 3, 4, 5, 6}},
        FileCase{"fmt_size_past_the_end", Riff({Chunk("fmt ", FmtBody(1, 2, 44100, 16), 0xFFFFFFF0)}), fails},
        FileCase{"skipped_size_past_the_end", Riff({fmt16(), Chunk("LIST", Bytes(4, 0), 0x80000000), data16({1, 2})}),
                 fails},
        // what the converter rejects loads as an empty sample, result 0
        FileCase{"unknown_tag", Riff({fmtOf(0x1234, 2, 44100, 16), data16({1, 2})}), empty},
        FileCase{"short_fmt", Riff({shortFmt(), data16({1, 2})}), empty},
        FileCase{"zero_rate", Riff({fmtOf(1, 2, 0, 16), data16({1, 2})}), empty},
        FileCase{"empty_data", Riff({fmt16(), data16({})}), empty},
        // comparisons are case-sensitive
        FileCase{"not_riff", patched(good, 3, 'X'), fails}, FileCase{"not_wave", patched(good, 8, 'w'), fails},
        FileCase{"cut_in_the_header", Bytes(good.begin(), good.begin() + 11), fails}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadFile, MissingFileAndFolderFail) {
    TempDir dir;
    TWAVSample s;
    EXPECT_NE(LoadWAV((dir / "missing.wav").string(), s), 0);
    EXPECT_NE(LoadWAV(dir.path().string(), s), 0);
}

// Every prefix of real files of several encodings, and random corruption of
// their headers: nothing crashes, reads past the file or loops.
TEST_F(LoadSox, TruncatedAndCorruptedFilesNeverCrash) {
    const char* formats[] = {"-r 22050 -c 1 -b 8 -e unsigned-integer",
                             "-r 44100 -c 2 -b 24 -e signed-integer",
                             "-r 44100 -c 1 -e ima-adpcm",
                             "-r 44100 -c 2 -e ms-adpcm",
                             "-r 8000 -c 1 -e gsm-full-rate",
                             "-r 48000 -c 2 -b 32 -e floating-point",
                             "-r 8000 -c 1 -e u-law"};
    std::mt19937 rng(1234);
    auto load = [&](const Bytes& b, TWAVSample& s) {
        WriteFileBytes(dir / "b.wav", b);
        return LoadWAV((dir / "b.wav").string(), s);
    };
    for (const char* f : formats) {
        auto src = dir / "src.wav";
        ASSERT_TRUE(Sox(f, "synth 0.05 sine 440", src));
        Bytes whole = ReadFileBytes(src);
        ASSERT_GT(whole.size(), 100u);
        for (size_t cut = 0; cut < whole.size(); cut += (cut < 160 ? 1 : 97)) {
            TWAVSample s;
            if (load(Bytes(whole.begin(), whole.begin() + ptrdiff_t(cut)), s) == 0) {
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

}  // namespace
