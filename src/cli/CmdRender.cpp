// `trovamix-cli render LOOP.txp -o OUT.wav [--song|--pattern]
//  [--remainder cut|leave|wrap] [--buffer FRAMES]`: renders the loop as the
// desktop program's render command does, with the settings store's defaults
// for everything the options do not set.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>

#include "cli/Commands.h"
#include "engine/Engine.h"
#include "engine/EngineLock.h"
#include "engine/Render.h"
#include "model/Settings.h"

namespace txcli {

namespace {

constexpr int32_t MaxBufferFrames = 441000;  // ten seconds: far beyond any block a device would use
constexpr int ProgressBarWidth = 30;         // characters of the bar on a terminal
constexpr auto ProgressInterval = std::chrono::milliseconds(100);

struct TRenderArgs {
    std::string Loop, Output;
    std::optional<bool> SongMode;
    tx::TRemainder Remainder = tx::TSettings{}.RenderingRemainder;
    int32_t BufferFrames = tx::TSettings{}.BufferLength;
};

int usage(const std::string& why) {
    Fail("render", "bad usage: " + why +
                       " (expected trovamix-cli render LOOP.txp -o OUT.wav [--song|--pattern] "
                       "[--remainder cut|leave|wrap] [--buffer FRAMES])");
    return ExitUsage;
}

// Splits "--name=value" or takes the next argument; false when there is none.
bool optionValue(const Args& args, size_t& i, const std::string& name, std::string& value) {
    const std::string& a = args[i];
    if (a.size() > name.size() && a.compare(0, name.size() + 1, name + "=") == 0) {
        value = a.substr(name.size() + 1);
        return true;
    }
    if (i + 1 >= args.size()) return false;
    value = args[++i];
    return true;
}

// Returns ExitOk when the arguments are sound, else the usage failure.
int parse(const Args& args, TRenderArgs& out) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string value;
        if (a == "-o" || a == "--output" || a.rfind("--output=", 0) == 0) {
            if (!optionValue(args, i, "--output", value) || value.empty()) return usage("-o needs a file name");
            if (!out.Output.empty()) return usage("more than one output file");
            out.Output = value;
        } else if (a == "--song" || a == "--pattern") {
            bool song = a == "--song";
            if (out.SongMode && *out.SongMode != song) return usage("--song and --pattern exclude each other");
            out.SongMode = song;
        } else if (a == "--remainder" || a.rfind("--remainder=", 0) == 0) {
            if (!optionValue(args, i, "--remainder", value)) return usage("--remainder needs cut, leave or wrap");
            if (value == "cut")
                out.Remainder = tx::TRemainder::Cut;
            else if (value == "leave")
                out.Remainder = tx::TRemainder::Leave;
            else if (value == "wrap")
                out.Remainder = tx::TRemainder::Wrap;
            else
                return usage("--remainder must be cut, leave or wrap, not \"" + value + "\"");
        } else if (a == "--buffer" || a.rfind("--buffer=", 0) == 0) {
            if (!optionValue(args, i, "--buffer", value)) return usage("--buffer needs a number of frames");
            char* end = nullptr;
            errno = 0;
            long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end || errno || n < 1 || n > MaxBufferFrames)
                return usage("--buffer must be a number of frames from 1 to " + std::to_string(MaxBufferFrames));
            out.BufferFrames = int32_t(n);
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option " + a);
        } else {
            if (!out.Loop.empty()) return usage("more than one loop file");
            out.Loop = a;
        }
    }
    if (out.Loop.empty()) return usage("no loop file");
    if (out.Output.empty()) return usage("no output file (-o OUT.wav)");
    return ExitOk;
}

void drawProgress(const tx::TRenderThread& r, bool last) {
    const tx::TRenderProgress& p = r.Progress();
    int32_t max = std::max(p.GaugeMax.load(), 1);
    int32_t pos = std::min(p.GaugePosition.load(), max);
    if (last) pos = max;
    int filled = int(int64_t(pos) * ProgressBarWidth / max);
    std::string bar(size_t(filled), '#');
    bar.append(size_t(ProgressBarWidth - filled), '-');
    std::fprintf(stderr, "\r%s [%s] %3d%% %s%s", r.Caption().c_str(), bar.c_str(), int(int64_t(pos) * 100 / max),
                 p.PatLabel().c_str(), last ? "\n" : "");
    std::fflush(stderr);
}

}  // namespace

int CmdRender(const Args& args) {
    TRenderArgs a;
    if (int rc = parse(args, a); rc != ExitOk) return rc;

    tx::TSettings settings;
    settings.RenderingRemainder = a.Remainder;
    settings.BufferLength = a.BufferFrames;
    tx::TEngineLock lock;
    lock.SetBufferLength(settings.BufferLength);
    tx::TLoop loop;
    loop.SetEngineLock(&lock);
    tx::TEngine engine(loop, lock, settings);
    if (int rc = LoadLoopIntoEngine(a.Loop, loop, lock, engine, a.SongMode); rc != ExitOk) return rc;

    tx::TRenderThread render(engine);
    if (!render.StartRender(a.Output)) {
        std::fprintf(stderr, "trovamix-cli: %s\n", render.Wait().Error.c_str());
        return ExitCannotOpen;
    }
    const bool showProgress = ::isatty(STDERR_FILENO) == 1;
    while (showProgress && !render.Finished()) {
        drawProgress(render, false);
        std::this_thread::sleep_for(ProgressInterval);
    }
    const tx::TRenderResult& result = render.Wait();
    if (showProgress && result.Ok) drawProgress(render, true);
    if (!result.Ok) {
        if (showProgress) std::fputc('\n', stderr);
        std::fprintf(stderr, "trovamix-cli: %s\n", result.Error.c_str());
        return ExitCannotOpen;
    }
    return ExitOk;
}

}  // namespace txcli
