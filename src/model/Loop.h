#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/Channel.h"
#include "model/Lockable.h"
#include "model/Playlist.h"

namespace tx {

constexpr int MinChannels = 4;
constexpr int MinTempo = 10;
constexpr int MaxTempo = 500;
constexpr int MainResoMax = 992;
constexpr int MainCutOffMax = 1008;

// Change notifications for whoever shows the loop (the desktop program).
// All are called on the thread that made the change; any may be empty.
struct TLoopEvents {
    std::function<void()> ChannelsChanged;             // rows to lay out again, delete command enabling
    std::function<void()> ChannelNamesChanged;         // the channel name list
    std::function<void(int)> ChannelChanged;           // a channel's name, minimized or selection state
    std::function<void(int, int, int)> StepChanged;    // channel, pattern, step
    std::function<void(int)> PlaylistPositionChanged;  // position whose cell(s) need repainting
    std::function<void()> SelectionChanged;            // the selected channel changed
    std::function<void()> LoopValuesChanged;           // tempo, pattern, main values or playlist put back by undo
};

// What the undo history needs to hear of the loop's own changes. Each call
// comes just before the part named changes (so its old state can be kept),
// except the two that report a channel already inserted or taken out.
class TLoopRecorder {
public:
    virtual ~TLoopRecorder() = default;
    virtual void PatternChanging(int ch, int pattern) = 0;
    virtual void ChannelChanging(int ch) = 0;  // settings, sample, name, zip state
    virtual void ValuesChanging() = 0;         // tempo, pattern, shuffle, main values, texts
    virtual void PlaylistChanging() = 0;
    virtual void ChannelsChanging() = 0;  // before a channel is inserted or deleted
    virtual void ChannelInserted(int i) = 0;
    // The recorder may take `gone` to put it back later; else the loop frees it.
    virtual void ChannelDeleted(int i, std::unique_ptr<TChannel>& gone) = 0;
    virtual void DocumentReplaced() = 0;  // a loop loaded or a new one
    // One gesture (a drag, a knob turn, a menu command) is one undo step;
    // they nest, and only the outermost pair counts.
    virtual void BeginGesture(const std::string& name) = 0;
    virtual void EndGesture() = 0;
};

// The one loop document: channels with their patterns, the playlist and the
// loop-wide values.
//
// Threads: only the window thread changes the document; the mixing, render
// and step-timer threads read it while it plays. The model keeps that safe by
// itself, so callers need no care of their own:
// - every operation that changes a structure the playback threads walk
//   (channels added, inserted, deleted; playlist cells and bars; a new
//   document; the editing operations of model/Editing.h) takes the engine
//   lock (SetEngineLock) inside the call, and allocates and frees outside it;
// - single values the window sets while playing (a step bit or step value,
//   channel volume, pan and mute, main volume, shuffle, main pitch, the loop
//   position) are relaxed atomic stores the playback threads read whole.
// Everything else is changed through the engine (tempo, song mode, pattern
// choice, the master filter) or under the lock.
class TLoop {
public:
    TLoop();

    // --- loop-wide values (ranges as the loop file may bring them are not enforced here)
    int32_t CurrentPattern = 1;          // 1..999
    int32_t Tempo = 140;                 // 10..500
    TRelaxed<int32_t> Shuffle = 0;       // 0..128
    TRelaxed<int32_t> MainVolume = 128;  // 0..128, 128 unity
    TRelaxed<int32_t> MainPitch = 0;     // cents -1200..1200
    // The engine's master filter follows these through TEngine::SetMainCutOff
    // and SetMainResonance; the mixer never reads them.
    int32_t MainResonance = MainResoMax;
    int32_t MainCutOff = MainCutOffMax;
    bool SongMode = false;  // changed through TEngine::SetSongMode while playing
    TRelaxed<int32_t> SongLoopPosition = 0;
    std::string Title;
    std::string InfoRich;   // rich-text stream bytes, kept as read
    std::string InfoPlain;  // plain-text info of older files
    std::string URL;
    bool ShowInfo = false;
    bool Modified = false;
    std::string LoopFileName;
    int32_t LoadedVersion = 0;
    int32_t WindowHeight = 0;  // main window height above its minimum, as stored
    int32_t SongLength = 0;
    int32_t PlaylistRow = 1;  // playlist grid's current row; row r holds position r - 1

    // Song position as displayed and used by the MIDI side; -1 when song mode is off.
    int32_t SongPosition = -1;
    TPatternList PlayingPatterns;

