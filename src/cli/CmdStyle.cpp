#include <cstdio>
#include <filesystem>

#include "cli/Commands.h"
#include "model/Settings.h"
#include "skin/EmbeddedStyle.h"
#include "skin/StyleCheck.h"

namespace txcli {

// style check FOLDER: every problem of a style folder on stdout, one per line,
// then the files it takes from the Default style. Exit 0 when there is no
// problem, 1 when there is one or the folder cannot be read.
int CmdStyle(const Args& args) {
    if (args.empty() || args[0] != "check")
        return std::fprintf(stderr, "trovamix-cli: style: bad usage: expected \"style check FOLDER\"\n"), ExitUsage;
    if (args.size() != 2)
        return std::fprintf(stderr, "trovamix-cli: style check: bad usage: give exactly one style folder\n"), ExitUsage;
    const std::string& folder = args[1];
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        Fail(folder, "is not a style folder: " + (ec ? ec.message() : std::string("not a folder")));
        return ExitCannotOpen;
    }
    tx::TStyleSources sources;
    sources.StyleFolder = folder.back() == '/' ? folder : folder + "/";
    sources.DefaultFolder = tx::DefaultStyleFolder(tx::TAppPaths::ForExecutable().ProgramFolder);
#ifdef TROVAMIX_HAVE_EMBEDDED_STYLE
    sources.Embedded = &tx::FindEmbeddedStyleFile;
#endif
    const tx::TStyleReport report = tx::CheckStyle(sources);
    for (const std::string& p : report.Problems) std::printf("%s\n", p.c_str());
    for (const std::string& f : report.Fallbacks) std::printf("%s\n", f.c_str());
    return report.Problems.empty() ? ExitOk : ExitCannotOpen;
}

}  // namespace txcli
