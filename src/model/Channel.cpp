#include "model/Channel.h"

namespace tx {

TChannel::TChannel(int ownIndex)
    : MixWith(ownIndex), RandomWith{ownIndex}, patterns_(std::make_unique<std::array<PatternRecord, PatternCount>>()) {
    ControllerTable.fill(MidiNone);
}

}  // namespace tx
