// The main window's Edit and Channels commands and the channel pop-up: thin
// wiring from menus to the document operations of model/Editing.h, which
// take the engine lock themselves, followed by what the window must redraw.
#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

#include "desktop/CollectSamples.h"
#include "dialogs/HumanizeForm.h"
#include "dialogs/PlayListForm.h"
#include "engine/Engine.h"
#include "model/Loop.h"
#include "window/MainForm.h"
#include "window/MenuItems.h"

namespace tx {

namespace {

// The commands that act on the selected channels and so have nothing to do
// while none is selected.
constexpr TCommand SelectionCommands[] = {TCommand::Cut,        TCommand::Copy,   TCommand::ShiftLeft,
                                          TCommand::ShiftRight, TCommand::Random, TCommand::Humanize,
                                          TCommand::ZipSelected};

bool ActsOnSelection(TCommand command) {
    return std::find(std::begin(SelectionCommands), std::end(SelectionCommands), command) !=
           std::end(SelectionCommands);
}

}  // namespace

void TTrovamixMainForm::CreateChannelMenu() {
    lineMenu_ = new QMenu(this);
    lineMenu_->setObjectName("LineMenu");
    for (const TMenuItemDef& item : ChannelMenu()) {
        QAction* action = AddMenuItem(lineMenu_, item);
        const TCommand command = item.Command;
        connect(action, &QAction::triggered, this, [this, command] { RunChannelCommand(lineChannel_, command); });
        lineActions_.emplace_back(command, action);
    }
}

QAction* TTrovamixMainForm::ChannelAction(TCommand command) const { return FindAction(lineActions_, command); }

void TTrovamixMainForm::OpenChannelMenu(int channel, const QPoint& globalPos) {
    lineChannel_ = channel;
    UpdateEditCommands();
    // Not exec(): the chosen command may delete the row whose button opened
    // the menu, so it must run after that button's press has been handled.
    lineMenu_->popup(globalPos);
}

void TTrovamixMainForm::OpenChannelMenuFromKeyboard() {
    // The menu key opens the first selected channel's pop-up, so no mouse is needed.
    const int ch = FirstSelectedChannel(loop_);
    if (ch >= RowCount() || loop_.Channel(ch).Minimized) return;
    const TMyTransButton* name = rows_[size_t(ch)]->SetButton;
    OpenChannelMenu(ch, name->mapToGlobal(QPoint(name->width(), 0)));
}

void TTrovamixMainForm::RunChannelCommand(int channel, TCommand command) {
    if (channel < 0 || channel >= loop_.ChannelCount()) return;
    // A zipped channel cannot be selected, so a command would act on others.
    if (command != TCommand::InsertChannel && loop_.Channel(channel).Minimized) return;
    lineChannel_ = channel;
    if (command != TCommand::InsertChannel) SelectAlone(channel);
    RunCommand(command);
}

bool TTrovamixMainForm::RunEditCommand(TCommand command) {
    if (ActsOnSelection(command) && loop_.SelectedChannel() < 0) return true;  // nothing to act on
    switch (command) {
        case TCommand::Undo:
        case TCommand::Redo:
            UndoRedo(command == TCommand::Undo);
            break;
        case TCommand::Cut:
        case TCommand::Copy:
            CopyRows(loop_, clipboard_, command == TCommand::Cut);
            RepaintSteps();
            UpdateEditCommands();  // Paste has something to paste now
            break;
        case TCommand::Paste:
            if (PasteRows(loop_, clipboard_)) RepaintSteps();
            break;
        case TCommand::SelectAll:
            tx::SelectAll(loop_);
            UpdateRowStates();
            break;
        case TCommand::ShiftLeft:
        case TCommand::ShiftRight:
            ShiftRows(loop_, command == TCommand::ShiftLeft ? -1 : 1);
            RepaintSteps();
            break;
        case TCommand::Random:
            RandomRows(loop_, rng_);
            RepaintSteps();
            break;
        case TCommand::Humanize:
            if (!humanizeForm_) humanizeForm_ = new THumanizeForm(this);
            // Asked before the edit, so nothing is locked while the dialog waits.
            if (humanizeForm_->exec() != QDialog::Accepted) break;
            HumanizeRows(loop_, humanizeForm_->Values(), rng_);
            RepaintSteps();
            break;
        case TCommand::InsertPatternInPlaylist: {
            // The window's real visibility decides, not the menu's check.
            loop_.InsertCurrentPatternInPlayList(playList_->isVisible());
            playList_->Grid()->SetCurrentCell(playList_->Grid()->CurrentCol(), loop_.PlaylistRow);
            break;
        }
        case TCommand::AddChannel: {
            loop_.AddChannel();
            ChannelsChanged();
            QScrollBar* bar = gridsBox_->verticalScrollBar();
            bar->setValue(bar->maximum());  // the new row comes into view
            break;
        }
        case TCommand::InsertChannel:
            if (lineChannel_ < 0 || lineChannel_ >= loop_.ChannelCount()) break;
            loop_.InsertChannel(lineChannel_);  // above the pop-up's channel
            ChannelsChanged();
            break;
        case TCommand::DeleteSelected:
        case TCommand::DeleteChannel:
            DeleteSelected();
            break;
        case TCommand::ZipSelected:
            ZipSelectedChannels(loop_);
            LayoutChannelRows();
            FitHeight();
            break;
        default:
            return false;
    }
    return true;
}

void TTrovamixMainForm::UndoRedo(bool undo) {
    const std::string title = loop_.Title;
    const std::string name = undo ? undo_->Undo() : undo_->Redo();
    if (name.empty()) return;
    // The values go back to the engine through its own calls (the clock and
    // the master filter follow them there), then every display is redrawn.
    if (engine_) {
        engine_->SetTempo(loop_.Tempo);
        engine_->ChoosePattern(loop_.CurrentPattern);
        engine_->SetMainCutOff(loop_.MainCutOff);
        engine_->SetMainResonance(loop_.MainResonance);
    }
    const int rows = RowCount();
    transport_->ShowLoop();
    ChannelsChanged();
    if (RowCount() != rows) FitHeight();  // channels came back or went: the window follows as for a zip
    RepaintSteps();
    if (loop_.Title != title) ShowSongCaption(loop_.Title);  // a title put back shows at once
    ShowHintText(QString::fromStdString((undo ? "|Undone: " : "|Redone: ") + name));
}

void TTrovamixMainForm::UpdateUndoCommands() {
    if (undoUpdateQueued_) return;
    undoUpdateQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            undoUpdateQueued_ = false;
            if (QAction* a = Action(TCommand::Undo)) a->setEnabled(undo_->CanUndo());
            if (QAction* a = Action(TCommand::Redo)) a->setEnabled(undo_->CanRedo());
        },
        Qt::QueuedConnection);
}

