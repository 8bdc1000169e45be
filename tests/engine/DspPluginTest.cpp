// The DSP plug-in host against small plug-ins built for these tests: the
// init/start/stop order, the fields written before init, chunks of at most
// 576 frames in order, and output left alone without a library or with the
// switch off.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "TestSupport.h"
#include "engine/DspPlugin.h"

using namespace tx;
using txtest::EngineRig;
using txtest::FillSample;
using txtest::LeftAt;
using txtest::RightAt;

namespace {

// Mirrors the test plug-in's record of its calls.
struct TestDspLog {
    int init_result;
    char calls[256];
    int call_count;
    int chunk_frames[64];
    int chunks;
    long frames_total;
    intptr_t seen_parent, seen_rate, seen_channels, seen_block;
    void* seen_instance;
    int16_t first_sample[64];
};

const std::string DspDir = TROVAMIX_DSP_TEST_DIR;
const std::string GoodFolder = DspDir + "/good/";
const std::string NoEntryFolder = DspDir + "/noentry/";

class DspPlugin : public ::testing::Test {
protected:
    DspPlugin() : rig(4032), plugin(rig.lock) {}

    void SetUp() override {
        ASSERT_TRUE(plugin.Load(GoodFolder));
        // A second reference keeps the library (and its log) alive while we look at it.
        handle = dlopen((GoodFolder + "Plugins/multi.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(handle, nullptr);
        log = reinterpret_cast<TestDspLog* (*)()>(dlsym(handle, "testDspLog"))();
        reset = reinterpret_cast<void (*)(int)>(dlsym(handle, "testDspReset"));
        reset(0);
        rig.engine->Plugin = &plugin;
        FillSample(
            sample, 100000, [](int32_t i) { return int16_t(i % 30000); },
            [](int32_t i) { return int16_t(-(i % 20000)); });
    }
    void TearDown() override {
        plugin.Unload();
        if (handle) dlclose(handle);
    }
    std::string calls() const { return std::string(log->calls, size_t(log->call_count)); }
    std::vector<int16_t> mixOneBlock() {
        rig.engine->AddVoice(&sample, rig.engine->MixPosition, 65536, 1.0f, 0.0f, sample.PlayLength, 0, 0, 0);
        rig.engine->AddVoice(&sample, rig.engine->MixPosition, 65536, 1.0f, 0.0f, sample.PlayLength, 0, 0, 127);
        return rig.Run(1);
    }

    EngineRig rig;
    TDspPlugin plugin;
    TWAVSample sample;
    void* handle = nullptr;
    TestDspLog* log = nullptr;
    void (*reset)(int) = nullptr;
};

TEST_F(DspPlugin, SwitchingOnWritesTheFieldsThenInitialisesAndStarts) {
    int parent = 0;
    plugin.Select(true, &parent);
    EXPECT_EQ(calls(), "IS");
    EXPECT_TRUE(plugin.Active());
    EXPECT_EQ(log->seen_parent, reinterpret_cast<intptr_t>(&parent));
    EXPECT_EQ(log->seen_instance, handle);
    EXPECT_EQ(log->seen_rate, 44100);
    EXPECT_EQ(log->seen_channels, 2);
    EXPECT_EQ(log->seen_block, 576);
}

TEST_F(DspPlugin, ABlockOf4032FramesReachesItAsSevenChunksInOrder) {
    plugin.Select(true);
    auto out = mixOneBlock();
    EXPECT_EQ(log->chunks, 7);
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(log->chunk_frames[k], 576) << k;
        EXPECT_EQ(log->first_sample[k], int16_t(576 * k)) << k;  // the left ramp at the chunk start
    }
    EXPECT_EQ(calls(), "ISPPPPPPP");
    // The plug-in inverted the output in place.
    for (int f = 0; f < 4032; ++f) {
        ASSERT_EQ(LeftAt(out, f), -(f % 30000)) << f;
        ASSERT_EQ(RightAt(out, f), f % 20000) << f;
    }
}

TEST_F(DspPlugin, TwoRegionsArePassedInChunksOfAtMost576) {
    plugin.Select(true);
    rig.engine->AddVoice(&sample, 0, 65536, 1.0f, 0.0f, sample.PlayLength, 0, 0, 0);
    rig.engine->MixBlock();
    std::vector<int16_t> a(1000 * 2), b(3032 * 2);
    rig.engine->ConvertBlock(0, a.data(), 0, 1000 * 4);
    rig.engine->ConvertBlock(1000, b.data(), 1000 * 4, 3032 * 4);
    const std::vector<int> want = {576, 424, 576, 576, 576, 576, 576, 152};
    ASSERT_EQ(log->chunks, int(want.size()));
    for (size_t k = 0; k < want.size(); ++k) EXPECT_EQ(log->chunk_frames[k], want[k]) << k;
    EXPECT_EQ(log->first_sample[1], 576);
    EXPECT_EQ(log->first_sample[2], 1000);
    EXPECT_EQ(log->frames_total, 4032);
}

TEST_F(DspPlugin, SwitchingOffStopsItAndLeavesTheOutputAlone) {
    plugin.Select(true);
    plugin.Select(false);
    EXPECT_EQ(calls(), "ISX");
    EXPECT_FALSE(plugin.Active());
    auto out = mixOneBlock();
    EXPECT_EQ(log->chunks, 0);
    EXPECT_EQ(LeftAt(out, 100), 100);
    EXPECT_EQ(RightAt(out, 100), -100);
    plugin.Select(false);
    EXPECT_EQ(calls(), "ISX");  // nothing active: no second stop
}

TEST_F(DspPlugin, SwitchingOnAgainStopsTheActiveModuleFirst) {
    plugin.Select(true);
    plugin.Select(true);
    EXPECT_EQ(calls(), "ISXIS");
    EXPECT_TRUE(plugin.Active());
}

TEST_F(DspPlugin, AFailedInitLeavesItInactive) {
    reset(7);
    plugin.Select(true);
    EXPECT_EQ(calls(), "I");
    EXPECT_FALSE(plugin.Active());
    auto out = mixOneBlock();
    EXPECT_EQ(log->chunks, 0);
    EXPECT_EQ(LeftAt(out, 5), 5);
    plugin.Select(false);
    EXPECT_EQ(calls(), "I");
}

TEST_F(DspPlugin, UnloadStopsTheActiveModule) {
    plugin.Select(true);
    plugin.Unload();
    EXPECT_EQ(calls(), "ISX");
    EXPECT_FALSE(plugin.Loaded());
    EXPECT_FALSE(plugin.Active());
}

TEST_F(DspPlugin, OffAtStartUntilSwitchedOn) {
    EXPECT_TRUE(plugin.Loaded());
    EXPECT_FALSE(plugin.Active());
    auto out = mixOneBlock();
    EXPECT_EQ(calls(), "");
    EXPECT_EQ(LeftAt(out, 3000), 3000);
}

TEST(DspPluginAbsent, NoLibraryLeavesThePluginAbsentAndTheOutputUntouched) {
    txtest::TempDir dir;
    EngineRig rig(4032), plain(4032);
    TDspPlugin plugin(rig.lock);
    EXPECT_FALSE(plugin.Load(dir.path().string() + "/"));
    plugin.Select(true);
    EXPECT_FALSE(plugin.Active());
    rig.engine->Plugin = &plugin;
    TWAVSample s;
    FillSample(
        s, 5000, [](int32_t i) { return int16_t(i * 3); }, [](int32_t i) { return int16_t(-i); });
    for (EngineRig* r : {&rig, &plain}) r->engine->AddVoice(&s, 10, 65536, 1.0f, 0.0f, 5000, 0, 0, 40);
    EXPECT_EQ(rig.Run(2), plain.Run(2));
}

TEST(DspPluginAbsent, ALibraryWithoutTheEntryPointIsUnloadedAtOnce) {
    EngineRig rig(576);
    TDspPlugin plugin(rig.lock);
    EXPECT_FALSE(plugin.Load(NoEntryFolder));
    EXPECT_FALSE(plugin.Loaded());
    EXPECT_EQ(dlopen((NoEntryFolder + "Plugins/multi.so").c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
    plugin.Select(true);
    EXPECT_FALSE(plugin.Active());
}

}  // namespace
