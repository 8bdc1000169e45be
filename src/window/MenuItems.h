#pragma once

#include <QAction>
#include <QMenu>
#include <utility>
#include <vector>

#include "desktop/MainMenu.h"

namespace tx {

// The actions of a menu built from a menu table, by command.
using TCommandActions = std::vector<std::pair<TCommand, QAction*>>;

inline QAction* FindAction(const TCommandActions& actions, TCommand command) {
    for (auto& [c, a] : actions)
        if (c == command) return a;
    return nullptr;
}

// Adds the table's `item` to `menu` (after a separator when it asks for one),
// with its caption and component name.
inline QAction* AddMenuItem(QMenu* menu, const TMenuItemDef& item) {
    if (item.SeparatorBefore) menu->addSeparator();
    QAction* action = menu->addAction(QString::fromUtf8(item.Caption.data(), qsizetype(item.Caption.size())));
    action->setObjectName(QString::fromUtf8(item.Name.data(), qsizetype(item.Name.size())));
    return action;
}

}  // namespace tx
