// The desktop program: start-up in order, the event loop, shutdown.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "editors/CoreSettingsActions.h"
#include "editors/MIDIForm.h"
#include "engine/Engine.h"
#include "engine/NullAudioDevice.h"
#include "engine/Streaming.h"
#ifdef TROVAMIX_HAVE_DEVICES
#include "engine/devices/RtAudioDevice.h"
#endif
#include "model/Loop.h"
#include "model/Settings.h"
#include "shell/InstanceLink.h"
#include "shell/LoopSession.h"
#include "shell/MainForm.h"
#include "shell/TitleForm.h"
#include "shell/core/CommandLine.h"
#include "shell/core/ShellSettings.h"
#include "shell/core/StartupPaths.h"
#include "shell/core/Style.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName("Trovamix");
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    const tx::TCommandLine commandLine = tx::ParseCommandLine(args);
    const std::string programFolder = tx::ProgramFolder();

    // A running instance is asked whether it should close; start-up goes on either way.
    tx::TInstanceLink link;
    link.StartAndAsk([](const std::string& question) {
        return QMessageBox::question(nullptr, "Trovamix", QString::fromStdString(question).replace('\r', '\n'),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    });
    // The settings: read once here (the splash itself is one of them), written once at the close.
    const std::string settingsPath = tx::SettingsFilePath();
    const tx::TSettingsStore storedSettings = tx::TSettingsStore::LoadFile(settingsPath);
    tx::TShellSettings shellSettings = tx::LoadShellSettings(storedSettings);
    if (!commandLine.NoSplash && shellSettings.SplashScreen) tx::TTitleForm::ShowSplash(programFolder);

    tx::TLoop loop;
    tx::TEngineLock lock;
    loop.SetEngineLock(&lock);
    tx::TSettings settings;
    tx::TEngine engine(loop, lock, settings);

    tx::TTrovamixMainForm form(loop, &engine);
    if (commandLine.TopMost) form.setWindowFlag(Qt::WindowStaysOnTopHint);
    form.ApplyStyle(tx::LoadStyleData({"", programFolder + "Styles/Default/", tx::FindEmbeddedStyleFile}));
    QObject::connect(&link, &tx::TInstanceLink::closeRequested, &form, &QWidget::close);

    tx::TLoopDocument document(loop, &engine, programFolder);
    tx::TDialogPrompts prompts(&form);
    tx::TFormView view(form);
    tx::TLoopWorkflow workflow(document, prompts, view, programFolder);
    workflow.RenderAfterSave = commandLine.RenderAfterSave;
    form.SetWorkflow(&workflow);

    workflow.RecentFiles = shellSettings.RecentFiles;
    form.ApplySettings(shellSettings);
    form.RebuildRecentMenu();
    // The sound output chosen in the settings ("DS Driver"); "-none-" plays nothing.
#ifdef TROVAMIX_HAVE_DEVICES
    tx::TRtAudioSystem audioSystem;
#else
    tx::TNullAudioSystem audioSystem;
#endif
    tx::TEngineBlockSource blockSource(engine);
    tx::TStreaming streaming(lock, blockSource, audioSystem);
    settings.BufferLength = shellSettings.BufferLength;
    settings.AheadLength = shellSettings.AheadLength;
    streaming.EnumerateDevices(shellSettings.DSDriver.value_or(-1));
    streaming.SetAheadLength(settings.AheadLength);
    if (!streaming.DeviceList()[size_t(streaming.Selected())].None) {
        try {
            streaming.Start(settings.BufferLength);
        } catch (const tx::TStreamingError& e) {
            QMessageBox::critical(nullptr, "Trovamix", QString::fromStdString(std::string(e.what()) + "\n" + e.Detail));
        }
    }
    form.SetStreaming(&streaming);

    tx::TCoreSettingsActions settingsActions(engine, settings, &streaming, nullptr, nullptr, nullptr);
    // The settings window, created once, on the sheet the menu item names.
    tx::TMIDIForm settingsWindow(settingsActions, &form);
    QObject::connect(&form, &tx::TTrovamixMainForm::CommandRun, &settingsWindow, [&](tx::TCommand c) {
        using S = tx::TMIDIForm::Sheet;
        switch (c) {
            case tx::TCommand::MidiSettings:
                settingsWindow.ShowSheet(S::MIDISheet);
                break;
            case tx::TCommand::WavSettings:
                settingsWindow.ShowSheet(S::WAVSheet);
                break;
            case tx::TCommand::GeneralSettings:
                settingsWindow.ShowSheet(S::GeneralSheet);
                break;
            case tx::TCommand::PluginSettings:
                settingsWindow.ShowSheet(S::PluginsSheet);
                break;
            default:
                break;
        }
    });
    workflow.New();
    form.SetHeight(form.MaxHeight());  // a first start shows every row
    form.show();
    // Loop files named on the command line open once the window is up.
    QTimer::singleShot(0, &form, [&] {
        tx::TTitleForm::CloseOnActivation();
        if (!commandLine.LoopFiles.empty()) workflow.OpenCommandLineFiles(commandLine.LoopFiles);
    });
    const int code = app.exec();
    if (engine.Playing) engine.Stop(true);
    // The mixing thread is stopped by its flag and joined with the lock released.
    streaming.CloseDevice();
    form.StoreSettings(shellSettings);
    shellSettings.DSDriver = streaming.Selected();
    shellSettings.RecentFiles = workflow.RecentFiles;
    const std::string error = tx::SaveShellSettings(shellSettings, storedSettings).SaveFile(settingsPath);
    if (!error.empty()) QMessageBox::warning(nullptr, "Trovamix", QString::fromStdString(error));
    return code;
}
