#pragma once
#include <optional>
#include <string>
#include <vector>

namespace tx {

struct TStyleEntry {
    std::string Name;
    std::string Folder;  // with a trailing '/'
};

// The style folders: the sub-folders of ProgramFolder + "Styles/" in the
// order the directory lists them, then those of the per-user style folder.
// A missing or unreadable folder adds nothing.
std::vector<TStyleEntry> ListStyles(const std::string& programFolder, const std::string& userStylesFolder);

// $XDG_DATA_HOME/Trovamix/Styles/ (default ~/.local/share/Trovamix/Styles/), or empty without a home.
std::string UserStylesFolder();

// The first entry named "DEFAULT" in any case, or -1.
int DefaultStyleIndex(const std::vector<TStyleEntry>& styles);

// The style to load: the stored index when it names an entry, else the
// "DEFAULT" entry, else -1: the Default style built into the program.
int ChooseStyle(const std::vector<TStyleEntry>& styles, std::optional<int> stored);

}  // namespace tx
