#pragma once
#include <string>

namespace tx {

// The folder of the running program with a trailing '/', symlinks resolved,
// so a program started through a link in bin/ still finds its data.
std::string ProgramFolder();
// The per-user loops folder, "$XDG_DATA_HOME/Trovamix/Loops/" (by default
// under "~/.local/share"), for Save As when the program's own cannot be written.
std::string UserLoopsFolder();

inline constexpr const char* TitleImageName = "Title.JPG";
inline constexpr const char* StartSoundName = "StartSnd.WAV";

// The start sound: "StartSnd.WAV" in the current style's folder, else the one
// in the default style's folder; "" (silence) when neither exists. A file
// whose name differs only in letter case counts, as styles are often copied
// from case-blind file systems.
std::string StartSoundPath(const std::string& programFolder, const std::string& styleFolder);

}  // namespace tx
