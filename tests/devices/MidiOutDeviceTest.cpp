// MIDI output on a real JACK MIDI port: what PlayMidiStep and "Panic!" send
// arrives at another client, byte for byte and in order.
#include <gtest/gtest.h>

#include "JackServer.h"
#include "MidiDeviceSupport.h"
#include "ServerCheck.h"
#include "engine/Engine.h"
#include "midi/MidiOut.h"
#include "midi/devices/RtMidiPorts.h"

namespace {

using Messages = std::vector<std::vector<unsigned char>>;
using std::chrono::milliseconds;

class MidiOutDevice : public ::testing::Test {
protected:
    void SetUp() override {
        if (!txtest::JackMidiAnswers()) TX_SERVER_UNREACHABLE("no JACK server answers (run scripts/services start)");
        // A synchronous server of the test's own: a busy machine then slows its
        // cycles down instead of skipping the receiving client.
        server = std::make_unique<txtest::TPrivateJackServer>("midi-out", true);
        ASSERT_TRUE(server->Up());
        loop.SetEngineLock(&lock);
        engine = std::make_unique<tx::TEngine>(loop, lock, settings);
        engine->UseWAVOnly = false;
        tx::TChannel& bd = loop.Channel(0);
        bd.MidiNote = 36;
        bd.MidiChannel = 9;
        bd.Pattern(1).StepMask = 0x000F;
        tx::TChannel& sn = loop.Channel(1);
        sn.MidiNote = 38;
        sn.MidiChannel = 1;
        sn.Pattern(1).SetStep(1, true);
        sn.Pattern(1).StepVolume()[1] = 50;
    }
    tx::TLoop loop;
    tx::TEngineLock lock;
    tx::TSettings settings;
    std::unique_ptr<tx::TEngine> engine;
    std::unique_ptr<txtest::TPrivateJackServer> server;
};

TEST_F(MidiOutDevice, StepsAndPanicArriveInOrder) {
    const std::string sinkName = txtest::UniquePortName("steps");
    txtest::TMidiSink sink(sinkName);
    tx::TMidiOutput out(tx::MakeRtMidiOutPort());
    int dev = out.FindDevice(sinkName);
    ASSERT_GE(dev, 0) << "the test port is not listed";
    out.SetDeviceID(dev);
    ASSERT_TRUE(out.Open()) << out.LastErrorText;
    std::this_thread::sleep_for(milliseconds(100));  // JACK makes a new connection live at a later cycle
    out.Bind(*engine);
    for (int s = 0; s < 4; ++s) {
        engine->CurrentStep = s;
        out.PlayMidiStep(1);
    }
    out.Panic();
    Messages expected = {
        {0xB9, 10, 64},  {0x99, 36, 100},                                                   // step 0
        {0x89, 36, 100}, {0xB9, 10, 64},  {0x99, 36, 100}, {0xB1, 10, 64}, {0x91, 38, 50},  // step 1
        {0x89, 36, 100}, {0xB9, 10, 64},  {0x99, 36, 100},                                  // step 2
        {0x89, 36, 100}, {0xB9, 10, 64},  {0x99, 36, 100},                                  // step 3
    };
    for (int ch = 0; ch < 16; ++ch) expected.push_back({uint8_t(0xB0 + ch), 120, 0});
    EXPECT_EQ(sink.WaitFor(expected.size(), milliseconds(2000)), expected);
}

TEST_F(MidiOutDevice, TheDefaultRouteIsAPortOthersCanConnectTo) {
    const std::string client = txtest::UniquePortName("TrovamixRoute");
    tx::TMidiOutput out(tx::MakeRtMidiOutPort(tx::TMidiApi::Jack, client));
    EXPECT_EQ(out.DeviceList().front(), "Default MIDI route");
    ASSERT_EQ(out.SelectListItem(0), "");
    txtest::TMidiSink sink(txtest::UniquePortName("route"));
    ASSERT_TRUE(sink.ConnectFrom(client + ":"));
    std::this_thread::sleep_for(milliseconds(100));  // let the connection settle
    out.Bind(*engine);
    out.PreviewNoteOn(0, 60);
    EXPECT_EQ(sink.WaitFor(1, milliseconds(2000)), (Messages{{0x99, 60, 100}}));
    EXPECT_EQ(out.SelectListItem(int(out.DeviceList().size()) - 1), "");  // "-none-"
    EXPECT_EQ(out.State(), tx::TMidiOutputState::Closed);
}

}  // namespace
