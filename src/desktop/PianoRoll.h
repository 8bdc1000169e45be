#pragma once
#include <functional>
#include <string>
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

// A key's name: "C" .. "B" and the octave, so 60 is "C5".
std::string PianoKeyName(int key);

// The top of the editor's window opened under a step row whose bottom edge is
// at `rowBottom`: directly under it, or, when it would reach past the bottom
// of the screen, above the row (its own height plus the row's 27 pixels up).
int PianoFormTop(int rowBottom, int formHeight, int screenBottom);
constexpr int PianoRowHeight = 27;

class TLoop;

// The piano roll's mouse on the loop: one press-move-release is one undo
// step; each move picks the key of one step on the editor's channel and on
// every selected channel, switching the step on (left button) or off (right
// button, the key going back to the channel's middle note). Window thread only.
class TPianoEdit {
public:
    explicit TPianoEdit(TLoop& loop) : loop_(loop) {}
    ~TPianoEdit() { Release(); }
    TPianoEdit(const TPianoEdit&) = delete;
    TPianoEdit& operator=(const TPianoEdit&) = delete;

    // All optional. PlayKey plays a channel's sample once at a key;
    // StepSet reports a step switched on or off, KeyChanged a step's key.
    std::function<bool()> RenderRunning;
    std::function<void(int channel, int step, int key)> PlayKey;
    std::function<void(int channel, int step, bool on)> StepSet;
    std::function<void(int channel, int step)> KeyChanged;

    void Press();
    // A point (box coordinates) with the buttons held. `transpose`: the
    // transpose cursor is shown (Ctrl): steps keep their on/off state and the
    // other steps of each row move with the key. Returns the key under the point.
    int Move(int channel, int x, int y, bool left, bool right, bool transpose, int boxHeight = PianoBoxHeight);
    void Release();
    // The next move counts as new even on the same key and step.
    void ResetLast() { lastKey_ = NoKey; }
    bool Pressed() const { return pressed_; }

private:
    static constexpr int NoKey = 0x7fffffff;
    TLoop& loop_;
    bool pressed_ = false;
    int lastKey_ = NoKey, lastStep_ = -1;
};

}  // namespace tx
