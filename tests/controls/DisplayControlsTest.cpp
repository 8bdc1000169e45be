// Digit display, level meter, scope, pad and strips: the pictures the
// controls paint, checked pixel by pixel where the numbers are fixed.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "StripSupport.h"
#include "controls/Controls.h"

namespace tx {
namespace {

using test::FrameAt;
using test::StripBitmap;

struct DigitCase {
    int value, places;
    std::vector<int> frames;
};
class Digits : public ::testing::TestWithParam<DigitCase> {};

TEST_P(Digits, ShowBlanksUnitsAndDropExtraDigits) {
    const auto& c = GetParam();
    EXPECT_EQ(TRCADigital::DigitFrames(c.value, c.places), c.frames);
    // and on screen: frames 11 x 17 with a gap of 2
    TImageStrip strip;
    strip.LoadCount(StripBitmap(11, 11, 17), 11);
    TRCADigital display;
    display.SetGap(2);
    display.SetFormatWidth(uint16_t(c.places));
    display.SetImList(&strip);
    display.SetValue(c.value);
    ASSERT_EQ(display.size(), QSize(13 * c.places, 17));
    const QImage shot = display.grab().toImage();
    for (int place = 0; place < c.places; ++place)
        EXPECT_EQ(FrameAt(shot, place * 13 + 2 + 5, 8, 11), c.frames[place]) << "place " << place;
}

INSTANTIATE_TEST_SUITE_P(RCADigital, Digits,
                         ::testing::Values(DigitCase{7, 3, {0, 0, 8}}, DigitCase{0, 3, {0, 0, 1}},
                                           DigitCase{1234, 3, {3, 4, 5}}, DigitCase{140, 3, {2, 5, 1}},
                                           DigitCase{-5, 3, {0, 0, 1}}, DigitCase{9, 1, {10}}));

struct MeterCase {
    int level, width, lit;
};
class Meter : public ::testing::TestWithParam<MeterCase> {};

TEST_P(Meter, LightsInStepsOfThreeAndFullOnlyAtFullScale) {
    const auto& c = GetParam();
    EXPECT_EQ(TWAVVolumeter::LitWidth(c.level, c.width), c.lit);
    TImageStrip strip;
    strip.LoadCount(StripBitmap(2, c.width, 4), 2);
    TWAVVolumeter meter;
    meter.SetImList(&strip);
    ASSERT_EQ(meter.size(), QSize(c.width, 8));
    meter.SetLevels(c.level, 0);
    const QImage shot = meter.grab().toImage();
    int lit = 0;
    for (int x = 0; x < c.width; ++x) lit += FrameAt(shot, x, 1, 2) == 1;
    EXPECT_EQ(lit, c.lit);
    for (int x = 0; x < c.width; ++x) EXPECT_EQ(FrameAt(shot, x, 5, 2), 0) << "right bar unlit at " << x;
}

INSTANTIATE_TEST_SUITE_P(WAVVolumeter, Meter,
                         ::testing::Values(MeterCase{32766, 49, 48}, MeterCase{32767, 49, 49}, MeterCase{0, 49, 0},
                                           MeterCase{-100, 49, 0}, MeterCase{90000, 49, 49}, MeterCase{1, 49, 0},
                                           MeterCase{16384, 49, 24}));

TEST(Scope, WithoutDataDrawsOnlyTheGrid) {
    TWAVScope scope;
    scope.resize(65, 40);
    scope.SetBackColor(QColor(0, 0, 0x20));
    const QImage shot = scope.grab().toImage();
    const QRgb back = qRgb(0, 0, 0x20), grid = qRgb(0x10, 0x10, 0x30), centre = qRgb(128, 128, 128);
    EXPECT_EQ(shot.pixel(1, 1), back);
    for (int k = 0; k <= 32; ++k) EXPECT_EQ(shot.pixel(64 * k / 32, 1), grid) << k;
    for (int k : {-3, -2, -1, 1, 2, 3}) EXPECT_EQ(shot.pixel(1, 20 + 20 * k / 4), grid) << k;
    EXPECT_EQ(shot.pixel(1, 20), centre);
    int other = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 65; ++x)
            other += shot.pixel(x, y) != back && shot.pixel(x, y) != grid && shot.pixel(x, y) != centre;
    EXPECT_EQ(other, 0);
}

TEST(Scope, GridColourSaturatesEachByte) {
    EXPECT_EQ(TWAVScope::GridColor(QColor(0xF8, 0x00, 0x10)), QColor(0xFF, 0x10, 0x20));
}

TEST(Scope, WithoutDataShowsTheBackgroundPictureAlone) {
    TWAVScope scope;
    scope.resize(20, 10);
    QPixmap back(20, 10);
    back.fill(QColor(1, 2, 3));
    scope.SetBackground(back);
    const QImage shot = scope.grab().toImage();
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(shot.pixel(x, y), qRgb(1, 2, 3));
}

TEST(Scope, ColumnsFollowTheSumOfBothChannels) {
    // 100 frames: left ramps, right is a constant, so each column is known.
    std::vector<int16_t> frames(200);
    for (int i = 0; i < 100; ++i) {
        frames[2 * i] = int16_t(i * 300 - 15000);
        frames[2 * i + 1] = 4000;
    }
    TWAVScope scope;
    scope.resize(50, 41);  // half = 20
    scope.SetData(frames.data(), 100);
    scope.SetLineColor(Qt::white);
    scope.SetStyle(TWAVScope::Bars);
    const QImage shot = scope.grab().toImage();
    for (int x = 0; x < 50; ++x) {
        const int i = 100 * x / 51;
        const int d = (frames[2 * i] + 4000) * 20 / 65536;
        const int tip = 20 - (d < 0 ? d - 1 : d + 1);
        EXPECT_EQ(TWAVScope::ColumnValue(frames.data(), 100, x, 50, 20), d);
        EXPECT_EQ(shot.pixel(x, tip), qRgb(255, 255, 255)) << "bar tip of column " << x;
        EXPECT_EQ(shot.pixel(x, 20), qRgb(255, 255, 255)) << "bar foot of column " << x;
    }
    scope.SetStyle(TWAVScope::Dots);
    const QImage dots = scope.grab().toImage();
    for (int x = 0; x < 50; ++x) {
        const int d = TWAVScope::ColumnValue(frames.data(), 100, x, 50, 20);
        EXPECT_EQ(dots.pixel(x, 20 - d), qRgb(255, 255, 255)) << x;
    }
}

TEST(Scope, AClickAsksForTheNextStyle) {
    TWAVScope scope;
    scope.resize(30, 20);
    QSignalSpy clicked(&scope, &TWAVScope::Clicked);
    QTest::mouseClick(&scope, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicked.count(), 1);
}

struct PadCase {
    int x, y, key;
};
class Pad : public ::testing::TestWithParam<PadCase> {};

TEST_P(Pad, ClicksPickKeysLikeANumericKeypad) {
    const auto& c = GetParam();
    TImageStrip strip;
    strip.LoadCount(StripBitmap(10, 36, 36), 10);
    TNumpad pad;
    pad.SetImList(&strip);
    ASSERT_EQ(pad.size(), QSize(36, 36));
    QSignalSpy clicked(&pad, &TNumpad::Clicked);
    QTest::mouseClick(&pad, Qt::LeftButton, {}, QPoint(c.x, c.y));
    EXPECT_EQ(pad.Value(), c.key);
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked[0][0].toInt(), c.key);
    EXPECT_EQ(FrameAt(pad.grab().toImage(), 18, 18, 10), c.key);
}

