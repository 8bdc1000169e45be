#include "window/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <chrono>

#include "controls/BuiltinImages.h"
#include "desktop/LoopWorkflow.h"
#include "dialogs/HelpWindow.h"
#include "dialogs/MidiExport.h"
#include "dialogs/PlayListForm.h"
#include "dialogs/WAVRenderForm.h"
#include "engine/Engine.h"
#include "engine/Streaming.h"
#include "midi/MidiOut.h"
#include "model/Loop.h"
#include "skin/DefaultLayout.h"
#include "window/MenuItems.h"
#include "window/PianoForm.h"
#include "window/PlacedControl.h"

namespace tx {

namespace {

constexpr int ScopeIntervalMs = 15;  // the display need not be faster than the screen
// Stopped, silent and unchanged for this many ticks, the display looks less often.
constexpr int QuietTicks = 20;
constexpr int QuietIntervalMs = 100;

}  // namespace

TTrovamixMainForm::TTrovamixMainForm(TLoop& loop, TEngine* engine, QWidget* parent)
    : QMainWindow(parent, Qt::FramelessWindowHint),
      loop_(loop),
      engine_(engine),
      images_(this),
      applier_(this, images_) {
    setObjectName("TrovamixMainForm");
    setDockOptions(QMainWindow::AnimatedDocks);
    // The panels sit edge to edge: no resize handles between them (the height rules own the size).
    setStyleSheet("QMainWindow::separator { width: 0px; height: 0px; }");
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor(24, 25, 28));
    setPalette(dark);
    CreateCaption();
    CreatePanels();
    CreateChannelArea();
    CreatePianoForm();
    CreateMenus();
    CreateChannelMenu();
    ConnectHints(this);
    CreatePlaylist();
    CreateChannelForm();
    ChannelsChanged();
    undo_ = std::make_unique<TUndoHistory>(loop_);
    undo_->Changed = [this] { UpdateUndoCommands(); };
    UpdateUndoCommands();

    scopeTimer_ = new QTimer(this);
    scopeTimer_->setInterval(ScopeIntervalMs);
    connect(scopeTimer_, &QTimer::timeout, this, &TTrovamixMainForm::ScopeTick);
    scopeTimer_->start();
    // The window manager moves the window for a caption drag: once it rests,
    // the same top clamp as our own drag keeps the caption reachable.
    clampTimer_ = new QTimer(this);
    clampTimer_->setSingleShot(true);
    clampTimer_->setInterval(150);
    connect(clampTimer_, &QTimer::timeout, this, [this] {
        const TWindowMetrics m = Metrics();
        const int top = ClampTop(y(), height(), m.ScreenHeight, m.CaptionHeight);
        if (top != y()) move(x(), top);
    });
    qApp->installEventFilter(this);
    setAcceptDrops(true);
    // Random and Humanize differ from one run to the next.
    rng_.seed(uint32_t(std::chrono::system_clock::now().time_since_epoch().count()));
}

TTrovamixMainForm::~TTrovamixMainForm() {
    qApp->removeEventFilter(this);
    loop_.Events.PlaylistPositionChanged = nullptr;  // the loop may outlive this window
}

void TTrovamixMainForm::CreateCaption() {
    captionPic_ = new TWPControl(this);
    captionPic_->setObjectName("CaptionPic");
    captionPic_->setFixedSize(DefaultLayout::WindowWidth, 22);
    captionLabel_ = PlacedControl<QLabel>(captionPic_, "CaptionLabel");
    closeIconZone_ = PlacedControl<QLabel>(captionPic_, "CloseIconZone");
    closeIconZone_->setAccessibleName("Program icon");
    const QImage icon = BuiltinImage("Icon18");
    if (!icon.isNull()) closeIconZone_->setPixmap(QPixmap::fromImage(icon));
    minBtn_ = PlacedControl<TMyTransButton>(captionPic_, "MinBtn", "|Minimize");
    closeBtn_ = PlacedControl<TMyTransButton>(captionPic_, "CloseBtn", "|Close");
    connect(minBtn_, &TMyTransButton::Clicked, this, &QWidget::showMinimized);
    connect(closeBtn_, &TMyTransButton::Clicked, this, &QWidget::close);
    for (QWidget* w : {static_cast<QWidget*>(captionPic_), static_cast<QWidget*>(captionLabel_),
                       static_cast<QWidget*>(closeIconZone_)}) {
        w->setProperty("tag", 1);  // caption parts move the window
    }
    setMenuWidget(captionPic_);    // above the docks
    setWindowIcon(ProgramIcon());  // the task bar's, at every size it asks for
    SetCaption("Trovamix");
}

