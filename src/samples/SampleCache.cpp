#include "samples/SampleCache.h"

#include <algorithm>

namespace tx {

TSampleCache::TSampleCache(uint64_t loopBudgetBytes, uint64_t sampleBytes)
    : budget_(loopBudgetBytes), sampleBytes_(sampleBytes) {}

const TSampleCache::TEntry& TSampleCache::Get(const std::string& located) {
    auto [it, isNew] = entries_.try_emplace(located);
    TEntry& e = it->second;
    if (!isNew) return e;
    ++decodes_;
    TWAVSample raw;
    const uint64_t left = budget_ - used_;
    e.Result = LoadWAV(located, raw, &e.Why, std::min(sampleBytes_, left));
    if (e.Result == WavTooLarge && left < sampleBytes_)
        e.Why += " (what is left of the memory for this loop's samples)";
    e.Frames = std::move(raw.Data);
    e.Length = raw.Length;
    used_ += e.Frames.Bytes();
    return e;
}

bool TSampleCache::Charge(uint64_t bytes) {
    if (bytes > budget_ - used_) return false;
    used_ += bytes;
    return true;
}

}  // namespace tx
