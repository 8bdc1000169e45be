#pragma once
#include <memory>

#include "engine/AudioDevice.h"

namespace tx {

// The sound systems reached through RtAudio: JACK, PulseAudio and ALSA, in
// that order. Window thread only; the devices it makes follow TAudioDevice.
class TRtAudioSystem : public TAudioSystem {
public:
    TRtAudioSystem();
    std::vector<TAudioApi> Apis() const override;
    std::vector<TAudioDeviceInfo> Devices(TAudioApi api) override;
    bool ServerAnswers(TAudioApi api) override;
    std::unique_ptr<TAudioDevice> CreateDevice(TAudioApi api) override;
};

// One RtAudio output stream; on JACK its client is named "Trovamix" and its
// ports are connected to the chosen device's playback ports when it starts.
std::unique_ptr<TAudioDevice> CreateRtAudioDevice(TAudioApi api);

}  // namespace tx
