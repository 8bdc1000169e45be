#pragma once

#include <QMenu>
#include <QPixmap>
#include <QPointer>

#include "controls/ImageStrip.h"
#include "controls/SkinWidget.h"
class QShortcut;

namespace tx {

// The image button: frame ILIndex when up, ILIndex + 1 when down. A StayDown
// button toggles. A mouse-down handler may clear the allow-click flag to
// swallow the click that would follow.
class TMyTransButton : public TSkinWidget {
    Q_OBJECT
public:
    explicit TMyTransButton(QWidget* parent = nullptr);

    TImageStrip* ImList() const { return imList_; }
    void SetImList(TImageStrip* strip);
    int ILIndex() const { return ilIndex_; }
    void SetILIndex(int index) {
        ilIndex_ = index;
        update();
    }
    bool Down() const { return down_; }
    void SetDown(bool down);
    bool StayDown() const { return stayDown_; }
    void SetStayDown(bool on) { stayDown_ = on; }
    bool ShowPressed() const { return showPressed_; }
    void SetShowPressed(bool on) {
        showPressed_ = on;
        update();
    }
    // Glyph: NumGlyphs pictures side by side (up, disabled, pressed, down).
    void SetGlyph(const QPixmap& glyph, int numGlyphs = 1);
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    int Spacing() const { return spacing_; }
    void SetSpacing(int spacing) {
        spacing_ = spacing;
        update();
    }
    Qt::Alignment TextAlign() const { return textAlign_; }
    void SetTextAlign(Qt::Alignment a) {
        textAlign_ = a;
        update();
    }
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool on);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool on) {
        wordWrap_ = on;
        update();
    }
    QMenu* PopUpMenu() const { return popUpMenu_; }
    void SetPopUpMenu(QMenu* menu) { popUpMenu_ = menu; }
    // Only meaningful during MouseDown: clearing it suppresses this press's click.
    void SetAllowClick(bool allow) { allowClick_ = allow; }
    bool AllowClick() const { return allowClick_; }

    // What the button draws now: inverted while a press is held over it.
    bool ShownDown() const;
    int FrameShown() const { return ilIndex_ + (ShownDown() ? 1 : 0); }
    bool PopupOpen() const { return popupOpen_; }
    // A click as the accelerator or a screen reader gives it.
    void Click();

    QString AccessibleName() const override;
    QAccessible::Role AccessibleRole() const override {
        return stayDown_ ? QAccessible::CheckBox : QAccessible::Button;
    }

signals:
    void MouseDown(Qt::MouseButton button);
    void Clicked();
    void MouseEnter();
    void MouseExit();

protected:
    void PaintSkin(QPainter& painter) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPointer<TImageStrip> imList_;
    int ilIndex_ = 0;
    bool down_ = false, stayDown_ = false, showPressed_ = true;
    QPixmap glyph_;
    int numGlyphs_ = 1;
    QString caption_;
    int spacing_ = 2;
    Qt::Alignment textAlign_ = Qt::AlignCenter;
    bool transparent_ = true, wordWrap_ = false;
    QPointer<QMenu> popUpMenu_;
    QShortcut* accelerator_ = nullptr;
    bool pressing_ = false, inside_ = false, allowClick_ = true, popupOpen_ = false;
};

}  // namespace tx
