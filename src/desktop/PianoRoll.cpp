#include "desktop/PianoRoll.h"

#include <algorithm>

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

}  // namespace tx