void TTrovamixMainForm::CreatePanels() {
    docking_ = new TPanelDocking(*this);
    mainMenuPic_ = new TWPControl;
    mainMenuPic_->setObjectName("MainMenuPic");
    mainMenuPic_->setFixedSize(DefaultLayout::WindowWidth, 18);
    menuBar_ = PlacedControl<TNewMenu>(mainMenuPic_, "NewMainMenu");
    mainMenuToolWindow_ = docking_->Add("MainMenuToolWindow", "Size bar", mainMenuPic_, Qt::TopDockWidgetArea);

    transport_ = new TTransportPanel(loop_, engine_);
    ConnectTransport();
    menuToolWindow_ = docking_->Add("MenuToolWindow", "Remote control", transport_, Qt::TopDockWidgetArea);

    bottomPic_ = new TWPControl;
    bottomPic_->setObjectName("BottomPic");
    bottomPic_->setFixedSize(DefaultLayout::WindowWidth, 16);
    infoLabel_ = PlacedControl<QLabel>(bottomPic_, "InfoLabel");
    infoLabel_->setAccessibleName("Hint");
    bottomToolWindow_ = docking_->Add("BottomToolWindow", "Size bar", bottomPic_, Qt::BottomDockWidgetArea);
    docking_->AddSurface(infoLabel_, bottomToolWindow_);
    for (QWidget* panel :
         {static_cast<QWidget*>(mainMenuPic_), static_cast<QWidget*>(transport_), static_cast<QWidget*>(bottomPic_)})
        panel->installEventFilter(this);
    docking_->PanelHeightChanged = [this](int change) { SetHeight(height() + change); };
    docking_->PanelMoved = [this] {
        menuBar_->SetDropUp(dockWidgetArea(mainMenuToolWindow_) == Qt::BottomDockWidgetArea);
    };
}

void TTrovamixMainForm::ConnectTransport() {
    TTransportPanel* t = transport_;
    connect(t->StartButton, &TMyTransButton::Clicked, this, [this, t] { StartStop(t->StartButton->Down(), true); });
    connect(t->StartButton, &TMyTransButton::MouseDown, this, [this, t](Qt::MouseButton b) {
        if (b != Qt::RightButton) return;
        t->StartButton->SetDown(!t->StartButton->Down());
        StartStop(t->StartButton->Down(), false);
    });
    connect(t->LoopButton, &TMyTransButton::Clicked, this, [this, t] { SetSongMode(t->LoopButton->Down()); });
    connect(t->LoopButton, &TMyTransButton::MouseDown, this, [this](Qt::MouseButton b) {
        if (b == Qt::RightButton) SetPlaylistVisible(!playList_->isVisible());
    });
    connect(t->PatUpDown, &TZavoUpDown::Changed, this, &TTrovamixMainForm::ChoosePattern);
    connect(t->BPMUpDown, &TZavoUpDown::Changed, this, &TTrovamixMainForm::SetTempo);
    connect(t->FXVolBtn, &TMyTransButton::Clicked, this, [this, t] { SetWheelMode(t->FXVolBtn->Down() ? 1 : 0); });
    connect(t->FXPitchBtn, &TMyTransButton::Clicked, this, [this, t] { SetWheelMode(t->FXPitchBtn->Down() ? 2 : 0); });
    connect(t, &TTransportPanel::SliderHint, this, &TTrovamixMainForm::ShowHintText);
}

