#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "shell/core/Lifecycle.h"

namespace {

using namespace std::chrono_literals;

// A recursive lock like the engine's, logging who holds it.
class FakeLock : public tx::TLockable {
public:
    void Lock() override {
        m.lock();
        ++depth;
    }
    void Unlock() override {
        --depth;
        m.unlock();
    }
    std::recursive_mutex m;
    std::atomic<int> depth{0};
};

// A mixing thread as the real one behaves: every wake-up waits for the engine
// lock and reads its stop flag under it.
class FakeMixThread {
public:
    void Start(FakeLock& lock) {
        lock_ = &lock;
        done_ = std::promise<void>();
        exited = done_.get_future();
        stop = false;
        thread_ = std::thread([this, &lock] {
            for (;;) {
                lock.Lock();
                bool s = stop;
                lock.Unlock();
                if (s) break;
                std::this_thread::sleep_for(1ms);
            }
            done_.set_value();
        });
    }
    // Bounded: a join that cannot finish is reported, not waited for forever.
    bool JoinWithin(std::chrono::milliseconds limit) {
        if (exited.wait_for(limit) != std::future_status::ready) return false;
        thread_.join();
        return true;
    }
    // A test that leaves the thread running stops it the proper way.
    ~FakeMixThread() {
        if (!thread_.joinable()) return;
        lock_->Lock();
        stop = true;
        lock_->Unlock();
        thread_.join();
    }
    bool stop = false;  // guarded by the engine lock
    std::future<void> exited;

private:
    std::thread thread_;
    std::promise<void> done_;
    FakeLock* lock_ = nullptr;
};

class FakeHost : public tx::TShutdownHost {
public:
    bool AutoCloseChecked() const override { return autoClose; }
    bool DeviceOpen() const override { return open; }
    bool RenderRunning() const override { return rendering; }
    tx::TLockable& EngineLock() override { return lock; }
    void RequestMixStop() override {
        Log("stop flag" + HeldSuffix());
        mix.stop = true;
    }
    void JoinMixThread() override {
        Log("join" + HeldSuffix());
        if (!mix.JoinWithin(2s)) joinHung = true;
    }
    void ReleaseDevice() override {
        Log("release device");
        open = false;
    }
    bool ReopenDevice() override {
        Log("reopen");
        open = reopenWorks;
        return open;
    }
    void StartMixThread() override {
        Log("start mix");
        mix.Start(lock);
    }
    tx::TAnswer SaveQuery() override {
        Log("save query");
        return answer;
    }
    void ClearSync() override { Log("clear sync"); }
    void StopPlayback() override { Log("stop playback"); }
    void CloseMidiDevices() override { Log("close midi"); }
    void StopScope() override { Log("stop scope"); }
    void SaveSettings() override { Log("save settings"); }
    void UnloadPlugin() override { Log("unload plugin"); }
    void CloseCompanion() override { Log("close companion"); }

    void Log(const std::string& s) { log.push_back(s); }
    std::string HeldSuffix() const { return lock.depth > 0 ? " (locked)" : ""; }

    FakeLock lock;
    FakeMixThread mix;
    bool autoClose = true, open = true, rendering = false, reopenWorks = true, joinHung = false;
    tx::TAnswer answer = tx::TAnswer::No;
    std::vector<std::string> log;
};

class LifecycleTest : public ::testing::Test {
protected:
    void SetUp() override { host.mix.Start(host.lock); }
    FakeHost host;
    tx::TLifecycle life;
};

TEST_F(LifecycleTest, CloseRunsEveryStepInOrderAndJoinsOutsideTheLock) {
    ASSERT_TRUE(life.Close(host));
    EXPECT_FALSE(host.joinHung) << "the mixing thread was joined while it waited for the engine lock";
    EXPECT_EQ(host.log, (std::vector<std::string>{"save query", "clear sync", "stop playback", "close midi",
                                                  "stop flag (locked)", "join", "release device", "stop scope",
                                                  "save settings", "unload plugin", "close companion"}));
    EXPECT_TRUE(life.Closing());
}

TEST_F(LifecycleTest, CancelledCloseTouchesNothing) {
    host.answer = tx::TAnswer::Cancel;
    EXPECT_FALSE(life.Close(host));
    EXPECT_EQ(host.log, (std::vector<std::string>{"save query"}));
    EXPECT_FALSE(life.Closing());
    EXPECT_TRUE(host.open);
    // Still running: an activation cycle behaves as before the close.
    life.ApplicationDeactivated(host);
    EXPECT_FALSE(host.open);
    life.ApplicationActivated(host);
    EXPECT_TRUE(host.open);
}

TEST_F(LifecycleTest, DeactivateReleasesOnlyWhenChecked) {
    host.autoClose = false;
    life.ApplicationDeactivated(host);
    EXPECT_TRUE(host.log.empty());
    host.autoClose = true;
    life.ApplicationDeactivated(host);
    EXPECT_FALSE(host.joinHung);
    EXPECT_EQ(host.log, (std::vector<std::string>{"stop flag (locked)", "join", "release device"}));
    host.log.clear();
    life.ApplicationActivated(host);
    EXPECT_EQ(host.log, (std::vector<std::string>{"reopen", "start mix"}));
}

TEST_F(LifecycleTest, FailedReopenStartsNoThread) {
    life.ApplicationDeactivated(host);
    host.log.clear();
    host.reopenWorks = false;
    life.ApplicationActivated(host);
    EXPECT_EQ(host.log, (std::vector<std::string>{"reopen"}));
    // A close with the device gone does not touch thread or device.
    host.log.clear();
    ASSERT_TRUE(life.Close(host));
    EXPECT_EQ(host.log.size(), 8u);
    EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "join"), 0);
}

TEST_F(LifecycleTest, NoReopenOnceClosing) {
    ASSERT_TRUE(life.Close(host));
    host.log.clear();
    life.ApplicationActivated(host);
    EXPECT_TRUE(host.log.empty());
    EXPECT_FALSE(host.open);
}

TEST_F(LifecycleTest, ReleaseWaitsForRunningRender) {
    host.rendering = true;
    life.ApplicationDeactivated(host);
    EXPECT_TRUE(host.log.empty()) << "the device was taken away under a render";
    EXPECT_TRUE(life.ReleaseWaitingForRender());
    host.rendering = false;
    life.RenderFinished(host);
    EXPECT_EQ(host.log, (std::vector<std::string>{"stop flag (locked)", "join", "release device"}));
    EXPECT_FALSE(host.joinHung);
}

TEST_F(LifecycleTest, ActivationCancelsWaitingRelease) {
    host.rendering = true;
    life.ApplicationDeactivated(host);
    life.ApplicationActivated(host);  // device still open: nothing to reopen
    host.rendering = false;
    life.RenderFinished(host);
    EXPECT_TRUE(host.log.empty());
    EXPECT_TRUE(host.open);
}

}  // namespace
