// The on-screen keyboard: keys under points, velocities, gliding and painting.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include "controls/Keys.h"

namespace tx {
namespace {

void Mouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

TEST(Keys, KeyUnderAPoint) {
    TKeys keys;  // 200 x 50, 10 pixels a white key, from octave 3
    struct Case {
        int x, y, key;
        const char* why;
    };
    // Black keys are 7 wide (6 made odd) and 30 long; C#'s centre is at 10 - 1.
    const Case cases[] = {
        {5, 45, 36, "C3"},
        {10, 10, 37, "C# over the C/D boundary"},
        {6, 10, 37, "C#'s left edge (9 - 3)"},
        {5, 10, 36, "just left of C#"},
        {10, 40, 38, "below the black key: D"},
        {13, 10, 38, "just right of C# (9 + 4)"},
        {20, 10, 39, "D#, moved right of its boundary"},
        {25, 10, 40, "E: D#'s right edge is 24"},
        {30, 10, 41, "F: E has no black key after it"},
        {37, 5, 42, "F#"},
        {70, 45, 48, "C4"},
        {199, 45, 69, "A5 at the far end"},
        {-1, 10, -1, "off the keys"},
        {5, 50, -1, "below the keys"},
    };
    for (const Case& c : cases) EXPECT_EQ(keys.KeyAt({c.x, c.y}), c.key) << c.why;
    keys.SetBaseOctave(10);
    EXPECT_EQ(keys.KeyAt({70, 45}), 132) << "beyond 127 is reported, not wrapped";

    keys.SetOrientation(TKeys::kbVertical);
    keys.SetBaseOctave(3);
    keys.resize(50, 200);
    EXPECT_EQ(keys.KeyAt({45, 194}), 36) << "vertical: from the bottom up";
    EXPECT_EQ(keys.KeyAt({10, 189}), 37) << "black keys on the left";
    EXPECT_EQ(keys.KeyAt({45, 129}), 48);
}

TEST(Keys, VelocityFromTheClickPosition) {
    TKeys keys;
    struct Case {
        bool mode;
        int x, y, velocity;
    };
    const Case cases[] = {
        {false, 5, 1, 127},  {false, 5, 49, 127}, {false, 10, 2, 127},  // always 127 without the mode
        {true, 5, 49, 124},                                             // 49 * 127 / 50
        {true, 5, 2, 5},                                                // near the edge: small
        {true, 5, 0, 0},     {true, 10, 2, 8},                          // a black key is 30 long: 2 * 127 / 30
        {true, 10, 29, 122},
    };
    for (const Case& c : cases) {
        keys.SetVelocityMode(c.mode);
        int v = -1;
        keys.KeyAt({c.x, c.y}, &v);
        EXPECT_EQ(v, c.velocity) << c.mode << " " << c.x << "," << c.y;
    }
}

TEST(Keys, LeftDragGlidesRightDragDoesNot) {
    TKeys keys;
    keys.show();
    QSignalSpy on(&keys, &TKeys::NoteOn), off(&keys, &TKeys::NoteOff);
    Mouse(&keys, QEvent::MouseButtonPress, {5, 45}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(keys.KeyShownDown(36));
    Mouse(&keys, QEvent::MouseMove, {15, 45}, Qt::NoButton, Qt::LeftButton);
    Mouse(&keys, QEvent::MouseMove, {16, 46}, Qt::NoButton, Qt::LeftButton);  // the same key: nothing new
    Mouse(&keys, QEvent::MouseMove, {15, 60}, Qt::NoButton, Qt::LeftButton);  // outside: nothing
    Mouse(&keys, QEvent::MouseButtonRelease, {15, 60}, Qt::LeftButton, Qt::NoButton);
    ASSERT_EQ(on.count(), 2);
    EXPECT_EQ(on[0][0].toInt(), 36);
    EXPECT_EQ(on[1][0].toInt(), 38);
    ASSERT_EQ(off.count(), 2);
    EXPECT_EQ(off[0], (QList<QVariant>{36, 0}));
    EXPECT_EQ(off[1], (QList<QVariant>{38, 0}));
    EXPECT_FALSE(keys.KeyShownDown(38));
    EXPECT_EQ(keys.CurrentKey(), -1);

    on.clear();
    off.clear();
    Mouse(&keys, QEvent::MouseButtonPress, {5, 45}, Qt::RightButton, Qt::RightButton);
    Mouse(&keys, QEvent::MouseMove, {35, 45}, Qt::NoButton, Qt::RightButton);
    Mouse(&keys, QEvent::MouseMove, {55, 45}, Qt::NoButton, Qt::RightButton);
    EXPECT_TRUE(keys.KeyShownDown(36));
    Mouse(&keys, QEvent::MouseButtonRelease, {55, 45}, Qt::RightButton, Qt::NoButton);
    ASSERT_EQ(on.count(), 1) << "no glide with the right button";
    EXPECT_EQ(on[0][0].toInt(), 36);
    ASSERT_EQ(off.count(), 1);
    EXPECT_EQ(off[0][0].toInt(), 36);
}

TEST(Keys, PaintsTheMiddleNoteAndPressedKeys) {
    TKeys keys;
    keys.SetMiddleNote(48);
    keys.show();
    Mouse(&keys, QEvent::MouseButtonPress, {15, 45}, Qt::LeftButton, Qt::LeftButton);
    const QImage image = keys.grab().toImage();
    image.save(QStringLiteral(TROVAMIX_BINARY_DIR "/keys.png"));
    EXPECT_EQ(image.pixelColor(5, 45), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(75, 45), QColor(230, 150, 40)) << "the middle note C4";
    EXPECT_EQ(image.pixelColor(15, 45), QColor(192, 192, 192)) << "D3 held";
    EXPECT_EQ(image.pixelColor(10, 10), QColor(Qt::black)) << "C#";
    Mouse(&keys, QEvent::MouseButtonRelease, {15, 45}, Qt::LeftButton, Qt::NoButton);
}

TEST(Keys, KeyboardAndScreenReader) {
    TKeys keys;
    keys.show();
    keys.setFocus();
    QSignalSpy on(&keys, &TKeys::NoteOn), off(&keys, &TKeys::NoteOff);
    QTest::keyClick(&keys, Qt::Key_Right);
    QTest::keyClick(&keys, Qt::Key_Right);
    QTest::keyClick(&keys, Qt::Key_Left);
    EXPECT_EQ(keys.FocusKey(), 61);
    QTest::keyClick(&keys, Qt::Key_Space);
    ASSERT_EQ(on.count(), 1);
    EXPECT_EQ(on[0], (QList<QVariant>{61, 100}));
    EXPECT_EQ(off.count(), 1);
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&keys);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->text(QAccessible::Name), "Keyboard, key C#5");
}

}  // namespace
}  // namespace tx
