// The desktop program: start-up in order, the event loop, shutdown.
#include <QApplication>

#include "app/TrovamixApp.h"
#include "controls/BuiltinImages.h"
#include "desktop/SettingsStore.h"
#include "desktop/StartupPaths.h"
#include "engine/NullAudioDevice.h"
#include "skin/StyleList.h"
#ifdef TROVAMIX_HAVE_DEVICES
#include "engine/devices/JackTransport.h"
#include "engine/devices/RtAudioDevice.h"
#include "midi/devices/RtMidiPorts.h"
#endif

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName("Trovamix");
    app.setDesktopFileName("trovamix");    // the task bar finds the icon and name by it
    app.setWindowIcon(tx::ProgramIcon());  // every window's, the dialogs' too
    tx::TAppOptions options;
    for (int i = 1; i < argc; ++i) options.Args.emplace_back(argv[i]);
    options.ProgramFolder = tx::ProgramFolder();
    options.SettingsPath = tx::SettingsFilePath();
    options.UserStylesFolder = tx::UserStylesFolder();
    options.UserLoopsFolder = tx::UserLoopsFolder();

    tx::TAppSystems systems;
#ifdef TROVAMIX_HAVE_DEVICES
    tx::TRtAudioSystem audioSystem;
    systems.MidiOut = tx::MakeRtMidiOutPort();
    systems.MidiIn = tx::MakeRtMidiInPort();
    systems.JackTransport = [] { return tx::MakeJackTransportPort(); };
#else
    tx::TNullAudioSystem audioSystem;
    systems.MidiOut = std::make_unique<tx::TRecordingMidiOutPort>(std::vector<std::string>{});
    systems.MidiIn = std::make_unique<tx::TFakeMidiInPort>(std::vector<std::string>{});
#endif
    systems.Audio = &audioSystem;

    tx::TTrovamixApp program(std::move(systems), std::move(options));
    QObject::connect(&program, &tx::TTrovamixApp::closed, &app, &QApplication::quit, Qt::QueuedConnection);
    // The loop files went to the instance already running: nothing more to do.
    if (!program.Start()) return 0;
    // The close runs the shutdown (save question, devices, settings); the
    // loop ends once the main window has closed.
    return app.exec();
}
