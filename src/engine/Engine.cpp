#include "engine/Engine.h"

#include "engine/MixWork.h"
#include "engine/Stems.h"

namespace tx {

TEngine::TEngine(TLoop& loop, TEngineLock& lock, const TSettings& settings)
    : Loop(loop), EL(lock), settings_(settings), vector_(std::make_unique<TVectorMix>()) {
    UseWAVOnly = settings.UseWAVOnly;
    SyncToInput = settings.SyncToInput;
    surround_.store(settings.Surround, std::memory_order_relaxed);
    MixPatterns.Assign(1);
    // Voices keep plain pointers to channel samples: a channel freed by a
    // delete or a new loop must not leave voices reading freed data.
    Loop.SampleFreeing = [this](const TWAVSample& s) { RemoveSampleVoices(&s); };
}

void TEngine::SetSettings(const TSettings& settings) {
    TLockGuard g(&EL);
    settings_ = settings;
    surround_.store(settings.Surround, std::memory_order_relaxed);
}

void TEngine::SetSurround(bool on) {
    // A plain store: the mixer picks it up at its next block.
    surround_.store(on, std::memory_order_relaxed);
    TLockGuard g(&EL);
    settings_.Surround = on;
}

TEngine::~TEngine() {
    TLockGuard g(&EL);
    Loop.SampleFreeing = nullptr;
}

}  // namespace tx
