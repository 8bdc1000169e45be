#include <gtest/gtest.h>

#include <QImage>

#include "controls/TrackSlider.h"

namespace tx {
namespace {

// The first row (across the slider) where the groove's grey upper edge is drawn.
int grooveTop(const QImage& shot, int along) {
    for (int y = 0; y < shot.height(); ++y)
        if (shot.pixelColor(along, y) == QColor(128, 128, 128)) return y;
    return -1;
}

// A drawn horizontal slider 45 pixels high, the centre line at 22 with ticks
// on both sides, 7 pixels nearer the ticks when they are on one side.
TEST(SliderGroove, TheCentreLineMovesTowardsTheTicks) {
    const struct {
        TTrackSlider::TickMark Ticks;
        int GrooveTop;  // centre - 2
    } cases[] = {
        {TTrackSlider::TickMark::Both, 20},
        {TTrackSlider::TickMark::TopLeft, 13},
        {TTrackSlider::TickMark::BottomRight, 27},
    };
    for (const auto& c : cases) {
        TTrackSlider slider(nullptr, Qt::Horizontal);
        slider.resize(108, 45);
        slider.SetRange(0, 8);
        slider.SetTickMarks(c.Ticks);
        const QImage shot = slider.grab().toImage();
        EXPECT_EQ(grooveTop(shot, 90), c.GrooveTop) << int(c.Ticks);
    }
}

}  // namespace
}  // namespace tx
