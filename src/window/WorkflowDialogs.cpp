#include "window/WorkflowDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "dialogs/MessageText.h"
#include "window/MainForm.h"

namespace tx {

namespace {
const char* const LoopFilter = "Trovamix file (*.txp)";
}  // namespace

TAnswer TDialogPrompts::AskYesNoCancel(const std::string& text) {
    const auto b = QMessageBox::question(parent_, "Trovamix", MessageText(text),
                                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    return b == QMessageBox::Yes ? TAnswer::Yes : b == QMessageBox::No ? TAnswer::No : TAnswer::Cancel;
}

bool TDialogPrompts::AskYesNo(const std::string& text) {
    return QMessageBox::question(parent_, "Trovamix", MessageText(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

std::optional<std::string> TDialogPrompts::AskOpenName(const std::string& current) {
    const QString name = QFileDialog::getOpenFileName(parent_, "Open loop", MessageText(current), LoopFilter);
    if (name.isEmpty()) return std::nullopt;
    return name.toStdString();
}

std::optional<std::string> TDialogPrompts::AskSaveName(const std::string& current) {
    // The per-user loops folder is made on first use, so the dialog opens in it.
    if (!current.empty()) QDir().mkpath(QFileInfo(MessageText(current)).absolutePath());
    QFileDialog dialog(parent_, "Save loop as", MessageText(current), LoopFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("txp");
    if (!current.empty()) dialog.selectFile(MessageText(current));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

void TDialogPrompts::ShowError(const std::string& text) {
    QMessageBox::critical(parent_, "Trovamix", MessageText(text));
}
void TDialogPrompts::ShowWarning(const std::string& text) {
    QMessageBox::warning(parent_, "Trovamix", MessageText(text));
}

void TFormView::CaptionChanged(const std::string& caption) { form_.SetCaption(QString::fromStdString(caption)); }
void TFormView::ShowHint(const std::string& text) { form_.ShowHintText(QString::fromStdString(text)); }
void TFormView::RecentFilesChanged() { form_.RebuildRecentMenu(); }
void TFormView::LoopReplaced() { form_.LoopReplaced(); }
void TFormView::StartRender() { form_.RunCommand(TCommand::RenderWav); }

}  // namespace tx
