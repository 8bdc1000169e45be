#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "desktop/LoopWorkflow.h"

using tx::TAnswer;

namespace {

// A loop is a name for its content; files map names to what reading gives.
struct FakeDocument : tx::TWorkflowDocument {
    struct File {
        std::string Content, Title;
        bool Ok = true, EndedEarly = false;
    };
    std::map<std::string, File> Files;
    std::set<std::string> Unwritable;
    std::string Content = "blank", CurrentTitle;
    bool IsModified = false;

    TLoadResult Load(const std::string& path) override {
        auto it = Files.find(path);
        if (it == Files.end() || !it->second.Ok) return {};
        Content = it->second.Content;
        CurrentTitle = it->second.Title;
        return {true, it->second.EndedEarly, "reading stopped at byte 812 (an event runs past the end)"};
    }
    void ResetToNew() override {
        Content = "blank";
        CurrentTitle.clear();
    }
    std::string Save(const std::string& path) override {
        if (Unwritable.count(path)) return path + ": cannot create a file in its folder: Permission denied";
        Files[path] = {Content, CurrentTitle};
        IsModified = false;
        return {};
    }
    bool Modified() const override { return IsModified; }
    void SetModified(bool on) override { IsModified = on; }
    std::string Title() const override { return CurrentTitle; }
    int SongLength() const override { return 3; }
    bool FileExists(const std::string& path) const override { return Files.count(path) > 0; }
    std::string FileName() const override { return Name; }
    void SetFileName(const std::string& path) override { Name = path; }
    bool FolderWritable(const std::string& folder) const override { return !ReadOnly.count(folder); }
    std::string Name;
    std::set<std::string> ReadOnly;
};

// Answers come from queues the test fills; every question is recorded.
struct ScriptedPrompts : tx::TWorkflowPrompts {
    std::deque<TAnswer> YesNoCancel;
    std::deque<bool> YesNo;
    std::deque<std::optional<std::string>> Names;
    std::vector<std::string> Asked, Errors, Warnings;

    TAnswer AskYesNoCancel(const std::string& text) override {
        Asked.push_back(text);
        EXPECT_FALSE(YesNoCancel.empty()) << "unexpected question: " << text;
        if (YesNoCancel.empty()) return TAnswer::Cancel;
        TAnswer a = YesNoCancel.front();
        YesNoCancel.pop_front();
        return a;
    }
    bool AskYesNo(const std::string& text) override {
        Asked.push_back(text);
        bool a = !YesNo.empty() && YesNo.front();
        if (!YesNo.empty()) YesNo.pop_front();
        return a;
    }
    std::optional<std::string> name(const std::string& what) {
        Asked.push_back(what);
        EXPECT_FALSE(Names.empty()) << "unexpected dialog: " << what;
        if (Names.empty()) return std::nullopt;
        auto n = Names.front();
        Names.pop_front();
        return n;
    }
    std::optional<std::string> AskOpenName(const std::string&) override { return name("open dialog"); }
    std::optional<std::string> AskSaveName(const std::string&) override { return name("save dialog"); }
    void ShowError(const std::string& text) override { Errors.push_back(text); }
    void ShowWarning(const std::string& text) override { Warnings.push_back(text); }
};

struct RecordingView : tx::TWorkflowView {
    std::string Caption, Hint;
    int Replaced = 0, Renders = 0;
    void CaptionChanged(const std::string& c) override { Caption = c; }
    void RecentFilesChanged() override {}
    void ShowHint(const std::string& h) override { Hint = h; }
    void LoopReplaced() override { ++Replaced; }
    void StartRender() override { ++Renders; }
};

class Workflow : public ::testing::Test {
protected:
    FakeDocument doc;
    ScriptedPrompts prompts;
    RecordingView view;
    tx::TLoopWorkflow wf{doc, prompts, view, "/opt/trovamix"};

