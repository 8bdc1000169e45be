#pragma once
// The mixer's vector kernels, compiled for several instruction sets and chosen
// at run time for the processor (so one binary runs on any x86-64 and uses
// AVX2 or AVX-512 where present). Each gives exactly the values of its scalar
// counterpart in MixKernels.h, which stays the reference. Pure functions: any
// thread, no allocation.
#include <cstdint>
#include <string>
#include <vector>

namespace tx::mix {

// The instruction set the kernels run on ("AVX3", "AVX2", "SSE4", ...).
const char* VectorTarget();
// The instruction sets compiled in that this processor can run, best first.
std::vector<std::string> VectorTargets();
// Makes the kernels use the named set (empty: the best again); for tests and
// benchmarks. False when this processor cannot run it.
bool UseVectorTarget(const std::string& name);

// MixIntegerScalar: mix += (x x 65536 x g) shr 32 with saturation, n frames.
void MixIntegerVector(int32_t* mix, const int16_t* src, int32_t n, int64_t gL, int64_t gR);
// The store of the filtered path: mix = RoundSaturate32(mix + y) for n
// frames, frame k's two products pos x g at y + k x stride.
void AccumulateVector(int32_t* mix, const double* y, int32_t n, int32_t stride = 2);
// The conversion of ConvertBlock: 16-bit output (right negated for Surround),
// clipped, and the mix cleared.
void ConvertVector(int32_t* mix, int16_t* out, int32_t count, bool surround);
// The scope's extremes: lowest below 0 and highest above 0 per side.
void PeaksVector(const int32_t* mix, int32_t count, int32_t& lowL, int32_t& highL, int32_t& lowR, int32_t& highR);

// Filtered voices run the recurrence of MixFiltered side by side: each voice
// is one independent chain, so several of them fill the vector lanes and hide
// each other's latency. Lanes are (voice, side) pairs, left then right.
constexpr int MaxFilterBatch = 32;
constexpr int FilterRowValues = 2 * MaxFilterBatch;  // int16 values per frame of staged input
struct alignas(64) TFilterLanes {
    double Pos[FilterRowValues];
    double Vel[FilterRowValues];
    double Cut[FilterRowValues];
    double Reso[FilterRowValues];
    double Gain[FilterRowValues];
};
// Voices per batch on the chosen instruction set (up to MaxFilterBatch).
int FilterBatchSize();
// Runs `frames` frames of `voices` voices. Rows of FilterRowValues values per
// frame: staged[k x FilterRowValues + 2j] holds voice j's left and right
// input of frame k, and out (64-byte aligned) receives its products pos x
// gain at the same places. The states in `lanes` advance; lanes beyond the
// voices, in `lanes` and in `staged`, must be zero.
void FilterBatchVector(const int16_t* staged, int32_t frames, int32_t voices, TFilterLanes& lanes, double* out);

}  // namespace tx::mix
