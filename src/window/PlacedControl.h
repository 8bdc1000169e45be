#pragma once

#include <QString>
#include <QWidget>
#include <type_traits>

#include "controls/MyTransButton.h"
#include "controls/SkinWidget.h"
#include "skin/DefaultLayout.h"

namespace tx {

// A control named after its component, at its place in the default layout, so
// a style's "config.txt" finds it by that name and moves it from there.
template <class T>
T* PlacedControl(QWidget* parent, const char* name, const QString& hint = {}) {
    auto* t = new T(parent);
    t->setObjectName(name);
    if (const auto* c = DefaultLayout::FindControl(name)) t->setGeometry(c->X, c->Y, c->Width, c->Height);
    if constexpr (std::is_base_of_v<TSkinWidget, T>)
        if (!hint.isEmpty()) t->SetHint(hint);
    return t;
}

// A button that stays down until clicked again.
inline TMyTransButton* PlacedToggle(QWidget* parent, const char* name, const QString& hint) {
    auto* b = PlacedControl<TMyTransButton>(parent, name, hint);
    b->SetStayDown(true);
    return b;
}

}  // namespace tx
