#pragma once

#include <QPointer>
#include <vector>

#include "controls/ImageStrip.h"
#include "controls/SkinWidget.h"

class QMenu;

namespace tx {

// The skinned menu bar: shows the top-level items of a mirrored menu as bands
// of a two-frame picture (normal, highlighted), opens their drop-downs and
// carries their shortcuts. Without a picture it draws plain bands.
class TNewMenu : public TSkinWidget {
    Q_OBJECT
public:
    struct TItem {
        int Left = 0, Width = 0;
    };

    explicit TNewMenu(QWidget* parent = nullptr);

    TImageStrip* ImList() const { return imList_; }
    void SetImList(TImageStrip* strip);
    const QList<QMenu*>& MirrorMenu() const { return menus_; }
    void SetMirrorMenu(const QList<QMenu*>& menus);
    // Left edges of every item after the first ("MenuSep"); each item reaches
    // to the next one's left edge, the last to the bar's right edge.
    void SetSeparators(const std::vector<int>& lefts);
    const std::vector<TItem>& Items() const { return items_; }
    // Drop-downs open above the bar (a bar docked at the bottom).
    bool DropUp() const { return dropUp_; }
    void SetDropUp(bool up) { dropUp_ = up; }
    int Style() const { return style_; }
    void SetStyle(int style) { style_ = style; }

    int ItemAt(int x) const;
    int Highlighted() const { return highlighted_; }
    QMenu* OpenMenu() const { return open_; }
    int OpenIndex() const { return openIndex_; }
    void OpenItem(int index);

    QAccessible::Role AccessibleRole() const override { return QAccessible::MenuBar; }

protected:
    void PaintSkin(QPainter& painter) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Layout();
    void CarryShortcuts(QMenu* menu);

    QPointer<TImageStrip> imList_;
    QList<QMenu*> menus_;
    std::vector<int> separators_;
    bool haveSeparators_ = false;
    std::vector<TItem> items_;
    bool dropUp_ = false;
    int style_ = 0;
    int highlighted_ = -1;
    QPointer<QMenu> open_;
    int openIndex_ = -1;
};

}  // namespace tx