void TTrovamixMainForm::CreateMenus() {
    for (const TMenuDef& def : MainMenus()) {
        auto* menu = new QMenu(QString::fromUtf8(def.Caption.data(), qsizetype(def.Caption.size())), this);
        menu->setObjectName(QString::fromUtf8(def.Name.data(), qsizetype(def.Name.size())));
        for (const TMenuItemDef& item : def.Items) {
            QAction* action = AddMenuItem(menu, item);
            if (!item.Shortcut.empty())
                action->setShortcut(
                    QKeySequence(QString::fromUtf8(item.Shortcut.data(), qsizetype(item.Shortcut.size()))));
            action->setShortcutContext(Qt::WindowShortcut);
            action->setCheckable(item.Checkable);
            const TCommand command = item.Command;
            connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
            // On the window as well, so the keys work while the bar's panel is hidden.
            addAction(action);
            actions_.emplace_back(command, action);
        }
        menus_.push_back(menu);
    }
    menuBar_->SetMirrorMenu(QList<QMenu*>(menus_.begin(), menus_.end()));
    if (QAction* a = Action(TCommand::HintPanel)) a->setChecked(true);
    if (QAction* a = Action(TCommand::WavOnly)) a->setChecked(true);
}

void TTrovamixMainForm::RebuildRecentMenu() {
    QMenu* file = menus_.front();
    if (!recentSeparator_) recentSeparator_ = file->addSeparator();
    for (QAction* a : recentActions_) {
        removeAction(a);
        file->removeAction(a);
        a->deleteLater();
    }
    recentActions_.clear();
    recentSeparator_->setVisible(false);
    if (!workflow_) return;
    for (int i = 0; i < int(workflow_->RecentFiles.size()); ++i) {
        const std::string& name = workflow_->RecentFiles[size_t(i)];
        if (name.empty()) continue;
        recentSeparator_->setVisible(true);
        auto* a = file->addAction(QString::fromStdString(FileNameOnly(name)));
        a->setShortcut(QKeySequence(Qt::ALT | Qt::Key(Qt::Key_1 + i)));
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, [this, i] {
            if (workflow_) workflow_->OpenRecent(i);
        });
        addAction(a);
        recentActions_.push_back(a);
    }
}

QAction* TTrovamixMainForm::Action(TCommand command) const { return FindAction(actions_, command); }

void TTrovamixMainForm::ConnectHints(QWidget* root) {
    for (TSkinWidget* w : root->findChildren<TSkinWidget*>())
        connect(w, &TSkinWidget::HintShown, this, &TTrovamixMainForm::ShowHintText, Qt::UniqueConnection);
}

void TTrovamixMainForm::ShowHelp(const QString& topic) {
    if (!help_) {
        help_ = new THelpWindow(helpFile_, this);  // a window of its own that closes with this one
        help_->setWindowFlag(Qt::Window);
    }
    help_->ShowTopic(topic);
    help_->show();
    help_->raise();
}

void TTrovamixMainForm::ApplyStyle(const TStyleData& style) {
    // The width first: the outline the applier cuts is as wide as the window.
    const int width = style.Sizes.MainClientWidth > 0 ? style.Sizes.MainClientWidth : DefaultLayout::WindowWidth;
    setFixedWidth(width);
    const TAppliedStyle applied = applier_.Apply(style);
    if (applied.ChanBtns) {
        chanBtns_ = *applied.ChanBtns;
    } else {
        const auto& cb = DefaultLayout::ChanBtns;
        for (size_t i = 0; i < 5; ++i) chanBtns_[i] = QPoint(cb[2 * i], cb[2 * i + 1]);
    }
    for (int i = 0; i < RowCount(); ++i) AssignRowStrips(rows_[size_t(i)], i);
    LayoutChannelRows();
    ApplyPianoStyle(applied);
}

void TTrovamixMainForm::SetWheelMode(int mode) {
    if (mode == wheelMode_) return;
    wheelMode_ = mode;
    RepaintSteps();
    dotVolWheel_->update();
    transport_->FXVolBtn->SetDown(mode == 1);
    transport_->FXPitchBtn->SetDown(mode == 2);
    if (mode == 0) {
        unsetCursor();
        lineCursor_ = false;
    }
}

