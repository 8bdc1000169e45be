// What a render writes besides plain WAV: the other formats (FLAC decodes to
// the WAV's very samples; the lossy ones to the same length and level; every
// one carries the title and the program's name in its own tags), refusals that
// write nothing, and stems, each of which must be byte for byte the render of
// the loop with every other channel muted.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "TestSupport.h"
#include "Wav16.h"
#include "engine/Render.h"

namespace {

namespace fs = std::filesystem;
using txtest::FillSample;

// A decoded file: its rate, its frames (interleaved, as 16-bit values and
// unclipped as floats) and its tags.
struct TDecoded {
    int Rate = 0;
    std::vector<int16_t> Pcm;
    std::vector<float> Float;
    std::string Title, Software, Comment;
};

TDecoded decode(const fs::path& p) {
    TDecoded d;
    SF_INFO info{};
    SNDFILE* sf = sf_open(p.c_str(), SFM_READ, &info);
    if (!sf) return d;
    d.Rate = info.samplerate;
    EXPECT_EQ(info.channels, 2);
    d.Pcm.resize(size_t(info.frames) * 2);
    d.Pcm.resize(size_t(sf_readf_short(sf, d.Pcm.data(), info.frames)) * 2);
    sf_seek(sf, 0, SEEK_SET);
    d.Float.resize(size_t(info.frames) * 2);
    d.Float.resize(size_t(sf_readf_float(sf, d.Float.data(), info.frames)) * 2);
    auto tag = [sf](int id) {
        const char* s = sf_get_string(sf, id);
        return std::string(s ? s : "");
    };
    d.Title = tag(SF_STR_TITLE);
    d.Software = tag(SF_STR_SOFTWARE);
    d.Comment = tag(SF_STR_COMMENT);
    sf_close(sf);
    return d;
}

template <typename T>
double rms(const std::vector<T>& v, double scale = 1) {
    double sum = 0;
    for (T x : v) sum += double(x) * scale * double(x) * scale;
    return v.empty() ? 0 : std::sqrt(sum / double(v.size()));
}

size_t filesIn(const fs::path& dir) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
    return n;
}

// A loop of six channels that leans on everything a stem has to get right:
// channel 1's steps cut channel 2's long notes (a cut group across channels),
// channel 0 also plays channel 3's sample (mix with), channels 3 and 4 pick
// their samples at random, channel 5's echoes ring on with the filter and
// pitch moving, and channel 2 is filtered and resonant. Channel 6 has no
// sample. The main filter runs over every output.
struct TStemLoop {
    explicit TStemLoop(tx::TRemainder remainder, bool crowd = false) : rig(1152) {
        tx::TLoop& loop = rig.loop;
        while (loop.ChannelCount() < 7) loop.AddChannel();
        const int32_t lengths[6] = {3000, 1500, 60000, 7000, 2500, 9000};
        for (int c = 0; c < 6; ++c) {
            tx::TChannel& ch = loop.Channel(c);
            ch.Name = "Ch/" + std::to_string(c);
            const int32_t n = crowd ? 150000 : lengths[c];
            FillSample(
                ch.Sample, n, [c](int32_t i) { return int16_t((i * (11 + 5 * c)) % 9000 - 4500); },
                [c](int32_t i) { return int16_t((i * (7 + 3 * c)) % 7000 - 3500); });
            ch.Volume = 90 + 5 * c;
            ch.Pan = 20 * c;
            for (int p = 1; p <= 2; ++p) {
                tx::PatternRecord& rec = ch.Pattern(p);
                rec.StepMask = crowd ? uint16_t(0xFFFF) : uint16_t(0x1111 << (c % 4) | (p == 2 ? 0x0202 : 0));
                for (int s = 0; s < 16; ++s) {
                    rec.StepVolume()[size_t(s)] = uint8_t(70 + (s * 7 + c) % 57);
                    rec.StepPan()[size_t(s)] = uint8_t((s * 9 + c * 13) % 128);
                }
            }
        }
        loop.Channel(1).Sample.CutGroup = 1;
        loop.Channel(2).Sample.CutByGroup = 1;
        loop.Channel(2).Pattern(1).StepCutoff()[0] = 60;
        loop.Channel(2).Pattern(1).StepReso()[0] = 100;
        loop.Channel(0).MixWith = 3;
        loop.Channel(0).Pattern(1).StepMix()[0] = 64;
        loop.Channel(4).RandomWith = {4, 0, 5};
        loop.Channel(3).RandomWith = {3, 1};  // so the mix draws more random numbers than channel 4 alone
        tx::TChannel& echo = loop.Channel(5);
        echo.DelayFeed = crowd ? 250 : 200;
        echo.DelayEchoes = 9;
        echo.DelayTime = 24;
        echo.DelayPitch = 130;
        echo.DelayCutOff = 90;
        echo.DelayReso = 170;
        for (int c = 0; c < 6 && crowd; ++c) {
            loop.Channel(c).DelayFeed = 120;
            loop.Channel(c).DelayEchoes = 9;
        }
        loop.Channel(6).Pattern(1).StepMask = 0xFFFF;  // no sample: its steps only cut
        loop.Channel(6).Sample.CutGroup = 1;
        loop.PlayList.SetPatternAt(1, 0, true);
        loop.PlayList.SetPatternAt(2, 1, true);
        loop.PlayList.SetPatternAt(1, 2, true);
        loop.Title = "Stems";
        rig.settings.RenderingRemainder = remainder;
        rig.engine->SetSettings(rig.settings);
        rig.engine->SetTempo(150);
        rig.engine->SetMainCutOff(700);
        rig.engine->SetMainResonance(600);
        rig.engine->SetSongMode(true);
    }
    txtest::EngineRig rig;
};

