#include "engine/Engine.h"

namespace tx {

TEngine::TEngine(TLoop& loop, TEngineLock& lock, const TSettings& settings) : Loop(loop), EL(lock), Settings(settings) {
    UseWAVOnly = settings.UseWAVOnly;
    SyncToInput = settings.SyncToInput;
    MixPatterns.Assign(1);
    // Voices keep plain pointers to channel samples: a channel freed by a
    // delete or a new loop must not leave voices reading freed data.
    Loop.SampleFreeing = [this](const TWAVSample& s) { RemoveSampleVoices(&s); };
}

TEngine::~TEngine() {
    TLockGuard g(&EL);
    Loop.SampleFreeing = nullptr;
}

}  // namespace tx
