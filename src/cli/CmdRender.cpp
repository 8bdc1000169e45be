#include "cli/Commands.h"

namespace txcli {

int CmdRender(const Args&) { return NotAvailable("render"); }

}  // namespace txcli
