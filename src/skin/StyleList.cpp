#include "skin/StyleList.h"

#include <cstdlib>
#include <filesystem>

#include "model/TextCase.h"

namespace tx {

namespace fs = std::filesystem;

namespace {

void addStyles(const std::string& folder, std::vector<TStyleEntry>& out) {
    if (folder.empty()) return;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code dirEc;
        if (!it->is_directory(dirEc)) continue;
        std::string path = it->path().string();
        if (path.back() != '/') path += '/';
        out.push_back({it->path().filename().string(), std::move(path)});
    }
}

std::string withSlash(std::string s) {
    if (!s.empty() && s.back() != '/') s += '/';
    return s;
}

}  // namespace

std::vector<TStyleEntry> ListStyles(const std::string& programFolder, const std::string& userStylesFolder) {
    std::vector<TStyleEntry> styles;
    if (!programFolder.empty()) addStyles(withSlash(programFolder) + "Styles/", styles);
    addStyles(withSlash(userStylesFolder), styles);
    return styles;
}

std::string UserStylesFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data == '/') return withSlash(data) + "Trovamix/Styles/";
    const char* home = std::getenv("HOME");
    if (home && *home) return withSlash(home) + ".local/share/Trovamix/Styles/";
    return {};
}

int DefaultStyleIndex(const std::vector<TStyleEntry>& styles) {
    for (size_t i = 0; i < styles.size(); ++i)
        if (EqualNoCase(styles[i].Name, "DEFAULT")) return int(i);
    return -1;
}

int ChooseStyle(const std::vector<TStyleEntry>& styles, std::optional<int> stored) {
    if (stored && *stored >= 0 && size_t(*stored) < styles.size()) return *stored;
    return DefaultStyleIndex(styles);
}

}  // namespace tx
