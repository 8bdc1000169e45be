#include "window/StyleImages.h"

#include "model/TextCase.h"

namespace tx {

// Style file names match without regard to case, the same on every locale.
std::string TStyleImages::Key(const std::string& file) { return UpperCase(file); }

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
