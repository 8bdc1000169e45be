#include "window/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <chrono>

#include "controls/BuiltinImages.h"
#include "dialogs/HelpWindow.h"
#include "dialogs/MidiExport.h"
#include "dialogs/WAVRenderForm.h"
#include "engine/Engine.h"
#include "engine/Streaming.h"
#include "model/Loop.h"
#include "skin/DefaultLayout.h"
#include "desktop/LoopWorkflow.h"

namespace tx {

namespace {

constexpr int ScopeIntervalMs = 15;  // the display need not be faster than the screen
constexpr int MeterFall = 4096;      // per tick
// Stopped, silent and unchanged for this many ticks, the display looks less often.
constexpr int QuietTicks = 20;
constexpr int QuietIntervalMs = 100;

template <class T>
T* Make(QWidget* parent, const char* name, const QString& hint = {}) {
    auto* t = new T(parent);
    t->setObjectName(name);
    if (const auto* c = DefaultLayout::FindControl(name)) t->setGeometry(c->X, c->Y, c->Width, c->Height);
    if constexpr (std::is_base_of_v<TSkinWidget, T>)
        if (!hint.isEmpty()) t->SetHint(hint);
    return t;
}

TMyTransButton* Toggle(QWidget* parent, const char* name, const QString& hint) {
    auto* b = Make<TMyTransButton>(parent, name, hint);
    b->SetStayDown(true);
    return b;
}

QDockWidget* Dock(QMainWindow* window, const char* name, const QString& caption, QWidget* panel) {
    auto* dock = new QDockWidget(caption, window);
    dock->setObjectName(name);
    dock->setTitleBarWidget(new QWidget(dock));  // the panels carry no title of their own
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    dock->setAllowedAreas(Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);
    dock->setWidget(panel);
    return dock;
}

}  // namespace

const std::vector<QString>& Tips() {
    static const std::vector<QString> tips = {
        "Check the help file and click anywhere on the screen capture to learn Trovamix...",
        "Use the left numeric keyboard keys to quickly mute/unmute the first ten channels (CTRL key for solo)...",
        "Press the CTRL key while setting a dot volume to adjust the whole line volumes...",
        "Use the 'line' mode on the piano keyboard to transpose...",
        "Right click any wheel to move it more accurately...",
        "You can easily drop WAV files from Sonelo or the explorer/Windows Commander to any of the channel buttons...",
        "Dropping a WAV file anywhere but on a channel button will create a new channel...",
        "The space bar starts the loop while the L key toggles the loop led...",
        "So MIDI and samples can't be used together? No. Just select the 'MIDI only' or 'WAV only' menu option when "
        "you want to switch between them...",
        "Use the 'Collect Samples' menu option to copy all the WAV samples you used in one directory when you want to "
        "share your own loops with somebody else...",
        "The 'Collect Samples' menu option is just grayed when your loop doesn't contain any sample to collect...",
        "Almost every panel on the main window is detachable (right click)...",
        "Double click anywhere on the main window to minimize/maximize it...",
        "Use the SHIFT key to quickly show the graph edit window. V and P keys show the wheels while K shows the "
        "piano keyboard...",
        "Use the right mouse button on the graph edit window to draw 'fading' lines...",
        "Any question or problem? Use the Trovamix web site message board...",
        "Tips of the day can damage your brain...",
    };
    return tips;
}

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
    CreateMenus();
    CreateChannelMenu();
    ConnectHints(this);
    ChannelsChanged();

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

TTrovamixMainForm::~TTrovamixMainForm() { qApp->removeEventFilter(this); }

void TTrovamixMainForm::CreateCaption() {
    captionPic_ = new TWPControl(this);
    captionPic_->setObjectName("CaptionPic");
    captionPic_->setFixedSize(DefaultLayout::WindowWidth, 22);
    captionLabel_ = Make<QLabel>(captionPic_, "CaptionLabel");
    closeIconZone_ = Make<QLabel>(captionPic_, "CloseIconZone");
    closeIconZone_->setAccessibleName("Program icon");
    const QImage icon = BuiltinImage("Icon18");
    if (!icon.isNull()) closeIconZone_->setPixmap(QPixmap::fromImage(icon));
    minBtn_ = Make<TMyTransButton>(captionPic_, "MinBtn", "|Minimize");
    closeBtn_ = Make<TMyTransButton>(captionPic_, "CloseBtn", "|Close");
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
    mainMenuPic_ = new TWPControl;
    mainMenuPic_->setObjectName("MainMenuPic");
    mainMenuPic_->setFixedSize(DefaultLayout::WindowWidth, 18);
    menuBar_ = Make<TNewMenu>(mainMenuPic_, "NewMainMenu");
    mainMenuToolWindow_ = Dock(this, "MainMenuToolWindow", "Size bar", mainMenuPic_);
    addDockWidget(Qt::TopDockWidgetArea, mainMenuToolWindow_);

    menuPic_ = new TWPControl;
    menuPic_->setObjectName("MenuPic");
    menuPic_->setFixedSize(DefaultLayout::WindowWidth, 96);
    mixScope_ = Make<TWAVScope>(menuPic_, "MixScope");
    mixVolumeter_ = Make<TWAVVolumeter>(menuPic_, "MixVolumeter");
    scopeButton_ = Toggle(menuPic_, "ScopeButton", "|Switch visual");
    scopeButton_->SetDown(true);
    startButton_ = Toggle(menuPic_, "StartButton", "|Start playing");
    loopButton_ = Toggle(menuPic_, "LoopButton", "|Loop patterns");
    patNumDig_ = Make<TRCADigital>(menuPic_, "PatNumDig", "|Select pattern");
    patUpDown_ = Make<TZavoUpDown>(menuPic_, "PatUpDown", "|Select pattern");
    patPad_ = Make<TNumpad>(menuPic_, "PatPad", "|Select pattern");
    bpmDig_ = Make<TRCADigital>(menuPic_, "BPMDig", "|Adjust Tempo");
    bpmUpDown_ = Make<TZavoUpDown>(menuPic_, "BPMUpDown", "|Adjust Tempo");
    fxVolBtn_ = Toggle(menuPic_, "FXVolBtn", "|Panning / Volume Wheels");
    fxPitchBtn_ = Toggle(menuPic_, "FXPitchBtn", "|Pitch / Mix Wheels");
    fxDrawBtn_ = Toggle(menuPic_, "FXDrawBtn", "|Graph Edit");
    fxNoteBtn_ = Toggle(menuPic_, "FXNoteBtn", "|Keyboard Edit");
    mainVolSlider_ = Make<TTrackSlider>(menuPic_, "MainVolSlider", "|Main Volume");
    shuffleSlider_ = Make<TTrackSlider>(menuPic_, "ShuffleSlider", "|Shuffle");
    mainPitchSlider_ = Make<TTrackSlider>(menuPic_, "MainPitchSlider", "|Main Pitch");
    mainResoSlider_ = Make<TTrackSlider>(menuPic_, "MainResoSlider", "|Main Resonance");
    mainCutOffSlider_ = Make<TTrackSlider>(menuPic_, "MainCutOffSlider", "|Main Cutoff");
    for (TRCADigital* d : {patNumDig_, bpmDig_}) d->SetFormatWidth(3);
    patUpDown_->SetRange(1, 999);
    patUpDown_->SetMoveSpeed(4);
    bpmUpDown_->SetRange(MinTempo, MaxTempo);
    bpmUpDown_->SetMoveSpeed(4);
    mainVolSlider_->SetRange(0, 128);
    shuffleSlider_->SetRange(0, 128);
    mainPitchSlider_->SetRange(-1200, 1200);
    mainPitchSlider_->SetPageSize(25);
    mainResoSlider_->SetRange(0, MainResoMax);
    mainCutOffSlider_->SetRange(0, MainCutOffMax);
    patUpDown_->SetValue(std::clamp(loop_.CurrentPattern, 1, 999), false);
    patNumDig_->SetValue(patUpDown_->Value());
    patPad_->SetValue(patUpDown_->Value());
    bpmUpDown_->SetValue(loop_.Tempo, false);
    bpmDig_->SetValue(loop_.Tempo);
    mainVolSlider_->SetValue(128 - loop_.MainVolume, false);  // the top is full volume
    shuffleSlider_->SetValue(loop_.Shuffle, false);
    mainPitchSlider_->SetValue(loop_.MainPitch, false);
    mainResoSlider_->SetValue(loop_.MainResonance, false);
    mainCutOffSlider_->SetValue(loop_.MainCutOff, false);

    connect(startButton_, &TMyTransButton::Clicked, this, [this] { StartStop(startButton_->Down(), true); });
    connect(startButton_, &TMyTransButton::MouseDown, this, [this](Qt::MouseButton b) {
        if (b != Qt::RightButton) return;
        startButton_->SetDown(!startButton_->Down());
        StartStop(startButton_->Down(), false);
    });
    connect(loopButton_, &TMyTransButton::Clicked, this, [this] { SetSongMode(loopButton_->Down()); });
    connect(scopeButton_, &TMyTransButton::Clicked, this, [this] {
        if (scopeButton_->Down()) return;
        mixScope_->ClearData();
        scopeData_.clear();  // so the next block is drawn even if it is the same
        mixVolumeter_->SetLevels(0, 0);
    });
    connect(mixScope_, &TWAVScope::Clicked, this, [this] { mixScope_->SetStyle((mixScope_->Style() + 1) % 3); });
    connect(patUpDown_, &TZavoUpDown::Changed, this, &TTrovamixMainForm::ChoosePattern);
    connect(patPad_, &TNumpad::Clicked, this, [this](int n) { patUpDown_->SetValue(n, true); });
    connect(bpmUpDown_, &TZavoUpDown::Changed, this, &TTrovamixMainForm::SetTempo);
    tempoMenu_ = new QMenu(this);
    for (int bpm : TempoPresets())
        tempoMenu_->addAction(QString("%1 BPM").arg(bpm), this, [this, bpm] { bpmUpDown_->SetValue(bpm, true); });
    connect(fxVolBtn_, &TMyTransButton::Clicked, this, [this] { SetWheelMode(fxVolBtn_->Down() ? 1 : 0); });
    connect(fxPitchBtn_, &TMyTransButton::Clicked, this, [this] { SetWheelMode(fxPitchBtn_->Down() ? 2 : 0); });
    auto slider = [this](TTrackSlider* s, auto apply) {
        connect(s, &TTrackSlider::Changed, this, [this, s, apply](int v) {
            apply(v);
            ShowHintText(QString("|%1 %2").arg(TSkinWidget::LongHint(s->Hint())).arg(v));
        });
    };
    slider(mainVolSlider_, [this](int v) { loop_.MainVolume = 128 - v; });
    slider(shuffleSlider_, [this](int v) { loop_.Shuffle = v; });
    slider(mainPitchSlider_, [this](int v) { loop_.MainPitch = v; });
    slider(mainResoSlider_, [this](int v) {
        loop_.MainResonance = v;
        if (engine_) engine_->SetMainResonance(v);
    });
    slider(mainCutOffSlider_, [this](int v) {
        loop_.MainCutOff = v;
        if (engine_) engine_->SetMainCutOff(v);
    });
    menuToolWindow_ = Dock(this, "MenuToolWindow", "Remote control", menuPic_);
    addDockWidget(Qt::TopDockWidgetArea, menuToolWindow_);
    splitDockWidget(mainMenuToolWindow_, menuToolWindow_, Qt::Vertical);  // one panel per row

    bottomPic_ = new TWPControl;
    bottomPic_->setObjectName("BottomPic");
    bottomPic_->setFixedSize(DefaultLayout::WindowWidth, 16);
    infoLabel_ = Make<QLabel>(bottomPic_, "InfoLabel");
    infoLabel_->setAccessibleName("Hint");
    bottomToolWindow_ = Dock(this, "BottomToolWindow", "Size bar", bottomPic_);
    addDockWidget(Qt::BottomDockWidgetArea, bottomToolWindow_);
    for (QWidget* panel :
         {static_cast<QWidget*>(mainMenuPic_), static_cast<QWidget*>(menuPic_), static_cast<QWidget*>(bottomPic_)})
        panel->installEventFilter(this);
    for (QDockWidget* dock : {mainMenuToolWindow_, menuToolWindow_, bottomToolWindow_}) {
        connect(dock, &QDockWidget::topLevelChanged, this,
                [this, dock](bool floating) { PanelDockChanged(dock, floating); });
        connect(dock, &QDockWidget::dockLocationChanged, this,
                [this] { menuBar_->SetDropUp(dockWidgetArea(mainMenuToolWindow_) == Qt::BottomDockWidgetArea); });
    }
}

QDockWidget* TTrovamixMainForm::PanelDock(QWidget* w) const {
    if (w == mainMenuPic_) return mainMenuToolWindow_;
    if (w == menuPic_) return menuToolWindow_;
    if (w == bottomPic_ || w == infoLabel_) return bottomToolWindow_;
    return nullptr;
}

void TTrovamixMainForm::PanelDockChanged(QDockWidget* dock, bool floating) {
    // The window keeps its channel area: it gives up or takes back the panel's height.
    if (placingPanels_ || dock->isHidden()) return;
    SetHeight(height() + (floating ? -1 : 1) * dock->widget()->height());
}

void TTrovamixMainForm::DockPanel(QDockWidget* dock, Qt::DockWidgetArea area) {
    // One panel per row: a panel joining a dock goes below the one already there.
    QDockWidget* neighbour = nullptr;
    for (QDockWidget* d : {mainMenuToolWindow_, menuToolWindow_, bottomToolWindow_})
        if (d != dock && !d->isFloating() && !d->isHidden() && dockWidgetArea(d) == area) neighbour = d;
    addDockWidget(area, dock);
    if (neighbour) splitDockWidget(neighbour, dock, Qt::Vertical);
    dock->setFloating(false);
}

bool TTrovamixMainForm::PanelDragEvent(QDockWidget* dock, QEvent::Type type, QMouseEvent* me) {
    const QPoint at = me->globalPosition().toPoint();
    if (type == QEvent::MouseButtonPress) {
        if (me->button() != Qt::RightButton && !dock->isFloating()) return false;
        panelDrag_ = dock;
        panelMoved_ = false;
        dragStart_ = at;
        panelGrab_ = at - dock->frameGeometry().topLeft();
        return true;
    }
    if (panelDrag_ != dock) return false;
    if (type == QEvent::MouseMove) {
        if (!panelMoved_ && (at - dragStart_).manhattanLength() < QApplication::startDragDistance()) return true;
        panelMoved_ = true;
        if (!dock->isFloating()) dock->setFloating(true);
        dock->move(at - panelGrab_);
        return true;
    }
    if (type == QEvent::MouseButtonRelease) {
        panelDrag_ = nullptr;
        // Dropped on the window: the upper half docks at the top, the lower at the bottom.
        if (panelMoved_ && frameGeometry().contains(at))
            DockPanel(dock, at.y() < frameGeometry().center().y() ? Qt::TopDockWidgetArea : Qt::BottomDockWidgetArea);
        return true;
    }
    return false;
}

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
    stepKnob_ = new TStepKnob(loop_, dotVolWheel_, knobHost, this);
    TVisualHost visualHost;
    visualHost.Close = [this] { RunCommand(TCommand::DotsWindow); };
    visualHost.ShowHint = [this](const QString& text) { ShowHintText(text); };
    visualHost.Key = [this](QKeyEvent* e, bool press) { return HandleKey(e, press); };
    visualHost.ShowHelp = [this] { ShowHelpTopic("dots-window"); };
    visualForm_ = new TVisualForm(loop_, visualHost, this);
    const auto& cb = DefaultLayout::ChanBtns;
    for (size_t i = 0; i < 5; ++i) chanBtns_[i] = QPoint(cb[2 * i], cb[2 * i + 1]);
}

