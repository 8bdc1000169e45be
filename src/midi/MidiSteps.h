#pragma once
#include <algorithm>
#include <cstdint>

#include "model/Loop.h"

namespace tx {

// The channel-step rules shared by live MIDI output and MIDI file export.
// Every value that becomes a MIDI byte is limited here, so no data byte of
// 128 or more is ever produced from out-of-range values a loop file brought.

constexpr int MidiDataMax = 127;
constexpr int MidiChannelMax = 15;
constexpr int MidiPanCentre = 64;
constexpr int MidiKeyOffset = 60;            // a step key of 60 plays the channel's own note
constexpr int MidiVelocityDivisor = 12800;   // Volume 100 x step 100 x MainVolume 128 / 12800 = 100
constexpr int MidiOffVelocityDivisor = 128;  // note-off velocity = MainVolume x Volume / 128
constexpr int CentsPerSemitone = 100;
constexpr int MainVolumeMax = 128;
constexpr int StepMixFull = 127;          // StepMix at which the whole step goes to MixWith
constexpr int32_t StepLightOn = 288;      // display level of a step just played
constexpr int32_t ActivityLightOn = 320;  // display level of a channel just played
constexpr uint8_t MidiPanController = 10;
constexpr uint8_t MidiBankController = 0;
constexpr uint8_t MidiBankLsbController = 32;
constexpr uint8_t MidiAllSoundOffController = 120;

// The u8 MIDI fields (note, program, bank, controller entries) are compared
// as signed bytes: 128 and more (255 included) count as not set.
inline bool IsMidiSet(uint8_t v) { return v < 128; }
inline uint8_t MidiData(int64_t v) { return uint8_t(std::clamp<int64_t>(v, 0, MidiDataMax)); }
inline uint8_t MidiChannelOf(const TChannel& c) {
    return uint8_t(std::clamp<int32_t>(c.MidiChannel, 0, MidiChannelMax));
}

// Uniform picks for RandomWith (xorshift64*: cheap, no allocation, seedable).
class TMidiRandom {
public:
    explicit TMidiRandom(uint64_t seed = 0x2545F4914F6CDD1Dull) { Seed(seed); }
    void Seed(uint64_t seed) { state_ = seed ? seed : 1; }
    int Below(int n) {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return int(((state_ * 0x2545F4914F6CDD1Dull) >> 33) % uint64_t(n));
    }

private:
    uint64_t state_ = 1;
};

// One note a step plays, with every value already limited.
struct TMidiStepNote {
    int Target = 0;        // index of the channel that sounds
    uint8_t Channel = 0;   // its MIDI channel
    int Key = 0;           // may lie outside 0..127; such a note is not played
    uint8_t Velocity = 0;  // 0..127
    uint8_t Pan = 0;       // 0..127
    bool KeyValid() const { return Key >= 0 && Key <= MidiDataMax; }
};

// True when channel c's step s of `pattern` sounds on MIDI: Enabled, a note
// set and the step bit on.
inline bool MidiStepSounds(const TLoop& loop, int c, int pattern, int s) {
    if (c < 0 || c >= loop.ChannelCount() || pattern < 0 || pattern >= PatternCount || s < 0 || s >= StepsPerPattern)
        return false;
    const TChannel& ch = loop.Channel(c);
    return ch.Enabled && IsMidiSet(ch.MidiNote) && ch.Pattern(pattern).GetStep(s);
}

// A channel index the loop names (MixWith, RandomWith entries) that does not
// exist stands for the naming channel itself.
inline int ValidChannelOr(const TLoop& loop, int index, int own) {
    return index >= 0 && index < loop.ChannelCount() ? index : own;
}

namespace detail {
// One note of a step whose channel's record `rec` gives pan and key,
// sounding on channel i or, with RandomWith, on one picked at random.
template <typename Emit>
void midiNote(const TLoop& loop, const PatternRecord& rec, int s, int i, int stepVelocity, TMidiRandom& rng,
              Emit& send) {
    const TChannel& own = loop.Channel(i);
    if (own.RandomWith.size() > 1)
        i = ValidChannelOr(loop, own.RandomWith[size_t(rng.Below(int(own.RandomWith.size())))], i);
    const TChannel& t = loop.Channel(i);
    if (!IsMidiSet(t.MidiNote)) return;
    // Volume and MainVolume held to their ranges first, so the product fits
    // and never turns negative.
    int64_t vol = std::clamp<int32_t>(t.Volume, 0, MidiDataMax);
    int64_t main = std::clamp<int32_t>(loop.MainVolume, 0, MainVolumeMax);
    TMidiStepNote n;
    n.Target = i;
    n.Channel = MidiChannelOf(t);
    n.Velocity = MidiData(std::min<int64_t>(MidiDataMax, vol * stepVelocity * main / MidiVelocityDivisor));
    n.Key = int(rec.Value(RowNote, s)) + int(t.MidiNote) - MidiKeyOffset;
    if (t.Pitchable) n.Key += loop.MainPitch / CentsPerSemitone;  // truncates toward zero
    n.Pan = MidiData(int64_t(rec.Value(RowPan, s)) + t.Pan - MidiPanCentre);
    send(n);
}
}  // namespace detail

// Calls send(TMidiStepNote) for every note channel c's step s of `pattern`
// plays, in sending order: the MixWith share first, then the channel's own.
template <typename Emit>
void ForEachMidiStepNote(const TLoop& loop, int c, int pattern, int s, TMidiRandom& rng, Emit&& send) {
    if (!MidiStepSounds(loop, c, pattern, s)) return;
    const TChannel& ch = loop.Channel(c);
    const PatternRecord& rec = ch.Pattern(pattern);
    int v = rec.Value(RowVolume, s);
    int m = rec.Value(RowMix, s);
    int mixWith = ValidChannelOr(loop, ch.MixWith, c);
    if (mixWith != c && m != 0) {
        int part = v * m / StepMixFull;
        detail::midiNote(loop, rec, s, mixWith, part, rng, send);
        if (part < v) detail::midiNote(loop, rec, s, c, v - part, rng, send);
    } else {
        detail::midiNote(loop, rec, s, c, v, rng, send);
    }
}

}  // namespace tx
