// "config.txt": every rule of the format, applied leniently, with each
// problem recorded against its line.
#include <gtest/gtest.h>

#include <set>

#include "skin/ControlNames.h"
#include "skin/StyleConfig.h"

namespace {

using tx::ParseStyleConfig;
using tx::TStylePoint;

std::vector<int> problemLines(const tx::TStyleConfig& c) {
    std::vector<int> lines;
    for (const auto& p : c.Problems) lines.push_back(p.Line);
    return lines;
}

TEST(StyleConfig, KeysMatchInAnyCaseAndValuesComeOutInCapitals) {
    const auto c = ParseStyleConfig(
        "menusep=40,$5A\r\n"
        "Hint=|Welcome to the machine\n"
        "TitleFont=DejaVu Sans,$00FF00,-12\n");
    EXPECT_EQ(c.MenuSep, (std::vector<int>{40, 90}));
    EXPECT_EQ(c.Hint, "WELCOME TO THE MACHINE");
    EXPECT_EQ(c.TitleFont.Name, "DEJAVU SANS");
    EXPECT_EQ(c.TitleFont.Colour, 0x00FF00u);
    EXPECT_EQ(c.TitleFont.Height, -12);
    EXPECT_TRUE(c.Problems.empty());
}

TEST(StyleConfig, CommentsAndEmptyLinesAreSkippedAndOtherLinesAreCounted) {
    const auto c = ParseStyleConfig(
        "' a comment=with an equals sign\n"
        "\n"
        "   \n"
        "Hint =spaced\n"    // line 4: a space before "=" is not the key
        "Bogus=1\n"         // line 5
        "no equals sign\n"  // line 6
        "ScopeCol=$0000FF\n");
    EXPECT_FALSE(c.Hint);
    EXPECT_EQ(c.ScopeCol, 0x0000FFu);
    EXPECT_EQ(problemLines(c), (std::vector<int>{4, 5, 6}));
    EXPECT_NE(c.Problems[0].What.find("space before"), std::string::npos);
}

TEST(StyleConfig, LaterLinesWinAndUnreadableNumbersLeaveThePropertyAsItWas) {
    const auto c = ParseStyleConfig(
        "ScopeCol=$FF\n"
        "ScopeCol=oops\n"  // line 2: unreadable, the first value stays
        "HintFont=Mono,12,10\n"
        "HintFont=,,$0C\n"  // empty name and colour keep theirs
        "GraphCol=1,,3\n"
        "GraphCol=,2\n"
        "SampleScopeCol=$1000000\n");  // line 7: bits above 24
    EXPECT_EQ(c.ScopeCol, 0xFFu);
    EXPECT_EQ(c.HintFont.Name, "MONO");
    EXPECT_EQ(c.HintFont.Colour, 12u);
    EXPECT_EQ(c.HintFont.Height, 12);
    EXPECT_EQ(c.GraphCol[0], 1u);
    EXPECT_EQ(c.GraphCol[1], 2u);
    EXPECT_EQ(c.GraphCol[2], 3u);
    EXPECT_FALSE(c.GraphCol[3]);
    EXPECT_EQ(c.SampleScopeCol[0], 0u);
    EXPECT_EQ(problemLines(c), (std::vector<int>{2, 7}));
}

TEST(StyleConfig, ControlLinesMoveWithTwoNumbersAndSizeWithFour) {
    const auto c = ParseStyleConfig(
        "StartButton=10,20\n"
        "startbutton=,30\n"  // empty x keeps the left edge, takes the new top
        "PatPad=1,2,36,37\n"
        "fxcutoffselect=5,6\n"
        "BPMDig=1,2,3\n"   // line 5: three numbers
        "MenuPic=0,0\n");  // line 6: a panel, not a control it moves
    ASSERT_TRUE(c.Controls.count("StartButton"));
    const tx::TControlPlace& start = c.Controls.at("StartButton");
    EXPECT_EQ(start.X, 10);
    EXPECT_EQ(start.Y, 30);
    EXPECT_FALSE(start.W);
    const tx::TControlPlace& pad = c.Controls.at("PatPad");
    EXPECT_EQ(pad.W, 36);
    EXPECT_EQ(pad.H, 37);
    EXPECT_EQ(c.Controls.at("FXCutOffSelect").X, 5);
    EXPECT_EQ(c.Controls.at("BPMDig").X, 1);
    EXPECT_FALSE(c.Controls.at("BPMDig").W);
    EXPECT_EQ(problemLines(c), (std::vector<int>{5, 6}));
}

TEST(StyleConfig, HolesKeepTheirPointsEmptyCountsAsZeroAndPointsPast64AreIgnored) {
    std::string many = "DefHole=";
    for (int i = 0; i < 70; ++i) many += std::to_string(i) + "," + std::to_string(i) + (i < 69 ? "," : "\n");
    const auto c = ParseStyleConfig("DefHole=0,0,10,,0,10\nDefHole=1,1,2,2,3\n" + many);
    ASSERT_EQ(c.DefHoles.size(), 3u);
    EXPECT_EQ(c.DefHoles[0], (std::vector<TStylePoint>{{0, 0}, {10, 0}, {0, 10}}));
    EXPECT_EQ(c.DefHoles[1], (std::vector<TStylePoint>{{1, 1}, {2, 2}, {3, 0}}));
    ASSERT_EQ(c.DefHoles[2].size(), tx::MaxHolePoints);
    EXPECT_EQ(c.DefHoles[2].back(), (TStylePoint{63, 63}));
    EXPECT_EQ(problemLines(c), (std::vector<int>{2, 3}));
}

TEST(StyleConfig, ChanBtnsAndMenuSepCountEmptyNumbersAsZero) {
    const auto c = ParseStyleConfig("ChanBtns=1,2,,4,5,6,7,8,9,x\nMenuSep=,30,junk\n");
    ASSERT_TRUE(c.ChanBtns);
    EXPECT_EQ(*c.ChanBtns, (std::array<TStylePoint, 5>{{{1, 2}, {0, 4}, {5, 6}, {7, 8}, {9, 0}}}));
    EXPECT_EQ(c.MenuSep, (std::vector<int>{0, 30, 0}));
    EXPECT_EQ(problemLines(c), (std::vector<int>{1, 2}));  // "x" and "junk"
}

TEST(StyleConfig, NumbersAreDecimalOrDollarHexWithin32Bits) {
    struct TCase {
        const char* Text;
        std::optional<int> Want;
    };
    for (const TCase& t : {TCase{"12", 12}, TCase{"-7", -7}, TCase{"+7", 7}, TCase{"$1F", 31}, TCase{"$FFFFFFFF", -1},
                           TCase{"$", {}}, TCase{"$-1", {}}, TCase{"0x1F", {}}, TCase{"12a", {}},
                           TCase{"99999999999", {}}, TCase{"$100000000", {}}, TCase{"", {}}})
        EXPECT_EQ(tx::ParseStyleNumber(t.Text), t.Want) << t.Text;
}

TEST(StyleConfig, ColoursTurnFromBgrIntoArgb) {
    EXPECT_EQ(tx::StyleColourToArgb(0x00112233), 0xFF332211u);
    EXPECT_EQ(tx::StyleColourToArgb(0xAB0000FF), 0xFFFF0000u);
}

TEST(StyleConfig, EveryControlOfTheTableIsAKeyAndNamesAreUnique) {
    std::set<std::string> seen;
    for (const tx::TStyleControl& control : tx::StyleControls()) {
        EXPECT_TRUE(seen.insert(std::string(control.Name)).second) << control.Name;
        const auto c = ParseStyleConfig(std::string(control.Name) + "=1,2\n");
        EXPECT_TRUE(c.Problems.empty()) << control.Name;
        EXPECT_EQ(c.Controls.count(std::string(control.Name)), 1u) << control.Name;
    }
    EXPECT_EQ(seen.size(), 31u);
}

}  // namespace
