#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/PatternRecord.h"
#include "model/Relaxed.h"
#include "model/WAVSample.h"

namespace tx {

struct TColor {
    uint8_t r = 200, g = 200, b = 186;
    uint32_t ToInt() const { return uint32_t(r) + 256u * g + 65536u * b; }
    static TColor FromInt(uint32_t v) { return TColor{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)}; }
    bool operator==(const TColor&) const = default;
};

constexpr uint8_t MidiNone = 255;  // "none" for note, program, bank and controller entries

// One channel of the loop: its settings, its sample and its 1000 pattern records.
// Edited on the window thread; the playback threads read it under the engine
// lock. Volume, pan and mute are set from the channel row while playing
// without that lock (TRelaxed); every other setting is changed under it.
// Values read from a file are kept as read (round trips); users limit them.
struct TChannel {
    explicit TChannel(int ownIndex);
    TChannel(const TChannel&) = delete;
    TChannel& operator=(const TChannel&) = delete;

    TRelaxed<int32_t> Volume = 100;  // 0..127
    TRelaxed<int32_t> Pan = 64;      // 0..127, 64 middle
    int32_t MidiChannel = 9;  // 0..15
    uint8_t MidiNote = MidiNone;
    uint8_t MidiPatch = MidiNone;
    uint8_t MidiBank = MidiNone;
    std::string Name;  // bytes as read
    TColor Color;
    std::array<uint8_t, 128> ControllerTable;

    int32_t DelayFeed = 0;      // 0..256
    int32_t DelayPan = 128;     // 0..256
    int32_t DelayPitch = 120;   // 0..240
    int32_t DelayEchoes = 4;    // 1..9
    int32_t DelayTime = 48;     // 0..256 sixteenths of a step
    int32_t DelayReso = 128;    // 0..256
    int32_t DelayCutOff = 128;  // 0..256
    int32_t DelayShift = 0;     // 0..256
    int32_t MixWith;            // own index = no mixing
    std::vector<int32_t> RandomWith;  // entry 0 is the own index
    int32_t FXFirst = 128;
    int32_t FXSecondMix = 0;
    int32_t FXSecondSine = 128;
    int32_t CutOff = 0;     // 0..1020
    int32_t Resonance = 0;  // 0..1020
    int32_t Stretch = 0;    // 0..128 steps
    int32_t PreAmp = 0;
    int32_t Decay = 0;
    int32_t Attack = 0;
    int32_t StereoDelay = 2048;
    int32_t FXThird = 256;
    int32_t MiddleNote = 60;
    TRelaxed<bool> Enabled = true;  // false = muted
    bool RevStereo = false;
    bool FadeLR = false;
    bool ReverseSample = false;
    bool Pitchable = true;
    bool DelayShuffled = false;
    bool Selected = false;
    bool Minimized = false;
    TWAVSample Sample;  // carries CutGroup and CutByGroup
    std::string SampleFileName;

    // Run-time state, never saved. Lights are written by the mixing thread and
    // read by the display, so they are atomics.
    uint8_t LastNote = MidiNone;
    std::array<std::atomic<int32_t>, StepsPerPattern> StepLight{};
    std::atomic<int32_t> ActivityLight{0};

    PatternRecord& Pattern(int p) { return (*patterns_)[size_t(p)]; }
    const PatternRecord& Pattern(int p) const { return (*patterns_)[size_t(p)]; }

private:
    std::unique_ptr<std::array<PatternRecord, PatternCount>> patterns_;
};

}  // namespace tx
