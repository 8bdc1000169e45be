#include "desktop/Lifecycle.h"

namespace tx {

// The mixing thread waits for the engine lock on every wake-up, so joining it
// while holding that lock would wait forever: raise its stop flag under the
// lock, release the lock, then join.
void TLifecycle::FreeMixThreadAndDevice(TDeviceHost& host) {
    if (!host.DeviceOpen()) return;
    {
        TLockGuard guard(&host.EngineLock());
        host.RequestMixStop();
    }
    host.JoinMixThread();
    host.ReleaseDevice();
}

bool TLifecycle::Close(TShutdownHost& host) {
    // A close that arrives while one is already running (the save question
    // or a dialog waits in its own event loop) is that close: it neither asks
    // again nor shuts down inside the first. After a finished close there is
    // nothing left to do.
    if (closing_) return true;
    if (asking_) return false;
    asking_ = true;
    const TAnswer answer = host.SaveQuery();
    asking_ = false;
    if (answer == TAnswer::Cancel) return false;
    // From here on an activation (a message box of a later step) must not
    // reopen the device the steps below release.
    closing_ = true;
    host.ClearSync();
    host.StopPlayback();
    host.CloseMidiDevices();
    FreeMixThreadAndDevice(host);
    releasePending_ = false;
    host.StopScope();
    host.SaveSettings();
    host.UnloadPlugin();
    host.CloseCompanion();
    return true;
}

void TLifecycle::ApplicationDeactivated(TDeviceHost& host) {
    if (!host.AutoCloseChecked() || !host.DeviceOpen()) return;
    // A render drives the mixer from its own thread for its whole run; taking
    // the device and thread away under it would end it half-written. Release
    // once it has finished instead.
    if (host.RenderRunning()) {
        releasePending_ = true;
        return;
    }
    FreeMixThreadAndDevice(host);
}

void TLifecycle::ApplicationActivated(TDeviceHost& host) {
    releasePending_ = false;
    if (closing_ || !host.AutoCloseChecked() || host.DeviceOpen()) return;
    if (host.ReopenDevice()) host.StartMixThread();
}

void TLifecycle::RenderFinished(TDeviceHost& host) {
    if (!releasePending_) return;
    releasePending_ = false;
    if (!closing_ && host.AutoCloseChecked()) FreeMixThreadAndDevice(host);
}

}  // namespace tx
