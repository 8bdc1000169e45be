#include "controls/TrackSlider.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "controls/BuiltinImages.h"

namespace tx {

namespace {
const TImageStrip& BuiltinKnob(Qt::Orientation o) {
    static TImageStrip* vertical = nullptr;
    static TImageStrip* horizontal = nullptr;
    TImageStrip*& strip = o == Qt::Vertical ? vertical : horizontal;
    if (!strip) {
        strip = new TImageStrip;
        strip->LoadImage(BuiltinImage(o == Qt::Vertical ? "SKnob" : "SKnobH"), 2);
    }
    return *strip;
}
}  // namespace

TSliderKnob::TSliderKnob(TTrackSlider* slider) : TSkinWidget(slider), slider_(slider) { setFocusPolicy(Qt::NoFocus); }

int TSliderKnob::FrameShown() const {
    const int frames = slider_->KnobStrip().Count();
    if (!slider_->isEnabled()) return 1;
    return slider_->KnobPressed() && frames >= 3 ? 2 : 0;
}

void TSliderKnob::PaintSkin(QPainter& p) { slider_->KnobStrip().Draw(p, 0, 0, FrameShown()); }

void TSliderKnob::mousePressEvent(QMouseEvent* e) { slider_->KnobPress(e); }
void TSliderKnob::mouseMoveEvent(QMouseEvent* e) { slider_->KnobMove(e); }
void TSliderKnob::mouseReleaseEvent(QMouseEvent* e) { slider_->KnobRelease(e); }

TTrackSlider::TTrackSlider(QWidget* parent, Qt::Orientation orientation)
    : TValueControl(parent),
      orientation_(orientation),
      knob_(new TSliderKnob(this)),
      repeat_(new THoldRepeat(this, [this] { PageTowards(); })) {
    SetRange(0, 10);
    SetPageSize(2);
    resize(orientation == Qt::Vertical ? QSize(45, 150) : QSize(150, 45));
    PlaceKnob();
}

void TTrackSlider::SetOrientation(Qt::Orientation o) {
    orientation_ = o;
    PlaceKnob();
}

void TTrackSlider::SetSideGap(int gap) {
    sideGap_ = gap;
    PlaceKnob();
}

void TTrackSlider::SetFocusOnClick(bool on) {
    focusOnClick_ = on;
    SetCanGetFocus(canGetFocus_);
}

void TTrackSlider::SetCanGetFocus(bool on) {
    canGetFocus_ = on;
    setFocusPolicy(!on ? Qt::NoFocus : focusOnClick_ ? Qt::StrongFocus : Qt::TabFocus);
}

void TTrackSlider::SetKnobIL(TImageStrip* strip) {
    BindStrip(knobIL_, strip, [this] { PlaceKnob(); });
}

const TImageStrip& TTrackSlider::KnobStrip() const {
    return knobIL_ && !knobIL_->IsEmpty() ? *knobIL_ : BuiltinKnob(orientation_);
}

void TTrackSlider::SetBackIL(const QPixmap& picture) {
    back_ = picture;
    update();
}

int TTrackSlider::KnobSize() const {
    const TImageStrip& s = KnobStrip();
    return orientation_ == Qt::Vertical ? s.FrameHeight() : s.FrameWidth();
}

int TTrackSlider::TrackLength() const {
    const int length = orientation_ == Qt::Vertical ? height() : width();
    return length - 2 * sideGap_ - KnobSize();
}

int TTrackSlider::TrackStart() const { return sideGap_ + KnobSize() / 2; }

int TTrackSlider::KnobOffset() const {
    // An empty range or a track with no room leaves the knob at the start
    // rather than dividing by zero.
    const int range = Max() - Min();
    const int64_t along = range > 0 ? int64_t(Position() - Min()) * TrackLength() / range : 0;
    return TrackStart() - KnobSize() / 2 + int(along);
}

int TTrackSlider::PositionForKnobEdge(int edge) const {
    const int length = TrackLength();
    if (length <= 0) return Min();
    const int64_t v = Min() + int64_t(edge - TrackStart() + KnobSize() / 2 + 1) * (Max() - Min()) / length;
    return int(std::clamp<int64_t>(v, Min(), Max()));
}

std::vector<std::pair<int, bool>> TTrackSlider::Ticks() const {
    std::vector<std::pair<int, bool>> ticks;
    if (frequency_ <= 0 || Max() <= Min()) return ticks;
    const int n = (Max() - Min() - 1) / frequency_ + 1;
    const int bigEvery = (n - 1) / (bigTicks_ + 1) + 1;
    for (int i = 0; i <= n; ++i)
        ticks.emplace_back(TrackStart() + int(int64_t(TrackLength()) * i / n), i % bigEvery == 0 || i == n);
    return ticks;
}

void TTrackSlider::PlaceKnob() {
    const TImageStrip& s = KnobStrip();
    knob_->resize(s.FrameSize());
    const int offset = KnobOffset();
    if (orientation_ == Qt::Vertical)
        knob_->move((width() - s.FrameWidth()) / 2, offset);
    else
        knob_->move(offset, (height() - s.FrameHeight()) / 2);
    knob_->update();
    update();
}

void TTrackSlider::ValueChanged() { PlaceKnob(); }

void TTrackSlider::resizeEvent(QResizeEvent*) { PlaceKnob(); }

void TTrackSlider::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) knob_->update();
    TValueControl::changeEvent(event);
}

