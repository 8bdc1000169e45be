#include "model/SafeFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void put(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

unsigned modeOf(const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_mode & 07777;
}

// Every entry of the folder: a leftover temporary file shows here.
size_t entries(const fs::path& dir) {
    size_t n = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir)) ++n;
    return n;
}

}  // namespace

TEST(SafeFile, ReplacesThroughLinksAndKeepsTheLink) {
    txtest::TempDir dir;
    fs::create_directory(dir / "real");
    put(dir / "real" / "a.txp", "old");
    fs::create_symlink("real/a.txp", dir / "rel");           // relative link
    fs::create_symlink(dir / "rel", dir / "chain");         // link to a link
    fs::create_symlink("real/new.txp", dir / "dangling");   // names a file not yet there

    EXPECT_EQ(tx::WriteFileSafely((dir / "chain").string(), "new"), "");
    EXPECT_TRUE(fs::is_symlink(dir / "chain"));
    EXPECT_TRUE(fs::is_symlink(dir / "rel"));
    EXPECT_EQ(slurp(dir / "real" / "a.txp"), "new");

    EXPECT_EQ(tx::WriteFileSafely((dir / "dangling").string(), "made"), "");
    EXPECT_TRUE(fs::is_symlink(dir / "dangling"));
    EXPECT_EQ(slurp(dir / "real" / "new.txp"), "made");
    EXPECT_EQ(entries(dir / "real"), 2u);
}

TEST(SafeFile, KeepsPermissionsAndGivesNewFilesTheUmask) {
    txtest::TempDir dir;
    put(dir / "kept", "x");
    ::chmod((dir / "kept").c_str(), 0640);
    ASSERT_EQ(tx::WriteFileSafely((dir / "kept").string(), "y"), "");
    EXPECT_EQ(modeOf(dir / "kept"), 0640u);

    const mode_t old = ::umask(027);
    const std::string r = tx::WriteFileSafely((dir / "fresh").string(), "z");
    ::umask(old);
    ASSERT_EQ(r, "");
    EXPECT_EQ(modeOf(dir / "fresh"), 0640u);  // 0666 less 027
}

TEST(SafeFile, FailureLeavesTheOldFileAndNoTemporary) {
    txtest::TempDir dir;
    put(dir / "old.wav", "precious");
    fs::create_directory(dir / "folder");
    fs::create_symlink("loop2", dir / "loop1");
    fs::create_symlink("loop1", dir / "loop2");

    struct Case {
        fs::path target;
        const char* reasonPart;
    } cases[] = {
        {dir / "folder", "is a folder"},
        {dir / "old.wav" / "inside", "cannot create"},  // a file used as a folder
        {dir / "missing" / "x.wav", "cannot create"},
        {dir / "loop1", "cannot"},
        {"", "no file name"},
    };
    for (const Case& c : cases) {
        const std::string r = tx::WriteFileSafely(c.target.string(), "junk");
        EXPECT_NE(r.find(c.reasonPart), std::string::npos) << c.target << " -> " << r;
        EXPECT_EQ(r.rfind(c.target.string(), 0), 0u) << "the message names the file: " << r;
    }
    EXPECT_EQ(slurp(dir / "old.wav"), "precious");
    EXPECT_EQ(entries(dir.path()), 4u);

    {  // a writer that gives up part-way (a render cancelled) leaves nothing behind
        tx::TSafeFile f;
        ASSERT_TRUE(f.Open((dir / "old.wav").string()));
        ASSERT_TRUE(f.Write("RIFF....half"));
    }
    EXPECT_EQ(slurp(dir / "old.wav"), "precious");
    EXPECT_EQ(entries(dir.path()), 4u);
}

TEST(SafeFile, PatchesHeadersInPlace) {
    txtest::TempDir dir;
    tx::TSafeFile f;
    ASSERT_TRUE(f.Open((dir / "h.bin").string()));
    ASSERT_TRUE(f.Write("RIFF????WAVEdata"));
    ASSERT_TRUE(f.WriteAt("1234", 4, 4));
    ASSERT_TRUE(f.Write("!"));
    ASSERT_TRUE(f.Commit());
    EXPECT_EQ(slurp(dir / "h.bin"), "RIFF1234WAVEdata!");
    EXPECT_FALSE(f.Write("late")) << "a committed file takes no more data";
}
