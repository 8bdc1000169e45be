#pragma once

#include <QPointer>

#include "controls/ImageStrip.h"
#include "controls/SkinWidget.h"

namespace tx {

// The stereo level meter: the left bar over the right one, lit in steps of 3 pixels.
class TWAVVolumeter : public TSkinWidget {
    Q_OBJECT
public:
    static constexpr int FullScale = 32767;

    explicit TWAVVolumeter(QWidget* parent = nullptr);

    TImageStrip* ImList() const { return imList_; }
    void SetImList(TImageStrip* strip);
    int LeftLevel() const { return left_; }
    int RightLevel() const { return right_; }
    void SetLevels(int left, int right);

    // Lit pixels of a bar `frameWidth` wide for `level`.
    static int LitWidth(int level, int frameWidth);
    QAccessible::Role AccessibleRole() const override { return QAccessible::Indicator; }

protected:
    void PaintSkin(QPainter& painter) override;

private:
    QPointer<TImageStrip> imList_;
    int left_ = 0, right_ = 0;
};

}  // namespace tx
