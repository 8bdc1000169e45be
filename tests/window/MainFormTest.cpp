// The main window driven as a user would: real rows from the real layout,
// keys through the window's filter, every shortcut, step clicks, screenshots.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <set>

#include "engine/Engine.h"
#include "model/Loop.h"
#include "window/MainForm.h"
#include "skin/Style.h"

namespace tx {
namespace {

const TStyleData& DefaultStyle() {
    static const TStyleData style = LoadStyleData({"", "", FindEmbeddedStyleFile});
    return style;
}

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        loop.SetEngineLock(&lock);
        for (int i = loop.ChannelCount(); i < channels; ++i) loop.AddChannel();
        loop.SetChannelName(0, "Kick");
        form = std::make_unique<TTrovamixMainForm>(loop, &engine);
        form->ApplyStyle(DefaultStyle());
        form->SetAutoMaximize(true);
        form->FitHeight();
    }
    void ShowActive() {
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    TTechno16* Grid(int ch) { return form->Row(ch)->TechnoGrid; }
    QPoint StepCentre(int ch, int step) { return QPoint(step * 16 + 8, Grid(ch)->ButtonTop + 12); }

    int channels = 4;
    TLoop loop;
    TEngineLock lock;
    TSettings settings;
    TEngine engine{loop, lock, settings};
    std::unique_ptr<TTrovamixMainForm> form;
};

TEST_F(MainFormTest, RowsStandWhereTheLayoutPutsThemAndTheWindowShowsTheLastRowWhole) {
    ASSERT_EQ(form->RowCount(), 4);
    for (int ch = 0; ch < 4; ++ch) {
        const TRowPlacement& p = form->Layout().Rows[size_t(ch)];
        QWidget* back = form->findChild<QWidget*>("BackWP");
        const QRect grid(Grid(ch)->mapTo(back, QPoint(0, 0)), Grid(ch)->size());
        EXPECT_EQ(grid, QRect(p.StepLeft, p.StepTop, 256, p.StepHeight)) << ch;
        EXPECT_EQ(form->Row(ch)->SetButton->mapTo(back, QPoint(0, 0)), QPoint(p.Name.X, p.Name.Y)) << ch;
        EXPECT_EQ(Grid(ch)->height(), LedRowHeight);
    }
    EXPECT_EQ(form->height(), form->MaxHeight());
    EXPECT_GT(form->MaxHeight(), form->MinHeight());
    const int before = form->MaxHeight();

    form->SetHideLeds(true);  // only the last row keeps its leds
    for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(Grid(ch)->height(), PlainRowHeight) << ch;
    EXPECT_EQ(Grid(3)->height(), LedRowHeight);
    EXPECT_EQ(form->MaxHeight(), before - 3 * (LedRowHeight - PlainRowHeight));
    EXPECT_EQ(form->height(), form->MaxHeight());
    EXPECT_TRUE(form->Action(TCommand::HidePositionLeds)->isChecked());
}

TEST_F(MainFormTest, ZippedChannelsPackSideBySideAndAreRestoredByTheirNameButton) {
    for (int ch : {0, 1}) loop.Channel(ch).Selected = true;
    loop.Channel(2).Selected = loop.Channel(3).Selected = false;
    form->RunCommand(TCommand::ZipSelected);
    auto* a = form->Row(0)->SetButton;
    auto* b = form->Row(1)->SetButton;
    EXPECT_FALSE(Grid(0)->isVisibleTo(form.get()));
    EXPECT_EQ(a->mapTo(form.get(), QPoint()).y(), b->mapTo(form.get(), QPoint()).y());
    EXPECT_EQ(b->mapTo(form.get(), QPoint()).x() - a->mapTo(form.get(), QPoint()).x(), a->width() + MinimizedGap);
    EXPECT_EQ(form->height(), form->MaxHeight());

    QTest::mouseClick(b, Qt::RightButton);  // restore
    EXPECT_FALSE(loop.Channel(1).Minimized);
    EXPECT_TRUE(Grid(1)->isVisibleTo(form.get()));
}

TEST_F(MainFormTest, DigitKeysMuteAndSoloChannels) {
    ShowActive();
    QTest::keyClick(form.get(), Qt::Key_2);
    EXPECT_FALSE(loop.Channel(1).Enabled);
    EXPECT_TRUE(form->Row(1)->FrontMuteButton->Down());
    QTest::keyClick(form.get(), Qt::Key_2);
    EXPECT_TRUE(loop.Channel(1).Enabled);
    QTest::keyClick(form.get(), Qt::Key_9);  // beyond the four channels: nothing
    for (int ch = 0; ch < 4; ++ch) EXPECT_TRUE(loop.Channel(ch).Enabled);

    QTest::keyClick(form.get(), Qt::Key_3, Qt::ControlModifier);  // solo
    for (int ch = 0; ch < 4; ++ch) EXPECT_EQ(loop.Channel(ch).Enabled, ch == 2) << ch;
    EXPECT_TRUE(form->Row(0)->FrontMuteButton->Down());
    QTest::keyClick(form.get(), Qt::Key_3, Qt::ControlModifier);  // unsolo
    for (int ch = 0; ch < 4; ++ch) EXPECT_TRUE(loop.Channel(ch).Enabled) << ch;
    EXPECT_FALSE(form->Row(0)->FrontMuteButton->Down());
}

class MainFormTenChannels : public MainFormTest {
protected:
    void SetUp() override {
        channels = 10;
        MainFormTest::SetUp();
    }
};

TEST_F(MainFormTenChannels, KeyZeroIsChannelTen) {
    ShowActive();
    QTest::keyClick(form.get(), Qt::Key_0);
    EXPECT_FALSE(loop.Channel(9).Enabled);
    for (int ch = 0; ch < 9; ++ch) EXPECT_TRUE(loop.Channel(ch).Enabled) << ch;
}

TEST_F(MainFormTest, VShowsTheWheelsWhileHeldAndAutoRepeatIsIgnored) {
    ShowActive();
    QTest::keyPress(form.get(), Qt::Key_V);
    EXPECT_EQ(form->WheelMode(), 1);
    EXPECT_TRUE(form->findChild<TMyTransButton*>("FXVolBtn")->Down());
    QTest::sendKeyEvent(QTest::KeyAction::Release, form.get(), Qt::Key_V, 'v', Qt::NoModifier);
    EXPECT_EQ(form->WheelMode(), 0);
    QTest::keyPress(form.get(), Qt::Key_P);
    EXPECT_EQ(form->WheelMode(), 2);
    // A repeated key arrives as release + press with the repeat flag: the wheels stay.
    QKeyEvent repeatRelease(QEvent::KeyRelease, Qt::Key_P, Qt::NoModifier, "p", true);
    QApplication::sendEvent(form.get(), &repeatRelease);
    EXPECT_EQ(form->WheelMode(), 2);
    QTest::keyRelease(form.get(), Qt::Key_P);
    EXPECT_EQ(form->WheelMode(), 0);
}

TEST_F(MainFormTest, CtrlOverTheWheelsShowsTheLineCursorAndTheIconHasEveryDesktopSize) {
    ShowActive();
    QTest::keyPress(form.get(), Qt::Key_V);
    QTest::keyPress(form.get(), Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(form->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(form->cursor().hotSpot(), QPoint(1, 1));
    EXPECT_EQ(form->cursor().pixmap().size(), QSize(32, 32));
    QTest::keyRelease(form.get(), Qt::Key_Control);
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
    QTest::keyRelease(form.get(), Qt::Key_V);

    const QList<QSize> sizes = form->windowIcon().availableSizes();
    for (const int side : {18, 48, 128, 256}) EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;
}

TEST_F(MainFormTest, KeypadChoosesPatternsAndSpaceStartsAndStops) {
    ShowActive();
    QTest::keyClick(form.get(), Qt::Key_7, Qt::KeypadModifier);
    EXPECT_EQ(loop.CurrentPattern, 7);
    EXPECT_EQ(form->findChild<TRCADigital*>("PatNumDig")->Value(), 7);
    QTest::keyClick(form.get(), Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(loop.CurrentPattern, 8);
    QTest::keyClick(form.get(), Qt::Key_Minus, Qt::KeypadModifier);
    QTest::keyClick(form.get(), Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(loop.CurrentPattern, 6);
    QTest::keyClick(form.get(), Qt::Key_7);  // main keyboard: a channel, not a pattern
    EXPECT_EQ(loop.CurrentPattern, 6);

    QTest::keyClick(form.get(), Qt::Key_Space);
    EXPECT_TRUE(engine.Playing);
    EXPECT_TRUE(form->findChild<TMyTransButton*>("StartButton")->Down());
    QTest::keyClick(form.get(), Qt::Key_Space);
    EXPECT_FALSE(engine.Playing);
    QTest::keyClick(form.get(), Qt::Key_L);
    EXPECT_TRUE(loop.SongMode);
}

TEST_F(MainFormTest, UpAndDownSkipZippedChannels) {
    ShowActive();
    loop.Channel(1).Minimized = true;
    form->SelectAlone(0);
    QTest::keyClick(form.get(), Qt::Key_Down);
    EXPECT_EQ(loop.SelectedChannel(), 2);
    QTest::keyClick(form.get(), Qt::Key_Up);
    EXPECT_EQ(loop.SelectedChannel(), 0);
    QTest::keyClick(form.get(), Qt::Key_Up);  // wraps
    EXPECT_EQ(loop.SelectedChannel(), 3);
}

TEST_F(MainFormTest, EveryShortcutExistsOnceAndFires) {
    ShowActive();
    QSignalSpy spy(form.get(), &TTrovamixMainForm::CommandRun);
    std::set<QString> seen;
    int fired = 0;
    for (const TMenuDef& menu : MainMenus())
        for (const TMenuItemDef& item : menu.Items) {
            if (item.Shortcut.empty()) continue;
            const QString keys = QString::fromUtf8(item.Shortcut.data(), qsizetype(item.Shortcut.size()));
            EXPECT_TRUE(seen.insert(keys).second) << keys.toStdString();
            // Commands that open modal windows are left to their own tests.
            if (item.Command == TCommand::Panic || item.Command == TCommand::ZipSelected ||
                item.Command == TCommand::HintPanel || item.Command == TCommand::AddChannel ||
                item.Command == TCommand::HidePositionLeds || item.Command == TCommand::SelectAll ||
                item.Command == TCommand::Cut || item.Command == TCommand::Copy || item.Command == TCommand::Random ||
                item.Command == TCommand::ShiftLeft) {
                spy.clear();
                QTest::keySequence(form.get(), QKeySequence(keys));
                ASSERT_EQ(spy.size(), 1) << keys.toStdString();
                EXPECT_EQ(spy[0][0].value<TCommand>(), item.Command) << keys.toStdString();
                ++fired;
            } else {
                QAction* action = form->Action(item.Command);
                ASSERT_TRUE(action) << keys.toStdString();
                EXPECT_EQ(action->shortcut(), QKeySequence(keys));
            }
        }
    EXPECT_GE(fired, 10);
    EXPECT_EQ(loop.ChannelCount(), 5);  // Ctrl+D added one
    EXPECT_EQ(form->RowCount(), 5);
}

TEST_F(MainFormTest, AltLetterOpensItsMenuUnlessAnItemTakesTheKey) {
    ShowActive();
    auto* bar = form->MenuBar();
    QTest::keyClick(form.get(), Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(bar->OpenIndex(), 2);  // "&Channels"
    if (auto* popup = QApplication::activePopupWidget()) popup->close();
    QSignalSpy spy(form.get(), &TTrovamixMainForm::CommandRun);
    QTimer::singleShot(0, [] {  // the humanize window, cancelled
        if (QWidget* dialog = QApplication::activeModalWidget()) dialog->close();
    });
    QTest::keyClick(form.get(), Qt::Key_H, Qt::AltModifier);  // "&Humanize", not "&Help"
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy[0][0].value<TCommand>(), TCommand::Humanize);
}

struct TPaintCase {
    const char* Name;
    bool BothButtons;
    bool StartOn;
    Qt::MouseButton Button;
    int FromX, ToX;
    bool Expect;  // the state every crossed step ends in
};

class StepPaintTest : public MainFormTest, public ::testing::WithParamInterface<TPaintCase> {};

TEST_P(StepPaintTest, ADragPaintsEveryStepItCrosses) {
    const TPaintCase& c = GetParam();
    form->SetBothButtons(c.BothButtons);
    if (c.StartOn) loop.SetStep(0, loop.CurrentPattern, StepAt(std::max(c.FromX, 0)), true);
    TTechno16* grid = Grid(0);
    const int y = grid->ButtonTop + 10;
    QTest::mousePress(grid, c.Button, {}, QPoint(c.FromX, y));
    // Only x counts: the drag wanders into the row below and still paints this one.
    for (int x = c.FromX; x <= c.ToX; x += 5) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, y + 60), grid->mapToGlobal(QPointF(x, y + 60)), Qt::NoButton,
                         c.Button, Qt::NoModifier);
        QApplication::sendEvent(grid, &move);
    }
    QTest::mouseRelease(grid, c.Button, {}, QPoint(c.ToX, y));
    for (int s = StepAt(std::max(c.FromX, 0)); s <= StepAt(c.ToX); ++s)
        EXPECT_EQ(loop.GetStep(0, loop.CurrentPattern, s), c.Expect) << s;
    EXPECT_FALSE(loop.GetStep(1, loop.CurrentPattern, StepAt(c.ToX)));
    EXPECT_EQ(loop.SelectedChannel(), 0);
}

INSTANTIATE_TEST_SUITE_P(Drags, StepPaintTest,
                         ::testing::Values(TPaintCase{"FirstOffTurnsOn", false, false, Qt::LeftButton, 2, 70, true},
                                           TPaintCase{"FirstOnTurnsOff", false, true, Qt::LeftButton, 2, 70, false},
                                           TPaintCase{"LeftEdgeIsStepZero", false, false, Qt::LeftButton, -12, 20,
                                                      true},
                                           TPaintCase{"BothLeftOn", true, true, Qt::LeftButton, 2, 70, true},
                                           TPaintCase{"BothRightOff", true, true, Qt::RightButton, 2, 70, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(MainFormTest, AStepClickIsRepaintedAtOnceAndSeenByAScreenReader) {
    ShowActive();
    TTechno16* grid = Grid(0);
    const QImage before = grid->grab().toImage();
    QTest::mouseClick(grid, Qt::LeftButton, {}, StepCentre(0, 5));
    EXPECT_TRUE(loop.GetStep(0, loop.CurrentPattern, 5));
    EXPECT_TRUE(loop.Modified);
    const QImage after = grid->grab().toImage();
    const QRect cell(5 * 16, grid->ButtonTop, 16, 27);
    EXPECT_NE(before.copy(cell), after.copy(cell));
    EXPECT_EQ(before.copy(QRect(0, 0, 5 * 16, 27)), after.copy(QRect(0, 0, 5 * 16, 27)));

    QAccessibleInterface* row = QAccessible::queryAccessibleInterface(form->Row(0));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->role(), QAccessible::Grouping);
    EXPECT_EQ(row->text(QAccessible::Name), "Kick");
    QAccessibleInterface* steps = QAccessible::queryAccessibleInterface(grid);
    ASSERT_TRUE(steps);
    EXPECT_EQ(steps->text(QAccessible::Name), "Kick steps");
    ASSERT_EQ(steps->childCount(), 16);
    EXPECT_EQ(steps->child(5)->text(QAccessible::Name), "Step 6");
    EXPECT_TRUE(steps->child(5)->state().checked);
    EXPECT_FALSE(steps->child(4)->state().checked);
    steps->child(4)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(loop.GetStep(0, loop.CurrentPattern, 4));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form->Row(1)->TechnoGrid)->text(QAccessible::Name),
              "Channel 1 steps");
}

TEST_F(MainFormTest, HintsGoToTheHintPanelAndTheIconCountsClicks) {
    auto* info = form->findChild<QLabel*>("InfoLabel");
    auto* start = form->findChild<TMyTransButton*>("StartButton");
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(start, &enter);
    EXPECT_EQ(info->text(), "Start playing");
    EXPECT_TRUE(form->toolTip().isEmpty());
    auto* icon = form->findChild<QLabel*>("CloseIconZone");
    const char* expected[] = {"Start playing",
                              "Start playing",
                              "Stop clicking on the fruit",
                              "Stop clicking on the fruit",
                              "!!!Stop clicking on that fruit!!!",
                              "!!!Stop clicking on that fruit!!!"};
    // Plain presses: QTest would turn quick clicks into a double-click, which closes the window.
    auto press = [icon] {
        QMouseEvent e(QEvent::MouseButtonPress, QPointF(4, 4), icon->mapToGlobal(QPointF(4, 4)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(icon, &e);
    };
    for (const char* text : expected) {
        press();
        EXPECT_EQ(info->text(), QString(text));
    }
    press();
    EXPECT_EQ(form->findChild<QLabel*>("CaptionLabel")->text(), "Stop clicking on that damn fruit!");
    EXPECT_EQ(form->windowTitle(), "Stop clicking on that damn fruit!");
    EXPECT_EQ(Tips().size(), 17u);
}

TEST_F(MainFormTest, TheScopeTickLowersTheMeterAndTakesTheScopeBlockByItsFlag) {
    auto* meter = form->findChild<TWAVVolumeter*>("MixVolumeter");
    engine.PeakLeft = 30000;
    engine.PeakRight = 10000;
    form->ScopeTick();
    EXPECT_EQ(meter->LeftLevel(), 30000);
    EXPECT_EQ(meter->RightLevel(), 10000);
    form->ScopeTick();
    EXPECT_EQ(meter->LeftLevel(), 30000 - 4096);
    EXPECT_EQ(meter->RightLevel(), 10000 - 4096);
    for (int i = 0; i < 3; ++i) form->ScopeTick();
    EXPECT_EQ(meter->RightLevel(), 0);

    // The scope block is taken only once the mixer has flagged it, and the flag is handed back.
    auto* scope = form->findChild<TWAVScope*>("MixScope");
    scope->ClearData();
    form->ScopeTick();
    EXPECT_FALSE(scope->HasData());
    lock.ScopeSample.Data.assign(size_t(lock.BlockFrames) * 2, 1000);
    engine.ScopeFilled = true;
    form->ScopeTick();
    EXPECT_TRUE(scope->HasData());
    EXPECT_FALSE(engine.ScopeFilled);
    EXPECT_TRUE(engine.ScopeButton);
    QTest::mouseClick(form->findChild<TMyTransButton*>("ScopeButton"), Qt::LeftButton);  // released
    EXPECT_FALSE(scope->HasData());
    form->ScopeTick();
    EXPECT_FALSE(engine.ScopeButton);

    // Pressed again while stopped, the same silent block is drawn once, and a
    // display with nothing new for a while looks less often until Start.
    QTest::mouseClick(form->findChild<TMyTransButton*>("ScopeButton"), Qt::LeftButton);
    engine.ScopeFilled = true;
    form->ScopeTick();
    EXPECT_TRUE(scope->HasData());
    const int fast = form->ScopeInterval();
    for (int i = 0; i < 100 && form->ScopeInterval() == fast; ++i) {
        engine.ScopeFilled = true;
        form->ScopeTick();
    }
    EXPECT_GT(form->ScopeInterval(), fast);
    engine.PeakLeft = 5000;  // a preview sound wakes it
    form->ScopeTick();
    EXPECT_EQ(form->ScopeInterval(), fast);
}

TEST_F(MainFormTest, TheLedsFollowTheMixersStepAndGoOutWhenItStops) {
    form->show();
    const QRect led(0, Grid(0)->LedTop, 16, 8);
    const QImage dark = Grid(0)->grab().toImage().copy(led);
    engine.Start();
    {
        TLockGuard g(&lock);
        engine.MixBlock();  // the first step starts in this block; no device, so it is heard at once
    }
    form->ScopeTick();
    for (int ch = 0; ch < 4; ++ch) EXPECT_EQ(Grid(ch)->LedStep(), 0) << ch;
    EXPECT_NE(Grid(0)->grab().toImage().copy(led), dark);
    engine.Stop(true);
    form->ScopeTick();
    EXPECT_EQ(Grid(0)->LedStep(), -1);
    EXPECT_EQ(Grid(0)->grab().toImage().copy(led), dark);
}

TEST_F(MainFormTest, PatternExportPutsMidiOnTheClipboard) {
    ShowActive();
    loop.SetStep(0, loop.CurrentPattern, 0, true);
    QGuiApplication::clipboard()->clear();
    QTest::keySequence(form.get(), QKeySequence("Ctrl+P"));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data && data->hasFormat("audio/midi"));
    EXPECT_TRUE(data->data("audio/midi").startsWith("MThd"));
}

TEST_F(MainFormTest, SettingsReachTheirControlsAndComeBackUnchanged) {
    TDesktopSettings in;
    in.WindowX = 40;
    in.WindowY = 30;
    in.EasyMove = false;
    in.MouseUse = false;
    in.LedsOver = true;
    in.Minimized = true;
    in.ScopeStyle = 2;
    in.ScopeEnabled = false;
    in.UseWAVOnly = false;
    in.Docks[2].Visible = false;  // the hint panel
    form->ApplySettings(in);
    EXPECT_EQ(form->findChild<TWAVScope*>("MixScope")->Style(), 2);
    EXPECT_FALSE(form->findChild<TMyTransButton*>("ScopeButton")->Down());
    EXPECT_TRUE(form->Action(TCommand::MidiOnly)->isChecked());
    EXPECT_TRUE(form->Action(TCommand::SyncToInput)->isEnabled());
    EXPECT_TRUE(form->Action(TCommand::HidePositionLeds)->isChecked());
    EXPECT_FALSE(form->Action(TCommand::HintPanel)->isChecked());
    // Leds over knobs with hidden leds: only the first row keeps them, above its buttons.
    EXPECT_EQ(Grid(0)->height(), LedRowHeight);
    EXPECT_EQ(Grid(0)->ButtonTop, LedsOverKnobsShift);
    EXPECT_EQ(Grid(1)->height(), PlainRowHeight);

    TDesktopSettings out;
    form->StoreSettings(out);
    EXPECT_EQ(out.WindowX, 40);
    EXPECT_EQ(out.WindowY, 30);
    EXPECT_EQ(out.EasyMove, false);
    EXPECT_EQ(out.MouseUse, false);
    EXPECT_EQ(out.LedsOver, true);
    EXPECT_EQ(out.Minimized, true);
    EXPECT_EQ(out.ScopeStyle, 2);
    EXPECT_EQ(out.ScopeEnabled, false);
    EXPECT_EQ(out.UseWAVOnly, false);
    EXPECT_EQ(out.Docks, in.Docks);
}

TEST_F(MainFormTest, AWindowStoredOffEveryScreenComesBackOntoOne) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    for (QPoint stored : {QPoint(-5000, 100), QPoint(100, area.bottom() + 400), QPoint(area.right() + 10, -900)}) {
        TDesktopSettings in;
        in.WindowX = stored.x();
        in.WindowY = stored.y();
        form->ApplySettings(in);
        const QRect caption(form->pos(), QSize(form->width(), 22));
        EXPECT_TRUE(area.contains(caption.topLeft())) << stored.x() << "," << stored.y();
    }
    TDesktopSettings onScreen;
    onScreen.WindowX = area.left() + 20;
    onScreen.WindowY = area.top() + 10;
    form->ApplySettings(onScreen);
    EXPECT_EQ(form->pos(), QPoint(onScreen.WindowX, onScreen.WindowY));

    // Moved by the window manager past either edge, the window comes back once it rests.
    ShowActive();
    const int screenHeight = form->screen()->availableGeometry().height();
    form->move(40, -form->height() - 100);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->y() == 32 - form->height(); }, 2000)) << form->y();
    form->move(40, screenHeight + 300);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->y() == screenHeight - 22; }, 2000)) << form->y();
    form->move(40, 30);
    QTest::qWait(300);
    EXPECT_EQ(form->y(), 30);
}