void TTrovamixMainForm::CreateMenus() {
    for (const TMenuDef& def : MainMenus()) {
        auto* menu = new QMenu(QString::fromUtf8(def.Caption.data(), qsizetype(def.Caption.size())), this);
        menu->setObjectName(QString::fromUtf8(def.Name.data(), qsizetype(def.Name.size())));
        for (const TMenuItemDef& item : def.Items) {
            if (item.SeparatorBefore) menu->addSeparator();
            auto* action = menu->addAction(QString::fromUtf8(item.Caption.data(), qsizetype(item.Caption.size())));
            action->setObjectName(QString::fromUtf8(item.Name.data(), qsizetype(item.Name.size())));
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

QAction* TTrovamixMainForm::Action(TCommand command) const {
    for (auto& [c, a] : actions_)
        if (c == command) return a;
    return nullptr;
}

void TTrovamixMainForm::ConnectHints(QWidget* root) {
    for (TSkinWidget* w : root->findChildren<TSkinWidget*>())
        connect(w, &TSkinWidget::HintShown, this, &TTrovamixMainForm::ShowHintText, Qt::UniqueConnection);
}

void TTrovamixMainForm::ApplyStyle(const TStyleData& style) {
    const TAppliedStyle applied = applier_.Apply(style);
    const bool hasChanBtns =
        std::any_of(applied.ChanBtns.begin(), applied.ChanBtns.end(), [](QPoint p) { return !p.isNull(); });
    if (hasChanBtns) chanBtns_ = applied.ChanBtns;
    const int width = applied.MainClientWidth > 0 ? applied.MainClientWidth : DefaultLayout::WindowWidth;
    setFixedWidth(width);
    for (int i = 0; i < RowCount(); ++i) AssignRowStrips(rows_[size_t(i)], i);
    LayoutChannelRows();
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
        loop_.Channel(ch).Volume = v;
        loop_.Modified = true;
        SelectAlone(ch);
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
        if (b != Qt::RightButton) return;
        if (loop_.Channel(ch).Minimized) {
            loop_.SetMinimized(ch, false);
            LayoutChannelRows();
            FitHeight();
        } else {
            OpenChannelMenu(ch, row->SetButton->mapToGlobal(QPoint(row->SetButton->width(), 0)));
        }
    });
    connect(row->SetButton, &TMyTransButton::Clicked, this, [this, chOf] { SelectAlone(chOf()); });
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
        row->SetButton->SetCaption(QString::fromStdString(NameButtonCaption(c.Name)));
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
    SetHeight(tx::FitHeight(height(), MinHeight(), MaxHeight(), autoMaximize_));
    if (visualForm_) visualForm_->FitChannels();
}

void TTrovamixMainForm::SetWheelMode(int mode) {
    if (mode == wheelMode_) return;
    wheelMode_ = mode;
    RepaintSteps();
    dotVolWheel_->update();
    fxVolBtn_->SetDown(mode == 1);
    fxPitchBtn_->SetDown(mode == 2);
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

void TTrovamixMainForm::RepaintSteps() {
    for (TChannelRow* row : rows_) row->TechnoGrid->update();
}

bool TTrovamixMainForm::CurrentPatternPlaying() const {
    if (engine_) return patternPlaying_;  // as the last scope tick saw it under the lock
    const auto& p = loop_.PlayingPatterns;
    return std::find(p.begin(), p.end(), int16_t(loop_.CurrentPattern)) != p.end();
}

void TTrovamixMainForm::StartStop(bool start, bool resetSongPosition) {
    startButton_->SetDown(start);
    quietTicks_ = 0;  // the lights follow from the first step
    scopeTimer_->setInterval(ScopeIntervalMs);
    if (!engine_) return;
    if (start)
        engine_->Start();
    else
        engine_->Stop(resetSongPosition);
}

void TTrovamixMainForm::SetSongMode(bool on) {
    loopButton_->SetDown(on);
    if (engine_)
        engine_->SetSongMode(on);
    else
        loop_.SongMode = on;
}

void TTrovamixMainForm::ChoosePattern(int pattern) {
    patNumDig_->SetValue(pattern);
    patPad_->SetValue(pattern);
    if (patUpDown_->Value() != pattern) patUpDown_->SetValue(pattern, false);
    if (pattern == loop_.CurrentPattern) return;
    if (engine_)
        engine_->ChoosePattern(pattern);
    else
        loop_.CurrentPattern = pattern;
    RepaintSteps();
}

void TTrovamixMainForm::SetTempo(int bpm) {
    bpmDig_->SetValue(bpm);
    if (engine_)
        engine_->SetTempo(bpm);
    else
        loop_.Tempo = bpm;
    loop_.Modified = true;
}

void TTrovamixMainForm::MuteClick(int channel) {
    TChannel& c = loop_.Channel(channel);
    c.Enabled = !rows_[size_t(channel)]->FrontMuteButton->Down();
    SelectAlone(channel);
    loop_.Modified = true;
}

void TTrovamixMainForm::Solo(int channel) {
    bool othersMuted = true;
    for (int i = 0; i < loop_.ChannelCount(); ++i)
        if (i != channel && loop_.Channel(i).Enabled) othersMuted = false;
    for (int i = 0; i < loop_.ChannelCount(); ++i) loop_.Channel(i).Enabled = othersMuted || i == channel;
    SelectAlone(channel);
}

void TTrovamixMainForm::SelectAlone(int channel) {
    loop_.SelectChannelAlone(channel);
    UpdateRowStates();
}

void TTrovamixMainForm::ScopeTick() {
    const bool dotsLit = visualForm_->isVisible() && visualForm_->Tick();
    if (!engine_) return;
    // The leds show the step being heard now: the core's snapshot of what is
    // audible, read without the engine lock (a render holds it for its whole run).
    engine_->ShowAudible(streaming_ ? streaming_->AudibleFrame() : EverythingAudible, audible_);
    const int step = audible_.Step;
    patternPlaying_ = audible_.PatternPlays(loop_.CurrentPattern);
    bool changed = engine_->Playing || step != lastLedStep_ || dotsLit;
    if (step != lastLedStep_) {
        lastLedStep_ = step;
        for (TChannelRow* row : rows_) row->TechnoGrid->SetLedStep(step);
    }
    engine_->ScopeButton.store(scopeButton_->Down(), std::memory_order_relaxed);
    if (scopeButton_->Down()) changed |= TickScope();
    quietTicks_ = changed ? 0 : quietTicks_ + 1;
    const int interval = quietTicks_ > QuietTicks ? QuietIntervalMs : ScopeIntervalMs;
    if (scopeTimer_->interval() != interval) scopeTimer_->setInterval(interval);
}

int TTrovamixMainForm::ScopeInterval() const { return scopeTimer_->interval(); }

bool TTrovamixMainForm::TickScope() {
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
        if (!same) mixScope_->SetData(scopeData_.data(), int(scopeData_.size() / 2));
        changed = !same;
    }
    const int left = std::max(mixVolumeter_->LeftLevel() - MeterFall, engine_->PeakLeft.exchange(0));
    const int right = std::max(mixVolumeter_->RightLevel() - MeterFall, engine_->PeakRight.exchange(0));
    if (left != mixVolumeter_->LeftLevel() || right != mixVolumeter_->RightLevel()) {
        mixVolumeter_->SetLevels(std::max(left, 0), std::max(right, 0));
        changed = true;
    }
    return changed;
}

bool TTrovamixMainForm::HandleKey(QKeyEvent* e, bool press) {
    TKeyInput k;
    k.Ctrl = e->modifiers() & Qt::ControlModifier;
    k.AutoRepeat = e->isAutoRepeat();
    const bool keypad = e->modifiers() & Qt::KeypadModifier;
    const int key = e->key();
    if (press && (e->modifiers() & Qt::AltModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) {
        const int menu = MenuForAltLetter(char('A' + (key - Qt::Key_A)));
        if (menu < 0) return false;
        menuBar_->OpenItem(menu);
        return true;
    }
    if (press && key == Qt::Key_Menu) {
        OpenChannelMenuFromKeyboard();
        return true;
    }
    if (e->modifiers() & Qt::AltModifier) return false;
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        k.Key = keypad ? TKey::Keypad : TKey::Digit;
        k.Digit = key - Qt::Key_0;
    } else {
        switch (key) {
            case Qt::Key_Plus:
                k.Key = keypad ? TKey::KeypadPlus : TKey::Other;
                break;
            case Qt::Key_Minus:
                k.Key = keypad ? TKey::KeypadMinus : TKey::Other;
                break;
            case Qt::Key_Slash:
                k.Key = keypad ? TKey::KeypadDivide : TKey::Other;
                break;
            case Qt::Key_Asterisk:
                k.Key = keypad ? TKey::KeypadMultiply : TKey::Other;
                break;
            case Qt::Key_Space:
                k.Key = TKey::Space;
                break;
            case Qt::Key_L:
                k.Key = TKey::L;
                break;
            case Qt::Key_K:
                k.Key = TKey::K;
                break;
            case Qt::Key_P:
                k.Key = TKey::P;
                break;
            case Qt::Key_V:
                k.Key = TKey::V;
                break;
            case Qt::Key_F:
                k.Key = TKey::F;
                break;
            case Qt::Key_Shift:
                k.Key = TKey::Shift;
                break;
            case Qt::Key_Control:
                k.Key = TKey::Control;
                break;
            case Qt::Key_PageUp:
                k.Key = TKey::PageUp;
                break;
            case Qt::Key_PageDown:
                k.Key = TKey::PageDown;
                break;
            case Qt::Key_Up:
                k.Key = TKey::Up;
                break;
            case Qt::Key_Down:
                k.Key = TKey::Down;
                break;
            default:
                return false;
        }
    }
    if (k.Key == TKey::Other) return false;
    TKeyState s;
    s.ChannelCount = loop_.ChannelCount();
    s.NoteButtonDown = fxNoteBtn_->Down();
    s.DrawButtonDown = fxDrawBtn_->Down();
    s.WheelMode = wheelMode_;
    s.MainOrEditorActive = isActiveWindow() || QApplication::activeWindow() == nullptr;
    const auto commands = press ? KeyPressed(k, s) : KeyReleased(k, s);
    for (const TKeyCommand& c : commands) RunKeyCommand(c);
    return !commands.empty() || (k.Key == TKey::Digit || k.Key == TKey::Keypad);
}

void TTrovamixMainForm::RunKeyCommand(const TKeyCommand& c) {
    switch (c.Action) {
        case TKeyAction::ToggleMute:
            rows_[size_t(c.Arg)]->FrontMuteButton->SetDown(!rows_[size_t(c.Arg)]->FrontMuteButton->Down());
            MuteClick(c.Arg);
            break;
        case TKeyAction::Solo:
            Solo(c.Arg);
            break;
        case TKeyAction::ToggleStart:
            StartStop(!startButton_->Down(), false);
            break;
        case TKeyAction::ToggleLoop:
            SetSongMode(!loopButton_->Down());
            break;
        case TKeyAction::PatternStep:
            patUpDown_->SetValue(patUpDown_->Value() + c.Arg, true);
            break;
        case TKeyAction::SelectPattern:
            patUpDown_->SetValue(c.Arg, true);
            break;
        case TKeyAction::SongPositionStep:
            if (engine_) engine_->JumpToSongPosition(std::max(0, loop_.SongPosition + c.Arg));
            break;
        case TKeyAction::PressNoteButton:
            fxNoteBtn_->SetDown(true);
            break;
        case TKeyAction::PressDrawButton:
            fxDrawBtn_->SetDown(true);
            break;
        case TKeyAction::SetWheelMode:
            SetWheelMode(c.Arg);
            break;
        case TKeyAction::SelectNextChannel: {
            std::vector<bool> minimized;
            for (int i = 0; i < loop_.ChannelCount(); ++i) minimized.push_back(loop_.Channel(i).Minimized);
            const int from = std::max(0, loop_.SelectedChannel());
            SelectAlone(AdjacentChannel(from, c.Arg, minimized));
            break;
        }
        case TKeyAction::CloseKeyboardEditor:
            fxNoteBtn_->SetDown(false);
            fxDrawBtn_->SetDown(false);
            break;
        case TKeyAction::LineCursor:
            setCursor(ProgramCursor("LINE"));
            lineCursor_ = true;
            break;
        case TKeyAction::DefaultCursor:
            unsetCursor();
            lineCursor_ = false;
            break;
        default:
            break;  // the keyboard editor, the channel window and the plug-in are not here yet
    }
}

THelpWindow* TTrovamixMainForm::HelpWindow() const { return help_; }

void TTrovamixMainForm::ShowHelpTopic(const QString& anchor) {
    if (!help_) {
        help_ = new THelpWindow(helpFile_, this);  // a window of its own that closes with this one
        help_->setWindowFlag(Qt::Window);
    }
    help_->ShowTopic(anchor);
    help_->show();
    help_->raise();
}

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
            SetHeight(height() + (show ? 1 : -1) * bottomPic_->height());
            break;
        }
        case TCommand::MidiOnly:
        case TCommand::WavOnly: {
            const bool wav = command == TCommand::WavOnly;
            if (startButton_->Down()) StartStop(false, true);
            if (engine_) engine_->SetUseWAVOnly(wav);
            Action(TCommand::WavOnly)->setChecked(wav);
            Action(TCommand::MidiOnly)->setChecked(!wav);
            Action(TCommand::SyncToInput)->setEnabled(!wav);
            break;
        }
        case TCommand::RenderWav:
            if (engine_)
                RenderWAVMenu(this, *engine_, QString::fromStdString(workflow_ ? workflow_->LoopFileName : ""),
                              lastRenderedWAV_);
            break;
        case TCommand::ExportMidi:
            if (engine_) ExportMidiMenu(this, loop_, engine_->Settings);
            break;
        case TCommand::PatternToClipboard:
        case TCommand::LoopToClipboard:
            if (engine_) CopyMidiToClipboard(loop_, engine_->Settings, command == TCommand::LoopToClipboard);
            break;
        case TCommand::HelpContents:
            ShowHelpTopic("contents");
            break;
        case TCommand::Tips:
            ShowTips();
            break;
        case TCommand::About:
            ShowAbout();
            break;
        case TCommand::ProductsInfo:
            ShowProductsInfo();
            break;
        case TCommand::Panic:
            Panic();
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

