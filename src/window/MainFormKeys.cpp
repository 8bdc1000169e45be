// The main window's keys: Alt letters open the menus, the Menu key the
// channel pop-up; the rest go through the key rules of desktop/MainKeys.
#include <QApplication>
#include <QKeyEvent>
#include <algorithm>

#include "controls/BuiltinImages.h"
#include "dialogs/PlayListForm.h"
#include "engine/Engine.h"
#include "model/Loop.h"
#include "window/ChannelForm.h"
#include "window/KeyTranslation.h"
#include "window/MainForm.h"
#include "window/PianoForm.h"

namespace tx {

bool TTrovamixMainForm::HandleKey(QObject* target, QKeyEvent* e, bool press) {
    const int key = e->key();
    if (press && (e->modifiers() & Qt::AltModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) {
        const int menu = MenuForAltLetter(char('A' + (key - Qt::Key_A)));
        if (menu < 0) return false;
        menuBar_->OpenItem(menu);
        return true;
    }
    if (press && key == Qt::Key_Menu) {
        OpenChannelMenuFromKeyboard();
        return true;
    }
    const std::optional<TKeyInput> k = TranslateKey(*e);
    if (!k) return false;
    // A focused slider or knob moves with the arrows; elsewhere they step through the channels.
    if ((k->Key == TKey::Up || k->Key == TKey::Down) &&
        (qobject_cast<TTrackSlider*>(target) || qobject_cast<TWAVWheel*>(target)))
        return false;
    TKeyState s;
    s.ChannelCount = loop_.ChannelCount();
    s.NoteButtonDown = transport_->FXNoteBtn->Down();
    s.DrawButtonDown = transport_->FXDrawBtn->Down();
    s.WheelMode = wheelMode_;
    s.KeyboardEditorVisible = KeyboardEditorVisible();
    s.MainOrEditorActive = isActiveWindow() || QApplication::activeWindow() == nullptr || pianoForm_->isActiveWindow();
    s.ChannelWindowVisible = channelForm_->isVisible();
    s.PlaylistActive = playList_ && playList_->isActiveWindow();
    const auto commands = press ? KeyPressed(*k, s) : KeyReleased(*k, s);
    for (const TKeyCommand& c : commands) RunKeyCommand(c);
    return !commands.empty() || (k->Key == TKey::Digit || k->Key == TKey::Keypad);
}

void TTrovamixMainForm::RunKeyCommand(const TKeyCommand& c) {
    switch (c.Action) {
        case TKeyAction::ToggleMute:
            rows_[size_t(c.Arg)]->FrontMuteButton->SetDown(!rows_[size_t(c.Arg)]->FrontMuteButton->Down());
            MuteClick(c.Arg);
            break;
        case TKeyAction::Solo:
            Solo(c.Arg);
            break;
        case TKeyAction::ToggleStart:
            StartStop(!transport_->StartButton->Down(), false);
            break;
        case TKeyAction::ToggleLoop:
            SetSongMode(!transport_->LoopButton->Down());
            break;
        case TKeyAction::PatternStep:
            transport_->PatUpDown->SetValue(transport_->PatUpDown->Value() + c.Arg, true);
            break;
        case TKeyAction::SelectPattern:
            transport_->PatUpDown->SetValue(c.Arg, true);
            break;
        case TKeyAction::SongPositionStep:
            if (engine_) engine_->JumpToSongPosition(std::max(0, loop_.SongPosition + c.Arg));
            break;
        case TKeyAction::PressNoteButton:
            SetKeyboardEditor(TPianoForm::KeyboardMode);
            break;
        case TKeyAction::PressDrawButton:
            SetKeyboardEditor(TPianoForm::DrawMode);
            break;
        case TKeyAction::NextGraphParameter:
            pianoForm_->NextRow();
            break;
        case TKeyAction::SetWheelMode:
            SetWheelMode(c.Arg);
            break;
        case TKeyAction::SelectNextChannel: {
            std::vector<bool> minimized;
            for (int i = 0; i < loop_.ChannelCount(); ++i) minimized.push_back(loop_.Channel(i).Minimized);
            const int from = std::max(0, loop_.SelectedChannel());
            SelectAlone(AdjacentChannel(from, c.Arg, minimized));
            break;
        }
        case TKeyAction::CloseKeyboardEditor:
            SetKeyboardEditor(-1);
            break;
        case TKeyAction::LineCursor:
            setCursor(ProgramCursor("LINE"));
            lineCursor_ = true;
            pianoForm_->SetTransposeCursor(KeyboardEditorVisible());
            break;
        case TKeyAction::DefaultCursor:
            unsetCursor();
            lineCursor_ = false;
            pianoForm_->SetTransposeCursor(false);
            break;
        case TKeyAction::TogglePlugin:
            if (TogglePlugin) TogglePlugin();
            break;
        case TKeyAction::PassToChannelWindow:
            channelForm_->Page(c.Arg);
            break;
        default:
            break;
    }
}

}  // namespace tx
