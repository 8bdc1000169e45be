#include "window/PanelDocking.h"

#include <QApplication>
#include <QDockWidget>
#include <QMainWindow>
#include <QMouseEvent>

namespace tx {

TPanelDocking::TPanelDocking(QMainWindow& window) : QObject(&window), window_(window) {}

QDockWidget* TPanelDocking::Add(const char* name, const QString& caption, QWidget* panel, Qt::DockWidgetArea area) {
    auto* dock = new QDockWidget(caption, &window_);
    dock->setObjectName(name);
    dock->setTitleBarWidget(new QWidget(dock));  // the panels carry no title of their own
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    dock->setAllowedAreas(Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);
    dock->setWidget(panel);
    // Not yet shown, every dock counts as hidden: the one above is found by area alone.
    QDockWidget* above = nullptr;
    for (QDockWidget* d : docks_)
        if (!d->isFloating() && window_.dockWidgetArea(d) == area) above = d;
    window_.addDockWidget(area, dock);
    if (above) window_.splitDockWidget(above, dock, Qt::Vertical);  // one panel per row
    docks_.push_back(dock);
    surfaces_.push_back({panel, dock});
    connect(dock, &QDockWidget::topLevelChanged, this, [this, dock](bool floating) { DockChanged(dock, floating); });
    connect(dock, &QDockWidget::dockLocationChanged, this, [this] {
        if (PanelMoved) PanelMoved();
    });
    return dock;
}

QDockWidget* TPanelDocking::DockOf(QWidget* w) const {
    for (const auto& [surface, dock] : surfaces_)
        if (w && surface == w) return dock;
    return nullptr;
}

bool TPanelDocking::InArea(const QDockWidget* dock, Qt::DockWidgetArea area) const {
    return !dock->isFloating() && !dock->isHidden() && window_.dockWidgetArea(const_cast<QDockWidget*>(dock)) == area;
}

int TPanelDocking::DockedHeight(const std::vector<QDockWidget*>& docks, Qt::DockWidgetArea area) const {
    int h = 0;
    for (QDockWidget* d : docks)
        if (InArea(d, area)) h += d->widget()->height();
    return h;
}

void TPanelDocking::DockChanged(QDockWidget* dock, bool floating) {
    // The window keeps its channel area: it gives up or takes back the panel's height.
    if (placing_ || dock->isHidden()) return;
    if (PanelHeightChanged) PanelHeightChanged((floating ? -1 : 1) * dock->widget()->height());
}

void TPanelDocking::DockPanel(QDockWidget* dock, Qt::DockWidgetArea area) {
    // One panel per row: a panel joining a dock goes below the one already there.
    QDockWidget* neighbour = nullptr;
    for (QDockWidget* d : docks_)
        if (d != dock && InArea(d, area)) neighbour = d;
    window_.addDockWidget(area, dock);
    if (neighbour) window_.splitDockWidget(neighbour, dock, Qt::Vertical);
    dock->setFloating(false);
}

bool TPanelDocking::DragEvent(QDockWidget* dock, int type, QMouseEvent* me) {
    const QPoint at = me->globalPosition().toPoint();
    if (type == QEvent::MouseButtonPress) {
        if (me->button() != Qt::RightButton && !dock->isFloating()) return false;
        drag_ = dock;
        moved_ = false;
        dragStart_ = at;
        grab_ = at - dock->frameGeometry().topLeft();
        return true;
    }
    if (drag_ != dock) return false;
    if (type == QEvent::MouseMove) {
        if (!moved_ && (at - dragStart_).manhattanLength() < QApplication::startDragDistance()) return true;
        moved_ = true;
        if (!dock->isFloating()) dock->setFloating(true);
        dock->move(at - grab_);
        return true;
    }
    if (type == QEvent::MouseButtonRelease) {
        drag_ = nullptr;
        // Dropped on the window: the upper half docks at the top, the lower at the bottom.
        const QRect frame = window_.frameGeometry();
        if (moved_ && frame.contains(at))
            DockPanel(dock, at.y() < frame.center().y() ? Qt::TopDockWidgetArea : Qt::BottomDockWidgetArea);
        return true;
    }
    return false;
}

void TPanelDocking::Apply(const std::vector<TDockPanel>& panels) {
    placing_ = true;  // the height is set for all of them once they stand
    for (const TDockPanel& panel : panels) {
        auto* dock = window_.findChild<QDockWidget*>(QString::fromStdString(panel.Name));
        if (!dock) continue;
        if (panel.DockedTo.empty()) {
            dock->setFloating(true);
            dock->move(panel.FloatLeft, panel.FloatTop);
        } else {
            window_.addDockWidget(panel.DockedTo == "BottomDock" ? Qt::BottomDockWidgetArea : Qt::TopDockWidgetArea,
                                  dock);
        }
        dock->setVisible(panel.Visible);
    }
    // The first two panels share the top dock one per row.
    if (docks_.size() >= 2 && window_.dockWidgetArea(docks_[0]) == Qt::TopDockWidgetArea &&
        window_.dockWidgetArea(docks_[1]) == Qt::TopDockWidgetArea)
        window_.splitDockWidget(docks_[0], docks_[1], Qt::Vertical);
    if (PanelMoved) PanelMoved();
    placing_ = false;
}

void TPanelDocking::Store(std::vector<TDockPanel>& panels) const {
    for (TDockPanel& panel : panels) {
        auto* dock = window_.findChild<QDockWidget*>(QString::fromStdString(panel.Name));
        if (!dock) continue;
        panel.Visible = !dock->isHidden();
        panel.Docked = !dock->isFloating();
        panel.DockedTo = dock->isFloating()                                         ? ""
                         : window_.dockWidgetArea(dock) == Qt::BottomDockWidgetArea ? "BottomDock"
                                                                                    : "TopDock";
        if (dock->isFloating()) {
            panel.FloatLeft = dock->x();
            panel.FloatTop = dock->y();
        }
    }
}

}  // namespace tx
