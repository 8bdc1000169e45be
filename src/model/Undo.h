#pragma once
#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "model/Loop.h"

namespace tx {

// A channel's links to the others, which inserting and deleting renumber
// (deleting may drop an entry of a random list for good).
struct TChannelLinks {
    int32_t MixWith = 0;
    std::vector<int32_t> RandomWith;
    bool Minimized = false, Selected = false;
};

// The undo and redo history of one loop.
//
// It keeps what each change touched, never the whole loop (99 channels of
// 999 patterns would be 8 MB a step): the records of the patterns changed,
// the settings of the channels changed, the loop-wide values, the playlist,
// and channels taken out or put in. Each kept part holds the state of the
// other side of the step, so undoing is swapping it with the loop's state
// and redoing is swapping it back; the swaps neither allocate nor free, and
// a whole step is swapped in one hold of the engine lock.
//
// Steps are gestures: everything between the outermost BeginGesture and
// EndGesture is one step; a change made outside any gesture is a step of its
// own. A step that ends with nothing changed is dropped. The history keeps
// at most `maxSteps` steps and about `maxBytes` bytes of kept state (the
// oldest go first); loading a loop or a new loop starts a new history.
//
// Window thread only, like every change of the document.
class TUndoHistory final : public TLoopRecorder {
public:
    static constexpr size_t DefaultMaxSteps = 200;
    static constexpr size_t DefaultMaxBytes = size_t(16) << 20;

    // Attaches itself to the loop as its recorder; detaches when destroyed.
    explicit TUndoHistory(TLoop& loop, size_t maxSteps = DefaultMaxSteps, size_t maxBytes = DefaultMaxBytes);
    ~TUndoHistory() override;
    TUndoHistory(const TUndoHistory&) = delete;
    TUndoHistory& operator=(const TUndoHistory&) = delete;

    bool CanUndo();
    bool CanRedo();
    std::string UndoName();  // of the step Undo would undo; empty when none
    std::string RedoName();
    // Each returns the name of the step undone or redone, empty when there
    // was nothing to do. Marks the loop modified and fires its events.
    std::string Undo();
    std::string Redo();
    void Clear();

    size_t UndoSteps() {
        settle();
        return undo_.size();
    }
    size_t RedoSteps() const { return redo_.size(); }
    size_t Bytes() const { return bytes_; }

    // Called whenever what Undo or Redo would do may have changed (menu enabling).
    std::function<void()> Changed;
    // A knob or slider sends a change for every pixel it moves: a change of
    // a channel's settings or of the loop values outside a gesture joins the
    // step of the same part made less than this long before it.
    std::chrono::milliseconds JoinWithin{1000};
    std::function<std::chrono::steady_clock::time_point()> Now = [] { return std::chrono::steady_clock::now(); };

    // TLoopRecorder
    void PatternChanging(int ch, int pattern) override;
    void ChannelChanging(int ch) override;
    void ValuesChanging() override;
    void PlaylistChanging() override;
    void ChannelsChanging() override;
    void ChannelInserted(int i) override;
    void ChannelDeleted(int i, std::unique_ptr<TChannel>& gone) override;
    void DocumentReplaced() override;
    void BeginGesture(const std::string& name) override;
    void EndGesture() override;

    struct Action;

private:
    struct Step {
        std::string Name;
        std::vector<std::unique_ptr<Action>> Actions;
        size_t Bytes = 0;
        uint64_t JoinKey = 0;  // the one part a joinable change touched
        std::chrono::steady_clock::time_point At;
    };
    struct ChannelMove;

    void settle();
    bool openFor(uint64_t key, const char* defaultName, bool joinable = false);
    void add(std::unique_ptr<Action> a);
    void finish();
    void trim();
    void dropRedo();
    std::string replay(std::deque<Step>& from, std::deque<Step>& to, bool backwards);
    void changed();

    TLoop& loop_;
    size_t maxSteps_, maxBytes_;
    std::deque<Step> undo_, redo_;
    std::vector<Step> dropped_;  // a replaced document's steps, freed outside the lock
    size_t bytes_ = 0;

    std::optional<Step> current_;
    int depth_ = 0;
    std::string gestureName_;
    std::unordered_set<uint64_t> touched_;  // parts already kept in the open step
    std::vector<TChannelLinks> links_;      // from ChannelsChanging until the channel goes in or out
    bool linksTaken_ = false;
    bool replaying_ = false;
};

}  // namespace tx
