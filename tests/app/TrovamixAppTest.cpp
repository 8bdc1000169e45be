// The program from start to close on null sound and MIDI systems: the settings
// file it leaves, a cancelled close, the command line, "Close DS", the start sound.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "TestSupport.h"
#include "Wav16.h"
#include "app/TrovamixApp.h"
#include "dialogs/HelpWindow.h"
#include "dialogs/MIDIForm.h"
#include "dialogs/WAVRenderForm.h"
#include "engine/NullAudioDevice.h"
#include "loopfile/LoopFile.h"
#include "midi/MidiPort.h"
#include "midi/MidiSteps.h"
#include "window/MainForm.h"
#include "window/TitleForm.h"

namespace tx {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteText(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

struct ScriptedPrompts : TWorkflowPrompts {
    TAnswer AskYesNoCancel(const std::string& t) override { return Questions.push_back(t), SaveAnswer; }
    bool AskYesNo(const std::string& t) override { return Questions.push_back(t), YesNo; }
    std::optional<std::string> AskOpenName(const std::string&) override { return {}; }
    std::optional<std::string> AskSaveName(const std::string&) override { return SaveName; }
    void ShowError(const std::string&) override {}
    void ShowWarning(const std::string&) override {}
    TAnswer SaveAnswer = TAnswer::No;
    bool YesNo = false;
    std::optional<std::string> SaveName;
    std::vector<std::string> Questions;
};

// The null sound system, with each new device armed to fail as a test asks.
struct TArmedAudioSystem : TNullAudioSystem {
    std::function<void(TNullAudioDevice&)> Arm;
    std::unique_ptr<TAudioDevice> CreateDevice(TAudioApi api) override {
        std::unique_ptr<TAudioDevice> d = TNullAudioSystem::CreateDevice(api);
        if (Arm) Arm(static_cast<TNullAudioDevice&>(*d));
        return d;
    }
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        program = dir.path() / "program";
        fs::create_directories(program / "Styles" / "Default");
        settingsFile = dir.path() / "config" / "Trovamix" / "Trovamix.ini";
    }
    TTrovamixApp& Start(std::vector<std::string> args = {"/NoSplash"}, bool activate = true) {
        TAppSystems systems{&audio, std::make_unique<TRecordingMidiOutPort>(), std::make_unique<TFakeMidiInPort>()};
        midiOutPort = static_cast<TRecordingMidiOutPort*>(systems.MidiOut.get());
        midiOutPort->FailOpen = failMidiOpen;
        midiInPort = static_cast<TFakeMidiInPort*>(systems.MidiIn.get());
        midiInPort->FailOpen = failMidiInOpen;
        TAppOptions options;
        options.Args = std::move(args);
        options.ProgramFolder = program.string() + "/";
        options.SettingsPath = settingsFile.string();
        options.InstanceCheck = false;
        options.Prompts = &prompts;
        options.ShowError = [this](const std::string& text) { errors.push_back(text); };
        options.ShowModal = [this](QDialog&) { ++modalShows; };
        app = std::make_unique<TTrovamixApp>(std::move(systems), std::move(options));
        app->Start();
        if (activate) QCoreApplication::processEvents();  // the first activation
        return *app;
    }
    bool Close() { return app->MainForm().close(); }
    QLabel* FormatLabel() { return app->SettingsWindow().findChild<QLabel*>("FormatLabel"); }

    txtest::TempDir dir;
    fs::path program, settingsFile;
    TArmedAudioSystem audio;
    TRecordingMidiOutPort* midiOutPort = nullptr;
    TFakeMidiInPort* midiInPort = nullptr;
    bool failMidiOpen = false;
    bool failMidiInOpen = false;
    ScriptedPrompts prompts;
    std::vector<std::string> errors;
    int modalShows = 0;
    std::unique_ptr<TTrovamixApp> app;
};

TEST_F(AppTest, FirstStartChoosesNoOutputShowsTheSettingsWindowAndWritesTheGoldenFile) {
    TTrovamixApp& a = Start();
    EXPECT_TRUE(errors.empty());
    EXPECT_FALSE(a.Streaming().DeviceOpen());
    EXPECT_EQ(midiOutPort->OpenedIndex(), -2);  // nothing was opened
    ASSERT_TRUE(a.SettingsWindow().isVisible());
    EXPECT_EQ(FormatLabel()->text(), "(not opened)");
    const QString shots = QStringLiteral(TROVAMIX_BINARY_DIR "/screenshots");
    QDir().mkpath(shots);
    for (int sheet = 0; sheet < 4; ++sheet) {
        a.SettingsWindow().ShowSheet(TMIDIForm::Sheet(sheet));
        EXPECT_TRUE(a.SettingsWindow().grab().save(shots + QStringLiteral("/first-start-settings-%1.png").arg(sheet)));
    }
    EXPECT_FALSE(fs::exists(settingsFile));  // nothing is written while running

    ASSERT_TRUE(Close());
    EXPECT_EQ(ReadText(settingsFile), ReadText(TROVAMIX_TEST_DATA "/settings/first-start.ini"));
}

TEST_F(AppTest, AStoredFileComesBackUnchangedAfterAStartAndAClose) {
    // Every value away from its default, each device chosen, in the save order.
    const std::string stored = ReadText(TROVAMIX_TEST_DATA "/settings/every-value.ini");
    WriteText(settingsFile, stored);
    TTrovamixApp& a = Start();
    EXPECT_TRUE(errors.empty()) << errors.front();
    // Each value reached what it drives.
    EXPECT_TRUE(a.Streaming().DeviceOpen());
    EXPECT_EQ(midiOutPort->OpenedIndex(), 0);
    EXPECT_TRUE(midiInPort->IsOpen() && a.Engine().SyncToInput);
    EXPECT_EQ(a.Lock().BlockFrames, 1152);
    EXPECT_EQ(a.Engine().Settings.RenderingRemainder, TRemainder::Cut);
    EXPECT_FALSE(a.SettingsWindow().isVisible());  // outputs are chosen
    ASSERT_TRUE(Close());
    EXPECT_FALSE(a.Streaming().DeviceOpen() || midiInPort->IsOpen() || midiOutPort->IsOpen());
    EXPECT_EQ(ReadText(settingsFile), stored);
}

TEST_F(AppTest, ACancelledCloseLeavesEverythingRunningAndWritesNothing) {
    WriteText(settingsFile, "[TX SETTINGS]\nDS Driver=0\nOutput Device=0\n");
    const std::string before = ReadText(settingsFile);
    TTrovamixApp& a = Start();
    ASSERT_TRUE(a.Streaming().DeviceOpen());
    a.MainForm().StartStop(true, true);
    a.Loop().Modified = true;
    prompts.SaveAnswer = TAnswer::Cancel;
    QSignalSpy closed(&a, &TTrovamixApp::closed);
    a.SettingsWindow().show();

    EXPECT_FALSE(Close());
    EXPECT_EQ(closed.count(), 0);
    EXPECT_EQ(prompts.Questions.size(), 1u);
    EXPECT_TRUE(a.MainForm().isVisible() && a.SettingsWindow().isVisible());
    EXPECT_TRUE(a.Engine().Playing && a.Streaming().MixThreadRunning() && midiOutPort->IsOpen());
    EXPECT_EQ(ReadText(settingsFile), before);

    prompts.SaveAnswer = TAnswer::No;
    EXPECT_TRUE(Close());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(a.SettingsWindow().isVisible());  // or the event loop would never end
    EXPECT_FALSE(a.Engine().Playing || a.Streaming().DeviceOpen());
    EXPECT_NE(ReadText(settingsFile), before);
}

class CommandLineStart : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        // A splash picture, so only the switch or the setting can keep it away.
        ASSERT_TRUE(QImage(TTitleForm::ClientWidth, TTitleForm::ClientHeight, QImage::Format_RGB32)
                        .save(QString::fromStdString((program / "Title.JPG").string()), "JPG"));
        for (int i = 0; i < 2; ++i) {
            TLoop loop;
            loop.Tempo = 100 + i;
            files.push_back((dir.path() / ("loop" + std::to_string(i) + ".txp")).string());
            ASSERT_EQ(WriteLoop(files.back(), loop), "");
        }
    }
    std::vector<std::string> files;
};