void TTrackSlider::PaintSkin(QPainter& p) {
    if (!back_.isNull()) {
        p.drawPixmap(0, 0, back_);
        return;
    }
    const bool vertical = orientation_ == Qt::Vertical;
    p.fillRect(rect(), parentWidget() ? parentWidget()->palette().window() : palette().window());
    const int cross = vertical ? width() : height();
    // Ticks on one side only take that side's margin: the groove moves towards them.
    int centre = cross / 2;
    if (tickMarks_ == TickMark::TopLeft) centre -= 7;
    if (tickMarks_ == TickMark::BottomRight) centre += 7;
    auto line = [&](int along0, int cross0, int along1, int cross1) {
        if (vertical)
            p.drawLine(cross0, along0, cross1, along1);
        else
            p.drawLine(along0, cross0, along1, cross1);
    };
    // Sunken groove, 4 pixels across.
    const int g0 = TrackStart() - 3, g1 = TrackStart() + TrackLength() + 3, c0 = centre - 2, c1 = centre + 1;
    p.setPen(QColor(128, 128, 128));
    line(g0, c0, g1, c0);
    line(g0, c0, g0, c1);
    p.setPen(Qt::white);
    line(g0, c1, g1, c1);
    line(g1, c0, g1, c1);
    p.setPen(QColor(64, 64, 64));
    line(g0 + 1, c0 + 1, g1 - 1, c0 + 1);
    p.setPen(palette().windowText().color());
    for (auto [at, big] : Ticks()) {
        const int len = big ? 7 : 4;
        if (tickMarks_ != TickMark::BottomRight) line(at, centre - 9, at, centre - 9 - len + 1);
        if (tickMarks_ != TickMark::TopLeft) line(at, centre + 8, at, centre + 8 + len - 1);
    }
}

int TTrackSlider::Along(const QPointF& p) const { return orientation_ == Qt::Vertical ? int(p.y()) : int(p.x()); }

void TTrackSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (focusOnClick_ && canGetFocus_) setFocus(Qt::MouseFocusReason);
    pageTarget_ = Along(event->position());
    PageTowards();
    repeat_->Start();
}

void TTrackSlider::PageTowards() {
    const int range = Max() - Min();
    const int knobCentre = KnobOffset() + KnobSize() / 2;
    const int pagePixels = range > 0 ? int(int64_t(PageSize()) * TrackLength() / range) : 0;
    const int distance = pageTarget_ - knobCentre;
    if (std::abs(distance) > pagePixels)
        SetValue(Position() + (distance > 0 ? PageSize() : -PageSize()), true);
    else
        SetValue(PositionForKnobEdge(pageTarget_ - KnobSize() / 2), true);
}

void TTrackSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    repeat_->Stop();
    emit Released();
}

void TTrackSlider::KnobPress(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (focusOnClick_ && canGetFocus_) setFocus(Qt::MouseFocusReason);
    knobPressed_ = true;
    grabOffset_ = Along(event->position());
    knob_->setCursor(Qt::BlankCursor);
    knob_->update();
}

void TTrackSlider::KnobMove(QMouseEvent* event) {
    if (!knobPressed_) return;
    const int pointer = Along(knob_->mapToParent(event->position())) - grabOffset_;
    SetValue(PositionForKnobEdge(pointer), false);
    emit Changed(Position());  // on every move of a drag, changed or not
}

void TTrackSlider::KnobRelease(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !knobPressed_) return;
    knobPressed_ = false;
    knob_->unsetCursor();
    knob_->update();
    emit Released();
}

}  // namespace tx
