#pragma once

#include <QPointer>

#include "controls/ImageStrip.h"
#include "controls/SkinWidget.h"

namespace tx {

// The pattern pad: a 3 x 3 keypad (7 8 9 / 4 5 6 / 1 2 3) drawn as one frame
// per highlighted key; frame 0 shows none.
class TNumpad : public TSkinWidget {
    Q_OBJECT
public:
    explicit TNumpad(QWidget* parent = nullptr);

    TImageStrip* ImList() const { return imList_; }
    void SetImList(TImageStrip* strip);
    int Value() const { return value_; }
    void SetValue(int value);
    static int KeyAt(int x, int y, int width, int height);
    QAccessible::Role AccessibleRole() const override { return QAccessible::Grouping; }

signals:
    void Clicked(int value);

protected:
    void PaintSkin(QPainter& painter) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QPointer<TImageStrip> imList_;
    int value_ = 0;
};

}  // namespace tx
