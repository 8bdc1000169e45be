// The gallery of every control: screenshots at 1x and 2x into the build
// folder, and the whole-number scaling checked on every bitmap control.
#include <gtest/gtest.h>

#include <QDir>

#include "ControlGallery.h"

namespace tx::test {
namespace {

TEST(Gallery, TwiceTheScaleIsExactlyTwiceThePictureForEveryBitmap) {
    auto gallery = MakeControlGallery(GalleryStyleFolder());
    QWidget& panel = *gallery->Panel;
    const QImage one = PaintGallery(panel, 1).convertToFormat(QImage::Format_RGB32);
    const QImage two = PaintGallery(panel, 2).convertToFormat(QImage::Format_RGB32);
    ASSERT_TRUE(one.save(QDir(TROVAMIX_BINARY_DIR).filePath("gallery-1x.png")));
    ASSERT_TRUE(two.save(QDir(TROVAMIX_BINARY_DIR).filePath("gallery-2x.png")));
    ASSERT_EQ(two.size(), one.size() * 2);
    ASSERT_GT(gallery->BitmapOnly.size(), 20u);
    for (QWidget* w : gallery->BitmapOnly) {
        const QRect r(w->mapTo(&panel, QPoint(0, 0)), w->size());
        int wrong = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                for (int d = 0; d < 4; ++d) wrong += two.pixel(2 * x + d % 2, 2 * y + d / 2) != one.pixel(x, y);
        EXPECT_EQ(wrong, 0) << w->metaObject()->className() << " at " << r.x() << "," << r.y();
    }
}

TEST(Gallery, AFractionalRatioDrawsAtTheNearestWholeFactor) {
    EXPECT_EQ(TSkinWidget::WholeScale(1.0), 1);
    EXPECT_EQ(TSkinWidget::WholeScale(1.25), 1);
    EXPECT_EQ(TSkinWidget::WholeScale(1.5), 2);
    EXPECT_EQ(TSkinWidget::WholeScale(2.0), 2);
    EXPECT_EQ(TSkinWidget::WholeScale(0.5), 1);
}

}  // namespace
}  // namespace tx::test
