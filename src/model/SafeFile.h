#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tx {

// Writes one file so that a failed save never destroys the old one: the data
// goes to a temporary file in the target's folder, which is synced and renamed
// over the target only when complete, and the folder is synced after the
// rename. A symbolic link is followed, so the link stays a link and the file
// it names is replaced. The replaced file's permissions (and, where allowed,
// owner) are kept; a new file gets 0666 less the umask. Any thread; one
// object per file being written.
class TSafeFile {
public:
    TSafeFile() = default;
    ~TSafeFile();  // discards the temporary file unless Commit succeeded
    TSafeFile(const TSafeFile&) = delete;
    TSafeFile& operator=(const TSafeFile&) = delete;

    bool Open(const std::string& target);
    bool Write(const void* data, size_t size);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    // Patches bytes already written (a header's sizes); does not move the end.
    bool WriteAt(const void* data, size_t size, int64_t offset);
    bool Commit();
    void Discard();

    // Why the last step failed ("cannot create a file in its folder: Permission denied").
    const std::string& Reason() const { return reason_; }
    // The file as named by the caller and the reason, for one line of a message.
    std::string Message() const { return target_ + ": " + reason_; }
    // The file actually replaced (the end of a chain of links).
    const std::string& ResolvedTarget() const { return resolved_; }

private:
    bool fail(const std::string& what, int err);
    bool writeFrom(const void* data, size_t size, int64_t offset);
    std::string target_, resolved_, temp_, reason_;
    int fd_ = -1;
    bool keepMode_ = false;
    uint32_t mode_ = 0, uid_ = 0, gid_ = 0;
};

// The whole file in one call. Returns an empty string on success, else the
// file and the reason in one line; the old file is then untouched.
std::string WriteFileSafely(const std::string& path, std::string_view bytes);

// Where a chain of symbolic links starting at `path` ends (the path itself
// when it is no link); a link to a missing file resolves to that file.
std::string ResolveLinks(const std::string& path);

}  // namespace tx
