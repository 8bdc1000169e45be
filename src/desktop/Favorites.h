#pragma once
#include <string>
#include <vector>

namespace tx {

// The favourite folders of the sample open dialog: most recently used
// first, at most MaxCount of them, no two naming the same folder when case
// is ignored, none with a trailing '/'. Plain data; window thread only.
class TFavoriteList {
public:
    explicit TFavoriteList(int maxCount = 10) : maxCount_(maxCount < 1 ? 1 : maxCount) {}

    int MaxCount() const { return maxCount_; }
    const std::vector<std::string>& Items() const { return items_; }
    int Count() const { return int(items_.size()); }

    // `path` without its trailing '/' (the root stays "/").
    static std::string Normalized(std::string path);
    // The entry naming `path`, ignoring case and a trailing '/'; -1 when none.
    int IndexOf(const std::string& path) const;
    // Takes out an entry naming the same folder, makes room by dropping the
    // last entries, then puts the folder first (a user's choice) or last
    // (reading a stored list). An empty path is ignored.
    void Add(const std::string& path, bool atFront);
    // Replaces the list with the first MaxCount entries of `list`, each
    // added last in turn (a folder named twice keeps its later place).
    void Set(const std::vector<std::string>& list);
    // Entry `index` becomes the first; false when there is no such entry.
    bool MoveToFront(int index);

private:
    int maxCount_;
    std::vector<std::string> items_;
};

}  // namespace tx
