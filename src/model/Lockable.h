#pragma once

namespace tx {

// What the document needs of the engine lock: the engine's lock implements it,
// so the model takes it around changes the playback thread reads without
// depending on the engine.
class TLockable {
public:
    virtual ~TLockable() = default;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
};

class TLockGuard {
public:
    explicit TLockGuard(TLockable* l) : l_(l) {
        if (l_) l_->Lock();
    }
    ~TLockGuard() {
        if (l_) l_->Unlock();
    }
    TLockGuard(const TLockGuard&) = delete;
    TLockGuard& operator=(const TLockGuard&) = delete;

private:
    TLockable* l_;
};

}  // namespace tx
