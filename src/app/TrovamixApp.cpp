#include "app/TrovamixApp.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPalette>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <climits>

#include "app/InstanceLink.h"
#include "desktop/ChannelDrop.h"
#include "desktop/StartupPaths.h"
#include "dialogs/CoreSettingsActions.h"
#include "dialogs/MIDIForm.h"
#include "dialogs/MIDIFormSettings.h"
#include "dialogs/MessageText.h"
#include "dialogs/WAVRenderForm.h"
#include "engine/SampleInstall.h"
#include "samples/Samples.h"
#include "skin/Style.h"
#include "window/ChannelForm.h"
#include "window/LoopDocument.h"
#include "window/MainForm.h"
#include "window/TitleForm.h"
#include "window/WorkflowDialogs.h"

// The MIDI step code names a parameter `emit`, which Qt defines away; this
// file signals with Q_EMIT.
#undef emit
#include "midi/MidiIn.h"
#include "midi/MidiOut.h"

namespace tx {

namespace {
constexpr int32_t StartSoundVolume = 51603;  // a full-scale channel at its default volume
constexpr int32_t StartSoundPan = 64;        // middle
constexpr int32_t NoCutGroup = -1;
constexpr int RenderWatchMs = 200;    // how often a deferred "Close DS" looks whether the render ended
constexpr int HandOverRetryMs = 250;  // how often a handed-over loop looks whether our dialog has closed

}  // namespace

TTrovamixApp::TTrovamixApp(TAppSystems systems, TAppOptions options)
    : options_(std::move(options)),
      commandLine_(ParseCommandLine(options_.Args)),
      audioSystem_(*systems.Audio),
      engine_(loop_, lock_, settings_),
      plugin_(lock_),
      blockSource_(engine_),
      streaming_(lock_, blockSource_, audioSystem_),
      midiOut_(std::make_unique<TMidiOutput>(std::move(systems.MidiOut))),
      midiIn_(std::make_unique<TMidiInput>(std::move(systems.MidiIn))),
      sync_(std::make_unique<TMidiSync>(engine_)),
      makeJackTransport_(std::move(systems.JackTransport)),
      transport_(std::make_unique<TTransportFollower>(engine_)) {
    loop_.SetEngineLock(&lock_);
}

TTrovamixApp::~TTrovamixApp() {
    transport_->Stop();  // its events go to the window, which goes below
    // A close that never ran (a test, an exception) still leaves no thread behind.
    streaming_.CloseDevice();
    midiIn_->Close();
    midiOut_->Close();
    settingsWindow_.reset();
    form_.reset();  // before the workflow its menus call
    workflow_.reset();
    plugin_.Unload();
}

void TTrovamixApp::Error(const std::string& text) {
    if (options_.ShowError)
        options_.ShowError(text);
    else
        QMessageBox::critical(form_.get(), QStringLiteral("Trovamix"), MessageText(text));
}

// With another instance running, the loop files of the command line (a file
// chosen in the file manager) open there; without any, the running one is
// only asked whether it should close, and start-up goes on either way.
bool TTrovamixApp::HandOverOrAsk() {
    link_ = std::make_unique<TInstanceLink>(
        options_.InstanceSocket.empty() ? TInstanceLink::DefaultSocketPath()
                                        : QFile::decodeName(QByteArray::fromStdString(options_.InstanceSocket)));
    if (link_->Start() != TInstanceLink::TStart::AnotherInstance) return true;
    std::vector<std::string> loops;
    for (const std::string& f : commandLine_.LoopFiles)
        if (IsLoopFileName(f)) loops.push_back(AbsolutePath(f));
    if (!loops.empty() && link_->RequestOpen(loops)) return false;
    const bool yes = QMessageBox::question(nullptr, QStringLiteral("Trovamix"), MessageText(AnotherInstanceQuestion),
                                           QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    if (yes) link_->RequestClose();
    return true;
}

bool TTrovamixApp::Start() {
    if (options_.InstanceCheck && !HandOverOrAsk()) return false;
    storedSettings_ = TSettingsStore::LoadFile(options_.SettingsPath);
    desktopSettings_ = LoadDesktopSettings(storedSettings_);
    if (!commandLine_.NoSplash && desktopSettings_.SplashScreen) TTitleForm::ShowSplash(options_.ProgramFolder);
    // The program's hint colour, for any tooltip a dialog shows.
    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, HintColour);
    tips.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(tips);

    // The windows, in the order the later steps rely on: the settings
    // window's lists must exist before the settings are read into them.
    form_ = std::make_unique<TTrovamixMainForm>(loop_, &engine_);
    if (options_.Prompts == nullptr) ownPrompts_ = std::make_unique<TDialogPrompts>(form_.get());
    TWorkflowPrompts& prompts = options_.Prompts ? *options_.Prompts : *ownPrompts_;
    document_ = std::make_unique<TLoopDocument>(loop_, &engine_, options_.ProgramFolder);
    view_ = std::make_unique<TFormView>(*form_);
    workflow_ = std::make_unique<TLoopWorkflow>(*document_, prompts, *view_, options_.ProgramFolder);
    workflow_->SetUserLoopsFolder(options_.UserLoopsFolder);
    form_->SetWorkflow(workflow_.get());
    form_->CloseQuery = [this] { return CloseRequested(); };
    form_->ProgramFolder = options_.ProgramFolder;
    sampleInstall_ = std::make_unique<TSampleInstall>(loop_, engine_, options_.ProgramFolder);
    sampleInstall_->Events.SetBusyCursor = [this](bool busy) {
        if (busy)
            form_->setCursor(Qt::WaitCursor);
        else
            form_->unsetCursor();
    };
    sampleInstall_->Events.SampleRefused = [this](int, const std::string& file, const std::string& why) {
        Error(file + ": " + why);
    };
    form_->LoadChannelSample = [this](int channel, const std::string& file) {
        sampleInstall_->SetChannelSample(channel, file, true, false);
    };
    // The channel settings window loads, previews and reprocesses through the same installer.
    form_->SetSampleInstall(sampleInstall_.get());
    sampleInstall_->Events.RefreshChannelSettings = [this](int channel) {
        TChannelForm* w = form_->ChannelForm();
        if (w->isVisible() && w->Tag() == channel) w->Refresh();
    };
    sampleInstall_->Events.RepaintSampleView = [this](int channel) {
        if (form_->ChannelForm()->Tag() == channel) form_->ChannelForm()->RepaintScope();
    };
    midiOut_->Bind(engine_);
    form_->SetMidiOutput(midiOut_.get());
    // An instrument plays a loop's channels with their own bank and program from the start.
    connect(form_.get(), &TTrovamixMainForm::LoopShown, this, [this] {
        for (int c = 0; c < loop_.ChannelCount(); ++c) midiOut_->SendChannelSetup(c);
    });
    sync_->Attach(*midiIn_);
    // The MIDI input thread never touches a widget: the engine already has the
    // start, stop and tempo; the window is told by events on its own thread.
    TTrovamixMainForm* window = form_.get();
    sync_->OnPlayingState = [window](bool started) {
        QMetaObject::invokeMethod(
            window, [window, started] { window->SyncPlayingChanged(started); }, Qt::QueuedConnection);
    };
    sync_->OnTempo = [window](int bpm) {
        QMetaObject::invokeMethod(
            window, [window, bpm] { window->ShowSyncTempo(bpm); }, Qt::QueuedConnection);
    };
    // The JACK transport reaches the window the same way.
    transport_->OnPlayingState = sync_->OnPlayingState;
    transport_->OnTempo = sync_->OnTempo;
    actions_ = std::make_unique<TCoreSettingsActions>(engine_, settings_, &streaming_, midiOut_.get(), midiIn_.get(),
                                                      &plugin_);
    actions_->AudioDeviceChanged = [this] { FollowJackTransport(); };
    settingsWindow_ = std::make_unique<TMIDIForm>(*actions_, form_.get());
    form_->SetAutoArrangeQuery([this] { return settingsWindow_ && settingsWindow_->AutoArrange(); });
    form_->ChannelForm()->Host.PreviewInOpenDialog = [this] {
        return settingsWindow_ && settingsWindow_->PreviewWAV();
    };
    settingsWindow_->ShowMessage = [this](const QString& text) { Error(text.toStdString()); };
    connect(settingsWindow_.get(), &TMIDIForm::helpRequested, form_.get(), &TTrovamixMainForm::ShowHelp);
    ConnectSettingsWindow();
    ConnectLink();

    LoadSettings();
    MidiDeviceSetUp();

    document_->SetModified(false);
    workflow_->New();
    if (commandLine_.TopMost) form_->setWindowFlag(Qt::WindowStaysOnTopHint);
    workflow_->RenderAfterSave = commandLine_.RenderAfterSave;
    PlayStartSound();

    form_->show();
    // The tools marked "Launch at startup", once the window they belong to is up.
    form_->LaunchStartupTools();
    // Neither sound nor MIDI output chosen (a first start): the user is shown where to choose.
    if (settingsWindow_->DSDriver() == int(streaming_.DeviceList().size()) - 1 &&
        settingsWindow_->OutputItem() == int(midiOut_->DeviceList().size()) - 1)
        settingsWindow_->ShowSheet(settingsWindow_->CurrentSheet());

    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, &TTrovamixApp::ApplicationStateChanged);
    // The window's first activation; the event loop delivers it once the window is up.
    QTimer::singleShot(0, this, [this] { FirstActivation(); });
    return true;
}