TEST_F(CommandLineStart, TheSplashShowsUnlessTheSwitchInAnyCaseOrTheSettingSaysNo) {
    struct Case {
        std::vector<std::string> args;
        std::string settings;
        bool splash;
    };
    for (const Case& c : {Case{{}, "", true}, Case{{"/nosplash"}, "", false}, Case{{"/NOSPLASH"}, "", false},
                          Case{{}, "[TX SETTINGS]\nSplash Screen=0\n", false}}) {
        SCOPED_TRACE(c.args.empty() ? c.settings : c.args[0]);
        fs::remove(settingsFile);
        if (!c.settings.empty()) WriteText(settingsFile, c.settings);
        Start(c.args, false);  // before the first activation a splash would still show
        EXPECT_EQ(TTitleForm::Current() != nullptr, c.splash);
        app->FirstActivation();
        EXPECT_EQ(TTitleForm::Current(), nullptr);
        app.reset();
        QCoreApplication::processEvents();
    }
}

TEST_F(CommandLineStart, FilesOpenInOrderAfterTheEmptyLoopAndTheLastStaysLoaded) {
    for (bool topMost : {false, true}) {
        Start(topMost ? std::vector<std::string>{"/t", "/NoSplash", files[0], files[1]}
                      : std::vector<std::string>{"/NoSplash", files[0], files[1]});
        EXPECT_EQ(app->MainForm().windowFlags().testFlag(Qt::WindowStaysOnTopHint), topMost);
        EXPECT_EQ(app->Workflow().LoopFileName(), files[1]);
        EXPECT_EQ(app->Loop().Tempo, 101);
        EXPECT_EQ(app->Workflow().RecentFiles[1], files[0]);
    }
}

