#pragma once

// One of every skinned control on a wallpaper panel, with the default style's
// bitmaps when they are there (else plain test strips), for screenshots,
// scale checks and the paint benchmark.
#include <QMenu>
#include <QString>
#include <map>
#include <memory>
#include <vector>

#include "controls/Controls.h"

namespace tx::test {

struct TControlGallery {
    std::map<QString, std::unique_ptr<TImageStrip>> Strips;
    std::unique_ptr<TWPControl> Panel;
    std::vector<std::unique_ptr<QMenu>> Menus;
    std::vector<int16_t> ScopeData;
    // The controls drawn only from bitmaps, whose 2x picture is exactly twice the 1x one.
    std::vector<QWidget*> BitmapOnly;
    bool FromStyle = false;  // the default style's files were found
};

// `styleFolder` holds the default style's bitmaps; missing files get test strips.
std::unique_ptr<TControlGallery> MakeControlGallery(const QString& styleFolder);
// The default style's folder in the build tree (or $TROVAMIX_GALLERY_STYLE).
QString GalleryStyleFolder();
// The panel painted at a whole scale into an image of its size x scale.
QImage PaintGallery(QWidget& panel, int scale);

}  // namespace tx::test
