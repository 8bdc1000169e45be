// The whole program on the JACK server: the transport started and stopped by
// another client, and a MIDI clock from another client's JACK MIDI port, move
// the Start button and the tempo display. The sound output is the null device
// listed as JACK, so the program opens no audio ports on the shared server.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/transport.h>

#include <QAction>
#include <QElapsedTimer>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "JackServer.h"
#include "MidiDeviceSupport.h"
#include "ServerCheck.h"
#include "TestSupport.h"
#include "app/TrovamixApp.h"
#include "controls/MyTransButton.h"
#include "controls/RCADigital.h"
#include "desktop/MainMenu.h"
#include "dialogs/MIDIForm.h"
#include "engine/NullAudioDevice.h"
#include "engine/devices/JackTransport.h"
#include "midi/MidiIn.h"
#include "midi/MidiPort.h"
#include "midi/devices/RtMidiPorts.h"
#include "window/MainForm.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct TJackListedNullSystem : TNullAudioSystem {
    std::vector<TAudioApi> Apis() const override { return {TAudioApi::Jack}; }
    std::vector<TAudioDeviceInfo> Devices(TAudioApi api) override {
        return api == TAudioApi::Jack ? TNullAudioSystem::Devices(TAudioApi::Null) : std::vector<TAudioDeviceInfo>{};
    }
    bool ServerAnswers(TAudioApi api) override { return api == TAudioApi::Jack; }
    std::unique_ptr<TAudioDevice> CreateDevice(TAudioApi api) override {
        return api == TAudioApi::Jack ? TNullAudioSystem::CreateDevice(TAudioApi::Null) : nullptr;
    }
};

// The tempo a timebase master of the test's own announces.
std::atomic<double> MasterBpm{0};

void Timebase(jack_transport_state_t, jack_nframes_t, jack_position_t* pos, int, void*) {
    pos->valid = JackPositionBBT;
    pos->bar = 1;
    pos->beat = 1;
    pos->tick = 0;
    pos->bar_start_tick = 0;
    pos->beats_per_bar = 4;
    pos->beat_type = 4;
    pos->ticks_per_beat = 1920;
    pos->beats_per_minute = MasterBpm.load();
}

class JackFollow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!txtest::JackServerAnswers()) TX_SERVER_UNREACHABLE("no JACK server answers (run scripts/services start)");
        jack_status_t status{};
        master = jack_client_open("TrovamixTestTransport", JackNoStartServer, &status);
        ASSERT_TRUE(master);
        jack_transport_stop(master);
        ASSERT_TRUE(Until([&] { return jack_transport_query(master, nullptr) == JackTransportStopped; }));
    }
    void TearDown() override {
        app.reset();
        if (!master) return;
        jack_transport_stop(master);
        jack_release_timebase(master);
        jack_client_close(master);
    }
    void Start(const std::string& ini, std::unique_ptr<TMidiInPort> midiIn) {
        const fs::path program = dir / "program";
        fs::create_directories(program / "Styles" / "Default");
        std::ofstream(dir / "Trovamix.ini") << ini;
        TAppSystems systems{&audio, std::make_unique<TRecordingMidiOutPort>(), std::move(midiIn)};
        systems.JackTransport = [] { return MakeJackTransportPort(); };
        TAppOptions options;
        options.Args = {"/NoSplash"};
        options.ProgramFolder = program.string() + "/";
        options.SettingsPath = (dir / "Trovamix.ini").string();
        options.InstanceCheck = false;
        options.ShowError = [this](const std::string& text) { errors.push_back(text); };
        options.ShowModal = [](QDialog&) {};
        app = std::make_unique<TTrovamixApp>(std::move(systems), std::move(options));
        ASSERT_TRUE(app->Start());
        start = app->MainForm().findChild<TMyTransButton*>("StartButton");
        bpm = app->MainForm().findChild<TRCADigital*>("BPMDig");
        ASSERT_TRUE(start && bpm);
    }
    // Handles the window's events until `done` or two seconds pass.
    static bool Until(const std::function<bool()>& done, int ms = 2000) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms) QTest::qWait(2);
        return done();
    }

    txtest::TempDir dir;
    TJackListedNullSystem audio;
    jack_client_t* master = nullptr;
    std::unique_ptr<TTrovamixApp> app;
    TMyTransButton* start = nullptr;
    TRCADigital* bpm = nullptr;
    std::vector<std::string> errors;
};

