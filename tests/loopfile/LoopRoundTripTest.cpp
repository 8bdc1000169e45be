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
// default, different from field to field and from channel to channel.
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
    loop.WindowHeight = -20;
    for (auto [pattern, pos] : {std::pair{1, 0}, {2, 0}, {5, 3}, {999, 511}, {0, 511}})
        loop.SetPatternAt(pattern, pos, true);

    using C = tx::TChannel;
    // All below 256: some are stored as bytes.
    constexpr int32_t C::*numbers[] = {
        &C::MidiChannel, &C::DelayFeed,   &C::DelayPan,   &C::DelayPitch, &C::DelayEchoes, &C::DelayTime,
        &C::DelayReso,   &C::DelayCutOff, &C::DelayShift, &C::FXFirst,    &C::FXSecondMix, &C::FXSecondSine,
        &C::CutOff,      &C::Resonance,   &C::Stretch,    &C::PreAmp,     &C::Decay,       &C::Attack,
        &C::StereoDelay, &C::FXThird,     &C::MiddleNote};
    while (loop.ChannelCount() < 6) loop.AddChannel();
    std::mt19937 rng(17);
    for (int i = 0; i < loop.ChannelCount(); ++i) {
        tx::TChannel& c = loop.Channel(i);
        int32_t v = 10 + i;
        c.Volume = v, v += 7;
        c.Pan = v, v += 7;
        for (auto f : numbers) c.*f = v, v += 7;
        c.MidiNote = uint8_t(30 + i);
        c.MidiPatch = uint8_t(40 + i);
        c.MidiBank = uint8_t(50 + i);
        loop.SetChannelName(i, "Ch " + std::to_string(i));
        c.Color = tx::TColor{uint8_t(i), uint8_t(2 * i), uint8_t(3 * i + 1)};
        if (i % 2 == 0) c.ControllerTable[size_t(i)] = uint8_t(i);
        c.MixWith = (i + 1) % 6;
        c.RandomWith = {i, (i + 2) % 6, (i + 3) % 6};
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
                for (auto& s : r.Rows[size_t(row)]) s = uint8_t(rng() % (tx::StepParamTable[size_t(row)].Maximum + 1));
        }
    }
    // Values the reader does not check are kept exactly, even outside the
    // ranges the program itself uses.
    tx::TChannel& u = loop.Channel(5);
    u.Volume = 255;
    u.MixWith = 65535;
    u.RandomWith = {5, 65535, 7, 7};  // entry 0, the own index, is not stored
    u.DelayEchoes = -5;
    u.DelayFeed = 1 << 30;
    u.DelayPan = INT32_MIN;  // stored minus 64, read plus 64: wraps both ways
    u.MiddleNote = -1;
    u.Pattern(7).StepMask = 1;
    u.Pattern(7).Rows[tx::RowPitch].fill(255);
    u.Pattern(7).Rows[tx::RowVolume].fill(0);
}

tx::TLoop ReadBack(const std::vector<uint8_t>& image) {
    tx::TLoop loop;
    const auto r = tx::ReadLoopFromMemory(image.data(), image.size(), loop);
    EXPECT_EQ(r.Code, 0) << r.Reason;
    EXPECT_FALSE(r.EndedEarly) << r.Reason;
    return loop;
}

// Reading resets the loop it reads into first, and clears Modified.
TEST(LoopRoundTrip, EmptyNewLoopReadsBackAsNew) {
    tx::TLoop fresh;
    tx::TLoop b;
    b.Title = "old";
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
    const auto image = tx::BuildLoopFile(a);
    tx::TLoop b = ReadBack(image);
    ExpectSameDocument(a, b);
    EXPECT_EQ(b.SongLength, 511);
    EXPECT_EQ(tx::BuildLoopFile(b), image);
}

