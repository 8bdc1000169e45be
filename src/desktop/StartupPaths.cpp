#include "desktop/StartupPaths.h"

#include <filesystem>

#include "model/Settings.h"
#include "skin/Style.h"

namespace fs = std::filesystem;

namespace tx {


std::string ProgramFolder() { return TAppPaths::ForExecutable().ProgramFolder; }

std::string StartSoundPath(const std::string& programFolder, const std::string& styleFolder) {
    return StyleFile({styleFolder, (fs::path(programFolder) / "Styles" / "Default").string(), {}}, StartSoundName);
}

}  // namespace tx
