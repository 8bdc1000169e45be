// Finding a stored sample name: the exact search order, letter case, moved
// loops and samples, and the places never searched.
#include <gtest/gtest.h>

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

// A program folder with a "Samples" tree and a loop folder elsewhere. Paths
// in the tests start with S/ (the sample folder), L/ (the loop's folder) or
// D/ (anywhere else); a path ending in '/' is a folder.
class Locate : public testing::Test {
protected:
    void SetUp() override {
        program = dir.path().string() + "/prog/";
        samples = program + "Samples/";
        fs::create_directories(samples);
        fs::create_directories(dir.path() / "loops");
        ctx.ProgramFolder = program;
        ctx.LoopFileName = dir.path().string() + "/loops/song.txp";
        ctx.ShowHint = [this](const std::string& h) { hints.push_back(h); };
    }
    std::string full(const std::string& p) const {
        if (p.empty()) return p;
        const std::string rest = p.substr(2);
        if (p[0] == 'S') return samples + rest;
        return dir.path().string() + (p[0] == 'L' ? "/loops/" : "/") + rest;
    }
    std::string make(const std::string& p) {
        const std::string f = full(p);
        if (f.back() == '/') {
            fs::create_directories(f);
        } else {
            fs::create_directories(fs::path(f).parent_path());
            std::ofstream(f) << "x";
        }
        return f;
    }
    std::string locate(const std::string& stored) { return LocateSample(stored, ctx); }

    TempDir dir;
    std::string program, samples;
    TLocateContext ctx;
    std::vector<std::string> hints;
};

struct LocateCase {
    const char* name;
    std::vector<std::string> files;
    std::string stored;    // D/... is made absolute
    std::string expected;  // "" when not found
    std::string hint;      // "" when the name is found without a search
    bool noLoopFile = false;
};
void PrintTo(const LocateCase& c, std::ostream* os) { *os << c.name; }

class LocateOrder : public Locate, public testing::WithParamInterface<LocateCase> {};
TEST_P(LocateOrder, FindsTheFirstInTheSearchOrder) {
    const LocateCase& c = GetParam();
    for (const auto& f : c.files) make(f);
    if (c.noLoopFile) ctx.LoopFileName.clear();
    EXPECT_EQ(locate(c.stored.rfind("D/", 0) == 0 ? full(c.stored) : c.stored), full(c.expected));
    EXPECT_EQ(hints, c.hint.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.hint});
}

