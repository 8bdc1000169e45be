// Applying a parsed style to the real main window's widgets, found by their
// component names.
#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>

#include "StyleData.h"
#include "controls/Controls.h"
#include "engine/Engine.h"
#include "model/Loop.h"
#include "skin/EmbeddedStyle.h"
#include "skin/Style.h"
#include "window/MainForm.h"
#include "window/StyleApplier.h"

namespace tx::test {
namespace {

// The real main window, whose children include the keyboard editor.
class ApplyStyle : public ::testing::Test {
protected:
    ApplyStyle() { loop.SetEngineLock(&lock); }
    TAppliedStyle Apply(const std::string& config, int frameScale = 1) {
        TStyleApplier applier(&form, images);
        return applier.Apply(MakeStyleData(config, frameScale));
    }
    template <class T>
    T* Get(const char* name) {
        return form.findChild<T*>(name);
    }
    QPoint DesignPos(const char* name) { return Get<QWidget>(name)->pos(); }

    TLoop loop;
    TEngineLock lock;
    TSettings settings;
    TEngine engine{loop, lock, settings};
    TTrovamixMainForm form{loop, &engine};
    TStyleImages images;
};

TEST_F(ApplyStyle, StripsReachTheControlsNamedForThem) {
    Apply("");
    EXPECT_EQ(Get<TRCADigital>("BPMDig")->ImList(), images.Strip("digits.bmp"));
    EXPECT_EQ(Get<TRCADigital>("PatNumDig")->ImList(), images.Strip("DIGITS.BMP"));
    EXPECT_EQ(Get<TZavoUpDown>("PatUpDown")->ImList(), images.Strip("UpDown.bmp"));
    EXPECT_EQ(Get<TNumpad>("PatPad")->size(), QSize(12, 36)) << "the pad takes one frame's size";
    EXPECT_EQ(Get<TNewMenu>("NewMainMenu")->size(), QSize(400, 18));
    EXPECT_EQ(Get<TMyTransButton>("CloseBtn")->ILIndex(), 2);
    EXPECT_EQ(Get<TMyTransButton>("FXNoteBtn")->ILIndex(), 6);
    EXPECT_EQ(Get<TMyTransButton>("StartButton")->ImList()->Count(), 2);
    for (auto* knob : form.findChildren<TWAVWheel*>("FrontVolWheel"))
        EXPECT_EQ(knob->WheelIL(), images.Strip("SmallWheel.bmp"));
    EXPECT_EQ(Get<TWAVWheel>("DotVolWheel")->WheelIL()->Count(), 16);
    EXPECT_EQ(Get<TTrackSlider>("MainCutOffSlider")->KnobIL(), images.Strip("VolSliderKnob.bmp"));
    EXPECT_FALSE(Get<TMyTransButton>("FXCutOffSelect")->grab().isNull());
    EXPECT_EQ(Get<TWPControl>("MenuPic")->size(), QSize(400, 96));
    EXPECT_EQ(Get<TWPControl>("LeftSideWP")->width(), 8);
    EXPECT_EQ(form.width(), 400);
}

TEST_F(ApplyStyle, AGlyphFoundNowhereLeavesTheBuiltInLook) {
    TImageStrip own;
    own.LoadImage(QImage(44, 18, QImage::Format_ARGB32), 2);
    auto* start = Get<TMyTransButton>("StartButton");
    start->SetImList(&own);
    TStyleData style = MakeStyleData("");
    for (TStyleItem& item : style.Items)
        if (item.Entry->Name == "PlayBtn.bmp") {
            item.Origin = TStyleOrigin::Missing;
            item.Picture = {};
        }
    TStyleApplier applier(&form, images);
    applier.Apply(style);
    EXPECT_EQ(start->ImList(), &own);
    EXPECT_EQ(Get<TMyTransButton>("LoopButton")->ImList(), images.Strip("LoopBtn.bmp"));
}

TEST_F(ApplyStyle, AReloadRefillsTheSameStripsAndResizesTheControls) {
    Apply("");
    TImageStrip* before = Get<TWAVWheel>("DotVolWheel")->WheelIL();
    QSignalSpy changed(before, &TImageStrip::Changed);
    Apply("", 2);
    EXPECT_EQ(Get<TWAVWheel>("DotVolWheel")->WheelIL(), before);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(Get<TWAVWheel>("DotVolWheel")->size(), QSize(47, 29));
    EXPECT_EQ(Get<TRCADigital>("BPMDig")->size(), QSize(72, 28));
}

TEST_F(ApplyStyle, PlacementsMoveAndSizeWithTwoOrFourNumbers) {
    const QPoint pad = DesignPos("PatPad"), bpm = DesignPos("BPMDig"), scope = DesignPos("ScopeButton");
    Apply("StartButton=10,20\nloopbutton=30,40,50,12\nPatPad=,77\nBPMDig=x,5\nScopeButton =1,1\n");
    EXPECT_EQ(Get<QWidget>("StartButton")->pos(), QPoint(10, 20));
    EXPECT_EQ(Get<QWidget>("LoopButton")->geometry(), QRect(30, 40, 50, 12));
    EXPECT_EQ(Get<QWidget>("PatPad")->pos(), QPoint(pad.x(), 77)) << "an empty x keeps the left edge";
    EXPECT_EQ(Get<QWidget>("BPMDig")->pos(), QPoint(bpm.x(), 5));
    EXPECT_EQ(Get<QWidget>("ScopeButton")->pos(), scope) << "a space before = is another key";
}

TEST_F(ApplyStyle, EditorButtonsMoveToo) {
    Apply("FXResoSelect=3,4\n");
    EXPECT_EQ(Get<QWidget>("FXResoSelect")->pos(), QPoint(3, 4));
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
    auto* slider = Get<TTrackSlider>("MainVolSlider");
    EXPECT_EQ(slider->BackIL().toImage(), wallpaper.copy(40, 8, slider->width(), slider->height()));
    EXPECT_EQ(Get<TWAVScope>("MixScope")->Background().toImage(), wallpaper.copy(8, 8, 104, 56));
}

TEST_F(ApplyStyle, FontsColoursHintMenusAndRows) {
    const TAppliedStyle applied = Apply(
        "Hint=Welcome|Drop samples here\nScopeCol=$0000FF\nTitleFont=DejaVu Sans,$FF8000,-13\n"
        "MenuSep=36,74\nGraphCol=$FF,,$FF00,1\nChanBtns=4,6,22,6,40,5,108,6,126,0\n");
    EXPECT_EQ(Get<QLabel>("InfoLabel")->text(), "DROP SAMPLES HERE");
    EXPECT_EQ(Get<TWAVScope>("MixScope")->LineColor(), QColor(255, 0, 0)) << "colours are blue-green-red";
    auto* title = Get<QLabel>("CaptionLabel");
    EXPECT_EQ(title->font().family(), "DEJAVU SANS");
    EXPECT_EQ(title->font().pixelSize(), 13);
    EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(0, 0x80, 0xFF));
    const auto& items = Get<TNewMenu>("NewMainMenu")->Items();
    ASSERT_GE(items.size(), 3u);
    EXPECT_EQ(items[0].Width, 36) << "the first item reaches to the second's left edge";
    EXPECT_EQ(items[1].Left, 36);
    EXPECT_EQ(items[2].Left, 74);
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
    TLoop loop;
    TTrovamixMainForm form(loop, nullptr);
    TStyleImages images;
    TStyleApplier applier(&form, images);
    const TAppliedStyle applied = applier.Apply(style);
    for (const TStyleItem& item : style.Items) {
        if (item.Entry->Kind == TStyleFileKind::Strip) {
            EXPECT_FALSE(images.Strip(std::string(item.Entry->Name))->IsEmpty()) << item.Entry->Name;
        }
    }
    EXPECT_EQ(form.findChild<TWAVWheel*>("DotVolWheel")->WheelIL()->FrameWidth(), 23);
    EXPECT_EQ(form.findChild<TRCADigital*>("BPMDig")->width(),
              form.findChild<TRCADigital*>("BPMDig")->ImList()->FrameWidth() * 3);
    EXPECT_FALSE(form.findChild<TTrackSlider*>("ShuffleSlider")->BackIL().isNull());
    EXPECT_LT(applied.Shape.rectCount(), 200);
    EXPECT_NE(applied.Shape, QRegion(0, 0, form.width(), 32000)) << "the default style cuts two corners";
    EXPECT_TRUE(applied.Shape.contains(QPoint(form.width() / 2, 100)));
}

}  // namespace
}  // namespace tx::test
