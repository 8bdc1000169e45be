#include "desktop/Tools.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace tx {

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

std::string baseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// The program an Exec= line runs: its first word, quotes removed.
std::string execProgram(const std::string& exec) {
    size_t i = exec.find_first_not_of(" \t");
    if (i == std::string::npos) return {};
    if (exec[i] == '"') {
        size_t end = exec.find('"', i + 1);
        return exec.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
    }
    size_t end = exec.find_first_of(" \t", i);
    return exec.substr(i, end == std::string::npos ? std::string::npos : end - i);
}

bool runsProgram(const std::string& entryProgram, const std::string& program) {
    if (entryProgram.empty()) return false;
    if (entryProgram.find('/') != std::string::npos) return entryProgram == program;
    return entryProgram == baseName(program);  // found on the PATH by its name
}

}  // namespace

bool IsCompanionName(const std::string& name) {
    const std::string c = CompanionName;
    if (name.size() != c.size()) return false;
    for (size_t i = 0; i < c.size(); ++i)
        if (lowerAscii(name[i]) != lowerAscii(c[i])) return false;
    return true;
}

std::vector<TToolMenuEntry> ToolMenuEntries(const TToolSlots& slots) {
    std::vector<TToolMenuEntry> out;
    for (int i = 0; i < int(slots.size()); ++i) {
        const TToolSlot& s = slots[size_t(i)];
        if (s.Name.empty()) continue;
        out.push_back({i, s.Name, s.Name == CompanionName ? "Ctrl+F" : ""});
    }
    return out;
}

std::vector<std::string> ToolArguments(const TToolSlot& slot, const std::string& samplesFolder,
                                       const std::string& lastRenderedWAV) {
    std::vector<std::string> args;
    if ((slot.Params & ToolWithSamplesPath) && !samplesFolder.empty()) args.push_back(samplesFolder);
    if ((slot.Params & ToolWithLastRenderedWAV) && !lastRenderedWAV.empty()) args.push_back(lastRenderedWAV);
    return args;
}

int ToolSlotToEdit(const TToolSlots& slots) {
    int last = -1;
    for (int i = 0; i < int(slots.size()); ++i)
        if (!slots[size_t(i)].Name.empty()) last = i;
    return std::min(last + 1, int(slots.size()) - 1);
}

void MoveToolSlot(TToolSlots& slots, int from, int to) {
    const int n = int(slots.size());
    if (from < 0 || from >= n || to < 0 || to >= n || from == to) return;
    if (from < to)
        std::rotate(slots.begin() + from, slots.begin() + from + 1, slots.begin() + to + 1);
    else
        std::rotate(slots.begin() + to, slots.begin() + from, slots.begin() + from + 1);
}

std::string ToolNameForProgram(const std::string& program, const std::vector<std::string>& entryFolders) {
    namespace fs = std::filesystem;
    for (const std::string& folder : entryFolders) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            if (it->path().extension() != ".desktop") continue;
            std::ifstream in(it->path());
            std::string line, name, exec, tryExec;
            bool inEntry = false;
            while (std::getline(in, line)) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                if (!line.empty() && line[0] == '[') {
                    inEntry = line == "[Desktop Entry]";
                    continue;
                }
                if (!inEntry) continue;
                if (line.rfind("Name=", 0) == 0 && name.empty()) name = line.substr(5);
                if (line.rfind("Exec=", 0) == 0) exec = line.substr(5);
                if (line.rfind("TryExec=", 0) == 0) tryExec = line.substr(8);
            }
            if (!name.empty() && (runsProgram(execProgram(exec), program) || runsProgram(tryExec, program)))
                return name;
        }
    }
    std::string file = baseName(program);
    const size_t dot = file.rfind('.');
    if (dot != std::string::npos && dot > 0) file.erase(dot);
    return file;
}

std::vector<std::string> DesktopEntryFolders() {
    std::vector<std::string> out;
    const char* home = std::getenv("HOME");
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome)
        out.push_back(std::string(dataHome) + "/applications");
    else if (home && *home)
        out.push_back(std::string(home) + "/.local/share/applications");
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
    for (size_t start = 0; start <= list.size();) {
        size_t colon = list.find(':', start);
        if (colon == std::string::npos) colon = list.size();
        if (colon > start) out.push_back(list.substr(start, colon - start) + "/applications");
        start = colon + 1;
    }
    return out;
}

}  // namespace tx
