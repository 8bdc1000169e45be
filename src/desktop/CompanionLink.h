#pragma once
#include <string>

#include "desktop/Tools.h"

namespace tx {

// The program's side of the companion editor link, apart from any widget.
// Window thread.

// Whether the companion is docked to the main window: some slot has "Link to Trovamix".
bool CompanionDocking(const TToolSlots& slots);

// The hint on a file received from the companion: "Received " + its name without folder.
std::string ReceivedHint(const std::string& path);

// Why a file the companion sent cannot be loaded ("" when it can): it must be
// an existing regular file with a ".wav" extension.
std::string CompanionFileProblem(const std::string& path);

}  // namespace tx
