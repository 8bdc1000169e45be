#pragma once
#include <vector>

namespace tx {

// The keyboard editor's rules apart from its window: the key under a point of
// the piano roll, the bars of the draw mode and the right button's straight
// line, and the transpose of a row. Window thread only.

constexpr int PianoOctaveHeight = 56;  // 8 pixels per white key
constexpr int PianoOctaves = 11;
constexpr int PianoBoxHeight = PianoOctaves * PianoOctaveHeight;
constexpr int DrawBoxHeight = 151;
constexpr int TransposeMaxKey = 123;

// The key under (x, y) of a box `boxHeight` high, octave 0 at the bottom; the
// black keys lie in the left part of each 16-pixel column. Held to 0..127.
int PianoKeyAt(int x, int y, int boxHeight = PianoBoxHeight);
// The step of column x, dividing towards minus infinity: left of the box is negative.
int PianoStepAt(int x);

// Draw mode: the value a point at y sets (held to 0..max), and the top of the
// bar showing value v (a centred row fills between the middle and that top).
int DrawValueAt(int y, int max);
int DrawBarTop(int v, int max);
constexpr int DrawBarMiddle = 75;

struct TDrawPoint {
    int Step;
    int Value;
    bool operator==(const TDrawPoint&) const = default;
};
// The right button's straight line from the anchor (its step keeps the value
// set at the press) to the point: every step strictly after the anchor up to
// the point's step, with the value of the height interpolated between the two.
// Only steps 0..15 are given, each value held to 0..max, however far outside
// the box the point lies.
std::vector<TDrawPoint> DrawLine(int anchorStep, int anchorY, int pointStep, int pointY, int max);

// The other steps of a row moved with a transposed key: each by
// newKey - oldKey, held to 0..123.
int TransposedKey(int key, int oldKey, int newKey);

}  // namespace tx