void TTrovamixApp::ConnectLink() {
    if (!link_) return;
    TInstanceLink* link = link_.get();
    TTrovamixMainForm* window = form_.get();
    connect(link, &TInstanceLink::closeRequested, window, &QWidget::close);
    connect(link, &TInstanceLink::openRequested, this,
            [this](const QString& path) { OpenHandedOver(QFile::encodeName(path).toStdString()); });
    connect(link, &TInstanceLink::companionOpened, window, &TTrovamixMainForm::CompanionOpened);
    connect(link, &TInstanceLink::companionFileReceived, window, &TTrovamixMainForm::CompanionFileReceived);
    window->CompanionRunning = [link] { return link->CompanionConnected(); };
    window->CloseCompanion = [link] { link->CloseCompanion(); };
    window->SendCompanionDock = [link](int x, int y) { link->SendDock(x, y); };
}

// A loop file another start handed over, opened as a dropped one is: after
// the save question. While a dialog of ours is up it waits, so the question
// never stacks on top of it.
void TTrovamixApp::OpenHandedOver(const std::string& path) {
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        QTimer::singleShot(HandOverRetryMs, this, [this, path] { OpenHandedOver(path); });
        return;
    }
    form_->raise();
    form_->activateWindow();
    workflow_->DropFiles({path});
}

