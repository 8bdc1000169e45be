#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/Loop.h"

namespace tx {

class TEngineLock;

// The program's own version, written into every loop file.
inline constexpr const char* ProgramVersionText = "1.3.72";

// Result of reading a loop: 0 read, 1 the file cannot be opened, 2 not a loop
// file or malformed beyond what the reader tolerates.
struct TLoopReadResult {
    int Code = 0;
    std::string Reason;  // for codes 1 and 2: why, in words
    bool Ok() const { return Code == 0; }
};

struct TLoopReadOptions {
    // Called for each channel's sample name event with the channel index and
    // the stored name; when empty, the name is only stored in SampleFileName.
    std::function<void(int channel, const std::string& storedName)> OnSampleFileName;
    // When set, output is suspended and the lock held for the whole read.
    TEngineLock* Lock = nullptr;
};

// Reads a loop file into `loop` (which is first reset to a new loop).
TLoopReadResult ReadLoop(const std::string& fileName, TLoop& loop, const TLoopReadOptions& options = {});
// Reads a loop from bytes already in memory (the file reader and the fuzzer use it).
TLoopReadResult ReadLoopFromMemory(const uint8_t* data, size_t size, TLoop& loop, const TLoopReadOptions& options = {});

// The complete file image of a loop.
std::vector<uint8_t> BuildLoopFile(const TLoop& loop);
// Writes the loop through a temporary file renamed over the target. On success
// clears Modified and returns an empty string; on failure returns the reason
// (naming the file) and leaves Modified and any previous file untouched.
std::string WriteLoop(const std::string& fileName, TLoop& loop);

// Version number of a version text: (major * 1000 + minor) * 1000 + build.
int32_t VersionNumber(const std::string& text);

}  // namespace tx
