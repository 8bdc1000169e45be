// The tools window driven as a user would, and a tool started with paths
// that a shell would have split or run.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "EditorsTestSupport.h"
#include "TestSupport.h"
#include "dialogs/AddToolForm.h"

namespace tx {
namespace {

TToolSlots twoTools() {
    TToolSlots tools;
    tools[0] = {"Sonelo", "/opt/sonelo/sonelo", ToolLinked};
    tools[1] = {"Editor", "/usr/bin/editor", ToolWithSamplesPath};
    return tools;
}

TEST(AddToolForm, OpensOnTheFreeSlotAndEditsChangeTheSlotAtOnce) {
    TAddToolForm form;
    form.SetSlots(twoTools());
    EXPECT_EQ(form.windowTitle(), "Tools");
    EXPECT_EQ(form.CurrentSlot(), 2) << "ready for a new tool";
    EXPECT_EQ(form.ToolsBox->count(), 5);
    EXPECT_FALSE(form.LinkBox->isVisibleTo(&form));

    form.show();
    form.TitleEdit->setFocus();
    QTest::keyClicks(form.TitleEdit, "sonelo");
    EXPECT_EQ(form.Slots()[2].Name, "sonelo");
    EXPECT_EQ(form.ToolsBox->item(2)->text(), "sonelo");
    EXPECT_TRUE(form.LinkBox->isVisibleTo(&form)) << "offered for the companion in any case";
    form.WAVBox->click();
    form.StartupBox->click();
    EXPECT_EQ(form.Slots()[2].Params, ToolWithLastRenderedWAV | ToolAtStartup);
    form.WAVBox->click();
    EXPECT_EQ(form.Slots()[2].Params, ToolAtStartup);

    form.SelectSlot(1);  // another slot's values, and nothing of slot 2 carried over
    EXPECT_EQ(form.TitleEdit->text(), "Editor");
    EXPECT_TRUE(form.PathBox->isChecked());
    EXPECT_FALSE(form.StartupBox->isChecked());
    EXPECT_EQ(form.Slots()[1].Params, ToolWithSamplesPath);
    txtest::SaveScreenshot(form, QStringLiteral("tools-window"));
}

TEST(AddToolForm, BrowseNamesAnUnnamedToolAndLinksOnlyTheCompanion) {
    txtest::TempDir dir;
    std::filesystem::create_directories(dir / "apps");
    std::ofstream((dir / "apps/s.desktop").string()) << "[Desktop Entry]\nName=Sonelo\nExec=/opt/s/sonelo-bin %f\n";
    struct Case {
        std::string preset, chosen, name;
        bool linked;
    } cases[] = {
        {"", "/opt/s/sonelo-bin", "Sonelo", true},
        {"", "/home/me/my tools/wave edit.sh", "wave edit", false},
        {"Mine", "/opt/s/sonelo-bin", "Mine", false},  // a name given is kept
    };
    for (const auto& c : cases) {
        TAddToolForm form;
        TToolSlots tools;
        tools[0] = {c.preset, "", ToolLinked | ToolAtStartup};
        form.SetSlots(tools);
        form.SelectSlot(0);
        form.EntryFolders = {(dir / "apps").string()};
        form.AskProgram = [&](const QString&) { return QString::fromStdString(c.chosen); };
        form.Browse();
        EXPECT_EQ(form.Slots()[0].FileName, c.chosen);
        EXPECT_EQ(form.Slots()[0].Name, c.name);
        EXPECT_EQ(bool(form.Slots()[0].Params & ToolLinked), c.linked) << c.chosen;
        EXPECT_TRUE(form.Slots()[0].Params & ToolAtStartup);
        EXPECT_EQ(form.LinkBox->isChecked(), c.linked);
    }
}

TEST(AddToolForm, MovingALineRenumbersTheSlotsAndTabReachesEveryControl) {
    TAddToolForm form;
    form.SetSlots(twoTools());
    form.MoveSlot(0, 3);
    EXPECT_EQ(form.Slots()[0].Name, "Editor");
    EXPECT_EQ(form.Slots()[3].Name, "Sonelo");
    EXPECT_EQ(form.ToolsBox->item(3)->text(), "Sonelo");
    EXPECT_EQ(form.CurrentSlot(), 3);

    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.SelectSlot(3);  // the companion: its link box is shown and in the Tab chain
    form.ToolsBox->setFocus();
    std::vector<QWidget*> chain;
    for (int i = 0; i < 9; ++i) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_TRUE(focus);
        chain.push_back(focus);
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    std::vector<QWidget*> expected = {form.ToolsBox, form.TitleEdit,  form.FileEdit, form.BrowseButton, form.PathBox,
                                      form.WAVBox,   form.StartupBox, form.LinkBox,  form.CloseButton};
    EXPECT_EQ(chain, expected);
    for (QWidget* w : expected) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_TRUE(a);
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << w->objectName().toStdString();
    }
}

TEST(LaunchTool, ArgumentsWithSpacesAndShellCharactersArriveWhole) {
    txtest::TempDir dir;
    const std::string folder = (dir / "my tools").string();
    std::filesystem::create_directories(folder);
    const std::string record = (dir / "args out.txt").string();
    const std::string tool = folder + "/record args.sh";
    // The fake tool writes each argument on a line of its own.
    std::ofstream(tool) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" << record
                        << ".tmp\"\nmv \"" << record << ".tmp\" \"" << record << "\"\n";
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    const std::string samples = (dir / "prog dir/Samples").string() + "/";
    const std::string wav = "/tmp/song $HOME; touch " + (dir / "pwned").string() + ".wav";
    ASSERT_TRUE(LaunchToolProgram({"Rec", tool, ToolWithSamplesPath | ToolWithLastRenderedWAV}, samples, wav));
    QElapsedTimer t;
    t.start();
    while (!std::filesystem::exists(record) && t.elapsed() < 10000) QTest::qWait(20);
    auto bytes = txtest::ReadFileBytes(record);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), samples + "\n" + wav + "\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "pwned")) << "nothing in an argument runs";
    EXPECT_FALSE(LaunchToolProgram({"Gone", (dir / "missing").string(), 0}, "", "")) << "fails quietly";
}

}  // namespace
}  // namespace tx