void TTrovamixMainForm::ShowTips() {
    QDialog dialog(this);
    dialog.setWindowTitle("And now for some annoying tips...");
    auto* layout = new QVBoxLayout(&dialog);
    auto* header = new QLabel("Welcome at ...");
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);
    auto* text = new QLabel(Tips().front());
    text->setWordWrap(true);
    text->setMinimumSize(320, 60);
    auto* annoy = new QCheckBox("Annoy me next time");
    annoy->setChecked(true);
    auto* next = new QPushButton("&Next");
    auto* closeButton = new QPushButton("&Close");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(annoy);
    buttons->addStretch();
    buttons->addWidget(next);
    buttons->addWidget(closeButton);
    layout->addWidget(header);
    layout->addWidget(text);
    layout->addLayout(buttons);
    size_t index = 0;
    connect(next, &QPushButton::clicked, &dialog, [&] {
        index = (index + 1) % Tips().size();
        text->setText(Tips()[index]);
    });
    connect(closeButton, &QPushButton::clicked, &dialog, &QDialog::accept);
    dialog.exec();
}

void TTrovamixMainForm::ShowProductsInfo() {
    auto* view = new QTextBrowser;
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->setWindowTitle("Products info");
    view->setReadOnly(true);
    QFile file(QCoreApplication::applicationDirPath() + "/InfoTxt.rtf");
    // No rich-text reader in the program yet: the file's text is shown without its markup.
    QString text;
    if (file.open(QIODevice::ReadOnly)) {
        const QString raw = QString::fromLatin1(file.readAll());
        bool inWord = false;
        int depth = 0;
        for (int i = 0; i < raw.size(); ++i) {
            const QChar ch = raw[i];
            if (ch == '{')
                ++depth;
            else if (ch == '}')
                --depth;
            else if (ch == '\\') {
                inWord = true;
                if (raw.mid(i, 4) == "\\par") text += '\n';
            } else if (inWord && (ch == ' ' || ch == '\r' || ch == '\n'))
                inWord = false;
            else if (!inWord && ch != '\r' && ch != '\n')
                text += ch;
        }
    }
    view->setPlainText(text.isEmpty() ? "Trovamix" : text);
    view->resize(420, 320);
    view->show();
}

