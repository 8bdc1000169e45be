#include "engine/KeyAudition.h"

#include <algorithm>
#include <cstdint>

#include "engine/Engine.h"

namespace tx {

void PlayChannelKey(TEngine& engine, int channel, int step, int key) {
    TLoop& loop = engine.Loop;
    if (channel < 0 || channel >= loop.ChannelCount() || step < 0 || step >= StepsPerPattern) return;
    const TChannel& ch = loop.Channel(channel);
    if (!ch.Sample.HasData()) return;
    // 12700 is channel volume 100 at step volume 127; 65536 is full.
    const int64_t product =
        int64_t(std::clamp<int32_t>(ch.Volume, 0, 127)) * ch.Pattern(loop.CurrentPattern).Value(RowVolume, step);
    const auto volume = int32_t(std::min<int64_t>(12700, product) * 65536 / 12700);
    const int32_t cents = (std::clamp(key, 0, 127) - std::clamp<int32_t>(ch.MiddleNote, 0, 127)) * 100;
    TLockGuard g(&engine.EL);
    // Group 0: the audition cuts nothing and nothing cuts it.
    engine.AddVoice(&ch.Sample, engine.MixPosition, volume, 1.0f, 0.0f,
                    TEngine::PitchLength(ch.Sample.PlayLength, cents), 0, 0, std::clamp<int32_t>(ch.Pan, 0, 127));
}

}  // namespace tx
