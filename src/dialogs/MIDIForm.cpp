#include "dialogs/MIDIForm.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "desktop/FileAssociation.h"
#include "dialogs/MessageText.h"
#include "engine/Streaming.h"

namespace tx {

namespace {

constexpr int MaxBufferMs = 500;  // both sliders run 0..500 ms
constexpr int SlowCpuMs = 1000;   // the CPU meter's normal interval
constexpr int FastCpuMs = 10;     // after a click on the usage figure
constexpr int PluginsTopic = 5;   // the Plugins sheet's topic skips 4

QString fromUtf8(const std::string& s) { return QString::fromStdString(s); }

void fillCombo(QComboBox* box, const std::vector<std::string>& items) {
    const QSignalBlocker block(box);
    const int keep = box->currentIndex();
    box->clear();
    for (const std::string& s : items) box->addItem(fromUtf8(s));
    if (box->count() > 0) box->setCurrentIndex(std::clamp(keep < 0 ? box->count() - 1 : keep, 0, box->count() - 1));
}

void setIndexClamped(QComboBox* box, int item) {
    const QSignalBlocker block(box);
    if (box->count() > 0) box->setCurrentIndex(std::clamp(item, 0, box->count() - 1));
}

bool isNone(const QComboBox* box) { return box->count() == 0 || box->currentText() == QLatin1String(NoneEntryText); }

QLabel* label(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

}  // namespace

QString SettingsHelpAnchor(int topic) {
    switch (topic) {
        case 1:
            return QStringLiteral("settings-midi");
        case 2:
            return QStringLiteral("settings-wav");
        case 3:
            return QStringLiteral("settings-general");
        case PluginsTopic:
            return QStringLiteral("settings-plugins");
        default:
            return QStringLiteral("contents");
    }
}

TMIDIForm::TMIDIForm(TSettingsActions& actions, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), actions_(actions) {
    setObjectName(QStringLiteral("MIDIForm"));
    setWindowTitle(QStringLiteral("Settings"));
    ShowMessage = [this](const QString& text) { QMessageBox::warning(this, QStringLiteral("Trovamix"), text); };
    ShowNotice = [this](const QString& text) { QMessageBox::information(this, QStringLiteral("Trovamix"), text); };

    SettingsControl = new QTabWidget(this);
    SettingsControl->setObjectName(QStringLiteral("SettingsControl"));
    SettingsControl->addTab(buildMidiSheet(), QStringLiteral("MIDI"));
    SettingsControl->addTab(buildWavSheet(), QStringLiteral("WAV"));
    SettingsControl->addTab(buildGeneralSheet(), QStringLiteral("General"));
    SettingsControl->addTab(buildPluginsSheet(), QStringLiteral("Plugins"));
    connect(SettingsControl, &QTabWidget::currentChanged, this, &TMIDIForm::sheetChanged);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SettingsControl);

    CPUTimer = new QTimer(this);
    CPUTimer->setObjectName(QStringLiteral("CPUTimer"));
    CPUTimer->setInterval(SlowCpuMs);
    connect(CPUTimer, &QTimer::timeout, this, &TMIDIForm::cpuTick);

    SetBufferLength(bufferFrames_);
    SetAheadLength(aheadFrames_);
    EnumerateDevices();
}

QCheckBox* TMIDIForm::addBox(QWidget* parent, const char* name, const QString& caption, const QString& hint) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    if (!hint.isEmpty()) {
        // The part before "|" is the short hint; the whole text stays with the box.
        box->setProperty("hint", hint);
        box->setToolTip(hint.section(QLatin1Char('|'), 0, 0));
        box->setAccessibleDescription(box->toolTip());
    }
    connect(box, &QCheckBox::clicked, this, [this] { emit optionChanged(); });
    return box;
}

