#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "EditorsTestSupport.h"
#include "desktop/DesktopSettings.h"
#include "desktop/SettingsStore.h"
#include "dialogs/AddToolForm.h"
#include "dialogs/FavOpenDialog.h"

namespace tx {
namespace {

class FavDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        for (const char* sub : {"Kicks", "Snares", "Hats", "Gone"}) ASSERT_TRUE(QDir(root).mkpath(sub));
        QFile wav(root + "/Kicks/kick.wav");
        ASSERT_TRUE(wav.open(QIODevice::WriteOnly));
        wav.write("RIFF");
    }
    QString Path(const char* sub) const { return root + '/' + sub; }
    std::vector<std::string> Items() const { return dialog.Favorites().Items(); }
    std::string S(const char* sub) const { return Path(sub).toStdString(); }

    QTemporaryDir dir;
    QString root = dir.path();
    TFavOpenDialog dialog;
};

TEST_F(FavDialog, TheAddButtonIsForFoldersNotYetInTheList) {
    EXPECT_EQ(dialog.FavLabel->text(), "Favorites:");
    EXPECT_EQ(dialog.FavButton->accessibleName(), "Set as favorite");
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
    dialog.setDirectory(Path("Kicks"));
    QApplication::processEvents();
    dialog.AddCurrentFolder();
    EXPECT_EQ(Items(), std::vector<std::string>{S("Kicks")});
    EXPECT_FALSE(dialog.FavButton->isEnabled()) << "the folder on show is a favourite now";
    EXPECT_EQ(dialog.FavCombo->currentIndex(), 0);
    EXPECT_EQ(dialog.FavCombo->itemText(0), "Kicks") << "folder names, not paths";

    // Going elsewhere through the dialog's own file name box enables it again.
    auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    dialog.show();
    name->setText(Path("Snares"));
    QTest::keyClick(name, Qt::Key_Return);
    QApplication::processEvents();
    ASSERT_EQ(dialog.CurrentFolder(), Path("Snares"));
    EXPECT_TRUE(dialog.FavButton->isEnabled());
    EXPECT_EQ(dialog.FavCombo->currentIndex(), -1);
    QTest::mouseClick(dialog.FavButton, Qt::LeftButton);
    EXPECT_EQ(Items(), (std::vector<std::string>{S("Snares"), S("Kicks")}));
    EXPECT_FALSE(dialog.FavButton->isEnabled());
}

TEST_F(FavDialog, ChoosingAFavouriteGoesThereAndMovesItFirst) {
    dialog.SetFavorites({S("Kicks"), S("Snares"), S("Hats")});
    dialog.setDirectory(Path("Kicks"));
    ASSERT_TRUE(dialog.ChooseFavorite(2));
    EXPECT_EQ(dialog.CurrentFolder(), Path("Hats"));
    EXPECT_EQ(Items(), (std::vector<std::string>{S("Hats"), S("Kicks"), S("Snares")}));
    EXPECT_EQ(dialog.FavCombo->currentIndex(), 0);
    EXPECT_FALSE(dialog.FavButton->isEnabled());
}

TEST_F(FavDialog, AFolderThatIsGoneIsMarkedAndCannotBeChosen) {
    dialog.SetFavorites({S("Kicks"), S("Gone")});
    ASSERT_TRUE(QDir(Path("Gone")).removeRecursively());
    dialog.SetFavorites(Items());  // shown again, as the next opening does
    dialog.setDirectory(Path("Kicks"));
    const QImage missing = dialog.FavCombo->itemIcon(1).pixmap(16, 16).toImage();
    const QImage present = dialog.FavCombo->itemIcon(0).pixmap(16, 16).toImage();
    EXPECT_EQ(missing, TFavOpenDialog::MissingFolderIcon().pixmap(16, 16).toImage());
    EXPECT_EQ(present, TFavOpenDialog::FavoriteIcon().pixmap(16, 16).toImage());
    EXPECT_NE(missing, present);
    EXPECT_FALSE(dialog.ChooseFavorite(1));
    EXPECT_EQ(dialog.CurrentFolder(), Path("Kicks"));
    EXPECT_EQ(Items(), (std::vector<std::string>{S("Kicks"), S("Gone")})) << "nothing moved";
}

TEST_F(FavDialog, TheEleventhDropsTheOldestAndAnotherCaseIsTheSameFolder) {
    std::vector<std::string> ten;
    for (int i = 0; i < 10; ++i) {
        const QString sub = QStringLiteral("F%1").arg(i);
        ASSERT_TRUE(QDir(root).mkpath(sub));
        ten.push_back((root + '/' + sub).toStdString());
    }
    dialog.SetFavorites(ten);
    EXPECT_EQ(dialog.FavCombo->count(), 10);
    dialog.setDirectory(Path("Kicks"));
    dialog.AddCurrentFolder();
    ASSERT_EQ(dialog.Favorites().Count(), 10);
    EXPECT_EQ(Items().front(), S("Kicks"));
    EXPECT_EQ(Items().back(), ten[8]) << "F9, the oldest, went";
    // The same folder spelt in other case is not added twice.
    dialog.SetFavorites({S("Snares"), (root + "/kicks").toStdString()});
    dialog.setDirectory(Path("Kicks"));
    dialog.AddCurrentFolder();
    EXPECT_EQ(Items(), (std::vector<std::string>{S("Kicks"), S("Snares")}));
}

