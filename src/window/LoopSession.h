#pragma once

#include <QString>
#include <memory>
#include <string>

#include "desktop/LoopWorkflow.h"

class QWidget;

namespace tx {

class TLoop;
class TEngine;
class TTrovamixMainForm;

// The open loop for the file workflow: reading through the core's loop
// reader, writing through the loop writer. Window thread only.
class TLoopDocument : public TWorkflowDocument {
public:
    // `programFolder` (with its trailing '/') is where samples are looked for after the loop's folder.
    TLoopDocument(TLoop& loop, TEngine* engine, std::string programFolder = {})
        : loop_(loop), engine_(engine), programFolder_(std::move(programFolder)) {}
    TLoadResult Load(const std::string& path) override;
    void ResetToNew() override;
    std::string Save(const std::string& path) override;
    bool Modified() const override;
    void SetModified(bool on) override;
    std::string Title() const override;
    int SongLength() const override;
    bool FileExists(const std::string& path) const override;
    std::string FileName() const override;
    void SetFileName(const std::string& path) override;

private:
    TLoop& loop_;
    TEngine* engine_;
    std::string programFolder_;
};

// The workflow's questions as message boxes and file dialogs, with the
// titles and filters of the loop files.
class TDialogPrompts : public TWorkflowPrompts {
public:
    explicit TDialogPrompts(QWidget* parent) : parent_(parent) {}
    TAnswer AskYesNoCancel(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    std::optional<std::string> AskOpenName(const std::string& current) override;
    std::optional<std::string> AskSaveName(const std::string& current) override;
    void ShowError(const std::string& text) override;
    void ShowWarning(const std::string& text) override;

private:
    QWidget* parent_;
};

// What the workflow changes on the main window.
class TFormView : public TWorkflowView {
public:
    explicit TFormView(TTrovamixMainForm& form) : form_(form) {}
    void CaptionChanged(const std::string& caption) override;
    void RecentFilesChanged() override;
    void ShowHint(const std::string& text) override;
    void LoopReplaced() override;
    void StartRender() override;  // the render window, as "Render WAV..." runs it

private:
    TTrovamixMainForm& form_;
};

}  // namespace tx