    void SetUp() override {
        doc.Files["/opt/trovamix/Default/Default.txp"] = {"default loop", ""};
        for (const char* n : {"a", "b", "c", "d", "e", "f"}) doc.Files[std::string("/loops/") + n + ".txp"] = {n, ""};
        doc.Files["/loops/titled.txp"] = {"titled", "Night Drive"};
        doc.Files["/loops/broken.txp"] = {"", "", false};
        doc.Files["/loops/short.txp"] = {"half", "", true, true};
        wf.New();
    }
};

}  // namespace

TEST_F(Workflow, NewLoadsTheDefaultLoopUntitledAndUnrecorded) {
    EXPECT_TRUE(prompts.Asked.empty()) << "an unchanged loop asks nothing";
    EXPECT_EQ(doc.Content, "default loop");
    EXPECT_EQ(view.Caption, "");
    EXPECT_EQ(wf.LoopFileName(), "/opt/trovamix/Loops/untitled.txp");
    EXPECT_EQ(wf.RecentFiles[0], "") << "New records no recent file";
    EXPECT_EQ(wf.WavDialogName, "/opt/trovamix/Loops/untitled.wav");

    // Save of an untitled loop asks for a name.
    prompts.Names = {std::string("/loops/mine.txp")};
    EXPECT_TRUE(wf.Save());
    EXPECT_EQ(wf.LoopFileName(), "/loops/mine.txp");
    EXPECT_EQ(doc.Files["/loops/mine.txp"].Content, "default loop");
    EXPECT_EQ(wf.MidiDialogName, "/loops/mine.mid");

    doc.Files.erase("/opt/trovamix/Default/Default.txp");
    doc.Content = "edited";
    wf.New();
    EXPECT_EQ(doc.Content, "blank") << "without the default loop, a blank new loop";
}

TEST_F(Workflow, RecentFilesMoveUpAndDropTheOldest) {
    for (const char* n : {"a", "b", "c", "d", "e", "a"}) ASSERT_TRUE(wf.LoadLoop(std::string("/loops/") + n + ".txp"));
    EXPECT_EQ(wf.RecentFiles,
              (tx::TRecentFiles{"/loops/a.txp", "/loops/e.txp", "/loops/d.txp", "/loops/c.txp", "/loops/b.txp"}));
    wf.LoadLoop("/loops/f.txp");
    EXPECT_EQ(wf.RecentFiles[0], "/loops/f.txp");
    EXPECT_EQ(wf.RecentFiles[4], "/loops/c.txp") << "the oldest, b, is dropped";

    // Entry 3 moves to the top; entry 4 is not searched but still ends at the top, once.
    tx::TRecentFiles l{"0", "1", "2", "3", "4"};
    tx::AddRecentFile(l, "3");
    EXPECT_EQ(l, (tx::TRecentFiles{"3", "0", "1", "2", "4"}));
    tx::AddRecentFile(l, "4");
    EXPECT_EQ(l, (tx::TRecentFiles{"4", "3", "0", "1", "2"}));

    // Open recent loads a copy of the name even though loading reorders the list.
    wf.OpenRecent(2);
    EXPECT_EQ(doc.Content, "e");
    EXPECT_EQ(wf.RecentFiles,
              (tx::TRecentFiles{"/loops/e.txp", "/loops/f.txp", "/loops/a.txp", "/loops/d.txp", "/loops/c.txp"}));
}

TEST_F(Workflow, CaptionIsTheTitleOrTheFileName) {
    wf.LoadLoop("/loops/titled.txp");
    EXPECT_EQ(view.Caption, "Night Drive");
    EXPECT_EQ(view.Hint, "Loop loaded... (4 patterns)");
    wf.LoadLoop("/loops/b.txp");
    EXPECT_EQ(view.Caption, "b.txp");
}

