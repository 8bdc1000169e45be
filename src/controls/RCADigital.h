#pragma once

#include <QPointer>
#include <vector>

#include "controls/ImageStrip.h"
#include "controls/SkinWidget.h"

namespace tx {

// The digit display: frame 0 blank, frames 1..10 the digits 0..9.
class TRCADigital : public TSkinWidget {
    Q_OBJECT
public:
    explicit TRCADigital(QWidget* parent = nullptr);

    TImageStrip* ImList() const { return imList_; }
    void SetImList(TImageStrip* strip);
    int Value() const { return value_; }
    void SetValue(int value);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on);
    int Gap() const { return gap_; }
    void SetGap(int gap);
    uint16_t FormatWidth() const { return formatWidth_; }
    void SetFormatWidth(uint16_t places);

    // The frames shown, left to right: leading places blank, the units place
    // "0" at least, digits beyond the places dropped.
    static std::vector<int> DigitFrames(int value, int places);
    QAccessible::Role AccessibleRole() const override { return QAccessible::StaticText; }

protected:
    void PaintSkin(QPainter& painter) override;

private:
    void Fit();

    QPointer<TImageStrip> imList_;
    int value_ = 0, gap_ = 0;
    bool autoSize_ = true;
    uint16_t formatWidth_ = 1;
};

}  // namespace tx
