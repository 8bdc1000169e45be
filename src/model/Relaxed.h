#pragma once
#include <atomic>
#include <type_traits>

namespace tx {

// A single value the window thread stores while a playback thread reads it
// without the engine lock (a slider, a knob, a mute button). Every access is a
// relaxed atomic: each read sees some whole value the window stored, which is
// all a mixer needs of a level, and on x86 it costs the same plain load.
// Reads and writes look like those of the plain value, so loop files, tests
// and the window use it as one.
template <typename T>
class TRelaxed {
    static_assert(std::is_trivially_copyable_v<T> && std::atomic<T>::is_always_lock_free);

public:
    constexpr TRelaxed(T v = T{}) noexcept : v_(v) {}  // NOLINT: converts like the value it holds
    TRelaxed(const TRelaxed& o) noexcept : v_(o.Load()) {}
    TRelaxed& operator=(const TRelaxed& o) noexcept {
        Store(o.Load());
        return *this;
    }
    TRelaxed& operator=(T v) noexcept {
        Store(v);
        return *this;
    }
    operator T() const noexcept { return Load(); }  // NOLINT
    T Load() const noexcept { return v_.load(std::memory_order_relaxed); }
    void Store(T v) noexcept { v_.store(v, std::memory_order_relaxed); }
    // Only one thread writes, so a load and a store make a whole increment.
    TRelaxed& operator++() noexcept {
        Store(T(Load() + 1));
        return *this;
    }
    TRelaxed& operator--() noexcept {
        Store(T(Load() - 1));
        return *this;
    }

private:
    std::atomic<T> v_;
};

}  // namespace tx
