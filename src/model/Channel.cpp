#include "model/Channel.h"

namespace tx {

namespace {

using PatternArray = std::array<PatternRecord, PatternCount>;

// Every new channel starts from reset records; copying one prepared array is a
// single block copy instead of a thousand resets (loop files may add hundreds
// of channels, and the fuzzer reads thousands of files).
const PatternArray& resetPatterns() {
    static const auto prototype = std::make_unique<PatternArray>();
    return *prototype;
}

}  // namespace

TChannel::TChannel(int ownIndex)
    : MixWith(ownIndex), RandomWith{ownIndex}, patterns_(std::make_unique<PatternArray>(resetPatterns())) {
    ControllerTable.fill(MidiNone);
}

}  // namespace tx
