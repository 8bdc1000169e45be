// Applying a parsed style to widgets found by their component names.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "MainControls.h"
#include "skin/EmbeddedStyle.h"
#include "window/StyleApplier.h"

namespace tx::test {
namespace {

class ApplyStyle : public ::testing::Test {
protected:
    TAppliedStyle Apply(const std::string& config, int frameScale = 1) {
        TStyleApplier applier(controls.Window.get(), images);
        applier.AddRoot(controls.Editor.get());
        return applier.Apply(MakeStyleData(config, frameScale));
    }
    TMainControls controls = MakeMainControls();
    TStyleImages images;
};

TEST_F(ApplyStyle, StripsReachTheControlsNamedForThem) {
    Apply("");
    EXPECT_EQ(controls.Get<TRCADigital>("BPMDig")->ImList(), images.Strip("digits.bmp"));
    EXPECT_EQ(controls.Get<TRCADigital>("PatNumDig")->ImList(), images.Strip("DIGITS.BMP"));
    EXPECT_EQ(controls.Get<TZavoUpDown>("PatUpDown")->ImList(), images.Strip("UpDown.bmp"));
    EXPECT_EQ(controls.Get<TNumpad>("PatPad")->size(), QSize(12, 36)) << "the pad takes one frame's size";
    EXPECT_EQ(controls.Get<TNewMenu>("NewMainMenu")->size(), QSize(400, 18));
    EXPECT_EQ(controls.Get<TMyTransButton>("CloseBtn")->ILIndex(), 2);
    EXPECT_EQ(controls.Get<TMyTransButton>("FXNoteBtn")->ILIndex(), 6);
    EXPECT_EQ(controls.Get<TMyTransButton>("StartButton")->ImList()->Count(), 2);
    for (auto* knob : controls.Window->findChildren<TWAVWheel*>("FrontVolWheel"))
        EXPECT_EQ(knob->WheelIL(), images.Strip("SmallWheel.bmp"));
    EXPECT_EQ(controls.Get<TWAVWheel>("DotVolWheel")->WheelIL()->Count(), 16);
    EXPECT_EQ(controls.Get<TTrackSlider>("MainCutOffSlider")->KnobIL(), images.Strip("VolSliderKnob.bmp"));
    EXPECT_FALSE(controls.Get<TMyTransButton>("FXCutOffSelect")->grab().isNull());
    EXPECT_EQ(controls.Get<TWPControl>("MenuPic")->size(), QSize(400, 96));
    EXPECT_EQ(controls.Get<TWPControl>("LeftSideWP")->width(), 8);
    EXPECT_EQ(controls.Window->width(), 400);
}

TEST_F(ApplyStyle, AGlyphFoundNowhereLeavesTheBuiltInLook) {
    TImageStrip own;
    own.LoadImage(QImage(44, 18, QImage::Format_ARGB32), 2);
    auto* start = controls.Get<TMyTransButton>("StartButton");
    start->SetImList(&own);
    TStyleData style = MakeStyleData("");
    for (TStyleItem& item : style.Items)
        if (item.Entry->Name == "PlayBtn.bmp") {
            item.Origin = TStyleOrigin::Missing;
            item.Picture = {};
        }
    TStyleApplier applier(controls.Window.get(), images);
    applier.Apply(style);
    EXPECT_EQ(start->ImList(), &own);
    EXPECT_EQ(controls.Get<TMyTransButton>("LoopButton")->ImList(), images.Strip("LoopBtn.bmp"));
}

TEST_F(ApplyStyle, AReloadRefillsTheSameStripsAndResizesTheControls) {
    Apply("");
    TImageStrip* before = controls.Get<TWAVWheel>("DotVolWheel")->WheelIL();
    QSignalSpy changed(before, &TImageStrip::Changed);
    Apply("", 2);
    EXPECT_EQ(controls.Get<TWAVWheel>("DotVolWheel")->WheelIL(), before);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(controls.Get<TWAVWheel>("DotVolWheel")->size(), QSize(47, 29));
    EXPECT_EQ(controls.Get<TRCADigital>("BPMDig")->size(), QSize(72, 28));
}

TEST_F(ApplyStyle, PlacementsMoveAndSizeWithTwoOrFourNumbers) {
    Apply("StartButton=10,20\nloopbutton=30,40,50,12\nPatPad=,77\nBPMDig=x,5\nScopeButton =1,1\n");
    EXPECT_EQ(controls.Get<QWidget>("StartButton")->pos(), QPoint(10, 20));
    EXPECT_EQ(controls.Get<QWidget>("LoopButton")->geometry(), QRect(30, 40, 50, 12));
    EXPECT_EQ(controls.Get<QWidget>("PatPad")->pos(), QPoint(165, 77)) << "an empty x keeps the left edge";
    EXPECT_EQ(controls.Get<QWidget>("BPMDig")->pos(), QPoint(110, 5));
    EXPECT_EQ(controls.Get<QWidget>("ScopeButton")->pos(), QPoint(60, 60)) << "a space before = is another key";
}

TEST_F(ApplyStyle, EditorButtonsMoveToo) {
    Apply("FXResoSelect=3,4\n");
    EXPECT_EQ(controls.Get<QWidget>("FXResoSelect")->pos(), QPoint(3, 4));
}

TEST_F(ApplyStyle, HolesCutTrianglesOutOfTheFullHeightRectangle) {
    const TAppliedStyle applied = Apply("DefHole=0,0,20,0,0,20\nDefHole=400,0,380,0,400,20\n");
    EXPECT_FALSE(applied.Shape.contains(QPoint(2, 2)));
    EXPECT_TRUE(applied.Shape.contains(QPoint(18, 18)));
    EXPECT_FALSE(applied.Shape.contains(QPoint(397, 2)));
    EXPECT_TRUE(applied.Shape.contains(QPoint(200, 31000)));
    EXPECT_FALSE(applied.Shape.contains(QPoint(200, 32001)));
    EXPECT_EQ(Apply("").Shape, QRegion(0, 0, 400, 32000)) << "no config: the plain rectangle";
}

TEST_F(ApplyStyle, AlternateFillingLeavesTheInnerPartOfASelfCrossingHole) {
    // A square drawn twice around: with alternate filling its inside is covered
    // an even number of times and stays.
    const TAppliedStyle applied = Apply("DefHole=10,10,50,10,50,50,10,50,10,10,30,10,30,30,10,30\n");
    EXPECT_FALSE(applied.Shape.contains(QPoint(40, 40)));
    EXPECT_TRUE(applied.Shape.contains(QPoint(20, 20)));
}

TEST_F(ApplyStyle, BackgroundsAreCutWhereTheControlsEndUp) {
    Apply("MainVolSlider=40,8\nMixScope=8,8,104,56\n");
    const QImage wallpaper = images.Picture("MenuBack.bmp").toImage();
    auto* slider = controls.Get<TTrackSlider>("MainVolSlider");
    EXPECT_EQ(slider->BackIL().toImage(), wallpaper.copy(40, 8, 18, 70));
    EXPECT_EQ(controls.Get<TWAVScope>("MixScope")->Background().toImage(), wallpaper.copy(8, 8, 104, 56));
}

TEST_F(ApplyStyle, FontsColoursHintMenusAndRows) {
    const TAppliedStyle applied = Apply(
        "Hint=Welcome|Drop samples here\nScopeCol=$0000FF\nTitleFont=DejaVu Sans,$FF8000,-13\n"
        "MenuSep=36,74\nGraphCol=$FF,,$FF00,1\nChanBtns=4,6,22,6,40,5,108,6,126,0\n");
    EXPECT_EQ(controls.Get<QLabel>("InfoLabel")->text(), "DROP SAMPLES HERE");
    EXPECT_EQ(controls.Get<TWAVScope>("MixScope")->LineColor(), QColor(255, 0, 0)) << "colours are blue-green-red";
    auto* title = controls.Get<QLabel>("CaptionLabel");
    EXPECT_EQ(title->font().family(), "DEJAVU SANS");
    EXPECT_EQ(title->font().pixelSize(), 13);
    EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(0, 0x80, 0xFF));
    ASSERT_EQ(controls.Get<TNewMenu>("NewMainMenu")->Items().size(), 0u) << "no mirrored menu yet";
    EXPECT_EQ(applied.GraphColours[0], QColor(255, 0, 0));
    EXPECT_FALSE(applied.GraphColours[1]);
    EXPECT_EQ((*applied.ChanBtns)[2], QPoint(40, 5));
    EXPECT_EQ((*applied.ChanBtns)[4], QPoint(126, 0));
    EXPECT_FALSE(Apply("").ChanBtns) << "no config.txt: the design places";
}

}  // namespace
}  // namespace tx::test

