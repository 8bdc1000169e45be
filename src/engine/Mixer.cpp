// The voice mixer: the fixed pool of voices, the block mix into the 32-bit mix
// buffer and its conversion to 16-bit output. MixBlock and ConvertBlock run on
// the mixing or render thread with the engine lock held; they allocate nothing,
// wait on nothing else and do no I/O.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "engine/Engine.h"
#include "engine/MixKernels.h"
#include "engine/MixVector.h"
#include "engine/MixWork.h"
#include "engine/Stems.h"

namespace tx {

namespace {

constexpr int32_t MaxPan = 127;
constexpr int32_t MaxMainVolume = 128;  // unity
constexpr int32_t MixShift = 7;         // the mix carries 128 x the 16-bit amplitude
constexpr int32_t MaxMainCutOff = 1008;
constexpr int32_t MaxMainReso = 992;

using Ld = long double;

void raiseTo(std::atomic<int32_t>& held, int32_t v) {
    int32_t cur = held.load(std::memory_order_relaxed);
    while (cur < v && !held.compare_exchange_weak(cur, v, std::memory_order_relaxed)) {
    }
}

}  // namespace

void InitVoice(TMixChan& v, const TWAVSample* sample, FrameTime start, int32_t volume, float c, float r,
               int32_t targetLength, int32_t group, int32_t pan) {
    constexpr Ld pi = std::numbers::pi_v<Ld>;
    const Ld a = Ld(std::clamp(pan, 0, MaxPan)) * pi / 254;
    v.Sample = sample;
    v.StartTime = start;
    v.Length = targetLength;
    v.TargetLength = targetLength;
    // Ties to even: the FPU's default rounding.
    v.GainLeft = int32_t(std::nearbyint(Ld(volume) * std::cos(a)));
    v.GainRight = int32_t(std::nearbyint(Ld(volume) * std::sin(a)));
    v.Group = group;
    v.Filter.Cutoff = c;
    v.Filter.Resonance = r;
    v.Filter.ClearStates();
}

void TEngine::AddVoice(const TWAVSample* sample, FrameTime start, int32_t volume, float c, float r,
                       int32_t targetLength, int32_t group, int32_t cutGroup, int32_t pan) {
    addVoice(ScopeMix, 0, sample, start, volume, c, r, targetLength, group, cutGroup, pan);
}

void TEngine::addVoice(int scope, int stem, const TWAVSample* sample, FrameTime start, int32_t volume, float c, float r,
                       int32_t targetLength, int32_t group, int32_t cutGroup, int32_t pan) {
    if (stems_) {
        stems_->AddVoice(TVoiceScope(scope), stem, MixPosition, sample, start, volume, c, r, targetLength, group,
                         cutGroup, pan);
        return;
    }
    if (!sample || FrameTime(sample->Length) + start <= MixPosition || VoiceCount >= MaxVoices) return;
    InitVoice(Voices[size_t(VoiceCount)], sample, start, volume, c, r, targetLength, group, pan);
    CutVoices(start, cutGroup);
    ++VoiceCount;
}

void TEngine::cutVoices(int scope, int stem, FrameTime start, int32_t cutGroup) {
    if (stems_)
        stems_->CutVoices(TVoiceScope(scope), stem, start, cutGroup);
    else
        CutVoices(start, cutGroup);
}

void TEngine::CutVoices(FrameTime start, int32_t cutGroup) {
    if (cutGroup == 0) return;
    if (stems_) {
        stems_->CutVoices(ScopeMix, 0, start, cutGroup);
        return;
    }
    for (int i = VoiceCount - 1; i >= 0; --i) {
        TMixChan& v = Voices[size_t(i)];
        if (v.Group == cutGroup && v.StartTime != start && start < v.StartTime + v.Length)
            v.Length = start - v.StartTime;
    }
}

void TEngine::RemoveSampleVoices(const TWAVSample* sample) {
    TLockGuard g(&EL);
    for (int i = 0; i < VoiceCount;) {
        if (Voices[size_t(i)].Sample == sample) {
            Voices[size_t(i)] = Voices[size_t(VoiceCount - 1)];
            --VoiceCount;
        } else {
            ++i;
        }
    }
}

void TEngine::ClearVoices() {
    TLockGuard g(&EL);
    VoiceCount = 0;
    if (stems_) stems_->Clear();
    // A render's last block converts only part of the mix; what it left must
    // not sound in the next block.
    std::fill(EL.MixBuffer.begin(), EL.MixBuffer.end(), 0);
}

void TEngine::MixBlock() {
    TLockGuard g(&EL);
    const FrameTime blockEnd = MixPosition + EL.BlockFrames;
    AdvanceClock();
    if (stems_)
        stems_->MixBlock(MixPosition, blockEnd, std::clamp(Loop.MainVolume.Load(), 0, MaxMainVolume),
                         EL.MixBuffer.data(), EL.BlockFrames, EL.ScratchBuffer.data(), vector_->Runner);
    else if (ScalarReference)
        mixReference(blockEnd);
    else
        mixVector(blockEnd);
    MixPosition = blockEnd;
}

void TEngine::BeginStems(const std::vector<int>& channels) {
    TLockGuard g(&EL);
    ClearVoices();
    stems_ = std::make_unique<TStemMixer>(channels, Loop.ChannelCount(), EL.BlockFrames, rng_);
    // Every stem's master filter starts from rest with the mix's settings.
    for (int k = 1; k <= stems_->Count(); ++k) {
        FilterState& f = stems_->MasterFilter(k);
        f = MasterFilter;
        f.ClearStates();
    }
}

void TEngine::EndStems() {
    TLockGuard g(&EL);
    stems_.reset();
    VoiceCount = 0;
}

// The voice loop as the mixing rules state it, one voice after the other.
void TEngine::mixReference(FrameTime blockEnd) {
    int32_t* mixBuf = EL.MixBuffer.data();
    int16_t* scratch = EL.ScratchBuffer.data();
    const int64_t mainVolume = std::clamp(Loop.MainVolume.Load(), 0, MaxMainVolume);

    for (int i = 0; i < VoiceCount;) {
        TMixChan& v = Voices[size_t(i)];
        if (blockEnd <= v.StartTime) {
            ++i;
            continue;
        }
        FrameTime off = MixPosition - v.StartTime;
        if (off < v.Length && v.Length >= 1) {
            FrameTime skip = 0;
            if (off < 0) {
                skip = -off;
                off = 0;
            }
            const auto n = int32_t(std::min(v.Length - off, blockEnd - MixPosition - skip));
            const TWAVSample& s = *v.Sample;
            // Frames really present, in case a sample's lengths disagree with its data.
            const int64_t have = std::min<int64_t>(s.Length, int64_t(s.Data.size() / 2));
            const int64_t playLength = std::min<int64_t>(s.PlayLength, have);
            const int16_t* src = nullptr;
            if (s.PlayLength != v.TargetLength) {
                if (playLength > 0) {
                    mix::Resample(s.Data.data(), playLength, v.TargetLength, off, n, scratch);
                    src = scratch;
                }
            } else if (off + n <= have) {
                src = s.Data.data() + off * 2;
            }
            if (src) {
                int32_t* dst = mixBuf + skip * 2;
                FilterState& f = v.Filter;
                if (f.IsOpen()) {
                    const int64_t gL = mainVolume * v.GainLeft, gR = mainVolume * v.GainRight;
                    if (gL + gR != 0) mix::MixIntegerScalar(dst, src, n, gL, gR);
                } else {
                    mix::FilterSide<TFilterReal> L{f.PosLeft, f.VelLeft}, R{f.PosRight, f.VelRight};
                    mix::MixFiltered<TFilterReal>(dst, src, n, double(mainVolume * v.GainLeft) / 65536,
                                                  double(mainVolume * v.GainRight) / 65536, f.Cutoff, f.Resonance, L,
                                                  R);
                    f.PosLeft = std::nearbyint(L.pos);
                    f.VelLeft = L.vel;
                    f.PosRight = std::nearbyint(R.pos);
                    f.VelRight = R.vel;
                }
            }
        }
        if (blockEnd >= v.StartTime + v.Length) {
            v = Voices[size_t(VoiceCount - 1)];
            --VoiceCount;
        } else {
            ++i;
        }
    }
}

// The same loop planned first (voices leave the pool in the same order), then
// mixed by the vector runner. A voice that ends in this block takes its
// filter state along in the plan; one that stays keeps its slot for the rest
// of the block, so the plan can point at it.
void TEngine::mixVector(FrameTime blockEnd) {
    TVectorMix& vm = *vector_;
    const int64_t mainVolume = std::clamp(Loop.MainVolume.Load(), 0, MaxMainVolume);
    int planned = 0;
    for (int i = 0; i < VoiceCount;) {
        TMixChan& v = Voices[size_t(i)];
        if (blockEnd <= v.StartTime) {
            ++i;
            continue;
        }
        const bool ends = blockEnd >= v.StartTime + v.Length;
        if (PlanVoice(v, v.Length, MixPosition, blockEnd, mainVolume, ends ? nullptr : &v.Filter,
                      vm.Work[size_t(planned)]))
            ++planned;
        if (ends) {
            v = Voices[size_t(VoiceCount - 1)];
            --VoiceCount;
        } else {
            ++i;
        }
    }
    vm.Runner.Run(vm.Work.data(), planned, EL.MixBuffer.data(), EL.BlockFrames, EL.ScratchBuffer.data());
}

void TEngine::ConvertBlock(int32_t fromFrame, int16_t* out, int32_t scopeOffset, int32_t byteCount) {
    TLockGuard g(&EL);
    const int32_t blockFrames = EL.BlockFrames;
    if (fromFrame < 0 || fromFrame >= blockFrames || byteCount <= 0 || !out) return;
    const int32_t count = std::min(byteCount / 4, blockFrames - fromFrame);
    int32_t* mixBuf = EL.MixBuffer.data() + size_t(fromFrame) * 2;
    const bool scope = ScopeButton.load(std::memory_order_relaxed) && scopeOffset != NoScope;
    int32_t peakLeft = 0, peakRight = 0;
    convert(mixBuf, MasterFilter, out, count, scope ? &peakLeft : nullptr, &peakRight);

    if (Plugin && Plugin->Active()) Plugin->ProcessBlock(out, count);

    if (scope) {
        if (!ScopeFilled.load(std::memory_order_acquire)) {
            auto& data = EL.ScopeSample.Data;
            if (scopeOffset >= 0) {
                const size_t at = size_t(scopeOffset / 2);
                const size_t values = std::min(size_t(count) * 2, data.size() > at ? data.size() - at : 0);
                if (values) std::memcpy(data.data() + at, out, values * sizeof(int16_t));
            }
            ScopeFilled.store(true, std::memory_order_release);
        }
        raiseTo(PeakLeft, peakLeft);
        raiseTo(PeakRight, peakRight);
    }
}

// The master filter, the scope's peaks when asked for, and the 16-bit output.
void TEngine::convert(int32_t* mixBuf, FilterState& mf, int16_t* out, int32_t count, int32_t* peakLeft,
                      int32_t* peakRight) {
    const bool surround = surround_.load(std::memory_order_relaxed);
    // One chain of dependent sums, so there is nothing to run side by side:
    // both paths use the scalar loop.
    if (!mf.IsOpen()) {
        mix::FilterSide<TFilterReal> L{mf.PosLeft, mf.VelLeft}, R{mf.PosRight, mf.VelRight};
        mix::FilterInPlace<TFilterReal>(mixBuf, count, mf.Cutoff, mf.Resonance, L, R);
        mf.PosLeft = std::nearbyint(L.pos);
        mf.VelLeft = L.vel;
        mf.PosRight = std::nearbyint(R.pos);
        mf.VelRight = R.vel;
    }

    if (peakLeft) {
        int32_t lowL = 0, highL = 0, lowR = 0, highR = 0;
        if (ScalarReference) {
            for (int32_t k = 0; k < count; ++k) {
                lowL = std::min(lowL, mixBuf[2 * k]);
                highL = std::max(highL, mixBuf[2 * k]);
                lowR = std::min(lowR, mixBuf[2 * k + 1]);
                highR = std::max(highR, mixBuf[2 * k + 1]);
            }
        } else {
            mix::PeaksVector(mixBuf, count, lowL, highL, lowR, highR);
        }
        *peakLeft = std::max(-(lowL >> MixShift), highL >> MixShift);
        *peakRight = std::max(-(lowR >> MixShift), highR >> MixShift);
    }

    if (ScalarReference) {
        for (int32_t k = 0; k < count; ++k) {
            const int64_t l = int64_t(mixBuf[2 * k]) >> MixShift;
            const int64_t rv = int64_t(mixBuf[2 * k + 1]);
            const int64_t r = (surround ? -rv : rv) >> MixShift;
            out[2 * k] = int16_t(std::clamp<int64_t>(l, -32768, 32767));
            out[2 * k + 1] = int16_t(std::clamp<int64_t>(r, -32768, 32767));
            mixBuf[2 * k] = 0;
            mixBuf[2 * k + 1] = 0;
        }
    } else {
        mix::ConvertVector(mixBuf, out, count, surround);
    }
}

void TEngine::ConvertStem(int stem, int16_t* out, int32_t byteCount) {
    TLockGuard g(&EL);
    if (!stems_ || stem < 1 || stem > stems_->Count() || byteCount <= 0 || !out) return;
    const int32_t count = std::min(byteCount / 4, EL.BlockFrames);
    FilterState& mf = stems_->MasterFilter(stem);
    mf.Cutoff = MasterFilter.Cutoff;
    mf.Resonance = MasterFilter.Resonance;
    // Most stems are silent most of the time: zeros through a filter at rest
    // stay zeros.
    const bool rest = mf.PosLeft == 0 && mf.VelLeft == 0 && mf.PosRight == 0 && mf.VelRight == 0;
    if (stems_->Silent(stem) && (mf.IsOpen() || rest)) {
        std::memset(out, 0, size_t(count) * 4);
        return;
    }
    convert(stems_->Buffer(stem), mf, out, count, nullptr, nullptr);
}

void TEngine::SetMainCutOff(int position) {
    position = std::clamp(position, 0, MaxMainCutOff);
    constexpr Ld pi = std::numbers::pi_v<Ld>;
    TLockGuard g(&EL);
    Loop.MainCutOff = position;
    MasterFilter.Cutoff = position == MaxMainCutOff ? 1.0f : float(1 - std::cos((position + 16) * pi / 2048));
}

void TEngine::SetMainResonance(int position) {
    position = std::clamp(position, 0, MaxMainReso);
    constexpr Ld pi = std::numbers::pi_v<Ld>;
    TLockGuard g(&EL);
    Loop.MainResonance = position;
    MasterFilter.Resonance = position == MaxMainReso ? 0.0f : float(std::cos((position + 32) * pi / 2048));
}

}  // namespace tx
