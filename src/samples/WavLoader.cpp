// RIFF/WAVE reading: our own chunk walk finds "fmt " and "data"; libsndfile
// decodes the data chunk from memory and soxr converts the rate once, so the
// mixer only ever sees 44100 Hz 16-bit stereo frames.
#include <fcntl.h>
#include <sndfile.h>
#include <soxr.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "samples/Samples.h"

namespace tx {

namespace {

// A wave-format record needs at least tag, channels, rate, bytes per second,
// block align and bits per sample.
constexpr uint32_t MinFormatSize = 16;
// Rates outside this range are not audio; soxr is not asked to bridge them.
constexpr int MinSourceRate = 100;
constexpr int MaxSourceRate = 1000000;
// The loop budget's bounds: one sample's worth at least, 8 GB at most.
constexpr uint64_t MaxLoopSampleBytes = uint64_t(8) << 30;
constexpr uint64_t BytesPerFrame = WaveFormat::BlockAlign;
// Frames decoded per pass.
constexpr int64_t DecodeChunkSamples = 65536;
// Frames the resampler hands over per call. A low rate multiplies a piece of
// input by up to 441; converting it whole would take a second buffer the size
// of the sample.
constexpr size_t ResampledPieceFrames = 65536;

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void put32(uint8_t* p, uint32_t x) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(x >> (8 * i));
}

// A read-only view of a whole file, closed on destruction.
class TMappedFile {
public:
    explicit TMappedFile(const std::string& name) {
        // Non-blocking, so that a named pipe cannot stall the open.
        int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            error_ = std::strerror(errno);
            return;
        }
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
            void* p = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (p != MAP_FAILED) {
                data_ = static_cast<const uint8_t*>(p);
                size_ = size_t(st.st_size);
                ::posix_madvise(p, size_, POSIX_MADV_SEQUENTIAL);
            } else {
                error_ = std::strerror(errno);
            }
        } else {
            error_ = S_ISDIR(st.st_mode) ? "it is a folder" : "it is empty or not a regular file";
        }
        ::close(fd);  // the mapping keeps the file open
    }
    ~TMappedFile() {
        if (data_) ::munmap(const_cast<uint8_t*>(data_), size_);
    }
    TMappedFile(const TMappedFile&) = delete;
    TMappedFile& operator=(const TMappedFile&) = delete;
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    const std::string& error() const { return error_; }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    std::string error_;
};

// A WAV image for libsndfile made of our own small header followed by the data
// chunk's body where it lies in the mapping (no copy of the frames).
struct TVirtualWav {
    std::vector<uint8_t> head;
    const uint8_t* body = nullptr;
    sf_count_t bodySize = 0;
    sf_count_t pos = 0;
    sf_count_t length() const { return sf_count_t(head.size()) + bodySize; }
};

sf_count_t vioLength(void* u) { return static_cast<TVirtualWav*>(u)->length(); }
sf_count_t vioSeek(sf_count_t offset, int whence, void* u) {
    auto* v = static_cast<TVirtualWav*>(u);
    sf_count_t base = whence == SEEK_CUR ? v->pos : whence == SEEK_END ? v->length() : 0;
    sf_count_t p = base + offset;
    if (p < 0 || p > v->length()) return -1;
    v->pos = p;
    return p;
}
sf_count_t vioRead(void* dst, sf_count_t count, void* u) {
    auto* v = static_cast<TVirtualWav*>(u);
    auto* out = static_cast<uint8_t*>(dst);
    sf_count_t done = 0;
    const sf_count_t headSize = sf_count_t(v->head.size());
    while (done < count && v->pos < v->length()) {
        sf_count_t n;
        if (v->pos < headSize) {
            n = std::min(count - done, headSize - v->pos);
            std::memcpy(out + done, v->head.data() + v->pos, size_t(n));
        } else {
            n = std::min(count - done, v->length() - v->pos);
            std::memcpy(out + done, v->body + (v->pos - headSize), size_t(n));
        }
        done += n;
        v->pos += n;
    }
    return done;
}
sf_count_t vioWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t vioTell(void* u) { return static_cast<TVirtualWav*>(u)->pos; }

int16_t toSample16(float x) {
    float v = x * 32768.0f;
    if (!(v > -32768.0f)) return v != v ? 0 : -32768;  // NaN -> silence
    if (v >= 32767.0f) return 32767;
    return int16_t(std::lrint(v));
}

// Where decoded stereo goes: straight to 16 bits, or through soxr first.
class TStereoSink {
public:
    TStereoSink(int sourceRate, std::vector<int16_t>& out, int64_t maxFrames) : out_(out), maxFrames_(maxFrames) {
        if (sourceRate != int(WaveFormat::SamplesPerSec)) {
            soxr_error_t err = nullptr;
            soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
            soxr_quality_spec_t q = soxr_quality_spec(SOXR_HQ, 0);
            soxr_ = soxr_create(double(sourceRate), double(WaveFormat::SamplesPerSec), 2, &err, &io, &q, nullptr);
            if (err) {
                soxr_ = nullptr;
                failed_ = true;
            }
        }
    }
    ~TStereoSink() {
        if (soxr_) soxr_delete(soxr_);
    }
    TStereoSink(const TStereoSink&) = delete;
    TStereoSink& operator=(const TStereoSink&) = delete;

