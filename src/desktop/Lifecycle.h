#pragma once
#include "desktop/LoopWorkflow.h"
#include "model/Lockable.h"

namespace tx {

// The program's orderly end and the "Close DS" hooks that release the sound
// device while another application is active, as plain logic; the main window
// implements the hosts. Window thread only.

// The sound device side, shared by the hooks and the shutdown.
class TDeviceHost {
public:
    virtual ~TDeviceHost() = default;
    virtual bool AutoCloseChecked() const = 0;  // "Auto close &DirectSound"
    virtual bool DeviceOpen() const = 0;
    virtual bool RenderRunning() const = 0;
    virtual TLockable& EngineLock() = 0;
    virtual void RequestMixStop() = 0;  // called with the engine lock held
    virtual void JoinMixThread() = 0;   // called with the engine lock released
    virtual void ReleaseDevice() = 0;
    // Reopens the selected output and reallocates the mixing buffers for the
    // current buffer length; true when the device is open afterwards.
    virtual bool ReopenDevice() = 0;
    virtual void StartMixThread() = 0;  // creates and starts it, restarts streaming
};

class TShutdownHost : public TDeviceHost {
public:
    virtual TAnswer SaveQuery() = 0;  // the loop workflow's save prompt
    virtual void ClearSync() = 0;
    virtual void StopPlayback() = 0;
    virtual void CloseMidiDevices() = 0;
    virtual void StopScope() = 0;
    virtual void SaveSettings() = 0;
    virtual void UnloadPlugin() = 0;
    virtual void CloseCompanion() = 0;
};

class TLifecycle {
public:
    // The main window's close. False when the save query was cancelled: then
    // nothing else has happened and the program keeps running.
    bool Close(TShutdownHost& host);

    void ApplicationDeactivated(TDeviceHost& host);
    void ApplicationActivated(TDeviceHost& host);
    // The render window calls this when a render ends, so a release that
    // waited for it happens now.
    void RenderFinished(TDeviceHost& host);

    bool Closing() const { return closing_; }
    bool ReleaseWaitingForRender() const { return releasePending_; }

private:
    void FreeMixThreadAndDevice(TDeviceHost& host);

    bool closing_ = false;
    bool asking_ = false;  // the save question of a close is open
    bool releasePending_ = false;
};

}  // namespace tx
