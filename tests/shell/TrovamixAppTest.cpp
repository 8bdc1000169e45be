// The program from start to close on null sound and MIDI systems: what the
// settings file holds afterwards, what a cancelled close leaves running, the
// command line, the "Close DS" hooks, the start sound and the MIDI set-up.
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
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "Wav16.h"
#include "editors/MIDIForm.h"
#include "editors/WAVRenderForm.h"
#include "engine/NullAudioDevice.h"
#include "loopfile/LoopFile.h"
#include "midi/MidiPort.h"
#include "shell/MainForm.h"
#include "shell/TitleForm.h"
#include "shell/TrovamixApp.h"

namespace tx {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteText(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

class ScriptedPrompts : public TWorkflowPrompts {
public:
    TAnswer AskYesNoCancel(const std::string& text) override {
        Questions.push_back(text);
        return SaveAnswer;
    }
    bool AskYesNo(const std::string& text) override {
        Questions.push_back(text);
        return YesNo;
    }
    std::optional<std::string> AskOpenName(const std::string&) override { return std::nullopt; }
    std::optional<std::string> AskSaveName(const std::string&) override { return SaveName; }
    void ShowError(const std::string& text) override { Errors.push_back(text); }
    void ShowWarning(const std::string& text) override { Errors.push_back(text); }

    TAnswer SaveAnswer = TAnswer::No;
    bool YesNo = false;
    std::optional<std::string> SaveName;
    std::vector<std::string> Questions, Errors;
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        program = dir.path() / "program";
        fs::create_directories(program / "Styles" / "Default");
        settingsFile = dir.path() / "config" / "Trovamix" / "Trovamix.ini";
    }
    void TearDown() override {
        if (QWidget* splash = TTitleForm::Current()) splash->close();
        app.reset();
    }

    TTrovamixApp& Start(std::vector<std::string> args = {"/NoSplash"}) {
        auto out = std::make_unique<TRecordingMidiOutPort>(std::vector<std::string>{"Recorder"});
        auto in = std::make_unique<TFakeMidiInPort>(std::vector<std::string>{"Fake in"});
        midiOutPort = out.get();
        midiOutPort->FailOpen = failMidiOpen;
        midiInPort = in.get();
        TAppSystems systems;
        systems.Audio = &audio;
        systems.MidiOut = std::move(out);
        systems.MidiIn = std::move(in);
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
        QCoreApplication::processEvents();  // the first activation
        return *app;
    }
    bool Close() { return app->MainForm().close(); }
    QLabel* FormatLabel() { return app->SettingsWindow().findChild<QLabel*>("FormatLabel"); }

    txtest::TempDir dir;
    fs::path program, settingsFile;
    TNullAudioSystem audio;
    TRecordingMidiOutPort* midiOutPort = nullptr;
    TFakeMidiInPort* midiInPort = nullptr;
    bool failMidiOpen = false;
    ScriptedPrompts prompts;
    std::vector<std::string> errors;
    int modalShows = 0;
    std::unique_ptr<TTrovamixApp> app;
};

// --- the settings file

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
    fs::create_directories(program / "Styles" / "Night");
    const std::vector<TStyleEntry> styles = ListStyles(program.string() + "/", "");
    ASSERT_EQ(styles.size(), 2u);
    const int night = styles[0].Name == "Night" ? 0 : 1;
    // Every value away from its default, each device chosen, in the save order.
    const std::string stored = "[TX FAVORITES]\nCount=2\n0=/samples/kicks\n1=/samples/hats\n\n"
                               "[MainMenuToolWindow]\nVisible=1\nDockedTo=TopDock\nDockRow=0\nDockPos=0\n"
                               "FloatLeft=0\nFloatTop=0\n\n"
                               "[MenuToolWindow]\nVisible=1\nDockedTo=TopDock\nDockRow=1\nDockPos=0\n"
                               "FloatLeft=0\nFloatTop=0\n\n"
                               "[BottomToolWindow]\nVisible=0\nDockedTo=BottomDock\nDockRow=0\nDockPos=0\n"
                               "FloatLeft=0\nFloatTop=0\n\n"
                               "[TX SETTINGS]\nWindowX=40\nWindowY=60\nChanSetX=7\nChanSetY=9\n"
                               "Input Device=0\nOutput Device=0\nDS Driver=0\nBank Select Method=1\n"
                               "Easy Move=0\nAuto Arrange=0\nAuto Maximize=0\nMinimized=0\nSplash Screen=0\n"
                               "Close DS=1\nMouse Use=0\nLedsOver=1\nPreview WAV=0\nStyle=" +
                               std::to_string(night) +
                               "\nAdjust Channel Name=0\nRendering Remainder=0\nUse WAV only=0\nSurround=1\n"
                               "Use Plugin=0\nSettings sheet=0\nScope Style=2\nSync to Input=1\nScope Enabled=0\n"
                               "Buffer Length=1152\nAhead Length=2000\n"
                               "Last Opened 0=/loops/b.txp\nLast Opened 1=/loops/a.txp\n\n"
                               "[TX SETTINGS\\PlayListForm]\nLeft=10\nTop=20\nWidth=300\nHeight=400\n\n"
                               "[TX TOOL 0]\nName=Editor\nFileName=/usr/bin/editor\nParams=3\n\n"
                               "[TX TOOL 1]\nName=\nFileName=\nParams=0\n\n[TX TOOL 2]\nName=\nFileName=\nParams=0\n\n"
                               "[TX TOOL 3]\nName=\nFileName=\nParams=0\n\n[TX TOOL 4]\nName=\nFileName=\nParams=0\n";
    WriteText(settingsFile, stored);

