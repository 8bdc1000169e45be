#pragma once

#include <QObject>
#include <QPixmap>
#include <map>
#include <string>

#include "controls/ImageStrip.h"

namespace tx {

// The image lists and pictures of the loaded style. They live as long as the
// main window; loading another style refills the same objects, so every
// control holding a strip simply repaints.
class TStyleImages : public QObject {
    Q_OBJECT
public:
    explicit TStyleImages(QObject* parent = nullptr) : QObject(parent) {}

    // The strip loaded from style file `file` ("digits.bmp"), created empty on first use.
    TImageStrip* Strip(const std::string& file);
    // A picture of the style ("MenuBack.bmp"); null when the style had none.
    QPixmap Picture(const std::string& file) const;
    void SetPicture(const std::string& file, const QPixmap& picture) { pictures_[Key(file)] = picture; }

private:
    static std::string Key(const std::string& file);
    std::map<std::string, TImageStrip*> strips_;
    std::map<std::string, QPixmap> pictures_;
};

}  // namespace tx
