#pragma once
#include <cstdint>
#include <vector>

#include "model/Loop.h"

namespace tx {

// One turn of the per-step knob, from the press that opens it to its release:
// the value of one step row (pan, volume, pitch, mix, resonance or cutoff) of
// the current pattern, changed on the edited channel and on every selected
// channel by the same amount. Window thread only. Every store goes through
// TLoop::SetStepValue (a plain per-step store that marks the loop modified);
// Begin and End bracket the gesture: one knob turn is one undo step.
class TStepValueEdit {
public:
    struct TStepRef {
        int Channel;
        int Step;
        bool operator==(const TStepRef&) const = default;
    };

    explicit TStepValueEdit(TLoop& loop) : loop_(loop) {}

    // False (and nothing begun) for a row or step out of range or a missing channel.
    bool Begin(int channel, int row, int step);
    void End();
    bool Active() const { return active_; }
    int Channel() const { return channel_; }
    int Row() const { return row_; }
    int Step() const { return step_; }
    int Maximum() const;
    // The edited step's value now.
    int Value() const;

    // The knob turned to `value`: delta := value - the edited step's value,
    // added to the edited step (all sixteen steps with `line`) of the edited
    // channel and of every selected channel, each clamped to 0..Maximum on
    // its own. Returns the steps whose value changed.
    std::vector<TStepRef> Change(int value, bool line);

    // The keyboard editor's graph: `step` of the edited channel set to `value`
    // (or all sixteen moved by the same amount with `line`), and then the
    // edited channel's values of those steps copied into every other selected
    // channel.
    std::vector<TStepRef> ChangeAndCopy(int step, int value, bool line);

private:
    bool Targets(int ch) const;

    TLoop& loop_;
    bool active_ = false;
    int channel_ = 0, row_ = 0, step_ = 0;
};

}  // namespace tx