TEST_F(Workflow, AFailedOpenLeavesEverythingAsItWas) {
    wf.LoadLoop("/loops/titled.txp");
    doc.Content = "titled, edited";
    doc.IsModified = true;
    const auto recent = wf.RecentFiles;

    prompts.YesNoCancel = {TAnswer::No};
    prompts.Names = {std::string("/loops/broken.txp")};
    wf.Open();
    ASSERT_EQ(prompts.Errors.size(), 1u);
    EXPECT_EQ(prompts.Errors[0], tx::TLoopWorkflow::ReadErrorText);
    EXPECT_EQ(doc.Content, "titled, edited");
    EXPECT_TRUE(doc.IsModified) << "a Save right after must not look unneeded";
    EXPECT_EQ(wf.LoopFileName(), "/loops/titled.txp");
    EXPECT_EQ(view.Caption, "Night Drive");
    EXPECT_EQ(wf.RecentFiles, recent);
}

TEST_F(Workflow, ALoopReadShortOpensModifiedWithAWarning) {
    ASSERT_TRUE(wf.LoadLoop("/loops/short.txp"));
    EXPECT_EQ(doc.Content, "half");
    ASSERT_EQ(prompts.Warnings.size(), 1u);
    EXPECT_NE(prompts.Warnings[0].find("/loops/short.txp"), std::string::npos);
    EXPECT_NE(prompts.Warnings[0].find("byte 812"), std::string::npos);
    EXPECT_TRUE(doc.IsModified);
}

TEST_F(Workflow, ThePromptAnswersCancelWhenNothingWasSaved) {
    doc.Content = "precious";
    doc.IsModified = true;

    // The untitled loop's Save As dialog is cancelled: New must not go on.
    prompts.YesNoCancel = {TAnswer::Yes};
    prompts.Names = {std::nullopt};
    wf.New();
    EXPECT_EQ(doc.Content, "precious");
    EXPECT_EQ(prompts.Asked.front(), "Save changes to untitled.txp?");

    // The save itself fails: the reason is shown, the loop stays modified, Exit stops.
    doc.Unwritable.insert("/ro/x.txp");
    prompts.YesNoCancel = {TAnswer::Yes};
    prompts.Names = {std::string("/ro/x.txp")};
    EXPECT_FALSE(wf.QueryClose());
    ASSERT_EQ(prompts.Errors.size(), 1u);
    EXPECT_NE(prompts.Errors[0].find("/ro/x.txp: cannot create"), std::string::npos);
    EXPECT_TRUE(doc.IsModified);
    EXPECT_EQ(wf.LoopFileName(), "/opt/trovamix/Loops/untitled.txp");

    // No throws the changes away on purpose; Cancel keeps them.
    prompts.YesNoCancel = {TAnswer::Cancel, TAnswer::No};
    EXPECT_FALSE(wf.QueryClose());
    EXPECT_TRUE(wf.QueryClose());
}

TEST_F(Workflow, DroppedLoopsAskFirstAndOnlyTheFirstCounts) {
    doc.Content = "precious";
    doc.IsModified = true;
    prompts.YesNoCancel = {TAnswer::Cancel};
    EXPECT_TRUE(wf.DropFiles({"/loops/B.TXP", "/loops/c.txp"}));
    EXPECT_EQ(doc.Content, "precious");
    EXPECT_EQ(prompts.Asked.size(), 1u);

    doc.Files["/loops/B.TXP"] = {"upper", ""};
    prompts.YesNoCancel = {TAnswer::No};
    EXPECT_TRUE(wf.DropFiles({"/loops/B.TXP", "/loops/c.txp"}));
    EXPECT_EQ(doc.Content, "upper");
    EXPECT_FALSE(wf.DropFiles({"/samples/kick.wav", "/loops/c.txp"})) << "a sample drop is not a loop drop";
}

