// The Edit and Channels commands and the channel pop-up, driven through the
// real window: shortcuts, select buttons, the pop-up and the dialogs.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "engine/Engine.h"
#include "model/Loop.h"
#include "shell/MainForm.h"
#include "shell/core/Style.h"

namespace tx {
namespace {

class EditCommands : public ::testing::Test {
protected:
    void SetUp() override {
        loop.SetEngineLock(&lock);
        while (loop.ChannelCount() < 6) loop.AddChannel();
        for (int c = 0; c < 6; ++c) loop.SetChannelName(c, "C" + std::to_string(c));
        form = std::make_unique<TTrovamixMainForm>(loop, &engine);
        form->ApplyStyle(LoadStyleData({"", "", FindEmbeddedStyleFile}));
        form->SetAutoMaximize(true);
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        form->FitHeight();
        form->SelectAlone(0);
        loop.Modified = false;
    }
    // Answers the next modal dialog with `button` once it is open.
    static void Answer(QMessageBox::StandardButton button) {
        QTimer::singleShot(0, [button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_TRUE(box);
            EXPECT_EQ(box->text(), "The selected channels are about to be deleted...");
            box->button(button)->click();
        });
    }
    QMenu* Popup(int ch) {
        QTest::mouseClick(form->Row(ch)->SetButton, Qt::RightButton);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    }
    std::vector<std::string> Names() {
        std::vector<std::string> n;
        for (int c = 0; c < loop.ChannelCount(); ++c) n.push_back(loop.Channel(c).Name);
        return n;
    }
    PatternRecord& Rec(int ch) { return loop.Channel(ch).Pattern(loop.CurrentPattern); }

    TLoop loop;
    TEngineLock lock;
    TSettings settings;
    TEngine engine{loop, lock, settings};
    std::unique_ptr<TTrovamixMainForm> form;
};

TEST_F(EditCommands, CutThenPasteMovesTheRowAndEachShortcutActsOnce) {
    EXPECT_FALSE(form->Action(TCommand::Paste)->isEnabled());  // nothing cut or copied yet
    EXPECT_FALSE(form->ChannelAction(TCommand::Paste)->isEnabled());
    form->SelectAlone(1);
    loop.SetStep(1, loop.CurrentPattern, 3, true);
    loop.SetStepValue(1, loop.CurrentPattern, RowVolume, 3, 99);
    const PatternRecord original = Rec(1);
    QTest::keySequence(form.get(), QKeySequence("Ctrl+X"));
    EXPECT_EQ(Rec(1).StepMask, 0);
    EXPECT_TRUE(form->Action(TCommand::Paste)->isEnabled() && form->ChannelAction(TCommand::Paste)->isEnabled());
    QTest::mouseClick(form->Row(4)->SelectButton, Qt::LeftButton);
    QTest::keySequence(form.get(), QKeySequence("Ctrl+V"));
    EXPECT_EQ(Rec(4), original);
    EXPECT_EQ(Rec(1).StepMask, 0);
    QTest::keySequence(form.get(), QKeySequence("Alt+R"));  // one step right, not two
    EXPECT_EQ(Rec(4).StepMask, 1 << 4);
    EXPECT_EQ(Rec(4).StepVolume()[4], 99);
    form->SetAutoMaximize(false);
    form->SetHeight(form->MinHeight() + 80);
    QTest::keySequence(form.get(), QKeySequence("Ctrl+D"));
    EXPECT_EQ(loop.ChannelCount(), 7);
    EXPECT_TRUE(loop.Modified);
    QScrollBar* bar = form->findChild<QScrollArea*>("GridsBox")->verticalScrollBar();
    EXPECT_GT(bar->value(), 0);  // scrolled down to the new row
    EXPECT_EQ(bar->value(), bar->maximum());
    for (int pos = 0; pos < 4; ++pos) loop.SetPatternAt(9, pos, true);
    QTest::keySequence(form.get(), QKeySequence("Ctrl+I"));  // after the last used bar
    EXPECT_TRUE(loop.PlayList.Contains(4, loop.CurrentPattern));
}

TEST_F(EditCommands, EnablingFollowsTheSelectionAndTheChannelCount) {
    const TCommand selectionCommands[] = {TCommand::Cut,           TCommand::Copy,     TCommand::ShiftLeft,
                                          TCommand::Random,        TCommand::Humanize, TCommand::ZipSelected,
                                          TCommand::DeleteSelected};
    for (TCommand c : selectionCommands) EXPECT_TRUE(form->Action(c)->isEnabled()) << int(c);
    QTest::mouseClick(form->Row(0)->SelectButton, Qt::RightButton);  // the only selected one: none left
    ASSERT_EQ(loop.SelectedChannel(), -1);
    for (TCommand c : selectionCommands) EXPECT_FALSE(form->Action(c)->isEnabled()) << int(c);
    QSignalSpy spy(form.get(), &TTrovamixMainForm::CommandRun);
    QTest::keySequence(form.get(), QKeySequence("Ctrl+R"));
    EXPECT_EQ(spy.size(), 0);
    EXPECT_FALSE(loop.Modified);

    form->SelectAlone(5);
    loop.Channel(4).Selected = true;
    Answer(QMessageBox::Ok);
    form->RunCommand(TCommand::DeleteSelected);  // six to four: the minimum
    EXPECT_FALSE(form->Action(TCommand::DeleteSelected)->isEnabled());
    EXPECT_FALSE(form->ChannelAction(TCommand::DeleteChannel)->isEnabled());
    form->RunCommand(TCommand::AddChannel);
    EXPECT_TRUE(form->Action(TCommand::DeleteSelected)->isEnabled());
    EXPECT_TRUE(form->ChannelAction(TCommand::DeleteChannel)->isEnabled());
}

TEST_F(EditCommands, DeleteSelectedAsksFirstAndTheRowsAndHeightFollow) {
    QTest::mouseClick(form->Row(1)->SelectButton, Qt::LeftButton);
    QTest::mouseClick(form->Row(4)->SelectButton, Qt::RightButton);  // adds to the selection
    const int tall = form->height();
    Answer(QMessageBox::Cancel);
    form->RunCommand(TCommand::DeleteSelected);
    EXPECT_EQ(loop.ChannelCount(), 6);
    Answer(QMessageBox::Ok);
    form->RunCommand(TCommand::DeleteSelected);
    EXPECT_EQ(Names(), (std::vector<std::string>{"C0", "C2", "C3", "C5"}));
    ASSERT_EQ(form->RowCount(), 4);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form->Row(3))->text(QAccessible::Name), "C5");
    EXPECT_EQ(form->height(), form->MaxHeight());
    EXPECT_EQ(form->height(), tall - 2 * (form->Layout().Rows[1].StepTop - form->Layout().Rows[0].StepTop));
}