TEST_F(JackFollow, TheTransportStartedByAnotherClientPressesStartAndItsTempoShows) {
    Start("[TX SETTINGS]\nDS Driver=0\n", std::make_unique<TFakeMidiInPort>());
    ASSERT_TRUE(app->FollowingTransport());
    EXPECT_FALSE(start->Down());

    const auto t0 = Clock::now();
    jack_transport_start(master);
    ASSERT_TRUE(Until([&] { return start->Down(); }));
    const auto ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    std::printf("start button down %.1f ms after jack_transport_start\n", ms);
    EXPECT_TRUE(app->Engine().Playing);

    // A timebase master's tempo becomes the loop's and the display's.
    MasterBpm = 131.0;
    ASSERT_EQ(jack_set_timebase_callback(master, 0, Timebase, nullptr), 0);
    ASSERT_EQ(jack_activate(master), 0);
    EXPECT_TRUE(Until([&] { return bpm->Value() == 131; })) << bpm->Value();
    EXPECT_EQ(app->Loop().Tempo, 131);

    jack_transport_stop(master);
    ASSERT_TRUE(Until([&] { return !start->Down(); }));
    EXPECT_FALSE(app->Engine().Playing);
    jack_deactivate(master);
    EXPECT_TRUE(errors.empty());
}

TEST_F(JackFollow, AMidiClockFromAJackMidiPortPressesStartAndSetsTheTempo) {
    if (!txtest::JackMidiAnswers()) TX_SERVER_UNREACHABLE("no JACK MIDI");
    const std::string sourceName = txtest::UniquePortName("clock");
    // Never destroyed: RtMidi's JACK output can crash its own process thread when deleted.
    RtMidiOut& source = *new RtMidiOut(RtMidi::UNIX_JACK, "TrovamixTestClock");
    source.openVirtualPort(sourceName);
    Start("[TX SETTINGS]\nDS Driver=0\nUse WAV only=0\nSync to Input=0\n", MakeRtMidiInPort());
    const int device = app->MidiIn().FindDevice(sourceName);
    ASSERT_GE(device, 0) << "the clock source is not listed";
    app->SettingsWindow().SetInputItem(device);
    QAction* sync = app->MainForm().Action(TCommand::SyncToInput);
    ASSERT_TRUE(sync && sync->isEnabled());
    sync->trigger();
    ASSERT_TRUE(sync->isChecked());
    ASSERT_EQ(app->MidiIn().State(), MidiInputOpen);
    ASSERT_TRUE(app->Engine().SyncToInput);
    QTest::qWait(100);  // the connection settles

    auto send = [&](unsigned char byte) {
        std::vector<unsigned char> m{byte};
        source.sendMessage(&m);
    };
    send(0xFA);
    ASSERT_TRUE(Until([&] { return start->Down(); }));

    // Clocks 10 ms apart: two quarter notes take 480 ms, 250 BPM. The first
    // tempo comes 91 clocks after the start.
    std::thread clock([&] {
        const auto t = Clock::now();
        for (int i = 1; i <= 100; ++i) {
            std::this_thread::sleep_until(t + std::chrono::milliseconds(10 * i));
            send(0xF8);
        }
    });
    const bool shown = Until([&] { return bpm->Value() != 140; }, 4000);
    clock.join();
    ASSERT_TRUE(shown);
    std::printf("tempo shown %d (250 expected from the sender's schedule)\n", bpm->Value());
    // JACK delivers at period boundaries (2.9 ms here) and a loaded machine wakes
    // the sender late now and then: a few percent either way.
    EXPECT_NEAR(bpm->Value(), 250, 15);
    EXPECT_EQ(app->Loop().Tempo, bpm->Value());

    send(0xFC);
    ASSERT_TRUE(Until([&] { return !start->Down(); }));
    EXPECT_FALSE(app->Engine().Playing);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace tx
