#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>
#include <vector>

#include "desktop/DesktopSettings.h"

class QDockWidget;
class QMainWindow;
class QMouseEvent;
class QWidget;

namespace tx {

// The main window's dockable panels: each sits in a dock of its own, one
// panel per row, at the top or bottom. A right-button drag (any button once
// it floats) takes a panel out of its dock and docks it where it is dropped.
// Window thread only.
class TPanelDocking : public QObject {
    Q_OBJECT
public:
    explicit TPanelDocking(QMainWindow& window);

    // Docks `panel` under the name `name` (its settings section) at `area`, below the panels already there.
    QDockWidget* Add(const char* name, const QString& caption, QWidget* panel, Qt::DockWidgetArea area);
    // A further surface that drags the panel of `dock` (a label covering it).
    void AddSurface(QWidget* surface, QDockWidget* dock) { surfaces_.push_back({surface, dock}); }
    const std::vector<QDockWidget*>& Docks() const { return docks_; }

    // The dock whose panel `w` is a surface of, else null.
    QDockWidget* DockOf(QWidget* w) const;
    // A mouse event on a panel's surface; true when the panel drag took it.
    bool DragEvent(QDockWidget* dock, int type, QMouseEvent* me);
    // Docks `dock` at `area`, below the panel already there.
    void DockPanel(QDockWidget* dock, Qt::DockWidgetArea area);
    bool InArea(const QDockWidget* dock, Qt::DockWidgetArea area) const;
    // The summed height of the panels docked at `area`, among `docks`.
    int DockedHeight(const std::vector<QDockWidget*>& docks, Qt::DockWidgetArea area) const;

    // The stored placement of the panels, and back.
    void Apply(const std::vector<TDockPanel>& panels);
    void Store(std::vector<TDockPanel>& panels) const;
    // True while stored settings place the panels: no height change follows them.
    bool Placing() const { return placing_; }

    // A panel left (-height) or rejoined (+height) the window.
    std::function<void(int change)> PanelHeightChanged;
    // The main menu panel moved to another dock.
    std::function<void()> PanelMoved;

private:
    void DockChanged(QDockWidget* dock, bool floating);

    QMainWindow& window_;
    std::vector<QDockWidget*> docks_;
    std::vector<std::pair<QWidget*, QDockWidget*>> surfaces_;
    QDockWidget* drag_ = nullptr;  // the panel being dragged
    QPoint dragStart_;
    QPoint grab_;  // the mouse's offset inside the dragged panel's window
    bool moved_ = false;
    bool placing_ = false;
};

}  // namespace tx
