#include "desktop/ChannelSettings.h"

#include <algorithm>
#include <cmath>

#include "model/Loop.h"

namespace tx {

namespace {
constexpr const char* KeyNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
constexpr int MaxGroup = 99;
constexpr int MinEchoes = 1, MaxEchoes = 9;

std::string fileNamePart(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
}  // namespace

std::string KeyName(int key) {
    if (key < 0) return {};
    return std::string(KeyNames[key % 12]) + std::to_string(key / 12);
}

std::string NoteLabelText(int key) { return key >= 0 && key <= 127 ? "Note (" + KeyName(key) + ")" : "Note (none)"; }

std::string MiddleNoteLabelText(int key) { return "Middle Note (" + KeyName(std::clamp(key, 0, 127)) + ")"; }

std::string ChannelFormCaption(const std::string& name) {
    return name.empty() ? "Channel settings" : "Channel settings - " + name;
}

int NoteGridKey(int column, int row) { return row * NoteGridColumns + column; }

TGridCell NoteGridCell(int midiNote) {
    const int key = midiNote >= 0 && midiNote <= 127 ? midiNote : 0;
    return {key % NoteGridColumns, key / NoteGridColumns};
}

uint8_t StoredMidiValue(int shown) { return shown < 0 || shown > 127 ? MidiNone : uint8_t(shown); }

int ShownMidiValue(uint8_t stored) { return stored > 127 ? -1 : int(stored); }

int TSampleHistory::Add(const std::string& path) {
    if (path.empty()) return -1;
    auto it = std::find(paths_.begin(), paths_.end(), path);
    if (it != paths_.end()) return int(it - paths_.begin());
    paths_.insert(paths_.begin(), path);
    if (paths_.size() > MaxEntries) paths_.pop_back();  // the oldest
    return 0;
}

std::vector<std::string> TSampleHistory::DisplayNames() const {
    std::vector<std::string> names;
    names.reserve(paths_.size());
    for (const std::string& p : paths_) names.push_back(fileNamePart(p));
    return names;
}

std::optional<int> CutItselfGroup(const TLoop& loop, int channel) {
    std::vector<bool> taken(MaxGroup + 1, false);
    for (int i = 0; i < loop.ChannelCount(); ++i) {
        if (i == channel) continue;
        const TWAVSample& s = loop.Channel(i).Sample;
        for (int g : {int(s.CutGroup), int(s.CutByGroup)})
            if (g >= 1 && g <= MaxGroup) taken[size_t(g)] = true;
    }
    for (int g = 1; g <= MaxGroup; ++g)
        if (!taken[size_t(g)]) return g;
    return std::nullopt;
}

int WrapChannel(int current, int delta, int count) {
    if (count <= 0) return 0;
    const int r = (current + delta) % count;
    return r < 0 ? r + count : r;
}

std::vector<int32_t> RandomWithList(int own, const std::vector<bool>& ticked) {
    std::vector<int32_t> list{own};
    for (size_t i = 0; i < ticked.size(); ++i)
        if (ticked[i] && int(i) != own) list.push_back(int32_t(i));
    return list;
}

int LimitEchoes(int value) { return std::clamp(value, MinEchoes, MaxEchoes); }

int32_t PitchedLength(int32_t playLength, int key, int middleNote) {
    const double ratio = std::exp2(double(key - middleNote) / 12.0);
    const double len = std::nearbyint(double(playLength) / ratio);
    return int32_t(std::clamp(len, 1.0, double(INT32_MAX)));
}

const std::vector<TStretchItem>& StretchItems() {
    static const std::vector<TStretchItem> items = {{"No stretching", 0}, {"4 dots", 4},      {"8 dots", 8},
                                                    {"1 pattern", 16},    {"2 patterns", 32}, {"4 patterns", 64},
                                                    {"8 patterns", 128}};
    return items;
}

const std::vector<TKnobEntry>& SampleKnobs() {
    using C = TChannel;
    static const std::vector<TKnobEntry> knobs = {
        {"FXWheel", "|First effect", 0, 256, 127, &C::FXFirst, TThen::Reprocess},
        {"FXSineVolWheel", "|Second effect mix", 0, 256, 0, &C::FXSecondMix, TThen::Reprocess},
        {"FXSineWheel", "|Second effect sine", 0, 256, 127, &C::FXSecondSine, TThen::Reprocess},
        {"CutOffWheel", "|Cutoff", 0, 1020, 0, &C::CutOff, TThen::Reprocess},
        {"ResWheel", "|Resonance", 0, 1020, 0, &C::Resonance, TThen::Reprocess},
        {"PreAmpWheel", "|Preamp", 0, 256, 0, &C::PreAmp, TThen::Reprocess},
        {"AttackWheel", "|Attack", 0, 1024, 0, &C::Attack, TThen::Reprocess},
        {"DecayWheel", "|Decay", 0, 1024, 0, &C::Decay, TThen::Reprocess},
        {"StDelWheel", "|Stereo delay", 0, 4096, 0, &C::StereoDelay, TThen::Reprocess},
        {"FX3Wheel", "|Third effect (phaser)", 0, 512, 0, &C::FXThird, TThen::Reprocess},
    };
    return knobs;
}

const std::vector<TKnobEntry>& DelayKnobs() {
    using C = TChannel;
    static const std::vector<TKnobEntry> knobs = {
        {"DelayFeedWheel", "|Delay feedback", 0, 256, 0, &C::DelayFeed, TThen::Modified},
        {"DelayPanWheel", "|Delay pan", 0, 256, 128, &C::DelayPan, TThen::Modified},
        {"DelayPitchWheel", "|Delay pitch", 0, 240, 120, &C::DelayPitch, TThen::Modified},
        {"DelayResoWheel", "|Delay resonance", 0, 256, 128, &C::DelayReso, TThen::Modified},
        {"DelayCutOffWheel", "|Delay cutoff", 0, 256, 128, &C::DelayCutOff, TThen::Modified},
        {"DelayDelaySlider", "|Delay time", 0, 256, 48, &C::DelayTime, TThen::Modified},
        {"ShiftSlider", "|Shift delay", 0, 256, 48, &C::DelayShift, TThen::Modified},
    };
    return knobs;
}

const std::vector<TBoxEntry>& SampleBoxes() {
    using C = TChannel;
    static const std::vector<TBoxEntry> boxes = {
        {"ReverseSampleBox", "Reverse", "|Reverse", &C::ReverseSample, TThen::Reprocess},
        {"ReverseBox", "Rev Stereo", "|Rev Stereo", &C::RevStereo, TThen::Reprocess},
        {"FadeBox", "Fade L to R", "|Fade L to R", &C::FadeLR, TThen::Reprocess},
    };
    return boxes;
}

}  // namespace tx

namespace tx {

bool PreviewInDialog(const std::string& path, int64_t bytes, bool settingOn) {
    if (!settingOn || bytes < 0 || bytes > DialogPreviewMaxBytes) return false;
    const std::string name = fileNamePart(path);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.size() - dot != 4) return false;
    std::string ext = name.substr(dot);
    for (char& ch : ext) ch = char(std::toupper(static_cast<unsigned char>(ch)));
    return ext == ".WAV";
}

int PitchKeyAt(int x, int y, int noteWidth, int height) {
    if (x < 0 || y < 0 || y >= height || noteWidth <= 0) return -1;
    static constexpr int WhiteSemitone[7] = {0, 2, 4, 5, 7, 9, 11};
    static constexpr int BlackShift[7] = {-1, 1, 0, -1, 0, 1, 0};  // after C, D, -, F, G, A, -
    static constexpr bool HasBlackAfter[7] = {true, true, false, true, true, true, false};
    const int white = x / noteWidth;
    const int octave = white / 7, degree = white % 7;
    int key = octave * 12 + WhiteSemitone[degree];
    if (y < height * 3 / 5) {
        int bw = noteWidth * 3 / 5;
        if (bw % 2 == 0) ++bw;
        // The black key after this white key, and the one before it.
        for (int d : {degree, degree - 1}) {
            const int w = white - (degree - d);
            const int dd = (d + 7) % 7;
            if (w < 0 || !HasBlackAfter[dd]) continue;
            const int centre = (w + 1) * noteWidth + BlackShift[dd];
            if (x >= centre - bw / 2 && x <= centre + bw / 2) {
                key = (w / 7) * 12 + WhiteSemitone[dd] + 1;
                break;
            }
        }
    }
    return key > 127 ? -1 : key;
}

int PitchKeyVelocity(int y, int length) {
    if (length <= 0) return 127;
    return std::clamp(y * 127 / length, 0, 127);
}

}  // namespace tx
