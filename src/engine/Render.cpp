#include "engine/Render.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "model/SafeFile.h"

namespace tx {

namespace {

constexpr int32_t FramesPerStepPattern = StepsPerPattern;  // a pattern is 16 steps
constexpr int32_t MsPerPatternBeats = 240000;              // four beats of 60000 ms per pattern at 1 BPM
constexpr int64_t MaxRiffSize = 0xFFFFFFFFll;              // the 32-bit size fields cap the file
constexpr size_t WriteBufferBytes = size_t(1) << 20;       // frames are written in pieces of about 1 MB

void putU32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void putU16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void putId(std::vector<uint8_t>& b, const char* id) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(id[i]));
}

std::string baseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The patterns of a playlist position in song mode, else the current pattern.
void setRenderPatterns(TEngine& e, int pos) {
    if (e.Loop.SongMode)
        e.Loop.PatternsAt(pos, e.MixPatterns);
    else
        e.MixPatterns.Assign(int16_t(std::clamp(e.Loop.CurrentPattern, 1, MaxPattern)));
    e.MixPattern = e.MixPatterns.First();
}

// One step of every pattern of MixPatterns, last to first, as the clock ticks them.
void tickAllPatterns(TEngine& e) {
    for (int k = e.MixPatterns.count - 1; k >= 0; --k) {
        e.MixPattern = e.MixPatterns.items[size_t(k)];
        e.TickChannels();
    }
}

void clearMixBuffer(TEngineLock& el, int32_t fromFrame) {
    std::fill(el.MixBuffer.begin() + ptrdiff_t(fromFrame) * 2, el.MixBuffer.end(), 0);
}

}  // namespace

// ---------------------------------------------------------------- texts

std::string RenderPatternLabel(int position, int count) {
    return "Pattern: " + std::to_string(position) + "/" + std::to_string(count);
}

std::string RenderTempoLabel(int tempo) { return "Tempo: " + std::to_string(tempo); }

std::string RenderLengthLabel(int32_t ms) {
    return "Length: " + std::to_string(ms / 1000) + "." + std::to_string((ms / 100) % 10) + "sec";
}

std::string RenderCaption(const std::string& fileName) { return "Rendering " + baseName(fileName); }

std::string RenderDoneCaption(const std::string& fileName) { return RenderCaption(fileName) + " (done)"; }

int RenderPositionCount(const TLoop& loop) {
    if (!loop.SongMode) return 1;
    if (!loop.PlayList.IsEmpty()) return loop.PlayList.LastUsed() + 1;
    int n = 0;
    while (2 + n <= MaxPattern && !loop.PatternIsEmpty(2 + n)) ++n;
    return 1 + n;
}

std::string RenderTitle(const TLoop& loop) {
    if (!loop.Title.empty()) return loop.Title;
    return std::filesystem::path(loop.LoopFileName).stem().string();
}

TRenderPlan PlanRender(const TLoop& loop, int32_t blockFrames) {
    TRenderPlan p;
    p.Count = RenderPositionCount(loop);
    // A file may bring any tempo; the clock only knows 10..500.
    p.Tempo = std::clamp(loop.Tempo, MinTempo, MaxTempo);
    p.LengthMs = int32_t(int64_t(p.Count) * MsPerPatternBeats / p.Tempo);
    p.GaugeMax = int32_t((int64_t(p.LengthMs) * 441 / 10) / std::max(blockFrames, 1));
    return p;
}

// ---------------------------------------------------------------- file layout

std::vector<uint8_t> RenderHeader() {
    std::vector<uint8_t> b;
    b.reserve(RenderHeaderBytes);
    putId(b, "RIFF");
    putU32(b, 0);
    putId(b, "WAVE");
    putId(b, "fmt ");
    putU32(b, 18);
    putU16(b, WaveFormat::FormatTag);
    putU16(b, WaveFormat::Channels);
    putU32(b, WaveFormat::SamplesPerSec);
    putU32(b, WaveFormat::AvgBytesPerSec);
    putU16(b, WaveFormat::BlockAlign);
    putU16(b, WaveFormat::BitsPerSample);
    putU16(b, WaveFormat::ExtraSize);
    putId(b, "data");
    putU32(b, 0);
    return b;
}

std::vector<uint8_t> RenderInfoChunk(const std::string& title) {
    std::vector<uint8_t> b;
    b.reserve(64 + title.size());  // the fixed texts and ids fit in 64 bytes
    putId(b, "LIST");
    putU32(b, 0);
    putId(b, "INFO");
    // No pad byte after an odd size: readers of these files expect none.
    auto sub = [&b](const char* id, const std::string& text) {
        putId(b, id);
        putU32(b, uint32_t(text.size() + 1));
        b.insert(b.end(), text.begin(), text.end());
        b.push_back(0);
    };
    sub("ICMT", RenderComment);
    sub("INAM", title);
    sub("ISFT", RenderSoftware);
    uint32_t body = uint32_t(b.size() - 8);
    for (int i = 0; i < 4; ++i) b[size_t(4 + i)] = uint8_t(body >> (8 * i));
    return b;
}

