// The writer: exact bytes of single events, the complete event order of a
// small loop, the values it leaves out, and what a failed save leaves behind.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>

#include "LoopBytes.h"
#include "TestSupport.h"
#include "loopfile/LoopFile.h"

namespace {

using Bytes = std::vector<uint8_t>;
using txtest::LoopBytes;

bool Contains(const Bytes& hay, const Bytes& needle) {
    return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

// The events one default channel writes, spelled out in the writing order.
LoopBytes DefaultChannelEvents(uint16_t index) {
    LoopBytes e;
    e.Word(64, index).Byte(2, 100).Byte(3, 64).Byte(5, 255).Byte(6, 255).Byte(7, 255).Byte(4, 9);
    e.put({192, 1, 0});                                                             // empty name
    e.Dword(128, 200 + 256 * 200 + 65536 * 186);                                    // RGB(200, 200, 186)
    e.Byte(0, 1);                                                                   // enabled
    e.Data(209, {0, 0, 0, 0, 64, 0, 0, 0, 120, 0, 0, 0, 4, 0, 0, 0, 48, 0, 0, 0});  // DelayPan 128 stored as 64
    e.Dword(138, 128, 128).Byte(16, 0);
    e.Word(89, 0).Word(69, 128).Word(86, 256).Word(71, 0).Word(83, 0).Word(74, 0).Word(75, 0).Word(76, 0);
    e.Word(85, 2048);
    e.Dword(131, 0, 128).Dword(135, 60).Dword(132, 0, 0);
    e.Word(70, 0).Byte(13, 0).Byte(14, 1).Word(82, index);
    return e;
}

TEST(LoopWriterGolden, SmallLoopInFullOrder) {
    tx::TLoop loop;
    loop.Tempo = 120;
    loop.URL = "u";
    loop.AddChannel();  // 5 channels
    tx::TChannel& c = loop.Channel(2);
    loop.SetChannelName(2, "Kick");
    c.ControllerTable[7] = 100;
    loop.SetMinimized(2, true);
    c.RandomWith = {2, 0, 4};
    c.SampleFileName = "k.wav";
    c.Pattern(3).StepMask = 0x0005;
    c.Pattern(3).StepVolume()[0] = 90;
    c.Pattern(3).StepNote()[0] = 61;
    c.Pattern(3).StepPan()[2] = 10;
    c.Pattern(3).StepCutoff()[15] = 5;  // off steps keep and write their values
    c.Pattern(3).StepPitch()[0] = 130;
    c.Pattern(3).StepMix()[0] = 1;
    c.Pattern(3).StepReso()[0] = 2;
    c.Pattern(9).StepVolume()[0] = 1;  // all steps off: not written
    loop.Channel(4).Pattern(999).StepMask = 0x8000;
    loop.SetPatternAt(3, 0, true);
    loop.SetPatternAt(1, 0, true);
    loop.SetPatternAt(999, 511, true);
    loop.SongLoopPosition = 2;
    loop.WindowHeight = 40;

    LoopBytes e;
    e.put({199, 7, '1', '.', '3', '.', '7', '2', 0});
    e.Word(66, 120).Word(67, 1).Byte(9, 0).Byte(10, 0);
    e.put({194, 1, 0, 198, 0, 197, 2, 'u', 0});
    e.Byte(11, 0).Byte(12, 128).Word(80, 0).Dword(137, 992, 1008);
    e.Append(DefaultChannelEvents(0)).Append(DefaultChannelEvents(1));
    // channel 2
    e.Word(64, 2).Byte(2, 100).Byte(3, 64).Byte(5, 255).Byte(6, 255).Byte(7, 255).Byte(4, 9);
    Bytes table(128, 255);
    table[7] = 100;
    e.Data(208, table);
    e.put({192, 5, 'K', 'i', 'c', 'k', 0});
    e.Dword(128, 200 + 256 * 200 + 65536 * 186).Byte(0, 1).Byte(15, 1);
    e.Data(209, {0, 0, 0, 0, 64, 0, 0, 0, 120, 0, 0, 0, 4, 0, 0, 0, 48, 0, 0, 0});
    e.Dword(138, 128, 128).Byte(16, 0);
    e.Word(89, 0).Word(69, 128).Word(86, 256).Word(71, 0).Word(83, 0).Word(74, 0).Word(75, 0).Word(76, 0);
    e.Word(85, 2048);
    e.Dword(131, 0, 128).Dword(135, 60).Dword(132, 0, 0);
    e.Word(70, 0).Byte(13, 0).Byte(14, 1).Word(82, 2).Word(81, 0).Word(81, 4);
    e.put({196, 6, 'k', '.', 'w', 'a', 'v', 0});
    e.Word(65, 3).Word(68, 5);
    e.Step(72, 0, 90).Step(78, 0, 130).Step(79, 0, 1).Step(87, 0, 2).Step(77, 0, 61);  // step 0, row order
    e.Step(73, 2, 10);
    e.Step(88, 15, 5);
    e.Append(DefaultChannelEvents(3));
    e.Append(DefaultChannelEvents(4));
    e.Word(65, 999).Word(68, 0x8000);
    e.Dword(129, 0, 3).Dword(129, 0, 1).Dword(129, 511, 999);
    e.Word(84, 2).Dword(133, 40);
    EXPECT_EQ(tx::BuildLoopFile(loop), e.File(5));
}

struct LengthCase {
    size_t DataBytes;
    Bytes Groups;
};
void PrintTo(const LengthCase& c, std::ostream* os) { *os << c.DataBytes << " bytes"; }
class LoopWriterLength : public testing::TestWithParam<LengthCase> {};

TEST_P(LoopWriterLength, InSevenBitGroups) {
    tx::TLoop loop;
    loop.InfoRich.assign(GetParam().DataBytes, 'r');
    Bytes head = {198};
    head.insert(head.end(), GetParam().Groups.begin(), GetParam().Groups.end());
    head.push_back(GetParam().DataBytes ? 'r' : 11);  // then the data, or the shuffle event
    EXPECT_TRUE(Contains(tx::BuildLoopFile(loop), head));
}

INSTANTIATE_TEST_SUITE_P(Lengths, LoopWriterLength,
                         testing::Values(LengthCase{0, {0}}, LengthCase{127, {0x7F}}, LengthCase{128, {0x80, 0x01}},
                                         LengthCase{200, {0xC8, 0x01}}, LengthCase{16384, {0x80, 0x80, 0x01}}),
                         [](const auto& i) { return "bytes_" + std::to_string(i.param.DataBytes); });

// The golden loop above holds the empty name (C0 01 00) and DelayPan 128
// stored as 64; the lengths above hold 200 as C8 01.
TEST(LoopWriterBytes, EventEncodings) {
    tx::TLoop loop;
    loop.MainPitch = -100;
    loop.SetChannelName(0, "Caf\xE9\x80");
    const Bytes image = tx::BuildLoopFile(loop);
    EXPECT_TRUE(Contains(image, {80, 0x9C, 0xFF}));                        // MainPitch as the word 0xFF9C
    EXPECT_TRUE(Contains(image, {192, 6, 'C', 'a', 'f', 0xE9, 0x80, 0}));  // text bytes as they are
}

// A save that fails leaves the old file as it was, leaves Modified set, leaves
// no temporary file behind, and says which file and why.
class LoopWriterFailure : public testing::Test {
protected:
    void SetUp() override {
        old_ = dir_ / "song.txp";
        tx::TLoop first;
        ASSERT_EQ(tx::WriteLoop(old_.string(), first), "");
        oldBytes_ = txtest::ReadFileBytes(old_);
        for (int p = 1; p <= 999; ++p) loop_.Channel(0).Pattern(p).StepMask = 0xFFFF;  // a much larger file
        loop_.Modified = true;
    }
    void ExpectNothingLost() {
        EXPECT_TRUE(loop_.Modified);
        EXPECT_EQ(txtest::ReadFileBytes(old_), oldBytes_);
        int entries = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
            ++entries;
            EXPECT_EQ(e.path().filename(), "song.txp");
        }
        EXPECT_EQ(entries, 1);
    }
    txtest::TempDir dir_;
    std::filesystem::path old_;
    Bytes oldBytes_;
    tx::TLoop loop_;
};

TEST_F(LoopWriterFailure, FolderMissing) {
    const std::string target = (dir_ / "no such folder" / "x.txp").string();
    const std::string message = tx::WriteLoop(target, loop_);
    EXPECT_EQ(message.rfind(target + ": ", 0), 0u) << message;
    EXPECT_NE(message.find("No such file or directory"), std::string::npos) << message;
    ExpectNothingLost();
}

TEST_F(LoopWriterFailure, TargetIsAFolder) {
    std::filesystem::create_directory(dir_ / "sub");
    const auto r = tx::WriteLoopFile((dir_ / "sub").string(), loop_);
    EXPECT_FALSE(r.Ok);
    EXPECT_FALSE(r.Reason.empty());
    std::filesystem::remove(dir_ / "sub");
    ExpectNothingLost();
}

// The file system refuses the data part-way (the file size limit stands in
// for a full disk): the temporary file goes and the old file stays.
TEST_F(LoopWriterFailure, WriteFailsPartWay) {
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto r = tx::WriteLoopFile(old_.string(), loop_);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(r.Ok);
    EXPECT_NE(r.Reason.find("File too large"), std::string::npos) << r.Reason;
    ExpectNothingLost();
}

}  // namespace
