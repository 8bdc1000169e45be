#include "model/Undo.h"

#include <algorithm>
#include <utility>

namespace tx {

namespace {

template <typename T>
void swapRelaxed(TRelaxed<T>& live, T& kept) {
    const T t = live;
    live = kept;
    kept = t;
}

// Keys of the parts an open step already keeps, so a drag over one pattern
// keeps its record once.
enum : uint64_t { KeyPattern = 1, KeyChannel, KeyValues, KeyPlaylist };
uint64_t key(uint64_t kind, int ch = 0, int pattern = 0) {
    return (kind << 48) | (uint64_t(uint32_t(ch) & 0xFFFFFF) << 16) | uint64_t(uint16_t(pattern));
}

// Everything of a channel an edit may change apart from its patterns.
struct ChannelState {
    int32_t Volume, Pan, MidiChannel;
    uint8_t MidiNote, MidiPatch, MidiBank;
    std::string Name;
    TColor Color;
    std::array<uint8_t, 128> ControllerTable;
    int32_t DelayFeed, DelayPan, DelayPitch, DelayEchoes, DelayTime, DelayReso, DelayCutOff, DelayShift;
    int32_t MixWith;
    std::vector<int32_t> RandomWith;
    int32_t FXFirst, FXSecondMix, FXSecondSine, CutOff, Resonance, Stretch, PreAmp, Decay, Attack, StereoDelay, FXThird,
        MiddleNote;
    bool Enabled, RevStereo, FadeLR, ReverseSample, Pitchable, DelayShuffled, Minimized;
    TWAVSample Sample;
    std::string SampleFileName;

    explicit ChannelState(const TChannel& c)
        : Volume(c.Volume),
          Pan(c.Pan),
          MidiChannel(c.MidiChannel),
          MidiNote(c.MidiNote),
          MidiPatch(c.MidiPatch),
          MidiBank(c.MidiBank),
          Name(c.Name),
          Color(c.Color),
          ControllerTable(c.ControllerTable),
          DelayFeed(c.DelayFeed),
          DelayPan(c.DelayPan),
          DelayPitch(c.DelayPitch),
          DelayEchoes(c.DelayEchoes),
          DelayTime(c.DelayTime),
          DelayReso(c.DelayReso),
          DelayCutOff(c.DelayCutOff),
          DelayShift(c.DelayShift),
          MixWith(c.MixWith),
          RandomWith(c.RandomWith),
          FXFirst(c.FXFirst),
          FXSecondMix(c.FXSecondMix),
          FXSecondSine(c.FXSecondSine),
          CutOff(c.CutOff),
          Resonance(c.Resonance),
          Stretch(c.Stretch),
          PreAmp(c.PreAmp),
          Decay(c.Decay),
          Attack(c.Attack),
          StereoDelay(c.StereoDelay),
          FXThird(c.FXThird),
          MiddleNote(c.MiddleNote),
          Enabled(c.Enabled),
          RevStereo(c.RevStereo),
          FadeLR(c.FadeLR),
          ReverseSample(c.ReverseSample),
          Pitchable(c.Pitchable),
          DelayShuffled(c.DelayShuffled),
          Minimized(c.Minimized),
          Sample(c.Sample),
          SampleFileName(c.SampleFileName) {}

