#pragma once
#include <string>

namespace tx {

class TLoop;

// A loop's song information: title, note, URL and the show-on-open flag.
// The note is the rich-text stream as read (kept byte for byte while nobody
// edits it) or, from older files, plain text.
struct TSongInfo {
    std::string Title;
    std::string InfoRich;
    std::string InfoPlain;
    std::string URL;
    bool ShowInfo = false;
    bool operator==(const TSongInfo&) const = default;
};

TSongInfo SongInfoOf(const TLoop& loop);

// Puts `info` into the loop as one undo step ("loop info") and marks the
// loop modified, only when something differs; returns whether it did.
// Nothing the mixer reads changes, so no engine lock is taken.
bool SetSongInfo(TLoop& loop, const TSongInfo& info);

}  // namespace tx
