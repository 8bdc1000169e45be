#include <gtest/gtest.h>

#include "desktop/LinkProtocol.h"

namespace {

using tx::TLinkCommand;

TEST(LinkProtocol, MessagesParseAndFilePathsRoundTrip) {
    EXPECT_EQ(tx::ParseLinkLine("hello sonelo")->Command, TLinkCommand::Hello);
    EXPECT_EQ(tx::ParseLinkLine("close\r")->Command, TLinkCommand::Close);
    auto dock = tx::ParseLinkLine("dock -12 340");
    ASSERT_TRUE(dock);
    EXPECT_EQ(dock->Command, TLinkCommand::Dock);
    EXPECT_EQ(std::make_pair(dock->X, dock->Y), std::make_pair(-12, 340));
    // Spaces, newlines, percent signs and UTF-8 in a path survive one line.
    const std::string path = "/home/u/My Samples/100% \"kick\"\n\xC3\xA9.wav";
    std::string line = tx::FileLine(path);
    ASSERT_EQ(line.find('\n'), line.size() - 1);
    line.pop_back();
    auto file = tx::ParseLinkLine(line);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Command, TLinkCommand::File);
    EXPECT_EQ(file->Path, path);
    // A loop file handed over by a second start travels the same way.
    line = tx::OpenLine(path);
    line.pop_back();
    auto open = tx::ParseLinkLine(line);
    ASSERT_TRUE(open);
    EXPECT_EQ(open->Command, TLinkCommand::Open);
    EXPECT_EQ(open->Path, path);
}

class IgnoredLineTest : public ::testing::TestWithParam<std::string> {};

TEST_P(IgnoredLineTest, IsNotObeyed) { EXPECT_FALSE(tx::ParseLinkLine(GetParam())); }

INSTANTIATE_TEST_SUITE_P(Lines, IgnoredLineTest,
                         ::testing::Values("", "CLOSE", "close ", " close", "hello", "hello sonelo2", "quit", "file ",
                                           "file relative/path.wav", "file /a%2", "file /a%zz", "file /a%00b", "dock",
                                           "dock 1", "dock 1 2 3", "dock x 2", "dock 1 99999999999", "dock 1 2000000",
                                           "dock +1 2", "close\r\r", std::string("close\0", 6),
                                           "file /" + std::string(tx::MaxLinkLine, 'a'), "open", "open ",
                                           "open loop.txp", "open /a%4", "OPEN /a.txp", "open  /a.txp", "opens /a.txp",
                                           "file\t/a.wav"));

TEST(LineSplitter, SplitsAcrossChunksAndDropsOverlongLinesWhole) {
    tx::TLineSplitter s;
    EXPECT_TRUE(s.Feed("clo").empty());
    EXPECT_EQ(s.Feed("se\nhello sonelo\ndock 1"), (std::vector<std::string>{"close", "hello sonelo"}));
    EXPECT_EQ(s.Feed(" 2\n"), (std::vector<std::string>{"dock 1 2"}));
    // An overlong line in pieces whose tail alone would be a command: none of it comes out.
    std::string huge(tx::MaxLinkLine, ' ');
    EXPECT_TRUE(s.Feed(huge.substr(0, 100)).empty());
    EXPECT_TRUE(s.Feed(huge.substr(100) + "close").empty());
    EXPECT_EQ(s.Feed("\nclose\n"), (std::vector<std::string>{"close"}));
    // A line of exactly the limit is kept.
    EXPECT_EQ(s.Feed(huge + "\n"), (std::vector<std::string>{huge}));
}

}  // namespace
