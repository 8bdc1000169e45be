#include "engine/AudioDevice.h"

namespace tx {

const char* AudioApiName(TAudioApi api) {
    switch (api) {
        case TAudioApi::Jack: return "jack";
        case TAudioApi::Pulse: return "pulse";
        case TAudioApi::Alsa: return "alsa";
        case TAudioApi::Null: return "null";
    }
    return "";
}

const char* AudioApiDisplayName(TAudioApi api) {
    switch (api) {
        case TAudioApi::Jack: return "JACK";
        case TAudioApi::Pulse: return "PulseAudio";
        case TAudioApi::Alsa: return "ALSA";
        case TAudioApi::Null: return "Null";
    }
    return "";
}

bool ParseAudioApi(const std::string& name, TAudioApi& api) {
    for (TAudioApi a : {TAudioApi::Jack, TAudioApi::Pulse, TAudioApi::Alsa, TAudioApi::Null}) {
        if (name == AudioApiName(a)) {
            api = a;
            return true;
        }
    }
    return false;
}

}  // namespace tx
