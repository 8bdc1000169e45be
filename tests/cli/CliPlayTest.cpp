// `trovamix-cli play` on the null output (no sound server needed): the report
// it prints, Ctrl+C, and its usage and file failures.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "TestSupport.h"
#include "loopfile/LoopFile.h"

namespace {

const std::string Cli = std::string(TROVAMIX_BINARY_DIR) + "/trovamix-cli";

struct TRun {
    int Status = -1;
    std::string Out, Err;
};

std::string slurp(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

class CliPlay : public ::testing::Test {
protected:
    void SetUp() override {
        tx::TLoop loop;  // four empty channels, one step on: silent but playing
        loop.Channel(0).Pattern(1).SetStep(0, true);
        loopFile = (dir / "play.txp").string();
        ASSERT_EQ(tx::WriteLoop(loopFile, loop), "");
    }
    // Runs the tool with `args`; with `interruptAfter` > 0 sends it SIGINT then.
    TRun Run(const std::vector<std::string>& args, std::chrono::milliseconds interruptAfter = {}) {
        const std::string out = (dir / "stdout").string(), err = (dir / "stderr").string();
        pid_t pid = ::fork();
        if (pid == 0) {
            if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr)) ::_exit(126);
            std::vector<char*> argv{const_cast<char*>(Cli.c_str()), const_cast<char*>("play")};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(Cli.c_str(), argv.data());
            ::_exit(127);
        }
        TRun r;
        if (pid < 0) return r;
        if (interruptAfter.count() > 0) {
            std::this_thread::sleep_for(interruptAfter);
            ::kill(pid, SIGINT);
        }
        int st = 0;
        // Bounded: a command that ignored the interrupt is killed and fails the test.
        for (int i = 0; i < 1000; ++i) {
            if (::waitpid(pid, &st, WNOHANG) == pid) {
                r.Status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
                r.Out = slurp(out);
                r.Err = slurp(err);
                return r;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &st, 0);
        r.Err = "did not finish within 10 s";
        return r;
    }
    txtest::TempDir dir;
    std::string loopFile;
};

const std::regex Report(
    "underruns: [0-9]+\nCPU usage: [0-9]+%(\\s\\([0-9]+ samples\\))?\naverage CPU usage: [0-9]+\\.[0-9]{2}%\n");

}  // namespace

TEST_F(CliPlay, PlaysOnTheNullOutputAndReports) {
    const auto t0 = std::chrono::steady_clock::now();
    TRun r = Run({loopFile, "--api", "null", "--seconds", "0.5", "--buffer", "1152", "--ahead", "576"});
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(std::regex_match(r.Out, Report)) << r.Out;
    EXPECT_NE(r.Err.find("Null: Null output: block 1152 frames, ahead 576 frames"), std::string::npos) << r.Err;
    EXPECT_GE(took, 0.5);
}

TEST_F(CliPlay, CtrlCStopsItCleanly) {
    TRun r = Run({loopFile, "--api=null"}, std::chrono::milliseconds(600));
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(std::regex_match(r.Out, Report)) << r.Out;
}

struct TBadUsage {
    std::vector<std::string> Args;
    const char* Says;
};

class CliPlayUsage : public CliPlay, public ::testing::WithParamInterface<TBadUsage> {};

TEST_P(CliPlayUsage, IsRefusedWithOneLine) {
    std::vector<std::string> args = GetParam().Args;
    for (auto& a : args)
        if (a == "LOOP") a = loopFile;
    TRun r = Run(args);
    EXPECT_EQ(r.Status, 64);
    EXPECT_TRUE(r.Out.empty());
    EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
    EXPECT_NE(r.Err.find("trovamix-cli: play: bad usage: "), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find(GetParam().Says), std::string::npos) << r.Err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliPlayUsage,
    ::testing::Values(TBadUsage{{}, "no loop file"}, TBadUsage{{"LOOP", "--loud"}, "unknown option --loud"},
                      TBadUsage{{"LOOP", "--api", "oss"}, "--api must be jack, pulse, alsa or null"},
                      TBadUsage{{"LOOP", "--buffer", "0"}, "--buffer must be a number of frames"},
                      TBadUsage{{"LOOP", "--ahead", "12x"}, "--ahead must be a number of frames"},
                      TBadUsage{{"LOOP", "--seconds", "-1"}, "--seconds must be a number"},
                      TBadUsage{{"LOOP", "--seconds"}, "--seconds needs a value"},
                      TBadUsage{{"LOOP", "LOOP"}, "more than one loop file"}));

TEST_F(CliPlay, AMissingLoopOrDeviceIsAFailureToOpen) {
    TRun r = Run({(dir / "absent.txp").string(), "--api", "null", "--seconds", "0.1"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("absent.txp"), std::string::npos) << r.Err;
    EXPECT_TRUE(r.Out.empty());

    r = Run({loopFile, "--api", "null", "--device", "Speakers", "--seconds", "0.1"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("no Null output named \"Speakers\""), std::string::npos) << r.Err;
}
