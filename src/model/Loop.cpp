#include "model/Loop.h"

#include <algorithm>

#include "model/TextCase.h"

namespace tx {

namespace {
template <typename F>
void fire(const F& f) {
    if (f) f();
}
}  // namespace

TLoop::TLoop() { ResetToNew(); }

void TLoop::notifyChannels() {
    fire(Events.ChannelsChanged);
    fire(Events.ChannelNamesChanged);
}

void TLoop::ResetToNew() {
    // The new channels are built and the old ones freed outside the lock
    // (each holds 114 kB of records and maybe a sample): only swaps inside.
    TChannelList fresh, old;
    for (int i = 0; i < MinChannels; ++i) fresh.push_back(std::make_unique<TChannel>(i));
    TPlayList emptyList;
    {
        TLockGuard g(lock_);
        if (SampleFreeing)
            for (auto& c : channels_) SampleFreeing(c->Sample);
        old.swap(channels_);
        channels_.swap(fresh);
        SongPosition = SongMode ? 0 : -1;
        std::swap(PlayList, emptyList);
        PlaylistRow = 1;
        SongLength = 0;
    }
    Title.clear();
    InfoRich.clear();
    InfoPlain.clear();
    URL.clear();
    ShowInfo = false;
    Shuffle = 0;
    MainVolume = 128;
    MainPitch = 0;
    SongLoopPosition = 0;
    MainResonance = MainResoMax;
    MainCutOff = MainCutOffMax;
    WindowHeight = 0;
    LoadedVersion = 0;
    SelectChannelAlone(0);
    notifyChannels();
    if (Recorder) Recorder->DocumentReplaced();
}

void TLoop::AdoptDocument(TLoop& other) {
    if (&other == this) return;
    {
        TLockGuard g(lock_);
        if (SampleFreeing)
            for (auto& c : channels_) SampleFreeing(c->Sample);
        channels_.swap(other.channels_);
        std::swap(PlayList, other.PlayList);
        std::swap(CurrentPattern, other.CurrentPattern);
        std::swap(Tempo, other.Tempo);
        TRelaxed<int32_t> t = Shuffle;
        Shuffle = other.Shuffle;
        other.Shuffle = t;
        t = MainVolume;
        MainVolume = other.MainVolume;
        other.MainVolume = t;
        t = MainPitch;
        MainPitch = other.MainPitch;
        other.MainPitch = t;
        t = SongLoopPosition;
        SongLoopPosition = other.SongLoopPosition;
        other.SongLoopPosition = t;
        std::swap(MainResonance, other.MainResonance);
        std::swap(MainCutOff, other.MainCutOff);
        std::swap(SongMode, other.SongMode);
        std::swap(SongLength, other.SongLength);
        std::swap(PlaylistRow, other.PlaylistRow);
    }
    // Fields no playback thread reads.
    std::swap(Title, other.Title);
    std::swap(InfoRich, other.InfoRich);
    std::swap(InfoPlain, other.InfoPlain);
    std::swap(URL, other.URL);
    std::swap(ShowInfo, other.ShowInfo);
    std::swap(Modified, other.Modified);
    std::swap(LoopFileName, other.LoopFileName);
    std::swap(LoadedVersion, other.LoadedVersion);
    std::swap(WindowHeight, other.WindowHeight);
    notifyChannels();
    if (Recorder) Recorder->DocumentReplaced();
}

void TLoop::ResetPattern(int ch, int pattern) {
    TouchPattern(ch, pattern);
    {
        TLockGuard g(lock_);
        Channel(ch).Pattern(pattern).Reset();
    }
    Modified = true;
}

bool TLoop::GetStep(int ch, int pattern, int step) const { return Channel(ch).Pattern(pattern).GetStep(step); }

void TLoop::SetStep(int ch, int pattern, int step, bool on) {
    TouchPattern(ch, pattern);
    Channel(ch).Pattern(pattern).SetStep(step, on);
    Modified = true;
    if (Events.StepChanged) Events.StepChanged(ch, pattern, step);
}

void TLoop::SetStepValue(int ch, int pattern, int row, int step, uint8_t value) {
    if (row < 0 || row >= StepRowCount || step < 0 || step >= StepsPerPattern) return;
    TouchPattern(ch, pattern);
    Channel(ch).Pattern(pattern).SetValue(row, step, value);
    Modified = true;
    if (Events.StepChanged) Events.StepChanged(ch, pattern, step);
}

bool TLoop::PatternIsEmpty(int pattern) const {
    if (pattern < 0 || pattern >= PatternCount) return true;
    return std::all_of(channels_.begin(), channels_.end(),
                       [pattern](const auto& c) { return c->Pattern(pattern).StepMask == 0; });
}

int TLoop::AddChannel() {
    int idx = ChannelCount();
    auto fresh = std::make_unique<TChannel>(idx);
    if (Recorder) Recorder->ChannelsChanging();
    {
        // The list of pointers may move as it grows, so only under the lock.
        TLockGuard g(lock_);
        channels_.push_back(std::move(fresh));
    }
    SetMinimized(idx, false);
    if (Recorder) Recorder->ChannelInserted(idx);
    notifyChannels();
    Modified = true;
    return idx;
}

void TLoop::InsertChannel(int i) {
    i = std::clamp(i, 0, ChannelCount());
    auto fresh = std::make_unique<TChannel>(i);
    if (Recorder) Recorder->ChannelsChanging();
    {
        TLockGuard g(lock_);
        for (auto& c : channels_) {
            if (c->MixWith >= i) ++c->MixWith;
            for (int32_t& r : c->RandomWith)
                if (r >= i) ++r;
        }
        channels_.insert(channels_.begin() + i, std::move(fresh));
    }
    // As a channel added at the end: shown, and selected alone.
    SetMinimized(i, false);
    if (Recorder) Recorder->ChannelInserted(i);
    notifyChannels();
    Modified = true;
}

bool TLoop::DeleteChannel(int i) {
    if (!CanDeleteChannel() || i < 0 || i >= ChannelCount()) return false;
    std::unique_ptr<TChannel> gone;  // freed after the lock is released, or kept for undo
    if (Recorder) Recorder->ChannelsChanging();
    {
        TLockGuard g(lock_);
        if (SampleFreeing) SampleFreeing(Channel(i).Sample);
        gone = std::move(channels_[size_t(i)]);
        channels_.erase(channels_.begin() + i);
        for (auto& c : channels_) {
            if (c->MixWith >= i) --c->MixWith;
            auto& rw = c->RandomWith;
            rw.erase(std::remove(rw.begin(), rw.end(), i), rw.end());
            for (int32_t& r : rw)
                if (r > i) --r;
        }
    }
    if (Recorder) Recorder->ChannelDeleted(i, gone);
    notifyChannels();
    Modified = true;
    return true;
}

void TLoop::SetChannelName(int i, const std::string& text) {
    TChannel& c = Channel(i);
    if (c.Name != text) {
        TouchChannel(i);
        c.Name = text;
        fire(Events.ChannelNamesChanged);
    }
    if (Events.ChannelChanged) Events.ChannelChanged(i);
}

void TLoop::SetMinimized(int i, bool flag) {
    TChannel& c = Channel(i);
    if (c.Minimized != flag) TouchChannel(i);
    c.Minimized = flag;
    if (flag)
        c.Selected = false;
    else
        SelectChannelAlone(i);
    if (Events.ChannelChanged) Events.ChannelChanged(i);
}

void TLoop::SelectChannelAlone(int i) {
    if (i < 0 || i >= ChannelCount() || Channel(i).Minimized) return;
    for (int k = 0; k < ChannelCount(); ++k) Channel(k).Selected = (k == i);
    fire(Events.SelectionChanged);
}

int TLoop::SelectedChannel() const {
    for (int k = 0; k < ChannelCount(); ++k)
        if (Channel(k).Selected) return k;
    return -1;
}

std::string TLoop::ChannelListName(int i) const {
    const std::string& n = Channel(i).Name;
    return n.empty() ? "Channel " + std::to_string(i) : n;
}

bool TLoop::OpenLoopByExtension(const std::string& fileName, const std::function<void(const std::string&)>& open) {
    auto dot = fileName.find_last_of('.');
    auto slash = fileName.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    if (!EqualNoCase(std::string_view(fileName).substr(dot), ".TXP")) return false;
    if (open) open(fileName);
    return true;
}

void TLoop::LoadSamplesIntoChannels(int first, const std::vector<std::string>& names,
                                    const std::function<void(int, const std::string&)>& load) {
    int idx = std::max(first, 0);
    TLoopGesture gesture(*this, "samples");
    for (const std::string& name : names) {
        while (idx >= ChannelCount()) AddChannel();
        if (load) load(idx, name);
        ++idx;
    }
}

int TLoop::PatternsAt(int pos, TPatternList& out) const {
    out.Clear();
    if (PlayList.IsEmpty()) {
        out.Push(int16_t(std::clamp(pos + 1, 0, MaxPattern)));
    } else if (pos < 0 || pos >= PlayListPositions || PlayList.At(pos).empty()) {
        out.Push(0);
    } else {
        for (int16_t p : PlayList.At(pos)) out.Push(p);
    }
    return out.First();
}

int TLoop::NormalizeSongPosition(int pos) const {
    if (!PlayList.IsEmpty()) {
        for (int p = std::max(pos, 0); p < PlayListPositions; ++p)
            if (!PlayList.At(p).empty()) return p;
        return SongLoopPosition;
    }
    if (pos < 0 || pos + 1 > MaxPattern || PatternIsEmpty(pos + 1)) return SongLoopPosition;
    return pos;
}

void TLoop::ComputeSongLength() {
    if (PlayList.IsEmpty()) {
        int n = 0;
        while (2 + n <= MaxPattern && !PatternIsEmpty(2 + n)) ++n;
        SongLength = n;
    } else {
        int last = PlayList.LastUsed();
        SongLength = last >= 1 ? last : 0;
    }
}

void TLoop::SetSongPosition(int pos) {
    int old, now;
    {
        // The step timer reads the playing patterns.
        TLockGuard g(lock_);
        old = SongPosition;
        SongPosition = NormalizeSongPosition(pos);
        if (SongMode) PatternsAt(SongPosition, PlayingPatterns);
        now = SongPosition;
    }
    if (old != now && Events.PlaylistPositionChanged) {
        Events.PlaylistPositionChanged(old);
        Events.PlaylistPositionChanged(now);
    }
}

void TLoop::SetPatternAt(int pattern, int pos, bool present) {
    bool changed;
    if (pos >= 0 && pos < PlayListPositions && PlayList.Contains(pos, pattern) != present) TouchPlaylist();
    {
        // Adding may grow the position's list while the mixer copies it.
        TLockGuard g(lock_);
        changed = PlayList.SetPatternAt(pattern, pos, present);
    }
    if (changed) {
        Modified = true;
        if (Events.PlaylistPositionChanged) Events.PlaylistPositionChanged(pos);
    }
}

void TLoop::ClearPlaylist() {
    TPlayList emptyList;  // the old lists are freed after the lock is released
    TouchPlaylist();
    {
        TLockGuard g(lock_);
        std::swap(PlayList, emptyList);
    }
    Modified = true;
}

void TLoop::InsertBar(int pos) {
    TouchPlaylist();
    {
        TLockGuard g(lock_);
        PlayList.InsertBar(pos);
    }
    Modified = true;
}

void TLoop::DeleteBar(int pos) {
    TouchPlaylist();
    {
        TLockGuard g(lock_);
        PlayList.DeleteBar(pos);
    }
    Modified = true;
}

void TLoop::InsertCurrentPatternInPlayList(bool windowVisible) {
    if (!windowVisible) {
        int last = -1;
        for (int p = 0; p <= 510; ++p)
            if (!PlayList.At(p).empty()) last = p;
        PlaylistRow = last + 2;  // the first position after the last used one; row = position + 1
    }
    SetPatternAt(CurrentPattern, PlaylistRow - 1, true);
    if (PlaylistRow < 511) ++PlaylistRow;
}

std::string NameButtonCaption(const std::string& name) { return name.empty() ? "SET" : name; }
std::string NameButtonHint(const std::string& name) { return "|" + name; }
std::string SelectButtonHint(const std::string& name) { return "|Select " + name; }

std::string ShortenToWidth(std::string text, int maxWidth, const std::function<int(const std::string&)>& measure) {
    while (!text.empty() && measure(text) > maxWidth) text.pop_back();
    return text;
}

}  // namespace tx
