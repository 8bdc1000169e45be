// The playlist window on the main window: showing and hiding it, the grid's
// mouse and keys on the real loop, what a screen reader reads, and that a
// change repaints only its own cells.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QDir>
#include <QPaintEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>

#include "dialogs/HelpWindow.h"
#include "dialogs/PlayListForm.h"
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

// Records the region of every paint of a widget.
class TPaintSpy : public QObject {
public:
    explicit TPaintSpy(QWidget* w) { w->installEventFilter(this); }
    QRegion Painted;
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            Painted += static_cast<QPaintEvent*>(e)->region();
            ++Paints;
        }
        return false;
    }
    void Reset() {
        Painted = {};
        Paints = 0;
    }
};

class PlaylistWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        loop.SetEngineLock(&lock);
        form = std::make_unique<TTrovamixMainForm>(loop, &engine);
        form->ApplyStyle(DefaultStyle());
        form->SetAutoArrangeQuery([this] { return autoArrange; });
        form->move(600, 100);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    TPlayListForm* Playlist() { return form->PlayListForm(); }
    TKaspGrid* Grid() { return Playlist()->Grid(); }
    QAction* Toggle() { return form->Action(TCommand::LoopPlaylist); }
    void ShowPlaylist() {
        if (!Playlist()->isVisible()) Toggle()->trigger();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Playlist()));
    }
    QPoint Centre(int col, int row) { return Grid()->CellRect(col, row).center(); }

    bool autoArrange = true;
    TLoop loop;
    TEngineLock lock;
    TSettings settings;
    TEngine engine{loop, lock, settings};
    std::unique_ptr<TTrovamixMainForm> form;
};

TEST_F(PlaylistWindowTest, MenuKeyAndLoopButtonShowAndHideTheWindowAndTheCheckFollows) {
    ASSERT_NE(Toggle(), nullptr);
    EXPECT_EQ(Toggle()->shortcut(), QKeySequence("Ctrl+L"));
    EXPECT_FALSE(Playlist()->isVisible());
    Toggle()->trigger();
    EXPECT_TRUE(Playlist()->isVisible());
    EXPECT_TRUE(Toggle()->isChecked());
    EXPECT_EQ(Playlist()->windowTitle(), "Playlist");
    // Auto arrange: the right edge meets the main window's left.
    EXPECT_EQ(Playlist()->geometry().right() + 1, form->frameGeometry().left());
    Toggle()->trigger();
    EXPECT_FALSE(Playlist()->isVisible());
    EXPECT_FALSE(Toggle()->isChecked());

    auto* loopButton = form->findChild<QWidget*>("LoopButton");
    ASSERT_NE(loopButton, nullptr);
    const bool songMode = loop.SongMode;
    QTest::mousePress(loopButton, Qt::RightButton);
    QTest::mouseRelease(loopButton, Qt::RightButton);
    EXPECT_TRUE(Playlist()->isVisible());
    EXPECT_TRUE(Toggle()->isChecked());
    EXPECT_EQ(loop.SongMode, songMode) << "the right button leaves song mode alone";
    Playlist()->close();  // the window's own close button
    EXPECT_FALSE(Toggle()->isChecked());
    QTest::mousePress(loopButton, Qt::RightButton);
    EXPECT_TRUE(Playlist()->isVisible());
}

TEST_F(PlaylistWindowTest, InsertPatternReadsTheWindowsRealVisibility) {
    for (int pos = 0; pos < 4; ++pos) loop.SetPatternAt(1, pos, true);
    loop.CurrentPattern = 6;
    // A checked item over a hidden window still counts as hidden.
    Toggle()->setChecked(true);
    form->RunCommand(TCommand::InsertPatternInPlaylist);
    EXPECT_TRUE(loop.PlayList.Contains(4, 6));
    EXPECT_EQ(Grid()->CurrentRow(), 6) << "the current row moved down past the new entry";

    ShowPlaylist();
    Grid()->SetCurrentCell(1, 2);  // position 1
    loop.CurrentPattern = 7;
    form->RunCommand(TCommand::InsertPatternInPlaylist);
    EXPECT_TRUE(loop.PlayList.Contains(1, 7)) << "visible: at the grid's current row";
    EXPECT_EQ(Grid()->CurrentRow(), 3);
}