TEST_F(MainFormTest, NinetyNineChannelsAreLaidOutAndPaintedQuickly) {
    form->show();
    QElapsedTimer timer;
    timer.start();
    while (loop.ChannelCount() < 99) loop.AddChannel();
    form->ChannelsChanged();
    const QImage shot = form->grab().toImage();
    const qint64 ms = timer.elapsed();
    std::printf("[ figures  ] 99 channels laid out and painted in %lld ms\n", static_cast<long long>(ms));
    EXPECT_EQ(form->RowCount(), 99);
    EXPECT_EQ(form->height(), form->MaxHeight());
    EXPECT_LT(ms, 1000);  // the goal is 300 ms; the margin is for a loaded machine

    timer.restart();
    QTest::mouseClick(Grid(50), Qt::LeftButton, {}, StepCentre(50, 3));
    const qint64 clickMs = timer.elapsed();
    std::printf("[ figures  ] a step click repainted in %lld ms\n", static_cast<long long>(clickMs));
    EXPECT_TRUE(loop.GetStep(50, loop.CurrentPattern, 3));
}

// The Edit and Channels commands and the channel pop-up, on six named channels.
class EditCommands : public MainFormTest {
protected:
    void SetUp() override {
        channels = 6;
        MainFormTest::SetUp();
        for (int c = 0; c < 6; ++c) loop.SetChannelName(c, "C" + std::to_string(c));
        ShowActive();
        form->FitHeight();
        form->SelectAlone(0);
    }
    static void AnswerDelete(QMessageBox::StandardButton button) {
        QTimer::singleShot(0, [button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_TRUE(box && box->text() == "The selected channels are about to be deleted...");
            box->done(button);
        });
    }
    QMenu* Popup(int ch) {
        QTest::mouseClick(form->Row(ch)->SetButton, Qt::RightButton);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    }
    PatternRecord& Rec(int ch) { return loop.Channel(ch).Pattern(loop.CurrentPattern); }
    void Keys(const char* keys) { QTest::keySequence(form.get(), QKeySequence(keys)); }
};

