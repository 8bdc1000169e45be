#include "model/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

namespace tx {
namespace {

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string ResolveLinks(const std::string& path) {
    std::string p = path;
    // The kernel's own limit on links in a path; a loop of links ends here and
    // then fails cleanly when the temporary file is created or renamed.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::vector<char> buf(size_t(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(p.c_str(), buf.data(), buf.size() - 1);
        if (n <= 0) break;
        std::string next(buf.data(), size_t(n));
        if (next[0] != '/') {
            const size_t slash = p.rfind('/');
            next = (slash == std::string::npos ? std::string() : p.substr(0, slash + 1)) + next;
        }
        p = next;
    }
    return p;
}

TSafeFile::~TSafeFile() { Discard(); }

bool TSafeFile::fail(const std::string& what, int err) {
    reason_ = err ? what + ": " + std::strerror(err) : what;
    return false;
}

bool TSafeFile::Open(const std::string& target) {
    Discard();
    target_ = target;
    reason_.clear();
    if (target.empty()) return fail("no file name", 0);
    resolved_ = ResolveLinks(target);
    struct stat st {};
    // Still a link after the hop limit: a loop of links, which must not be
    // replaced by a plain file.
    if (::lstat(resolved_.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return fail("cannot follow its links", ELOOP);
    keepMode_ = false;
    if (::stat(resolved_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return fail("is a folder", 0);
        if (S_ISREG(st.st_mode)) {
            keepMode_ = true;
            mode_ = st.st_mode & 07777;
            uid_ = st.st_uid;
            gid_ = st.st_gid;
        }
    }
    // A hidden name beside the target, so the rename stays in one file system.
    static std::atomic<uint32_t> serial{0};
    const std::string folder = folderOf(resolved_);
    int err = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = folder + "/." + nameOf(resolved_) + ".tmp-" + std::to_string(::getpid()) + "-" +
                std::to_string(serial.fetch_add(1));
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) return true;
        err = errno;
        if (err != EEXIST) break;
    }
    temp_.clear();
    return fail("cannot create a file in its folder", err);
}

bool TSafeFile::Write(const void* data, size_t size) { return writeFrom(data, size, -1); }

bool TSafeFile::WriteAt(const void* data, size_t size, int64_t offset) { return writeFrom(data, size, offset); }

// Appends when offset is negative, else patches from offset.
bool TSafeFile::writeFrom(const void* data, size_t size, int64_t offset) {
    if (fd_ < 0) return reason_.empty() ? fail("not open", 0) : false;
    auto p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t w = offset < 0 ? ::write(fd_, p, size) : ::pwrite(fd_, p, size, off_t(offset));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            const int err = w < 0 ? errno : ENOSPC;
            Discard();
            return fail("cannot write", err);
        }
        p += w;
        size -= size_t(w);
        if (offset >= 0) offset += w;
    }
    return true;
}

bool TSafeFile::Commit() {
    if (fd_ < 0) return reason_.empty() ? fail("not open", 0) : false;
    if (keepMode_) {
        // Owner first: fchown clears set-id bits, which fchmod then restores.
        // Only root may give a file away; others keep their own ownership.
        if (::fchown(fd_, uid_t(uid_), gid_t(gid_)) != 0) { /* not ours to change */
        }
        ::fchmod(fd_, mode_t(mode_));
    }
    if (::fsync(fd_) != 0) {
        const int err = errno;
        Discard();
        return fail("cannot write", err);
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        const int err = errno;
        Discard();
        return fail("cannot write", err);
    }
    if (::rename(temp_.c_str(), resolved_.c_str()) != 0) {
        const int err = errno;
        Discard();
        return fail("cannot replace the file", err);
    }
    temp_.clear();
    // Make the rename itself durable; the data is safe whatever this returns.
    const int dfd = ::open(folderOf(resolved_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

void TSafeFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

std::string WriteFileSafely(const std::string& path, std::string_view bytes) {
    TSafeFile f;
    if (!f.Open(path) || !f.Write(bytes) || !f.Commit()) return f.Message();
    return {};
}

}  // namespace tx
