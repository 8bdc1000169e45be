#include "window/ChannelForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDrag>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/FavOpenDialog.h"
#include "engine/Engine.h"
#include "engine/SampleInstall.h"
#include "midi/MidiOut.h"
#include "model/Loop.h"
#include "samples/Samples.h"

namespace tx {

namespace {

constexpr int KeyboardScrollStart = 250;
constexpr int DelayTimeDefault = 48;
const QColor GridSelected(255, 208, 208);  // light red

const char* const FormStyle = R"(
#SettingsForm { background: rgb(36,38,43); }
QLabel, QCheckBox { background: transparent; color: rgb(222,222,214); }
QTabWidget::pane { background: rgb(44,46,52); border: 1px solid rgb(74,77,85); top: -1px; }
QTabBar::tab { background: rgb(30,31,35); color: rgb(170,170,162); padding: 4px 12px; border: 1px solid rgb(74,77,85);
               border-bottom: none; margin-right: 2px; }
QTabBar::tab:selected { background: rgb(44,46,52); color: rgb(255,236,200); }
QLineEdit, QSpinBox, QComboBox, QListWidget { background: rgb(22,23,27); color: rgb(235,235,226);
               selection-background-color: rgb(120,90,90); }
QListWidget::item:selected { background: rgb(130,92,92); color: white; }
QPushButton { background: rgb(64,67,75); color: rgb(235,235,226); border: 1px solid rgb(96,99,108);
              padding: 3px 9px; border-radius: 3px; }
QPushButton:pressed { background: rgb(90,94,104); }
QPushButton:focus, QListWidget:focus, QTableWidget:focus { border: 1px solid rgb(110,160,235); }
QScrollArea { background: rgb(30,30,30); border: none; }
QCheckBox::indicator { width: 11px; height: 11px; border: 1px solid rgb(150,152,160); background: rgb(22,23,27); }
QCheckBox::indicator:checked { background: rgb(236,150,110); border: 1px solid rgb(255,210,180); }
QCheckBox:focus { color: rgb(150,190,250); }
)";

// Names a plain widget for the style and for a screen reader.
template <class T>
T* Named(T* w, const char* name, const QString& accessible) {
    w->setObjectName(name);
    w->setAccessibleName(accessible);
    return w;
}

QLabel* Caption(const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text);
    l->setBuddy(buddy);
    return l;
}

// A scope over flag `f`: set while it lives, as it was afterwards.
class TFlagScope {
public:
    explicit TFlagScope(bool& f) : f_(f), old_(f) { f_ = true; }
    ~TFlagScope() { f_ = old_; }

private:
    bool& f_;
    bool old_;
};

}  // namespace

// ---------------------------------------------------------------- building

TChannelForm::TChannelForm(TLoop& loop, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), loop_(loop) {
    setObjectName("SettingsForm");
    setWindowTitle("Channel settings");
    setAttribute(Qt::WA_ShowWithoutActivating);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor(36, 38, 43));
    dark.setColor(QPalette::WindowText, QColor(222, 222, 214));
    dark.setColor(QPalette::Base, QColor(26, 27, 31));
    dark.setColor(QPalette::AlternateBase, QColor(44, 46, 52));
    dark.setColor(QPalette::Text, QColor(230, 230, 222));
    dark.setColor(QPalette::Button, QColor(58, 61, 68));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 222));
    dark.setColor(QPalette::Highlight, QColor(120, 90, 90));
    setPalette(dark);
    setAutoFillBackground(true);
    // The main window's style sheet reaches this window too, so the dark panel look is spelled out here.
    setStyleSheet(FormStyle);

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(6, 6, 6, 6);
    v->setSpacing(4);
    auto* top = new QWidget;
    BuildTop(top);
    v->addWidget(top);
    Sheets = Named(new QTabWidget, "Sheets", "Sheets");
    Sheets->addTab(BuildMidiSheet(), "MIDI");
    Sheets->addTab(BuildSampleSheet(), "SAMPLE");
    Sheets->addTab(BuildPitchSheet(), "PITCH");
    Sheets->addTab(BuildDelaySheet(), "DELAY");
    Sheets->addTab(BuildMixSheet(), "MIX");
    v->addWidget(Sheets);

    Reprocess = [this](int ch) {
        if (install_) install_->ReprocessChannel(ch);
    };
    AskSampleFiles = [this](const QString& start) {
        return ChooseSampleFiles(SampleOpenDialog(), start, [this](const QString& file) {
            const bool on = Host.PreviewInOpenDialog && Host.PreviewInOpenDialog();
            if (install_ && PreviewInDialog(file.toStdString(), QFileInfo(file).size(), on))
                install_->PreviewFile(file.toStdString());
        });
    };
    AskColour = [this](QColor& colour) {
        const QColor c = QColorDialog::getColor(colour, this, "Channel color");
        if (!c.isValid()) return false;
        colour = c;
        return true;
    };
    // Page Up/Down, Enter and F1 reach the window whichever control has the focus.
    for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
    for (TSkinWidget* w : findChildren<TSkinWidget*>())
        connect(w, &TSkinWidget::HintShown, this, [this](const QString& text) {
            if (Host.ShowHint) Host.ShowHint("|" + text);
        });
    RebuildChannelLists();
}

TWAVWheel* TChannelForm::MakeKnob(QWidget* parent, const char* name, const QString& hint, int min, int max, int start) {
    auto* k = new TWAVWheel(parent);
    k->setObjectName(name);
    k->SetHint(hint);
    k->SetRange(min, max);
    k->SetValueProperty(start);
    k->resize(23, 23);
    k->setMinimumSize(23, 23);
    k->SetMoveSpeed(std::max(16, (max - min) / 4));
    k->SetPageSize(std::max(10, (max - min) / 16));
    k->setFocusPolicy(Qt::StrongFocus);
    knobs_.push_back(k);
    return k;
}