INSTANTIATE_TEST_SUITE_P(Numpad, Pad,
                         ::testing::Values(PadCase{1, 1, 7}, PadCase{18, 1, 8}, PadCase{35, 1, 9}, PadCase{1, 18, 4},
                                           PadCase{18, 18, 5}, PadCase{35, 35, 3}, PadCase{0, 35, 1},
                                           PadCase{12, 11, 8}, PadCase{12, 12, 5}, PadCase{11, 24, 1}));

TEST(Numpad, ShowsNoKeyOutsideOneToNine) {
    TImageStrip strip;
    strip.LoadCount(StripBitmap(10, 36, 36), 10);
    TNumpad pad;
    pad.SetImList(&strip);
    for (int v : {0, 10, 999, -1}) {
        pad.SetValue(v);
        EXPECT_EQ(FrameAt(pad.grab().toImage(), 18, 18, 10), 0) << v;
    }
}

TEST(ImageStrip, CutsByCountOrFixedWidthAndMasksTheBottomLeftColour) {
    QImage image(50, 4, QImage::Format_ARGB32);
    image.fill(qRgb(255, 0, 255));
    image.setPixel(20, 0, qRgb(1, 2, 3));
    TImageStrip strip;
    strip.LoadCount(ToBitmap(image), 3, true);
    EXPECT_EQ(strip.Count(), 3);
    EXPECT_EQ(strip.FrameSize(), QSize(16, 4));  // 50 / 3, the rest unused
    const QImage frame1 = strip.Frame(1).toImage();
    EXPECT_EQ(qAlpha(frame1.pixel(0, 1)), 0);
    EXPECT_EQ(frame1.pixel(4, 0), qRgb(1, 2, 3));
    strip.LoadFixedWidth(ToBitmap(image), 23);
    EXPECT_EQ(strip.Count(), 2);
    EXPECT_EQ(qAlpha(strip.Frame(0).toImage().pixel(0, 1)), 255) << "opaque unless masked";
    strip.LoadFixedWidth(ToBitmap(image), 0);
    EXPECT_TRUE(strip.IsEmpty());
    strip.LoadCount(TBitmap{}, 4);
    EXPECT_TRUE(strip.IsEmpty());
    EXPECT_TRUE(strip.Frame(3).isNull());
}

TEST(ImageStrip, AnyIndexPicksARealFrame) {
    TImageStrip strip;
    strip.LoadCount(StripBitmap(4, 2, 2), 4);
    EXPECT_EQ(strip.ClampFrame(-7), 0);
    EXPECT_EQ(strip.ClampFrame(2), 2);
    EXPECT_EQ(strip.ClampFrame(400), 3);
    EXPECT_EQ(strip.Frame(400).toImage().pixel(0, 0), test::FrameColour(3));
}

TEST(ImageStrip, ABitmapShorterThanItsSizeIsEmpty) {
    TBitmap broken{10, 10, std::vector<uint32_t>(20)};
    EXPECT_TRUE(ToImage(broken).isNull());
}

TEST(ImageStrip, AReloadRefillsTheSameStripAndResizesItsControls) {
    TImageStrip strip;
    strip.LoadFixedWidth(StripBitmap(16, 14, 13), 14);
    TWAVWheel knob;
    TRCADigital digits;
    strip.LoadCount(StripBitmap(11, 11, 17), 11);
    knob.SetWheelIL(&strip);
    digits.SetImList(&strip);
    EXPECT_EQ(knob.size(), QSize(12, 18));
    strip.LoadCount(StripBitmap(11, 8, 12), 11);
    EXPECT_EQ(knob.size(), QSize(9, 13));
    EXPECT_EQ(digits.size(), QSize(8, 12));
}

}  // namespace
}  // namespace tx
