// Reading loop files: the header chunks, then the event stream replayed onto a
// freshly reset loop. The data is read in blocks and every event is checked
// against the end of the data before it is touched, so no input can make the
// reader read outside the file, loop or allocate beyond the file and the
// channel limit.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

#include "loopfile/LoopEvents.h"
#include "loopfile/LoopFile.h"

namespace tx {

namespace {

namespace ev = loopev;

constexpr double Pi = 3.14159265358979323846;
constexpr int MaxShuffle = 128;
constexpr int MaxMainVolume = 128;
constexpr int MaxMainPitch = 1200;  // cents
constexpr int MaxCutOff = 1020;
constexpr int MaxResonance = 1020;

uint16_t rd16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t rd32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// Rounding to nearest with ties to even, as the rest of the program rounds.
int32_t roundEven(double v) { return int32_t(std::nearbyint(v)); }

// Older files store the cutoff on a cosine scale.
int32_t convertOldCutOff(uint32_t v) {
    const double x = 256.0 - double(v);
    double t = (1.0 - std::cos(x * Pi / 512.0)) * 2.0;
    t = std::clamp(t, 0.0, 1.0);
    return roundEven(std::acos(t - 1.0) * 2048.0 / Pi) - 1024;
}

// Older files store the resonance linearly; values above 256 would take the
// arccosine outside its domain, so its argument is limited to -1..1.
int32_t convertOldResonance(uint32_t v) {
    const double a = std::clamp(-double(v) / 256.0, -1.0, 1.0);
    return roundEven(std::acos(a) * 2048.0 / Pi) - 1024;
}

bool isKeptData(uint8_t id) {
    switch (id) {
        case ev::Name:
        case ev::Title:
        case ev::InfoPlain:
        case ev::SampleFileName:
        case ev::URL:
        case ev::InfoRich:
        case ev::Version:
        case ev::ControllerTable:
        case ev::DelayBlock:
            return true;
        default:
            return false;
    }
}

int stepRowOf(uint8_t id) {
    switch (id) {
        case ev::StepVolume:
            return RowVolume;
        case ev::StepPan:
            return RowPan;
        case ev::StepNote:
            return RowNote;
        case ev::StepPitch:
            return RowPitch;
        case ev::StepMix:
            return RowMix;
        case ev::StepReso:
            return RowReso;
        case ev::StepCutoff:
            return RowCutoff;
        default:
            return -1;
    }
}

// Applies events to the loop as complete events arrive. One per read; runs on
// the reading thread.
class TEventApplier {
public:
    struct TFeed {
        size_t Consumed = 0;  // bytes of whole events used from the front of the buffer
        size_t Need = 0;      // the next event needs this many bytes in the buffer
        uint64_t Skip = 0;    // bytes of a skipped event that lie beyond the buffer
        bool Stop = false;    // no more events are read
    };

    TEventApplier(TLoop& loop, const TLoopReadOptions& options) : loop_(loop), options_(options) { selectChannel(0); }

    bool EndedEarly = false;
    uint64_t StopOffset = 0;  // file offset of the event reading stopped at
    std::string Reason;
    // Per channel, the last sample name read, for the loader to load after the read.
    std::vector<std::optional<std::string>> Samples;

    // d[0..n) are the next bytes of the data at file offset `base`; `more`
    // bytes of data follow them.
    TFeed Feed(const uint8_t* d, size_t n, uint64_t more, uint64_t base) {
        TFeed r;
        size_t p = 0;
        while (p < n) {
            const uint8_t id = d[p];
            const size_t avail = n - p;
            uint64_t total;
            size_t head = 1;
            if (id < 64) {
                total = 2;
            } else if (id < 128) {
                total = 3;
            } else if (id < 192) {
                total = 5;
            } else {
                uint64_t len = 0;
                size_t g = 0;
                bool done = false;
                while (g < size_t(ev::MaxLengthGroups) && 1 + g < avail) {
                    const uint8_t b = d[p + 1 + g];
                    len |= uint64_t(b & 0x7F) << (7 * g);
                    ++g;
                    if (!(b & 0x80)) {
                        done = true;
                        break;
                    }
                }
                if (!done) {
                    if (g == size_t(ev::MaxLengthGroups))
                        return stop(r, p, base, id, "has a length of more than five 7-bit groups");
                    if (more == 0) return stop(r, p, base, id, "is cut off by the end of the data");
                    r.Consumed = p;
                    r.Need = size_t(std::min<uint64_t>(1 + ev::MaxLengthGroups, avail + more));
                    return r;
                }
                head = 1 + g;
                total = head + len;
            }
            if (total > avail + more) return stop(r, p, base, id, "is cut off by the end of the data");
            if (total > avail) {
                if (id >= 192 && !isKeptData(id)) {
                    r.Consumed = n;
                    r.Skip = total - avail;
                    return r;
                }
                r.Consumed = p;
                r.Need = size_t(total);
                return r;
            }
            const uint8_t* v = d + p + head;
            if (id < 64) {
                applyByte(id, v[0]);
            } else if (id < 128) {
                if (id == ev::SelectChannel && rd16(v) >= MaxLoopChannels)
                    return stop(r, p, base, id,
                                "selects channel " + std::to_string(rd16(v)) + ", beyond the limit of " +
                                    std::to_string(MaxLoopChannels) + " channels");
                applyWord(id, rd16(v));
            } else if (id < 192) {
                applyDword(id, rd32(v));
            } else if (isKeptData(id)) {
                applyData(id, v, size_t(total - head));
            }
            p += size_t(total);
        }
        r.Consumed = p;
        return r;
    }

private:
    TFeed& stop(TFeed& r, size_t p, uint64_t base, uint8_t id, const std::string& what) {
        EndedEarly = true;
        StopOffset = base + p;
        Reason = "event " + std::to_string(id) + " at byte " + std::to_string(StopOffset) + " " + what +
                 "; the events before it were read";
        r.Consumed = p;
        r.Stop = true;
        return r;
    }

