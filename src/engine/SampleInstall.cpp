#include "engine/SampleInstall.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <utility>

#include "samples/SampleCache.h"

namespace tx {

namespace {

constexpr int32_t PreviewVolume = 51603;  // fixed-point volume of channel volume 100 at step volume 100
constexpr int32_t PreviewPan = 64;        // middle
constexpr int32_t NoGroup = -1;           // a preview cuts the preview still playing
constexpr double ChannelLightness = 0.87;
constexpr double ChannelSaturation = 0.6;
constexpr int HueSteps = 360;  // hue = random 0..360, over 360

// The part after the last separator of either platform.
std::string fileNamePart(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string withoutExtension(const std::string& name) {
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

void clearChannelSample(TChannel& channel, TEngine* engine, TLockable* lock) {
    TSampleFrames old;  // released after the lock
    {
        TLockGuard g(lock);
        if (engine) engine->RemoveSampleVoices(&channel.Sample);
        old.swap(channel.Sample.Data);
        channel.Sample.Length = 0;
        // An empty sample has no playing length, so no voice reads frames it lacks.
        channel.Sample.PlayLength = 0;
    }
}

// Extra frames the stereo delay adds to a processed copy.
uint64_t processedBytes(const TChannel& channel, int32_t rawFrames) {
    const uint64_t delay = uint64_t(std::abs(std::clamp(channel.StereoDelay, 0, 4096) - 2048));
    return (uint64_t(rawFrames) + delay) * WaveFormat::BlockAlign;
}

}  // namespace

TColor ColorFromHLS(double hue, double lightness, double saturation) {
    auto byte = [](double v) { return uint8_t(std::clamp(std::nearbyint(v * 255), 0.0, 255.0)); };
    if (saturation == 0) return TColor{byte(lightness), byte(lightness), byte(lightness)};
    const double q = lightness < 0.5 ? lightness * (1 + saturation) : lightness + saturation - lightness * saturation;
    const double p = 2 * lightness - q;
    auto part = [&](double t) {
        t -= std::floor(t);
        if (t < 1.0 / 6) return p + (q - p) * 6 * t;
        if (t < 1.0 / 2) return q;
        if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
        return p;
    };
    return TColor{byte(part(hue + 1.0 / 3)), byte(part(hue)), byte(part(hue - 1.0 / 3))};
}

bool HasWavExtension(const std::string& fileName) {
    const std::string name = fileNamePart(fileName);
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; });
    return ext == ".WAV";
}

void InstallChannelSample(TChannel& channel, TWAVSample& work, TEngine* engine, TLockable* lock, bool removeVoices) {
    TSampleFrames old;  // released after the lock
    {
        TLockGuard g(lock);
        TWAVSample& s = channel.Sample;
        if (engine && (removeVoices || s.PlayLength != work.PlayLength)) engine->RemoveSampleVoices(&s);
        old.swap(s.Data);
        s.Data.swap(work.Data);
        s.Length = work.Length;
        s.PlayLength = work.PlayLength;
    }
    work.ClearSampleData();
}

uint64_t LoopSampleBytes(const TLoop& loop) {
    std::set<const int16_t*> seen;
    uint64_t bytes = 0;
    for (int i = 0; i < loop.ChannelCount(); ++i) {
        const TSampleFrames& d = loop.Channel(i).Sample.Data;
        if (!d.empty() && seen.insert(d.data()).second) bytes += d.Bytes();
    }
    return bytes;
}

std::function<void(int, const std::string&)> MakeLoopSampleLoader(TLoop& loop, TLocateContext ctx, TEngine* engine,
                                                                  TSampleRefusedReport refused,
                                                                  uint64_t loopBudgetBytes) {
    auto cache = std::make_shared<TSampleCache>(loopBudgetBytes);
    return
        [&loop, ctx = std::move(ctx), engine, refused = std::move(refused), cache](int ch, const std::string& stored) {
            if (ch < 0 || ch >= loop.ChannelCount()) return;
            TChannel& channel = loop.Channel(ch);
            TLockable* lock = engine ? &engine->EL : loop.EngineLock();
            const std::string located = LocateSample(stored, ctx);
            channel.SampleFileName = located.empty() ? stored : StoredSampleName(located, ctx.ProgramFolder);
            std::string why;
            if (!located.empty()) {
                const TSampleCache::TEntry& raw = cache->Get(located);
                if (raw.Result == WavTooLarge) {
                    why = raw.Why;
                } else if (raw.Result == WavLoaded && !raw.Frames.empty()) {
                    // A processed copy is charged to the budget too; unchanged frames stay shared.
                    if (EffectsChangeFrames(channel) && !cache->Charge(processedBytes(channel, raw.Length))) {
                        why = "its effects would need a copy of " +
                              std::to_string(processedBytes(channel, raw.Length) >> 20) +
                              " MB, more than is left of the memory for this loop's samples";
                    } else {
                        TWAVSample work;
                        work.Data = raw.Frames;
                        work.Length = raw.Length;
                        ProcessChannelEffects(channel, work);
                        InstallChannelSample(channel, work, engine, lock);
                        return;
                    }
                }
            }
            clearChannelSample(channel, engine, lock);
            if (!why.empty() && refused) refused(ch, located, why);
        };
}

TSampleInstall::TSampleInstall(TLoop& loop, TEngine& engine, std::string programFolder)
    : loop_(loop), engine_(engine), rng_(std::random_device{}()) {
    Locate.ProgramFolder = std::move(programFolder);
}

std::string TSampleInstall::locate(const std::string& name) const {
    TLocateContext ctx = Locate;
    ctx.LoopFileName = loop_.LoopFileName;
    return LocateSample(name, ctx);
}

void TSampleInstall::SetChannelSample(int ch, const std::string& fileName, bool mayRename, bool refreshSettings) {
    if (ch < 0 || ch >= loop_.ChannelCount()) return;
    TChannel& channel = loop_.Channel(ch);
    // The same file again, by its name or by the stored form of its path, does nothing.
    if (fileName == channel.SampleFileName ||
        (!fileName.empty() && StoredSampleName(fileName, Locate.ProgramFolder) == channel.SampleFileName))
        return;
    if (!fileName.empty() && !HasWavExtension(fileName)) return;
    // The sample, its name and the channel's name and colour: one undo step.
    TLoopGesture gesture(loop_, "sample");
    loop_.TouchChannel(ch);

    if (Events.SetBusyCursor) Events.SetBusyCursor(true);
    const std::string located = locate(fileName);
    if (mayRename && engine_.Settings.AdjustChanName) {
        const int hue = int(rng_() % uint32_t(HueSteps + 1));
        channel.Color = ColorFromHLS(double(hue) / HueSteps, ChannelLightness, ChannelSaturation);
        loop_.SetChannelName(ch, withoutExtension(fileNamePart(located)));
    }
    // Read, converted and processed with no lock held: the old sample plays on
    // until the new one is swapped in.
    WorkSample.ClearSampleData();
    if (!located.empty()) {
        const uint64_t others = LoopSampleBytes(loop_) - channel.Sample.Data.Bytes();
        const uint64_t budget = LoopSampleBudget();
        const uint64_t left = budget > others ? budget - others : 0;
        std::string why;
        if (LoadWAV(located, WorkSample, &why, std::min(MaxSampleBytes, left)) == WavTooLarge && Events.SampleRefused)
            Events.SampleRefused(ch, located, why);
        if (WorkSample.HasData()) ProcessChannelEffects(channel, WorkSample);
    }
    if (WorkSample.HasData())
        InstallChannelSample(channel, WorkSample, &engine_, &engine_.EL, true);
    else
        clearChannelSample(channel, &engine_, &engine_.EL);
    channel.SampleFileName = StoredSampleName(located, Locate.ProgramFolder);
    if (refreshSettings && Events.RefreshChannelSettings) Events.RefreshChannelSettings(ch);
    loop_.Modified = true;
    if (Events.SetBusyCursor) Events.SetBusyCursor(false);

    bool any = false;
    for (int i = 0; i < loop_.ChannelCount(); ++i) any = any || !loop_.Channel(i).SampleFileName.empty();
    if (Events.SetCollectEnabled) Events.SetCollectEnabled(any);
}

void TSampleInstall::LoadPreviewSample(const std::string& fileName) {
    // Only this thread starts preview voices, so once they are gone the
    // mixer no longer reads the preview sample.
    engine_.RemoveSampleVoices(&PreviewSample);
    if (Events.SetBusyCursor) Events.SetBusyCursor(true);
    const std::string located = locate(fileName);
    if (located.empty() || LoadWAV(located, PreviewSample) != 0) PreviewSample.ClearSampleData();
    PreviewSample.PlayLength = PreviewSample.Length;
    PreviewFileName = located;
    if (Events.SetBusyCursor) Events.SetBusyCursor(false);
}

void TSampleInstall::PreviewFile(const std::string& fileName) {
    LoadPreviewSample(fileName);
    if (!PreviewSample.HasData()) return;
    TLockGuard g(&engine_.EL);
    engine_.AddVoice(&PreviewSample, engine_.MixPosition, PreviewVolume, 1.0f, 0.0f, PreviewSample.PlayLength, NoGroup,
                     NoGroup, PreviewPan);
}

void TSampleInstall::PreviewChannel(int ch) {
    if (ch < 0 || ch >= loop_.ChannelCount()) return;
    const TChannel& channel = loop_.Channel(ch);
    TLockGuard g(&engine_.EL);
    const int32_t stretch = std::clamp(channel.Stretch, 0, 128);
    const int64_t length = stretch != 0 ? int64_t(stretch) * engine_.StepLength : channel.Sample.PlayLength;
    const int32_t volume = int32_t((int64_t(std::clamp<int32_t>(channel.Volume, 0, 127)) * 65536) / 127);
    engine_.AddVoice(&channel.Sample, engine_.MixPosition, volume, 1.0f, 0.0f,
                     int32_t(std::min<int64_t>(length, INT32_MAX)), NoGroup, NoGroup, channel.Pan);
}

void TSampleInstall::ReloadWorkSample(int ch) {
    if (ch < 0 || ch >= loop_.ChannelCount()) return;
    const std::string& stored = loop_.Channel(ch).SampleFileName;
    WorkSample.ClearSampleData();
    if (locate(stored) != PreviewFileName) LoadPreviewSample(stored);
    if (PreviewSample.HasData()) {
        WorkSample.Data = PreviewSample.Data;
        WorkSample.Length = PreviewSample.Length;
    }
}

void TSampleInstall::ProcessChannelSample(int ch) {
    if (ch < 0 || ch >= loop_.ChannelCount() || !WorkSample.HasData()) return;
    TChannel& channel = loop_.Channel(ch);
    ProcessChannelEffects(channel, WorkSample);
    InstallChannelSample(channel, WorkSample, &engine_, &engine_.EL);
}

void TSampleInstall::ReprocessChannel(int ch) {
    if (ch < 0 || ch >= loop_.ChannelCount()) return;
    ReloadWorkSample(ch);
    ProcessChannelSample(ch);
    if (Events.RepaintSampleView) Events.RepaintSampleView(ch);
    loop_.Modified = true;
}

std::function<void(int, const std::string&)> TSampleInstall::LoopSampleLoader(const std::string& loopFileName) {
    TLocateContext ctx = Locate;
    ctx.LoopFileName = loopFileName;
    return MakeLoopSampleLoader(loop_, std::move(ctx), &engine_, Events.SampleRefused);
}

}  // namespace tx
