#pragma once
#include <functional>
#include <string>
#include <vector>

namespace tx {

class TLoop;

// Files dropped on the channel area: where they go and how many channels are
// made for them, decided from the rows' name buttons alone so the rules are
// tested without widgets. Window thread only.

// A channel's name button in the channel area's coordinates.
struct TDropRow {
    int NameLeft = 0, NameTop = 0, NameRight = 0, NameBottom = 0;  // right and bottom exclusive
    bool Minimized = false;
};

struct TChannelDropPlan {
    bool OpenLoop = false;      // the first file is a loop file: open it, nothing else
    int Target = -1;            // first channel loaded
    bool OnChannel = false;     // dropped on the target channel itself
    bool ClickStepRow = false;  // on a shown channel: the press at the drop point selects it
    int InsertAt = 0;           // where the new channels go
    int InsertCount = 0;
    std::vector<std::string> Files;    // loaded in order from Target
    std::vector<std::string> Refused;  // beyond what a loop may hold
};

// True when the name's extension is ".txp" in any letter case.
bool IsLoopFileName(const std::string& path);

// `channelCount` rows are described by `rows`; a loop never grows beyond
// `maxChannels` (the loop reader's limit), so a larger drop is cut short and
// the rest listed in Refused.
TChannelDropPlan PlanChannelDrop(const std::vector<std::string>& files, int x, int y, const std::vector<TDropRow>& rows,
                                 int maxChannels);

// Inserts the plan's channels and calls load(channel, file) for each file in
// order. The loop takes the engine lock inside each insertion.
void ApplyChannelDrop(TLoop& loop, const TChannelDropPlan& plan,
                      const std::function<void(int, const std::string&)>& load);

// The message for files a drop could not take; empty when none.
std::string RefusedDropText(const TChannelDropPlan& plan, int maxChannels);

}  // namespace tx
