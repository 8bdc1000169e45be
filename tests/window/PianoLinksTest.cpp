// The main window's links to the keyboard editor: the edit buttons and their
// held keys, F for the next value row, Up and Down, a resize, a move, the
// style's placements and F1.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "dialogs/HelpWindow.h"
#include "engine/Engine.h"
#include "model/Loop.h"
#include "skin/Style.h"
#include "window/MainForm.h"
#include "window/PianoForm.h"

namespace tx {
namespace {

const TStyleData& DefaultStyle() {
    static const TStyleData style = LoadStyleData({"", "", FindEmbeddedStyleFile});
    return style;
}

class PianoLinksTest : public ::testing::Test {
protected:
    void SetUp() override {
        loop.SetEngineLock(&lock);
        form = std::make_unique<TTrovamixMainForm>(loop, &engine);
        form->ApplyStyle(DefaultStyle());
        form->FitHeight();
        form->move(40, 30);
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        piano = form->PianoForm();
        ASSERT_NE(piano, nullptr);
    }
    void TearDown() override { form->SetKeyboardEditor(-1); }
    TMyTransButton* Button(const char* name) { return form->findChild<TMyTransButton*>(name); }
    QPoint UnderRow(int ch) {
        const TTechno16* grid = form->Row(ch)->TechnoGrid;
        return grid->mapToGlobal(QPoint(0, grid->ButtonTop + PianoRowHeight));
    }

