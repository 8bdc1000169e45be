#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "desktop/CompanionLink.h"

namespace {

namespace fs = std::filesystem;

TEST(CompanionLink, DockedOnlyWhenSomeSlotLinksIt) {
    tx::TToolSlots slots{};
    EXPECT_FALSE(tx::CompanionDocking(slots));
    slots[3] = {"Sonelo", "/opt/sonelo", tx::ToolAtStartup | tx::ToolWithSamplesPath};
    EXPECT_FALSE(tx::CompanionDocking(slots));
    slots[4] = {"Other", "/opt/other", tx::ToolLinked | tx::ToolAtStartup};
    EXPECT_TRUE(tx::CompanionDocking(slots));
}

TEST(CompanionLink, TheHintNamesTheFileWithoutItsFolder) {
    EXPECT_EQ(tx::ReceivedHint("/home/u/My Kit/kick 1.wav"), "Received kick 1.wav");
    EXPECT_EQ(tx::ReceivedHint("/snare.WAV"), "Received snare.WAV");
}

TEST(CompanionLink, OnlyAnExistingWavFileIsLoaded) {
    txtest::TempDir dir;
    fs::create_directories(dir / "dir.wav");
    for (const char* f : {"a.wav", "b.WAV", "c.txt", "wav"}) std::ofstream(dir / f) << "x";
    fs::create_symlink(dir / "a.wav", dir / "link.wav");
    fs::create_symlink(dir / "nowhere.wav", dir / "dangling.wav");
    struct Case {
        std::string name, problem;  // problem: the start of the text, "" for none
    };
    for (const Case& c : {Case{"a.wav", ""}, Case{"b.WAV", ""}, Case{"link.wav", ""},
                          Case{"missing.wav", "Sonelo sent a file that does not exist: "},
                          Case{"dangling.wav", "Sonelo sent a file that does not exist: "},
                          Case{"dir.wav", "Sonelo sent a name that is not a file: "},
                          Case{"c.txt", "Sonelo sent a file that is not a WAV file: "},
                          Case{"wav", "Sonelo sent a file that is not a WAV file: "},
                          Case{"a.wav/x.wav", "Sonelo sent a file that does not exist: "}}) {
        const std::string path = (dir / c.name).string();
        SCOPED_TRACE(c.name);
        EXPECT_EQ(tx::CompanionFileProblem(path), c.problem.empty() ? "" : c.problem + path);
    }
}

}  // namespace
