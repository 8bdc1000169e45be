#include "desktop/CompanionLink.h"

#include <filesystem>
#include <system_error>

#include "desktop/LoopWorkflow.h"
#include "engine/SampleInstall.h"

namespace tx {

bool CompanionDocking(const TToolSlots& slots) {
    for (const TToolSlot& s : slots)
        if (s.Params & ToolLinked) return true;
    return false;
}

std::string ReceivedHint(const std::string& path) { return "Received " + FileNameOnly(path); }

std::string CompanionFileProblem(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (ec || !fs::exists(st)) return "Sonelo sent a file that does not exist: " + path;
    if (!fs::is_regular_file(st)) return "Sonelo sent a name that is not a file: " + path;
    if (!HasWavExtension(path)) return "Sonelo sent a file that is not a WAV file: " + path;
    return {};
}

}  // namespace tx
