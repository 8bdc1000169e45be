#pragma once

#include <QBrush>
#include <QPen>
#include <bitset>

#include "controls/SkinWidget.h"

namespace tx {

// The on-screen piano keyboard: a press on a key fires NoteOn with a velocity
// from how far down the key it was pressed, dragging with the left button
// glides from key to key, the release fires NoteOff. The key `MiddleNote`
// is drawn marked. Focused, it takes the keyboard too: the arrows move a
// focus key, Space plays it. Window thread only.
class TKeys : public TSkinWidget {
    Q_OBJECT
public:
    enum TOrientation { kbHorizontal, kbVertical };

    explicit TKeys(QWidget* parent = nullptr);

    TOrientation Orientation() const { return orientation_; }
    void SetOrientation(TOrientation o);
    int NoteWidth() const { return noteWidth_; }
    void SetNoteWidth(int w);
    int BaseOctave() const { return baseOctave_; }
    void SetBaseOctave(int octave);
    QBrush BlackBrush() const { return blackBrush_; }
    void SetBlackBrush(const QBrush& b);
    QBrush WhiteBrush() const { return whiteBrush_; }
    void SetWhiteBrush(const QBrush& b);
    QPen Pen() const { return pen_; }
    void SetPen(const QPen& p);
    bool VelocityMode() const { return velocityMode_; }
    void SetVelocityMode(bool on) { velocityMode_ = on; }
    int MiddleNote() const { return middleNote_; }
    void SetMiddleNote(int key);

    // The key under a point (widget coordinates); may lie outside 0..127,
    // -1 off the keys. `velocity` receives the press's velocity.
    int KeyAt(QPoint p, int* velocity = nullptr) const;
    bool KeyShownDown(int key) const { return key >= 0 && key < 128 && down_[size_t(key)]; }
    int CurrentKey() const { return current_; }
    int FocusKey() const { return focusKey_; }
    // Where a key lies (widget coordinates), for tests and the screen reader.
    QRect KeyRect(int key) const;

    QAccessible::Role AccessibleRole() const override { return QAccessible::Grouping; }
    QString AccessibleName() const override;

signals:
    void NoteOn(int note, int velocity);
    void NoteOff(int note, int velocity);

protected:
    void PaintSkin(QPainter& painter) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    struct TAlong {
        int Along, Across, Length;
    };
    TAlong ToAlong(QPoint p) const;
    QRect FromAlong(int along, int width, int across, int length) const;
    int BlackWidth() const;
    int BlackLength() const;
    void PressKey(int key, int velocity);
    void ReleaseCurrent();
    void UpdateKey(int key);

    TOrientation orientation_ = kbHorizontal;
    int noteWidth_ = 10, baseOctave_ = 3, middleNote_ = 48;
    QBrush blackBrush_{Qt::black}, whiteBrush_{Qt::white};
    QPen pen_{Qt::black};
    bool velocityMode_ = true;
    std::bitset<128> down_;
    int current_ = -1;
    Qt::MouseButton button_ = Qt::NoButton;
    int focusKey_ = 60;
};

}  // namespace tx