void TTrovamixApp::ConnectSettingsWindow() {
    TMIDIForm& w = *settingsWindow_;
    connect(&w, &TMIDIForm::optionChanged, this, [this] {
        TMIDIForm& w = *settingsWindow_;
        form_->SetEasyMove(w.EasyMove());
        form_->SetBothButtons(w.MouseUse());
        form_->SetAutoMaximize(w.AutoMaximize());
        settings_.AdjustChanName = w.AdjustChanName();
    });
    connect(&w, &TMIDIForm::ledsOverChanged, form_.get(), &TTrovamixMainForm::SetLedsOverKnobs);
    form_->TogglePlugin = [&w] { w.TogglePlugin(); };
    connect(&w, &TMIDIForm::styleChosen, this, &TTrovamixApp::ChooseStyle);
    connect(form_.get(), &TTrovamixMainForm::CommandRun, this, [this](TCommand c) {
        using S = TMIDIForm::Sheet;
        switch (c) {
            case TCommand::MidiSettings:
                settingsWindow_->ShowSheet(S::MIDISheet);
                break;
            case TCommand::WavSettings:
                settingsWindow_->ShowSheet(S::WAVSheet);
                break;
            case TCommand::GeneralSettings:
                settingsWindow_->ShowSheet(S::GeneralSheet);
                break;
            case TCommand::PluginSettings:
                settingsWindow_->ShowSheet(S::PluginsSheet);
                break;
            case TCommand::SyncToInput:
                if (QAction* a = form_->Action(TCommand::SyncToInput)) ApplySyncToInput(a->isChecked());
                break;
            default:
                break;
        }
    });
}

