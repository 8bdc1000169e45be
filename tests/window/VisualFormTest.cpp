// The dots window: shown by F10 with a flash that fades out at the scope
// ticks, its size following the cells and the channels, closed by the right
// button.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>

#include "desktop/MainMenu.h"
#include "dialogs/HelpWindow.h"
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

class VisualFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        loop.SetEngineLock(&lock);
        loop.Channel(1).Color = TColor{200, 40, 20};
        form = std::make_unique<TTrovamixMainForm>(loop, &engine);
        form->ApplyStyle(DefaultStyle());
        form->FitHeight();
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        dots = form->VisualForm();
    }
    void TearDown() override {
        if (dots->isVisible()) form->RunCommand(TCommand::DotsWindow);
    }
    // The colour of a cell's odd (undarkened) pixel row: column -1 is the channel column.
    QColor Cell(int ch, int col) {
        const int cs = dots->CellSize();
        const int x = col < 0 ? 2 : cs / 2 + col * cs + 2;
        return dots->grab().toImage().pixelColor(x, ch * cs + 1);
    }
    QColor DarkRow(int ch, int col) {
        const int cs = dots->CellSize();
        return dots->grab().toImage().pixelColor(cs / 2 + col * cs + 2, ch * cs + 2);
    }

    TLoop loop;
    TEngineLock lock;
    TSettings settings;
    TEngine engine{loop, lock, settings};
    std::unique_ptr<TTrovamixMainForm> form;
    TVisualForm* dots = nullptr;
};

TEST_F(VisualFormTest, F10ShowsItWithAFlashThatFadesWithinNineTicks) {
    const QColor base(48, 48, 53);
    ASSERT_FALSE(dots->isVisible());
    QTest::keyClick(form.get(), Qt::Key_F10);
    ASSERT_TRUE(dots->isVisible());
    EXPECT_TRUE(form->Action(TCommand::DotsWindow)->isChecked());
    EXPECT_EQ(dots->windowTitle(), "Visual");
    EXPECT_EQ(dots->size(), QSize(16 * 12 + 6 + 1, 4 * 12 + 1));
    EXPECT_EQ(loop.Channel(2).StepLight[7].load(), 288);

    struct Case {
        int ticks;
        bool stepsLit, columnLit;
    };
    const Case cases[] = {{1, true, true}, {4, true, true}, {5, true, false}, {8, true, false}, {9, false, false}};
    int done = 0;
    for (const Case& c : cases) {
        for (; done < c.ticks; ++done) form->ScopeTick();
        EXPECT_EQ(Cell(1, 15) != base, c.stepsLit) << c.ticks << " ticks";
        EXPECT_EQ(Cell(3, 0) != base, c.stepsLit) << c.ticks << " ticks";
        EXPECT_EQ(Cell(1, -1) != base, c.columnLit) << c.ticks << " ticks";
        if (c.ticks == 1) {
            EXPECT_EQ(Cell(1, 4), QColor(200, 40, 20)) << "at 256 the dot is the channel's own colour";
            EXPECT_EQ(DarkRow(1, 4), QColor(173, 13, 0)) << "the line pattern's rows are 27 darker, not below 0";
            ASSERT_TRUE(dots->grab().save(TROVAMIX_BINARY_DIR "/dots-window.png"));
        }
    }
    EXPECT_FALSE(dots->Tick()) << "nothing left lit";
}

TEST_F(VisualFormTest, CellsDoubleOnADoubleClickAndTheHeightFollowsTheChannels) {
    form->RunCommand(TCommand::DotsWindow);
    QTest::mouseDClick(dots, Qt::LeftButton, {}, QPoint(30, 5));
    EXPECT_EQ(dots->size(), QSize(16 * 24 + 12 + 1, 4 * 24 + 1));
    for (int i = 0; i < 3; ++i) form->RunCommand(TCommand::AddChannel);
    EXPECT_EQ(dots->height(), 7 * 24 + 1);
    ASSERT_TRUE(dots->grab().save(TROVAMIX_BINARY_DIR "/dots-window-large.png"));
    QTest::mouseDClick(dots, Qt::LeftButton, {}, QPoint(30, 5));
    EXPECT_EQ(dots->size(), QSize(16 * 12 + 6 + 1, 7 * 12 + 1));
}

TEST_F(VisualFormTest, MovingOverARowNamesItsChannelAndTheRightButtonCloses) {
    loop.SetChannelName(0, "Kick");
    form->RunCommand(TCommand::DotsWindow);
    auto moveTo = [this](QPoint p) {
        QMouseEvent move(QEvent::MouseMove, QPointF(p), dots->mapToGlobal(QPointF(p)), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(dots, &move);
    };
    moveTo(QPoint(40, 2 * 12 + 3));
    EXPECT_EQ(form->findChild<QLabel*>("InfoLabel")->text(), "Channel 2");
    moveTo(QPoint(40, 3));
    EXPECT_EQ(form->findChild<QLabel*>("InfoLabel")->text(), "Kick");
    QTest::mousePress(dots, Qt::RightButton, {}, QPoint(40, 3));
    EXPECT_FALSE(dots->isVisible());
    EXPECT_FALSE(form->Action(TCommand::DotsWindow)->isChecked());
}

TEST_F(VisualFormTest, F1OpensItsHelpTopic) {
    form->SetHelpFile(TROVAMIX_BINARY_DIR "/Help/Trova.html");  // the page the build copies beside the program
    form->RunCommand(TCommand::DotsWindow);
    QTest::keyClick(dots, Qt::Key_F1);
    ASSERT_NE(form->HelpWindow(), nullptr);
    EXPECT_TRUE(form->HelpWindow()->isVisible());
    EXPECT_EQ(form->HelpWindow()->CurrentTopic(), "dots-window");
    form->HelpWindow()->close();
}

}  // namespace
}  // namespace tx
