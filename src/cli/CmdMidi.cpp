#include "cli/Commands.h"

namespace txcli {

int CmdMidi(const Args&) { return NotAvailable("midi"); }

}  // namespace txcli
