#include <filesystem>

#include "cli/Commands.h"
#include "engine/Engine.h"
#include "engine/EngineLock.h"
#include "engine/SampleInstall.h"
#include "loopfile/LoopFile.h"

namespace txcli {

int LoadLoopIntoEngine(const std::string& file, tx::TLoop& loop, tx::TEngineLock& lock, tx::TEngine& engine,
                       std::optional<bool> songMode) {
    const tx::TAppPaths paths = tx::TAppPaths::ForExecutable();
    // The loop's own folder is searched for its samples, so name it first.
    std::error_code ec;
    std::filesystem::path loopPath = std::filesystem::absolute(file, ec);
    loop.LoopFileName = ec ? file : loopPath.lexically_normal().string();

    tx::TLoopReadOptions options;
    options.Lock = &lock;
    options.OnSampleFileName = tx::MakeLoopSampleLoader(
        loop, tx::TLocateContext{paths.ProgramFolder, loop.LoopFileName, {}}, &engine, WarnRefusedSample);
    const tx::TLoopReadResult read = tx::ReadLoop(loop.LoopFileName, loop, options);
    if (!read.Ok()) {
        Fail(file, read.Reason);
        return read.Code == 1 ? ExitCannotOpen : ExitMalformed;
    }
    WarnIfEndedEarly(file, read);

    // What loading a loop applies to the engine in the desktop program.
    if (songMode) loop.SongMode = *songMode;
    engine.SetTempo(loop.Tempo);
    engine.SetMainCutOff(loop.MainCutOff);
    engine.SetMainResonance(loop.MainResonance);
    // The play mode applied as the desktop program's load applies it, which
    // also sets the patterns the display and MIDI follow.
    engine.SetSongMode(loop.SongMode);
    return ExitOk;
}

}  // namespace txcli
