#pragma once

#include <QObject>
#include <QPixmap>
#include <QRegion>
#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "controls/ImageStrip.h"
#include "skin/Style.h"
#include "window/StyleImages.h"

class QWidget;

namespace tx {

// What applying a style leaves for the main window's own rules: the window
// shape, the row positions and the step colours.
struct TAppliedStyle {
    QRegion Shape;
    // Knob, mute, name, select, step row: all (0, 0) when "config.txt" lacks
    // the key; none when the style has no "config.txt" (the design places).
    std::optional<std::array<QPoint, 5>> ChanBtns;
    std::array<std::optional<QColor>, 4> GraphColours;  // pan, volume, pitch, mix
    int MainClientWidth = 0;                            // 0: the style did not set it
};

// Applies a parsed style to the widgets under `window` (and the extra roots,
// such as the keyboard editor and the channel settings window), finding each
// control by its component name. Window thread only.
class TStyleApplier {
public:
    TStyleApplier(QWidget* window, TStyleImages& images) : window_(window), images_(images) {}
    void AddRoot(QWidget* root) { roots_.push_back(root); }

    TAppliedStyle Apply(const TStyleData& style);
    // The caption bar's picture follows the window's activation.
    void ShowActive(bool active);

    // The window's outline: the full-height rectangle minus each hole (alternate filling).
    static QRegion ShapeRegion(int width, const std::vector<std::vector<TStylePoint>>& holes);
    static QColor StyleColour(uint32_t bgr);

private:
    template <class T>
    std::vector<T*> Find(const char* name) const;
    QWidget* FindWidget(const std::string& name) const;
    void LoadImages(const TStyleData& style);
    void AssignImages();
    void ApplyConfig(const TStyleConfig& config, TAppliedStyle& result);
    void CutBackgrounds();

    QWidget* window_;
    TStyleImages& images_;
    std::vector<QWidget*> roots_;
    // Where each control a style may move stood before any style moved it.
    std::vector<std::pair<QWidget*, QRect>> design_;
    void RestoreDesign();
};

}  // namespace tx