QSpinBox* TChannelForm::MakeSpin(const char* name, const QString& accessible, int min, int max, int start) {
    auto* s = Named(new QSpinBox, name, accessible);
    s->setRange(min, max);
    s->setValue(start);
    s->setKeyboardTracking(false);  // a typed number counts once it is complete
    return s;
}

void TChannelForm::SetKnobStrip(TImageStrip* strip) {
    for (TWAVWheel* k : knobs_) k->SetWheelIL(strip);
}

// A knob with its caption under it.
static QWidget* KnobCell(TWAVWheel* knob, const QString& caption) {
    auto* cell = new QWidget;
    auto* v = new QVBoxLayout(cell);
    v->setContentsMargins(2, 2, 2, 2);
    v->setSpacing(1);
    knob->setParent(cell);
    v->addWidget(knob, 0, Qt::AlignHCenter);
    auto* l = new QLabel(caption);
    l->setAlignment(Qt::AlignHCenter);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * 0.85);
    l->setFont(f);
    v->addWidget(l);
    return cell;
}

void TChannelForm::BuildTop(QWidget* top) {
    auto* h = new QHBoxLayout(top);
    h->setContentsMargins(0, 0, 0, 0);
    NameEDit = Named(new QLineEdit, "NameEDit", "Channel name");
    NameEDit->setMaxLength(20);
    ColorSample = Named(new QPushButton, "ColorSample", "Channel color");
    ColorSample->setFixedSize(22, 22);
    ColorSample->setToolTip({});
    VolWheel = MakeKnob(top, "VolWheel", "|Channel Volume", 0, 127, 100);
    PanWheel = MakeKnob(top, "PanWheel", "|Channel Pan", 0, 127, 64);
    MuteBox = Named(new QCheckBox("Muted"), "MuteBox", "Muted");
    VolMenu = new QMenu(this);
    VolMenu->setObjectName("VolMenu");
    VolMenu->addAction("Max", this, [this] { VolWheel->SetValue(127, true); });
    VolMenu->addAction("Default", this, [this] { VolWheel->SetValue(100, true); });
    VolWheel->SetPopupMenu(VolMenu);
    PanMenu = new QMenu(this);
    PanMenu->setObjectName("PanMenu");
    PanMenu->addAction("Left", this, [this] { PanWheel->SetValue(0, true); });
    PanMenu->addAction("Middle", this, [this] { PanWheel->SetValue(64, true); });
    PanMenu->addAction("Right", this, [this] { PanWheel->SetValue(127, true); });
    PanWheel->SetPopupMenu(PanMenu);
    h->addWidget(NameEDit, 1);
    h->addWidget(ColorSample);
    h->addWidget(KnobCell(VolWheel, "Vol"));
    h->addWidget(KnobCell(PanWheel, "Pan"));
    h->addWidget(MuteBox);

    connect(NameEDit, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (!Ready()) return;
        if (Host.Rename) Host.Rename(tag_, text.toStdString());
        setWindowTitle(QString::fromStdString(ChannelFormCaption(text.toStdString())));
        loop_.Modified = true;
    });
    connect(ColorSample, &QPushButton::clicked, this, &TChannelForm::ChooseColour);
    connect(VolWheel, &TWAVWheel::Changed, this, [this](int v) {
        if (!Ready()) return;
        if (Host.SetVolume) Host.SetVolume(tag_, v);
        if (Host.ShowHint) Host.ShowHint(QString("|vol %1").arg(v));
    });
    connect(PanWheel, &TWAVWheel::Changed, this, [this](int v) {
        if (!Ready()) return;
        loop_.TouchChannel(tag_);
        Edited().Pan = v;
        Then(TThen::SendSetup);
        if (Host.ShowHint) Host.ShowHint(QString("|pan %1").arg(v - 64));
    });
    connect(MuteBox, &QCheckBox::toggled, this, [this](bool muted) {
        if (!Ready()) return;
        if (muted != !Edited().Enabled && Host.SetMuted) Host.SetMuted(tag_, muted);
    });
}

