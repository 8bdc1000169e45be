#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "desktop/SettingsStore.h"

namespace tx {

constexpr const char* SettingsSection = "TX SETTINGS";
constexpr const char* FavoritesSection = "TX FAVORITES";

// At most this many favourite folders are read, whatever "Count" claims.
constexpr int MaxFavorites = 10;
// The mixing and ahead lengths never exceed half a second of frames (44100 Hz).
constexpr int32_t MaxBufferFrames = 22050;

struct TWindowPlacement {
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    bool operator==(const TWindowPlacement&) const = default;
};

// One dockable panel of the main window, as its six stored values.
struct TDockPanel {
    std::string Name;  // the panel's component name: its section
    bool Visible = true;
    std::string DockedTo;  // the dock's component name; empty while floating
    bool Docked = true;
    int32_t DockRow = 0, DockPos = 0, FloatLeft = 0, FloatTop = 0;
    bool operator==(const TDockPanel&) const = default;
};

struct TToolSlot {
    std::string Name, FileName;
    int32_t Params = 0;  // 1 samples folder, 2 last rendered WAV, 8 launch at start-up
    bool operator==(const TToolSlot&) const = default;
};

// Every value the program keeps in the store, with its first-start defaults.
// Device and style choices are stored as read; their defaults depend on lists
// known only at run time, so a missing value is left unset.
struct TDesktopSettings {
    int32_t WindowX = 195, WindowY = 153;
    int32_t ChanSetX = 311, ChanSetY = 112;
    int32_t SettingsSheet = 1;
    int32_t BankSelectMethod = 0;
    bool EasyMove = true, AutoArrange = true, AutoMaximize = true, AdjustChannelName = true;
    int32_t RenderingRemainder = 2;
    bool Surround = false, SplashScreen = true, CloseDS = false, MouseUse = true, LedsOver = false;
    bool PreviewWAV = true;
    std::optional<int32_t> Style, DSDriver, InputDevice, OutputDevice;
    bool UsePlugin = false, UseWAVOnly = true, SyncToInput = false;
    int32_t ScopeStyle = 0;
    bool ScopeEnabled = true, Minimized = true;
    int32_t BufferLength = 4410, AheadLength = 4410;  // frames, at most MaxBufferFrames
    std::array<std::string, 5> RecentFiles;           // kept by AddRecentFile (LoopWorkflow.h)
    std::array<TToolSlot, 5> Tools;
    std::optional<std::vector<std::string>> Favorites;  // unset: the key was missing
    // The playlist window's design placement: beside the main window's design
    // position, tall enough for a page of positions. Until the window exists
    // this is what a first start stores, never 0 x 0.
    TWindowPlacement PlayListPlacement{0, 153, 190, 420};
    std::vector<TDockPanel> Docks = DefaultDocks();

    static std::vector<TDockPanel> DefaultDocks();
};

// How a value of the settings table is stored.
enum class TSettingKind {
    Integer,    // decimal text
    Bool,       // "1" or "0"
    Flag,       // an integer member stored as 1 when non-zero, else 0
    Frames,     // an integer clamped to 1..MaxBufferFrames both ways
    Remainder,  // 0, 1, or 2 for anything else
    Optional,   // an integer left unset when missing or unreadable; unset is saved as 0
    Placement,  // "Left", "Top", "Width", "Height" in the sub-section section + "\" + name
};

// One value of the settings: where it is stored, how, and which member holds
// it. The default is the member's value in a fresh TDesktopSettings, except a
// placement's, which the windows supply.
struct TSettingKey {
    const char* Section;
    const char* Name;
    TSettingKind Kind;
    std::variant<int32_t TDesktopSettings::*, bool TDesktopSettings::*, std::optional<int32_t> TDesktopSettings::*,
                 TWindowPlacement TDesktopSettings::*>
        Member;
};

// The single values of the settings, in their save order; the favourites, the
// panels, the recent files and the tools are lists and saved around them.
std::span<const TSettingKey> SettingKeys();

// Reads every value with its default. `current` supplies the defaults the
// store leaves to the windows (playlist placement, dock panels).
TDesktopSettings LoadDesktopSettings(const TSettingsStore& store, const TDesktopSettings& current = {});

// Writes every value in the save order into a fresh store, then keeps the
// values of `previous` this program does not write (stale favourites and
// recent entries, values of other versions). Returns the dock errors met.
TSettingsStore SaveDesktopSettings(const TDesktopSettings& settings, const TSettingsStore& previous,
                                   std::vector<std::string>* dockErrors = nullptr);

// "Left", "Top", "Width", "Height" under section + "\" + name; each defaults to `current`.
TWindowPlacement LoadWindowPlacement(const TSettingsStore& store, const std::string& section, const std::string& name,
                                     const TWindowPlacement& current);
void SaveWindowPlacement(TSettingsStore& store, const std::string& section, const std::string& name,
                         const TWindowPlacement& placement);

// The six values of each panel, defaults from the panel as given.
void LoadDockPositions(const TSettingsStore& store, std::vector<TDockPanel>& panels);
// Writes every panel it can; a panel it cannot name is skipped with one of the
// two error texts, and the rest are still written.
std::vector<std::string> SaveDockPositions(TSettingsStore& store, const std::vector<TDockPanel>& panels);

// A stored device or style index clamped into a list of `count` entries.
int32_t ClampListIndex(int32_t index, int32_t count);
// The MIDI output list's entry for a stored "Output Device": "MIDI Mapper"
// (-1), the `devices` in order, then "-none-" (`devices`). Nothing stored, or
// a value that names no entry, is "-none-": a stale or damaged value must not
// open a device the user never chose.
int32_t OutputDeviceItem(std::optional<int32_t> stored, int32_t devices);

}  // namespace tx
