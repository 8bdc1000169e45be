#pragma once
#include <string>
#include <vector>

#include "samples/Samples.h"

namespace tx {

class TLoop;

// "&Collect Samples...": copies every sample a loop uses into one folder,
// apart from any widget. Window thread (the copy runs with no lock held: it
// reads only the channels' names, taken beforehand).

// True while at least one channel names a sample file.
bool AnyChannelNamesSample(const TLoop& loop);
// The channels' sample names, each once (exact spelling), in channel order.
std::vector<std::string> DistinctSampleNames(const TLoop& loop);
// "Copy the n samples you used to..."
std::string CollectPromptText(int count);

enum class TCollectOutcome {
    Copied,        // copied into the folder
    AlreadyThere,  // the same file is already in the folder (or the sample lives there)
    NotFound,      // no file was located for the name
    NameTaken,     // a different file of the same name is already in the folder
    CopyFailed,    // reading or writing failed; Why says how
};

struct TCollectItem {
    std::string StoredName;  // as the loop names it
    std::string Source;      // the located file; empty when not found
    TCollectOutcome Outcome = TCollectOutcome::NotFound;
    std::string Why;  // CopyFailed: the system's reason
};

struct TCollectReport {
    std::vector<TCollectItem> Items;
    int Count(TCollectOutcome outcome) const;
    // One short message: how many were copied, and each sample that was not, with the reason.
    std::string Text() const;
};

// Locates each name once and copies each located file once under its own
// file name, never over an existing file. A copy is written to a temporary
// name and linked into place, so a failed copy leaves nothing half-written
// and a file that appeared meanwhile is not replaced.
TCollectReport CollectSampleFiles(const std::vector<std::string>& storedNames, const TLocateContext& where,
                                  const std::string& folder);

}  // namespace tx
