// `trovamix-cli midi`, run as the built program: the song and the current
// pattern exported as Standard MIDI Files.
#include <gtest/gtest.h>

#include "CliRun.h"
#include "loopfile/LoopFile.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Ticks of the note-ons on MIDI channel 10 in a file whose track holds only
// 3-byte events after the tempo.
std::vector<uint32_t> noteOnTicks(const Bytes& f) {
    std::vector<uint32_t> ticks;
    uint32_t tick = 0;
    for (size_t p = 22 + 7; p + 4 <= f.size();) {
        uint32_t d = 0;
        while (f[p] & 0x80) d = (d << 7) | (f[p++] & 0x7F);
        d = (d << 7) | f[p++];
        tick += d;
        if (f[p] == 0x99) ticks.push_back(tick);
        p += 3;
    }
    return ticks;
}

TEST(CliMidi, ExportsTheSongOrThePattern) {
    // Key 36 on step 0 of pattern 1 and step 4 of pattern 2, at 120 BPM.
    txtest::TempDir dir;
    tx::TLoop loop;
    tx::TChannel& c = loop.Channel(0);
    c.MidiNote = 36;
    c.MidiChannel = 9;
    c.Pattern(1).SetStep(0, true);
    c.Pattern(2).SetStep(4, true);
    loop.Tempo = 120;
    const std::string file = (dir / "l.txp").string();
    ASSERT_EQ(tx::WriteLoop(file, loop), "");

    txtest::TCliResult r = txtest::RunCli({"midi", file, "-o", (dir / "song.mid").string()});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    const Bytes song = txtest::ReadFileBytes(dir / "song.mid");
    ASSERT_GT(song.size(), 29u);
    EXPECT_EQ(Bytes(song.begin(), song.begin() + 4), (Bytes{'M', 'T', 'h', 'd'}));
    EXPECT_EQ(Bytes(song.begin() + 26, song.begin() + 29), (Bytes{0x07, 0xA1, 0x20}));  // 500000 us
    EXPECT_EQ(noteOnTicks(song), (std::vector<uint32_t>{0, 480 + 120}));

    r = txtest::RunCli({"midi", "--pattern", file, "--output=" + (dir / "pattern.mid").string()});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(noteOnTicks(txtest::ReadFileBytes(dir / "pattern.mid")), (std::vector<uint32_t>{0}));
}

}  // namespace
