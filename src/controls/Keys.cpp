#include "controls/Keys.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace tx {

namespace {

// Per white-key degree (C D E F G A B): whether a black key follows it, how
// far its black key is moved from the boundary, and the semitone.
constexpr bool kHasBlack[7] = {true, true, false, true, true, true, false};
constexpr int kBlackOffset[7] = {-1, 1, 0, -1, 0, 1, 0};
constexpr int Semitone(int degree) { return degree * 2 - (degree >= 3 ? 1 : 0); }

const QColor kPressed(192, 192, 192);  // silver
const QColor kMiddle(230, 150, 40);
const char* const kNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

}  // namespace

TKeys::TKeys(QWidget* parent) : TSkinWidget(parent) {
    setObjectName("Keys");
    resize(200, 50);
    setFocusPolicy(Qt::StrongFocus);
}

void TKeys::SetOrientation(TOrientation o) {
    orientation_ = o;
    update();
}
void TKeys::SetNoteWidth(int w) {
    noteWidth_ = std::max(2, w);
    update();
}
void TKeys::SetBaseOctave(int octave) {
    baseOctave_ = octave;
    update();
}
void TKeys::SetBlackBrush(const QBrush& b) {
    blackBrush_ = b;
    update();
}
void TKeys::SetWhiteBrush(const QBrush& b) {
    whiteBrush_ = b;
    update();
}
void TKeys::SetPen(const QPen& p) {
    pen_ = p;
    update();
}
void TKeys::SetMiddleNote(int key) {
    middleNote_ = key;
    update();
}

int TKeys::BlackWidth() const {
    const int w = noteWidth_ * 3 / 5;
    return w % 2 == 0 ? w + 1 : w;  // odd, so it centres on a boundary
}

int TKeys::BlackLength() const { return ToAlong({0, 0}).Length * 3 / 5; }

TKeys::TAlong TKeys::ToAlong(QPoint p) const {
    // The vertical keyboard runs from the bottom upward, black keys on the left.
    if (orientation_ == kbVertical) return {height() - 1 - p.y(), p.x(), width()};
    return {p.x(), p.y(), height()};
}

QRect TKeys::FromAlong(int along, int width, int across, int length) const {
    if (orientation_ == kbVertical) return {across, height() - along - width, length, width};
    return {along, across, width, length};
}

int TKeys::KeyAt(QPoint p, int* velocity) const {
    const TAlong a = ToAlong(p);
    if (a.Along < 0 || a.Across < 0 || a.Across >= a.Length) return -1;
    const int white = a.Along / noteWidth_;
    int key = -1, keyLength = a.Length;
    const int half = BlackWidth() / 2;
    if (a.Across < BlackLength()) {
        // The black key after this white key, or the one after the white key before.
        for (int w : {white, white - 1}) {
            if (w < 0 || !kHasBlack[w % 7]) continue;
            const int centre = (w + 1) * noteWidth_ + kBlackOffset[w % 7];
            if (std::abs(a.Along - centre) <= half) {
                key = (w / 7 + baseOctave_) * 12 + Semitone(w % 7) + 1;
                keyLength = BlackLength();
                break;
            }
        }
    }
    if (key < 0) key = (white / 7 + baseOctave_) * 12 + Semitone(white % 7);
    if (velocity) *velocity = velocityMode_ ? std::min(127, a.Across * 127 / std::max(1, keyLength)) : 127;
    return key;
}

QRect TKeys::KeyRect(int key) const {
    const int octave = key / 12 - baseOctave_, semitone = key % 12;
    const int length = ToAlong({0, 0}).Length;
    const bool black = semitone == 1 || semitone == 3 || semitone == 6 || semitone == 8 || semitone == 10;
    const int degree = (semitone + (semitone >= 5 ? 1 : 0)) / 2;  // the white key at or below
    const int white = octave * 7 + degree;
    if (!black) return FromAlong(white * noteWidth_, noteWidth_, 0, length);
    const int centre = (white + 1) * noteWidth_ + kBlackOffset[degree];
    return FromAlong(centre - BlackWidth() / 2, BlackWidth(), 0, BlackLength());
}

