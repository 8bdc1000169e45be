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

using namespace txtest;

namespace {

class PulsePlayback : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (std::system("command -v pulseaudio >/dev/null && command -v parec >/dev/null") != 0)
            GTEST_SKIP() << "PulseAudio is not installed";
        server = std::make_unique<TPrivatePulseServer>(dir.path() / "pulse");
        if (!server->Up()) GTEST_SKIP() << "PulseAudio does not start here";
        loopFile = makeLoop(dir.path());
        wrap = render(loopFile, "wrap", dir / "wrap.wav");
        ASSERT_EQ(wrap.size(), size_t(PassFrames) * 2);
    }
    TempDir dir;
    std::unique_ptr<TPrivatePulseServer> server;
    fs::path loopFile;
    std::vector<int16_t> wrap;
};

}  // namespace

TEST_P(PulsePlayback, PlayCommandSoundsLikeTheRender) {
    const fs::path raw = dir / "recording.raw";
    const pid_t recorder = server->StartRecording(raw);
    ASSERT_GT(recorder, 0);
    TCommand r = run(Cli + " play '" + loopFile.string() + "' --seconds 3.5 --api " + GetParam());
    TPrivatePulseServer::StopRecording(recorder);
    ASSERT_EQ(r.Status, 0) << r.Out;
    EXPECT_NE(r.Out.find("underruns: 0\n"), std::string::npos) << r.Out;

    std::vector<unsigned char> bytes = ReadFileBytes(raw);
    std::vector<int16_t> live(bytes.size() / 2);
    std::memcpy(live.data(), bytes.data(), live.size() * 2);
    const size_t frames = live.size() / 2;
    const size_t probe = 256;
    size_t at = frames;
    for (size_t i = 0; i + probe <= frames && at == frames; ++i) {
        if (std::memcmp(&live[i * 2], wrap.data(), probe * 4) == 0) at = i;
    }
    ASSERT_LT(at, frames) << "the wrapped pattern never appears in the recording of " << frames << " frames";
    ASSERT_GE(frames, at + 2 * size_t(PassFrames)) << "recording too short";
    const ::testing::AssertionResult second = sameFrames(live, at, wrap, PassFrames);
    const ::testing::AssertionResult third = sameFrames(live, at + PassFrames, wrap, PassFrames);
    EXPECT_TRUE(second);
    EXPECT_TRUE(third);
    if (!second || !third) keepForListening(live, (std::string("live-") + GetParam() + ".wav").c_str());
}

INSTANTIATE_TEST_SUITE_P(Apis, PulsePlayback, ::testing::Values("pulse", "alsa"));
