#include "engine/Engine.h"

namespace tx {

TEngine::TEngine(TLoop& loop, TEngineLock& lock, const TSettings& settings)
    : Loop(loop), EL(lock), Settings(settings) {
    UseWAVOnly = settings.UseWAVOnly;
    SyncToInput = settings.SyncToInput;
    MixPatterns.Assign(1);
}

}  // namespace tx