    bool failed() const { return failed_; }
    bool full() const { return int64_t(out_.size() / 2) >= maxFrames_; }

    // frames of interleaved stereo floats; nullptr with 0 flushes the resampler.
    void put(const float* frames, size_t count) {
        if (failed_) return;
        if (!soxr_) {
            emit(frames, count);
            return;
        }
        const size_t outCap = ResampledPieceFrames;
        tmp_.resize(outCap * 2);
        const float* in = frames;
        size_t left = count;
        for (;;) {
            size_t idone = 0, odone = 0;
            soxr_error_t err = soxr_process(soxr_, in, left, &idone, tmp_.data(), outCap, &odone);
            if (err) {
                failed_ = true;
                return;
            }
            emit(tmp_.data(), odone);
            if (in) {
                if (idone == 0 && odone == 0) return;  // no progress: never spin
                in += idone * 2;
                left -= idone;
                if (left == 0 && odone < outCap) return;
            } else if (odone == 0) {
                return;
            }
            if (full()) return;
        }
    }
    void finish() {
        if (soxr_ && !failed_) put(nullptr, 0);
    }

private:
    void emit(const float* frames, size_t count) {
        // The size was checked before decoding; the resampler's last few
        // frames may still pass the estimate and are dropped.
        int64_t room = maxFrames_ - int64_t(out_.size() / 2);
        if (room <= 0) return;
        size_t n = std::min<size_t>(count, size_t(room));
        size_t base = out_.size();
        out_.resize(base + n * 2);
        for (size_t i = 0; i < n * 2; ++i) out_[base + i] = toSample16(frames[i]);
    }

    std::vector<int16_t>& out_;
    int64_t maxFrames_;
    soxr_t soxr_ = nullptr;
    bool failed_ = false;
    std::vector<float> tmp_;
};

enum class TConvert { Done, Failed, TooLarge };

// Decodes a data chunk body with the file's own format record. Fails when the
// converter rejects it, and refuses before decoding anything when the
// converted frames would take more than maxBytes (their size is then in
// `needBytes`); `frames` holds nothing unless it is done.
TConvert convertChunk(const uint8_t* fmt, uint32_t fmtSize, const uint8_t* fact, uint32_t factSize, const uint8_t* data,
                      uint32_t dataSize, uint64_t maxBytes, std::vector<int16_t>& frames, uint64_t& needBytes) {
    frames.clear();
    if (fmtSize < MinFormatSize) return TConvert::Failed;  // too short to be a wave-format record
    TVirtualWav v;
    // "fmt " padded to an even size so the image is a well-formed RIFF file.
    const uint32_t fmtChunk = fmtSize + (fmtSize & 1);
    const uint64_t riff = 4 + 8 + uint64_t(fmtChunk) + 8 + dataSize;
    if (riff > 0xFFFFFFFFu) return TConvert::Failed;
    v.head.assign(size_t(12 + 8 + fmtChunk + 8), 0);
    uint8_t* h = v.head.data();
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, uint32_t(riff));
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, fmtChunk);
    std::memcpy(h + 20, fmt, fmtSize);
    std::memcpy(h + 20 + fmtChunk, "data", 4);
    put32(h + 24 + fmtChunk, dataSize);
    v.body = data;
    v.bodySize = dataSize;

    SF_VIRTUAL_IO io{vioLength, vioSeek, vioRead, vioWrite, vioTell};
    SF_INFO info{};
    SNDFILE* sf = sf_open_virtual(&io, SFM_READ, &info, &v);
    if (!sf) return TConvert::Failed;
    struct Closer {
        SNDFILE* s;
        ~Closer() { sf_close(s); }
    } closer{sf};
    if (info.channels < 1 || info.samplerate < MinSourceRate || info.samplerate > MaxSourceRate)
        return TConvert::Failed;

    // Block-coded formats decode whole blocks; the "fact" chunk holds the true length.
    sf_count_t limit = info.frames;
    const int sub = info.format & SF_FORMAT_SUBMASK;
    const bool blockCoded = sub == SF_FORMAT_IMA_ADPCM || sub == SF_FORMAT_MS_ADPCM || sub == SF_FORMAT_GSM610 ||
                            sub == SF_FORMAT_G721_32 || sub == SF_FORMAT_G723_24 || sub == SF_FORMAT_G723_40;
    if (blockCoded && fact && factSize >= 4) limit = std::min<sf_count_t>(limit, sf_count_t(le32(fact)));
    if (limit < 0) return TConvert::Failed;

    // What the converted frames will take, known before anything is decoded.
    const double ratio = double(WaveFormat::SamplesPerSec) / info.samplerate;
    const double outFrames = std::ceil(double(limit) * ratio);
    needBytes = uint64_t(std::min(outFrames * double(BytesPerFrame), 1e18));
    if (needBytes > maxBytes) return TConvert::TooLarge;
    const auto maxFrames = int64_t(maxBytes / BytesPerFrame);

    const int ch = info.channels;
    const sf_count_t chunkFrames = std::max<sf_count_t>(1, DecodeChunkSamples / ch);
    try {
        std::vector<float> in(size_t(chunkFrames * ch));
        std::vector<float> stereo(size_t(chunkFrames) * 2);
        frames.reserve(size_t(std::min<double>(outFrames + 64, double(maxFrames))) * 2);
        TStereoSink sink(info.samplerate, frames, maxFrames);
        if (sink.failed()) return TConvert::Failed;
        sf_count_t remaining = limit;
        while (remaining > 0 && !sink.full()) {
            sf_count_t got = sf_readf_float(sf, in.data(), std::min(chunkFrames, remaining));
            if (got <= 0) break;
            remaining -= got;
            // Mono goes to both sides; of more than two channels the first two
            // (front left and right) are kept.
            for (sf_count_t i = 0; i < got; ++i) {
                const float* f = &in[size_t(i * ch)];
                stereo[size_t(i) * 2] = f[0];
                stereo[size_t(i) * 2 + 1] = ch == 1 ? f[0] : f[1];
            }
            sink.put(stereo.data(), size_t(got));
            if (sink.failed()) break;
        }
        sink.finish();
        if (sink.failed()) {
            frames.clear();
            return TConvert::Failed;
        }
    } catch (const std::bad_alloc&) {
        std::vector<int16_t>().swap(frames);
        return TConvert::Failed;
    }
    // The frames were converted straight into a buffer of the expected size;
    // only a decode that ended far short of it is worth a smaller copy.
    if (frames.capacity() - frames.size() > std::max<size_t>(frames.size() / 8, 1 << 20)) frames.shrink_to_fit();
    return TConvert::Done;
}

