// The sequencer clock: step timing, song position and the triggering of each
// step's voices. Runs on the mixing (or render) thread inside MixBlock with the
// engine lock held; the transport operations run on the window thread and take
// the same lock.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "engine/Engine.h"
#include "engine/Stems.h"

namespace tx {

namespace {

constexpr int32_t FramesPerStepAtOneBpm = 661500;  // 44100 frames x 60 s / 4 steps per beat
constexpr int32_t LoopTimerMsAtOneBpm = 15000;     // 60000 ms / 4 steps per beat
constexpr int32_t GroupScale = 512;                // cut groups of voices are the channel's group x 512
constexpr int32_t StepLightOn = 288;               // step light intensity at a trigger
constexpr int32_t ActivityLightOn = 320;           // channel light intensity at a trigger
constexpr int32_t MaxEchoVolume = 1048576;         // 16 x unity (65536)
constexpr int32_t MaxEchoes = 9;
constexpr int32_t MaxDelayValue = 256;  // DelayFeed, DelayPan, DelayTime, DelayReso, DelayCutOff, DelayShift
constexpr int32_t MaxDelayPitch = 240;
constexpr int32_t NeutralDelayPitch = 120;   // no pitch change between echoes
constexpr int32_t NeutralDelayFilter = 128;  // DelayReso / DelayCutOff leaving the filter as it is
constexpr int32_t NeutralStepPitch = 120;    // StepPitch giving no fine pitch
constexpr int32_t MaxPitch = 1200;           // MainPitch range in cents, either side
constexpr int32_t MaxStretch = 128;
constexpr int32_t MaxShuffle = 128;
constexpr int32_t MaxChannelValue = 127;  // Volume, Pan and every per-step row but pitch
constexpr int32_t MaxCutGroup = 99;

int32_t clampTo(int32_t v, int32_t lo, int32_t hi) { return std::clamp(v, lo, hi); }

// A channel index a loop file names, or the channel itself when it names none.
int channelOr(int32_t index, int self, int count) { return index >= 0 && index < count ? index : self; }

}  // namespace

uint64_t TEngine::nextRandom() {
    // splitmix64: small, fast and good enough to pick among a few channels.
    uint64_t z = (rng_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

void TEngine::SetTempo(int bpm) {
    bpm = std::clamp(bpm, MinTempo, MaxTempo);
    TLockGuard g(&EL);
    StepLength = FramesPerStepAtOneBpm / bpm;
    Loop.Tempo = bpm;
    if (SetLoopTimerInterval) SetLoopTimerInterval(LoopTimerMsAtOneBpm / bpm);
}

int32_t TEngine::ShuffleDelay() const {
    uint32_t shuffle = uint32_t(clampTo(Loop.Shuffle.Load(), 0, MaxShuffle));
    return int32_t((shuffle * uint32_t(StepLength)) >> 8);
}

int32_t TEngine::PitchLength(int32_t n, int32_t cents) {
    if (cents == 0) return n;
    long double len =
        std::nearbyint(static_cast<long double>(n) / std::exp2(static_cast<long double>(cents) / 1200.0L));
    // Extreme pitch-downs of long samples could pass the 32-bit range.
    if (len >= static_cast<long double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (len <= 0) return 0;
    return int32_t(len);
}

void TEngine::StartClock() {
    TLockGuard g(&EL);
    ClearVoices();
    MixStep = -1;
    NextStepTime = MixPosition - (SyncToInput ? EL.BlockFrames : 0);
    Playing = true;
}

void TEngine::AdvanceClock() {
    if (!Playing || StepLength <= 0) return;
    const FrameTime blockEnd = MixPosition + EL.BlockFrames;
    while (blockEnd > NextStepTime) {
        if (MixStep == 15) {
            if (SongPosition == SongEnd) {
                Playing = false;
                break;
            }
            if (Loop.SongMode) {
                SongPosition = Loop.NormalizeSongPosition(SongPosition + 1);
                MixPattern = Loop.PatternsAt(SongPosition, MixPatterns);
            }
        }
        MixStep = (MixStep + 1) & 15;
        // The display shows this step when its sound starts, not now: the
        // block is heard only after the ahead time and the device's buffer.
        Timeline.Begin(NextStepTime + ((MixStep & 1) ? ShuffleDelay() : 0), MixStep);
        if (UseWAVOnly) StepTick();
        for (int k = MixPatterns.count - 1; k >= 0; --k) {
            MixPattern = MixPatterns.items[size_t(k)];
            TickChannels();
        }
        Timeline.Commit();
        NextStepTime += StepLength;
    }
}

void TEngine::TickChannels() {
    if (MixPattern < 0 || MixPattern > MaxPattern || MixStep < 0 || MixStep > 15) return;
    const FrameTime base = NextStepTime + ((MixStep & 1) ? ShuffleDelay() : 0);
    const int count = Loop.ChannelCount();
    for (int i = 0; i < count; ++i) {
        const TChannel& ch = Loop.Channel(i);
        if (!ch.Enabled) continue;
        tickChannel_ = i;
        const PatternRecord& rec = ch.Pattern(MixPattern);
        if (!rec.GetStep(MixStep)) continue;
        const int32_t v = clampTo(rec.Value(RowVolume, MixStep), 0, MaxChannelValue);
        const int32_t m = clampTo(rec.Value(RowMix, MixStep), 0, MaxChannelValue);
        const int mixWith = channelOr(ch.MixWith, i, count);
        if (i != mixWith && m != 0) {
            const int32_t w = v * m / MaxChannelValue;
            TriggerChannel(mixWith, w, rec, MixStep, base);
            if (w < v) TriggerChannel(i, v - w, rec, MixStep, base);
        } else {
            TriggerChannel(i, v, rec, MixStep, base);
        }
    }
    tickChannel_ = -1;
}

void TEngine::TriggerChannel(int channel, int32_t stepVolume, const PatternRecord& row, int step, FrameTime baseTime) {
    const int count = Loop.ChannelCount();
    if (channel < 0 || channel >= count || step < 0 || step > 15) return;
    const auto& rw = Loop.Channel(channel).RandomWith;
    auto choose = [&](uint64_t random) { return channelOr(rw[size_t(random % rw.size())], channel, count); };
    if (!stems_) {
        startVoices(rw.size() > 1 ? choose(nextRandom()) : channel, stepVolume, row, step, baseTime, ScopeMix, 0);
        return;
    }
    // A stem draws its random choices from its own sequence, as a render of
    // that channel alone would; when the mix chose otherwise, the two get
    // voices of their own.
    const int stem = stems_->StemOf(tickChannel_);
    int c = channel, cs = channel;
    if (rw.size() > 1) {
        c = choose(nextRandom());
        if (stem > 0) {
            uint64_t& r = stems_->Random(stem);
            const uint64_t saved = rng_;
            rng_ = r;
            cs = choose(nextRandom());
            r = rng_;
            rng_ = saved;
        }
    }
    if (stem == 0) {
        startVoices(c, stepVolume, row, step, baseTime, ScopeMix, 0);
    } else if (c == cs) {
        startVoices(c, stepVolume, row, step, baseTime, ScopeBoth, stem);
    } else {
        startVoices(c, stepVolume, row, step, baseTime, ScopeMix, stem);
        startVoices(cs, stepVolume, row, step, baseTime, ScopeStem, stem);
    }
}

void TEngine::startVoices(int c, int32_t stepVolume, const PatternRecord& row, int step, FrameTime baseTime, int scope,
                          int stem) {
    TChannel& ch = Loop.Channel(c);
    const TWAVSample& s = ch.Sample;
    const int32_t cutGroup = clampTo(s.CutGroup, 0, MaxCutGroup) * GroupScale;
    if (!s.HasData()) {
        cutVoices(scope, stem, baseTime, cutGroup);
        return;
    }
    const auto at = [&](StepRow r) { return int32_t(row.Value(r, step)); };
    const int32_t sv = clampTo(stepVolume, 0, MaxChannelValue);

    // 65536 is unity: channel volume 100 at step volume 127.
    int64_t volume = ((int64_t(clampTo(ch.Volume, 0, MaxChannelValue)) * sv) << 16) / 12700;
    const FrameTime start =
        baseTime + FrameTime((uint32_t(StepLength) * uint32_t(clampTo(ch.DelayShift, 0, MaxDelayValue))) >> 8);
    int32_t pan =
        clampTo(clampTo(at(RowPan), 0, MaxChannelValue) + clampTo(ch.Pan, 0, MaxChannelValue) - 64, 0, MaxChannelValue);
    const int32_t stretch = clampTo(ch.Stretch, 0, MaxStretch);
    int32_t cents = 0;
    int32_t length;
    if (stretch != 0) {
        length = StepLength * stretch;
    } else {
        cents = (ch.Pitchable ? clampTo(Loop.MainPitch.Load(), -MaxPitch, MaxPitch) : 0) +
                (clampTo(at(RowPitch), 0, MaxDelayPitch) - NeutralStepPitch) * 10 +
                (clampTo(at(RowNote), 0, MaxChannelValue) - clampTo(ch.MiddleNote, 0, MaxChannelValue)) * 100;
        length = PitchLength(s.PlayLength, cents);
    }
    constexpr long double pi = std::numbers::pi_v<long double>;
    const int32_t stepReso = clampTo(at(RowReso), 0, MaxChannelValue);
    const int32_t stepCut = clampTo(at(RowCutoff), 0, MaxChannelValue);
    float r = stepReso != 0 ? float(std::cos((128 - stepReso) * pi / 256)) : 0.0f;
    float cut = stepCut != 0 ? float(1 - std::cos((128 - stepCut) * pi / 256)) : 1.0f;
    int32_t group = clampTo(s.CutByGroup, 0, MaxCutGroup) * GroupScale;
    int32_t cutBy = cutGroup;

    addVoice(scope, stem, &s, start, int32_t(volume), cut, r, length, group, cutBy, pan);

    const int32_t feed = clampTo(ch.DelayFeed, 0, MaxDelayValue);
    if (feed > 0 && ch.DelayEchoes > 0) {
        const int32_t echoes = std::min(ch.DelayEchoes, MaxEchoes);
        const int32_t delayPan = clampTo(ch.DelayPan, 0, MaxDelayValue);
        const int32_t delayPitch = clampTo(ch.DelayPitch, 0, MaxDelayPitch);
        const int32_t delayReso = clampTo(ch.DelayReso, 0, MaxDelayValue);
        const int32_t delayCut = clampTo(ch.DelayCutOff, 0, MaxDelayValue);
        const int32_t delayTime = clampTo(ch.DelayTime, 0, MaxDelayValue);
        for (int32_t k = 1; k <= echoes; ++k) {
            volume = std::min<int64_t>(MaxEchoVolume, volume * feed / 128);
            pan = clampTo(delayPan + pan - 128, 0, MaxChannelValue);
            if (delayPitch != NeutralDelayPitch && stretch == 0) {
                cents += (delayPitch - NeutralDelayPitch) * 10;
                length = PitchLength(s.PlayLength, cents);
            }
            if (delayReso != NeutralDelayFilter) {
                const long double d = delayReso;
                long double nr = d < 128 ? d * r / 128 : 1 - (1 - static_cast<long double>(r)) * (256 - d) / 128;
                r = float(std::clamp(nr, 0.0L, 1.0L));
            }
            if (delayCut != NeutralDelayFilter) {
                const long double d = delayCut;
                long double nc = d > 128 ? (256 - d) * cut / 128 : 1 - (1 - static_cast<long double>(cut)) * d / 128;
                cut = float(std::clamp(nc, 0.0L, 1.0L));
            }
            if (group != 0) ++group;
            if (cutBy != 0) ++cutBy;
            const int32_t echoSteps = (k * delayTime) >> 4;
            const FrameTime echoBase =
                ch.DelayShuffled ? NextStepTime + (((echoSteps + MixStep) & 1) ? ShuffleDelay() : 0) : start;
            const FrameTime echoStart = FrameTime((k * StepLength * delayTime) >> 4) + echoBase;
            addVoice(scope, stem, &s, echoStart, int32_t(volume), cut, r, length, group, cutBy, pan);
        }
    }

    // Lit by the display when the step is heard (ShowAudible).
    if (scope & ScopeMix) Timeline.AddLight(c);
}

void TEngine::StepTick() {
    bool sendMidi;
    {
        TLockGuard g(&EL);
        if (CurrentStep == 15 && Loop.SongMode) {
            // Set directly, not through TLoop::SetSongPosition: its window
            // notifications must not run on a playback thread.
            Loop.SongPosition = Loop.NormalizeSongPosition(Loop.SongPosition + 1);
            Loop.PatternsAt(Loop.SongPosition, Loop.PlayingPatterns);
        }
        CurrentStep = (CurrentStep + 1) & 15;
        sendMidi = !UseWAVOnly && MidiSink;
        // From the mixer the step is shown when heard; from the step timer or
        // MIDI clock its sound is the MIDI sent now.
        if (Timeline.Building())
            Timeline.SetPosition(CurrentStep, Loop.SongPosition, Loop.PlayingPatterns);
        else
            Timeline.PublishNow(CurrentStep, Loop.SongPosition, Loop.PlayingPatterns, false);
    }
    if (sendMidi) {
        TLockGuard g(&EL);
        if (MidiSink)
            for (int k = Loop.PlayingPatterns.count - 1; k >= 0; --k)
                MidiSink->PlayMidiStep(Loop.PlayingPatterns.items[size_t(k)]);
    }
    if (DisplayUpdateFlag.exchange(false)) {
        if (PostDisplayUpdate) PostDisplayUpdate();
    }
}

void TEngine::PublishDisplay(bool barrier) {
    TLockGuard g(&EL);
    Timeline.PublishNow(CurrentStep, Loop.SongPosition, Loop.PlayingPatterns, barrier);
}

bool TEngine::ShowAudible(FrameTime audible, TAudibleState& state) {
    return Timeline.Read(audible, state, [this](int step, int channel) {
        // A channel deleted since its step was mixed has no lights left to set.
        if (channel >= Loop.ChannelCount() || step < 0 || step >= StepsPerPattern) return;
        TChannel& ch = Loop.Channel(channel);
        ch.StepLight[size_t(step)].store(StepLightOn, std::memory_order_relaxed);
        ch.ActivityLight.store(ActivityLightOn, std::memory_order_relaxed);
    });
}

void TEngine::Start() {
    TLockGuard g(&EL);
    if (!Loop.SongMode) {
        MixPatterns.Assign(int16_t(std::clamp(Loop.CurrentPattern, 1, MaxPattern)));
    } else {
        if (SongPosition < 0) SongPosition = Loop.NormalizeSongPosition(0);
        Loop.PatternsAt(SongPosition, MixPatterns);
    }
    MixPattern = MixPatterns.First();
    // The display and MIDI play what the mixer plays. A loop just read has
    // never been through ChoosePattern, so without this MIDI would send the
    // patterns of whatever was loaded before.
    if (!Loop.SongMode)
        Loop.PlayingPatterns = MixPatterns;
    else if (Loop.SongPosition < 0)
        Loop.SetSongPosition(SongPosition);
    if (!UseWAVOnly && SyncToInput) {
        if (SyncStart) {
            SyncStart();
        } else {
            StartClock();
            CurrentStep = -1;
        }
        PublishDisplay(true);
        return;
    }
    CurrentStep = -1;
    if (!UseWAVOnly && EnableLoopTimer) EnableLoopTimer(true);
    StartClock();
    PublishDisplay(true);
}

void TEngine::Stop(bool fromTransport) {
    TLockGuard g(&EL);
    if (!UseWAVOnly && SyncToInput && SyncStop) SyncStop();
    Playing = false;
    if (EnableLoopTimer) EnableLoopTimer(false);
    CurrentStep = -1;
    if (fromTransport && Loop.SongMode) {
        SongPosition = 0;
        Loop.SongPosition = 0;
        Loop.PatternsAt(0, Loop.PlayingPatterns);
    }
    // Steps mixed but not heard yet are not shown after a stop.
    PublishDisplay(true);
    if (DisplayUpdateFlag.exchange(false)) {
        if (PostDisplayUpdate) PostDisplayUpdate();
    }
}

void TEngine::SetSongMode(bool on) {
    TLockGuard g(&EL);
    const int old = Loop.SongPosition;
    Loop.SongMode = on;
    ClearVoices();
    if (on) {
        Loop.SongPosition = 0;
        Loop.PatternsAt(0, Loop.PlayingPatterns);
        CurrentStep = -1;
        SongPosition = 0;
        MixPattern = Loop.PatternsAt(0, MixPatterns);
        MixStep = -1;
    } else {
        SongPosition = -1;
        Loop.SongPosition = -1;
        const auto p = int16_t(std::clamp(Loop.CurrentPattern, 1, MaxPattern));
        MixPatterns.Assign(p);
        Loop.PlayingPatterns.Assign(p);
        MixPattern = p;
    }
    PublishDisplay(true);
    if (old != Loop.SongPosition && Loop.Events.PlaylistPositionChanged) {
        Loop.Events.PlaylistPositionChanged(old);
        Loop.Events.PlaylistPositionChanged(Loop.SongPosition);
    }
}

void TEngine::JumpToSongPosition(int pos) {
    TLockGuard g(&EL);
    Loop.SetSongPosition(pos);
    SongPosition = Loop.SongPosition;
    if (Loop.SongMode) {
        MixPatterns = Loop.PlayingPatterns;
        MixPattern = MixPatterns.First();
        CurrentStep = -1;
        MixStep = -1;
    }
    PublishDisplay(true);
}

void TEngine::ChoosePattern(int pattern) {
    TLockGuard g(&EL);
    Loop.CurrentPattern = std::clamp(pattern, 1, MaxPattern);
    if (!Loop.SongMode) {
        MixPatterns.Assign(int16_t(Loop.CurrentPattern));
        Loop.PlayingPatterns.Assign(int16_t(Loop.CurrentPattern));
    }
}

void TEngine::SetUseWAVOnly(bool on) {
    TLockGuard g(&EL);
    if (on == UseWAVOnly) return;
    if (Playing) Stop(true);
    UseWAVOnly = on;
}

}  // namespace tx
