#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/Commands.h"
#include "engine/RenderFormats.h"
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
    "       trovamix-cli render LOOP.txp -o OUT.wav [--format F] [--song|--pattern] [--remainder cut|leave|wrap] "
    "[--buffer FRAMES]\n"
    "       trovamix-cli render LOOP.txp --stems FOLDER [--format F] [options as above]\n"
    "       trovamix-cli render LOOP.txp... -o FOLDER [-j N] [--format F] [options as above]\n"
    "       trovamix-cli midi LOOP.txp -o OUT.mid [--pattern]\n"
    "       trovamix-cli play LOOP.txp [--seconds S] [--api jack|pulse|alsa|null] [--device NAME] "
    "[--buffer FRAMES] [--ahead FRAMES] [--midi-out NAME] [--sync-in NAME]\n"
    "       trovamix-cli style check FOLDER\n"
    "       trovamix-cli COMMAND --help\n"
    "\n"
    "style check lists every problem of a style folder as \"file:line: what\" (\"file: what\" for a\n"
    "whole file), then the files the style takes from the Default style; it exits 0 when there\n"
    "is no problem and 1 when there is.\n";

namespace txcli {

std::string CommandHelp(const std::string& command) {
    if (command == "info")
        return "usage: trovamix-cli info LOOP.txp\n"
               "\n"
               "Prints the loop as one JSON object on stdout.\n";
    if (command == "resave")
        return "usage: trovamix-cli resave IN.txp OUT.txp\n"
               "\n"
               "Reads a loop and writes it back with this program's loop writer. A loop read only in\n"
               "part is refused.\n";
    if (command == "render")
        return "usage: trovamix-cli render LOOP.txp -o OUT.wav [options]\n"
               "       trovamix-cli render LOOP.txp --stems FOLDER [options]\n"
               "       trovamix-cli render LOOP.txp... -o FOLDER [-j N] [options]\n"
               "\n"
               "Renders the loop as the desktop program's render command does: to one file, to a\n"
               "folder of stems (\"00 Mix\" and \"NN Name\" for each channel with a sample, each the\n"
               "render with every other channel muted, all in one pass), or several loops into one\n"
               "folder, each as <loop name>.<ext>, several at once.\n"
               "\n"
               "options:\n"
               "  -o, --output FILE|FOLDER  the file; a folder with several loops or when it is one\n"
               "  --stems FOLDER            write stems there (made when missing)\n"
               "  --format F                " +
               tx::WritableFormatList() +
               "; without it the output's extension\n"
               "                            decides (WAV for stems and folders)\n"
               "  -j, --jobs N              loops rendered at once (default: the processors)\n"
               "  --song, --pattern         the whole song or the current pattern (default: the loop's mode)\n"
               "  --remainder cut|leave|wrap  sound ringing past the end: cut off, rung out, or mixed\n"
               "                            into the start (default: wrap)\n"
               "  --buffer FRAMES           the mixing block length (default 4410)\n";
    if (command == "midi")
        return "usage: trovamix-cli midi LOOP.txp -o OUT.mid [--pattern]\n"
               "\n"
               "Writes the loop's MIDI channels as a Standard MIDI File: the whole song, or with\n"
               "--pattern the current pattern.\n";
    if (command == "play")
        return "usage: trovamix-cli play LOOP.txp [options]\n"
               "\n"
               "Plays the loop live until the time is up or Ctrl+C, then prints the underrun count\n"
               "and the mixing thread's CPU load.\n"
               "\n"
               "options:\n"
               "  --seconds S               stop after S seconds (0, the default: at Ctrl+C)\n"
               "  --api jack|pulse|alsa|null  the sound system (default: the first that answers)\n"
               "  --device NAME             one of its outputs\n"
               "  --buffer FRAMES           the mixing block length (default 4410)\n"
               "  --ahead FRAMES            how long before a block plays it is mixed (default 4410)\n"
               "  --midi-out NAME           send the MIDI channels to this JACK MIDI port\n"
               "  --sync-in NAME            follow the MIDI clock of this JACK MIDI port\n";
    if (command == "style")
        return "usage: trovamix-cli style check FOLDER\n"
               "\n"
               "Lists every problem of a style folder as \"file:line: what\" (\"file: what\" for a\n"
               "whole file), then the files the style takes from the Default style. Exits 0 when\n"
               "there is no problem and 1 when there is.\n";
    return {};
}

}  // namespace txcli

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
    // Any command's own help, wherever --help stands among its arguments.
    const std::string help = txcli::CommandHelp(cmd);
    if (!help.empty() &&
        std::any_of(args.begin(), args.end(), [](const std::string& a) { return a == "--help" || a == "-h"; })) {
        std::fputs(help.c_str(), stdout);
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