TEST_F(EditCommands, CutThenPasteMovesTheRowAndEachShortcutActsOnce) {
    EXPECT_FALSE(form->Action(TCommand::Paste)->isEnabled() || form->ChannelAction(TCommand::Paste)->isEnabled());
    form->SelectAlone(1);
    loop.SetStepValue(1, loop.CurrentPattern, RowVolume, 3, 99);
    loop.SetStep(1, loop.CurrentPattern, 3, true);
    const PatternRecord original = Rec(1);
    Keys("Ctrl+X");
    EXPECT_EQ(Rec(1).StepMask, 0);
    EXPECT_TRUE(form->Action(TCommand::Paste)->isEnabled() && form->ChannelAction(TCommand::Paste)->isEnabled());
    QTest::mouseClick(form->Row(4)->SelectButton, Qt::LeftButton);
    Keys("Ctrl+V");
    EXPECT_EQ(Rec(4), original);
    form->SetAutoMaximize(false);
    form->SetHeight(form->MinHeight() + 80);
    Keys("Ctrl+D");  // one channel, not two
    QScrollBar* bar = form->findChild<QScrollArea*>("GridsBox")->verticalScrollBar();
    EXPECT_TRUE(loop.ChannelCount() == 7 && bar->value() > 0 && bar->value() == bar->maximum());  // in view
}

