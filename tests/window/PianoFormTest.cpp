// The keyboard editor's window: the roll and the bars under the mouse, one
// undo step per drag, the straight line held inside the box, the auto-scroll,
// the placement and the screenshots of both modes.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "loopfile/LoopFile.h"
#include "model/Loop.h"
#include "model/Undo.h"
#include "skin/Style.h"
#include "window/PianoForm.h"
#include "window/StyleApplier.h"

namespace tx {
namespace {

const TStyleData& DefaultStyle() {
    static const TStyleData style = LoadStyleData({"", "", FindEmbeddedStyleFile});
    return style;
}

void Mouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// y on the roll of key `key` (its white key's lower part; x in a column's right part).
int KeyY(int key) {
    static const int off[] = {2, 6, 11, 13, 22, 26, 30, 35, 38, 43, 46, 52};
    return PianoBoxHeight - ((key / 12) * 56 + off[key % 12]);
}

class PianoFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int ch = 0; ch < loop.ChannelCount(); ++ch) {
            loop.Channel(ch).Sample.Data.resize(200);
            loop.Channel(ch).Sample.Length = loop.Channel(ch).Sample.PlayLength = 100;
        }
        loop.CurrentPattern = 7;
        TPianoHost host;
        host.PlayKey = [this](int ch, int step, int key) { played.push_back({ch, step, key}); };
        host.StepSet = [this](int ch, int step, bool) { stepsSet.push_back({ch, step, 0}); };
        host.RowRect = [this](int) { return rowRect; };
        host.ShowHint = [this](const QString& t) { hint = t; };
        form = std::make_unique<TPianoForm>(loop, host, nullptr);
        applier.AddRoot(form.get());
        applied = applier.Apply(DefaultStyle());
        form->SetStrips(images.Strip("Keyb.bmp"), images.Strip("Keyb_Keys.bmp"));
        form->OpenFor(0);
    }
    PatternRecord& Rec(int ch, int pattern = 7) { return loop.Channel(ch).Pattern(pattern); }
    QWidget* Keyb() { return form->KeybBox(); }
    QWidget* Draw() { return form->DrawBox(); }

    TLoop loop;
    TUndoHistory undo{loop};
    TStyleImages images;
    TStyleApplier applier{nullptr, images};
    TAppliedStyle applied;
    std::unique_ptr<TPianoForm> form;
    struct Hit {
        int ch, step, key;
        bool operator==(const Hit&) const = default;
    };
    std::vector<Hit> played, stepsSet;
    QRect rowRect{100, 200, 256, 27};
    QString hint;
};

