#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "samples/Samples.h"

using namespace txtest;
namespace fs = std::filesystem;
using tx::LocateSample;
using tx::StoredSampleName;
using tx::TLocateContext;

namespace {

// A program folder with a "Samples" tree and a loop folder elsewhere.
class Locate : public ::testing::Test {
protected:
    void SetUp() override {
        program = dir.path().string() + "/prog/";
        samples = program + "Samples/";
        loops = dir.path().string() + "/loops/";
        fs::create_directories(samples);
        fs::create_directories(loops);
        ctx.ProgramFolder = program;
        ctx.LoopFileName = loops + "song.txp";
        ctx.ShowHint = [this](const std::string& h) { hints.push_back(h); };
    }
    std::string touch(const std::string& path) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path) << "x";
        return path;
    }
    std::string locate(const std::string& stored) { return LocateSample(stored, ctx); }

    TempDir dir;
    std::string program, samples, loops;
    TLocateContext ctx;
    std::vector<std::string> hints;
};

TEST_F(Locate, EmptyNameIsEmptyWithoutSearching) {
    EXPECT_EQ(locate(""), "");
    EXPECT_TRUE(hints.empty());
}

TEST_F(Locate, StoredRelativeNameResolvesInsideTheSampleFolder) {
    std::string kick = touch(samples + "drums/kick.wav");
    EXPECT_EQ(locate("\\drums\\kick.wav"), kick);
    EXPECT_TRUE(hints.empty());  // found directly: no "Locating" hint
}

TEST_F(Locate, StoredRelativeNameIgnoresLetterCase) {
    std::string kick = touch(samples + "drums/kick.wav");
    EXPECT_EQ(locate("\\DRUMS\\KICK.WAV"), kick);
    EXPECT_EQ(locate("\\Drums\\Kick.Wav"), kick);
}

TEST_F(Locate, AbsolutePathThatExistsIsItself) {
    std::string f = touch(dir.path().string() + "/elsewhere/snare.wav");
    EXPECT_EQ(locate(f), f);
    EXPECT_TRUE(hints.empty());
}

TEST_F(Locate, MissingAbsolutePathIsReadAsSampleFolderRelative) {
    std::string f = touch(samples + "kits/hat.wav");
    EXPECT_EQ(locate("/kits/hat.wav"), f);
}

TEST_F(Locate, MovedLoopFindsItsSampleBesideIt) {
    // Stored as an old absolute Windows path; the file now lies beside the loop.
    std::string beside = touch(loops + "clap.wav");
    touch(samples + "clap.wav");  // (b) would also match: (a) comes first
    EXPECT_EQ(locate("C:\\Music\\old\\clap.wav"), beside);
    ASSERT_EQ(hints.size(), 1u);
    EXPECT_EQ(hints[0], "Locating: clap.wav");
}

TEST_F(Locate, HintShowsTheFileNamePartInLowerCase) {
    touch(samples + "Clap.WAV");
    locate("D:\\X\\Clap.WAV");
    ASSERT_EQ(hints.size(), 1u);
    EXPECT_EQ(hints[0], "Locating: clap.wav");
}

TEST_F(Locate, SampleFolderComesBeforeTheRecursiveSearch) {
    std::string top = touch(samples + "tom.wav");
    touch(samples + "a/tom.wav");
    EXPECT_EQ(locate("C:\\x\\tom.wav"), top);
}

TEST_F(Locate, RecursiveSearchFindsASampleMovedBelowTheFolder) {
    std::string deep = touch(samples + "one/two/three/rim.wav");
    EXPECT_EQ(locate("\\rim.wav"), deep);  // stored relative, moved deeper
    EXPECT_EQ(locate("rim.wav"), deep);
    EXPECT_EQ(locate("\\old\\place\\RIM.wav"), deep);
}

TEST_F(Locate, RecursiveSearchTakesTheFirstMatchInListingOrder) {
    // Two sibling folders both hold the file; the one the file system lists
    // first wins, and a folder's own file wins over its subfolders.
    fs::create_directories(samples + "p");
    fs::create_directories(samples + "q");
    std::string inP = touch(samples + "p/cym.wav");
    std::string inQ = touch(samples + "q/cym.wav");
    touch(samples + "p/sub/cym.wav");
    touch(samples + "q/sub/cym.wav");
    std::string first;
    for (const auto& e : fs::directory_iterator(samples)) {
        first = e.path().filename().string();
        break;
    }
    EXPECT_EQ(locate("cym.wav"), first == "p" ? inP : inQ);
}

