#pragma once

#include <QWidget>
#include <functional>

namespace tx {

class TLoop;

// What the dots window asks of the main window.
struct TVisualHost {
    std::function<void()> Close;                   // as the menu item "&Dots window"
    std::function<void(const QString&)> ShowHint;  // the hint panel
    std::function<bool(QKeyEvent*, bool)> Key;     // the main window's keys (event, press)
    std::function<void()> ShowHelp;                // F1: this window's help topic
};

// The dots window "Visual": a borderless stay-on-top window with a dot for
// every step of every channel that lights when the step plays and fades at
// each scope tick. Window thread only; the lights it fades are raised by the
// mixing thread.
class TVisualForm : public QWidget {
    Q_OBJECT
public:
    TVisualForm(TLoop& loop, const TVisualHost& host, QWidget* parent);

    int CellSize() const { return cellSize_; }
    void SetCellSize(int size);
    // The height that fits the channel count (the main window's height rule).
    void FitChannels();
    // One scope tick: every light above zero fades, then the window repaints.
    // Returns whether anything was still lit.
    bool Tick();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    TLoop& loop_;
    TVisualHost host_;
    int cellSize_;
    QPoint dragFrom_;  // global press point of a left-button move; null when none
    int hintRow_ = -1;
};

}  // namespace tx
