// Image button, skinned menu bar and what a screen reader sees of every control.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "StripSupport.h"
#include "controls/Controls.h"

namespace tx {
namespace {

using test::FrameAt;
using test::StripBitmap;

class Button : public ::testing::Test {
protected:
    void SetUp() override {
        strip.LoadCount(StripBitmap(4, 22, 18), 4);
        button.SetImList(&strip);
        button.SetILIndex(2);
        button.resize(22, 18);
        button.show();
    }
    int Shown() { return FrameAt(button.grab().toImage(), 11, 9, 4); }
    TImageStrip strip;
    TMyTransButton button;
};

TEST_F(Button, ShowsTheInvertedStateOnlyWhileThePointerStaysOnIt) {
    QSignalSpy clicked(&button, &TMyTransButton::Clicked);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Shown(), 3);
    QTest::mouseMove(&button, QPoint(40, 5));
    EXPECT_EQ(Shown(), 2);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(40, 5));
    EXPECT_EQ(clicked.count(), 0) << "released away from the button";
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_FALSE(button.Down()) << "a plain button springs back";
    EXPECT_EQ(Shown(), 2);
}

TEST_F(Button, AStayDownButtonToggles) {
    button.SetStayDown(true);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(button.Down());
    EXPECT_EQ(Shown(), 3);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Shown(), 2) << "pressing a down button shows it up";
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(button.Down());
}

TEST_F(Button, AMouseDownHandlerCanSwallowTheClick) {
    button.SetStayDown(true);
    QSignalSpy clicked(&button, &TMyTransButton::Clicked);
    QObject::connect(&button, &TMyTransButton::MouseDown, &button,
                     [this](Qt::MouseButton) { button.SetAllowClick(false); });
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_TRUE(button.Down()) << "the toggle still happens";
}

TEST_F(Button, ARightPressShowsItsMenuAtTheRightEdgeDrawnPressed) {
    QMenu menu;
    menu.addAction("One");
    button.SetPopUpMenu(&menu);
    bool pressedWhileOpen = false;
    QPoint menuAt;
    QTimer::singleShot(0, &menu, [&] {
        pressedWhileOpen = button.PopupOpen() && button.FrameShown() == 3;
        menuAt = menu.pos();
        menu.close();
    });
    QTest::mousePress(&button, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_TRUE(pressedWhileOpen);
    EXPECT_EQ(menuAt.x(), button.mapToGlobal(QPoint(22, 0)).x());
    EXPECT_FALSE(button.PopupOpen());
    EXPECT_EQ(Shown(), 2);
}

TEST(ButtonCaption, ALongNameEndsInAnEllipsisInsteadOfSpillingOverTheEdges) {
    TMyTransButton named;
    named.resize(60, 16);
    const QImage empty = named.grab().toImage();
    named.SetCaption("Closed Hat With A Long Name");
    const QImage shown = named.grab().toImage();
    bool inked = false;
    for (int y = 0; y < 16; ++y) {
        for (int x : {0, 1, 58, 59}) EXPECT_EQ(shown.pixel(x, y), empty.pixel(x, y)) << x << "," << y;
        for (int x = 2; x < 58; ++x) inked |= shown.pixel(x, y) != empty.pixel(x, y);
    }
    EXPECT_TRUE(inked);  // the start of the name is still there
}

TEST_F(Button, TheCaptionsAcceleratorClicksIt) {
    button.SetCaption("&Mute");
    button.SetStayDown(true);
    button.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&button));
    QSignalSpy clicked(&button, &TMyTransButton::Clicked);
    QTest::keyClick(&button, Qt::Key_M, Qt::AltModifier);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_TRUE(button.Down());
}

class Menu : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* title : {"&File", "&Edit", "&View"}) menus.push_back(new QMenu(title, &window));
        save = menus[0]->addAction("&Save");
        save->setShortcut(QKeySequence("Ctrl+S"));
        QMenu* sub = menus[1]->addMenu("&More");
        deep = sub->addAction("&Deep");
        deep->setShortcut(QKeySequence("Alt+L"));
        menus[2]->addAction("&Dots window");
        bar = new TNewMenu(&window);
        bar->SetMirrorMenu(menus);
        window.resize(400, 100);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void TearDown() override {
        for (QMenu* m : menus) m->close();
    }
    QWidget window;
    QList<QMenu*> menus;
    QAction* save = nullptr;
    QAction* deep = nullptr;
    TNewMenu* bar = nullptr;
};

TEST_F(Menu, SeparatorsSetTheBandsAndTheLastReachesTheEdge) {
    TImageStrip strip;
    strip.LoadCount(StripBitmap(2, 300, 18), 2);
    bar->SetImList(&strip);
    EXPECT_EQ(bar->size(), QSize(300, 18));
    bar->SetSeparators({40, 95});
    ASSERT_EQ(bar->Items().size(), 3u);
    EXPECT_EQ(bar->Items()[0].Left, 0);
    EXPECT_EQ(bar->Items()[0].Width, 40);
    EXPECT_EQ(bar->Items()[1].Left, 40);
    EXPECT_EQ(bar->Items()[1].Width, 55);
    EXPECT_EQ(bar->Items()[2].Width, 205);
    EXPECT_EQ(bar->ItemAt(39), 0);
    EXPECT_EQ(bar->ItemAt(40), 1);
    EXPECT_EQ(bar->ItemAt(299), 2);
    // The highlighted item shows frame 1 within its band only.
    QTest::mouseMove(bar, QPoint(50, 9));
    const QImage shot = bar->grab().toImage();
    EXPECT_EQ(FrameAt(shot, 39, 9, 2), 0);
    EXPECT_EQ(FrameAt(shot, 40, 9, 2), 1);
    EXPECT_EQ(FrameAt(shot, 94, 9, 2), 1);
    EXPECT_EQ(FrameAt(shot, 95, 9, 2), 0);
}

