// The files the program writes (loop, render as WAV or through libsndfile,
// MIDI export) all go through the one safe writer: saving through a symbolic link keeps the link
// and replaces the file it names, a replaced file keeps its permissions, and
// nothing is left beside the target. (Failures are each writer's own tests.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "TestSupport.h"
#include "engine/Engine.h"
#include "engine/Render.h"
#include "loopfile/LoopFile.h"
#include "midi/MidiFile.h"

namespace {

namespace fs = std::filesystem;

struct TWriterCase {
    const char* Name;
    const char* Magic;  // the first four bytes of what the writer writes
    // Writes the file; an empty string on success.
    std::function<std::string(tx::TEngine&, tx::TLoop&, const std::string&)> Write;
};
void PrintTo(const TWriterCase& c, std::ostream* os) { *os << c.Name; }

class FileWriters : public testing::TestWithParam<TWriterCase> {
protected:
    void SetUp() override {
        loop.SetEngineLock(&lock);
        engine = std::make_unique<tx::TEngine>(loop, lock, settings);
        engine->SetTempo(500);  // the shortest render
        txtest::WriteFileBytes(real, {'o', 'l', 'd'});
        ::chmod(real.c_str(), 0640);
    }
    std::string write(const fs::path& p) { return GetParam().Write(*engine, loop, p.string()); }
    std::string magic(const fs::path& p) {
        const auto b = txtest::ReadFileBytes(p);
        return b.size() < 4 ? std::string() : std::string(b.begin(), b.begin() + 4);
    }
    static unsigned modeOf(const fs::path& p) {
        struct stat st {};
        return ::stat(p.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0u;
    }
    size_t entries() const {
        size_t n = 0;
        for ([[maybe_unused]] const auto& e : fs::recursive_directory_iterator(dir.path())) ++n;
        return n;
    }

    txtest::TempDir dir;
    fs::path real = dir / "real.out";
    tx::TLoop loop;
    tx::TEngineLock lock;
    tx::TSettings settings;
    std::unique_ptr<tx::TEngine> engine;
};

TEST_P(FileWriters, ThroughALinkTheLinkStaysAndItsFileIsReplaced) {
    fs::create_directory(dir / "links");
    const fs::path link = dir / "links" / "link.out";
    fs::create_symlink("../real.out", link);
    ASSERT_EQ(write(link), "");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), fs::path("../real.out"));
    EXPECT_EQ(magic(real), GetParam().Magic);
    EXPECT_EQ(modeOf(real), 0640u);
    EXPECT_EQ(entries(), 3u);  // real.out, links, the link: no temporary anywhere
}

INSTANTIATE_TEST_SUITE_P(
    Writers, FileWriters,
    testing::Values(TWriterCase{"Loop", "TXhd",
                                [](tx::TEngine&, tx::TLoop& loop, const std::string& f) {
                                    const tx::TLoopWriteResult r = tx::WriteLoopFile(f, loop);
                                    return r.Ok ? std::string() : r.Reason;
                                }},
                    TWriterCase{"Render", "RIFF",
                                [](tx::TEngine& e, tx::TLoop&, const std::string& f) {
                                    const tx::TRenderResult r = tx::RenderWAV(e, f);
                                    return r.Ok ? std::string() : r.Error;
                                }},
                    TWriterCase{"RenderFlac", "fLaC",
                                [](tx::TEngine& e, tx::TLoop&, const std::string& f) {
                                    const tx::TRenderResult r = tx::RenderFiles(e, {f, {}, tx::TRenderFormat::Flac});
                                    return r.Ok ? std::string() : r.Error;
                                }},
                    TWriterCase{"Midi", "MThd",
                                [](tx::TEngine& e, tx::TLoop& loop, const std::string& f) {
                                    return tx::WriteMidiFile(f, tx::BuildMidiFile(loop, e.Settings, true));
                                }}),
    [](const auto& i) { return std::string(i.param.Name); });

}  // namespace
