#include "cli/Commands.h"

namespace txcli {

int CmdInfo(const Args&) { return NotAvailable("info"); }

}  // namespace txcli
