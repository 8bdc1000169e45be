#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "samples/Samples.h"

namespace tx {

// The raw frames of the sample files one loop uses, each file read and
// converted once however many channels name it, and the memory those
// channels' samples take together, held to a budget. One per loading of a
// loop; window thread (or whichever thread loads), never the mixing thread,
// and never under the engine lock.
class TSampleCache {
public:
    struct TEntry {
        TSampleFrames Frames;  // shared with every sample made from it
        int32_t Length = 0;
        int Result = WavNotLoaded;  // of LoadWAV
        std::string Why;            // when not loaded, or refused
    };

    explicit TSampleCache(uint64_t loopBudgetBytes = LoopSampleBudget(), uint64_t sampleBytes = MaxSampleBytes);

    // The raw frames of a located file: read and converted on the first call,
    // shared afterwards. A file whose frames would pass the sample limit or
    // what is left of the budget is refused (WavTooLarge) before decoding.
    const TEntry& Get(const std::string& located);
    // Takes `bytes` more from the budget (a channel's processed copy); false,
    // taking nothing, when they would pass it.
    bool Charge(uint64_t bytes);

    uint64_t Used() const { return used_; }
    uint64_t Budget() const { return budget_; }
    int Decodes() const { return decodes_; }

private:
    std::map<std::string, TEntry> entries_;
    uint64_t budget_, sampleBytes_, used_ = 0;
    int decodes_ = 0;
};

}  // namespace tx