    void selectChannel(int index) {
        chIndex_ = index;
        ch_ = &loop_.Channel(index);
        selectPattern(pattern_);
    }
    // Pattern 0 is the silence of empty playlist bars; events never change it.
    void selectPattern(int pattern) {
        pattern_ = pattern;
        rec_ = pattern_ > 0 ? &ch_->Pattern(pattern_) : nullptr;
    }

    void applyByte(uint8_t id, uint8_t v) {
        TChannel& c = *ch_;
        switch (id) {
            case ev::Enabled:
                c.Enabled = v == 1;
                break;
            case ev::Volume:
                c.Volume = v;
                break;
            case ev::Pan:
                c.Pan = v;
                break;
            case ev::MidiChannel:
                c.MidiChannel = v;
                break;
            case ev::MidiNote:
                c.MidiNote = v;
                break;
            case ev::MidiPatch:
                c.MidiPatch = v;
                break;
            case ev::MidiBank:
                c.MidiBank = v;
                break;
            case ev::SongMode:
                loop_.SongMode = v == 1;
                break;
            case ev::ShowInfo:
                loop_.ShowInfo = v == 1;
                break;
            case ev::Shuffle:
                loop_.Shuffle = std::min<int>(v, MaxShuffle);
                break;
            case ev::MainVolume:
                loop_.MainVolume = std::min<int>(v, MaxMainVolume);
                break;
            case ev::Stretch:
                c.Stretch = v;
                break;
            case ev::Pitchable:
                c.Pitchable = v == 1;
                break;
            case ev::Minimized:
                loop_.SetMinimized(chIndex_, true);
                break;
            case ev::DelayShuffled:
                c.DelayShuffled = v == 1;
                break;
            default:
                break;
        }
    }

    // Channel indexes beyond the limit never get here (Feed stops first).
    void applyWord(uint8_t id, uint16_t v) {
        const int row = stepRowOf(id);
        if (row >= 0) {
            const unsigned step = v & 0xFFu;
            if (rec_ && step < unsigned(StepsPerPattern)) rec_->Rows[size_t(row)][step] = uint8_t(v >> 8);
            return;
        }
        TChannel& c = *ch_;
        switch (id) {
            case ev::SelectChannel:
                while (int(v) >= loop_.ChannelCount()) loop_.AddChannel();
                selectChannel(v);
                break;
            case ev::SelectPattern:
                selectPattern(std::min<int>(v, MaxPattern));
                break;
            case ev::Tempo:
                loop_.Tempo = std::clamp<int>(v, MinTempo, MaxTempo);
                break;
            case ev::CurrentPattern:
                loop_.CurrentPattern = std::clamp<int>(v, 1, MaxPattern);
                break;
            case ev::StepMask:
                if (rec_) rec_->StepMask = v;
                break;
            case ev::FXFirst:
                c.FXFirst = v;
                break;
            case ev::Flags:
                c.FadeLR = (v & ev::FlagFadeLR) != 0;
                c.ReverseSample = (v & ev::FlagReverseSample) != 0;
                c.RevStereo = (v & ev::FlagRevStereo) != 0;
                break;
            case ev::CutOff: {
                const int32_t x = loop_.LoadedVersion < OldScaleVersion ? convertOldCutOff(v) : int32_t(v);
                c.CutOff = std::clamp(x, 0, MaxCutOff);
                break;
            }
            case ev::PreAmp:
                c.PreAmp = v;
                break;
            case ev::Decay:
                c.Decay = v;
                break;
            case ev::Attack:
                c.Attack = v;
                break;
            case ev::MainPitch:
                loop_.MainPitch = std::clamp<int>(int16_t(v), -MaxMainPitch, MaxMainPitch);
                break;
            case ev::RandomWith:
                // Repeated entries must not grow the list without bound.
                if (c.RandomWith.size() < size_t(MaxLoopChannels)) c.RandomWith.push_back(v);
                break;
            case ev::MixWith:
                c.MixWith = v;
                break;
            case ev::Resonance: {
                const int32_t x = loop_.LoadedVersion < OldScaleVersion ? convertOldResonance(v) : int32_t(v);
                c.Resonance = std::min(x, MaxResonance);
                break;
            }
            case ev::SongLoopPosition:
                loop_.SongLoopPosition = std::min<int>(v, PlayListPositions - 1);
                break;
            case ev::StereoDelay:
                c.StereoDelay = v;
                break;
            case ev::FXThird:
                c.FXThird = v;
                break;
            case ev::DelayShift:
                c.DelayShift = v;
                break;
            default:
                break;
        }
    }

