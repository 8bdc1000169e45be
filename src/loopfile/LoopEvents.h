#pragma once
#include <cstdint>

// Ids of the events of a loop file's data chunk. The id alone gives the size
// of the value: 0..63 a byte, 64..127 a 16-bit word, 128..191 a 32-bit dword,
// 192..255 a length in 7-bit groups followed by that many bytes.
namespace tx::loopev {

enum : uint8_t {
    // bytes
    Enabled = 0,
    Volume = 2,
    Pan = 3,
    MidiChannel = 4,
    MidiNote = 5,
    MidiPatch = 6,
    MidiBank = 7,
    SongMode = 9,
    ShowInfo = 10,
    Shuffle = 11,
    MainVolume = 12,
    Stretch = 13,
    Pitchable = 14,
    Minimized = 15,
    DelayShuffled = 16,
    // words
    SelectChannel = 64,
    SelectPattern = 65,
    Tempo = 66,
    CurrentPattern = 67,
    StepMask = 68,
    FXFirst = 69,
    Flags = 70,
    CutOff = 71,
    StepVolume = 72,
    StepPan = 73,
    PreAmp = 74,
    Decay = 75,
    Attack = 76,
    StepNote = 77,
    StepPitch = 78,
    StepMix = 79,
    MainPitch = 80,
    RandomWith = 81,
    MixWith = 82,
    Resonance = 83,
    SongLoopPosition = 84,
    StereoDelay = 85,
    FXThird = 86,
    StepReso = 87,
    StepCutoff = 88,
    DelayShift = 89,
    // dwords
    Color = 128,
    PlayListEntry = 129,
    OldDelay = 130,
    FXSecond = 131,
    CutGroups = 132,
    WindowHeight = 133,
    MiddleNote = 135,
    MainFilter = 137,
    DelayFilter = 138,
    // lengths and data
    Name = 192,
    Title = 194,
    InfoPlain = 195,
    SampleFileName = 196,
    URL = 197,
    InfoRich = 198,
    Version = 199,
    ControllerTable = 208,
    DelayBlock = 209,
};

// Bits of the Flags word.
constexpr uint16_t FlagFadeLR = 1;
constexpr uint16_t FlagReverseSample = 2;
constexpr uint16_t FlagRevStereo = 256;

// The fixed chunk layout in front of the events.
constexpr uint32_t StandardHeaderLength = 6;
constexpr uint32_t EventsOffset = 22;  // with the standard header length
constexpr int ControllerTableBytes = 128;
constexpr int DelayBlockBytes = 20;  // five 32-bit values
constexpr int DelayPanOffset = 64;   // DelayPan is stored minus this
constexpr int MaxLengthGroups = 5;   // 7-bit groups of a 32-bit length

}  // namespace tx::loopev
