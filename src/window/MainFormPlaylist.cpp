// The main window's side of the playlist window: creating it, showing and
// hiding it, and keeping what it marks (pattern, song and loop position) in
// step with the loop.
#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QThread>

#include "dialogs/HelpWindow.h"
#include "dialogs/PlayListForm.h"
#include "engine/Engine.h"
#include "model/Loop.h"
#include "window/MainForm.h"
#include "window/TransportPanel.h"

namespace tx {

void TTrovamixMainForm::CreatePlaylist() {
    TPlaylistGridHost host;
    host.CurrentPattern = [this] { return loop_.CurrentPattern; };
    host.ChoosePattern = [this](int pattern) { transport_->PatUpDown->SetValue(pattern, true); };
    host.SongPosition = [this] { return playList_->Grid()->ShownSongPosition(); };
    host.JumpToSongPosition = [this](int pos) {
        if (engine_) {
            engine_->JumpToSongPosition(pos);
        } else {
            loop_.SetSongPosition(pos);
            playList_->Grid()->ShowSongPosition(loop_.SongPosition);
        }
    };
    host.SetLoopPosition = [this](int pos) {
        loop_.TouchValues();  // undo keeps the old loop position
        loop_.SongLoopPosition = pos;
        loop_.Modified = true;
        playList_->Grid()->ShowLoopPosition(pos);
    };
    host.Contains = [this](int pos, int pattern) { return loop_.PlayList.Contains(pos, pattern); };
    host.SetPatternAt = [this](int pattern, int pos, bool present) { loop_.SetPatternAt(pattern, pos, present); };
    host.ShowHint = [this](const std::string& text) { ShowHintText(QString::fromStdString(text)); };
    host.CellGesture = [this](bool begins) {
        if (begins)
            loop_.BeginGesture("playlist");
        else
            loop_.EndGesture();
    };

    playList_ = new TPlayListForm(loop_.PlayList, std::move(host), this);
    TKaspGrid* grid = playList_->Grid();
    grid->SetBullets(images_.Strip("PLBullet.bmp"));
    grid->SetBothButtons([this] { return bothButtons_; });
    connect(grid, &TKaspGrid::CurrentCellChanged, this, [this](int, int row) { loop_.PlaylistRow = row; });
    grid->SetForwardKey([this](QKeyEvent* e) { return HandleKey(nullptr, e, true); });
    playList_->InsertBar = [this](int pos) { loop_.InsertBar(pos); };
    playList_->DeleteBar = [this](int pos) { loop_.DeleteBar(pos); };
    playList_->VisibilityChanged = [this](bool on) {
        if (QAction* a = Action(TCommand::LoopPlaylist)) a->setChecked(on);
    };
    playList_->HelpRequested = [this] { ShowHelp(QStringLiteral("playlist")); };

    // A cell or a position changed: only its row is painted again. The engine
    // may report from a playback thread (a synchronised start), so the repaint
    // is then posted to this window's thread.
    loop_.Events.PlaylistPositionChanged = [this](int pos) {
        QPointer<TPlayListForm> form(playList_);
        if (QThread::currentThread() == thread()) {
            form->Grid()->RepaintPosition(pos);
            return;
        }
        QMetaObject::invokeMethod(
            this,
            [form, pos] {
                if (form) form->Grid()->RepaintPosition(pos);
            },
            Qt::QueuedConnection);
    };
    PlaylistShowsLoop();
}

void TTrovamixMainForm::PlaylistShowsLoop() {
    if (!playList_) return;
    TKaspGrid* grid = playList_->Grid();
    grid->ShowCurrentPattern(loop_.CurrentPattern);
    grid->ShowLoopPosition(loop_.SongLoopPosition);
    grid->ShowSongPosition(engine_ ? audible_.SongPosition : loop_.SongPosition);
    grid->SetCurrentCell(grid->CurrentCol(), loop_.PlaylistRow);
    grid->viewport()->update();
}

void TTrovamixMainForm::SetPlaylistVisible(bool on) {
    if (!playList_) return;
    if (on && !playList_->isVisible()) {
        if (autoArrange_ && autoArrange_()) {
            QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
            playList_->setGeometry(PlaylistArrangedGeometry(frameGeometry(), playList_->size(),
                                                            screen ? screen->availableGeometry() : QRect()));
        }
        playList_->show();
        playList_->raise();
    } else if (!on) {
        playList_->hide();
    }
    // The check shows what is true, also when the window refused to change.
    if (QAction* a = Action(TCommand::LoopPlaylist)) a->setChecked(playList_->isVisible());
}

}  // namespace tx
