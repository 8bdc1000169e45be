#pragma once
#include <QColor>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/CommandLine.h"
#include "desktop/DesktopSettings.h"
#include "desktop/Lifecycle.h"
#include "engine/DspPlugin.h"
#include "engine/Engine.h"
#include "engine/Streaming.h"
#include "engine/Transport.h"
#include "midi/MidiPort.h"
#include "model/Loop.h"
#include "model/Settings.h"
#include "model/WAVSample.h"
#include "skin/StyleList.h"

class QDialog;
class QTimer;

namespace tx {

class TCoreSettingsActions;
class TFormView;
class TInstanceLink;
class TLoopDocument;
class TMIDIForm;
class TMidiInput;
class TMidiOutput;
class TMidiSync;
class TSampleInstall;
class TTrovamixMainForm;

// The sound and MIDI systems the program runs on: the real ones, or null
// ones for tests and machines without devices.
struct TAppSystems {
    TAudioSystem* Audio = nullptr;  // not owned; must outlive the program
    std::unique_ptr<TMidiOutPort> MidiOut;
    std::unique_ptr<TMidiInPort> MidiIn;
    // A JACK transport to follow while the sound output is JACK (unset: none).
    std::function<std::unique_ptr<TTransportPort>()> JackTransport = nullptr;
};

struct TAppOptions {
    std::vector<std::string> Args;  // without the program name
    std::string ProgramFolder;      // with a trailing '/'
    std::string SettingsPath;
    std::string UserStylesFolder;  // "" adds no per-user styles
    std::string UserLoopsFolder;   // where Save As starts when the program's "Loops" is read-only
    bool InstanceCheck = true;     // the per-user socket of a running instance
    std::string InstanceSocket;    // that socket's path; "" for the user's default
    // The loop workflow's questions; null: message boxes and file dialogs.
    TWorkflowPrompts* Prompts = nullptr;
    // Error boxes; null: a message box.
    std::function<void(const std::string& text)> ShowError;
    // Shows the settings window modally; null: QDialog::exec.
    std::function<void(QDialog& window)> ShowModal;
};

// The desktop program from its start to its end: builds every object in the
// order the parts of the program rely on, loads the settings into the
// controls that keep them, opens the devices, and on the main window's close
// runs the shutdown and writes the settings back from those controls.
// Window thread only.
class TTrovamixApp : public QObject, private TShutdownHost {
    Q_OBJECT
public:
    TTrovamixApp(TAppSystems systems, TAppOptions options);
    ~TTrovamixApp() override;

    static inline const QColor HintColour{204, 187, 187};

    // Everything before the event loop; shows the main window. False when
    // the loop files of the command line went to the instance already
    // running, which opens them: this one then ends without a window.
    bool Start();
    // The main window's first activation: the splash goes, the loop files of
    // the command line open in order. Later calls do nothing.
    void FirstActivation();
    // The "Close DS" hooks.
    void ApplicationStateChanged(Qt::ApplicationState state);
    // A style chosen in the settings window: loaded at once.
    void ChooseStyle(int index);

    TTrovamixMainForm& MainForm() { return *form_; }
    TMIDIForm& SettingsWindow() { return *settingsWindow_; }
    TLoop& Loop() { return loop_; }
    TEngine& Engine() { return engine_; }
    TEngineLock& Lock() { return lock_; }
    TStreaming& Streaming() { return streaming_; }
    bool FollowingTransport() const { return transport_ && transport_->Following(); }
    TLoopWorkflow& Workflow() { return *workflow_; }
    TMidiOutput& MidiOut() { return *midiOut_; }
    TMidiInput& MidiIn() { return *midiIn_; }
    const TLifecycle& Lifecycle() const { return lifecycle_; }
    const TCommandLine& CommandLine() const { return commandLine_; }
    const std::vector<TStyleEntry>& Styles() const { return styles_; }
    int StyleIndex() const { return styleIndex_; }
    const TWAVSample& StartSound() const { return startSound_; }
    bool StartSoundPlayed() const { return startSoundPlayed_; }
    bool SettingsSaved() const { return settingsSaved_; }

signals:
    // The shutdown has run and the main window closes: the event loop may end.
    void closed();

private:
    void LoadSettings();
    void MainWindowSetUp();
    void MidiDeviceSetUp();
    void LoadStyle(int index);
    void PlayStartSound();
    void ApplySyncToInput(bool on);
    // Follows the JACK transport exactly while the sound output is an open JACK device.
    void FollowJackTransport();
    void ConnectSettingsWindow();
    void Error(const std::string& text);
    bool CloseRequested();
    bool HandOverOrAsk();
    void ConnectLink();
    void OpenHandedOver(const std::string& path);

    // TShutdownHost
    bool AutoCloseChecked() const override;
    bool DeviceOpen() const override { return streaming_.DeviceOpen(); }
    bool RenderRunning() const override;
    TLockable& EngineLock() override { return lock_; }
    void RequestMixStop() override {}
    void JoinMixThread() override {}
    void ReleaseDevice() override;
    bool ReopenDevice() override;
    void StartMixThread() override;
    TAnswer SaveQuery() override;
    void ClearSync() override;
    void StopPlayback() override;
    void CloseMidiDevices() override;
    void StopScope() override;
    void SaveSettings() override;
    void UnloadPlugin() override;
    void CloseCompanion() override;

    TAppOptions options_;
    TCommandLine commandLine_;
    TAudioSystem& audioSystem_;
    TSettingsStore storedSettings_;
    TDesktopSettings desktopSettings_;
    std::unique_ptr<TInstanceLink> link_;

    // The start sound outlives the engine whose voice may still point at it.
    TWAVSample startSound_;
    TLoop loop_;
    TEngineLock lock_;
    TSettings settings_;
    TEngine engine_;
    TDspPlugin plugin_;
    TEngineBlockSource blockSource_;
    TStreaming streaming_;
    // Held by pointer: the MIDI step code cannot be compiled after Qt's keywords.
    std::unique_ptr<TMidiOutput> midiOut_;
    std::unique_ptr<TMidiInput> midiIn_;
    std::unique_ptr<TMidiSync> sync_;
    std::function<std::unique_ptr<TTransportPort>()> makeJackTransport_;
    std::unique_ptr<TTransportFollower> transport_;

    std::unique_ptr<TTrovamixMainForm> form_;
    std::unique_ptr<TSampleInstall> sampleInstall_;  // samples dropped on the channels
    std::unique_ptr<TWorkflowPrompts> ownPrompts_;
    std::unique_ptr<TLoopDocument> document_;
    std::unique_ptr<TFormView> view_;
    std::unique_ptr<TLoopWorkflow> workflow_;
    std::unique_ptr<TCoreSettingsActions> actions_;
    std::unique_ptr<TMIDIForm> settingsWindow_;
    TLifecycle lifecycle_;
    QTimer* renderWatch_ = nullptr;

    std::vector<TStyleEntry> styles_;
    int styleIndex_ = -1;
    bool firstActivation_ = true;
    bool startSoundPlayed_ = false;
    bool settingsSaved_ = false;
};

}  // namespace tx
