// Standard MIDI File export: exact bytes of small files, a track reader of the
// test's own for larger ones, and mido reading a written file back.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <random>

#include "TestSupport.h"
#include "midi/MidiFile.h"

namespace {

using Bytes = std::vector<uint8_t>;

// One event of a track as read back: absolute tick and its bytes (delta left out).
struct Ev {
    uint32_t tick;
    Bytes bytes;
    bool operator==(const Ev&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Ev& e) {
    os << "@" << e.tick << ":";
    for (uint8_t b : e.bytes) os << " " << std::hex << int(b) << std::dec;
    return os;
}

// Reads the single track of a format 0 image; fails the test on anything
// malformed, including a data byte of 128 or more where a data byte belongs.
std::vector<Ev> readTrack(const Bytes& f) {
    std::vector<Ev> evs;
    EXPECT_GE(f.size(), 22u);
    if (f.size() < 22) return evs;
    uint32_t len = uint32_t(f[18]) << 24 | uint32_t(f[19]) << 16 | uint32_t(f[20]) << 8 | f[21];
    EXPECT_EQ(len, f.size() - 22);
    size_t p = 22;
    uint32_t tick = 0;
    auto vlq = [&]() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t b = f.at(p++);
            v = (v << 7) | (b & 0x7F);
            if (!(b & 0x80)) return v;
        }
        ADD_FAILURE() << "variable-length number longer than 4 bytes";
        return v;
    };
    while (p < f.size()) {
        tick += vlq();
        uint8_t status = f.at(p);
        EXPECT_GE(status, 0x80) << "running status or a stray data byte at " << p;
        size_t n;
        if (status == 0xFF) {
            size_t start = p;
            p += 2;
            uint32_t metaLen = vlq();
            n = (p - start) + metaLen;
            p = start;
        } else {
            n = ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0) ? 2 : 3;
            for (size_t i = 1; i < n; ++i) EXPECT_LT(f.at(p + i), 0x80) << "data byte at " << p + i;
        }
        if (p + n > f.size()) {
            ADD_FAILURE() << "event runs past the end";
            break;
        }
        evs.push_back({tick, Bytes(f.begin() + long(p), f.begin() + long(p + n))});
        p += n;
    }
    return evs;
}

std::vector<Ev> noteEvents(const std::vector<Ev>& evs) {
    std::vector<Ev> out;
    for (const Ev& e : evs)
        if (e.bytes[0] < 0xF0 && ((e.bytes[0] & 0xF0) == 0x90 || (e.bytes[0] & 0xF0) == 0x80)) out.push_back(e);
    return out;
}

class MidiFileTest : public ::testing::Test {
public:
    Bytes build(bool song) {
        tx::TMidiRandom rng(7);
        return tx::BuildMidiFile(loop, settings, song, rng);
    }
    static Bytes track(const Bytes& f) { return Bytes(f.begin() + 22, f.end()); }
    tx::TChannel& midi(int i, uint8_t note, int midiChannel) {
        tx::TChannel& c = loop.Channel(i);
        c.MidiNote = note;
        c.MidiChannel = midiChannel;
        return c;
    }
    tx::TLoop loop;
    tx::TSettings settings;
};

const Bytes Tempo140 = {0x00, 0xFF, 0x51, 0x03, 0x06, 0x8A, 0x1B};  // 428571 us a quarter
const Bytes EndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

// Whole small files: the header, the 140 BPM tempo, these events (delta and
// bytes), the end of the track; the track length is 11 plus the events.
struct TFileCase {
    const char* Name;
    std::function<void(MidiFileTest&)> Set;
    bool Song;
    Bytes Events;
};
void PrintTo(const TFileCase& c, std::ostream* os) { *os << c.Name; }
class MidiFileCase : public MidiFileTest, public ::testing::WithParamInterface<TFileCase> {};

TEST_P(MidiFileCase, IsExactly) {
    GetParam().Set(*this);
    Bytes track = Tempo140;
    track.insert(track.end(), GetParam().Events.begin(), GetParam().Events.end());
    track.insert(track.end(), EndOfTrack.begin(), EndOfTrack.end());
    Bytes expected = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 0x78, 'M', 'T', 'r', 'k', 0, 0, 0, uint8_t(track.size())};
    expected.insert(expected.end(), track.begin(), track.end());
    EXPECT_EQ(build(GetParam().Song), expected);
}

