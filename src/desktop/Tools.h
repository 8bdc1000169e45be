#pragma once
#include <array>
#include <string>
#include <vector>

#include "desktop/DesktopSettings.h"

namespace tx {

// The Tools menu's five program slots, apart from any widget. Window thread.

using TToolSlots = std::array<TToolSlot, 5>;

enum : int32_t {
    ToolWithSamplesPath = 1,
    ToolWithLastRenderedWAV = 2,
    ToolAtStartup = 8,
    ToolLinked = 16,  // offered only for the companion editor
};

inline constexpr const char* CompanionName = "Sonelo";

// True for the companion editor's name in any letter case.
bool IsCompanionName(const std::string& name);

struct TToolMenuEntry {
    int Slot = 0;
    std::string Caption;
    std::string Shortcut;  // "Ctrl+F" for the companion, else empty
};
// The items after the Tools menu's separator, in slot order; a slot without a name has none.
std::vector<TToolMenuEntry> ToolMenuEntries(const TToolSlots& slots);

// The arguments a slot's program gets, each a whole argument (never split or
// interpreted by a shell): the samples folder, then the last rendered WAV.
std::vector<std::string> ToolArguments(const TToolSlot& slot, const std::string& samplesFolder,
                                       const std::string& lastRenderedWAV);

// The slot the tools window selects on show: the one after the last named
// slot (the first when none has a name; the last named one when it is slot 4).
int ToolSlotToEdit(const TToolSlots& slots);
// Moves the tool in slot `from` to `to`; the others keep their order.
void MoveToolSlot(TToolSlots& slots, int from, int to);

// The name to give a chosen program: the Name= of a desktop entry in `entryFolders`
// whose Exec= or TryExec= runs it, else its file name without folder and extension.
std::string ToolNameForProgram(const std::string& program, const std::vector<std::string>& entryFolders);
// Where desktop entries live: $XDG_DATA_HOME and $XDG_DATA_DIRS, each + "/applications".
std::vector<std::string> DesktopEntryFolders();

}  // namespace tx
