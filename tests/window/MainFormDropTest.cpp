// Files dropped on the main window and Collect Samples, driven through the
// window's own drop event and command.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "TestSupport.h"
#include "engine/Engine.h"
#include "model/Loop.h"
#include "skin/Style.h"
#include "window/MainForm.h"

namespace tx {
namespace {

class MainFormDrop : public ::testing::Test {
protected:
    void SetUp() override {
        loop.SetEngineLock(&lock);
        form = std::make_unique<TTrovamixMainForm>(loop, &engine);
        form->ApplyStyle(LoadStyleData({"", "", FindEmbeddedStyleFile}));
        form->SetAutoMaximize(true);
        form->FitHeight();
        form->show();  // the channel area has its size only once shown
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->LoadChannelSample = [this](int ch, const std::string& file) {
            loads.emplace_back(ch, file);
            loop.Channel(ch).SampleFileName = file;
        };
        form->ShowInformation = [this](const QString& text) { messages.push_back(text.toStdString()); };
    }
    // Sends the drop as the desktop does, at a point of `target`.
    void Drop(const std::vector<std::string>& files, QWidget* target, QPoint at) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const auto& f : files) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(f)));
        mime.setUrls(urls);
        // As a drag arrives: entering first makes the window the drop's target.
        QDragEnterEvent enter(target->mapTo(form.get(), at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &enter);
        QDropEvent drop(QPointF(target->mapTo(form.get(), at)), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &drop);
    }
    QAction* Collect() { return form->Action(TCommand::CollectSamples); }

    TLoop loop;
    TEngineLock lock;
    TSettings settings;
    TEngine engine{loop, lock, settings};
    std::unique_ptr<TTrovamixMainForm> form;
    std::vector<std::pair<int, std::string>> loads;
    std::vector<std::string> messages;
};

TEST_F(MainFormDrop, ThreeOnChannelTwosNameMakeSixChannels) {
    loop.Channel(0).Selected = true;
    ASSERT_FALSE(Collect()->isEnabled()) << "no channel names a sample yet";
    QWidget* name = form->Row(1)->SetButton;
    Drop({"/s/a b.wav", "/s/c.wav", "/s/d.wav"}, name, QPoint(3, name->height() / 2));
    EXPECT_EQ(loop.ChannelCount(), 6);
    EXPECT_EQ(form->RowCount(), 6);
    using L = std::pair<int, std::string>;
    EXPECT_EQ(loads, (std::vector<L>{{1, "/s/a b.wav"}, {2, "/s/c.wav"}, {3, "/s/d.wav"}}));
    EXPECT_EQ(loop.SelectedChannel(), 3) << "the last channel made is selected, as every new channel";
    EXPECT_FALSE(loop.Channel(0).Selected);
    EXPECT_TRUE(Collect()->isEnabled());
    EXPECT_TRUE(messages.empty());
}

TEST_F(MainFormDrop, OneOnAStepActsAsAClickThere) {
    loop.Channel(0).Selected = true;
    QWidget* grid = form->Row(2)->TechnoGrid;
    const int pattern = loop.CurrentPattern;
    ASSERT_FALSE(loop.GetStep(2, pattern, 5));
    Drop({"/s/a.wav"}, grid, QPoint(5 * 16 + 8, form->Row(2)->TechnoGrid->ButtonTop + 12));
    EXPECT_EQ(loop.ChannelCount(), 4);
    EXPECT_TRUE(loop.GetStep(2, pattern, 5));
    EXPECT_EQ(loop.SelectedChannel(), 2);
    EXPECT_FALSE(loop.Channel(0).Selected);
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads[0].first, 2);
}

TEST_F(MainFormDrop, TwoBelowTheLastNameAppendAndALoopFileCountsOnlyFirst) {
    // Below the last name button, still over the last step row's leds.
    QWidget* grid = form->Row(3)->TechnoGrid;
    QWidget* name = form->Row(3)->SetButton;
    const int belowName = grid->mapFrom(form.get(), name->mapTo(form.get(), QPoint(0, name->height()))).y() + 2;
    ASSERT_LT(belowName, grid->height());
    Drop({"/s/a.wav", "/l/song.txp"}, grid, QPoint(5, belowName));
    EXPECT_EQ(loop.ChannelCount(), 6);
    using L = std::pair<int, std::string>;
    EXPECT_EQ(loads, (std::vector<L>{{4, "/s/a.wav"}, {5, "/l/song.txp"}}));
}

TEST_F(MainFormDrop, CollectOffersTheCountAndReportsWhatWasNotCopied) {
    txtest::TempDir dir;
    const std::string program = dir.path().string() + "/prog/";
    std::filesystem::create_directories(program + "Samples");
    std::filesystem::create_directories(dir / "out");
    txtest::WriteFileBytes(program + "Samples/kick.wav", {'K'});
    form->ProgramFolder = program;
    for (int ch : {0, 2}) loop.Channel(ch).SampleFileName = "\\kick.wav";
    for (int ch : {1, 3}) loop.Channel(ch).SampleFileName = "\\snare.wav";
    form->ChannelsChanged();
    ASSERT_TRUE(Collect()->isEnabled());
    QString asked;
    form->AskCollectFolder = [&](const QString& text, const QString&) {
        asked = text;
        return (dir / "out").string();
    };
    Collect()->trigger();
    EXPECT_EQ(asked.toStdString(), "Copy the 2 samples you used to...");
    EXPECT_TRUE(std::filesystem::exists(dir / "out/kick.wav"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("1 sample was copied."), std::string::npos) << messages[0];
    EXPECT_NE(messages[0].find("\\snare.wav: not found"), std::string::npos) << messages[0];

    messages.clear();
    form->AskCollectFolder = [](const QString&, const QString&) { return std::string(); };
    Collect()->trigger();
    EXPECT_TRUE(messages.empty()) << "a cancelled folder question copies and reports nothing";
}

}  // namespace
}  // namespace tx
