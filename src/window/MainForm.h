#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "controls/Controls.h"
#include "desktop/DesktopSettings.h"
#include "desktop/MainKeys.h"
#include "desktop/MainMenu.h"
#include "desktop/RowLayout.h"
#include "desktop/Tools.h"
#include "engine/StepTimeline.h"
#include "model/Editing.h"
#include "model/Undo.h"
#include "window/ChannelRow.h"
#include "window/InfoDialogs.h"
#include "window/PanelDocking.h"
#include "window/StepKnob.h"
#include "window/StyleApplier.h"
#include "window/Techno16.h"
#include "window/TransportPanel.h"
#include "window/VisualForm.h"

class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QScrollArea;
class QTimer;
namespace tx {
class TAddToolForm;
class TChannelForm;
class THelpWindow;
class TSampleInstall;
class TInfoForm;
class TSetInfoForm;
class THumanizeForm;
class TPlayListForm;
class TPianoForm;
}  // namespace tx

namespace tx {

class TLoop;
class TEngine;
class TLoopWorkflow;
class TStreaming;
class TMidiOutput;

// The main window: caption bar, the three dockable panels (menu bar,
// transport, hint panel) and one row per channel. Owns no engine state: it
// drives the engine through its calls, which take the engine lock themselves.
// Its parts live in files of their own: the transport panel (TransportPanel),
// the channel rows and height rules (MainFormRows.cpp), the panel docking
// (PanelDocking) and window dragging (MainFormMouse.cpp), the keys
// (KeyTranslation, MainFormKeys.cpp) and the Edit commands (MainFormEdit.cpp).
// Window thread only.
class TTrovamixMainForm : public QMainWindow {
    Q_OBJECT
public:
    // `engine` may be null (no playback; the transport then only edits the loop).
    TTrovamixMainForm(TLoop& loop, TEngine* engine, QWidget* parent = nullptr);
    ~TTrovamixMainForm() override;

    void ApplyStyle(const TStyleData& style);
    // Rebuilds the rows after channels were added, deleted, minimized or restored.
    void ChannelsChanged();
    void LayoutChannelRows();
    void SetHeight(int h);
    int MaxHeight() const;
    int MinHeight() const;
    void FitHeight();

    void SetWheelMode(int mode);
    int WheelMode() const { return wheelMode_; }
    void ShowHintText(const QString& text);
    // The program's one help window, at the topic's anchor.
    void ShowHelp(const QString& topic);
    void SetHideLeds(bool on);
    void SetLedsOverKnobs(bool on);
    void SetBothButtons(bool on) { bothButtons_ = on; }
    void SetEasyMove(bool on) { easyMove_ = on; }
    void SetAutoMaximize(bool on) { autoMaximize_ = on; }
    void SetCaption(const QString& text);

    // Transport, as the buttons and keys drive it.
    void StartStop(bool start, bool resetSongPosition);
    void SetSongMode(bool on);
    void ChoosePattern(int pattern);
    void SetTempo(int bpm);
    // A followed clock started or stopped, or measured a tempo: the engine
    // has it already, only the Start button and the tempo display follow.
    void SyncPlayingChanged(bool started);
    void ShowSyncTempo(int bpm);
    // The channel row buttons.
    void MuteClick(int channel);
    void Solo(int channel);
    void SelectAlone(int channel);

    // One scope tick: lights, meter and scope from what the mixer published.
    void ScopeTick();
    // The scope-tick delay now: longer while stopped and silent.
    int ScopeInterval() const;
    void RunCommand(TCommand command);
    // An item of the channel pop-up, acting on `channel`: every item but
    // Insert Channel first selects that channel alone.
    void RunChannelCommand(int channel, TCommand command);
    QMenu* ChannelPopup() const { return lineMenu_; }
    QAction* ChannelAction(TCommand command) const;
    // The window's part of the settings load and save: position, flags, scope,
    // "&Hide position leds", sample mode and the dockable panels.
    void ApplySettings(const TDesktopSettings& settings);
    void StoreSettings(TDesktopSettings& settings) const;
    // Puts the window back on a screen when stored settings placed it off every one.
    void KeepOnScreen();

    // After a loop was read or reset: rows and transport show the new loop.
    void LoopReplaced();
    // The File menu's loop commands and the close question go to `workflow` (may be null).
    // The sound output whose audible position the leds follow (null: none streams).
    void SetStreaming(TStreaming* streaming) { streaming_ = streaming; }
    void SetWorkflow(TLoopWorkflow* workflow) {
        workflow_ = workflow;
        RebuildRecentMenu();
    }
    // The MIDI output "Panic!" silences (may be null).
    void SetMidiOutput(TMidiOutput* out);
    // Loads and previews samples for the channel settings window and Ctrl + a name button.
    void SetSampleInstall(TSampleInstall* install);
    // The channel settings window: a plain click on a name button shows or hides it.
    TChannelForm* ChannelForm() const { return channelForm_; }
    void ChannelButtonClick(int channel);
    void PreviewChannel(int channel);
    // The File menu ends with the recent files, Alt+1..Alt+5.
    void RebuildRecentMenu();
    // The program's shutdown, run by the close; false keeps the window open.
    // Unset: only the save question and a stop.
    std::function<bool()> CloseQuery;