TEST_F(FavDialog, AnAssociatedDialogSharesTheList) {
    TFavOpenDialog other;
    dialog.Associated = &other;
    dialog.SetFavorites({S("Kicks")}, true);
    EXPECT_EQ(other.Favorites().Items(), Items());
    dialog.setDirectory(Path("Hats"));
    dialog.AddCurrentFolder();
    EXPECT_EQ(other.Favorites().Items(), (std::vector<std::string>{S("Hats"), S("Kicks")}));
    EXPECT_EQ(other.FavCombo->count(), 2);
    dialog.SetFavorites({}, false);
    EXPECT_EQ(other.Favorites().Count(), 2) << "not asked to pass it on";
}

TEST_F(FavDialog, TheListIsKeptUnderTxFavorites) {
    dialog.SetFavorites({S("Kicks"), S("Hats")});
    TDesktopSettings settings;
    dialog.StoreFavorites(settings);
    const std::string file = (root + "/Trovamix.ini").toStdString();
    ASSERT_EQ(SaveDesktopSettings(settings, TSettingsStore()).SaveFile(file), "");
    const TSettingsStore stored = TSettingsStore::LoadFile(file);
    EXPECT_EQ(stored.ReadInteger("TX FAVORITES", "Count", -1), 2);
    EXPECT_EQ(stored.ReadString("TX FAVORITES", "0", ""), S("Kicks"));
    EXPECT_EQ(stored.ReadString("TX FAVORITES", "1", ""), S("Hats"));

    TFavOpenDialog next;
    next.SetFavorites({"/kept"});
    next.LoadFavorites(LoadDesktopSettings(TSettingsStore()));
    EXPECT_EQ(next.Favorites().Items(), std::vector<std::string>{"/kept"}) << "a missing key leaves the list";
    next.LoadFavorites(LoadDesktopSettings(stored));
    EXPECT_EQ(next.Favorites().Items(), Items());
}

TEST_F(FavDialog, ChosenFilesComeBackAndThePreviewHookHearsEachFile) {
    std::vector<QString> previewed;
    QStringList chosen;
    QTimer::singleShot(0, &dialog, [this] {
        // The user moves to the file in the list, as the arrow keys do.
        auto* model = dialog.findChild<QFileSystemModel*>();
        auto* list = dialog.findChild<QListView*>("listView");
        ASSERT_TRUE(model && list);
        const QString file = Path("Kicks") + "/kick.wav";
        ASSERT_TRUE(QTest::qWaitFor([&] { return model->index(file).isValid(); }));
        list->setCurrentIndex(model->index(file));
        QApplication::processEvents();
        static_cast<QDialog&>(dialog).accept();  // as the Open button does
    });
    chosen = dialog.GetOpenFileNames(Path("Kicks"), {"wave file (*.wav)"}, true,
                                     [&previewed](const QString& f) { previewed.push_back(f); });
    EXPECT_EQ(chosen, QStringList{Path("Kicks") + "/kick.wav"});
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFiles);
    EXPECT_EQ(dialog.nameFilters(), QStringList{"wave file (*.wav)"});
    EXPECT_FALSE(previewed.empty());
    if (!previewed.empty()) EXPECT_EQ(previewed.back(), Path("Kicks") + "/kick.wav");

    QTimer::singleShot(0, &dialog, [this] { dialog.reject(); });
    EXPECT_TRUE(dialog.GetOpenFileNames(Path("Hats"), {}, false).isEmpty());
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
}

TEST_F(FavDialog, KeysNamesAndScreenshot) {
    dialog.SetFavorites({S("Kicks"), S("Gone"), S("Hats")});
    QDir(Path("Gone")).removeRecursively();
    dialog.SetFavorites(Items());
    dialog.setDirectory(Path("Snares"));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), "Open wave file(s)");
    for (QWidget* w : {static_cast<QWidget*>(dialog.FavCombo), static_cast<QWidget*>(dialog.FavButton)}) {
        EXPECT_TRUE(w->focusPolicy() & Qt::TabFocus) << w->objectName().toStdString();
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << w->objectName().toStdString();
    }
    EXPECT_EQ(dialog.FavLabel->buddy(), dialog.FavCombo);
    QString topic;
    dialog.HelpRequested = [&topic](const QString& t) { topic = t; };
    QTest::keyClick(&dialog, Qt::Key_F1);
    EXPECT_EQ(topic, "favorites");
    txtest::SaveScreenshot(dialog, "favorites-dialog");
    dialog.FavCombo->showPopup();
    QApplication::processEvents();
    if (QWidget* popup = QApplication::activePopupWidget()) txtest::SaveScreenshot(*popup, "favorites-list");
    dialog.FavCombo->hidePopup();
}

TEST(HelpTopics, EveryTopicTheseWindowsAskForIsOnTheHelpPage) {
    QFile page(QStringLiteral(TROVAMIX_SOURCE_DIR) + "/help/Trova.html");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    for (const char* topic : {"loop-info", "info-window", "favorites", "tools", "playlist"})
        EXPECT_TRUE(html.contains(QStringLiteral("name=\"%1\"").arg(topic))) << topic;
}

TEST(HelpTopics, F1InTheToolsWindowAsksForTheToolsPage) {
    TAddToolForm window;
    window.SetSlots(TToolSlots{});
    QString topic;
    window.HelpRequested = [&topic](const QString& t) { topic = t; };
    QTest::keyClick(window.TitleEdit, Qt::Key_F1);  // from a control inside, as a user presses it
    EXPECT_EQ(topic, "tools");
}

}  // namespace
}  // namespace tx