    void applyDword(uint8_t id, uint32_t v) {
        TChannel& c = *ch_;
        const uint16_t low = uint16_t(v), high = uint16_t(v >> 16);
        switch (id) {
            case ev::Color:
                c.Color = TColor::FromInt(v);
                break;
            case ev::PlayListEntry:
                addPlayListEntry(std::min<int>(low, PlayListPositions - 1), high);
                break;
            case ev::OldDelay:
                if (low != 0) {
                    c.DelayEchoes = low;
                    c.DelayFeed = (128 / (low + 1)) * low;
                    c.DelayTime = high / 8;
                }
                break;
            case ev::FXSecond:
                c.FXSecondMix = low;
                c.FXSecondSine = high;
                break;
            case ev::CutGroups:
                c.Sample.CutGroup = low;
                c.Sample.CutByGroup = high;
                break;
            case ev::WindowHeight:
                loop_.WindowHeight = int32_t(v);
                break;
            case ev::MiddleNote:
                c.MiddleNote = int32_t(v);
                break;
            case ev::MainFilter:
                loop_.MainResonance = std::min<int>(low, MainResoMax);
                loop_.MainCutOff = std::min<int>(high, MainCutOffMax);
                break;
            case ev::DelayFilter:
                c.DelayReso = low;
                c.DelayCutOff = high;
                break;
            default:
                break;
        }
    }

    // Patterns above 999 do not exist and are ignored. Entries are appended as
    // read, a pattern listed twice included, so a resave writes back what the
    // file held; the playback copy of a position stops at its fixed capacity.
    void addPlayListEntry(int pos, int pattern) {
        if (pattern > MaxPattern) return;
        loop_.PlayList.AppendUnchecked(pos, int16_t(pattern));
        const int row = pos + 1;  // grid row r shows position r - 1
        if (loop_.PlaylistRow < row && pos < PlayListPositions - 1) loop_.PlaylistRow = row;
    }

    void applyData(uint8_t id, const uint8_t* v, size_t len) {
        TChannel& c = *ch_;
        // A text ends at its first zero byte, or with the event when it has none.
        auto text = [&] {
            const auto* z = static_cast<const uint8_t*>(std::memchr(v, 0, len));
            return std::string(reinterpret_cast<const char*>(v), z ? size_t(z - v) : len);
        };
        switch (id) {
            case ev::Name:
                loop_.SetChannelName(chIndex_, text());
                break;
            case ev::Title:
                loop_.Title = text();
                break;
            case ev::InfoPlain:
                loop_.InfoPlain = text();
                break;
            case ev::SampleFileName:
                if (options_.OnSampleFileName) {
                    if (Samples.size() <= size_t(chIndex_)) Samples.resize(size_t(chIndex_) + 1);
                    Samples[size_t(chIndex_)] = text();
                } else
                    c.SampleFileName = text();
                break;
            case ev::URL:
                loop_.URL = text();
                break;
            case ev::InfoRich:
                loop_.InfoRich.assign(reinterpret_cast<const char*>(v), len);
                break;
            case ev::Version:
                loop_.LoadedVersion = VersionNumber(text());
                break;
            case ev::ControllerTable:
                std::memcpy(c.ControllerTable.data(), v, std::min<size_t>(len, ev::ControllerTableBytes));
                break;
            case ev::DelayBlock: {
                // The block is copied byte for byte over the five values, as far as it reaches.
                int32_t* fields[5] = {&c.DelayFeed, &c.DelayPan, &c.DelayPitch, &c.DelayEchoes, &c.DelayTime};
                const size_t n = std::min<size_t>(len, ev::DelayBlockBytes);
                for (size_t i = 0; i < n; ++i) {
                    uint32_t u = uint32_t(*fields[i / 4]);
                    const unsigned shift = unsigned(i % 4) * 8;
                    u = (u & ~(0xFFu << shift)) | (uint32_t(v[i]) << shift);
                    *fields[i / 4] = int32_t(u);
                }
                // A block too short to hold DelayPan leaves it as it was.
                if (n >= 8) c.DelayPan = int32_t(uint32_t(c.DelayPan) + ev::DelayPanOffset);
                break;
            }
            default:
                break;
        }
    }

