#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "controls/Controls.h"
#include "desktop/ChannelSettings.h"
#include "desktop/DesktopSettings.h"
#include "model/WAVSample.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QScrollArea;
class QSlider;
class QSpinBox;
class QTabWidget;
class QTableWidget;

namespace tx {

class TFavOpenDialog;

class TEngine;
class TLoop;
class TMidiOutput;
class TSampleInstall;
class TPitchKeys;

// What the channel settings window asks of the main window; all optional.
struct TChannelFormHost {
    // The channel's row knob and mute button, each with its own handler.
    std::function<void(int ch, int volume)> SetVolume;
    std::function<void(int ch, bool muted)> SetMuted;
    std::function<void(int ch, const std::string& name)> Rename;
    std::function<void(int ch)> ColorChanged;
    // Page Up / Page Down: the SET button of that channel is pressed.
    std::function<void(int ch)> PressSetButton;
    std::function<void()> Hidden;         // the edited channel's SET button goes up
    std::function<void()> ChannelsAdded;  // samples loaded into new channels
    std::function<void(const QString& text)> ShowHint;
    std::function<void(const QString& topic)> ShowHelp;
    std::function<bool()> PreviewInOpenDialog;  // the settings window's "Preview in open dialog"
};

// The channel settings window ("Channel settings"): a stay-on-top tool window
// editing every setting of one channel (its `Tag`), straight into the loop.
// Every change is an undo step of its own (a knob turned without a pause
// joins one step). Window thread only; values the mixer walks are stored
// under the engine lock.
class TChannelForm : public QWidget {
    Q_OBJECT
public:
    TChannelForm(TLoop& loop, QWidget* parent);

    void SetSampleInstall(TSampleInstall* install) { install_ = install; }
    void SetEngine(TEngine* engine) { engine_ = engine; }
    void SetMidiOutput(TMidiOutput* out) { midi_ = out; }
    // The knobs' picture strip (the style's "MiddleWheel.bmp").
    void SetKnobStrip(TImageStrip* strip);
    TChannelFormHost Host;

    int Tag() const { return tag_; }
    void SetTag(int channel) { tag_ = channel; }
    // Fills every control from the channel (nothing is processed again).
    void Refresh();
    bool Refreshing() const { return refreshing_; }
    // The row changed the channel's volume or mute: the window follows.
    void SyncVolume();
    void SyncMute();
    // The channel list of the MIX sheet, after channels came or went or were renamed.
    void RebuildChannelLists();
    // Moves to the channel `delta` places away (wrapping) through its SET button.
    void Page(int delta);
    // Plays the channel's sample once (the scope's click, Enter).
    void PreviewSample();
    // Loads files one per channel from Tag on, adding channels as needed.
    void LoadSamples(const QStringList& files);
    void RepaintScope();

    // "Settings sheet": 0 with the MIDI sheet in front, else 1.
    int SheetSetting() const;
    void ApplySheetSetting(int value);

    const TSampleHistory& History() const { return history_; }
    int PreviewKey() const { return previewKey_; }

    // Replaceable for tests: the sample files to load (empty: cancelled), the
    // colour question, and what reprocessing a channel does.
    std::function<QStringList(const QString& startFile)> AskSampleFiles;
    // The sample open dialog, with the favourite folders kept in the settings.
    // Made when first needed: a file dialog costs start-up time and memory.
    TFavOpenDialog& SampleOpenDialog();
    void LoadFavorites(const TDesktopSettings& settings);
    void StoreFavorites(TDesktopSettings& settings) const;
    std::function<bool(QColor& colour)> AskColour;
    std::function<void(int ch)> Reprocess;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildTop(QWidget* top);
    QWidget* BuildMidiSheet();
    QWidget* BuildSampleSheet();
    QWidget* BuildPitchSheet();
    QWidget* BuildDelaySheet();
    QWidget* BuildMixSheet();
    TWAVWheel* MakeKnob(QWidget* parent, const char* name, const QString& hint, int min, int max, int start);
    QSpinBox* MakeSpin(const char* name, const QString& accessible, int min, int max, int start);
    bool Ready() const;  // a channel to edit, and not refreshing
    TChannel& Edited();
    void Then(TThen then);
    void SelectGridCell(int key);
    void NoteGridPicked(int row, int column);
    void ShowController();
    void OpenSampleDialog();
    void PlayKey(int key, int velocity);
    void SetMiddleNote(int key);
    void RandomClicked();
    void StartSampleDrag();
    void ChooseColour();
    void ShowColour();