struct TStemCase {
    tx::TRemainder Remainder;
    bool Crowd;  // more voices than the mix's pool holds
    const char* Name;
};
void PrintTo(const TStemCase& c, std::ostream* os) { *os << c.Name; }

class Stems : public ::testing::TestWithParam<TStemCase> {};

TEST_P(Stems, EachStemIsTheRenderWithEveryOtherChannelMuted) {
    txtest::TempDir dir;
    const fs::path stems = dir / "stems";
    fs::create_directory(stems);
    {
        TStemLoop l(GetParam().Remainder, GetParam().Crowd);
        const tx::TRenderResult r = tx::RenderFiles(*l.rig.engine, {{}, stems.string(), {}});
        ASSERT_TRUE(r.Ok) << r.Error;
        EXPECT_EQ(r.Files.size(), 7u);  // the mix and six channels with a sample
    }
    EXPECT_EQ(filesIn(stems), 7u);
    {
        TStemLoop l(GetParam().Remainder, GetParam().Crowd);
        ASSERT_TRUE(tx::RenderWAV(*l.rig.engine, (dir / "mix.wav").string()).Ok);
    }
    EXPECT_EQ(txtest::ReadFileBytes(stems / "00 Mix.wav"), txtest::ReadFileBytes(dir / "mix.wav"));
    size_t lengths = 0;
    std::vector<size_t> seen;
    for (int c = 0; c < 6; ++c) {
        TStemLoop l(GetParam().Remainder, GetParam().Crowd);
        for (int other = 0; other < l.rig.loop.ChannelCount(); ++other)
            if (other != c) l.rig.loop.Channel(other).Enabled = false;
        const fs::path alone = dir / ("alone" + std::to_string(c) + ".wav");
        ASSERT_TRUE(tx::RenderWAV(*l.rig.engine, alone.string()).Ok);
        const fs::path stem = stems / ("0" + std::to_string(c + 1) + " Ch_" + std::to_string(c) + ".wav");
        ASSERT_TRUE(fs::exists(stem)) << stem;
        const std::vector<unsigned char> want = txtest::ReadFileBytes(alone);
        EXPECT_TRUE(txtest::ReadFileBytes(stem) == want) << "stem of channel " << c;
        EXPECT_GT(rms(txtest::ReadWav16(alone)), 50) << "channel " << c << " sounds";
        seen.push_back(want.size());
        lengths += want.size() != seen.front();
    }
    if (GetParam().Remainder == tx::TRemainder::Leave) {
        EXPECT_GT(lengths, 0u) << "each stem rings out on its own";
    }
}

INSTANTIATE_TEST_SUITE_P(Remainders, Stems,
                         ::testing::Values(TStemCase{tx::TRemainder::Cut, false, "Cut"},
                                           TStemCase{tx::TRemainder::Leave, false, "Leave"},
                                           TStemCase{tx::TRemainder::Wrap, false, "Wrap"},
                                           TStemCase{tx::TRemainder::Cut, true, "FullPool"}),
                         [](const auto& i) { return std::string(i.param.Name); });