void TTrovamixMainForm::ShowHintText(const QString& text) { infoLabel_->setText(TSkinWidget::LongHint(text)); }

void TTrovamixMainForm::SetHideLeds(bool on) {
    hideLeds_ = on;
    if (QAction* a = Action(TCommand::HidePositionLeds)) a->setChecked(on);
    LayoutChannelRows();
    FitHeight();
}

void TTrovamixMainForm::SetLedsOverKnobs(bool on) {
    ledsOverKnobs_ = on;
    LayoutChannelRows();
    FitHeight();
}

void TTrovamixMainForm::SetCaption(const QString& text) {
    captionLabel_->setText(text);
    setWindowTitle(text);  // for the task bar
}

void TTrovamixMainForm::StartStop(bool start, bool resetSongPosition) {
    transport_->StartButton->SetDown(start);
    quietTicks_ = 0;  // the lights follow from the first step
    scopeTimer_->setInterval(ScopeIntervalMs);
    if (!engine_) return;
    if (start)
        engine_->Start();
    else
        engine_->Stop(resetSongPosition);
}

void TTrovamixMainForm::SetSongMode(bool on) {
    transport_->LoopButton->SetDown(on);
    if (engine_)
        engine_->SetSongMode(on);
    else
        loop_.SongMode = on;
}

void TTrovamixMainForm::ChoosePattern(int pattern) {
    transport_->PatNumDig->SetValue(pattern);
    transport_->PatPad->SetValue(pattern);
    if (transport_->PatUpDown->Value() != pattern) transport_->PatUpDown->SetValue(pattern, false);
    if (pattern == loop_.CurrentPattern) return;
    loop_.TouchValues();
    if (engine_)
        engine_->ChoosePattern(pattern);
    else
        loop_.CurrentPattern = pattern;
    if (playList_) playList_->Grid()->ShowCurrentPattern(loop_.CurrentPattern);
    RepaintSteps();
}

void TTrovamixMainForm::SetTempo(int bpm) {
    transport_->BPMDig->SetValue(bpm);
    loop_.TouchValues();
    if (engine_)
        engine_->SetTempo(bpm);
    else
        loop_.Tempo = bpm;
    loop_.Modified = true;
}

THelpWindow* TTrovamixMainForm::HelpWindow() const { return help_; }

void TTrovamixMainForm::ScopeTick() {
    const bool dotsLit = visualForm_->isVisible() && visualForm_->Tick();
    if (!engine_) return;
    // The leds show the step being heard now: the core's snapshot of what is
    // audible, read without the engine lock (a render holds it for its whole run).
    engine_->ShowAudible(streaming_ ? streaming_->AudibleFrame() : EverythingAudible, audible_);
    const int step = audible_.Step;
    playList_->Grid()->ShowSongPosition(audible_.SongPosition);
    patternPlaying_ = audible_.PatternPlays(loop_.CurrentPattern);
    bool changed = engine_->Playing || step != lastLedStep_ || dotsLit;
    if (step != lastLedStep_) {
        lastLedStep_ = step;
        for (TChannelRow* row : rows_) row->TechnoGrid->SetLedStep(step);
    }
    engine_->ScopeButton.store(transport_->ScopeButton->Down(), std::memory_order_relaxed);
    if (transport_->ScopeButton->Down()) changed |= transport_->TickScope();
    quietTicks_ = changed ? 0 : quietTicks_ + 1;
    const int interval = quietTicks_ > QuietTicks ? QuietIntervalMs : ScopeIntervalMs;
    if (scopeTimer_->interval() != interval) scopeTimer_->setInterval(interval);
}

int TTrovamixMainForm::ScopeInterval() const { return scopeTimer_->interval(); }