    TTrovamixApp& a = Start();
    EXPECT_TRUE(errors.empty()) << errors.front();
    // Each value reached what it drives.
    EXPECT_TRUE(a.Streaming().DeviceOpen());
    EXPECT_EQ(midiOutPort->OpenedIndex(), 0);
    EXPECT_TRUE(midiInPort->IsOpen());  // synchronised to the input
    EXPECT_TRUE(a.Engine().SyncToInput);
    EXPECT_EQ(a.Lock().BlockFrames, 1152);
    EXPECT_EQ(a.StyleIndex(), night);
    EXPECT_TRUE(a.Engine().Settings.Surround);
    EXPECT_EQ(a.Engine().Settings.RenderingRemainder, TRemainder::Cut);
    EXPECT_EQ(a.Engine().Settings.BankSelectMethod, 1);
    EXPECT_EQ(a.Workflow().RecentFiles[1], "/loops/a.txp");
    EXPECT_FALSE(a.MainForm().Action(TCommand::WavOnly)->isChecked());
    EXPECT_FALSE(a.SettingsWindow().isVisible());  // outputs are chosen
    EXPECT_EQ(FormatLabel()->text(), "(set at 44100Hz 16Bit STEREO)");

    ASSERT_TRUE(Close());
    EXPECT_FALSE(a.Streaming().DeviceOpen());
    EXPECT_FALSE(midiInPort->IsOpen());
    EXPECT_FALSE(midiOutPort->IsOpen());
    EXPECT_EQ(ReadText(settingsFile), stored);
}

TEST_F(AppTest, AStoredBufferLengthIsSavedAsTheBlockTheEngineUses) {
    WriteText(settingsFile, "[TX SETTINGS]\nBuffer Length=1000\nDS Driver=0\n");
    Start();
    EXPECT_EQ(app->Lock().BlockFrames, 576);
    ASSERT_TRUE(Close());
    EXPECT_NE(ReadText(settingsFile).find("Buffer Length=576\n"), std::string::npos);
}

