// The reader's rules on hand-made files: what each event sets, the limits it
// applies, what it ignores, and how it ends on malformed data.
#include <gtest/gtest.h>

#include "LoopBytes.h"
#include "TestSupport.h"
#include "engine/EngineLock.h"
#include "loopfile/LoopFile.h"

namespace {

using Bytes = std::vector<uint8_t>;
using txtest::LoopBytes;

class LoopReader : public testing::Test {
protected:
    tx::TLoopReadResult Read(const Bytes& file, const tx::TLoopReadOptions& o = {}) {
        return tx::ReadLoopFromMemory(file.data(), file.size(), loop_, o);
    }
    tx::TLoopReadResult Read(const LoopBytes& e) { return Read(e.File()); }
    tx::TLoop loop_;
};

TEST_F(LoopReader, NamingChannel7Of4EndsWith8Channels) {
    LoopBytes e;
    e.Word(64, 7).Byte(2, 33).Word(64, 5).Byte(2, 55);
    ASSERT_EQ(Read(e).Code, 0);
    ASSERT_EQ(loop_.ChannelCount(), 8);
    EXPECT_EQ(loop_.Channel(7).Volume, 33);
    EXPECT_EQ(loop_.Channel(5).Volume, 55);
    EXPECT_EQ(loop_.Channel(7).MixWith, 7);  // a new channel's own index
    EXPECT_EQ(loop_.Channel(6).Volume, 100);
}

TEST_F(LoopReader, EventsBeforeAnyChannelEventGoToChannel0AndPattern1) {
    LoopBytes e;
    e.Byte(3, 11).Word(68, 0x00FF).Step(72, 3, 7);
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_EQ(loop_.Channel(0).Pan, 11);
    EXPECT_EQ(loop_.Channel(0).Pattern(1).StepMask, 0x00FF);
    EXPECT_EQ(loop_.Channel(0).Pattern(1).StepVolume()[3], 7);
}

TEST_F(LoopReader, ChannelLimitRefusesTheFileAndResetsTheLoop) {
    LoopBytes ok;
    ok.Word(64, tx::MaxLoopChannels - 1).Byte(2, 1);
    ASSERT_EQ(Read(ok).Code, 0);
    EXPECT_EQ(loop_.ChannelCount(), tx::MaxLoopChannels);

    LoopBytes e;
    e.Word(64, 6).Byte(2, 1).Word(64, tx::MaxLoopChannels);
    const auto r = Read(e);
    EXPECT_EQ(r.Code, 2);
    EXPECT_NE(r.Reason.find("channel " + std::to_string(tx::MaxLoopChannels)), std::string::npos) << r.Reason;
    EXPECT_NE(r.Reason.find("limit of " + std::to_string(tx::MaxLoopChannels)), std::string::npos) << r.Reason;
    EXPECT_EQ(loop_.ChannelCount(), 4);

    LoopBytes far;
    far.Word(64, 65535);
    EXPECT_EQ(Read(far).Code, 2);
    EXPECT_EQ(loop_.ChannelCount(), 4);
}

TEST_F(LoopReader, PatternSelectionIsLimitedTo999) {
    LoopBytes e;
    e.Word(65, 1200).Word(68, 0xABCD);
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_EQ(loop_.Channel(0).Pattern(999).StepMask, 0xABCD);
}

// Pattern 0 is the silence that empty playlist bars play: nothing may change it.
TEST_F(LoopReader, PerPatternEventsOnPattern0AreIgnored) {
    LoopBytes e;
    e.Word(65, 0).Word(68, 0xFFFF);
    for (uint8_t id : {72, 73, 77, 78, 79, 87, 88}) e.Step(id, 1, 3);
    e.Word(65, 2).Word(68, 0x0001);
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_TRUE(loop_.Channel(0).Pattern(0).IsReset());
    EXPECT_TRUE(loop_.Channel(0).Pattern(1).IsReset());
    EXPECT_EQ(loop_.Channel(0).Pattern(2).StepMask, 1);
}

TEST_F(LoopReader, PerStepEventsSetTheirRows) {
    LoopBytes e;
    e.Word(65, 4).Step(72, 0, 1).Step(73, 1, 2).Step(77, 2, 3).Step(78, 3, 255).Step(79, 4, 5).Step(87, 5, 6);
    e.Step(88, 15, 7).Step(72, 16, 9).Step(72, 255, 9);  // steps above 15 do not exist
    ASSERT_EQ(Read(e).Code, 0);
    const tx::PatternRecord& r = loop_.Channel(0).Pattern(4);
    EXPECT_EQ(r.StepVolume()[0], 1);
    EXPECT_EQ(r.StepPan()[1], 2);
    EXPECT_EQ(r.StepNote()[2], 3);
    EXPECT_EQ(r.StepPitch()[3], 255);  // kept as read, beyond the row's maximum
    EXPECT_EQ(r.StepMix()[4], 5);
    EXPECT_EQ(r.StepReso()[5], 6);
    EXPECT_EQ(r.StepCutoff()[15], 7);
    tx::PatternRecord expected;
    expected.StepVolume()[0] = 1;
    expected.StepPan()[1] = 2;
    expected.StepNote()[2] = 3;
    expected.StepPitch()[3] = 255;
    expected.StepMix()[4] = 5;
    expected.StepReso()[5] = 6;
    expected.StepCutoff()[15] = 7;
    EXPECT_EQ(r, expected);
}

struct TempoCase {
    uint16_t Stored;
    int Expected;
};
class LoopReaderTempo : public LoopReader, public testing::WithParamInterface<TempoCase> {};
TEST_P(LoopReaderTempo, LimitedTo10To500) {
    LoopBytes e;
    e.Word(66, GetParam().Stored);
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_EQ(loop_.Tempo, GetParam().Expected);
}
INSTANTIATE_TEST_SUITE_P(Tempi, LoopReaderTempo,
                         testing::Values(TempoCase{0, 10}, TempoCase{9, 10}, TempoCase{10, 10}, TempoCase{137, 137},
                                         TempoCase{500, 500}, TempoCase{501, 500}, TempoCase{65535, 500}));

TEST_F(LoopReader, LoopWideValues) {
    LoopBytes e;
    e.Word(67, 77).Byte(9, 1).Byte(10, 1).Byte(11, 64).Byte(12, 100).Word(80, 0xFF9C).Dword(137, 300, 400);
    e.Word(84, 12).Dword(133, 0xFFFFFFF6);
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_EQ(loop_.CurrentPattern, 77);
    EXPECT_TRUE(loop_.SongMode);
    EXPECT_TRUE(loop_.ShowInfo);
    EXPECT_EQ(loop_.Shuffle, 64);
    EXPECT_EQ(loop_.MainVolume, 100);
    EXPECT_EQ(loop_.MainPitch, -100);
    EXPECT_EQ(loop_.MainResonance, 300);
    EXPECT_EQ(loop_.MainCutOff, 400);
    EXPECT_EQ(loop_.SongLoopPosition, 12);
    EXPECT_EQ(loop_.WindowHeight, -10);
}

// Values that are positions of the main window's controls take the controls' ranges.
TEST_F(LoopReader, ControlPositionsAreLimitedToTheirControls) {
    LoopBytes e;
    e.Word(67, 0).Byte(11, 200).Byte(12, 255).Word(80, 0x8000).Dword(137, 65535, 65535).Word(84, 600);
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_EQ(loop_.CurrentPattern, 1);
    EXPECT_EQ(loop_.Shuffle, 128);
    EXPECT_EQ(loop_.MainVolume, 128);
    EXPECT_EQ(loop_.MainPitch, -1200);
    EXPECT_EQ(loop_.MainResonance, 992);
    EXPECT_EQ(loop_.MainCutOff, 1008);
    EXPECT_EQ(loop_.SongLoopPosition, 511);
    LoopBytes f;
    f.Word(67, 5000).Word(80, 1201);
    ASSERT_EQ(Read(f).Code, 0);
    EXPECT_EQ(loop_.CurrentPattern, 999);
    EXPECT_EQ(loop_.MainPitch, 1200);
}

TEST_F(LoopReader, ChannelValuesAreKeptAsRead) {
    LoopBytes e;
    e.Word(64, 1).Byte(0, 2).Byte(2, 255).Byte(3, 250).Byte(4, 77).Byte(5, 1).Byte(6, 2).Byte(7, 3);
    e.Byte(13, 200).Byte(14, 2).Byte(16, 1).Word(69, 65535).Word(70, 0x0103).Word(74, 5).Word(75, 6).Word(76, 7);
    e.Word(81, 9).Word(81, 60000).Word(82, 40000).Word(85, 4).Word(86, 8).Word(89, 300);
    e.Dword(128, 0x00332211).Dword(131, 11, 22).Dword(132, 3, 4).Dword(135, 0xFFFFFFFF).Dword(138, 33, 44);
    ASSERT_EQ(Read(e).Code, 0);
    const tx::TChannel& c = loop_.Channel(1);
    EXPECT_FALSE(c.Enabled);  // only 1 means on
    EXPECT_EQ(c.Volume, 255);
    EXPECT_EQ(c.Pan, 250);
    EXPECT_EQ(c.MidiChannel, 77);
    EXPECT_EQ(c.MidiNote, 1);
    EXPECT_EQ(c.MidiPatch, 2);
    EXPECT_EQ(c.MidiBank, 3);
    EXPECT_EQ(c.Stretch, 200);
    EXPECT_FALSE(c.Pitchable);
    EXPECT_TRUE(c.DelayShuffled);
    EXPECT_EQ(c.FXFirst, 65535);
    EXPECT_TRUE(c.FadeLR);
    EXPECT_TRUE(c.ReverseSample);
    EXPECT_TRUE(c.RevStereo);
    EXPECT_EQ(c.PreAmp, 5);
    EXPECT_EQ(c.Decay, 6);
    EXPECT_EQ(c.Attack, 7);
    EXPECT_EQ(c.RandomWith, (std::vector<int32_t>{1, 9, 60000}));
    EXPECT_EQ(c.MixWith, 40000);
    EXPECT_EQ(c.StereoDelay, 4);
    EXPECT_EQ(c.FXThird, 8);
    EXPECT_EQ(c.DelayShift, 300);
    EXPECT_EQ(c.Color, (tx::TColor{0x11, 0x22, 0x33}));
    EXPECT_EQ(c.FXSecondMix, 11);
    EXPECT_EQ(c.FXSecondSine, 22);
    EXPECT_EQ(c.Sample.CutGroup, 3);
    EXPECT_EQ(c.Sample.CutByGroup, 4);
    EXPECT_EQ(c.MiddleNote, -1);
    EXPECT_EQ(c.DelayReso, 33);
    EXPECT_EQ(c.DelayCutOff, 44);
}

TEST_F(LoopReader, FlagsWordSetsOnlyItsBits) {
    LoopBytes e;
    e.Word(70, 0x0002).Word(64, 1).Word(70, 0xFEFC);
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_FALSE(loop_.Channel(0).FadeLR);
    EXPECT_TRUE(loop_.Channel(0).ReverseSample);
    EXPECT_FALSE(loop_.Channel(0).RevStereo);
    EXPECT_FALSE(loop_.Channel(1).FadeLR);
    EXPECT_FALSE(loop_.Channel(1).ReverseSample);
    EXPECT_FALSE(loop_.Channel(1).RevStereo);
}

TEST_F(LoopReader, AnyValueOfEvent15Minimizes) {
    LoopBytes e;
    e.Word(64, 0).Byte(15, 0);
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_TRUE(loop_.Channel(0).Minimized);
    EXPECT_FALSE(loop_.Channel(0).Selected);
}

TEST_F(LoopReader, RandomWithIsBounded) {
    LoopBytes e;
    for (int i = 0; i < 1000000; ++i) e.Word(81, 3);
    e.Byte(2, 42);  // the read goes on after the ignored entries
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_EQ(loop_.Channel(0).RandomWith.size(), size_t(tx::MaxLoopChannels));
    EXPECT_EQ(loop_.Channel(0).RandomWith[0], 0);
    EXPECT_EQ(loop_.Channel(0).RandomWith[1], 3);
    EXPECT_EQ(loop_.Channel(0).Volume, 42);
}

TEST_F(LoopReader, PlayListEntries) {
    LoopBytes e;
    e.Dword(129, 5, 7).Dword(129, 5, 2).Dword(129, 5, 7);  // the repeated 7 is ignored
    e.Dword(129, 2, 1);                                    // row stays at position 5's row
    e.Dword(129, 600, 3);                                  // position limited to 511
    e.Dword(129, 8, 1000).Dword(129, 9, 65535);            // no such patterns
    e.Dword(129, 0, 0);                                    // pattern 0 is silence, a valid entry
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_EQ(loop_.PlayList.At(5), (tx::TPlayList::Position{7, 2}));
    EXPECT_EQ(loop_.PlayList.At(2), (tx::TPlayList::Position{1}));
    EXPECT_EQ(loop_.PlayList.At(511), (tx::TPlayList::Position{3}));
    EXPECT_TRUE(loop_.PlayList.At(8).empty());
    EXPECT_TRUE(loop_.PlayList.At(9).empty());
    EXPECT_EQ(loop_.PlayList.At(0), (tx::TPlayList::Position{0}));
    EXPECT_EQ(loop_.PlaylistRow, 6);  // position 5's row; 511 does not move it
    EXPECT_EQ(loop_.SongLength, 511);
}

// A million repeats of one entry cost no memory and no time.
TEST_F(LoopReader, RepeatedPlayListEntriesStayBounded) {
    LoopBytes e;
    for (int i = 0; i < 1000000; ++i) e.Dword(129, uint16_t(i % 512), uint16_t(i % 3));
    ASSERT_EQ(Read(e).Code, 0);
    size_t total = 0;
    for (int pos = 0; pos < tx::PlayListPositions; ++pos) total += loop_.PlayList.At(pos).size();
    EXPECT_EQ(total, 512u * 3u);
}

TEST_F(LoopReader, SongLengthIsComputed) {
    LoopBytes e;
    for (uint16_t p : {1, 2, 3}) e.Word(65, p).Word(68, 1);
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_EQ(loop_.SongLength, 2);
}

TEST_F(LoopReader, Texts) {
    LoopBytes e;
    e.Word(64, 2).Text(192, "Snare").Text(194, "Song").Text(195, "plain info").Text(197, "http://x");
    e.Text(196, "C:\\Loops\\kick.wav");
    e.Data(192, {'A', 'B', 0, 'C', 0});  // up to the first zero byte
    e.Data(198, {'{', 0, 0xFF, '}'});    // rich text: all bytes, zero bytes included
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_EQ(loop_.Channel(2).Name, "AB");
    EXPECT_EQ(loop_.Title, "Song");
    EXPECT_EQ(loop_.InfoPlain, "plain info");
    EXPECT_EQ(loop_.URL, "http://x");
    EXPECT_EQ(loop_.Channel(2).SampleFileName, "C:\\Loops\\kick.wav");
    EXPECT_EQ(loop_.InfoRich, std::string("{\0\xFF}", 4));
}

TEST_F(LoopReader, SampleNamesGoToTheCallbackWhenThereIsOne) {
    LoopBytes e;
    e.Text(196, "a.wav").Word(64, 3).Text(196, "b.wav");
    std::vector<std::pair<int, std::string>> calls;
    tx::TLoopReadOptions o;
    o.OnSampleFileName = [&](int ch, const std::string& name) { calls.emplace_back(ch, name); };
    ASSERT_EQ(Read(e.File(), o).Code, 0);
    EXPECT_EQ(calls, (std::vector<std::pair<int, std::string>>{{0, "a.wav"}, {3, "b.wav"}}));
    EXPECT_TRUE(loop_.Channel(0).SampleFileName.empty());
    EXPECT_TRUE(loop_.Channel(3).SampleFileName.empty());
}

TEST_F(LoopReader, ControllerTableCopiesAtMost128Bytes) {
    LoopBytes e;
    e.Data(208, {1, 2, 3}).Word(64, 1);
    Bytes big(200, 7);
    big[127] = 9;
    e.Data(208, big);
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_EQ(loop_.Channel(0).ControllerTable[0], 1);
    EXPECT_EQ(loop_.Channel(0).ControllerTable[2], 3);
    EXPECT_EQ(loop_.Channel(0).ControllerTable[3], 255);
    EXPECT_EQ(loop_.Channel(1).ControllerTable[0], 7);
    EXPECT_EQ(loop_.Channel(1).ControllerTable[127], 9);
}

struct DelayCase {
    Bytes Block;
    int32_t Feed, Pan, Pitch, Echoes, Time;
};
class LoopReaderDelay : public LoopReader, public testing::WithParamInterface<DelayCase> {};
TEST_P(LoopReaderDelay, BlockCopiesAtMost20BytesAndAdds64ToAWholePan) {
    LoopBytes e;
    e.Data(209, GetParam().Block);
    ASSERT_EQ(Read(e).Code, 0);
    const tx::TChannel& c = loop_.Channel(0);
    EXPECT_EQ(c.DelayFeed, GetParam().Feed);
    EXPECT_EQ(c.DelayPan, GetParam().Pan);
    EXPECT_EQ(c.DelayPitch, GetParam().Pitch);
    EXPECT_EQ(c.DelayEchoes, GetParam().Echoes);
    EXPECT_EQ(c.DelayTime, GetParam().Time);
}
INSTANTIATE_TEST_SUITE_P(
    Blocks, LoopReaderDelay,
    testing::Values(
        // defaults: feed 0, pan 128, pitch 120, echoes 4, time 48
        DelayCase{{}, 0, 128, 120, 4, 48},
        DelayCase{{5, 0, 0, 0}, 5, 128, 120, 4, 48},      // too short for the pan: nothing added
        DelayCase{{5, 0, 0, 0, 1, 0}, 5, 1, 120, 4, 48},  // pan's low bytes replaced, still no pan
        DelayCase{{5, 0, 0, 0, 64, 0, 0, 0}, 5, 128, 120, 4, 48},
        DelayCase{{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 1, 0, 0, 99, 99}, 1, 66, 3, 4, 261},
        DelayCase{{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}, 0, 63, 120, 4, 48}));

TEST_F(LoopReader, OldDelayEvent) {
    LoopBytes e;
    e.Dword(130, 3, 80).Word(64, 1).Dword(130, 0, 800);
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_EQ(loop_.Channel(0).DelayEchoes, 3);
    EXPECT_EQ(loop_.Channel(0).DelayFeed, 96);   // (128 div 4) * 3
    EXPECT_EQ(loop_.Channel(0).DelayTime, 10);   // 80 div 8
    EXPECT_EQ(loop_.Channel(1).DelayEchoes, 4);  // echoes 0: ignored
    EXPECT_EQ(loop_.Channel(1).DelayTime, 48);
}

// Every id without a meaning is skipped by the size its range gives, and the
// event after it is read.
class LoopReaderUnknown : public LoopReader, public testing::WithParamInterface<int> {};
TEST_P(LoopReaderUnknown, SkippedBySizeClass) {
    const uint8_t id = uint8_t(GetParam());
    LoopBytes e;
    if (id < 64)
        e.Byte(id, 2);  // 2 is the id of the volume event: it must not be taken as one
    else if (id < 128)
        e.Word(id, 0x0202);
    else if (id < 192)
        e.Dword(id, 0x02020202);
    else
        e.Data(id, Bytes(300, 2));
    e.Byte(2, 42);
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_EQ(loop_.Channel(0).Volume, 42);
    EXPECT_EQ(loop_.ChannelCount(), 4);
}
INSTANTIATE_TEST_SUITE_P(Ids, LoopReaderUnknown,
                         testing::Values(1, 8, 17, 40, 63, 90, 100, 127, 134, 136, 139, 160, 191, 193, 200, 207, 210,
                                         255));

TEST_F(LoopReader, HoldsTheEngineLockWithOutputSuspended) {
    tx::TEngineLock lock;
    int stops = 0, restarts = 0;
    lock.StopHook = [&] { ++stops; };
    lock.RestartHook = [&] { ++restarts; };
    int suspendedDuringRead = -1;
    tx::TLoopReadOptions o;
    o.Lock = &lock;
    o.OnSampleFileName = [&](int, const std::string&) { suspendedDuringRead = lock.SuspendCount; };
    LoopBytes e;
    e.Text(196, "x.wav");
    ASSERT_EQ(Read(e.File(), o).Code, 0);
    EXPECT_EQ(suspendedDuringRead, 1);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(lock.SuspendCount, 0);
}

TEST_F(LoopReader, ReadingResetsTheLoopAndClearsModified) {
    loop_.AddChannel();
    loop_.Title = "old";
    loop_.Tempo = 99;
    loop_.SetPatternAt(1, 1, true);
    loop_.Modified = true;
    ASSERT_EQ(Read(LoopBytes().Byte(2, 1)).Code, 0);
    EXPECT_EQ(loop_.ChannelCount(), 4);
    EXPECT_TRUE(loop_.Title.empty());
    EXPECT_TRUE(loop_.PlayList.IsEmpty());
    EXPECT_EQ(loop_.Tempo, 99);  // a new loop keeps the tempo
    EXPECT_FALSE(loop_.Modified);
}

// --- chunk structure and malformed data

TEST_F(LoopReader, ChunkIdsMustMatch) {
    Bytes good = LoopBytes().Byte(2, 1).File();
    Bytes a = good;
    a[0] = 'X';
    EXPECT_EQ(Read(a).Code, 2);
    Bytes b = good;
    b[16] = 'X';  // "TXdt" at 8 + 6
    EXPECT_EQ(Read(b).Code, 2);
    EXPECT_EQ(Read(Bytes{}).Code, 2);
    EXPECT_EQ(Read(Bytes{'T', 'X', 'h', 'd', 6, 0}).Code, 2);
    loop_.AddChannel();
    EXPECT_EQ(Read(a).Code, 2);
    EXPECT_EQ(loop_.ChannelCount(), 4);  // reset before the check
}

TEST_F(LoopReader, HeaderLengthFindsTheDataChunk) {
    LoopBytes e;
    e.Byte(2, 77);
    ASSERT_EQ(Read(e.FileWith(40, 4, 2)).Code, 0);
    EXPECT_EQ(loop_.Channel(0).Volume, 77);
    ASSERT_EQ(Read(e.FileWith(0, 4, 2)).Code, 0);
    EXPECT_EQ(loop_.Channel(0).Volume, 77);
}

TEST_F(LoopReader, HeaderLengthPastTheEndIsNotALoop) {
    const auto r = Read(LoopBytes().Byte(2, 1).FileWith(6, 4, 2));
    ASSERT_EQ(r.Code, 0);
    Bytes f = LoopBytes().Byte(2, 1).File();
    f[4] = 0xFF, f[5] = 0xFF, f[6] = 0xFF, f[7] = 0xFF;
    const auto bad = Read(f);
    EXPECT_EQ(bad.Code, 2);
    EXPECT_NE(bad.Reason.find("header length"), std::string::npos) << bad.Reason;
}

TEST_F(LoopReader, DataLengthPastTheEndIsClipped) {
    LoopBytes e;
    e.Byte(2, 77).Byte(3, 12);
    const auto r = Read(e.FileWith(6, 4, 0xFFFFFFFF));
    ASSERT_EQ(r.Code, 0);
    EXPECT_TRUE(r.EndedEarly);
    EXPECT_EQ(loop_.Channel(0).Volume, 77);
    EXPECT_EQ(loop_.Channel(0).Pan, 12);
}

TEST_F(LoopReader, BytesAfterTheDataLengthAreNotEvents) {
    LoopBytes e;
    e.Byte(2, 77).Byte(3, 12);
    const auto r = Read(e.FileWith(6, 4, 2));
    ASSERT_EQ(r.Code, 0);
    EXPECT_FALSE(r.EndedEarly);
    EXPECT_EQ(loop_.Channel(0).Volume, 77);
    EXPECT_EQ(loop_.Channel(0).Pan, 64);
}

TEST_F(LoopReader, MissingDataLengthReadsNoEvents) {
    Bytes f = {'T', 'X', 'h', 'd', 6, 0, 0, 0, 0, 0, 4, 0, 16, 0, 'T', 'X', 'd', 't', 5, 0};
    const auto r = Read(f);
    EXPECT_EQ(r.Code, 0);
    EXPECT_TRUE(r.EndedEarly);
}

// Malformed events end the read cleanly: what came before them is kept.
struct EndCase {
    const char* What;
    Bytes Tail;
};
class LoopReaderEnd : public LoopReader, public testing::WithParamInterface<EndCase> {};
TEST_P(LoopReaderEnd, EndsTheReadCleanly) {
    LoopBytes e;
    e.Byte(2, 77).put(GetParam().Tail);
    const auto r = Read(e);
    ASSERT_EQ(r.Code, 0);
    EXPECT_TRUE(r.EndedEarly);
    EXPECT_NE(r.Reason.find("at byte 24 "), std::string::npos) << r.Reason;
    EXPECT_EQ(loop_.Channel(0).Volume, 77);
    EXPECT_EQ(loop_.Channel(0).Pan, 64);  // the 3 bytes that follow some tails are never read
    EXPECT_TRUE(loop_.Channel(0).Name.empty());
}
INSTANTIATE_TEST_SUITE_P(Tails, LoopReaderEnd,
                         testing::Values(EndCase{"byte event without its value", {3}}, EndCase{"word cut", {66, 1}},
                                         EndCase{"dword cut", {128, 1, 2, 3}}, EndCase{"length cut", {192}},
                                         EndCase{"length group cut", {192, 0x85}},
                                         EndCase{"data cut", {192, 5, 'a', 'b'}},
                                         EndCase{"length beyond the data", {200, 0xFF, 0xFF, 0xFF, 0x7F, 3, 12}},
                                         EndCase{"six length groups", {200, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00, 3, 12}},
                                         EndCase{"text without its zero byte", {192, 3, 'a', 'b', 'c', 3, 12}},
                                         EndCase{"empty text", {192, 0, 3, 12}}),
                         [](const testing::TestParamInfo<EndCase>& i) {
                             std::string n = i.param.What;
                             for (char& c : n)
                                 if (c == ' ') c = '_';
                             return n;
                         });

// --- files

TEST(LoopReaderFile, MissingFileAndFolderCannotBeOpened) {
    txtest::TempDir dir;
    tx::TLoop loop;
    loop.AddChannel();
    const auto r = tx::ReadLoop((dir / "none.txp").string(), loop);
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Reason.find("No such file or directory"), std::string::npos) << r.Reason;
    EXPECT_EQ(loop.ChannelCount(), 5);  // not reset when the file cannot be opened
    EXPECT_EQ(tx::ReadLoop(dir.path().string(), loop).Code, 1);
}

