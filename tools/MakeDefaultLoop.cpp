// Writes the program's default loop with the program's own loop writer: the
// generated drum kit on ten channels, a 140 BPM beat in five patterns and a
// short song on the playlist. Sample names are stored relative to the sample
// folder ("\kick.wav"), so the loop finds the kit wherever the program lives.
//
// usage: make_default_loop OUTPUT.txp

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "loopfile/LoopFile.h"
#include "model/Loop.h"

namespace {

enum Ch { Kick, Snare, Clap, ClosedHat, OpenHat, LowTom, HighTom, Rim, Cymbal, Bass, ChannelTotal };

struct TVoiceSetup {
    const char* Name;
    const char* Sample;
    int Volume, Pan;
    tx::TColor Color;
};

// clang-format off
const TVoiceSetup Setup[ChannelTotal] = {
    {"Kick", "\\kick.wav", 78, 64, {232, 196, 176}},
    {"Snare", "\\snare.wav", 62, 60, {232, 220, 176}},
    {"Clap", "\\clap.wav", 52, 68, {214, 232, 176}},
    {"Closed Hat", "\\closedhat.wav", 40, 80, {176, 232, 196}},
    {"Open Hat", "\\openhat.wav", 38, 76, {176, 232, 226}},
    {"Low Tom", "\\lowtom.wav", 60, 40, {176, 206, 232}},
    {"High Tom", "\\hightom.wav", 56, 88, {186, 176, 232}},
    {"Rim", "\\rim.wav", 42, 50, {216, 176, 232}},
    {"Cymbal", "\\cymbal.wav", 40, 72, {232, 176, 206}},
    {"Bass", "\\bass.wav", 66, 64, {210, 210, 200}},
};
// clang-format on

// Switches steps on with one step volume each: {step, volume} pairs.
void hits(tx::TLoop& loop, int ch, int pattern, std::initializer_list<std::pair<int, int>> steps) {
    tx::PatternRecord& r = loop.Channel(ch).Pattern(pattern);
    for (auto [step, volume] : steps) {
        r.SetStep(step, true);
        r.StepVolume()[size_t(step)] = uint8_t(volume);
    }
}

// Bass notes: {step, key} pairs at one volume.
void notes(tx::TLoop& loop, int pattern, int volume, std::initializer_list<std::pair<int, int>> steps) {
    tx::PatternRecord& r = loop.Channel(Bass).Pattern(pattern);
    for (auto [step, key] : steps) {
        r.SetStep(step, true);
        r.StepVolume()[size_t(step)] = uint8_t(volume);
        r.StepNote()[size_t(step)] = uint8_t(key);
    }
}

constexpr int KeyA = 45, KeyC = 48, KeyD = 50, KeyE = 52, KeyG = 43;  // the bass sample sounds as A (45)

void buildPatterns(tx::TLoop& l) {
    // 1: intro groove
    hits(l, Kick, 1, {{0, 127}, {4, 124}, {8, 127}, {12, 124}});
    hits(l, Clap, 1, {{4, 110}, {12, 116}});
    hits(l, ClosedHat, 1, {{2, 110}, {6, 104}, {10, 110}, {14, 104}, {15, 60}});

    // 2: main beat with sixteenth hats, open hats choked by the next closed one, and bass
    hits(l, Kick, 2, {{0, 127}, {4, 124}, {8, 127}, {12, 124}, {14, 56}});
    hits(l, Clap, 2, {{4, 112}, {12, 118}});
    hits(l, Snare, 2, {{7, 46}, {11, 38}, {15, 58}});
    // clang-format off
    hits(l, ClosedHat, 2, {{0, 96}, {1, 62}, {3, 70}, {4, 96}, {5, 60}, {7, 72}, {8, 96}, {9, 62}, {11, 70},
                           {12, 96}, {13, 60}, {15, 78}});
    // clang-format on
    hits(l, OpenHat, 2, {{2, 104}, {6, 100}, {10, 104}, {14, 100}});
    notes(l, 2, 112, {{2, KeyA}, {6, KeyA}, {10, KeyC}, {14, KeyG}});

    // 3: variation: broken kick, rim shots with echoes, a moving bass line
    hits(l, Kick, 3, {{0, 127}, {6, 100}, {8, 124}, {10, 96}});
    hits(l, Clap, 3, {{12, 116}});
    hits(l, Rim, 3, {{3, 104}, {11, 96}});
    hits(l, ClosedHat, 3, {{0, 80}, {2, 104}, {4, 80}, {6, 104}, {8, 80}, {10, 104}, {12, 80}, {14, 104}});
    hits(l, OpenHat, 3, {{15, 84}});
    notes(l, 3, 112, {{2, KeyA}, {3, KeyA}, {7, KeyE}, {11, KeyD}, {14, KeyC}});

    // 4: fill: snare and toms into the next bar
    hits(l, Kick, 4, {{0, 127}, {4, 124}, {8, 120}});
    hits(l, ClosedHat, 4, {{0, 90}, {2, 100}, {4, 90}, {6, 100}});
    hits(l, Snare, 4, {{4, 100}, {8, 84}, {10, 92}, {15, 127}});
    hits(l, HighTom, 4, {{11, 104}, {12, 112}});
    hits(l, LowTom, 4, {{13, 112}, {14, 120}});
    notes(l, 4, 108, {{2, KeyA}, {7, KeyG}});

    // 5: a crash on the downbeat, layered over other patterns on the playlist
    hits(l, Cymbal, 5, {{0, 120}});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_default_loop OUTPUT.txp\n");
        return 64;
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(argv[1]).parent_path(), ec);

    tx::TLoop loop;
    while (loop.ChannelCount() < ChannelTotal) loop.AddChannel();
    for (int i = 0; i < ChannelTotal; ++i) {
        tx::TChannel& c = loop.Channel(i);
        c.Name = Setup[i].Name;
        c.SampleFileName = Setup[i].Sample;
        c.Volume = Setup[i].Volume;
        c.Pan = Setup[i].Pan;
        c.Color = Setup[i].Color;
    }
    // The closed hat chokes the open one, as on a real pair of hats.
    loop.Channel(ClosedHat).Sample.CutGroup = 1;
    loop.Channel(OpenHat).Sample.CutByGroup = 1;
    // The bass is pitched by key; its sample sounds as A.
    loop.Channel(Bass).MiddleNote = KeyA;
    // Rim shots echo three times a dotted eighth apart, darker and wider each time.
    tx::TChannel& rim = loop.Channel(Rim);
    rim.DelayFeed = 60;
    rim.DelayEchoes = 3;
    rim.DelayTime = 48;  // sixteenths of a step: three steps
    rim.DelayPan = 150;
    rim.DelayCutOff = 170;

    buildPatterns(loop);

    loop.Tempo = 140;
    loop.Shuffle = 14;
    loop.MainVolume = 118;  // about 1.4 dB of headroom below full scale
    loop.CurrentPattern = 1;
    loop.SongMode = true;
    const int song[][2] = {{1, 0}, {1, 0}, {2, 5}, {2, 0}, {3, 0}, {3, 5}, {2, 0}, {4, 0}};
    int pos = 0;
    for (const auto& bar : song) {
        for (int p : bar)
            if (p) loop.PlayList.SetPatternAt(p, pos, true);
        ++pos;
    }
    loop.SongLoopPosition = 2;
    loop.ComputeSongLength();

    std::string error = tx::WriteLoop(argv[1], loop);
    if (!error.empty()) {
        std::fprintf(stderr, "make_default_loop: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
