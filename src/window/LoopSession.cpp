#include "window/LoopSession.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "engine/Engine.h"
#include "engine/LoadLoop.h"
#include "loopfile/LoopFile.h"
#include "model/Loop.h"
#include "window/MainForm.h"

namespace tx {

namespace {
const char* const LoopFilter = "Trovamix file (*.txp)";
QString Text(const std::string& s) { return QString::fromStdString(s).replace('\r', '\n'); }
}  // namespace

TWorkflowDocument::TLoadResult TLoopDocument::Load(const std::string& path) {
    TLoadResult result;
    TLoopReadResult read;
    if (engine_) {
        // The core's loading call reads into a new document and swaps it in
        // only when reading worked, so a bad file leaves the open loop alone.
        if (engine_->Playing) engine_->Stop(true);
        TLoadLoopOptions options;
        options.Locate = TLocateContext{programFolder_, path, {}};
        read = LoadLoopInto(path, loop_, *engine_, options);
    } else {
        // No engine (tests of the window alone): the same guarantee by a trial read.
        TLoop scratch;
        read = ReadLoop(path, scratch);
        if (read.Ok()) read = ReadLoop(path, loop_);
    }
    result.Ok = read.Ok();
    result.EndedEarly = read.EndedEarly;
    result.Detail = read.Reason;
    return result;
}

void TLoopDocument::ResetToNew() {
    if (engine_) {
        TLockGuard g(&engine_->EL);
        loop_.ResetToNew();
    } else {
        loop_.ResetToNew();
    }
}

std::string TLoopDocument::FileName() const { return loop_.LoopFileName; }
void TLoopDocument::SetFileName(const std::string& path) { loop_.LoopFileName = path; }
std::string TLoopDocument::Save(const std::string& path) { return WriteLoop(path, loop_); }
bool TLoopDocument::Modified() const { return loop_.Modified; }
void TLoopDocument::SetModified(bool on) { loop_.Modified = on; }
std::string TLoopDocument::Title() const { return loop_.Title; }
int TLoopDocument::SongLength() const { return loop_.SongLength; }
bool TLoopDocument::FileExists(const std::string& path) const {
    return QFileInfo::exists(QString::fromStdString(path));
}

TAnswer TDialogPrompts::AskYesNoCancel(const std::string& text) {
    const auto b = QMessageBox::question(parent_, "Trovamix", Text(text),
                                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    return b == QMessageBox::Yes ? TAnswer::Yes : b == QMessageBox::No ? TAnswer::No : TAnswer::Cancel;
}

bool TDialogPrompts::AskYesNo(const std::string& text) {
    return QMessageBox::question(parent_, "Trovamix", Text(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

std::optional<std::string> TDialogPrompts::AskOpenName(const std::string& current) {
    const QString name = QFileDialog::getOpenFileName(parent_, "Open loop", Text(current), LoopFilter);
    if (name.isEmpty()) return std::nullopt;
    return name.toStdString();
}

std::optional<std::string> TDialogPrompts::AskSaveName(const std::string& current) {
    // The per-user loops folder is made on first use, so the dialog opens in it.
    if (!current.empty()) QDir().mkpath(QFileInfo(Text(current)).absolutePath());
    QFileDialog dialog(parent_, "Save loop as", Text(current), LoopFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("txp");
    if (!current.empty()) dialog.selectFile(Text(current));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

void TDialogPrompts::ShowError(const std::string& text) { QMessageBox::critical(parent_, "Trovamix", Text(text)); }
void TDialogPrompts::ShowWarning(const std::string& text) { QMessageBox::warning(parent_, "Trovamix", Text(text)); }

void TFormView::CaptionChanged(const std::string& caption) { form_.SetCaption(QString::fromStdString(caption)); }
void TFormView::ShowHint(const std::string& text) { form_.ShowHintText(QString::fromStdString(text)); }
void TFormView::RecentFilesChanged() { form_.RebuildRecentMenu(); }
void TFormView::LoopReplaced() { form_.LoopReplaced(); }
void TFormView::StartRender() { form_.RunCommand(TCommand::RenderWav); }

}  // namespace tx
