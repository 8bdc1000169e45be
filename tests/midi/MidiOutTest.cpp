// Live MIDI output: the messages a step, the channel setup, the previews and
// "Panic!" send, checked byte by byte on a recording port.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "MidiRig.h"

using txtest::Bytes;
using txtest::Messages;

namespace {

// Channel 0: bass drum 36 on MIDI channel 10 (9), steps 0 and 1 of pattern 1
// on. Channels 1 and 2 have keys 40 and 42 on MIDI channels 2 and 3, no steps.
class MidiStepTest : public ::testing::Test, public txtest::MidiRig {
public:
    void SetUp() override {
        Midi(0, 36, 9);
        rec(0).SetStep(0, true);
        rec(0).SetStep(1, true);
        Midi(1, 40, 2);
        Midi(2, 42, 3);
    }
    tx::PatternRecord& rec(int ch, int pattern = 1) { return loop.Channel(ch).Pattern(pattern); }
};

const Messages Plain = {{0xB9, 10, 64}, {0x99, 36, 100}};  // pan centre, velocity 100

// Channel 0's step 0 played from a fresh start: the pan and note-on it sends.
// Velocity: Volume x StepVolume x MainVolume / 12800, held to 0..127. Pan:
// StepPan + Pan - 64, held to 0..127. Key: StepNote + MidiNote - 60, plus
// MainPitch in whole semitones (truncated) when Pitchable.
struct TNoteCase {
    const char* Name;
    int Volume = 100, StepVolume = 100, MainVolume = 128, Pan = 64, StepPan = 64, MainPitch = 0;
    bool Pitchable = true;
    int MidiChannel = 9;
    uint8_t SentChannel = 9, SentPan = 64, Key = 36, Velocity = 100;
};
void PrintTo(const TNoteCase& c, std::ostream* os) { *os << c.Name; }
class MidiNoteCase : public MidiStepTest, public ::testing::WithParamInterface<TNoteCase> {};

TEST_P(MidiNoteCase, Sends) {
    const TNoteCase& c = GetParam();
    tx::TChannel& ch = loop.Channel(0);
    ch.Volume = c.Volume;
    rec(0).StepVolume()[0] = uint8_t(c.StepVolume);
    loop.MainVolume = c.MainVolume;
    ch.Pan = c.Pan;
    rec(0).StepPan()[0] = uint8_t(c.StepPan);
    loop.MainPitch = c.MainPitch;
    ch.Pitchable = c.Pitchable;
    ch.MidiChannel = c.MidiChannel;
    EXPECT_EQ(Step(0), (Messages{{uint8_t(0xB0 + c.SentChannel), 10, c.SentPan},
                                 {uint8_t(0x90 + c.SentChannel), c.Key, c.Velocity}}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MidiNoteCase,
    ::testing::Values(TNoteCase{.Name = "Defaults"},
                      TNoteCase{.Name = "Velocity161HeldTo127", .Volume = 127, .StepVolume = 127, .Velocity = 127},
                      TNoteCase{.Name = "MainAndStepVolume", .StepVolume = 90, .MainVolume = 64, .Velocity = 45},
                      TNoteCase{.Name = "VolumeNegative", .Volume = -5, .Velocity = 0},
                      TNoteCase{.Name = "MainVolume1000", .Volume = 127, .StepVolume = 255, .MainVolume = 1000,
                                .Velocity = 127},
                      TNoteCase{.Name = "Pan0", .Pan = 20, .StepPan = 0, .SentPan = 0},
                      TNoteCase{.Name = "Pan20", .Pan = 20, .SentPan = 20},
                      TNoteCase{.Name = "StepPan100", .StepPan = 100, .SentPan = 100},
                      TNoteCase{.Name = "StepPan255", .StepPan = 255, .SentPan = 127},
                      TNoteCase{.Name = "Pan100000", .Pan = 100000, .SentPan = 127},
                      TNoteCase{.Name = "MainPitch1200", .MainPitch = 1200, .Key = 48},
                      TNoteCase{.Name = "MainPitch1200NotPitchable", .MainPitch = 1200, .Pitchable = false},
                      TNoteCase{.Name = "MainPitchMinus150", .MainPitch = -150, .Key = 35},
                      TNoteCase{.Name = "MainPitch199", .MainPitch = 199, .Key = 37},
                      TNoteCase{.Name = "MainPitchMinus1200", .MainPitch = -1200, .Key = 24},
                      TNoteCase{.Name = "MidiChannel16", .MidiChannel = 16, .SentChannel = 15},
                      TNoteCase{.Name = "MidiChannelMinus3", .MidiChannel = -3, .SentChannel = 0}));

// What step `Step` of pattern `Pattern` sends from a fresh start.
struct TStepCase {
    const char* Name;
    std::function<void(MidiStepTest&)> Set;
    Messages Sent;
    int Step = 0;
    int Pattern = 1;
};
void PrintTo(const TStepCase& c, std::ostream* os) { *os << c.Name; }
class MidiStepCase : public MidiStepTest, public ::testing::WithParamInterface<TStepCase> {};

TEST_P(MidiStepCase, Sends) {
    GetParam().Set(*this);
    EXPECT_EQ(Step(GetParam().Step, GetParam().Pattern), GetParam().Sent);
}

using T = MidiStepTest;
INSTANTIATE_TEST_SUITE_P(
    Cases, MidiStepCase,
    ::testing::Values(
        TStepCase{"Muted", [](T& t) { t.loop.Channel(0).Enabled = false; }, {}},
        TStepCase{"StepBitClear", [](T&) {}, {}, 2},
        TStepCase{"NoteNone", [](T& t) { t.loop.Channel(0).MidiNote = tx::MidiNone; }, {}},
        TStepCase{"Note200CountsAsNone", [](T& t) { t.loop.Channel(0).MidiNote = 200; }, {}},
        TStepCase{"WavOnly", [](T& t) { t.engine->UseWAVOnly = true; }, {}},
        TStepCase{"ChannelsInOrder", [](T& t) { t.rec(2).SetStep(0, true); },
                  {{0xB9, 10, 64}, {0x99, 36, 100}, {0xB3, 10, 64}, {0x93, 42, 100}}},
        TStepCase{"OtherPattern", [](T& t) { t.rec(1, 4).SetStep(0, true); }, {{0xB2, 10, 64}, {0x92, 40, 100}}, 0, 4},
        // Mixing into channel 1: 100 x StepMix / 127 there first, the rest
        // here, both with channel 0's step key and pan.
        TStepCase{"HalfMix", [](T& t) { t.loop.Channel(0).MixWith = 1, t.rec(0).StepMix()[0] = 64; },
                  {{0xB2, 10, 64}, {0x92, 40, 50}, {0xB9, 10, 64}, {0x99, 36, 50}}},
        TStepCase{"FullMix",
                  [](T& t) {
                      t.loop.Channel(0).MixWith = 1;
                      t.rec(0).StepMix()[0] = 127;
                      t.rec(0).StepNote()[0] = 61;
                      t.rec(0).StepPan()[0] = 70;
                      t.loop.Channel(1).Pan = 60;
                  },
                  {{0xB2, 10, 66}, {0x92, 41, 100}}},
        TStepCase{"ZeroMix", [](T& t) { t.loop.Channel(0).MixWith = 1, t.rec(0).StepMix()[0] = 0; }, Plain},
        TStepCase{"MixWithItself", [](T& t) { t.loop.Channel(0).MixWith = 0, t.rec(0).StepMix()[0] = 64; }, Plain},
        TStepCase{"MixWithNoChannel", [](T& t) { t.loop.Channel(0).MixWith = 77, t.rec(0).StepMix()[0] = 127; },
                  Plain},
        TStepCase{"MixIntoANoteLessChannel",
                  [](T& t) {
                      t.loop.Channel(1).MidiNote = tx::MidiNone;
                      t.loop.Channel(0).MixWith = 1;
                      t.rec(0).StepMix()[0] = 64;
                  },
                  {{0xB9, 10, 64}, {0x99, 36, 50}}},
        TStepCase{"ANoteLessChannelMixingSendsNothing",
                  [](T& t) {
                      t.loop.Channel(2).MidiNote = tx::MidiNone;
                      t.loop.Channel(2).MixWith = 0;
                      t.rec(2).SetStep(3, true);
                      t.rec(2).StepMix()[3] = 127;
                  },
                  {},
                  3}));

TEST_F(MidiStepTest, FirstNoteHasNoNoteOffLaterOnesEndThePreviousKeyWithTheNewVelocity) {
    rec(0).StepNote()[1] = 62;
    rec(0).StepVolume()[1] = 50;
    EXPECT_EQ(Step(0), Plain);
    // 100 x 50 x 128 / 12800 = 50; key 62 + 36 - 60 = 38
    EXPECT_EQ(Step(1), (Messages{{0x89, 36, 50}, {0xB9, 10, 64}, {0x99, 38, 50}}));
    EXPECT_EQ(loop.Channel(0).LastNote, 38);
    EXPECT_EQ(loop.Channel(0).StepLight[1].load(), 288);
    EXPECT_EQ(loop.Channel(0).StepLight[0].load(), 288);
    EXPECT_EQ(loop.Channel(0).StepLight[2].load(), 0);
    EXPECT_EQ(loop.Channel(0).ActivityLight.load(), 320);
}

TEST_F(MidiStepTest, KeysOutsideTheMidiRangeAreNotPlayedAndEndTheSoundingNote) {
    Step(0);  // key 36 sounds
    rec(0).StepNote()[1] = 127;
    loop.Channel(0).MidiNote = 100;  // 127 + 100 - 60 = 167
    // The old note still ends; no pan, no note-on for the impossible key.
    EXPECT_EQ(Step(1), (Messages{{0x89, 36, 100}}));
    EXPECT_EQ(loop.Channel(0).LastNote, tx::MidiNone);
    // Nothing sounds now, so the next playable note has no note-off before it.
    loop.Channel(0).MidiNote = 36;
    EXPECT_EQ(Step(0), Plain);
    // Below 0: key 0 + 20 - 60.
    rec(0).StepNote()[1] = 0;
    loop.Channel(0).MidiNote = 20;
    EXPECT_EQ(Step(1), (Messages{{0x89, 36, 100}}));
}

// An entry naming no channel (55) plays the channel itself: half the picks.
TEST_F(MidiStepTest, RandomWithPicksEachListedEntryAboutEquallyOften) {
    loop.Channel(0).RandomWith = {0, 1, 2, 55};
    out->SeedRandom(12345);
    std::map<int, int> byChannel;
    const int trials = 4000;
    for (int i = 0; i < trials; ++i) {
        const Bytes on = Step(0).back();
        ASSERT_EQ(on[0] & 0xF0, 0x90);
        // The picked channel's note; the step key is channel 0's (60).
        EXPECT_EQ(on[1], (std::map<int, int>{{9, 36}, {2, 40}, {3, 42}}.at(on[0] & 0x0F)));
        ++byChannel[on[0] & 0x0F];
    }
    ASSERT_EQ(byChannel.size(), 3u);
    EXPECT_NEAR(byChannel[9], trials / 2, trials / 20);
    EXPECT_NEAR(byChannel[2], trials / 4, trials / 20);
    EXPECT_NEAR(byChannel[3], trials / 4, trials / 20);
}

// --- channel setup: bank, program, pan
struct TSetupCase {
    const char* Name;
    uint8_t Bank, Patch;
    int Pan, BankMethod;
    Messages Sent;
};
void PrintTo(const TSetupCase& c, std::ostream* os) { *os << c.Name; }

class MidiSetupTest : public ::testing::Test, public txtest::MidiRig {};
class MidiSetupCase : public MidiSetupTest, public ::testing::WithParamInterface<TSetupCase> {};

TEST_P(MidiSetupCase, Sends) {
    tx::TChannel& c = Midi(0, 36, 3);
    c.MidiBank = GetParam().Bank;
    c.MidiPatch = GetParam().Patch;
    c.Pan = GetParam().Pan;
    settings.BankSelectMethod = GetParam().BankMethod;
    engine->SetSettings(settings);
    port->Clear();
    out->SendChannelSetup(0);
    EXPECT_EQ(port->Messages(), GetParam().Sent);
}

INSTANTIATE_TEST_SUITE_P(Cases, MidiSetupCase,
                         ::testing::Values(TSetupCase{"BankByController0", 5, 0, 20, 0,
                                                      {{0xB3, 0, 5}, {0xC3, 0}, {0xB3, 10, 20}}},
                                           TSetupCase{"BankByController32", 5, 255, 64, 1, {{0xB3, 0, 0}, {0xB3, 32, 5}}},
                                           TSetupCase{"NothingSet", 255, 255, 64, 0, {}},
                                           TSetupCase{"128AndMoreAreUnset", 128, 200, 64, 0, {}},
                                           TSetupCase{"Pan999", 255, 255, 999, 0, {{0xB3, 10, 127}}}));

TEST_F(MidiSetupTest, ControllersPreviewsAndShortMessagesNeverCarryADataByteOf128) {
    tx::TChannel& c = Midi(1, 36, 0);
    c.Volume = 90;
    c.ControllerTable[91] = 0;
    c.ControllerTable[7] = 100;
    c.ControllerTable[10] = 200;  // not set
    c.ControllerTable[127] = 127;
    port->Clear();
    out->SendControllerTable(1);  // in number order
    EXPECT_EQ(port->Messages(), (Messages{{0xB0, 7, 100}, {0xB0, 91, 0}, {0xB0, 127, 127}}));

    port->Clear();
    out->SendController(1, 7, -1);  // not set
    out->SendController(1, 7, 128);
    out->SendController(1, 128, 1);
    out->SendController(1, 7, 99);
    out->PreviewNoteOn(1, 61);  // with the channel's volume
    out->PreviewNoteOff(1, 61);
    out->PreviewNoteOn(1, 128);  // no such key
    EXPECT_EQ(port->Messages(), (Messages{{0xB0, 7, 99}, {0x90, 61, 90}, {0x80, 61, 90}}));

    port->Clear();
    out->SendShort(0xC2, 7, 0);  // each message its own length
    out->SendShort(0xF8, 0, 0);
    out->SendShort(0x90, 128, 1);  // refused
    EXPECT_EQ(out->Error(), tx::MidiErrorInvalidData);
    out->SendShort(0x40, 1, 1);  // not a status
    out->SendShort(0x80, 60, 0);
    EXPECT_EQ(out->Error(), tx::MidiNoError);
    EXPECT_EQ(port->Messages(), (Messages{{0xC2, 7}, {0xF8}, {0x80, 60, 0}}));
}

TEST_F(MidiSetupTest, PanicSilencesAll16ChannelsAndTheSampleVoices) {
    tx::TWAVSample s;
    s.Data.assign(2000, 1000);
    s.Length = s.PlayLength = 1000;
    engine->AddVoice(&s, 0, 65536, 1.0f, 0.0f, 1000, 0, 0, 64);
    ASSERT_EQ(engine->VoiceCount, 1);
    port->Clear();
    out->Panic();
    Messages expected;
    for (int ch = 0; ch < 16; ++ch) expected.push_back({uint8_t(0xB0 + ch), 120, 0});
    EXPECT_EQ(port->Messages(), expected);
    EXPECT_EQ(engine->VoiceCount, 0);
}

TEST_F(MidiSetupTest, AClosedDeviceDropsEverySendSilently) {
    Midi(0, 36, 9).Pattern(1).SetStep(0, true);
    EXPECT_EQ(out->SelectListItem(3), "");  // "-none-": closes, no error text
    EXPECT_EQ(out->State(), tx::TMidiOutputState::Closed);
    port->Clear();
    engine->CurrentStep = 0;
    out->PlayMidiStep(1);
    out->Panic();
    out->SendChannelSetup(0);
    EXPECT_TRUE(port->Messages().empty());
    EXPECT_THROW(out->SendEvent(tx::TMidiEvent{0x90, 60, 1, {}}), tx::EmidioutputError);
}

// The list is the default route, the devices, "-none-"; a device is found by
// name (exact, else the first containing it) and opened by its name in the
// port's list of the moment.
TEST_F(MidiSetupTest, DevicesAreListedSelectedAndOpenedByName) {
    EXPECT_EQ(out->DeviceList(), (std::vector<std::string>{"Default route", "Synth A", "Synth B", "-none-"}));
    EXPECT_EQ(out->SelectListItem(0), "");
    EXPECT_EQ(port->OpenedIndex(), -1);
    EXPECT_EQ(out->SelectListItem(2), "");
    EXPECT_EQ(port->OpenedIndex(), 1);
    EXPECT_EQ(out->ProductName(), "Synth B");
    EXPECT_THROW(out->SetDeviceID(0), tx::EmidioutputError);  // while open
    EXPECT_EQ(out->FindDevice("Synth A"), 0);
    EXPECT_EQ(out->FindDevice("B"), 1);
    EXPECT_EQ(out->FindDevice("Piano"), -2);
    out->Close();
    EXPECT_THROW(out->SetDeviceID(2), tx::EmidioutputError);
    EXPECT_THROW(out->SetDeviceID(-2), tx::EmidioutputError);

    port->FailOpen = true;
    EXPECT_EQ(out->SelectListItem(1), "The device is not available.");
    EXPECT_EQ(out->State(), tx::TMidiOutputState::Closed);
    // A device that went away since the list was read is reported by name.
    port->FailOpen = false;
    port->SetNames({"Synth B"});
    out->SetDeviceID(0);
    EXPECT_FALSE(out->Open());
    EXPECT_EQ(out->LastErrorText, "MIDI output Device Synth A not installed");
}

}  // namespace