void TTrovamixMainForm::RunCommand(TCommand command) {
    if (RunEditCommand(command)) {
        emit CommandRun(command);
        return;
    }
    switch (command) {
        case TCommand::Exit:
            close();
            break;
        case TCommand::New:
            if (workflow_) workflow_->New();
            break;
        case TCommand::Open:
            if (workflow_) workflow_->Open();
            break;
        case TCommand::Save:
            if (workflow_) workflow_->Save();
            break;
        case TCommand::SaveAs:
            if (workflow_) workflow_->SaveAs();
            break;
        case TCommand::HidePositionLeds:
            SetHideLeds(!hideLeds_);
            break;
        case TCommand::DotsWindow: {
            const bool show = visualForm_->isHidden();
            visualForm_->setVisible(show);
            if (QAction* a = Action(command)) a->setChecked(show);
            break;
        }
        case TCommand::HintPanel: {
            const bool show = bottomToolWindow_->isHidden();
            bottomToolWindow_->setVisible(show);
            if (QAction* a = Action(command)) a->setChecked(show);
            // A floating panel is a window of its own: ours keeps its height.
            if (!bottomToolWindow_->isFloating()) SetHeight(height() + (show ? 1 : -1) * bottomPic_->height());
            break;
        }
        case TCommand::MidiOnly:
        case TCommand::WavOnly: {
            const bool wav = command == TCommand::WavOnly;
            if (transport_->StartButton->Down()) StartStop(false, true);
            if (engine_) engine_->SetUseWAVOnly(wav);
            Action(TCommand::WavOnly)->setChecked(wav);
            Action(TCommand::MidiOnly)->setChecked(!wav);
            Action(TCommand::SyncToInput)->setEnabled(!wav);
            break;
        }
        case TCommand::RenderWav:
            if (engine_) RenderWAVMenu(this, *engine_, QString::fromStdString(loop_.LoopFileName), lastRenderedWAV_);
            break;
        case TCommand::ExportMidi:
            if (engine_) ExportMidiMenu(this, loop_, engine_->Settings);
            break;
        case TCommand::PatternToClipboard:
        case TCommand::LoopToClipboard:
            if (engine_) CopyMidiToClipboard(loop_, engine_->Settings, command == TCommand::LoopToClipboard);
            break;
        case TCommand::CollectSamples:
            CollectSamples();
            break;
        case TCommand::LoopInfo:
            ShowLoopInfo();
            break;
        case TCommand::ConfigureTools:
            ConfigureTools();
            break;
        case TCommand::HelpContents:
            ShowHelp(QStringLiteral("contents"));
            break;
        case TCommand::Tips:
            ShowTips(this);
            break;
        case TCommand::About:
            ShowAbout(this);
            break;
        case TCommand::ProductsInfo:
            ShowProductsInfo();
            break;
        case TCommand::Panic:
            Panic();
            break;
        case TCommand::LoopPlaylist:
            SetPlaylistVisible(!playList_->isVisible());
            break;
        default:
            break;
    }
    emit CommandRun(command);
}

void TTrovamixMainForm::IconClicked() {
    ++iconClicks_;
    if (iconClicks_ == 3 || iconClicks_ == 4) ShowHintText("|Stop clicking on the fruit");
    if (iconClicks_ == 5 || iconClicks_ == 6) ShowHintText("|!!!Stop clicking on that fruit!!!");
    if (iconClicks_ == 7) {
        QPalette p = captionLabel_->palette();
        p.setColor(QPalette::WindowText, Qt::red);
        captionLabel_->setPalette(p);
        SetCaption("Stop clicking on that damn fruit!");
    }
}

void TTrovamixMainForm::Panic() {
    // Stop any remaining sound: all sound off on every MIDI channel, then
    // every voice goes, playing or not.
    if (midiOut_) midiOut_->Panic();
    if (!engine_) return;
    TLockGuard g(&engine_->EL);
    engine_->ClearVoices();
}