// --- the close

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
    EXPECT_TRUE(a.SettingsWindow().isVisible());
    EXPECT_EQ(prompts.Questions.size(), 1u);
    EXPECT_TRUE(a.MainForm().isVisible());
    EXPECT_TRUE(a.Engine().Playing);
    EXPECT_TRUE(a.Streaming().DeviceOpen());
    EXPECT_TRUE(a.Streaming().MixThreadRunning());
    EXPECT_TRUE(midiOutPort->IsOpen());
    EXPECT_FALSE(a.Lifecycle().Closing());
    EXPECT_FALSE(a.SettingsSaved());
    EXPECT_EQ(ReadText(settingsFile), before);

    prompts.SaveAnswer = TAnswer::No;
    EXPECT_TRUE(Close());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(a.SettingsWindow().isVisible());  // or the event loop would never end
    EXPECT_FALSE(a.Engine().Playing);
    EXPECT_FALSE(a.Streaming().DeviceOpen());
    EXPECT_TRUE(a.SettingsSaved());
    EXPECT_NE(ReadText(settingsFile), before);
}

// --- the command line

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
        TAppSystems systems;
        systems.Audio = &audio;
        systems.MidiOut = std::make_unique<TRecordingMidiOutPort>();
        systems.MidiIn = std::make_unique<TFakeMidiInPort>();
        TAppOptions options;
        options.Args = c.args;
        options.ProgramFolder = program.string() + "/";
        options.SettingsPath = settingsFile.string();
        options.InstanceCheck = false;
        options.Prompts = &prompts;
        app = std::make_unique<TTrovamixApp>(std::move(systems), std::move(options));
        app->Start();  // the first activation has not come yet: a splash would still show
        EXPECT_EQ(TTitleForm::Current() != nullptr, c.splash);
        app->FirstActivation();
        EXPECT_EQ(TTitleForm::Current(), nullptr);
        app.reset();
        QCoreApplication::processEvents();
    }
}

TEST_F(CommandLineStart, TwoFilesOpenInOrderAndTheSecondStaysLoaded) {
    TTrovamixApp& a = Start({"/NoSplash", files[0], files[1]});
    EXPECT_EQ(a.Workflow().LoopFileName, files[1]);
    EXPECT_EQ(a.Loop().Tempo, 101);
    EXPECT_EQ(a.Workflow().RecentFiles[0], files[1]);
    EXPECT_EQ(a.Workflow().RecentFiles[1], files[0]);
    EXPECT_FALSE(a.MainForm().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(CommandLineStart, TopMostWithAFileOpensItAfterTheEmptyLoop) {
    TTrovamixApp& a = Start({"/t", "/NoSplash", files[0]});
    EXPECT_TRUE(a.MainForm().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(a.Workflow().LoopFileName, files[0]);
    EXPECT_EQ(a.Loop().Tempo, 100);
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
    QSignalSpy commands(&a.MainForm(), &TTrovamixMainForm::CommandRun);
    EXPECT_TRUE(a.Workflow().SaveAs());
    ASSERT_FALSE(prompts.Questions.empty());
    EXPECT_EQ(prompts.Questions.back(), TLoopWorkflow::RenderQuestion);
    EXPECT_FALSE(dialogTitle.isEmpty());
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands[0][0].value<TCommand>(), TCommand::RenderWav);
}

// --- "Close DS"

TEST_F(AppTest, CloseDSReleasesTheDeviceWhileInactiveAndNotOnceClosing) {
    WriteText(settingsFile, "[TX SETTINGS]\nDS Driver=0\nClose DS=1\n");
    TTrovamixApp& a = Start();
    ASSERT_TRUE(a.Streaming().DeviceOpen());
    a.ApplicationStateChanged(Qt::ApplicationInactive);
    EXPECT_FALSE(a.Streaming().DeviceOpen());
    EXPECT_FALSE(a.Streaming().MixThreadRunning());
    a.ApplicationStateChanged(Qt::ApplicationActive);
    EXPECT_TRUE(a.Streaming().DeviceOpen());
    EXPECT_TRUE(a.Streaming().MixThreadRunning());

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
        EXPECT_TRUE(a.Streaming().DeviceOpen());
        EXPECT_TRUE(a.Lifecycle().ReleaseWaitingForRender());
        EXPECT_TRUE(QTest::qWaitFor([&] { return !a.Streaming().DeviceOpen(); }, 10000));
        EXPECT_FALSE(render.Rendering());
        ASSERT_NE(render.Result(), nullptr);
        EXPECT_TRUE(render.Result()->Ok);
    }
    a.ApplicationStateChanged(Qt::ApplicationActive);
    ASSERT_TRUE(a.Streaming().DeviceOpen());

    // Once the close has passed its question, activation never reopens.
    a.ApplicationStateChanged(Qt::ApplicationInactive);
    ASSERT_TRUE(Close());
    a.ApplicationStateChanged(Qt::ApplicationActive);
    EXPECT_FALSE(a.Streaming().DeviceOpen());
}

// --- the start sound

TEST_F(AppTest, StartSoundComesFromTheStyleThenDefaultAndIsSilentWhenMissing) {
    Start();
    EXPECT_FALSE(app->StartSoundPlayed());
    EXPECT_EQ(app->Engine().VoiceCount, 0);
    EXPECT_TRUE(errors.empty());
    ASSERT_TRUE(Close());
    app.reset();

    txtest::WriteConstantWav16(program / "Styles" / "Default" / "StartSnd.WAV", 300, 1000, -1000);
    fs::create_directories(program / "Styles" / "Night");
    txtest::WriteConstantWav16(program / "Styles" / "Night" / "StartSnd.WAV", 500, 2000, -2000);
    const std::vector<TStyleEntry> styles = ListStyles(program.string() + "/", "");
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(styles[size_t(i)].Name);
        WriteText(settingsFile, "[TX SETTINGS]\nStyle=" + std::to_string(i) + "\n");
        Start();
        EXPECT_TRUE(app->StartSoundPlayed());
        EXPECT_EQ(app->StartSound().Length, styles[size_t(i)].Name == "Night" ? 500 : 300);
        EXPECT_EQ(app->Engine().VoiceCount, 1);
        app.reset();
    }
}