TEST(StemNames, NumberAndNameWithUnsafeCharactersReplaced) {
    EXPECT_EQ(tx::StemFileName(0, "Kick", tx::TRenderFormat::Wav), "01 Kick.wav");
    EXPECT_EQ(tx::StemFileName(11, "a/b\\c:d*e?f\"g<h>i|j\tk", tx::TRenderFormat::Flac),
              "12 a_b_c_d_e_f_g_h_i_j_k.flac");
    EXPECT_EQ(tx::StemFileName(2, " ..", tx::TRenderFormat::Opus), "03 Channel.opus");
    EXPECT_EQ(tx::StemFileName(99, "Hat", tx::TRenderFormat::Mp3), "100 Hat.mp3");
    EXPECT_EQ(tx::StemFileName(4, "Caf\xE9", tx::TRenderFormat::Wav), "05 Caf\xC3\xA9.wav")
        << "old names are Windows-1252";
    EXPECT_EQ(tx::MixStemFileName(tx::TRenderFormat::Vorbis), "00 Mix.ogg");
}

// ------------------------------------------------------------ formats

// Each render from a fresh engine: the loop's random choices start over.
class Formats : public ::testing::Test {
protected:
    tx::TRenderResult render(const std::string& name, std::optional<tx::TRenderFormat> f = {}) {
        TStemLoop l(tx::TRemainder::Cut);
        l.rig.loop.MainVolume = 40;  // unclipped, so the lossy coders have a fair signal
        return tx::RenderFiles(*l.rig.engine, {(dir / name).string(), {}, f});
    }
    txtest::TempDir dir;
};

TEST_F(Formats, FlacHoldsTheWavSamplesAndEveryFormatItsTags) {
    ASSERT_TRUE(render("r.wav").Ok);
    const std::vector<int16_t> wav = txtest::ReadWav16(dir / "r.wav");
    ASSERT_FALSE(wav.empty());
    for (const tx::TRenderFormatInfo& f : tx::RenderFormats()) {
        if (f.Format == tx::TRenderFormat::Wav) continue;
        SCOPED_TRACE(f.Name);
        if (!tx::RenderFormatWritable(f.Format)) {
            EXPECT_FALSE(render(std::string("r") + f.Extension).Ok);
            EXPECT_FALSE(fs::exists(dir / (std::string("r") + f.Extension)));
            continue;
        }
        const tx::TRenderResult r = render(std::string("r") + f.Extension);
        ASSERT_TRUE(r.Ok) << r.Error;
        const TDecoded d = decode(dir / (std::string("r") + f.Extension));
        EXPECT_EQ(d.Title, "Stems");
        EXPECT_NE((d.Software + d.Comment).find("Trovamix"), std::string::npos) << d.Software << " / " << d.Comment;
        if (f.Format == tx::TRenderFormat::Flac) {
            EXPECT_EQ(d.Rate, 44100);
            EXPECT_TRUE(d.Pcm == wav) << "FLAC must decode to the WAV's samples";
            continue;
        }
        // Lossy: the same sound, give or take the coder's delay and padding.
        const double seconds = double(wav.size() / 2) / 44100, got = double(d.Pcm.size() / 2) / d.Rate;
        EXPECT_NEAR(got, seconds, 0.08);
        EXPECT_NEAR(rms(d.Float, 32768), rms(wav), 0.1 * rms(wav));
        EXPECT_EQ(d.Rate, f.Format == tx::TRenderFormat::Opus ? 48000 : 44100);
    }
}

TEST_F(Formats, AnExtensionWithoutAFormatWritesNothing) {
    for (const char* name : {"r.xyz", "r", "r.wav.bak"}) {
        const tx::TRenderResult r = render(name);
        EXPECT_FALSE(r.Ok) << name;
        EXPECT_NE(r.Error.find("names no format"), std::string::npos) << r.Error;
    }
    EXPECT_EQ(filesIn(dir.path()), 0u);
    // A format named outright takes any name.
    EXPECT_TRUE(render("r.xyz", tx::TRenderFormat::Flac).Ok);
    EXPECT_EQ(decode(dir / "r.xyz").Rate, 44100);
    EXPECT_TRUE(tx::RenderFormatOfFile("A.FLAC") == tx::TRenderFormat::Flac);
    EXPECT_TRUE(tx::RenderFormatNamed("vorbis") == tx::TRenderFormat::Vorbis);
}

TEST_F(Formats, StemsIntoAFolderThatCannotTakeThemWriteNothing) {
    TStemLoop l(tx::TRemainder::Cut);
    const tx::TRenderResult r =
        tx::RenderFiles(*l.rig.engine, {{}, (dir / "missing").string(), tx::TRenderFormat::Flac});
    EXPECT_FALSE(r.Ok);
    EXPECT_NE(r.Error.find("00 Mix.flac"), std::string::npos) << r.Error;
    EXPECT_EQ(filesIn(dir.path()), 0u);
}

}  // namespace
