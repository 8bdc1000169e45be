#include "engine/LoadLoop.h"

#include <filesystem>

#include "engine/SampleInstall.h"

namespace tx {

TLoopReadResult LoadLoopInto(const std::string& fileName, TLoop& loop, TEngine& engine,
                             const TLoadLoopOptions& options) {
    // A new loop keeps tempo, pattern and play mode; the file may set them.
    TLoop fresh;
    fresh.Tempo = loop.Tempo;
    fresh.CurrentPattern = loop.CurrentPattern;
    fresh.SongMode = loop.SongMode;
    // The loop's own folder is searched for its samples, so name it first.
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::absolute(fileName, ec);
    fresh.LoopFileName = ec ? fileName : path.lexically_normal().string();

    // Nothing plays the new document yet, so it is read without the lock
    // and its samples are installed with no engine to tell.
    TLocateContext ctx = options.Locate;
    ctx.LoopFileName = fresh.LoopFileName;
    TLoopReadOptions read;
    read.OnSampleFileName = MakeLoopSampleLoader(fresh, std::move(ctx), nullptr, options.Refused);
    TLoopReadResult result = ReadLoop(fresh.LoopFileName, fresh, read);
    if (!result.Ok()) return result;

    if (options.SongMode) fresh.SongMode = *options.SongMode;
    fresh.ComputeSongLength();
    fresh.Modified = false;
    {
        TSuspendGuard suspend(engine.EL);
        loop.AdoptDocument(fresh);
        engine.SetTempo(loop.Tempo);
        engine.SetMainCutOff(loop.MainCutOff);
        engine.SetMainResonance(loop.MainResonance);
        // Applies the play mode with its song position and playing patterns.
        engine.SetSongMode(loop.SongMode);
    }
    // `fresh` now holds the old document and frees it here, off the lock.
    return result;
}

}  // namespace tx