namespace tx::test {
namespace {

TEST(ApplyDefaultStyle, TheBuiltInDefaultStyleSkinsEveryControl) {
    // Only the copy built into the program: no folder at all.
    const TStyleData style = LoadStyleData({"", "", FindEmbeddedStyleFile});
    ASSERT_TRUE(style.HasConfig);
    TMainControls controls = MakeMainControls();
    TStyleImages images;
    TStyleApplier applier(controls.Window.get(), images);
    applier.AddRoot(controls.Editor.get());
    const TAppliedStyle applied = applier.Apply(style);
    for (const TStyleItem& item : style.Items) {
        if (item.Entry->Kind == TStyleFileKind::Strip) {
            EXPECT_FALSE(images.Strip(std::string(item.Entry->Name))->IsEmpty()) << item.Entry->Name;
        }
    }
    EXPECT_EQ(controls.Get<TWAVWheel>("DotVolWheel")->WheelIL()->FrameWidth(), 23);
    EXPECT_EQ(controls.Get<TRCADigital>("BPMDig")->width(),
              controls.Get<TRCADigital>("BPMDig")->ImList()->FrameWidth() * 3);
    EXPECT_FALSE(controls.Get<TTrackSlider>("ShuffleSlider")->BackIL().isNull());
    EXPECT_LT(applied.Shape.rectCount(), 200);
    EXPECT_NE(applied.Shape, QRegion(0, 0, controls.Window->width(), 32000)) << "the default style cuts two corners";
    EXPECT_TRUE(applied.Shape.contains(QPoint(controls.Window->width() / 2, 100)));
}

}  // namespace
}  // namespace tx::test