QWidget* TMIDIForm::buildMidiSheet() {
    auto* sheet = new QWidget;
    sheet->setObjectName(QStringLiteral("MIDISheet"));
    auto* grid = new QGridLayout(sheet);

    cmbOutput = new QComboBox(sheet);
    cmbOutput->setObjectName(QStringLiteral("cmbOutput"));
    QLabel* out = label(sheet, "OutputLabel", QStringLiteral("Output"));
    out->setBuddy(cmbOutput);
    cmbInput = new QComboBox(sheet);
    cmbInput->setObjectName(QStringLiteral("cmbInput"));
    QLabel* in = label(sheet, "InputLabel", QStringLiteral("Sync input"));
    in->setBuddy(cmbInput);
    cmbOutput->setAccessibleName(QStringLiteral("MIDI output"));
    cmbInput->setAccessibleName(QStringLiteral("MIDI sync input"));
    grid->addWidget(out, 0, 0);
    grid->addWidget(cmbOutput, 0, 1);
    grid->addWidget(in, 1, 0);
    grid->addWidget(cmbInput, 1, 1);

    auto* bank = new QGroupBox(QStringLiteral("Bank select method"), sheet);
    bank->setObjectName(QStringLiteral("BankGroup"));
    Bank0Button = new QRadioButton(QStringLiteral("Controller 0"), bank);
    Bank0Button->setObjectName(QStringLiteral("Bank0Button"));
    Bank32Button = new QRadioButton(QStringLiteral("Controller 32"), bank);
    Bank32Button->setObjectName(QStringLiteral("Bank32Button"));
    Bank0Button->setChecked(true);
    auto* bl = new QVBoxLayout(bank);
    bl->addWidget(Bank0Button);
    bl->addWidget(Bank32Button);
    grid->addWidget(bank, 2, 0, 1, 2);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(1, 1);

    connect(cmbOutput, &QComboBox::activated, this, [this](int item) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const std::string err = actions_.OpenMidiOut(item);
        QApplication::restoreOverrideCursor();
        if (!err.empty()) report(fromUtf8(err));
    });
    connect(cmbInput, &QComboBox::activated, this, [this](int item) {
        const std::string err = actions_.OpenMidiIn(item);
        if (!err.empty()) report(fromUtf8(err));
    });
    connect(Bank0Button, &QRadioButton::clicked, this, [this] { actions_.SetBankSelectMethod(0); });
    connect(Bank32Button, &QRadioButton::clicked, this, [this] { actions_.SetBankSelectMethod(1); });
    return sheet;
}