// ---------------------------------------------------------------- the render loop

namespace {
struct TLoopOutcome {
    int64_t DataBytes = 0;
    bool Cancelled = false;
    bool WriteFailed = false;
};

TLoopOutcome renderLoop(TEngine& e, const TRenderPlan& plan, TRenderProgress& progress, int64_t maxDataBytes,
                        const std::function<bool(const uint8_t*, size_t)>& write,
                        const std::function<void()>& onBlock) {
    TLoopOutcome outcome;
    TEngineLock& el = e.EL;
    el.SuspendOutput();
    // The render's steps are never heard live: keep them off the display.
    e.Timeline.SetPaused(true);
    const int32_t blockFrames = el.BlockFrames;
    const int32_t blockBytes = blockFrames * 4;
    std::vector<int16_t> out(size_t(blockFrames) * 2);
    e.ClearVoices();

    const FrameTime stepLength = e.StepLength;
    const FrameTime patternLength = FrameTime(FramesPerStepPattern) * stepLength;
    e.MixPosition = patternLength;
    // Never more frames than the 32-bit size fields of the file can describe.
    const FrameTime limit = e.MixPosition + maxDataBytes / 4;
    FrameTime end = std::min(e.MixPosition + FrameTime(plan.Count) * patternLength, limit);

    if (e.Settings.RenderingRemainder == TRemainder::Wrap) {
        // Pre-roll the last position so its tails sound at the start of the
        // file, as if the loop had just wrapped around.
        e.NextStepTime = 0;
        setRenderPatterns(e, plan.Count - 1);
        for (int step = 0; step < StepsPerPattern; ++step) {
            e.MixStep = step;
            tickAllPatterns(e);
            e.NextStepTime += stepLength;
        }
    }

    progress.GaugePosition.store(0, std::memory_order_relaxed);
    e.NextStepTime = e.MixPosition;
    e.MixStep = -1;
    e.SongPosition = 0;
    setRenderPatterns(e, 0);
    e.Playing = true;
    e.SongEnd = plan.Count - 1;

    while (e.MixPosition < end) {
        if (progress.Cancel.load(std::memory_order_relaxed)) {
            outcome.Cancelled = true;
            break;
        }
        e.MixBlock();
        if (e.Settings.RenderingRemainder == TRemainder::Leave && e.MixPosition >= end) {
            e.Playing = false;
            // Each voice's own played length (pitched, shortened by cuts), so a
            // pitched-down tail is kept whole; voices still waiting to start
            // (echoes, delayed steps) belong to the remainder too.
            for (int i = 0; i < e.VoiceCount; ++i) {
                const TMixChan& v = e.Voices[size_t(i)];
                if (v.StartTime + v.Length > end) end = v.StartTime + v.Length;
            }
            end = std::min(end, limit);
        }
        int32_t bytes = blockBytes;
        if (e.MixPosition > end) bytes -= int32_t((e.MixPosition - end) * 4);
        e.ConvertBlock(0, out.data(), 0, bytes);
        // A shortened block leaves mixed frames behind; the live output must
        // not hear them after the render.
        if (bytes < blockBytes) clearMixBuffer(el, bytes / 4);
        if (!write(reinterpret_cast<const uint8_t*>(out.data()), size_t(bytes))) {
            outcome.WriteFailed = true;
            break;
        }
        outcome.DataBytes += bytes;
        progress.GaugePosition.fetch_add(1, std::memory_order_relaxed);
        if (e.Playing) progress.PatternNumber.store(e.SongPosition + 1, std::memory_order_relaxed);
        if (onBlock) onBlock();
    }

    e.SongEnd = NoSongEnd;
    e.Playing = false;
    e.ClearVoices();
    clearMixBuffer(el, 0);
    e.Timeline.SetPaused(false);
    el.ResumeOutput();
    return outcome;
}

int64_t maxDataBytesFor(const std::vector<uint8_t>& info) {
    int64_t n = MaxRiffSize + 8 - RenderHeaderBytes - int64_t(info.size());
    return n / 4 * 4;
}
}  // namespace

int64_t RunRenderLoop(TEngine& engine, const TRenderPlan& plan, TRenderProgress& progress, int64_t maxDataBytes,
                      const std::function<bool(const uint8_t*, size_t)>& write) {
    return renderLoop(engine, plan, progress, maxDataBytes, write, {}).DataBytes;
}

