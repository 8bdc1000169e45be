#include "window/TransportPanel.h"

#include <QMenu>
#include <algorithm>

#include "desktop/MainMenu.h"
#include "engine/Engine.h"
#include "model/Loop.h"
#include "window/PlacedControl.h"

namespace tx {

namespace {
constexpr int MeterFall = 4096;  // per tick
}  // namespace

TTransportPanel::TTransportPanel(TLoop& loop, TEngine* engine) : loop_(loop), engine_(engine) {
    setObjectName("MenuPic");
    setFixedSize(DefaultLayout::WindowWidth, 96);
    MixScope = PlacedControl<TWAVScope>(this, "MixScope");
    MixVolumeter = PlacedControl<TWAVVolumeter>(this, "MixVolumeter");
    ScopeButton = PlacedToggle(this, "ScopeButton", "|Switch visual");
    ScopeButton->SetDown(true);
    StartButton = PlacedToggle(this, "StartButton", "|Start playing");
    LoopButton = PlacedToggle(this, "LoopButton", "|Loop patterns");
    PatNumDig = PlacedControl<TRCADigital>(this, "PatNumDig", "|Select pattern");
    PatUpDown = PlacedControl<TZavoUpDown>(this, "PatUpDown", "|Select pattern");
    PatPad = PlacedControl<TNumpad>(this, "PatPad", "|Select pattern");
    BPMDig = PlacedControl<TRCADigital>(this, "BPMDig", "|Adjust Tempo");
    BPMUpDown = PlacedControl<TZavoUpDown>(this, "BPMUpDown", "|Adjust Tempo");
    FXVolBtn = PlacedToggle(this, "FXVolBtn", "|Panning / Volume Wheels");
    FXPitchBtn = PlacedToggle(this, "FXPitchBtn", "|Pitch / Mix Wheels");
    FXDrawBtn = PlacedToggle(this, "FXDrawBtn", "|Graph Edit");
    FXNoteBtn = PlacedToggle(this, "FXNoteBtn", "|Keyboard Edit");
    MainVolSlider = PlacedControl<TTrackSlider>(this, "MainVolSlider", "|Main Volume");
    ShuffleSlider = PlacedControl<TTrackSlider>(this, "ShuffleSlider", "|Shuffle");
    MainPitchSlider = PlacedControl<TTrackSlider>(this, "MainPitchSlider", "|Main Pitch");
    MainResoSlider = PlacedControl<TTrackSlider>(this, "MainResoSlider", "|Main Resonance");
    MainCutOffSlider = PlacedControl<TTrackSlider>(this, "MainCutOffSlider", "|Main Cutoff");
    for (TRCADigital* d : {PatNumDig, BPMDig}) d->SetFormatWidth(3);
    PatUpDown->SetRange(1, 999);
    PatUpDown->SetMoveSpeed(4);
    BPMUpDown->SetRange(MinTempo, MaxTempo);
    BPMUpDown->SetMoveSpeed(4);
    MainVolSlider->SetRange(0, 128);
    ShuffleSlider->SetRange(0, 128);
    MainPitchSlider->SetRange(-1200, 1200);
    MainPitchSlider->SetPageSize(25);
    MainResoSlider->SetRange(0, MainResoMax);
    MainCutOffSlider->SetRange(0, MainCutOffMax);
    ShowLoop();

    connect(ScopeButton, &TMyTransButton::Clicked, this, [this] {
        if (!ScopeButton->Down()) ClearScope();
    });
    connect(MixScope, &TWAVScope::Clicked, this, [this] { MixScope->SetStyle((MixScope->Style() + 1) % 3); });
    connect(PatPad, &TNumpad::Clicked, this, [this](int n) { PatUpDown->SetValue(n, true); });
    TempoMenu = new QMenu(this);
    for (int bpm : TempoPresets())
        TempoMenu->addAction(QString("%1 BPM").arg(bpm), this, [this, bpm] { BPMUpDown->SetValue(bpm, true); });
    auto slider = [this](TTrackSlider* s, auto apply) {
        connect(s, &TTrackSlider::Changed, this, [this, s, apply](int v) {
            loop_.TouchValues();
            apply(v);
            // The volume is shown in per cent of full volume, the others as they are.
            const int shown = s == MainVolSlider ? loop_.MainVolume * 100 / 128 : v;
            emit SliderHint(QString("|%1 %2").arg(TSkinWidget::LongHint(s->Hint())).arg(shown));
        });
    };
    slider(MainVolSlider, [this](int v) { loop_.MainVolume = 128 - v; });
    slider(ShuffleSlider, [this](int v) { loop_.Shuffle = v; });
    slider(MainPitchSlider, [this](int v) { loop_.MainPitch = -v; });  // the top is the highest pitch
    slider(MainResoSlider, [this](int v) {
        loop_.MainResonance = v;
        if (engine_) engine_->SetMainResonance(v);
    });
    slider(MainCutOffSlider, [this](int v) {
        loop_.MainCutOff = v;
        if (engine_) engine_->SetMainCutOff(v);
    });
}

void TTransportPanel::ShowLoop() {
    PatUpDown->SetValue(std::clamp(loop_.CurrentPattern, 1, 999), false);
    PatNumDig->SetValue(PatUpDown->Value());
    PatPad->SetValue(PatUpDown->Value());
    BPMUpDown->SetValue(loop_.Tempo, false);
    BPMDig->SetValue(loop_.Tempo);
    MainVolSlider->SetValue(128 - loop_.MainVolume, false);  // the top is full volume
    ShuffleSlider->SetValue(loop_.Shuffle, false);
    MainPitchSlider->SetValue(-loop_.MainPitch, false);
    MainResoSlider->SetValue(loop_.MainResonance, false);
    MainCutOffSlider->SetValue(loop_.MainCutOff, false);
    LoopButton->SetDown(loop_.SongMode);
}

void TTransportPanel::ClearScope() {
    MixScope->ClearData();
    scopeData_.clear();  // so the next block is drawn even if it is the same
    MixVolumeter->SetLevels(0, 0);
}

bool TTransportPanel::TickScope() {
    if (!engine_) return false;
    bool changed = false;
    // The mixer filled the block and set the flag (release); copy it, then
    // clear the flag to ask for the next one.
    if (engine_->ScopeFilled.load(std::memory_order_acquire)) {
        const TWAVSample& block = engine_->EL.ScopeSample;
        // While stopped the mixer hands over silence every block: an unchanged
        // picture is not painted again, which keeps the idle window asleep.
        const bool same = std::equal(block.Data.begin(), block.Data.end(), scopeData_.begin(), scopeData_.end());
        if (!same) scopeData_.assign(block.Data.begin(), block.Data.end());
        engine_->ScopeFilled.store(false, std::memory_order_release);
        if (!same) MixScope->SetData(scopeData_.data(), int(scopeData_.size() / 2));
        changed = !same;
    }
    const int left = std::max(MixVolumeter->LeftLevel() - MeterFall, engine_->PeakLeft.exchange(0));
    const int right = std::max(MixVolumeter->RightLevel() - MeterFall, engine_->PeakRight.exchange(0));
    if (left != MixVolumeter->LeftLevel() || right != MixVolumeter->RightLevel()) {
        MixVolumeter->SetLevels(std::max(left, 0), std::max(right, 0));
        changed = true;
    }
    return changed;
}

}  // namespace tx
