// Collect Samples: the count offered, each located file copied once, nothing
// overwritten, and a report that names every sample left behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "desktop/CollectSamples.h"
#include "model/Loop.h"

using namespace txtest;
using tx::TCollectOutcome;
namespace fs = std::filesystem;

namespace {

std::vector<unsigned char> bytes(const std::string& s) { return {s.begin(), s.end()}; }

class Collect : public testing::Test {
protected:
    void SetUp() override {
        program = dir.path().string() + "/prog/";
        fs::create_directories(program + "Samples/kit");
        fs::create_directories(dir / "loops");
        fs::create_directories(dir / "out");
        where.ProgramFolder = program;
        where.LoopFileName = (dir / "loops/song.txp").string();
        out = (dir / "out").string();
    }
    void sample(const std::string& rel, const std::string& content) {
        WriteFileBytes(program + "Samples/" + rel, bytes(content));
    }
    std::string outFile(const std::string& name) const {
        auto b = ReadFileBytes(fs::path(out) / name);
        return {b.begin(), b.end()};
    }
    TempDir dir;
    std::string program, out;
    tx::TLocateContext where;
};

}  // namespace

TEST(CollectCount, DistinctNamesAreCountedCaseSensitively) {
    struct Case {
        std::vector<std::string> names;
        size_t distinct;
        bool any;
    } cases[] = {
        {{"\\kick.wav", "\\snare.wav", "\\kick.wav", "\\snare.wav"}, 2, true},
        {{"", "", "", ""}, 0, false},
        {{"", "\\Kick.wav", "\\kick.wav", ""}, 2, true},
        {{"", "", "", "/x/a.wav"}, 1, true},
    };
    for (const auto& c : cases) {
        tx::TLoop loop;
        for (size_t i = 0; i < c.names.size(); ++i) loop.Channel(int(i)).SampleFileName = c.names[i];
        EXPECT_EQ(tx::DistinctSampleNames(loop).size(), c.distinct);
        EXPECT_EQ(tx::AnyChannelNamesSample(loop), c.any);
    }
    EXPECT_EQ(tx::CollectPromptText(2), "Copy the 2 samples you used to...");
}

TEST_F(Collect, EachLocatedFileIsCopiedOnceUnderItsOwnName) {
    sample("kick.wav", "KICK");
    sample("kit/snare.wav", "SNARE");
    // Four channels, two samples; the kick once by its relative and once by its absolute name.
    tx::TLoop loop;
    loop.Channel(0).SampleFileName = "\\kick.wav";
    loop.Channel(1).SampleFileName = "\\kit\\snare.wav";
    loop.Channel(2).SampleFileName = program + "Samples/kick.wav";
    loop.Channel(3).SampleFileName = "\\kit\\snare.wav";
    auto names = tx::DistinctSampleNames(loop);
    ASSERT_EQ(names.size(), 3u);
    auto report = tx::CollectSampleFiles(names, where, out);
    EXPECT_EQ(report.Count(TCollectOutcome::Copied), 2);
    EXPECT_EQ(report.Items.size(), 2u) << "the kick's second spelling is the same file";
    EXPECT_EQ(outFile("kick.wav"), "KICK");
    EXPECT_EQ(outFile("snare.wav"), "SNARE");
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2) << "no temporary left";
    EXPECT_EQ(report.Text(), "2 samples were copied.");
}

TEST_F(Collect, NothingIsOverwrittenAndEveryMissTellsWhy) {
    sample("kick.wav", "KICK");
    sample("hat.wav", "HAT");
    sample("tom.wav", "TOM");
    WriteFileBytes(fs::path(out) / "hat.wav", bytes("SOMEONE ELSE'S HAT"));
    WriteFileBytes(fs::path(out) / "tom.wav", bytes("TOM"));  // collected before
    auto report = tx::CollectSampleFiles({"\\kick.wav", "\\hat.wav", "\\gone.wav", "\\tom.wav"}, where, out);
    ASSERT_EQ(report.Items.size(), 4u);
    const TCollectOutcome expected[] = {TCollectOutcome::Copied, TCollectOutcome::NameTaken, TCollectOutcome::NotFound,
                                        TCollectOutcome::AlreadyThere};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(report.Items[i].Outcome, expected[i]) << report.Items[i].StoredName;
    EXPECT_EQ(outFile("hat.wav"), "SOMEONE ELSE'S HAT");
    const std::string text = report.Text();
    EXPECT_NE(text.find("1 sample was copied. 1 was already in the folder."), std::string::npos) << text;
    EXPECT_NE(text.find("Not copied:"), std::string::npos) << text;
    EXPECT_NE(text.find("hat.wav: a different file of the same name is already in the folder"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\\gone.wav: not found"), std::string::npos) << text;
    EXPECT_EQ(text.find("tom.wav:"), std::string::npos) << "a sample already collected is no failure";
}

TEST_F(Collect, ACopyErrorIsReportedWithTheReason) {
    // A folder removed after it was chosen: the copy cannot be written.
    sample("kick.wav", "KICK");
    auto report = tx::CollectSampleFiles({"\\kick.wav"}, where, out + "/gone");
    ASSERT_EQ(report.Items.size(), 1u);
    EXPECT_EQ(report.Items[0].Outcome, TCollectOutcome::CopyFailed);
    EXPECT_NE(report.Text().find("kick.wav: cannot write in the folder: No such file or directory"), std::string::npos)
        << report.Text();
    EXPECT_EQ(report.Text().find("1 sample"), std::string::npos);
}

TEST_F(Collect, CollectingIntoTheSampleFolderItselfCopiesNothing) {
    sample("kick.wav", "KICK");
    auto report = tx::CollectSampleFiles({"\\kick.wav"}, where, program + "Samples");
    ASSERT_EQ(report.Items.size(), 1u);
    EXPECT_EQ(report.Items[0].Outcome, TCollectOutcome::AlreadyThere);
}