QWidget* TChannelForm::BuildMidiSheet() {
    auto* sheet = Named(new QWidget, "MIDISheet", "MIDI");
    auto* g = new QGridLayout(sheet);
    ChanSelect = Named(new QComboBox, "ChanSelect", "Channel");
    for (int i = 1; i <= 16; ++i) ChanSelect->addItem(QString::number(i));
    ChanSelect->setCurrentIndex(9);
    NoteSelect = MakeSpin("NoteSelect", "Select note (drum)", -1, 127, -1);
    NoteSelect->setSpecialValueText("none");
    NoteLabel = new QLabel("Note (none)");
    NoteLabel->setObjectName("NoteLabel");
    NoteLabel->setBuddy(NoteSelect);
    PatchSelect = MakeSpin("PatchSelect", "Patch", -1, 127, -1);
    PatchSelect->setSpecialValueText("none");
    BankSelect = MakeSpin("BankSelect", "Bank", -1, 127, -1);
    BankSelect->setSpecialValueText("none");
    CtrlNumSelect = MakeSpin("CtrlNumSelect", "Controller", 0, 127, 0);
    CtrlValSelect = MakeSpin("CtrlValSelect", "set to", -1, 127, -1);
    CtrlValSelect->setSpecialValueText("not set");

    NoteGrid = Named(new QTableWidget(NoteGridRows, NoteGridColumns), "NoteGrid", "Select note (drum)");
    NoteGrid->horizontalHeader()->hide();
    NoteGrid->verticalHeader()->hide();
    NoteGrid->horizontalHeader()->setMinimumSectionSize(10);
    NoteGrid->horizontalHeader()->setDefaultSectionSize(30);
    NoteGrid->verticalHeader()->setDefaultSectionSize(18);
    NoteGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    NoteGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    NoteGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    NoteGrid->setShowGrid(true);
    NoteGrid->setTabKeyNavigation(false);  // Tab leaves the grid; the arrows move in it
    NoteGrid->setStyleSheet(QString("QTableWidget { background: rgb(58,61,68); color: rgb(235,235,226); "
                                    "gridline-color: rgb(30,31,35); }"
                                    "QTableWidget::item:selected { background: rgb(%1,%2,%3); color: black; }")
                                .arg(GridSelected.red())
                                .arg(GridSelected.green())
                                .arg(GridSelected.blue()));
    for (int r = 0; r < NoteGridRows; ++r)
        for (int c = 0; c < NoteGridColumns; ++c) {
            auto* item = new QTableWidgetItem(QString::number(NoteGridKey(c, r)));
            item->setTextAlignment(Qt::AlignCenter);
            NoteGrid->setItem(r, c, item);
        }
    NoteGrid->setFixedWidth(8 * 30 + 4 + NoteGrid->verticalScrollBar()->sizeHint().width());

    g->addWidget(Caption("Channel", ChanSelect), 0, 0);
    g->addWidget(ChanSelect, 0, 1);
    g->addWidget(NoteLabel, 1, 0);
    g->addWidget(NoteSelect, 1, 1);
    g->addWidget(Caption("Patch", PatchSelect), 2, 0);
    g->addWidget(PatchSelect, 2, 1);
    g->addWidget(Caption("Bank", BankSelect), 3, 0);
    g->addWidget(BankSelect, 3, 1);
    g->addWidget(Caption("Controller", CtrlNumSelect), 4, 0);
    g->addWidget(CtrlNumSelect, 4, 1);
    g->addWidget(Caption("set to", CtrlValSelect), 5, 0);
    g->addWidget(CtrlValSelect, 5, 1);
    g->setRowStretch(6, 1);
    g->addWidget(NoteGrid, 0, 2, 7, 1);

    connect(ChanSelect, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!Ready() || i < 0) return;
        loop_.TouchChannel(tag_);
        Edited().MidiChannel = i;  // sent with the next note or set-up
        Then(TThen::Modified);
    });
    connect(NoteSelect, &QSpinBox::valueChanged, this, [this](int v) {
        if (v < -1 || v > 127) return;
        NoteLabel->setText(QString::fromStdString(NoteLabelText(v)));
        if (!Ready()) return;
        loop_.TouchChannel(tag_);
        Edited().MidiNote = StoredMidiValue(v);
        SelectGridCell(v);
        Then(TThen::Modified);
    });
    connect(NoteGrid, &QTableWidget::currentCellChanged, this, [this](int r, int c) { NoteGridPicked(r, c); });
    for (QSpinBox* s : {PatchSelect, BankSelect})
        connect(s, &QSpinBox::valueChanged, this, [this, s](int v) {
            if (!Ready()) return;
            loop_.TouchChannel(tag_);
            (s == PatchSelect ? Edited().MidiPatch : Edited().MidiBank) = StoredMidiValue(v);
            Then(TThen::SendSetup);
        });
    connect(CtrlNumSelect, &QSpinBox::valueChanged, this, [this] { ShowController(); });
    connect(CtrlValSelect, &QSpinBox::valueChanged, this, [this](int v) {
        if (!Ready()) return;
        const int number = CtrlNumSelect->value();
        loop_.TouchChannel(tag_);
        Edited().ControllerTable[size_t(number)] = StoredMidiValue(v);
        if (midi_ && v >= 0 && v <= 127) midi_->SendController(tag_, number, v);
        Then(TThen::Modified);
    });
    return sheet;
}

