#include "shell/core/StartupPaths.h"

#include <filesystem>

#include "model/Settings.h"

namespace fs = std::filesystem;

namespace tx {

namespace {

bool SameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto up = [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; };
        if (up(a[i]) != up(b[i])) return false;
    }
    return true;
}

// The regular file `name` in `folder`, exact name first; "" when absent.
std::string FindFile(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    if (folder.empty()) return {};
    if (fs::is_regular_file(folder / name, ec)) return (folder / name).string();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (SameNoCase(it->path().filename().string(), name) && it->is_regular_file(ec)) return it->path().string();
    }
    return {};
}

}  // namespace

std::string ProgramFolder() { return TAppPaths::ForExecutable().ProgramFolder; }

std::string StartSoundPath(const std::string& programFolder, const std::string& styleFolder) {
    std::string found = FindFile(styleFolder, StartSoundName);
    if (found.empty()) found = FindFile(fs::path(programFolder) / "Styles" / "Default", StartSoundName);
    return found;
}

}  // namespace tx
