#pragma once

#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "controls/ImageStrip.h"
#include "controls/MyTransButton.h"
#include "desktop/PianoRoll.h"
#include "model/StepValueEdit.h"

class QScrollArea;
class QTimer;

namespace tx {

class TLoop;
class TPianoKeybBox;
class TPianoDrawBox;

// What the keyboard editor asks of the main window. All optional.
struct TPianoHost {
    std::function<void(const QString&)> ShowHint;                 // the hint line ("|" + text)
    std::function<bool()> RenderRunning;                          // a render to WAV is running
    std::function<void(int channel, int step, int key)> PlayKey;  // the sample once at a key
    std::function<void(int channel, int step, bool on)> StepSet;  // a step switched: repaint its row
    std::function<void(int channel, int step)> StepValueChanged;  // a value row changed (the row's wheels)
    std::function<QRect(int channel)> RowRect;                    // a channel's step row, screen coordinates
    std::function<bool(QKeyEvent*, bool press)> Key;              // the main window's keys
    std::function<void()> ShowHelp;                               // F1
};

// The keyboard editor "Piano": a borderless stay-on-top window under a
// channel's step row that edits the current pattern of that channel and of
// every selected channel. In the keyboard mode each of the 16 columns picks
// its step's key on a piano roll and switches the step on (left button) or
// off (right); in the draw mode each column is a bar of one value row (pan,
// volume, pitch, mix, resonance, cutoff). Every drag is one undo step.
// Exists as long as the program runs; window thread only.
class TPianoForm : public QWidget {
    Q_OBJECT
public:
    enum TMode { KeyboardMode, DrawMode };

    TPianoForm(TLoop& loop, const TPianoHost& host, QWidget* parent);
    ~TPianoForm() override;

    // "Keyb.bmp" (the octaves) and "Keyb_Keys.bmp" (the key marks).
    void SetStrips(TImageStrip* keyb, TImageStrip* keybNotes);
    // The style's graph colours for pan, volume, pitch and mix (none: the row's own).
    void SetGraphColours(const std::array<std::optional<QColor>, 4>& colours);

    TMode Mode() const { return mode_; }
    void SetMode(TMode mode);
    // The value row of the draw mode: 0 pan, 1 volume, 2 pitch, 3 mix, 4 resonance, 5 cutoff.
    int Row() const { return row_; }
    void SetRow(int row);
    void NextRow() { SetRow((row_ + 1) % 6); }
    int Channel() const { return tag_; }  // `Tag`

    // Opens the editor for `channel`: under its step row (above it near the
    // bottom of the screen), shown without taking the focus.
    void OpenFor(int channel);
    // Puts a shown editor back under its row (the main window moved).
    void Reattach();
    // A step of `channel` changed elsewhere: repaint it when it is shown here.
    void StepChanged(int channel, int step);
    void Refresh();
    // The transpose cursor (Ctrl held): the roll moves whole rows.
    void SetTransposeCursor(bool on);
    bool TransposeCursor() const { return transpose_; }

    QWidget* KeybBox() const;
    QWidget* DrawBox() const;
    QScrollArea* KeybPanel() const { return scroll_; }
    TMyTransButton* RowButton(int row) const { return rowButtons_[size_t(row)]; }
    bool Scrolling() const;

    // What a screen reader (or a test) does to one step: switch it on at its
    // key or off as the right button does; set its value of the selected row.
    // Each is one undo step.
    void ToggleStep(int step);
    void SetStepValue(int step, int value);
    bool StepOn(int step) const;
    int StepKey(int step) const;
    int StepValue(int step) const;

protected:
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    friend class TPianoKeybBox;
    friend class TPianoDrawBox;
    void KeybPress(QMouseEvent* e);
    void KeybMove(QMouseEvent* e);
    void KeybRelease();
    void DrawPress(QMouseEvent* e);
    void DrawMove(QMouseEvent* e);
    void DrawRelease();
    void SetDrawValue(int step, int value, bool line);
    void AutoScroll(int y);
    void ScrollTick();
    void ScrollToKeys();

    TLoop& loop_;
    TPianoHost host_;
    TMode mode_ = KeyboardMode;
    int row_ = 0, tag_ = 0;
    bool transpose_ = false;
    QWidget* panel_ = nullptr;  // "KeybPanel": the boxes and the row buttons
    QScrollArea* scroll_ = nullptr;
    TPianoKeybBox* keybBox_ = nullptr;
    TPianoDrawBox* drawBox_ = nullptr;
    std::array<TMyTransButton*, 6> rowButtons_{};
    QTimer* scrollTimer_ = nullptr;  // `ScrollTimer`
    int scrollDirection_ = 0;
    TPianoEdit keys_;
    TStepValueEdit values_;
    Qt::MouseButton drawButton_ = Qt::NoButton;
    int anchorStep_ = 0, anchorY_ = 0;  // the right button's straight line starts here
};

}  // namespace tx