QWidget* TChannelForm::BuildSampleSheet() {
    auto* sheet = Named(new QWidget, "WAVSheet", "SAMPLE");
    auto* v = new QVBoxLayout(sheet);
    auto* fileRow = new QHBoxLayout;
    SpeedButton2 = Named(new QPushButton("Load..."), "SpeedButton2", "Load a sample");
    FileNameBox = Named(new QComboBox, "FileNameBox", "Sample file");
    FileNameBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    FileNameBox->setMinimumContentsLength(16);
    fileRow->addWidget(SpeedButton2);
    fileRow->addWidget(FileNameBox, 1);
    v->addLayout(fileRow);
    WAVScope = new TWAVScope;
    WAVScope->setObjectName("WAVScope");
    WAVScope->setAccessibleName("Sample display");
    WAVScope->setMinimumSize(300, 64);
    WAVScope->setFocusPolicy(Qt::StrongFocus);
    WAVScope->SetCenterColor(QColor(70, 74, 82));
    WAVScope->SetLineColor(QColor(150, 220, 170));
    WAVScope->SetBackColor(QColor(12, 14, 18));
    v->addWidget(WAVScope);

    auto* knobs = new QGridLayout;
    const QString captions[] = {"1st FX", "2nd mix", "2nd sine", "Cutoff",   "Reso",
                                "Preamp", "Attack",  "Decay",    "St.delay", "Phaser"};
    int i = 0;
    for (const TKnobEntry& entry : SampleKnobs()) {
        TWAVWheel* k = MakeKnob(sheet, entry.Name, entry.Hint, entry.Min, entry.Max, entry.Start);
        SampleWheels.push_back(k);
        knobs->addWidget(KnobCell(k, captions[i]), i / 5, i % 5);
        connect(k, &TWAVWheel::Changed, this, [this, &entry](int value) {
            if (!Ready()) return;
            loop_.TouchChannel(tag_);
            Edited().*entry.Field = value;
            Then(entry.Then);
            if (Host.ShowHint) Host.ShowHint(QString("%1 %2").arg(entry.Hint).arg(value));
        });
        ++i;
    }
    v->addLayout(knobs);

    auto* boxes = new QGridLayout;
    int col = 0;
    for (const TBoxEntry& entry : SampleBoxes()) {
        auto* b = Named(new QCheckBox(entry.Caption), entry.Name, entry.Caption);
        SampleBoxesShown.push_back(b);
        boxes->addWidget(b, 0, col++);
        connect(b, &QCheckBox::toggled, this, [this, &entry](bool on) {
            if (!Ready()) return;
            loop_.TouchChannel(tag_);
            Edited().*entry.Field = on;
            Then(entry.Then);
        });
    }
    CutSelect = MakeSpin("CutSelect", "Cut which group?", 0, 99, 0);
    CutBySelect = MakeSpin("CutBySelect", "Cut by which group?", 0, 99, 0);
    CutItselfBtn = Named(new QPushButton("cut itself"), "CutItselfBtn", "Cut itself when retriggered");
    StretchSelect = MakeSpin("StretchSelect", "Stretch to match the tempo", 0, 128, 0);
    StretchSelect->setContextMenuPolicy(Qt::CustomContextMenu);
    StretchMenu = new QMenu(this);
    StretchMenu->setObjectName("StretchMenu");
    for (const TStretchItem& item : StretchItems())
        StretchMenu->addAction(item.Caption, this, [this, n = item.Steps] { StretchSelect->setValue(n); });
    connect(StretchSelect, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { StretchMenu->popup(StretchSelect->mapToGlobal(at)); });
    auto* cutRow = new QHBoxLayout;
    cutRow->addWidget(Caption("Cut", CutSelect));
    cutRow->addWidget(CutSelect);
    cutRow->addWidget(Caption("Cut by", CutBySelect));
    cutRow->addWidget(CutBySelect);
    cutRow->addWidget(CutItselfBtn);
    cutRow->addWidget(Caption("Stretch", StretchSelect));
    cutRow->addWidget(StretchSelect);
    v->addLayout(boxes);
    v->addLayout(cutRow);

    connect(SpeedButton2, &QPushButton::clicked, this, &TChannelForm::OpenSampleDialog);
    connect(FileNameBox, &QComboBox::activated, this, [this](int index) {
        if (!Ready() || index < 0 || index >= int(history_.Paths().size())) return;
        LoadSamples({QString::fromStdString(history_.Paths()[size_t(index)])});
    });
    WAVScope->installEventFilter(this);
    for (QSpinBox* s : {CutSelect, CutBySelect})
        connect(s, &QSpinBox::valueChanged, this, [this, s](int g) {
            if (!Ready()) return;
            loop_.TouchChannel(tag_);
            {
                TLockGuard lock(loop_.EngineLock());
                (s == CutSelect ? Edited().Sample.CutGroup : Edited().Sample.CutByGroup) = g;
            }
            Then(TThen::Modified);
        });
    connect(CutItselfBtn, &QPushButton::clicked, this, [this] {
        if (!Ready()) return;
        // With every group taken both stay as they are.
        if (const std::optional<int> g = CutItselfGroup(loop_, tag_)) {
            TLoopGesture gesture(loop_, "cut itself");
            CutSelect->setValue(*g);
            CutBySelect->setValue(*g);
        }
    });
    connect(StretchSelect, &QSpinBox::valueChanged, this, [this](int v) {
        if (!Ready() || v < 0 || v > 128) return;
        loop_.TouchChannel(tag_);
        Edited().Stretch = v;  // applied when the step plays: nothing to process
        Then(TThen::Modified);
    });
    return sheet;
}

QWidget* TChannelForm::BuildPitchSheet() {
    auto* sheet = Named(new QWidget, "PitchSheet", "PITCH");
    auto* v = new QVBoxLayout(sheet);
    MiddleNoteLabel = new QLabel(QString::fromStdString(MiddleNoteLabelText(60)));
    MiddleNoteLabel->setObjectName("MiddleNoteLabel");
    v->addWidget(MiddleNoteLabel);
    MIDIKeyboard = new TPitchKeys;
    KeyboardScrollBox = Named(new QScrollArea, "KeyboardScrollBox", "Keyboard");
    KeyboardScrollBox->setWidget(MIDIKeyboard);
    KeyboardScrollBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    KeyboardScrollBox->setFixedHeight(TPitchKeys::KeyLength +
                                      KeyboardScrollBox->horizontalScrollBar()->sizeHint().height() + 4);
    KeyboardScrollBox->horizontalScrollBar()->setValue(KeyboardScrollStart);
    v->addWidget(KeyboardScrollBox);
    auto* help = new QLabel(
        "Click a key (or Space) to hear the sample at that key; the right button (or M) sets the middle note.");
    help->setWordWrap(true);
    v->addWidget(help);
    PitchableBox = Named(new QCheckBox("Pitchable"), "PitchableBox", "Modified by the main pitch?");
    v->addWidget(PitchableBox);
    v->addStretch(1);
    connect(MIDIKeyboard, &TPitchKeys::NoteOn, this, [this](int key, int velocity, Qt::MouseButton b) {
        PlayKey(key, velocity);
        if (b == Qt::RightButton) SetMiddleNote(key);
    });
    connect(PitchableBox, &QCheckBox::toggled, this, [this](bool on) {
        if (!Ready()) return;
        loop_.TouchChannel(tag_);
        Edited().Pitchable = on;
        Then(TThen::Modified);
    });
    return sheet;
}

