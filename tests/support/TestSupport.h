#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace txtest {

// A fresh folder under the system temp dir, removed when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::vector<unsigned char> ReadFileBytes(const std::filesystem::path& p);
void WriteFileBytes(const std::filesystem::path& p, const std::vector<unsigned char>& bytes);

}  // namespace txtest
