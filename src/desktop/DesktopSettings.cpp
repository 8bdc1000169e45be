#include "desktop/DesktopSettings.h"

#include <algorithm>

namespace tx {

namespace {

const char* const kSaveNameError = "Cannot save tool window's position because Name property is not set";
const char* const kSaveDockError = "Cannot save tool window's position because DockedTo's Name property not set";

std::string toolSection(int i) { return "TX TOOL " + std::to_string(i); }
std::string recentName(int i) { return "Last Opened " + std::to_string(i); }

// Buffers are sized from these, so a damaged value must not ask for gigabytes.
int32_t clampFrames(int32_t frames) { return std::clamp(frames, int32_t{1}, MaxBufferFrames); }

std::optional<int32_t> readOptional(const TSettingsStore& store, const char* name) {
    if (!store.HasValue(SettingsSection, name)) return std::nullopt;
    const std::optional<int32_t> v = ParseStoredInteger(store.ReadString(SettingsSection, name, ""));
    return v;  // unreadable text is as good as missing: the caller's default applies
}

}  // namespace

std::vector<TDockPanel> TDesktopSettings::DefaultDocks() {
    return {{"MainMenuToolWindow", true, "TopDock", true, 0, 0, 0, 0},
            {"MenuToolWindow", true, "TopDock", true, 1, 0, 0, 0},
            {"BottomToolWindow", true, "BottomDock", true, 0, 0, 0, 0}};
}

int32_t ClampListIndex(int32_t index, int32_t count) {
    if (count <= 0) return 0;
    return std::clamp(index, int32_t{0}, count - 1);
}

int32_t OutputDeviceItem(std::optional<int32_t> stored, int32_t devices) {
    const int64_t none = int64_t(devices) + 1;
    const int64_t item = stored ? int64_t(*stored) + 1 : none;
    return int32_t(item < 0 || item > none ? none : item);
}

TWindowPlacement LoadWindowPlacement(const TSettingsStore& store, const std::string& section, const std::string& name,
                                     const TWindowPlacement& current) {
    const std::string key = section + "\\" + name;
    return {store.ReadInteger(key, "Left", current.Left), store.ReadInteger(key, "Top", current.Top),
            store.ReadInteger(key, "Width", current.Width), store.ReadInteger(key, "Height", current.Height)};
}

void SaveWindowPlacement(TSettingsStore& store, const std::string& section, const std::string& name,
                         const TWindowPlacement& placement) {
    const std::string key = section + "\\" + name;
    store.WriteInteger(key, "Left", placement.Left);
    store.WriteInteger(key, "Top", placement.Top);
    store.WriteInteger(key, "Width", placement.Width);
    store.WriteInteger(key, "Height", placement.Height);
}

void LoadDockPositions(const TSettingsStore& store, std::vector<TDockPanel>& panels) {
    for (TDockPanel& p : panels) {
        if (p.Name.empty()) continue;
        p.Visible = store.ReadBool(p.Name, "Visible", p.Visible);
        // Only the window's two docks or floating; a damaged name would not
        // save back and the panel would jump on the next start.
        const std::string dock = store.ReadString(p.Name, "DockedTo", p.DockedTo);
        if (dock.empty() || dock == "TopDock" || dock == "BottomDock") p.DockedTo = dock;
        p.Docked = !p.DockedTo.empty();
        p.DockRow = store.ReadInteger(p.Name, "DockRow", p.DockRow);
        p.DockPos = store.ReadInteger(p.Name, "DockPos", p.DockPos);
        p.FloatLeft = store.ReadInteger(p.Name, "FloatLeft", p.FloatLeft);
        p.FloatTop = store.ReadInteger(p.Name, "FloatTop", p.FloatTop);
    }
}

std::vector<std::string> SaveDockPositions(TSettingsStore& store, const std::vector<TDockPanel>& panels) {
    std::vector<std::string> errors;
    for (const TDockPanel& p : panels) {
        if (p.Name.empty()) {
            errors.push_back(kSaveNameError);
            continue;
        }
        if (p.Docked && p.DockedTo.empty()) {
            errors.push_back(kSaveDockError);
            continue;
        }
        store.WriteBool(p.Name, "Visible", p.Visible);
        store.WriteString(p.Name, "DockedTo", p.Docked ? p.DockedTo : "");
        store.WriteInteger(p.Name, "DockRow", p.DockRow);
        store.WriteInteger(p.Name, "DockPos", p.DockPos);
        store.WriteInteger(p.Name, "FloatLeft", p.FloatLeft);
        store.WriteInteger(p.Name, "FloatTop", p.FloatTop);
    }
    return errors;
}

TDesktopSettings LoadDesktopSettings(const TSettingsStore& store, const TDesktopSettings& current) {
    TDesktopSettings s = current;
    const TDesktopSettings d;  // the table's defaults
    const char* S = SettingsSection;
    s.BankSelectMethod = store.ReadInteger(S, "Bank Select Method", d.BankSelectMethod);
    s.EasyMove = store.ReadBool(S, "Easy Move", d.EasyMove);
    s.AutoArrange = store.ReadBool(S, "Auto Arrange", d.AutoArrange);
    s.AutoMaximize = store.ReadBool(S, "Auto Maximize", d.AutoMaximize);
    s.AdjustChannelName = store.ReadBool(S, "Adjust Channel Name", d.AdjustChannelName);
    s.RenderingRemainder = store.ReadInteger(S, "Rendering Remainder", d.RenderingRemainder);
    s.Surround = store.ReadBool(S, "Surround", d.Surround);
    s.SplashScreen = store.ReadBool(S, "Splash Screen", d.SplashScreen);
    s.CloseDS = store.ReadBool(S, "Close DS", d.CloseDS);
    s.MouseUse = store.ReadBool(S, "Mouse Use", d.MouseUse);
    s.LedsOver = store.ReadBool(S, "LedsOver", d.LedsOver);
    s.PreviewWAV = store.ReadBool(S, "Preview WAV", d.PreviewWAV);

    if (store.HasValue(FavoritesSection, "Count")) {
        const int32_t count = std::clamp(store.ReadInteger(FavoritesSection, "Count", 0), 0, MaxFavorites);
        std::vector<std::string> favorites;
        for (int32_t i = 0; i < count; ++i) {
            const std::string name = std::to_string(i);
            if (store.HasValue(FavoritesSection, name))
                favorites.push_back(store.ReadString(FavoritesSection, name, ""));
        }
        s.Favorites = std::move(favorites);
    }

    s.SettingsSheet = store.ReadInteger(S, "Settings sheet", d.SettingsSheet);
    s.WindowX = store.ReadInteger(S, "WindowX", d.WindowX);
    s.WindowY = store.ReadInteger(S, "WindowY", d.WindowY);
    s.ChanSetX = store.ReadInteger(S, "ChanSetX", d.ChanSetX);
    s.ChanSetY = store.ReadInteger(S, "ChanSetY", d.ChanSetY);
    s.PlayListPlacement = LoadWindowPlacement(store, S, "PlayListForm", current.PlayListPlacement);
    s.UseWAVOnly = store.ReadBool(S, "Use WAV only", d.UseWAVOnly);
    s.ScopeStyle = store.ReadInteger(S, "Scope Style", d.ScopeStyle);
    s.Minimized = store.ReadBool(S, "Minimized", d.Minimized);
    s.ScopeEnabled = store.ReadBool(S, "Scope Enabled", d.ScopeEnabled);
    for (int i = 0; i < 5; ++i) s.RecentFiles[i] = store.ReadString(S, recentName(i), "");
    s.SyncToInput = store.ReadBool(S, "Sync to Input", d.SyncToInput);
    s.BufferLength = clampFrames(store.ReadInteger(S, "Buffer Length", d.BufferLength));
    s.AheadLength = clampFrames(store.ReadInteger(S, "Ahead Length", d.AheadLength));
    for (int i = 0; i < 5; ++i) {
        const std::string key = toolSection(i);
        s.Tools[i] = {store.ReadString(key, "Name", ""), store.ReadString(key, "FileName", ""),
                      store.ReadInteger(key, "Params", 0)};
    }
    s.Style = readOptional(store, "Style");
    LoadDockPositions(store, s.Docks);
    s.UsePlugin = store.ReadBool(S, "Use Plugin", d.UsePlugin);
    s.DSDriver = readOptional(store, "DS Driver");
    s.InputDevice = readOptional(store, "Input Device");
    s.OutputDevice = readOptional(store, "Output Device");
    return s;
}

TSettingsStore SaveDesktopSettings(const TDesktopSettings& s, const TSettingsStore& previous,
                                   std::vector<std::string>* dockErrors) {
    TSettingsStore out;
    const char* S = SettingsSection;
    const std::vector<std::string> favorites = s.Favorites.value_or(std::vector<std::string>{});
    out.WriteInteger(FavoritesSection, "Count", int32_t(favorites.size()));
    for (size_t i = 0; i < favorites.size(); ++i) out.WriteString(FavoritesSection, std::to_string(i), favorites[i]);
    std::vector<std::string> errors = SaveDockPositions(out, s.Docks);
    if (dockErrors) *dockErrors = std::move(errors);
    out.WriteInteger(S, "WindowX", s.WindowX);
    out.WriteInteger(S, "WindowY", s.WindowY);
    out.WriteInteger(S, "ChanSetX", s.ChanSetX);
    out.WriteInteger(S, "ChanSetY", s.ChanSetY);
    SaveWindowPlacement(out, S, "PlayListForm", s.PlayListPlacement);
    out.WriteInteger(S, "Input Device", s.InputDevice.value_or(0));
    out.WriteInteger(S, "Output Device", s.OutputDevice.value_or(0));
    out.WriteInteger(S, "DS Driver", s.DSDriver.value_or(0));
    out.WriteInteger(S, "Bank Select Method", s.BankSelectMethod ? 1 : 0);
    out.WriteBool(S, "Easy Move", s.EasyMove);
    out.WriteBool(S, "Auto Arrange", s.AutoArrange);
    out.WriteBool(S, "Auto Maximize", s.AutoMaximize);
    out.WriteBool(S, "Minimized", s.Minimized);
    out.WriteBool(S, "Splash Screen", s.SplashScreen);
    out.WriteBool(S, "Close DS", s.CloseDS);
    out.WriteBool(S, "Mouse Use", s.MouseUse);
    out.WriteBool(S, "LedsOver", s.LedsOver);
    out.WriteBool(S, "Preview WAV", s.PreviewWAV);
    out.WriteInteger(S, "Style", s.Style.value_or(0));
    out.WriteBool(S, "Adjust Channel Name", s.AdjustChannelName);
    out.WriteInteger(S, "Rendering Remainder",
                     s.RenderingRemainder == 0 || s.RenderingRemainder == 1 ? s.RenderingRemainder : 2);
    out.WriteBool(S, "Use WAV only", s.UseWAVOnly);
    out.WriteBool(S, "Surround", s.Surround);
    out.WriteBool(S, "Use Plugin", s.UsePlugin);
    out.WriteInteger(S, "Settings sheet", s.SettingsSheet);
    out.WriteInteger(S, "Scope Style", s.ScopeStyle);
    out.WriteBool(S, "Sync to Input", s.SyncToInput);
    out.WriteBool(S, "Scope Enabled", s.ScopeEnabled);
    out.WriteInteger(S, "Buffer Length", clampFrames(s.BufferLength));
    out.WriteInteger(S, "Ahead Length", clampFrames(s.AheadLength));
    for (int i = 0; i < 5; ++i)
        if (!s.RecentFiles[i].empty()) out.WriteString(S, recentName(i), s.RecentFiles[i]);
    for (int i = 0; i < 5; ++i) {
        const std::string key = toolSection(i);
        out.WriteString(key, "Name", s.Tools[i].Name);
        out.WriteString(key, "FileName", s.Tools[i].FileName);
        out.WriteInteger(key, "Params", s.Tools[i].Params);
    }
    out.KeepUnknown(previous);
    return out;
}

}  // namespace tx
