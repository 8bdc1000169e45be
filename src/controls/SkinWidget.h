#pragma once

#include <QAccessible>
#include <QPointer>
#include <QWidget>

#include "controls/ImageStrip.h"

namespace tx {

// Base of every skinned control. Painting happens in skin pixels (the style's
// numbers); this class alone maps them to device pixels by a whole factor with
// nearest-neighbour sampling, so bitmaps stay sharp at every scale. Layout,
// hit tests and drag maths never see the factor. Window thread only.
class TSkinWidget : public QWidget {
    Q_OBJECT
public:
    explicit TSkinWidget(QWidget* parent = nullptr);

    // Hints begin with "|"; the long part (after it) goes to the hint panel and
    // serves as the accessible name.
    QString Hint() const { return hint_; }
    void SetHint(const QString& hint);
    static QString LongHint(const QString& hint);

    // The accessible name: the set accessible name, else the long hint.
    virtual QString AccessibleName() const;
    virtual QAccessible::Role AccessibleRole() const { return QAccessible::Client; }

    // The whole factor used for a device pixel ratio (1.5 and 2 draw at 2, 1.4 at 1).
    static int WholeScale(qreal devicePixelRatio);

signals:
    void HintShown(const QString& longHint);

protected:
    // Points `slot` at `strip`, and runs `fit` now and whenever the strip is
    // refilled (a style reload), so the control resizes and repaints.
    template <class Fit>
    void BindStrip(QPointer<TImageStrip>& slot, TImageStrip* strip, Fit fit) {
        if (slot) disconnect(slot, nullptr, this, nullptr);
        slot = strip;
        if (strip) connect(strip, &TImageStrip::Changed, this, fit);
        fit();
    }
    void paintEvent(QPaintEvent* event) final;
    void enterEvent(QEnterEvent* event) override;
    // Paint in skin pixels; the painter already carries the whole scale.
    virtual void PaintSkin(QPainter& painter) = 0;

private:
    QString hint_;
};

// Makes the program's own accessible interfaces known to Qt (done once, by the
// first skinned control).
void InstallSkinAccessibility();

}  // namespace tx
