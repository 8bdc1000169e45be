#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "shell/core/StartupPaths.h"

namespace {

namespace fs = std::filesystem;

class StartSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir / "Styles/Default");
        fs::create_directories(dir / "Styles/Night");
    }
    std::string Program() const { return dir.path().string() + "/"; }
    std::string Night() const { return (dir / "Styles/Night").string(); }
    void Touch(const fs::path& p) { txtest::WriteFileBytes(p, {'R', 'I', 'F', 'F'}); }
    txtest::TempDir dir;
};

TEST_F(StartSoundTest, StyleFolderThenDefaultThenSilence) {
    EXPECT_EQ(tx::StartSoundPath(Program(), Night()), "");
    Touch(dir / "Styles/Default/StartSnd.WAV");
    EXPECT_EQ(tx::StartSoundPath(Program(), Night()), (dir / "Styles/Default/StartSnd.WAV").string());
    Touch(dir / "Styles/Night/startsnd.wav");
    EXPECT_EQ(tx::StartSoundPath(Program(), Night()), (dir / "Styles/Night/startsnd.wav").string());
    // A folder of that name is not a sound.
    EXPECT_EQ(tx::StartSoundPath(Program(), (dir / "Missing").string()),
              (dir / "Styles/Default/StartSnd.WAV").string());
    fs::remove(dir / "Styles/Default/StartSnd.WAV");
    fs::create_directory(dir / "Styles/Default/StartSnd.WAV");
    EXPECT_EQ(tx::StartSoundPath(Program(), ""), "");
}

TEST(ProgramFolder, IsTheTestProgramsRealFolder) {
    std::string folder = tx::ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(fs::equivalent(folder, fs::canonical("/proc/self/exe").parent_path()));
}

}  // namespace
