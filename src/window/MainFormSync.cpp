// The window's side of following a MIDI clock: what the clock did, shown.
#include "window/MainForm.h"

namespace tx {

void TTrovamixMainForm::SyncPlayingChanged(bool started) {
    transport_->StartButton->SetDown(started);
    quietTicks_ = 0;  // the lights follow from the first step
}

void TTrovamixMainForm::ShowSyncTempo(int bpm) {
    transport_->BPMDig->SetValue(bpm);
    transport_->BPMUpDown->SetValue(bpm, false);  // shown only: the engine runs at it already
}

}  // namespace tx
