#include "engine/SampleInstall.h"

#include <algorithm>
#include <cmath>
#include <utility>

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
    std::vector<int16_t> old;
    {
        TLockGuard g(lock);
        if (engine) engine->RemoveSampleVoices(&channel.Sample);
        old.swap(channel.Sample.Data);
        channel.Sample.Length = 0;
        // An empty sample has no playing length, so no voice reads frames it lacks.
        channel.Sample.PlayLength = 0;
    }
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

void InstallChannelSample(TChannel& channel, TWAVSample& work, TEngine* engine, TLockable* lock) {
    std::vector<int16_t> old;  // freed after the lock is released
    {
        TLockGuard g(lock);
        TWAVSample& s = channel.Sample;
        old.swap(s.Data);
        s.Data = std::move(work.Data);
        s.Length = work.Length;
        std::vector<int16_t>().swap(work.Data);
        work.Length = 0;
        if (s.PlayLength != work.PlayLength && engine) engine->RemoveSampleVoices(&s);
        s.PlayLength = work.PlayLength;
    }
}

std::function<void(int, const std::string&)> MakeLoopSampleLoader(TLoop& loop, TLocateContext ctx, TEngine* engine) {
    return [&loop, ctx = std::move(ctx), engine](int ch, const std::string& stored) {
        if (ch < 0 || ch >= loop.ChannelCount()) return;
        TChannel& channel = loop.Channel(ch);
        TLockable* lock = engine ? &engine->EL : loop.EngineLock();
        const std::string located = LocateSample(stored, ctx);
        TWAVSample work;
        if (!located.empty() && LoadWAV(located, work) == 0 && work.HasData()) {
            ProcessChannelEffects(channel, work);
            InstallChannelSample(channel, work, engine, lock);
        } else {
            clearChannelSample(channel, engine, lock);
        }
        channel.SampleFileName = located.empty() ? stored : StoredSampleName(located, ctx.ProgramFolder);
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

    if (Events.SetBusyCursor) Events.SetBusyCursor(true);
    {
        TSuspendGuard suspend(engine_.EL);
        engine_.RemoveSampleVoices(&channel.Sample);
        const std::string located = locate(fileName);
        if (mayRename && engine_.Settings.AdjustChanName) {
            const int hue = int(rng_() % uint32_t(HueSteps + 1));
            channel.Color = ColorFromHLS(double(hue) / HueSteps, ChannelLightness, ChannelSaturation);
            loop_.SetChannelName(ch, withoutExtension(fileNamePart(located)));
        }
        clearChannelSample(channel, &engine_, &engine_.EL);
        WorkSample.ClearSampleData();
        if (!located.empty() && LoadWAV(located, WorkSample) == 0) ProcessChannelSample(ch);
        channel.SampleFileName = StoredSampleName(located, Locate.ProgramFolder);
    }
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
    return MakeLoopSampleLoader(loop_, std::move(ctx), &engine_);
}

}  // namespace tx