std::string megabytes(uint64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB"; }

}  // namespace

uint64_t LoopSampleBudget() {
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
    const uint64_t physical = pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) : 0;
    return std::clamp<uint64_t>(physical / 2, MaxSampleBytes, MaxLoopSampleBytes);
}

int LoadWAV(const std::string& fileName, TWAVSample& sample, std::string* why, uint64_t maxBytes) {
    auto fail = [&](int code, std::string reason) {
        if (why) *why = std::move(reason);
        return code;
    };
    TMappedFile file(fileName);
    if (!file.data()) return fail(WavNotLoaded, "cannot be read: " + file.error());
    const uint8_t* p = file.data();
    const int64_t size = int64_t(file.size());
    if (size < 12 || std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0)
        return fail(WavNotLoaded, "not a RIFF/WAVE file");

    const int64_t end = std::min<int64_t>(int64_t(le32(p + 4)) + 8, size);
    int state = 0;  // 0 nothing found, 1 format found, 2 data converted
    const uint8_t* fmt = nullptr;
    uint32_t fmtSize = 0;
    const uint8_t* fact = nullptr;
    uint32_t factSize = 0;
    int64_t offset = 12;
    while (offset + 4 < end) {
        // A size field cut off by the end of the walk ends it.
        if (offset + 8 > end) break;
        const uint8_t* chunk = p + offset;
        const uint32_t chunkSize = le32(chunk + 4);
        // A body that runs past the end of the walk is clipped to it.
        const uint32_t body = uint32_t(std::min<int64_t>(chunkSize, end - (offset + 8)));
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (state == 0) {
                fmt = chunk + 8;
                fmtSize = body;
                state = 1;
            }
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (state == 1) {
                state = 2;
                sample.ClearSampleData();
                std::vector<int16_t> frames;
                uint64_t need = 0;
                switch (convertChunk(fmt, fmtSize, fact, factSize, chunk + 8, body, maxBytes, frames, need)) {
                    case TConvert::Done:
                        sample.Length = int32_t(frames.size() / 2);
                        sample.Data = std::move(frames);
                        break;
                    case TConvert::TooLarge:
                        return fail(WavTooLarge, "would take " + megabytes(need) + " once converted, more than the " +
                                                     megabytes(maxBytes) + " a sample may take here");
                    case TConvert::Failed:
                        if (why) *why = "its encoding cannot be converted";  // loaded, but empty
                        break;
                }
            }
        } else if (std::memcmp(chunk, "fact", 4) == 0 && !fact) {
            fact = chunk + 8;
            factSize = body;
        }
        offset += 8 + int64_t(chunkSize);  // no pad byte after an odd size
    }
    return state == 2 ? WavLoaded : fail(WavNotLoaded, "no \"data\" chunk after a \"fmt \" chunk");
}

}  // namespace tx