// Every value goes into the control that keeps it while the program runs;
// the core's settings are then taken from those controls.
void TTrovamixApp::LoadSettings() {
    const TDesktopSettings& s = desktopSettings_;
    TMIDIForm& w = *settingsWindow_;
    LoadIntoSettingsWindow(s, w);
    // Window position, sample mode, scope and its button, "&Hide position
    // leds", the panels; the favourites, the channel settings window's and the
    // playlist's values are kept as read until their windows exist.
    form_->ApplySettings(s);
    workflow_->RecentFiles = s.RecentFiles;
    form_->Tools = s.Tools;
    form_->RebuildToolsMenu();
    form_->RebuildRecentMenu();
    w.SetBufferLength(s.BufferLength);
    w.SetAheadLength(s.AheadLength);

    settings_.BankSelectMethod = w.BankSelectMethod();
    settings_.RenderingRemainder = w.RenderingRemainder();
    settings_.Surround = w.Surround();
    settings_.AdjustChanName = w.AdjustChanName();
    settings_.BufferLength = w.BufferLength();
    settings_.AheadLength = w.AheadLength();
    engine_.SetSettings(settings_);
    engine_.SetSurround(settings_.Surround);

    MainWindowSetUp();
}

void TTrovamixApp::MainWindowSetUp() {
    TMIDIForm& w = *settingsWindow_;
    styles_ = ListStyles(options_.ProgramFolder, options_.UserStylesFolder);
    QStringList names;
    for (const TStyleEntry& e : styles_) names << QString::fromStdString(e.Name);
    styleIndex_ = tx::ChooseStyle(styles_, desktopSettings_.Style);
    w.SetStyles(names);
    w.SetStyleIndex(styleIndex_);
    LoadStyle(styleIndex_);

    if (plugin_.Load(options_.ProgramFolder)) {
        TLockGuard g(&lock_);
        engine_.Plugin = &plugin_;
    }
    settings_.UsePlugin = desktopSettings_.UsePlugin;
    if (desktopSettings_.UsePlugin) plugin_.Select(true);

    // The sound output: none stored (a first start) is "-none-"; a negative
    // index is the first entry.
    streaming_.EnumerateDevices(desktopSettings_.DSDriver ? std::max(0, *desktopSettings_.DSDriver) : INT_MAX);
    streaming_.SetAheadLength(settings_.AheadLength);
    w.EnumerateDevices();
    w.SetDSDriver(streaming_.Selected());
    // The block length is the user's setting whether or not a device opens:
    // shutdown saves it back.
    lock_.SetBufferLength(settings_.BufferLength);
    try {
        streaming_.OpenDevice(settings_.BufferLength);
        streaming_.SetBufferLength(settings_.BufferLength);
        if (streaming_.DeviceOpen()) {
            streaming_.StartOutputBuffer();
            streaming_.StartMixThread();
        }
    } catch (const TStreamingError& e) {
        streaming_.CloseDevice();
        Error(std::string(e.what()) + "\r" + e.Detail);
    }
    if (!streaming_.DeviceOpen() && !streaming_.LastError().empty()) Error(streaming_.LastError());
    w.SetDSDriver(streaming_.Selected());  // the label tells whether it opened
    FollowJackTransport();
    form_->SetStreaming(&streaming_);
    form_->SetHeight(form_->MaxHeight());
}