QWidget* TChannelForm::BuildDelaySheet() {
    auto* sheet = Named(new QWidget, "DelaySheet", "DELAY");
    auto* g = new QGridLayout(sheet);
    const QString captions[] = {"Feedback", "Pan", "Pitch", "Reso", "Cutoff"};
    const auto& knobs = DelayKnobs();
    for (size_t i = 0; i < 5; ++i) {
        const TKnobEntry& entry = knobs[i];
        TWAVWheel* k = MakeKnob(sheet, entry.Name, entry.Hint, entry.Min, entry.Max, entry.Start);
        DelayWheels.push_back(k);
        g->addWidget(KnobCell(k, captions[i]), 0, int(i));
        connect(k, &TWAVWheel::Changed, this, [this, &entry](int value) {
            if (!Ready()) return;
            loop_.TouchChannel(tag_);
            Edited().*entry.Field = value;
            Then(TThen::Modified);
            if (Host.ShowHint) Host.ShowHint(QString("%1 %2").arg(entry.Hint).arg(value));
        });
    }
    auto slider = [&](const TKnobEntry& entry, const QString& accessible) {
        auto* s = Named(new QSlider(Qt::Horizontal), entry.Name, accessible);
        s->setRange(entry.Min, entry.Max);
        s->setValue(entry.Start);
        s->setPageStep(16);
        connect(s, &QSlider::valueChanged, this, [this, &entry](int value) {
            if (!Ready()) return;
            loop_.TouchChannel(tag_);
            Edited().*entry.Field = value;
            Then(TThen::Modified);
        });
        return s;
    };
    DelayDelaySlider = slider(knobs[5], "Delay time");
    DelayDelaySlider->installEventFilter(this);  // the right button: back to 48
    ShiftSlider = slider(knobs[6], "Shift delay");
    EchoSelect = MakeSpin("EchoSelect", "Delay max number of echoes", 0, 10, 4);
    ShuffleBox = Named(new QCheckBox("Shuffled"), "ShuffleBox", "Delay will follow the shuffle too");
    g->addWidget(Caption("Time", DelayDelaySlider), 1, 0);
    g->addWidget(DelayDelaySlider, 1, 1, 1, 4);
    g->addWidget(Caption("Echoes", EchoSelect), 2, 0);
    g->addWidget(EchoSelect, 2, 1);
    g->addWidget(ShuffleBox, 2, 2, 1, 3);
    auto* shift = new QLabel("Shift");
    shift->setBuddy(ShiftSlider);
    g->addWidget(shift, 3, 0);
    g->addWidget(ShiftSlider, 3, 1, 1, 4);
    g->setRowStretch(4, 1);
    connect(EchoSelect, &QSpinBox::valueChanged, this, [this](int v) {
        const int held = LimitEchoes(v);
        if (held != v) {
            EchoSelect->setValue(held);  // back into 1..9; that change stores it
            return;
        }
        if (!Ready()) return;
        loop_.TouchChannel(tag_);
        {
            TLockGuard lock(loop_.EngineLock());
            Edited().DelayEchoes = held;
        }
        Then(TThen::Modified);
    });
    connect(ShuffleBox, &QCheckBox::toggled, this, [this](bool on) {
        if (!Ready()) return;
        loop_.TouchChannel(tag_);
        Edited().DelayShuffled = on;
        Then(TThen::Modified);  // saved with the loop, so a change is a change
    });
    return sheet;
}

QWidget* TChannelForm::BuildMixSheet() {
    auto* sheet = Named(new QWidget, "MixSheet", "MIX");
    auto* g = new QGridLayout(sheet);
    ChanList_Mix = Named(new QListWidget, "ChanList_Mix", "Mix with");
    ChanList_Mix->setSelectionMode(QAbstractItemView::SingleSelection);
    ChanList_Rand = Named(new QListWidget, "ChanList_Rand", "Random with");
    ChanList_Rand->setSelectionMode(QAbstractItemView::MultiSelection);
    ChanList_Rand->viewport()->installEventFilter(this);  // the right button toggles a line
    g->addWidget(Caption("Mix with", ChanList_Mix), 0, 0);
    g->addWidget(Caption("Random with", ChanList_Rand), 0, 1);
    g->addWidget(ChanList_Mix, 1, 0);
    g->addWidget(ChanList_Rand, 1, 1);
    connect(ChanList_Mix, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!Ready() || row < 0 || row >= loop_.ChannelCount()) return;
        loop_.TouchChannel(tag_);
        {
            TLockGuard lock(loop_.EngineLock());
            Edited().MixWith = row;
        }
        Then(TThen::Modified);
    });
    connect(ChanList_Rand, &QListWidget::itemSelectionChanged, this, &TChannelForm::RandomClicked);
    return sheet;
}

// ---------------------------------------------------------------- state

bool TChannelForm::Ready() const { return !refreshing_ && tag_ >= 0 && tag_ < loop_.ChannelCount(); }

TChannel& TChannelForm::Edited() { return loop_.Channel(tag_); }

void TChannelForm::Then(TThen then) {
    switch (then) {
        case TThen::Reprocess:
            // Refreshing never gets here; the guard stays for callers that might.
            if (!refreshing_ && Reprocess) Reprocess(tag_);
            RepaintScope();
            break;
        case TThen::SendSetup:
            if (midi_) midi_->SendChannelSetup(tag_);
            break;
        case TThen::Modified:
        case TThen::ModifiedLocked:
            break;
    }
    loop_.Modified = true;
}

