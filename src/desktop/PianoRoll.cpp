#include "desktop/PianoRoll.h"

#include <algorithm>

#include "model/Loop.h"

namespace tx {

int PianoKeyAt(int x, int y, int boxHeight) {
    const int h = boxHeight - y;
    const int octave = h / PianoOctaveHeight, r = h % PianoOctaveHeight;
    const int white = r / 8;
    int semitone = white * 2 - (white >= 3 ? 1 : 0);
    const int r3 = r + 3;
    if (x % 16 < 9 && r3 >= 8 && r3 < PianoOctaveHeight && r3 % 8 < 6) {
        // A black key between two white keys.
        const int w = r3 / 8;
        if (r3 < 24)
            semitone = w * 2 - 1;
        else if (r3 >= 32)
            semitone = w * 2 - 2;
    }
    return std::clamp(octave * 12 + semitone, 0, 127);
}

int PianoStepAt(int x) { return x >= 0 ? x / 16 : -((15 - x) / 16); }

int DrawValueAt(int y, int max) { return std::clamp(max * (DrawBoxHeight - y) / DrawBoxHeight, 0, max); }

int DrawBarTop(int v, int max) { return DrawBoxHeight - v * (DrawBoxHeight + 1) / max; }

std::vector<TDrawPoint> DrawLine(int anchorStep, int anchorY, int pointStep, int pointY, int max) {
    std::vector<TDrawPoint> out;
    if (pointStep == anchorStep) return out;
    const int dir = pointStep > anchorStep ? 1 : -1;
    const int span = pointStep - anchorStep;
    for (int s = anchorStep + dir; s != pointStep + dir; s += dir) {
        // The line keeps its slope past the box, but nothing outside the
        // sixteen steps is written.
        if (s < 0 || s > 15) continue;
        const int y = anchorY + (pointY - anchorY) * (s - anchorStep) / span;
        out.push_back({s, DrawValueAt(y, max)});
    }
    return out;
}

int TransposedKey(int key, int oldKey, int newKey) { return std::clamp(key - (oldKey - newKey), 0, TransposeMaxKey); }

std::string PianoKeyName(int key) {
    static const char* const names[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    if (key < 0) return "";
    return names[key % 12] + std::to_string(key / 12);
}

int PianoFormTop(int rowBottom, int formHeight, int screenBottom) {
    return rowBottom + formHeight > screenBottom ? rowBottom - formHeight - PianoRowHeight : rowBottom;
}

void TPianoEdit::Press() {
    if (!pressed_) loop_.BeginGesture("keys");  // a drag across the roll is one undo step
    pressed_ = true;
}

void TPianoEdit::Release() {
    if (pressed_) loop_.EndGesture();
    pressed_ = false;
    ResetLast();
}

int TPianoEdit::Move(int channel, int x, int y, bool left, bool right, bool transpose, int boxHeight) {
    const int key = PianoKeyAt(x, y, boxHeight);
    const int step = PianoStepAt(x);
    if (!pressed_ || step < 0 || step >= StepsPerPattern || channel < 0 || channel >= loop_.ChannelCount()) return key;
    const int pattern = loop_.CurrentPattern;
    const bool on = left;
    const bool isNew = key != lastKey_ || step != lastStep_;
    for (int ch = loop_.ChannelCount() - 1; ch >= 0; --ch) {
        TChannel& c = loop_.Channel(ch);
        if (!c.Selected && ch != channel) continue;
        // The right button erases: the key goes back to the channel's middle note.
        const int chKey = right && !left ? std::clamp<int>(c.MiddleNote, 0, 127) : key;
        if (!transpose) {
            if (loop_.GetStep(ch, pattern, step) != on) {
                loop_.SetStep(ch, pattern, step, on);
                if (StepSet) StepSet(ch, step, on);
            }
            const bool rendering = RenderRunning && RenderRunning();
            if (!rendering && isNew && on && c.Sample.HasData() && PlayKey) PlayKey(ch, step, chKey);
        }
        const PatternRecord& rec = c.Pattern(pattern);
        const int oldKey = rec.Value(RowNote, step);
        if (oldKey == chKey) continue;
        loop_.SetStepValue(ch, pattern, RowNote, step, uint8_t(chKey));
        if (KeyChanged) KeyChanged(ch, step);
        if (!transpose) continue;
        for (int j = 0; j < StepsPerPattern; ++j) {
            if (j == step) continue;
            const int moved = TransposedKey(rec.Value(RowNote, j), oldKey, chKey);
            if (moved == rec.Value(RowNote, j)) continue;
            loop_.SetStepValue(ch, pattern, RowNote, j, uint8_t(moved));
            if (KeyChanged) KeyChanged(ch, j);
        }
    }
    lastKey_ = key;
    lastStep_ = step;
    return key;
}

}  // namespace tx
