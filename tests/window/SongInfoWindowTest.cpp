// "Loop info" from the main window: the caption following the title, the
// loop marked and recorded only when something changed, the round trip
// through save and reopen, and the information shown when a loop asks.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include "dialogs/SongInfoForms.h"
#include "engine/Engine.h"
#include "model/Loop.h"
#include "model/SongInfo.h"
#include "window/LoopDocument.h"
#include "window/MainForm.h"
#include "window/WorkflowDialogs.h"

namespace tx {
namespace {

struct TQuietPrompts : TWorkflowPrompts {
    std::optional<std::string> OpenName;
    TAnswer AskYesNoCancel(const std::string&) override { return TAnswer::No; }
    bool AskYesNo(const std::string&) override { return false; }
    std::optional<std::string> AskOpenName(const std::string&) override { return OpenName; }
    std::optional<std::string> AskSaveName(const std::string&) override { return std::nullopt; }
    void ShowError(const std::string&) override {}
    void ShowWarning(const std::string&) override {}
};

class SongInfoWindow : public ::testing::Test {
protected:
    SongInfoWindow() {
        loop.SetEngineLock(&lock);
        form.SetWorkflow(&workflow);
    }
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    QString Caption() const { return form.findChild<QLabel*>("CaptionLabel")->text(); }
    // Opens "Loop info" as its menu item (F9) does and lets `drive` work in it before it closes.
    void LoopInfo(const std::function<void(TSetInfoForm&)>& drive) {
        form.RunLoopInfoWindow = [&drive](TSetInfoForm& w) {
            w.show();
            drive(w);
            w.close();
        };
        form.Action(TCommand::LoopInfo)->trigger();
        QApplication::processEvents();  // the menu enabling is queued
    }

    QTemporaryDir dir;
    std::string folder = dir.path().toStdString() + "/";
    TLoop loop;
    TEngineLock lock;
    TSettings settings;
    TEngine engine{loop, lock, settings};
    TTrovamixMainForm form{loop, &engine};
    TLoopDocument doc{loop, &engine};
    TQuietPrompts prompts;
    TFormView view{form};
    TLoopWorkflow workflow{doc, prompts, view, folder};
};

TEST_F(SongInfoWindow, TheCaptionFollowsTheTitleAsItIsTyped) {
    EXPECT_EQ(form.Action(TCommand::LoopInfo)->shortcut(), QKeySequence(Qt::Key_F9));
    workflow.SetFileName(folder + "groove.txp");
    ASSERT_EQ(Caption(), "groove.txp");
    std::vector<QString> seen;
    LoopInfo([&](TSetInfoForm& w) {
        EXPECT_EQ(w.windowTitle(), "Loop info");
        QTest::keyClicks(w.TitleEdit, "Dub");
        seen.push_back(Caption());
        QTest::keyClick(w.TitleEdit, Qt::Key_Backspace);
        seen.push_back(Caption());
        w.TitleEdit->clear();
        seen.push_back(Caption());
        QTest::keyClicks(w.TitleEdit, "Dusk");
    });
    EXPECT_EQ(seen, (std::vector<QString>{"Dub", "Du", "groove.txp"})) << "cleared, the file name is back";
    EXPECT_EQ(Caption(), "Dusk");
    EXPECT_EQ(form.windowTitle(), "Dusk");
    EXPECT_EQ(workflow.Caption, "Dusk");
    EXPECT_EQ(loop.Title, "Dusk");
    EXPECT_TRUE(loop.Modified);
    // Undo takes the title back, and the caption with it.
    form.Action(TCommand::Undo)->trigger();
    EXPECT_EQ(loop.Title, "");
    EXPECT_EQ(Caption(), "groove.txp");
}

TEST_F(SongInfoWindow, NothingChangedMarksNothingAndRecordsNothing) {
    loop.Title = "Kept";
    loop.URL = "http://a.org";
    loop.Modified = false;
    LoopInfo([](TSetInfoForm& w) {
        QTest::keyClick(w.TitleEdit, Qt::Key_End);
        QTest::keyClicks(w.TitleEdit, "x");
        QTest::keyClick(w.TitleEdit, Qt::Key_Backspace);
        w.ShowInfoBox->click();
        w.ShowInfoBox->click();
    });
    EXPECT_FALSE(loop.Modified);
    EXPECT_FALSE(form.Action(TCommand::Undo)->isEnabled());
    LoopInfo([](TSetInfoForm& w) { w.ShowInfoBox->click(); });
    EXPECT_TRUE(loop.Modified);
    EXPECT_TRUE(loop.ShowInfo);
    EXPECT_TRUE(form.Action(TCommand::Undo)->isEnabled());
}

TEST_F(SongInfoWindow, ALoopWithTheFlagAndNoUrlOpensTheWindowWithoutTheUrlLabel) {
    // Written through the window and the workflow, then opened again.
    workflow.SetFileName(folder + "info.txp");
    LoopInfo([](TSetInfoForm& w) {
        QTest::keyClicks(w.TitleEdit, "Shown on open");
        QTest::keyClicks(w.InfoEdit, "Read me first");
        w.ShowInfoBox->click();
    });
    ASSERT_TRUE(workflow.Save());
    EXPECT_EQ(form.InfoForm(), nullptr) << "saving shows nothing";

    workflow.New();
    ASSERT_EQ(loop.Title, "");
    prompts.OpenName = folder + "info.txp";
    workflow.Open();
    ASSERT_EQ(loop.Title, "Shown on open");
    TInfoForm* info = form.InfoForm();
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(info->isVisible());
    EXPECT_EQ(info->NewCaption->text(), "Shown on open");
    EXPECT_EQ(info->InfoEdit->toPlainText(), "Read me first");
    EXPECT_FALSE(info->URLEdit->isVisible());
    EXPECT_EQ(Caption(), "Shown on open");
    EXPECT_FALSE(loop.Modified);

    // The round trip kept every field, and the note's very bytes.
    const TSongInfo read = SongInfoOf(loop);
    EXPECT_TRUE(read.ShowInfo);
    EXPECT_EQ(read.URL, "");
    LoopInfo([](TSetInfoForm&) {});
    EXPECT_EQ(SongInfoOf(loop), read);
    EXPECT_FALSE(loop.Modified) << "looked at, not changed";
}

TEST_F(SongInfoWindow, ALoopWithoutTheFlagShowsNothing) {
    workflow.SetFileName(folder + "quiet.txp");
    LoopInfo([](TSetInfoForm& w) { QTest::keyClicks(w.URLEdit, "https://example.org"); });
    ASSERT_TRUE(workflow.Save());
    prompts.OpenName = folder + "quiet.txp";
    workflow.Open();
    EXPECT_EQ(loop.URL, "https://example.org");
    EXPECT_TRUE(form.InfoForm() == nullptr || !form.InfoForm()->isVisible());
}

}  // namespace
}  // namespace tx