TEST_F(CommandLineStart, AnOpenedLoopSendsEachChannelsBankAndProgram) {
    TLoop loop;
    loop.Channel(1).MidiBank = 3;
    loop.Channel(1).MidiPatch = 42;
    const std::string file = (dir.path() / "instruments.txp").string();
    ASSERT_EQ(WriteLoop(file, loop), "");
    WriteText(settingsFile, "[TX SETTINGS]\nOutput Device=0\n");
    Start({"/NoSplash", file});
    ASSERT_TRUE(midiOutPort->IsOpen());
    const auto sent = midiOutPort->Messages();
    const uint8_t ch = uint8_t(MidiChannelOf(loop.Channel(1)));
    const std::vector<uint8_t> bank{uint8_t(0xB0 + ch), 0, 3}, program{uint8_t(0xC0 + ch), 42};
    const auto at = [&](const std::vector<uint8_t>& m) {
        return std::find(sent.begin(), sent.end(), m) - sent.begin();
    };
    ASSERT_LT(at(bank), std::ptrdiff_t(sent.size()));
    EXPECT_LT(at(bank), at(program));  // the bank goes first, so the program lands in it
    EXPECT_LT(at(program), std::ptrdiff_t(sent.size()));
}

TEST_F(CommandLineStart, RenderSwitchAsksAfterASaveAndYesOpensTheRenderDialog) {
    TTrovamixApp& a = Start({"/r", "/NoSplash"});
    prompts.YesNo = true;
    prompts.SaveName = (dir.path() / "saved.txp").string();
    QString dialogTitle;
    QTimer::singleShot(0, [&] {
        if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dialogTitle = d->windowTitle();
            d->reject();
        }
    });
    EXPECT_TRUE(a.Workflow().SaveAs());
    EXPECT_EQ(prompts.Questions, std::vector<std::string>{TLoopWorkflow::RenderQuestion});
    EXPECT_EQ(dialogTitle, std::unique_ptr<QFileDialog>(MakeSaveWAVDialog(nullptr, {}))->windowTitle());
}

TEST_F(AppTest, CloseDSReleasesTheDeviceWhileInactiveAndNotOnceClosing) {
    WriteText(settingsFile, "[TX SETTINGS]\nDS Driver=0\nClose DS=1\n");
    TTrovamixApp& a = Start();
    ASSERT_TRUE(a.Streaming().DeviceOpen());
    a.ApplicationStateChanged(Qt::ApplicationInactive);
    EXPECT_FALSE(a.Streaming().DeviceOpen() || a.Streaming().MixThreadRunning());
    a.ApplicationStateChanged(Qt::ApplicationActive);
    EXPECT_TRUE(a.Streaming().DeviceOpen() && a.Streaming().MixThreadRunning());

    // Unchecked in the settings window: the device stays.
    a.SettingsWindow().SetCloseDS(false);
    a.ApplicationStateChanged(Qt::ApplicationInactive);
    EXPECT_TRUE(a.Streaming().DeviceOpen());

    // A render keeps the device until it has ended, then it goes.
    a.SettingsWindow().SetCloseDS(true);
    {
        TWAVRenderForm render(a.Engine(), &a.MainForm());
        render.ShowMessage = [](const QString&) {};
        ASSERT_TRUE(render.StartRender(QString::fromStdString((dir.path() / "r.wav").string())));
        a.ApplicationStateChanged(Qt::ApplicationInactive);
        EXPECT_TRUE(a.Streaming().DeviceOpen() && a.Lifecycle().ReleaseWaitingForRender());
        EXPECT_TRUE(QTest::qWaitFor([&] { return !a.Streaming().DeviceOpen(); }, 10000));
        EXPECT_TRUE(render.Result() && render.Result()->Ok);
    }
    a.ApplicationStateChanged(Qt::ApplicationActive);
    ASSERT_TRUE(a.Streaming().DeviceOpen());

    // Once the close has passed its question, activation never reopens.
    a.ApplicationStateChanged(Qt::ApplicationInactive);
    ASSERT_TRUE(Close());
    a.ApplicationStateChanged(Qt::ApplicationActive);
    EXPECT_FALSE(a.Streaming().DeviceOpen());
}

