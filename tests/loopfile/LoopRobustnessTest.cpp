// Damaged files: every truncation of a valid file, seeded random damage, and
// the inputs the fuzzer once found, all read without fault, and whatever is
// read writes back to a file that reads to the same loop.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "LoopBytes.h"
#include "TestSupport.h"
#include "loopfile/LoopFile.h"

namespace {

using Bytes = std::vector<uint8_t>;
using txtest::LoopBytes;

// A valid file that uses every kind of event, including multi-group lengths.
Bytes RichFile() {
    tx::TLoop a;
    a.AddChannel();
    a.Title = "T";
    a.URL = "http://u";
    a.InfoRich = std::string(130, 'r');
    a.SongMode = true;
    for (int ch = 0; ch < 5; ++ch) {
        tx::TChannel& c = a.Channel(ch);
        a.SetChannelName(ch, "n" + std::to_string(ch));
        c.SampleFileName = "s.wav";
        c.ControllerTable[1] = 5;
        c.RandomWith.push_back(2);
        if (ch == 2) a.SetMinimized(ch, true);
        for (int p : {1, 17}) {
            c.Pattern(p).StepMask = 0x0F0F;
            for (int row = 0; row < tx::StepRowCount; ++row) c.Pattern(p).Rows[size_t(row)][3] = 9;
        }
    }
    a.SetPatternAt(1, 0, true);
    a.SetPatternAt(17, 1, true);
    LoopBytes old;  // events the writer never writes
    old.Text(195, "plain").Dword(130, 2, 64).Word(71, 100).Data(201, Bytes(3, 0));
    Bytes f = tx::BuildLoopFile(a);
    f.insert(f.end(), old.Events().begin(), old.Events().end());
    const uint32_t n = uint32_t(f.size() - 22);
    for (int b = 0; b < 4; ++b) f[18 + size_t(b)] = uint8_t(n >> (8 * b));
    return f;
}

// Reads any bytes; whatever was read must write back to a file that reads to
// the very same loop, and reading it in small blocks (events larger than a
// block, unknown ones skipped beyond it) must give the same loop.
void CheckAnyInput(const Bytes& input) {
    tx::TLoop loop;
    const auto r = tx::ReadLoopFromMemory(input.data(), input.size(), loop);
    ASSERT_TRUE(r.Code == 0 || r.Code == 2) << r.Code;
    ASSERT_GE(loop.ChannelCount(), 4);
    ASSERT_LE(loop.ChannelCount(), tx::MaxLoopChannels);
    const Bytes image = tx::BuildLoopFile(loop);
    tx::TLoop again;
    const auto r2 = tx::ReadLoopFromMemory(image.data(), image.size(), again);
    ASSERT_EQ(r2.Code, 0) << r2.Reason;
    ASSERT_FALSE(r2.EndedEarly) << r2.Reason;
    ASSERT_EQ(tx::BuildLoopFile(again), image);
    for (size_t block : {1, 3, 64}) {
        tx::TLoopReadOptions small;
        small.BlockBytes = block;
        tx::TLoop blocks;
        const auto rb = tx::ReadLoopFromMemory(input.data(), input.size(), blocks, small);
        ASSERT_EQ(rb.Code, r.Code) << "blocks of " << block;
        ASSERT_EQ(rb.EndedEarly, r.EndedEarly) << "blocks of " << block;
        ASSERT_EQ(tx::BuildLoopFile(blocks), image) << "blocks of " << block;
    }
}

TEST(LoopRobustness, TruncationAtEveryByte) {
    const Bytes full = RichFile();
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const Bytes part(full.begin(), full.begin() + std::ptrdiff_t(cut));
        tx::TLoop loop;
        const auto r = tx::ReadLoopFromMemory(part.data(), part.size(), loop);
        // Before the data chunk's id is complete the file is not a loop; after it, a shorter loop.
        EXPECT_EQ(r.Code, cut < 18 ? 2 : 0);
        if (cut >= 18) {
            EXPECT_EQ(r.EndedEarly, cut < full.size());
        }
        CheckAnyInput(part);
        if (HasFatalFailure()) return;
    }
}

TEST(LoopRobustness, SeededRandomDamage) {
    const Bytes full = RichFile();
    std::mt19937 rng(20240607);
    for (int round = 0; round < 800; ++round) {
        Bytes b = full;
        const int hits = 1 + int(rng() % 8);
        for (int h = 0; h < hits; ++h) {
            const size_t at = rng() % b.size();
            switch (rng() % 4) {
                case 0:
                    b[at] = uint8_t(rng());
                    break;  // overwrite
                case 1:
                    b[at] ^= uint8_t(1u << (rng() % 8));
                    break;  // flip a bit
                case 2:
                    b.erase(b.begin() + std::ptrdiff_t(at));
                    break;  // drop a byte
                default:
                    b.insert(b.begin() + std::ptrdiff_t(at), uint8_t(rng()));
                    break;  // add a byte
            }
            if (b.empty()) b.push_back(0);
        }
        SCOPED_TRACE("round " + std::to_string(round));
        CheckAnyInput(b);
        if (HasFatalFailure()) return;
    }
}

// Inputs that once made the reader fail (kept from fuzzing) and hand-made ones
// that would trip a careless reader: lengths past the end, texts without their
// zero byte, too many channels, pattern 0, short delay blocks.
TEST(LoopRobustness, RegressionInputs) {
    const std::filesystem::path folder = std::filesystem::path(TROVAMIX_TEST_DATA) / "loopfile-regress";
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        if (!e.is_regular_file() || e.path().extension() != ".txp") continue;
        ++files;
        SCOPED_TRACE(e.path().filename().string());
        const Bytes bytes = txtest::ReadFileBytes(e.path());
        CheckAnyInput(bytes);
        tx::TLoop fromMemory, fromFile;
        tx::TLoopReadOptions o;
        o.BlockBytes = 2;
        const auto rm = tx::ReadLoopFromMemory(bytes.data(), bytes.size(), fromMemory);
        const auto rf = tx::ReadLoop(e.path().string(), fromFile, o);
        EXPECT_EQ(rf.Code, rm.Code);
        EXPECT_EQ(rf.EndedEarly, rm.EndedEarly);
        EXPECT_EQ(tx::BuildLoopFile(fromFile), tx::BuildLoopFile(fromMemory));
    }
    EXPECT_GT(files, 0);
}

}  // namespace
