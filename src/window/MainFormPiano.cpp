// The main window's links to the keyboard editor: the two edit buttons and
// their keys open and close it, a selected channel reopens it, a resize or
// scroll closes it, a move re-attaches it, and step changes reach it.
#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

#include "dialogs/WAVRenderForm.h"
#include "engine/Engine.h"
#include "engine/KeyAudition.h"
#include "model/Loop.h"
#include "window/MainForm.h"
#include "window/PianoForm.h"

namespace tx {

void TTrovamixMainForm::CreatePianoForm() {
    TPianoHost host;
    host.ShowHint = [this](const QString& text) { ShowHintText(text); };
    host.RenderRunning = [this] {
        const QList<TWAVRenderForm*> forms = findChildren<TWAVRenderForm*>();
        return std::any_of(forms.begin(), forms.end(), [](const TWAVRenderForm* f) { return f->Rendering(); });
    };
    host.PlayKey = [this](int ch, int step, int key) {
        if (engine_) PlayChannelKey(*engine_, ch, step, key);
    };
    host.StepSet = [this](int ch, int step, bool) {
        if (TChannelRow* r = Row(ch)) r->TechnoGrid->UpdateStep(step);
    };
    host.StepValueChanged = [this](int ch, int step) {
        if (wheelMode_ > 0)
            if (TChannelRow* r = Row(ch)) r->TechnoGrid->UpdateStep(step);
    };
    host.RowRect = [this](int ch) {
        TChannelRow* r = Row(ch);
        if (!r || !r->isVisible()) return QRect();
        const TTechno16* grid = r->TechnoGrid;
        return QRect(grid->mapToGlobal(QPoint(0, grid->ButtonTop)), QSize(grid->width(), PianoRowHeight));
    };
    host.Key = [this](QKeyEvent* e, bool press) { return HandleKey(nullptr, e, press); };
    host.ShowHelp = [this] { ShowHelp(QStringLiteral("keyboard-editor")); };
    pianoForm_ = new TPianoForm(loop_, host, this);
    applier_.AddRoot(pianoForm_);
    ConnectHints(pianoForm_);

    connect(transport_->FXNoteBtn, &TMyTransButton::Clicked, this,
            [this] { SetKeyboardEditor(transport_->FXNoteBtn->Down() ? TPianoForm::KeyboardMode : -1); });
    connect(transport_->FXDrawBtn, &TMyTransButton::Clicked, this,
            [this] { SetKeyboardEditor(transport_->FXDrawBtn->Down() ? TPianoForm::DrawMode : -1); });
    // Scrolling the channel area takes the row away from under the editor.
    connect(gridsBox_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { SetKeyboardEditor(-1); });
}

bool TTrovamixMainForm::KeyboardEditorVisible() const { return pianoForm_ && pianoForm_->isVisible(); }

int TTrovamixMainForm::KeyboardEditorChannel() const {
    const int selected = loop_.SelectedChannel();
    if (selected >= 0) return selected;
    for (int i = 0; i < loop_.ChannelCount(); ++i)
        if (!loop_.Channel(i).Minimized) return i;
    return 0;
}

void TTrovamixMainForm::SetKeyboardEditor(int mode) {
    if (!pianoForm_) return;
    transport_->FXNoteBtn->SetDown(mode == TPianoForm::KeyboardMode);
    transport_->FXDrawBtn->SetDown(mode == TPianoForm::DrawMode);
    if (mode < 0) {
        if (!pianoForm_->isVisible()) return;
        pianoForm_->hide();
        if (wheelMode_ == 0) {
            unsetCursor();
            lineCursor_ = false;
            pianoForm_->SetTransposeCursor(false);
        }
        return;
    }
    pianoForm_->SetMode(TPianoForm::TMode(mode));
    pianoForm_->OpenFor(KeyboardEditorChannel());
}

void TTrovamixMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    SetKeyboardEditor(-1);
}

void TTrovamixMainForm::ApplyPianoStyle(const TAppliedStyle& applied) {
    if (!pianoForm_) return;
    pianoForm_->SetStrips(images_.Strip("Keyb.bmp"), images_.Strip("Keyb_Keys.bmp"));
    pianoForm_->SetGraphColours(applied.GraphColours);
    pianoForm_->Refresh();
}

}  // namespace tx
