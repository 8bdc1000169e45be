#pragma once
// The vector mixer's plan of a block. The voice loop first lists, in the very
// order the scalar loop mixes them, what each voice adds to the block; the
// runner then mixes the list. Filtered voices that cover the whole block run
// their filters side by side in batches, and everything is added to the mix in
// list order frame for frame, so each sum is rounded exactly as the scalar
// loop rounds it. Mixing or render thread, engine lock held; no allocation.
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/Engine.h"
#include "engine/MixKernels.h"

namespace tx {

// One voice's share of one block.
struct TMixWork {
    const int16_t* Direct = nullptr;  // its frames from the block's first, or null when resampled
    const int16_t* Data = nullptr;    // the sample's frames, for the walk
    mix::TResampleWalk Walk;
    int32_t Skip = 0;  // mix frames before it starts
    int32_t N = 0;     // frames it mixes
    bool Filtered = false;
    int64_t GainL = 0, GainR = 0;   // integer path: main volume x gain
    double FGainL = 0, FGainR = 0;  // filtered path: the same over 65536
    float Cut = 1.0f, Reso = 0.0f;  // filtered path
    mix::FilterSide<TFilterReal> L{0, 0}, R{0, 0};
    FilterState* Keep = nullptr;  // where the filter's end state goes; null when the voice is gone
};

// Plans voice v over [mixPosition, blockEnd) with `length` as its played
// length. False when it adds nothing (not begun, over, no frames to read, or
// an integer voice with no gain). `keep` receives the filter state at the end.
bool PlanVoice(const TMixChan& v, FrameTime length, FrameTime mixPosition, FrameTime blockEnd, int64_t mainVolume,
               FilterState* keep, TMixWork& w);

// Mixes a plan into a block's mix buffer. Owns the batches' work space, made
// once; one runner per mixing thread.
class TMixRunner {
public:
    TMixRunner();
    ~TMixRunner();
    TMixRunner(const TMixRunner&) = delete;
    TMixRunner& operator=(const TMixRunner&) = delete;

    // `scratch` holds at least blockFrames frames for resampled integer voices.
    void Run(TMixWork* work, int count, int32_t* mix, int32_t blockFrames, int16_t* scratch);

private:
    struct TSpace;
    void applyRange(TMixWork& w, int32_t from, int32_t to, int32_t* mix, int16_t* scratch);
    void runBatch(TMixWork* work, int first, int end, int32_t* mix, int32_t blockFrames, int16_t* scratch);
    std::unique_ptr<TSpace> space_;
};

struct TEngine::TVectorMix {
    std::vector<TMixWork> Work = std::vector<TMixWork>(MaxVoices);
    TMixRunner Runner;
};

}  // namespace tx
