#include "cli/Commands.h"

namespace txcli {

int CmdPlay(const Args&) { return NotAvailable("play"); }

}  // namespace txcli