void TTrovamixMainForm::ShowAbout() {
    QMessageBox::about(
        this, "About Trovamix",
        QString("Trovamix %1\nA loop-based drum machine and step sequencer.").arg(TROVAMIX_VERSION_TEXT));
}

void TTrovamixMainForm::Panic() {
    // Stop any remaining sound: every voice goes, playing or not.
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
    mixScope_->SetStyle(std::clamp(st.ScopeStyle, 0, 2));
    scopeButton_->SetDown(st.ScopeEnabled);
    if (!st.ScopeEnabled) {
        mixScope_->ClearData();
        mixVolumeter_->SetLevels(0, 0);
    }
    RunCommand(st.UseWAVOnly ? TCommand::WavOnly : TCommand::MidiOnly);
    placingPanels_ = true;  // the height is set for all of them once they stand
    for (const TDockPanel& panel : st.Docks) {
        auto* dock = findChild<QDockWidget*>(QString::fromStdString(panel.Name));
        if (!dock) continue;
        if (panel.DockedTo.empty()) {
            dock->setFloating(true);
            dock->move(panel.FloatLeft, panel.FloatTop);
        } else {
            addDockWidget(panel.DockedTo == "BottomDock" ? Qt::BottomDockWidgetArea : Qt::TopDockWidgetArea, dock);
        }
        dock->setVisible(panel.Visible);
        if (dock == bottomToolWindow_)
            if (QAction* a = Action(TCommand::HintPanel)) a->setChecked(panel.Visible);
    }
    if (dockWidgetArea(mainMenuToolWindow_) == Qt::TopDockWidgetArea &&
        dockWidgetArea(menuToolWindow_) == Qt::TopDockWidgetArea)
        splitDockWidget(mainMenuToolWindow_, menuToolWindow_, Qt::Vertical);
    menuBar_->SetDropUp(dockWidgetArea(mainMenuToolWindow_) == Qt::BottomDockWidgetArea);
    placingPanels_ = false;
    SetHideLeds(st.Minimized);  // last: the rows are laid out once with every flag in place
}