TEST(LoopReaderFile, EveryBlockSizeReadsTheSame) {
    tx::TLoop a;
    a.AddChannel();
    a.Title = std::string(5000, 't');  // an event larger than the blocks
    a.InfoRich = std::string(3000, 'i');
    for (int ch = 0; ch < 5; ++ch)
        for (int p = 1; p < 60; p += 3) {
            a.Channel(ch).Pattern(p).StepMask = uint16_t(p * 31 + ch);
            a.Channel(ch).Pattern(p).StepNote()[size_t(p % 16)] = uint8_t(p);
        }
    LoopBytes skipped;
    skipped.Data(205, Bytes(10000, 1)).Byte(2, 9);  // an unknown event larger than the blocks
    Bytes image = tx::BuildLoopFile(a);
    image.insert(image.end(), skipped.Events().begin(), skipped.Events().end());
    const uint32_t n = uint32_t(image.size() - 22);
    for (int b = 0; b < 4; ++b) image[18 + size_t(b)] = uint8_t(n >> (8 * b));
    txtest::TempDir dir;
    txtest::WriteFileBytes(dir / "a.txp", image);

    tx::TLoop ref;
    ASSERT_EQ(tx::ReadLoopFromMemory(image.data(), image.size(), ref).Code, 0);
    EXPECT_EQ(ref.Channel(4).Volume, 9);
    const auto expected = tx::BuildLoopFile(ref);
    for (size_t block : {size_t(1), size_t(2), size_t(3), size_t(5), size_t(64), size_t(4093), size_t(1) << 20}) {
        SCOPED_TRACE(block);
        tx::TLoopReadOptions o;
        o.BlockBytes = block;
        tx::TLoop fromFile, fromMemory;
        const auto r = tx::ReadLoop((dir / "a.txp").string(), fromFile, o);
        ASSERT_EQ(r.Code, 0) << r.Reason;
        EXPECT_FALSE(r.EndedEarly) << r.Reason;
        ASSERT_EQ(tx::ReadLoopFromMemory(image.data(), image.size(), fromMemory, o).Code, 0);
        EXPECT_EQ(tx::BuildLoopFile(fromFile), expected);
        EXPECT_EQ(tx::BuildLoopFile(fromMemory), expected);
    }
}

}  // namespace