QWidget* TMIDIForm::buildWavSheet() {
    auto* sheet = new QWidget;
    sheet->setObjectName(QStringLiteral("WAVSheet"));
    auto* v = new QVBoxLayout(sheet);

    DSDriverBox = new QComboBox(sheet);
    DSDriverBox->setObjectName(QStringLiteral("DSDriverBox"));
    DSDriverBox->setAccessibleName(QStringLiteral("Sound output"));
    QLabel* drv = label(sheet, "DSDriverLabel", QStringLiteral("Output DirectSound driver"));
    drv->setBuddy(DSDriverBox);
    FormatLabel = label(sheet, "FormatLabel", QStringLiteral("(not opened)"));
    v->addWidget(drv);
    v->addWidget(DSDriverBox);
    v->addWidget(FormatLabel);

    auto* mix = new QGroupBox(QStringLiteral("Mixing Buffer (F1 for help)"), sheet);
    mix->setObjectName(QStringLiteral("MixingGroup"));
    auto* mg = new QGridLayout(mix);
    auto slider = [mix](const char* name, const QString& access) {
        auto* s = new QSlider(Qt::Horizontal, mix);
        s->setObjectName(QLatin1String(name));
        s->setRange(0, MaxBufferMs);
        s->setPageStep(10);
        s->setAccessibleName(access);
        return s;
    };
    BufLSlider = slider("BufLSlider", QStringLiteral("Buffer length"));
    AheadBufSlider = slider("AheadBufSlider", QStringLiteral("Ahead duration"));
    BufLLabel = label(mix, "BufLLabel", {});
    AheadBufLabel = label(mix, "AheadBufLabel", {});
    UnderrunsLabel = label(mix, "UnderrunsLabel", QStringLiteral("underruns:"));
    CPULabel = label(mix, "CPULabel", QStringLiteral("CPU usage:"));
    UsageLabel = label(mix, "UsageLabel", {});
    UsageLabel->setMinimumWidth(UsageLabel->fontMetrics().horizontalAdvance(QStringLiteral("00% (512 samples)")));
    UsageLabel->setAccessibleName(QStringLiteral("CPU usage, click for fast updates"));
    UsageLabel->installEventFilter(this);
    mg->addWidget(BufLLabel, 0, 0, 1, 2);
    mg->addWidget(BufLSlider, 1, 0, 1, 2);
    mg->addWidget(AheadBufLabel, 2, 0, 1, 2);
    mg->addWidget(AheadBufSlider, 3, 0, 1, 2);
    mg->addWidget(UnderrunsLabel, 4, 0, 1, 2);
    auto* cpu = new QHBoxLayout;
    cpu->addWidget(CPULabel);
    cpu->addWidget(UsageLabel, 1);
    mg->addLayout(cpu, 5, 0, 1, 2);
    v->addWidget(mix);

    auto* render = new QGroupBox(QStringLiteral("Rendering method"), sheet);
    render->setObjectName(QStringLiteral("RenderGroup"));
    CutRemain = new QRadioButton(QStringLiteral("Cut remainder"), render);
    CutRemain->setObjectName(QStringLiteral("CutRemain"));
    LeaveRemain = new QRadioButton(QStringLiteral("Leave remainder"), render);
    LeaveRemain->setObjectName(QStringLiteral("LeaveRemain"));
    WrapRemain = new QRadioButton(QStringLiteral("Wrap remainder"), render);
    WrapRemain->setObjectName(QStringLiteral("WrapRemain"));
    WrapRemain->setChecked(true);
    auto* rl = new QHBoxLayout(render);
    for (QRadioButton* b : {CutRemain, LeaveRemain, WrapRemain}) {
        rl->addWidget(b);
        connect(b, &QRadioButton::clicked, this, [this] { actions_.SetRemainder(RenderingRemainder()); });
    }
    v->addWidget(render);

    SurroundBox = new QCheckBox(QStringLiteral("Surround"), sheet);
    SurroundBox->setObjectName(QStringLiteral("SurroundBox"));
    connect(SurroundBox, &QCheckBox::clicked, this, [this](bool on) { actions_.SetSurround(on); });
    v->addWidget(SurroundBox);
    v->addStretch(1);

    connect(DSDriverBox, &QComboBox::activated, this, [this](int item) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const std::string err = actions_.OpenAudioDevice(item);
        QApplication::restoreOverrideCursor();
        updateFormatLabel();
        if (!err.empty()) report(fromUtf8(err));
    });
    connect(BufLSlider, &QSlider::valueChanged, this, &TMIDIForm::bufferMoved);
    connect(AheadBufSlider, &QSlider::valueChanged, this, &TMIDIForm::aheadMoved);
    return sheet;
}

