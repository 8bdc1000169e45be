// A MIDI port that cannot open says why in words a musician understands,
// never in the service library's class and function names.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "midi/devices/RtMidiPorts.h"

namespace {

// Points JACK clients at a server nobody runs, for the test's length.
class NoJackServer : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* s = std::getenv("JACK_DEFAULT_SERVER")) before_ = s;
        setenv("JACK_DEFAULT_SERVER", ("trovamix-nobody-" + std::to_string(getpid())).c_str(), 1);
        setenv("JACK_NO_START_SERVER", "1", 1);
    }
    void TearDown() override {
        if (before_)
            setenv("JACK_DEFAULT_SERVER", before_->c_str(), 1);
        else
            unsetenv("JACK_DEFAULT_SERVER");
    }
    std::optional<std::string> before_;
};

TEST_F(NoJackServer, TheOutputAndTheSyncInputSayTheServerIsNotRunning) {
    auto out = tx::MakeRtMidiOutPort(tx::TMidiApi::Jack, "TrovamixWords");
    std::string error;
    EXPECT_FALSE(out->Open(tx::DefaultMidiRoute, error));
    EXPECT_EQ(error,
              "The MIDI output cannot be used: the JACK sound server is not running. Start it, or choose \"-none-\" "
              "as the output on the MIDI sheet of the settings window.");
    // A second try says the same, once, and a send on the closed port fails quietly.
    std::string again;
    EXPECT_FALSE(out->Open(tx::DefaultMidiRoute, again));
    EXPECT_EQ(again, error);
    const uint8_t note[3] = {0x90, 60, 100};
    std::string sendError;
    EXPECT_FALSE(out->Send(note, 3, sendError));
    EXPECT_EQ(sendError.find("Midi"), std::string::npos) << sendError;
    out.reset();  // closing never reports anything

    auto in = tx::MakeRtMidiInPort(tx::TMidiApi::Jack, "TrovamixWords");
    EXPECT_TRUE(in->PortNames().empty());
}

TEST(MidiErrorWords, TheServiceTextLosesItsFunctionName) {
    EXPECT_EQ(tx::MidiErrorInWords(tx::TMidiApi::Alsa, false,
                                   "MidiInAlsa::openPort: error creating ALSA sequencer port.", false),
              "The MIDI sync input could not be opened (error creating ALSA sequencer port).");
    EXPECT_EQ(tx::MidiErrorInWords(tx::TMidiApi::Jack, true, "MIDI output Device Synth not installed", false),
              "The MIDI output could not be opened (MIDI output Device Synth not installed).");
    EXPECT_EQ(tx::MidiErrorInWords(tx::TMidiApi::Alsa, true, "", true),
              "The MIDI output cannot be used: the ALSA sequencer is not available on this machine. Start it, or "
              "choose \"-none-\" as the output on the MIDI sheet of the settings window.");
}

}  // namespace
