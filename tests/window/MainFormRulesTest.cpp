// The main window's controls held to what they mean: the sliders' values and
// hints, the panic, what marks the loop changed, keys for focused controls,
// the name buttons and the height toggles.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QShortcut>
#include <QTest>

#include "engine/Engine.h"
#include "midi/MidiOut.h"
#include "midi/MidiPort.h"
#include "model/Loop.h"
#include "skin/Style.h"
#include "window/MainForm.h"

namespace tx {
namespace {

const TStyleData& RulesStyle() {
    static const TStyleData style = LoadStyleData({"", "", FindEmbeddedStyleFile});
    return style;
}

class MainFormRulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        loop.SetEngineLock(&lock);
        loop.SetChannelName(0, "Kick");
        form = std::make_unique<TTrovamixMainForm>(loop, &engine);
        form->ApplyStyle(RulesStyle());
        form->SetAutoMaximize(true);
        form->FitHeight();
    }
    void ShowActive() {
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    TTrackSlider* Slider(const char* name) { return form->findChild<TTrackSlider*>(name); }
    QString Hint() { return form->findChild<QLabel*>("InfoLabel")->text(); }

    TLoop loop;
    TEngineLock lock;
    TSettings settings;
    TEngine engine{loop, lock, settings};
    std::unique_ptr<TTrovamixMainForm> form;
};

// The top of the pitch slider is the highest pitch.
TEST_F(MainFormRulesTest, PitchSliderUpRaisesThePitchAndShowsTheLoopsPitch) {
    struct Case {
        int position, pitch;
    } const cases[] = {{-1200, 1200}, {-300, 300}, {0, 0}, {25, -25}, {1200, -1200}};
    TTrackSlider* s = Slider("MainPitchSlider");
    ASSERT_NE(s, nullptr);
    for (const Case& c : cases) {
        s->SetPosition(c.position, true);
        EXPECT_EQ(loop.MainPitch, c.pitch) << c.position;
    }
    loop.MainPitch = -100;
    form->LoopReplaced();
    EXPECT_EQ(s->Position(), 100);
}

TEST_F(MainFormRulesTest, PanicSilencesEveryMidiChannelThenTheVoices) {
    auto port = std::make_unique<TRecordingMidiOutPort>();
    TRecordingMidiOutPort* sent = port.get();
    TMidiOutput out(std::move(port));
    out.Bind(engine);
    ASSERT_TRUE(out.Open());
    form->SetMidiOutput(&out);
    TWAVSample sample;
    sample.Data.assign(2000, 1000);
    sample.Length = sample.PlayLength = 1000;
    engine.AddVoice(&sample, 0, 65536, 1.0f, 0.0f, 1000, 0, 0, 64);
    ASSERT_EQ(engine.VoiceCount, 1);
    sent->Clear();
    form->RunCommand(TCommand::Panic);
    std::vector<std::vector<uint8_t>> expected;
    for (int status = 0xB0; status <= 0xBF; ++status) expected.push_back({uint8_t(status), 120, 0});
    EXPECT_EQ(sent->Messages(), expected);
    EXPECT_EQ(engine.VoiceCount, 0);
    form->SetMidiOutput(nullptr);
}

// The slider's top is full volume, shown as 100 per cent.
TEST_F(MainFormRulesTest, MainVolumeHintIsInPerCent) {
    struct Case {
        int position;
        const char* hint;
    } const cases[] = {{0, "Main Volume 100"}, {1, "Main Volume 99"},  {32, "Main Volume 75"},
                       {64, "Main Volume 50"}, {127, "Main Volume 0"}, {128, "Main Volume 0"}};
    TTrackSlider* s = Slider("MainVolSlider");
    ASSERT_NE(s, nullptr);
    s->SetPosition(5, false);
    for (const Case& c : cases) {
        s->SetPosition(c.position, true);
        EXPECT_EQ(Hint().toStdString(), c.hint) << c.position;
    }
}

TEST_F(MainFormRulesTest, SoloAndRestoringAZippedChannelMarkTheLoopModified) {
    loop.Modified = false;
    QTest::mouseClick(form->Row(2)->FrontMuteButton, Qt::RightButton);  // solo
    ASSERT_FALSE(loop.Channel(1).Enabled);
    EXPECT_TRUE(loop.Modified);

    for (int ch = 0; ch < loop.ChannelCount(); ++ch) loop.Channel(ch).Selected = ch == 1;
    form->RunCommand(TCommand::ZipSelected);
    ASSERT_TRUE(loop.Channel(1).Minimized);
    loop.Modified = false;
    QTest::mouseClick(form->Row(1)->SetButton, Qt::RightButton);  // restore
    ASSERT_FALSE(loop.Channel(1).Minimized);
    EXPECT_TRUE(loop.Modified);
}

// A keyboard user moves a focused slider or knob with the arrows instead of
// stepping through the channels.
TEST_F(MainFormRulesTest, AFocusedSliderOrKnobTakesUpAndDown) {
    ShowActive();
    form->SelectAlone(0);
    TTrackSlider* s = Slider("MainVolSlider");
    s->setFocus();
    QTest::keyClick(s, Qt::Key_Down);  // the knob goes down: one step quieter
    EXPECT_EQ(loop.MainVolume, 127);
    QTest::keyClick(s, Qt::Key_Up);
    EXPECT_EQ(loop.MainVolume, 128);
    EXPECT_EQ(loop.SelectedChannel(), 0);

    TWAVWheel* wheel = form->Row(2)->FrontVolWheel;
    wheel->SetValue(100, false);
    wheel->setFocus();
    QTest::keyClick(wheel, Qt::Key_Up);
    EXPECT_EQ(wheel->Value(), 101);
    QTest::keyClick(wheel, Qt::Key_Down);
    QTest::keyClick(wheel, Qt::Key_Down);
    EXPECT_EQ(wheel->Value(), 99);

    form->setFocus();  // nothing focused that takes arrows: the channels step
    form->SelectAlone(0);
    QTest::keyClick(form.get(), Qt::Key_Down);
    EXPECT_EQ(loop.SelectedChannel(), 1);
}

// Counts the shortcuts made and dropped on a button.
struct ChildCounter : QObject {
    int Changes = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::ChildAdded || e->type() == QEvent::ChildRemoved) ++Changes;
        return false;
    }
};

