#include "engine/Streaming.h"

#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "engine/Engine.h"

namespace tx {

namespace {

constexpr int32_t MinDevicePeriod = 64;     // frames; smaller periods only cost wake-ups
constexpr int32_t MaxDevicePeriod = 1024;   // frames (23 ms)
constexpr int32_t DevicePeriodStep = 32;    // frames; keeps periods friendly to sound servers
constexpr int32_t WatchdogBaseMs = 2000;    // silence from the device longer than this means it is gone
constexpr int32_t WatchdogCycles = 4;       // plus this many buffer cycles
constexpr int SpinTries = 50;               // lock attempts with a bare yield before sleeping
constexpr int ShortSleepTries = 200;        // then attempts 100 us apart, then 1 ms apart
constexpr int MixThreadRtPriority = 4;      // real-time priority 5: below the sound servers' own threads (10 and up)

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void signalFd(int fd) {
    if (fd < 0) return;
    uint64_t one = 1;
    // A full counter (never reached) or an interrupted write only loses a wake-up
    // that is already pending.
    ssize_t r = ::write(fd, &one, sizeof one);
    (void)r;
}

}  // namespace

// ---------------------------------------------------------------- model functions

TNotifyPositions NotificationPositions(int32_t bufferBytes, int32_t aheadBytes) {
    auto pos = [&](int32_t i) {
        int32_t v = ((i * bufferBytes) / 2 + bufferBytes - aheadBytes) % bufferBytes;
        return v < 0 ? v + bufferBytes : v;
    };
    return {pos(0), pos(1)};
}

int32_t WriteOffsetFor(int32_t playCursor, int32_t aheadBytes, int32_t bufferBytes) {
    return (playCursor + aheadBytes) % bufferBytes >= bufferBytes / 2 ? bufferBytes / 2 : 0;
}

int32_t EffectiveAheadFrames(int32_t requested, int32_t blockFrames, int32_t periodFrames) {
    int32_t a = std::max({requested, periodFrames, int32_t(1)});
    return std::min(a, blockFrames);
}

int32_t DevicePeriodFor(int32_t aheadFrames) {
    int32_t p = (aheadFrames / 4) / DevicePeriodStep * DevicePeriodStep;
    return std::clamp(p, MinDevicePeriod, MaxDevicePeriod);
}

int32_t CpuUsagePercent(int64_t previousStart, int64_t lastStart, int64_t lastEnd) {
    int64_t period = lastStart - previousStart;
    if (period == 0) return 0;
    return int32_t(std::nearbyint(double(lastEnd - lastStart) * 100.0 / double(period)));
}

std::string CpuUsageText(int32_t usage, bool fastInterval, int voices) {
    if (usage == 0) return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d%%", std::abs(usage) % 100);
    std::string s = buf;
    if (fastInterval) s += " (" + std::to_string(voices) + " samples)";
    return s;
}

std::string UnderrunText(int32_t count) { return "underruns: " + std::to_string(count); }

// ---------------------------------------------------------------- engine as block source

void TEngineBlockSource::MixBlock() { engine_.MixBlock(); }
void TEngineBlockSource::ConvertBlock(int32_t fromFrame, int16_t* out, int32_t scopeOffset, int32_t byteCount) {
    engine_.ConvertBlock(fromFrame, out, scopeOffset, byteCount);
}
int TEngineBlockSource::VoiceCount() const { return engine_.VoiceCount; }
int64_t TEngineBlockSource::MixPosition() const { return engine_.MixPosition; }

// ---------------------------------------------------------------- device buffer

TStreamBuffer::TStreamBuffer() {
    tag_[0].store(-1);
    tag_[1].store(-1);
    origin_[0].store(0);
    origin_[1].store(0);
}

void TStreamBuffer::Resize(int32_t blockFrames) {
    Stop();
    if (blockFrames <= 0) {
        std::vector<int16_t>().swap(ring_);
        blockFrames_ = 0;
        return;
    }
    std::vector<int16_t> ring(size_t(blockFrames) * 2 * 2, 0);
    ring_.swap(ring);
    blockFrames_ = blockFrames;
    aheadFrames_ = std::clamp(aheadFrames_, int32_t(1), blockFrames);
    tag_[0].store(-1);
    tag_[1].store(-1);
}

void TStreamBuffer::SetAhead(int32_t aheadFrames) {
    Stop();
    aheadFrames_ = aheadFrames;
}

void TStreamBuffer::Stop() {
    running_.store(false, std::memory_order_seq_cst);
    while (busy_.load(std::memory_order_seq_cst)) std::this_thread::yield();
}

void TStreamBuffer::Restart() {
    Stop();
    if (!Exists()) return;
    std::fill(ring_.begin(), ring_.end(), int16_t(0));
    const int64_t b = blockFrames_;
    const int64_t a = std::clamp<int64_t>(aheadFrames_, 1, b);
    aheadFrames_ = int32_t(a);
    // The cursor starts the ahead distance before the first half, on a
    // notification position; one buffer cycle is added so that block numbers
    // stay clear of the "none" tag.
    const int64_t start = (2 * b - a) % (2 * b) + 2 * b;
    firstBlock_ = start / b;
    tag_[firstBlock_ & 1].store(firstBlock_, std::memory_order_relaxed);  // the cleared part plays as silence
    tag_[(firstBlock_ + 1) & 1].store(-1, std::memory_order_relaxed);
    entered_ = firstBlock_;
    // A device that fills its own buffer at start (ALSA does) would otherwise
    // run through the cleared lead-in before the mixer has woken.
    waitFor_ = firstBlock_ + 1;
    // The cleared lead-in has no engine time; the display waits for the first mixed block.
    offsetKnown_ = false;
    stampValid_.store(false, std::memory_order_relaxed);
    cursor_.store(start, std::memory_order_relaxed);
    running_.store(true, std::memory_order_seq_cst);
    signalFd(notifyFd_);  // the cursor sits on a notification position
}

int32_t TStreamBuffer::PlayCursorBytes() const {
    if (!Exists()) return 0;
    return int32_t(Cursor() % (int64_t(blockFrames_) * 2)) * FrameBytes;
}

void TStreamBuffer::Publish(int64_t block, int64_t origin) {
    origin_[block & 1].store(origin, std::memory_order_relaxed);
    tag_[block & 1].store(block, std::memory_order_release);
}

bool TStreamBuffer::LastPull(TPullStamp& stamp) const {
    for (;;) {
        const uint64_t before = stampSeq_.load(std::memory_order_acquire);
        if (before & 1) {
            std::this_thread::yield();  // the device thread is writing it right now
            continue;
        }
        // Acquire loads against the device thread's release stores: seeing any
        // field of a newer write means seeing its odd sequence too.
        const bool valid = stampValid_.load(std::memory_order_acquire);
        stamp.Frame = stampFrame_.load(std::memory_order_acquire);
        stamp.Ns = stampNs_.load(std::memory_order_acquire);
        stamp.Frames = stampFrames_.load(std::memory_order_acquire);
        if (stampSeq_.load(std::memory_order_relaxed) == before) return valid;
    }
}

void TStreamBuffer::Dropout() noexcept {
    // While output is stopped the device only plays silence: nothing broke.
    if (!running_.load(std::memory_order_acquire)) return;
    dropouts_.fetch_add(1, std::memory_order_relaxed);
    underruns_.fetch_add(1, std::memory_order_relaxed);
}

void TStreamBuffer::Pull(int16_t* out, int32_t frames) noexcept {
    pulls_.fetch_add(1, std::memory_order_relaxed);
    busy_.store(true, std::memory_order_seq_cst);
    // waitFor_ belongs to Restart until running is seen: test it second.
    if (!running_.load(std::memory_order_seq_cst) ||
        (waitFor_ >= 0 && tag_[waitFor_ & 1].load(std::memory_order_acquire) != waitFor_)) {
        busy_.store(false, std::memory_order_seq_cst);
        std::memset(out, 0, size_t(frames) * FrameBytes);
        return;
    }
    waitFor_ = -1;
    const int64_t pullNs = nowNs();
    const int64_t b = blockFrames_;
    const int64_t a = aheadFrames_;
    const int64_t x0 = cursor_.load(std::memory_order_relaxed);
    int64_t x = x0;
    int32_t done = 0;
    bool offsetSet = false;
    while (done < frames) {
        const int64_t block = x / b;
        const int64_t off = x - block * b;
        const int32_t n = int32_t(std::min<int64_t>(frames - done, b - off));
        const int half = int(block & 1);
        const bool ready = tag_[half].load(std::memory_order_acquire) == block;
        if (block != entered_) {
            // First frame of a block: if the mixer has not finished it, it is late,
            // and counts once however much of it is missed.
            entered_ = block;
            if (!ready) underruns_.fetch_add(1, std::memory_order_relaxed);
        }
        if (ready && !offsetSet) {
            // The first mixed block of this pull ties ring frames to engine frames.
            offset_ = origin_[half].load(std::memory_order_relaxed) - block * b;
            offsetKnown_ = true;
            offsetSet = true;
        }
        int16_t* dst = out + size_t(done) * 2;
        if (ready) {
            std::memcpy(dst, ring_.data() + size_t(half * b + off) * 2, size_t(n) * FrameBytes);
        } else {
            std::memset(dst, 0, size_t(n) * FrameBytes);
        }
        done += n;
        x += n;
    }
    cursor_.store(x, std::memory_order_release);
    if (offsetKnown_) {
        const uint64_t seq = stampSeq_.load(std::memory_order_relaxed);
        stampSeq_.store(seq + 1, std::memory_order_relaxed);
        stampFrame_.store(x0 + offset_, std::memory_order_release);
        stampNs_.store(pullNs, std::memory_order_release);
        stampFrames_.store(frames, std::memory_order_release);
        stampValid_.store(true, std::memory_order_release);
        stampSeq_.store(seq + 2, std::memory_order_release);
    }
    if ((x + a) / b != (x0 + a) / b) signalFd(notifyFd_);
    busy_.store(false, std::memory_order_seq_cst);
}

// ---------------------------------------------------------------- streaming output

TStreaming::TStreaming(TEngineLock& lock, TBlockSource& source, TAudioSystem& system)
    : EL(lock), source_(source), system_(system) {}

TStreaming::~TStreaming() {
    CloseDevice();
    if (notifyFd_ >= 0) ::close(notifyFd_);
}

void TStreaming::EnumerateDevices(int storedIndex) {
    list_.clear();
    for (TAudioApi api : system_.Apis()) {
        for (const TAudioDeviceInfo& info : system_.Devices(api)) {
            TOutputEntry e;
            e.Api = api;
            e.Name = info.Name;
            e.Description = std::string(AudioApiDisplayName(api)) + ": " + info.Name;
            e.IsDefault = info.IsDefault;
            list_.push_back(e);
        }
    }
    TOutputEntry none;
    none.Description = NoneEntryText;
    none.None = true;
    list_.push_back(none);
    const int noneIndex = int(list_.size()) - 1;

    if (storedIndex >= 0) {
        selected_ = std::min(storedIndex, noneIndex);
        return;
    }
    auto firstOf = [&](TAudioApi api, const std::function<bool(const TOutputEntry&)>& pred) {
        int first = -1;
        for (int i = 0; i < noneIndex; ++i) {
            if (list_[size_t(i)].Api != api || !pred(list_[size_t(i)])) continue;
            if (list_[size_t(i)].IsDefault) return i;
            if (first < 0) first = i;
        }
        return first;
    };
    auto any = [](const TOutputEntry&) { return true; };
    int pick = -1;
    // A sound system lists outputs only while its server answers.
    pick = firstOf(TAudioApi::Jack, any);
    if (pick < 0) pick = firstOf(TAudioApi::Pulse, any);
    if (pick < 0) pick = firstOf(TAudioApi::Alsa, [](const TOutputEntry& e) { return e.Name == "default"; });
    if (pick < 0) pick = firstOf(TAudioApi::Null, any);
    selected_ = pick < 0 ? noneIndex : pick;
}

void TStreaming::Select(int index) {
    if (list_.empty()) return;
    selected_ = std::clamp(index, 0, int(list_.size()) - 1);
}

bool TStreaming::SelectDevice(TAudioApi api, const std::string& name) {
    int first = -1;
    for (int i = 0; i < int(list_.size()); ++i) {
        const TOutputEntry& e = list_[size_t(i)];
        if (e.None || e.Api != api) continue;
        if (!name.empty()) {
            if (e.Name == name) {
                selected_ = i;
                return true;
            }
            continue;
        }
        if (e.IsDefault) {
            selected_ = i;
            return true;
        }
        if (first < 0) first = i;
    }
    if (first < 0) return false;
    selected_ = first;
    return true;
}

void TStreaming::OpenDevice(int32_t blockFrames) {
    if (deviceOpen_) return;
    lastError_.clear();
    if (selected_ < 0 || selected_ >= int(list_.size()) || list_[size_t(selected_)].None) return;
    if (notifyFd_ < 0) {
        notifyFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (notifyFd_ < 0) throw TStreamingError(ErrNotificationEvent, std::strerror(errno));
        buffer_.SetNotifyFd(notifyFd_);
    }
    const TOutputEntry& e = list_[size_t(selected_)];
    std::unique_ptr<TAudioDevice> dev = system_.CreateDevice(e.Api);
    if (!dev) {
        lastError_ = std::string(AudioApiDisplayName(e.Api)) + " is not available in this build";
        return;
    }
    const int32_t block = blockFrames > 0 ? BlockFramesFor(blockFrames) : EL.BlockFrames;
    const int32_t period = DevicePeriodFor(EffectiveAheadFrames(requestedAhead_, block, 0));
    TDeviceResult r = dev->Open(e.Name, period, buffer_);
    if (r.Failure == TDeviceFailure::NoDevice && !e.Name.empty()) {
        // The chosen device is gone: fall back to the sound system's default one.
        r = dev->Open("", period, buffer_);
    }
    switch (r.Failure) {
        case TDeviceFailure::None: break;
        case TDeviceFailure::NoDevice: lastError_ = r.Detail; return;  // no sound, rendering still works
        case TDeviceFailure::Refused: throw TStreamingError(ErrCooperativeLevel, r.Detail);
        case TDeviceFailure::Format: throw TStreamingError(ErrPrimaryBuffer, r.Detail);
        case TDeviceFailure::StreamFailed: throw TStreamingError(ErrStreamingBuffer, r.Detail);
    }
    r = dev->Start();
    if (!r.Ok()) {
        dev->Close();
        throw TStreamingError(ErrStreamingBuffer, r.Detail);
    }
    lost_.store(false);
    lostReason_.clear();
    TLockGuard g(&EL);
    device_ = std::move(dev);
    deviceOpen_ = true;
    installHooks();
}

void TStreaming::installHooks() {
    EL.StopHook = [this] { stopHook(); };
    EL.RestartHook = [this] { restartHook(); };
    EL.ResizeHook = [this] { resizeHook(); };
}

void TStreaming::removeHooks() {
    EL.StopHook = nullptr;
    EL.RestartHook = nullptr;
    EL.ResizeHook = nullptr;
}

void TStreaming::stopHook() {
    if (!buffer_.Exists()) return;
    buffer_.Stop();
    ++stops_;
}

void TStreaming::restartHook() {
    if (!deviceOpen_ || !buffer_.Exists()) return;
    buffer_.Restart();
    lastWritten_.store(buffer_.FirstBlock(), std::memory_order_release);
    ++restarts_;
}

void TStreaming::resizeHook() {
    if (!deviceOpen_) return;
    const int32_t b = EL.BlockFrames;
    const int32_t period = device_->PeriodFrames();
    if (period > b) {
        buffer_.Resize(0);
        pendingError_ = ErrNotifications;
        pendingDetail_ = "the device takes " + std::to_string(period) + " frames at a time, more than one block of " +
                         std::to_string(b) + " frames";
        return;
    }
    try {
        buffer_.Resize(b);
    } catch (const std::bad_alloc&) {
        buffer_.Resize(0);
        pendingError_ = ErrStreamingBuffer;
        pendingDetail_ = "out of memory";
        return;
    }
    buffer_.SetAhead(EffectiveAheadFrames(requestedAhead_, b, period));
    cycleMs_.store(int32_t(int64_t(b) * 2 * 1000 / 44100));
}

void TStreaming::SetBufferLength(int32_t frames) {
    pendingError_ = nullptr;
    EL.SetBufferLength(frames);
    if (pendingError_) {
        const char* m = pendingError_;
        pendingError_ = nullptr;
        throw TStreamingError(m, pendingDetail_);
    }
}

void TStreaming::StartOutputBuffer() {
    TLockGuard g(&EL);
    if (!deviceOpen_) return;
    WriteOffset = 0;
    restartHook();
}

void TStreaming::StartMixThread() {
    if (!deviceOpen_ || thread_.joinable()) return;
    terminate_.store(false);
    threadDone_.store(false);
    thread_ = std::thread([this] { threadLoop(); });
}

void TStreaming::CloseDevice() {
    if (!deviceOpen_) return;
    EL.SuspendOutput();
    terminate_.store(true);
    signalFd(notifyFd_);
    // Leave our own suspension without restarting a device that is closing.
    --EL.SuspendCount;
    removeHooks();
    deviceOpen_ = false;
    // The mixing thread may be waiting for the lock: it must be free while we join.
    EL.Unlock();
    if (thread_.joinable()) thread_.join();
    if (lost_.load()) lostReason_ = device_->LostReason();
    device_->Stop();
    device_->Close();
    device_.reset();
    TLockGuard g(&EL);
    buffer_.Resize(0);
}

void TStreaming::ChangeDevice(int index) {
    CloseDevice();
    Select(index);
    if (!deviceOpen_) {
        OpenDevice();
        SetBufferLength(EL.MixBytes / 8);
        if (deviceOpen_) {
            StartMixThread();
            StartOutputBuffer();
        }
    }
}

void TStreaming::Start(int32_t bufferFrames) {
    OpenDevice(bufferFrames);
    SetBufferLength(bufferFrames);
    StartOutputBuffer();
    StartMixThread();
}

std::string TStreaming::LostMessage() const {
    if (!lost_.load()) return {};
    std::string reason = device_ ? device_->LostReason() : lostReason_;
    return "Sound output stopped: " + reason + ". Playback is silent until an output device is opened again.";
}

int32_t TStreaming::watchdogFor() const {
    const int32_t set = watchdogMs_.load();
    if (set >= 0) return set;
    return WatchdogBaseMs + WatchdogCycles * cycleMs_.load();
}

bool TStreaming::lockOrQuit() {
    for (int i = 0;; ++i) {
        if (EL.TryLock()) return true;
        if (terminate_.load()) return false;
        if (i < SpinTries) {
            std::this_thread::yield();
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(i < ShortSleepTries ? 100 : 1000));
        }
    }
}

