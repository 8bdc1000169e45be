#include "cli/Commands.h"

namespace txcli {

int CmdResave(const Args&) { return NotAvailable("resave"); }

}  // namespace txcli