using F = MidiFileTest;
INSTANTIATE_TEST_SUITE_P(
    Files, MidiFileCase,
    ::testing::Values(
        TFileCase{"NoMidiChannelsSong", [](F&) {}, true, {}}, TFileCase{"NoMidiChannelsPattern", [](F&) {}, false, {}},
        // Every channel's setup at time zero, a muted sample channel's too; 128..254 are not set, pan 64 is centre.
        TFileCase{"ChannelSetup",
                  [](F& t) {
                      tx::TChannel& c = t.midi(0, 36, 9);
                      c.MidiBank = 5;
                      c.MidiPatch = 0;
                      c.Pan = 20;
                      c.ControllerTable[7] = 100;
                      c.ControllerTable[8] = 200;
                      c.ControllerTable[93] = 0;
                      tx::TChannel& s = t.loop.Channel(2);
                      s.MidiChannel = 3;
                      s.MidiPatch = 12;
                      s.Enabled = false;
                      s.Pan = 64;
                  },
                  true,
                  {0, 0xB9, 0, 5, 0, 0xC9, 0, 0, 0xB9, 10, 20, 0, 0xB9, 7, 100, 0, 0xB9, 93, 0, 0, 0xC3, 12}},
        TFileCase{"BankByController32",
                  [](F& t) {
                      t.settings.BankSelectMethod = 1;
                      t.midi(1, 36, 0).MidiBank = 5;
                  },
                  false,
                  {0, 0xB0, 0, 0, 0, 0xB0, 32, 5}},
        // Pan and note-on at 0, note-off at 14 (velocity 128 x 100 / 128), the
        // next step's pan at 30: deltas 0, 14, 16.
        TFileCase{"TwoStepsInARow",
                  [](F& t) { t.midi(0, 36, 9).Pattern(1).StepMask = 0x0003; },
                  false,
                  {0, 0xB9, 10, 64, 0, 0x99, 36, 100, 14, 0x89, 36, 100, 16, 0xB9, 10, 64, 0, 0x99, 36, 100, 14, 0x89, 36,
                   100}},
        // Key 127 + 120 - 60 on step 0 is left out; step 1 plays key 60.
        TFileCase{"KeysOutsideTheMidiRangeAreLeftOut",
                  [](F& t) {
                      tx::PatternRecord& r = t.midi(0, 120, 9).Pattern(1);
                      r.StepMask = 0x0003;
                      r.StepNote()[0] = 127;
                      r.StepNote()[1] = 0;
                  },
                  false,
                  {30, 0xB9, 10, 64, 0, 0x99, 60, 100, 14, 0x89, 60, 100}},
        // Mixed wholly into channel 1: velocity 50 x 100 x 64 / 12800 = 25 there;
        // the note-off carries 64 x 100 / 128 = 50 from channel 0, whose step it is.
        TFileCase{"NoteOffVelocityOfTheChannelWhoseStepItIs",
                  [](F& t) {
                      tx::TChannel& c = t.midi(0, 36, 9);
                      c.MixWith = 1;
                      c.Pattern(1).SetStep(0, true);
                      c.Pattern(1).StepMix()[0] = 127;
                      t.midi(1, 40, 2).Volume = 50;
                      t.loop.MainVolume = 64;
                  },
                  false,
                  {0, 0xB2, 10, 64, 0, 0x92, 40, 25, 14, 0x82, 40, 50}},
        TFileCase{"SeveralPatternsAtAPositionPlayLastEntryFirst",
                  [](F& t) {
                      t.midi(0, 36, 9).Pattern(1).SetStep(0, true);
                      t.midi(1, 38, 1).Pattern(2).SetStep(0, true);
                      t.loop.SetPatternAt(1, 0, true);
                      t.loop.SetPatternAt(2, 0, true);
                  },
                  true,
                  {0, 0xB1, 10, 64, 0, 0x91, 38, 100, 0, 0xB9, 10, 64, 0, 0x99, 36, 100, 14, 0x81, 38, 100, 0, 0x89, 36,
                   100}}));

struct TempoCase {
    int bpm;
    Bytes us;
};
void PrintTo(const TempoCase& c, std::ostream* os) { *os << c.bpm << "Bpm"; }
class MidiFileTempoTest : public MidiFileTest, public ::testing::WithParamInterface<TempoCase> {};