    // Files dropped from the desktop at `pos` (window coordinates): on the
    // channel area samples go into channels and a first loop file opens;
    // anywhere else only a first loop file counts.
    void DropFiles(const std::vector<std::string>& paths, const QPoint& pos);
    // "&Collect Samples...": the folder question, the copy and its report.
    void CollectSamples();
    // A user load of a sample into a channel (the program's sample installer).
    std::function<void(int channel, const std::string& file)> LoadChannelSample;
    // Where samples are looked for when they are collected.
    std::string ProgramFolder;
    // The folder question of Collect Samples (empty: cancelled) and the
    // information boxes; unset: a folder dialog and a message box.
    std::function<std::string(const QString& text, const QString& startFolder)> AskCollectFolder;
    std::function<void(const QString& text)> ShowInformation;

    // The tool slots ("TX TOOL 0".."4"): the Tools menu's entries after its separator.
    TToolSlots Tools;
    void RebuildToolsMenu();
    // Runs a slot's program; the companion's entry closes a running companion instead.
    void LaunchTool(int slot);
    void LaunchStartupTools();  // every slot with "Launch at startup"
    // "&Configure": the tools window, then the menu rebuilt. Unset: run modally.
    std::function<void(TAddToolForm& window)> RunToolsWindow;
    // The companion editor, when one is linked: running, and asked to close.
    std::function<bool()> CompanionRunning;
    std::function<void()> CloseCompanion;
    // Tells the companion where to dock: the main window's top-left corner.
    std::function<void(int x, int y)> SendCompanionDock;
    // The companion said hello: the hint, and docking when a slot links it.
    void CompanionOpened();
    // Docks a running companion at the window's left edge when a slot links it.
    void DockCompanion();
    // A sample file from the companion: into the first selected channel.
    void CompanionFileReceived(const QString& path);
    // "Loop &info..." (F9): the song information edited modally, one undo
    // step when anything changed; the caption follows the title as it is typed.
    void ShowLoopInfo();
    // Runs the "Loop info" window; unset: modally.
    std::function<void(TSetInfoForm& window)> RunLoopInfoWindow;
    // The song information window of a loop opened with "Show it on open".
    void ShowSongInfo();
    TInfoForm* InfoForm() const { return infoForm_; }
    // The caption for `title`: the title, or the loop's file name while it is empty.
    void ShowSongCaption(const std::string& title);
    // Ctrl+G: the settings window's plug-in box is toggled (unset: nothing).
    std::function<void()> TogglePlugin;

    TChannelRow* Row(int channel) const { return channel < int(rows_.size()) ? rows_[size_t(channel)] : nullptr; }
    int RowCount() const { return int(rows_.size()); }
    QAction* Action(TCommand command) const;
    TNewMenu* MenuBar() const { return menuBar_; }
    const TRowLayout& Layout() const { return layout_; }
    TStepKnob* StepKnob() const { return stepKnob_; }
    bool LineCursorShown() const { return lineCursor_; }
    TVisualForm* VisualForm() const { return visualForm_; }
    // The keyboard editor: `mode` a TPianoForm mode, or -1 to close it; the
    // edit buttons follow.
    TPianoForm* PianoForm() const { return pianoForm_; }
    void SetKeyboardEditor(int mode);
    bool KeyboardEditorVisible() const;
    THelpWindow* HelpWindow() const;
    void SetHelpFile(const QString& file) { helpFile_ = file; }  // empty: the one beside the program
    int IconClicks() const { return iconClicks_; }

    // The playlist window: "&Loop playlist" and a right press on LoopButton
    // show and hide it; its check follows the window's real visibility.
    TPlayListForm* PlayListForm() const { return playList_; }
    void SetPlaylistVisible(bool on);
    // "&Auto arrange" lives in the settings window; the owner tells how to read it.
    void SetAutoArrangeQuery(std::function<bool()> query) { autoArrange_ = std::move(query); }

signals:
    void CommandRun(tx::TCommand command);  // every menu command, after the window's own part
    void LoopShown();                       // a new or opened loop is on show: its channels' MIDI set-up is due

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateCaption();
    void CreatePanels();
    void ConnectTransport();
    void CreateChannelArea();
    void CreateMenus();
    void CreateChannelMenu();
    void OpenChannelMenu(int channel, const QPoint& globalPos);
    void OpenChannelMenuFromKeyboard();
    // The Edit and Channels commands; false when `command` is none of them.
    bool RunEditCommand(TCommand command);
    // Enables each edit command exactly when it has something to act on.
    void UpdateEditCommands();
    // Undo and Redo enabled when there is a step to undo or redo; queued,
    // as the history reports in the middle of a change.
    void UpdateUndoCommands();
    void UndoRedo(bool undo);
    void DeleteSelected();
    void ConnectHints(QWidget* root);
    TChannelRow* CreateRow(int channel);
    void AssignRowStrips(TChannelRow* row, int channel);
    void UpdateRowStates();
    void RepaintSteps();
    bool HandleKey(QObject* target, QKeyEvent* event, bool press);
    void RunKeyCommand(const TKeyCommand& c);
    void IconClicked();
    void Panic();
    void Inform(const QString& text);
    void ConfigureTools();
    TWindowMetrics Metrics() const;
    bool CurrentPatternPlaying() const;
    void CreatePlaylist();
    void CreateChannelForm();
    // The window's channel reset to 0 when it no longer exists, its lists rebuilt.
    void ChannelFormFollowsRows();
    void ApplyChannelFormSettings(const TDesktopSettings& settings);
    void StoreChannelFormSettings(TDesktopSettings& settings) const;
    void PlaylistShowsLoop();  // the whole grid after a loop was read or reset
    void CreatePianoForm();
    void ApplyPianoStyle(const TAppliedStyle& applied);
    int KeyboardEditorChannel() const;  // the first selected, else the first shown

