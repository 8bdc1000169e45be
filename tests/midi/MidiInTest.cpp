// MIDI input and clock sync: the input component on a fake port and the clock
// follower driving the engine's step counter.
#include <gtest/gtest.h>

#include <random>

#include "MidiRig.h"
#include "midi/MidiIn.h"

using txtest::Bytes;
using txtest::Messages;

namespace {

class MidiSyncTest : public ::testing::Test, public txtest::MidiRig {
protected:
    void SetUp() override {
        engine->SyncToInput = true;
        auto p = std::make_unique<tx::TFakeMidiInPort>(std::vector<std::string>{"Clock source"});
        fake = p.get();
        in = std::make_unique<tx::TMidiInput>(std::move(p));
        sync = std::make_unique<tx::TMidiSync>(*engine);
        sync->Attach(*in);
        sync->OnPlayingState = [this](bool started) { states.push_back(started); };
        sync->OnTempo = [this](int bpm) { tempi.push_back(bpm); };
        ASSERT_TRUE(in->Open());
        in->Start();
        // Channel 0 sounds on every step, so each step shows on the output.
        Midi(0, 36, 9).Pattern(1).StepMask = 0xFFFF;
    }
    void TearDown() override {
        in.reset();
        sync.reset();
    }

    void send(std::vector<uint8_t> bytes) { fake->Deliver(bytes, now); }
    void clocks(int n, int64_t msApart = 25) {
        for (int i = 0; i < n; ++i) {
            now += msApart;
            send({0xF8});
        }
    }
    // Notes sent since the last call, as the steps that produced them.
    int notesSent() {
        int n = 0;
        for (const Bytes& m : port->Messages()) n += (m[0] & 0xF0) == 0x90;
        port->Clear();
        return n;
    }