TEST_P(MidiFileTempoTest, TempoIsMicrosecondsPerQuarterNote) {
    loop.Tempo = GetParam().bpm;
    Bytes t = track(build(false));
    EXPECT_EQ(Bytes(t.begin() + 4, t.begin() + 7), GetParam().us);
}

INSTANTIATE_TEST_SUITE_P(Tempi, MidiFileTempoTest,
                         ::testing::Values(TempoCase{140, {0x06, 0x8A, 0x1B}},     // 428571
                                           TempoCase{120, {0x07, 0xA1, 0x20}},     // 500000
                                           TempoCase{10, {0x5B, 0x8D, 0x80}},      // 6000000
                                           TempoCase{0, {0x5B, 0x8D, 0x80}},       // held to 10
                                           TempoCase{9999, {0x01, 0xD4, 0xC0}}));  // held to 500

// Ticks past 127 take several bytes; an empty playlist position is a silent bar.
TEST_F(MidiFileTest, PatternExportWritesOnlyTheCurrentPattern) {
    midi(0, 36, 9).Pattern(1).SetStep(0, true);
    loop.Channel(0).Pattern(3).SetStep(5, true);
    loop.SetPatternAt(1, 0, true);
    loop.SetPatternAt(3, 2, true);
    loop.CurrentPattern = 3;
    std::vector<Ev> pattern = noteEvents(readTrack(build(false)));
    EXPECT_EQ(pattern, (std::vector<Ev>{{150, {0x99, 36, 100}}, {164, {0x89, 36, 100}}}));
    std::vector<Ev> song = noteEvents(readTrack(build(true)));
    EXPECT_EQ(song, (std::vector<Ev>{
                        {0, {0x99, 36, 100}}, {14, {0x89, 36, 100}}, {1110, {0x99, 36, 100}}, {1124, {0x89, 36, 100}}}));
}

TEST_F(MidiFileTest, AnEmptyPlaylistWalksThePatternsUpToTheFirstEmptyOne) {
    midi(0, 36, 9);
    for (int p : {1, 2, 3, 5}) loop.Channel(0).Pattern(p).SetStep(0, true);
    loop.SongLength = 99;  // stale; recomputed by the export
    std::vector<Ev> n = noteEvents(readTrack(build(true)));
    std::vector<uint32_t> ticks;
    for (const Ev& e : n)
        if ((e.bytes[0] & 0xF0) == 0x90) ticks.push_back(e.tick);
    EXPECT_EQ(ticks, (std::vector<uint32_t>{0, 480, 960}));  // pattern 4 is empty: 5 is never reached
    EXPECT_EQ(loop.SongLength, 2);
}

TEST_F(MidiFileTest, ALongBusySongGrowsPastTheOld64KBuffer) {
    for (int i = 0; i < 16; ++i) {
        if (i >= loop.ChannelCount()) loop.AddChannel();
        midi(i, uint8_t(30 + i), i).Pattern(1).StepMask = 0xFFFF;
    }
    for (int pos = 0; pos < tx::PlayListPositions; ++pos) loop.SetPatternAt(1, pos, true);
    Bytes f = build(true);
    EXPECT_GT(f.size(), 65536u * 16);
    std::vector<Ev> evs = readTrack(f);
    ASSERT_FALSE(evs.empty());
    EXPECT_EQ(evs.back().bytes, (Bytes{0xFF, 0x2F, 0x00}));
    size_t ons = 0;
    for (const Ev& e : evs) ons += (e.bytes[0] & 0xF0) == 0x90;
    EXPECT_EQ(ons, 512u * 16 * 16);
    EXPECT_EQ(evs.back().tick, 511u * 480 + 15 * 30 + 14);  // the last note-off
}

TEST_F(MidiFileTest, ExtremeValuesNeverGiveADataByteOf128OrMore) {
    std::mt19937 gen(2024);
    auto any = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
    for (int round = 0; round < 40; ++round) {
        loop.ResetToNew();
        loop.Tempo = any(-100, 1000);
        loop.MainVolume = any(-50, 400);
        loop.MainPitch = any(-20000, 20000);
        settings.BankSelectMethod = any(0, 1);
        for (int i = 0; i < loop.ChannelCount(); ++i) {
            tx::TChannel& c = loop.Channel(i);
            c.Volume = any(-1000, 1000);
            c.Pan = any(-500, 500);
            c.MidiChannel = any(-20, 40);
            c.MidiNote = uint8_t(any(0, 255));
            c.MidiBank = uint8_t(any(0, 255));
            c.MidiPatch = uint8_t(any(0, 255));
            c.MixWith = any(-3, 8);
            c.RandomWith = {i, any(-2, 6), any(0, 3)};
            c.Pitchable = any(0, 1);
            for (auto& v : c.ControllerTable) v = uint8_t(any(0, 255));
            tx::PatternRecord& r = c.Pattern(1);
            r.StepMask = uint16_t(any(0, 0xFFFF));
            for (auto& row : r.Rows)
                for (auto& v : row) v = uint8_t(any(0, 255));
        }
        readTrack(build(false));  // the reader flags every bad byte
        if (HasFailure()) FAIL() << "round " << round;
    }
}

