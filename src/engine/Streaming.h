#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/AudioDevice.h"
#include "engine/EngineLock.h"
#include "engine/StepTimeline.h"

namespace tx {

class TEngine;

// --- the streaming model as plain functions (bytes are 16-bit stereo, 4 a frame)

constexpr int32_t FrameBytes = 4;
constexpr int32_t DefaultAheadLength = 4410;  // frames (100 ms), the stored default

// Byte offsets at which the device wakes the mixing thread: position i = 0, 1
// at ((i x BufferBytes) div 2 + BufferBytes - AheadBytes) mod BufferBytes.
struct TNotifyPositions {
    int32_t First = 0;
    int32_t Second = 0;
};
TNotifyPositions NotificationPositions(int32_t bufferBytes, int32_t aheadBytes);
// The half to write (0 or BufferBytes / 2) for play cursor p.
int32_t WriteOffsetFor(int32_t playCursor, int32_t aheadBytes, int32_t bufferBytes);
// The ahead length actually used: at least one device period and at most one
// block, so the half being written is never the half playing.
int32_t EffectiveAheadFrames(int32_t requested, int32_t blockFrames, int32_t periodFrames);
// The device period we ask for: a quarter of the ahead length in steps of 32
// frames, 64..1024, so several periods fit in the ahead time.
int32_t DevicePeriodFor(int32_t aheadFrames);
// Settings window conversions: frames = ms x 441 div 10, ms = frames x 10 div 441.
constexpr int32_t MsToFrames(int32_t ms) { return ms * 441 / 10; }
constexpr int32_t FramesToMs(int32_t frames) { return frames * 10 / 441; }

// CPU load of the mixing thread from the start of the previous wake-up and the
// start and end of the last: round((end - start) x 100 / period), 0 when the
// period is 0. Times in any one unit.
int32_t CpuUsagePercent(int64_t previousStart, int64_t lastStart, int64_t lastEnd);
// The usage label: "" for 0, else the last two digits ("05%"), and in the 10 ms
// mode " (" + voices + " samples)" after it.
std::string CpuUsageText(int32_t usage, bool fastInterval, int voices);
std::string UnderrunText(int32_t count);  // "underruns: 3"

// --- failures the user is shown (the texts of the program)
inline constexpr const char* ErrNotificationEvent = "ERROR WHILE CREATING THE NOTIFICATION EVENT";
inline constexpr const char* ErrCooperativeLevel = "Error while setting the cooperative level";
inline constexpr const char* ErrPrimaryBuffer = "Error while creating the primary DirectSound buffer";
inline constexpr const char* ErrStreamingBuffer = "Error while creating the main streaming DirectSound buffer";
inline constexpr const char* ErrNotifications =
    "Error while setting the DirectSound notifications\rBe sure you're using at least DirectX 5";
inline constexpr const char* NoOutputWarning =
    "You didn't select any output (MIDI or DirectSound) device.\rDon't be surprised if you don't hear anything...";

// A set-up failure of the sound output: what() is the message box text,
// Detail the sound system's own words.
class TStreamingError : public std::runtime_error {
public:
    TStreamingError(const char* message, std::string detail)
        : std::runtime_error(message), Detail(std::move(detail)) {}
    std::string Detail;
};

// What the mixing thread mixes: the engine, or a stand-in in tests. Called
// with the engine lock held, on the mixing thread.
class TBlockSource {
public:
    virtual ~TBlockSource() = default;
    virtual void MixBlock() = 0;
    virtual void ConvertBlock(int32_t fromFrame, int16_t* out, int32_t scopeOffset, int32_t byteCount) = 0;
    virtual int VoiceCount() const = 0;
    // The engine frame the next MixBlock starts at (its MixPosition).
    virtual int64_t MixPosition() const { return 0; }
};

class TEngineBlockSource : public TBlockSource {
public:
    explicit TEngineBlockSource(TEngine& engine) : engine_(engine) {}
    void MixBlock() override;
    void ConvertBlock(int32_t fromFrame, int16_t* out, int32_t scopeOffset, int32_t byteCount) override;
    int VoiceCount() const override;
    int64_t MixPosition() const override;

private:
    TEngine& engine_;
};

// Where the device was at its last Pull: the engine frame it began to hand
// out, when (steady clock, ns), and how many frames it took.
struct TPullStamp {
    int64_t Frame = 0;
    int64_t Ns = 0;
    int32_t Frames = 0;
};

// The device buffer: two halves of B frames played in a loop. The device
// thread (Pull) copies out only blocks the mixing thread has finished, tagged
// by their absolute block number, and plays silence for a block that is not
// ready yet; it signals the notification event when its cursor passes a
// notification position. Stop, Restart and Resize run on the window thread
// with the engine lock held; the mixing thread writes a half and publishes it.
class TStreamBuffer final : public TAudioSink {
public:
    TStreamBuffer();
    void SetNotifyFd(int fd) { notifyFd_ = fd; }

