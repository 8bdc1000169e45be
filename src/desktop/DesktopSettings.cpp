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

namespace {

using K = TSettingKind;
using D = TDesktopSettings;
const TSettingKey kSettingKeys[] = {
    {SettingsSection, "WindowX", K::Integer, &D::WindowX},
    {SettingsSection, "WindowY", K::Integer, &D::WindowY},
    {SettingsSection, "ChanSetX", K::Integer, &D::ChanSetX},
    {SettingsSection, "ChanSetY", K::Integer, &D::ChanSetY},
    {SettingsSection, "PlayListForm", K::Placement, &D::PlayListPlacement},
    {SettingsSection, "Input Device", K::Optional, &D::InputDevice},
    {SettingsSection, "Output Device", K::Optional, &D::OutputDevice},
    {SettingsSection, "DS Driver", K::Optional, &D::DSDriver},
    {SettingsSection, "Bank Select Method", K::Flag, &D::BankSelectMethod},
    {SettingsSection, "Easy Move", K::Bool, &D::EasyMove},
    {SettingsSection, "Auto Arrange", K::Bool, &D::AutoArrange},
    {SettingsSection, "Auto Maximize", K::Bool, &D::AutoMaximize},
    {SettingsSection, "Minimized", K::Bool, &D::Minimized},
    {SettingsSection, "Splash Screen", K::Bool, &D::SplashScreen},
    {SettingsSection, "Close DS", K::Bool, &D::CloseDS},
    {SettingsSection, "Mouse Use", K::Bool, &D::MouseUse},
    {SettingsSection, "LedsOver", K::Bool, &D::LedsOver},
    {SettingsSection, "Preview WAV", K::Bool, &D::PreviewWAV},
    {SettingsSection, "Style", K::Optional, &D::Style},
    {SettingsSection, "Adjust Channel Name", K::Bool, &D::AdjustChannelName},
    {SettingsSection, "Rendering Remainder", K::Remainder, &D::RenderingRemainder},
    {SettingsSection, "Use WAV only", K::Bool, &D::UseWAVOnly},
    {SettingsSection, "Surround", K::Bool, &D::Surround},
    {SettingsSection, "Use Plugin", K::Bool, &D::UsePlugin},
    {SettingsSection, "Settings sheet", K::Integer, &D::SettingsSheet},
    {SettingsSection, "Scope Style", K::Integer, &D::ScopeStyle},
    {SettingsSection, "Sync to Input", K::Bool, &D::SyncToInput},
    {SettingsSection, "Scope Enabled", K::Bool, &D::ScopeEnabled},
    {SettingsSection, "Buffer Length", K::Frames, &D::BufferLength},
    {SettingsSection, "Ahead Length", K::Frames, &D::AheadLength},
};

std::optional<int32_t> readOptional(const TSettingsStore& store, const char* section, const char* name) {
    if (!store.HasValue(section, name)) return std::nullopt;
    return ParseStoredInteger(store.ReadString(section, name, ""));  // unreadable text counts as missing
}

void loadKey(const TSettingKey& k, const TSettingsStore& store, const D& defaults, const D& current, D& s) {
    if (auto m = std::get_if<bool D::*>(&k.Member)) {
        s.*(*m) = store.ReadBool(k.Section, k.Name, defaults.*(*m));
    } else if (auto m = std::get_if<int32_t D::*>(&k.Member)) {
        const int32_t v = store.ReadInteger(k.Section, k.Name, defaults.*(*m));
        s.*(*m) = k.Kind == K::Frames ? clampFrames(v) : v;
    } else if (auto m = std::get_if<std::optional<int32_t> D::*>(&k.Member)) {
        s.*(*m) = readOptional(store, k.Section, k.Name);
    } else if (auto m = std::get_if<TWindowPlacement D::*>(&k.Member)) {
        s.*(*m) = LoadWindowPlacement(store, k.Section, k.Name, current.*(*m));
    }
}

void saveKey(const TSettingKey& k, const D& s, TSettingsStore& out) {
    if (auto m = std::get_if<bool D::*>(&k.Member)) {
        out.WriteBool(k.Section, k.Name, s.*(*m));
    } else if (auto m = std::get_if<int32_t D::*>(&k.Member)) {
        int32_t v = s.*(*m);
        if (k.Kind == K::Flag) v = v ? 1 : 0;
        if (k.Kind == K::Frames) v = clampFrames(v);
        if (k.Kind == K::Remainder && v != 0 && v != 1) v = 2;
        out.WriteInteger(k.Section, k.Name, v);
    } else if (auto m = std::get_if<std::optional<int32_t> D::*>(&k.Member)) {
        out.WriteInteger(k.Section, k.Name, (s.*(*m)).value_or(0));
    } else if (auto m = std::get_if<TWindowPlacement D::*>(&k.Member)) {
        SaveWindowPlacement(out, k.Section, k.Name, s.*(*m));
    }
}

}  // namespace

std::span<const TSettingKey> SettingKeys() { return kSettingKeys; }

TDesktopSettings LoadDesktopSettings(const TSettingsStore& store, const TDesktopSettings& current) {
    TDesktopSettings s = current;
    const TDesktopSettings d;  // the table's defaults
    for (const TSettingKey& k : kSettingKeys) loadKey(k, store, d, current, s);
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
    for (int i = 0; i < 5; ++i) s.RecentFiles[i] = store.ReadString(SettingsSection, recentName(i), "");
    for (int i = 0; i < 5; ++i) {
        const std::string key = toolSection(i);
        s.Tools[i] = {store.ReadString(key, "Name", ""), store.ReadString(key, "FileName", ""),
                      store.ReadInteger(key, "Params", 0)};
    }
    LoadDockPositions(store, s.Docks);
    return s;
}

TSettingsStore SaveDesktopSettings(const TDesktopSettings& s, const TSettingsStore& previous,
                                   std::vector<std::string>* dockErrors) {
    TSettingsStore out;
    const std::vector<std::string> favorites = s.Favorites.value_or(std::vector<std::string>{});
    out.WriteInteger(FavoritesSection, "Count", int32_t(favorites.size()));
    for (size_t i = 0; i < favorites.size(); ++i) out.WriteString(FavoritesSection, std::to_string(i), favorites[i]);
    std::vector<std::string> errors = SaveDockPositions(out, s.Docks);
    if (dockErrors) *dockErrors = std::move(errors);
    for (const TSettingKey& k : kSettingKeys) saveKey(k, s, out);
    for (int i = 0; i < 5; ++i)
        if (!s.RecentFiles[i].empty()) out.WriteString(SettingsSection, recentName(i), s.RecentFiles[i]);
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