    TPlayList PlayList;
    TLoopEvents Events;
    // Called under the engine lock just before a channel (and its sample) is
    // freed, so the engine can drop voices that still play that sample.
    std::function<void(const TWAVSample&)> SampleFreeing;

    // The undo history when there is one; the loop tells it of every change
    // made through its own calls. Code that writes fields directly calls
    // the matching Recorder call first (see the Touch helpers below).
    TLoopRecorder* Recorder = nullptr;
    void TouchPattern(int ch, int pattern) {
        if (Recorder) Recorder->PatternChanging(ch, pattern);
    }
    void TouchChannel(int ch) {
        if (Recorder) Recorder->ChannelChanging(ch);
    }
    void TouchValues() {
        if (Recorder) Recorder->ValuesChanging();
    }
    void TouchPlaylist() {
        if (Recorder) Recorder->PlaylistChanging();
    }
    void BeginGesture(const std::string& name) {
        if (Recorder) Recorder->BeginGesture(name);
    }
    void EndGesture() {
        if (Recorder) Recorder->EndGesture();
    }

    void SetEngineLock(TLockable* lock) { lock_ = lock; }
    TLockable* EngineLock() const { return lock_; }

    // --- channels
    int ChannelCount() const { return int(channels_.size()); }
    TChannel& Channel(int i) { return *channels_[size_t(i)]; }
    const TChannel& Channel(int i) const { return *channels_[size_t(i)]; }
    bool CanDeleteChannel() const { return ChannelCount() > MinChannels; }

    // Resets every field a new loop resets (tempo, pattern and song mode keep theirs).
    void ResetToNew();
    // Takes over the document of `other` (channels, playlist, loop-wide values
    // and file name) in one step under the engine lock, and hands this loop's
    // old document to `other`, which frees it when it goes (outside the lock).
    // Events, the lock, SampleFreeing and the run-time song position stay.
    void AdoptDocument(TLoop& other);

    void ResetPattern(int ch, int pattern);
    bool GetStep(int ch, int pattern, int step) const;
    void SetStep(int ch, int pattern, int step, bool on);
    void SetStepValue(int ch, int pattern, int row, int step, uint8_t value);
    bool PatternIsEmpty(int pattern) const;
    int AddChannel();
    void InsertChannel(int i);
    bool DeleteChannel(int i);  // false when only the minimum of 4 remain
    void SetChannelName(int i, const std::string& text);
    void SetMinimized(int i, bool flag);
    void SelectChannelAlone(int i);
    std::string ChannelListName(int i) const;
    // True (and `open` called) when the name's extension is ".txp" in any case.
    static bool OpenLoopByExtension(const std::string& fileName, const std::function<void(const std::string&)>& open);
    // Adds channels as needed and calls load(index, name) for each name in order.
    void LoadSamplesIntoChannels(int first, const std::vector<std::string>& names,
                                 const std::function<void(int, const std::string&)>& load);
    int SelectedChannel() const;  // first selected, or -1

    // --- playlist queries and commands
    // Fills `out` with the patterns to play at a position; returns the first.
    int PatternsAt(int pos, TPatternList& out) const;
    int NormalizeSongPosition(int pos) const;
    void ComputeSongLength();
    // Song position for display and MIDI; fills PlayingPatterns in song mode.
    void SetSongPosition(int pos);
    void SetPatternAt(int pattern, int pos, bool present);
    void ClearPlaylist();
    void InsertBar(int pos);
    void DeleteBar(int pos);
    void InsertCurrentPatternInPlayList(bool windowVisible);

private:
    friend class TUndoHistory;
    using TChannelList = std::vector<std::unique_ptr<TChannel>>;
    void notifyChannels();
    TLockable* lock_ = nullptr;
    TChannelList channels_;
};

// One gesture as a scope: every change made while it lives is one undo step.
class TLoopGesture {
public:
    TLoopGesture(TLoop& loop, const std::string& name) : loop_(loop) { loop_.BeginGesture(name); }
    ~TLoopGesture() { loop_.EndGesture(); }
    TLoopGesture(const TLoopGesture&) = delete;
    TLoopGesture& operator=(const TLoopGesture&) = delete;

private:
    TLoop& loop_;
};

// Text rules of the channel controls.
std::string NameButtonCaption(const std::string& name);  // "SET" when empty
std::string NameButtonHint(const std::string& name);     // "|" + name
std::string SelectButtonHint(const std::string& name);   // "|Select " + name
// Shortens text from its end, one character at a time, until measure(text) <= maxWidth.
std::string ShortenToWidth(std::string text, int maxWidth, const std::function<int(const std::string&)>& measure);

}  // namespace tx