TEST_F(PlaylistWindowTest, MouseOnTheGridEditsTheLoopAndKeysInsertAndDeleteBars) {
    ShowPlaylist();
    QWidget* vp = Grid()->viewport();
    QTest::mouseClick(vp, Qt::LeftButton, {}, Centre(3, 2));
    EXPECT_TRUE(loop.PlayList.Contains(1, 3));
    EXPECT_TRUE(loop.Modified);
    EXPECT_EQ(Playlist()->StatusBar()->currentMessage(), "Bar 1 pattern 3");
    QTest::mouseClick(vp, Qt::LeftButton, {}, Centre(3, 2));
    EXPECT_FALSE(loop.PlayList.Contains(1, 3));

    loop.Modified = false;
    QTest::mouseClick(vp, Qt::RightButton, {}, Centre(0, 9));
    EXPECT_EQ(loop.SongLoopPosition, 8);
    EXPECT_TRUE(loop.Modified);
    QTest::mouseClick(vp, Qt::LeftButton, {}, Centre(4, 0));
    EXPECT_EQ(loop.CurrentPattern, 4) << "the header row chooses the pattern";

    loop.SetPatternAt(2, 0, true);
    loop.SetPatternAt(5, 1, true);
    Grid()->SetCurrentCell(2, 1);
    Grid()->setFocus();
    QTest::keyClick(Grid(), Qt::Key_Insert);
    EXPECT_TRUE(loop.PlayList.At(0).empty());
    EXPECT_TRUE(loop.PlayList.Contains(1, 2));
    EXPECT_TRUE(loop.PlayList.Contains(2, 5));
    QTest::keyClick(Grid(), Qt::Key_Delete);
    QTest::keyClick(Grid(), Qt::Key_Delete);
    EXPECT_TRUE(loop.PlayList.Contains(0, 5));
    EXPECT_EQ(loop.ChannelCount(), 4) << "Delete in the grid never reaches the channels";
    QTest::mouseClick(Playlist()->InsButton(), Qt::LeftButton);
    EXPECT_TRUE(loop.PlayList.Contains(1, 5));
}

// A drag across five cells is one step to undo, and undoing it takes all
// five away at once.
TEST_F(PlaylistWindowTest, ADragAcrossCellsIsUndoneInOneStep) {
    ShowPlaylist();
    QWidget* vp = Grid()->viewport();
    QTest::mouseClick(vp, Qt::LeftButton, {}, Centre(7, 1));  // a step of its own before the drag
    QTest::mousePress(vp, Qt::LeftButton, {}, Centre(2, 1));
    for (int row = 1; row <= 5; ++row) {
        QMouseEvent move(QEvent::MouseMove, QPointF(Centre(2, row)), vp->mapToGlobal(QPointF(Centre(2, row))),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(vp, &move);
    }
    QTest::mouseRelease(vp, Qt::LeftButton, {}, Centre(2, 5));
    for (int pos = 0; pos < 5; ++pos) ASSERT_TRUE(loop.PlayList.Contains(pos, 2)) << pos;
    QApplication::processEvents();
    QAction* undo = form->Action(TCommand::Undo);
    ASSERT_TRUE(undo->isEnabled());
    undo->trigger();
    for (int pos = 0; pos < 5; ++pos) EXPECT_FALSE(loop.PlayList.Contains(pos, 2)) << pos;
    EXPECT_TRUE(loop.PlayList.Contains(0, 7)) << "the click before the drag is a step of its own";
    undo->trigger();
    EXPECT_FALSE(loop.PlayList.Contains(0, 7));
}

TEST_F(PlaylistWindowTest, KeyboardAndScreenReaderSeeTheCurrentCell) {
    ShowPlaylist();
    loop.SetPatternAt(3, 1, true);
    Grid()->setFocus();
    Grid()->SetCurrentCell(1, 1);
    QTest::keyClick(Grid(), Qt::Key_Right);
    QTest::keyClick(Grid(), Qt::Key_Right);
    QTest::keyClick(Grid(), Qt::Key_Down);
    QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(Grid());
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->role(), QAccessible::Table);
    ASSERT_EQ(grid->childCount(), 1);
    QAccessibleInterface* cell = grid->child(0);
    EXPECT_EQ(cell->text(QAccessible::Name), "Bar 1, pattern 3");
    EXPECT_TRUE(cell->state().checked);
    QTest::keyClick(Grid(), Qt::Key_Space);
    EXPECT_FALSE(loop.PlayList.Contains(1, 3));
    EXPECT_FALSE(cell->state().checked);
    cell->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(loop.PlayList.Contains(1, 3));
    QTest::keyClick(Grid(), Qt::Key_End);
    EXPECT_EQ(cell->text(QAccessible::Name), "Bar 1, pattern 999");
    EXPECT_GT(Grid()->horizontalScrollBar()->value(), 11000) << "the current cell scrolled into view";
}

