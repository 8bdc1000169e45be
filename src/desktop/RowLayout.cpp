#include "desktop/RowLayout.h"

#include <algorithm>

namespace tx {

TRowLayout LayoutChannelRows(const TRowLayoutInput& in) {
    TRowLayout out;
    const int n = int(in.Channels.size());
    out.Rows.resize(size_t(n));
    // The one row that keeps its leds when they are hidden elsewhere: the top
    // row with leds over the knobs, else the bottom one, minimized rows aside.
    if (in.LedsOverKnobs) {
        for (int i = 0; i < n && out.LedRow < 0; ++i)
            if (!in.Channels[size_t(i)].Minimized) out.LedRow = i;
    } else {
        for (int i = n - 1; i >= 0 && out.LedRow < 0; --i)
            if (!in.Channels[size_t(i)].Minimized) out.LedRow = i;
    }
    const auto& b = in.ChanBtns;
    int y = FirstRowTop;
    int xoff = 0;
    for (int i = 0; i < n; ++i) {
        const auto& ch = in.Channels[size_t(i)];
        TRowPlacement& r = out.Rows[size_t(i)];
        r.Minimized = ch.Minimized;
        if (!ch.Minimized && xoff > 0) {
            xoff = 0;
            y += in.ZippedHeight + RowGap;
        }
        r.StepLeft = b[4].X;
        r.StepTop = b[4].Y + y;
        r.ButtonTop = 0;
        r.LedTop = in.LedsOverKnobs ? 0 : LedTopBelowButtons;
        int shift = 0;
        if (ch.Minimized) {
            r.StepHeight = in.ZippedHeight;
        } else if (!in.HideLeds || i == out.LedRow) {
            r.ShowsLeds = true;
            r.StepHeight = LedRowHeight;
            if (in.LedsOverKnobs) {
                r.ButtonTop = LedsOverKnobsShift;
                shift = LedsOverKnobsShift;
            }
        } else {
            r.StepHeight = PlainRowHeight;
        }
        r.Volume = {b[0].X, b[0].Y + y + shift};
        r.Mute = {b[1].X, b[1].Y + y + shift};
        r.Name = {b[2].X + xoff, b[2].Y + y + shift};
        r.Select = {b[3].X, b[3].Y + y + shift};
        if (ch.Minimized) {
            out.ContentHeight = std::max(out.ContentHeight, y + in.ZippedHeight);
            xoff += ch.NameButtonWidth + MinimizedGap;
            if (b[2].X + xoff + ch.NameButtonWidth + MinimizedGap > in.AreaWidth) {
                xoff = 0;
                y += in.ZippedHeight + RowGap;
            }
        } else {
            out.ContentHeight = std::max(out.ContentHeight, r.StepBottom());
            y = r.StepBottom() + RowGap;
        }
    }
    return out;
}

int MaxHeight(const TWindowMetrics& m, const TRowLayout& rows, int currentHeight) {
    if (rows.Rows.empty()) return currentHeight;
    return m.ChannelAreaTop + rows.Rows.back().StepBottom() + ScrollSlack + m.BottomDockHeight + 1;
}

int MinHeight(const TWindowMetrics& m) { return m.TopDockBottom + m.BottomDockHeight + 1; }

int ClampHeight(int h, int minHeight, int maxHeight) { return std::max(minHeight, std::min(maxHeight, h)); }

int FitHeight(int currentHeight, int minHeight, int maxHeight, bool autoMaximize) {
    if (!autoMaximize) return ClampHeight(std::min(currentHeight, maxHeight), minHeight, maxHeight);
    if (currentHeight == minHeight) return currentHeight;
    return ClampHeight(maxHeight, minHeight, maxHeight);
}

int ClampTop(int top, int windowHeight, int screenHeight, int captionHeight) {
    if (windowHeight + top < 33) return 32 - windowHeight;
    return std::min(top, screenHeight - captionHeight);
}

int ScrollRange(const TRowLayout& rows, int visibleHeight) {
    const int total = rows.ContentHeight + ScrollSlack;
    return total > visibleHeight ? total - visibleHeight : 0;
}

int THeightToggle::Toggle(int currentHeight, int minHeight, int maxHeight, int screenHeight) {
    if (currentHeight != maxHeight) {
        if (currentHeight <= screenHeight) RestoreHeight = currentHeight;
        return ClampHeight(maxHeight, minHeight, maxHeight);
    }
    return ClampHeight(RestoreHeight, minHeight, maxHeight);
}

}  // namespace tx
