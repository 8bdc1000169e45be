#pragma once
#include <QDialog>

#include "model/Editing.h"

class QCheckBox;
class QGroupBox;
class QPushButton;
class QSlider;

namespace tx {

// The humanize window: which per-step values to shake and by how much. It is
// asked before the edit runs, so no engine lock is held while it is open. The
// main window keeps one, so the choices stay from one use to the next.
// Window thread only.
class THumanizeForm : public QDialog {
    Q_OBJECT
public:
    explicit THumanizeForm(QWidget* parent = nullptr);

    THumanize Values() const;

private:
    void showPercent(int percent);

    QCheckBox* VolBox = nullptr;
    QCheckBox* PanBox = nullptr;
    QCheckBox* PitchBox = nullptr;
    QCheckBox* MixBox = nullptr;
    QGroupBox* PercentageBox = nullptr;
    QSlider* HumanizeSlider = nullptr;
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;
};

}  // namespace tx
