#pragma once
#include <functional>
#include <string>

#include "model/Channel.h"
#include "model/WAVSample.h"

namespace tx {

// Reads a RIFF/WAVE file into the internal format (44100 Hz, 16-bit stereo).
// 0 = loaded (possibly empty when the encoding cannot be converted), non-zero = not loaded.
int LoadWAV(const std::string& fileName, TWAVSample& sample);

// Where LocateSample looks.
struct TLocateContext {
    std::string ProgramFolder;  // ends with '/'
    std::string LoopFileName;   // the current loop file, for its folder
    std::function<void(const std::string&)> ShowHint;  // "Locating: ..." (may be empty)
};

// Full path of an existing file for a stored sample name, or "" when none is found.
std::string LocateSample(const std::string& storedName, const TLocateContext& ctx);
// The stored form of a located path: relative to the sample folder when inside it.
std::string StoredSampleName(const std::string& locatedPath, const std::string& programFolder);

// Applies a channel's effect chain to the raw frames of `work` in place and sets
// its PlayLength; the caller installs the result. Runs off the mixing thread.
void ProcessChannelEffects(const TChannel& channel, TWAVSample& work);

}  // namespace tx
