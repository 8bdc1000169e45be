// The mixing path allocates nothing and takes no lock but the engine lock:
// malloc and pthread_mutex_lock are wrapped for this program, and while a
// thread-local flag is set they record what they see. A busy loop (every
// step on, echoes, pitch, filters, cut groups, random and mix-with, song mode,
// master filter, scope) is mixed and converted for many blocks.
// The sanitizers bring their own allocators, so there the test is skipped.
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <mutex>

#include "EngineTestSupport.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TX_ALLOC_WATCH 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TX_ALLOC_WATCH 0
#endif
#endif
#ifndef TX_ALLOC_WATCH
#if defined(__GLIBC__) && defined(__x86_64__)
#define TX_ALLOC_WATCH 1
#else
#define TX_ALLOC_WATCH 0
#endif
#endif

namespace {
[[maybe_unused]] thread_local bool watching = false;
std::atomic<int> allocations{0};
std::atomic<int> locks{0};
std::atomic<int> otherMutexes{0};
std::atomic<const void*> engineMutex{nullptr};
}  // namespace

#if TX_ALLOC_WATCH
// glibc's own entry points, so the wrappers need no lookup at run time.
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
int real_pthread_mutex_lock(pthread_mutex_t*);
__asm__(".symver real_pthread_mutex_lock, __pthread_mutex_lock@GLIBC_2.2.5");

void* malloc(size_t n) {
    if (watching) allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(n);
}
void* calloc(size_t n, size_t m) {
    if (watching) allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(n, m);
}
void* realloc(void* p, size_t n) {
    if (watching) allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, n);
}
void* aligned_alloc(size_t a, size_t n) {
    if (watching) allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_memalign(a, n);
}
int posix_memalign(void** out, size_t a, size_t n) {
    if (watching) allocations.fetch_add(1, std::memory_order_relaxed);
    *out = __libc_memalign(a, n);
    return *out ? 0 : 12;  // ENOMEM
}
int pthread_mutex_lock(pthread_mutex_t* m) {
    if (watching) {
        locks.fetch_add(1, std::memory_order_relaxed);
        const void* expected = nullptr;
        if (!engineMutex.compare_exchange_strong(expected, m) && expected != m)
            otherMutexes.fetch_add(1, std::memory_order_relaxed);
    }
    return real_pthread_mutex_lock(m);
}
}
#endif

using namespace tx;
using txtest::EngineRig;
using txtest::FillSample;

namespace {

class NullProcessor : public TBlockProcessor {
public:
    bool Active() const override { return true; }
    void ProcessBlock(int16_t* frames, int32_t n) override { sum += frames[0] + n; }
    int64_t sum = 0;
};

TEST(NoAlloc, MixingABusyLoopAllocatesNothingAndLocksOnlyTheEngineLock) {
#if !TX_ALLOC_WATCH
    GTEST_SKIP() << "allocation watch unavailable in this build";
#else
    EngineRig rig(1152);
    TLoop& loop = rig.loop;
    TEngine& e = *rig.engine;
    while (loop.ChannelCount() < 8) loop.AddChannel();
    for (int c = 0; c < 8; ++c) {
        TChannel& ch = loop.Channel(c);
        FillSample(
            ch.Sample, 3000 + 700 * c, [c](int32_t i) { return int16_t((i * (c + 3)) % 20000 - 10000); },
            [c](int32_t i) { return int16_t((i * (c + 5)) % 16000 - 8000); });
        ch.Sample.CutGroup = c % 3;
        ch.Sample.CutByGroup = (c + 1) % 3;
        ch.DelayFeed = 100;
        ch.DelayEchoes = 4;
        ch.DelayTime = 24;
        ch.DelayPitch = 110;
        ch.DelayReso = 150;
        ch.DelayCutOff = 100;
        ch.DelayShuffled = c % 2;
        ch.Stretch = c == 7 ? 4 : 0;
        for (int p : {1, 2}) {
            auto& rec = ch.Pattern(p);
            rec.StepMask = 0xFFFF;
            for (int s = 0; s < 16; ++s) {
                rec.StepNote()[size_t(s)] = uint8_t(54 + (s + c) % 12);
                rec.StepReso()[size_t(s)] = uint8_t((s * 9) % 128);
                rec.StepCutoff()[size_t(s)] = uint8_t((s * 5 + c) % 128);
                rec.StepMix()[size_t(s)] = uint8_t(s * 8);
            }
        }
    }
    loop.Channel(0).MixWith = 1;
    loop.Channel(2).RandomWith = {2, 3, 4};
    loop.Shuffle = 70;
    loop.PlayList.SetPatternAt(1, 0, true);
    loop.PlayList.SetPatternAt(2, 0, true);
    loop.PlayList.SetPatternAt(2, 1, true);
    e.SetTempo(480);
    e.SetMainCutOff(700);
    e.SetMainResonance(300);
    e.SetSongMode(true);
    e.ScopeButton = true;
    NullProcessor plugin;
    e.Plugin = &plugin;
    int posted = 0;
    e.PostDisplayUpdate = [&posted] { ++posted; };
    e.Start();

    std::vector<int16_t> out(size_t(rig.lock.BlockFrames) * 2);
    const int32_t split = 400;
    int maxVoices = 0;
    allocations = 0;
    locks = 0;
    otherMutexes = 0;
    engineMutex = nullptr;
    watching = true;
    rig.lock.Lock();  // the first mutex seen is the engine lock's
    for (int b = 0; b < 1000; ++b) {
        e.MixBlock();
        e.ConvertBlock(0, out.data(), 0, split * 4);
        e.ConvertBlock(split, out.data() + split * 2, split * 4, (rig.lock.BlockFrames - split) * 4);
        if (b % 7 == 0) {
            e.ScopeFilled = false;  // as the display does
            e.DisplayUpdateFlag = true;
        }
        maxVoices = std::max(maxVoices, e.VoiceCount);
    }
    rig.lock.Unlock();
    watching = false;

    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(otherMutexes.load(), 0);
    EXPECT_GT(locks.load(), 1000);  // the hooks really saw the engine lock
    EXPECT_GT(maxVoices, 100);
    EXPECT_GT(posted, 50);
    EXPECT_GT(e.PeakLeft.load(), 0);

    // The watch itself works: an allocation and another mutex are seen.
    std::mutex other;
    watching = true;
    auto* p = new std::vector<int>(100);
    other.lock();
    other.unlock();
    watching = false;
    delete p;
    EXPECT_GE(allocations.load(), 1);
    EXPECT_EQ(otherMutexes.load(), 1);
#endif
}

}  // namespace