// Order: a stored relative name in the sample folder, an absolute path (or,
// missing, read as sample-folder relative); then by the file name part the
// loop's folder, the sample folder, and the sample folder's tree depth first.
INSTANTIATE_TEST_SUITE_P(
    Cases, LocateOrder,
    testing::Values(
        LocateCase{"empty_name", {"S/drums/kick.wav"}, "", "", ""},
        LocateCase{"relative_in_sample_folder", {"S/drums/kick.wav"}, "\\drums\\kick.wav", "S/drums/kick.wav", ""},
        LocateCase{"relative_any_case", {"S/drums/kick.wav"}, "\\DRUMS\\Kick.Wav", "S/drums/kick.wav", ""},
        LocateCase{
            "absolute_existing", {"D/elsewhere/snare.wav"}, "D/elsewhere/snare.wav", "D/elsewhere/snare.wav", ""},
        LocateCase{"absolute_missing_is_sample_relative", {"S/kits/hat.wav"}, "/kits/hat.wav", "S/kits/hat.wav", ""},
        // the hint shows the file name part in lower case
        LocateCase{"moved_loop_finds_it_beside",
                   {"L/clap.wav", "S/clap.wav"},
                   "C:\\Music\\old\\Clap.WAV",
                   "L/clap.wav",
                   "Locating: clap.wav"},
        LocateCase{"sample_folder_before_its_tree",
                   {"S/tom.wav", "S/a/tom.wav"},
                   "C:\\x\\tom.wav",
                   "S/tom.wav",
                   "Locating: tom.wav"},
        LocateCase{"moved_below_the_sample_folder",
                   {"S/one/two/three/rim.wav"},
                   "\\rim.wav",
                   "S/one/two/three/rim.wav",
                   "Locating: rim.wav"},
        LocateCase{"bare_name_in_the_tree",
                   {"S/one/two/three/rim.wav"},
                   "rim.wav",
                   "S/one/two/three/rim.wav",
                   "Locating: rim.wav"},
        LocateCase{"old_path_in_the_tree",
                   {"S/one/two/three/rim.wav"},
                   "\\old\\place\\RIM.wav",
                   "S/one/two/three/rim.wav",
                   "Locating: rim.wav"},
        LocateCase{"folders_named_like_the_file",
                   {"S/kick.wav/", "S/z/kick.wav"},
                   "kick.wav",
                   "S/z/kick.wav",
                   "Locating: kick.wav"},
        LocateCase{"no_loop_file",
                   {"L/conga.wav", "S/x/conga.wav"},
                   "conga.wav",
                   "S/x/conga.wav",
                   "Locating: conga.wav",
                   true},
        LocateCase{"not_found_relative", {"S/a/b.wav"}, "\\nothing.wav", "", "Locating: nothing.wav"},
        LocateCase{"not_found_absolute", {"S/a/b.wav"}, "C:\\nothing.wav", "", "Locating: nothing.wav"},
        LocateCase{"no_file_part", {"S/a/b.wav"}, "folder\\", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Of two sibling folders that both hold the file, the one the file system
// lists first wins; the search goes down it before the next sibling.
TEST_F(Locate, TreeSearchIsDepthFirstInListingOrder) {
    make("S/p/");
    make("S/q/");
    const std::string first = fs::directory_iterator(samples)->path().filename().string();
    const std::string second = first == "p" ? "q" : "p";
    const std::string deep = make("S/" + first + "/deep/ride.wav");
    make("S/" + second + "/ride.wav");
    EXPECT_EQ(locate("ride.wav"), deep);
    const std::string own = make("S/" + first + "/ride.wav");  // a folder's own file before its subfolders
    EXPECT_EQ(locate("ride.wav"), own);
}

TEST_F(Locate, NeverLooksInTheWorkingFolder) {
    for (const char* f : {"D/cwd/bongo.wav", "D/cwd/Samples/drums/bongo.wav", "D/cwd/drums/bongo.wav"}) make(f);
    const auto old = fs::current_path();
    fs::current_path(full("D/cwd"));
    for (const char* stored : {"bongo.wav", "drums\\bongo.wav", "\\drums\\bongo.wav"}) EXPECT_EQ(locate(stored), "");
    // Without a program folder there is no sample folder at all.
    ctx.ProgramFolder.clear();
    ctx.LoopFileName.clear();
    EXPECT_EQ(locate("\\drums\\bongo.wav"), "");
    EXPECT_EQ(locate("bongo.wav"), "");
    fs::current_path(old);
}

TEST_F(Locate, LinkedLoopsInTheTreeEndTheSearch) {
    make("S/a/");
    fs::create_directory_symlink(samples, samples + "a/loop");
    EXPECT_EQ(locate("absent.wav"), "");
    EXPECT_EQ(locate("found.wav"), "");
    const std::string f = make("S/a/found.wav");
    EXPECT_EQ(locate("found.wav"), f);
}

TEST_F(Locate, StoredNameIsRelativeInsideTheSampleFolder) {
    EXPECT_EQ(StoredSampleName("/opt/tx/Samples/drums/kick.wav", "/opt/tx/"), "\\drums\\kick.wav");
    EXPECT_EQ(StoredSampleName("/opt/tx/Samples/kick.wav", "/opt/tx/"), "\\kick.wav");
    EXPECT_EQ(StoredSampleName("/home/u/kick.wav", "/opt/tx/"), "/home/u/kick.wav");
    EXPECT_EQ(StoredSampleName("/opt/tx/SamplesX/kick.wav", "/opt/tx/"), "/opt/tx/SamplesX/kick.wav");
    EXPECT_EQ(StoredSampleName("", "/opt/tx/"), "");
    const std::string f = make("S/perc/shaker.wav");
    EXPECT_EQ(StoredSampleName(f, program), "\\perc\\shaker.wav");
    EXPECT_EQ(locate("\\perc\\shaker.wav"), f);
}

}  // namespace
