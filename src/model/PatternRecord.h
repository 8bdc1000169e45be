#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tx {

constexpr int StepsPerPattern = 16;
constexpr int PatternCount = 1000;  // records 0..999; 0 is the silence of empty playlist bars
constexpr int MaxPattern = 999;

// The seven per-step rows, in record order.
enum StepRow : int { RowPan = 0, RowVolume, RowPitch, RowMix, RowReso, RowCutoff, RowNote, StepRowCount };

struct StepParam {
    uint8_t Maximum;
    uint8_t Default;
    bool Centre;
    uint8_t Red, Green, Blue;
};

inline constexpr std::array<StepParam, StepRowCount> StepParamTable = {{
    {127, 64, true, 109, 124, 137},    // StepPan
    {127, 100, false, 137, 109, 123},  // StepVolume
    {240, 120, true, 109, 137, 117},   // StepPitch
    {127, 0, false, 137, 120, 109},    // StepMix
    {127, 0, false, 121, 153, 89},     // StepReso
    {127, 0, false, 153, 121, 89},     // StepCutoff
    {127, 60, false, 0, 0, 0},         // StepNote
}};

// One channel's steps of one pattern: a 16-bit on/off mask and seven rows of
// per-step values that survive a step being switched off.
//
// Threads: a single step bit or value is changed without the engine lock
// while the mixer plays this record, so GetStep/SetStep and Value/SetValue are
// relaxed atomic accesses (whole aligned bytes and the 16-bit mask). The
// playback threads read only through them. Changes of whole records (paste,
// shift, reset) are made under the engine lock.
struct PatternRecord {
    uint16_t StepMask = 0;
    std::array<std::array<uint8_t, StepsPerPattern>, StepRowCount> Rows{};

    PatternRecord() { Reset(); }

    void Reset() {
        StepMask = 0;
        for (int r = 0; r < StepRowCount; ++r) Rows[r].fill(StepParamTable[r].Default);
    }
    bool IsReset() const {
        if (StepMask != 0) return false;
        for (int r = 0; r < StepRowCount; ++r)
            for (uint8_t v : Rows[r])
                if (v != StepParamTable[r].Default) return false;
        return true;
    }
    uint16_t Mask() const { return load(StepMask); }
    bool GetStep(int s) const { return (Mask() >> s) & 1u; }
    // Only the window thread writes, so reading the mask back is not a race.
    void SetStep(int s, bool on) {
        const uint16_t m = load(StepMask);
        store(StepMask, on ? uint16_t(m | (1u << s)) : uint16_t(m & ~(1u << s)));
    }
    uint8_t Value(int row, int s) const { return load(Rows[size_t(row)][size_t(s)]); }
    void SetValue(int row, int s, uint8_t v) { store(Rows[size_t(row)][size_t(s)], v); }

    std::array<uint8_t, StepsPerPattern>& StepPan() { return Rows[RowPan]; }
    std::array<uint8_t, StepsPerPattern>& StepVolume() { return Rows[RowVolume]; }
    std::array<uint8_t, StepsPerPattern>& StepPitch() { return Rows[RowPitch]; }
    std::array<uint8_t, StepsPerPattern>& StepMix() { return Rows[RowMix]; }
    std::array<uint8_t, StepsPerPattern>& StepReso() { return Rows[RowReso]; }
    std::array<uint8_t, StepsPerPattern>& StepCutoff() { return Rows[RowCutoff]; }
    std::array<uint8_t, StepsPerPattern>& StepNote() { return Rows[RowNote]; }
    const std::array<uint8_t, StepsPerPattern>& StepPan() const { return Rows[RowPan]; }
    const std::array<uint8_t, StepsPerPattern>& StepVolume() const { return Rows[RowVolume]; }
    const std::array<uint8_t, StepsPerPattern>& StepPitch() const { return Rows[RowPitch]; }
    const std::array<uint8_t, StepsPerPattern>& StepMix() const { return Rows[RowMix]; }
    const std::array<uint8_t, StepsPerPattern>& StepReso() const { return Rows[RowReso]; }
    const std::array<uint8_t, StepsPerPattern>& StepCutoff() const { return Rows[RowCutoff]; }
    const std::array<uint8_t, StepsPerPattern>& StepNote() const { return Rows[RowNote]; }

    bool operator==(const PatternRecord&) const = default;

private:
    template <typename T>
    static T load(const T& v) {
        // atomic_ref has no const form in C++20; a load never writes.
        return std::atomic_ref<T>(const_cast<T&>(v)).load(std::memory_order_relaxed);
    }
    template <typename T>
    static void store(T& v, T x) {
        std::atomic_ref<T>(v).store(x, std::memory_order_relaxed);
    }
};

}  // namespace tx
