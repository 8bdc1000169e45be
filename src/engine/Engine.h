#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "engine/EngineLock.h"
#include "engine/StepTimeline.h"
#include "model/Loop.h"
#include "model/Settings.h"

namespace tx {

// Frame times are 64-bit inside the engine so a mixer left running for days
// never overflows; within the 32-bit range results are those of 32-bit times.
using FrameTime = int64_t;

constexpr int MaxVoices = 512;
constexpr int32_t NoScope = 2147483647;
constexpr int32_t NoSongEnd = 2147483647;

// The filter states' type. 80-bit extended states kept the 512-voice mixer
// stress below its 10x real-time goal on x86-64 (9.9x: the x87 unit is
// throughput-bound); double states run the same recurrence 2.2x faster and
// differ from extended only far below the rounding to the 32-bit mix.
using TFilterReal = double;

// One two-pole resonant low-pass state; c and r are floats computed in long
// double. Serves every voice and the master filter.
struct FilterState {
    float Cutoff = 1.0f;
    float Resonance = 0.0f;
    TFilterReal PosLeft = 0, PosRight = 0, VelLeft = 0, VelRight = 0;
    bool IsOpen() const { return Resonance == 0.0f && Cutoff == 1.0f; }
    void ClearStates() { PosLeft = PosRight = VelLeft = VelRight = 0; }
};

// One playing voice of the fixed pool; only the engine touches it, under the
// engine lock.
struct TMixChan {
    const TWAVSample* Sample = nullptr;
    FrameTime StartTime = 0;
    FrameTime Length = 0;
    int32_t TargetLength = 0;
    int32_t GainLeft = 0;
    int32_t GainRight = 0;
    int32_t Group = 0;
    FilterState Filter;
};

// Fills a voice as AddVoice starts it: gains from volume and pan, the filter at rest.
void InitVoice(TMixChan& v, const TWAVSample* sample, FrameTime start, int32_t volume, float c, float r,
               int32_t targetLength, int32_t group, int32_t pan);

class TStemMixer;

// Receives the MIDI side of each step (implemented by the MIDI output).
// Called by StepTick with the engine lock held, from whichever thread ticks.
class TMidiStepSink {
public:
    virtual ~TMidiStepSink() = default;
    virtual void PlayMidiStep(int pattern) = 0;
};

// Receives each finished 16-bit block (the DSP plug-in); called by ConvertBlock
// on the mixing or render thread with the engine lock held.
class TBlockProcessor {
public:
    virtual ~TBlockProcessor() = default;
    virtual bool Active() const = 0;
    virtual void ProcessBlock(int16_t* frames, int32_t frameCount) = 0;  // called with the engine lock held
};

// Sequencer clock, voice pool and mixer.
//
// Threads: the mixing or render thread holds the engine lock for a whole
// block; the step timer and MIDI input take it per tick. Every operation the
// window thread calls here (transport, tempo, song mode, pattern choice,
// jumps, the master filter, the settings) takes the lock inside the call, and
// a loaded loop comes in through LoadLoopInto (engine/LoadLoop.h). The only
// values the mixer reads without the lock are the relaxed atomics: the
// loop's plain stores (see TLoop) and Surround here. The engine keeps its own
// copy of the settings, changed only through SetSettings and SetSurround.
class TEngine {
public:
    TEngine(TLoop& loop, TEngineLock& lock, const TSettings& settings);
    ~TEngine();
    TEngine(const TEngine&) = delete;
    TEngine& operator=(const TEngine&) = delete;

    TLoop& Loop;
    TEngineLock& EL;
    // The engine's own copy (settings_, at the end of the class, away from
    // the fields the mixer works on), for reading on the window thread.
    const TSettings& Settings = settings_;
    // Takes the settings the engine uses (Surround, the rendering remainder,
    // bank select, sample naming) under the lock; the play modes have their
    // own calls (SetUseWAVOnly, SyncToInput under the lock).
    void SetSettings(const TSettings& settings);
    void SetSurround(bool on);

    // --- clock
    int32_t StepLength = 661500 / 140;
    FrameTime MixPosition = 0;
    FrameTime NextStepTime = 0;
    int32_t MixStep = -1;
    TPatternList MixPatterns;
    int32_t MixPattern = 1;
    int32_t SongPosition = -1;
    int32_t SongEnd = NoSongEnd;
    // Written under the lock by the mixing, render and MIDI-input threads,
    // read without it by the window's display timer.
    std::atomic<bool> Playing{false};
    int32_t CurrentStep = -1;
    bool UseWAVOnly = true;
    bool SyncToInput = false;
    TMidiStepSink* MidiSink = nullptr;
    // Set by the display when it can take another display-update notice.
    std::atomic<bool> DisplayUpdateFlag{true};
    std::function<void()> PostDisplayUpdate;  // must not block; called from playback threads

