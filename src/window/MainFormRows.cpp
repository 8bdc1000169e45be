#include <QApplication>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

#include "model/Loop.h"
#include "skin/DefaultLayout.h"
#include "window/ChannelForm.h"
#include "window/MainForm.h"
#include "window/PianoForm.h"

// The main window's channel area: one row of controls per channel, their
// layout, and the window-height rules that follow from it.
namespace tx {

void TTrovamixMainForm::CreateChannelArea() {
    channelArea_ = new QWidget(this);
    auto* h = new QHBoxLayout(channelArea_);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(0);
    leftSideWP_ = new TWPControl;
    leftSideWP_->setObjectName("LeftSideWP");
    rightSideWP_ = new TWPControl;
    rightSideWP_->setObjectName("RightSideWP");
    for (TWPControl* side : {leftSideWP_, rightSideWP_}) side->setFixedWidth(DefaultLayout::SideWidth);
    gridsBox_ = new QScrollArea;
    gridsBox_->setObjectName("GridsBox");
    gridsBox_->setFrameShape(QFrame::NoFrame);
    gridsBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    gridsBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // rows scroll by dragging the background
    gridsBox_->setWidgetResizable(false);
    backWP_ = new TWPControl;
    backWP_->setObjectName("BackWP");
    gridsBox_->setWidget(backWP_);
    h->addWidget(leftSideWP_);
    h->addWidget(gridsBox_, 1);
    h->addWidget(rightSideWP_);
    setCentralWidget(channelArea_);
    dotVolWheel_ = new TWAVWheel(backWP_);
    dotVolWheel_->setObjectName("DotVolWheel");
    dotVolWheel_->resize(23, 23);
    dotVolWheel_->SetMax(127);
    dotVolWheel_->SetMoveSpeed(32);
    dotVolWheel_->hide();
    TStepKnobHost knobHost;
    knobHost.WheelMode = [this] { return wheelMode_; };
    knobHost.SetWheelMode = [this](int m) { SetWheelMode(m); };
    knobHost.SelectAlone = [this](int ch) { SelectAlone(ch); };
    knobHost.LineCursor = [this] { return lineCursor_; };
    knobHost.ShowHint = [this](const QString& text) { ShowHintText(text); };
    knobHost.Grid = [this](int ch) { return Row(ch) ? Row(ch)->TechnoGrid : nullptr; };
    knobHost.StepValueChanged = [this](int ch, int step) {
        if (KeyboardEditorVisible()) pianoForm_->StepChanged(ch, step);
    };
    stepKnob_ = new TStepKnob(loop_, dotVolWheel_, knobHost, this);
    TVisualHost visualHost;
    visualHost.Close = [this] { RunCommand(TCommand::DotsWindow); };
    visualHost.ShowHint = [this](const QString& text) { ShowHintText(text); };
    visualHost.Key = [this](QKeyEvent* e, bool press) { return HandleKey(nullptr, e, press); };
    visualHost.ShowHelp = [this] { ShowHelp("dots-window"); };
    visualForm_ = new TVisualForm(loop_, visualHost, this);
    const auto& cb = DefaultLayout::ChanBtns;
    for (size_t i = 0; i < 5; ++i) chanBtns_[i] = QPoint(cb[2 * i], cb[2 * i + 1]);
}

TChannelRow* TTrovamixMainForm::CreateRow(int channel) {
    auto* row = new TChannelRow(backWP_);
    row->setObjectName("ChannelRow");
    row->FrontVolWheel = new TWAVWheel(row);
    row->FrontVolWheel->setObjectName("FrontVolWheel");
    row->FrontVolWheel->resize(14, 13);
    row->FrontVolWheel->SetMax(127);
    row->FrontMuteButton = new TMyTransButton(row);
    row->FrontMuteButton->setObjectName("FrontMuteButton");
    row->FrontMuteButton->resize(14, 14);
    row->FrontMuteButton->SetStayDown(true);
    row->SetButton = new TMyTransButton(row);
    row->SetButton->setObjectName("SetButton");
    row->SetButton->resize(64, 16);
    row->SetButton->SetStayDown(true);
    row->SelectButton = new TMyTransButton(row);
    row->SelectButton->setObjectName("SelectButton");
    row->SelectButton->resize(14, 14);
    row->SelectButton->SetStayDown(true);
    TStepRowHost host;
    host.WheelMode = [this] { return wheelMode_; };
    host.BothButtons = [this] { return bothButtons_; };
    host.CurrentPatternPlaying = [this] { return CurrentPatternPlaying(); };
    host.SelectAlone = [this](int ch) { SelectAlone(ch); };
    host.StepSet = [this](int ch, int step, bool) {
        if (KeyboardEditorVisible()) pianoForm_->StepChanged(ch, step);
    };
    host.WheelPress = [this](int ch, int x, int y, Qt::MouseButton b) {
        if (TChannelRow* r = Row(ch)) stepKnob_->Press(r->TechnoGrid, QPoint(x, y), b);
    };
    host.WheelMouse = [this](QMouseEvent* e) { return stepKnob_->Forward(e); };
    row->TechnoGrid = new TTechno16(loop_, channel, host, row);
    // The row's channel is read at click time: rows are reused when channels move.
    auto chOf = [row] { return row->TechnoGrid->Channel(); };
    connect(row->FrontMuteButton, &TMyTransButton::Clicked, this, [this, chOf] { MuteClick(chOf()); });
    connect(row->FrontMuteButton, &TMyTransButton::MouseDown, this, [this, chOf](Qt::MouseButton b) {
        if (b == Qt::RightButton) Solo(chOf());
    });
    connect(row->FrontVolWheel, &TWAVWheel::Changed, this, [this, chOf](int v) {
        const int ch = chOf();
        loop_.TouchChannel(ch);
        loop_.Channel(ch).Volume = v;
        loop_.Modified = true;
        SelectAlone(ch);
        if (channelForm_->Tag() == ch) channelForm_->SyncVolume();
        ShowHintText(QString("|vol %1").arg(v));
    });
    connect(row->SelectButton, &TMyTransButton::Clicked, this, [this, chOf] {
        const int ch = chOf();
        bool other = false;
        for (int i = 0; i < loop_.ChannelCount(); ++i)
            if (i != ch && !loop_.Channel(i).Selected && !loop_.Channel(i).Minimized) other = true;
        if (loop_.Channel(ch).Selected && other)
            RunCommand(TCommand::SelectAll);
        else
            SelectAlone(ch);
    });
    connect(row->SelectButton, &TMyTransButton::MouseDown, this, [this, chOf](Qt::MouseButton b) {
        if (b != Qt::RightButton && b != Qt::MiddleButton) return;
        TChannel& c = loop_.Channel(chOf());
        c.Selected = !c.Selected;
        UpdateRowStates();
    });
    connect(row->SetButton, &TMyTransButton::MouseDown, this, [this, row, chOf](Qt::MouseButton b) {
        const int ch = chOf();
        if (b == Qt::LeftButton && (QApplication::keyboardModifiers() & Qt::ControlModifier)) {
            ctrlPreview_ = true;  // a preview and nothing else
            PreviewChannel(ch);
            return;
        }
        if (b != Qt::RightButton) return;
        if (loop_.Channel(ch).Minimized) {
            loop_.SetMinimized(ch, false);
            loop_.Modified = true;  // the file stores which channels are minimized
            LayoutChannelRows();
            FitHeight();
        } else {
            OpenChannelMenu(ch, row->SetButton->mapToGlobal(QPoint(row->SetButton->width(), 0)));
        }
    });
    connect(row->SetButton, &TMyTransButton::Clicked, this, [this, row, chOf] {
        if (ctrlPreview_) {
            ctrlPreview_ = false;
            row->SetButton->SetDown(!row->SetButton->Down());  // the release toggled it: back
            return;
        }
        ChannelButtonClick(chOf());
    });
    ConnectHints(row);
    row->show();
    return row;
}

void TTrovamixMainForm::AssignRowStrips(TChannelRow* row, int channel) {
    row->TechnoGrid->SetStrips(images_.Strip("NoteBtn.bmp"), images_.Strip("PosLed.bmp"),
                               images_.Strip("SmallWheel.bmp"));
    const bool minimized = channel < loop_.ChannelCount() && loop_.Channel(channel).Minimized;
    TImageStrip* name = images_.Strip(minimized ? "Zipped.bmp" : "SetBtn.bmp");
    row->SetButton->SetImList(name);
    if (!name->IsEmpty()) row->SetButton->resize(name->FrameSize());
    row->FrontMuteButton->SetImList(images_.Strip("MuteBtn.bmp"));
    row->SelectButton->SetImList(images_.Strip("SelectBtn.bmp"));
    row->FrontVolWheel->SetWheelIL(images_.Strip("SmallWheel.bmp"));
    for (TMyTransButton* b : {row->FrontMuteButton, row->SelectButton}) {
        TImageStrip* s = b == row->FrontMuteButton ? images_.Strip("MuteBtn.bmp") : images_.Strip("SelectBtn.bmp");
        if (!s->IsEmpty()) b->resize(s->FrameSize());
    }
}

void TTrovamixMainForm::ChannelsChanged() {
    while (RowCount() > loop_.ChannelCount()) {
        delete rows_.back();
        rows_.pop_back();
    }
    while (RowCount() < loop_.ChannelCount()) rows_.push_back(CreateRow(RowCount()));
    for (int i = 0; i < RowCount(); ++i) {
        rows_[size_t(i)]->TechnoGrid->SetChannel(i);
        AssignRowStrips(rows_[size_t(i)], i);
    }
    LayoutChannelRows();
    FitHeight();
    ChannelFormFollowsRows();
}

void TTrovamixMainForm::UpdateRowStates() {
    for (int i = 0; i < RowCount(); ++i) {
        TChannelRow* row = rows_[size_t(i)];
        const TChannel& c = loop_.Channel(i);
        const QString name = QString::fromStdString(loop_.ChannelListName(i));
        row->setAccessibleName(name);
        row->FrontMuteButton->SetDown(!c.Enabled);
        row->FrontMuteButton->SetHint("|Mute " + name);
        row->SelectButton->SetDown(c.Selected);
        row->SelectButton->SetHint(QString::fromStdString(SelectButtonHint(c.Name)));
        // A name's "&" is shown as it is, never an accelerator.
        row->SetButton->SetCaption(
            QString::fromStdString(NameButtonCaption(c.Name)).replace(u'&', QLatin1String("&&")));
        row->SetButton->SetHint(QString::fromStdString(NameButtonHint(c.Name)));
        row->FrontVolWheel->SetValueProperty(c.Volume);
        row->FrontVolWheel->SetHint("|Volume " + name);
    }
    UpdateEditCommands();  // selection and channel count decide what the edit commands may act on
}

void TTrovamixMainForm::LayoutChannelRows() {
    TRowLayoutInput in;
    for (size_t i = 0; i < 5; ++i) in.ChanBtns[i] = {chanBtns_[i].x(), chanBtns_[i].y()};
    in.LedsOverKnobs = ledsOverKnobs_;
    in.HideLeds = hideLeds_;
    TImageStrip* zipped = images_.Strip("Zipped.bmp");
    in.ZippedHeight = zipped->IsEmpty() ? 12 : zipped->FrameHeight();
    in.AreaWidth = gridsBox_->viewport()->width() > 0 ? width() - 2 * DefaultLayout::SideWidth : 0;
    in.AreaWidth = std::max(in.AreaWidth, width() - leftSideWP_->width() - rightSideWP_->width());
    for (int i = 0; i < loop_.ChannelCount(); ++i) {
        AssignRowStrips(rows_[size_t(i)], i);  // a zipped name button is narrower
        in.Channels.push_back({loop_.Channel(i).Minimized, rows_[size_t(i)]->SetButton->width()});
    }
    layout_ = tx::LayoutChannelRows(in);

    for (int i = 0; i < RowCount(); ++i) {
        TChannelRow* row = rows_[size_t(i)];
        const TRowPlacement& p = layout_.Rows[size_t(i)];
        // The group spans the controls it shows; a packed (minimized) one only its name button.
        QRect bounds(QPoint(p.Name.X, p.Name.Y), row->SetButton->size());
        if (!p.Minimized) {
            bounds |= QRect(p.StepLeft, p.StepTop, 16 * StepCellWidth, p.StepHeight);
            bounds |= QRect(QPoint(p.Volume.X, p.Volume.Y), row->FrontVolWheel->size());
            bounds |= QRect(QPoint(p.Mute.X, p.Mute.Y), row->FrontMuteButton->size());
            bounds |= QRect(QPoint(p.Select.X, p.Select.Y), row->SelectButton->size());
        }
        row->setGeometry(bounds);
        const QPoint o = bounds.topLeft();
        row->TechnoGrid->ButtonTop = p.ButtonTop;
        row->TechnoGrid->LedTop = p.LedTop;
        row->TechnoGrid->setGeometry(p.StepLeft - o.x(), p.StepTop - o.y(), 16 * StepCellWidth, p.StepHeight);
        row->FrontVolWheel->move(p.Volume.X - o.x(), p.Volume.Y - o.y());
        row->FrontMuteButton->move(p.Mute.X - o.x(), p.Mute.Y - o.y());
        row->SetButton->move(p.Name.X - o.x(), p.Name.Y - o.y());
        row->SelectButton->move(p.Select.X - o.x(), p.Select.Y - o.y());
        for (QWidget* w : {static_cast<QWidget*>(row->TechnoGrid), static_cast<QWidget*>(row->FrontVolWheel),
                           static_cast<QWidget*>(row->FrontMuteButton), static_cast<QWidget*>(row->SelectButton)})
            w->setVisible(!p.Minimized);
        row->TechnoGrid->update();
    }
    UpdateRowStates();
    const int areaWidth = std::max(in.AreaWidth, 1);
    backWP_->resize(areaWidth, std::max(layout_.ContentHeight + ScrollSlack, gridsBox_->viewport()->height()));
    SetHeight(height());
}

TWindowMetrics TTrovamixMainForm::Metrics() const {
    TWindowMetrics m;
    m.ChannelAreaTop = channelArea_->geometry().top();
    int topDockBottom = captionPic_->height();
    for (QDockWidget* d : {mainMenuToolWindow_, menuToolWindow_})
        if (!d->isFloating() && !d->isHidden() && dockWidgetArea(d) == Qt::TopDockWidgetArea)
            topDockBottom += d->widget()->height();
    m.TopDockBottom = topDockBottom;
    if (m.ChannelAreaTop <= 0) m.ChannelAreaTop = topDockBottom;  // before the first layout pass
    int bottom = 0;
    for (QDockWidget* d : {mainMenuToolWindow_, menuToolWindow_, bottomToolWindow_})
        if (!d->isFloating() && !d->isHidden() && dockWidgetArea(d) == Qt::BottomDockWidgetArea)
            bottom += d->widget()->height();
    m.BottomDockHeight = bottom;
    m.ScreenHeight = screen() ? screen()->availableGeometry().height() : 1024;
    m.CaptionHeight = captionPic_->height();
    return m;
}

int TTrovamixMainForm::MaxHeight() const {
    return RowCount() == 0 ? height() : tx::MaxHeight(Metrics(), layout_, height());
}

int TTrovamixMainForm::MinHeight() const { return tx::MinHeight(Metrics()); }

void TTrovamixMainForm::SetHeight(int h) {
    const int minH = MinHeight(), maxH = MaxHeight();
    setMinimumHeight(minH);
    setMaximumHeight(std::max(minH, maxH));
    const int target = ClampHeight(h, minH, maxH);
    if (target != height()) resize(width(), target);
}

void TTrovamixMainForm::FitHeight() {
    ChannelFormFollowsRows();
    SetHeight(tx::FitHeight(height(), MinHeight(), MaxHeight(), autoMaximize_));
    if (visualForm_) visualForm_->FitChannels();
}

void TTrovamixMainForm::RepaintSteps() {
    for (TChannelRow* row : rows_) row->TechnoGrid->update();
    if (KeyboardEditorVisible()) pianoForm_->Refresh();
}

bool TTrovamixMainForm::CurrentPatternPlaying() const {
    if (engine_) return patternPlaying_;  // as the last scope tick saw it under the lock
    const auto& p = loop_.PlayingPatterns;
    return std::find(p.begin(), p.end(), int16_t(loop_.CurrentPattern)) != p.end();
}

void TTrovamixMainForm::MuteClick(int channel) {
    TChannel& c = loop_.Channel(channel);
    loop_.TouchChannel(channel);
    c.Enabled = !rows_[size_t(channel)]->FrontMuteButton->Down();
    SelectAlone(channel);
    channelForm_->SyncMute();
    loop_.Modified = true;
}

void TTrovamixMainForm::Solo(int channel) {
    bool othersMuted = true;
    for (int i = 0; i < loop_.ChannelCount(); ++i)
        if (i != channel && loop_.Channel(i).Enabled) othersMuted = false;
    for (int i = 0; i < loop_.ChannelCount(); ++i) loop_.Channel(i).Enabled = othersMuted || i == channel;
    SelectAlone(channel);
    channelForm_->SyncMute();
    loop_.Modified = true;  // the file stores which channels are enabled
}

void TTrovamixMainForm::SelectAlone(int channel) {
    loop_.SelectChannelAlone(channel);
    UpdateRowStates();
    // The keyboard editor follows the selected channel.
    if (KeyboardEditorVisible() && loop_.SelectedChannel() >= 0) pianoForm_->OpenFor(loop_.SelectedChannel());
}

}  // namespace tx
