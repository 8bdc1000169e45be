#include "controls/MyTransButton.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <algorithm>

namespace tx {

TMyTransButton::TMyTransButton(QWidget* parent) : TSkinWidget(parent) { setFocusPolicy(Qt::TabFocus); }

void TMyTransButton::SetImList(TImageStrip* strip) {
    BindStrip(imList_, strip, [this] { update(); });
}

void TMyTransButton::SetDown(bool down) {
    if (down == down_) return;
    down_ = down;
    update();
    if (QAccessible::isActive()) {
        QAccessible::State changed;
        changed.checked = true;
        changed.pressed = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
}

void TMyTransButton::SetGlyph(const QPixmap& glyph, int numGlyphs) {
    glyph_ = glyph;
    numGlyphs_ = std::max(1, numGlyphs);
    update();
}

void TMyTransButton::SetCaption(const QString& caption) {
    if (caption == caption_) return;  // the rows set theirs on every click: keep the shortcut
    caption_ = caption;
    delete accelerator_;
    accelerator_ = nullptr;
    const QKeySequence mnemonic = QKeySequence::mnemonic(caption);
    if (!mnemonic.isEmpty()) {
        accelerator_ = new QShortcut(mnemonic, this, this, &TMyTransButton::Click, Qt::WindowShortcut);
    }
    update();
}

void TMyTransButton::SetTransparent(bool on) {
    transparent_ = on;
    setAttribute(Qt::WA_OpaquePaintEvent, !on);
    update();
}

QString TMyTransButton::AccessibleName() const {
    QString name = TSkinWidget::AccessibleName();
    if (name.isEmpty()) {
        // "&&" is a shown "&"; a single "&" only marks the accelerator.
        name = caption_;
        name.replace(QLatin1String("&&"), QString(QChar(0))).remove(u'&').replace(QChar(0), u'&');
    }
    return name;
}

bool TMyTransButton::ShownDown() const { return (pressing_ && inside_ && showPressed_) != down_ || popupOpen_; }

void TMyTransButton::Click() {
    if (!isEnabled()) return;
    SetDown(stayDown_ ? !down_ : false);
    emit Clicked();
}

void TMyTransButton::PaintSkin(QPainter& p) {
    if (!transparent_) p.fillRect(rect(), palette().button());
    const bool shownDown = ShownDown();
    if (imList_ && !imList_->IsEmpty()) imList_->Draw(p, 0, 0, FrameShown());
    QRect area = rect();
    if (!glyph_.isNull()) {
        const int w = glyph_.width() / numGlyphs_;
        int index = 0;
        if (!isEnabled() && numGlyphs_ > 1)
            index = 1;
        else if (shownDown && numGlyphs_ > 3)
            index = 3;
        else if (shownDown && numGlyphs_ > 2)
            index = 2;
        int x = (width() - w) / 2;
        if (!caption_.isEmpty()) x = (width() - w - spacing_ - fontMetrics().horizontalAdvance(caption_)) / 2;
        const int y = (height() - glyph_.height()) / 2 + (shownDown && !imList_ ? 1 : 0);
        p.drawPixmap(x, y, glyph_, index * w, 0, w, glyph_.height());
        area.setLeft(x + w + spacing_);
    }
    if (!caption_.isEmpty()) {
        p.setPen(isEnabled() ? palette().buttonText().color()
                             : palette().color(QPalette::Disabled, QPalette::ButtonText));
        p.setFont(font());
        int flags = int(textAlign_ | Qt::TextShowMnemonic);
        if (wordWrap_) flags |= Qt::TextWordWrap;
        // A name wider than the button ends in an ellipsis instead of being
        // cut at both edges (mnemonic captions are the program's own and fit).
        QString text = caption_;
        if (!wordWrap_ && !text.contains('&'))
            text = fontMetrics().elidedText(text, Qt::ElideRight, std::max(0, area.width() - 4));
        p.drawText(area.translated(shownDown ? 1 : 0, shownDown ? 1 : 0), flags, text);
    }
}

void TMyTransButton::mousePressEvent(QMouseEvent* event) {
    allowClick_ = true;
    emit MouseDown(event->button());
    if (event->button() == Qt::RightButton && popUpMenu_) {
        // Drawn pressed while its menu is open; the menu runs its own loop.
        popupOpen_ = true;
        repaint();
        QPointer<TMyTransButton> self(this);
        popUpMenu_->exec(mapToGlobal(QPoint(width(), 0)));
        if (!self) return;
        popupOpen_ = false;
        update();
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    pressing_ = true;
    inside_ = true;
    update();
}

void TMyTransButton::mouseMoveEvent(QMouseEvent* event) {
    if (!pressing_) return;
    const bool inside = rect().contains(event->position().toPoint());
    if (inside != inside_) {
        inside_ = inside;
        update();
    }
}

void TMyTransButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressing_) return;
    pressing_ = false;
    const bool over = rect().contains(event->position().toPoint());
    if (over) {
        SetDown(stayDown_ ? !down_ : false);
        if (allowClick_) emit Clicked();
    }
    update();
}

void TMyTransButton::enterEvent(QEnterEvent* event) {
    emit MouseEnter();
    TSkinWidget::enterEvent(event);
}

void TMyTransButton::leaveEvent(QEvent* event) {
    emit MouseExit();
    TSkinWidget::leaveEvent(event);
}

}  // namespace tx
