#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/Engine.h"
#include "engine/EngineLock.h"

namespace tx {

// The records the DSP plug-in library shares with us. Every field is
// pointer-sized on this platform; only the named ones are ours to read or
// write, the rest (and anything after the stop field) belong to the plug-in.
struct TDspModule;
extern "C" {
using TDspInitProc = int (*)(TDspModule*);
using TDspStartProc = void (*)(TDspModule*);
using TDspProcessProc = void (*)(TDspModule*, int16_t* frames);
using TDspStopProc = void (*)(TDspModule*);
}

struct TDspModule {
    const char* Description;  // 1
    void* ParentWindow;       // 2: written before init
    void* Instance;           // 3: the library handle, written before init
    intptr_t SampleRate;      // 4: 44100
    intptr_t Channels;        // 5: 2
    intptr_t BlockFrames;     // 6: 576 at init, each chunk's frame count when processing
    intptr_t Reserved7;       // 7
    TDspInitProc Init;        // 8: 0 = ready
    TDspStartProc Start;      // 9: called after a successful init
    TDspProcessProc Process;  // 10: one chunk of 16-bit stereo frames
    intptr_t Reserved11;      // 11
    intptr_t Reserved12;      // 12
    TDspStopProc Stop;        // 13
};

struct TDspHeader {
    intptr_t Version;                     // 1
    const char* Description;              // 2
    TDspModule* (*GetModule)(int index);  // 3
};

static_assert(offsetof(TDspModule, ParentWindow) == 1 * sizeof(void*));
static_assert(offsetof(TDspModule, BlockFrames) == 5 * sizeof(void*));
static_assert(offsetof(TDspModule, Init) == 7 * sizeof(void*));
static_assert(offsetof(TDspModule, Process) == 9 * sizeof(void*));
static_assert(offsetof(TDspModule, Stop) == 12 * sizeof(void*));
static_assert(offsetof(TDspHeader, GetModule) == 2 * sizeof(void*));

constexpr const char* DspLibraryName = "multi.so";
constexpr const char* DspEntryName = "winampDSPGetHeader";
constexpr int32_t DspChunkFrames = 576;  // the most frames the plug-in gets per call

// The optional DSP plug-in: Plugins/multi.so beside the program, loaded at
// start-up, switched by the "Use Plugin" setting, fed every finished block by
// ConvertBlock. Load, Select and Unload run on the window thread and take the
// engine lock for what the mixer reads; ProcessBlock runs on the mixing or
// render thread with the lock held.
class TDspPlugin : public TBlockProcessor {
public:
    explicit TDspPlugin(TEngineLock& lock) : lock_(lock) {}
    ~TDspPlugin() override { Unload(); }
    TDspPlugin(const TDspPlugin&) = delete;
    TDspPlugin& operator=(const TDspPlugin&) = delete;

    // Loads programFolder + "Plugins/multi.so"; a missing library or one
    // without the entry point leaves the plug-in absent. True when loaded.
    bool Load(const std::string& programFolder);
    // The "Use Plugin" switch: stops an active module, then (when on) selects
    // module 0, initialises and starts it.
    void Select(bool on, void* parentWindow = nullptr);
    // Stops an active module and frees the library.
    void Unload();

    bool Loaded() const { return library_ != nullptr; }
    bool Active() const override { return active_.load(std::memory_order_acquire); }
    void ProcessBlock(int16_t* frames, int32_t frameCount) override;

private:
    void stopModule();

    TEngineLock& lock_;
    void* library_ = nullptr;
    TDspHeader* header_ = nullptr;
    TDspModule* module_ = nullptr;
    std::atomic<bool> active_{false};
};

}  // namespace tx