TEST_F(Workflow, RenderAfterSaveAsksAndARenderCancelsTheCommand) {
    wf.RenderAfterSave = true;
    wf.LoadLoop("/loops/a.txp");
    doc.IsModified = true;
    prompts.YesNoCancel = {TAnswer::Yes};
    prompts.YesNo = {true};
    EXPECT_EQ(wf.SavePrompt(), TAnswer::Cancel);
    EXPECT_EQ(view.Renders, 1);
    EXPECT_EQ(prompts.Asked.back(), tx::TLoopWorkflow::RenderQuestion);

    prompts.YesNo = {false};
    EXPECT_TRUE(wf.Save());
    EXPECT_EQ(view.Renders, 1);
    EXPECT_EQ(prompts.Asked.back(), tx::TLoopWorkflow::RenderQuestion) << "a menu Save asks too";
}

TEST(WorkflowNames, ExtensionsAndFolders) {
    EXPECT_EQ(tx::ChangeExtension("/a.b/c", ".wav"), "/a.b/c.wav");
    EXPECT_EQ(tx::ChangeExtension("/a/c.txp", ".mid"), "/a/c.mid");
    EXPECT_EQ(tx::FileNameOnly("/a/b/c.txp"), "c.txp");
}

// A loop named relative to the current folder is stored by its absolute path,
// so recent files still find it after the folder changes.
TEST_F(Workflow, RelativeNamesAreStoredAbsolute) {
    const std::string cwd = std::filesystem::current_path().string();
    doc.Files[cwd + "/songs/a.txp"] = {"relative", ""};
    doc.Files[cwd + "/b.txp"] = {"dropped", ""};
    const struct {
        std::function<void()> Open;
        std::string Expected;
    } cases[] = {
        {[&] { wf.OpenCommandLineFiles({"songs/a.txp"}); }, cwd + "/songs/a.txp"},
        {[&] { wf.OpenCommandLineFiles({"./songs/../songs/a.txp"}); }, cwd + "/songs/a.txp"},
        {[&] { wf.DropFiles({"b.txp"}); }, cwd + "/b.txp"},
    };
    for (const auto& c : cases) {
        c.Open();
        EXPECT_TRUE(prompts.Errors.empty()) << c.Expected;
        EXPECT_EQ(wf.LoopFileName(), c.Expected);
        EXPECT_EQ(wf.RecentFiles[0], c.Expected);
        EXPECT_EQ(wf.SaveDialogName, c.Expected);
    }
}

// The open dialog starts among the program's loops; Save As of a loop there
// starts in the per-user folder when the program's cannot be written.
TEST(WorkflowDialogs, TheDialogsStartWhereTheUserCanWork) {
    const struct {
        bool ProgramWritable;
        std::string UserFolder, SaveStart;
    } cases[] = {
        {true, "/home/u/.local/share/Trovamix/Loops/", "/opt/trovamix/Loops/untitled.txp"},
        {false, "/home/u/.local/share/Trovamix/Loops/", "/home/u/.local/share/Trovamix/Loops/untitled.txp"},
        {false, "", "/opt/trovamix/Loops/untitled.txp"},
    };
    for (const auto& c : cases) {
        FakeDocument doc;
        if (!c.ProgramWritable) doc.ReadOnly.insert("/opt/trovamix/Loops/");
        doc.Files["/loops/a.txp"] = {"a", ""};
        ScriptedPrompts prompts;
        RecordingView view;
        tx::TLoopWorkflow wf{doc, prompts, view, "/opt/trovamix"};
        wf.SetUserLoopsFolder(c.UserFolder);
        EXPECT_EQ(wf.OpenDialogName, "/opt/trovamix/Loops/");
        wf.New();
        EXPECT_EQ(wf.SaveDialogName, c.SaveStart);
        EXPECT_EQ(wf.LoopFileName(), "/opt/trovamix/Loops/untitled.txp") << "the loop keeps its own name";
        wf.OpenCommandLineFiles({"/loops/a.txp"});
        EXPECT_EQ(wf.SaveDialogName, "/loops/a.txp") << "a loop elsewhere saves beside itself";
    }
}
