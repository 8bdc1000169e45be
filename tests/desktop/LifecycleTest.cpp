#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "desktop/Lifecycle.h"

namespace {

using namespace std::chrono_literals;
using Log = std::vector<std::string>;

// A real recursive lock and a mixing thread that behaves as the real one: it
// waits for the engine lock on every wake-up and reads its stop flag under it.
// Joining it with the lock held can never finish; the join here gives up
// after 2 s and records that, so the naive order fails instead of hanging.
class FakeHost : public tx::TShutdownHost, public tx::TLockable {
public:
    FakeHost() { Spawn(); }
    ~FakeHost() override {
        if (!thread_.joinable()) return;
        Lock(), stop_ = true, Unlock();
        thread_.join();
    }
    void Lock() override { m_.lock(), ++depth_; }
    void Unlock() override { --depth_, m_.unlock(); }
    bool AutoCloseChecked() const override { return autoClose; }
    bool DeviceOpen() const override { return open; }
    bool RenderRunning() const override { return rendering; }
    tx::TLockable& EngineLock() override { return *this; }
    void RequestMixStop() override { log.push_back(depth_ ? "stop flag (locked)" : "stop flag"), stop_ = true; }
    void JoinMixThread() override {
        log.push_back(depth_ ? "join (locked)" : "join");
        if (exited_.wait_for(2s) != std::future_status::ready) return void(joinHung = true);
        thread_.join();
    }
    void ReleaseDevice() override { log.push_back("release device"), open = false; }
    bool ReopenDevice() override { return log.push_back("reopen"), open = reopenWorks; }
    void StartMixThread() override { log.push_back("start mix"), Spawn(); }
    tx::TAnswer SaveQuery() override {
        log.push_back("save query");
        if (whileAsking) std::exchange(whileAsking, nullptr)();
        return answer;
    }
    std::function<void()> whileAsking;  // a close request arriving while the question is open
    void ClearSync() override { log.push_back("clear sync"); }
    void StopPlayback() override { log.push_back("stop playback"); }
    void CloseMidiDevices() override { log.push_back("close midi"); }
    void StopScope() override { log.push_back("stop scope"); }
    void SaveSettings() override { log.push_back("save settings"); }
    void UnloadPlugin() override { log.push_back("unload plugin"); }
    void CloseCompanion() override { log.push_back("close companion"); }

    bool autoClose = true, open = true, rendering = false, reopenWorks = true, joinHung = false;
    tx::TAnswer answer = tx::TAnswer::No;
    Log log;

private:
    void Spawn() {
        if (thread_.joinable()) thread_.join();  // one a hung join left behind; the lock is free again
        std::promise<void> done;
        exited_ = done.get_future();
        stop_ = false;
        thread_ = std::thread([this, d = std::move(done)]() mutable {
            for (bool s = false; !s; std::this_thread::sleep_for(1ms)) Lock(), s = stop_, Unlock();
            d.set_value();
        });
    }
    std::recursive_mutex m_;
    int depth_ = 0;
    bool stop_ = false;  // guarded by the lock
    std::thread thread_;
    std::future<void> exited_;
};

const Log Release{"stop flag (locked)", "join", "release device"};

TEST(Lifecycle, CloseRunsEveryStepInOrderAndJoinsOutsideTheLock) {
    FakeHost host;
    tx::TLifecycle life;
    ASSERT_TRUE(life.Close(host));
    EXPECT_FALSE(host.joinHung) << "the mixing thread was joined while it waited for the engine lock";
    EXPECT_EQ(host.log, (Log{"save query", "clear sync", "stop playback", "close midi", "stop flag (locked)", "join",
                             "release device", "stop scope", "save settings", "unload plugin", "close companion"}));
    // Once closing, an activation reopens nothing.
    host.log.clear();
    life.ApplicationActivated(host);
    EXPECT_TRUE(host.log.empty());
}

// A second close (from the instance socket) arriving while the save question
// is open is refused; the first goes on and shuts down once. Later closes
// find nothing left to do.
TEST(Lifecycle, ACloseArrivingDuringTheSaveQuestionIsTheSameClose) {
    for (tx::TAnswer answer : {tx::TAnswer::No, tx::TAnswer::Cancel}) {
        FakeHost host;
        host.answer = answer;
        tx::TLifecycle life;
        bool nested = true;
        host.whileAsking = [&] { nested = life.Close(host); };
        EXPECT_EQ(life.Close(host), answer != tx::TAnswer::Cancel);
        EXPECT_FALSE(nested);
        EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "save query"), 1);
        EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "save settings"), answer == tx::TAnswer::Cancel ? 0 : 1);
        host.log.clear();
        EXPECT_EQ(life.Close(host), answer != tx::TAnswer::Cancel);
        if (answer != tx::TAnswer::Cancel) EXPECT_TRUE(host.log.empty()) << host.log.front();
    }
}

TEST(Lifecycle, CancelledCloseTouchesNothingAndKeepsTheHooks) {
    FakeHost host;
    tx::TLifecycle life;
    host.answer = tx::TAnswer::Cancel;
    EXPECT_FALSE(life.Close(host));
    EXPECT_EQ(host.log, Log{"save query"});
    EXPECT_FALSE(life.Closing());
    host.log.clear();
    host.autoClose = false;  // the box decides
    life.ApplicationDeactivated(host);
    host.autoClose = true;
    life.ApplicationDeactivated(host);
    life.ApplicationActivated(host);
    host.reopenWorks = false;
    life.ApplicationDeactivated(host);
    life.ApplicationActivated(host);
    EXPECT_EQ(host.log, (Log{"stop flag (locked)", "join", "release device", "reopen", "start mix",
                             "stop flag (locked)", "join", "release device", "reopen"}));
    EXPECT_FALSE(host.joinHung);
}

TEST(Lifecycle, ReleaseWaitsForARunningRender) {
    FakeHost host;
    tx::TLifecycle life;
    host.rendering = true;
    life.ApplicationDeactivated(host);
    EXPECT_TRUE(host.log.empty()) << "the device was taken away under a render";
    host.rendering = false;
    life.RenderFinished(host);
    EXPECT_EQ(host.log, Release);
    EXPECT_FALSE(host.joinHung);
    // Coming back before the render ends cancels the waiting release.
    life.ApplicationActivated(host);
    host.log.clear();
    host.rendering = true;
    life.ApplicationDeactivated(host);
    life.ApplicationActivated(host);
    life.RenderFinished(host);
    EXPECT_TRUE(host.log.empty());
}

}  // namespace
