// The reader's rules on hand-made files: what each event sets, the limits it
// applies, what it ignores, and how it ends on malformed data.
#include <gtest/gtest.h>

#include <cctype>
#include <tuple>

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

// Parameters carry a readable name for the test list.
template <class T>
std::string CaseName(const testing::TestParamInfo<T>& i) {
    std::string n = i.param.What;
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
}

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

TEST_F(LoopReader, ChannelLimitEndsTheReadThereAndKeepsWhatCameBefore) {
    LoopBytes ok;
    ok.Word(64, tx::MaxLoopChannels - 1).Byte(2, 1);
    ASSERT_EQ(Read(ok).Code, 0);
    EXPECT_EQ(loop_.ChannelCount(), tx::MaxLoopChannels);

    for (uint16_t beyond : {uint16_t(tx::MaxLoopChannels), uint16_t(65535)}) {
        LoopBytes e;
        e.Word(64, 6).Byte(2, 1).Word(64, beyond).Byte(2, 9);
        const auto r = Read(e);
        EXPECT_EQ(r.Code, 0);
        EXPECT_TRUE(r.EndedEarly);
        EXPECT_EQ(r.StopOffset, 27u);  // 22 + the 5 bytes of the two events before it
        EXPECT_NE(r.Reason.find("at byte 27 selects channel " + std::to_string(beyond)), std::string::npos) << r.Reason;
        EXPECT_NE(r.Reason.find("limit of " + std::to_string(tx::MaxLoopChannels)), std::string::npos) << r.Reason;
        EXPECT_EQ(loop_.ChannelCount(), 7);
        EXPECT_EQ(loop_.Channel(6).Volume, 1);
    }
}