    TLoop& loop_;
    const TLoopReadOptions& options_;
    TChannel* ch_ = nullptr;
    int chIndex_ = 0;
    int pattern_ = 1;
    PatternRecord* rec_ = nullptr;
};

// Where the bytes of a loop come from.
class TByteSource {
public:
    virtual ~TByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads up to len bytes at off; fewer only at the end or on a read error.
    virtual size_t ReadAt(uint64_t off, uint8_t* dst, size_t len) = 0;
    std::string Error;  // set on a read error
};

class TMemorySource : public TByteSource {
public:
    TMemorySource(const uint8_t* d, size_t n) : d_(d), n_(n) {}
    uint64_t Size() const override { return n_; }
    size_t ReadAt(uint64_t off, uint8_t* dst, size_t len) override {
        if (off >= n_) return 0;
        len = size_t(std::min<uint64_t>(len, n_ - off));
        std::memcpy(dst, d_ + off, len);
        return len;
    }

private:
    const uint8_t* d_;
    size_t n_;
};

class TFileSource : public TByteSource {
public:
    TFileSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
    uint64_t Size() const override { return size_; }
    size_t ReadAt(uint64_t off, uint8_t* dst, size_t len) override {
        size_t done = 0;
        while (done < len) {
            const ssize_t r = ::pread(fd_, dst + done, len - done, off_t(off + done));
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) {
                Error = std::strerror(errno);
                break;
            }
            if (r == 0) break;
            done += size_t(r);
        }
        return done;
    }

private:
    int fd_;
    uint64_t size_;
};

TLoopReadResult refuse(TLoopReadResult r, int code, std::string reason) {
    r.Code = code;
    r.Reason = std::move(reason);
    return r;
}

// A file read into a loop is a new document, not a run of edits: the loop's
// undo history hears nothing while reading and starts again once it is read.
class TRecorderAside {
public:
    explicit TRecorderAside(TLoop& loop) : loop_(loop), recorder_(std::exchange(loop.Recorder, nullptr)) {}
    ~TRecorderAside() {
        loop_.Recorder = recorder_;
        if (recorder_) recorder_->DocumentReplaced();
    }
    TRecorderAside(const TRecorderAside&) = delete;
    TRecorderAside& operator=(const TRecorderAside&) = delete;

private:
    TLoop& loop_;
    TLoopRecorder* recorder_;
};

TLoopReadResult readEvents(TByteSource& src, TLoop& loop, const TLoopReadOptions& options,
                           std::vector<std::optional<std::string>>& samples) {
    loop.ResetToNew();
    loop.LoadedVersion = 0;
    loop.Modified = false;

    TLoopReadResult result;
    const uint64_t size = src.Size();
    uint8_t head[8];
    if (size < 8 || src.ReadAt(0, head, 8) < 8 || std::memcmp(head, "TXhd", 4) != 0)
        return refuse(result, 2, "not a loop file (no \"TXhd\" chunk at the start)");
    const uint64_t dataId = 8 + uint64_t(rd32(head + 4));
    if (dataId + 4 > size)
        return refuse(result, 2,
                      "not a loop file (header length " + std::to_string(dataId - 8) + " points past the end)");
    const size_t got = src.ReadAt(dataId, head, 8);
    if (got < 4 || std::memcmp(head, "TXdt", 4) != 0)
        return refuse(result, 2, "not a loop file (no \"TXdt\" chunk at byte " + std::to_string(dataId) + ")");
    if (got < 8) {
        result.EndedEarly = true;
        result.StopOffset = dataId + 4;
        result.Reason = "the data length at byte " + std::to_string(dataId + 4) + " is cut off by the end of the file";
        return result;
    }
    const uint64_t start = dataId + 8;
    uint64_t end = start + rd32(head + 4);
    bool clipped = false;
    if (end > size) {
        end = size;
        clipped = true;
    }

    TEventApplier applier(loop, options);
    std::vector<uint8_t> buf(size_t(std::clamp<uint64_t>(end - start, 1, std::max<size_t>(options.BlockBytes, 1))));
    uint64_t off = start;  // next byte to read into the buffer
    size_t have = 0;       // bytes in the buffer
    for (;;) {
        const size_t take = size_t(std::min<uint64_t>(buf.size() - have, end - off));
        if (take > 0) {
            const size_t n = src.ReadAt(off, buf.data() + have, take);
            if (n < take) {
                end = off + n;  // the file shrank or cannot be read further
                clipped = true;
            }
            off += n;
            have += n;
        }
        const uint64_t more = end - off;
        const auto f = applier.Feed(buf.data(), have, more, off - have);
        if (f.Stop) break;
        if (f.Skip > 0) {
            off += f.Skip;
            have = 0;
            continue;
        }
        std::memmove(buf.data(), buf.data() + f.Consumed, have - f.Consumed);
        have -= f.Consumed;
        if (have == 0 && more == 0) break;
        if (f.Need <= have && f.Consumed == 0) break;  // no progress possible (never expected)
        if (f.Need > buf.size()) buf.resize(f.Need);
    }

    samples = std::move(applier.Samples);
    if (applier.EndedEarly) {
        result.EndedEarly = true;
        result.StopOffset = applier.StopOffset;
        result.Reason = applier.Reason;
    } else if (clipped) {
        result.EndedEarly = true;
        result.StopOffset = end;
        result.Reason = (src.Error.empty() ? "the data length points past the end of the file"
                                           : "the file could not be read to its end (" + src.Error + ")") +
                        ", at byte " + std::to_string(end);
    }
    loop.ComputeSongLength();
    loop.Modified = false;
    return result;
}

// The samples the events name are loaded after the last event, so each
// channel's effects are complete when its sample is processed.
TLoopReadResult readLoop(TByteSource& src, TLoop& loop, const TLoopReadOptions& options) {
    TRecorderAside aside(loop);  // the samples named by the file too
    std::vector<std::optional<std::string>> samples;
    TLoopReadResult r = readEvents(src, loop, options, samples);
    for (size_t ch = 0; ch < samples.size(); ++ch)
        if (samples[ch]) options.OnSampleFileName(int(ch), *samples[ch]);
    return r;
}

std::string_view trimSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// An integer, or 0 when the text is not one.
int64_t versionPart(std::string_view s) {
    s = trimSpaces(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s.size() > 10) return 0;
    int64_t v = 0;
    for (char ch : s) {
        if (ch < '0' || ch > '9') return 0;
        v = v * 10 + (ch - '0');
    }
    if (v > int64_t(INT32_MAX) + (negative ? 1 : 0)) return 0;
    return negative ? -v : v;
}

}  // namespace

