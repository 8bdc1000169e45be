#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "model/Channel.h"
#include "model/WAVSample.h"

namespace tx {

// The most one sample may take once converted to 44100 Hz 16-bit stereo:
// about 50 minutes. A file whose converted frames would pass it is refused
// before anything is decoded.
inline constexpr uint64_t MaxSampleBytes = uint64_t(512) << 20;

// What the samples of one loop may take together: half the machine's
// physical memory, at least one sample's worth and at most 8 GB.
uint64_t LoopSampleBudget();

// Results of LoadWAV.
enum : int {
    WavLoaded = 0,     // loaded (empty when the encoding cannot be converted)
    WavNotLoaded = 1,  // not a RIFF/WAVE file with "fmt " before "data", or unreadable
    WavTooLarge = 2,   // its converted frames would pass the limit; nothing was decoded
};

// Reads a RIFF/WAVE file into the internal format (44100 Hz, 16-bit stereo).
// Returns one of the results above; `why`, when given, says what went wrong.
// Runs on any thread but the mixing thread, with no lock held.
int LoadWAV(const std::string& fileName, TWAVSample& sample, std::string* why = nullptr,
            uint64_t maxBytes = MaxSampleBytes);

// Where LocateSample looks.
struct TLocateContext {
    std::string ProgramFolder;                         // ends with '/'
    std::string LoopFileName;                          // the current loop file, for its folder
    std::function<void(const std::string&)> ShowHint;  // "Locating: ..." (may be empty)
};

// Full path of an existing file for a stored sample name, or "" when none is found.
std::string LocateSample(const std::string& storedName, const TLocateContext& ctx);
// The stored form of a located path: relative to the sample folder when inside it.
std::string StoredSampleName(const std::string& locatedPath, const std::string& programFolder);

// Applies a channel's effect chain to the raw frames of `work` in place and sets
// its PlayLength; the caller installs the result. Runs off the mixing thread.
// When the channel's effects leave the frames as they are, `work` keeps
// sharing them (no copy); otherwise it gets its own processed copy.
void ProcessChannelEffects(const TChannel& channel, TWAVSample& work);
// True when the channel's effects change the frames (a processed copy is made).
bool EffectsChangeFrames(const TChannel& channel);

}  // namespace tx
