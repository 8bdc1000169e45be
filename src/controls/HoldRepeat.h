#pragma once

#include <QObject>
#include <functional>

class QTimer;

namespace tx {

// A button held down repeats its step: first after 200 ms, then every 50 ms,
// until Stop(). The spinner's arrows and the slider's track share it.
// Window thread only.
class THoldRepeat : public QObject {
    Q_OBJECT
public:
    static constexpr int FirstRepeatMs = 200, RepeatMs = 50;

    // `step` runs on every repeat (not now: the press takes its own first step).
    THoldRepeat(QObject* parent, std::function<void()> step);
    void Start();
    void Stop();
    bool Active() const;

private:
    QTimer* timer_ = nullptr;  // created on first use
    std::function<void()> step_;
};

}  // namespace tx
