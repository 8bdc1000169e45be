#pragma once
// Stems in one pass of the clock. While a stem render runs, the engine keeps
// its voices here instead of in TEngine::Voices. Each voice is started once;
// it belongs to the mix and to the stem of the channel whose step started it.
// The mix and every stem keep their own pool of up to 512 voices with the pool
// rules (slot order, the 513th turned away, cuts, random choices), so each
// stem mixes into its own buffer exactly what a render with every other
// channel muted would mix, and the mix stays exactly the plain render.
// Render thread only, engine lock held.
#include <cstdint>
#include <vector>

#include "engine/Engine.h"
#include "engine/MixWork.h"

namespace tx {

// Which pools a voice or a cut applies to.
enum TVoiceScope : uint8_t { ScopeMix = 1, ScopeStem = 2, ScopeBoth = 3 };

class TStemMixer {
public:
    // `stemChannels`: the channels that get a stem, in order (stem k, from 1,
    // is stemChannels[k - 1]); `random` is the engine's random state, which
    // every stem starts from as a render of its own would.
    TStemMixer(const std::vector<int>& stemChannels, int channelCount, int32_t blockFrames, uint64_t random);

    int Count() const { return int(pools_.size()) - 1; }  // stems, not counting the mix
    int StemOf(int channel) const;                        // 0 when the channel has none
    uint64_t& Random(int stem) { return pools_[size_t(stem)].Random; }

    void AddVoice(TVoiceScope scope, int stem, FrameTime mixPosition, const TWAVSample* sample, FrameTime start,
                  int32_t volume, float c, float r, int32_t targetLength, int32_t group, int32_t cutGroup, int32_t pan);
    void CutVoices(TVoiceScope scope, int stem, FrameTime start, int32_t cutGroup);
    void Clear();
    int VoiceCount(int pool) const { return pools_[size_t(pool)].Count; }

    // Mixes the block into the mix buffer (pool 0) and each stem's buffer.
    void MixBlock(FrameTime mixPosition, FrameTime blockEnd, int64_t mainVolume, int32_t* mix, int32_t blockFrames,
                  int16_t* scratch, TMixRunner& runner);
    int32_t* Buffer(int stem) { return pools_[size_t(stem)].Buffer.data(); }
    // True when nothing was mixed into the stem's buffer this block, so it
    // still holds the zeros its last conversion left.
    bool Silent(int stem) const { return pools_[size_t(stem)].Planned == 0; }
    FilterState& MasterFilter(int stem) { return pools_[size_t(stem)].Master; }
    // The latest end of a pool's voices, at least `end` ("Leave remainder").
    FrameTime LatestEnd(int pool, FrameTime end) const;
    // A finished output's pool lets its voices go and is no longer mixed.
    void Retire(int pool);

private:
    struct TVoice {
        TMixChan V;            // V.Length is the voice's length in the mix
        FrameTime StemLength;  // its length in its stem, shortened only by that stem's cuts
        uint8_t In;            // the pools it is still in (TVoiceScope bits)
    };
    struct TPool {
        std::vector<int> Slots;  // voice indices, in pool order
        int Count = 0;
        std::vector<int32_t> Buffer;  // a stem's mix buffer (the mix uses the engine's)
        FilterState Master;           // a stem's own master filter states
        uint64_t Random = 0;
        bool Retired = false;        // never again mixed, nor given voices
        int First = 0, Planned = 0;  // this block's plan in work_
    };
    FrameTime& lengthIn(TVoice& v, int pool) { return pool == 0 ? v.V.Length : v.StemLength; }
    FrameTime lengthIn(const TVoice& v, int pool) const { return pool == 0 ? v.V.Length : v.StemLength; }
    void cutPool(int pool, FrameTime start, int32_t cutGroup);
    void leave(int voice, int pool);

    std::vector<int> stemOfChannel_;
    std::vector<TPool> pools_;  // 0 the mix, then the stems
    std::vector<TVoice> voices_;
    std::vector<int> free_;
    std::vector<TMixWork> work_;
};

}  // namespace tx
