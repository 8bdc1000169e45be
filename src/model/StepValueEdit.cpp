#include "model/StepValueEdit.h"

#include <algorithm>
#include <iterator>

namespace tx {

bool TStepValueEdit::Begin(int channel, int row, int step) {
    if (channel < 0 || channel >= loop_.ChannelCount() || row < 0 || row >= RowNote || step < 0 ||
        step >= StepsPerPattern)
        return false;
    channel_ = channel;
    row_ = row;
    step_ = step;
    active_ = true;
    static const char* const names[] = {"pan", "vol", "pitch", "mix", "resonance", "cutoff"};
    loop_.BeginGesture(row < int(std::size(names)) ? names[row] : "step values");
    return true;
}

void TStepValueEdit::End() {
    if (!active_) return;
    active_ = false;
    loop_.EndGesture();
}

int TStepValueEdit::Maximum() const { return StepParamTable[size_t(row_)].Maximum; }

int TStepValueEdit::Value() const {
    if (channel_ >= loop_.ChannelCount()) return 0;
    return loop_.Channel(channel_).Pattern(loop_.CurrentPattern).Value(row_, step_);
}

bool TStepValueEdit::Targets(int ch) const { return ch == channel_ || loop_.Channel(ch).Selected; }

std::vector<TStepValueEdit::TStepRef> TStepValueEdit::Change(int value, bool line) {
    std::vector<TStepRef> changed;
    // A channel deleted while the knob was held ends the edit.
    if (!active_ || channel_ >= loop_.ChannelCount()) return changed;
    const int delta = value - Value();
    if (delta == 0) return changed;
    const int max = Maximum(), pattern = loop_.CurrentPattern;
    for (int ch = 0; ch < loop_.ChannelCount(); ++ch) {
        if (!Targets(ch)) continue;
        const PatternRecord& rec = loop_.Channel(ch).Pattern(pattern);
        for (int s = line ? 0 : step_; s <= (line ? StepsPerPattern - 1 : step_); ++s) {
            const int old = rec.Value(row_, s);
            const int v = std::clamp(old + delta, 0, max);
            if (v == old) continue;
            loop_.SetStepValue(ch, pattern, row_, s, uint8_t(v));
            changed.push_back({ch, s});
        }
    }
    return changed;
}

std::vector<TStepValueEdit::TStepRef> TStepValueEdit::ChangeAndCopy(int step, int value, bool line) {
    std::vector<TStepRef> changed;
    if (!active_ || channel_ >= loop_.ChannelCount() || step < 0 || step >= StepsPerPattern) return changed;
    const int pattern = loop_.CurrentPattern, max = Maximum();
    const PatternRecord& own = loop_.Channel(channel_).Pattern(pattern);
    const int delta = std::clamp(value, 0, max) - own.Value(row_, step);
    const int first = line ? 0 : step, last = line ? StepsPerPattern - 1 : step;
    for (int s = first; s <= last; ++s) {
        const int old = own.Value(row_, s), v = std::clamp(old + delta, 0, max);
        if (v != old) {
            loop_.SetStepValue(channel_, pattern, row_, s, uint8_t(v));
            changed.push_back({channel_, s});
        }
    }
    for (int ch = 0; ch < loop_.ChannelCount(); ++ch) {
        if (ch == channel_ || !loop_.Channel(ch).Selected) continue;
        const PatternRecord& rec = loop_.Channel(ch).Pattern(pattern);
        for (int s = first; s <= last; ++s) {
            const uint8_t v = own.Value(row_, s);
            if (rec.Value(row_, s) == v) continue;
            loop_.SetStepValue(ch, pattern, row_, s, v);
            changed.push_back({ch, s});
        }
    }
    return changed;
}

}  // namespace tx
