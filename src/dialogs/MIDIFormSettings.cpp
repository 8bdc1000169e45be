#include "dialogs/MIDIFormSettings.h"

#include "dialogs/MIDIForm.h"

namespace tx {

namespace {

struct TBoxBinding {
    bool TDesktopSettings::*Member;
    bool (TMIDIForm::*Get)() const;
    void (TMIDIForm::*Set)(bool);
};

using D = TDesktopSettings;
using F = TMIDIForm;
constexpr TBoxBinding kBoxes[] = {
    {&D::EasyMove, &F::EasyMove, &F::SetEasyMove},
    {&D::AutoArrange, &F::AutoArrange, &F::SetAutoArrange},
    {&D::AutoMaximize, &F::AutoMaximize, &F::SetAutoMaximize},
    {&D::AdjustChannelName, &F::AdjustChanName, &F::SetAdjustChanName},
    {&D::Surround, &F::Surround, &F::SetSurround},
    {&D::SplashScreen, &F::SplashScreen, &F::SetSplashScreen},
    {&D::CloseDS, &F::CloseDS, &F::SetCloseDS},
    {&D::MouseUse, &F::MouseUse, &F::SetMouseUse},
    {&D::LedsOver, &F::LedsOver, &F::SetLedsOver},
    {&D::PreviewWAV, &F::PreviewWAV, &F::SetPreviewWAV},
    {&D::UsePlugin, &F::UsePlugin, &F::SetUsePlugin},
};

// The stored remainder: 0 cut, 1 leave, anything else wrap.
TRemainder remainderOf(int32_t stored) {
    return stored == 0 ? TRemainder::Cut : stored == 1 ? TRemainder::Leave : TRemainder::Wrap;
}

}  // namespace

void LoadIntoSettingsWindow(const TDesktopSettings& s, TMIDIForm& w) {
    for (const TBoxBinding& b : kBoxes) (w.*b.Set)(s.*b.Member);
    w.SetBankSelectMethod(s.BankSelectMethod);
    w.SetRenderingRemainder(remainderOf(s.RenderingRemainder));
}

void StoreFromSettingsWindow(const TMIDIForm& w, TDesktopSettings& s) {
    for (const TBoxBinding& b : kBoxes) s.*b.Member = (w.*b.Get)();
    // Any other value than controller 0 means controller 32.
    s.BankSelectMethod = w.BankSelectMethod() != 0 ? 1 : 0;
    s.RenderingRemainder = int32_t(w.RenderingRemainder());
}

}  // namespace tx
