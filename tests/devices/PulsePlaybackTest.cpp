// Live playback through a PulseAudio server of the test's own (a null sink
// recorded from its monitor): the play command on PulseAudio, and on ALSA's
// "default" device that the pulse plugin routes there, sounds exactly like
// the render. Skipped where PulseAudio cannot run.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "LiveLoop.h"
#include "PulseServer.h"
#include "ServerCheck.h"

using namespace txtest;

namespace {

class PulsePlayback : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (std::system("command -v pulseaudio >/dev/null && command -v parec >/dev/null") != 0)
            TX_SERVER_UNREACHABLE("PulseAudio is not installed");
        server = std::make_unique<TPrivatePulseServer>(dir.path() / "pulse");
        if (!server->Up()) TX_SERVER_UNREACHABLE("PulseAudio does not start here");
        loopFile = makeLoop(dir.path());
        cut = render(loopFile, "cut", dir / "cut.wav");
        wrap = render(loopFile, "wrap", dir / "wrap.wav");
        ASSERT_EQ(wrap.size(), size_t(PassFrames) * 2);
    }
    TempDir dir;
    std::unique_ptr<TPrivatePulseServer> server;
    fs::path loopFile;
    std::vector<int16_t> cut, wrap;
};

}  // namespace

TEST_P(PulsePlayback, PlayCommandSoundsLikeTheRender) {
    const fs::path raw = dir / "recording.raw";
    const pid_t recorder = server->StartRecording(raw);
    ASSERT_GT(recorder, 0);
    const TCliResult r = RunCli({"play", loopFile.string(), "--seconds", "3.5", "--api", GetParam()});
    TPrivatePulseServer::StopRecording(recorder);
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find("underruns: 0\n"), std::string::npos) << r.Out << r.Err;

    const std::vector<unsigned char> bytes = ReadFileBytes(raw);
    std::vector<int16_t> live(bytes.size() / 4 * 2);
    std::memcpy(live.data(), bytes.data(), live.size() * 2);
    EXPECT_TRUE(isTheRender(live, cut, wrap, false, (std::string("live-") + GetParam() + ".wav").c_str()));
}

INSTANTIATE_TEST_SUITE_P(Apis, PulsePlayback, ::testing::Values("pulse", "alsa"));
