#include "desktop/CollectSamples.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <set>

#include "model/Loop.h"

namespace tx {

namespace {

std::string fileNameOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

struct TFd {
    int fd = -1;
    ~TFd() {
        if (fd >= 0) ::close(fd);
    }
};

bool readAll(int fd, char* buf, size_t size) {
    size_t got = 0;
    while (got < size) {
        ssize_t n = ::read(fd, buf + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += size_t(n);
    }
    return true;
}

// True when both files hold the same bytes.
bool sameContent(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    if (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino) return true;
    if (sa.st_size != sb.st_size) return false;
    TFd fa{::open(a.c_str(), O_RDONLY | O_CLOEXEC)}, fb{::open(b.c_str(), O_RDONLY | O_CLOEXEC)};
    if (fa.fd < 0 || fb.fd < 0) return false;
    constexpr size_t Block = 1 << 16;
    std::string ba(Block, '\0'), bb(Block, '\0');
    for (off_t left = sa.st_size; left > 0;) {
        const size_t n = size_t(std::min<off_t>(left, off_t(Block)));
        if (!readAll(fa.fd, ba.data(), n) || !readAll(fb.fd, bb.data(), n)) return false;
        if (std::memcmp(ba.data(), bb.data(), n) != 0) return false;
        left -= off_t(n);
    }
    return true;
}

// Copies source to target through a temporary file in the target's folder;
// the temporary is linked to the target, which fails (EEXIST) rather than
// replace a file. Empty on success, else the reason.
std::string copyNoOverwrite(const std::string& source, const std::string& target, bool& existed) {
    existed = false;
    TFd in{::open(source.c_str(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0) return std::string("cannot read it: ") + std::strerror(errno);
    std::string temp = target + ".XXXXXX";
    TFd out{::mkstemp(temp.data())};
    if (out.fd < 0) return std::string("cannot write in the folder: ") + std::strerror(errno);
    std::string why;
    std::string buf(1 << 16, '\0');
    for (;;) {
        ssize_t n = ::read(in.fd, buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            why = std::string("cannot read it: ") + std::strerror(errno);
            break;
        }
        if (n == 0) break;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out.fd, buf.data() + done, size_t(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) {
                why = std::string("cannot write the copy: ") + std::strerror(errno);
                break;
            }
            done += w;
        }
        if (!why.empty()) break;
    }
    if (why.empty() && ::fsync(out.fd) != 0) why = std::string("cannot write the copy: ") + std::strerror(errno);
    if (why.empty()) {
        ::fchmod(out.fd, 0644);
        if (::link(temp.c_str(), target.c_str()) != 0) {
            if (errno == EEXIST)
                existed = true;
            else
                why = std::string("cannot write the copy: ") + std::strerror(errno);
        }
    }
    ::unlink(temp.c_str());
    return why;
}

const char* reasonText(TCollectOutcome o) {
    switch (o) {
        case TCollectOutcome::NotFound:
            return "not found";
        case TCollectOutcome::NameTaken:
            return "a different file of the same name is already in the folder";
        default:
            return "";
    }
}

}  // namespace

bool AnyChannelNamesSample(const TLoop& loop) {
    for (int i = 0; i < loop.ChannelCount(); ++i)
        if (!loop.Channel(i).SampleFileName.empty()) return true;
    return false;
}

std::vector<std::string> DistinctSampleNames(const TLoop& loop) {
    std::vector<std::string> names;
    std::set<std::string> seen;
    for (int i = 0; i < loop.ChannelCount(); ++i) {
        const std::string& n = loop.Channel(i).SampleFileName;
        if (!n.empty() && seen.insert(n).second) names.push_back(n);
    }
    return names;
}

std::string CollectPromptText(int count) { return "Copy the " + std::to_string(count) + " samples you used to..."; }

int TCollectReport::Count(TCollectOutcome outcome) const {
    int n = 0;
    for (const auto& item : Items) n += item.Outcome == outcome;
    return n;
}

std::string TCollectReport::Text() const {
    const int copied = Count(TCollectOutcome::Copied);
    const int there = Count(TCollectOutcome::AlreadyThere);
    std::string text = copied == 1 ? "1 sample was copied." : std::to_string(copied) + " samples were copied.";
    if (there > 0)
        text +=
            there == 1 ? " 1 was already in the folder." : " " + std::to_string(there) + " were already in the folder.";
    bool header = false;
    for (const auto& item : Items) {
        const bool failed = item.Outcome == TCollectOutcome::NotFound || item.Outcome == TCollectOutcome::NameTaken ||
                            item.Outcome == TCollectOutcome::CopyFailed;
        if (!failed) continue;
        if (!header) {
            text += "\n\nNot copied:";
            header = true;
        }
        const std::string& name = item.Source.empty() ? item.StoredName : item.Source;
        text +=
            "\n" + name + ": " + (item.Outcome == TCollectOutcome::CopyFailed ? item.Why : reasonText(item.Outcome));
    }
    return text;
}

TCollectReport CollectSampleFiles(const std::vector<std::string>& storedNames, const TLocateContext& where,
                                  const std::string& folder) {
    TCollectReport report;
    // Two stored names may locate the same file (a relative and an absolute
    // spelling): it is read and copied once.
    std::map<std::string, TCollectOutcome> copiedFrom;
    for (const std::string& stored : storedNames) {
        TCollectItem item;
        item.StoredName = stored;
        item.Source = LocateSample(stored, where);
        if (item.Source.empty()) {
            item.Outcome = TCollectOutcome::NotFound;
        } else if (auto done = copiedFrom.find(item.Source); done != copiedFrom.end()) {
            continue;  // the same file under another stored spelling: one line in the report
        } else {
            const std::string target = joinPath(folder, fileNameOf(item.Source));
            struct stat st {};
            bool existed = ::lstat(target.c_str(), &st) == 0;
            if (!existed) {
                item.Why = copyNoOverwrite(item.Source, target, existed);
                item.Outcome = item.Why.empty() ? TCollectOutcome::Copied : TCollectOutcome::CopyFailed;
            }
            if (existed)  // there before, or appeared while copying
                item.Outcome =
                    sameContent(item.Source, target) ? TCollectOutcome::AlreadyThere : TCollectOutcome::NameTaken;
            copiedFrom.emplace(item.Source, item.Outcome);
        }
        report.Items.push_back(std::move(item));
    }
    return report;
}

}  // namespace tx
