#pragma once

#include <optional>

#include "desktop/MainKeys.h"

class QKeyEvent;

namespace tx {

// The main window's keys in the terms of the key rules: which key, from the
// keypad or not, with Ctrl or not. Empty for a key the rules do not know
// (and for any key with Alt, which belongs to the menus).
std::optional<TKeyInput> TranslateKey(const QKeyEvent& event);

}  // namespace tx
