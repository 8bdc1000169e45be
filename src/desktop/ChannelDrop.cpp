#include "desktop/ChannelDrop.h"

#include <algorithm>

#include "model/Loop.h"

namespace tx {

bool IsLoopFileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() < 4) return false;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return ext == ".TXP";
}

TChannelDropPlan PlanChannelDrop(const std::vector<std::string>& files, int x, int y, const std::vector<TDropRow>& rows,
                                 int maxChannels) {
    TChannelDropPlan plan;
    if (files.empty()) return plan;
    if (IsLoopFileName(files.front())) {
        plan.OpenLoop = true;
        plan.Files = {files.front()};
        return plan;
    }
    const int count = int(rows.size());
    int found = -1;
    for (int i = 0; i < count; ++i) {
        const TDropRow& r = rows[size_t(i)];
        if (r.NameBottom > y && (!r.Minimized || r.NameRight > x)) {
            found = i;
            break;
        }
    }
    if (found >= 0) {
        const TDropRow& r = rows[size_t(found)];
        plan.OnChannel = y >= r.NameTop && (!r.Minimized || x >= r.NameLeft);
    }
    plan.Target = found >= 0 ? found : count;
    plan.ClickStepRow = plan.OnChannel && !rows[size_t(found)].Minimized;
    plan.InsertAt = plan.OnChannel ? plan.Target + 1 : plan.Target;

    // The loop reader refuses a file with more channels than this, so a drop
    // never makes a loop that could not be opened again.
    const int room = std::max(0, maxChannels - count) + (plan.OnChannel ? 1 : 0);
    const int taken = std::min(int(files.size()), room);
    plan.Files.assign(files.begin(), files.begin() + taken);
    plan.Refused.assign(files.begin() + taken, files.end());
    plan.InsertCount = plan.OnChannel ? std::max(0, taken - 1) : taken;
    if (taken == 0) plan.Target = -1;
    return plan;
}

void ApplyChannelDrop(TLoop& loop, const TChannelDropPlan& plan,
                      const std::function<void(int, const std::string&)>& load) {
    if (plan.OpenLoop || plan.Files.empty() || plan.Target < 0) return;
    for (int i = 0; i < plan.InsertCount; ++i) loop.InsertChannel(plan.InsertAt + i);
    loop.LoadSamplesIntoChannels(plan.Target, plan.Files, load);
}

std::string RefusedDropText(const TChannelDropPlan& plan, int maxChannels) {
    if (plan.Refused.empty()) return {};
    const size_t n = plan.Refused.size();
    std::string text = "A loop holds at most " + std::to_string(maxChannels) + " channels, so " +
                       (n == 1 ? std::string("this dropped file was") : std::to_string(n) + " dropped files were") +
                       " not loaded:";
    constexpr size_t Listed = 10;  // a drop of hundreds names the first few
    for (size_t i = 0; i < n && i < Listed; ++i) {
        const std::string& f = plan.Refused[i];
        text += "\n" + f.substr(f.find_last_of('/') + 1);
    }
    if (n > Listed) text += "\nand " + std::to_string(n - Listed) + " more.";
    return text;
}

}  // namespace tx
