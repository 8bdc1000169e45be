// Live MIDI output: the messages a step, the channel setup, the previews and
// "Panic!" send, checked byte by byte on a recording port.
#include <gtest/gtest.h>

#include <map>

#include "MidiRig.h"

using txtest::Bytes;
using txtest::Messages;

namespace {

class MidiStepTest : public ::testing::Test, public txtest::MidiRig {
protected:
    void SetUp() override {
        // Channel 0: bass drum 36 on MIDI channel 10 (9), step 0 of pattern 1 on.
        Midi(0, 36, 9);
        loop.Channel(0).Pattern(1).SetStep(0, true);
        loop.Channel(0).Pattern(1).SetStep(1, true);
    }
    tx::PatternRecord& rec(int ch, int pattern = 1) { return loop.Channel(ch).Pattern(pattern); }
};

TEST_F(MidiStepTest, DefaultsGivePanThenNoteOnWithVelocity100) {
    // Volume 100 x StepVolume 100 x MainVolume 128 / 12800 = 100; pan 64 + 64 - 64.
    EXPECT_EQ(Step(0), (Messages{{0xB9, 10, 64}, {0x99, 36, 100}}));
}

TEST_F(MidiStepTest, VelocityIsLimitedTo127) {
    loop.Channel(0).Volume = 127;
    rec(0).StepVolume()[0] = 127;
    // 127 x 127 x 128 / 12800 = 161 -> 127
    EXPECT_EQ(Step(0), (Messages{{0xB9, 10, 64}, {0x99, 36, 127}}));
}

TEST_F(MidiStepTest, VelocityFollowsMainVolumeAndStepVolume) {
    loop.MainVolume = 64;
    rec(0).StepVolume()[0] = 90;
    // 100 x 90 x 64 / 12800 = 45
    EXPECT_EQ(Step(0)[1], (Bytes{0x99, 36, 45}));
}

TEST_F(MidiStepTest, FirstNoteHasNoNoteOffLaterOnesEndThePreviousKeyWithTheNewVelocity) {
    rec(0).StepNote()[1] = 62;
    rec(0).StepVolume()[1] = 50;
    EXPECT_EQ(Step(0), (Messages{{0xB9, 10, 64}, {0x99, 36, 100}}));
    EXPECT_EQ(loop.Channel(0).LastNote, 36);
    // 100 x 50 x 128 / 12800 = 50; key 62 + 36 - 60 = 38
    EXPECT_EQ(Step(1), (Messages{{0x89, 36, 50}, {0xB9, 10, 64}, {0x99, 38, 50}}));
    EXPECT_EQ(loop.Channel(0).LastNote, 38);
}

TEST_F(MidiStepTest, NothingForMutedChannelsClearedStepsOrNoteNone) {
    loop.Channel(0).Enabled = false;
    EXPECT_TRUE(Step(0).empty());
    loop.Channel(0).Enabled = true;
    EXPECT_TRUE(Step(2).empty());  // step bit clear
    loop.Channel(0).MidiNote = tx::MidiNone;
    EXPECT_TRUE(Step(0).empty());
    loop.Channel(0).MidiNote = 200;  // 128 and more count as none
    EXPECT_TRUE(Step(0).empty());
}

TEST_F(MidiStepTest, WavOnlyModeSendsNoSteps) {
    engine->UseWAVOnly = true;
    EXPECT_TRUE(Step(0).empty());
    EXPECT_EQ(loop.Channel(0).LastNote, tx::MidiNone);
}

TEST_F(MidiStepTest, LightsOfTheSoundingChannel) {
    Step(1);
    EXPECT_EQ(loop.Channel(0).StepLight[1].load(), 288);
    EXPECT_EQ(loop.Channel(0).StepLight[0].load(), 0);
    EXPECT_EQ(loop.Channel(0).ActivityLight.load(), 320);
}

TEST_F(MidiStepTest, ChannelsInOrderForEachPatternAsGiven) {
    Midi(2, 42, 3).Pattern(1).SetStep(0, true);
    Midi(1, 38, 1).Pattern(4).SetStep(0, true);
    EXPECT_EQ(Step(0, 1), (Messages{{0xB9, 10, 64}, {0x99, 36, 100}, {0xB3, 10, 64}, {0x93, 42, 100}}));
    EXPECT_EQ(Step(0, 4), (Messages{{0xB1, 10, 64}, {0x91, 38, 100}}));
}

TEST_F(MidiStepTest, StepTickPlaysThePlayingPatternsFromLastToFirst) {
    Midi(1, 38, 1).Pattern(4).SetStep(0, true);
    loop.PlayingPatterns.Clear();
    loop.PlayingPatterns.Push(1);
    loop.PlayingPatterns.Push(4);
    port->Clear();
    engine->CurrentStep = -1;
    engine->StepTick();
    EXPECT_EQ(port->Messages(), (Messages{{0xB1, 10, 64}, {0x91, 38, 100}, {0xB9, 10, 64}, {0x99, 36, 100}}));
}

// --- pan
struct PanCase {
    int stepPan, channelPan, sent;
};
class MidiPanTest : public MidiStepTest, public ::testing::WithParamInterface<PanCase> {};

TEST_P(MidiPanTest, PanIsStepPanPlusPanMinus64HeldTo0To127) {
    rec(0).StepPan()[0] = uint8_t(GetParam().stepPan);
    loop.Channel(0).Pan = GetParam().channelPan;
    EXPECT_EQ(Step(0)[0], (Bytes{0xB9, 10, uint8_t(GetParam().sent)}));
}

INSTANTIATE_TEST_SUITE_P(Pans, MidiPanTest,
                         ::testing::Values(PanCase{0, 20, 0}, PanCase{64, 20, 20}, PanCase{100, 64, 100},
                                           PanCase{127, 127, 127}, PanCase{255, 64, 127}, PanCase{64, -500, 0},
                                           PanCase{64, 100000, 127}));

// --- keys
struct KeyCase {
    int mainPitch;
    bool pitchable;
    int key;
};
class MidiKeyTest : public MidiStepTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(MidiKeyTest, KeyAddsMainPitchInWholeSemitonesOnlyWhenPitchable) {
    loop.MainPitch = GetParam().mainPitch;
    loop.Channel(0).Pitchable = GetParam().pitchable;
    EXPECT_EQ(Step(0)[1], (Bytes{0x99, uint8_t(GetParam().key), 100}));
}

INSTANTIATE_TEST_SUITE_P(Pitches, MidiKeyTest,
                         ::testing::Values(KeyCase{1200, true, 48}, KeyCase{1200, false, 36}, KeyCase{-150, true, 35},
                                           KeyCase{199, true, 37}, KeyCase{-99, true, 36}, KeyCase{-1200, true, 24}));

TEST_F(MidiStepTest, KeysOutsideTheMidiRangeAreNotPlayedAndEndTheSoundingNote) {
    Step(0);  // key 36 sounds
    rec(0).StepNote()[1] = 127;
    loop.Channel(0).MidiNote = 100;  // 127 + 100 - 60 = 167
    // The old note still ends; no pan, no note-on for the impossible key.
    EXPECT_EQ(Step(1), (Messages{{0x89, 36, 100}}));
    EXPECT_EQ(loop.Channel(0).LastNote, tx::MidiNone);
    // Nothing sounds now, so the next playable note has no note-off before it.
    loop.Channel(0).MidiNote = 36;
    EXPECT_EQ(Step(0), (Messages{{0xB9, 10, 64}, {0x99, 36, 100}}));
    // Below 0: key 0 + 20 - 60.
    rec(0).StepNote()[1] = 0;
    loop.Channel(0).MidiNote = 20;
    EXPECT_EQ(Step(1), (Messages{{0x89, 36, 100}}));
}

TEST_F(MidiStepTest, ValuesAFileMayBringNeverMakeDataBytesOf128OrMore) {
    tx::TChannel& c = loop.Channel(0);
    c.MidiChannel = 16;
    EXPECT_EQ(Step(0)[1][0], 0x9F);  // held to channel 16 of the sixteen-channel numbering
    c.MidiChannel = -3;
    EXPECT_EQ(Step(0)[2][0], 0x90);  // [0] is the previous note's note-off
    c.Volume = 300;                  // held to 127: 127 x 100 x 128 / 12800 = 127
    EXPECT_EQ(Step(0)[2], (Bytes{0x90, 36, 127}));
    c.Volume = -5;
    EXPECT_EQ(Step(0)[2], (Bytes{0x90, 36, 0}));
    c.Volume = 127;
    rec(0).StepVolume()[0] = 255;
    loop.MainVolume = 1000;  // held to 128
    EXPECT_EQ(Step(0)[2], (Bytes{0x90, 36, 127}));
}

// --- mixing and randomising into other channels
class MidiMixTest : public MidiStepTest {
protected:
    void SetUp() override {
        MidiStepTest::SetUp();
        Midi(1, 40, 2);
        loop.Channel(0).MixWith = 1;
    }
};

TEST_F(MidiMixTest, HalfMixSplitsTheVelocityBetweenBothChannels) {
    rec(0).StepMix()[0] = 64;
    // part = 100 x 64 / 127 = 50 to channel 1, then 50 for channel 0 itself; the
    // mixed-in note uses channel 0's step key (60 + 40 - 60) and pan.
    EXPECT_EQ(Step(0), (Messages{{0xB2, 10, 64}, {0x92, 40, 50}, {0xB9, 10, 64}, {0x99, 36, 50}}));
}

TEST_F(MidiMixTest, FullMixSendsOnlyTheMixChannel) {
    rec(0).StepMix()[0] = 127;
    rec(0).StepNote()[0] = 61;
    rec(0).StepPan()[0] = 70;
    loop.Channel(1).Pan = 60;
    // key 61 + 40 - 60, pan 70 + 60 - 64, velocity 100
    EXPECT_EQ(Step(0), (Messages{{0xB2, 10, 66}, {0x92, 41, 100}}));
}

TEST_F(MidiMixTest, ZeroMixOrOwnIndexMeansNoMixing) {
    rec(0).StepMix()[0] = 0;
    EXPECT_EQ(Step(0), (Messages{{0xB9, 10, 64}, {0x99, 36, 100}}));
    loop.Channel(0).MixWith = 0;
    rec(0).StepMix()[0] = 64;
    EXPECT_EQ(Step(0).back(), (Bytes{0x99, 36, 100}));
}

TEST_F(MidiMixTest, AMixChannelWithoutNoteStaysSilentAndANoteLessChannelSendsNothing) {
    loop.Channel(1).MidiNote = tx::MidiNone;
    rec(0).StepMix()[0] = 64;
    EXPECT_EQ(Step(0), (Messages{{0xB9, 10, 64}, {0x99, 36, 50}}));
    // Channel 2 has no note but mixes into channel 0: its steps send nothing.
    loop.Channel(2).MixWith = 0;
    loop.Channel(2).Pattern(1).SetStep(3, true);
    loop.Channel(2).Pattern(1).StepMix()[3] = 127;
    EXPECT_TRUE(Step(3).empty());
}

TEST_F(MidiMixTest, AMixWithNamingNoChannelMeansNoMixing) {
    loop.Channel(0).MixWith = 77;
    rec(0).StepMix()[0] = 127;
    EXPECT_EQ(Step(0), (Messages{{0xB9, 10, 64}, {0x99, 36, 100}}));
}

TEST_F(MidiStepTest, RandomWithPicksEachListedChannelAboutEquallyOften) {
    Midi(1, 40, 1);
    Midi(2, 42, 2);
    loop.Channel(0).RandomWith = {0, 1, 2};
    out->SeedRandom(12345);
    std::map<int, int> byChannel;
    const int trials = 3000;
    for (int i = 0; i < trials; ++i) {
        Messages m = Step(0);
        const Bytes& on = m.back();
        ASSERT_EQ(on[0] & 0xF0, 0x90);
        // The picked channel's note; the step key is channel 0's (60).
        EXPECT_EQ(on[1], (std::map<int, int>{{9, 36}, {1, 40}, {2, 42}}.at(on[0] & 0x0F)));
        ++byChannel[on[0] & 0x0F];
    }
    ASSERT_EQ(byChannel.size(), 3u);
    for (auto [ch, n] : byChannel) EXPECT_NEAR(n, trials / 3, trials / 3 / 7) << "MIDI channel " << ch;
}

TEST_F(MidiStepTest, RandomWithEntriesNamingNoChannelPlayTheChannelItself) {
    loop.Channel(0).RandomWith = {0, 55, -1};
    for (int i = 0; i < 20; ++i) EXPECT_EQ(Step(0).back(), (Bytes{0x99, 36, 100}));
}

// --- device and setup messages
class MidiSetupTest : public ::testing::Test, public txtest::MidiRig {};

TEST_F(MidiSetupTest, BankByController0ThenProgramThenPan) {
    tx::TChannel& c = Midi(0, 36, 3);
    c.MidiBank = 5;
    c.MidiPatch = 0;
    c.Pan = 20;
    port->Clear();
    out->SendChannelSetup(0);
    EXPECT_EQ(port->Messages(), (Messages{{0xB3, 0, 5}, {0xC3, 0}, {0xB3, 10, 20}}));
}

TEST_F(MidiSetupTest, BankByController32SendsController0ZeroFirst) {
    settings.BankSelectMethod = 1;
    tx::TChannel& c = Midi(0, 36, 3);
    c.MidiBank = 5;
    port->Clear();
    out->SendChannelSetup(0);
    EXPECT_EQ(port->Messages(), (Messages{{0xB3, 0, 0}, {0xB3, 32, 5}}));
}

TEST_F(MidiSetupTest, UnsetValuesSendNothing) {
    tx::TChannel& c = Midi(0, 36, 3);
    port->Clear();
    out->SendChannelSetup(0);  // bank and program 255, pan 64
    c.MidiBank = 128;          // 128..254 count as not set
    c.MidiPatch = 200;
    out->SendChannelSetup(0);
    EXPECT_TRUE(port->Messages().empty());
    c.Pan = 999;
    out->SendChannelSetup(0);
    EXPECT_EQ(port->Messages(), (Messages{{0xB3, 10, 127}}));
}

TEST_F(MidiSetupTest, ControllerTableSendsTheSetEntriesInNumberOrder) {
    tx::TChannel& c = Midi(1, 36, 0);
    c.ControllerTable[91] = 0;
    c.ControllerTable[7] = 100;
    c.ControllerTable[10] = 200;  // not set
    c.ControllerTable[127] = 127;
    port->Clear();
    out->SendControllerTable(1);
    EXPECT_EQ(port->Messages(), (Messages{{0xB0, 7, 100}, {0xB0, 91, 0}, {0xB0, 127, 127}}));
}

TEST_F(MidiSetupTest, SendControllerSkipsNegativeAndNonMidiValues) {
    Midi(0, 36, 5);
    port->Clear();
    out->SendController(0, 7, -1);
    out->SendController(0, 7, 128);
    out->SendController(0, 128, 1);
    out->SendController(0, 7, 99);
    EXPECT_EQ(port->Messages(), (Messages{{0xB5, 7, 99}}));
}

TEST_F(MidiSetupTest, PreviewSendsKeyWithChannelVolume) {
    Midi(2, 36, 4).Volume = 90;
    port->Clear();
    out->PreviewNoteOn(2, 61);
    out->PreviewNoteOff(2, 61);
    out->PreviewNoteOn(2, 128);  // no such key
    EXPECT_EQ(port->Messages(), (Messages{{0x94, 61, 90}, {0x84, 61, 90}}));
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

TEST_F(MidiSetupTest, ShortMessagesCarryTheirOwnLengthAndNeverADataByteOf128) {
    port->Clear();
    out->SendShort(0xC2, 7, 0);
    out->SendShort(0xF8, 0, 0);
    out->SendShort(0x90, 128, 1);  // refused
    EXPECT_EQ(out->Error(), tx::MidiErrorInvalidData);
    out->SendShort(0x40, 1, 1);  // not a status
    out->SendShort(0x80, 60, 0);
    EXPECT_EQ(out->Error(), tx::MidiNoError);
    EXPECT_EQ(port->Messages(), (Messages{{0xC2, 7}, {0xF8}, {0x80, 60, 0}}));
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

TEST_F(MidiSetupTest, DeviceListAndSelection) {
    EXPECT_EQ(out->DeviceList(), (std::vector<std::string>{"Default route", "Synth A", "Synth B", "-none-"}));
    EXPECT_EQ(out->SelectListItem(0), "");
    EXPECT_EQ(port->OpenedIndex(), -1);
    EXPECT_EQ(out->SelectListItem(2), "");
    EXPECT_EQ(port->OpenedIndex(), 1);
    EXPECT_EQ(out->ProductName(), "Synth B");
    EXPECT_EQ(out->FindDevice("Synth A"), 0);
    EXPECT_EQ(out->FindDevice("B"), 1);
    EXPECT_EQ(out->FindDevice("Piano"), -2);
}

TEST_F(MidiSetupTest, PropertyChangesWhileOpenAndBadDevicesRaise) {
    auto message = [](auto f) {
        try {
            f();
        } catch (const tx::EmidioutputError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message([&] { out->SetDeviceID(1); }), "Change to DeviceID while device was open");
    EXPECT_EQ(message([&] { out->SetProductName("Synth A"); }), "Change to ProductName while device was open");
    out->Close();
    EXPECT_FALSE(out->Close());  // already closed
    EXPECT_EQ(message([&] { out->SetDeviceID(2); }), "Invalid device ID");
    EXPECT_EQ(message([&] { out->SetDeviceID(-2); }), "Invalid device ID");
    EXPECT_EQ(message([&] { out->SetProductName("Organ"); }), "MIDI output Device Organ not installed");
    out->SetProductName("Synth B");
    EXPECT_EQ(out->DeviceID(), 1);
}

TEST_F(MidiSetupTest, AFailedOpenKeepsTheDeviceClosedWithTheReason) {
    out->Close();
    port->FailOpen = true;
    EXPECT_FALSE(out->Open());
    EXPECT_EQ(out->State(), tx::TMidiOutputState::Closed);
    EXPECT_EQ(out->LastErrorText, "The device is not available.");
    EXPECT_EQ(out->SelectListItem(1), "The device is not available.");
    // A device that went away since the list was read is reported by name.
    port->FailOpen = false;
    port->SetNames({"Synth B"});
    out->SetDeviceID(0);
    EXPECT_FALSE(out->Open());
    EXPECT_EQ(out->LastErrorText, "MIDI output Device Synth A not installed");
}

TEST(MidiErrorTextTest, UnknownCodesHaveTheOutOfRangeText) {
    EXPECT_EQ(tx::MidiErrorText(999), "Specified error number is out of range");
}

}  // namespace
