// Round trips: every document field written by the writer reads back to the
// same value, from memory and from a file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "LoopCompare.h"
#include "TestSupport.h"
#include "loopfile/LoopFile.h"

namespace {

using txtest::ExpectSameDocument;

// A loop in which every field of every channel holds a value other than its
// default, different from channel to channel, and within its range.
void FillEveryField(tx::TLoop& loop) {
    loop.Tempo = 133;
    loop.CurrentPattern = 42;
    loop.SongMode = true;
    loop.ShowInfo = true;
    loop.Shuffle = 77;
    loop.MainVolume = 99;
    loop.MainPitch = -345;
    loop.MainResonance = 500;
    loop.MainCutOff = 700;
    loop.SongLoopPosition = 3;
    loop.Title = "Title \xC3\xBC";
    loop.InfoRich.clear();
    for (int i = 0; i < 300; ++i) loop.InfoRich += char(i * 7);  // zero bytes included; length needs two groups
    loop.URL = "http://example.org/loop";
    loop.WindowHeight = 321;
    loop.SetPatternAt(1, 0, true);
    loop.SetPatternAt(2, 0, true);
    loop.SetPatternAt(5, 3, true);
    loop.SetPatternAt(999, 511, true);
    loop.SetPatternAt(0, 511, true);

    while (loop.ChannelCount() < 6) loop.AddChannel();
    std::mt19937 rng(17);
    for (int i = 0; i < loop.ChannelCount(); ++i) {
        tx::TChannel& c = loop.Channel(i);
        c.Volume = 10 + i;
        c.Pan = 20 + i;
        c.MidiChannel = i;
        c.MidiNote = uint8_t(30 + i);
        c.MidiPatch = uint8_t(40 + i);
        c.MidiBank = uint8_t(50 + i);
        loop.SetChannelName(i, "Ch " + std::to_string(i));
        c.Color = tx::TColor{uint8_t(i), uint8_t(2 * i), uint8_t(3 * i + 1)};
        if (i % 2 == 0) c.ControllerTable[size_t(i)] = uint8_t(i);
        c.DelayFeed = 60 + i;
        c.DelayPan = 70 + i;
        c.DelayPitch = 80 + i;
        c.DelayEchoes = 1 + i;
        c.DelayTime = 90 + i;
        c.DelayReso = 100 + i;
        c.DelayCutOff = 110 + i;
        c.DelayShift = 120 + i;
        c.MixWith = (i + 1) % 6;
        c.RandomWith = {i, (i + 2) % 6, (i + 3) % 6};
        c.FXFirst = 130 + i;
        c.FXSecondMix = 140 + i;
        c.FXSecondSine = 150 + i;
        c.CutOff = 160 + i;
        c.Resonance = 170 + i;
        c.Stretch = 4 << i;
        c.PreAmp = 180 + i;
        c.Decay = 190 + i;
        c.Attack = 200 + i;
        c.StereoDelay = 3000 + i;
        c.FXThird = 400 + i;
        c.MiddleNote = 48 + i;
        c.Enabled = i % 2 == 1;
        c.RevStereo = (i & 1) != 0;
        c.FadeLR = (i & 2) != 0;
        c.ReverseSample = (i & 4) != 0;
        c.Pitchable = i % 3 != 0;
        c.DelayShuffled = i % 2 == 0;
        if (i == 3) loop.SetMinimized(i, true);
        c.Sample.CutGroup = i;
        c.Sample.CutByGroup = 99 - i;
        c.SampleFileName = "\\kick " + std::to_string(i) + ".wav";
        for (int p : {1, 500 + i, 999}) {
            tx::PatternRecord& r = c.Pattern(p);
            r.StepMask = uint16_t(0x8001 | (p * 37 + i));
            for (int row = 0; row < tx::StepRowCount; ++row)
                for (auto& v : r.Rows[size_t(row)]) v = uint8_t(rng() % (tx::StepParamTable[size_t(row)].Maximum + 1));
        }
    }
}

tx::TLoop ReadBack(const std::vector<uint8_t>& image) {
    tx::TLoop loop;
    const auto r = tx::ReadLoopFromMemory(image.data(), image.size(), loop);
    EXPECT_EQ(r.Code, 0) << r.Reason;
    EXPECT_FALSE(r.EndedEarly) << r.Reason;
    return loop;
}

TEST(LoopRoundTrip, EmptyNewLoopReadsBackAsNew) {
    tx::TLoop fresh;
    tx::TLoop b;
    b.AddChannel();
    b.AddChannel();
    b.SetPatternAt(4, 4, true);
    const auto image = tx::BuildLoopFile(fresh);
    ASSERT_EQ(tx::ReadLoopFromMemory(image.data(), image.size(), b).Code, 0);
    EXPECT_EQ(b.ChannelCount(), 4);
    EXPECT_TRUE(b.PlayList.IsEmpty());
    ExpectSameDocument(fresh, b);
    EXPECT_EQ(b.LoadedVersion, 1003072);
    EXPECT_FALSE(b.Modified);
}

TEST(LoopRoundTrip, EveryFieldOfEveryChannel) {
    tx::TLoop a;
    FillEveryField(a);
    tx::TLoop b = ReadBack(tx::BuildLoopFile(a));
    ExpectSameDocument(a, b);
    EXPECT_EQ(b.SongLength, 511);
}

TEST(LoopRoundTrip, WritingTheReadLoopGivesTheSameBytes) {
    tx::TLoop a;
    FillEveryField(a);
    const auto image = tx::BuildLoopFile(a);
    EXPECT_EQ(tx::BuildLoopFile(ReadBack(image)), image);
}

// Values that the reader does not check are kept exactly, even outside the
// ranges the program itself uses.
TEST(LoopRoundTrip, UncheckedValuesAreKeptAsRead) {
    tx::TLoop a;
    tx::TChannel& c = a.Channel(1);
    c.Volume = 255;
    c.Pan = 200;
    c.MidiChannel = 250;
    c.MixWith = 65535;
    c.RandomWith = {1, 65535, 7, 7};
    c.DelayEchoes = -5;
    c.DelayFeed = 1 << 30;
    c.DelayPan = INT32_MIN;  // stored minus 64, read plus 64: wraps both ways
    c.MiddleNote = -1;
    c.Stretch = 255;
    tx::PatternRecord& r = c.Pattern(7);
    r.StepMask = 1;
    r.Rows[tx::RowPitch].fill(255);
    r.Rows[tx::RowVolume].fill(0);
    a.WindowHeight = -20;
    tx::TLoop b = ReadBack(tx::BuildLoopFile(a));
    ExpectSameDocument(a, b);
}

// Per-step values of a pattern whose steps are all off are not stored.
TEST(LoopRoundTrip, PatternWithAllStepsOffIsNotKept) {
    tx::TLoop a;
    a.Channel(0).Pattern(3).StepVolume()[2] = 5;
    tx::TLoop b = ReadBack(tx::BuildLoopFile(a));
    EXPECT_TRUE(b.Channel(0).Pattern(3).IsReset());
}

TEST(LoopRoundTrip, ThroughAFileClearsModified) {
    txtest::TempDir dir;
    tx::TLoop a;
    FillEveryField(a);
    a.Modified = true;
    const std::string file = (dir / "every field.txp").string();
    ASSERT_EQ(tx::WriteLoop(file, a), "");
    EXPECT_FALSE(a.Modified);
    tx::TLoop b;
    b.Modified = true;
    const auto r = tx::ReadLoop(file, b);
    ASSERT_EQ(r.Code, 0) << r.Reason;
    EXPECT_FALSE(b.Modified);
    ExpectSameDocument(a, b);
    // Only the target is left in the folder.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++entries;
    EXPECT_EQ(entries, 1);
}

// A save streams the file through a buffer of its own; the bytes must be the
// image's, also across buffer boundaries and with an event larger than the buffer.
TEST(LoopRoundTrip, SavedFileEqualsTheImage) {
    tx::TLoop a;
    FillEveryField(a);
    a.InfoRich.assign(3 << 20, 'i');
    for (int ch = 0; ch < a.ChannelCount(); ++ch)
        for (int p = 1; p <= 999; ++p) {
            a.Channel(ch).Pattern(p).StepMask = uint16_t(p);
            a.Channel(ch).Pattern(p).StepVolume()[size_t(p % 16)] = uint8_t(ch);
        }
    txtest::TempDir dir;
    ASSERT_EQ(tx::WriteLoop((dir / "big.txp").string(), a), "");
    const auto image = tx::BuildLoopFile(a);
    EXPECT_GT(image.size(), size_t(3) << 20);
    EXPECT_TRUE(txtest::ReadFileBytes(dir / "big.txp") == image);
}

TEST(LoopRoundTrip, ReplacingAFileKeepsItsPermissions) {
    txtest::TempDir dir;
    const auto file = dir / "perm.txp";
    tx::TLoop a;
    ASSERT_EQ(tx::WriteLoop(file.string(), a), "");
    std::filesystem::permissions(file, std::filesystem::perms(0640));
    ASSERT_EQ(tx::WriteLoop(file.string(), a), "");
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all, std::filesystem::perms(0640));
}

