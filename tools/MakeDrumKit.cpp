// Synthesises the program's own drum kit into a folder of 44100 Hz 16-bit
// stereo WAV files (the synthesis lives in DrumSynth.h).
//
// usage: make_drum_kit OUTPUT_FOLDER

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>

#include "DrumSynth.h"

using namespace drumsynth;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_drum_kit OUTPUT_FOLDER\n");
        return 64;
    }
    std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::pair<const char*, std::function<TStereo()>> kit[] = {
        {"kick.wav", kick},
        {"snare.wav", snare},
        {"clap.wav", clap},
        {"closedhat.wav", [] { return hat(0.14, 0.022, 79); }},
        {"openhat.wav", [] { return hat(0.7, 0.17, 83); }},
        {"lowtom.wav", [] { return tom(92, 45, 0.24, 0.7, 89); }},
        {"hightom.wav", [] { return tom(148, 60, 0.19, 0.55, 97); }},
        {"rim.wav", rim},
        {"cymbal.wav", cymbal},
        {"bass.wav", bass},
    };
    for (const auto& [name, make] : kit) {
        if (!writeWAV(dir / name, make())) {
            std::fprintf(stderr, "make_drum_kit: %s: cannot write: %s\n", (dir / name).c_str(), std::strerror(errno));
            return 1;
        }
    }
    return 0;
}
