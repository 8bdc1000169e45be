// Every control a style's "config.txt" may move is found by its component
// name in the real main window, on the panel the name table gives: a control
// renamed in the window (or in the table) fails here.
#include <gtest/gtest.h>

#include <QWidget>

#include "engine/Engine.h"
#include "model/Loop.h"
#include "skin/ControlNames.h"
#include "window/MainForm.h"

namespace tx {
namespace {

// Every name in the table, the keyboard editor's six row buttons included
// (the editor is a window the main window owns).
std::vector<std::string> MainWindowControls() {
    std::vector<std::string> names;
    for (const TStyleControl& c : StyleControls()) names.emplace_back(c.Name);
    return names;
}

class StyleControlOnMainForm : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() {
        loop_ = new TLoop;
        form_ = new TTrovamixMainForm(*loop_, nullptr);
    }
    static void TearDownTestSuite() {
        delete form_;
        delete loop_;
    }
    static TLoop* loop_;
    static TTrovamixMainForm* form_;
};
TLoop* StyleControlOnMainForm::loop_ = nullptr;
TTrovamixMainForm* StyleControlOnMainForm::form_ = nullptr;

TEST_P(StyleControlOnMainForm, IsOneWidgetOnItsPanel) {
    const TStyleControl* entry = FindStyleControl(GetParam());
    ASSERT_NE(entry, nullptr);
    const QString name = QString::fromUtf8(entry->Name.data(), qsizetype(entry->Name.size()));
    const QList<QWidget*> found = form_->findChildren<QWidget*>(name);
    ASSERT_EQ(found.size(), 1) << "widgets named " << GetParam();
    QWidget* panel = found.front()->parentWidget();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->objectName().toStdString(), entry->Parent);
}

INSTANTIATE_TEST_SUITE_P(EveryName, StyleControlOnMainForm, ::testing::ValuesIn(MainWindowControls()),
                         [](const auto& info) { return info.param; });

TEST(StyleControlTable, NamesTheMainWindowsPanels) {
    // 4 on the caption, the menu bar, 19 on the transport panel and the
    // hint, and the keyboard editor's 6 row buttons.
    EXPECT_EQ(MainWindowControls().size(), 31u);
}

}  // namespace
}  // namespace tx
