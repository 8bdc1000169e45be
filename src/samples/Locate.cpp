// Finding a sample file from the name a loop stored, also when the loop or its
// samples were moved. Loops written on Windows store '\\' separators and
// their names were matched without regard to letter case; both are honoured.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>
#include <vector>

#include "samples/Samples.h"

namespace tx {

namespace fs = std::filesystem;

namespace {

constexpr int MaxSearchDepth = 64;  // guards against absurdly deep or looping trees

std::string toSlashes(std::string s) {
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool equalNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
bool isDir(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Entry names of a folder in the order the file system returns them.
std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(folder, ec), endIt;
    for (; !ec && it != endIt; it.increment(ec)) names.push_back(it->path().filename().string());
    return names;
}

std::string join(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// folder + name when that is a file: the exact spelling first, else the first
// entry, in listing order, whose name differs only in letter case.
std::string fileInFolder(const std::string& folder, const std::string& name, const std::vector<std::string>* listing) {
    if (name.empty()) return {};
    std::string exact = join(folder, name);
    if (isFile(exact)) return exact;
    std::vector<std::string> own;
    if (!listing) {
        own = listFolder(folder);
        listing = &own;
    }
    for (const auto& e : *listing)
        if (equalNoCase(e, name) && isFile(join(folder, e))) return join(folder, e);
    return {};
}

// Resolves a '/'-separated relative path below `base` component by component,
// each without regard to letter case where the exact spelling is missing.
std::string resolveBelow(const std::string& base, const std::string& relative) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t slash = relative.find('/', start);
        if (slash == std::string::npos) slash = relative.size();
        std::string part = relative.substr(start, slash - start);
        if (!part.empty() && part != ".") {
            if (part == "..") return {};  // a stored name never leaves its folder
            parts.push_back(part);
        }
        start = slash + 1;
    }
    if (parts.empty()) return {};
    std::string folder = base;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        std::string exact = join(folder, parts[i]);
        if (isDir(exact)) {
            folder = exact;
            continue;
        }
        std::string found;
        for (const auto& e : listFolder(folder))
            if (equalNoCase(e, parts[i]) && isDir(join(folder, e))) {
                found = join(folder, e);
                break;
            }
        if (found.empty()) return {};
        folder = found;
    }
    return fileInFolder(folder, parts.back(), nullptr);
}

struct TSearch {
    const std::string& name;
    std::set<std::pair<dev_t, ino_t>> visited;  // folders linked into themselves are searched once
};

std::string depthFirst(const std::string& folder, TSearch& search, int depth) {
    struct stat st {};
    if (depth > MaxSearchDepth || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    if (!search.visited.insert({st.st_dev, st.st_ino}).second) return {};
    std::vector<std::string> entries = listFolder(folder);
    std::string hit = fileInFolder(folder, search.name, &entries);
    if (!hit.empty()) return hit;
    for (const auto& e : entries) {
        hit = depthFirst(join(folder, e), search, depth + 1);
        if (!hit.empty()) return hit;
    }
    return {};
}

}  // namespace

std::string LocateSample(const std::string& storedName, const TLocateContext& ctx) {
    if (storedName.empty()) return {};
    // Without a program folder there is no sample folder (and never the working folder).
    const bool haveSamples = !ctx.ProgramFolder.empty();
    const std::string samples = join(ctx.ProgramFolder, "Samples/");
    const std::string name = toSlashes(storedName);

    if (storedName[0] == '\\') {
        if (haveSamples) {
            std::string hit = resolveBelow(samples, name.substr(1));
            if (!hit.empty()) return hit;
        }
    } else if (name[0] == '/') {
        // An absolute path of this platform wins when it exists; otherwise the
        // name is read as relative to the sample folder, like '\\'.
        std::string hit = isFile(name) ? name : resolveBelow("/", name.substr(1));
        if (!hit.empty()) return hit;
        if (haveSamples) {
            hit = resolveBelow(samples, name.substr(1));
            if (!hit.empty()) return hit;
        }
    }
    // Any other name is relative and is never looked up in the working folder.

    const std::string filePart = name.substr(name.rfind('/') + 1);
    if (filePart.empty()) return {};
    if (ctx.ShowHint) {
        std::string lower = filePart;
        std::transform(lower.begin(), lower.end(), lower.begin(), lowerAscii);
        ctx.ShowHint("Locating: " + lower);
    }

    if (!ctx.LoopFileName.empty()) {
        const std::string loop = toSlashes(ctx.LoopFileName);
        size_t slash = loop.rfind('/');
        if (slash != std::string::npos) {
            std::string hit = fileInFolder(loop.substr(0, slash + 1), filePart, nullptr);
            if (!hit.empty()) return hit;
        }
    }
    if (haveSamples) {
        std::string hit = fileInFolder(samples, filePart, nullptr);
        if (!hit.empty()) return hit;
        TSearch search{filePart, {}};
        return depthFirst(samples, search, 0);
    }
    return {};
}

std::string StoredSampleName(const std::string& locatedPath, const std::string& programFolder) {
    const std::string prefix = join(programFolder, "Samples/");
    if (!programFolder.empty() && locatedPath.size() > prefix.size() &&
        locatedPath.compare(0, prefix.size(), prefix) == 0) {
        std::string rel = "\\" + locatedPath.substr(prefix.size());
        std::replace(rel.begin(), rel.end(), '/', '\\');
        return rel;
    }
    return locatedPath;
}

}  // namespace tx
