// The per-step knob as a musician uses it: a press on a step's wheel opens
// `DotVolWheel` over it and the same drag turns it; Ctrl turns the whole row
// of every selected channel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTest>

#include "engine/Engine.h"
#include "model/Loop.h"
#include "skin/Style.h"
#include "window/MainForm.h"

namespace tx {
namespace {

const TStyleData& DefaultStyle() {
    static const TStyleData style = LoadStyleData({"", "", FindEmbeddedStyleFile});
    return style;
}

class StepKnobTest : public ::testing::Test {
protected:
    void SetUp() override {
        loop.SetEngineLock(&lock);
        form = std::make_unique<TTrovamixMainForm>(loop, &engine);
        form->ApplyStyle(DefaultStyle());
        form->SetAutoMaximize(true);
        form->FitHeight();
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        for (int s : {3, 5}) loop.SetStep(1, loop.CurrentPattern, s, true);
        loop.Modified = false;
    }
    void TearDown() override {
        if (QWidget::mouseGrabber()) QWidget::mouseGrabber()->releaseMouse();
    }
    TTechno16* Grid(int ch) { return form->Row(ch)->TechnoGrid; }
    TWAVWheel* Knob() { return form->findChild<TWAVWheel*>("DotVolWheel"); }
    int Value(int ch, int row, int step) { return loop.Channel(ch).Pattern(loop.CurrentPattern).Value(row, step); }
    QString Hint() { return form->findChild<QLabel*>("InfoLabel")->text(); }
    // Row-relative points of step s: its upper (pan/pitch) and lower (volume/mix) wheel.
    QPoint Upper(int ch, int s) { return QPoint(s * 16 + 8, Grid(ch)->ButtonTop + 5); }
    QPoint Lower(int ch, int s) { return QPoint(s * 16 + 8, Grid(ch)->ButtonTop + 20); }

