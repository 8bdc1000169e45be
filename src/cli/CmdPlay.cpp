// `trovamix-cli play LOOP.txp [--seconds S] [--api jack|pulse|alsa|null]
//  [--device NAME] [--buffer FRAMES] [--ahead FRAMES] [--midi-out PORT]
//  [--sync-in PORT]`: plays the loop live,
// the pattern or the song as the loop's song mode says, until the time is up
// or Ctrl+C, then prints the underrun count and the mixing thread's CPU load.
#include <csignal>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "cli/Commands.h"
#include "cli/PlayMidi.h"
#include "engine/Engine.h"
#include "engine/EngineLock.h"
#include "engine/NullAudioDevice.h"
#include "engine/Streaming.h"
#include "model/Settings.h"
#if TROVAMIX_HAVE_DEVICES
#include "engine/devices/RtAudioDevice.h"
#endif

namespace txcli {

namespace {

constexpr int32_t MaxFrames = 441000;        // ten seconds: far beyond any block or ahead length
constexpr double MaxSeconds = 86400.0 * 365;  // a year; 0 means until Ctrl+C
constexpr auto PollInterval = std::chrono::milliseconds(20);

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler stores into it");
extern "C" void onInterrupt(int) { interrupted.store(true); }

struct TPlayArgs {
    std::string Loop;
    double Seconds = 0;  // 0: until interrupted
    std::optional<tx::TAudioApi> Api;
    std::string Device;
    int32_t BufferFrames = tx::TSettings{}.BufferLength;
    int32_t AheadFrames = tx::TSettings{}.AheadLength;
    std::string MidiOut, SyncIn;  // JACK MIDI ports: "Midi only" mode
};

const char* UsageText =
    "trovamix-cli play LOOP.txp [--seconds S] [--api jack|pulse|alsa|null] [--device NAME] [--buffer FRAMES] "
    "[--ahead FRAMES] [--midi-out PORT] [--sync-in PORT]";

int usage(const std::string& why) {
    Fail("play", "bad usage: " + why + " (expected " + UsageText + ")");
    return ExitUsage;
}

bool parseFrames(const std::string& v, int32_t& out) {
    char* end = nullptr;
    errno = 0;
    long n = std::strtol(v.c_str(), &end, 10);
    if (v.empty() || *end || errno || n < 1 || n > MaxFrames) return false;
    out = int32_t(n);
    return true;
}

// One option: its name, whether it takes a value, and what it does to the
// arguments (an error text, or "" when accepted). New options are new rows.
struct TOption {
    const char* Name;
    bool TakesValue;
    std::function<std::string(TPlayArgs&, const std::string&)> Apply;
};

const std::vector<TOption>& playOptions() {
    static const std::vector<TOption> options = {
        {"--seconds", true,
         [](TPlayArgs& a, const std::string& v) -> std::string {
             char* end = nullptr;
             errno = 0;
             double s = std::strtod(v.c_str(), &end);
             if (v.empty() || *end || errno || !std::isfinite(s) || s < 0 || s > MaxSeconds)
                 return "--seconds must be a number of seconds (0 = until Ctrl+C)";
             a.Seconds = s;
             return {};
         }},
        {"--api", true,
         [](TPlayArgs& a, const std::string& v) -> std::string {
             tx::TAudioApi api;
             if (!tx::ParseAudioApi(v, api)) return "--api must be jack, pulse, alsa or null, not \"" + v + "\"";
             a.Api = api;
             return {};
         }},
        {"--device", true,
         [](TPlayArgs& a, const std::string& v) -> std::string {
             if (v.empty()) return "--device needs a device name";
             a.Device = v;
             return {};
         }},
        {"--buffer", true,
         [](TPlayArgs& a, const std::string& v) -> std::string {
             if (!parseFrames(v, a.BufferFrames))
                 return "--buffer must be a number of frames from 1 to " + std::to_string(MaxFrames);
             return {};
         }},
        {"--ahead", true,
         [](TPlayArgs& a, const std::string& v) -> std::string {
             if (!parseFrames(v, a.AheadFrames))
                 return "--ahead must be a number of frames from 1 to " + std::to_string(MaxFrames);
             return {};
         }},
        {"--midi-out", true,
         [](TPlayArgs& a, const std::string& v) -> std::string {
             if (v.empty()) return "--midi-out needs a MIDI port name";
             a.MidiOut = v;
             return {};
         }},
        {"--sync-in", true,
         [](TPlayArgs& a, const std::string& v) -> std::string {
             if (v.empty()) return "--sync-in needs a MIDI port name";
             a.SyncIn = v;
             return {};
         }},
    };
    return options;
}

int parse(const Args& args, TPlayArgs& out) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 1 && a[0] == '-') {
            const TOption* match = nullptr;
            std::string value;
            for (const TOption& o : playOptions()) {
                const std::string name = o.Name;
                if (a == name) {
                    match = &o;
                    if (o.TakesValue) {
                        if (i + 1 >= args.size()) return usage(name + " needs a value");
                        value = args[++i];
                    }
                } else if (o.TakesValue && a.rfind(name + "=", 0) == 0) {
                    match = &o;
                    value = a.substr(name.size() + 1);
                }
                if (match) break;
            }
            if (!match) return usage("unknown option " + a);
            if (std::string why = match->Apply(out, value); !why.empty()) return usage(why);
        } else {
            if (!out.Loop.empty()) return usage("more than one loop file");
            out.Loop = a;
        }
    }
    if (out.Loop.empty()) return usage("no loop file");
    return ExitOk;
}

