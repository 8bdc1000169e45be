#include "window/StyleImages.h"

#include <algorithm>
#include <cctype>

namespace tx {

std::string TStyleImages::Key(const std::string& file) {
    std::string key = file;
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return key;
}

TImageStrip* TStyleImages::Strip(const std::string& file) {
    TImageStrip*& strip = strips_[Key(file)];
    if (!strip) strip = new TImageStrip(this);
    return strip;
}

QPixmap TStyleImages::Picture(const std::string& file) const {
    auto it = pictures_.find(Key(file));
    return it == pictures_.end() ? QPixmap() : it->second;
}

}  // namespace tx