    // Window thread. Resize and SetAhead stop the buffer first.
    void Resize(int32_t blockFrames);
    void SetAhead(int32_t aheadFrames);
    void Stop();     // freezes the play cursor; returns once no Pull is inside the buffer
    // Clears, puts the cursor ahead of the first half and wakes the mixer; the
    // cursor moves once the first block after the cleared part is written.
    void Restart();
    bool Exists() const { return blockFrames_ > 0; }
    bool Running() const { return running_.load(std::memory_order_acquire); }
    int32_t BlockFrames() const { return blockFrames_; }
    int32_t AheadFrames() const { return aheadFrames_; }
    int32_t BufferBytes() const { return blockFrames_ * 2 * FrameBytes; }
    int32_t AheadBytes() const { return aheadFrames_ * FrameBytes; }

    // Mixing thread: the absolute play cursor in frames (ring position =
    // cursor mod 2B), the half at a byte offset, and publishing a block.
    int64_t Cursor() const { return cursor_.load(std::memory_order_acquire); }
    int32_t PlayCursorBytes() const;  // cursor as a byte offset in the buffer
    int16_t* HalfAt(int32_t writeOffsetBytes) { return ring_.data() + writeOffsetBytes / 2; }
    // `origin` is the engine frame of the block's first frame.
    void Publish(int64_t block, int64_t origin = 0);
    // Block number of the part of the buffer cleared by Restart.
    int64_t FirstBlock() const { return firstBlock_; }

    // Any thread. Underruns are late blocks plus dropouts the device reported.
    int32_t Underruns() const { return underruns_.load(std::memory_order_relaxed); }
    int32_t Dropouts() const { return dropouts_.load(std::memory_order_relaxed); }
    uint64_t Pulls() const { return pulls_.load(std::memory_order_relaxed); }
    // False until a Pull has handed out a mixed block since the last Restart.
    bool LastPull(TPullStamp& stamp) const;