void TTrovamixApp::MidiDeviceSetUp() {
    TMIDIForm& w = *settingsWindow_;
    form_->setCursor(Qt::WaitCursor);
    const int inputs = int(midiIn_->DeviceList().size());
    const int outputs = int(midiOut_->DeviceList().size());
    // Unset: "-none-", the last entry of each list.
    w.SetInputItem(ClampListIndex(desktopSettings_.InputDevice.value_or(inputs - 1), inputs));
    w.SetOutputItem(ClampListIndex(OutputDeviceItem(desktopSettings_.OutputDevice, midiOut_->NumDevs()), outputs));
    if (w.OutputItem() != outputs - 1) {
        const std::string error = midiOut_->SelectListItem(w.OutputItem());
        if (!error.empty()) {
            form_->unsetCursor();
            Error(error);
            if (!w.isVisible()) {
                if (options_.ShowModal)
                    options_.ShowModal(w);
                else
                    w.exec();
            }
        }
    } else {
        midiOut_->Close();
    }
    form_->unsetCursor();
    if (QAction* a = form_->Action(TCommand::SyncToInput)) a->setChecked(desktopSettings_.SyncToInput);
    ApplySyncToInput(desktopSettings_.SyncToInput);
}

void TTrovamixApp::ApplySyncToInput(bool on) {
    if (on) {
        const std::string error = midiIn_->SelectListItem(settingsWindow_->InputItem());
        if (!error.empty()) {
            // Where the input is chosen, shown with the error.
            Error(error);
            TMIDIForm& w = *settingsWindow_;
            w.SelectSheet(TMIDIForm::MIDISheet);
            if (!w.isVisible()) {
                if (options_.ShowModal)
                    options_.ShowModal(w);
                else
                    w.exec();
            }
        }
    } else {
        midiIn_->Close();
    }
    TLockGuard g(&lock_);
    engine_.SyncToInput = on;
}

void TTrovamixApp::FollowJackTransport() {
    const int selected = streaming_.Selected();
    const auto& list = streaming_.DeviceList();
    const bool jack = streaming_.DeviceOpen() && selected >= 0 && selected < int(list.size()) &&
                      list[size_t(selected)].Api == TAudioApi::Jack;
    if (!jack || !makeJackTransport_) {
        transport_->Stop();
        return;
    }
    if (transport_->Following()) return;
    // Playing on JACK without its transport is still playing: no error box.
    transport_->Start(makeJackTransport_());
}

void TTrovamixApp::LoadStyle(int index) {
    const std::string folder = index >= 0 && index < int(styles_.size()) ? styles_[size_t(index)].Folder : "";
    form_->ApplyStyle(LoadStyleData({folder, DefaultStyleFolder(options_.ProgramFolder), FindEmbeddedStyleFile}));
}

void TTrovamixApp::ChooseStyle(int index) {
    if (index < 0 || index >= int(styles_.size())) return;
    styleIndex_ = index;
    LoadStyle(styleIndex_);
    form_->LayoutChannelRows();
}

void TTrovamixApp::PlayStartSound() {
    const std::string folder =
        styleIndex_ >= 0 && styleIndex_ < int(styles_.size()) ? styles_[size_t(styleIndex_)].Folder : "";
    const std::string path = StartSoundPath(options_.ProgramFolder, folder);
    if (path.empty() || LoadWAV(path, startSound_) != WavLoaded || !startSound_.HasData()) {
        startSound_.ClearSampleData();
        return;
    }
    startSound_.PlayLength = startSound_.Length;
    TLockGuard g(&lock_);
    engine_.AddVoice(&startSound_, engine_.MixPosition, StartSoundVolume, 1.0f, 0.0f, startSound_.PlayLength,
                     NoCutGroup, NoCutGroup, StartSoundPan);
    startSoundPlayed_ = true;
}

void TTrovamixApp::FirstActivation() {
    if (!firstActivation_) return;
    firstActivation_ = false;
    TTitleForm::CloseOnActivation();
    if (!commandLine_.LoopFiles.empty()) workflow_->OpenCommandLineFiles(commandLine_.LoopFiles);
}

