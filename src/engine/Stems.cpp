#include "engine/Stems.h"

#include <algorithm>

namespace tx {

TStemMixer::TStemMixer(const std::vector<int>& stemChannels, int channelCount, int32_t blockFrames, uint64_t random)
    : stemOfChannel_(size_t(std::max(channelCount, 0)), 0), pools_(stemChannels.size() + 1) {
    for (size_t k = 0; k < stemChannels.size(); ++k) {
        const int c = stemChannels[k];
        if (c >= 0 && c < channelCount) stemOfChannel_[size_t(c)] = int(k) + 1;
    }
    for (size_t p = 0; p < pools_.size(); ++p) {
        TPool& pool = pools_[p];
        pool.Slots.assign(MaxVoices, 0);
        if (p > 0) pool.Buffer.assign(size_t(blockFrames) * 2, 0);
        pool.Random = random;
    }
    // Every pool may hold 512 voices of its own (a stem keeps voices the full
    // mix turned away), so storage and plans are sized for all of them.
    voices_.resize(pools_.size() * MaxVoices);
    work_.resize(voices_.size());
    free_.reserve(voices_.size());
    for (int i = int(voices_.size()) - 1; i >= 0; --i) free_.push_back(i);
}

int TStemMixer::StemOf(int channel) const {
    return channel >= 0 && channel < int(stemOfChannel_.size()) ? stemOfChannel_[size_t(channel)] : 0;
}

void TStemMixer::cutPool(int pool, FrameTime start, int32_t cutGroup) {
    const TPool& p = pools_[size_t(pool)];
    for (int i = p.Count - 1; i >= 0; --i) {
        TVoice& v = voices_[size_t(p.Slots[size_t(i)])];
        FrameTime& length = lengthIn(v, pool);
        if (v.V.Group == cutGroup && v.V.StartTime != start && start < v.V.StartTime + length)
            length = start - v.V.StartTime;
    }
}

void TStemMixer::CutVoices(TVoiceScope scope, int stem, FrameTime start, int32_t cutGroup) {
    if (cutGroup == 0) return;
    if (scope & ScopeMix) cutPool(0, start, cutGroup);
    if ((scope & ScopeStem) && stem > 0) cutPool(stem, start, cutGroup);
}

void TStemMixer::AddVoice(TVoiceScope scope, int stem, FrameTime mixPosition, const TWAVSample* sample, FrameTime start,
                          int32_t volume, float c, float r, int32_t targetLength, int32_t group, int32_t cutGroup,
                          int32_t pan) {
    if (!sample || FrameTime(sample->Length) + start <= mixPosition) return;
    // A full pool turns the voice away, and then its cut does not happen there either.
    const bool inMix = (scope & ScopeMix) && !pools_[0].Retired && pools_[0].Count < MaxVoices;
    const bool inStem =
        (scope & ScopeStem) && stem > 0 && !pools_[size_t(stem)].Retired && pools_[size_t(stem)].Count < MaxVoices;
    if (inMix) CutVoices(ScopeMix, 0, start, cutGroup);
    if (inStem) CutVoices(ScopeStem, stem, start, cutGroup);
    if ((!inMix && !inStem) || free_.empty()) return;
    const int index = free_.back();
    free_.pop_back();
    TVoice& v = voices_[size_t(index)];
    InitVoice(v.V, sample, start, volume, c, r, targetLength, group, pan);
    v.StemLength = targetLength;
    v.In = uint8_t((inMix ? ScopeMix : 0) | (inStem ? ScopeStem : 0));
    if (inMix) pools_[0].Slots[size_t(pools_[0].Count++)] = index;
    if (inStem) pools_[size_t(stem)].Slots[size_t(pools_[size_t(stem)].Count++)] = index;
}

void TStemMixer::leave(int voice, int pool) {
    TVoice& v = voices_[size_t(voice)];
    v.In = uint8_t(v.In & ~(pool == 0 ? ScopeMix : ScopeStem));
    if (v.In == 0) free_.push_back(voice);
}

void TStemMixer::Retire(int pool) {
    TPool& p = pools_[size_t(pool)];
    for (int i = 0; i < p.Count; ++i) leave(p.Slots[size_t(i)], pool);
    p.Count = 0;
    p.Retired = true;
}

void TStemMixer::Clear() {
    for (TPool& p : pools_) {
        p.Count = 0;
        std::fill(p.Buffer.begin(), p.Buffer.end(), 0);
        p.Master.ClearStates();
    }
    free_.clear();
    for (int i = int(voices_.size()) - 1; i >= 0; --i) free_.push_back(i);
}

FrameTime TStemMixer::LatestEnd(int pool, FrameTime end) const {
    const TPool& p = pools_[size_t(pool)];
    for (int i = 0; i < p.Count; ++i) {
        const TVoice& v = voices_[size_t(p.Slots[size_t(i)])];
        end = std::max(end, v.V.StartTime + lengthIn(v, pool));
    }
    return end;
}

// Every pool is planned before any is mixed: a voice in two pools then starts
// the block from the same filter state in both, and both leave the same state
// when it goes on (they mix the same frames of it).
void TStemMixer::MixBlock(FrameTime mixPosition, FrameTime blockEnd, int64_t mainVolume, int32_t* mix,
                          int32_t blockFrames, int16_t* scratch, TMixRunner& runner) {
    int planned = 0;
    for (size_t pool = 0; pool < pools_.size(); ++pool) {
        TPool& p = pools_[pool];
        p.First = planned;
        for (int i = 0; i < p.Count;) {
            const int index = p.Slots[size_t(i)];
            TVoice& v = voices_[size_t(index)];
            const FrameTime length = lengthIn(v, int(pool));
            if (blockEnd <= v.V.StartTime) {
                ++i;
                continue;
            }
            const bool ends = blockEnd >= v.V.StartTime + length;
            if (PlanVoice(v.V, length, mixPosition, blockEnd, mainVolume, ends ? nullptr : &v.V.Filter,
                          work_[size_t(planned)]))
                ++planned;
            if (ends) {
                p.Slots[size_t(i)] = p.Slots[size_t(--p.Count)];
                leave(index, int(pool));
            } else {
                ++i;
            }
        }
        p.Planned = planned - p.First;
    }
    for (size_t pool = 0; pool < pools_.size(); ++pool) {
        const TPool& p = pools_[pool];
        if (p.Planned > 0)
            runner.Run(work_.data() + p.First, p.Planned, pool == 0 ? mix : pools_[pool].Buffer.data(), blockFrames,
                       scratch);
    }
}

}  // namespace tx