void TTrovamixMainForm::DeleteSelected() {
    if (loop_.SelectedChannel() < 0 || !loop_.CanDeleteChannel()) return;
    QMessageBox confirm(QMessageBox::Warning, "Trovamix", "The selected channels are about to be deleted...",
                        QMessageBox::Ok | QMessageBox::Cancel, this);
    confirm.setObjectName("DeleteChannelsBox");
    // Answered before anything is locked: each delete takes the engine lock itself.
    if (confirm.exec() != QMessageBox::Ok) return;
    if (DeleteSelectedChannels(loop_) > 0) ChannelsChanged();
}

void TTrovamixMainForm::UpdateEditCommands() {
    auto enable = [](QAction* a, bool on) {
        if (a) a->setEnabled(on);
    };
    const bool selection = loop_.SelectedChannel() >= 0;
    for (TCommand c : SelectionCommands) enable(Action(c), selection);
    enable(Action(TCommand::DeleteSelected), selection && loop_.CanDeleteChannel());
    enable(Action(TCommand::Paste), clipboard_.Filled());
    // The pop-up's items act on its own channel, which they select first.
    enable(ChannelAction(TCommand::Paste), clipboard_.Filled());
    enable(ChannelAction(TCommand::DeleteChannel), loop_.CanDeleteChannel());
    enable(Action(TCommand::CollectSamples), AnyChannelNamesSample(loop_));
}

}  // namespace tx