    tx::TFakeMidiInPort* fake = nullptr;
    std::unique_ptr<tx::TMidiInput> in;
    std::unique_ptr<tx::TMidiSync> sync;
    std::vector<bool> states;
    std::vector<int> tempi;
    int64_t now = 1000;
};

// A script of messages (Start, Continue, Stop, or n clocks) and where it
// leaves the step counter, how many steps it played and the states reported.
constexpr int Start = -1, Continue = -2, Stop = -3;
struct TClockCase {
    const char* Name;
    std::vector<int> Script;  // a number n >= 0 is n clocks
    int Step, Played;
    std::vector<bool> States;
};
void PrintTo(const TClockCase& c, std::ostream* os) { *os << c.Name; }
class MidiClockCase : public MidiSyncTest, public ::testing::WithParamInterface<TClockCase> {};

TEST_P(MidiClockCase, Follows) {
    port->Clear();
    for (int m : GetParam().Script) {
        if (m >= 0)
            clocks(m);
        else
            send({uint8_t(m == Start ? 0xFA : m == Continue ? 0xFB : 0xFC)});
    }
    EXPECT_EQ(engine->CurrentStep, GetParam().Step);
    EXPECT_EQ(notesSent(), GetParam().Played);
    EXPECT_EQ(states, GetParam().States);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, MidiClockCase,
    ::testing::Values(TClockCase{"StartAlone", {Start}, -1, 0, {true}},
                      TClockCase{"Step0AtTheFirstClock", {Start, 1}, 0, 1, {true}},
                      TClockCase{"Step0UpToTheSixth", {Start, 6}, 0, 1, {true}},
                      TClockCase{"Step1AtTheSeventh", {Start, 7}, 1, 2, {true}},
                      TClockCase{"StepsWrapAfter15", {Start, 1 + 6 * 16}, 0, 17, {true}},
                      TClockCase{"StopEndsTheSteps", {Start, 25, Stop, 12}, -1, 5, {true, false}},
                      TClockCase{"ContinueAfterStopStartsAtStep0", {Start, 25, Stop, 12, Continue, 1}, 0, 6,
                                 {true, false, true}},
                      // The clock count starts again at 5: the next clock steps, 9 -> 10.
                      TClockCase{"ContinueWhileRunningKeepsTheStep", {Start, 1 + 6 * 9 + 2, Continue}, 9, 10,
                                 {true, true}},
                      TClockCase{"ContinueWhileRunningStepsAtTheNextClock", {Start, 1 + 6 * 9 + 2, Continue, 1}, 10,
                                 11, {true, true}}));

TEST_F(MidiSyncTest, StartClearsTheSampleVoices) {
    tx::TWAVSample s;
    s.Data.assign(200, 1);
    s.Length = s.PlayLength = 100;
    engine->AddVoice(&s, 0, 65536, 1.0f, 0.0f, 100, 0, 0, 64);
    send({0xFA});
    EXPECT_EQ(engine->VoiceCount, 0);
    EXPECT_TRUE(engine->Playing);
    EXPECT_EQ(sync->ClockCount(), 5);
}

TEST_F(MidiSyncTest, ClocksTwentyFiveMsApartGiveTempo100AtTheSecondMeasurement) {
    engine->SetTempo(140);
    now = 0;
    send({0xFA});
    clocks(43);  // ClockCount 48: first measurement, no tempo yet
    EXPECT_TRUE(tempi.empty());
    EXPECT_EQ(sync->LastClockTime(), 43 * 25);
    clocks(47);
    EXPECT_TRUE(tempi.empty());
    clocks(1);  // 48 clocks later: 120000 / 1200
    EXPECT_EQ(tempi, (std::vector<int>{100}));
    EXPECT_EQ(loop.Tempo, 100);
    EXPECT_EQ(engine->StepLength, 661500 / 100);
    clocks(48);
    EXPECT_EQ(tempi, (std::vector<int>{100, 100}));
}

struct TempoCase {
    int64_t msApart;
    int bpm;
};
void PrintTo(const TempoCase& c, std::ostream* os) { *os << c.msApart << "MsApart"; }
class MidiSyncTempoTest : public MidiSyncTest, public ::testing::WithParamInterface<TempoCase> {};

TEST_P(MidiSyncTempoTest, MeasuredTempoStaysWithin10To500) {
    send({0xFA});
    clocks(43 + 48, GetParam().msApart);
    ASSERT_EQ(tempi.size(), 1u);
    EXPECT_EQ(tempi[0], GetParam().bpm);
    EXPECT_EQ(loop.Tempo, GetParam().bpm);
}

INSTANTIATE_TEST_SUITE_P(Rates, MidiSyncTempoTest,
                         ::testing::Values(TempoCase{20, 125},    // 120000 / 960
                                           TempoCase{21, 119},    // 120000 / 1008 = 119.04
                                           TempoCase{1, 500},     // 2500, held
                                           TempoCase{5, 500},     // exactly 500
                                           TempoCase{300, 10},    // 8, held
                                           TempoCase{250, 10}));  // exactly 10

TEST_F(MidiSyncTest, ATimeStampGoingBackwardsSetsNoTempo) {
    send({0xFA});
    clocks(43);
    now -= 5000;
    clocks(48);
    EXPECT_TRUE(tempi.empty());
    EXPECT_EQ(loop.Tempo, 140);
}

TEST_F(MidiSyncTest, WithSyncOffNothingChanges) {
    engine->SyncToInput = false;
    send({0xFA});
    clocks(100);
    send({0xFC});
    EXPECT_FALSE(engine->Playing);
    EXPECT_EQ(engine->CurrentStep, -1);
    EXPECT_EQ(sync->ClockCount(), 0);
    EXPECT_TRUE(states.empty());
    EXPECT_TRUE(tempi.empty());
}

TEST_F(MidiSyncTest, NotesAndMalformedMessagesAreIgnored) {
    send({0xFA});
    clocks(1);
    ASSERT_EQ(engine->CurrentStep, 0);
    const std::vector<Bytes> junk = {
        {0x90, 60, 100}, {0xB0, 7, 100},               // a note, a controller
        {}, {0x12}, {0x7F, 0x7F, 0x7F},                // empty, stray data bytes
        {0xF8, 0x00}, {0xFC, 0x10, 0x20},              // a clock or stop with data is none
        {0x90, 60}, {0x90, 60, 100, 5}, {0xC0, 0x80},  // too short, too long, a status as data
        {0xF0, 0x7E, 0xF8, 0x09, 0xF7}, {0xF0, 0xFA, 0xF7}, {0xF7},  // system exclusive, clock bytes inside
        {0xFE}, {0xFF},                                // active sensing, reset
    };
    for (const Bytes& b : junk) send(b);
    EXPECT_EQ(engine->CurrentStep, 0);
    EXPECT_TRUE(engine->Playing);
    EXPECT_EQ(sync->ClockCount(), 6);
    EXPECT_EQ(states, (std::vector<bool>{true}));
    clocks(6);
    EXPECT_EQ(engine->CurrentStep, 1);  // still counting in step
}

TEST_F(MidiSyncTest, RandomGarbageNeverBreaksTheCounters) {
    std::mt19937 gen(99);
    for (int i = 0; i < 20000; ++i) {
        Bytes b(size_t(std::uniform_int_distribution<int>(0, 8)(gen)));
        for (auto& x : b) x = uint8_t(gen());
        // Mostly the messages sync cares about, so the states are exercised.
        if (!b.empty() && gen() % 2) b = {uint8_t(0xF8 + gen() % 5)};
        now += int64_t(gen() % 40);
        send(b);
        ASSERT_GE(engine->CurrentStep, -1);
        ASSERT_LE(engine->CurrentStep, 15);
        ASSERT_GE(loop.Tempo, 10);
        ASSERT_LE(loop.Tempo, 500);
    }
    for (const Bytes& m : port->Messages())
        for (size_t k = 1; k < m.size(); ++k) ASSERT_LT(m[k], 0x80);
}

TEST_F(MidiSyncTest, TheTransportActsAsAReceivedStartAndStop) {
    engine->Start();
    EXPECT_TRUE(engine->Playing);
    EXPECT_EQ(sync->ClockCount(), 5);
    clocks(1);
    EXPECT_EQ(engine->CurrentStep, 0);
    engine->Stop();
    EXPECT_FALSE(engine->Playing);
    EXPECT_EQ(states, (std::vector<bool>{true, false}));
}

// --- the input component itself
// Opened by list item as the settings window does; a device is found by name
// (exact, else the first containing it); its properties are fixed while open.
TEST(MidiInputTest, DevicesAreListedSelectedAndFixedWhileOpen) {
    auto p = std::make_unique<tx::TFakeMidiInPort>(std::vector<std::string>{"A", "B"});
    tx::TFakeMidiInPort* fake = p.get();
    tx::TMidiInput in(std::move(p));
    EXPECT_EQ(in.DeviceList(), (std::vector<std::string>{"A", "B", "-none-"}));
    EXPECT_EQ(in.FindDevice("B"), 1);
    EXPECT_EQ(in.FindDevice("C"), -1);
    EXPECT_THROW(in.SetDeviceID(2), tx::EMidiInputError);
    EXPECT_THROW(in.SetDeviceID(-1), tx::EMidiInputError);
    EXPECT_THROW(in.SetProductName("Z"), tx::EMidiInputError);
    fake->FailOpen = true;
    EXPECT_EQ(in.SelectListItem(1), "The device is not available.");
    EXPECT_EQ(in.State(), tx::MidiInputClosed);
    fake->FailOpen = false;
    EXPECT_EQ(in.SelectListItem(1), "");
    EXPECT_EQ(in.State(), tx::MidiInputOpen);
    EXPECT_EQ(in.ProductName(), "B");
    EXPECT_THROW(in.SetDeviceID(0), tx::EMidiInputError);
    EXPECT_THROW(in.SetProductName("A"), tx::EMidiInputError);
    EXPECT_THROW(in.SetSysexBufferSize(10), tx::EMidiInputError);
    EXPECT_EQ(in.SelectListItem(2), "");  // "-none-"
    EXPECT_EQ(in.State(), tx::MidiInputClosed);
}

TEST(MidiInputTest, ShortMessagesArePackedLowByteFirst) {
    auto p = std::make_unique<tx::TFakeMidiInPort>();
    tx::TFakeMidiInPort* fake = p.get();
    tx::TMidiInput in(std::move(p));
    std::vector<std::pair<uint32_t, int64_t>> got;
    in.OnMidiInput = [&](uint32_t m, int64_t t) { got.push_back({m, t}); };
    ASSERT_TRUE(in.Open());
    in.Start();
    fake->Deliver({0x90, 0x3C, 0x64}, 5);
    fake->Deliver({0xC1, 0x07}, 6);
    fake->Deliver({0xF8}, 7);
    EXPECT_EQ(got, (std::vector<std::pair<uint32_t, int64_t>>{{0x643C90, 5}, {0x07C1, 6}, {0xF8, 7}}));
}

}  // namespace