std::unique_ptr<tx::TAudioSystem> makeSystem(const TPlayArgs& a) {
    if (a.Api && *a.Api == tx::TAudioApi::Null) return std::make_unique<tx::TNullAudioSystem>(true);
#if TROVAMIX_HAVE_DEVICES
    return std::make_unique<tx::TRtAudioSystem>();
#else
    return nullptr;
#endif
}

std::string oneLine(std::string s) {
    for (char& c : s)
        if (c == '\r' || c == '\n') c = ' ';
    return s;
}

}  // namespace

int CmdPlay(const Args& args) {
    TPlayArgs a;
    if (int rc = parse(args, a); rc != ExitOk) return rc;

    tx::TSettings settings;
    settings.BufferLength = a.BufferFrames;
    settings.AheadLength = a.AheadFrames;
    tx::TEngineLock lock;
    tx::TLoop loop;
    loop.SetEngineLock(&lock);
    tx::TEngine engine(loop, lock, settings);
    if (int rc = LoadLoopIntoEngine(a.Loop, loop, lock, engine); rc != ExitOk) return rc;
    TPlayMidi midi;  // opened after the sound output, as the program starts up

    std::unique_ptr<tx::TAudioSystem> system = makeSystem(a);
    if (!system) {
        Fail("play", "this build has no sound output; use --api null");
        return ExitCannotOpen;
    }
    tx::TEngineBlockSource source(engine);
    tx::TStreaming streaming(lock, source, *system);
    std::atomic<bool> lost{false};
    streaming.OnDeviceLost = [&] { lost.store(true); };
    streaming.EnumerateDevices();
    if (a.Api) {
        if (!streaming.SelectDevice(*a.Api, a.Device)) {
            Fail("play", std::string("no ") + tx::AudioApiDisplayName(*a.Api) + " output" +
                             (a.Device.empty() ? "" : " named \"" + a.Device + "\"") +
                             (*a.Api == tx::TAudioApi::Alsa ? "" : " (is its server running?)"));
            return ExitCannotOpen;
        }
    } else if (!a.Device.empty()) {
        bool found = false;
        for (const tx::TAudioApi api : system->Apis()) found = found || streaming.SelectDevice(api, a.Device);
        if (!found) {
            Fail("play", "no output named \"" + a.Device + "\"");
            return ExitCannotOpen;
        }
    }
    const tx::TOutputEntry& entry = streaming.DeviceList()[size_t(streaming.Selected())];
    if (entry.None) {
        Fail("play", "no sound output found: start a JACK or PulseAudio server, or use --api null");
        return ExitCannotOpen;
    }

    streaming.SetAheadLength(a.AheadFrames);
    streaming.SetTiming(true);
    try {
        streaming.Start(settings.BufferLength);
    } catch (const tx::TStreamingError& e) {
        Fail(entry.Description, oneLine(e.what()) + " (" + e.Detail + ")");
        return ExitCannotOpen;
    }
    if (!streaming.DeviceOpen()) {
        Fail(entry.Description, "cannot open the output: " + streaming.LastError());
        return ExitCannotOpen;
    }
    // The sound output first: on JACK both sides ask for the client name
    // "Trovamix" and the second one is renamed, so the audio ports keep
    // "Trovamix:outport 0/1".
    if (!a.MidiOut.empty() || !a.SyncIn.empty()) {
        if (std::string why = midi.Open(engine, a.MidiOut, a.SyncIn); !why.empty()) {
            Fail("play", why);
            return ExitCannotOpen;
        }
    }
    const tx::TAudioDevice* dev = streaming.Device();
    std::fprintf(stderr, "playing %s on %s%s: block %d frames, ahead %d frames, device period %d frames\n",
                 loop.SongMode ? "the song" : ("pattern " + std::to_string(loop.CurrentPattern)).c_str(),
                 entry.Description.c_str(), dev->ClientName().empty() ? "" : (" as " + dev->ClientName()).c_str(),
                 int(lock.BlockFrames), int(streaming.Buffer().AheadFrames()), int(dev->PeriodFrames()));

    interrupted.store(false);
    auto previous = std::signal(SIGINT, onInterrupt);
    if (!midi.Syncing()) engine.Start();  // when synchronised the clock's start starts it
    const auto started = std::chrono::steady_clock::now();
    const auto limit = std::chrono::duration<double>(a.Seconds);
    while (!interrupted.load() && !lost.load() &&
           (a.Seconds == 0 || std::chrono::steady_clock::now() - started < limit)) {
        std::this_thread::sleep_for(PollInterval);
        midi.Poll(stderr);
    }
    engine.Stop();
    const int32_t underruns = streaming.UnderrunCount();
    const int32_t dropouts = streaming.Buffer().Dropouts();
    const std::string cpu = streaming.CpuUsageDisplay(false);
    const double average = streaming.AverageCpuPercent();
    const bool wasLost = streaming.DeviceLost();
    const std::string lostMessage = streaming.LostMessage();
    streaming.CloseDevice();
    std::signal(SIGINT, previous);

    std::printf("%s\n", tx::UnderrunText(underruns).c_str());
    std::printf("CPU usage: %s\n", cpu.empty() ? "0%" : cpu.c_str());
    std::printf("average CPU usage: %.2f%%\n", average);
    std::fflush(stdout);
    // Tells a late mixer from a sound system that broke up on its own.
    if (dropouts > 0) std::fprintf(stderr, "of the underruns, %d were dropouts the sound system reported\n", int(dropouts));
    if (wasLost) {
        Fail(entry.Description, lostMessage);
        return ExitCannotOpen;
    }
    return ExitOk;
}

}  // namespace txcli
