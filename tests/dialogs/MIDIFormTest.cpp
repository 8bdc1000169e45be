// Core MIDI headers first: they name a parameter "emit", which Qt defines as a macro.
#include "midi/MidiOut.h"
// clang-format off
#include "dialogs/MIDIForm.h"
#include "dialogs/MIDIFormSettings.h"
// clang-format on

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "EditorsTestSupport.h"
#include "TestSupport.h"
#include "dialogs/CoreSettingsActions.h"
#include "engine/NullAudioDevice.h"
#include "engine/Streaming.h"
#include "midi/MidiPort.h"

namespace {

// Records what the window asks of the program, in order.
class FakeActions : public tx::TSettingsActions {
public:
    std::vector<std::string> Calls;
    std::vector<std::string> Outputs{"MIDI Mapper", "Synth", "-none-"};
    std::vector<std::string> Audio{"JACK: system", "-none-"};
    bool PluginStarts = true;
    int32_t Usage = 5;

    std::vector<std::string> MidiOutputList() override { return Outputs; }
    std::vector<std::string> MidiInputList() override { return {"Clock in", "-none-"}; }
    std::string OpenMidiOut(int i) override { return log("OpenMidiOut", i), ""; }
    std::string OpenMidiIn(int i) override { return log("OpenMidiIn", i), ""; }
    void SetBankSelectMethod(int m) override { log("Bank", m); }
    std::vector<std::string> AudioOutputList() override { return Audio; }
    std::string OpenAudioDevice(int i) override { return log("OpenAudioDevice", i), ""; }
    std::string DeviceFormat() override { return "(set at 44100Hz 16Bit STEREO)"; }
    void SetBufferLength(int32_t f) override { log("Buffer", f); }
    void SetAheadLength(int32_t f) override { log("Ahead", f); }
    void SetTiming(bool on) override { log("Timing", on); }
    int32_t CpuUsage() override { return Usage; }
    int VoiceCount() override { return 3; }
    int32_t UnderrunCount() override { return 7; }
    void SetRemainder(tx::TRemainder r) override { log("Remainder", int(r)); }
    void SetSurround(bool on) override { log("Surround", on); }
    bool SetPluginEnabled(bool on) override { return log("Plugin", on), PluginStarts; }

private:
    void log(const char* what, int v) { Calls.push_back(std::string(what) + " " + std::to_string(v)); }
};

class MIDIFormTest : public ::testing::Test {
protected:
    FakeActions actions;
    tx::TMIDIForm form{actions};
    QStringList messages;