    bool SameSample(const TWAVSample& s) const {
        return (Sample.Data.SharesWith(s.Data) || (Sample.Data.empty() && s.Data.empty())) &&
               Sample.Length == s.Length && Sample.PlayLength == s.PlayLength && Sample.CutGroup == s.CutGroup &&
               Sample.CutByGroup == s.CutByGroup;
    }
    bool Same(const TChannel& c) const {
        return Volume == c.Volume && Pan == c.Pan && MidiChannel == c.MidiChannel && MidiNote == c.MidiNote &&
               MidiPatch == c.MidiPatch && MidiBank == c.MidiBank && Name == c.Name && Color == c.Color &&
               ControllerTable == c.ControllerTable && DelayFeed == c.DelayFeed && DelayPan == c.DelayPan &&
               DelayPitch == c.DelayPitch && DelayEchoes == c.DelayEchoes && DelayTime == c.DelayTime &&
               DelayReso == c.DelayReso && DelayCutOff == c.DelayCutOff && DelayShift == c.DelayShift &&
               MixWith == c.MixWith && RandomWith == c.RandomWith && FXFirst == c.FXFirst &&
               FXSecondMix == c.FXSecondMix && FXSecondSine == c.FXSecondSine && CutOff == c.CutOff &&
               Resonance == c.Resonance && Stretch == c.Stretch && PreAmp == c.PreAmp && Decay == c.Decay &&
               Attack == c.Attack && StereoDelay == c.StereoDelay && FXThird == c.FXThird &&
               MiddleNote == c.MiddleNote && Enabled == c.Enabled && RevStereo == c.RevStereo && FadeLR == c.FadeLR &&
               ReverseSample == c.ReverseSample && Pitchable == c.Pitchable && DelayShuffled == c.DelayShuffled &&
               Minimized == c.Minimized && SameSample(c.Sample) && SampleFileName == c.SampleFileName;
    }
    // Under the engine lock: swaps only, so nothing is allocated or freed.
    void SwapWith(TLoop& loop, TChannel& c) {
        if (!SameSample(c.Sample) && loop.SampleFreeing) loop.SampleFreeing(c.Sample);
        swapRelaxed(c.Volume, Volume);
        swapRelaxed(c.Pan, Pan);
        std::swap(c.MidiChannel, MidiChannel);
        std::swap(c.MidiNote, MidiNote);
        std::swap(c.MidiPatch, MidiPatch);
        std::swap(c.MidiBank, MidiBank);
        c.Name.swap(Name);
        std::swap(c.Color, Color);
        std::swap(c.ControllerTable, ControllerTable);
        std::swap(c.DelayFeed, DelayFeed);
        std::swap(c.DelayPan, DelayPan);
        std::swap(c.DelayPitch, DelayPitch);
        std::swap(c.DelayEchoes, DelayEchoes);
        std::swap(c.DelayTime, DelayTime);
        std::swap(c.DelayReso, DelayReso);
        std::swap(c.DelayCutOff, DelayCutOff);
        std::swap(c.DelayShift, DelayShift);
        std::swap(c.MixWith, MixWith);
        c.RandomWith.swap(RandomWith);
        std::swap(c.FXFirst, FXFirst);
        std::swap(c.FXSecondMix, FXSecondMix);
        std::swap(c.FXSecondSine, FXSecondSine);
        std::swap(c.CutOff, CutOff);
        std::swap(c.Resonance, Resonance);
        std::swap(c.Stretch, Stretch);
        std::swap(c.PreAmp, PreAmp);
        std::swap(c.Decay, Decay);
        std::swap(c.Attack, Attack);
        std::swap(c.StereoDelay, StereoDelay);
        std::swap(c.FXThird, FXThird);
        std::swap(c.MiddleNote, MiddleNote);
        swapRelaxed(c.Enabled, Enabled);
        std::swap(c.RevStereo, RevStereo);
        std::swap(c.FadeLR, FadeLR);
        std::swap(c.ReverseSample, ReverseSample);
        std::swap(c.Pitchable, Pitchable);
        std::swap(c.DelayShuffled, DelayShuffled);
        std::swap(c.Minimized, Minimized);
        c.Sample.Data.swap(Sample.Data);
        std::swap(c.Sample.Length, Sample.Length);
        std::swap(c.Sample.PlayLength, Sample.PlayLength);
        std::swap(c.Sample.CutGroup, Sample.CutGroup);
        std::swap(c.Sample.CutByGroup, Sample.CutByGroup);
        c.SampleFileName.swap(SampleFileName);
    }
    size_t Bytes() const {
        return sizeof(*this) + Name.capacity() + SampleFileName.capacity() + RandomWith.capacity() * sizeof(int32_t) +
               Sample.Data.Bytes();
    }
};

// The loop-wide values a step keeps. Song mode is left out: it is switched
// through the engine, which resets the song position with it.
struct ValuesState {
    int32_t CurrentPattern, Tempo, Shuffle, MainVolume, MainPitch, MainResonance, MainCutOff, SongLoopPosition;
    bool ShowInfo;
    std::string Title, InfoRich, InfoPlain, URL;