// Events before any selection go to channel 0 and pattern 1; steps above 15
// and pattern numbers above 999 do not exist.
TEST_F(LoopReader, PatternEventsGoToTheSelectedPatternAndStep) {
    LoopBytes e;
    e.Byte(3, 11).Word(68, 0x00FF).Step(72, 3, 7);
    e.Word(65, 1200).Word(68, 0xABCD);
    e.Word(64, 1).Word(65, 4).Step(72, 0, 1).Step(73, 1, 2).Step(77, 2, 3).Step(78, 3, 255).Step(79, 4, 5);
    e.Step(87, 5, 6).Step(88, 15, 7).Step(72, 16, 9).Step(72, 255, 9);
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_EQ(loop_.Channel(0).Pan, 11);
    EXPECT_EQ(loop_.Channel(0).Pattern(1).StepMask, 0x00FF);
    EXPECT_EQ(loop_.Channel(0).Pattern(1).StepVolume()[3], 7);
    EXPECT_EQ(loop_.Channel(0).Pattern(999).StepMask, 0xABCD);
    tx::PatternRecord expected;
    expected.StepVolume()[0] = 1;
    expected.StepPan()[1] = 2;
    expected.StepNote()[2] = 3;
    expected.StepPitch()[3] = 255;  // kept as read, beyond the row's maximum
    expected.StepMix()[4] = 5;
    expected.StepReso()[5] = 6;
    expected.StepCutoff()[15] = 7;
    EXPECT_EQ(loop_.Channel(1).Pattern(4), expected);
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

// Loop-wide values that are positions of the main window's controls take the
// controls' ranges; the tempo is limited to 10..500.
struct LoopValueCase {
    const char* What;
    LoopBytes Events;
    int32_t (*Field)(const tx::TLoop&);
    int32_t Expected;
};
void PrintTo(const LoopValueCase& c, std::ostream* os) { *os << c.What; }
class LoopReaderValue : public LoopReader, public testing::WithParamInterface<LoopValueCase> {};
TEST_P(LoopReaderValue, ReadAndLimited) {
    ASSERT_EQ(Read(GetParam().Events).Code, 0);
    EXPECT_EQ(GetParam().Field(loop_), GetParam().Expected);
}
using L = tx::TLoop;
template <auto Member>
int32_t F(const L& l) {
    return l.*Member;
}
INSTANTIATE_TEST_SUITE_P(
    Values, LoopReaderValue,
    testing::Values(LoopValueCase{"tempo 0", LoopBytes().Word(66, 0), F<&L::Tempo>, 10},
                    LoopValueCase{"tempo 9", LoopBytes().Word(66, 9), F<&L::Tempo>, 10},
                    LoopValueCase{"tempo 10", LoopBytes().Word(66, 10), F<&L::Tempo>, 10},
                    LoopValueCase{"tempo 137", LoopBytes().Word(66, 137), F<&L::Tempo>, 137},
                    LoopValueCase{"tempo 500", LoopBytes().Word(66, 500), F<&L::Tempo>, 500},
                    LoopValueCase{"tempo 501", LoopBytes().Word(66, 501), F<&L::Tempo>, 500},
                    LoopValueCase{"tempo 65535", LoopBytes().Word(66, 65535), F<&L::Tempo>, 500},
                    LoopValueCase{"pattern 0", LoopBytes().Word(67, 0), F<&L::CurrentPattern>, 1},
                    LoopValueCase{"pattern 77", LoopBytes().Word(67, 77), F<&L::CurrentPattern>, 77},
                    LoopValueCase{"pattern 5000", LoopBytes().Word(67, 5000), F<&L::CurrentPattern>, 999},
                    LoopValueCase{"shuffle 64", LoopBytes().Byte(11, 64), F<&L::Shuffle>, 64},
                    LoopValueCase{"shuffle 200", LoopBytes().Byte(11, 200), F<&L::Shuffle>, 128},
                    LoopValueCase{"volume 100", LoopBytes().Byte(12, 100), F<&L::MainVolume>, 100},
                    LoopValueCase{"volume 255", LoopBytes().Byte(12, 255), F<&L::MainVolume>, 128},
                    LoopValueCase{"pitch FF9C", LoopBytes().Word(80, 0xFF9C), F<&L::MainPitch>, -100},
                    LoopValueCase{"pitch 8000", LoopBytes().Word(80, 0x8000), F<&L::MainPitch>, -1200},
                    LoopValueCase{"pitch 1201", LoopBytes().Word(80, 1201), F<&L::MainPitch>, 1200},
                    LoopValueCase{"resonance 300", LoopBytes().Dword(137, 300, 400), F<&L::MainResonance>, 300},
                    LoopValueCase{"cutoff 400", LoopBytes().Dword(137, 300, 400), F<&L::MainCutOff>, 400},
                    LoopValueCase{"resonance 65535", LoopBytes().Dword(137, 65535, 65535), F<&L::MainResonance>, 992},
                    LoopValueCase{"cutoff 65535", LoopBytes().Dword(137, 65535, 65535), F<&L::MainCutOff>, 1008},
                    LoopValueCase{"loop position 12", LoopBytes().Word(84, 12), F<&L::SongLoopPosition>, 12},
                    LoopValueCase{"loop position 600", LoopBytes().Word(84, 600), F<&L::SongLoopPosition>, 511},
                    LoopValueCase{"window FFFFFFF6", LoopBytes().Dword(133, 0xFFFFFFF6), F<&L::WindowHeight>, -10}),
    CaseName<LoopValueCase>);

TEST_F(LoopReader, ChannelValuesAreKeptAsRead) {
    LoopBytes e;
    e.Byte(9, 1).Byte(10, 1).Word(70, 0x0002);
    e.Word(64, 1).Byte(0, 2).Byte(2, 255).Byte(3, 250).Byte(4, 77).Byte(5, 1).Byte(6, 2).Byte(7, 3).Byte(15, 0);
    e.Byte(13, 200).Byte(14, 2).Byte(16, 1).Word(69, 65535).Word(70, 0x0103).Word(74, 5).Word(75, 6).Word(76, 7);
    e.Word(81, 9).Word(81, 60000).Word(82, 40000).Word(85, 4).Word(86, 8).Word(89, 300);
    e.Dword(128, 0x00332211).Dword(131, 11, 22).Dword(132, 3, 4).Dword(135, 0xFFFFFFFF).Dword(138, 33, 44);
    e.Word(64, 2).Word(70, 0xFEFC);  // the flags word sets only its three bits
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_TRUE(loop_.SongMode && loop_.ShowInfo);
    const tx::TChannel& z = loop_.Channel(0);
    EXPECT_EQ(std::tuple(z.FadeLR, z.ReverseSample, z.RevStereo), std::tuple(false, true, false));
    const tx::TChannel& c = loop_.Channel(1);
    EXPECT_EQ(std::tuple(c.Volume, c.Pan, c.MidiChannel, c.MidiNote, c.MidiPatch, c.MidiBank),
              std::tuple(255, 250, 77, 1, 2, 3));
    // Only 1 means on; any value of event 15 minimizes.
    EXPECT_EQ(std::tuple(c.Enabled, c.Minimized, c.Selected, c.Pitchable, c.DelayShuffled),
              std::tuple(false, true, false, false, true));
    EXPECT_EQ(std::tuple(c.FadeLR, c.ReverseSample, c.RevStereo), std::tuple(true, true, true));
    EXPECT_EQ(std::tuple(c.Stretch, c.FXFirst, c.PreAmp, c.Decay, c.Attack, c.MixWith, c.StereoDelay, c.FXThird),
              std::tuple(200, 65535, 5, 6, 7, 40000, 4, 8));
    EXPECT_EQ(c.RandomWith, (std::vector<int32_t>{1, 9, 60000}));
    EXPECT_EQ(c.Color, (tx::TColor{0x11, 0x22, 0x33}));
    EXPECT_EQ(std::tuple(c.FXSecondMix, c.FXSecondSine, c.Sample.CutGroup, c.Sample.CutByGroup, c.MiddleNote),
              std::tuple(11, 22, 3, 4, -1));
    EXPECT_EQ(std::tuple(c.DelayShift, c.DelayReso, c.DelayCutOff), std::tuple(300, 33, 44));
    const tx::TChannel& two = loop_.Channel(2);
    EXPECT_EQ(std::tuple(two.FadeLR, two.ReverseSample, two.RevStereo), std::tuple(false, false, false));
}

// A million repeats cost no memory and no time, and the read goes on after them.
TEST_F(LoopReader, RepeatedEventsStayBounded) {
    LoopBytes e;
    for (int i = 0; i < 1000000; ++i) e.Word(81, 3).Dword(129, uint16_t(i % 512), uint16_t(i % 3));
    e.Byte(2, 42);
    ASSERT_EQ(Read(e).Code, 0);
    const tx::TChannel& c = loop_.Channel(0);
    EXPECT_EQ(c.RandomWith.size(), size_t(tx::MaxLoopChannels));
    EXPECT_EQ(c.RandomWith[0], 0);
    EXPECT_EQ(c.RandomWith[1], 3);
    EXPECT_EQ(c.Volume, 42);
    size_t total = 0;
    for (int pos = 0; pos < tx::PlayListPositions; ++pos) total += loop_.PlayList.At(pos).size();
    EXPECT_EQ(total, 1000000u);  // appended as read
}

TEST_F(LoopReader, PlayListEntries) {
    LoopBytes e;
    e.Dword(129, 5, 7).Dword(129, 5, 2).Dword(129, 5, 7);  // the repeated 7 is kept, as the file lists it
    e.Dword(129, 2, 1);                                    // row stays at position 5's row
    e.Dword(129, 600, 3);                                  // position limited to 511
    e.Dword(129, 8, 1000).Dword(129, 9, 65535);            // no such patterns
    e.Dword(129, 0, 0);                                    // pattern 0 is silence, a valid entry
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_EQ(loop_.PlayList.At(5), (tx::TPlayList::Position{7, 2, 7}));
    EXPECT_EQ(loop_.PlayList.At(2), (tx::TPlayList::Position{1}));
    EXPECT_EQ(loop_.PlayList.At(511), (tx::TPlayList::Position{3}));
    EXPECT_TRUE(loop_.PlayList.At(8).empty());
    EXPECT_TRUE(loop_.PlayList.At(9).empty());
    EXPECT_EQ(loop_.PlayList.At(0), (tx::TPlayList::Position{0}));
    EXPECT_EQ(loop_.PlaylistRow, 6);  // position 5's row; 511 does not move it
    EXPECT_EQ(loop_.SongLength, 511);
}

TEST_F(LoopReader, Texts) {
    LoopBytes e;
    e.Word(64, 2).Text(192, "Snare").Text(194, "Song").Text(195, "plain info").Text(197, "http://x");
    e.Text(196, "C:\\Loops\\kick.wav");
    e.Data(192, {'A', 'B', 0, 'C', 0});                                  // up to the first zero byte
    e.Word(64, 1).Data(192, {'N', 'o', 'Z'}).Word(64, 3).Data(192, {});  // no zero byte: all its bytes
    e.Word(64, 2);
    e.Data(198, {'{', 0, 0xFF, '}'});  // rich text: all bytes, zero bytes included
    ASSERT_EQ(Read(e).Code, 0);
    EXPECT_EQ(loop_.Channel(2).Name, "AB");
    EXPECT_EQ(loop_.Channel(1).Name, "NoZ");
    EXPECT_EQ(loop_.Channel(3).Name, "");
    EXPECT_EQ(loop_.Title, "Song");
    EXPECT_EQ(loop_.InfoPlain, "plain info");
    EXPECT_EQ(loop_.URL, "http://x");
    EXPECT_EQ(loop_.Channel(2).SampleFileName, "C:\\Loops\\kick.wav");
    EXPECT_EQ(loop_.InfoRich, std::string("{\0\xFF}", 4));
}

// The reader hands each channel's last sample name to the loader after the
// last event, when the channel's effects are all known.
TEST_F(LoopReader, SampleNamesGoToTheLoaderAfterTheLastEvent) {
    std::vector<std::pair<int, std::string>> calls;
    std::vector<int> channels;
    tx::TLoopReadOptions o;
    o.OnSampleFileName = [&](int ch, const std::string& name) {
        calls.emplace_back(ch, name);
        channels.push_back(loop_.ChannelCount());
    };
    LoopBytes e;
    e.Word(64, 3).Text(196, "b.wav").Word(64, 0).Text(196, "x.wav").Text(196, "a.wav").Word(64, 5);
    ASSERT_EQ(Read(e.File(), o).Code, 0);
    EXPECT_EQ(calls, (std::vector<std::pair<int, std::string>>{{0, "a.wav"}, {3, "b.wav"}}));
    EXPECT_EQ(channels, (std::vector<int>{6, 6})) << "a loader was called before the last event";
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
    const char* What;
    Bytes Block;
    int32_t Feed, Pan, Pitch, Echoes, Time;
};
void PrintTo(const DelayCase& c, std::ostream* os) { *os << c.What; }
class LoopReaderDelay : public LoopReader, public testing::WithParamInterface<DelayCase> {};
TEST_P(LoopReaderDelay, BlockCopiesAtMost20BytesAndAdds64ToAWholePan) {
    ASSERT_EQ(Read(LoopBytes().Data(209, GetParam().Block)).Code, 0);
    const tx::TChannel& c = loop_.Channel(0);
    const DelayCase& d = GetParam();
    EXPECT_EQ(std::vector<int32_t>({c.DelayFeed, c.DelayPan, c.DelayPitch, c.DelayEchoes, c.DelayTime}),
              std::vector<int32_t>({d.Feed, d.Pan, d.Pitch, d.Echoes, d.Time}));
}
// Defaults: feed 0, pan 128, pitch 120, echoes 4, time 48.
INSTANTIATE_TEST_SUITE_P(
    Blocks, LoopReaderDelay,
    testing::Values(
        DelayCase{"empty", {}, 0, 128, 120, 4, 48},
        DelayCase{"feed only, nothing added", {5, 0, 0, 0}, 5, 128, 120, 4, 48},
        DelayCase{"pan low bytes replaced, still no pan", {5, 0, 0, 0, 1, 0}, 5, 1, 120, 4, 48},
        DelayCase{"whole pan", {5, 0, 0, 0, 64, 0, 0, 0}, 5, 128, 120, 4, 48},
        DelayCase{
            "beyond 20 bytes", {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 1, 0, 0, 99, 99}, 1, 66, 3, 4, 261},
        DelayCase{"pan wraps", {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}, 0, 63, 120, 4, 48}),
    CaseName<DelayCase>);

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
                                         255),
                         [](const auto& i) { return "id_" + std::to_string(i.param); });

