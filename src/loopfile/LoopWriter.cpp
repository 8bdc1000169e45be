// Writing loop files in the fixed event order. BuildLoopFile makes the whole
// image in memory; a save streams the same bytes through a small buffer into
// the safe file writer and fills in the header before it commits, so a failed
// save never damages the previous file and a large loop needs no second copy
// of itself in memory.
#include <cstring>

#include "loopfile/LoopEvents.h"
#include "loopfile/LoopFile.h"
#include "model/SafeFile.h"

namespace tx {

namespace {

namespace ev = loopev;

constexpr size_t StreamBlockBytes = size_t(1) << 20;  // buffer of a save; flushed when full

// The event stream under construction: in memory, or (with a file) flushed to
// the file whenever the buffer fills. Callers reserve room for a group of
// events first and then write without further checks.
class TEventWriter {
public:
    explicit TEventWriter(size_t expected, TSafeFile* file = nullptr) : buf_(expected), file_(file) {}

    void Reserve(size_t bytes) {
        if (n_ + bytes <= buf_.size()) return;
        if (file_ && n_ > 0) {
            flush();
            if (n_ + bytes <= buf_.size()) return;
        }
        buf_.resize(std::max(buf_.size() * 2, n_ + bytes));
    }
    void Raw(const void* p, size_t len) {
        Reserve(len);
        std::memcpy(buf_.data() + n_, p, len);
        n_ += len;
    }
    void U8(uint8_t v) { buf_[n_++] = v; }
    void U16(uint16_t v) {
        buf_[n_++] = uint8_t(v);
        buf_[n_++] = uint8_t(v >> 8);
    }
    void U32(uint32_t v) {
        U16(uint16_t(v));
        U16(uint16_t(v >> 16));
    }
    // Reserved events.
    void Byte(uint8_t id, uint32_t v) {
        U8(id);
        U8(uint8_t(v));
    }
    void Word(uint8_t id, uint32_t v) {
        U8(id);
        U16(uint16_t(v));
    }
    void Dword(uint8_t id, uint32_t v) {
        U8(id);
        U32(v);
    }
    void Dword(uint8_t id, uint32_t low, uint32_t high) { Dword(id, (low & 0xFFFFu) | (high << 16)); }
    // Events that reserve for themselves.
    void Data(uint8_t id, const void* p, size_t len) {
        Reserve(1 + ev::MaxLengthGroups + len);
        U8(id);
        Length(len);
        std::memcpy(buf_.data() + n_, p, len);
        n_ += len;
    }
    void Text(uint8_t id, const std::string& s) {
        // The stored text ends at its first zero byte, so nothing after one is written.
        const size_t len = std::strlen(s.c_str());
        Reserve(1 + ev::MaxLengthGroups + len + 1);
        U8(id);
        Length(len + 1);
        std::memcpy(buf_.data() + n_, s.data(), len);
        n_ += len;
        U8(0);
    }

    // Direct writing into room reserved before.
    uint8_t* Cursor() { return buf_.data() + n_; }
    void SetCursor(const uint8_t* p) { n_ = size_t(p - buf_.data()); }