    explicit ValuesState(const TLoop& l)
        : CurrentPattern(l.CurrentPattern),
          Tempo(l.Tempo),
          Shuffle(l.Shuffle),
          MainVolume(l.MainVolume),
          MainPitch(l.MainPitch),
          MainResonance(l.MainResonance),
          MainCutOff(l.MainCutOff),
          SongLoopPosition(l.SongLoopPosition),
          ShowInfo(l.ShowInfo),
          Title(l.Title),
          InfoRich(l.InfoRich),
          InfoPlain(l.InfoPlain),
          URL(l.URL) {}
    bool Same(const TLoop& l) const {
        return CurrentPattern == l.CurrentPattern && Tempo == l.Tempo && Shuffle == l.Shuffle &&
               MainVolume == l.MainVolume && MainPitch == l.MainPitch && MainResonance == l.MainResonance &&
               MainCutOff == l.MainCutOff && SongLoopPosition == l.SongLoopPosition && ShowInfo == l.ShowInfo &&
               Title == l.Title && InfoRich == l.InfoRich && InfoPlain == l.InfoPlain && URL == l.URL;
    }
    void SwapWith(TLoop& l) {
        std::swap(l.CurrentPattern, CurrentPattern);
        std::swap(l.Tempo, Tempo);
        swapRelaxed(l.Shuffle, Shuffle);
        swapRelaxed(l.MainVolume, MainVolume);
        swapRelaxed(l.MainPitch, MainPitch);
        std::swap(l.MainResonance, MainResonance);
        std::swap(l.MainCutOff, MainCutOff);
        swapRelaxed(l.SongLoopPosition, SongLoopPosition);
        std::swap(l.ShowInfo, ShowInfo);
        l.Title.swap(Title);
        l.InfoRich.swap(InfoRich);
        l.InfoPlain.swap(InfoPlain);
        l.URL.swap(URL);
    }
    size_t Bytes() const {
        return sizeof(*this) + Title.capacity() + InfoRich.capacity() + InfoPlain.capacity() + URL.capacity();
    }
};

size_t playlistBytes(const TPlayList& p) {
    size_t n = sizeof(TPlayList);
    for (int pos = 0; pos < PlayListPositions; ++pos) n += p.At(pos).capacity() * sizeof(int16_t);
    return n;
}

bool samePlaylist(const TPlayList& a, const TPlayList& b) {
    for (int pos = 0; pos < PlayListPositions; ++pos)
        if (a.At(pos) != b.At(pos)) return false;
    return true;
}

}  // namespace

// One kept part. Swap exchanges the kept state with the loop's (under the
// engine lock); Notify tells the loop's watchers afterwards.
struct TUndoHistory::Action {
    virtual ~Action() = default;
    virtual bool Unchanged(const TLoop&) const { return false; }
    virtual void Swap(TLoop&) = 0;
    virtual void Notify(TLoop&) {}
    virtual bool Structural() const { return false; }
    virtual size_t Bytes() const = 0;
};

namespace {

using Action = TUndoHistory::Action;

struct PatternAction final : Action {
    int Ch, Pattern;
    PatternRecord Kept;
    PatternAction(const TLoop& l, int ch, int p) : Ch(ch), Pattern(p), Kept(l.Channel(ch).Pattern(p)) {}
    bool Unchanged(const TLoop& l) const override { return Kept == l.Channel(Ch).Pattern(Pattern); }
    void Swap(TLoop& l) override { std::swap(l.Channel(Ch).Pattern(Pattern), Kept); }
    void Notify(TLoop& l) override {
        if (!l.Events.StepChanged || Ch >= l.ChannelCount()) return;
        for (int s = 0; s < StepsPerPattern; ++s) l.Events.StepChanged(Ch, Pattern, s);
    }
    size_t Bytes() const override { return sizeof(*this); }
};

struct ChannelAction final : Action {
    int Ch;
    ChannelState Kept;
    bool NameChanged = false, ZipChanged = false;
    ChannelAction(const TLoop& l, int ch) : Ch(ch), Kept(l.Channel(ch)) {}
    bool Unchanged(const TLoop& l) const override { return Kept.Same(l.Channel(Ch)); }
    void Swap(TLoop& l) override {
        NameChanged = Kept.Name != l.Channel(Ch).Name;
        ZipChanged = Kept.Minimized != l.Channel(Ch).Minimized;
        Kept.SwapWith(l, l.Channel(Ch));
    }
    void Notify(TLoop& l) override {
        if (Ch >= l.ChannelCount()) return;
        if (NameChanged && l.Events.ChannelNamesChanged) l.Events.ChannelNamesChanged();
        if (l.Events.ChannelChanged) l.Events.ChannelChanged(Ch);
        if (ZipChanged && l.Events.ChannelsChanged) l.Events.ChannelsChanged();
    }
    size_t Bytes() const override { return sizeof(*this) - sizeof(ChannelState) + Kept.Bytes(); }
};

struct ValuesAction final : Action {
    ValuesState Kept;
    explicit ValuesAction(const TLoop& l) : Kept(l) {}
    bool Unchanged(const TLoop& l) const override { return Kept.Same(l); }
    void Swap(TLoop& l) override { Kept.SwapWith(l); }
    void Notify(TLoop& l) override {
        if (l.Events.LoopValuesChanged) l.Events.LoopValuesChanged();
    }
    size_t Bytes() const override { return sizeof(*this) - sizeof(ValuesState) + Kept.Bytes(); }
};

struct PlaylistAction final : Action {
    TPlayList Kept;
    explicit PlaylistAction(const TLoop& l) : Kept(l.PlayList) {}
    bool Unchanged(const TLoop& l) const override { return samePlaylist(Kept, l.PlayList); }
    void Swap(TLoop& l) override { std::swap(l.PlayList, Kept); }
    void Notify(TLoop& l) override {
        l.ComputeSongLength();
        if (l.Events.LoopValuesChanged) l.Events.LoopValuesChanged();
    }
    size_t Bytes() const override { return sizeof(*this) - sizeof(TPlayList) + playlistBytes(Kept); }
};

}  // namespace

// A channel inserted or deleted: swapping takes it out of the loop or puts
// it back. While it is out the action holds it; `Others` keeps the links of
// every other channel as they are on the side of the step the loop is not on.
struct TUndoHistory::ChannelMove final : TUndoHistory::Action {
    int Index;
    std::unique_ptr<TChannel> Held;
    std::vector<TChannelLinks> Others;

