// Knob, spinner and slider: the value base class through its subclasses,
// driven with QTest as a user would.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "StripSupport.h"
#include "controls/Controls.h"

namespace tx {
namespace {

using test::StripBitmap;

struct KeyCase {
    const char* name;
    int key, start, knob, slider;  // expected after the key on a knob and on a slider
};

// Range 0..100, line 1, page 10, starting at 50 unless said otherwise.
const KeyCase kKeys[] = {
    {"Up", Qt::Key_Up, 50, 51, 49},
    {"Down", Qt::Key_Down, 50, 49, 51},
    {"Left", Qt::Key_Left, 50, 49, 49},
    {"Right", Qt::Key_Right, 50, 51, 51},
    {"PageUp", Qt::Key_PageUp, 50, 60, 40},
    {"PageDown", Qt::Key_PageDown, 50, 40, 60},
    {"Home", Qt::Key_Home, 50, 0, 0},
    {"End", Qt::Key_End, 50, 100, 100},
    {"Insert", Qt::Key_Insert, 7, 50, 50},
    {"UpAtTop", Qt::Key_Up, 100, 100, 99},
    {"PageDownNearEnd", Qt::Key_PageDown, 95, 85, 100},
    {"HomeAtZero", Qt::Key_Home, 0, 0, 0},
};

class EveryKey : public ::testing::TestWithParam<KeyCase> {};

TEST_P(EveryKey, MovesKnobAndSliderAndFiresOnlyOnChange) {
    const KeyCase& c = GetParam();
    TWAVWheel knob;
    TTrackSlider slider;
    for (TValueControl* control : {static_cast<TValueControl*>(&knob), static_cast<TValueControl*>(&slider)}) {
        control->SetRange(0, 100);
        control->SetLineSize(1);
        control->SetPageSize(10);
        control->SetValue(c.start, false);
        QSignalSpy changed(control, &TValueControl::Changed);
        QSignalSpy released(control, &TValueControl::Released);
        QTest::keyClick(control, Qt::Key(c.key));
        const int expected = control == &knob ? c.knob : c.slider;
        EXPECT_EQ(control->Value(), expected) << (control == &knob ? "knob" : "slider");
        EXPECT_EQ(changed.count(), expected != c.start ? 1 : 0);
        EXPECT_EQ(released.count(), 1) << "releasing a value key fires OnRelease";
    }
}

INSTANTIATE_TEST_SUITE_P(ValueControl, EveryKey, ::testing::ValuesIn(kKeys),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ValueControl, OtherKeysAreLeftToTheWindow) {
    TWAVWheel knob;
    EXPECT_FALSE(knob.KeyTarget(Qt::Key_A));
    EXPECT_FALSE(knob.KeyTarget(Qt::Key_Space));
}

TEST(ValueControl, KnobsSlidersAndSpinnersTakeTabAndClickFocus) {
    TWAVWheel knob;
    TTrackSlider slider;
    TZavoUpDown spin;
    for (QWidget* w : {static_cast<QWidget*>(&knob), static_cast<QWidget*>(&slider), static_cast<QWidget*>(&spin)})
        EXPECT_EQ(w->focusPolicy(), Qt::StrongFocus);
    slider.SetFocusOnClick(false);
    EXPECT_EQ(slider.focusPolicy(), Qt::TabFocus);
    slider.SetCanGetFocus(false);
    EXPECT_EQ(slider.focusPolicy(), Qt::NoFocus);
}

class Knob : public ::testing::Test {
protected:
    void SetUp() override {
        strip.LoadCount(StripBitmap(23, 23, 23), 23);
        knob.SetWheelIL(&strip);
        knob.show();
    }
    void Drag(Qt::MouseButton button, int fromY, int toY) {
        QTest::mousePress(&knob, button, {}, QPoint(10, fromY));
        QTest::mouseMove(&knob, QPoint(10, toY));
        QTest::mouseRelease(&knob, button, {}, QPoint(10, toY));
    }
    TImageStrip strip;
    TWAVWheel knob;
};

TEST_F(Knob, SizesToOneFramePlusBorderAndShowsTheFormulasFrame) {
    EXPECT_EQ(knob.size(), QSize(24, 24));
    knob.SetBorder(false);
    EXPECT_EQ(knob.size(), QSize(23, 23));
    knob.SetValueProperty(64);
    QImage shot = knob.grab().toImage();
    EXPECT_EQ(test::FrameAt(shot, 5, 5, 23), 11);
}

TEST_F(Knob, DragsUpEightPixelsForSixteenAndFiveInFineMode) {
    knob.SetValueProperty(50);
    QSignalSpy changed(&knob, &TValueControl::Changed);
    Drag(Qt::LeftButton, 12, 4);
    EXPECT_EQ(knob.Value(), 66);
    EXPECT_EQ(knob.StartY(), TValueControl::IdleY) << "idle again after release";
    Drag(Qt::RightButton, 12, 4);
    EXPECT_EQ(knob.Value(), 71);
    Drag(Qt::LeftButton, 4, 12);
    EXPECT_EQ(knob.Value(), 55) << "moving down lowers the value";
    EXPECT_EQ(changed.count(), 3);
}

TEST_F(Knob, FineDragTruncatesTowardZeroBothWays) {
    knob.SetValueProperty(50);
    Drag(Qt::RightButton, 10, 9);  // +1 x 10 / 16 = 0
    EXPECT_EQ(knob.Value(), 50);
    Drag(Qt::RightButton, 10, 11);  // -1 x 10 / 16 = 0, not -1
    EXPECT_EQ(knob.Value(), 50);
    Drag(Qt::RightButton, 10, 12);  // -20 / 16 = -1
    EXPECT_EQ(knob.Value(), 49);
}

TEST_F(Knob, MiddleButtonAndSetterNeverChangeOrNotify) {
    QSignalSpy changed(&knob, &TValueControl::Changed);
    knob.SetValueProperty(200);
    EXPECT_EQ(knob.Value(), 127);
    Drag(Qt::MiddleButton, 12, 0);
    EXPECT_EQ(knob.Value(), 127);
    EXPECT_EQ(knob.StartY(), TValueControl::IdleY);
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(Knob, ARightPressWithAPopupMenuDoesNotDrag) {
    QMenu menu;
    menu.addAction("x");
    knob.SetPopupMenu(&menu);
    QTest::mousePress(&knob, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_FALSE(knob.Dragging());
    menu.close();
}

class Spinner : public ::testing::Test {
protected:
    void SetUp() override {
        spin.SetRange(1, 999);
        spin.show();
    }
    TZavoUpDown spin;
};

TEST_F(Spinner, ZonesSplitAroundTheGrip) {
    EXPECT_EQ(spin.ZoneTop(), 10);
    EXPECT_EQ(spin.ZoneAt(9), TZavoUpDown::Zone::Up);
    EXPECT_EQ(spin.ZoneAt(10), TZavoUpDown::Zone::Grip);
    EXPECT_EQ(spin.ZoneAt(16), TZavoUpDown::Zone::Grip);
    EXPECT_EQ(spin.ZoneAt(17), TZavoUpDown::Zone::Down);
}

TEST_F(Spinner, AtItsMaximumAnUpClickFiresNothing) {
    spin.SetValueProperty(999);
    QSignalSpy changed(&spin, &TValueControl::Changed);
    QTest::mouseClick(&spin, Qt::LeftButton, {}, QPoint(8, 3));
    EXPECT_EQ(spin.Value(), 999);
    EXPECT_EQ(changed.count(), 0);
    QTest::mouseClick(&spin, Qt::LeftButton, {}, QPoint(8, 22));
    EXPECT_EQ(spin.Value(), 998);
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(Spinner, TheSetterClampsAndFires) {
    QSignalSpy changed(&spin, &TValueControl::Changed);
    spin.SetValueProperty(5000);
    EXPECT_EQ(spin.Value(), 999);
    spin.SetValueProperty(999);
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(Spinner, HoldingAnArrowRepeatsAfter200ThenEvery50Ms) {
    spin.SetValueProperty(100);
    QTest::mousePress(&spin, Qt::LeftButton, {}, QPoint(8, 3));
    EXPECT_EQ(spin.Value(), 101);
    EXPECT_EQ(spin.PressedZone(), TZavoUpDown::Zone::Up);
    QTest::qWait(120);
    EXPECT_EQ(spin.Value(), 101) << "no repeat before 200 ms";
    QTest::qWait(400);
    const int held = spin.Value();
    QTest::mouseRelease(&spin, Qt::LeftButton, {}, QPoint(8, 3));
    EXPECT_GE(held, 104);  // about 1 + 6 steps in 520 ms; timers on a busy machine run late
    EXPECT_LE(held, 108);
    EXPECT_FALSE(spin.Repeating());
    EXPECT_EQ(spin.PressedZone(), TZavoUpDown::Zone::None);
    QTest::qWait(120);
    EXPECT_EQ(spin.Value(), held);
}

TEST_F(Spinner, TheGripDragsAtMoveSpeed) {
    spin.SetMoveSpeed(4);
    spin.SetValueProperty(140);
    QTest::mousePress(&spin, Qt::LeftButton, {}, QPoint(8, 13));
    QTest::mouseMove(&spin, QPoint(8, -27));  // 40 px up x 4 / 16
    EXPECT_EQ(spin.Value(), 150);
    QTest::mouseMove(&spin, QPoint(8, 20));  // 7 px down x 4 / 16 = -1 (toward zero)
    EXPECT_EQ(spin.Value(), 139);
    QTest::mouseRelease(&spin, Qt::LeftButton, {}, QPoint(8, 20));
    EXPECT_FALSE(spin.Dragging());
}

TEST_F(Spinner, WithAStripEachZoneShowsItsBandOfThePressedFrame) {
    TImageStrip strip;
    strip.LoadCount(StripBitmap(2, 16, 26), 2);
    spin.SetImList(&strip);
    QTest::mousePress(&spin, Qt::LeftButton, {}, QPoint(8, 22));
    const QImage shot = spin.grab().toImage();
    QTest::mouseRelease(&spin, Qt::LeftButton, {}, QPoint(8, 22));
    EXPECT_EQ(test::FrameAt(shot, 8, 3, 2), 0);
    EXPECT_EQ(test::FrameAt(shot, 8, 13, 2), 0);
    EXPECT_EQ(test::FrameAt(shot, 8, 22, 2), 1);
}

class Slider : public ::testing::Test {
protected:
    void SetUp() override {
        strip.LoadCount(StripBitmap(3, 20, 9), 3);
        slider.SetKnobIL(&strip);
        slider.resize(30, 109);  // track length 100
        slider.SetRange(0, 200);
        slider.SetPageSize(25);
        slider.show();
        slider.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&slider));
    }
    TImageStrip strip;
    TTrackSlider slider;
};

TEST_F(Slider, DerivesTrackAndPlacesTheKnob) {
    EXPECT_EQ(slider.KnobSize(), 9);
    EXPECT_EQ(slider.TrackLength(), 100);
    EXPECT_EQ(slider.TrackStart(), 4);
    slider.SetPosition(100, false);
    EXPECT_EQ(slider.Knob()->pos(), QPoint(5, 50));
    slider.SetSideGap(5);
    EXPECT_EQ(slider.TrackLength(), 90);
    EXPECT_EQ(slider.Knob()->y(), 5 + 4 - 4 + 45);
    slider.SetRange(7, 7);  // an empty range must not divide by zero
    EXPECT_EQ(slider.Knob()->y(), 5);
}

TEST_F(Slider, DraggingTheKnobFollowsThePointerAndReleases) {
    QSignalSpy changed(&slider, &TValueControl::Changed);
    QSignalSpy released(&slider, &TValueControl::Released);
    QTest::mousePress(slider.Knob(), Qt::LeftButton, {}, QPoint(10, 4));
    EXPECT_EQ(slider.Knob()->FrameShown(), 2);
    EXPECT_EQ(slider.Knob()->cursor().shape(), Qt::BlankCursor);
    QTest::mouseMove(slider.Knob(), QPoint(10, 4 + 30));  // knob edge to 30
    EXPECT_EQ(slider.Position(), 62);  // 31 px of 100 over a range of 200
    QTest::mouseMove(slider.Knob(), QPoint(10, 4 + 500 - slider.Knob()->y()));
    EXPECT_EQ(slider.Position(), 200);
    QTest::mouseRelease(slider.Knob(), Qt::LeftButton, {}, QPoint(10, 4));
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(released.count(), 1);
    EXPECT_EQ(slider.Knob()->FrameShown(), 0);
    EXPECT_TRUE(slider.hasFocus());
    slider.setEnabled(false);
    EXPECT_EQ(slider.Knob()->FrameShown(), 1);
}

TEST_F(Slider, AFarClickStepsByAPageANearOneJumps) {
    QSignalSpy released(&slider, &TValueControl::Released);
    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(3, 90));
    EXPECT_EQ(slider.Position(), 25);
    // one page is 12.5 px; the knob centre is at 4 + 12 = 16 now, the point 10 px away
    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(3, 26));
    EXPECT_EQ(slider.Position(), 46);  // knob centred on the point: 23 px of 100
    EXPECT_EQ(released.count(), 2);
}

TEST_F(Slider, HoldingOnTheTrackRepeatsTowardsThePoint) {
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(3, 100));
    QTest::qWait(600);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(3, 100));
    EXPECT_GE(slider.Position(), 175);  // paged, then jumped onto the point
    const int after = slider.Position();
    QTest::qWait(120);
    EXPECT_EQ(slider.Position(), after);
}

TEST_F(Slider, TicksFollowFrequencyAndBigTicks) {
    slider.SetRange(0, 10);
    slider.SetFrequency(1);
    slider.SetnBigTicks(1);
    const auto ticks = slider.Ticks();
    ASSERT_EQ(ticks.size(), 11u);  // n = 10 intervals
    EXPECT_EQ(ticks[0].first, 4);
    EXPECT_EQ(ticks[10].first, 104);
    EXPECT_EQ(ticks[3].first, 4 + 30);
    // (n - 1) div (nBigTicks + 1) + 1 = 5: long at 0, 5 and the last
    for (int i = 0; i <= 10; ++i) EXPECT_EQ(ticks[i].second, i == 0 || i == 5 || i == 10) << i;
}

TEST_F(Slider, WithoutAStripUsesTheBuiltinKnob) {
    TTrackSlider plain;
    EXPECT_EQ(plain.KnobStrip().Count(), 2);
    EXPECT_GT(plain.KnobSize(), 0);
    TTrackSlider across(nullptr, Qt::Horizontal);
    EXPECT_EQ(across.KnobSize(), across.KnobStrip().FrameWidth());
}

}  // namespace
}  // namespace tx