TEST_F(EditCommands, DeleteAsksFirstAndRowsHeightAndEnablingFollow) {
    QTest::mouseClick(form->Row(1)->SelectButton, Qt::LeftButton);
    QTest::mouseClick(form->Row(4)->SelectButton, Qt::RightButton);  // adds to the selection
    const int tall = form->height();
    AnswerDelete(QMessageBox::Cancel);
    form->RunCommand(TCommand::DeleteSelected);
    EXPECT_EQ(loop.ChannelCount(), 6);
    AnswerDelete(QMessageBox::Ok);
    form->RunCommand(TCommand::DeleteSelected);
    ASSERT_EQ(form->RowCount(), 4);
    EXPECT_EQ(loop.Channel(1).Name + loop.Channel(3).Name, "C2C5");
    EXPECT_EQ(form->height(), tall - 2 * (form->Layout().Rows[1].StepTop - form->Layout().Rows[0].StepTop));
    // Four channels is the minimum, and no channel is selected any more.
    EXPECT_FALSE(form->ChannelAction(TCommand::DeleteChannel)->isEnabled());
    for (TCommand c : {TCommand::Cut, TCommand::Copy, TCommand::ShiftLeft, TCommand::Random, TCommand::Humanize,
                       TCommand::ZipSelected, TCommand::DeleteSelected}) {
        EXPECT_FALSE(form->Action(c)->isEnabled()) << int(c);
        form->SelectAlone(2);
        EXPECT_EQ(form->Action(c)->isEnabled(), c != TCommand::DeleteSelected) << int(c);
        QTest::mouseClick(form->Row(2)->SelectButton, Qt::RightButton);  // none selected again
    }
}

