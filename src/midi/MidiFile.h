#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "midi/MidiSteps.h"
#include "model/Loop.h"
#include "model/Settings.h"

namespace tx {

// MIDI file time is counted in ticks, never in frames or steps.
using MidiTicks = uint32_t;

constexpr uint16_t MidiFileDivision = 120;  // ticks per quarter note
constexpr MidiTicks MidiTicksPerStep = 30;  // a step is a sixteenth: 120 / 4
constexpr MidiTicks MidiNoteTicks = 14;     // every exported note lasts 14 ticks
constexpr size_t MidiFileTrackStart = 22;   // header chunk (14) + "MTrk" and its length (8)
constexpr int64_t MicrosecondsPerMinute = 60000000;

// Builds the Standard MIDI File image (format 0, one track) of the loop's MIDI
// channels: the song (positions 0..SongLength, recomputing SongLength first)
// or only CurrentPattern. The same rules as live output, on a grid of 30
// ticks a step without shuffle. The image grows as needed, so no song is too
// long for it. Runs on the window thread; only SongLength of the loop changes.
std::vector<uint8_t> BuildMidiFile(TLoop& loop, const TSettings& settings, bool song, TMidiRandom& rng);
std::vector<uint8_t> BuildMidiFile(TLoop& loop, const TSettings& settings, bool song);

// Writes the image through the safe file writer (a link stays a link, the
// replaced file's permissions are kept). Returns an empty string, or the
// reason of the failure (the target is then untouched).
std::string WriteMidiFile(const std::string& fileName, const std::vector<uint8_t>& image);

}  // namespace tx
