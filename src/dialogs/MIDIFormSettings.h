#pragma once
// Which stored value each of the settings window's boxes keeps while the
// program runs: one table serves copying the loaded values in and the
// window's values back out for saving.
#include "desktop/DesktopSettings.h"

namespace tx {

class TMIDIForm;

// Loads the boxes, the bank select method and the rendering remainder.
void LoadIntoSettingsWindow(const TDesktopSettings& s, TMIDIForm& w);
// Takes them back; every other member of `s` stays as it was.
void StoreFromSettingsWindow(const TMIDIForm& w, TDesktopSettings& s);

}  // namespace tx