TEST_F(PianoFormTest, LeftDragAcrossAllColumnsAtKey60IsOneUndoStep) {
    const std::vector<uint8_t> before = BuildLoopFile(loop);
    Mouse(Keyb(), QEvent::MouseButtonPress, {12, KeyY(60)}, Qt::LeftButton, Qt::LeftButton);
    for (int x = 12; x < 256; x += 4) Mouse(Keyb(), QEvent::MouseMove, {x, KeyY(60)}, Qt::NoButton, Qt::LeftButton);
    Mouse(Keyb(), QEvent::MouseButtonRelease, {252, KeyY(60)}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(Rec(0).StepMask, 0xFFFF);
    for (int s = 0; s < 16; ++s) EXPECT_EQ(Rec(0).Value(RowNote, s), 60);
    ASSERT_EQ(played.size(), 16u) << "each step's sample once, however many moves it took";
    for (int s = 0; s < 16; ++s) EXPECT_EQ(played[size_t(s)], (Hit{0, s, 60}));
    EXPECT_EQ(stepsSet.size(), 16u);
    EXPECT_EQ(hint, "|C5");

    EXPECT_EQ(undo.UndoSteps(), 1u);
    undo.Undo();
    EXPECT_EQ(BuildLoopFile(loop), before) << "undone byte for byte";
}

TEST_F(PianoFormTest, RightClickErasesToTheMiddleNote) {
    loop.Channel(0).MiddleNote = 55;
    Rec(0).SetStep(9, true);
    Rec(0).SetValue(RowNote, 9, 72);
    Mouse(Keyb(), QEvent::MouseButtonPress, {9 * 16 + 12, KeyY(40)}, Qt::RightButton, Qt::RightButton);
    Mouse(Keyb(), QEvent::MouseButtonRelease, {9 * 16 + 12, KeyY(40)}, Qt::RightButton, Qt::NoButton);
    EXPECT_FALSE(Rec(0).GetStep(9));
    EXPECT_EQ(Rec(0).Value(RowNote, 9), 55);
    EXPECT_TRUE(played.empty());
}

TEST_F(PianoFormTest, TransposeCursorMovesTheWholeRow) {
    for (int s = 0; s < 16; ++s) Rec(0).SetValue(RowNote, s, uint8_t(s == 3 ? 122 : 60));
    form->SetTransposeCursor(true);
    Mouse(Keyb(), QEvent::MouseButtonPress, {5 * 16 + 12, KeyY(60)}, Qt::LeftButton, Qt::LeftButton);
    Mouse(Keyb(), QEvent::MouseMove, {5 * 16 + 12, KeyY(62)}, Qt::NoButton, Qt::LeftButton);
    Mouse(Keyb(), QEvent::MouseButtonRelease, {5 * 16 + 12, KeyY(62)}, Qt::LeftButton, Qt::NoButton);
    form->SetTransposeCursor(false);
    EXPECT_EQ(Rec(0).Value(RowNote, 5), 62);
    EXPECT_EQ(Rec(0).Value(RowNote, 3), 123) << "122 becomes 123, not 124";
    EXPECT_EQ(Rec(0).Value(RowNote, 0), 62);
    EXPECT_EQ(Rec(0).StepMask, 0) << "no step switched";
    EXPECT_EQ(undo.UndoSteps(), 1u);
}

TEST_F(PianoFormTest, FallingStraightLineFromStep2To10) {
    form->SetMode(TPianoForm::DrawMode);
    form->SetRow(RowVolume);
    const PatternRecord old = Rec(0);
    Mouse(Draw(), QEvent::MouseButtonPress, {2 * 16 + 8, 2}, Qt::RightButton, Qt::RightButton);
    Mouse(Draw(), QEvent::MouseMove, {6 * 16 + 8, 80}, Qt::NoButton, Qt::RightButton);
    Mouse(Draw(), QEvent::MouseMove, {10 * 16 + 8, 149}, Qt::NoButton, Qt::RightButton);
    Mouse(Draw(), QEvent::MouseButtonRelease, {10 * 16 + 8, 149}, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(Rec(0).Value(RowVolume, 2), 127 * 149 / 151) << "the anchor keeps the value set at the press";
    for (int s = 3; s <= 10; ++s) EXPECT_LT(Rec(0).Value(RowVolume, s), Rec(0).Value(RowVolume, s - 1)) << s;
    EXPECT_EQ(Rec(0).Value(RowVolume, 10), 127 * 2 / 151);
    for (int s : {0, 1, 11, 15}) EXPECT_EQ(Rec(0).Value(RowVolume, s), old.Value(RowVolume, s)) << s;
    EXPECT_EQ(undo.UndoSteps(), 1u);
}

// A right-button line dragged far outside the box writes only steps 0..15,
// only the selected row, and only values inside the row's range.
TEST_F(PianoFormTest, LineOutsideTheBoxStaysInsideTheRow) {
    struct Case {
        int row, anchorX, anchorY, x, y, edgeStep, edge;  // the line's last step in the box, its value
    };
    const Case cases[] = {
        {RowPitch, 8 * 16 + 8, 75, 2000, -3000, 15, 240},
        {RowPitch, 8 * 16 + 8, 75, -2000, 3000, 0, 0},
        {RowVolume, 256, 10, -40, 500, 0, 0},  // pressed on the closing separator
        {RowCutoff, 0, 151, 300, -1000, 15, 127},
    };
    for (const Case& c : cases) {
        for (int ch = 0; ch < loop.ChannelCount(); ++ch) Rec(ch).Reset();
        form->SetMode(TPianoForm::DrawMode);
        form->SetRow(c.row);
        Mouse(Draw(), QEvent::MouseButtonPress, {c.anchorX, c.anchorY}, Qt::RightButton, Qt::RightButton);
        Mouse(Draw(), QEvent::MouseMove, {c.x, c.y}, Qt::NoButton, Qt::RightButton);
        Mouse(Draw(), QEvent::MouseButtonRelease, {c.x, c.y}, Qt::RightButton, Qt::NoButton);
        const int max = StepParamTable[size_t(c.row)].Maximum;
        for (int r = 0; r < StepRowCount; ++r)
            for (int s = 0; s < 16; ++s) {
                const int v = Rec(0).Value(r, s);
                EXPECT_LE(v, StepParamTable[size_t(r)].Maximum);
                if (r != c.row) EXPECT_EQ(v, StepParamTable[size_t(r)].Default) << "row " << r << " untouched";
            }
        for (int s = 0; s < 16; ++s) EXPECT_LE(Rec(0).Value(c.row, s), max);
        EXPECT_EQ(Rec(0).Value(c.row, c.edgeStep), c.edge) << c.x << "," << c.y;
        EXPECT_EQ(Rec(0).StepMask, 0);
        for (int p : {6, 8}) EXPECT_TRUE(Rec(0, p).IsReset()) << "pattern " << p;
        for (int ch = 1; ch < 4; ++ch) EXPECT_TRUE(Rec(ch).IsReset()) << "channel " << ch;
    }
}

TEST_F(PianoFormTest, LeftButtonOnTheClosingSeparatorWritesNothing) {
    form->SetMode(TPianoForm::DrawMode);
    const std::vector<uint8_t> before = BuildLoopFile(loop);
    Mouse(Draw(), QEvent::MouseButtonPress, {256, 10}, Qt::LeftButton, Qt::LeftButton);
    Mouse(Draw(), QEvent::MouseMove, {-1, 10}, Qt::NoButton, Qt::LeftButton);
    Mouse(Draw(), QEvent::MouseButtonRelease, {-1, 10}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(BuildLoopFile(loop), before);
}

TEST_F(PianoFormTest, TwoSelectedChannelsDrawTogether) {
    loop.Channel(2).Selected = true;
    form->SetMode(TPianoForm::DrawMode);
    form->SetRow(RowMix);
    Mouse(Draw(), QEvent::MouseButtonPress, {4 * 16 + 3, 0}, Qt::LeftButton, Qt::LeftButton);
    Mouse(Draw(), QEvent::MouseButtonRelease, {4 * 16 + 3, 0}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(Rec(0).Value(RowMix, 4), 127);
    EXPECT_EQ(Rec(2).Value(RowMix, 4), 127);
    EXPECT_EQ(Rec(1).Value(RowMix, 4), 0);

    form->SetMode(TPianoForm::KeyboardMode);
    Mouse(Keyb(), QEvent::MouseButtonPress, {6 * 16 + 12, KeyY(50)}, Qt::LeftButton, Qt::LeftButton);
    Mouse(Keyb(), QEvent::MouseButtonRelease, {6 * 16 + 12, KeyY(50)}, Qt::LeftButton, Qt::NoButton);
    for (int ch : {0, 2}) EXPECT_EQ(Rec(ch).Value(RowNote, 6), 50) << ch;
    EXPECT_FALSE(Rec(1).GetStep(6));
    EXPECT_EQ(undo.UndoSteps(), 2u);
}

TEST_F(PianoFormTest, AutoScrollMovesEightPixelsATickWithinTheEnds) {
    QScrollBar* bar = form->KeybPanel()->verticalScrollBar();
    bar->setValue(20);
    Mouse(Keyb(), QEvent::MouseButtonPress, {12, 40}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_FALSE(form->Scrolling()) << "inside the view";
    Mouse(Keyb(), QEvent::MouseMove, {12, 5}, Qt::NoButton, Qt::LeftButton);
    ASSERT_TRUE(form->Scrolling());
    std::vector<int> seen;
    QObject::connect(bar, &QScrollBar::valueChanged, [&](int v) { seen.push_back(v); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->value() == 0; }, 3000));
    QTest::qWait(120);
    EXPECT_EQ(seen, (std::vector<int>{12, 4, 0})) << "8 pixels a tick, never past the top";
    Mouse(Keyb(), QEvent::MouseButtonRelease, {12, 5}, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(form->Scrolling());
}

TEST_F(PianoFormTest, OpensUnderTheRowOrAboveItAndHidingEndsADrag) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    rowRect = QRect(50, 100, 256, 27);
    form->OpenFor(1);
    EXPECT_EQ(form->Channel(), 1);
    EXPECT_EQ(form->pos(), QPoint(50, 127));
    rowRect = QRect(50, screen.bottom() - 40, 256, 27);
    form->Reattach();
    EXPECT_EQ(form->pos(), QPoint(50, screen.bottom() - 40 - form->height()));

    Mouse(Keyb(), QEvent::MouseButtonPress, {12, KeyY(60)}, Qt::LeftButton, Qt::LeftButton);
    form->hide();
    EXPECT_EQ(undo.UndoSteps(), 1u) << "the drag's step is closed";
    EXPECT_TRUE(Rec(1).GetStep(0));
}

TEST_F(PianoFormTest, ExactlyOneRowButtonIsDown) {
    form->SetMode(TPianoForm::DrawMode);
    form->RowButton(3)->Click();
    EXPECT_EQ(form->Row(), 3);
    form->RowButton(3)->Click();
    EXPECT_EQ(form->Row(), 3) << "clicking the one down keeps it down";
    for (int r = 0; r < 6; ++r) EXPECT_EQ(form->RowButton(r)->Down(), r == 3);
    form->SetRow(5);
    form->NextRow();
    EXPECT_EQ(form->Row(), 0);
    EXPECT_EQ(form->RowButton(4)->objectName(), "FXResoSelect");
}

TEST_F(PianoFormTest, AScreenReaderReadsAndEditsTheSteps) {
    Rec(0).SetValue(RowNote, 2, 61);
    QAccessibleInterface* roll = QAccessible::queryAccessibleInterface(Keyb());
    ASSERT_TRUE(roll);
    EXPECT_EQ(roll->text(QAccessible::Name), "Piano roll");
    ASSERT_EQ(roll->childCount(), 16);
    QAccessibleInterface* step = roll->child(2);
    EXPECT_EQ(step->text(QAccessible::Name), "Step 3");
    EXPECT_EQ(step->text(QAccessible::Value), "C#5, off");
    EXPECT_EQ(step->role(), QAccessible::CheckBox);
    step->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(Rec(0).GetStep(2));
    EXPECT_EQ(Rec(0).Value(RowNote, 2), 61) << "switched on at its own key (a black one)";
    EXPECT_EQ(played, (std::vector<Hit>{{0, 2, 61}}));
    EXPECT_TRUE(step->state().checked);
    step->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(Rec(0).GetStep(2));
    EXPECT_EQ(undo.UndoSteps(), 2u);

    form->SetMode(TPianoForm::DrawMode);
    form->SetRow(RowPitch);
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(Draw())->child(15);
    ASSERT_TRUE(bar && bar->valueInterface());
    EXPECT_EQ(bar->role(), QAccessible::Slider);
    EXPECT_EQ(bar->valueInterface()->maximumValue().toInt(), 240);
    bar->valueInterface()->setCurrentValue(135);
    EXPECT_EQ(Rec(0).Value(RowPitch, 15), 135);
    EXPECT_EQ(bar->text(QAccessible::Value), "pitch 1.5");
    bar->valueInterface()->setCurrentValue(999);
    EXPECT_EQ(Rec(0).Value(RowPitch, 15), 240) << "held to the row's range";
    EXPECT_EQ(undo.UndoSteps(), 4u);

    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(form->RowButton(2));
    EXPECT_EQ(button->text(QAccessible::Name), "Pitch");
    EXPECT_TRUE(button->state().checked);
}

TEST_F(PianoFormTest, Screenshots) {
    for (int s = 0; s < 16; s += 2) {
        Rec(0).SetStep(s, true);
        Rec(0).SetValue(RowNote, s, uint8_t(57 + s));
        Rec(0).SetValue(RowVolume, s, uint8_t(40 + 5 * s));
        Rec(0).SetValue(RowPan, s, uint8_t(s * 8));
    }
    Rec(0).SetValue(RowNote, 1, 61);
    form->OpenFor(0);
    ASSERT_TRUE(form->grab().save(TROVAMIX_BINARY_DIR "/piano-keyboard.png"));
    form->SetMode(TPianoForm::DrawMode);
    ASSERT_TRUE(form->grab().save(TROVAMIX_BINARY_DIR "/piano-draw-pan.png"));
    form->SetRow(RowVolume);
    const QImage image = form->grab().toImage();
    ASSERT_TRUE(image.save(TROVAMIX_BINARY_DIR "/piano-draw-volume.png"));
    // Step 0's volume bar (40 of 127) rises from the bottom to 151 - 40 * 152 / 127.
    const int top = 151 - 40 * 152 / 127;
    EXPECT_NE(image.pixelColor(8, top + 1), image.pixelColor(8, top - 2));
    EXPECT_EQ(image.pixelColor(8, top + 1), image.pixelColor(8, 148));
}

}  // namespace
}  // namespace tx