QString TKeys::AccessibleName() const {
    const QString own = TSkinWidget::AccessibleName();
    const QString base = own.isEmpty() ? QStringLiteral("Keyboard") : own;
    return QStringLiteral("%1, key %2%3").arg(base, kNames[focusKey_ % 12]).arg(focusKey_ / 12);
}

void TKeys::PaintSkin(QPainter& painter) {
    const int length = ToAlong({0, 0}).Length;
    const int along = orientation_ == kbVertical ? height() : width();
    const int whites = (along + noteWidth_ - 1) / noteWidth_;
    painter.setPen(pen_);
    auto fill = [&](int key, const QBrush& normal) {
        if (KeyShownDown(key)) return QBrush(kPressed);
        if (key == middleNote_) return QBrush(kMiddle);
        return normal;
    };
    for (int w = 0; w < whites; ++w) {
        const int key = (w / 7 + baseOctave_) * 12 + Semitone(w % 7);
        const QRect r = FromAlong(w * noteWidth_, noteWidth_, 0, length);
        painter.fillRect(r, fill(key, whiteBrush_));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
    }
    for (int w = 0; w < whites; ++w) {
        if (!kHasBlack[w % 7]) continue;
        const int key = (w / 7 + baseOctave_) * 12 + Semitone(w % 7) + 1;
        const QRect r = KeyRect(key);
        painter.fillRect(r, fill(key, blackBrush_));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
    }
    if (hasFocus()) {
        painter.setPen(QPen(kMiddle, 1, Qt::DotLine));
        painter.drawRect(KeyRect(focusKey_).adjusted(1, 1, -2, -2));
    }
}

void TKeys::UpdateKey(int key) {
    // A white key's neighbours overlap it: repaint the octave's span around it.
    update(KeyRect(key).adjusted(-noteWidth_, -noteWidth_, noteWidth_, noteWidth_));
}

void TKeys::PressKey(int key, int velocity) {
    if (key < 0 || key > 127) return;
    current_ = key;
    down_[size_t(key)] = true;
    UpdateKey(key);
    emit NoteOn(key, velocity);
}

void TKeys::ReleaseCurrent() {
    if (current_ < 0) return;
    const int key = current_;
    current_ = -1;
    down_[size_t(key)] = false;
    UpdateKey(key);
    emit NoteOff(key, 0);
}

void TKeys::mousePressEvent(QMouseEvent* event) {
    button_ = event->button();
    ReleaseCurrent();  // a second button while one is held
    int velocity = 0;
    const int key = KeyAt(event->position().toPoint(), &velocity);
    PressKey(key, velocity);
}

void TKeys::mouseMoveEvent(QMouseEvent* event) {
    // Only a drag that began with the left button glides to other keys.
    if (!(event->buttons() & Qt::LeftButton) || button_ != Qt::LeftButton) return;
    const QPoint p = event->position().toPoint();
    if (!rect().contains(p)) return;
    int velocity = 0;
    const int key = KeyAt(p, &velocity);
    if (key == current_) return;
    ReleaseCurrent();
    PressKey(key, velocity);
}

void TKeys::mouseReleaseEvent(QMouseEvent*) {
    button_ = Qt::NoButton;
    ReleaseCurrent();
}

void TKeys::keyPressEvent(QKeyEvent* event) {
    const bool vertical = orientation_ == kbVertical;
    int step = 0;
    switch (event->key()) {
        case Qt::Key_Left:
            step = vertical ? 0 : -1;
            break;
        case Qt::Key_Right:
            step = vertical ? 0 : 1;
            break;
        case Qt::Key_Down:
            step = vertical ? -1 : 0;
            break;
        case Qt::Key_Up:
            step = vertical ? 1 : 0;
            break;
        case Qt::Key_Space:
            if (!event->isAutoRepeat()) PressKey(focusKey_, 100);
            return;
        default:
            TSkinWidget::keyPressEvent(event);
            return;
    }
    if (step == 0) {
        TSkinWidget::keyPressEvent(event);
        return;
    }
    UpdateKey(focusKey_);
    focusKey_ = std::clamp(focusKey_ + step, 0, 127);
    UpdateKey(focusKey_);
    if (QAccessible::isActive()) {
        QAccessibleEvent e(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&e);
    }
}

void TKeys::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat())
        ReleaseCurrent();
    else
        TSkinWidget::keyReleaseEvent(event);
}

}  // namespace tx
