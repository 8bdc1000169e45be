#pragma once
#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "engine/Engine.h"
#include "samples/Samples.h"

namespace tx {

// What the desktop program shows while samples are installed; all optional.
struct TSampleInstallEvents {
    std::function<void(bool busy)> SetBusyCursor;
    std::function<void(int channel)> RefreshChannelSettings;  // the channel settings window
    std::function<void(bool enabled)> SetCollectEnabled;      // "&Collect Samples..."
    std::function<void(int channel)> RepaintSampleView;       // after an effect change
    // A sample refused for the memory it would take: the channel keeps its
    // name and stays silent. `why` names the sizes, not the file.
    std::function<void(int channel, const std::string& file, const std::string& why)> SampleRefused;
};

// Installs sample files in channels and plays previews. Holds the preview
// sample (also the cache a channel's raw frames are re-read from), the work
// sample and where samples are looked for. Window thread only: it reads,
// converts and processes files with no lock held, and takes the engine lock
// only to remove voices and to swap finished frames in, so the mixer plays
// the old sample until the new one is ready and never waits for a load.
class TSampleInstall {
public:
    TSampleInstall(TLoop& loop, TEngine& engine, std::string programFolder);
    TSampleInstall(const TSampleInstall&) = delete;
    TSampleInstall& operator=(const TSampleInstall&) = delete;

    TWAVSample PreviewSample;
    std::string PreviewFileName;  // located path it was last loaded from
    TWAVSample WorkSample;        // raw frames between a load and their processing
    // ProgramFolder and ShowHint; the loop folder is always the loop's current file.
    TLocateContext Locate;
    TSampleInstallEvents Events;

    void SetChannelSample(int channel, const std::string& fileName, bool mayRename, bool refreshSettings);
    void LoadPreviewSample(const std::string& fileName);
    void PreviewFile(const std::string& fileName);
    void PreviewChannel(int channel);
    void ReloadWorkSample(int channel);
    // Applies the channel's effects to WorkSample and installs the result.
    void ProcessChannelSample(int channel);
    // After an effect control stored its value: the raw frames again, processed anew.
    void ReprocessChannel(int channel);

    // The loop reader's OnSampleFileName for reading `loopFileName`.
    std::function<void(int, const std::string&)> LoopSampleLoader(const std::string& loopFileName);

    void SeedRandom(uint32_t seed) { rng_.seed(seed); }

private:
    std::string locate(const std::string& name) const;
    TLoop& loop_;
    TEngine& engine_;
    std::mt19937 rng_;
};

// Moves processed frames from `work` into the channel's sample under the
// lock, the only part of an install that holds it (a swap, no copy); the
// voices of the sample are removed when its PlayLength changes, or always
// with `removeVoices`. The old frames are released after the lock. `engine`
// may be null (nothing plays), `lock` too (nothing else runs).
void InstallChannelSample(TChannel& channel, TWAVSample& work, TEngine* engine, TLockable* lock,
                          bool removeVoices = false);

// Bytes the channels' samples take, frames shared by several counted once.
uint64_t LoopSampleBytes(const TLoop& loop);

using TSampleRefusedReport = std::function<void(int channel, const std::string& file, const std::string& why)>;

// OnSampleFileName for the loop reader, which calls it after the read with
// the lock released: locates and loads each channel's sample with its
// effects. A file named by several channels is read and converted once, and
// channels whose effects leave it unchanged share its frames. A sample found
// is stored in its relative form; one not found keeps its stored name, so
// saving the loop again loses no reference, and the channel is silent; so is
// one refused for passing the sample limit or the loop's budget, reported
// through `refused`. Reading never renames or recolours a channel.
// ctx.LoopFileName must name the file being read. `engine` may be null.
std::function<void(int, const std::string&)> MakeLoopSampleLoader(TLoop& loop, TLocateContext ctx,
                                                                  TEngine* engine = nullptr,
                                                                  TSampleRefusedReport refused = {},
                                                                  uint64_t loopBudgetBytes = LoopSampleBudget());

// Colour from hue, lightness and saturation, each 0..1.
TColor ColorFromHLS(double hue, double lightness, double saturation);
// True when the name's extension is ".WAV" in any letter case.
bool HasWavExtension(const std::string& fileName);

}  // namespace tx
