#include "desktop/LoopWorkflow.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "model/TextCase.h"

namespace tx {

void AddRecentFile(TRecentFiles& list, const std::string& name) {
    // Only the first four are searched: a name in the fifth place is dropped
    // from there by the shift and comes back at the top.
    int found = -1;
    for (int i = 0; i < 4 && found < 0; ++i)
        if (list[size_t(i)] == name) found = i;
    const int last = found >= 0 ? found : 4;
    for (int i = last; i > 0; --i) list[size_t(i)] = list[size_t(i - 1)];
    list[0] = name;
}

std::string FileNameOnly(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ChangeExtension(const std::string& path, const std::string& ext) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + ext;
    return path.substr(0, dot) + ext;
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

TLoopWorkflow::TLoopWorkflow(TWorkflowDocument& doc, TWorkflowPrompts& prompts, TWorkflowView& view,
                             std::string programFolder)
    : doc_(doc), prompts_(prompts), view_(view), programFolder_(std::move(programFolder)) {
    if (!programFolder_.empty() && programFolder_.back() != '/') programFolder_ += '/';
    // Until a loop is opened the open dialog starts among the program's loops.
    OpenDialogName = LoopsFolder();
}

bool TWorkflowDocument::FolderWritable(const std::string& folder) const { return ::access(folder.c_str(), W_OK) == 0; }

std::string TLoopWorkflow::captionFor(const std::string& path) const {
    const std::string title = doc_.Title();
    return title.empty() ? FileNameOnly(path) : title;
}

bool TLoopWorkflow::renderQuestion() {
    if (!RenderAfterSave) return false;
    if (!prompts_.AskYesNo(RenderQuestion)) return false;
    view_.StartRender();
    return true;
}

TAnswer TLoopWorkflow::SavePrompt() {
    if (!doc_.Modified()) return TAnswer::No;
    const TAnswer a = prompts_.AskYesNoCancel("Save changes to " + FileNameOnly(LoopFileName()) + "?");
    if (a != TAnswer::Yes) return a;
    if (save(false) != TSaveOutcome::Saved) return TAnswer::Cancel;
    // A render started from here runs instead of the command that asked.
    return renderQuestion() ? TAnswer::Cancel : TAnswer::Yes;
}

bool TLoopWorkflow::LoadLoop(const std::string& given) {
    const std::string path = AbsolutePath(given);
    const TWorkflowDocument::TLoadResult r = doc_.Load(path);
    if (!r.Ok) {
        // The open loop was never replaced: name, caption and Modified stay.
        prompts_.ShowError(ReadErrorText);
        return false;
    }
    SetFileName(path);
    if (!Caption.empty()) view_.ShowHint("Loop loaded... (" + std::to_string(doc_.SongLength() + 1) + " patterns)");
    view_.LoopReplaced();
    doc_.SetModified(false);
    if (r.EndedEarly) {
        // What could be read is open, marked changed so nothing suggests it is intact.
        prompts_.ShowWarning("The loop file " + path + " is damaged: " + r.Detail +
                             ".\nWhat could be read before that point is open; save it under a new name to keep "
                             "the original.");
        doc_.SetModified(true);
    }
    return true;
}

void TLoopWorkflow::SetFileName(const std::string& given) {
    const std::string path = AbsolutePath(given);
    doc_.SetFileName(path);
    if (recordRecent_) {
        Caption = captionFor(path);
        view_.CaptionChanged(Caption);
        AddRecentFile(RecentFiles, path);
        view_.RecentFilesChanged();
        OpenDialogName = path;
    }
    SaveDialogName = path;
    const std::string folder = path.substr(0, path.find_last_of('/') + 1);
    if (folder == LoopsFolder() && !userLoopsFolder_.empty() && !doc_.FolderWritable(folder))
        SaveDialogName = userLoopsFolder_ + FileNameOnly(path);
    MidiDialogName = ChangeExtension(path, ".mid");
    WavDialogName = ChangeExtension(path, ".wav");
}

void TLoopWorkflow::New() {
    if (SavePrompt() == TAnswer::Cancel) return;
    Caption.clear();
    view_.CaptionChanged(Caption);
    recordRecent_ = false;
    bool loaded = false;
    if (doc_.FileExists(DefaultLoop())) loaded = LoadLoop(DefaultLoop());
    if (!loaded) {
        doc_.ResetToNew();
        view_.LoopReplaced();
    }
    SetFileName(UntitledLoop());
    recordRecent_ = true;
    doc_.SetModified(false);
}

void TLoopWorkflow::Open() {
    if (SavePrompt() == TAnswer::Cancel) return;
    if (auto name = prompts_.AskOpenName(OpenDialogName)) LoadLoop(*name);
}

TLoopWorkflow::TSaveOutcome TLoopWorkflow::saveTo(const std::string& path) {
    const std::string error = doc_.Save(path);
    if (error.empty()) return TSaveOutcome::Saved;
    // The loop stays modified, so the prompt will ask again.
    prompts_.ShowError("The loop was not saved.\n" + error);
    doc_.SetModified(true);
    return TSaveOutcome::Failed;
}

TLoopWorkflow::TSaveOutcome TLoopWorkflow::save(bool fromMenu) {
    if (UpperCase(FileNameOnly(LoopFileName())) == "UNTITLED.TXP" || LoopFileName().empty()) return saveAs(fromMenu);
    const TSaveOutcome r = saveTo(LoopFileName());
    if (r == TSaveOutcome::Saved && fromMenu) renderQuestion();
    return r;
}

TLoopWorkflow::TSaveOutcome TLoopWorkflow::saveAs(bool fromMenu) {
    const auto name = prompts_.AskSaveName(SaveDialogName);
    if (!name) return TSaveOutcome::Cancelled;
    const TSaveOutcome r = saveTo(*name);
    if (r != TSaveOutcome::Saved) return r;
    SetFileName(*name);
    if (fromMenu) renderQuestion();
    return r;
}

bool TLoopWorkflow::Save() { return save(true) == TSaveOutcome::Saved; }
bool TLoopWorkflow::SaveAs() { return saveAs(true) == TSaveOutcome::Saved; }

void TLoopWorkflow::OpenRecent(int position) {
    if (position < 0 || position >= int(RecentFiles.size()) || RecentFiles[size_t(position)].empty()) return;
    if (SavePrompt() == TAnswer::Cancel) return;
    // Copied: loading reorders the list the name came from.
    const std::string name = RecentFiles[size_t(position)];
    LoadLoop(name);
}

void TLoopWorkflow::OpenCommandLineFiles(const std::vector<std::string>& files) {
    for (const std::string& f : files) LoadLoop(f);
}

bool TLoopWorkflow::DropFiles(const std::vector<std::string>& paths) {
    if (paths.empty()) return false;
    const std::string& first = paths.front();
    const std::string name = FileNameOnly(first);
    if (name.size() < 4 || UpperCase(name.substr(name.size() - 4)) != ".TXP") return false;
    // A drop replaces the loop as Open does, so it asks first.
    if (SavePrompt() != TAnswer::Cancel) LoadLoop(first);
    return true;
}

}  // namespace tx