    void SetUp() override {
        form.ShowMessage = [this](const QString& t) { messages << t; };
        form.ShowNotice = [this](const QString& t) { messages << t; };
        form.SetStyles({"Default", "Night"});
    }
    template <class T>
    T* child(const char* name) {
        T* w = form.findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString text(const char* label) { return child<QLabel>(label)->text(); }
};

struct SliderCase {
    const char* name;
    int bufMs, aheadMs;  // loaded lengths
    bool moveBuffer;     // which slider the user moves
    int toMs;
    int wantBufMs, wantAheadMs;
    std::vector<std::string> calls;  // what reached the program, in order
};

class SliderCoupling : public MIDIFormTest, public ::testing::WithParamInterface<SliderCase> {};

TEST_P(SliderCoupling, MovesTheOtherSliderAndActsInASafeOrder) {
    const SliderCase& c = GetParam();
    form.SetBufferLength(tx::MsToFrames(c.bufMs));
    form.SetAheadLength(tx::MsToFrames(c.aheadMs));
    ASSERT_TRUE(actions.Calls.empty()) << "loading a value must not act";
    child<QSlider>(c.moveBuffer ? "BufLSlider" : "AheadBufSlider")->setValue(c.toMs);
    EXPECT_EQ(child<QSlider>("BufLSlider")->value(), c.wantBufMs);
    EXPECT_EQ(child<QSlider>("AheadBufSlider")->value(), c.wantAheadMs);
    EXPECT_EQ(form.BufferLength(), tx::MsToFrames(c.wantBufMs));
    EXPECT_EQ(form.AheadLength(), tx::MsToFrames(c.wantAheadMs));
    EXPECT_EQ(actions.Calls, c.calls);
    EXPECT_EQ(text("BufLLabel"), QStringLiteral("Buffer Length (%1ms)").arg(c.wantBufMs));
    EXPECT_EQ(text("AheadBufLabel"), QStringLiteral("Ahead Duration (%1ms)").arg(c.wantAheadMs));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SliderCoupling,
    ::testing::Values(
        SliderCase{"BufferBelowAheadPullsAheadDownFirst", 100, 100, true, 50, 50, 50, {"Ahead 2205", "Buffer 2205"}},
        SliderCase{
            "AheadAboveBufferPushesBufferUpFirst", 100, 100, false, 200, 200, 200, {"Buffer 8820", "Ahead 8820"}},
        SliderCase{"AheadBelowBufferMovesAlone", 200, 100, false, 150, 200, 150, {"Ahead 6615"}},
        SliderCase{"BufferAboveAheadMovesAlone", 100, 100, true, 300, 300, 100, {"Buffer 13230"}},
        SliderCase{"HundredMsIs4410Frames", 50, 50, true, 100, 100, 50, {"Buffer 4410"}},
        SliderCase{"ZeroTakesBoth", 20, 20, true, 0, 0, 0, {"Ahead 0", "Buffer 0"}},
        SliderCase{"TopOfTheRange", 500, 10, false, 500, 500, 500, {"Ahead 22050"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MIDIFormTest, StoredValuesRoundTripWithoutActing) {
    form.SetBufferLength(4410);
    EXPECT_EQ(child<QSlider>("BufLSlider")->value(), 100);
    EXPECT_EQ(form.BufferLength(), 4410);  // the stored frames, not a rounded ms figure
    form.SetAheadLength(2000);
    EXPECT_EQ(form.AheadLength(), 2000);
    EXPECT_EQ(child<QSlider>("AheadBufSlider")->value(), 45);
    form.SetOutputItem(99);  // clamped to "-none-"
    EXPECT_EQ(form.OutputItem(), 2);
    form.SetDSDriver(0);
    form.SetBankSelectMethod(1);
    form.SetRenderingRemainder(tx::TRemainder::Leave);
    form.SetSurround(true);
    form.SetLedsOver(true);
    form.SetEasyMove(false);
    form.SetUsePlugin(true);
    form.SetStyleIndex(1);
    EXPECT_EQ(form.DSDriver(), 0);
    EXPECT_EQ(form.BankSelectMethod(), 1);
    EXPECT_EQ(form.RenderingRemainder(), tx::TRemainder::Leave);
    EXPECT_TRUE(form.Surround());
    EXPECT_TRUE(form.LedsOver());
    EXPECT_FALSE(form.EasyMove());
    EXPECT_TRUE(form.UsePlugin());
    EXPECT_EQ(child<QComboBox>("StylesBox")->currentText(), QStringLiteral("Night"));
    EXPECT_TRUE(actions.Calls.empty());
}

TEST_F(MIDIFormTest, UserChangesActAtOnce) {
    QSignalSpy style(&form, &tx::TMIDIForm::styleChosen);
    QSignalSpy leds(&form, &tx::TMIDIForm::ledsOverChanged);
    form.show();
    actions.Calls.clear();
    child<QComboBox>("cmbOutput")->activated(1);
    child<QComboBox>("DSDriverBox")->activated(0);
    child<QRadioButton>("Bank32Button")->click();
    child<QRadioButton>("CutRemain")->click();
    child<QCheckBox>("SurroundBox")->click();
    EXPECT_EQ(actions.Calls,
              (std::vector<std::string>{"OpenMidiOut 1", "OpenAudioDevice 0", "Bank 1", "Remainder 0", "Surround 1"}));
    child<QCheckBox>("InvertChanBox")->click();
    EXPECT_EQ(leds.count(), 1);
    auto* styles = child<QComboBox>("StylesBox");
    styles->setCurrentIndex(1);
    styles->activated(1);
    ASSERT_EQ(style.count(), 1);
    EXPECT_EQ(style[0][0].toInt(), 1);
    EXPECT_EQ(form.StyleIndex(), 1);
}

// Styles are told apart by their place in the list: names may differ only in
// case, or repeat between the program's and the user's style folders.
TEST_F(MIDIFormTest, StylesWhoseNamesDifferOnlyInCaseCanBothBeChosen) {
    QSignalSpy style(&form, &tx::TMIDIForm::styleChosen);
    auto* styles = child<QComboBox>("StylesBox");
    form.SetStyles({"Night", "night", "Night"});
    for (int i : {1, 2, 0}) {
        form.SetStyleIndex(i);
        EXPECT_EQ(styles->currentIndex(), i);
        styles->activated(i);
        EXPECT_EQ(style.takeLast()[0].toInt(), i);
        EXPECT_EQ(form.StyleIndex(), i);
    }
    form.SetStyleIndex(2);
    form.SetStyles({"Night", "night", "Night", "Default"});  // the list refilled keeps the choice
    EXPECT_EQ(styles->currentIndex(), 2);
    EXPECT_TRUE(style.isEmpty()) << "loading a choice must not reload the style";
}

TEST_F(MIDIFormTest, PluginSwitchNeverClaimsAPluginThatDoesNotRun) {
    form.TogglePlugin();  // Ctrl+G
    EXPECT_TRUE(form.UsePlugin());
    actions.PluginStarts = false;
    form.TogglePlugin();
    form.TogglePlugin();
    EXPECT_FALSE(form.UsePlugin());
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(actions.Calls, (std::vector<std::string>{"Plugin 1", "Plugin 0", "Plugin 1"}));
}

TEST_F(MIDIFormTest, AssociationFailuresAreShown) {
    txtest::TempDir dir;
    txtest::WriteFileBytes(dir / "applications", {'x'});  // a file where the folder must go
    const QByteArray oldData = qgetenv("XDG_DATA_HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.path().string()));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((dir / "config").string()));
    form.ProgramPath = QStringLiteral("/opt/my apps/trovamix");
    child<QPushButton>("RegisterExtButton")->click();
    qputenv("XDG_DATA_HOME", oldData);
    qputenv("XDG_CONFIG_HOME", oldConfig);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("applications"))) << messages[0].toStdString();
}

TEST_F(MIDIFormTest, CloseWarnsOncePerCloseOnlyWithoutAnyOutput) {
    const QString warning = QStringLiteral(
        "You didn't select any output (MIDI or DirectSound) device.\nDon't be surprised if you don't hear anything...");
    form.SetOutputItem(2);  // "-none-"
    form.SetDSDriver(1);    // "-none-"
    form.show();
    form.close();
    EXPECT_EQ(messages, QStringList{warning});
    form.show();
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(messages.size(), 2);
    form.SetOutputItem(0);  // "MIDI Mapper": something will sound
    form.show();
    form.close();
    EXPECT_EQ(messages.size(), 2);
}

TEST_F(MIDIFormTest, HelpTopicFollowsTheSheet) {
    QSignalSpy help(&form, &tx::TMIDIForm::helpRequested);
    const std::pair<tx::TMIDIForm::Sheet, int> sheets[] = {{tx::TMIDIForm::WAVSheet, 2},
                                                           {tx::TMIDIForm::PluginsSheet, 5},
                                                           {tx::TMIDIForm::GeneralSheet, 3},
                                                           {tx::TMIDIForm::MIDISheet, 1}};
    std::ifstream in(std::string(TROVAMIX_BINARY_DIR) + "/Help/Trova.html");
    std::stringstream html;
    html << in.rdbuf();
    for (auto [sheet, topic] : sheets) {
        form.ShowSheet(sheet);
        EXPECT_EQ(form.HelpTopic(), topic);
        QTest::keyClick(&form, Qt::Key_F1);
        ASSERT_FALSE(help.isEmpty());
        const QString anchor = help.takeLast()[0].toString();
        EXPECT_EQ(anchor, tx::SettingsHelpAnchor(topic));
        EXPECT_NE(html.str().find("name=\"" + anchor.toStdString() + "\""), std::string::npos) << "no anchor";
    }
}

TEST_F(MIDIFormTest, CpuMeterModesAndUnderruns) {
    form.ShowSheet(tx::TMIDIForm::WAVSheet);
    EXPECT_EQ(actions.Calls.front(), "Timing 1");
    auto* usage = child<QLabel>("UsageLabel");
    QTest::mouseClick(usage, Qt::LeftButton);
    ASSERT_TRUE(form.CpuFastMode());
    EXPECT_TRUE(QTest::qWaitFor([&] { return usage->text() == QStringLiteral("05% (3 samples)"); }, 500));
    EXPECT_EQ(text("UnderrunsLabel"), QStringLiteral("underruns: 7"));
    QTest::mouseClick(usage, Qt::LeftButton);
    EXPECT_FALSE(form.CpuFastMode());
    form.hide();
    EXPECT_EQ(actions.Calls.back(), "Timing 0");
}

TEST_F(MIDIFormTest, Screenshots) {
    const char* names[] = {"settings-midi", "settings-wav", "settings-general", "settings-plugins"};
    form.SetBufferLength(4410);
    form.SetAheadLength(2205);
    form.ShowUnderruns(0);
    for (int i = 0; i < 4; ++i) {
        form.ShowSheet(tx::TMIDIForm::Sheet(i));
        QTest::qWait(20);
        txtest::SaveScreenshot(form, QString::fromLatin1(names[i]));
    }
}

// The window on the real core: the lists come from the devices, and the CPU
// meter keeps running while a render holds the engine lock.
// The reminder at closing is information for the user, not an error.
TEST(MIDIFormNotice, TheNoOutputReminderIsAnInformationBox) {
    FakeActions actions;
    tx::TMIDIForm form{actions};
    form.SetOutputItem(2);  // "-none-"
    form.SetDSDriver(1);    // "-none-"
    form.show();
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            icon = box->icon();
            box->accept();
        }
    });
    form.close();
    EXPECT_EQ(icon, QMessageBox::Information);
}

class MIDIFormOnCore : public ::testing::Test {
protected:
    tx::TSettings settings;
    tx::TEngineLock lock;
    tx::TLoop loop;
    tx::TEngine engine{loop, lock, settings};
    tx::TEngineBlockSource source{engine};
    tx::TNullAudioSystem system;
    tx::TStreaming streaming{lock, source, system};
    tx::TMidiOutput midiOut{
        std::make_unique<tx::TRecordingMidiOutPort>(std::vector<std::string>{"Synth A", "Synth B"})};
    tx::TCoreSettingsActions actions{engine, settings, &streaming, &midiOut, nullptr, nullptr};
};

TEST_F(MIDIFormOnCore, ListsEndWithNoneAndStartWithTheMapper) {
    streaming.EnumerateDevices();
    tx::TMIDIForm form(actions);
    auto* out = form.findChild<QComboBox*>(QStringLiteral("cmbOutput"));
    ASSERT_EQ(out->count(), 4);
    EXPECT_EQ(out->itemText(0), QStringLiteral("MIDI Mapper"));
    EXPECT_EQ(out->itemText(1), QStringLiteral("Synth A"));
    EXPECT_EQ(out->itemText(3), QStringLiteral("-none-"));
    auto* drv = form.findChild<QComboBox*>(QStringLiteral("DSDriverBox"));
    EXPECT_EQ(drv->itemText(drv->count() - 1), QStringLiteral("-none-"));
    EXPECT_EQ(form.findChild<QComboBox*>(QStringLiteral("cmbInput"))->itemText(0), QStringLiteral("-none-"));
}

TEST_F(MIDIFormOnCore, CpuMeterNeverWaitsForTheEngineLock) {
    tx::TMIDIForm form(actions);
    form.ShowSheet(tx::TMIDIForm::WAVSheet);
    QTest::mouseClick(form.findChild<QLabel*>(QStringLiteral("UsageLabel")), Qt::LeftButton);  // 10 ms updates

    std::atomic<bool> held{false}, release{false};
    std::thread render([&] {  // holds the lock as a render does for its whole run
        tx::TSuspendGuard g(lock);
        held = true;
        for (int i = 0; i < 400 && !release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    while (!held) std::this_thread::yield();
    const int before = form.CpuTicks();
    QElapsedTimer t;
    t.start();
    QTest::qWait(300);
    const qint64 elapsed = t.elapsed();
    const int ticks = form.CpuTicks() - before;
    release = true;
    render.join();
    EXPECT_LT(elapsed, 1000) << "the window thread waited for the lock";
    EXPECT_GE(ticks, 5) << "the meter stopped while the lock was held";
}

}  // namespace

// Each stored switch reaches its own box and comes back from it: one switch
// on among all the others off (and the reverse) must come back alone, so two
// switches wired to each other's box, or one left out, show.
TEST_F(MIDIFormTest, EachStoredSwitchGoesToItsOwnBoxAndBack) {
    using D = tx::TDesktopSettings;
    const std::vector<std::pair<const char*, bool D::*>> switches{
        {"Easy Move", &D::EasyMove},         {"Auto Arrange", &D::AutoArrange},
        {"Auto Maximize", &D::AutoMaximize}, {"Adjust Channel Name", &D::AdjustChannelName},
        {"Surround", &D::Surround},          {"Splash Screen", &D::SplashScreen},
        {"Close DS", &D::CloseDS},           {"Mouse Use", &D::MouseUse},
        {"LedsOver", &D::LedsOver},          {"Preview WAV", &D::PreviewWAV},
        {"Use Plugin", &D::UsePlugin}};
    for (bool on : {true, false}) {
        for (const auto& [name, member] : switches) {
            D in;
            for (const auto& [other, m] : switches) in.*m = !on;
            in.*member = on;
            tx::LoadIntoSettingsWindow(in, form);
            D out;
            for (const auto& [other, m] : switches) out.*m = on;  // the opposite of what must come back
            tx::StoreFromSettingsWindow(form, out);
            for (const auto& [other, m] : switches)
                EXPECT_EQ(out.*m, m == member ? on : !on) << name << (on ? " on" : " off") << ": " << other;
        }
    }
    EXPECT_TRUE(actions.Calls.empty()) << "loading values must not act";

    // Stored 5 for the bank select method is controller 32, saved as 1; the
    // remainder's three values come back as they went.
    for (const auto& [stored, saved] : std::vector<std::pair<int, int>>{{0, 0}, {1, 1}, {5, 1}}) {
        D in, out;
        in.BankSelectMethod = stored;
        tx::LoadIntoSettingsWindow(in, form);
        tx::StoreFromSettingsWindow(form, out);
        EXPECT_EQ(out.BankSelectMethod, saved) << stored;
    }
    for (int remainder : {0, 1, 2}) {
        D in, out;
        in.RenderingRemainder = remainder;
        out.RenderingRemainder = -1;
        tx::LoadIntoSettingsWindow(in, form);
        tx::StoreFromSettingsWindow(form, out);
        EXPECT_EQ(out.RenderingRemainder, remainder);
    }
}
