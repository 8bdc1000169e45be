#include "engine/MixWork.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/MixVector.h"

namespace tx {

namespace {

// Frames per piece of a batch: the staged input (256 x 128 bytes) and the
// products (256 x 512 bytes) stay in the second-level cache.
constexpr int32_t PieceFrames = 256;

bool batchable(const TMixWork& w, int32_t blockFrames) { return w.Filtered && w.Skip == 0 && w.N == blockFrames; }

}  // namespace

struct TMixRunner::TSpace {
    mix::TFilterLanes Lanes;
    alignas(64) int16_t Staged[PieceFrames * mix::FilterRowValues];
    alignas(64) double Products[PieceFrames * mix::FilterRowValues];
    int Members[mix::MaxFilterBatch];  // work indices of the batch's voices
};

TMixRunner::TMixRunner() : space_(std::make_unique<TSpace>()) {}
TMixRunner::~TMixRunner() = default;

bool PlanVoice(const TMixChan& v, FrameTime length, FrameTime mixPosition, FrameTime blockEnd, int64_t mainVolume,
               FilterState* keep, TMixWork& w) {
    if (blockEnd <= v.StartTime) return false;
    FrameTime off = mixPosition - v.StartTime;
    if (!(off < length && length >= 1)) return false;
    FrameTime skip = 0;
    if (off < 0) {
        skip = -off;
        off = 0;
    }
    const auto n = int32_t(std::min(length - off, blockEnd - mixPosition - skip));
    const TWAVSample& s = *v.Sample;
    // Frames really present, in case a sample's lengths disagree with its data.
    const int64_t have = std::min<int64_t>(s.Length, int64_t(s.Data.size() / 2));
    const int64_t playLength = std::min<int64_t>(s.PlayLength, have);
    if (s.PlayLength != v.TargetLength) {
        if (playLength <= 0) return false;
        w.Direct = nullptr;
        w.Data = s.Data.data();
        w.Walk.Start(playLength, v.TargetLength, off);
    } else if (off + n <= have) {
        w.Direct = s.Data.data() + off * 2;
    } else {
        return false;
    }
    w.Skip = int32_t(skip);
    w.N = n;
    const FilterState& f = v.Filter;
    w.Filtered = !f.IsOpen();
    if (w.Filtered) {
        w.FGainL = double(mainVolume * v.GainLeft) / 65536;
        w.FGainR = double(mainVolume * v.GainRight) / 65536;
        w.Cut = f.Cutoff;
        w.Reso = f.Resonance;
        w.L = {f.PosLeft, f.VelLeft};
        w.R = {f.PosRight, f.VelRight};
        w.Keep = keep;
    } else {
        w.GainL = mainVolume * v.GainLeft;
        w.GainR = mainVolume * v.GainRight;
        if (w.GainL + w.GainR == 0) return false;
        w.Keep = nullptr;
    }
    return true;
}

// Mixes the part of w that falls in mix frames [from, to). Pieces of one
// voice come in order, so a resampling walk simply goes on.
void TMixRunner::applyRange(TMixWork& w, int32_t from, int32_t to, int32_t* mix, int16_t* scratch) {
    const int32_t a = std::max(from, w.Skip), b = std::min(to, w.Skip + w.N);
    if (a >= b) return;
    const int16_t* src;
    if (w.Direct) {
        src = w.Direct + size_t(a - w.Skip) * 2;
    } else {
        w.Walk.Run(w.Data, b - a, scratch, 2);
        src = scratch;
    }
    int32_t* dst = mix + size_t(a) * 2;
    if (w.Filtered)
        mix::MixFiltered<TFilterReal>(dst, src, b - a, w.FGainL, w.FGainR, w.Cut, w.Reso, w.L, w.R);
    else
        mix::MixIntegerVector(dst, src, b - a, w.GainL, w.GainR);
}

// Work [first, end) holds two or more whole-block filtered voices: their
// filters run side by side piece by piece, and after each piece every item of
// the range adds that piece in list order.
void TMixRunner::runBatch(TMixWork* work, int first, int end, int32_t* mix, int32_t blockFrames, int16_t* scratch) {
    TSpace& sp = *space_;
    int voices = 0;
    for (int i = first; i < end; ++i)
        if (batchable(work[i], blockFrames)) sp.Members[voices++] = i;
    std::memset(&sp.Lanes, 0, sizeof sp.Lanes);
    for (int j = 0; j < voices; ++j) {
        const TMixWork& w = work[sp.Members[j]];
        sp.Lanes.Pos[2 * j] = w.L.pos;
        sp.Lanes.Vel[2 * j] = w.L.vel;
        sp.Lanes.Pos[2 * j + 1] = w.R.pos;
        sp.Lanes.Vel[2 * j + 1] = w.R.vel;
        sp.Lanes.Cut[2 * j] = sp.Lanes.Cut[2 * j + 1] = double(w.Cut);
        sp.Lanes.Reso[2 * j] = sp.Lanes.Reso[2 * j + 1] = double(w.Reso);
        sp.Lanes.Gain[2 * j] = w.FGainL;
        sp.Lanes.Gain[2 * j + 1] = w.FGainR;
    }
    // Lanes past the last voice read zeros.
    for (int32_t k = 0; k < PieceFrames; ++k)
        std::memset(sp.Staged + size_t(k) * mix::FilterRowValues + 2 * voices, 0,
                    sizeof(int16_t) * size_t(mix::FilterRowValues - 2 * voices));
    for (int32_t from = 0; from < blockFrames; from += PieceFrames) {
        const int32_t frames = std::min(PieceFrames, blockFrames - from);
        for (int j = 0; j < voices; ++j) {
            TMixWork& w = work[sp.Members[j]];
            int16_t* col = sp.Staged + 2 * j;
            if (w.Direct) {
                const int16_t* src = w.Direct + size_t(from) * 2;
                for (int32_t k = 0; k < frames; ++k)
                    std::memcpy(col + size_t(k) * mix::FilterRowValues, src + 2 * size_t(k), 4);
            } else {
                w.Walk.Run(w.Data, frames, col, mix::FilterRowValues);
            }
        }
        mix::FilterBatchVector(sp.Staged, frames, voices, sp.Lanes, sp.Products);
        int member = 0;
        for (int i = first; i < end; ++i) {
            if (member < voices && sp.Members[member] == i)
                mix::AccumulateVector(mix + size_t(from) * 2, sp.Products + 2 * member++, frames, mix::FilterRowValues);
            else
                applyRange(work[i], from, from + frames, mix, scratch);
        }
    }
    for (int j = 0; j < voices; ++j) {
        TMixWork& w = work[sp.Members[j]];
        w.L = {sp.Lanes.Pos[2 * j], sp.Lanes.Vel[2 * j]};
        w.R = {sp.Lanes.Pos[2 * j + 1], sp.Lanes.Vel[2 * j + 1]};
    }
}

void TMixRunner::Run(TMixWork* work, int count, int32_t* mix, int32_t blockFrames, int16_t* scratch) {
    const int batchSize = mix::FilterBatchSize();
    for (int first = 0; first < count;) {
        // Up to a full batch of whole-block filtered voices and what lies between them.
        int end = first, members = 0;
        while (end < count && members < batchSize) members += batchable(work[end++], blockFrames);
        if (members >= 2) {
            runBatch(work, first, end, mix, blockFrames, scratch);
        } else {
            for (int i = first; i < end; ++i) applyRange(work[i], 0, blockFrames, mix, scratch);
        }
        first = end;
    }
    for (int i = 0; i < count; ++i) {
        const TMixWork& w = work[i];
        if (!w.Filtered || !w.Keep) continue;
        // The position states are rounded at the end of each block.
        w.Keep->PosLeft = std::nearbyint(w.L.pos);
        w.Keep->VelLeft = w.L.vel;
        w.Keep->PosRight = std::nearbyint(w.R.pos);
        w.Keep->VelRight = w.R.vel;
    }
}

}  // namespace tx