void TTrovamixMainForm::ApplySettings(const TDesktopSettings& st) {
    easyMove_ = st.EasyMove;
    autoMaximize_ = st.AutoMaximize;
    bothButtons_ = st.MouseUse;
    ledsOverKnobs_ = st.LedsOver;
    move(st.WindowX, st.WindowY);
    KeepOnScreen();
    ApplyChannelFormSettings(st);
    if (const TWindowPlacement& p = st.PlayListPlacement; p.Width > 0 && p.Height > 0)
        playList_->setGeometry(p.Left, p.Top, p.Width, p.Height);
    transport_->MixScope->SetStyle(std::clamp(st.ScopeStyle, 0, 2));
    transport_->ScopeButton->SetDown(st.ScopeEnabled);
    if (!st.ScopeEnabled) transport_->ClearScope();
    RunCommand(st.UseWAVOnly ? TCommand::WavOnly : TCommand::MidiOnly);
    docking_->Apply(st.Docks);
    for (const TDockPanel& panel : st.Docks)
        if (panel.Name == bottomToolWindow_->objectName().toStdString())
            if (QAction* a = Action(TCommand::HintPanel)) a->setChecked(panel.Visible);
    SetHideLeds(st.Minimized);  // last: the rows are laid out once with every flag in place
}

void TTrovamixMainForm::StoreSettings(TDesktopSettings& st) const {
    st.WindowX = x();
    st.WindowY = y();
    StoreChannelFormSettings(st);
    // A playlist window never shown keeps the placement that was read.
    if (playList_->testAttribute(Qt::WA_WState_Created)) {
        const QRect pl = playList_->geometry();
        st.PlayListPlacement = {pl.x(), pl.y(), pl.width(), pl.height()};
    }
    st.EasyMove = easyMove_;
    st.AutoMaximize = autoMaximize_;
    st.MouseUse = bothButtons_;
    st.LedsOver = ledsOverKnobs_;
    st.Minimized = hideLeds_;
    st.ScopeStyle = transport_->MixScope->Style();
    st.ScopeEnabled = transport_->ScopeButton->Down();
    if (QAction* a = Action(TCommand::WavOnly)) st.UseWAVOnly = a->isChecked();
    docking_->Store(st.Docks);
}

void TTrovamixMainForm::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (isVisible()) clampTimer_->start();
    if (KeyboardEditorVisible()) pianoForm_->Reattach();
    DockCompanion();
}

void TTrovamixMainForm::KeepOnScreen() {
    // Stored positions can name a screen that is gone: the caption bar must
    // stand on some screen, or the window could never be dragged back.
    const QRect caption(pos(), QSize(width(), captionPic_->height()));
    for (QScreen* s : QGuiApplication::screens())
        if (s->availableGeometry().intersected(caption).height() >= captionPic_->height() / 2 &&
            s->availableGeometry().intersected(caption).width() >= 32)
            return;
    QScreen* s = QGuiApplication::primaryScreen();
    if (!s) return;
    const QRect area = s->availableGeometry();
    move(std::clamp(x(), area.left(), std::max(area.left(), area.right() - width())),
         std::clamp(y(), area.top(), std::max(area.top(), area.bottom() - captionPic_->height())));
}

void TTrovamixMainForm::LoopReplaced() {
    if (transport_->StartButton->Down()) StartStop(false, true);
    transport_->ShowLoop();
    ChannelsChanged();
    RepaintSteps();
    PlaylistShowsLoop();
    emit LoopShown();
    if (loop_.ShowInfo) ShowSongInfo();
}

void TTrovamixMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TTrovamixMainForm::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    if (paths.empty()) return;
    event->acceptProposedAction();
    DropFiles(paths, event->position().toPoint());
}

void TTrovamixMainForm::closeEvent(QCloseEvent* event) {
    if (CloseQuery) {
        if (CloseQuery())
            event->accept();
        else
            event->ignore();
        return;
    }
    // Cancel in the save question keeps everything running.
    if (workflow_ && !workflow_->QueryClose()) {
        event->ignore();
        return;
    }
    if (transport_->StartButton->Down()) StartStop(false, true);
    event->accept();
}

void TTrovamixMainForm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) applier_.ShowActive(isActiveWindow());
    QMainWindow::changeEvent(event);
}

}  // namespace tx