TEST_F(EditCommands, ThePopupActsOnTheRowClicked) {
    QTest::mouseClick(form->Row(5)->SelectButton, Qt::RightButton);
    QMenu* menu = Popup(1);
    ASSERT_TRUE(menu && menu->objectName() == "LineMenu");
    QPixmap shot = form->grab();  // the picture, for a person to look at
    QPainter(&shot).drawPixmap(menu->pos() - form->pos(), menu->grab());
    ASSERT_TRUE(shot.save(TROVAMIX_BINARY_DIR "/channel-popup.png"));
    AnswerDelete(QMessageBox::Ok);
    form->ChannelAction(TCommand::DeleteChannel)->trigger();
    ASSERT_EQ(loop.ChannelCount(), 5);  // channel 5 was selected too, and stays
    EXPECT_EQ(loop.Channel(1).Name + loop.Channel(4).Name, "C2C5");
    Popup(2)->close();
    form->ChannelAction(TCommand::InsertChannel)->trigger();
    EXPECT_EQ(loop.Channel(2).Name + "|" + loop.Channel(3).Name, "|C3");  // above the row clicked
    form->SelectAlone(4);
    QTest::keyClick(form.get(), Qt::Key_Menu);  // the first selected channel's pop-up
    ASSERT_EQ(QApplication::activePopupWidget(), form->ChannelPopup());
    form->ChannelPopup()->close();
    form->ChannelAction(TCommand::InsertChannel)->trigger();
    EXPECT_EQ(loop.Channel(4).Name + "|" + loop.Channel(5).Name, "|C4");
}

