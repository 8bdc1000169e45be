#pragma once

#include <climits>
#include <optional>

#include "controls/SkinWidget.h"

namespace tx {

// Value, range, drag maths, keyboard steps and the accessible value of the
// knobs, sliders and spinners; subclasses only paint and map the mouse.
class TValueControl : public TSkinWidget {
    Q_OBJECT
public:
    static constexpr int IdleY = INT_MAX;  // StartY while no drag is in progress

    explicit TValueControl(QWidget* parent = nullptr);

    int Value() const { return value_; }
    int Min() const { return min_; }
    int Max() const { return max_; }
    // A reversed range is taken as given by its ends; the value is clamped into it.
    void SetRange(int min, int max);

    // Clamp `v` into Min..Max; when it differs, store, repaint and (with notify)
    // fire Changed. Returns whether the value changed.
    bool SetValue(int v, bool notify);

    int MoveSpeed() const { return moveSpeed_; }
    void SetMoveSpeed(int speed) { moveSpeed_ = speed; }
    int LineSize() const { return lineSize_; }
    void SetLineSize(int size) { lineSize_ = size; }
    int PageSize() const { return pageSize_; }
    void SetPageSize(int size) { pageSize_ = size; }

    // Vertical drag: moving up by one pixel adds speed / 16 (truncating toward zero).
    void BeginDrag(int y, int speed);
    bool Dragging() const { return startY_ != IdleY; }
    int StartY() const { return startY_; }
    int DragValue(int y) const;
    void EndDrag() { startY_ = IdleY; }

    // The value after `key`, or nothing for keys the control does not take.
    std::optional<int> KeyTarget(int key) const;

signals:
    void Changed(int value);  // OnChange
    void Released();          // OnRelease

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    // Knobs and spinners grow upwards and rightwards; sliders follow their
    // track, where Up/Left and Page Up go towards Min.
    virtual bool UpIncreases() const { return true; }
    virtual void ValueChanged() { update(); }

private:
    int value_ = 0, min_ = 0, max_ = 127;
    int moveSpeed_ = 32, lineSize_ = 1, pageSize_ = 10;
    int startY_ = IdleY, startValue_ = 0, curSpeed_ = 32;
};

}  // namespace tx
