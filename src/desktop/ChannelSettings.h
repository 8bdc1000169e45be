#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/Channel.h"

namespace tx {

class TLoop;

// The channel settings window's rules apart from its widgets: key names, the
// note grid, the sample history, the "cut itself" group, moving between
// channels, the random list and the tables of its knobs. Window thread only.

// "C", "C#" ... "B" followed by the octave: 60 is "C5", 0 is "C0".
std::string KeyName(int key);
// "Note (C5)", or "Note (none)" for a key outside 0..127 (255 is "none").
std::string NoteLabelText(int key);
// "Middle Note (C5)".
std::string MiddleNoteLabelText(int key);
// "Channel settings", with " - " and the name when the channel has one.
std::string ChannelFormCaption(const std::string& name);

// The note grid: 8 columns by 16 rows, the cell (c, r) holding key r * 8 + c.
constexpr int NoteGridColumns = 8;
constexpr int NoteGridRows = 16;
int NoteGridKey(int column, int row);
struct TGridCell {
    int Column = 0, Row = 0;
    bool operator==(const TGridCell&) const = default;
};
// The cell of a channel's note; key 0's cell when it has none.
TGridCell NoteGridCell(int midiNote);

// A value of the -1..127 spinners as the channel stores it (-1 is 255, "none")
// and back.
uint8_t StoredMidiValue(int shown);
int ShownMidiValue(uint8_t stored);

// The files last loaded in the window, newest first, at most six.
class TSampleHistory {
public:
    static constexpr size_t MaxEntries = 6;
    // A path not yet listed goes first; past six entries the oldest goes.
    // Returns the index of `path` in the list afterwards (-1 for an empty path).
    int Add(const std::string& path);
    const std::vector<std::string>& Paths() const { return paths_; }
    // The file names without their folders, as the drop-down shows them.
    std::vector<std::string> DisplayNames() const;

private:
    std::vector<std::string> paths_;
};

// The smallest group 1..99 that no other channel's sample uses as its cut or
// cut-by group; nothing when every one of them is taken (the groups then stay).
std::optional<int> CutItselfGroup(const TLoop& loop, int channel);

// The channel `delta` places away, wrapping around the ends.
int WrapChannel(int current, int delta, int count);

// RandomWith rebuilt from the ticked lines: the own index first, then the
// others in ascending order.
std::vector<int32_t> RandomWithList(int own, const std::vector<bool>& ticked);

// DelayEchoes limited to 1..9.
int LimitEchoes(int value);

// A key played on the PITCH sheet: the length the sample is played over so it
// sounds (key - middle) semitones away from its own pitch.
int32_t PitchedLength(int32_t playLength, int key, int middleNote);

// "Stretch" menu items and the number each sets.
struct TStretchItem {
    const char* Caption;
    int Steps;
};
const std::vector<TStretchItem>& StretchItems();

// What a control does after it stored its value.
enum class TThen {
    Reprocess,      // the sample processed again (unless refreshing), modified
    SendSetup,      // the channel's MIDI set-up sent, modified
    Modified,       // modified only
    ModifiedLocked  // stored under the engine lock, modified
};

// One knob of the SAMPLE or DELAY sheet or the top.
struct TKnobEntry {
    const char* Name;  // component name
    const char* Hint;
    int Min, Max, Start;
    int32_t TChannel::*Field;
    TThen Then;
};
const std::vector<TKnobEntry>& SampleKnobs();  // SAMPLE sheet, in tab order
const std::vector<TKnobEntry>& DelayKnobs();   // DELAY sheet knobs and sliders, in tab order

// One check box.
struct TBoxEntry {
    const char* Name;
    const char* Caption;
    const char* Hint;
    bool TChannel::*Field;
    TThen Then;
};
const std::vector<TBoxEntry>& SampleBoxes();

}  // namespace tx

namespace tx {

// The open dialog plays a highlighted file when the setting is on and the file
// is a ".WAV" of at most 524288 bytes.
constexpr int64_t DialogPreviewMaxBytes = 524288;
bool PreviewInDialog(const std::string& path, int64_t bytes, bool settingOn);

// The PITCH sheet's keyboard, laid out horizontally: white keys `noteWidth`
// wide and `height` long from key 0 up; black keys noteWidth * 3 / 5 wide
// (made odd), height * 3 / 5 long, centred on the boundary after C, D, F, G
// and A, each moved by -1, +1, -1, 0, +1. The key under (x, y), -1 outside.
int PitchKeyAt(int x, int y, int noteWidth, int height);
// Velocity of a click at y on a key `length` long: min(127, y * 127 / length).
int PitchKeyVelocity(int y, int length);

}  // namespace tx