// --- chunk structure: the loop is reset before any check, lengths past the
// end are clipped, and bytes after the data length are not events.

Bytes Patched(Bytes b, size_t at, std::initializer_list<uint8_t> v) {
    std::copy(v.begin(), v.end(), b.begin() + std::ptrdiff_t(at));
    return b;
}
const LoopBytes volumeAndPan = LoopBytes().Byte(2, 77).Byte(3, 12);

struct ChunkCase {
    const char* What;
    Bytes File;
    int Code;
    bool EndedEarly;
    int Volume, Pan;
    const char* Reason = "";
};
void PrintTo(const ChunkCase& c, std::ostream* os) { *os << c.What; }
class LoopReaderChunks : public LoopReader, public testing::WithParamInterface<ChunkCase> {};
TEST_P(LoopReaderChunks, ReadAsTheHeaderSays) {
    const ChunkCase& c = GetParam();
    loop_.AddChannel();
    const auto r = Read(c.File);
    EXPECT_EQ(r.Code, c.Code);
    EXPECT_EQ(r.EndedEarly, c.EndedEarly);
    EXPECT_NE(r.Reason.find(c.Reason), std::string::npos) << r.Reason;
    EXPECT_EQ(loop_.ChannelCount(), 4);
    EXPECT_EQ(loop_.Channel(0).Volume, c.Volume);
    EXPECT_EQ(loop_.Channel(0).Pan, c.Pan);
}
INSTANTIATE_TEST_SUITE_P(
    Files, LoopReaderChunks,
    testing::Values(ChunkCase{"whole", volumeAndPan.File(), 0, false, 77, 12},
                    ChunkCase{"empty", {}, 2, false, 100, 64},
                    ChunkCase{"header cut", {'T', 'X', 'h', 'd', 6, 0}, 2, false, 100, 64},
                    ChunkCase{"header id", Patched(volumeAndPan.File(), 0, {'X'}), 2, false, 100, 64, "TXhd"},
                    ChunkCase{"data id", Patched(volumeAndPan.File(), 16, {'X'}), 2, false, 100, 64, "TXdt"},
                    ChunkCase{"header length 40", volumeAndPan.FileWith(40, 4, 4), 0, false, 77, 12},
                    ChunkCase{"header length 0", volumeAndPan.FileWith(0, 4, 4), 0, false, 77, 12},
                    ChunkCase{"header length past the end", Patched(volumeAndPan.File(), 4, {0xFF, 0xFF, 0xFF, 0xFF}),
                              2, false, 100, 64, "header length"},
                    ChunkCase{"data length past the end", volumeAndPan.FileWith(6, 4, 0xFFFFFFFF), 0, true, 77, 12},
                    ChunkCase{"bytes after the data length", volumeAndPan.FileWith(6, 4, 2), 0, false, 77, 64},
                    ChunkCase{"data length cut",
                              {'T', 'X', 'h', 'd', 6, 0, 0, 0, 0, 0, 4, 0, 16, 0, 'T', 'X', 'd', 't', 5, 0},
                              0,
                              true,
                              100,
                              64}),
    CaseName<ChunkCase>);

