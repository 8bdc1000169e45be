#include "window/Techno16.h"

#include <QAccessibleActionInterface>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <mutex>

#include "desktop/RowLayout.h"
#include "model/Loop.h"

namespace tx {

TTechno16::TTechno16(TLoop& loop, int channel, const TStepRowHost& host, QWidget* parent)
    : TSkinWidget(parent), loop_(loop), channel_(channel), host_(host) {
    InstallStepRowAccessibility();
    setObjectName("TechnoGrid");
    resize(16 * StepCellWidth, PlainRowHeight);
}

void TTechno16::SetStrips(TImageStrip* noteBtn, TImageStrip* posLed, TImageStrip* smallWheel) {
    for (TImageStrip* s : {noteBtn_, posLed_, smallWheel_})
        if (s) disconnect(s, nullptr, this, nullptr);
    noteBtn_ = noteBtn;
    posLed_ = posLed;
    smallWheel_ = smallWheel;
    for (TImageStrip* s : {noteBtn_, posLed_, smallWheel_})
        if (s) connect(s, &TImageStrip::Changed, this, qOverload<>(&QWidget::update));
    update();
}

QString TTechno16::ListName() const {
    return channel_ < loop_.ChannelCount() ? QString::fromStdString(loop_.ChannelListName(channel_)) : QString();
}

bool TTechno16::StepOn(int step) const {
    return channel_ < loop_.ChannelCount() && loop_.GetStep(channel_, loop_.CurrentPattern, step);
}

QRect TTechno16::ButtonRect(int step) const {
    const int h = noteBtn_ && !noteBtn_->IsEmpty() ? noteBtn_->FrameHeight() : PlainRowHeight;
    return {step * StepCellWidth, ButtonTop, StepCellWidth, h};
}

QRect TTechno16::LedRect(int step) const {
    const int h = posLed_ && !posLed_->IsEmpty() ? posLed_->FrameHeight() : 8;
    return {step * StepCellWidth, LedTop, StepCellWidth, h};
}

void TTechno16::PaintSkin(QPainter& painter) {
    if (channel_ >= loop_.ChannelCount()) return;
    const int mode = host_.WheelMode ? host_.WheelMode() : 0;
    const PatternRecord& rec = loop_.Channel(channel_).Pattern(loop_.CurrentPattern);
    for (int step = 15; step >= 0; --step) {
        const bool on = rec.GetStep(step);
        const QRect r = ButtonRect(step);
        if (noteBtn_ && !noteBtn_->IsEmpty()) {
            noteBtn_->Draw(painter, r.x(), r.y(), StepButtonFrame(step, on));
        } else {
            // No strip anywhere: still a usable row.
            const bool alt = (step / 4) % 2 == 1;
            painter.fillRect(r.adjusted(1, 1, -1, -1), on    ? QColor(230, 160, 40)
                                                       : alt ? QColor(70, 72, 80)
                                                             : QColor(56, 58, 64));
        }
        if (mode > 0 && on && smallWheel_ && !smallWheel_->IsEmpty()) {
            const int top = mode == 1 ? RowPan : RowPitch;
            for (int k = 0; k < 2; ++k) {
                const int row = top + k;
                const int max = StepParamTable[row].Maximum;
                smallWheel_->Draw(painter, r.x() + 1, ButtonTop + k * StepWheelSpacing,
                                  KnobFrame(rec.Rows[size_t(row)][size_t(step)], max, smallWheel_->Count()));
            }
        }
    }
    if (ShowsLeds()) {
        const bool playing = host_.CurrentPatternPlaying ? host_.CurrentPatternPlaying() : false;
        for (int step = 0; step < 16; ++step) {
            const QRect r = LedRect(step);
            const int frame = playing && step == ledStep_ ? 1 : 0;
            if (posLed_ && !posLed_->IsEmpty())
                posLed_->Draw(painter, r.x(), r.y(), frame);
            else
                painter.fillRect(r.adjusted(5, 2, -5, -2), frame ? QColor(255, 190, 60) : QColor(60, 50, 40));
        }
    }
}

void TTechno16::SetLedStep(int step) {
    ledStep_ = step;
    if (ShowsLeds()) {
        if (prevLedStep_ >= 0 && prevLedStep_ != step) update(LedRect(prevLedStep_));
        if (step >= 0) update(LedRect(step));
    }
    prevLedStep_ = step;
}

void TTechno16::SetStep(int step, bool on) {
    if (StepOn(step) == on) return;
    loop_.SetStep(channel_, loop_.CurrentPattern, step, on);
    repaint(ButtonRect(step));  // at once, not at the next idle paint
    if (host_.StepSet) host_.StepSet(channel_, step, on);
}

void TTechno16::ToggleStep(int step) {
    if (step >= 0 && step < 16) SetStep(step, !StepOn(step));
}

static int HeldBits(Qt::MouseButtons b) {
    return (b & Qt::LeftButton ? LeftButton : 0) | (b & Qt::RightButton ? RightButton : 0);
}

void TTechno16::PaintAt(int x, Qt::MouseButtons held) {
    const int step = StepAt(x);
    if (step < 0) return;
    if (auto v = paint_.Move(x, HeldBits(held), host_.BothButtons && host_.BothButtons(), StepOn(step)))
        SetStep(step, *v);
}

void TTechno16::mousePressEvent(QMouseEvent* event) {
    const int mode = host_.WheelMode ? host_.WheelMode() : 0;
    const bool both = host_.BothButtons && host_.BothButtons();
    const TMouseButton button = event->button() == Qt::RightButton ? RightButton : LeftButton;
    const int x = int(event->position().x()), y = int(event->position().y());
    if (TStepPaint::PressPaints(mode, both, button)) {
        if (host_.SelectAlone) host_.SelectAlone(channel_);
        if (!paint_.Painting) loop_.BeginGesture("steps");  // a drag across steps is one undo step
        paint_.Begin();
        PaintAt(x, event->buttons());
    } else if (host_.WheelPress) {
        host_.WheelPress(channel_, x, y, event->button());
    }
}

void TTechno16::mouseMoveEvent(QMouseEvent* event) {
    if (host_.WheelMouse && host_.WheelMouse(event)) return;
    // Only x counts: the drag keeps painting this row wherever y goes.
    if (paint_.Painting) PaintAt(int(event->position().x()), event->buttons());
}

void TTechno16::mouseReleaseEvent(QMouseEvent* event) {
    if (host_.WheelMouse && host_.WheelMouse(event)) return;
    if (paint_.Painting) loop_.EndGesture();
    paint_.End();
}

namespace {

// One step as a screen reader sees it: a check box named "Step n".
class TStepAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TStepAccessible(TTechno16* row, int step) : row_(row), step_(step) {}
    bool isValid() const override { return row_; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return row_ ? row_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(row_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? QStringLiteral("Step %1").arg(step_ + 1) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!row_) return {};
        const QRect r(step_ * StepCellWidth, row_->ButtonTop, StepCellWidth, 27);
        return QRect(row_->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::CheckBox; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.checkable = true;
        s.checked = row_ && row_->StepOn(step_);
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList actionNames() const override { return {toggleAction()}; }
    void doAction(const QString& name) override {
        if (row_ && (name == toggleAction() || name == pressAction())) row_->ToggleStep(step_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<TTechno16> row_;
    int step_;
};

class TStepRowAccessible : public QAccessibleWidget {
public:
    explicit TStepRowAccessible(TTechno16* row) : QAccessibleWidget(row, QAccessible::Grouping) {
        for (int i = 0; i < 16; ++i) ids_[i] = QAccessible::registerAccessibleInterface(new TStepAccessible(row, i));
    }
    ~TStepRowAccessible() override {
        for (auto id : ids_) QAccessible::deleteAccessibleInterface(id);
    }
    int childCount() const override { return 16; }
    QAccessibleInterface* child(int i) const override {
        return i >= 0 && i < 16 ? QAccessible::accessibleInterface(ids_[i]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* c) const override {
        for (int i = 0; i < 16; ++i)
            if (QAccessible::accessibleInterface(ids_[i]) == c) return i;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < 16; ++i)
            if (child(i)->rect().contains(x, y)) return child(i);
        return nullptr;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return static_cast<TTechno16*>(widget())->AccessibleName();
        return QAccessibleWidget::text(t);
    }

private:
    QAccessible::Id ids_[16]{};
};

// A channel's row of controls: a group named after the channel.
class TRowGroupAccessible : public QAccessibleWidget {
public:
    explicit TRowGroupAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Grouping) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return widget()->accessibleName();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String("tx::TTechno16"))
        if (auto* row = qobject_cast<TTechno16*>(object)) return new TStepRowAccessible(row);
    if (className == QLatin1String("tx::TChannelRow") && object->isWidgetType())
        return new TRowGroupAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

}  // namespace

void InstallStepRowAccessibility() {
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(Factory); });
}

}  // namespace tx
