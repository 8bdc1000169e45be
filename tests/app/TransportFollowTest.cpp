// The program follows the JACK transport while its sound output is JACK: the
// engine at once, the Start button and tempo display through the window's events.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "TestSupport.h"
#include "app/TrovamixApp.h"
#include "controls/MyTransButton.h"
#include "controls/RCADigital.h"
#include "engine/NullAudioDevice.h"
#include "midi/MidiPort.h"
#include "window/MainForm.h"

namespace tx {
namespace {

namespace fs = std::filesystem;

// The null device listed as a JACK output.
struct TJackLikeSystem : TNullAudioSystem {
    std::vector<TAudioApi> Apis() const override { return {Api}; }
    std::vector<TAudioDeviceInfo> Devices(TAudioApi api) override {
        return api == Api ? TNullAudioSystem::Devices(TAudioApi::Null) : std::vector<TAudioDeviceInfo>{};
    }
    bool ServerAnswers(TAudioApi api) override { return api == Api; }
    std::unique_ptr<TAudioDevice> CreateDevice(TAudioApi api) override {
        return api == Api ? TNullAudioSystem::CreateDevice(TAudioApi::Null) : nullptr;
    }
    TAudioApi Api = TAudioApi::Jack;
};

class FollowApp : public ::testing::Test {
protected:
    void Start(TAudioApi api) {
        audio.Api = api;
        const fs::path program = dir / "program";
        fs::create_directories(program / "Styles" / "Default");
        const fs::path ini = dir / "Trovamix.ini";
        std::ofstream(ini) << "[TX SETTINGS]\nDS Driver=0\n";  // the first (and only) output
        TAppSystems systems{&audio, std::make_unique<TRecordingMidiOutPort>(), std::make_unique<TFakeMidiInPort>()};
        systems.JackTransport = [this] {
            auto p = std::make_unique<TWatchedPort>(portClosed);
            port = p.get();
            return p;
        };
        TAppOptions options;
        options.Args = {"/NoSplash"};
        options.ProgramFolder = program.string() + "/";
        options.SettingsPath = ini.string();
        options.InstanceCheck = false;
        options.ShowError = [this](const std::string& text) { errors.push_back(text); };
        options.ShowModal = [](QDialog&) {};
        app = std::make_unique<TTrovamixApp>(std::move(systems), std::move(options));
        ASSERT_TRUE(app->Start());
        QCoreApplication::processEvents();
        start = app->MainForm().findChild<TMyTransButton*>("StartButton");
        bpm = app->MainForm().findChild<TRCADigital*>("BPMDig");
        ASSERT_TRUE(start && bpm);
    }
    // Waits (without handling the window's events) until the engine is `playing`.
    bool EngineBecomes(bool playing) {
        const auto t0 = std::chrono::steady_clock::now();
        while (app->Engine().Playing != playing && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(2))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return app->Engine().Playing == playing;
    }

    txtest::TempDir dir;
    TJackLikeSystem audio;
    // The follower owns the port and frees it once closed: what the test
    // needs to know afterwards is kept here.
    struct TWatchedPort : TNullTransportPort {
        explicit TWatchedPort(bool& closed) : closed_(closed) {}
        void Close() override {
            TNullTransportPort::Close();
            closed_ = true;
        }
        bool& closed_;
    };
    bool portClosed = false;
    TNullTransportPort* port = nullptr;  // only while the follower holds it
    std::vector<std::string> errors;
    std::unique_ptr<TTrovamixApp> app;
    TMyTransButton* start = nullptr;
    TRCADigital* bpm = nullptr;
};

TEST_F(FollowApp, StartStopAndTempoOfTheMasterReachTheWindowOnlyAsEvents) {
    Start(TAudioApi::Jack);
    ASSERT_TRUE(app->Streaming().DeviceOpen());
    ASSERT_TRUE(app->FollowingTransport());
    ASSERT_TRUE(port && port->IsOpen());
    EXPECT_FALSE(start->Down());

    port->Set({true, 128.0});
    ASSERT_TRUE(EngineBecomes(true));
    // Tempo first, then the start: once the engine plays both are in.
    EXPECT_EQ(app->Loop().Tempo, 128);
    EXPECT_FALSE(start->Down()) << "the follower's thread touched a widget";
    EXPECT_NE(bpm->Value(), 128);
    QCoreApplication::processEvents();
    EXPECT_TRUE(start->Down());
    EXPECT_EQ(bpm->Value(), 128);

    port->Set({false, 128.0});
    ASSERT_TRUE(EngineBecomes(false));
    QCoreApplication::processEvents();
    EXPECT_FALSE(start->Down());

    // The shutdown stops following before the window goes.
    ASSERT_TRUE(app->MainForm().close());
    port = nullptr;  // freed by the follower
    EXPECT_FALSE(app->FollowingTransport());
    EXPECT_TRUE(portClosed);
    EXPECT_TRUE(errors.empty());
}

TEST_F(FollowApp, AnOutputThatIsNotJackFollowsNoTransport) {
    Start(TAudioApi::Pulse);
    ASSERT_TRUE(app->Streaming().DeviceOpen());
    EXPECT_FALSE(app->FollowingTransport());
    EXPECT_EQ(port, nullptr);
}

}  // namespace
}  // namespace tx