void TTrovamixApp::ApplicationStateChanged(Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive) {
        lifecycle_.ApplicationActivated(*this);
        return;
    }
    lifecycle_.ApplicationDeactivated(*this);
    // A render kept the device: look again until it has ended.
    if (lifecycle_.ReleaseWaitingForRender() && !renderWatch_) {
        renderWatch_ = new QTimer(this);
        connect(renderWatch_, &QTimer::timeout, this, [this] {
            if (RenderRunning() && lifecycle_.ReleaseWaitingForRender()) return;
            renderWatch_->deleteLater();
            renderWatch_ = nullptr;
            lifecycle_.RenderFinished(*this);
        });
        renderWatch_->start(RenderWatchMs);
    }
}

bool TTrovamixApp::CloseRequested() {
    if (!lifecycle_.Close(*this)) return false;
    // The tool windows are the main window's; none of them outlives it.
    settingsWindow_->hide();
    Q_EMIT closed();
    return true;
}

// --- the shutdown and the "Close DS" hooks

bool TTrovamixApp::AutoCloseChecked() const { return settingsWindow_ && settingsWindow_->CloseDS(); }

bool TTrovamixApp::RenderRunning() const {
    if (!form_) return false;
    const QList<TWAVRenderForm*> forms = form_->findChildren<TWAVRenderForm*>();
    return std::any_of(forms.begin(), forms.end(), [](const TWAVRenderForm* f) { return f->Rendering(); });
}

// The streaming output stops its thread by flag and joins it with the engine
// lock released itself, so the two steps before this one have nothing to do.
void TTrovamixApp::ReleaseDevice() { streaming_.CloseDevice(); }

bool TTrovamixApp::ReopenDevice() {
    try {
        streaming_.OpenDevice(settings_.BufferLength);
        streaming_.SetBufferLength(settings_.BufferLength);
    } catch (const TStreamingError&) {
        streaming_.CloseDevice();
        return false;
    }
    return streaming_.DeviceOpen();
}

void TTrovamixApp::StartMixThread() {
    streaming_.StartMixThread();
    streaming_.StartOutputBuffer();
}

TAnswer TTrovamixApp::SaveQuery() { return workflow_->SavePrompt(); }

// The menu item keeps its check: it is what the settings store keeps.
void TTrovamixApp::ClearSync() {
    TLockGuard g(&lock_);
    engine_.SyncToInput = false;
}

void TTrovamixApp::StopPlayback() {
    if (engine_.Playing) form_->StartStop(false, true);
}

void TTrovamixApp::CloseMidiDevices() {
    transport_->Stop();
    midiIn_->Close();
    midiOut_->Close();
}

void TTrovamixApp::StopScope() { form_->SetStreaming(nullptr); }

// Every value from the control that keeps it, in the store's save order
// (SaveDesktopSettings writes them in that order).
void TTrovamixApp::SaveSettings() {
    TDesktopSettings s = desktopSettings_;
    form_->StoreSettings(s);
    const TMIDIForm& w = *settingsWindow_;
    s.InputDevice = w.InputItem();
    s.OutputDevice = w.OutputItem() - 1;
    s.DSDriver = w.DSDriver();
    StoreFromSettingsWindow(w, s);
    s.Style = styleIndex_;
    // The engine's block, which is the stored length rounded down to whole blocks.
    s.BufferLength = lock_.MixBytes / 8;
    s.AheadLength = w.AheadLength();
    if (const QAction* a = form_->Action(TCommand::SyncToInput)) s.SyncToInput = a->isChecked();
    s.RecentFiles = workflow_->RecentFiles;
    s.Tools = form_->Tools;
    std::vector<std::string> dockErrors;
    const TSettingsStore out = SaveDesktopSettings(s, storedSettings_, &dockErrors);
    for (const std::string& e : dockErrors) Error(e);
    const std::string error = out.SaveFile(options_.SettingsPath);
    if (!error.empty()) Error(error);
    settingsSaved_ = true;
}

void TTrovamixApp::UnloadPlugin() {
    {
        TLockGuard g(&lock_);
        engine_.Plugin = nullptr;
    }
    plugin_.Unload();
}

void TTrovamixApp::CloseCompanion() {
    if (link_) link_->CloseCompanion();
}

}  // namespace tx
