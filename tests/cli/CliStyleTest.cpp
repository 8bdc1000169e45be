// trovamix-cli style check: one line per problem, the files taken from
// elsewhere, exit 0 for a clean style and 1 for problems.
#include <gtest/gtest.h>

#include <sstream>

#include "BmpBytes.h"
#include "CliRun.h"
#include "StyleFolder.h"
#include "skin/StyleFiles.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

class CliStyle : public ::testing::Test {
protected:
    void SetUp() override {
        txtest::WriteStyleFolder(dir / "Neat", 0x203040, "' a clean style\nHint=|Ready\nStartButton=10,20\n");
        txtest::WriteText(dir / "Neat" / "StartSnd.WAV", "RIFF");
    }
    std::string style(const char* name) const { return (dir / name).string(); }
    txtest::TempDir dir;
};

TEST_F(CliStyle, ACompleteCleanStyleHasNothingToReport) {
    const txtest::TCliResult r = txtest::RunCli({"style", "check", style("Neat")});
    EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(r.Err, "");
}

TEST_F(CliStyle, EveryProblemIsOneLineNamingFileAndLine) {
    const fs::path d = dir / "Neat";
    txtest::WriteText(d / "config.txt",
                      "Hint=|ok\n"
                      "StartButon=1,2\n"
                      "BPMDig=1,x\n"
                      "DefHole=" +
                          std::string(65 * 4, ',').replace(0, 1, "1") + "\n");
    txtest::WriteBmp(d / "NoteBtn.bmp", txtest::MakeBitmap(65, 27, [](int x, int) { return uint32_t(x); }));
    txtest::WriteBmp(d / "UpDown.bmp", txtest::MakeBitmap(32, 26, [](int x, int) { return x < 20 ? 0xFF00FFu : 1u; }));
    txtest::WriteText(d / "TitleBar.bmp", "BM broken");
    const txtest::TCliResult r = txtest::RunCli({"style", "check", d.string()});
    EXPECT_EQ(r.Status, 1) << r.Err;
    const std::vector<std::string> out = lines(r.Out);
    const std::vector<std::string> want = {
        "TitleBar.bmp: unusable (not a BMP file); treated as missing",
        "NoteBtn.bmp: width 65 is not a multiple of its 4 frames",
        "UpDown.bmp: bottom-left colour #FF00FF covers 62% of the bitmap like a mask, but this file is drawn opaque",
        "config.txt:2: unknown key or control \"STARTBUTON\"",
        "config.txt:3: unreadable number \"X\" in BPMDIG",
        "config.txt:4: DefHole has 130 points; those past 64 are ignored",
    };
    for (const std::string& w : want)
        EXPECT_NE(std::find(out.begin(), out.end(), w), out.end()) << "missing: " << w << "\n" << r.Out;
    // The broken title bar is the one file taken from elsewhere.
    ASSERT_EQ(out.size(), want.size() + 1) << r.Out;
    EXPECT_EQ(out.back().rfind("TitleBar.bmp: ", 0), 0u) << out.back();
}

TEST_F(CliStyle, APartialStyleSaysWhatItTakesFromDefault) {
    fs::create_directories(dir / "Tiny");
    txtest::WriteBmp(dir / "Tiny" / "back.bmp", txtest::MakeBitmap(8, 8, [](int, int) { return 5u; }));
    const txtest::TCliResult r = txtest::RunCli({"style", "check", style("Tiny")});
    EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
    const std::vector<std::string> out = lines(r.Out);
    ASSERT_EQ(out.size(), tx::StyleFileTable().size() - 1) << r.Out;
    for (const std::string& l : out) EXPECT_EQ(l.find("back.bmp"), std::string::npos) << l;
}

TEST_F(CliStyle, BadUsageAndMissingFolders) {
    struct TCase {
        std::vector<std::string> Args;
        int Status;
        const char* Says;
    };
    for (const TCase& c :
         {TCase{{"style"}, 64, "style: bad usage"}, TCase{{"style", "frob", "x"}, 64, "style: bad usage"},
          TCase{{"style", "check"}, 64, "style check: bad usage"},
          TCase{{"style", "check", "a", "b"}, 64, "style check: bad usage"},
          TCase{{"style", "check", style("Nowhere")}, 1, "Nowhere: is not a style folder"}}) {
        const txtest::TCliResult r = txtest::RunCli(c.Args);
        EXPECT_EQ(r.Status, c.Status) << r.Err;
        EXPECT_TRUE(txtest::OneErrorLine(r, c.Says));
    }
    EXPECT_NE(txtest::RunCli({"--help"}).Out.find("style check FOLDER"), std::string::npos);
}

}  // namespace
