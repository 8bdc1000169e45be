#include "desktop/CommandLine.h"

#include <algorithm>
#include <filesystem>

namespace tx {

namespace {

// ASCII only: the switches are ASCII, and a locale-dependent upper case could
// make a file name match a switch.
bool EqualsNoCase(const std::string& a, const std::string& b) {
    auto up = [](unsigned char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : char(c); };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return up(x) == up(y); });
}

}  // namespace

bool IsSwitchPresent(const std::vector<std::string>& args, const std::string& sw) {
    return std::any_of(args.begin(), args.end(), [&](const std::string& a) { return EqualsNoCase(a, sw); });
}

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TCommandLine cl;
    cl.NoSplash = IsSwitchPresent(args, NoSplashSwitch);
    cl.TopMost = IsSwitchPresent(args, TopMostSwitch);
    cl.RenderAfterSave = IsSwitchPresent(args, RenderAfterSaveSwitch);
    for (const auto& a : args) {
        if (a.empty()) continue;
        bool isSwitch =
            EqualsNoCase(a, NoSplashSwitch) || EqualsNoCase(a, TopMostSwitch) || EqualsNoCase(a, RenderAfterSaveSwitch);
        if (isSwitch) continue;
        // Switch-like words we do not know ("/Foo") are skipped as before;
        // paths are not, or a file opened from the desktop would be dropped.
        std::error_code ec;
        bool path = a[0] != '/' || a.find('/', 1) != std::string::npos || std::filesystem::is_regular_file(a, ec);
        if (path) cl.LoopFiles.push_back(a);
    }
    return cl;
}

}  // namespace tx
