#include "engine/Render.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#include "engine/Stems.h"
#include "loopfile/LoopText.h"

namespace tx {

namespace {

constexpr int32_t FramesPerStepPattern = StepsPerPattern;  // a pattern is 16 steps
constexpr int32_t MsPerPatternBeats = 240000;              // four beats of 60000 ms per pattern at 1 BPM

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

// ---------------------------------------------------------------- stems

std::string StemFileName(int channel, const std::string& channelName, TRenderFormat format) {
    // Characters no file name holds on this system or on those the stems may
    // travel to, and control characters.
    std::string name;
    for (char ch : LoopTextToUtf8(channelName)) {
        const auto u = static_cast<unsigned char>(ch);
        name += u < 0x20 || u == 0x7F || std::strchr("/\\:*?\"<>|", ch) ? '_' : ch;
    }
    // Some systems drop trailing dots and spaces; a long name is cut on a
    // character boundary, well inside the 255 bytes a file name may take.
    while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
    while (!name.empty() && name.front() == ' ') name.erase(name.begin());
    constexpr size_t MaxNameBytes = 200;
    if (name.size() > MaxNameBytes) {
        size_t cut = MaxNameBytes;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    if (name.empty()) name = "Channel";
    char number[16];
    std::snprintf(number, sizeof number, "%02d ", channel + 1);
    return number + name + RenderFormatInfo(format).Extension;
}

std::string MixStemFileName(TRenderFormat format) { return std::string("00 Mix") + RenderFormatInfo(format).Extension; }

std::vector<int> StemChannels(const TLoop& loop) {
    std::vector<int> channels;
    for (int c = 0; c < loop.ChannelCount(); ++c)
        if (loop.Channel(c).Sample.HasData()) channels.push_back(c);
    return channels;
}

// ---------------------------------------------------------------- the render loop

namespace {

// Where one output's frames go: the mix (0) or stem k.
struct TRenderSink {
    std::function<bool(const int16_t*, int32_t)> Write;
    int64_t MaxFrames = 0;
};

struct TLoopOutcome {
    std::vector<int64_t> Frames;  // per sink
    bool Cancelled = false;
    int WriteFailed = -1;  // the sink whose write failed
};

// Every output stops at its own end: with "Leave remainder" each rings out as
// long as its own voices do, exactly as a render of it alone would.
TLoopOutcome renderLoop(TEngine& e, const TRenderPlan& plan, TRenderProgress& progress,
                        const std::vector<int>& stemChannels, const std::vector<TRenderSink>& sinks,
                        const std::function<void()>& onBlock) {
    TLoopOutcome outcome;
    const size_t outputs = sinks.size();
    outcome.Frames.assign(outputs, 0);
    TEngineLock& el = e.EL;
    el.SuspendOutput();
    // The render's steps are never heard live: keep them off the display.
    e.Timeline.SetPaused(true);
    const int32_t blockFrames = el.BlockFrames;
    const int32_t blockBytes = blockFrames * 4;
    std::vector<int16_t> out(size_t(blockFrames) * 2);
    e.ClearVoices();
    const bool stems = outputs > 1;
    if (stems) e.BeginStems(stemChannels);

    const FrameTime stepLength = e.StepLength;
    const FrameTime patternLength = FrameTime(FramesPerStepPattern) * stepLength;
    e.MixPosition = patternLength;
    // Never more frames than a format can describe (WAV's 32-bit sizes).
    std::vector<FrameTime> limit(outputs), end(outputs);
    std::vector<bool> done(outputs, false);
    size_t left = outputs;
    for (size_t k = 0; k < outputs; ++k) {
        limit[k] = e.MixPosition + sinks[k].MaxFrames;
        end[k] = std::min(e.MixPosition + FrameTime(plan.Count) * patternLength, limit[k]);
    }

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

    for (size_t k = 0; k < outputs; ++k) {
        if (e.MixPosition < end[k]) continue;
        done[k] = true;
        --left;
        if (stems) e.Stems()->Retire(int(k));
    }
    while (left > 0) {
        if (progress.Cancel.load(std::memory_order_relaxed)) {
            outcome.Cancelled = true;
            break;
        }
        e.MixBlock();
        for (size_t k = 0; k < outputs && outcome.WriteFailed < 0; ++k) {
            if (done[k]) continue;
            if (e.Settings.RenderingRemainder == TRemainder::Leave && e.MixPosition >= end[k]) {
                e.Playing = false;
                // Each voice's own played length (pitched, shortened by cuts), so a
                // pitched-down tail is kept whole; voices still waiting to start
                // (echoes, delayed steps) belong to the remainder too.
                if (stems) {
                    end[k] = e.Stems()->LatestEnd(int(k), end[k]);
                } else {
                    for (int i = 0; i < e.VoiceCount; ++i) {
                        const TMixChan& v = e.Voices[size_t(i)];
                        if (v.StartTime + v.Length > end[k]) end[k] = v.StartTime + v.Length;
                    }
                }
                end[k] = std::min(end[k], limit[k]);
            }
            int32_t bytes = blockBytes;
            if (e.MixPosition > end[k]) bytes -= int32_t((e.MixPosition - end[k]) * 4);
            int32_t* buffer = k == 0 ? el.MixBuffer.data() : e.Stems()->Buffer(int(k));
            if (k == 0)
                e.ConvertBlock(0, out.data(), 0, bytes);
            else
                e.ConvertStem(int(k), out.data(), bytes);
            // A shortened block leaves mixed frames behind; neither the live
            // output nor a later block may hear them.
            if (bytes < blockBytes) std::fill(buffer + bytes / 2, buffer + size_t(blockFrames) * 2, 0);
            if (!sinks[k].Write(out.data(), bytes / 4)) {
                outcome.WriteFailed = int(k);
                break;
            }
            outcome.Frames[k] += bytes / 4;
            if (e.MixPosition >= end[k]) {
                done[k] = true;
                --left;
                if (stems) e.Stems()->Retire(int(k));
            }
        }
        if (outcome.WriteFailed >= 0) break;
        progress.GaugePosition.fetch_add(1, std::memory_order_relaxed);
        if (e.Playing) progress.PatternNumber.store(e.SongPosition + 1, std::memory_order_relaxed);
        if (onBlock) onBlock();
    }

    e.SongEnd = NoSongEnd;
    e.Playing = false;
    e.ClearVoices();
    if (stems) e.EndStems();
    clearMixBuffer(el, 0);
    e.Timeline.SetPaused(false);
    el.ResumeOutput();
    return outcome;
}

}  // namespace

int64_t RunRenderLoop(TEngine& engine, const TRenderPlan& plan, TRenderProgress& progress, int64_t maxDataBytes,
                      const std::function<bool(const uint8_t*, size_t)>& write) {
    std::vector<TRenderSink> sinks(1);
    sinks[0].MaxFrames = maxDataBytes / 4;
    sinks[0].Write = [&write](const int16_t* frames, int32_t count) {
        return write(reinterpret_cast<const uint8_t*>(frames), size_t(count) * 4);
    };
    return renderLoop(engine, plan, progress, {}, sinks, {}).Frames[0] * 4;
}

int64_t RunRenderLoop(TEngine& engine, const TRenderPlan& plan, TRenderProgress& progress,
                      const std::vector<int>& stemChannels,
                      const std::function<bool(int output, const int16_t* frames, int32_t count)>& write) {
    std::vector<TRenderSink> sinks(stemChannels.size() + 1);
    for (size_t k = 0; k < sinks.size(); ++k) {
        sinks[k].MaxFrames = std::numeric_limits<int64_t>::max() / 8;
        sinks[k].Write = [&write, k](const int16_t* frames, int32_t count) { return write(int(k), frames, count); };
    }
    return renderLoop(engine, plan, progress, stemChannels, sinks, {}).Frames[0] * 4;
}

// ---------------------------------------------------------------- the render thread

TRenderThread::TRenderThread(TEngine& engine) : engine_(engine) {}

TRenderThread::~TRenderThread() {
    Cancel();
    if (thread_.joinable()) thread_.join();
}

std::string TRenderThread::Caption() const {
    return Finished() ? RenderDoneCaption(fileName_) : RenderCaption(fileName_);
}

bool TRenderThread::StartRender(const TRenderRequest& request) {
    if (thread_.joinable()) {
        if (!Finished()) {
            result_ = TRenderResult{};
            result_.Error =
                (request.StemsFolder.empty() ? request.Output : request.StemsFolder) + ": a render is already running";
            return false;
        }
        thread_.join();
    }
    result_ = TRenderResult{};
    const bool stems = !request.StemsFolder.empty();
    fileName_ = stems ? request.StemsFolder : request.Output;
    progress_.Cancel.store(false);
    progress_.Done.store(false);
    auto refuse = [this](const std::string& file, const std::string& reason) {
        writers_.clear();
        result_.Error = file + ": " + reason;
        progress_.Done.store(true, std::memory_order_release);
        return false;
    };

    // The format is settled before anything is stopped or created.
    TRenderFormat format = TRenderFormat::Wav;
    if (request.Format || !stems) {
        if (std::string why = RenderFormatProblem(request.Output, request.Format); !why.empty())
            return refuse(fileName_, why);
        format = request.Format ? *request.Format : *RenderFormatOfFile(request.Output);
    }

    TRenderTags tags;
    {
        // Stop as the transport does; the master filter starts from rest.
        TLockGuard g(&engine_.EL);
        engine_.Stop(true);
        engine_.ClearVoices();
        engine_.ClearMasterFilter();
        plan_ = PlanRender(engine_.Loop, engine_.EL.BlockFrames);
        tags.Title = RenderTitle(engine_.Loop);
        targets_.clear();
        stemChannels_.clear();
        if (stems) {
            const std::string folder = request.StemsFolder + (request.StemsFolder.back() == '/' ? "" : "/");
            targets_.push_back(folder + MixStemFileName(format));
            stemChannels_ = StemChannels(engine_.Loop);
            for (int c : stemChannels_)
                targets_.push_back(folder + StemFileName(c, engine_.Loop.Channel(c).Name, format));
        } else {
            targets_.push_back(request.Output);
        }
    }
    progress_.Count.store(plan_.Count);
    progress_.PatternNumber.store(1);
    progress_.GaugeMax.store(plan_.GaugeMax);
    progress_.GaugePosition.store(0);

    // The WAV's INFO chunk keeps the title's bytes as the loop has them; the
    // other formats' tags are UTF-8.
    if (format != TRenderFormat::Wav) tags.Title = LoopTextToUtf8(tags.Title);
    tags.Software = RenderSoftware;
    tags.Comment = RenderComment;
    writers_.clear();
    for (const std::string& target : targets_) {
        std::string reason;
        writers_.push_back(TRenderWriter::Create(format, target, tags, reason));
        if (!writers_.back()) return refuse(target, reason);
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

void TRenderThread::run() {
    std::vector<TRenderSink> sinks(writers_.size());
    for (size_t k = 0; k < sinks.size(); ++k) {
        TRenderWriter& w = *writers_[k];
        sinks[k].MaxFrames = w.MaxFrames();
        sinks[k].Write = [&w](const int16_t* frames, int32_t count) { return w.Append(frames, count); };
    }
    TLoopOutcome o = renderLoop(engine_, plan_, progress_, stemChannels_, sinks, OnBlock);
    result_.DataBytes = o.Frames.empty() ? 0 : o.Frames[0] * 4;
    result_.Cancelled = o.Cancelled;
    result_.Ok = true;
    for (size_t k = 0; k < writers_.size(); ++k) {
        if (o.WriteFailed == int(k) || (o.WriteFailed < 0 && !writers_[k]->Finish())) {
            result_.Ok = false;
            result_.Error = targets_[k] + ": " + writers_[k]->Reason();
            break;
        }
        result_.Files.push_back(targets_[k]);
    }
    if (!result_.Ok) result_.Files.clear();
    writers_.clear();
    progress_.Done.store(true, std::memory_order_release);
}

const TRenderResult& TRenderThread::Wait() {
    if (thread_.joinable()) thread_.join();
    return result_;
}

TRenderResult RenderWAV(TEngine& engine, const std::string& fileName) {
    return RenderFiles(engine, TRenderRequest{fileName, {}, TRenderFormat::Wav});
}

TRenderResult RenderFiles(TEngine& engine, const TRenderRequest& request) {
    TRenderThread r(engine);
    r.StartRender(request);
    return r.Wait();
}

}  // namespace tx
