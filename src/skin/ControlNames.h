#pragma once
#include <span>
#include <string_view>

namespace tx {

// The controls a style's "config.txt" may move, by component name, with the
// panel (or editor panel) each one sits on. One table for the parser, the
// style checker and the widgets that apply a style.
struct TStyleControl {
    std::string_view Name;
    std::string_view Parent;
};

std::span<const TStyleControl> StyleControls();

// The table's entry whose name matches without regard to case, or nullptr.
const TStyleControl* FindStyleControl(std::string_view name);

}  // namespace tx