QWidget* TMIDIForm::buildGeneralSheet() {
    auto* sheet = new QWidget;
    sheet->setObjectName(QStringLiteral("GeneralSheet"));
    auto* grid = new QGridLayout(sheet);
    EasyMoveBox = addBox(sheet, "EasyMoveBox", QStringLiteral("&Easy move"),
                         QStringLiteral("Move the form easily by clicking anywhere on it...|"));
    ArrangeBox =
        addBox(sheet, "ArrangeBox", QStringLiteral("&Auto arrange"), QStringLiteral("Auto arrange channel windows|"));
    SplashBox = addBox(sheet, "SplashBox", QStringLiteral("&Startup splash screen"), {});
    MouseBtnBox = addBox(sheet, "MouseBtnBox", QStringLiteral("&Use both mouse buttons"),
                         QStringLiteral("Use the left mouse button only to set the dots"));
    AutoMaximizeBox = addBox(sheet, "AutoMaximizeBox", QStringLiteral("Auto &maximize window"),
                             QStringLiteral("Maximize main window when adding channels|"));
    InvertChanBox = addBox(sheet, "InvertChanBox", QStringLiteral("&Position leds over knobs"), {});
    AdjustChanNameBox = addBox(sheet, "AdjustChanNameBox", QStringLiteral("Auto set channel &name"),
                               QStringLiteral("Channel name will be set to the sample file name|"));
    CloseDSBox = addBox(sheet, "CloseDSBox", QStringLiteral("Auto close &DirectSound"),
                        QStringLiteral("Close DirectSound when loosing focus (for apps that use the wave mapper)|"));
    PreviewWAVBox = addBox(sheet, "PreviewWAVBox", QStringLiteral("&Preview in open dialog"), {});
    for (QCheckBox* b :
         {EasyMoveBox, ArrangeBox, SplashBox, MouseBtnBox, AutoMaximizeBox, AdjustChanNameBox, PreviewWAVBox})
        b->setChecked(true);
    connect(InvertChanBox, &QCheckBox::clicked, this, [this](bool on) { emit ledsOverChanged(on); });

    const QList<QCheckBox*> left{EasyMoveBox, ArrangeBox, SplashBox, MouseBtnBox, AutoMaximizeBox};
    const QList<QCheckBox*> right{InvertChanBox, AdjustChanNameBox, CloseDSBox, PreviewWAVBox};
    for (int i = 0; i < left.size(); ++i) grid->addWidget(left[i], i, 0);
    for (int i = 0; i < right.size(); ++i) grid->addWidget(right[i], i, 1);

    auto* skin = new QGroupBox(QStringLiteral("Skin"), sheet);
    skin->setObjectName(QStringLiteral("SkinGroup"));
    StylesBox = new QComboBox(skin);
    StylesBox->setObjectName(QStringLiteral("StylesBox"));
    StylesBox->setAccessibleName(QStringLiteral("Style"));
    (new QVBoxLayout(skin))->addWidget(StylesBox);
    // By place in the list: two styles may differ only in case, or share a
    // name between the program's and the user's folder.
    connect(StylesBox, &QComboBox::activated, this, [this](int index) {
        styleIndex_ = index;
        emit styleChosen(index);
    });

    auto* files = new QGroupBox(QStringLiteral("Files"), sheet);
    files->setObjectName(QStringLiteral("FilesGroup"));
    RegisterExtButton = new QPushButton(QStringLiteral("associate TXP files "), files);
    RegisterExtButton->setObjectName(QStringLiteral("RegisterExtButton"));
    (new QVBoxLayout(files))->addWidget(RegisterExtButton);
    connect(RegisterExtButton, &QPushButton::clicked, this, &TMIDIForm::registerExtension);

    grid->addWidget(skin, 5, 0);
    grid->addWidget(files, 5, 1);
    grid->setRowStretch(6, 1);
    return sheet;
}

QWidget* TMIDIForm::buildPluginsSheet() {
    auto* sheet = new QWidget;
    sheet->setObjectName(QStringLiteral("PluginsSheet"));
    auto* v = new QVBoxLayout(sheet);
    auto* group = new QGroupBox(QStringLiteral("WinAMP DSP plugins"), sheet);
    group->setObjectName(QStringLiteral("PluginGroup"));
    PluginBox = new QCheckBox(QStringLiteral("Enable multiple DSP plugin"), group);
    PluginBox->setObjectName(QStringLiteral("PluginBox"));
    (new QVBoxLayout(group))->addWidget(PluginBox);
    v->addWidget(group);
    v->addStretch(1);
    connect(PluginBox, &QCheckBox::clicked, this, [this](bool on) {
        const bool running = actions_.SetPluginEnabled(on);
        if (on && !running) {
            // A box left checked would claim a plug-in that does not run.
            const QSignalBlocker block(PluginBox);
            PluginBox->setChecked(false);
            report(QStringLiteral("The DSP plugin could not be started."));
        }
    });
    return sheet;
}

void TMIDIForm::EnumerateDevices() {
    fillCombo(cmbOutput, actions_.MidiOutputList());
    fillCombo(cmbInput, actions_.MidiInputList());
    fillCombo(DSDriverBox, actions_.AudioOutputList());
}

void TMIDIForm::SetStyles(const QStringList& names) {
    const QSignalBlocker block(StylesBox);
    StylesBox->clear();
    StylesBox->addItems(names);
    SetStyleIndex(styleIndex_);
}

void TMIDIForm::ShowSheet(Sheet sheet) {
    SelectSheet(sheet);
    show();
    raise();
}

void TMIDIForm::SelectSheet(Sheet sheet) {
    SettingsControl->setCurrentIndex(int(sheet));
    sheetChanged(int(sheet));
}

TMIDIForm::Sheet TMIDIForm::CurrentSheet() const { return Sheet(SettingsControl->currentIndex()); }

void TMIDIForm::sheetChanged(int index) { helpTopic_ = index == PluginsSheet ? PluginsTopic : index + 1; }

// --- stored values