TEST_F(Menu, APressOpensUnderTheBarOrAboveIt) {
    bar->move(0, 50);
    bar->SetSeparators({40, 95});
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(50, 5));
    ASSERT_EQ(bar->OpenMenu(), menus[1]);
    EXPECT_TRUE(menus[1]->isVisible());
    EXPECT_EQ(menus[1]->pos(), bar->mapToGlobal(QPoint(40, bar->height())));
    menus[1]->close();
    EXPECT_EQ(bar->OpenMenu(), nullptr);
    bar->SetDropUp(true);
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(bar->OpenMenu(), menus[0]);
    EXPECT_EQ(menus[0]->pos().y() + menus[0]->height(), bar->mapToGlobal(QPoint(0, 0)).y());
}

TEST_F(Menu, MovingOntoAnotherItemWhileOpenSwitchesDropDowns) {
    bar->SetSeparators({40, 95});
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(bar->OpenMenu(), menus[0]);
    // The open drop-down has the mouse, so the move reaches it, not the bar.
    const QPoint over = bar->mapToGlobal(QPoint(120, 5));
    QMouseEvent move(QEvent::MouseMove, menus[0]->mapFromGlobal(over), over, Qt::NoButton, Qt::NoButton, {});
    QApplication::sendEvent(menus[0], &move);
    EXPECT_EQ(bar->OpenMenu(), menus[2]);
    EXPECT_FALSE(menus[0]->isVisible());
    EXPECT_TRUE(menus[2]->isVisible());
}

TEST_F(Menu, ShortcutsOfTheMirroredMenuWorkThroughTheBar) {
    QSignalSpy saved(save, &QAction::triggered);
    QSignalSpy deepened(deep, &QAction::triggered);
    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(saved.count(), 1);
    EXPECT_EQ(deepened.count(), 1);
    window.setEnabled(false);
    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(saved.count(), 1) << "not while the window is disabled";
}

TEST_F(Menu, WithoutAPictureDrawsBandsWithCaptions) {
    const QImage shot = bar->grab().toImage();
    ASSERT_EQ(bar->Items().size(), 3u);
    EXPECT_GT(bar->Items()[0].Width, 10);
    // the caption leaves pixels of another colour than the band's in its first band
    const QRgb fill = shot.pixel(2, bar->height() / 2);
    int ink = 0;
    for (int x = 5; x < bar->Items()[0].Width - 2; ++x)
        for (int y = 2; y < bar->height() - 2; ++y) ink += shot.pixel(x, y) != fill;
    EXPECT_GT(ink, 5);
}

// Accessibility: names from hints or captions, roles, values, checked states.
TEST(Accessibility, EveryValueControlReportsRoleNameAndRange) {
    QWidget window;
    auto* knob = new TWAVWheel(&window);
    knob->SetHint("|Main Volume");
    knob->SetValueProperty(64);
    auto* slider = new TTrackSlider(&window);
    slider->SetHint("|Main Pitch");
    slider->SetRange(-1200, 1200);
    slider->SetPosition(25, false);
    auto* spin = new TZavoUpDown(&window);
    spin->SetHint("|Adjust Tempo");
    spin->SetRange(10, 500);
    spin->SetValueProperty(140);
    struct Case {
        QWidget* widget;
        QAccessible::Role role;
        const char* name;
        int value, min, max;
    } cases[] = {{knob, QAccessible::Dial, "Main Volume", 64, 0, 127},
                 {slider, QAccessible::Slider, "Main Pitch", 25, -1200, 1200},
                 {spin, QAccessible::SpinBox, "Adjust Tempo", 140, 10, 500}};
    for (const Case& c : cases) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c.widget);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->role(), c.role);
        EXPECT_EQ(a->text(QAccessible::Name), c.name);
        QAccessibleValueInterface* v = a->valueInterface();
        ASSERT_NE(v, nullptr) << c.name;
        EXPECT_EQ(v->currentValue().toInt(), c.value);
        EXPECT_EQ(v->minimumValue().toInt(), c.min);
        EXPECT_EQ(v->maximumValue().toInt(), c.max);
        v->setCurrentValue(c.max + 5);
        EXPECT_EQ(v->currentValue().toInt(), c.max) << "a screen reader's value is clamped too";
    }
}

TEST(Accessibility, ButtonsReportCheckedStateAndPressAction) {
    TMyTransButton toggle;
    toggle.SetHint("|Start playing");
    toggle.SetStayDown(true);
    TMyTransButton plain;
    plain.SetCaption("Render &WAV...");
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&toggle);
    EXPECT_EQ(a->text(QAccessible::Name), "Start playing");
    EXPECT_TRUE(a->state().checkable);
    EXPECT_FALSE(a->state().checked);
    a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(toggle.Down());
    EXPECT_TRUE(a->state().checked);
    QAccessibleInterface* b = QAccessible::queryAccessibleInterface(&plain);
    EXPECT_EQ(b->text(QAccessible::Name), "Render WAV...");
    EXPECT_EQ(b->role(), QAccessible::Button);
    EXPECT_FALSE(b->state().checkable);
}

TEST(Accessibility, DigitDisplaysReportTheirNumber) {
    TRCADigital digits;
    digits.SetHint("|Adjust Tempo");
    digits.SetValue(140);
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&digits);
    EXPECT_EQ(a->text(QAccessible::Name), "Adjust Tempo");
    EXPECT_EQ(a->text(QAccessible::Value), "140");
    digits.setAccessibleName("Tempo");
    EXPECT_EQ(a->text(QAccessible::Name), "Tempo");
}

}  // namespace
}  // namespace tx