    TLoop loop;
    TEngineLock lock;
    TSettings settings;
    TEngine engine{loop, lock, settings};
    std::unique_ptr<TTrovamixMainForm> form;
};

struct TRightClickCase {
    const char* Name;
    int Step;        // 3 and 5 are on
    bool LowerHalf;  // the volume wheel, else the pan wheel
    bool KnobShown;
    int EditRow;
};

class RightClickTest : public StepKnobTest, public ::testing::WithParamInterface<TRightClickCase> {};

TEST_P(RightClickTest, ARightPressSelectsTheChannelAndOpensTheKnobOnlyOverAStepThatIsOn) {
    const TRightClickCase& c = GetParam();
    form->SelectAlone(0);
    TTechno16* grid = Grid(1);
    const QPoint at = c.LowerHalf ? Lower(1, c.Step) : Upper(1, c.Step);
    QTest::mousePress(grid, Qt::RightButton, {}, at);
    EXPECT_TRUE(loop.Channel(1).Selected);
    EXPECT_FALSE(loop.Channel(0).Selected);
    EXPECT_EQ(Knob()->isVisible(), c.KnobShown);
    EXPECT_EQ(form->WheelMode(), c.KnobShown ? 1 : 0) << "the wheels show for this one edit";
    EXPECT_FALSE(loop.GetStep(1, loop.CurrentPattern, 4)) << "a right press never paints";
    if (c.KnobShown) {
        const QPoint knobAt = grid->mapFromGlobal(Knob()->mapToGlobal(QPoint(0, 0)));
        EXPECT_EQ(knobAt, QPoint(c.Step * 16 - 4, grid->ButtonTop - 4 + (c.LowerHalf ? 13 : 0)));
        EXPECT_EQ(Knob()->Value(), Value(1, c.EditRow, c.Step));
        EXPECT_EQ(Knob()->Max(), 127);
        EXPECT_EQ(Hint(), c.EditRow == RowPan ? "pan 64" : "vol 100");
    }
    QTest::mouseRelease(grid, Qt::RightButton, {}, at);
    EXPECT_FALSE(Knob()->isVisible());
    EXPECT_EQ(form->WheelMode(), 0);
    EXPECT_FALSE(loop.Modified) << "a click without a drag changes nothing";
}

INSTANTIATE_TEST_SUITE_P(Steps, RightClickTest,
                         ::testing::Values(TRightClickCase{"OffStep", 4, false, false, 0},
                                           TRightClickCase{"OnStepUpperHalfIsPan", 5, false, true, RowPan},
                                           TRightClickCase{"OnStepLowerHalfIsVolume", 3, true, true, RowVolume}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(StepKnobTest, TheDragThatOpensTheKnobTurnsIt) {
    TTechno16* grid = Grid(1);
    const QPoint at = Lower(1, 5);
    QTest::mousePress(grid, Qt::RightButton, {}, at);
    ASSERT_TRUE(Knob()->isVisible());
    // Up by 8 pixels at drag speed 127 div 4 = 31 sixteenths: +15.
    QTest::mouseMove(grid, at - QPoint(0, 8));
    EXPECT_EQ(Value(1, RowVolume, 5), 115);
    EXPECT_EQ(Value(1, RowVolume, 3), 100) << "one step only";
    EXPECT_EQ(Hint(), "vol 115");
    EXPECT_TRUE(loop.Modified);
    QTest::mouseRelease(grid, Qt::RightButton, {}, at - QPoint(0, 8));
    EXPECT_FALSE(Knob()->isVisible());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST_F(StepKnobTest, CtrlTurnsTheWholeRowOfEverySelectedChannelEachClampedOnItsOwn) {
    form->SetWheelMode(2);  // pitch and mix wheels, turned with the left button
    loop.Channel(3).Selected = true;
    PatternRecord& other = loop.Channel(3).Pattern(loop.CurrentPattern);
    other.SetValue(RowPitch, 0, 235);
    other.SetValue(RowPitch, 9, 10);
    TTechno16* grid = Grid(1);
    const QPoint at = Upper(1, 3);
    QTest::mousePress(grid, Qt::LeftButton, {}, at);
    ASSERT_TRUE(Knob()->isVisible());
    EXPECT_EQ(Knob()->Max(), 240);
    EXPECT_FALSE(loop.Channel(3).Selected) << "the press selected channel 1 alone";
    loop.Channel(3).Selected = true;  // as a right click on its select button would
    QTest::keyPress(form.get(), Qt::Key_Control);
    ASSERT_TRUE(form->LineCursorShown());
    // Up by 8 pixels at drag speed 240 div 4 = 60 sixteenths: +30.
    QTest::mouseMove(grid, at - QPoint(0, 8), -1);
    for (int s = 0; s < 16; ++s) EXPECT_EQ(Value(1, RowPitch, s), 150) << s;
    EXPECT_EQ(Value(3, RowPitch, 0), 240) << "clamped at the maximum";
    EXPECT_EQ(Value(3, RowPitch, 9), 40);
    EXPECT_EQ(Value(3, RowPitch, 4), 150);
    EXPECT_EQ(Value(0, RowPitch, 4), 120) << "not selected";
    EXPECT_EQ(Value(1, RowMix, 3), 0) << "only the pitch row";
    EXPECT_EQ(Hint(), "pitch 3");
    QTest::keyRelease(form.get(), Qt::Key_Control);
    EXPECT_FALSE(form->LineCursorShown());
    Knob()->grab().save(TROVAMIX_BINARY_DIR "/step-knob.png");
    form->grab().save(TROVAMIX_BINARY_DIR "/step-knob-window.png");
    QTest::mouseRelease(grid, Qt::LeftButton, {}, at - QPoint(0, 8));
    EXPECT_EQ(form->WheelMode(), 2) << "wheels chosen by the button stay";
    EXPECT_FALSE(Knob()->isVisible());
}

}  // namespace
}  // namespace tx