// A save streams the file through a buffer of its own into a temporary file
// that is renamed over the target: the bytes must be the image's, also across
// buffer boundaries and with an event larger than the buffer, and only the
// target is left in the folder.
TEST(LoopRoundTrip, ThroughAFile) {
    tx::TLoop a;
    FillEveryField(a);
    a.InfoRich.assign(3 << 20, 'i');
    for (int ch = 0; ch < a.ChannelCount(); ++ch)
        for (int p = 1; p <= 999; ++p) {
            a.Channel(ch).Pattern(p).StepMask = uint16_t(p);
            a.Channel(ch).Pattern(p).StepVolume()[size_t(p % 16)] = uint8_t(ch);
        }
    a.Modified = true;
    txtest::TempDir dir;
    const auto file = dir / "every field.txp";
    ASSERT_EQ(tx::WriteLoop(file.string(), a), "");
    EXPECT_FALSE(a.Modified);
    const auto image = tx::BuildLoopFile(a);
    EXPECT_GT(image.size(), size_t(3) << 20);
    EXPECT_TRUE(txtest::ReadFileBytes(file) == image);
    tx::TLoop b;
    b.Modified = true;
    const auto r = tx::ReadLoop(file.string(), b);
    ASSERT_EQ(r.Code, 0) << r.Reason;
    EXPECT_FALSE(b.Modified);
    ExpectSameDocument(a, b);
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++entries;
    EXPECT_EQ(entries, 1);
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

// The repository's example loop (four named channels, a playlist of three
// bars) stays in step with the writer: reading and writing it gives its bytes.
// TROVAMIX_WRITE_EXAMPLE=1 writes it anew after a change of the format.
TEST(LoopRoundTrip, ShippedExampleMatchesTheWriter) {
    const std::string path = std::string(TROVAMIX_TEST_DATA) + "/example.txp";
    tx::TLoop read;
    const auto r = tx::ReadLoop(path, read);
    ASSERT_EQ(r.Code, 0) << r.Reason;
    EXPECT_FALSE(r.EndedEarly) << r.Reason;
    if (std::getenv("TROVAMIX_WRITE_EXAMPLE")) {
        ASSERT_EQ(tx::WriteLoop(path, read), "");
    }
    EXPECT_EQ(txtest::ReadFileBytes(path), tx::BuildLoopFile(read))
        << "rerun with TROVAMIX_WRITE_EXAMPLE=1 to refresh " << path;
    EXPECT_EQ(read.Title, "Example");
    EXPECT_EQ(read.Tempo, 128);
    ASSERT_EQ(read.ChannelCount(), 4);
    const char* names[] = {"Kick", "Snare", "Closed Hat", "Clap"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(read.Channel(i).Name, names[i]);
    EXPECT_EQ(read.Channel(0).Pattern(1).StepMask, 0x1111);  // four on the floor
    EXPECT_EQ(read.PlayList.LastUsed(), 2);
}

}  // namespace

namespace {

// An older file's plain note, never edited, must survive a save: the writer
// keeps it in its own event when there is no rich text.
TEST(LoopNote, APlainNoteWithoutRichTextIsWrittenBack) {
    tx::TLoop loop;
    loop.InfoPlain = "made on a rainy day";
    tx::TLoop back;
    const std::vector<uint8_t> bytes = tx::BuildLoopFile(loop);
    ASSERT_TRUE(tx::ReadLoopFromMemory(bytes.data(), bytes.size(), back).Ok());
    EXPECT_EQ(back.InfoPlain, "made on a rainy day");
    EXPECT_EQ(back.InfoRich, "");

    // Once the note is rich text, the plain copy is not written again.
    loop.InfoRich = "{\\rtf1 new}";
    const std::vector<uint8_t> again = tx::BuildLoopFile(loop);
    tx::TLoop third;
    ASSERT_TRUE(tx::ReadLoopFromMemory(again.data(), again.size(), third).Ok());
    EXPECT_EQ(third.InfoRich, "{\\rtf1 new}");
    EXPECT_EQ(third.InfoPlain, "");
}

}  // namespace
