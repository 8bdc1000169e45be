#include "controls/ZavoUpDown.h"

#include <QMouseEvent>
#include <QPainter>

#include "controls/BuiltinImages.h"

namespace tx {

namespace {
const QColor kFace(160, 160, 160), kLight(224, 224, 224), kShadow(112, 112, 112);

// A bevelled box; pressed boxes are sunken (the light and dark edges swap).
void Bevel(QPainter& p, const QRect& r, bool sunken) {
    if (r.width() < 2 || r.height() < 2) return;
    p.fillRect(r, kFace);
    const QColor topLeft = sunken ? kShadow : kLight, bottomRight = sunken ? kLight : kShadow;
    p.setPen(topLeft);
    p.drawLine(r.left(), r.top(), r.right() - 1, r.top());
    p.drawLine(r.left(), r.top(), r.left(), r.bottom() - 1);
    p.setPen(bottomRight);
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    p.drawLine(r.right(), r.top(), r.right(), r.bottom());
    if (!sunken) {
        p.setPen(Qt::white);
        p.drawPoint(r.topLeft());
    }
}

const TImageStrip& Arrows() {
    static TImageStrip* strip = [] {
        auto* s = new TImageStrip;
        s->LoadImage(BuiltinImage("ZavoUpDown"), 2, false);
        return s;
    }();
    return *strip;
}
}  // namespace

TZavoUpDown::TZavoUpDown(QWidget* parent)
    : TValueControl(parent), repeat_(new THoldRepeat(this, [this] { Repeat(); })) {
    SetRange(0, 1000);
    SetMoveSpeed(16);
    resize(16, 26);
    setMouseTracking(true);  // the grip's cursor shows without a button held
}

void TZavoUpDown::SetImList(TImageStrip* strip) {
    BindStrip(imList_, strip, [this] { update(); });
}

TZavoUpDown::Zone TZavoUpDown::ZoneAt(int y) const {
    const int top = ZoneTop();
    if (y < top) return Zone::Up;
    if (y <= top + GripHeight) return Zone::Grip;
    return Zone::Down;
}

bool TZavoUpDown::Repeating() const { return repeat_->Active(); }

void TZavoUpDown::PaintSkin(QPainter& p) {
    const int top = ZoneTop();
    const QRect bands[3] = {QRect(0, 0, width(), top), QRect(0, top, width(), GripHeight + 1),
                            QRect(0, top + GripHeight + 1, width(), height() - top - GripHeight - 1)};
    const Zone zones[3] = {Zone::Up, Zone::Grip, Zone::Down};
    if (imList_ && !imList_->IsEmpty()) {
        for (int i = 0; i < 3; ++i) {
            p.save();
            p.setClipRect(bands[i]);
            imList_->Draw(p, 0, 0, pressed_ == zones[i] ? 1 : 0);
            p.restore();
        }
        return;
    }
    const TImageStrip& arrows = Arrows();
    for (int i = 0; i < 3; ++i) {
        const bool sunken = pressed_ == zones[i];
        Bevel(p, bands[i], sunken);
        const QRect& r = bands[i];
        const int shift = sunken ? 1 : 0;
        if (zones[i] == Zone::Grip) {
            p.setPen(kShadow);
            for (int y = r.top() + 2; y < r.bottom() - 1; y += 2)
                p.drawLine(r.left() + 3 + shift, y + shift, r.right() - 3 + shift, y + shift);
        } else if (!arrows.IsEmpty()) {
            const int x = r.left() + (r.width() - arrows.FrameWidth()) / 2 + shift;
            const int y = r.top() + (r.height() - arrows.FrameHeight()) / 2 + shift;
            arrows.Draw(p, x, y, zones[i] == Zone::Up ? 0 : 1);
        }
    }
}

void TZavoUpDown::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    setFocus(Qt::MouseFocusReason);
    pressed_ = ZoneAt(int(event->position().y()));
    if (pressed_ == Zone::Grip) {
        BeginDrag(int(event->position().y()), MoveSpeed());
    } else {
        SetValue(Value() + (pressed_ == Zone::Up ? 1 : -1), true);
        repeat_->Start();
    }
    update();
}

void TZavoUpDown::Repeat() {
    if (pressed_ == Zone::Up || pressed_ == Zone::Down) SetValue(Value() + (pressed_ == Zone::Up ? 1 : -1), true);
}

void TZavoUpDown::mouseMoveEvent(QMouseEvent* event) {
    const int y = int(event->position().y());
    if ((event->buttons() & Qt::LeftButton) && Dragging()) {
        SetValue(DragValue(y), true);
        return;
    }
    if (event->buttons() == Qt::NoButton) setCursor(ZoneAt(y) == Zone::Grip ? Qt::SplitVCursor : Qt::ArrowCursor);
}

void TZavoUpDown::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    repeat_->Stop();
    EndDrag();
    pressed_ = Zone::None;
    update();
    emit Released();
}

}  // namespace tx