int32_t VersionNumber(const std::string& text) {
    std::string_view s(text);
    const size_t a = s.find('.');
    std::string_view p1 = s.substr(0, a), p2, p3;
    if (a != std::string_view::npos) {
        std::string_view rest = s.substr(a + 1);
        const size_t b = rest.find('.');
        p2 = rest.substr(0, b);
        if (b != std::string_view::npos) p3 = rest.substr(b + 1);
    }
    // The arithmetic of a 32-bit integer, wrapping as the stored value does.
    const uint64_t v =
        (uint64_t(versionPart(p1)) * 1000 + uint64_t(versionPart(p2))) * 1000 + uint64_t(versionPart(p3));
    return int32_t(uint32_t(v));
}

TLoopReadResult ReadLoopFromMemory(const uint8_t* data, size_t size, TLoop& loop, const TLoopReadOptions& options) {
    TMemorySource src(data, data ? size : 0);
    return readLoop(src, loop, options);
}

TLoopReadResult ReadLoop(const std::string& fileName, TLoop& loop, const TLoopReadOptions& options) {
    TLoopReadResult r;
    // Non-blocking, so that a named pipe cannot stall the open.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return refuse(r, 1, std::string("cannot be opened: ") + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        return refuse(r, 1, std::string("cannot be opened: ") + std::strerror(e));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return refuse(
            r, 1,
            S_ISDIR(st.st_mode) ? "cannot be opened: it is a folder" : "cannot be opened: it is not a regular file");
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    TFileSource src(fd, uint64_t(st.st_size));
    r = readLoop(src, loop, options);
    ::close(fd);
    return r;
}

}  // namespace tx