// Malformed events end the read cleanly: what came before them is kept.
struct EndCase {
    const char* What;
    Bytes Tail;
};
void PrintTo(const EndCase& c, std::ostream* os) { *os << c.What; }
class LoopReaderEnd : public LoopReader, public testing::WithParamInterface<EndCase> {};
TEST_P(LoopReaderEnd, EndsTheReadCleanly) {
    LoopBytes e;
    e.Byte(2, 77).put(GetParam().Tail);
    const auto r = Read(e);
    ASSERT_EQ(r.Code, 0);
    EXPECT_TRUE(r.EndedEarly);
    EXPECT_NE(r.Reason.find("at byte 24 "), std::string::npos) << r.Reason;
    EXPECT_EQ(r.StopOffset, 24u);
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
                                         EndCase{"channel beyond the limit", {64, 0x00, 0x01, 3, 12}}),
                         CaseName<EndCase>);

// The length bounds a text, so one whose zero byte is missing neither ends
// the read nor swallows the events after it.
TEST_F(LoopReader, TitleWithoutItsZeroByteIsFollowedByAllEightChannels) {
    LoopBytes e;
    e.Data(194, {'S', 'o', 'n', 'g'});
    for (uint16_t ch = 0; ch < 8; ++ch) e.Word(64, ch).Word(65, 1).Word(68, uint16_t(0x0101 << (ch % 8)));
    const auto r = Read(e);
    ASSERT_EQ(r.Code, 0);
    EXPECT_FALSE(r.EndedEarly) << r.Reason;
    EXPECT_EQ(loop_.Title, "Song");
    ASSERT_EQ(loop_.ChannelCount(), 8);
    for (int ch = 0; ch < 8; ++ch) EXPECT_EQ(loop_.Channel(ch).Pattern(1).StepMask, uint16_t(0x0101 << ch)) << ch;
}

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

}  // namespace