TEST_F(PlaylistWindowTest, F1OpensThePlaylistPage) {
    ShowPlaylist();
    int asked = 0;
    auto open = Playlist()->HelpRequested;
    Playlist()->HelpRequested = [&] {
        ++asked;
        open();
    };
    Grid()->setFocus();
    QTest::keyClick(Grid(), Qt::Key_F1);
    EXPECT_EQ(asked, 1) << "F1 in the grid reaches the window's help";
    auto* help = form->findChild<THelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    // The page has the topic (the test program has no Help folder beside it).
    THelpWindow page(QStringLiteral(TROVAMIX_BINARY_DIR) + QStringLiteral("/Help/Trova.html"));
    page.ShowTopic(QStringLiteral("playlist"));
    EXPECT_TRUE(page.findChild<QTextBrowser*>()->toPlainText().contains("Ins bar"));
}

TEST_F(PlaylistWindowTest, AChangeRepaintsItsRowAndAScrollOnlyTheNewStrip) {
    ShowPlaylist();
    Playlist()->resize(420, 300);
    QApplication::processEvents();
    TPaintSpy spy(Grid()->viewport());
    const int width = Grid()->viewport()->width();

    loop.SetPatternAt(5, 3, true);
    QApplication::processEvents();
    EXPECT_EQ(spy.Paints, 1);
    EXPECT_EQ(spy.Painted.boundingRect(), QRect(0, Grid()->CellRect(0, 4).y(), width, 12));

    spy.Reset();
    Grid()->horizontalScrollBar()->setValue(Grid()->horizontalScrollBar()->value() + 12);
    QApplication::processEvents();
    // The new column at the right and the pattern header; never the whole grid.
    const int area = width * Grid()->viewport()->height();
    int painted = 0;
    for (const QRect& r : spy.Painted) painted += r.width() * r.height();
    EXPECT_LT(painted, area / 4) << "painted " << painted << " of " << area;

    spy.Reset();
    form->ChoosePattern(7);
    QApplication::processEvents();
    EXPECT_LE(spy.Painted.boundingRect().width(), 2 * 12 + Grid()->CellRect(7, 0).x() - Grid()->CellRect(1, 0).x() + 12)
        << "only the old and new pattern columns";
}

TEST_F(PlaylistWindowTest, ScreenshotOfASong) {
    for (int pos = 0; pos < 40; ++pos) {
        loop.SetPatternAt(1 + pos % 4, pos, true);
        if (pos % 8 >= 4) loop.SetPatternAt(6, pos, true);
        if (pos % 2) loop.SetPatternAt(9 + (pos / 8) % 3, pos, true);
    }
    loop.SongLoopPosition = 8;
    form->ChoosePattern(3);
    form->LoopReplaced();
    ShowPlaylist();
    Playlist()->resize(420, 360);
    engine.SetSongMode(true);
    engine.JumpToSongPosition(5);
    form->ScopeTick();
    EXPECT_EQ(Grid()->ShownSongPosition(), 5);
    QTest::mouseMove(Grid()->viewport(), Centre(6, 14));
    QApplication::processEvents();
    const QString dir = QStringLiteral(TROVAMIX_BINARY_DIR) + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    EXPECT_TRUE(Playlist()->grab().save(dir + "/playlist.png"));
}

}  // namespace
}  // namespace tx