// ---------------------------------------------------------------- the output file

// The render's file through the safe file writer, which replaces the target
// only when complete, keeps a link a link and the replaced file's permissions.
// Blocks are gathered into large writes.
class TRenderThread::TOutputFile {
public:
    static std::unique_ptr<TOutputFile> Create(const std::string& target, std::string& reason) {
        auto f = std::unique_ptr<TOutputFile>(new TOutputFile);
        if (!f->file_.Open(target)) {
            reason = f->file_.Reason();
            return nullptr;
        }
        f->buffer_.reserve(WriteBufferBytes);
        return f;
    }

    bool Append(const uint8_t* p, size_t n) {
        if (buffer_.size() + n > WriteBufferBytes && !flush()) return false;
        if (n > WriteBufferBytes) return file_.Write(p, n);
        buffer_.insert(buffer_.end(), p, p + n);
        return true;
    }

    // Writes the LIST chunk, patches the sizes and commits.
    bool Finish(const std::vector<uint8_t>& info, int64_t dataBytes) {
        if (!Append(info.data(), info.size()) || !flush()) return false;
        auto patch = [&](uint32_t v, int64_t at) {
            uint8_t size[4];
            for (int i = 0; i < 4; ++i) size[i] = uint8_t(v >> (8 * i));
            return file_.WriteAt(size, 4, at);
        };
        const int64_t fileSize = RenderHeaderBytes + dataBytes + int64_t(info.size());
        return patch(uint32_t(dataBytes), RenderDataSizeOffset) &&
               patch(uint32_t(fileSize - 8), RenderRiffSizeOffset) && file_.Commit();
    }

    const std::string& Reason() const { return file_.Reason(); }

private:
    TOutputFile() = default;

    bool flush() {
        const bool ok = file_.Write(buffer_.data(), buffer_.size());
        buffer_.clear();
        return ok;
    }

    TSafeFile file_;
    std::vector<uint8_t> buffer_;
};

// ---------------------------------------------------------------- the render thread

TRenderThread::TRenderThread(TEngine& engine) : engine_(engine) {}

TRenderThread::~TRenderThread() {
    Cancel();
    if (thread_.joinable()) thread_.join();
}

std::string TRenderThread::Caption() const {
    return Finished() ? RenderDoneCaption(fileName_) : RenderCaption(fileName_);
}

bool TRenderThread::StartRender(const std::string& fileName) {
    if (thread_.joinable()) {
        if (!Finished()) {
            result_ = TRenderResult{};
            result_.Error = fileName + ": a render is already running";
            return false;
        }
        thread_.join();
    }
    result_ = TRenderResult{};
    fileName_ = fileName;
    progress_.Cancel.store(false);
    progress_.Done.store(false);
    {
        // Stop as the transport does; the master filter starts from rest.
        TLockGuard g(&engine_.EL);
        engine_.Stop(true);
        engine_.ClearVoices();
        engine_.ClearMasterFilter();
        plan_ = PlanRender(engine_.Loop, engine_.EL.BlockFrames);
        title_ = RenderTitle(engine_.Loop);
    }
    progress_.Count.store(plan_.Count);
    progress_.PatternNumber.store(1);
    progress_.GaugeMax.store(plan_.GaugeMax);
    progress_.GaugePosition.store(0);

    std::string reason;
    file_ = TOutputFile::Create(fileName, reason);
    std::vector<uint8_t> header = RenderHeader();
    if (file_ && !file_->Append(header.data(), header.size())) reason = file_->Reason();
    if (!reason.empty()) {
        file_.reset();
        result_.Error = fileName + ": " + reason;
        progress_.Done.store(true, std::memory_order_release);
        return false;
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

void TRenderThread::run() {
    std::vector<uint8_t> info = RenderInfoChunk(title_);
    TOutputFile& f = *file_;
    TLoopOutcome o = renderLoop(
        engine_, plan_, progress_, maxDataBytesFor(info), [&f](const uint8_t* p, size_t n) { return f.Append(p, n); },
        OnBlock);
    result_.DataBytes = o.DataBytes;
    result_.Cancelled = o.Cancelled;
    if (!o.WriteFailed && f.Finish(info, o.DataBytes)) {
        result_.Ok = true;
    } else {
        result_.Error = fileName_ + ": " + f.Reason();
    }
    file_.reset();
    progress_.Done.store(true, std::memory_order_release);
}

const TRenderResult& TRenderThread::Wait() {
    if (thread_.joinable()) thread_.join();
    return result_;
}

TRenderResult RenderWAV(TEngine& engine, const std::string& fileName) {
    TRenderThread r(engine);
    r.StartRender(fileName);
    return r.Wait();
}

}  // namespace tx
