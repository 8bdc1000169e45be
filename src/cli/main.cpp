#include <cstdio>
#include <cstring>

#include "cli/Commands.h"
#include "loopfile/LoopFile.h"

namespace txcli {

void Fail(const std::string& file, const std::string& reason) {
    std::fprintf(stderr, "trovamix-cli: %s: %s\n", file.c_str(), reason.c_str());
}

void Warn(const std::string& file, const std::string& reason) {
    std::fprintf(stderr, "trovamix-cli: %s: warning: %s\n", file.c_str(), reason.c_str());
}

void WarnIfEndedEarly(const std::string& file, const tx::TLoopReadResult& read) {
    if (read.EndedEarly) Warn(file, "read only in part: " + read.Reason);
}

void WarnRefusedSample(int, const std::string& sample, const std::string& why) {
    Warn(sample, "not loaded, its channel stays silent: it " + why);
}

int NotAvailable(const char* command) {
    std::fprintf(stderr, "trovamix-cli: %s: not available yet\n", command);
    return ExitUsage;
}

}  // namespace txcli

static const char kHelp[] =
    "usage: trovamix-cli info LOOP.txp\n"
    "       trovamix-cli resave IN.txp OUT.txp\n"
    "       trovamix-cli render LOOP.txp -o OUT.wav [--song|--pattern] [--remainder cut|leave|wrap] "
    "[--buffer FRAMES]\n"
    "       trovamix-cli midi LOOP.txp -o OUT.mid [--pattern]\n"
    "       trovamix-cli play LOOP.txp [--seconds S] [--api jack|pulse|alsa|null] [--device NAME] "
    "[--buffer FRAMES] [--ahead FRAMES] [--midi-out NAME] [--sync-in NAME]\n"
    "       trovamix-cli style check FOLDER\n"
    "\n"
    "style check lists every problem of a style folder as \"file:line: what\" (\"file: what\" for a\n"
    "whole file), then the files the style takes from the Default style; it exits 0 when there\n"
    "is no problem and 1 when there is.\n";

// Scripts read a failure as one line on stderr; the full text is on --help.
static int usage(const char* cmd) {
    if (cmd)
        std::fprintf(stderr, "trovamix-cli: %s: bad usage: unknown command (try trovamix-cli --help)\n", cmd);
    else
        std::fprintf(stderr, "trovamix-cli: bad usage: no command given (try trovamix-cli --help)\n");
    return txcli::ExitUsage;
}

int main(int argc, char** argv) {
    if (argc < 2) return usage(nullptr);
    txcli::Args args(argv + 2, argv + argc);
    const char* cmd = argv[1];
    if (!std::strcmp(cmd, "--help") || !std::strcmp(cmd, "-h")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (!std::strcmp(cmd, "info")) return txcli::CmdInfo(args);
    if (!std::strcmp(cmd, "resave")) return txcli::CmdResave(args);
    if (!std::strcmp(cmd, "render")) return txcli::CmdRender(args);
    if (!std::strcmp(cmd, "midi")) return txcli::CmdMidi(args);
    if (!std::strcmp(cmd, "play")) return txcli::CmdPlay(args);
    if (!std::strcmp(cmd, "style")) return txcli::CmdStyle(args);
    return usage(cmd);
}
