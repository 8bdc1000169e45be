// `trovamix-cli play` on the null output (no sound server needed): the report
// it prints at the end of the time given, and after Ctrl+C.
#include <gtest/gtest.h>

#include <regex>

#include "CliRun.h"
#include "loopfile/LoopFile.h"

namespace {

const std::regex Report(
    "underruns: [0-9]+\nCPU usage: [0-9]+%(\\s\\([0-9]+ samples\\))?\naverage CPU usage: [0-9]+\\.[0-9]{2}%\n");

class CliPlay : public ::testing::Test {
protected:
    void SetUp() override {
        tx::TLoop loop;  // four empty channels, one step on: silent but playing
        loop.Channel(0).Pattern(1).SetStep(0, true);
        ASSERT_EQ(tx::WriteLoop(loopFile, loop), "");
    }
    txtest::TempDir dir;
    const std::string loopFile = (dir / "play.txp").string();
};

TEST_F(CliPlay, PlaysForTheTimeGivenAndReports) {
    const auto t0 = std::chrono::steady_clock::now();
    const txtest::TCliResult r = txtest::RunCli(
        {"play", loopFile, "--api", "null", "--seconds", "0.5", "--buffer", "1152", "--ahead", "576"});
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(std::regex_match(r.Out, Report)) << r.Out;
    EXPECT_NE(r.Err.find("Null: Null output: block 1152 frames, ahead 576 frames"), std::string::npos) << r.Err;
}

TEST_F(CliPlay, CtrlCStopsItCleanly) {
    txtest::TCliRun run({"play", loopFile, "--api=null"});
    // Once it says what it plays it is about to play; a moment later it is playing.
    for (int i = 0; i < 500 && run.ErrSoFar().find("playing ") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    run.Interrupt();
    const txtest::TCliResult r = run.Wait(std::chrono::seconds(10));
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(std::regex_match(r.Out, Report)) << r.Out;
}

}  // namespace
