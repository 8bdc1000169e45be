#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/Engine.h"
#include "engine/RenderFormats.h"

namespace tx {

// Texts of the render window ("WAV rendering").
std::string RenderPatternLabel(int position, int count);     // "Pattern: 2/8"
std::string RenderTempoLabel(int tempo);                     // "Tempo: 140"
std::string RenderLengthLabel(int32_t milliseconds);         // "Length: 1.7sec"
std::string RenderCaption(const std::string& fileName);      // "Rendering " + name without folder
std::string RenderDoneCaption(const std::string& fileName);  // the caption + " (done)"

// Playlist positions a render covers: in song mode the highest non-empty
// position + 1 (with an empty playlist, 1 + the run of non-empty patterns from
// pattern 2 on), else 1.
int RenderPositionCount(const TLoop& loop);
// The "INAM" text: the title, or the loop file's name without folder and extension.
std::string RenderTitle(const TLoop& loop);

// What a render will cover, computed before it starts.
struct TRenderPlan {
    int32_t Count = 1;     // playlist positions
    int32_t Tempo = 140;   // BPM at the start
    int32_t LengthMs = 0;  // Count x 240000 div Tempo
    int32_t GaugeMax = 0;  // blocks: (LengthMs x 441 div 10) div BlockFrames
};
TRenderPlan PlanRender(const TLoop& loop, int32_t blockFrames);

// File layout: the 46 bytes before the frames (both sizes left 0 for patching)
// and the LIST/INFO chunk that follows them.
constexpr int32_t RenderHeaderBytes = 46;
constexpr int32_t RenderRiffSizeOffset = 4;
constexpr int32_t RenderDataSizeOffset = 42;
std::vector<uint8_t> RenderHeader();
std::vector<uint8_t> RenderInfoChunk(const std::string& title);
inline constexpr const char* RenderComment = "made with Trovamix (98) Vesko";
inline constexpr const char* RenderSoftware = "Trovamix";

// Progress of a running render. The render thread only stores into it and the
// window (or the command-line tool) polls it, so neither ever waits for the
// other; Cancel is the one value the other side writes.
struct TRenderProgress {
    std::atomic<int32_t> GaugePosition{0};
    std::atomic<int32_t> GaugeMax{0};
    std::atomic<int32_t> PatternNumber{1};  // song position + 1, kept while the clock plays
    std::atomic<int32_t> Count{1};
    std::atomic<bool> Cancel{false};
    std::atomic<bool> Done{false};  // set last, after the result is complete

    std::string PatLabel() const { return RenderPatternLabel(PatternNumber.load(), Count.load()); }
};

struct TRenderResult {
    bool Ok = false;
    bool Cancelled = false;          // stopped by Cancel; the file is still complete and valid
    std::string Error;               // on failure: "<file>: <reason>"
    int64_t DataBytes = 0;           // bytes of frames in the file (the mix's, with stems)
    std::vector<std::string> Files;  // what was written: the file, or the mix and the stems
};

// What to render: one file, or a folder of stems. The format is the one
// named, else the one the file's extension names (WAV for stems).
struct TRenderRequest {
    std::string Output;
    std::string StemsFolder;  // when set: "00 Mix.ext" and "NN Name.ext" per channel with a sample
    std::optional<TRenderFormat> Format;
};

// A channel's stem: "03 Snare.flac" for channel index 2 named "Snare". Of the
// name, characters a file name cannot hold here or on other systems are
// replaced by "_"; an empty name becomes "Channel".
std::string StemFileName(int channel, const std::string& channelName, TRenderFormat format);
std::string MixStemFileName(TRenderFormat format);  // "00 Mix.flac"
// The channels that get a stem: those with a sample, in order.
std::vector<int> StemChannels(const TLoop& loop);

// Renders the loop to a WAV file on its own thread (one render at a time).
// Construct, call StartRender on the window thread, then poll Progress and
// Finished, and collect the result with Wait. The render thread holds the
// engine lock, through SuspendOutput, for the whole mix, so the live output is
// silent meanwhile; it never waits for any other thread.
class TRenderThread {
public:
    explicit TRenderThread(TEngine& engine);
    ~TRenderThread();  // cancels a running render and waits for it
    TRenderThread(const TRenderThread&) = delete;
    TRenderThread& operator=(const TRenderThread&) = delete;

    // Set-up (window thread): stops playback, creates the files under
    // temporary names beside their targets and starts the thread. Returns
    // false, with the result's Error set, when the format cannot be written
    // or a file cannot be created; nothing is started or written then.
    bool StartRender(const TRenderRequest& request);
    bool StartRender(const std::string& fileName) { return StartRender(TRenderRequest{fileName, {}, {}}); }
    void Cancel() { progress_.Cancel.store(true); }
    bool Finished() const { return progress_.Done.load(std::memory_order_acquire); }
    // Waits for the thread and returns the result.
    const TRenderResult& Wait();

    const TRenderProgress& Progress() const { return progress_; }
    const TRenderPlan& Plan() const { return plan_; }
    std::string Caption() const;
    std::string TempoLabel() const { return RenderTempoLabel(plan_.Tempo); }
    std::string LengthLabel() const { return RenderLengthLabel(plan_.LengthMs); }

    // Called on the render thread after each block, for a window that wants a
    // nudge to poll; it must return at once (the engine lock is held).
    std::function<void()> OnBlock;

private:
    void run();

    TEngine& engine_;
    TRenderPlan plan_;
    TRenderProgress progress_;
    TRenderResult result_;
    std::string fileName_;  // for the caption: the file, or the stems' folder
    std::vector<int> stemChannels_;
    std::vector<std::string> targets_;  // the mix first, then the stems
    std::vector<std::unique_ptr<TRenderWriter>> writers_;
    std::thread thread_;
};

// The render loop itself, on the calling thread, for the render thread and the
// benchmark: suspends output, mixes every block with MixBlock/ConvertBlock and
// hands the finished bytes to `write` (false from it stops the render), then
// restores the clock and resumes output. Returns the bytes written.
int64_t RunRenderLoop(TEngine& engine, const TRenderPlan& plan, TRenderProgress& progress, int64_t maxDataBytes,
                      const std::function<bool(const uint8_t*, size_t)>& write);

// The same with stems: output 0 is the mix, output k the stem of
// stemChannels[k - 1]; `write` gets each output's frames. Returns the mix's bytes.
int64_t RunRenderLoop(TEngine& engine, const TRenderPlan& plan, TRenderProgress& progress,
                      const std::vector<int>& stemChannels,
                      const std::function<bool(int output, const int16_t* frames, int32_t count)>& write);

// Renders and waits: the command-line tool's and the tests' entry point.
// RenderWAV writes WAV whatever the name's extension.
TRenderResult RenderWAV(TEngine& engine, const std::string& fileName);
TRenderResult RenderFiles(TEngine& engine, const TRenderRequest& request);

}  // namespace tx
