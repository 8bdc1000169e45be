#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TestSupport.h"
#include "desktop/FileAssociation.h"

namespace {

std::string text(const std::filesystem::path& p) {
    const std::vector<unsigned char> b = txtest::ReadFileBytes(p);
    return std::string(b.begin(), b.end());
}

struct ExecCase {
    const char* path;
    const char* exec;  // as it stands in the file
};

class DesktopExecQuoting : public ::testing::TestWithParam<ExecCase> {};

TEST_P(DesktopExecQuoting, QuotesAndEscapesForTheKey) {
    EXPECT_EQ(tx::DesktopExecArgument(GetParam().path), GetParam().exec);
}

INSTANTIATE_TEST_SUITE_P(Paths, DesktopExecQuoting,
                         ::testing::Values(ExecCase{"/usr/bin/trovamix", "\"/usr/bin/trovamix\""},
                                           ExecCase{"/home/a b/My Apps/trovamix", "\"/home/a b/My Apps/trovamix\""},
                                           ExecCase{"/opt/100%/trovamix", "\"/opt/100%%/trovamix\""},
                                           ExecCase{"/opt/$HOME`x`/t", "\"/opt/\\\\$HOME\\\\`x\\\\`/t\""},
                                           ExecCase{"/opt/q\"uote/t", "\"/opt/q\\\\\"uote/t\""},
                                           ExecCase{"/opt/back\\slash/t", "\"/opt/back\\\\\\\\slash/t\""},
                                           ExecCase{"/opt/new\nline/t", ""}));

class FileAssociationTest : public ::testing::Test {
protected:
    txtest::TempDir dir;
    tx::TAssociationPaths paths{(dir / "data home").string(), (dir / "config").string()};
};

TEST_F(FileAssociationTest, WritesThePackageTheDesktopFileAndTheDefault) {
    const std::string program = (dir / "My Programs/trovamix").string();
    tx::TAssociationResult r = tx::RegisterFileAssociation(program, paths, false);
    ASSERT_TRUE(r.Ok) << (r.Errors.empty() ? "" : r.Errors.front());
    EXPECT_EQ(r.Written.size(), 3u);

    const std::string mime = text(paths.MimePackage());
    EXPECT_NE(mime.find("<mime-type type=\"application/x-trovamix-loop\">"), std::string::npos);
    EXPECT_NE(mime.find("<glob pattern=\"*.txp\"/>"), std::string::npos);
    EXPECT_NE(mime.find("<match type=\"string\" offset=\"0\" value=\"TXhd\"/>"), std::string::npos);

    const std::string desktop = text(paths.DesktopFile());
    EXPECT_NE(desktop.find("\nExec=\"" + program + "\" %f\n"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("\nMimeType=application/x-trovamix-loop;\n"), std::string::npos);

    EXPECT_EQ(text(paths.MimeApps()), "[Default Applications]\napplication/x-trovamix-loop=trovamix.desktop\n");
}

TEST_F(FileAssociationTest, MimeAppsKeepsOtherLinesAndReplacesOurs) {
    const std::string before =
        "[Added Associations]\napplication/x-trovamix-loop=other.desktop;\n\n"
        "[Default Applications]\ntext/plain=editor.desktop\napplication/x-trovamix-loop=old.desktop\n"
        "image/png=viewer.desktop\n";
    EXPECT_EQ(tx::MergeMimeApps(before),
              "[Added Associations]\napplication/x-trovamix-loop=other.desktop;\n\n"
              "[Default Applications]\ntext/plain=editor.desktop\napplication/x-trovamix-loop=trovamix.desktop\n"
              "image/png=viewer.desktop\n");
    EXPECT_EQ(tx::MergeMimeApps("[Added Associations]\na/b=c.desktop\n"),
              "[Added Associations]\na/b=c.desktop\n\n[Default Applications]\n"
              "application/x-trovamix-loop=trovamix.desktop\n");
    // Registering twice changes nothing.
    const std::string once = tx::MergeMimeApps(before);
    EXPECT_EQ(tx::MergeMimeApps(once), once);
}

TEST_F(FileAssociationTest, FailuresAreReportedNotSwallowed) {
    // A folder where mimeapps.list should be: it cannot be replaced.
    std::filesystem::create_directories(paths.MimeApps());
    tx::TAssociationResult r = tx::RegisterFileAssociation("/usr/bin/trovamix", paths, false);
    EXPECT_FALSE(r.Ok);
    ASSERT_EQ(r.Errors.size(), 1u);
    EXPECT_NE(r.Errors[0].find("mimeapps.list"), std::string::npos) << r.Errors[0];

    EXPECT_FALSE(tx::RegisterFileAssociation("/bad\npath", paths, false).Ok);
}

TEST(RunToolTest, ReportsFailuresAndMissingPrograms) {
    bool found = false;
    EXPECT_EQ(tx::RunTool({"true"}, found), "");
    EXPECT_TRUE(found);
    EXPECT_NE(tx::RunTool({"sh", "-c", "echo broken >&2; exit 3"}, found).find("exit status 3): broken"),
              std::string::npos);
    EXPECT_EQ(tx::RunTool({"no-such-tool-for-trovamix"}, found), "");
    EXPECT_FALSE(found);
    // Arguments are passed as they are, never through a shell.
    EXPECT_EQ(tx::RunTool({"test", "a;b", "=", "a;b"}, found), "");
}

TEST_F(FileAssociationTest, UpdatesTheMimeDatabaseWhenTheToolIsThere) {
    bool found = false;
    tx::RunTool({"update-mime-database", "-v"}, found);
    if (!found) GTEST_SKIP() << "update-mime-database is not installed";
    tx::TAssociationResult r = tx::RegisterFileAssociation("/usr/bin/trovamix", paths, true);
    for (const std::string& e : r.Errors) EXPECT_EQ(e.find("update-mime-database"), std::string::npos) << e;
    EXPECT_NE(text(paths.DataHome + "/mime/globs2").find("application/x-trovamix-loop:*.txp"), std::string::npos);
}

}  // namespace
