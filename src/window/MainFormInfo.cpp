// The song information of the main window: "Loop &info..." (F9), the
// caption that follows the title, and the information shown after a loop
// that asks for it was opened.
#include "desktop/LoopWorkflow.h"
#include "desktop/SongInfo.h"
#include "dialogs/SongInfoForms.h"
#include "model/Loop.h"
#include "model/SongInfo.h"
#include "window/MainForm.h"

namespace tx {

void TTrovamixMainForm::ShowSongCaption(const std::string& title) {
    const std::string caption = SongCaption(title, loop_.LoopFileName);
    if (workflow_) workflow_->Caption = caption;  // the workflow's "Loop loaded" hint reads it
    SetCaption(QString::fromStdString(caption));
}

void TTrovamixMainForm::ShowLoopInfo() {
    TSetInfoForm window(this);
    window.Load(SongInfoOf(loop_));
    bool typed = false;
    window.TitleEdited = [this, &typed](const QString& title) {
        typed = true;
        ShowSongCaption(title.toStdString());
    };
    window.HelpRequested = [this](const QString& topic) { ShowHelp(topic); };
    if (RunLoopInfoWindow)
        RunLoopInfoWindow(window);
    else
        window.exec();
    SetSongInfo(loop_, window.Result());
    // Untouched, the caption stays as it was (a new loop's is empty).
    if (typed) ShowSongCaption(loop_.Title);
}

void TTrovamixMainForm::ShowSongInfo() {
    if (!infoForm_) {
        infoForm_ = new TInfoForm(this);
        infoForm_->HelpRequested = [this](const QString& topic) { ShowHelp(topic); };
    }
    infoForm_->ShowInfo(SongInfoOf(loop_));
}

}  // namespace tx