TEST_F(EditCommands, ThePopupActsOnTheRowClicked) {
    QTest::mouseClick(form->Row(1)->SelectButton, Qt::RightButton);
    loop.SetStep(1, loop.CurrentPattern, 0, true);
    QMenu* menu = Popup(3);
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->objectName(), "LineMenu");
    // The picture of the window with the pop-up open, for a person to look at.
    const QRect area = form->geometry() | menu->geometry();
    QImage shot(area.size(), QImage::Format_RGB32);
    shot.fill(Qt::black);
    QPainter paint(&shot);
    paint.drawPixmap(form->pos() - area.topLeft(), form->grab());
    paint.drawPixmap(menu->pos() - area.topLeft(), menu->grab());
    paint.end();
    ASSERT_TRUE(shot.save(TROVAMIX_BINARY_DIR "/channel-popup.png"));
    Answer(QMessageBox::Ok);
    form->ChannelAction(TCommand::DeleteChannel)->trigger();
    EXPECT_EQ(Names(), (std::vector<std::string>{"C0", "C1", "C2", "C4", "C5"}));
    EXPECT_EQ(loop.Channel(1).Pattern(loop.CurrentPattern).StepMask, 1);  // deselected, so kept

    Popup(2)->close();
    form->ChannelAction(TCommand::InsertChannel)->trigger();
    EXPECT_EQ(Names(), (std::vector<std::string>{"C0", "C1", "", "C2", "C4", "C5"}));
    EXPECT_EQ(form->RowCount(), 6);
    EXPECT_EQ(form->height(), form->MaxHeight());
    loop.Channel(1).Selected = true;
    Popup(5)->close();
    form->ChannelAction(TCommand::ShiftRight)->trigger();
    EXPECT_EQ(Rec(1).StepMask, 1);  // channel 1 is no longer selected: untouched
    EXPECT_EQ(loop.SelectedChannel(), 5);

    form->SelectAlone(4);
    form->RunCommand(TCommand::ZipSelected);
    EXPECT_EQ(Popup(4), nullptr);  // a zipped channel's name button restores it instead
    EXPECT_FALSE(loop.Channel(4).Minimized);
}

TEST_F(EditCommands, HumanizeAsksHowMuchAndChangesOnlyTheChosenValuesOfTheSelectedRow) {
    for (int ch : {0, 1})
        for (int s = 0; s < 16; ++s) loop.SetStep(ch, loop.CurrentPattern, s, true);
    const PatternRecord before = Rec(0), other = Rec(1);
    form->SeedRandom(7);
    QTimer::singleShot(0, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->windowTitle(), "Humanize");
        auto* group = dialog->findChild<QGroupBox*>("PercentageBox");
        EXPECT_EQ(group->title(), "Humanize how much?");
        dialog->findChild<QSlider*>("HumanizeSlider")->setValue(100);
        EXPECT_EQ(group->title(), "Humanize 100%");
        dialog->findChild<QCheckBox*>("PanBox")->setChecked(false);
        EXPECT_FALSE(dialog->findChild<QCheckBox*>("PitchBox")->isChecked());
        QTest::mouseClick(dialog->findChild<QPushButton*>("OkButton"), Qt::LeftButton);
    });
    QTest::keySequence(form.get(), QKeySequence("Alt+H"));
    EXPECT_NE(Rec(0).StepVolume(), before.StepVolume());
    EXPECT_EQ(Rec(0).StepPan(), before.StepPan());
    EXPECT_EQ(Rec(0).StepPitch(), before.StepPitch());
    EXPECT_EQ(Rec(1), other);
}

}  // namespace
}  // namespace tx
