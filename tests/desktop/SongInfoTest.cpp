#include <gtest/gtest.h>

#include <string>

#include "desktop/SongInfo.h"

namespace tx {
namespace {

TEST(SongCaption, TitleWinsAndAnEmptyTitleShowsTheFileNameAlone) {
    EXPECT_EQ(SongCaption("Night Drive", "/home/u/Loops/drive.txp"), "Night Drive");
    EXPECT_EQ(SongCaption("", "/home/u/Loops/drive.txp"), "drive.txp");
    EXPECT_EQ(SongCaption("", "untitled.txp"), "untitled.txp");
    EXPECT_EQ(SongCaption(" ", "/a/b.txp"), " ") << "a title of one space is still a title";
}

struct UrlCase {
    const char* given;
    const char* opened;  // "" when it must not reach the browser
};

class BrowsableUrlTable : public ::testing::TestWithParam<UrlCase> {};

TEST_P(BrowsableUrlTable, OnlyWebAddressesLeaveTheProgram) {
    EXPECT_EQ(BrowsableUrl(GetParam().given), GetParam().opened) << "given: " << GetParam().given;
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, BrowsableUrlTable,
    ::testing::Values(
        // Web addresses, as typed.
        UrlCase{"http://example.com", "http://example.com"},
        UrlCase{"https://example.com/a?b=c#d", "https://example.com/a?b=c#d"},
        UrlCase{"HTTPS://Example.COM/", "HTTPS://Example.COM/"}, UrlCase{"  http://x.org  ", "http://x.org"},
        UrlCase{"https://user@host:8443/p", "https://user@host:8443/p"},
        // A host without a scheme is taken as http.
        UrlCase{"www.example.com", "http://www.example.com"},
        UrlCase{"example.org/loops/1", "http://example.org/loops/1"},
        // Schemes that would run or read something on this machine.
        UrlCase{"file:///usr/bin/xterm", ""}, UrlCase{"FILE:/etc/passwd", ""}, UrlCase{"javascript:alert(1)", ""},
        UrlCase{"mailto:a@b.c", ""}, UrlCase{"ssh://host", ""}, UrlCase{"smb://server/share", ""},
        UrlCase{"steam://run/1", ""}, UrlCase{"x-my-handler:do", ""}, UrlCase{"data:text/html,hi", ""},
        UrlCase{"ftp://example.com/f", ""},
        // Not addresses at all, or damaged.
        UrlCase{"", ""}, UrlCase{"   ", ""}, UrlCase{"http://", ""}, UrlCase{"http:example.com", ""},
        UrlCase{"https:///path", ""}, UrlCase{"/usr/bin/xterm", ""}, UrlCase{"./run.sh", ""}, UrlCase{"localhost", ""},
        UrlCase{"http://exa mple.com", ""}, UrlCase{"http://a.com\n/x", ""}, UrlCase{"http://a.com\t", "http://a.com"},
        UrlCase{"//host/share", ""}, UrlCase{"C:\\Windows\\x.exe", ""}, UrlCase{"\\\\server\\share", ""},
        UrlCase{"www.example.com.", ""}));

}  // namespace
}  // namespace tx