// Which file is looked for is the start-sound lookup's; here: played once, or nothing.
TEST_F(AppTest, TheStartSoundPlaysOnceThroughTheMixerAndIsSilentWhenMissing) {
    for (bool present : {false, true}) {
        if (present) txtest::WriteConstantWav16(program / "Styles" / "Default" / "StartSnd.WAV", 300, 1000, -1000);
        Start();
        EXPECT_EQ(app->StartSoundPlayed(), present);
        EXPECT_EQ(app->StartSound().Length, present ? 300 : 0);
        EXPECT_EQ(app->Engine().VoiceCount, present ? 1 : 0);
        EXPECT_TRUE(errors.empty());
    }
}

TEST_F(AppTest, AMidiOutputThatFailsShowsItsErrorAndTheSettingsWindowOnce) {
    WriteText(settingsFile, "[TX SETTINGS]\nOutput Device=0\nDS Driver=0\n");
    failMidiOpen = true;
    Start();
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(modalShows, 1);

    // Stored beyond the list: clamped to "-none-", nothing opened, nothing said.
    failMidiOpen = false;
    WriteText(settingsFile, "[TX SETTINGS]\nOutput Device=9\nInput Device=-4\nDS Driver=0\n");
    TTrovamixApp& a = Start();
    EXPECT_EQ(errors.size() + modalShows, 2u);
    EXPECT_FALSE(midiOutPort->IsOpen());
    EXPECT_EQ(a.SettingsWindow().OutputItem(), 2);
    EXPECT_EQ(a.SettingsWindow().InputItem(), 0);
}

TEST_F(AppTest, SettingsWindowChoicesActAtOnceAndAreSaved) {
    fs::create_directories(program / "Styles" / "Night");
    WriteText(settingsFile, "[TX SETTINGS]\nDS Driver=0\n");
    TTrovamixApp& a = Start();
    // "-none-" chosen: the label says so even before the device is closed.
    EXPECT_EQ(FormatLabel()->text(), "(set at 44100Hz 16Bit STEREO)");
    a.SettingsWindow().SetDSDriver(1);
    EXPECT_TRUE(a.Streaming().DeviceOpen());
    EXPECT_EQ(FormatLabel()->text(), "(not opened)");

    auto* box = a.SettingsWindow().findChild<QComboBox*>("StylesBox");
    ASSERT_EQ(box->currentText(), "Default");
    const int night = box->findText("Night");
    box->setCurrentIndex(night);
    emit box->activated(night);
    EXPECT_EQ(a.StyleIndex(), night);
    ASSERT_TRUE(Close());
    EXPECT_NE(ReadText(settingsFile).find("Style=" + std::to_string(night) + "\n"), std::string::npos);
}

TEST_F(AppTest, AFollowedClockMovesTheStartButtonAndTempoOnlyThroughTheWindowsEvents) {
    WriteText(settingsFile, ReadText(TROVAMIX_TEST_DATA "/settings/every-value.ini"));  // Midi only, synced
    TTrovamixApp& a = Start();
    ASSERT_TRUE(midiInPort->IsOpen() && a.Engine().SyncToInput);
    auto* start = a.MainForm().findChild<TMyTransButton*>("StartButton");
    auto* bpm = a.MainForm().findChild<TRCADigital*>("BPMDig");
    ASSERT_TRUE(start && bpm);
    // As the MIDI input thread delivers: the engine acts at once, the window only once it handles its events.
    auto fromInputThread = [&](std::vector<std::pair<uint8_t, int64_t>> messages) {
        std::thread input([&] {
            for (auto [byte, ms] : messages) midiInPort->Deliver({byte}, ms);
        });
        input.join();
    };
    fromInputThread({{0xFA, 1000}});
    EXPECT_TRUE(a.Engine().Playing);
    EXPECT_FALSE(start->Down()) << "no widget is touched on the input thread";
    QCoreApplication::processEvents();
    EXPECT_TRUE(start->Down());

    // Two quarter notes (48 clocks) every 960 ms: 125 BPM.
    std::vector<std::pair<uint8_t, int64_t>> clocks;
    for (int i = 1; i <= 96; ++i) clocks.push_back({0xF8, 1000 + i * 20});
    fromInputThread(clocks);
    EXPECT_EQ(a.Loop().Tempo, 125);
    EXPECT_NE(bpm->Value(), 125);
    QCoreApplication::processEvents();
    EXPECT_EQ(bpm->Value(), 125);

    fromInputThread({{0xFC, 3000}});
    EXPECT_FALSE(a.Engine().Playing);
    QCoreApplication::processEvents();
    EXPECT_FALSE(start->Down());
    EXPECT_TRUE(errors.empty());
}