    // Optional hooks for the step timer of the "Midi only" mode and for MIDI
    // clock sync; each is called with the engine lock held and must not block.
    std::function<void(bool)> EnableLoopTimer;      // on at start, off at stop
    std::function<void(int)> SetLoopTimerInterval;  // milliseconds, from SetTempo
    std::function<void()> SyncStart;                // the transport's start while synchronised
    std::function<void()> SyncStop;                 // the transport's stop while synchronised

    void SetTempo(int bpm);
    void StartClock();
    void AdvanceClock();
    void TickChannels();
    void TriggerChannel(int channel, int32_t stepVolume, const PatternRecord& row, int step, FrameTime baseTime);
    void StepTick();
    void Start();                          // the transport's start
    void Stop(bool fromTransport = true);  // the transport's stop
    void SetSongMode(bool on);
    void JumpToSongPosition(int pos);
    void ChoosePattern(int pattern);
    void SetUseWAVOnly(bool on);  // stops playback first when playing
    int32_t ShuffleDelay() const;
    static int32_t PitchLength(int32_t n, int32_t cents);
    void SeedRandom(uint64_t seed) { rng_ = seed ? seed : 1; }

    // --- voices and mixing
    std::array<TMixChan, MaxVoices> Voices;
    int VoiceCount = 0;
    FilterState MasterFilter;
    // Shared with the display without the lock. ConvertBlock copies a block
    // into the engine lock's ScopeSample only while ScopeFilled is false and
    // then sets it (release); the display reads the scope after seeing it set
    // (acquire) and clears it to ask for the next. The peaks are held maxima
    // that ConvertBlock only raises and the display lowers.
    std::atomic<bool> ScopeButton{false};
    std::atomic<bool> ScopeFilled{false};
    std::atomic<int32_t> PeakLeft{0}, PeakRight{0};
    TBlockProcessor* Plugin = nullptr;
    // True: MixBlock and ConvertBlock run the plain scalar loops, the
    // reference the vector kernels are tested against byte for byte. Set it
    // before mixing starts.
    bool ScalarReference = false;

    void AddVoice(const TWAVSample* sample, FrameTime start, int32_t volume, float c, float r, int32_t targetLength,
                  int32_t group, int32_t cutGroup, int32_t pan);
    void CutVoices(FrameTime start, int32_t cutGroup);
    void RemoveSampleVoices(const TWAVSample* sample);
    void ClearVoices();
    void MixBlock();
    // 16-bit output from the mix buffer (from frame `fromFrame`), clearing it.
    void ConvertBlock(int32_t fromFrame, int16_t* out, int32_t scopeOffset, int32_t byteCount);
    void SetMainCutOff(int position);
    void SetMainResonance(int position);
    void ClearMasterFilter() { MasterFilter.ClearStates(); }

    // --- stems (render thread, engine lock held)
    // From BeginStems to EndStems the voices live in a stem mixer (Voices
    // stays empty): each of `channels` gets a buffer of its own, stem k (from
    // 1) being channels[k - 1], and MixBlock fills the mix buffer and every
    // stem's buffer in one pass. ConvertStem is ConvertBlock for a stem's
    // buffer, with its own master filter states and without the scope and the
    // plug-in.
    void BeginStems(const std::vector<int>& channels);
    void EndStems();
    TStemMixer* Stems() { return stems_.get(); }
    void ConvertStem(int stem, int16_t* out, int32_t byteCount);

    // --- the display in time with the sound
    // The mixer stamps each step with the frame its sound starts at; the step
    // timer, MIDI clock and transport publish theirs to be shown at once.
    // The window thread asks what is audible (TStreaming::AudibleFrame) and
    // shows that: the lit step, song position, playing patterns and the dots
    // window's lights. Window thread only, without the engine lock; applies
    // the lights to the channels and returns true when anything changed.
    TStepTimeline Timeline;
    bool ShowAudible(FrameTime audible, TAudibleState& state);
    void PublishDisplay(bool barrier);  // the displayed position now, engine lock held

private:
    struct TVectorMix;
    void mixReference(FrameTime blockEnd);
    void mixVector(FrameTime blockEnd);
    void convert(int32_t* mixBuf, FilterState& master, int16_t* out, int32_t count, int32_t* peakLeft,
                 int32_t* peakRight);
    // A step's voices for channel c, in the pools `scope` names (stems only).
    void startVoices(int c, int32_t stepVolume, const PatternRecord& row, int step, FrameTime baseTime, int scope,
                     int stem);
    void addVoice(int scope, int stem, const TWAVSample* sample, FrameTime start, int32_t volume, float c, float r,
                  int32_t targetLength, int32_t group, int32_t cutGroup, int32_t pan);
    void cutVoices(int scope, int stem, FrameTime start, int32_t cutGroup);
    uint64_t nextRandom();
    uint64_t rng_ = 0x9E3779B97F4A7C15ull;
    TSettings settings_;
    std::atomic<bool> surround_{false};   // ConvertBlock reads it once per block
    std::unique_ptr<TVectorMix> vector_;  // the vector mixer's work space, made once
    std::unique_ptr<TStemMixer> stems_;   // only while a stem render runs
    int tickChannel_ = -1;                // the channel whose step is being triggered
};

}  // namespace tx
