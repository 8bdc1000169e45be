#include "desktop/Favorites.h"

#include "model/TextCase.h"

namespace tx {

std::string TFavoriteList::Normalized(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

int TFavoriteList::IndexOf(const std::string& path) const {
    const std::string p = Normalized(path);
    for (size_t i = 0; i < items_.size(); ++i)
        if (EqualNoCase(items_[i], p)) return int(i);
    return -1;
}

void TFavoriteList::Add(const std::string& path, bool atFront) {
    const std::string p = Normalized(path);
    if (p.empty()) return;
    if (const int i = IndexOf(p); i >= 0) items_.erase(items_.begin() + i);
    while (int(items_.size()) >= maxCount_) items_.pop_back();
    if (atFront)
        items_.insert(items_.begin(), p);
    else
        items_.push_back(p);
}

void TFavoriteList::Set(const std::vector<std::string>& list) {
    items_.clear();
    for (size_t i = 0; i < list.size() && int(i) < maxCount_; ++i) Add(list[i], false);
}

bool TFavoriteList::MoveToFront(int index) {
    if (index < 0 || index >= int(items_.size())) return false;
    std::string p = std::move(items_[size_t(index)]);
    items_.erase(items_.begin() + index);
    items_.insert(items_.begin(), std::move(p));
    return true;
}

}  // namespace tx
