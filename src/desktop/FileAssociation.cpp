#include "desktop/FileAssociation.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "model/SafeFile.h"

extern char** environ;

namespace tx {

namespace {

std::string envOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v == '/' ? std::string(v) : fallback;  // XDG base directories must be absolute; a relative one is ignored
}

bool readText(const std::string& path, std::string& out, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return true;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read: " + std::strerror(errno);
        return false;
    }
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return true;
}

bool writeFile(const std::string& path, const std::string& text, TAssociationResult& r) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    if (ec) {
        r.Errors.push_back(std::filesystem::path(path).parent_path().string() +
                           ": cannot create the folder: " + ec.message());
        return false;
    }
    std::string why = WriteFileSafely(path, text);
    if (!why.empty()) {
        r.Errors.push_back(why);
        return false;
    }
    r.Written.push_back(path);
    return true;
}

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r"), b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

}  // namespace

TAssociationPaths TAssociationPaths::FromEnvironment() {
    const char* home = std::getenv("HOME");
    const std::string h = home ? home : "";
    return {envOr("XDG_DATA_HOME", h + "/.local/share"), envOr("XDG_CONFIG_HOME", h + "/.config")};
}

std::string DesktopExecArgument(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return {};
        // Inside the quotes these four need a backslash; the key's string
        // escapes then double every backslash once more.
        if (c == '"' || c == '`' || c == '$')
            quoted += "\\\\";
        else if (c == '\\')
            quoted += "\\\\\\";
        else if (c == '%')
            quoted += '%';  // field codes start with %, so a literal one is %%
        quoted += c;
    }
    return quoted + "\"";
}

std::string LoopMimePackageText() {
    return std::string(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
               "  <mime-type type=\"") +
           LoopMimeType +
           "\">\n"
           "    <comment>Trovamix Loop File</comment>\n"
           "    <glob pattern=\"*.txp\"/>\n"
           "    <magic priority=\"50\">\n"
           "      <match type=\"string\" offset=\"0\" value=\"TXhd\"/>\n"
           "    </magic>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

std::string LoopDesktopEntryText(const std::string& programPath) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Trovamix\n"
           "GenericName=Drum Machine\n"
           "Comment=Loop-based drum machine and step sequencer\n"
           "Exec=" +
           DesktopExecArgument(programPath) +
           " %f\n"
           "Icon=trovamix\n"
           "Terminal=false\n"
           "Categories=AudioVideo;Audio;Midi;\n"
           "MimeType=" +
           LoopMimeType + ";\n";
}

std::string MergeMimeApps(const std::string& existing) {
    const std::string section = "[Default Applications]";
    const std::string entry = std::string(LoopMimeType) + "=" + LoopDesktopId;
    std::istringstream in(existing);
    std::string out, line;
    bool inSection = false, sawSection = false, placed = false;
    while (std::getline(in, line)) {
        std::string t = trim(line);
        if (!t.empty() && t.front() == '[') {
            if (inSection && !placed) {
                out += entry + "\n";
                placed = true;
            }
            inSection = t == section;
            sawSection = sawSection || inSection;
        } else if (inSection) {
            size_t eq = t.find('=');
            if (eq != std::string::npos && trim(t.substr(0, eq)) == LoopMimeType) {
                if (!placed) out += entry + "\n";  // our old line is replaced, a duplicate dropped
                placed = true;
                continue;
            }
        }
        out += line + "\n";
    }
    if (!placed) {
        if (!sawSection) {
            if (!out.empty() && out.substr(out.size() > 1 ? out.size() - 2 : 0) != "\n\n") out += "\n";
            out += section + "\n";
        }
        out += entry + "\n";
    }
    return out;
}

std::string RunTool(const std::vector<std::string>& argv, bool& found) {
    found = false;
    if (argv.empty()) return "no program to run";
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    int err[2];
    if (::pipe2(err, O_CLOEXEC) != 0) return argv[0] + ": " + std::strerror(errno);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&fa, err[1], 2);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(err[1]);
    if (rc != 0) {
        ::close(err[0]);
        if (rc == ENOENT) return {};
        found = true;
        return argv[0] + ": " + std::strerror(rc);
    }
    found = true;
    std::string text;
    char buf[512];
    ssize_t n;
    while ((n = ::read(err[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0 && text.size() < 4096) text.append(buf, size_t(n));
    ::close(err[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {};
    text = trim(text.substr(0, text.find('\n')));
    std::string how = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status)) : "killed by a signal";
    return argv[0] + " failed (" + how + ")" + (text.empty() ? "" : ": " + text);
}

TAssociationResult RegisterFileAssociation(const std::string& programPath, const TAssociationPaths& paths,
                                           bool runTools) {
    TAssociationResult r;
    if (DesktopExecArgument(programPath).empty()) {
        r.Ok = false;
        r.Errors.push_back(programPath + ": the program's path cannot be written into a .desktop file");
        return r;
    }
    writeFile(paths.MimePackage(), LoopMimePackageText(), r);
    writeFile(paths.DesktopFile(), LoopDesktopEntryText(programPath), r);
    std::string existing, why;
    if (!readText(paths.MimeApps(), existing, why))
        r.Errors.push_back(why);  // never overwrite a list we could not read
    else
        writeFile(paths.MimeApps(), MergeMimeApps(existing), r);

    if (runTools) {
        bool found = false;
        for (const std::vector<std::string>& tool :
             {std::vector<std::string>{"update-mime-database", paths.DataHome + "/mime"},
              std::vector<std::string>{"update-desktop-database", paths.DataHome + "/applications"}}) {
            std::string e = RunTool(tool, found);
            if (!e.empty()) r.Errors.push_back(e);
        }
    }
    r.Ok = r.Errors.empty();
    return r;
}

}  // namespace tx
