// The running program on its per-user socket: the companion editor's hello,
// docking, files and close, and loop files handed over by a second start.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "TestCompanion.h"
#include "TestSupport.h"
#include "Wav16.h"
#include "app/InstanceLink.h"
#include "app/TrovamixApp.h"
#include "desktop/MainMenu.h"
#include "desktop/Tools.h"
#include "engine/NullAudioDevice.h"
#include "loopfile/LoopFile.h"
#include "midi/MidiPort.h"
#include "window/MainForm.h"

namespace tx {
namespace {

namespace fs = std::filesystem;

struct Prompts : TWorkflowPrompts {
    TAnswer AskYesNoCancel(const std::string& t) override { return Questions.push_back(t), SaveAnswer; }
    bool AskYesNo(const std::string&) override { return false; }
    std::optional<std::string> AskOpenName(const std::string&) override { return {}; }
    std::optional<std::string> AskSaveName(const std::string&) override { return {}; }
    void ShowError(const std::string& t) override { Errors.push_back(t); }
    void ShowWarning(const std::string&) override {}
    TAnswer SaveAnswer = TAnswer::No;
    std::vector<std::string> Questions, Errors;
};

class LinkedApp : public ::testing::Test {
protected:
    void SetUp() override {
        fs::permissions(dir.path(), fs::perms::owner_all);
        program = dir.path() / "program";
        fs::create_directories(program / "Styles" / "Default");
        socket = (dir.path() / "trovamix.socket").string();
    }
    // `false` when the program handed its files over and ended.
    bool Start(std::vector<std::string> args = {"/NoSplash"}) {
        TAppSystems systems{&audio, std::make_unique<TRecordingMidiOutPort>(), std::make_unique<TFakeMidiInPort>()};
        TAppOptions options;
        options.Args = std::move(args);
        options.ProgramFolder = program.string() + "/";
        options.SettingsPath = (dir.path() / "Trovamix.ini").string();
        options.InstanceSocket = socket;
        options.Prompts = &prompts;
        options.ShowError = [this](const std::string& text) { errors.push_back(text); };
        options.ShowModal = [](QDialog&) {};
        app = std::make_unique<TTrovamixApp>(std::move(systems), std::move(options));
        const bool started = app->Start();
        QCoreApplication::processEvents();
        return started;
    }
    TTrovamixMainForm& Form() { return app->MainForm(); }
    QString Hint() { return Form().findChild<QLabel*>("InfoLabel")->text(); }
    bool WaitForHint(const QString& text) {
        for (int i = 0; i < 200 && Hint() != text; ++i) QTest::qWait(10);
        return Hint() == text;
    }
    QString SocketPath() const { return QString::fromStdString(socket); }