void TChannelForm::Refresh() {
    if (tag_ < 0 || tag_ >= loop_.ChannelCount()) tag_ = 0;
    if (loop_.ChannelCount() == 0) return;
    TFlagScope refreshing(refreshing_);
    const TChannel& c = loop_.Channel(tag_);
    setWindowTitle(QString::fromStdString(ChannelFormCaption(c.Name)));
    const QString name = QString::fromStdString(c.Name);
    if (NameEDit->text() != name) NameEDit->setText(name);
    ShowColour();
    VolWheel->SetValueProperty(c.Volume);
    PanWheel->SetValueProperty(c.Pan);
    MuteBox->setChecked(!c.Enabled);
    ChanSelect->setCurrentIndex(std::clamp(int(c.MidiChannel), 0, 15));
    NoteSelect->setValue(ShownMidiValue(c.MidiNote));
    NoteLabel->setText(QString::fromStdString(NoteLabelText(ShownMidiValue(c.MidiNote))));
    SelectGridCell(ShownMidiValue(c.MidiNote));
    PatchSelect->setValue(ShownMidiValue(c.MidiPatch));
    BankSelect->setValue(ShownMidiValue(c.MidiBank));
    CtrlValSelect->setValue(ShownMidiValue(c.ControllerTable[size_t(CtrlNumSelect->value())]));
    for (size_t i = 0; i < SampleWheels.size(); ++i) SampleWheels[i]->SetValueProperty(c.*SampleKnobs()[i].Field);
    for (size_t i = 0; i < SampleBoxesShown.size(); ++i) SampleBoxesShown[i]->setChecked(c.*SampleBoxes()[i].Field);
    CutSelect->setValue(c.Sample.CutGroup);
    CutBySelect->setValue(c.Sample.CutByGroup);
    StretchSelect->setValue(c.Stretch);
    MIDIKeyboard->SetMiddleNote(c.MiddleNote);
    MiddleNoteLabel->setText(QString::fromStdString(MiddleNoteLabelText(c.MiddleNote)));
    PitchableBox->setChecked(c.Pitchable);
    for (size_t i = 0; i < DelayWheels.size(); ++i) DelayWheels[i]->SetValueProperty(c.*DelayKnobs()[i].Field);
    DelayDelaySlider->setValue(c.DelayTime);
    ShiftSlider->setValue(c.DelayShift);
    EchoSelect->setValue(LimitEchoes(c.DelayEchoes));
    ShuffleBox->setChecked(c.DelayShuffled);
    RebuildChannelLists();
    // The history gets the file as it was found, else as the loop names it.
    if (!c.SampleFileName.empty()) {
        std::string path = c.SampleFileName;
        if (install_) {
            TLocateContext ctx = install_->Locate;
            ctx.ShowHint = nullptr;
            ctx.LoopFileName = loop_.LoopFileName;
            if (std::string located = LocateSample(c.SampleFileName, ctx); !located.empty()) path = located;
        }
        const int at = history_.Add(path);
        FileNameBox->clear();
        for (const std::string& n : history_.DisplayNames()) FileNameBox->addItem(QString::fromStdString(n));
        FileNameBox->setCurrentIndex(std::max(at, 0));
    }
    RepaintScope();
}

void TChannelForm::RebuildChannelLists() {
    TFlagScope refreshing(refreshing_);
    ChanList_Mix->clear();
    ChanList_Rand->clear();
    for (int i = 0; i < loop_.ChannelCount(); ++i) {
        const QString line = QString::fromStdString(loop_.ChannelListName(i));
        ChanList_Mix->addItem(line);
        ChanList_Rand->addItem(line);
    }
    if (tag_ < 0 || tag_ >= loop_.ChannelCount()) return;
    const TChannel& c = loop_.Channel(tag_);
    if (c.MixWith >= 0 && c.MixWith < loop_.ChannelCount()) ChanList_Mix->setCurrentRow(c.MixWith);
    for (size_t k = 1; k < c.RandomWith.size(); ++k)
        if (QListWidgetItem* item = ChanList_Rand->item(c.RandomWith[k])) item->setSelected(true);
}

void TChannelForm::SyncVolume() {
    if (tag_ < loop_.ChannelCount()) VolWheel->SetValueProperty(loop_.Channel(tag_).Volume);
}

void TChannelForm::SyncMute() {
    if (tag_ >= loop_.ChannelCount()) return;
    TFlagScope refreshing(refreshing_);
    MuteBox->setChecked(!loop_.Channel(tag_).Enabled);
}

void TChannelForm::ShowColour() {
    if (tag_ >= loop_.ChannelCount()) return;
    const TColor c = loop_.Channel(tag_).Color;
    ColorSample->setStyleSheet(
        QString("QPushButton { background: rgb(%1,%2,%3); border: 1px solid black; }").arg(c.r).arg(c.g).arg(c.b));
}

void TChannelForm::ChooseColour() {
    if (!Ready()) return;
    const TColor c = Edited().Color;
    QColor colour(c.r, c.g, c.b);
    if (!AskColour || !AskColour(colour) || !Ready()) return;
    loop_.TouchChannel(tag_);
    Edited().Color = TColor{uint8_t(colour.red()), uint8_t(colour.green()), uint8_t(colour.blue())};
    ShowColour();
    if (Host.ColorChanged) Host.ColorChanged(tag_);
    Then(TThen::Modified);
}

int TChannelForm::SheetSetting() const { return Sheets->currentIndex() == 0 ? 0 : 1; }

void TChannelForm::ApplySheetSetting(int value) { Sheets->setCurrentIndex(value == 0 ? 0 : 1); }

// ---------------------------------------------------------------- MIDI sheet

void TChannelForm::SelectGridCell(int key) {
    const TGridCell cell = NoteGridCell(key);
    const QSignalBlocker block(NoteGrid);
    NoteGrid->setCurrentCell(cell.Row, cell.Column);
    NoteGrid->scrollToItem(NoteGrid->item(cell.Row, cell.Column));
}

void TChannelForm::NoteGridPicked(int row, int column) {
    if (!Ready() || row < 0 || column < 0) return;
    const int key = NoteGridKey(column, row);
    if (NoteSelect->value() != key) {
        NoteSelect->setValue(key);
    }
    if (midi_) {
        midi_->PreviewNoteOff(tag_, previewKey_);
        midi_->PreviewNoteOn(tag_, key);
    }
    previewKey_ = key;
}

void TChannelForm::ShowController() {
    if (tag_ >= loop_.ChannelCount()) return;
    TFlagScope refreshing(refreshing_);
    CtrlValSelect->setValue(ShownMidiValue(loop_.Channel(tag_).ControllerTable[size_t(CtrlNumSelect->value())]));
}

// ---------------------------------------------------------------- samples

void TChannelForm::RepaintScope() {
    if (tag_ >= 0 && tag_ < loop_.ChannelCount()) {
        const TWAVSample& s = loop_.Channel(tag_).Sample;
        shownFrames_ = s.Data;  // shared: the frames live while shown
        WAVScope->SetData(shownFrames_.data(), int(std::min<size_t>(shownFrames_.size() / 2, size_t(s.Length))));
    } else {
        shownFrames_ = TSampleFrames();
        WAVScope->ClearData();
    }
    WAVScope->update();
}

