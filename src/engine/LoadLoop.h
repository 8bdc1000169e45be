#pragma once
#include <optional>
#include <string>

#include "engine/Engine.h"
#include "engine/SampleInstall.h"
#include "loopfile/LoopFile.h"
#include "samples/Samples.h"

namespace tx {

struct TLoadLoopOptions {
    // Where samples are looked for: the program folder and the hint shown
    // while locating; the loop's own folder is always the file's.
    TLocateContext Locate;
    // Forces the play mode instead of the file's (the command-line tool).
    std::optional<bool> SongMode;
    // Told of each sample refused for its size, whose channel stays silent.
    TSampleRefusedReport Refused;
};

// Loads a loop as the program does. The file is read, with its samples
// located, loaded and processed, into a new document while the old loop plays
// on; only when reading succeeded is the new document swapped in under the
// engine lock (output suspended) and applied to the engine: tempo, main cutoff
// and resonance, song mode and song position, the playing patterns. The loop
// is then unmodified and named by the file's absolute path. On failure the
// old loop and the engine are untouched. The result is the reader's, with
// EndedEarly and its details for a warning. Window thread only.
TLoopReadResult LoadLoopInto(const std::string& fileName, TLoop& loop, TEngine& engine,
                             const TLoadLoopOptions& options = {});

}  // namespace tx