    TLoop& loop_;
    TSampleInstall* install_ = nullptr;
    TEngine* engine_ = nullptr;
    TMidiOutput* midi_ = nullptr;
    TFavOpenDialog* openDialog_ = nullptr;               // a child, kept for its favourites
    std::optional<std::vector<std::string>> favorites_;  // read before the dialog was made
    int tag_ = 0;
    bool refreshing_ = false;
    int previewKey_ = 0;
    TSampleHistory history_;
    TSampleFrames shownFrames_;  // keeps what the scope points at alive
    QPoint scopePress_;
    bool scopePressed_ = false;
    std::vector<TWAVWheel*> knobs_;

public:
    // Controls, named after their components.
    QLineEdit* NameEDit = nullptr;
    QPushButton* ColorSample = nullptr;
    TWAVWheel* VolWheel = nullptr;
    TWAVWheel* PanWheel = nullptr;
    QCheckBox* MuteBox = nullptr;
    QTabWidget* Sheets = nullptr;
    QComboBox* ChanSelect = nullptr;
    QSpinBox* NoteSelect = nullptr;
    QLabel* NoteLabel = nullptr;
    QTableWidget* NoteGrid = nullptr;
    QSpinBox* PatchSelect = nullptr;
    QSpinBox* BankSelect = nullptr;
    QSpinBox* CtrlNumSelect = nullptr;
    QSpinBox* CtrlValSelect = nullptr;
    QPushButton* SpeedButton2 = nullptr;
    QComboBox* FileNameBox = nullptr;
    TWAVScope* WAVScope = nullptr;
    std::vector<TWAVWheel*> SampleWheels;  // in the order of SampleKnobs()
    std::vector<QCheckBox*> SampleBoxesShown;
    QSpinBox* CutSelect = nullptr;
    QSpinBox* CutBySelect = nullptr;
    QPushButton* CutItselfBtn = nullptr;
    QSpinBox* StretchSelect = nullptr;
    QMenu* StretchMenu = nullptr;
    TPitchKeys* MIDIKeyboard = nullptr;
    QScrollArea* KeyboardScrollBox = nullptr;
    QLabel* MiddleNoteLabel = nullptr;
    QCheckBox* PitchableBox = nullptr;
    std::vector<TWAVWheel*> DelayWheels;  // the five delay knobs
    QSlider* DelayDelaySlider = nullptr;
    QSlider* ShiftSlider = nullptr;
    QSpinBox* EchoSelect = nullptr;
    QCheckBox* ShuffleBox = nullptr;
    QListWidget* ChanList_Mix = nullptr;
    QListWidget* ChanList_Rand = nullptr;
    QMenu* VolMenu = nullptr;
    QMenu* PanMenu = nullptr;
};

// The PITCH sheet's keyboard: 128 keys across, the middle note marked. A
// left click plays the key, a right click also makes it the middle note.
class TPitchKeys : public QWidget {
    Q_OBJECT
public:
    static constexpr int NoteWidth = 10;
    static constexpr int KeyLength = 50;
    explicit TPitchKeys(QWidget* parent = nullptr);
    void SetMiddleNote(int key) {
        middle_ = key;
        update();
    }
    int MiddleNote() const { return middle_; }
    int CurrentKey() const { return current_; }
    QSize sizeHint() const override;

signals:
    void NoteOn(int key, int velocity, Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int middle_ = 60;
    int current_ = -1;   // the key shown pressed
    int focusKey_ = 60;  // the key the arrow keys move over
};

// The sample files to open, several at once, through the favourites dialog,
// starting in `startFile`'s folder; each file highlighted goes to
// `highlighted` once (the preview). Empty when cancelled.
QStringList ChooseSampleFiles(TFavOpenDialog& dialog, const QString& startFile,
                              const std::function<void(const QString&)>& highlighted);

}  // namespace tx