TEST_F(EditCommands, HumanizeAsksHowMuchAndChangesOnlyTheChosenValuesOfTheSelectedRow) {
    for (int s = 0; s < 32; ++s) loop.SetStep(s / 16, loop.CurrentPattern, s % 16, true);  // rows 0 and 1
    const PatternRecord before = Rec(0), other = Rec(1);
    QTimer::singleShot(0, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        dialog->findChild<QWidget*>("HumanizeSlider")->setProperty("value", 100);
        EXPECT_EQ(dialog->findChild<QWidget*>("PercentageBox")->property("title"), "Humanize 100%");
        dialog->findChild<QWidget*>("PanBox")->setProperty("checked", false);
        QTest::mouseClick(dialog->findChild<QWidget*>("OkButton"), Qt::LeftButton);
    });
    Keys("Alt+H");
    EXPECT_NE(Rec(0).StepVolume(), before.StepVolume());
    EXPECT_EQ(Rec(0).StepPan(), before.StepPan());
    EXPECT_EQ(Rec(1), other);
}

// Drags as the window sees them: press, moves with the button held, release.
void Drag(QWidget* w, Qt::MouseButton button, QPoint from, QPoint to) {
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), type == QEvent::MouseMove ? Qt::NoButton : button,
                      held, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    };
    send(QEvent::MouseButtonPress, from, button);
    send(QEvent::MouseMove, (from + to) / 2, button);
    send(QEvent::MouseMove, to, button);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
}

