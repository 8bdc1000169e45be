#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "controls/Controls.h"

class QMenu;

namespace tx {

class TLoop;
class TEngine;

// The transport panel ("MenuPic"): scope and meter, start and loop buttons,
// pattern and tempo displays, the wheel-mode buttons and the five main
// sliders. The sliders write the loop (and the engine's filter) themselves;
// everything else is wired by the main window. Window thread only.
class TTransportPanel : public TWPControl {
    Q_OBJECT
public:
    // `engine` may be null.
    TTransportPanel(TLoop& loop, TEngine* engine);

    // Every control that shows a loop value shows the loop's.
    void ShowLoop();
    // Copies the mixer's last scope block and lowers the meter by one tick's
    // fall; true when the picture changed.
    bool TickScope();
    // Scope and meter go dark (the scope switched off).
    void ClearScope();

    TWAVScope* MixScope = nullptr;
    TWAVVolumeter* MixVolumeter = nullptr;
    TMyTransButton *ScopeButton = nullptr, *StartButton = nullptr, *LoopButton = nullptr;
    TRCADigital *PatNumDig = nullptr, *BPMDig = nullptr;
    TZavoUpDown *PatUpDown = nullptr, *BPMUpDown = nullptr;
    TNumpad* PatPad = nullptr;
    TMyTransButton *FXVolBtn = nullptr, *FXPitchBtn = nullptr, *FXDrawBtn = nullptr, *FXNoteBtn = nullptr;
    TTrackSlider *MainVolSlider = nullptr, *ShuffleSlider = nullptr, *MainPitchSlider = nullptr;
    TTrackSlider *MainResoSlider = nullptr, *MainCutOffSlider = nullptr;
    QMenu* TempoMenu = nullptr;  // the tempo presets, on a right click of the tempo display

signals:
    // A slider moved: its name and value for the hint panel ("|Shuffle 64").
    void SliderHint(const QString& hint);

private:
    TLoop& loop_;
    TEngine* engine_;
    std::vector<int16_t> scopeData_;  // the panel's copy of the mixer's last scope block
};

}  // namespace tx