void TStreaming::threadLoop() {
    pthread_setname_np(pthread_self(), "tx-mix");  // told apart in top and in profiles
    // Above normal priority: a low real-time priority where the system grants
    // one (as Linux audio programs run their mixing threads), else one nice
    // step up. The thread only ever runs for one block at a time.
    sched_param sp{};
    sp.sched_priority = sched_get_priority_min(SCHED_RR) + MixThreadRtPriority;
    if (pthread_setschedparam(pthread_self(), SCHED_RR, &sp) != 0) {
        const id_t tid = id_t(::syscall(SYS_gettid));
        errno = 0;
        const int nice = ::getpriority(PRIO_PROCESS, tid);
        if (errno == 0) (void)::setpriority(PRIO_PROCESS, tid, nice - 1);
    }

    uint64_t seenPulls = buffer_.Pulls();
    while (!terminate_.load()) {
        pollfd pfd{notifyFd_, POLLIN, 0};
        const int wd = watchdogFor();
        const int r = ::poll(&pfd, 1, wd > 0 ? wd : -1);
        if (terminate_.load()) break;
        if (r < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (r == 0) {
            // Nothing to mix for a long while: fine while the device keeps
            // asking for frames (output stopped), fatal when it has gone quiet.
            const uint64_t p = buffer_.Pulls();
            if (p == seenPulls || !device_->IsAlive()) {
                lost_.store(true);
                if (OnDeviceLost) OnDeviceLost();
                break;
            }
            seenPulls = p;
            continue;
        }
        uint64_t count;
        ssize_t n = ::read(notifyFd_, &count, sizeof count);
        (void)n;
        seenPulls = buffer_.Pulls();
        if (!device_->IsAlive()) {
            lost_.store(true);
            if (OnDeviceLost) OnDeviceLost();
            break;
        }
        if (!lockOrQuit()) break;
        if (terminate_.load()) {
            EL.Unlock();
            break;
        }
        mixOnce();
        EL.Unlock();
    }
    threadDone_.store(true);
}

void TStreaming::mixOnce() {
    if (!deviceOpen_ || !buffer_.Running()) return;
    const int32_t b = buffer_.BlockFrames();
    const int32_t a = buffer_.AheadFrames();
    const int64_t x = buffer_.Cursor();
    const int64_t block = (x + a) / b;
    if (block <= lastWritten_.load(std::memory_order_relaxed)) return;  // written already: a doubled wake-up
    const bool timing = timing_.load(std::memory_order_relaxed);
    if (timingReset_.exchange(false, std::memory_order_relaxed)) {
        previousStart_ = previousEnd_ = lastStart_ = lastEnd_ = 0;
        busyNs_ = firstStart_ = 0;
    }
    if (timing) {
        previousStart_ = lastStart_;
        previousEnd_ = lastEnd_;
        lastStart_ = nowNs();
        if (firstStart_ == 0) firstStart_ = lastStart_;
    }
    const int32_t bufferBytes = buffer_.BufferBytes();
    const int32_t p = int32_t(x % (int64_t(b) * 2)) * FrameBytes;
    WriteOffset = WriteOffsetFor(p, a * FrameBytes, bufferBytes);
    const int64_t origin = source_.MixPosition();
    source_.MixBlock();
    source_.ConvertBlock(0, buffer_.HalfAt(WriteOffset), 0, bufferBytes / 2);
    buffer_.Publish(block, origin);
    lastWritten_.store(block, std::memory_order_release);
    blocksMixed_.fetch_add(1, std::memory_order_relaxed);
    voices_.store(source_.VoiceCount(), std::memory_order_relaxed);

    const int32_t u = buffer_.Underruns();
    if (u != lastUnderruns_) {
        lastUnderruns_ = u;
        if (PostUnderrunChange && UnderrunFlag.exchange(false)) PostUnderrunChange();
    }
    if (timing) {
        lastEnd_ = nowNs();
        busyNs_ += lastEnd_ - lastStart_;
        if (previousStart_ != 0)
            cpuUsage_.store(CpuUsagePercent(previousStart_, lastStart_, lastEnd_), std::memory_order_relaxed);
        const int64_t wall = lastEnd_ - firstStart_;
        if (wall > 0) averageCpu_.store(double(busyNs_) * 100.0 / double(wall), std::memory_order_relaxed);
    }
}

void TStreaming::SetTiming(bool on) {
    // No lock: a render may hold it. The mixing thread clears its own figures.
    if (on && !timing_.load()) {
        timingReset_.store(true);
        cpuUsage_.store(0);
        averageCpu_.store(0.0);
    }
    timing_.store(on);
}

std::string TStreaming::CpuUsageDisplay(bool fastInterval) const {
    return CpuUsageText(CpuUsage(), fastInterval, voices_.load(std::memory_order_relaxed));
}

int64_t TStreaming::AudibleFrame(int64_t steadyNs) const {
    if (!deviceOpen_ || !device_) return EverythingAudible;
    TPullStamp p;
    if (!buffer_.LastPull(p)) return NothingAudible;
    if (steadyNs < 0) steadyNs = nowNs();
    // Within a period the device plays on at the sample rate; past it, the
    // next pull has not come, so nothing later has been handed out.
    constexpr int64_t Rate = 44100;
    constexpr int64_t NsPerSecond = 1000000000;
    const int64_t since = std::clamp<int64_t>((steadyNs - p.Ns) * Rate / NsPerSecond, 0, p.Frames);
    return p.Frame + since - device_->LatencyFrames();
}

}  // namespace tx
