#include "engine/LoadLoop.h"

#include "cli/Commands.h"
#include "engine/Engine.h"
#include "engine/EngineLock.h"

namespace txcli {

int LoadLoopIntoEngine(const std::string& file, tx::TLoop& loop, tx::TEngineLock&, tx::TEngine& engine,
                       std::optional<bool> songMode) {
    tx::TLoadLoopOptions options;
    options.Locate.ProgramFolder = tx::TAppPaths::ForExecutable().ProgramFolder;
    options.SongMode = songMode;
    options.Refused = WarnRefusedSample;
    const tx::TLoopReadResult read = tx::LoadLoopInto(file, loop, engine, options);
    if (!read.Ok()) {
        Fail(file, read.Reason);
        return read.Code == 1 ? ExitCannotOpen : ExitMalformed;
    }
    WarnIfEndedEarly(file, read);
    return ExitOk;
}

}  // namespace txcli
