#include "engine/LoadLoop.h"

#include "cli/Commands.h"
#include "engine/Engine.h"
#include "engine/EngineLock.h"

namespace txcli {

TLoadOutcome LoadLoopQuietly(const std::string& file, tx::TLoop& loop, tx::TEngine& engine,
                             std::optional<bool> songMode) {
    tx::TLoadLoopOptions options;
    options.Locate.ProgramFolder = tx::TAppPaths::ForExecutable().ProgramFolder;
    options.SongMode = songMode;
    options.Refused = WarnRefusedSample;
    const tx::TLoopReadResult read = tx::LoadLoopInto(file, loop, engine, options);
    if (!read.Ok()) return {read.Code == 1 ? ExitCannotOpen : ExitMalformed, read.Reason};
    WarnIfEndedEarly(file, read);
    return {};
}

int LoadLoopIntoEngine(const std::string& file, tx::TLoop& loop, tx::TEngineLock&, tx::TEngine& engine,
                       std::optional<bool> songMode) {
    const TLoadOutcome r = LoadLoopQuietly(file, loop, engine, songMode);
    if (r.Status != ExitOk) Fail(file, r.Reason);
    return r.Status;
}

}  // namespace txcli
