#include "model/SongInfo.h"

#include "model/Loop.h"

namespace tx {

TSongInfo SongInfoOf(const TLoop& loop) { return {loop.Title, loop.InfoRich, loop.InfoPlain, loop.URL, loop.ShowInfo}; }

bool SetSongInfo(TLoop& loop, const TSongInfo& info) {
    if (SongInfoOf(loop) == info) return false;
    loop.BeginGesture("loop info");
    loop.TouchValues();
    loop.Title = info.Title;
    loop.InfoRich = info.InfoRich;
    loop.InfoPlain = info.InfoPlain;
    loop.URL = info.URL;
    loop.ShowInfo = info.ShowInfo;
    loop.EndGesture();
    loop.Modified = true;
    return true;
}

}  // namespace tx