TEST_F(MainFormTest, DraggingTheCaptionWithTheRightButtonOrTheHintPanelSetsTheHeight) {
    const int start = form->MinHeight() + 60;
    form->SetHeight(start);
    ASSERT_EQ(form->height(), start);
    Drag(form->findChild<QWidget*>("CaptionPic"), Qt::RightButton, {200, 10}, {200, -20});  // up: taller
    EXPECT_EQ(form->height(), start + 30);
    Drag(form->findChild<QWidget*>("InfoLabel"), Qt::LeftButton, {50, 5}, {50, -35});  // up: shorter
    EXPECT_EQ(form->height(), start - 10);
    Drag(form->findChild<QWidget*>("InfoLabel"), Qt::LeftButton, {50, 5}, {50, 5000});  // never past the rows
    EXPECT_EQ(form->height(), form->MaxHeight());
}

// A drag in screen coordinates: the panel under the mouse may leave the window on the way.
void DragOnScreen(QWidget* w, Qt::MouseButton button, QPoint from, QPoint to) {
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent e(type, w->mapFromGlobal(QPointF(at)), QPointF(at),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    };
    send(QEvent::MouseButtonPress, from, button);
    send(QEvent::MouseMove, from + QPoint(20, 20), button);
    send(QEvent::MouseMove, to, button);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
}

