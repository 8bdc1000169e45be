#include "midi/MidiFile.h"

#include <chrono>

#include "model/SafeFile.h"

namespace tx {

namespace {

// Appends events with their delta times; every event carries its own status.
class TMidiTrackWriter {
public:
    explicit TMidiTrackWriter(std::vector<uint8_t>& out) : out_(out) {}

    MidiTicks Now = 0;

    void Event(std::initializer_list<uint8_t> bytes) {
        delta(Now - last_);
        last_ = Now;
        out_.insert(out_.end(), bytes);
    }

    // Delta 0: the track ends with its last event, not with the time after it.
    void EndOfTrack() {
        Now = last_;
        Event({0xFF, 0x2F, 0x00});
    }

private:
    void delta(MidiTicks v) {
        // Variable-length quantity: 7-bit groups, most significant first.
        uint8_t buf[5];
        int n = 0;
        buf[n++] = uint8_t(v & 0x7F);
        while (v >>= 7) buf[n++] = uint8_t(0x80 | (v & 0x7F));
        while (n > 0) out_.push_back(buf[--n]);
    }

    std::vector<uint8_t>& out_;
    MidiTicks last_ = 0;
};

void putBE(std::vector<uint8_t>& out, size_t at, uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out[at + size_t(bytes - 1 - i)] = uint8_t(v >> (8 * i));
}

void writeChannelSetup(TMidiTrackWriter& w, const TChannel& c, int bankMethod) {
    uint8_t cc = uint8_t(0xB0 + MidiChannelOf(c));
    if (IsMidiSet(c.MidiBank)) {
        if (bankMethod != 0) {
            w.Event({cc, MidiBankController, 0});
            w.Event({cc, MidiBankLsbController, c.MidiBank});
        } else {
            w.Event({cc, MidiBankController, c.MidiBank});
        }
    }
    if (IsMidiSet(c.MidiPatch)) w.Event({uint8_t(0xC0 + MidiChannelOf(c)), c.MidiPatch});
    if (c.Pan != MidiPanCentre) w.Event({cc, MidiPanController, MidiData(c.Pan)});
    for (size_t n = 0; n < c.ControllerTable.size(); ++n)
        if (IsMidiSet(c.ControllerTable[n])) w.Event({cc, uint8_t(n), c.ControllerTable[n]});
}

struct TNoteOff {
    uint8_t Status, Key, Velocity;
};

// The 16 steps of one position from `patterns` (played last entry first).
void writePosition(TMidiTrackWriter& w, const TLoop& loop, const TPatternList& patterns, TMidiRandom& rng,
                   std::vector<TNoteOff>& offs) {
    int64_t main = std::clamp<int32_t>(loop.MainVolume, 0, MainVolumeMax);
    for (int s = 0; s < StepsPerPattern; ++s) {
        offs.clear();
        for (int e = patterns.count - 1; e >= 0; --e) {
            int pattern = patterns.items[size_t(e)];
            for (int c = 0; c < loop.ChannelCount(); ++c) {
                if (!MidiStepSounds(loop, c, pattern, s)) continue;
                int64_t vol = std::clamp<int32_t>(loop.Channel(c).Volume, 0, MidiDataMax);
                uint8_t offVelocity = MidiData(main * vol / MidiOffVelocityDivisor);
                ForEachMidiStepNote(loop, c, pattern, s, rng, [&](const TMidiStepNote& n) {
                    if (!n.KeyValid()) return;  // a key outside 0..127 is not played
                    w.Event({uint8_t(0xB0 + n.Channel), MidiPanController, n.Pan});
                    w.Event({uint8_t(0x90 + n.Channel), uint8_t(n.Key), n.Velocity});
                    offs.push_back({uint8_t(0x80 + n.Channel), uint8_t(n.Key), offVelocity});
                });
            }
        }
        w.Now += MidiNoteTicks;
        for (const TNoteOff& off : offs) w.Event({off.Status, off.Key, off.Velocity});
        w.Now += MidiTicksPerStep - MidiNoteTicks;
    }
}

}  // namespace

std::vector<uint8_t> BuildMidiFile(TLoop& loop, const TSettings& settings, bool song, TMidiRandom& rng) {
    // clang-format off
    std::vector<uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6,  // header chunk of 6 bytes
                                0, 0,                            // format 0
                                0, 1,                            // one track
                                uint8_t(MidiFileDivision >> 8), uint8_t(MidiFileDivision & 0xFF),
                                'M', 'T', 'r', 'k', 0, 0, 0, 0};  // length filled in at the end
    // clang-format on
    TMidiTrackWriter w(out);

    // A tempo a file brought outside 10..500 (0 would divide by zero) is held to it.
    uint32_t usPerQuarter = uint32_t(MicrosecondsPerMinute / std::clamp<int32_t>(loop.Tempo, MinTempo, MaxTempo));
    w.Event({0xFF, 0x51, 0x03, uint8_t(usPerQuarter >> 16), uint8_t(usPerQuarter >> 8), uint8_t(usPerQuarter)});

    for (int c = 0; c < loop.ChannelCount(); ++c) writeChannelSetup(w, loop.Channel(c), settings.BankSelectMethod);

    std::vector<TNoteOff> offs;
    TPatternList patterns;
    if (song) {
        loop.ComputeSongLength();
        int positions = std::clamp(loop.SongLength, 0, PlayListPositions - 1) + 1;
        // About what a song needs when every step of every MIDI channel is on
        // (pan, note-on, note-off: 12 bytes), so the image rarely moves.
        size_t midiChannels = 0;
        for (int c = 0; c < loop.ChannelCount(); ++c) midiChannels += IsMidiSet(loop.Channel(c).MidiNote);
        out.reserve(out.size() + size_t(positions) * midiChannels * StepsPerPattern * 12);
        for (int pos = 0; pos < positions; ++pos) {
            loop.PatternsAt(pos, patterns);
            writePosition(w, loop, patterns, rng, offs);
        }
    } else {
        patterns.Assign(int16_t(std::clamp(loop.CurrentPattern, 0, MaxPattern)));
        writePosition(w, loop, patterns, rng, offs);
    }

    w.EndOfTrack();
    putBE(out, 18, uint32_t(out.size() - MidiFileTrackStart), 4);
    return out;
}

std::vector<uint8_t> BuildMidiFile(TLoop& loop, const TSettings& settings, bool song) {
    TMidiRandom rng(uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()));
    return BuildMidiFile(loop, settings, song, rng);
}

std::string WriteMidiFile(const std::string& fileName, const std::vector<uint8_t>& image) {
    TSafeFile file;
    if (file.Open(fileName) && file.Write(image.data(), image.size()) && file.Commit()) return {};
    return file.Reason();
}

}  // namespace tx