int TMIDIForm::OutputItem() const { return cmbOutput->currentIndex(); }
void TMIDIForm::SetOutputItem(int item) { setIndexClamped(cmbOutput, item); }
int TMIDIForm::InputItem() const { return cmbInput->currentIndex(); }
void TMIDIForm::SetInputItem(int item) { setIndexClamped(cmbInput, item); }
int TMIDIForm::BankSelectMethod() const { return Bank32Button->isChecked() ? 1 : 0; }
void TMIDIForm::SetBankSelectMethod(int method) { (method != 0 ? Bank32Button : Bank0Button)->setChecked(true); }
int TMIDIForm::DSDriver() const { return DSDriverBox->currentIndex(); }
void TMIDIForm::SetDSDriver(int item) {
    setIndexClamped(DSDriverBox, item);
    updateFormatLabel();
}

void TMIDIForm::SetBufferLength(int32_t frames) {
    bufferFrames_ = frames;
    const QSignalBlocker block(BufLSlider);
    BufLSlider->setValue(std::clamp(FramesToMs(frames), 0, MaxBufferMs));
    updateBufferLabels();
}

void TMIDIForm::SetAheadLength(int32_t frames) {
    aheadFrames_ = frames;
    const QSignalBlocker block(AheadBufSlider);
    AheadBufSlider->setValue(std::clamp(FramesToMs(frames), 0, MaxBufferMs));
    updateBufferLabels();
}

TRemainder TMIDIForm::RenderingRemainder() const {
    return CutRemain->isChecked() ? TRemainder::Cut : LeaveRemain->isChecked() ? TRemainder::Leave : TRemainder::Wrap;
}
void TMIDIForm::SetRenderingRemainder(TRemainder r) {
    (r == TRemainder::Cut ? CutRemain : r == TRemainder::Leave ? LeaveRemain : WrapRemain)->setChecked(true);
}
bool TMIDIForm::Surround() const { return SurroundBox->isChecked(); }
void TMIDIForm::SetSurround(bool on) { SurroundBox->setChecked(on); }
bool TMIDIForm::EasyMove() const { return EasyMoveBox->isChecked(); }
void TMIDIForm::SetEasyMove(bool on) { EasyMoveBox->setChecked(on); }
bool TMIDIForm::AutoArrange() const { return ArrangeBox->isChecked(); }
void TMIDIForm::SetAutoArrange(bool on) { ArrangeBox->setChecked(on); }
bool TMIDIForm::SplashScreen() const { return SplashBox->isChecked(); }
void TMIDIForm::SetSplashScreen(bool on) { SplashBox->setChecked(on); }
bool TMIDIForm::MouseUse() const { return MouseBtnBox->isChecked(); }
void TMIDIForm::SetMouseUse(bool on) { MouseBtnBox->setChecked(on); }
bool TMIDIForm::AutoMaximize() const { return AutoMaximizeBox->isChecked(); }
void TMIDIForm::SetAutoMaximize(bool on) { AutoMaximizeBox->setChecked(on); }
bool TMIDIForm::LedsOver() const { return InvertChanBox->isChecked(); }
void TMIDIForm::SetLedsOver(bool on) { InvertChanBox->setChecked(on); }
int TMIDIForm::StyleIndex() const { return styleIndex_; }
void TMIDIForm::SetStyleIndex(int index) {
    styleIndex_ = index;
    const QSignalBlocker block(StylesBox);
    if (index >= 0 && index < StylesBox->count()) StylesBox->setCurrentIndex(index);
}
bool TMIDIForm::AdjustChanName() const { return AdjustChanNameBox->isChecked(); }
void TMIDIForm::SetAdjustChanName(bool on) { AdjustChanNameBox->setChecked(on); }
bool TMIDIForm::CloseDS() const { return CloseDSBox->isChecked(); }
void TMIDIForm::SetCloseDS(bool on) { CloseDSBox->setChecked(on); }
bool TMIDIForm::PreviewWAV() const { return PreviewWAVBox->isChecked(); }
void TMIDIForm::SetPreviewWAV(bool on) { PreviewWAVBox->setChecked(on); }
bool TMIDIForm::UsePlugin() const { return PluginBox->isChecked(); }
void TMIDIForm::SetUsePlugin(bool on) { PluginBox->setChecked(on); }

// --- live changes

