#include "model/Settings.h"

#include <filesystem>

namespace tx {

TAppPaths TAppPaths::ForExecutable() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    TAppPaths p;
    p.ProgramFolder = ec ? std::string("./") : exe.parent_path().string() + "/";
    return p;
}

}  // namespace tx
