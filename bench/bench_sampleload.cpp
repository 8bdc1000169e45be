// How long loading samples holds the engine lock (the mixing thread waits
// that long at most), and how long the loads take:
// - a 99-channel loop whose samples are all different files (1 s at 22050 Hz
//   mono, so each is converted; every third channel reverses, so it is
//   processed),
// - installing a 10 s 48 kHz stereo sample in a channel, as the window does,
// - one 300000-byte file of 8-bit mono at 100 Hz (529 MB converted) named by
//   two channels.
// Goal: the longest hold under 1 ms per operation.
//
// usage: bench_sampleload [benchmark options]
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/LoadLoop.h"
#include "engine/SampleInstall.h"
#include "loopfile/LoopFile.h"

namespace {

namespace fs = std::filesystem;
using BenchClock = std::chrono::steady_clock;

constexpr int LoopChannels = 99;

// The engine lock, timing each outermost hold.
class TTimedLock : public tx::TEngineLock {
public:
    void Lock() override {
        TEngineLock::Lock();
        if (depth_++ == 0) since_ = BenchClock::now();
    }
    void Unlock() override {
        if (--depth_ == 0) {
            const double us = std::chrono::duration<double, std::micro>(BenchClock::now() - since_).count();
            Longest = std::max(Longest, us);
            Total += us;
            ++Holds;
            if (Holds == 1)
                First = us;
            else
                Rest = std::max(Rest, us);
        }
        TEngineLock::Unlock();
    }
    void Reset() {
        Longest = Total = First = Rest = 0;
        Holds = 0;
    }
    double Longest = 0, Total = 0;  // microseconds
    // The first hold and the longest of the others.
    double First = 0, Rest = 0;
    int Holds = 0;

private:
    int depth_ = 0;
    BenchClock::time_point since_;
};

void put(std::vector<uint8_t>& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

void writeWav(const fs::path& p, uint16_t channels, uint32_t rate, uint16_t bits, const std::vector<uint8_t>& pcm) {
    std::vector<uint8_t> b{'R', 'I', 'F', 'F'};
    put(b, uint32_t(4 + 24 + 8 + pcm.size()), 4);
    for (char c : std::string("WAVEfmt ")) b.push_back(uint8_t(c));
    const uint16_t align = uint16_t(channels * bits / 8);
    put(b, 16, 4);
    put(b, 1, 2);
    put(b, channels, 2);
    put(b, rate, 4);
    put(b, rate * align, 4);
    put(b, align, 2);
    put(b, bits, 2);
    for (char c : std::string("data")) b.push_back(uint8_t(c));
    put(b, uint32_t(pcm.size()), 4);
    b.insert(b.end(), pcm.begin(), pcm.end());
    FILE* f = std::fopen(p.c_str(), "wb");
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
}

// 16-bit tone of `frames` frames on `channels` channels.
std::vector<uint8_t> tone(int frames, int channels, double cyclesPerFrame) {
    std::vector<uint8_t> pcm;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) put(pcm, uint16_t(int16_t(12000 * std::sin(i * cyclesPerFrame * 6.283))), 2);
    return pcm;
}

const fs::path& folder() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("trovamix-bench-samples-" + std::to_string(::getpid()));
        fs::create_directories(d);
        for (int ch = 0; ch < LoopChannels; ++ch)
            writeWav(d / ("s" + std::to_string(ch) + ".wav"), 1, 22050, 16, tone(22050, 1, 0.01 + ch * 0.0003));
        writeWav(d / "long.wav", 2, 48000, 16, tone(480000, 2, 0.01));
        writeWav(d / "long2.wav", 2, 48000, 16, tone(480000, 2, 0.013));
        writeWav(d / "slow.wav", 1, 100, 8, std::vector<uint8_t>(300000, 0xC0));
        return d;
    }();
    return dir;
}

struct TRig {
    tx::TSettings settings;
    TTimedLock lock;
    tx::TLoop loop;
    tx::TEngine engine{loop, lock, settings};
    TRig() { loop.SetEngineLock(&lock); }

    // Writes a loop naming `names` and reads it as the program does.
    void load(const std::vector<std::string>& names, bool reverseEveryThird) {
        tx::TLoop l;
        for (size_t i = 0; i < names.size(); ++i) {
            while (int(i) >= l.ChannelCount()) l.AddChannel();
            l.Channel(int(i)).SampleFileName = names[i];
            l.Channel(int(i)).ReverseSample = reverseEveryThird && i % 3 == 0;
        }
        const std::string song = (folder() / "song.txp").string();
        tx::WriteLoop(song, l);
        tx::TLoadLoopOptions o;
        o.Locate.ProgramFolder = folder().string() + "/";
        tx::LoadLoopInto(song, loop, engine, o);
    }
};

void report(benchmark::State& state, const TTimedLock& lock, int operations) {
    state.counters["lock_max_ms"] = lock.Longest / 1000;
    state.counters["lock_mean_us"] = lock.Holds ? lock.Total / lock.Holds : 0;
    state.counters["holds_per_op"] = double(lock.Holds) / std::max(operations, 1);
}

void BM_Load99ChannelsOfDifferentSamples(benchmark::State& state) {
    std::vector<std::string> names;
    for (int ch = 0; ch < LoopChannels; ++ch)
        names.push_back((folder() / ("s" + std::to_string(ch) + ".wav")).string());
    TRig rig;
    int loads = 0;
    double read = 0, swaps = 0;
    for (auto _ : state) {
        rig.lock.Reset();
        rig.load(names, true);
        read = std::max(read, rig.lock.First);
        swaps = std::max(swaps, rig.lock.Rest);
        ++loads;
    }
    if (rig.loop.ChannelCount() != LoopChannels || !rig.loop.Channel(98).Sample.HasData())
        state.SkipWithError("samples not loaded");
    report(state, rig.lock, 1);
    // Loading reads into a new document off the lock; the one hold is the swap.
    state.counters["first_hold_ms"] = read / 1000;
    state.counters["other_hold_max_ms"] = swaps / 1000;
}
BENCHMARK(BM_Load99ChannelsOfDifferentSamples)->Unit(benchmark::kMillisecond);

void BM_InstallATenSecondSample(benchmark::State& state) {
    TRig rig;
    tx::TSampleInstall install(rig.loop, rig.engine, folder().string() + "/");
    const std::string files[2] = {(folder() / "long.wav").string(), (folder() / "long2.wav").string()};
    int installs = 0;
    rig.lock.Reset();
    for (auto _ : state) install.SetChannelSample(0, files[installs++ % 2], false, false);
    if (!rig.loop.Channel(0).Sample.HasData()) state.SkipWithError("sample not loaded");
    report(state, rig.lock, installs);
}
BENCHMARK(BM_InstallATenSecondSample)->Unit(benchmark::kMillisecond);

void BM_SlowLongFileOnTwoChannels(benchmark::State& state) {
    const std::string slow = (folder() / "slow.wav").string();
    int loads = 0;
    TTimedLock longest;
    for (auto _ : state) {
        TRig rig;
        rig.load({slow, slow}, false);
        ++loads;
        if (!rig.loop.Channel(1).Sample.Data.SharesWith(rig.loop.Channel(0).Sample.Data))
            state.SkipWithError("the channels do not share the file");
        longest.Longest = std::max(longest.Longest, rig.lock.Longest);
        longest.Total += rig.lock.Total;
        longest.Holds += rig.lock.Holds;
    }
    report(state, longest, loads);
}
BENCHMARK(BM_SlowLongFileOnTwoChannels)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(folder(), ec);
    return 0;
}
