#include <gtest/gtest.h>

#include <random>

#include "shell/core/LinkProtocol.h"

namespace {

using tx::TLinkCommand;

TEST(LinkProtocol, MessagesParse) {
    auto hello = tx::ParseLinkLine("hello sonelo");
    ASSERT_TRUE(hello);
    EXPECT_EQ(hello->Command, TLinkCommand::Hello);
    auto close = tx::ParseLinkLine("close\r");
    ASSERT_TRUE(close);
    EXPECT_EQ(close->Command, TLinkCommand::Close);
    auto dock = tx::ParseLinkLine("dock -12 340");
    ASSERT_TRUE(dock);
    EXPECT_EQ(dock->Command, TLinkCommand::Dock);
    EXPECT_EQ(dock->X, -12);
    EXPECT_EQ(dock->Y, 340);
}

TEST(LinkProtocol, FileLineRoundTripsAnyPath) {
    const std::string path = "/home/u/My Samples/100% \"kick\"\n\xC3\xA9.wav";
    std::string line = tx::FileLine(path);
    ASSERT_EQ(line.back(), '\n');
    line.pop_back();
    EXPECT_EQ(line.find_first_of(" \n\r", 5), std::string::npos) << line;
    auto m = tx::ParseLinkLine(line);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->Command, TLinkCommand::File);
    EXPECT_EQ(m->Path, path);
}

class IgnoredLineTest : public ::testing::TestWithParam<std::string> {};

TEST_P(IgnoredLineTest, IsNotObeyed) { EXPECT_FALSE(tx::ParseLinkLine(GetParam())); }

INSTANTIATE_TEST_SUITE_P(Lines, IgnoredLineTest,
                         ::testing::Values("", "CLOSE", "close ", " close", "hello", "hello sonelo2", "quit", "file ",
                                           "file relative/path.wav", "file /a%2", "file /a%zz", "file /a%00b", "dock",
                                           "dock 1", "dock 1 2 3", "dock x 2", "dock 1 99999999999", "dock 1 2000000",
                                           "dock +1 2", "close\r\r", std::string("close\0", 6)));

TEST(LinkProtocol, OverlongLineIsRejected) {
    std::string line = "file /" + std::string(tx::MaxLinkLine, 'a');
    EXPECT_FALSE(tx::ParseLinkLine(line));
}

TEST(LineSplitter, SplitsAcrossChunks) {
    tx::TLineSplitter s;
    EXPECT_TRUE(s.Feed("clo").empty());
    auto lines = s.Feed("se\nhello sonelo\ndock 1");
    EXPECT_EQ(lines, (std::vector<std::string>{"close", "hello sonelo"}));
    EXPECT_EQ(s.Feed(" 2\n"), (std::vector<std::string>{"dock 1 2"}));
}

TEST(LineSplitter, DropsOverlongLineWholeThenRecovers) {
    tx::TLineSplitter s;
    std::string huge(tx::MaxLinkLine + 1, 'x');
    // The overlong line arrives in pieces and ends in something that would
    // parse on its own; none of it may come out as a line.
    EXPECT_TRUE(s.Feed(huge.substr(0, 100)).empty());
    EXPECT_TRUE(s.Feed(huge.substr(100)).empty());
    auto lines = s.Feed("close\nclose\n");
    EXPECT_EQ(lines, (std::vector<std::string>{"close"}));
    // A line of exactly the limit is kept.
    std::string full(tx::MaxLinkLine, 'y');
    EXPECT_EQ(s.Feed(full + "\n"), (std::vector<std::string>{full}));
}

// Seeded random bytes: never crashes, never yields a line over the limit, and
// every recognised message re-encodes to an accepted line.
TEST(LineSplitter, RandomBytesStayBounded) {
    std::mt19937 rng(1357);
    tx::TLineSplitter s;
    const char alphabet[] = "close hello sonelo file dock %/0123456789abcdefAZ-\n\r";
    for (int round = 0; round < 2000; ++round) {
        std::string chunk(rng() % 600, ' ');
        for (auto& c : chunk) c = rng() % 8 == 0 ? char(rng()) : alphabet[rng() % (sizeof alphabet - 1)];
        for (const auto& line : s.Feed(chunk)) {
            ASSERT_LE(line.size(), tx::MaxLinkLine);
            if (auto m = tx::ParseLinkLine(line); m && m->Command == TLinkCommand::File) {
                std::string again = tx::FileLine(m->Path);
                again.pop_back();
                ASSERT_TRUE(tx::ParseLinkLine(again));
            }
        }
    }
}

}  // namespace
