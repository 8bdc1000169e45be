// Undo and Redo from the Edit menu: their keys, their greying, the hint
// panel's words, and the window showing the loop as it was.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "engine/Engine.h"
#include "model/Loop.h"
#include "skin/Style.h"
#include "window/MainForm.h"

namespace tx {
namespace {

class UndoWindow : public ::testing::Test {
protected:
    void SetUp() override {
        loop.SetEngineLock(&lock);
        while (loop.ChannelCount() < 6) loop.AddChannel();
        for (int c = 0; c < 6; ++c) loop.SetChannelName(c, "C" + std::to_string(c));
        form = std::make_unique<TTrovamixMainForm>(loop, &engine);
        static const TStyleData style = LoadStyleData({"", "", FindEmbeddedStyleFile});
        form->ApplyStyle(style);
        form->SetAutoMaximize(true);
        form->FitHeight();
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        form->SelectAlone(0);
        QApplication::processEvents();
    }
    void Keys(const char* keys) {
        QTest::keySequence(form.get(), QKeySequence(keys));
        QApplication::processEvents();  // the menu enabling is queued
    }
    QString Hint() const { return form->findChild<QLabel*>("InfoLabel")->text(); }
    bool CanUndo() const { return form->Action(TCommand::Undo)->isEnabled(); }
    bool CanRedo() const { return form->Action(TCommand::Redo)->isEnabled(); }
    void Drag(QWidget* w, QPoint from, QPoint to) {
        auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
            QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
            QApplication::sendEvent(w, &e);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        for (int x = from.x(); x <= to.x(); x += 8) send(QEvent::MouseMove, QPoint(x, from.y()), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, to, Qt::NoButton);
        QApplication::processEvents();
    }

    TLoop loop;
    TEngineLock lock;
    TSettings settings;
    TEngine engine{loop, lock, settings};
    std::unique_ptr<TTrovamixMainForm> form;
};

TEST_F(UndoWindow, ADragAcrossStepsIsOneStepAndTheKeysUndoAndRedoIt) {
    EXPECT_FALSE(CanUndo());
    EXPECT_FALSE(CanRedo());
    EXPECT_EQ(form->Action(TCommand::Undo)->text(), "&Undo");
    EXPECT_EQ(form->Action(TCommand::Redo)->text(), "&Redo");
    TTechno16* grid = form->Row(2)->TechnoGrid;
    const int y = grid->ButtonTop + 12;
    Drag(grid, QPoint(2 * 16 + 8, y), QPoint(9 * 16 + 8, y));
    const int p = loop.CurrentPattern;
    ASSERT_TRUE(loop.GetStep(2, p, 2) && loop.GetStep(2, p, 9));
    EXPECT_TRUE(CanUndo());

    loop.Modified = false;
    Keys("Alt+Backspace");
    for (int s = 0; s < 16; ++s) EXPECT_FALSE(loop.GetStep(2, p, s)) << s;  // the whole drag, at once
    EXPECT_TRUE(loop.Modified);
    EXPECT_EQ(Hint(), "Undone: steps");
    EXPECT_FALSE(CanUndo());
    EXPECT_TRUE(CanRedo());

    Keys("Shift+Alt+Backspace");
    for (int s = 2; s <= 9; ++s) EXPECT_TRUE(loop.GetStep(2, p, s)) << s;
    EXPECT_EQ(Hint(), "Redone: steps");
    EXPECT_FALSE(CanRedo());
}

TEST_F(UndoWindow, CommandsTempoAndDeletedChannelsComeBack) {
    loop.SetStep(1, loop.CurrentPattern, 4, true);
    form->SelectAlone(1);
    Keys("Ctrl+X");
    EXPECT_FALSE(loop.GetStep(1, loop.CurrentPattern, 4));
    Keys("Alt+Backspace");
    EXPECT_TRUE(loop.GetStep(1, loop.CurrentPattern, 4));
    EXPECT_EQ(Hint(), "Undone: Cut");

    const int32_t stepLength = engine.StepLength;
    form->SetTempo(70);
    ASSERT_NE(engine.StepLength, stepLength);
    Keys("Alt+Backspace");
    EXPECT_EQ(loop.Tempo, 140);
    EXPECT_EQ(engine.StepLength, stepLength) << "the clock follows the tempo put back";

    form->SelectAlone(3);
    const int tall = form->height();
    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->done(QMessageBox::Ok);
    });
    form->RunCommand(TCommand::DeleteSelected);
    ASSERT_EQ(form->RowCount(), 5);
    form->RunCommand(TCommand::Undo);  // from the menu: the message box took the focus away
    EXPECT_EQ(Hint(), "Undone: Delete channels");
    ASSERT_EQ(form->RowCount(), 6);
    EXPECT_EQ(loop.Channel(3).Name, "C3");
    EXPECT_EQ(form->height(), tall) << "the window takes back the row's height";
    ASSERT_TRUE(form->grab().save(TROVAMIX_BINARY_DIR "/undo-delete.png"));
}

TEST_F(UndoWindow, ANewLoopStartsANewHistory) {
    loop.SetStep(1, loop.CurrentPattern, 4, true);
    QApplication::processEvents();
    ASSERT_TRUE(CanUndo());
    loop.ResetToNew();
    QApplication::processEvents();
    EXPECT_FALSE(CanUndo());
}

}  // namespace
}  // namespace tx
