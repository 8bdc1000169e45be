#include <gtest/gtest.h>

#include <QTextBrowser>

#include "TestSupport.h"
#include "dialogs/HelpWindow.h"

namespace {

TEST(HelpWindowTest, OpensTheBuildsHelpAtATopicOrSaysItIsMissing) {
    tx::THelpWindow help(QStringLiteral(TROVAMIX_BINARY_DIR) + QStringLiteral("/Help/Trova.html"));
    help.ShowTopic(QStringLiteral("settings-wav"));
    EXPECT_TRUE(help.isVisible());
    EXPECT_EQ(help.CurrentTopic(), QStringLiteral("settings-wav"));
    EXPECT_TRUE(help.Browser()->toPlainText().contains(QStringLiteral("Ahead Duration")));
    help.ShowTopic({});
    EXPECT_EQ(help.CurrentTopic(), QStringLiteral("contents"));

    txtest::TempDir dir;
    tx::THelpWindow missing(QString::fromStdString((dir / "Help/Trova.html").string()));
    missing.ShowTopic(QStringLiteral("contents"));
    EXPECT_TRUE(missing.Browser()->toPlainText().contains(QStringLiteral("was not found")));
}

}  // namespace
