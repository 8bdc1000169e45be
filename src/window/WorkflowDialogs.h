#pragma once

#include <optional>
#include <string>

#include "desktop/LoopWorkflow.h"

class QWidget;

namespace tx {

class TTrovamixMainForm;

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