void TChannelForm::PreviewSample() {
    if (install_ && tag_ < loop_.ChannelCount()) install_->PreviewChannel(tag_);
}

void TChannelForm::OpenSampleDialog() {
    if (!Ready()) return;
    QString start;
    if (install_ && !Edited().SampleFileName.empty()) {
        TLocateContext ctx = install_->Locate;
        ctx.LoopFileName = loop_.LoopFileName;
        start = QString::fromStdString(LocateSample(Edited().SampleFileName, ctx));
    }
    const QStringList files = AskSampleFiles ? AskSampleFiles(start) : QStringList();
    if (!files.isEmpty()) LoadSamples(files);
}

void TChannelForm::LoadSamples(const QStringList& files) {
    if (!install_ || files.isEmpty() || tag_ >= loop_.ChannelCount()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int before = loop_.ChannelCount();
    std::vector<std::string> names;
    for (const QString& f : files) names.push_back(f.toStdString());
    {
        TLoopGesture gesture(loop_, "samples");
        loop_.LoadSamplesIntoChannels(tag_, names, [this](int ch, const std::string& file) {
            install_->SetChannelSample(ch, file, true, false);
            history_.Add(file);
        });
    }
    QApplication::restoreOverrideCursor();
    if (loop_.ChannelCount() != before && Host.ChannelsAdded) Host.ChannelsAdded();
    Refresh();
    // The drop-down shows the first file of this load.
    const auto& paths = history_.Paths();
    const auto it = std::find(paths.begin(), paths.end(), names.front());
    if (it != paths.end()) FileNameBox->setCurrentIndex(int(it - paths.begin()));
}

void TChannelForm::StartSampleDrag() {
    if (!install_ || tag_ >= loop_.ChannelCount() || Edited().SampleFileName.empty()) return;
    TLocateContext ctx = install_->Locate;
    ctx.LoopFileName = loop_.LoopFileName;
    const std::string path = LocateSample(Edited().SampleFileName, ctx);
    if (path.empty()) return;
    auto* drag = new QDrag(WAVScope);
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    drag->setMimeData(mime);
    drag->exec(Qt::CopyAction);
}

// ---------------------------------------------------------------- PITCH sheet

void TChannelForm::PlayKey(int key, int velocity) {
    if (!engine_ || tag_ >= loop_.ChannelCount()) return;
    const TChannel& c = loop_.Channel(tag_);
    TLockGuard lock(&engine_->EL);
    if (c.Sample.PlayLength <= 0) return;
    const int32_t volume =
        int32_t(int64_t(std::clamp<int32_t>(c.Volume, 0, 127)) * 65536 / 127 * std::clamp(velocity, 0, 127) / 127);
    engine_->AddVoice(&c.Sample, engine_->MixPosition, volume, 1.0f, 0.0f,
                      PitchedLength(c.Sample.PlayLength, key, c.MiddleNote), -1, -1, c.Pan);
}

void TChannelForm::SetMiddleNote(int key) {
    if (!Ready()) return;
    loop_.TouchChannel(tag_);
    Edited().MiddleNote = key;
    MIDIKeyboard->SetMiddleNote(key);
    MiddleNoteLabel->setText(QString::fromStdString(MiddleNoteLabelText(key)));
    Then(TThen::Modified);
}

// ---------------------------------------------------------------- MIX sheet

void TChannelForm::RandomClicked() {
    if (!Ready()) return;
    std::vector<bool> ticked(size_t(ChanList_Rand->count()), false);
    for (int i = 0; i < ChanList_Rand->count(); ++i) ticked[size_t(i)] = ChanList_Rand->item(i)->isSelected();
    std::vector<int32_t> list = RandomWithList(tag_, ticked);
    loop_.TouchChannel(tag_);
    {
        TLockGuard lock(loop_.EngineLock());
        Edited().RandomWith.swap(list);
    }
    Then(TThen::Modified);
}

// ---------------------------------------------------------------- keys and mouse

void TChannelForm::Page(int delta) {
    const int next = WrapChannel(tag_, delta, loop_.ChannelCount());
    if (Host.PressSetButton)
        Host.PressSetButton(next);
    else {
        tag_ = next;
        Refresh();
    }
}

bool TChannelForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        switch (k->key()) {
            case Qt::Key_PageUp:
            case Qt::Key_PageDown:
                // Drop-downs, sliders, knobs and spinners page their own values.
                if (qobject_cast<QComboBox*>(watched) || qobject_cast<QAbstractSlider*>(watched) ||
                    qobject_cast<TValueControl*>(watched) || qobject_cast<QAbstractSpinBox*>(watched))
                    return false;
                Page(k->key() == Qt::Key_PageDown ? 1 : -1);
                return true;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                PreviewSample();
                return true;
            case Qt::Key_F1:
                if (Host.ShowHelp) Host.ShowHelp("channel-settings");
                return true;
            default:
                break;
        }
    }
    if (watched == WAVScope) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto* m = static_cast<QMouseEvent*>(event);
            scopePress_ = m->position().toPoint();
            scopePressed_ = m->button() == Qt::LeftButton;
            PreviewSample();
            return true;
        }
        if (event->type() == QEvent::MouseMove && scopePressed_) {
            auto* m = static_cast<QMouseEvent*>(event);
            if ((m->position().toPoint() - scopePress_).manhattanLength() >= QApplication::startDragDistance()) {
                scopePressed_ = false;
                StartSampleDrag();
            }
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) scopePressed_ = false;
    }
    if (watched == DelayDelaySlider && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        DelayDelaySlider->setValue(DelayTimeDefault);
        return true;
    }
    if (ChanList_Rand && watched == ChanList_Rand->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* m = static_cast<QMouseEvent*>(event);
        if (m->button() == Qt::RightButton) {
            if (QListWidgetItem* item = ChanList_Rand->itemAt(m->position().toPoint()))
                item->setSelected(!item->isSelected());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TChannelForm::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            Page(event->key() == Qt::Key_PageDown ? 1 : -1);
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            PreviewSample();
            return;
        case Qt::Key_F1:
            if (Host.ShowHelp) Host.ShowHelp("channel-settings");
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void TChannelForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (tag_ < loop_.ChannelCount()) SelectGridCell(ShownMidiValue(loop_.Channel(tag_).MidiNote));
}

void TChannelForm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous() && Host.Hidden) Host.Hidden();
}

