// The core's folders form layers: the document below the file reader and
// the samples, those below the engine, the engine below MIDI. An include that
// points up makes a circle no build error would show.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

std::set<std::string> includedFolders(const std::string& folder) {
    std::set<std::string> found;
    const std::regex include(R"(^\s*#\s*include\s*"([a-z]+)/)");
    for (const auto& entry : fs::directory_iterator(fs::path(TROVAMIX_SOURCE_DIR) / "src" / folder)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path());
        std::string line;
        std::smatch m;
        while (std::getline(in, line))
            if (std::regex_search(line, m, include))
                found.insert(m[1].str() + " (" + entry.path().filename().string() + ")");
    }
    return found;
}

TEST(CoreLayers, NoFolderIncludesALayerAboveIt) {
    const struct {
        const char* Folder;
        std::set<std::string> Above;
    } cases[] = {
        {"model", {"loopfile", "samples", "engine", "midi"}},
        {"loopfile", {"samples", "engine", "midi"}},
        {"samples", {"loopfile", "engine", "midi"}},
        {"engine", {"midi"}},
    };
    for (const auto& c : cases)
        for (const std::string& hit : includedFolders(c.Folder))
            EXPECT_FALSE(c.Above.count(hit.substr(0, hit.find(' ')))) << c.Folder << " includes " << hit;
}

}  // namespace
