// The main window's links to the channel settings window: the name buttons
// show and hide it, the rows and the window keep each other's volume and
// mute, Page Up/Down reach it, and the settings keep its place and sheet.
#include <QApplication>

#include "desktop/DesktopSettings.h"
#include "dialogs/FavOpenDialog.h"
#include "engine/SampleInstall.h"
#include "model/Loop.h"
#include "window/ChannelForm.h"
#include "window/MainForm.h"

namespace tx {

namespace {
constexpr int AutoArrangeOffset = 96;  // the window's left edge, right of the main window's
}

void TTrovamixMainForm::CreateChannelForm() {
    channelForm_ = new TChannelForm(loop_, this);
    channelForm_->SetEngine(engine_);
    channelForm_->SetKnobStrip(images_.Strip("MiddleWheel.bmp"));
    TChannelFormHost& h = channelForm_->Host;
    h.SetVolume = [this](int ch, int v) {
        if (TChannelRow* r = Row(ch)) r->FrontVolWheel->SetValue(v, true);  // runs the row's own handler
    };
    h.SetMuted = [this](int ch, bool muted) {
        if (TChannelRow* r = Row(ch)) {
            r->FrontMuteButton->SetDown(muted);
            MuteClick(ch);
        }
    };
    h.Rename = [this](int ch, const std::string& name) {
        loop_.SetChannelName(ch, name);
        UpdateRowStates();
        channelForm_->RebuildChannelLists();
    };
    h.ColorChanged = [this](int ch) {
        if (TChannelRow* r = Row(ch)) r->SetButton->update();
    };
    h.PressSetButton = [this](int ch) {
        if (TChannelRow* r = Row(ch)) {
            r->SetButton->SetDown(true);
            ChannelButtonClick(ch);
        }
    };
    h.Hidden = [this] {
        if (TChannelRow* r = Row(channelForm_->Tag())) r->SetButton->SetDown(false);
    };
    h.ChannelsAdded = [this] { ChannelsChanged(); };
    h.ShowHint = [this](const QString& text) { ShowHintText(text); };
    h.ShowHelp = [this](const QString& topic) { ShowHelp(topic); };
}

void TTrovamixMainForm::SetSampleInstall(TSampleInstall* install) {
    sampleInstall_ = install;
    channelForm_->SetSampleInstall(install);
}

void TTrovamixMainForm::SetMidiOutput(TMidiOutput* out) {
    midiOut_ = out;
    channelForm_->SetMidiOutput(out);
}

void TTrovamixMainForm::ChannelButtonClick(int ch) {
    TChannelRow* row = Row(ch);
    if (!row) return;
    const bool wasShown = channelForm_->isVisible();
    if (wasShown && channelForm_->Tag() != ch)
        if (TChannelRow* before = Row(channelForm_->Tag())) before->SetButton->SetDown(false);
    channelForm_->SetTag(ch);
    const bool minimized = loop_.Channel(ch).Minimized;
    if (!minimized) SelectAlone(ch);
    if (row->SetButton->Down()) {
        channelForm_->Refresh();
        if (!wasShown && !minimized && autoArrange_ && autoArrange_())
            channelForm_->move(x() + AutoArrangeOffset, channelForm_->y());
        channelForm_->show();
    } else {
        channelForm_->hide();
    }
}

void TTrovamixMainForm::PreviewChannel(int ch) {
    if (sampleInstall_) sampleInstall_->PreviewChannel(ch);
}

void TTrovamixMainForm::ChannelFormFollowsRows() {
    if (!channelForm_) return;
    if (channelForm_->Tag() >= loop_.ChannelCount()) {
        channelForm_->SetTag(0);
        if (channelForm_->isVisible()) channelForm_->Refresh();
    }
    channelForm_->RebuildChannelLists();
}

void TTrovamixMainForm::ApplyChannelFormSettings(const TDesktopSettings& st) {
    channelForm_->move(st.ChanSetX, st.ChanSetY);
    channelForm_->ApplySheetSetting(st.SettingsSheet);
    channelForm_->LoadFavorites(st);
}

void TTrovamixMainForm::StoreChannelFormSettings(TDesktopSettings& st) const {
    st.ChanSetX = channelForm_->x();
    st.ChanSetY = channelForm_->y();
    st.SettingsSheet = channelForm_->SheetSetting();
    channelForm_->StoreFavorites(st);
}

}  // namespace tx
