// The Tools menu: "&Configure", the entries rebuilt from the slots, Ctrl+F
// for the companion, and its entry closing a running companion.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include "dialogs/AddToolForm.h"
#include "engine/Engine.h"
#include "model/Loop.h"
#include "skin/Style.h"
#include "window/MainForm.h"

namespace tx {
namespace {

class MainFormTools : public ::testing::Test {
protected:
    void SetUp() override {
        loop.SetEngineLock(&lock);
        form = std::make_unique<TTrovamixMainForm>(loop, &engine);
        form->ApplyStyle(LoadStyleData({"", "", FindEmbeddedStyleFile}));
        menu = form->findChild<QMenu*>("Tools1");
        ASSERT_TRUE(menu);
    }
    // The captions after the separator, and whether the separator shows.
    std::vector<std::string> Entries(bool* separator = nullptr) {
        std::vector<std::string> out;
        bool after = false;
        for (QAction* a : menu->actions()) {
            if (a->objectName() == "ToolsSepMenu") {
                after = true;
                if (separator) *separator = a->isVisible();
                continue;
            }
            if (after) out.push_back(a->text().toStdString() + "|" + a->shortcut().toString().toStdString());
        }
        return out;
    }

    TLoop loop;
    TEngineLock lock;
    TSettings settings;
    TEngine engine{loop, lock, settings};
    std::unique_ptr<TTrovamixMainForm> form;
    QMenu* menu = nullptr;
};

TEST_F(MainFormTools, TheMenuFollowsTheSlotsAndTheToolsWindow) {
    form->RebuildToolsMenu();
    bool separator = true;
    EXPECT_TRUE(Entries(&separator).empty());
    EXPECT_FALSE(separator) << "no tools, no separator";
    EXPECT_EQ(menu->actions().front()->text(), "&Configure");

    form->Tools[1] = {"Sonelo", "/opt/sonelo", ToolLinked};
    form->Tools[3] = {"Wave editor", "/usr/bin/waved", 0};
    form->RebuildToolsMenu();
    form->RebuildToolsMenu();  // again: nothing doubles
    EXPECT_EQ(Entries(&separator), (std::vector<std::string>{"Sonelo|Ctrl+F", "Wave editor|"}));
    EXPECT_TRUE(separator);

    // "&Configure" opens the tools window; what it changed is in the menu once it closes.
    form->RunToolsWindow = [](TAddToolForm& w) {
        EXPECT_EQ(w.CurrentSlot(), 4);
        w.TitleEdit->setText(QString());
        QTest::keyClicks(w.TitleEdit, "Mixer");
    };
    form->Action(TCommand::ConfigureTools)->trigger();
    EXPECT_EQ(form->Tools[4].Name, "Mixer");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Sonelo|Ctrl+F", "Wave editor|", "Mixer|"}));
}

TEST_F(MainFormTools, TheCompanionsEntryClosesARunningCompanionInsteadOfStartingAnother) {
    form->Tools[0] = {"sonelo", "/nonexistent/sonelo", ToolLinked};
    form->RebuildToolsMenu();
    bool running = true;
    int closes = 0;
    form->CompanionRunning = [&] { return running; };
    form->CloseCompanion = [&] { ++closes; };
    QAction* entry = form->findChild<QAction*>("Tool0");
    ASSERT_TRUE(entry);
    entry->trigger();
    EXPECT_EQ(closes, 1);
    running = false;
    entry->trigger();  // starts the (missing) program, which fails quietly
    EXPECT_EQ(closes, 1);
}

}  // namespace
}  // namespace tx
