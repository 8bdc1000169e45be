#pragma once
#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

#include "dialogs/SettingsActions.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class QTimer;

namespace tx {

// The help anchor of a settings sheet's topic number (1 MIDI, 2 WAV,
// 3 General, 5 Plugins; anything else is the contents).
QString SettingsHelpAnchor(int topic);

// The settings window ("Settings"): four sheets whose controls are the live
// store of the program's settings. Loading and saving use the plain getters
// and setters, which change only the controls; a user's change acts at once
// through the actions the window is given. Window thread only.
class TMIDIForm : public QDialog {
    Q_OBJECT
public:
    enum Sheet { MIDISheet = 0, WAVSheet = 1, GeneralSheet = 2, PluginsSheet = 3 };

    explicit TMIDIForm(TSettingsActions& actions, QWidget* parent = nullptr);

    // Fills the device lists from the actions (selection kept by index, clamped).
    void EnumerateDevices();
    void SetStyles(const QStringList& names);
    void ShowSheet(Sheet sheet);    // switches and shows, not modally
    void SelectSheet(Sheet sheet);  // switches only
    Sheet CurrentSheet() const;
    int HelpTopic() const { return helpTopic_; }

    // --- the stored values
    int OutputItem() const;  // list index: 0 "MIDI Mapper", last "-none-"
    void SetOutputItem(int item);
    int InputItem() const;
    void SetInputItem(int item);
    int BankSelectMethod() const;
    void SetBankSelectMethod(int method);
    int DSDriver() const;
    void SetDSDriver(int item);
    int32_t BufferLength() const { return bufferFrames_; }  // frames
    void SetBufferLength(int32_t frames);
    int32_t AheadLength() const { return aheadFrames_; }
    void SetAheadLength(int32_t frames);
    TRemainder RenderingRemainder() const;
    void SetRenderingRemainder(TRemainder r);
    bool Surround() const;
    void SetSurround(bool on);
    bool EasyMove() const;
    void SetEasyMove(bool on);
    bool AutoArrange() const;
    void SetAutoArrange(bool on);
    bool SplashScreen() const;
    void SetSplashScreen(bool on);
    bool MouseUse() const;
    void SetMouseUse(bool on);
    bool AutoMaximize() const;
    void SetAutoMaximize(bool on);
    bool LedsOver() const;
    void SetLedsOver(bool on);
    // The chosen style's place in the list given to SetStyles (-1: none).
    int StyleIndex() const;
    void SetStyleIndex(int index);
    bool AdjustChanName() const;
    void SetAdjustChanName(bool on);
    bool CloseDS() const;
    void SetCloseDS(bool on);
    bool PreviewWAV() const;
    void SetPreviewWAV(bool on);
    bool UsePlugin() const;
    void SetUsePlugin(bool on);

    bool CpuFastMode() const { return fastCpu_; }
    int CpuTicks() const { return cpuTicks_; }  // CPU meter updates since start

    // Shows a message; a message box unless replaced (tests record instead).
    std::function<void(const QString& text)> ShowMessage;
    // Tells something the user may want to know, not a failure: the closing
    // reminder that no output is chosen. An information box unless replaced.
    std::function<void(const QString& text)> ShowNotice;
    // The program the file association opens; the running program by default.
    QString ProgramPath;

public slots:
    // Escape closes as the close box does, so the output warning is not skipped.
    void reject() override { close(); }
    void TogglePlugin();  // Ctrl+G of the main window
    void ShowUnderruns(int count);

signals:
    void styleChosen(int index);    // reload the style now
    void ledsOverChanged(bool on);  // lay the channel rows out again
    void optionChanged();           // any General option; read the getters
    void helpRequested(const QString& anchor);

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QWidget* buildMidiSheet();
    QWidget* buildWavSheet();
    QWidget* buildGeneralSheet();
    QWidget* buildPluginsSheet();
    QCheckBox* addBox(QWidget* parent, const char* name, const QString& caption, const QString& hint);
    void bufferMoved(int ms);
    void aheadMoved(int ms);
    void updateBufferLabels();
    void updateFormatLabel();
    void cpuTick();
    void registerExtension();
    void report(const QString& text);
    void sheetChanged(int index);

    TSettingsActions& actions_;
    QTabWidget* SettingsControl = nullptr;
    QComboBox* cmbOutput = nullptr;
    QComboBox* cmbInput = nullptr;
    QRadioButton* Bank0Button = nullptr;
    QRadioButton* Bank32Button = nullptr;
    QComboBox* DSDriverBox = nullptr;
    QLabel* FormatLabel = nullptr;
    QSlider* BufLSlider = nullptr;
    QLabel* BufLLabel = nullptr;
    QSlider* AheadBufSlider = nullptr;
    QLabel* AheadBufLabel = nullptr;
    QLabel* UnderrunsLabel = nullptr;
    QLabel* CPULabel = nullptr;
    QLabel* UsageLabel = nullptr;
    QRadioButton* CutRemain = nullptr;
    QRadioButton* LeaveRemain = nullptr;
    QRadioButton* WrapRemain = nullptr;
    QCheckBox* SurroundBox = nullptr;
    QCheckBox* EasyMoveBox = nullptr;
    QCheckBox* ArrangeBox = nullptr;
    QCheckBox* SplashBox = nullptr;
    QCheckBox* MouseBtnBox = nullptr;
    QCheckBox* AutoMaximizeBox = nullptr;
    QCheckBox* InvertChanBox = nullptr;
    QComboBox* StylesBox = nullptr;
    QCheckBox* AdjustChanNameBox = nullptr;
    QCheckBox* CloseDSBox = nullptr;
    QCheckBox* PreviewWAVBox = nullptr;
    QPushButton* RegisterExtButton = nullptr;
    QCheckBox* PluginBox = nullptr;
    QTimer* CPUTimer = nullptr;

    int32_t bufferFrames_ = 4410;
    int32_t aheadFrames_ = 4410;
    bool fastCpu_ = false;
    int cpuTicks_ = 0;
    int helpTopic_ = 1;
    int styleIndex_ = -1;
};

}  // namespace tx