    txtest::TempDir dir;
    fs::path program;
    std::string socket;
    TNullAudioSystem audio;
    Prompts prompts;
    std::vector<std::string> errors;
    std::unique_ptr<TTrovamixApp> app;
};

TEST_F(LinkedApp, CompanionSaysHelloIsDockedWhenLinkedAndFollowsTheWindow) {
    ASSERT_TRUE(Start());
    Form().move(300, 200);
    txtest::TTestCompanion companion(SocketPath());
    ASSERT_TRUE(companion.Connected());
    // No slot links it: the hint, but no dock.
    Form().Tools[0] = {"Sonelo", "/nonexistent/sonelo", 0};
    companion.Hello();
    ASSERT_TRUE(WaitForHint("Sonelo opened"));
    Form().move(320, 210);
    EXPECT_FALSE(companion.WaitFor("dock 320 210", 300));
    // Linked: docked on hello and again whenever the window moves.
    Form().Tools[0].Params = ToolLinked;
    Form().ShowHintText("|something else");
    companion.Hello();
    ASSERT_TRUE(WaitForHint("Sonelo opened"));
    EXPECT_TRUE(companion.WaitFor("dock 320 210"));
    Form().move(450, 120);
    EXPECT_TRUE(companion.WaitFor("dock 450 120"));
    EXPECT_TRUE(companion.Received().empty());
}

TEST_F(LinkedApp, AFileFromTheCompanionLoadsIntoTheFirstSelectedChannelAsOneUndoStep) {
    ASSERT_TRUE(Start());
    const fs::path kick = dir / "My Kit" / "kick 100%.wav";
    fs::create_directories(kick.parent_path());
    txtest::WriteConstantWav16(kick, 4410, 1000, -1000);
    Form().SelectAlone(2);
    const std::string nameBefore = app->Loop().Channel(2).Name;
    txtest::TTestCompanion companion(SocketPath());
    ASSERT_TRUE(companion.Connected());
    // Before its hello a peer is not the companion: its file is not taken.
    companion.SendFile(kick.string());
    companion.Hello();
    ASSERT_TRUE(WaitForHint("Sonelo opened"));
    EXPECT_TRUE(app->Loop().Channel(2).SampleFileName.empty());

    companion.SendFile(kick.string());
    ASSERT_TRUE(WaitForHint("Received kick 100%.wav"));
    const TChannel& c = app->Loop().Channel(2);
    EXPECT_EQ(fs::path(c.SampleFileName).filename(), "kick 100%.wav");
    EXPECT_EQ(c.Sample.Length, 4410);
    for (int other : {0, 1, 3}) EXPECT_TRUE(app->Loop().Channel(other).SampleFileName.empty());
    const QString shots = QStringLiteral(TROVAMIX_BINARY_DIR "/screenshots");
    QDir().mkpath(shots);
    EXPECT_TRUE(Form().grab().save(shots + "/companion-file-received.png"));
    EXPECT_TRUE(app->Loop().Modified);

    // One undo takes the sample, its name and the channel name back; redo brings them again.
    Form().RunCommand(TCommand::Undo);
    EXPECT_TRUE(app->Loop().Channel(2).SampleFileName.empty());
    EXPECT_EQ(app->Loop().Channel(2).Name, nameBefore);
    EXPECT_EQ(app->Loop().Channel(2).Sample.Length, 0);
    Form().RunCommand(TCommand::Redo);
    EXPECT_EQ(fs::path(app->Loop().Channel(2).SampleFileName).filename(), "kick 100%.wav");
    EXPECT_EQ(app->Loop().Channel(2).Sample.Length, 4410);
}

TEST_F(LinkedApp, GarbageAndFilesThatAreNotSamplesChangeNothing) {
    ASSERT_TRUE(Start());
    txtest::TTestCompanion companion(SocketPath());
    companion.Hello();
    ASSERT_TRUE(WaitForHint("Sonelo opened"));
    fs::create_directories(dir / "folder.wav");
    txtest::WriteFileBytes(dir / "notes.txt", std::vector<unsigned char>{'h', 'i'});
    struct Case {
        std::string path, hint;
    };
    const std::string missing = (dir / "gone.wav").string();
    for (const Case& k : {Case{missing, "Sonelo sent a file that does not exist: " + missing},
                          Case{(dir / "folder.wav").string(),
                               "Sonelo sent a name that is not a file: " + (dir / "folder.wav").string()},
                          Case{(dir / "notes.txt").string(),
                               "Sonelo sent a file that is not a WAV file: " + (dir / "notes.txt").string()}}) {
        companion.SendFile(k.path);
        EXPECT_TRUE(WaitForHint(QString::fromStdString(k.hint))) << Hint().toStdString();
    }
    // Lines that are no message at all: not obeyed, and the program lives on.
    Form().ShowHintText("|quiet");
    companion.SendRaw("file relative.wav\nfile /a%zz.wav\nfile /x%00.wav\nclose please\n\x01\x02\xff\n" +
                      std::string(MaxLinkLine + 10, 'x') + "close\n");
    QTest::qWait(300);
    EXPECT_EQ(Hint(), "quiet");
    EXPECT_TRUE(Form().isVisible());
    for (int ch = 0; ch < app->Loop().ChannelCount(); ++ch) EXPECT_TRUE(app->Loop().Channel(ch).SampleFileName.empty());
    EXPECT_FALSE(app->Loop().Modified);
}

TEST_F(LinkedApp, TheMenuItemAndTheShutdownAskARunningCompanionToClose) {
    ASSERT_TRUE(Start());
    Form().Tools[2] = {"Sonelo", "/nonexistent/sonelo", ToolLinked};
    Form().RebuildToolsMenu();
    QAction* item = Form().findChild<QAction*>("Tool2");
    ASSERT_TRUE(item);
    {
        txtest::TTestCompanion first(SocketPath());
        first.Hello();
        ASSERT_TRUE(WaitForHint("Sonelo opened"));
        EXPECT_TRUE(Form().CompanionRunning());
        item->trigger();
        EXPECT_TRUE(first.WaitFor("close"));
    }  // it closes: the entry starts the program again
    for (int i = 0; i < 100 && Form().CompanionRunning(); ++i) QTest::qWait(10);
    EXPECT_FALSE(Form().CompanionRunning());

    txtest::TTestCompanion second(SocketPath());
    txtest::TTestCompanion bystander(SocketPath());  // never said hello: not told anything
    Form().ShowHintText("|waiting");
    second.Hello();
    ASSERT_TRUE(WaitForHint("Sonelo opened"));
    second.Forget();
    ASSERT_TRUE(Form().close());
    EXPECT_TRUE(second.WaitFor("close"));
    EXPECT_TRUE(bystander.Received().empty());
}

class HandOver : public LinkedApp {
protected:
    void SetUp() override {
        LinkedApp::SetUp();
        TLoop loop;
        loop.Tempo = 133;
        loopFile = (dir / "handed.txp").string();
        ASSERT_EQ(WriteLoop(loopFile, loop), "");
    }
    std::string loopFile;
};

TEST_F(HandOver, ALoopFileGivenToASecondStartOpensInTheRunningOneAfterItsSaveQuestion) {
    ASSERT_TRUE(Start());
    app->Loop().Modified = true;
    TInstanceLink second(SocketPath());
    ASSERT_EQ(second.Start(), TInstanceLink::TStart::AnotherInstance);
    // Cancel keeps the modified loop.
    prompts.SaveAnswer = TAnswer::Cancel;
    ASSERT_TRUE(second.RequestOpen({loopFile}));
    for (int i = 0; i < 100 && prompts.Questions.empty(); ++i) QTest::qWait(10);
    EXPECT_EQ(prompts.Questions.size(), 1u);
    EXPECT_NE(app->Loop().Tempo, 133);
    EXPECT_NE(app->Workflow().LoopFileName(), loopFile);
    // No: the handed-over loop opens.
    prompts.SaveAnswer = TAnswer::No;
    ASSERT_TRUE(second.RequestOpen({loopFile}));
    for (int i = 0; i < 200 && app->Workflow().LoopFileName() != loopFile; ++i) QTest::qWait(10);
    EXPECT_EQ(app->Workflow().LoopFileName(), loopFile);
    EXPECT_EQ(app->Loop().Tempo, 133);
    EXPECT_EQ(prompts.Questions.size(), 2u);
    EXPECT_TRUE(Form().isVisible());
}

TEST_F(HandOver, ASecondStartWithLoopFilesHandsThemOverAsAbsolutePathsAndEnds) {
    TInstanceLink running(SocketPath());
    ASSERT_EQ(running.Start(), TInstanceLink::TStart::Listening);
    QSignalSpy opens(&running, &TInstanceLink::openRequested);
    QSignalSpy closes(&running, &TInstanceLink::closeRequested);
    // Given relative to the folder the file manager started it in.
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path());
    const bool started = Start({"/NoSplash", "handed.txp", "B.TXP"});
    fs::current_path(cwd);
    EXPECT_FALSE(started);
    for (int i = 0; i < 200 && opens.count() < 2; ++i) QTest::qWait(10);
    ASSERT_EQ(opens.count(), 2);
    EXPECT_EQ(opens.at(0).at(0).toString().toStdString(), loopFile);
    EXPECT_EQ(opens.at(1).at(0).toString().toStdString(), (dir / "B.TXP").string());
    EXPECT_EQ(closes.count(), 0);
    EXPECT_FALSE(fs::exists(dir / "Trovamix.ini"));  // it never ran, so it saved nothing
}

}  // namespace
}  // namespace tx