    // Fills in the channel count and the data length. In memory, the image is
    // then ready for Take; with a file, the rest is written and the header
    // patched in place. False when writing failed (the file tells why).
    bool Finish(uint16_t channels) {
        const uint64_t total = flushed_ + n_;
        const uint32_t n = uint32_t(total - ev::EventsOffset);
        const uint8_t count[2] = {uint8_t(channels), uint8_t(channels >> 8)};
        const uint8_t length[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
        if (!file_) {
            std::memcpy(buf_.data() + 10, count, 2);
            std::memcpy(buf_.data() + 18, length, 4);
            return true;
        }
        flush();
        if (!failed_ && (!file_->WriteAt(count, 2, 10) || !file_->WriteAt(length, 4, 18))) failed_ = true;
        return !failed_;
    }
    std::vector<uint8_t> Take() {
        buf_.resize(n_);
        return std::move(buf_);
    }

private:
    // 7-bit groups, least significant first, bit 7 set when another follows.
    void Length(uint64_t l) {
        do {
            const uint8_t g = uint8_t(l & 0x7F);
            l >>= 7;
            U8(l ? uint8_t(g | 0x80) : g);
        } while (l);
    }

    void flush() {
        if (!failed_ && !file_->Write(buf_.data(), n_)) failed_ = true;
        flushed_ += n_;  // after a failure the rest is dropped
        n_ = 0;
    }

    std::vector<uint8_t> buf_;
    size_t n_ = 0;
    TSafeFile* file_;
    bool failed_ = false;
    uint64_t flushed_ = 0;  // bytes already in the file
};

constexpr size_t FixedChannelBytes = 400;                                // every fixed event of one channel, with room
constexpr size_t PatternBytes = 6 + StepsPerPattern * StepRowCount * 3;  // 65, 68 and every per-step event

void writeChannel(TEventWriter& w, const TChannel& c, int index) {
    w.Reserve(FixedChannelBytes);
    w.Word(ev::SelectChannel, uint32_t(index));
    w.Byte(ev::Volume, uint32_t(c.Volume));
    w.Byte(ev::Pan, uint32_t(c.Pan));
    w.Byte(ev::MidiNote, c.MidiNote);
    w.Byte(ev::MidiPatch, c.MidiPatch);
    w.Byte(ev::MidiBank, c.MidiBank);
    w.Byte(ev::MidiChannel, uint32_t(c.MidiChannel));
    bool anyController = false;
    for (uint8_t v : c.ControllerTable) anyController |= v < 128;
    if (anyController) w.Data(ev::ControllerTable, c.ControllerTable.data(), c.ControllerTable.size());
    w.Text(ev::Name, c.Name);

    w.Reserve(FixedChannelBytes);
    w.Dword(ev::Color, c.Color.ToInt());
    w.Byte(ev::Enabled, c.Enabled ? 1 : 0);
    if (c.Minimized) w.Byte(ev::Minimized, 1);

    uint8_t delay[ev::DelayBlockBytes];
    const int32_t values[5] = {c.DelayFeed, int32_t(uint32_t(c.DelayPan) - ev::DelayPanOffset), c.DelayPitch,
                               c.DelayEchoes, c.DelayTime};
    for (int i = 0; i < 5; ++i)
        for (int b = 0; b < 4; ++b) delay[i * 4 + b] = uint8_t(uint32_t(values[i]) >> (8 * b));
    w.Data(ev::DelayBlock, delay, sizeof delay);
    w.Dword(ev::DelayFilter, uint32_t(c.DelayReso), uint32_t(c.DelayCutOff));
    w.Byte(ev::DelayShuffled, c.DelayShuffled ? 1 : 0);

    w.Word(ev::DelayShift, uint32_t(c.DelayShift));
    w.Word(ev::FXFirst, uint32_t(c.FXFirst));
    w.Word(ev::FXThird, uint32_t(c.FXThird));
    w.Word(ev::CutOff, uint32_t(c.CutOff));
    w.Word(ev::Resonance, uint32_t(c.Resonance));
    w.Word(ev::PreAmp, uint32_t(c.PreAmp));
    w.Word(ev::Decay, uint32_t(c.Decay));
    w.Word(ev::Attack, uint32_t(c.Attack));
    w.Word(ev::StereoDelay, uint32_t(c.StereoDelay));

    w.Dword(ev::FXSecond, uint32_t(c.FXSecondMix), uint32_t(c.FXSecondSine));
    w.Dword(ev::MiddleNote, uint32_t(c.MiddleNote));
    w.Dword(ev::CutGroups, uint32_t(c.Sample.CutGroup), uint32_t(c.Sample.CutByGroup));

    const uint32_t flags = (c.FadeLR ? ev::FlagFadeLR : 0u) | (c.ReverseSample ? ev::FlagReverseSample : 0u) |
                           (c.RevStereo ? ev::FlagRevStereo : 0u);
    w.Word(ev::Flags, flags);
    w.Byte(ev::Stretch, uint32_t(c.Stretch));
    w.Byte(ev::Pitchable, c.Pitchable ? 1 : 0);
    w.Word(ev::MixWith, uint32_t(c.MixWith));
    if (c.RandomWith.size() > 1) {
        w.Reserve(3 * c.RandomWith.size());
        for (size_t i = 1; i < c.RandomWith.size(); ++i) w.Word(ev::RandomWith, uint32_t(c.RandomWith[i]));
    }
    if (!c.SampleFileName.empty()) w.Text(ev::SampleFileName, c.SampleFileName);

    // Per-step values in the writing order of the rows, each with its default.
    static constexpr struct {
        uint8_t Id;
        int Row;
    } stepEvents[StepRowCount] = {{ev::StepVolume, RowVolume}, {ev::StepPan, RowPan},   {ev::StepPitch, RowPitch},
                                  {ev::StepMix, RowMix},       {ev::StepReso, RowReso}, {ev::StepCutoff, RowCutoff},
                                  {ev::StepNote, RowNote}};
    for (int p = 1; p <= MaxPattern; ++p) {
        const PatternRecord& rec = c.Pattern(p);
        if (rec.StepMask == 0) continue;
        w.Reserve(PatternBytes);
        w.Word(ev::SelectPattern, uint32_t(p));
        w.Word(ev::StepMask, rec.StepMask);
        // The hot loop of large loops: every event is stored, and kept only
        // when its value differs from the default.
        uint8_t* out = w.Cursor();
        for (int s = 0; s < StepsPerPattern; ++s) {
            for (const auto& e : stepEvents) {
                const uint8_t v = rec.Rows[size_t(e.Row)][size_t(s)];
                out[0] = e.Id;
                out[1] = uint8_t(s);
                out[2] = v;
                out += v != StepParamTable[size_t(e.Row)].Default ? 3 : 0;
            }
        }
        w.SetCursor(out);
    }
}

size_t expectedSize(const TLoop& loop) {
    size_t n = 256 + loop.Title.size() + loop.InfoRich.size() + loop.InfoPlain.size() + loop.URL.size();
    for (int i = 0; i < loop.ChannelCount(); ++i) {
        const TChannel& c = loop.Channel(i);
        n += 2 * FixedChannelBytes + c.Name.size() + c.SampleFileName.size() + 3 * c.RandomWith.size();
        for (int p = 1; p <= MaxPattern; ++p)
            if (c.Pattern(p).StepMask) n += PatternBytes;
    }
    for (int pos = 0; pos < PlayListPositions; ++pos) n += 5 * loop.PlayList.At(pos).size();
    return n;
}

void writeLoop(TEventWriter& w, const TLoop& loop) {
    static constexpr uint8_t header[ev::EventsOffset] = {'T', 'X', 'h', 'd', 6,   0,   0,   0, 0, 0, 0,
                                                         0,   16,  0,   'T', 'X', 'd', 't', 0, 0, 0, 0};
    w.Raw(header, sizeof header);

    w.Text(ev::Version, ProgramVersionText);
    w.Reserve(64);
    w.Word(ev::Tempo, uint32_t(loop.Tempo));
    w.Word(ev::CurrentPattern, uint32_t(loop.CurrentPattern));
    w.Byte(ev::SongMode, loop.SongMode ? 1 : 0);
    w.Byte(ev::ShowInfo, loop.ShowInfo ? 1 : 0);
    w.Text(ev::Title, loop.Title);
    w.Data(ev::InfoRich, loop.InfoRich.data(), loop.InfoRich.size());
    // A note read from an older file's plain text, never edited since: the
    // reader takes it back from its own event, so a save does not lose it.
    if (loop.InfoRich.empty() && !loop.InfoPlain.empty()) w.Text(ev::InfoPlain, loop.InfoPlain);
    if (!loop.URL.empty()) w.Text(ev::URL, loop.URL);
    w.Reserve(64);
    w.Byte(ev::Shuffle, uint32_t(loop.Shuffle));
    w.Byte(ev::MainVolume, uint32_t(loop.MainVolume));
    w.Word(ev::MainPitch, uint32_t(loop.MainPitch));
    w.Dword(ev::MainFilter, uint32_t(loop.MainResonance), uint32_t(loop.MainCutOff));

    for (int i = 0; i < loop.ChannelCount(); ++i) writeChannel(w, loop.Channel(i), i);

    for (int pos = 0; pos < PlayListPositions; ++pos) {
        const auto& list = loop.PlayList.At(pos);
        w.Reserve(5 * list.size());
        for (int16_t p : list) w.Dword(ev::PlayListEntry, uint32_t(pos), uint32_t(uint16_t(p)));
    }
    w.Reserve(16);
    w.Word(ev::SongLoopPosition, uint32_t(loop.SongLoopPosition));
    w.Dword(ev::WindowHeight, uint32_t(loop.WindowHeight));
}

}  // namespace

std::vector<uint8_t> BuildLoopFile(const TLoop& loop) {
    TEventWriter w(expectedSize(loop));
    writeLoop(w, loop);
    w.Finish(uint16_t(loop.ChannelCount()));
    return w.Take();
}

TLoopWriteResult WriteLoopFile(const std::string& fileName, TLoop& loop) {
    TLoopWriteResult r;
    TSafeFile file;
    bool ok = file.Open(fileName);
    if (ok) {
        TEventWriter w(StreamBlockBytes, &file);
        writeLoop(w, loop);
        ok = w.Finish(uint16_t(loop.ChannelCount())) && file.Commit();
    }
    if (!ok) {
        r.Ok = false;
        r.Reason = file.Reason();
        return r;
    }
    loop.Modified = false;
    return r;
}

std::string WriteLoop(const std::string& fileName, TLoop& loop) {
    const TLoopWriteResult r = WriteLoopFile(fileName, loop);
    return r.Ok ? std::string() : fileName + ": " + r.Reason;
}

}  // namespace tx