void TTrovamixMainForm::StoreSettings(TDesktopSettings& st) const {
    st.WindowX = x();
    st.WindowY = y();
    st.EasyMove = easyMove_;
    st.AutoMaximize = autoMaximize_;
    st.MouseUse = bothButtons_;
    st.LedsOver = ledsOverKnobs_;
    st.Minimized = hideLeds_;
    st.ScopeStyle = mixScope_->Style();
    st.ScopeEnabled = scopeButton_->Down();
    if (QAction* a = Action(TCommand::WavOnly)) st.UseWAVOnly = a->isChecked();
    for (TDockPanel& panel : st.Docks) {
        auto* dock = findChild<QDockWidget*>(QString::fromStdString(panel.Name));
        if (!dock) continue;
        panel.Visible = !dock->isHidden();
        panel.Docked = !dock->isFloating();
        panel.DockedTo = dock->isFloating()                                 ? ""
                         : dockWidgetArea(dock) == Qt::BottomDockWidgetArea ? "BottomDock"
                                                                            : "TopDock";
        if (dock->isFloating()) {
            panel.FloatLeft = dock->x();
            panel.FloatTop = dock->y();
        }
    }
}

void TTrovamixMainForm::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (isVisible()) clampTimer_->start();
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
    if (startButton_->Down()) StartStop(false, true);
    patUpDown_->SetValue(std::clamp(loop_.CurrentPattern, 1, 999), false);
    patNumDig_->SetValue(patUpDown_->Value());
    patPad_->SetValue(patUpDown_->Value());
    bpmUpDown_->SetValue(loop_.Tempo, false);
    bpmDig_->SetValue(loop_.Tempo);
    mainVolSlider_->SetValue(128 - loop_.MainVolume, false);
    shuffleSlider_->SetValue(loop_.Shuffle, false);
    mainPitchSlider_->SetValue(loop_.MainPitch, false);
    mainResoSlider_->SetValue(loop_.MainResonance, false);
    mainCutOffSlider_->SetValue(loop_.MainCutOff, false);
    loopButton_->SetDown(loop_.SongMode);
    ChannelsChanged();
    RepaintSteps();
    emit LoopShown();
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
    // A loop file goes to the file workflow (which asks to save a modified loop
    // first); samples are for the channel rows, not handled here yet.
    if (workflow_) workflow_->DropFiles(paths);
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
    if (startButton_->Down()) StartStop(false, true);
    event->accept();
}

