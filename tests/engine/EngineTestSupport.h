#pragma once
// Helpers for the engine tests: an engine over a fresh loop, hand-built
// samples and a block-by-block render of the live path.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/Engine.h"
#include "engine/EngineLock.h"
#include "model/Loop.h"
#include "model/Settings.h"

namespace txtest {

// A sample of n frames whose frame i is (left(i), right(i)); PlayLength = n.
inline void FillSample(tx::TWAVSample& s, int32_t n, const std::function<int16_t(int32_t)>& left,
                       const std::function<int16_t(int32_t)>& right) {
    s.Data.resize(size_t(n) * 2);
    for (int32_t i = 0; i < n; ++i) {
        s.Data[size_t(i) * 2] = left(i);
        s.Data[size_t(i) * 2 + 1] = right(i);
    }
    s.Length = n;
    s.PlayLength = n;
}

inline void FillConstant(tx::TWAVSample& s, int32_t n, int16_t l, int16_t r) {
    FillSample(
        s, n, [l](int32_t) { return l; }, [r](int32_t) { return r; });
}

struct EngineRig {
    explicit EngineRig(int32_t blockFrames = 576) {
        loop.SetEngineLock(&lock);
        lock.SetBufferLength(blockFrames);
        engine = std::make_unique<tx::TEngine>(loop, lock, settings);
    }

    // Mixes and converts `blocks` whole blocks, returning interleaved frames.
    std::vector<int16_t> Run(int blocks) {
        std::vector<int16_t> out;
        std::vector<int16_t> block(size_t(lock.BlockFrames) * 2);
        for (int b = 0; b < blocks; ++b) {
            engine->MixBlock();
            engine->ConvertBlock(0, block.data(), tx::NoScope, lock.BlockFrames * 4);
            out.insert(out.end(), block.begin(), block.end());
        }
        return out;
    }

    // Mixes until at least `frames` frames are produced; returns exactly that many.
    std::vector<int16_t> RunFrames(int64_t frames) {
        int blocks = int((frames + lock.BlockFrames - 1) / lock.BlockFrames);
        auto out = Run(blocks);
        out.resize(size_t(frames) * 2);
        return out;
    }

    // A step on in channel ch of pattern p with the given volume (others at defaults).
    void SetStep(int ch, int p, int step, uint8_t volume = 127) {
        auto& rec = loop.Channel(ch).Pattern(p);
        rec.SetStep(step, true);
        rec.StepVolume()[size_t(step)] = volume;
    }

    tx::TLoop loop;
    tx::TEngineLock lock;
    tx::TSettings settings;
    std::unique_ptr<tx::TEngine> engine;
};

inline int16_t LeftAt(const std::vector<int16_t>& v, int64_t frame) { return v[size_t(frame) * 2]; }
inline int16_t RightAt(const std::vector<int16_t>& v, int64_t frame) { return v[size_t(frame) * 2 + 1]; }

}  // namespace txtest