// ---------------------------------------------------------------- the keyboard

TPitchKeys::TPitchKeys(QWidget* parent) : QWidget(parent) {
    setObjectName("MIDIKeyboard");
    setAccessibleName("Keyboard");
    setFocusPolicy(Qt::StrongFocus);
    resize(sizeHint());
}

QSize TPitchKeys::sizeHint() const {
    // Keys 0..127: ten whole octaves and C to G of the eleventh, 75 white keys.
    return QSize(75 * NoteWidth + 1, KeyLength);
}

void TPitchKeys::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(30, 30, 30));
    static constexpr int White[7] = {0, 2, 4, 5, 7, 9, 11};
    auto whiteKey = [](int w) { return (w / 7) * 12 + White[w % 7]; };
    for (int w = 0; w < 75; ++w) {
        const int key = whiteKey(w);
        QColor fill = key == current_ ? QColor(192, 192, 192) : Qt::white;
        if (key == middle_) fill = QColor(255, 208, 208);
        p.fillRect(w * NoteWidth, 0, NoteWidth, KeyLength, fill);
        p.setPen(Qt::black);
        p.drawRect(w * NoteWidth, 0, NoteWidth, KeyLength - 1);
        if (key % 12 == 0 && key / 12 >= 0) {
            QFont f = p.font();
            f.setPixelSize(7);
            p.setFont(f);
            p.drawText(QRect(w * NoteWidth, KeyLength - 11, NoteWidth + 8, 10), Qt::AlignLeft,
                       QString::number(key / 12));
        }
    }
    int bw = NoteWidth * 3 / 5;
    if (bw % 2 == 0) ++bw;
    static constexpr int Shift[7] = {-1, 1, 0, -1, 0, 1, 0};
    static constexpr bool Black[7] = {true, true, false, true, true, true, false};
    for (int w = 0; w < 75; ++w) {
        if (!Black[w % 7] || whiteKey(w) + 1 > 127) continue;
        const int key = whiteKey(w) + 1;
        const int centre = (w + 1) * NoteWidth + Shift[w % 7];
        QColor fill = key == current_ ? QColor(160, 160, 160) : Qt::black;
        if (key == middle_) fill = QColor(200, 110, 110);
        p.fillRect(centre - bw / 2, 0, bw, KeyLength * 3 / 5, fill);
    }
    if (hasFocus()) {
        // The key the arrows are on, outlined.
        for (int w = 0; w < 75; ++w)
            if (whiteKey(w) == focusKey_ || whiteKey(w) + 1 == focusKey_) {
                p.setPen(QPen(QColor(90, 140, 230), 2));
                p.drawRect(w * NoteWidth + 1, 1, NoteWidth - 2, KeyLength - 3);
                break;
            }
    }
}

void TPitchKeys::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const int key = PitchKeyAt(at.x(), at.y(), NoteWidth, KeyLength);
    if (key < 0) return;
    const bool black = at.y() < KeyLength * 3 / 5 && key % 12 != 0 &&
                       (key % 12 == 1 || key % 12 == 3 || key % 12 == 6 || key % 12 == 8 || key % 12 == 10);
    current_ = key;
    focusKey_ = key;
    update();
    emit NoteOn(key, PitchKeyVelocity(at.y(), black ? KeyLength * 3 / 5 : KeyLength), event->button());
}

void TPitchKeys::mouseReleaseEvent(QMouseEvent*) {
    current_ = -1;
    update();
}

void TPitchKeys::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
            focusKey_ = std::max(0, focusKey_ - 1);
            break;
        case Qt::Key_Right:
            focusKey_ = std::min(127, focusKey_ + 1);
            break;
        case Qt::Key_Space:
            emit NoteOn(focusKey_, 127, Qt::LeftButton);
            break;
        case Qt::Key_M:  // the keyboard's right button
            emit NoteOn(focusKey_, 127, Qt::RightButton);
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    update();
}

// ---------------------------------------------------------------- the open dialog

TFavOpenDialog& TChannelForm::SampleOpenDialog() {
    if (!openDialog_) {
        openDialog_ = new TFavOpenDialog(this);
        openDialog_->setWindowTitle("Load a sample");
        openDialog_->HelpRequested = [this](const QString& topic) {
            if (Host.ShowHelp) Host.ShowHelp(topic);
        };
        if (favorites_) openDialog_->SetFavorites(*favorites_, true);
        favorites_.reset();
    }
    return *openDialog_;
}

void TChannelForm::LoadFavorites(const TDesktopSettings& settings) {
    if (openDialog_)
        openDialog_->LoadFavorites(settings);
    else if (settings.Favorites)
        favorites_ = settings.Favorites;
}

void TChannelForm::StoreFavorites(TDesktopSettings& settings) const {
    if (openDialog_)
        openDialog_->StoreFavorites(settings);
    else if (favorites_)
        settings.Favorites = favorites_;
}

QStringList ChooseSampleFiles(TFavOpenDialog& dialog, const QString& startFile,
                              const std::function<void(const QString&)>& highlighted) {
    QString last;
    const QStringList files =
        dialog.GetOpenFileNames(startFile.isEmpty() ? QString() : QFileInfo(startFile).absolutePath(),
                                {"WAV files (*.wav *.WAV)", "All files (*)"}, true, [&](const QString& file) {
                                    if (file == last) return;
                                    last = file;
                                    if (highlighted) highlighted(file);
                                });
    return files;
}

}  // namespace tx