    TLoop loop;
    TEngineLock lock;
    TSettings settings;
    TEngine engine{loop, lock, settings};
    std::unique_ptr<TTrovamixMainForm> form;
    TPianoForm* piano = nullptr;
};

TEST_F(PianoLinksTest, EditButtonsOpenTheEditorOnTheSelectedChannel) {
    form->SelectAlone(2);
    Button("FXNoteBtn")->Click();
    ASSERT_TRUE(piano->isVisible());
    EXPECT_EQ(piano->Mode(), TPianoForm::KeyboardMode);
    EXPECT_EQ(piano->Channel(), 2);
    EXPECT_EQ(piano->pos(), UnderRow(2));
    EXPECT_FALSE(piano->isActiveWindow()) << "shown without taking the focus";

    Button("FXDrawBtn")->Click();
    EXPECT_EQ(piano->Mode(), TPianoForm::DrawMode);
    EXPECT_FALSE(Button("FXNoteBtn")->Down()) << "the other button goes up";
    EXPECT_TRUE(Button("FXDrawBtn")->Down());
    Button("FXDrawBtn")->Click();
    EXPECT_FALSE(piano->isVisible());
    EXPECT_FALSE(Button("FXDrawBtn")->Down());

    loop.Channel(0).Minimized = true;
    for (int i = 0; i < loop.ChannelCount(); ++i) loop.Channel(i).Selected = false;
    Button("FXNoteBtn")->Click();
    EXPECT_EQ(piano->Channel(), 1) << "none selected: the first channel shown";
}

TEST_F(PianoLinksTest, HeldKeysOpenAndTheirReleaseCloses) {
    struct Case {
        Qt::Key key;
        TPianoForm::TMode mode;
        const char* button;
    };
    for (const Case& c : {Case{Qt::Key_K, TPianoForm::KeyboardMode, "FXNoteBtn"},
                          Case{Qt::Key_Shift, TPianoForm::DrawMode, "FXDrawBtn"}}) {
        QTest::keyPress(form.get(), c.key);
        ASSERT_TRUE(piano->isVisible()) << c.button;
        EXPECT_EQ(piano->Mode(), c.mode);
        EXPECT_TRUE(Button(c.button)->Down());
        QTest::keyRelease(form.get(), c.key);
        EXPECT_FALSE(piano->isVisible()) << c.button;
        EXPECT_FALSE(Button("FXNoteBtn")->Down());
        EXPECT_FALSE(Button("FXDrawBtn")->Down()) << "both buttons come up";
    }
    // Shift released while the keyboard mode shows keeps it open.
    Button("FXNoteBtn")->Click();
    QTest::keyPress(form.get(), Qt::Key_Shift);
    QTest::keyRelease(form.get(), Qt::Key_K);  // K in the draw mode: stays
    EXPECT_TRUE(piano->isVisible());
    EXPECT_EQ(piano->Mode(), TPianoForm::DrawMode);
    QTest::keyRelease(form.get(), Qt::Key_Shift);
    EXPECT_FALSE(piano->isVisible());
}

TEST_F(PianoLinksTest, KeysReachTheEditorFromItsOwnWindow) {
    form->SelectAlone(0);
    Button("FXDrawBtn")->Click();
    EXPECT_EQ(piano->Row(), 0);
    QTest::keyClick(piano, Qt::Key_F);
    QTest::keyClick(form.get(), Qt::Key_F);
    EXPECT_EQ(piano->Row(), 2) << "F from either window selects the next row";
    for (int i = 0; i < 4; ++i) QTest::keyClick(piano, Qt::Key_F);
    EXPECT_EQ(piano->Row(), 0) << "wrapping after cutoff";

    QTest::keyClick(piano, Qt::Key_Down);
    EXPECT_EQ(loop.SelectedChannel(), 1);
    EXPECT_EQ(piano->Channel(), 1) << "reopened for the next channel";
    EXPECT_EQ(piano->pos(), UnderRow(1));
    QTest::keyClick(form.get(), Qt::Key_Up);
    QTest::keyClick(form.get(), Qt::Key_Up);
    EXPECT_EQ(piano->Channel(), 3) << "wrapping around";

    QTest::keyPress(piano, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_TRUE(piano->TransposeCursor());
    QTest::keyRelease(piano, Qt::Key_Control);
    EXPECT_FALSE(piano->TransposeCursor());
}

TEST_F(PianoLinksTest, AMoveReattachesAResizeCloses) {
    Button("FXNoteBtn")->Click();
    form->move(form->pos() + QPoint(30, 20));
    EXPECT_EQ(piano->pos(), UnderRow(0));
    EXPECT_TRUE(piano->isVisible());
    const int before = form->height();
    form->SetHeight(form->MinHeight());
    QApplication::processEvents();
    ASSERT_NE(form->height(), before) << form->MinHeight() << " " << form->MaxHeight();
    EXPECT_FALSE(piano->isVisible());
    EXPECT_FALSE(Button("FXNoteBtn")->Down());

    // Scrolling the channel area closes it too.
    QScrollArea* area = nullptr;
    for (QScrollArea* a : form->findChildren<QScrollArea*>())
        if (a->window() == form.get()) area = a;
    ASSERT_NE(area, nullptr);
    ASSERT_GT(area->verticalScrollBar()->maximum(), 0) << "the rows do not fit the smallest window";
    Button("FXNoteBtn")->Click();
    ASSERT_TRUE(piano->isVisible());
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
    EXPECT_FALSE(piano->isVisible());
}

TEST_F(PianoLinksTest, StylePlacesTheRowButtonsAndF1OpensTheTopic) {
    TStyleData style = DefaultStyle();
    style.HasConfig = true;
    style.Config.Controls["FXVolSelect"] = TControlPlace{200, 7, {}, {}};
    form->ApplyStyle(style);
    EXPECT_EQ(piano->RowButton(1)->pos(), QPoint(200, 7));
    form->ApplyStyle(DefaultStyle());
    EXPECT_EQ(piano->RowButton(1)->pos(), QPoint(260, 26)) << "back at its place";

    form->SetHelpFile(TROVAMIX_BINARY_DIR "/Help/Trova.html");
    Button("FXNoteBtn")->Click();
    QTest::keyClick(piano, Qt::Key_F1);
    ASSERT_NE(form->HelpWindow(), nullptr);
    EXPECT_EQ(form->HelpWindow()->CurrentTopic(), "keyboard-editor");
    form->HelpWindow()->close();
}

TEST_F(PianoLinksTest, ScreenshotsFromTheMainWindow) {
    for (int s = 0; s < 16; s += 3) loop.SetStep(0, loop.CurrentPattern, s, true);
    Button("FXNoteBtn")->Click();
    ASSERT_TRUE(piano->grab().save(TROVAMIX_BINARY_DIR "/piano-main-keyboard.png"));
    Button("FXDrawBtn")->Click();
    ASSERT_TRUE(piano->grab().save(TROVAMIX_BINARY_DIR "/piano-main-draw.png"));
}

}  // namespace
}  // namespace tx
