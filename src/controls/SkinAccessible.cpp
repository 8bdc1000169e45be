// Accessible interfaces of the skinned controls, so a screen reader finds
// their names, roles, values and checked states.
#include <QAccessibleWidget>
#include <mutex>

#include "controls/Controls.h"

namespace tx {
namespace {

class TSkinAccessible : public QAccessibleWidget {
public:
    explicit TSkinAccessible(TSkinWidget* widget) : QAccessibleWidget(widget, widget->AccessibleRole()) {}

    TSkinWidget* Skin() const { return static_cast<TSkinWidget*>(object()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return Skin()->AccessibleName();
        if (t == QAccessible::Value) {
            if (auto* digits = qobject_cast<TRCADigital*>(object())) return QString::number(digits->Value());
            if (auto* value = qobject_cast<TValueControl*>(object())) return QString::number(value->Value());
        }
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (auto* button = qobject_cast<TMyTransButton*>(object())) {
            s.checkable = button->StayDown();
            s.checked = button->StayDown() && button->Down();
            s.pressed = button->Down();
        }
        return s;
    }

    QStringList actionNames() const override {
        if (qobject_cast<TMyTransButton*>(object())) return {pressAction()};
        return QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override {
        if (auto* button = qobject_cast<TMyTransButton*>(object()); button && name == pressAction()) {
            button->Click();
            return;
        }
        QAccessibleWidget::doAction(name);
    }
};

class TValueAccessible : public TSkinAccessible, public QAccessibleValueInterface {
public:
    using TSkinAccessible::TSkinAccessible;

    TValueControl* Control() const { return static_cast<TValueControl*>(object()); }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return TSkinAccessible::interface_cast(type);
    }
    QVariant currentValue() const override { return Control()->Value(); }
    void setCurrentValue(const QVariant& value) override { Control()->SetValue(value.toInt(), true); }
    QVariant maximumValue() const override { return Control()->Max(); }
    QVariant minimumValue() const override { return Control()->Min(); }
    QVariant minimumStepSize() const override { return Control()->LineSize(); }
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
    if (auto* value = qobject_cast<TValueControl*>(object)) return new TValueAccessible(value);
    if (auto* skin = qobject_cast<TSkinWidget*>(object)) return new TSkinAccessible(skin);
    return nullptr;
}

}  // namespace

void InstallSkinAccessibility() {
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(Factory); });
}

}  // namespace tx