// Written to a temporary name and renamed: no temporary is left behind, and a
// failure leaves nothing and says why.
TEST_F(MidiFileTest, WritingReplacesTheTargetThroughATemporaryFile) {
    txtest::TempDir dir;
    auto target = dir / "song.mid";
    txtest::WriteFileBytes(target, {1, 2, 3});
    Bytes image = build(true);
    EXPECT_EQ(tx::WriteMidiFile(target.string(), image), "");
    EXPECT_EQ(txtest::ReadFileBytes(target), image);
    auto notAFolder = dir / "file";
    txtest::WriteFileBytes(notAFolder, {9});
    std::string why = tx::WriteMidiFile((notAFolder / "song.mid").string(), image);
    EXPECT_NE(why.find("cannot create a file in its folder"), std::string::npos) << why;
    EXPECT_FALSE(tx::WriteMidiFile((dir / "missing" / "song.mid").string(), image).empty());
    size_t files = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 2u);  // song.mid and file: no temporary left behind
    EXPECT_EQ(txtest::ReadFileBytes(notAFolder), (std::vector<unsigned char>{9}));
}

// --- read back by an independent reader
nlohmann::json readWithMido(const std::filesystem::path& file) {
    std::string cmd = "/usr/bin/python3 " TROVAMIX_SOURCE_DIR "/tests/midi/read_midi.py '" + file.string() + "' 2>&1";
    std::string output;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return nullptr;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) output.append(buf, n);
    int rc = pclose(p);
    if (rc != 0) {
        ADD_FAILURE() << "mido could not read the file: " << output;
        return nullptr;
    }
    return nlohmann::json::parse(output);
}

TEST_F(MidiFileTest, MidoReadsTheExportedSongBack) {
    loop.Tempo = 125;  // 480000 us a quarter
    tx::TChannel& bd = midi(0, 36, 9);
    for (int s : {0, 4, 8, 12}) bd.Pattern(1).SetStep(s, true);
    bd.Pattern(2).SetStep(2, true);
    bd.Pattern(2).StepVolume()[2] = 64;  // 100 x 64 x 128 / 12800 = 64
    tx::TChannel& sn = midi(1, 38, 1);
    sn.Volume = 80;
    sn.Pattern(1).SetStep(4, true);
    sn.Pattern(1).StepNote()[4] = 62;  // key 40
    txtest::TempDir dir;
    auto file = dir / "song.mid";
    ASSERT_EQ(tx::WriteMidiFile(file.string(), build(true)), "");
    nlohmann::json j = readWithMido(file);
    ASSERT_FALSE(j.is_null());
    EXPECT_EQ(j["type"], 0);
    EXPECT_EQ(j["tracks"], 1);
    EXPECT_EQ(j["ticks_per_beat"], 120);
    EXPECT_EQ(j["tempos"], nlohmann::json::parse("[[0, 480000]]"));
    EXPECT_EQ(j["last"], "end_of_track");
    // tick, channel, key, velocity, length, note-off velocity
    std::vector<std::array<int, 6>> expected = {
        {0, 9, 36, 100, 14, 100},   {120, 9, 36, 100, 14, 100}, {120, 1, 40, 80, 14, 80},
        {240, 9, 36, 100, 14, 100}, {360, 9, 36, 100, 14, 100}, {540, 9, 36, 64, 14, 100},
    };
    ASSERT_EQ(j["notes"].size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const auto& n = j["notes"][i];
        std::array<int, 6> got = {n["tick"], n["channel"], n["key"], n["velocity"], n["length"], n["off_velocity"]};
        EXPECT_EQ(got, expected[i]) << "note " << i;
    }
}

}  // namespace
