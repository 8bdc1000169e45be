#pragma once
#include <QDialog>
#include <functional>

#include "desktop/Tools.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tx {

// Starts a tool's program with its arguments as a list: no shell sees them,
// so a path with spaces arrives whole and nothing in it is interpreted. A
// missing program fails quietly (false). Window thread only.
bool LaunchToolProgram(const TToolSlot& slot, const std::string& samplesFolder, const std::string& lastRenderedWAV);

// The tools window ("Tools"): the five slots, their names, programs and
// flags. It edits its own copy; the caller takes Slots() back when it closes.
// Window thread only.
class TAddToolForm : public QDialog {
    Q_OBJECT
public:
    explicit TAddToolForm(QWidget* parent = nullptr);

    void SetSlots(const TToolSlots& tools);  // fills the list and selects the slot to edit
    const TToolSlots& Slots() const { return slots_; }
    int CurrentSlot() const { return current_; }
    void SelectSlot(int slot);
    void MoveSlot(int from, int to);  // what a drag in the list does
    // The program chosen by the browse button (empty: cancelled); unset: a file dialog.
    std::function<QString(const QString& start)> AskProgram;
    // Where desktop entries are looked for when naming a chosen program.
    std::vector<std::string> EntryFolders = DesktopEntryFolders();
    void Browse();
    // F1: the tools' help topic.
    std::function<void(const QString& topic)> HelpRequested;

    QListWidget* ToolsBox = nullptr;
    QLineEdit* TitleEdit = nullptr;
    QLineEdit* FileEdit = nullptr;
    QPushButton* BrowseButton = nullptr;
    QCheckBox* PathBox = nullptr;
    QCheckBox* WAVBox = nullptr;
    QCheckBox* StartupBox = nullptr;
    QCheckBox* LinkBox = nullptr;
    QLabel* ToolIcon = nullptr;
    QPushButton* CloseButton = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void load();  // edits, boxes and icon from the current slot
    void fillList();
    void setFlag(int32_t flag, bool on);
    TToolSlots slots_;
    int current_ = 0;
    bool loading_ = false;
};

}  // namespace tx
