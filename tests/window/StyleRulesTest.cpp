// A style applied to the real main window, and another after it: what the
// second style leaves of the first.
#include <gtest/gtest.h>

#include "StyleData.h"
#include "controls/Controls.h"
#include "engine/Engine.h"
#include "model/Loop.h"
#include "window/MainForm.h"

namespace tx::test {
namespace {

class StyleRules : public ::testing::Test {
protected:
    StyleRules() { loop.SetEngineLock(&lock); }
    TLoop loop;
    TEngineLock lock;
    TSettings settings;
    TEngine engine{loop, lock, settings};
    TTrovamixMainForm form{loop, &engine};
    const TRowPlacement& Row0() { return form.Layout().Rows[0]; }
    static QPoint At(const TSkinPoint& p) { return {p.X, p.Y}; }
};

TEST_F(StyleRules, AWiderStyleGetsAnOutlineAsWideAsItsWindow) {
    for (int width : {400, 520, 400}) {
        TStyleData style = MakeStyleData("");
        style.Sizes.MainClientWidth = width;
        form.ApplyStyle(style);
        EXPECT_EQ(form.width(), width);
        EXPECT_EQ(form.mask().boundingRect().width(), width) << "the right-hand strip is cut off";
    }
}

// Without "config.txt" every control is back at its design place and the
// window a plain rectangle; with one but no "ChanBtns" the five row buttons
// stand at (0, 0).
TEST_F(StyleRules, WhatAStyleLeavesOutComesFromTheDesignOrFromZero) {
    const QPoint designStart = form.findChild<QWidget*>("StartButton")->pos();
    const QPoint designName = At(Row0().Name);
    EXPECT_NE(designName, At(Row0().Volume));

    form.ApplyStyle(MakeStyleData("StartButton=10,60\nDefHole=0,0,50,0,0,50\nChanBtns=4,6,22,6,40,5,108,6,126,0\n"));
    EXPECT_EQ(form.findChild<QWidget*>("StartButton")->pos(), QPoint(10, 60));
    EXPECT_FALSE(form.mask().contains(QPoint(5, 5)));
    EXPECT_EQ(At(Row0().Name) - At(Row0().Volume), QPoint(36, -1));

    TStyleData plain = MakeStyleData("");
    plain.HasConfig = false;
    form.ApplyStyle(plain);
    EXPECT_EQ(form.findChild<QWidget*>("StartButton")->pos(), designStart);
    EXPECT_TRUE(form.mask().contains(QPoint(5, 5)));
    EXPECT_EQ(At(Row0().Name), designName);

    form.ApplyStyle(MakeStyleData("StartButton=10,60\n"));
    EXPECT_EQ(At(Row0().Volume), At(Row0().Name));
    EXPECT_EQ(At(Row0().Mute), At(Row0().Name));
    EXPECT_EQ(At(Row0().Select), At(Row0().Name));
}

}  // namespace
}  // namespace tx::test
