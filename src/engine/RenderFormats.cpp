#include "engine/RenderFormats.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <limits>

#include "engine/Render.h"
#include "model/SafeFile.h"

namespace tx {

namespace {

constexpr int32_t RenderRate = 44100;
constexpr int32_t OpusRate = 48000;                   // the only rate Opus has above 24000
constexpr size_t WriteBufferBytes = size_t(1) << 20;  // files are written in pieces of about 1 MB
constexpr int64_t MaxRiffSize = 0xFFFFFFFFll;         // the 32-bit size fields cap a WAV file
constexpr int64_t Unlimited = std::numeric_limits<int64_t>::max() / 8;

const std::vector<TRenderFormatInfo> formats = {
    {TRenderFormat::Wav, "wav", ".wav", "WAV (16-bit)"},  {TRenderFormat::Flac, "flac", ".flac", "FLAC (lossless)"},
    {TRenderFormat::Vorbis, "ogg", ".ogg", "Ogg Vorbis"}, {TRenderFormat::Opus, "opus", ".opus", "Opus"},
    {TRenderFormat::Mp3, "mp3", ".mp3", "MP3"},
};

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// libsndfile's container and encoding for a format.
int sndfileFormat(TRenderFormat f) {
    switch (f) {
        case TRenderFormat::Flac:
            return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
        case TRenderFormat::Vorbis:
            return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
        case TRenderFormat::Opus:
            return SF_FORMAT_OGG | SF_FORMAT_OPUS;
        case TRenderFormat::Mp3:
            return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
        case TRenderFormat::Wav:
            break;
    }
    return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
}

int fileRate(TRenderFormat f) { return f == TRenderFormat::Opus ? OpusRate : RenderRate; }

// The library lists the containers it was built with; sf_format_check then
// says whether it takes this encoding (it does not check Opus's rates, which
// is why the rate asked for is the one we write).
bool sndfileWrites(TRenderFormat f) {
    const int format = sndfileFormat(f);
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    bool listed = false;
    for (int k = 0; k < count && !listed; ++k) {
        SF_FORMAT_INFO info{};
        info.format = k;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) == 0)
            listed = (info.format & SF_FORMAT_TYPEMASK) == (format & SF_FORMAT_TYPEMASK);
    }
    SF_INFO check{};
    check.samplerate = fileRate(f);
    check.channels = 2;
    check.format = format;
    return listed && sf_format_check(&check) != 0;
}

// ---------------------------------------------------------------- WAV

// The render's own WAV layout (header, frames, LIST/INFO), byte for byte as
// it always was; the sizes are patched when the frames are done.
class TWavWriter : public TRenderWriter {
public:
    explicit TWavWriter(const TRenderTags& tags) : info_(RenderInfoChunk(tags.Title)) {}

    bool Open(const std::string& target) {
        if (!file_.Open(target)) return false;
        buffer_.reserve(WriteBufferBytes);
        const std::vector<uint8_t> header = RenderHeader();
        return put(header.data(), header.size());
    }

    bool Append(const int16_t* frames, int32_t count) override {
        if (count <= 0) return true;
        dataBytes_ += int64_t(count) * 4;
        return put(reinterpret_cast<const uint8_t*>(frames), size_t(count) * 4);
    }

    bool Finish() override {
        if (!put(info_.data(), info_.size()) || !flush()) return false;
        auto patch = [&](uint32_t v, int64_t at) {
            uint8_t size[4];
            for (int i = 0; i < 4; ++i) size[i] = uint8_t(v >> (8 * i));
            return file_.WriteAt(size, 4, at);
        };
        const int64_t fileSize = RenderHeaderBytes + dataBytes_ + int64_t(info_.size());
        return patch(uint32_t(dataBytes_), RenderDataSizeOffset) &&
               patch(uint32_t(fileSize - 8), RenderRiffSizeOffset) && file_.Commit();
    }

    int64_t MaxFrames() const override { return (MaxRiffSize + 8 - RenderHeaderBytes - int64_t(info_.size())) / 4; }
    const std::string& Reason() const override { return file_.Reason(); }

private:
    bool put(const uint8_t* p, size_t n) {
        if (buffer_.size() + n > WriteBufferBytes && !flush()) return false;
        if (n > WriteBufferBytes) return file_.Write(p, n);
        buffer_.insert(buffer_.end(), p, p + n);
        return true;
    }
    bool flush() {
        const bool ok = file_.Write(buffer_.data(), buffer_.size());
        buffer_.clear();
        return ok;
    }

    std::vector<uint8_t> info_;
    TSafeFile file_;
    std::vector<uint8_t> buffer_;
    int64_t dataBytes_ = 0;
};

// ---------------------------------------------------------------- libsndfile

