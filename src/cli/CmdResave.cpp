// `trovamix-cli resave IN.txp OUT.txp`: reads a loop and writes it back with
// the loop writer. Texts and sample names are written back as stored; a loop
// whose events stopped early is refused, so no shortened copy is ever made.
#include "cli/Commands.h"
#include "loopfile/LoopFile.h"

namespace txcli {

int CmdResave(const Args& args) {
    if (args.size() != 2) {
        Fail("resave", "bad usage: expected trovamix-cli resave IN.txp OUT.txp");
        return ExitUsage;
    }
    const std::string& in = args[0];
    const std::string& out = args[1];
    tx::TLoop loop;
    const tx::TLoopReadResult r = tx::ReadLoop(in, loop);
    if (!r.Ok()) {
        Fail(in, r.Reason);
        return r.Code == 1 ? ExitCannotOpen : ExitMalformed;
    }
    // A copy of what was read before the stop would silently drop the rest.
    if (r.EndedEarly) {
        Fail(in, "not saved, it was read only in part: " + r.Reason);
        return ExitMalformed;
    }
    const tx::TLoopWriteResult w = tx::WriteLoopFile(out, loop);
    if (!w.Ok) {
        Fail(out, w.Reason);
        return ExitCannotOpen;
    }
    return ExitOk;
}

}  // namespace txcli