TEST_F(AppTest, ASyncInputThatCannotOpenShowsTheMidiSheetWithTheError) {
    std::string ini = ReadText(TROVAMIX_TEST_DATA "/settings/every-value.ini");
    ini.replace(ini.find("Sync to Input=1"), 15, "Sync to Input=0");
    WriteText(settingsFile, ini);
    failMidiInOpen = true;
    TTrovamixApp& a = Start();
    ASSERT_TRUE(errors.empty());
    a.SettingsWindow().SelectSheet(TMIDIForm::WAVSheet);
    QAction* sync = a.MainForm().Action(TCommand::SyncToInput);
    ASSERT_TRUE(sync && sync->isEnabled());
    sync->trigger();  // "S&ync to input" with an input that fails to open
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(modalShows, 1) << "hidden, so shown modally";
    EXPECT_EQ(a.SettingsWindow().CurrentSheet(), TMIDIForm::MIDISheet);
}

// Stored values the program must read as the user meant them, and save back.
TEST_F(AppTest, StoredValuesOutOfTheUsualRangeAreReadAsMeant) {
    // Any non-zero bank select method is controller 32; saved back as 1.
    WriteText(settingsFile, "[TX SETTINGS]\nBank Select Method=5\nDS Driver=0\n");
    TTrovamixApp& a = Start();
    EXPECT_EQ(a.SettingsWindow().BankSelectMethod(), 1);
    EXPECT_NE(a.Engine().Settings.BankSelectMethod, 0);
    ASSERT_TRUE(Close());
    EXPECT_NE(ReadText(settingsFile).find("Bank Select Method=1\n"), std::string::npos);

    // An output device number past every device is "-none-", not the first entry.
    WriteText(settingsFile, "[TX SETTINGS]\nOutput Device=2147483647\nDS Driver=0\n");
    TTrovamixApp& b = Start();
    EXPECT_FALSE(midiOutPort->IsOpen());
    EXPECT_EQ(midiOutPort->OpenedIndex(), -2);
    EXPECT_EQ(b.SettingsWindow().OutputItem(), int(midiOutPort->PortNames().size()) + 1);
}

// A sound device that fails to open at start-up leaves the stored buffer
// length in force, and the close saves it back, not the built-in length.
TEST_F(AppTest, TheBufferLengthSurvivesASoundDeviceThatFailsToOpen) {
    WriteText(settingsFile, "[TX SETTINGS]\nDS Driver=0\nBuffer Length=2304\n");
    audio.Arm = [](TNullAudioDevice& d) { d.FailNextOpen(TDeviceFailure::Refused); };
    TTrovamixApp& a = Start();
    EXPECT_FALSE(a.Streaming().DeviceOpen());
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(a.Lock().BlockFrames, 2304);
    ASSERT_TRUE(Close());
    EXPECT_NE(ReadText(settingsFile).find("Buffer Length=2304\n"), std::string::npos) << ReadText(settingsFile);
}

TEST_F(AppTest, TooltipsTakeTheProgramsHintColour) {
    Start();
    EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase), QColor(204, 187, 187));
}

// F1 in the settings window opens the program's help at the sheet's topic.
TEST_F(AppTest, F1InTheSettingsWindowOpensTheHelpAtItsSheet) {
    TTrovamixApp& a = Start();
    a.SettingsWindow().ShowSheet(TMIDIForm::WAVSheet);
    QTest::keyClick(&a.SettingsWindow(), Qt::Key_F1);
    auto* help = a.MainForm().findChild<THelpWindow*>();
    ASSERT_NE(help, nullptr) << "no help window";
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->CurrentTopic(), SettingsHelpAnchor(2));
}

}  // namespace
}  // namespace tx