// The repository's example loop: four named channels with steps and a
// playlist of three bars. The test keeps the shipped file in step with the
// writer; TROVAMIX_WRITE_EXAMPLE=1 writes it anew.
tx::TLoop ExampleLoop() {
    tx::TLoop loop;
    loop.Tempo = 128;
    loop.SongMode = true;
    loop.Title = "Example";
    struct {
        const char* Name;
        const char* Sample;
        tx::TColor Color;
        int Volume;
    } setup[4] = {{"Kick", "\\kick.wav", {232, 196, 176}, 100},
                  {"Snare", "\\snare.wav", {232, 220, 176}, 80},
                  {"Closed Hat", "\\closedhat.wav", {176, 232, 196}, 60},
                  {"Clap", "\\clap.wav", {214, 232, 176}, 70}};
    for (int i = 0; i < 4; ++i) {
        loop.SetChannelName(i, setup[i].Name);
        loop.Channel(i).SampleFileName = setup[i].Sample;
        loop.Channel(i).Color = setup[i].Color;
        loop.Channel(i).Volume = setup[i].Volume;
    }
    auto steps = [&](int ch, int pattern, uint16_t mask) { loop.Channel(ch).Pattern(pattern).StepMask = mask; };
    steps(0, 1, 0x1111);  // four on the floor
    steps(1, 1, 0x1010);
    steps(2, 1, 0x4444);
    steps(0, 2, 0x1111);
    steps(1, 2, 0x1010);
    steps(2, 2, 0xFFFF);
    steps(3, 2, 0x8000);
    for (int s = 0; s < 16; ++s) loop.Channel(2).Pattern(2).StepVolume()[size_t(s)] = uint8_t(s % 2 ? 60 : 100);
    steps(0, 3, 0x0111);
    steps(3, 3, 0x1010);
    loop.Channel(3).Pattern(3).StepPitch()[4] = 132;
    loop.SetPatternAt(1, 0, true);
    loop.SetPatternAt(2, 1, true);
    loop.SetPatternAt(1, 2, true);
    loop.SetPatternAt(3, 2, true);
    return loop;
}

TEST(LoopRoundTrip, ShippedExampleMatchesTheWriter) {
    const auto image = tx::BuildLoopFile(ExampleLoop());
    const std::string path = std::string(TROVAMIX_TEST_DATA) + "/example.txp";
    if (std::getenv("TROVAMIX_WRITE_EXAMPLE")) {
        tx::TLoop l = ExampleLoop();
        ASSERT_EQ(tx::WriteLoop(path, l), "");
    }
    EXPECT_EQ(txtest::ReadFileBytes(path), image) << "rerun with TROVAMIX_WRITE_EXAMPLE=1 to refresh " << path;
    tx::TLoop read;
    ASSERT_EQ(tx::ReadLoop(path, read).Code, 0);
    ExpectSameDocument(ExampleLoop(), read);
}

}  // namespace