// libsndfile writing into a TSafeFile through its virtual I/O: appends are
// gathered into large writes, and the seeks back to patch a header (FLAC's
// stream info, MP3's first frame) are plain writes at an offset.
class TSoundFileWriter : public TRenderWriter {
public:
    explicit TSoundFileWriter(TRenderFormat f) : format_(f) {}
    ~TSoundFileWriter() override {
        if (sf_) sf_close(sf_);
        if (soxr_) soxr_delete(soxr_);
    }

    bool Open(const std::string& target, const TRenderTags& tags) {
        if (!file_.Open(target)) return fail(file_.Reason());
        buffer_.reserve(WriteBufferBytes);
        SF_INFO info{};
        info.samplerate = fileRate(format_);
        info.channels = 2;
        info.format = sndfileFormat(format_);
        static SF_VIRTUAL_IO io{vioLength, vioSeek, vioRead, vioWrite, vioTell};
        sf_ = sf_open_virtual(&io, SFM_WRITE, &info, this);
        if (!sf_)
            return fail(std::string("cannot be written as ") + RenderFormatInfo(format_).Description + ": " +
                        sf_strerror(nullptr));
        // Tags go before the first frame: FLAC, Ogg and MP3 write them in front.
        if (!tags.Title.empty()) sf_set_string(sf_, SF_STR_TITLE, tags.Title.c_str());
        sf_set_string(sf_, SF_STR_SOFTWARE, tags.Software.c_str());
        sf_set_string(sf_, SF_STR_COMMENT, tags.Comment.c_str());
        if (format_ == TRenderFormat::Opus) {
            soxr_error_t err = nullptr;
            const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_FLOAT32_I);
            const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
            soxr_ = soxr_create(RenderRate, OpusRate, 2, &err, &io, &quality, nullptr);
            if (err) return fail(std::string("cannot convert to 48000 Hz: ") + err);
        }
        return true;
    }

    bool Append(const int16_t* frames, int32_t count) override {
        if (count <= 0) return ok_;
        if (soxr_) return resample(frames, size_t(count));
        if (format_ == TRenderFormat::Flac) return write(frames, count);
        // The lossy coders take floats. Handing them 16-bit values is no
        // shortcut: libsndfile 1.2's MP3 writer garbles half of 16-bit stereo.
        for (int32_t done = 0; done < count;) {
            const int32_t n = std::min<int32_t>(count - done, FloatChunkFrames);
            for (int32_t i = 0; i < 2 * n; ++i) floats_[size_t(i)] = float(frames[2 * done + i]) / 32768.0f;
            if (sf_writef_float(sf_, floats_, n) != n) return fail(std::string("cannot write: ") + sf_strerror(sf_));
            done += n;
        }
        return ok_;
    }

    bool Finish() override {
        if (soxr_ && !resample(nullptr, 0)) return false;
        const int err = sf_close(sf_);
        sf_ = nullptr;
        if (err != 0) return fail(std::string("cannot be completed: ") + sf_error_number(err));
        if (!ok_ || !flush()) return false;
        return file_.Commit() || fail(file_.Reason());
    }

    int64_t MaxFrames() const override { return Unlimited; }
    const std::string& Reason() const override { return reason_; }

