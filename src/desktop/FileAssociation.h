#pragma once
#include <string>
#include <vector>

namespace tx {

// The per-user association of loop files with the program, as the desktop
// expects it: a shared-mime-info package that names the type, a .desktop file
// that opens it, and the default application in mimeapps.list. Window thread;
// no Qt, so it is tested with a temporary XDG_DATA_HOME.

inline constexpr const char* LoopMimeType = "application/x-trovamix-loop";
inline constexpr const char* LoopDesktopId = "trovamix.desktop";

struct TAssociationPaths {
    std::string DataHome;    // $XDG_DATA_HOME, else ~/.local/share
    std::string ConfigHome;  // $XDG_CONFIG_HOME, else ~/.config
    static TAssociationPaths FromEnvironment();
    std::string MimePackage() const { return DataHome + "/mime/packages/trovamix.xml"; }
    std::string DesktopFile() const { return DataHome + "/applications/" + LoopDesktopId; }
    std::string MimeApps() const { return ConfigHome + "/mimeapps.list"; }
};

struct TAssociationResult {
    bool Ok = true;
    std::vector<std::string> Errors;  // one line each, for the message box
    std::vector<std::string> Written;
};

// One argument of a .desktop file's Exec key, quoted as the desktop entry
// rules ask: in double quotes, with ", `, $ and \ escaped by a backslash, "%"
// doubled, and every backslash doubled again for the key's own string escapes.
// Empty when the text cannot be put there (a control character).
std::string DesktopExecArgument(const std::string& text);

std::string LoopMimePackageText();
std::string LoopDesktopEntryText(const std::string& programPath);
// `existing` with our type's default application set in "[Default
// Applications]"; every other line is kept as it was.
std::string MergeMimeApps(const std::string& existing);

// Writes the three files (each through a temporary name) and then runs
// update-mime-database and update-desktop-database when they are installed.
// Nothing is swallowed: every failure is one line of Errors.
TAssociationResult RegisterFileAssociation(const std::string& programPath, const TAssociationPaths& paths,
                                           bool runTools = true);

// Runs a program found on PATH with an argument list (never through a shell);
// returns "" on success, else what went wrong. `found` tells whether it exists.
std::string RunTool(const std::vector<std::string>& argv, bool& found);

}  // namespace tx
