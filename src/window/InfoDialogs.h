#pragma once

#include <QString>
#include <vector>

class QWidget;

namespace tx {

// The Help menu's small windows. Window thread only.

// The tips, in order.
const std::vector<QString>& Tips();
// "And now for some annoying tips...", modal over `parent`.
void ShowTips(QWidget* parent);
// The text of "InfoTxt.rtf" beside the program, in a window of its own.
void ShowProductsInfo();
void ShowAbout(QWidget* parent);

}  // namespace tx
