#include "desktop/StartupPaths.h"

#include <cstdlib>
#include <filesystem>

#include "model/Settings.h"
#include "skin/Style.h"

namespace fs = std::filesystem;

namespace tx {

std::string ProgramFolder() { return TAppPaths::ForExecutable().ProgramFolder; }

std::string UserLoopsFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data == '/') return (fs::path(data) / "Trovamix" / "Loops").string() + "/";
    const char* home = std::getenv("HOME");
    if (home && *home) return (fs::path(home) / ".local/share/Trovamix/Loops").string() + "/";
    return {};
}

std::string StartSoundPath(const std::string& programFolder, const std::string& styleFolder) {
    return StyleFile({styleFolder, (fs::path(programFolder) / "Styles" / "Default").string(), {}}, StartSoundName);
}

}  // namespace tx