private:
    bool fail(const std::string& why) {
        if (ok_) reason_ = why;
        ok_ = false;
        return false;
    }

    bool write(const int16_t* frames, sf_count_t count) {
        if (sf_writef_short(sf_, frames, count) != count && ok_) fail(std::string("cannot write: ") + sf_strerror(sf_));
        return ok_;
    }

    // Opus takes 48000 Hz: the frames pass through soxr first; null flushes it.
    bool resample(const int16_t* frames, size_t count) {
        float out[4096 * 2];
        for (;;) {
            size_t used = 0, made = 0;
            if (soxr_error_t err = soxr_process(soxr_, frames, count, &used, out, 4096, &made))
                return fail(std::string("cannot convert to 48000 Hz: ") + err);
            if (made > 0 && sf_writef_float(sf_, out, sf_count_t(made)) != sf_count_t(made))
                return fail(std::string("cannot write: ") + sf_strerror(sf_));
            if (frames) {
                frames += used * 2;
                count -= used;
                if (count == 0 && made < 4096) return ok_;
            } else if (made == 0) {
                return ok_;
            }
        }
    }

    bool flush() {
        if (buffer_.empty()) return ok_;
        if (!file_.WriteAt(buffer_.data(), buffer_.size(), bufferAt_)) return fail(file_.Reason());
        bufferAt_ += int64_t(buffer_.size());
        buffer_.clear();
        return ok_;
    }

    // Virtual I/O: a position and a length, and the buffered tail of the file.
    static TSoundFileWriter& self(void* p) { return *static_cast<TSoundFileWriter*>(p); }
    static sf_count_t vioLength(void* p) { return self(p).length_; }
    static sf_count_t vioTell(void* p) { return self(p).pos_; }
    static sf_count_t vioSeek(sf_count_t offset, int whence, void* p) {
        TSoundFileWriter& w = self(p);
        const sf_count_t base = whence == SEEK_CUR ? w.pos_ : whence == SEEK_END ? w.length_ : 0;
        if (base + offset < 0) return -1;
        w.pos_ = base + offset;
        return w.pos_;
    }
    static sf_count_t vioRead(void*, sf_count_t, void*) { return 0; }  // written only
    static sf_count_t vioWrite(const void* data, sf_count_t count, void* p) {
        TSoundFileWriter& w = self(p);
        if (!w.ok_) return 0;
        const auto* bytes = static_cast<const uint8_t*>(data);
        const int64_t bufferEnd = w.bufferAt_ + int64_t(w.buffer_.size());
        if (w.pos_ == bufferEnd && w.pos_ == w.length_) {
            // An append: gathered, written once the buffer is full.
            if (w.buffer_.size() + size_t(count) > WriteBufferBytes && !w.flush()) return 0;
            if (w.buffer_.empty()) w.bufferAt_ = w.pos_;
            w.buffer_.insert(w.buffer_.end(), bytes, bytes + count);
        } else {
            // A patch of what was written before: the buffer goes out first.
            if (!w.flush()) return 0;
            w.bufferAt_ = std::max<int64_t>(w.length_, w.pos_ + count);
            if (!w.file_.WriteAt(bytes, size_t(count), w.pos_)) {
                w.fail(w.file_.Reason());
                return 0;
            }
        }
        w.pos_ += count;
        w.length_ = std::max<int64_t>(w.length_, w.pos_);
        return count;
    }

    static constexpr int32_t FloatChunkFrames = 4096;
    float floats_[FloatChunkFrames * 2];
    TRenderFormat format_;
    TSafeFile file_;
    SNDFILE* sf_ = nullptr;
    soxr_t soxr_ = nullptr;
    std::vector<uint8_t> buffer_;
    int64_t bufferAt_ = 0;  // file offset of the buffer's first byte
    int64_t pos_ = 0, length_ = 0;
    bool ok_ = true;
    std::string reason_;
};

}  // namespace

const std::vector<TRenderFormatInfo>& RenderFormats() { return formats; }

const TRenderFormatInfo& RenderFormatInfo(TRenderFormat f) {
    for (const TRenderFormatInfo& i : formats)
        if (i.Format == f) return i;
    return formats.front();
}

bool RenderFormatWritable(TRenderFormat f) {
    if (f == TRenderFormat::Wav) return true;
    static const bool writable[] = {true, sndfileWrites(TRenderFormat::Flac), sndfileWrites(TRenderFormat::Vorbis),
                                    sndfileWrites(TRenderFormat::Opus), sndfileWrites(TRenderFormat::Mp3)};
    return writable[int(f)];
}

std::optional<TRenderFormat> RenderFormatNamed(const std::string& name) {
    std::string n = lower(name);
    if (n == "vorbis") n = "ogg";
    for (const TRenderFormatInfo& i : formats)
        if (n == i.Name) return i.Format;
    return std::nullopt;
}

std::optional<TRenderFormat> RenderFormatOfFile(const std::string& fileName) {
    const std::string ext = lower(std::filesystem::path(fileName).extension().string());
    for (const TRenderFormatInfo& i : formats)
        if (ext == i.Extension) return i.Format;
    return std::nullopt;
}

std::string WritableFormatList() {
    std::string list;
    for (const TRenderFormatInfo& i : formats) {
        if (!RenderFormatWritable(i.Format)) continue;
        if (!list.empty()) list += ", ";
        list += i.Name;
    }
    return list;
}

std::string RenderFormatProblem(const std::string& fileName, std::optional<TRenderFormat> forced) {
    const std::optional<TRenderFormat> f = forced ? forced : RenderFormatOfFile(fileName);
    if (!f) {
        const std::string ext = std::filesystem::path(fileName).extension().string();
        return (ext.empty() ? std::string("no extension") : "the extension \"" + ext + "\"") +
               " names no format this program writes (" + WritableFormatList() + ")";
    }
    if (!RenderFormatWritable(*f))
        return std::string(RenderFormatInfo(*f).Description) + " cannot be written here: this libsndfile lacks it";
    return {};
}

std::unique_ptr<TRenderWriter> TRenderWriter::Create(TRenderFormat format, const std::string& target,
                                                     const TRenderTags& tags, std::string& reason) {
    if (format == TRenderFormat::Wav) {
        auto w = std::make_unique<TWavWriter>(tags);
        if (w->Open(target)) return w;
        reason = w->Reason();
        return nullptr;
    }
    if (!RenderFormatWritable(format)) {
        reason = RenderFormatProblem(target, format);
        return nullptr;
    }
    auto w = std::make_unique<TSoundFileWriter>(format);
    if (w->Open(target, tags)) return w;
    reason = w->Reason();
    return nullptr;
}

}  // namespace tx