void TTrovamixMainForm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) applier_.ShowActive(isActiveWindow());
    QMainWindow::changeEvent(event);
}

bool TTrovamixMainForm::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        auto* w = qobject_cast<QWidget*>(watched);
        // The window sees its keys before its controls; dialogs keep theirs.
        if (!w || w->window() != this) return false;
        return HandleKey(static_cast<QKeyEvent*>(event), type == QEvent::KeyPress);
    }
    if (watched == bpmDig_ && type == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        tempoMenu_->popup(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        return true;
    }
    if (watched == closeIconZone_ && type == QEvent::MouseButtonDblClick) {
        close();
        return true;
    }
    if (watched == closeIconZone_ && type == QEvent::MouseButtonPress) IconClicked();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonDblClick)
        return false;
    auto* w = qobject_cast<QWidget*>(watched);
    if (QDockWidget* dock = PanelDock(w);
        dock && type != QEvent::MouseButtonDblClick && PanelDragEvent(dock, type, static_cast<QMouseEvent*>(event)))
        return true;
    if (!w || w->window() != this) return false;
    // Only the window's own surfaces move it or toggle its height; controls keep their clicks.
    const bool surface = w->property("tag").toInt() == 1 || w == backWP_ || w == leftSideWP_ || w == rightSideWP_ ||
                         w == menuPic_ || w == mainMenuPic_ || w == bottomPic_ || w == patNumDig_ || w == bpmDig_ ||
                         w == infoLabel_ || qobject_cast<TChannelRow*>(w);
    if (!surface) return false;
    if (type == QEvent::MouseButtonDblClick) {
        const TWindowMetrics m = Metrics();
        SetHeight(heightToggle_.Toggle(height(), MinHeight(), MaxHeight(), m.ScreenHeight));
        return true;
    }
    auto* me = static_cast<QMouseEvent*>(event);
    const bool caption = w->property("tag").toInt() == 1;
    const bool hintPanel = w == bottomPic_ || w == infoLabel_;
    if (type == QEvent::MouseButtonPress) {
        dragStart_ = me->globalPosition().toPoint();
        dragKind_ = DragNone;
        if (me->button() == Qt::RightButton && caption) {
            dragKind_ = DragCaptionHeight;  // dragging up makes the window taller
        } else if (me->button() == Qt::LeftButton && hintPanel) {
            dragKind_ = DragHintHeight;
        } else if (me->button() == Qt::LeftButton) {
            if ((caption || easyMove_) && windowHandle() && windowHandle()->startSystemMove()) return true;
            dragKind_ = caption || easyMove_ ? DragMove : DragScroll;
        }
        return dragKind_ != DragNone && dragKind_ != DragScroll;
    }
    if (type == QEvent::MouseMove && dragKind_ != DragNone && (me->buttons() & (Qt::LeftButton | Qt::RightButton))) {
        const QPoint now = me->globalPosition().toPoint();
        const int dy = now.y() - dragStart_.y();
        switch (dragKind_) {
            case DragMove: {
                const TWindowMetrics m = Metrics();
                move(x() + now.x() - dragStart_.x(), ClampTop(y() + dy, height(), m.ScreenHeight, m.CaptionHeight));
                break;
            }
            case DragScroll:
                if (w == backWP_ || qobject_cast<TChannelRow*>(w)) {
                    QScrollBar* bar = gridsBox_->verticalScrollBar();
                    bar->setValue(bar->value() - dy);  // the rows follow the mouse
                }
                break;
            case DragCaptionHeight:
                SetHeight(height() - dy);
                break;
            case DragHintHeight:
                SetHeight(height() + dy);
                break;
            default:
                break;
        }
        dragStart_ = now;
        return true;
    }
    if (type == QEvent::MouseButtonRelease) dragKind_ = DragNone;
    return false;
}

}  // namespace tx
