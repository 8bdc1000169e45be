// `trovamix-cli midi LOOP.txp -o OUT.mid [--pattern]`: the Standard MIDI File
// of the whole song, or of CurrentPattern only, as "Export MIDI" writes it,
// with the settings store's defaults (bank select by controller 0).
#include <string>

#include "cli/Commands.h"
#include "loopfile/LoopFile.h"
#include "midi/MidiFile.h"
#include "model/Settings.h"

namespace txcli {

namespace {

int usage(const std::string& why) {
    Fail("midi", "bad usage: " + why + " (expected trovamix-cli midi LOOP.txp -o OUT.mid [--pattern])");
    return ExitUsage;
}

}  // namespace

int CmdMidi(const Args& args) {
    std::string loopFile, output;
    bool pattern = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" || a == "--output") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return usage("-o needs a file name");
            if (!output.empty()) return usage("more than one output file");
            output = args[++i];
        } else if (a.rfind("--output=", 0) == 0) {
            if (!output.empty()) return usage("more than one output file");
            output = a.substr(9);
            if (output.empty()) return usage("-o needs a file name");
        } else if (a == "--pattern") {
            pattern = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option " + a);
        } else {
            if (!loopFile.empty()) return usage("more than one loop file");
            loopFile = a;
        }
    }
    if (loopFile.empty()) return usage("no loop file");
    if (output.empty()) return usage("no output file (-o OUT.mid)");

    tx::TLoop loop;
    const tx::TLoopReadResult read = tx::ReadLoop(loopFile, loop);
    if (!read.Ok()) {
        Fail(loopFile, read.Reason);
        return read.Code == 1 ? ExitCannotOpen : ExitMalformed;
    }
    WarnIfEndedEarly(loopFile, read);
    const tx::TSettings settings;
    std::string why = tx::WriteMidiFile(output, tx::BuildMidiFile(loop, settings, !pattern));
    if (!why.empty()) {
        Fail(output, why);
        return ExitCannotOpen;
    }
    return ExitOk;
}

}  // namespace txcli