    ChannelMove(int index, std::vector<TChannelLinks> others) : Index(index), Others(std::move(others)) {}
    bool Structural() const override { return true; }
    void Swap(TLoop& l) override {
        if (Held) {
            l.channels_.insert(l.channels_.begin() + Index, std::move(Held));
        } else {
            if (l.SampleFreeing) l.SampleFreeing(l.Channel(Index).Sample);
            Held = std::move(l.channels_[size_t(Index)]);
            l.channels_.erase(l.channels_.begin() + Index);
        }
        // The others, skipping this channel when it is in.
        size_t k = 0;
        for (int c = 0; c < l.ChannelCount() && k < Others.size(); ++c) {
            if (!Held && c == Index) continue;
            TChannel& ch = l.Channel(c);
            TChannelLinks& o = Others[k++];
            std::swap(ch.MixWith, o.MixWith);
            ch.RandomWith.swap(o.RandomWith);
            std::swap(ch.Minimized, o.Minimized);
            std::swap(ch.Selected, o.Selected);
        }
    }
    size_t Bytes() const override {
        size_t n = sizeof(*this) + Others.capacity() * sizeof(TChannelLinks);
        for (const TChannelLinks& k : Others) n += k.RandomWith.capacity() * sizeof(int32_t);
        if (Held) n += sizeof(TChannel) + sizeof(PatternRecord) * PatternCount + Held->Sample.Data.Bytes();
        return n;
    }
};

// ---------------------------------------------------------------------------

TUndoHistory::TUndoHistory(TLoop& loop, size_t maxSteps, size_t maxBytes)
    : loop_(loop), maxSteps_(std::max<size_t>(maxSteps, 1)), maxBytes_(maxBytes) {
    loop_.Recorder = this;
}

TUndoHistory::~TUndoHistory() {
    if (loop_.Recorder == this) loop_.Recorder = nullptr;
}

void TUndoHistory::changed() {
    if (Changed) Changed();
}

// A single change outside a gesture is complete once anything else happens.
void TUndoHistory::settle() {
    dropped_.clear();
    if (depth_ == 0 && current_) finish();
}

bool TUndoHistory::openFor(uint64_t k, const char* defaultName, bool joinable) {
    if (replaying_ || linksTaken_) return false;
    settle();
    if (!current_ && joinable && depth_ == 0 && redo_.empty() && !undo_.empty() && undo_.back().JoinKey == k &&
        Now() - undo_.back().At < JoinWithin) {
        // The same knob still turning: its step stays open, keeping the state
        // from before the turn began.
        current_.emplace(std::move(undo_.back()));
        undo_.pop_back();
        bytes_ -= current_->Bytes;
        current_->Bytes = 0;
        touched_.clear();
        touched_.insert(k);
        return false;
    }
    if (!current_) {
        current_.emplace(Step{});  // a value: clang sees Step as not yet default-constructible here
        current_->Name = depth_ > 0 && !gestureName_.empty() ? gestureName_ : defaultName;
        if (joinable && depth_ == 0) current_->JoinKey = k;
        touched_.clear();
        changed();
    }
    return touched_.insert(k).second;
}

void TUndoHistory::add(std::unique_ptr<Action> a) { current_->Actions.push_back(std::move(a)); }

void TUndoHistory::PatternChanging(int ch, int pattern) {
    if (ch < 0 || ch >= loop_.ChannelCount() || pattern < 0 || pattern >= PatternCount) return;
    if (openFor(key(KeyPattern, ch, pattern), "step edit")) add(std::make_unique<PatternAction>(loop_, ch, pattern));
}

void TUndoHistory::ChannelChanging(int ch) {
    if (ch < 0 || ch >= loop_.ChannelCount()) return;
    if (openFor(key(KeyChannel, ch), "channel settings", true)) add(std::make_unique<ChannelAction>(loop_, ch));
}

void TUndoHistory::ValuesChanging() {
    if (openFor(key(KeyValues), "loop values", true)) add(std::make_unique<ValuesAction>(loop_));
}

void TUndoHistory::PlaylistChanging() {
    if (openFor(key(KeyPlaylist), "playlist")) add(std::make_unique<PlaylistAction>(loop_));
}

void TUndoHistory::ChannelsChanging() {
    if (replaying_) return;
    openFor(0, "channels");
    links_.clear();
    links_.reserve(size_t(loop_.ChannelCount()));
    for (int c = 0; c < loop_.ChannelCount(); ++c) {
        const TChannel& ch = loop_.Channel(c);
        links_.push_back({ch.MixWith, ch.RandomWith, ch.Minimized, ch.Selected});
    }
    linksTaken_ = true;
}

void TUndoHistory::ChannelInserted(int i) {
    if (replaying_ || !linksTaken_ || !current_) return;
    linksTaken_ = false;
    if (current_->Actions.empty() && current_->Name == "channels") current_->Name = "add channel";
    add(std::make_unique<ChannelMove>(i, std::move(links_)));
    links_.clear();
    touched_.clear();  // channel numbers have moved
}

void TUndoHistory::ChannelDeleted(int i, std::unique_ptr<TChannel>& gone) {
    if (replaying_ || !linksTaken_ || !current_) return;
    linksTaken_ = false;
    if (current_->Actions.empty() && current_->Name == "channels") current_->Name = "delete channel";
    if (i >= 0 && size_t(i) < links_.size()) links_.erase(links_.begin() + i);
    auto move = std::make_unique<ChannelMove>(i, std::move(links_));
    move->Held = std::move(gone);
    add(std::move(move));
    links_.clear();
    touched_.clear();
}

void TUndoHistory::DocumentReplaced() {
    if (replaying_) return;
    // May come with the engine lock held (a new loop is made under it), so
    // the old steps are only set aside here and freed at the next call.
    for (Step& s : undo_) dropped_.push_back(std::move(s));
    for (Step& s : redo_) dropped_.push_back(std::move(s));
    undo_.clear();
    redo_.clear();
    current_.reset();
    touched_.clear();
    links_.clear();
    linksTaken_ = false;
    bytes_ = 0;
    changed();
}

void TUndoHistory::BeginGesture(const std::string& name) {
    if (replaying_) return;
    if (depth_ == 0) {
        settle();
        gestureName_ = name;
    }
    ++depth_;
}

void TUndoHistory::EndGesture() {
    if (replaying_ || depth_ == 0) return;
    if (--depth_ == 0 && current_) finish();
}

void TUndoHistory::finish() {
    Step step = std::move(*current_);
    current_.reset();
    touched_.clear();
    // Parts that came back to what they were change nothing and are dropped.
    // Only those after the last channel move can be compared with the loop:
    // before it, channel numbers meant other channels.
    auto& acts = step.Actions;
    auto from = acts.begin();
    for (auto it = acts.begin(); it != acts.end(); ++it)
        if ((*it)->Structural()) from = it + 1;
    acts.erase(std::remove_if(from, acts.end(), [this](const auto& a) { return a->Unchanged(loop_); }), acts.end());
    if (acts.empty()) {
        changed();
        return;
    }
    for (const auto& a : acts) step.Bytes += a->Bytes();
    step.At = Now();
    dropRedo();
    bytes_ += step.Bytes;
    undo_.push_back(std::move(step));
    trim();
    changed();
}

void TUndoHistory::dropRedo() {
    for (const Step& s : redo_) bytes_ -= s.Bytes;
    redo_.clear();
}

void TUndoHistory::trim() {
    while (!undo_.empty() && (undo_.size() > maxSteps_ || (bytes_ > maxBytes_ && undo_.size() > 1))) {
        bytes_ -= undo_.front().Bytes;
        undo_.pop_front();
    }
}

bool TUndoHistory::CanUndo() {
    settle();
    return !undo_.empty();
}

bool TUndoHistory::CanRedo() {
    settle();
    return !redo_.empty();
}

std::string TUndoHistory::UndoName() { return CanUndo() ? undo_.back().Name : std::string(); }
std::string TUndoHistory::RedoName() { return CanRedo() ? redo_.back().Name : std::string(); }

std::string TUndoHistory::replay(std::deque<Step>& from, std::deque<Step>& to, bool backwards) {
    // A gesture still open (a key pressed in the middle of a drag) ends its
    // step here; the rest of the drag starts a new one.
    if (current_) finish();
    if (from.empty()) return {};
    Step step = std::move(from.back());
    from.pop_back();
    auto& acts = step.Actions;
    replaying_ = true;
    // Channels put back must not grow the list under the lock.
    const auto moves = std::count_if(acts.begin(), acts.end(), [](const auto& a) { return a->Structural(); });
    loop_.channels_.reserve(loop_.channels_.size() + size_t(moves));
    bool structural = false;
    {
        TLockGuard g(loop_.EngineLock());
        if (backwards)
            for (auto it = acts.rbegin(); it != acts.rend(); ++it) (*it)->Swap(loop_);
        else
            for (auto& a : acts) a->Swap(loop_);
    }
    // Kept sizes change as states swap (a sample or a channel changes hands).
    bytes_ -= step.Bytes;
    step.Bytes = 0;
    for (auto& a : acts) {
        step.Bytes += a->Bytes();
        structural = structural || a->Structural();
    }
    bytes_ += step.Bytes;
    loop_.Modified = true;
    if (structural) {
        loop_.notifyChannels();
        for (auto& a : acts)
            if (dynamic_cast<ValuesAction*>(a.get()) || dynamic_cast<PlaylistAction*>(a.get())) a->Notify(loop_);
    } else {
        for (auto& a : acts) a->Notify(loop_);
    }
    replaying_ = false;
    std::string name = step.Name;
    to.push_back(std::move(step));
    changed();
    return name;
}

std::string TUndoHistory::Undo() { return replay(undo_, redo_, true); }
std::string TUndoHistory::Redo() { return replay(redo_, undo_, false); }

void TUndoHistory::Clear() {
    dropped_.clear();
    current_.reset();
    touched_.clear();
    links_.clear();
    linksTaken_ = false;
    undo_.clear();
    redo_.clear();
    bytes_ = 0;
    changed();
}

}  // namespace tx