// --- MIDI set-up and styles

TEST_F(AppTest, AMidiOutputThatFailsShowsItsErrorAndTheSettingsWindowOnce) {
    WriteText(settingsFile, "[TX SETTINGS]\nOutput Device=0\nDS Driver=0\n");
    failMidiOpen = true;
    Start();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(modalShows, 1);
    failMidiOpen = false;
    app.reset();

    // Stored beyond the list: clamped to "-none-", nothing opened, nothing said.
    errors.clear();
    modalShows = 0;
    WriteText(settingsFile, "[TX SETTINGS]\nOutput Device=9\nInput Device=-4\nDS Driver=0\n");
    TTrovamixApp& a = Start();
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(modalShows, 0);
    EXPECT_FALSE(midiOutPort->IsOpen());
    EXPECT_EQ(a.SettingsWindow().OutputItem(), 2);
    EXPECT_EQ(a.SettingsWindow().InputItem(), 0);
}

TEST_F(AppTest, AStyleChosenInTheSettingsWindowLoadsAtOnceAndIsSaved) {
    fs::create_directories(program / "Styles" / "Night");
    TTrovamixApp& a = Start();
    auto* box = a.SettingsWindow().findChild<QComboBox*>("StylesBox");
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->count(), 2);
    EXPECT_EQ(box->currentText(), "Default");
    const int night = box->findText("Night");
    box->setCurrentIndex(night);
    emit box->activated(night);
    EXPECT_EQ(a.StyleIndex(), night);
    ASSERT_TRUE(Close());
    EXPECT_NE(ReadText(settingsFile).find("Style=" + std::to_string(night) + "\n"), std::string::npos);
}

TEST_F(AppTest, TheFormatLabelSaysNotOpenedWhileNoneIsChosen) {
    WriteText(settingsFile, "[TX SETTINGS]\nDS Driver=0\n");
    TTrovamixApp& a = Start();
    a.SettingsWindow().ShowSheet(TMIDIForm::WAVSheet);
    EXPECT_EQ(FormatLabel()->text(), "(set at 44100Hz 16Bit STEREO)");
    // The choice is the control's; the device is still open until it acts on it.
    a.SettingsWindow().SetDSDriver(1);
    EXPECT_TRUE(a.Streaming().DeviceOpen());
    EXPECT_EQ(FormatLabel()->text(), "(not opened)");
}

}  // namespace
}  // namespace tx
