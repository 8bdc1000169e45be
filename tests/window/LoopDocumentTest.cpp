// The window's side of the loop workflow: the document on the real reader and
// writer, and the close question of the real window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <fstream>

#include "engine/Engine.h"
#include "loopfile/LoopFile.h"
#include "model/Loop.h"
#include "window/LoopDocument.h"
#include "window/MainForm.h"
#include "window/WorkflowDialogs.h"

namespace tx {
namespace {

struct TScriptedPrompts : TWorkflowPrompts {
    TAnswer Answer = TAnswer::Cancel;
    std::vector<std::string> Errors;
    TAnswer AskYesNoCancel(const std::string&) override { return Answer; }
    bool AskYesNo(const std::string&) override { return false; }
    std::optional<std::string> AskOpenName(const std::string&) override { return std::nullopt; }
    std::optional<std::string> SaveName;
    std::optional<std::string> AskSaveName(const std::string&) override { return SaveName; }
    void ShowError(const std::string& text) override { Errors.push_back(text); }
    void ShowWarning(const std::string& text) override { Errors.push_back(text); }
};

class LoopDocumentTest : public ::testing::Test {
protected:
    LoopDocumentTest() { loop.SetEngineLock(&lock); }
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QTemporaryDir dir;
    TLoop loop;
    TEngineLock lock;
    TSettings settings;
    TEngine engine{loop, lock, settings};
    std::string folder = dir.path().toStdString() + "/";
};

// The window with the workflow behind its menus, as the program wires them.
class WindowSessionTest : public LoopDocumentTest {
protected:
    WindowSessionTest() { form.SetWorkflow(&workflow); }
    TTrovamixMainForm form{loop, &engine};
    TLoopDocument doc{loop, &engine};
    TScriptedPrompts prompts;
    TFormView view{form};
    TLoopWorkflow workflow{doc, prompts, view, folder};
};

TEST_F(LoopDocumentTest, AFileThatCannotBeReadLeavesTheOpenLoopAsItWas) {
    TLoopDocument doc(loop, &engine);
    loop.SetStep(1, 1, 3, true);
    loop.Tempo = 133;
    const std::string good = folder + "good.txp";
    ASSERT_EQ(doc.Save(good), "");
    EXPECT_FALSE(loop.Modified);
    loop.SetStep(2, 1, 7, true);  // modified since the save

    const std::string bad = folder + "bad.txp";
    std::ofstream(bad, std::ios::binary) << "TXhd garbage, not a loop";
    for (const std::string& path : {bad, folder + "missing.txp"}) {
        const auto r = doc.Load(path);
        EXPECT_FALSE(r.Ok) << path;
        EXPECT_FALSE(r.Detail.empty()) << path;
        EXPECT_TRUE(loop.GetStep(1, 1, 3));
        EXPECT_TRUE(loop.GetStep(2, 1, 7));
        EXPECT_EQ(loop.Tempo, 133);
        EXPECT_TRUE(loop.Modified);
    }
    loop.Tempo = 90;
    const auto r = doc.Load(good);
    ASSERT_TRUE(r.Ok) << r.Detail;
    EXPECT_EQ(loop.Tempo, 133);
    EXPECT_FALSE(loop.GetStep(2, 1, 7));
    EXPECT_EQ(engine.StepLength, 4973);  // the engine plays the loaded tempo: frames per sixteenth at 133 BPM
}

TEST_F(LoopDocumentTest, ALoadedLoopBringsItsSamplesFromBesideIt) {
    ASSERT_TRUE(QFile::copy(TROVAMIX_BINARY_DIR "/Samples/kick.wav", dir.filePath("kick.wav")));
    TLoopDocument doc(loop, &engine, folder);
    loop.Channel(0).SampleFileName = "kick.wav";
    ASSERT_EQ(doc.Save(folder + "withsample.txp"), "");
    loop.Channel(0).SampleFileName.clear();
    const auto r = doc.Load(folder + "withsample.txp");
    ASSERT_TRUE(r.Ok) << r.Detail;
    EXPECT_TRUE(loop.Channel(0).Sample.HasData());
    EXPECT_FALSE(loop.Channel(1).Sample.HasData());
}

TEST_F(WindowSessionTest, TheWindowStaysOpenWhenTheSaveQuestionIsCancelled) {
    loop.Tempo = 150;
    form.LoopReplaced();
    EXPECT_EQ(form.findChild<TRCADigital*>("BPMDig")->Value(), 150);

    loop.Modified = true;
    prompts.Answer = TAnswer::Cancel;
    QCloseEvent cancelled;
    QApplication::sendEvent(&form, &cancelled);
    EXPECT_FALSE(cancelled.isAccepted());
    prompts.Answer = TAnswer::No;
    QCloseEvent closed;
    QApplication::sendEvent(&form, &closed);
    EXPECT_TRUE(closed.isAccepted());
}

TEST_F(WindowSessionTest, NewWithoutADefaultLoopGivesAFreshUntitledLoop) {
    loop.SetStep(0, 1, 0, true);
    loop.Modified = false;  // nothing to ask
    form.RunCommand(TCommand::New);
    EXPECT_FALSE(loop.GetStep(0, 1, 0));
    EXPECT_FALSE(loop.Modified);
    EXPECT_EQ(FileNameOnly(workflow.LoopFileName()), "untitled.txp");
    EXPECT_TRUE(prompts.Errors.empty());
}

// The render title, the MIDI export name and the sample search read the
// loop's name: after New and Save As it is the new file's.
TEST_F(WindowSessionTest, NewAndSaveAsRenameTheLoopItself) {
    const std::string first = folder + "first.txp";
    ASSERT_EQ(doc.Save(first), "");
    workflow.LoadLoop(first);
    EXPECT_EQ(loop.LoopFileName, first);
    prompts.SaveName = folder + "second.txp";
    ASSERT_TRUE(workflow.SaveAs());
    EXPECT_EQ(loop.LoopFileName, folder + "second.txp");
    // The MIDI export dialog suggests the new name with ".mid".
    QString suggested;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            suggested = dialog->selectedFiles().value(0);
            dialog->reject();
        }
    });
    form.RunCommand(TCommand::ExportMidi);
    EXPECT_EQ(suggested.toStdString(), folder + "second.mid");
    loop.Modified = false;
    form.RunCommand(TCommand::New);
    EXPECT_EQ(loop.LoopFileName, folder + "Loops/untitled.txp");
}

TEST_F(WindowSessionTest, ALoopDroppedOnTheWindowOpensAfterTheSaveQuestion) {
    loop.Tempo = 177;
    const std::string file = folder + "Dropped.TXP";
    ASSERT_EQ(doc.Save(file), "");
    loop.Tempo = 120;
    loop.Modified = true;

    auto drop = [&] {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
        // As a drag arrives: entering first makes the window the drop's target.
        QDragEnterEvent enter(QPoint(50, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent event(QPointF(50, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &event);
    };
    prompts.Answer = TAnswer::Cancel;  // keeps the modified loop
    drop();
    EXPECT_EQ(loop.Tempo, 120);
    EXPECT_TRUE(loop.Modified);
    prompts.Answer = TAnswer::No;
    drop();
    EXPECT_TRUE(prompts.Errors.empty());
    EXPECT_EQ(loop.Tempo, 177);
    EXPECT_EQ(form.findChild<TRCADigital*>("BPMDig")->Value(), 177);
    EXPECT_EQ(FileNameOnly(workflow.RecentFiles[0]), "Dropped.TXP");
}

}  // namespace
}  // namespace tx
