#include "controls/NewMenu.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

namespace tx {

TNewMenu::TNewMenu(QWidget* parent) : TSkinWidget(parent) {
    setMouseTracking(true);
    resize(400, 18);
}

void TNewMenu::SetImList(TImageStrip* strip) {
    BindStrip(imList_, strip, [this] {
        if (imList_ && !imList_->IsEmpty()) resize(imList_->FrameSize());
        Layout();
    });
}

void TNewMenu::CarryShortcuts(QMenu* menu) {
    // Shortcuts of a menu that is never shown work only through a widget of
    // the window; the bar carries them, so they act whenever its window does.
    for (QAction* action : menu->actions()) {
        if (action->menu()) CarryShortcuts(action->menu());
        if (!action->shortcut().isEmpty()) {
            action->setShortcutContext(Qt::WindowShortcut);
            addAction(action);
        }
    }
}

void TNewMenu::SetMirrorMenu(const QList<QMenu*>& menus) {
    for (QAction* action : actions()) removeAction(action);
    menus_ = menus;
    for (QMenu* menu : menus_) CarryShortcuts(menu);
    Layout();
}

void TNewMenu::SetSeparators(const std::vector<int>& lefts) {
    separators_ = lefts;
    haveSeparators_ = true;
    Layout();
}

void TNewMenu::Layout() {
    items_.assign(menus_.size(), {});
    int left = 0;
    for (qsizetype i = 0; i < menus_.size(); ++i) {
        items_[i].Left = left;
        int next;
        if (i + 1 == menus_.size())
            next = width();
        else if (haveSeparators_)
            next = size_t(i) < separators_.size() ? separators_[i] : width();
        else
            next = left + fontMetrics().horizontalAdvance(QString(menus_[i]->title()).remove(u'&')) + 12;
        items_[i].Width = std::max(0, next - left);
        left = next;
    }
    update();
}

int TNewMenu::ItemAt(int x) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (x >= items_[i].Left && x < items_[i].Left + items_[i].Width) return int(i);
    return -1;
}

void TNewMenu::PaintSkin(QPainter& p) {
    const bool images = imList_ && !imList_->IsEmpty();
    if (images) imList_->Draw(p, 0, 0, 0);
    for (size_t i = 0; i < items_.size(); ++i) {
        const QRect band(items_[i].Left, 0, items_[i].Width, height());
        const bool lit = int(i) == highlighted_ || int(i) == openIndex_;
        if (images) {
            if (!lit) continue;
            p.save();
            p.setClipRect(band);
            imList_->Draw(p, 0, 0, 1);
            p.restore();
            continue;
        }
        const QColor bar = palette().window().color();
        p.fillRect(band, lit ? bar.lighter(130) : bar);
        p.setPen(bar.lighter(170));
        p.drawLine(band.left(), band.top(), band.right(), band.top());
        p.drawLine(band.left(), band.top(), band.left(), band.bottom());
        p.setPen(bar.darker(170));
        p.drawLine(band.left(), band.bottom(), band.right(), band.bottom());
        p.drawLine(band.right(), band.top(), band.right(), band.bottom());
        p.setPen(palette().windowText().color());
        p.drawText(band.adjusted(5, 0, 0, 0),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic,
                   menus_[qsizetype(i)]->title());
    }
}

void TNewMenu::mouseMoveEvent(QMouseEvent* event) {
    const int item = ItemAt(int(event->position().x()));
    if (item != highlighted_) {
        highlighted_ = item;
        update();
    }
}

void TNewMenu::leaveEvent(QEvent*) {
    highlighted_ = -1;
    update();
}

void TNewMenu::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    OpenItem(ItemAt(int(event->position().x())));
}

void TNewMenu::OpenItem(int index) {
    if (open_) {
        open_->removeEventFilter(this);
        open_->close();
    }
    open_ = nullptr;
    openIndex_ = -1;
    if (index < 0 || index >= int(items_.size())) {
        update();
        return;
    }
    QMenu* menu = menus_[index];
    open_ = menu;
    openIndex_ = index;
    menu->installEventFilter(this);
    connect(
        menu, &QMenu::aboutToHide, this,
        [this, menu] {
            if (open_ != menu) return;
            menu->removeEventFilter(this);
            open_ = nullptr;
            openIndex_ = -1;
            update();
        },
        Qt::SingleShotConnection);
    const int x = items_[index].Left;
    const QPoint at = dropUp_ ? mapToGlobal(QPoint(x, -menu->sizeHint().height())) : mapToGlobal(QPoint(x, height()));
    update();
    menu->popup(at);
}

bool TNewMenu::eventFilter(QObject* watched, QEvent* event) {
    // The open drop-down has the mouse; moving it onto another item of the bar
    // closes this one and opens that item's drop-down.
    if (watched == open_ && event->type() == QEvent::MouseMove) {
        const QPoint local = mapFromGlobal(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        if (rect().contains(local)) {
            const int item = ItemAt(local.x());
            if (item >= 0 && item != openIndex_) {
                highlighted_ = item;
                OpenItem(item);
                return true;
            }
        }
    }
    return TSkinWidget::eventFilter(watched, event);
}

}  // namespace tx
