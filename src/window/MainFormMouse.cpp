// The main window's mouse: the caption and background move the window (or
// scroll the rows), the caption and hint panel drag its height, a double click
// toggles it, and the panels are dragged out of their docks.
#include <QDockWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QWindow>

#include "window/MainForm.h"

namespace tx {

bool TTrovamixMainForm::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        auto* w = qobject_cast<QWidget*>(watched);
        // The window sees its keys before its controls; dialogs keep theirs.
        if (!w || w->window() != this) return false;
        return HandleKey(watched, static_cast<QKeyEvent*>(event), type == QEvent::KeyPress);
    }
    if (watched == transport_->BPMDig && type == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        transport_->TempoMenu->popup(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
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
    if (QDockWidget* dock = docking_->DockOf(w); dock && type != QEvent::MouseButtonDblClick &&
                                                 docking_->DragEvent(dock, type, static_cast<QMouseEvent*>(event)))
        return true;
    if (!w || w->window() != this) return false;
    // Only the window's own surfaces move it or toggle its height; controls keep their clicks.
    const bool surface = w->property("tag").toInt() == 1 || w == backWP_ || w == leftSideWP_ || w == rightSideWP_ ||
                         w == transport_ || w == mainMenuPic_ || w == bottomPic_ || w == transport_->PatNumDig ||
                         w == transport_->BPMDig || w == infoLabel_ || qobject_cast<TChannelRow*>(w);
    if (!surface) return false;
    if (type == QEvent::MouseButtonDblClick) {
        // A panel docked under the window would move with the height it toggles.
        QWidget* panel = w;
        while (panel && !qobject_cast<QDockWidget*>(panel)) panel = panel->parentWidget();
        if (panel && docking_->InArea(static_cast<QDockWidget*>(panel), Qt::BottomDockWidgetArea)) return false;
        const TWindowMetrics m = Metrics();
        SetHeight(heightToggle_.Toggle(height(), MinHeight(), MaxHeight(), m.ScreenHeight));
        const int top = ClampTop(y(), height(), m.ScreenHeight, m.CaptionHeight);
        if (top != y()) move(x(), top);
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
