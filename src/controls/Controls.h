#pragma once

// Every skinned control at once.
#include "controls/ImageStrip.h"
#include "controls/MyTransButton.h"
#include "controls/NewMenu.h"
#include "controls/Numpad.h"
#include "controls/RCADigital.h"
#include "controls/TrackSlider.h"
#include "controls/WAVScope.h"
#include "controls/WAVVolumeter.h"
#include "controls/WAVWheel.h"
#include "controls/WPControl.h"
#include "controls/ZavoUpDown.h"