TEST_F(MainFormTest, ARightDragUndocksAPanelAndTheHeightFollowsItOutAndBack) {
    ShowActive();
    form->SetHeight(form->MaxHeight());
    const int full = form->height();
    auto* menuPic = form->findChild<QWidget*>("MenuPic");
    auto* remote = form->findChild<QDockWidget*>("MenuToolWindow");
    const QPoint inside = menuPic->mapToGlobal(QPoint(200, 40));
    DragOnScreen(menuPic, Qt::LeftButton, inside, inside + QPoint(0, 300));  // the left button moves no panel
    EXPECT_FALSE(remote->isFloating());

    DragOnScreen(menuPic, Qt::RightButton, inside, form->frameGeometry().bottomRight() + QPoint(200, 200));
    EXPECT_TRUE(remote->isFloating());
    EXPECT_EQ(form->height(), full - menuPic->height());
    const QPoint lowerHalf = form->frameGeometry().center() + QPoint(0, form->height() / 4);
    DragOnScreen(menuPic, Qt::LeftButton, menuPic->mapToGlobal(QPoint(10, 10)), lowerHalf);  // floating: any button
    EXPECT_FALSE(remote->isFloating());
    EXPECT_EQ(form->dockWidgetArea(remote), Qt::BottomDockWidgetArea);
    EXPECT_EQ(form->height(), full);

    // The menu bar's panel docked at the bottom opens its menus upwards.
    auto* menuPanel = form->findChild<QWidget*>("MainMenuPic");
    auto* bar = form->findChild<TNewMenu*>("NewMainMenu");
    EXPECT_FALSE(bar->DropUp());
    DragOnScreen(menuPanel, Qt::RightButton, menuPanel->mapToGlobal(QPoint(300, 5)), lowerHalf);
    EXPECT_EQ(form->dockWidgetArea(form->findChild<QDockWidget*>("MainMenuToolWindow")), Qt::BottomDockWidgetArea);
    EXPECT_TRUE(bar->DropUp());
    EXPECT_EQ(form->height(), full);
}

TEST_F(MainFormTest, TheTempoMenuAndThePadSetTheirSpinners) {
    ShowActive();
    auto* bpm = form->findChild<TRCADigital*>("BPMDig");
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        ASSERT_EQ(menu->actions().size(), 7);
        EXPECT_EQ(menu->actions()[0]->text(), "120 BPM");
        menu->actions()[2]->trigger();  // "130 BPM"
        menu->close();
    });
    QTest::mouseClick(bpm, Qt::RightButton);
    QTest::qWait(20);
    EXPECT_EQ(loop.Tempo, 130);
    EXPECT_EQ(bpm->Value(), 130);
    EXPECT_EQ(engine.StepLength, 5088);  // frames per sixteenth at 130 BPM
    EXPECT_TRUE(loop.Modified);

    auto* pad = form->findChild<TNumpad*>("PatPad");
    QTest::mouseClick(pad, Qt::LeftButton, {}, QPoint(6, 6));  // top left: 7
    EXPECT_EQ(loop.CurrentPattern, 7);
    EXPECT_EQ(form->findChild<TZavoUpDown*>("PatUpDown")->Value(), 7);
}

// The screenshots: scale 1 here, scale 2 in a child process of this very
// program (the scale factor is fixed when the application starts).
TEST_F(MainFormTest, Screenshot) {
    for (int ch = 0; ch < 4; ++ch)
        for (int s = ch; s < 16; s += 4) loop.SetStep(ch, loop.CurrentPattern, s, true);
    loop.Channel(2).Enabled = false;
    form->SelectAlone(1);
    form->ShowHintText("|Loop loaded... (1 patterns)");
    form->show();
    for (TChannelRow* r : {form->Row(0), form->Row(1), form->Row(2), form->Row(3)}) r->TechnoGrid->SetLedStep(4);
    const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR", "1");
    const QImage shot = form->grab().toImage();
    const QString file = QString(TROVAMIX_BINARY_DIR "/mainwindow-x%1.png").arg(scale);
    ASSERT_TRUE(shot.save(file));
    EXPECT_EQ(shot.width(), form->width() * scale.toInt());
    ASSERT_TRUE(Grid(0)->grab().save(QString(TROVAMIX_BINARY_DIR "/steprow-x%1.png").arg(scale)));
}

TEST(MainFormScale, AtScaleTwoTheWindowIsExactlyTwiceAsLarge) {
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) GTEST_SKIP() << "already the child";
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_SCALE_FACTOR", "2");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=MainFormTest.Screenshot"});
    ASSERT_TRUE(child.waitForFinished(60000));
    ASSERT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
    const QImage one(TROVAMIX_BINARY_DIR "/mainwindow-x1.png"), two(TROVAMIX_BINARY_DIR "/mainwindow-x2.png");
    ASSERT_FALSE(two.isNull());
    if (one.isNull()) GTEST_SKIP() << "the scale 1 shot runs in its own case";
    EXPECT_EQ(two.size(), one.size() * 2);
    // Bitmaps double by nearest neighbour: the step row at 2x is the 1x one with every pixel doubled.
    const QImage row1(TROVAMIX_BINARY_DIR "/steprow-x1.png"), row2(TROVAMIX_BINARY_DIR "/steprow-x2.png");
    EXPECT_EQ(row2.convertToFormat(QImage::Format_RGB32),
              row1.scaled(row1.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                  .convertToFormat(QImage::Format_RGB32));
}

}  // namespace
}  // namespace tx