void TMIDIForm::bufferMoved(int ms) {
    // A shorter buffer pulls the ahead time down first, so the device is
    // never asked for an ahead time longer than its block.
    if (AheadBufSlider->value() > ms) AheadBufSlider->setValue(ms);
    bufferFrames_ = MsToFrames(ms);
    updateBufferLabels();
    actions_.SetBufferLength(bufferFrames_);
}

void TMIDIForm::aheadMoved(int ms) {
    if (ms > BufLSlider->value()) BufLSlider->setValue(ms);
    aheadFrames_ = MsToFrames(ms);
    updateBufferLabels();
    actions_.SetAheadLength(aheadFrames_);
}

void TMIDIForm::updateBufferLabels() {
    BufLLabel->setText(QStringLiteral("Buffer Length (%1ms)").arg(BufLSlider->value()));
    AheadBufLabel->setText(QStringLiteral("Ahead Duration (%1ms)").arg(AheadBufSlider->value()));
}

// "-none-" chosen means nothing plays, even while the old device is still
// closing or a stored choice is not applied yet: the label says so.
void TMIDIForm::updateFormatLabel() {
    FormatLabel->setText(isNone(DSDriverBox) ? QStringLiteral("(not opened)") : fromUtf8(actions_.DeviceFormat()));
}

void TMIDIForm::ShowUnderruns(int count) { UnderrunsLabel->setText(fromUtf8(UnderrunText(count))); }

void TMIDIForm::cpuTick() {
    ++cpuTicks_;
    // Figures the mixing thread publishes; the actions never wait for the engine lock.
    const int32_t usage = actions_.CpuUsage();
    const std::string text = CpuUsageText(usage, fastCpu_, fastCpu_ ? actions_.VoiceCount() : 0);
    if (!text.empty()) UsageLabel->setText(fromUtf8(text));
    ShowUnderruns(actions_.UnderrunCount());
}

void TMIDIForm::keyPressEvent(QKeyEvent* e) {
    // Keys the focused control leaves alone arrive here, so F1 works on every sheet.
    if (e->key() == Qt::Key_F1 && e->modifiers() == Qt::NoModifier) {
        emit helpRequested(SettingsHelpAnchor(helpTopic_));
        return;
    }
    QDialog::keyPressEvent(e);
}

bool TMIDIForm::eventFilter(QObject* watched, QEvent* e) {
    if (watched == UsageLabel && e->type() == QEvent::MouseButtonPress) {
        fastCpu_ = !fastCpu_;
        CPUTimer->setInterval(fastCpu_ ? FastCpuMs : SlowCpuMs);
        return true;
    }
    return QDialog::eventFilter(watched, e);
}

void TMIDIForm::TogglePlugin() { PluginBox->click(); }

void TMIDIForm::registerExtension() {
    const QString program = ProgramPath.isEmpty() ? QCoreApplication::applicationFilePath() : ProgramPath;
    const TAssociationResult r = RegisterFileAssociation(program.toStdString(), TAssociationPaths::FromEnvironment());
    if (r.Ok) return;
    QStringList lines;
    for (const std::string& e : r.Errors) lines << fromUtf8(e);
    report(QStringLiteral("Loop files could not be associated with the program:\n") + lines.join(QLatin1Char('\n')));
}

void TMIDIForm::report(const QString& text) {
    if (ShowMessage) ShowMessage(text);
}

// --- showing and closing

void TMIDIForm::showEvent(QShowEvent* e) {
    if (!e->spontaneous()) {
        if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
        actions_.SetTiming(true);
        CPUTimer->start();
        updateFormatLabel();
        SetBufferLength(bufferFrames_);
        SetAheadLength(aheadFrames_);
        sheetChanged(SettingsControl->currentIndex());
    }
    QDialog::showEvent(e);
}

void TMIDIForm::hideEvent(QHideEvent* e) {
    if (!e->spontaneous()) {
        CPUTimer->stop();
        actions_.SetTiming(false);
    }
    QDialog::hideEvent(e);
}

void TMIDIForm::closeEvent(QCloseEvent* e) {
    if (isNone(DSDriverBox) && isNone(cmbOutput) && ShowNotice) ShowNotice(MessageText(NoOutputWarning));
    e->accept();
}

}  // namespace tx