    void Pull(int16_t* out, int32_t frames) noexcept override;
    void Dropout() noexcept override;

private:
    std::vector<int16_t> ring_;  // 2 x B frames
    int32_t blockFrames_ = 0;
    int32_t aheadFrames_ = 0;
    int64_t firstBlock_ = 1;
    std::atomic<int64_t> tag_[2];  // block number each half holds, -1 none
    std::atomic<int64_t> origin_[2];  // engine frame of each half's first frame
    std::atomic<int64_t> cursor_{0};
    int64_t entered_ = -1;  // device thread: block the cursor is in
    int64_t waitFor_ = -1;  // device thread: block to wait for before the cursor moves, -1 none
    std::atomic<bool> running_{false};
    std::atomic<bool> busy_{false};  // device thread is inside Pull past the running check
    std::atomic<int32_t> underruns_{0};
    std::atomic<int32_t> dropouts_{0};
    std::atomic<uint64_t> pulls_{0};
    // Device thread: engine frame minus ring frame of the block heard last
    // (valid once a mixed block has been reached since Restart).
    int64_t offset_ = 0;
    bool offsetKnown_ = false;
    // The last pull, for the display: a seqlock written only by the device thread.
    std::atomic<uint64_t> stampSeq_{0};
    std::atomic<int64_t> stampFrame_{0}, stampNs_{0};
    std::atomic<int32_t> stampFrames_{0};
    std::atomic<bool> stampValid_{false};
    int notifyFd_ = -1;
};

// One entry of the output device list.
struct TOutputEntry {
    TAudioApi Api = TAudioApi::Null;
    std::string Name;         // the sound system's name of the device
    std::string Description;  // as listed: "JACK: system"
    bool IsDefault = false;   // its sound system's default output
    bool None = false;        // the "-none-" entry
};
inline constexpr const char* NoneEntryText = "-none-";

// The streaming output: the device list, the device, the device buffer, the
// mixing thread (TMixThread) and the three output hooks of the engine lock.
// All public calls are for the window thread; the counters may be read from
// any thread.
class TStreaming {
public:
    TStreaming(TEngineLock& lock, TBlockSource& source, TAudioSystem& system);
    ~TStreaming();
    TStreaming(const TStreaming&) = delete;
    TStreaming& operator=(const TStreaming&) = delete;

    // --- the device list
    // Lists every output of every sound system, then "-none-", and selects
    // `storedIndex` clamped to the list, or with none stored (-1) the system's
    // default output: JACK when its server runs, else PulseAudio, else ALSA
    // "default", else "-none-".
    void EnumerateDevices(int storedIndex = -1);
    const std::vector<TOutputEntry>& DeviceList() const { return list_; }
    int Selected() const { return selected_; }
    void Select(int index);
    // Selects the entry of `api` named `name` ("" = that system's default or
    // first output); false when there is none.
    bool SelectDevice(TAudioApi api, const std::string& name);

    // --- opening and closing (the start-up order: EnumerateDevices,
    // OpenDevice, SetBufferLength, StartOutputBuffer, StartMixThread)
    void SetAheadLength(int32_t frames) { requestedAhead_ = frames; }
    // Opens the selected device unless it is "-none-". A device that is not
    // there is replaced by its system's default device; when that is not there
    // either, nothing opens (DeviceOpen stays false, LastError says why).
    // Other failures throw TStreamingError.
    // `blockFrames` is the block the device will serve (0: the current one);
    // the device period asked for is fitted to it and to the ahead length.
    void OpenDevice(int32_t blockFrames = 0);
    // The engine's SetBufferLength, whose resize hook rebuilds the device
    // buffer; throws when the device cannot run with the new block.
    void SetBufferLength(int32_t frames);
    void StartOutputBuffer();
    void StartMixThread();
    // Stops the mixing thread without holding the engine lock while joining
    // it, then releases the device.
    void CloseDevice();
    // The settings window's device change: close, select, reopen.
    void ChangeDevice(int index);
    // Everything of the start-up order after EnumerateDevices.
    void Start(int32_t bufferFrames);

    bool DeviceOpen() const { return deviceOpen_; }
    const std::string& LastError() const { return lastError_; }
    TAudioDevice* Device() const { return device_.get(); }
    const TStreamBuffer& Buffer() const { return buffer_; }
    TStreamBuffer& Buffer() { return buffer_; }
    bool MixThreadRunning() const { return thread_.joinable() && !threadDone_.load(); }

    // --- the display's clock
    // The engine frame being heard now (or at `steadyNs`, a steady-clock time
    // in ns): what the device last took, less its reported latency, plus the
    // time since. EverythingAudible with no device streaming; NothingAudible
    // before the first mixed block is heard. Window thread; takes no lock.
    int64_t AudibleFrame(int64_t steadyNs = -1) const;