TEST_F(MainFormRulesTest, NameButtonsShowAnAmpersandAndKeepTheirShortcutsOnStepClicks) {
    struct Case {
        const char* name;
        const char* caption;
    } const cases[] = {{"R&B", "R&&B"}, {"&&", "&&&&"}, {"Snare", "Snare"}, {"", "SET"}};
    for (const Case& c : cases) {
        loop.SetChannelName(1, c.name);
        form->SelectAlone(1);
        TMyTransButton* b = form->Row(1)->SetButton;
        EXPECT_EQ(b->Caption(), c.caption) << c.name;
        EXPECT_TRUE(b->findChildren<QShortcut*>().isEmpty()) << c.name;
    }
    loop.SetChannelName(1, "R&B");
    form->SelectAlone(1);
    EXPECT_EQ(form->Row(1)->SetButton->AccessibleName().toStdString(), "R&B");

    // A button with an accelerator of its own keeps it when its caption is set again.
    TMyTransButton* b = form->Row(0)->SetButton;
    b->SetCaption("&Go");
    ChildCounter counter;
    b->installEventFilter(&counter);
    b->SetCaption("&Go");
    EXPECT_EQ(counter.Changes, 0);
    b->removeEventFilter(&counter);
    // Step clicks set every row's caption again: nothing is rebuilt.
    loop.SetChannelName(2, "Sn&are");
    form->SelectAlone(2);
    TMyTransButton* named = form->Row(2)->SetButton;
    named->installEventFilter(&counter);
    TTechno16* grid = form->Row(2)->TechnoGrid;
    for (int step : {0, 3}) QTest::mouseClick(grid, Qt::LeftButton, {}, QPoint(step * 16 + 8, grid->ButtonTop + 12));
    EXPECT_EQ(counter.Changes, 0);
    EXPECT_TRUE(loop.GetStep(2, loop.CurrentPattern, 3));
}

TEST_F(MainFormRulesTest, DoubleClickTogglesTheHeightExceptOnThePanelDockedBelow) {
    ShowActive();
    QTest::qWait(20);  // the docks settle once shown
    const int max = form->height();
    QWidget* hint = form->findChild<QLabel*>("InfoLabel");
    QTest::mouseDClick(hint, Qt::LeftButton);  // docked in the bottom dock: no toggle
    EXPECT_EQ(form->height(), max);

    QWidget* digits = form->findChild<QWidget*>("BPMDig");
    const int screen = QGuiApplication::primaryScreen()->geometry().height();
    form->move(form->x(), screen + 400);  // the caption below the screen's bottom
    QTest::mouseDClick(digits, Qt::LeftButton);
    EXPECT_LT(form->height(), max);
    EXPECT_LT(form->y(), screen);  // the top is brought back
    QTest::mouseDClick(digits, Qt::LeftButton);
    EXPECT_EQ(form->height(), form->MaxHeight());
}

TEST_F(MainFormRulesTest, HintPanelChangesTheHeightOnlyWhenDocked) {
    auto* dock = form->findChild<QDockWidget*>("BottomToolWindow");
    ASSERT_NE(dock, nullptr);
    const int panel = form->findChild<QWidget*>("BottomPic")->height();
    const int docked = form->height();
    form->RunCommand(TCommand::HintPanel);  // hidden
    EXPECT_EQ(form->height(), docked - panel);
    form->RunCommand(TCommand::HintPanel);
    EXPECT_EQ(form->height(), docked);

    dock->setFloating(true);
    const int floating = form->height();
    form->RunCommand(TCommand::HintPanel);
    EXPECT_EQ(form->height(), floating);
    form->RunCommand(TCommand::HintPanel);
    EXPECT_EQ(form->height(), floating);
    EXPECT_TRUE(form->Action(TCommand::HintPanel)->isChecked());
}

TEST_F(MainFormRulesTest, CtrlGTogglesThePlugin) {
    ShowActive();
    int toggles = 0;
    form->TogglePlugin = [&toggles] { ++toggles; };
    QTest::keyClick(form.get(), Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(toggles, 1);
    QTest::keyClick(form.get(), Qt::Key_G);  // without Ctrl: nothing
    EXPECT_EQ(toggles, 1);
}

}  // namespace
}  // namespace tx
