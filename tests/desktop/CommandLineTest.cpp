#include <gtest/gtest.h>

#include "desktop/CommandLine.h"

namespace {

struct SwitchCase {
    std::vector<std::string> Args;
    bool NoSplash, TopMost, Render;
    std::vector<std::string> Files;
};

class CommandLineTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(CommandLineTest, SwitchesAndFiles) {
    const auto& c = GetParam();
    auto cl = tx::ParseCommandLine(c.Args);
    EXPECT_EQ(cl.NoSplash, c.NoSplash);
    EXPECT_EQ(cl.TopMost, c.TopMost);
    EXPECT_EQ(cl.RenderAfterSave, c.Render);
    EXPECT_EQ(cl.LoopFiles, c.Files);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTest,
    ::testing::Values(
        SwitchCase{{}, false, false, false, {}}, SwitchCase{{"/nosplash"}, true, false, false, {}},
        SwitchCase{{"/NOSPLASH", "/t", "/r"}, true, true, true, {}},
        // The whole argument must match: prefixes and extensions are not switches.
        SwitchCase{{"/NoSplashX", "/Tx", "/"}, false, false, false, {}},
        SwitchCase{{"/T", "a.txp"}, false, true, false, {"a.txp"}},
        // Files keep their order; switches between them are not files,
        // absolute paths are files, unknown switch-like words are skipped.
        SwitchCase{{"one.txp", "/R", "/Foo", "/home/u/two.TXP"}, false, false, true, {"one.txp", "/home/u/two.TXP"}},
        // A file named like a switch without its slash stays a file.
        SwitchCase{{"NoSplash", ""}, false, false, false, {"NoSplash"}}));

TEST(IsSwitchPresent, ComparesWithoutCaseOnly) {
    EXPECT_TRUE(tx::IsSwitchPresent({"x", "/nOsPlAsH"}, "/NoSplash"));
    EXPECT_FALSE(tx::IsSwitchPresent({"/No Splash"}, "/NoSplash"));
    // A non-ASCII byte must not fold onto an ASCII letter.
    EXPECT_FALSE(tx::IsSwitchPresent({"/\xC3\x9F"}, "/T"));
}

}  // namespace