TEST_F(Locate, DepthFirstGoesDownBeforeGoingToTheNextSibling) {
    fs::create_directories(samples + "p");
    fs::create_directories(samples + "q");
    std::string firstName;
    for (const auto& e : fs::directory_iterator(samples)) {
        firstName = e.path().filename().string();
        break;
    }
    std::string second = firstName == "p" ? "q" : "p";
    std::string deepInFirst = touch(samples + firstName + "/deep/ride.wav");
    touch(samples + second + "/ride.wav");
    EXPECT_EQ(locate("ride.wav"), deepInFirst);
}

TEST_F(Locate, NotFoundIsEmpty) {
    touch(samples + "a/b.wav");
    EXPECT_EQ(locate("\\nothing.wav"), "");
    EXPECT_EQ(locate("C:\\nothing.wav"), "");
    EXPECT_EQ(locate("folder\\"), "");
}

TEST_F(Locate, EmptyLoopFileNameSkipsTheLoopFolder) {
    ctx.LoopFileName.clear();
    std::string f = touch(samples + "x/conga.wav");
    EXPECT_EQ(locate("conga.wav"), f);
}

TEST_F(Locate, NeverLooksInTheWorkingFolder) {
    std::string cwd = dir.path().string() + "/cwd";
    fs::create_directories(cwd + "/Samples/drums");
    touch(cwd + "/bongo.wav");
    touch(cwd + "/Samples/drums/bongo.wav");
    touch(cwd + "/drums/bongo.wav");
    auto old = fs::current_path();
    fs::current_path(cwd);
    EXPECT_EQ(locate("bongo.wav"), "");
    EXPECT_EQ(locate("drums\\bongo.wav"), "");
    EXPECT_EQ(locate("\\drums\\bongo.wav"), "");
    // Without a program folder there is no sample folder at all.
    ctx.ProgramFolder.clear();
    ctx.LoopFileName.clear();
    EXPECT_EQ(locate("\\drums\\bongo.wav"), "");
    EXPECT_EQ(locate("bongo.wav"), "");
    fs::current_path(old);
}

TEST_F(Locate, FoldersNamedLikeTheFileAreNotFiles) {
    fs::create_directories(samples + "kick.wav");
    std::string f = touch(samples + "z/kick.wav");
    EXPECT_EQ(locate("kick.wav"), f);
}

TEST_F(Locate, LinkedLoopsInTheTreeEndTheSearch) {
    fs::create_directories(samples + "a");
    fs::create_directory_symlink(samples, samples + "a/loop");
    EXPECT_EQ(locate("absent.wav"), "");
    std::string f = touch(samples + "a/found.wav");
    EXPECT_EQ(locate("found.wav"), f);
}

TEST(StoredName, InsideTheSampleFolderIsRelativeWithBackslashes) {
    EXPECT_EQ(StoredSampleName("/opt/tx/Samples/drums/kick.wav", "/opt/tx/"), "\\drums\\kick.wav");
    EXPECT_EQ(StoredSampleName("/opt/tx/Samples/kick.wav", "/opt/tx/"), "\\kick.wav");
}

TEST(StoredName, OutsideTheSampleFolderIsThePathItself) {
    EXPECT_EQ(StoredSampleName("/home/u/kick.wav", "/opt/tx/"), "/home/u/kick.wav");
    EXPECT_EQ(StoredSampleName("/opt/tx/SamplesX/kick.wav", "/opt/tx/"), "/opt/tx/SamplesX/kick.wav");
    EXPECT_EQ(StoredSampleName("", "/opt/tx/"), "");
}

TEST_F(Locate, StoredNameRoundTripsThroughLocate) {
    std::string f = touch(samples + "perc/shaker.wav");
    std::string stored = StoredSampleName(f, program);
    EXPECT_EQ(stored, "\\perc\\shaker.wav");
    EXPECT_EQ(locate(stored), f);
}

}  // namespace