    TLoop& loop_;
    TEngine* engine_;
    TStyleImages images_;
    TStyleApplier applier_;
    std::array<QPoint, 5> chanBtns_{};
    int wheelMode_ = 0;
    bool hideLeds_ = false, ledsOverKnobs_ = false, bothButtons_ = false, easyMove_ = false;
    bool autoMaximize_ = false;
    int iconClicks_ = 0;
    int lastLedStep_ = -2;
    bool patternPlaying_ = false;
    TAudibleState audible_;
    TStreaming* streaming_ = nullptr;
    TMidiOutput* midiOut_ = nullptr;
    QPoint dragStart_;
    enum TDragKind { DragNone, DragMove, DragScroll, DragCaptionHeight, DragHintHeight };
    TDragKind dragKind_ = DragNone;
    TPanelDocking* docking_ = nullptr;
    TRowLayout layout_;
    THeightToggle heightToggle_;

    // Caption bar and panels.
    TWPControl* captionPic_ = nullptr;
    QLabel* captionLabel_ = nullptr;
    QLabel* closeIconZone_ = nullptr;
    TMyTransButton* minBtn_ = nullptr;
    TMyTransButton* closeBtn_ = nullptr;
    QDockWidget* mainMenuToolWindow_ = nullptr;
    QDockWidget* menuToolWindow_ = nullptr;
    QDockWidget* bottomToolWindow_ = nullptr;
    TWPControl* mainMenuPic_ = nullptr;
    TNewMenu* menuBar_ = nullptr;
    TTransportPanel* transport_ = nullptr;
    TWPControl* bottomPic_ = nullptr;
    QLabel* infoLabel_ = nullptr;
    // Channel area.
    QWidget* channelArea_ = nullptr;
    QScrollArea* gridsBox_ = nullptr;
    TWPControl* backWP_ = nullptr;
    TWPControl* leftSideWP_ = nullptr;
    TWPControl* rightSideWP_ = nullptr;
    TWAVWheel* dotVolWheel_ = nullptr;
    TStepKnob* stepKnob_ = nullptr;
    bool lineCursor_ = false;            // the "LINE" cursor: per-step edits take the whole row
    TVisualForm* visualForm_ = nullptr;  // the dots window
    TPianoForm* pianoForm_ = nullptr;    // the keyboard editor
    std::vector<TChannelRow*> rows_;
    std::vector<QMenu*> menus_;
    QAction* recentSeparator_ = nullptr;
    std::vector<QAction*> recentActions_;
    std::vector<std::pair<TCommand, QAction*>> actions_;
    QTimer* scopeTimer_ = nullptr;
    QTimer* clampTimer_ = nullptr;  // brings the caption back once a move has settled
    int quietTicks_ = 0;            // scope ticks with nothing to show
    TLoopWorkflow* workflow_ = nullptr;
    QString lastRenderedWAV_;  // "LastRenderedWAV"
    QPointer<THelpWindow> help_;
    QString helpFile_;
    // Editing.
    TRowClipboard clipboard_;
    std::unique_ptr<TUndoHistory> undo_;
    bool undoUpdateQueued_ = false;
    TEditRandom rng_;
    QMenu* lineMenu_ = nullptr;  // "LineMenu", the channel pop-up
    std::vector<std::pair<TCommand, QAction*>> lineActions_;
    int lineChannel_ = -1;  // the channel whose pop-up was opened last
    THumanizeForm* humanizeForm_ = nullptr;
    TPlayListForm* playList_ = nullptr;
    std::function<bool()> autoArrange_;
    TChannelForm* channelForm_ = nullptr;
    TSampleInstall* sampleInstall_ = nullptr;
    bool ctrlPreview_ = false;  // a Ctrl press on a name button previews, and is no click
    TInfoForm* infoForm_ = nullptr;  // made when a loop first asks for it
};

}  // namespace tx
