#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "desktop/StartupPaths.h"

namespace {

namespace fs = std::filesystem;

TEST(StartSoundPath, StyleFolderThenDefaultThenSilence) {
    txtest::TempDir dir;
    const std::string program = dir.path().string() + "/", night = (dir / "Styles/Night").string();
    const std::string fallback = (dir / "Styles/Default/StartSnd.WAV").string();
    fs::create_directories(dir / "Styles/Default");
    fs::create_directories(night);
    EXPECT_EQ(tx::StartSoundPath(program, night), "");
    txtest::WriteFileBytes(fallback, {'R'});
    EXPECT_EQ(tx::StartSoundPath(program, night), fallback);
    EXPECT_EQ(tx::StartSoundPath(program, (dir / "Missing").string()), fallback);
    txtest::WriteFileBytes(night + "/startsnd.wav", {'R'});  // another letter case still counts
    EXPECT_EQ(tx::StartSoundPath(program, night), night + "/startsnd.wav");
    // A folder of that name is not a sound.
    fs::remove(fallback);
    fs::create_directory(fallback);
    EXPECT_EQ(tx::StartSoundPath(program, ""), "");
}

}  // namespace
