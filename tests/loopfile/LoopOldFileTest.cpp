// Files of older program versions: the version text, and the conversion of
// CutOff (event 71) and Resonance (event 83) from their older scales.
#include <gtest/gtest.h>

#include <cctype>
#include <optional>

#include "LoopBytes.h"
#include "loopfile/LoopFile.h"

namespace {

using txtest::LoopBytes;

// A test name made of the letters and digits of a text.
std::string NamePart(const std::string& text) {
    std::string n;
    for (char c : text) n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return n;
}

struct VersionCase {
    const char* Text;
    int32_t Number;
};
void PrintTo(const VersionCase& c, std::ostream* os) { *os << '"' << c.Text << '"'; }
class LoopVersion : public testing::TestWithParam<VersionCase> {};
TEST_P(LoopVersion, NumberOfText) { EXPECT_EQ(tx::VersionNumber(GetParam().Text), GetParam().Number); }
INSTANTIATE_TEST_SUITE_P(Texts, LoopVersion,
                         testing::Values(VersionCase{"1.3.72", 1003072}, VersionCase{"10.20.30", 10020030},
                                         VersionCase{"1.3", 1003000}, VersionCase{"2", 2000000}, VersionCase{"", 0},
                                         VersionCase{"abc", 0}, VersionCase{"x.3.72", 3072},
                                         VersionCase{"1.3.72.5", 1003000}, VersionCase{"1..9", 1000009},
                                         VersionCase{"1.3.7b", 1003000}),
                         [](const auto& i) { return "v" + NamePart(i.param.Text); });

// One channel value read from a file with or without a version event.
struct ScaleCase {
    std::optional<const char*> Version;  // none: the file has no event 199
    uint8_t Id;                          // 71 CutOff, 83 Resonance
    uint16_t Stored;
    int32_t Expected;
};
void PrintTo(const ScaleCase& c, std::ostream* os) {
    *os << (c.Version ? *c.Version : "no version") << ", event " << int(c.Id) << " = " << c.Stored;
}
class LoopOldScale : public testing::TestWithParam<ScaleCase> {};

TEST_P(LoopOldScale, ConvertedAndLimited) {
    const ScaleCase& c = GetParam();
    LoopBytes e;
    if (c.Version) e.Text(199, *c.Version);
    e.Word(64, 1).Word(c.Id, c.Stored);
    tx::TLoop loop;
    ASSERT_EQ(tx::ReadLoopFromMemory(e.File().data(), e.File().size(), loop).Code, 0);
    const tx::TChannel& ch = loop.Channel(1);
    EXPECT_EQ(c.Id == 71 ? ch.CutOff : ch.Resonance, c.Expected);
    EXPECT_EQ(loop.LoadedVersion, c.Version ? tx::VersionNumber(*c.Version) : 0);
}

// Old CutOff: x = 256 - v; t = min(1, (1 - cos(x pi / 512)) * 2); round(acos(t - 1) * 2048 / pi) - 1024, then 0..1020.
// Old Resonance: round(acos(-v / 256) * 2048 / pi) - 1024 with the argument kept in -1..1, then at most 1020.
constexpr std::nullopt_t none = std::nullopt;
INSTANTIATE_TEST_SUITE_P(Values, LoopOldScale,
                         testing::Values(ScaleCase{none, 71, 128, 278}, ScaleCase{none, 71, 0, 0},
                                         ScaleCase{none, 71, 256, 1020}, ScaleCase{none, 71, 192, 660},
                                         ScaleCase{none, 71, 64, 0}, ScaleCase{none, 83, 128, 341},
                                         ScaleCase{none, 83, 0, 0}, ScaleCase{none, 83, 256, 1020},
                                         ScaleCase{none, 83, 1, 3},
                                         // above 256 the arccosine's argument would leave its domain
                                         ScaleCase{none, 83, 300, 1020}, ScaleCase{"1.3.60", 71, 128, 278},
                                         ScaleCase{"1.3.60", 83, 128, 341}, ScaleCase{"1.3.61", 71, 128, 128},
                                         ScaleCase{"1.3.61", 83, 128, 128}, ScaleCase{"1.3.72", 71, 1021, 1020},
                                         ScaleCase{"1.3.72", 83, 1021, 1020}, ScaleCase{"1.3.72", 83, 1020, 1020}),
                         [](const auto& i) {
                             return (i.param.Version ? "v" + NamePart(*i.param.Version) : std::string("old")) +
                                    (i.param.Id == 71 ? "_cutoff_" : "_resonance_") + std::to_string(i.param.Stored);
                         });

// The version applies from the event on, in the order of the file.
TEST(LoopOldFile, VersionAfterTheValueComesTooLate) {
    LoopBytes e;
    e.Word(71, 128).Text(199, "1.3.72").Word(83, 128);
    tx::TLoop loop;
    ASSERT_EQ(tx::ReadLoopFromMemory(e.File().data(), e.File().size(), loop).Code, 0);
    EXPECT_EQ(loop.Channel(0).CutOff, 278);
    EXPECT_EQ(loop.Channel(0).Resonance, 128);
}

}  // namespace
