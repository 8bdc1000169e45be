#pragma once
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tx {

// The File menu's loop commands (New, Open, Save, Save As, recent files,
// command-line and dropped files) and the save prompt, apart from any widget:
// the window supplies the prompts, the document and its reactions, and tests
// script them. Window thread only.

enum class TAnswer { Yes, No, Cancel };

class TWorkflowPrompts {
public:
    virtual ~TWorkflowPrompts() = default;
    virtual TAnswer AskYesNoCancel(const std::string& text) = 0;
    virtual bool AskYesNo(const std::string& text) = 0;
    // Empty when the user cancels the dialog.
    virtual std::optional<std::string> AskOpenName(const std::string& current) = 0;
    virtual std::optional<std::string> AskSaveName(const std::string& current) = 0;
    virtual void ShowError(const std::string& text) = 0;
    virtual void ShowWarning(const std::string& text) = 0;
};

// The open loop as the workflow needs it: the window wires it to the core's
// loading call, the loop writer and the engine.
class TWorkflowDocument {
public:
    struct TLoadResult {
        bool Ok = false;
        bool EndedEarly = false;  // read, but a malformed event stopped the reader
        std::string Detail;       // where and why it stopped
    };
    virtual ~TWorkflowDocument() = default;
    // Reads into a new document and swaps it in only when reading succeeded.
    virtual TLoadResult Load(const std::string& path) = 0;
    virtual void ResetToNew() = 0;
    // Empty on success (which clears Modified), else the file and the reason.
    virtual std::string Save(const std::string& path) = 0;
    virtual bool Modified() const = 0;
    virtual void SetModified(bool on) = 0;
    virtual std::string Title() const = 0;
    virtual int SongLength() const = 0;
    virtual bool FileExists(const std::string& path) const = 0;
    // The document's own file name, the one the render title, the MIDI export
    // name and the sample search read: the workflow keeps no copy of it.
    virtual std::string FileName() const = 0;
    virtual void SetFileName(const std::string& path) = 0;
    // Whether files can be created in `folder` (an installed program's are not).
    virtual bool FolderWritable(const std::string& folder) const;
};

// What the window does when the workflow changes something it shows.
class TWorkflowView {
public:
    virtual ~TWorkflowView() = default;
    virtual void CaptionChanged(const std::string& caption) = 0;
    virtual void RecentFilesChanged() = 0;
    virtual void ShowHint(const std::string& text) = 0;
    virtual void LoopReplaced() = 0;  // lay out rows, show the loaded values
    virtual void StartRender() = 0;
};

using TRecentFiles = std::array<std::string, 5>;
// Moves `name` to the top: found among the first four entries it moves up,
// otherwise everything moves down and the fifth entry is dropped.
void AddRecentFile(TRecentFiles& list, const std::string& name);

std::string FileNameOnly(const std::string& path);
std::string ChangeExtension(const std::string& path, const std::string& ext);
// `path` made absolute against the current folder, so a name given on the
// command line still names the same file in recent files after a folder change.
std::string AbsolutePath(const std::string& path);

class TLoopWorkflow {
public:
    TLoopWorkflow(TWorkflowDocument& doc, TWorkflowPrompts& prompts, TWorkflowView& view, std::string programFolder);

    static constexpr const char* ReadErrorText =
        "Error while reading the TXP file.\nIt may be corrupted or not existing.";
    static constexpr const char* RenderQuestion =
        "Do you want to render the modified loop to a wave file so it can be used with Sequilo?";

    // Yes, No or Cancel; a failed or cancelled save answers Cancel so the
    // command that asked does not throw the unsaved loop away.
    TAnswer SavePrompt();
    bool LoadLoop(const std::string& path);
    void SetFileName(const std::string& path);
    void New();
    void Open();
    bool Save();    // from the menu
    bool SaveAs();  // from the menu
    void OpenRecent(int position);
    // The loop files of the command line (switches already taken out), in order.
    void OpenCommandLineFiles(const std::vector<std::string>& files);
    // True when the first file was a loop file (and was handled); other files
    // are the window's (samples).
    bool DropFiles(const std::vector<std::string>& paths);
    // The close handler's question: false keeps the program running.
    bool QueryClose() { return SavePrompt() != TAnswer::Cancel; }

    std::string LoopFileName() const { return doc_.FileName(); }
    TRecentFiles RecentFiles;
    bool RenderAfterSave = false;
    std::string Caption;
    // The dialogs' current names.
    std::string OpenDialogName, SaveDialogName, MidiDialogName, WavDialogName;

    std::string DefaultLoop() const { return programFolder_ + "Default/Default.txp"; }
    std::string UntitledLoop() const { return programFolder_ + "Loops/untitled.txp"; }
    std::string LoopsFolder() const { return programFolder_ + "Loops/"; }
    // Where Save As starts instead of the program's "Loops" folder when that
    // cannot be written ("" for nowhere else). With a trailing '/'.
    void SetUserLoopsFolder(std::string folder) { userLoopsFolder_ = std::move(folder); }

private:
    enum class TSaveOutcome { Saved, Cancelled, Failed };
    TSaveOutcome saveTo(const std::string& path);
    TSaveOutcome save(bool fromMenu);
    TSaveOutcome saveAs(bool fromMenu);
    bool renderQuestion();  // true when a render started
    std::string captionFor(const std::string& path) const;

    TWorkflowDocument& doc_;
    TWorkflowPrompts& prompts_;
    TWorkflowView& view_;
    std::string programFolder_;
    std::string userLoopsFolder_;
    bool recordRecent_ = true;
};

}  // namespace tx
