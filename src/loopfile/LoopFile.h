#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/Loop.h"

namespace tx {

// The program's own version, written into every loop file.
inline constexpr const char* ProgramVersionText = "1.3.72";

// Files older than this version store CutOff and Resonance on an older scale.
inline constexpr int32_t OldScaleVersion = 1003061;

// The most channels a loop file may bring. Event 64 carries a 16-bit index,
// and every channel holds 1000 pattern records of 114 bytes, so 65536 channels
// would need 7.5 GB; 256 channels (about 29 MB of records) is far beyond any
// real loop. Reading stops at an event that selects channel 256 or more.
inline constexpr int MaxLoopChannels = 256;

// Result of reading a loop: 0 read, 1 the file cannot be opened, 2 not a loop
// file (wrong chunk ids).
struct TLoopReadResult {
    int Code = 0;
    std::string Reason;  // for codes 1 and 2: why, in words; with EndedEarly: where and why it stopped
    // Code 0, but the events stopped early (an event cut off by the end of the
    // data, a channel index beyond the limit); everything before it was
    // applied, nothing after it. A caller must not save such a loop over a
    // file as if it were whole.
    bool EndedEarly = false;
    uint64_t StopOffset = 0;  // with EndedEarly: the file offset where reading stopped
    bool Ok() const { return Code == 0; }
};

struct TLoopReadOptions {
    // Called after the events are read, once
    // for each channel that named a sample, in channel order, with the last
    // name the file gave it; when empty, the name is only stored in
    // SampleFileName.
    std::function<void(int channel, const std::string& storedName)> OnSampleFileName;
    // The event data is read in blocks of this many bytes (an event larger
    // than a block is gathered whole), so reading a file needs little more
    // memory than the loop it builds. Tests use tiny blocks.
    size_t BlockBytes = size_t(1) << 20;
};

// Reads a loop file into `loop` (which is first reset to a new loop). The
// reader knows nothing of playback: a document that is playing is read into a
// fresh loop and swapped in under the engine lock (engine/LoadLoop.h).
TLoopReadResult ReadLoop(const std::string& fileName, TLoop& loop, const TLoopReadOptions& options = {});
// Reads a loop from bytes already in memory (the file reader and the fuzzer use it).
TLoopReadResult ReadLoopFromMemory(const uint8_t* data, size_t size, TLoop& loop, const TLoopReadOptions& options = {});

// The complete file image of a loop.
std::vector<uint8_t> BuildLoopFile(const TLoop& loop);

struct TLoopWriteResult {
    bool Ok = true;
    std::string Reason;  // on failure: what went wrong, without the file name
};

// Writes the loop through a temporary file in the same folder, synced and
// renamed over the target. On success clears Modified; on failure removes the
// temporary file and leaves Modified and any previous file untouched.
TLoopWriteResult WriteLoopFile(const std::string& fileName, TLoop& loop);
// The same, returning an empty string on success or "<file>: <reason>".
std::string WriteLoop(const std::string& fileName, TLoop& loop);

// Version number of a version text: (major * 1000 + minor) * 1000 + build.
int32_t VersionNumber(const std::string& text);

}  // namespace tx
