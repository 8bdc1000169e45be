#include "controls/HoldRepeat.h"

#include <QTimer>

namespace tx {

THoldRepeat::THoldRepeat(QObject* parent, std::function<void()> step) : QObject(parent), step_(std::move(step)) {}

void THoldRepeat::Start() {
    if (!timer_) {
        timer_ = new QTimer(this);
        connect(timer_, &QTimer::timeout, this, [this] {
            timer_->setInterval(RepeatMs);
            step_();
        });
    }
    timer_->start(FirstRepeatMs);
}

void THoldRepeat::Stop() {
    if (timer_) timer_->stop();
}

bool THoldRepeat::Active() const { return timer_ && timer_->isActive(); }

}  // namespace tx