    // --- counters and displays (none of them takes the engine lock, so a
    // window can show them while a render holds it)
    int32_t UnderrunCount() const { return buffer_.Underruns(); }
    // Set by the display when it has shown the last underrun notice.
    std::atomic<bool> UnderrunFlag{true};
    std::function<void()> PostUnderrunChange;  // mixing thread; must not block
    // The device went away while playing: streaming has ended, the mixing
    // thread has left; call CloseDevice to release it. Mixing thread; must not block.
    std::function<void()> OnDeviceLost;
    bool DeviceLost() const { return lost_.load(); }
    std::string LostMessage() const;

    void SetTiming(bool on);
    int32_t CpuUsage() const { return cpuUsage_.load(std::memory_order_relaxed); }
    std::string CpuUsageDisplay(bool fastInterval) const;
    // Voices playing at the last mixed block, as the mixing thread published it.
    int VoicesPlaying() const { return voices_.load(std::memory_order_relaxed); }
    // Share of wall time spent mixing since timing was switched on, in percent.
    double AverageCpuPercent() const { return averageCpu_.load(std::memory_order_relaxed); }
    int64_t BlocksMixed() const { return blocksMixed_.load(); }
    // Absolute number of the block written last.
    int64_t LastBlockWritten() const { return lastWritten_.load(std::memory_order_acquire); }
    // Nothing from the device for this long while playing means it has gone
    // (0: never). Default 2 s plus four buffer cycles.
    void SetWatchdog(int32_t milliseconds) { watchdogMs_.store(milliseconds); }

    // The buffer half written last (under the engine lock).
    int32_t WriteOffset = 0;
    int32_t OutputStops() const { return stops_; }
    int32_t OutputRestarts() const { return restarts_; }

private:
    void stopHook();
    void restartHook();
    void resizeHook();
    void installHooks();
    void removeHooks();
    void mixOnce();  // one wake-up's work, engine lock held
    void threadLoop();
    bool lockOrQuit();
    int32_t watchdogFor() const;

    TEngineLock& EL;
    TBlockSource& source_;
    TAudioSystem& system_;
    std::vector<TOutputEntry> list_;
    int selected_ = 0;
    std::unique_ptr<TAudioDevice> device_;
    TStreamBuffer buffer_;
    int notifyFd_ = -1;
    bool deviceOpen_ = false;
    int32_t requestedAhead_ = DefaultAheadLength;
    std::string lastError_;
    const char* pendingError_ = nullptr;  // set by the resize hook, raised by SetBufferLength
    std::string pendingDetail_;
    std::atomic<int64_t> lastWritten_{0};  // block number last written; set under the engine lock
    int32_t lastUnderruns_ = 0;  // mixing thread

    std::thread thread_;
    std::atomic<bool> terminate_{false};
    std::atomic<bool> threadDone_{false};
    std::atomic<bool> lost_{false};
    std::atomic<int32_t> watchdogMs_{-1};  // -1: the default
    std::atomic<int32_t> cycleMs_{0};  // one buffer cycle, for the default watchdog
    std::string lostReason_;

    std::atomic<bool> timing_{false};
    std::atomic<bool> timingReset_{false};  // asks the mixing thread to start its figures afresh
    int64_t previousStart_ = 0, previousEnd_ = 0, lastStart_ = 0, lastEnd_ = 0;  // mixing thread, ns
    int64_t busyNs_ = 0, firstStart_ = 0;                                        // mixing thread
    // Published by the mixing thread after each timed wake-up.
    std::atomic<int32_t> cpuUsage_{0};
    std::atomic<double> averageCpu_{0.0};
    std::atomic<int> voices_{0};
    std::atomic<int64_t> blocksMixed_{0};
    int32_t stops_ = 0, restarts_ = 0;  // engine lock
};

}  // namespace tx
