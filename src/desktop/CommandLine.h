#pragma once
#include <string>
#include <vector>

namespace tx {

// The desktop program's switches and loop files, parsed once at start-up.
// Arguments exclude the program name.
inline constexpr const char* NoSplashSwitch = "/NoSplash";
inline constexpr const char* TopMostSwitch = "/T";
inline constexpr const char* RenderAfterSaveSwitch = "/R";

// True when an argument equals the switch as a whole, ignoring letter case.
bool IsSwitchPresent(const std::vector<std::string>& args, const std::string& sw);

struct TCommandLine {
    bool NoSplash = false;
    bool TopMost = false;
    bool RenderAfterSave = false;
    // The loop files in order, opened at the first activation: every argument
    // not beginning with "/", and every absolute path (one with a second "/",
    // or an existing file), since on this system "/" also starts a path.
    std::vector<std::string> LoopFiles;
};

TCommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace tx
