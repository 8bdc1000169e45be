// Texts of loop files as Unicode: UTF-8 as it is, anything else as Windows-1252.
#include <gtest/gtest.h>

#include "loopfile/LoopText.h"

namespace {

struct Utf8Case {
    std::string Bytes;
    bool Valid;
};
void PrintTo(const Utf8Case& c, std::ostream* os) { *os << testing::PrintToString(c.Bytes); }
// The bytes in hexadecimal, as the test's name.
std::string HexName(const testing::TestParamInfo<Utf8Case>& i) {
    std::string n = "hex";
    for (unsigned char c : i.param.Bytes) {
        n += "0123456789ABCDEF"[c >> 4];
        n += "0123456789ABCDEF"[c & 15];
    }
    return n;
}
class LoopTextUtf8 : public testing::TestWithParam<Utf8Case> {};
TEST_P(LoopTextUtf8, Validity) { EXPECT_EQ(tx::IsValidUtf8(GetParam().Bytes), GetParam().Valid); }
INSTANTIATE_TEST_SUITE_P(Sequences, LoopTextUtf8,
                         testing::Values(Utf8Case{"", true}, Utf8Case{"plain", true}, Utf8Case{"Caf\xC3\xA9", true},
                                         Utf8Case{"\xE2\x82\xAC", true}, Utf8Case{"\xF0\x9F\x8E\xB5", true},
                                         Utf8Case{"\xF4\x8F\xBF\xBF", true},   // U+10FFFF
                                         Utf8Case{"Caf\xE9", false},           // Latin-1 e acute
                                         Utf8Case{"\xC3", false},              // cut short
                                         Utf8Case{"\xC0\xAF", false},          // overlong '/'
                                         Utf8Case{"\xE0\x80\xAF", false},      // overlong '/'
                                         Utf8Case{"\xED\xA0\x80", false},      // a surrogate
                                         Utf8Case{"\xF4\x90\x80\x80", false},  // above U+10FFFF
                                         Utf8Case{"\x80", false}, Utf8Case{"\xC3\x28", false}, Utf8Case{"\xFF", false}),
                         HexName);

TEST(LoopText, Cp1252Decoding) {
    EXPECT_EQ(tx::Cp1252ToUtf8("Caf\xE9"), "Caf\xC3\xA9");
    EXPECT_EQ(tx::Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign
    EXPECT_EQ(tx::Cp1252ToUtf8("\x99"), "\xE2\x84\xA2");  // trade mark
    EXPECT_EQ(tx::Cp1252ToUtf8("\x9F"), "\xC5\xB8");      // Y diaeresis
    EXPECT_EQ(tx::Cp1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
    EXPECT_EQ(tx::Cp1252ToUtf8("\xA0\xFF"), "\xC2\xA0\xC3\xBF");
    EXPECT_EQ(tx::Cp1252ToUtf8("abc"), "abc");
}

TEST(LoopText, ValidUtf8IsKeptAndEverythingElseDecoded) {
    EXPECT_EQ(tx::LoopTextToUtf8("Caf\xC3\xA9"), "Caf\xC3\xA9");
    std::string all;
    for (int b = 1; b < 256; ++b) all += char(b);
    const std::string u = tx::Cp1252ToUtf8(all);
    EXPECT_TRUE(tx::IsValidUtf8(u));
    EXPECT_EQ(tx::LoopTextToUtf8(all), u);
}

}  // namespace
