// `trovamix-cli render`: renders a loop as the desktop program's render
// command does, with the settings store's defaults for everything the options
// do not set: to one file in any format the machine writes, to a folder of
// stems in one pass, or many loops into one folder on all processors.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "cli/Commands.h"
#include "engine/Engine.h"
#include "engine/EngineLock.h"
#include "engine/Render.h"
#include "model/Settings.h"

namespace txcli {

namespace {

namespace fs = std::filesystem;

constexpr int32_t MaxBufferFrames = 441000;  // ten seconds: far beyond any block a device would use
constexpr int MaxJobs = 256;                 // far beyond the processors of any machine this runs on
constexpr int ProgressBarWidth = 30;         // characters of the bar on a terminal
constexpr auto ProgressInterval = std::chrono::milliseconds(100);

struct TRenderArgs {
    std::vector<std::string> Loops;
    std::string Output, Stems;
    std::optional<tx::TRenderFormat> Format;
    int Jobs = 0;  // 0: one per processor
    std::optional<bool> SongMode;
    tx::TRemainder Remainder = tx::TSettings{}.RenderingRemainder;
    int32_t BufferFrames = tx::TSettings{}.BufferLength;
};

int usage(const std::string& why) {
    Fail("render", "bad usage: " + why + " (see trovamix-cli render --help)");
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

bool parseNumber(const std::string& value, long lo, long hi, long& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtol(value.c_str(), &end, 10);
    return !value.empty() && !*end && !errno && out >= lo && out <= hi;
}

// Returns ExitOk when the arguments are sound, else the usage failure.
int parse(const Args& args, TRenderArgs& out) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string value;
        long n = 0;
        if (a == "-o" || a == "--output" || a.rfind("--output=", 0) == 0) {
            if (!optionValue(args, i, "--output", value) || value.empty())
                return usage("-o needs a file or folder name");
            if (!out.Output.empty()) return usage("more than one output");
            out.Output = value;
        } else if (a == "--stems" || a.rfind("--stems=", 0) == 0) {
            if (!optionValue(args, i, "--stems", value) || value.empty()) return usage("--stems needs a folder");
            out.Stems = value;
        } else if (a == "--format" || a.rfind("--format=", 0) == 0) {
            if (!optionValue(args, i, "--format", value)) return usage("--format needs a format");
            out.Format = tx::RenderFormatNamed(value);
            if (!out.Format)
                return usage("--format must be one of " + tx::WritableFormatList() + ", not \"" + value + "\"");
        } else if (a == "-j" || a == "--jobs" || a.rfind("--jobs=", 0) == 0 ||
                   (a.rfind("-j", 0) == 0 && a.size() > 2)) {
            if (a.size() > 2 && a[1] == 'j')
                value = a.substr(2);
            else if (!optionValue(args, i, "--jobs", value))
                return usage("-j needs a number of loops");
            if (!parseNumber(value, 1, MaxJobs, n))
                return usage("-j must be a number of loops from 1 to " + std::to_string(MaxJobs));
            out.Jobs = int(n);
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
            if (!optionValue(args, i, "--buffer", value) || !parseNumber(value, 1, MaxBufferFrames, n))
                return usage("--buffer must be a number of frames from 1 to " + std::to_string(MaxBufferFrames));
            out.BufferFrames = int32_t(n);
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option " + a);
        } else {
            out.Loops.push_back(a);
        }
    }
    if (out.Loops.empty()) return usage("no loop file");
    if (!out.Stems.empty()) {
        if (out.Loops.size() > 1) return usage("--stems takes one loop");
        if (!out.Output.empty()) return usage("--stems and -o exclude each other");
        return ExitOk;
    }
    if (out.Output.empty())
        return usage(out.Loops.size() > 1 ? "no output folder (-o FOLDER)" : "no output file (-o OUT.wav)");
    return ExitOk;
}

// Everything one render needs, made fresh for each loop: a batch renders
// exactly what rendering each loop alone does.
struct TRenderRig {
    explicit TRenderRig(const TRenderArgs& a) : engine(loop, lock, settingsFor(a)) {
        lock.SetBufferLength(engine.Settings.BufferLength);
        loop.SetEngineLock(&lock);
    }
    static tx::TSettings settingsFor(const TRenderArgs& a) {
        tx::TSettings s;
        s.RenderingRemainder = a.Remainder;
        s.BufferLength = a.BufferFrames;
        return s;
    }
    tx::TEngineLock lock;
    tx::TLoop loop;
    tx::TEngine engine;
};

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

// Creates a folder the render writes into (and those above it).
bool makeFolder(const std::string& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return true;
    fs::create_directories(folder, ec);
    if (!ec && fs::is_directory(folder, ec)) return true;
    Fail(folder, "cannot be made a folder: " + (ec ? ec.message() : std::string("a file is in the way")));
    return false;
}

// One loop, or its stems, with a bar on a terminal.
int renderOne(const TRenderArgs& a) {
    const bool stems = !a.Stems.empty();
    TRenderRig rig(a);
    if (int rc = LoadLoopIntoEngine(a.Loops[0], rig.loop, rig.lock, rig.engine, a.SongMode); rc != ExitOk) return rc;
    // Nothing is written unless the output's format can be.
    if (!stems) {
        if (std::string why = tx::RenderFormatProblem(a.Output, a.Format); !why.empty()) {
            Fail(a.Output, why);
            return a.Format || tx::RenderFormatOfFile(a.Output) ? ExitCannotOpen : ExitUsage;
        }
    } else if (a.Format && !tx::RenderFormatWritable(*a.Format)) {
        Fail(a.Stems, tx::RenderFormatProblem(a.Stems, a.Format));
        return ExitCannotOpen;
    }
    if (stems && !makeFolder(a.Stems)) return ExitCannotOpen;

    tx::TRenderThread render(rig.engine);
    if (!render.StartRender(tx::TRenderRequest{a.Output, a.Stems, a.Format})) {
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

// ---------------------------------------------------------------- many loops

// The shared state of a batch: which loop is next, what each worker is
// rendering now (for the bar), and the lines printed so far.
class TBatch {
public:
    TBatch(size_t loops, int workers, bool terminal)
        : total_(loops), active_(size_t(workers), nullptr), terminal_(terminal) {}

    size_t Next() { return next_.fetch_add(1); }

    void Show(int worker, const tx::TRenderProgress* p) {
        std::lock_guard g(mutex_);
        active_[size_t(worker)] = p;
    }

    // A loop is done: one line for it (stdout, or stderr when it failed).
    void Done(int worker, const std::string& loop, const std::string& failure, const std::string& output) {
        std::lock_guard g(mutex_);
        active_[size_t(worker)] = nullptr;
        ++done_;
        if (terminal_) std::fputs("\r\033[K", stderr);
        if (!failure.empty()) {
            Fail(loop, "not rendered: " + failure);
            ++failed_;
        } else if (!terminal_) {
            std::printf("rendered %s to %s (%zu/%zu)\n", loop.c_str(), output.c_str(), done_, total_);
            std::fflush(stdout);
        }
        if (terminal_) drawLocked();
    }

    void Draw() {
        std::lock_guard g(mutex_);
        drawLocked();
    }

    size_t Failed() const { return failed_; }

private:
    // "Rendering 3/8 loops [#####-----]  45%": the finished loops and the
    // part of each running one.
    void drawLocked() {
        if (closed_) return;
        closed_ = done_ == total_;
        double parts = double(done_);
        for (const tx::TRenderProgress* p : active_)
            if (p) parts += std::min(1.0, double(p->GaugePosition.load()) / std::max(p->GaugeMax.load(), 1));
        const double share = total_ ? parts / double(total_) : 1.0;
        const int filled = int(share * ProgressBarWidth);
        std::string bar(size_t(filled), '#');
        bar.append(size_t(ProgressBarWidth - filled), '-');
        std::fprintf(stderr, "\rRendering %zu/%zu loops [%s] %3d%%", done_, total_, bar.c_str(), int(share * 100));
        if (done_ == total_) std::fputc('\n', stderr);
        std::fflush(stderr);
    }

    const size_t total_;
    std::atomic<size_t> next_{0};
    std::mutex mutex_;
    std::vector<const tx::TRenderProgress*> active_;
    size_t done_ = 0, failed_ = 0;
    bool closed_ = false;  // the last bar is drawn
    const bool terminal_;
};

int renderMany(const TRenderArgs& a) {
    const tx::TRenderFormat format = a.Format.value_or(tx::TRenderFormat::Wav);
    if (!tx::RenderFormatWritable(format)) {
        Fail(a.Output, tx::RenderFormatProblem(a.Output, format));
        return ExitCannotOpen;
    }
    // Each loop's file is named after it; two loops of one name would write
    // the same file, so the batch is refused before anything is written.
    std::vector<std::string> outputs;
    std::map<std::string, std::string> claimed;
    const std::string folder = a.Output.back() == '/' ? a.Output : a.Output + "/";
    for (const std::string& loop : a.Loops) {
        outputs.push_back(folder + fs::path(loop).stem().string() + tx::RenderFormatInfo(format).Extension);
        auto [it, fresh] = claimed.emplace(outputs.back(), loop);
        if (!fresh) return usage(it->second + " and " + loop + " would both write " + outputs.back());
    }
    if (!makeFolder(a.Output)) return ExitCannotOpen;

    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    const int workers = std::min<int>(a.Jobs > 0 ? a.Jobs : cores, int(a.Loops.size()));
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    TBatch batch(a.Loops.size(), workers, terminal);
    auto work = [&](int worker) {
        for (size_t k = batch.Next(); k < a.Loops.size(); k = batch.Next()) {
            TRenderRig rig(a);
            std::string failure;
            const TLoadOutcome loaded = LoadLoopQuietly(a.Loops[k], rig.loop, rig.engine, a.SongMode);
            if (loaded.Status != ExitOk) {
                batch.Done(worker, a.Loops[k], loaded.Reason, {});
                continue;
            }
            tx::TRenderThread render(rig.engine);
            if (render.StartRender(tx::TRenderRequest{outputs[k], {}, format})) {
                batch.Show(worker, &render.Progress());
                if (!render.Wait().Ok) failure = render.Wait().Error;
            } else {
                failure = render.Wait().Error;
            }
            batch.Done(worker, a.Loops[k], failure, outputs[k]);
        }
    };
    std::vector<std::thread> threads;
    for (int w = 1; w < workers; ++w) threads.emplace_back(work, w);
    std::atomic<bool> finished{false};
    std::thread drawer;
    if (terminal) {
        drawer = std::thread([&] {
            while (!finished.load()) {
                batch.Draw();
                std::this_thread::sleep_for(ProgressInterval);
            }
        });
    }
    work(0);
    for (std::thread& t : threads) t.join();
    finished.store(true);
    if (drawer.joinable()) drawer.join();
    return batch.Failed() == 0 ? ExitOk : ExitCannotOpen;
}

}  // namespace

int CmdRender(const Args& args) {
    TRenderArgs a;
    if (int rc = parse(args, a); rc != ExitOk) return rc;
    std::error_code ec;
    // Several loops, or an output that is a folder: each loop to its own file there.
    if (a.Loops.size() > 1 || (a.Stems.empty() && (a.Output.back() == '/' || fs::is_directory(a.Output, ec))))
        return renderMany(a);
    return renderOne(a);
}

}  // namespace txcli
